#include "matching/matchbatch.h"

#include "bench/profilestore.h"

#include <QFont>
#include <QJsonArray>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace {

const QString formatName = QStringLiteral("ambertrace-match-batch");

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// A measurement from a file: a finite number from 0 to `maximum`, else 0.
double measurement(const QJsonValue& value, double maximum)
{
    const double v = value.toDouble(0);
    return std::isfinite(v) && v >= 0 && v <= maximum ? v : 0;
}

// A voltage of the condition, which may be negative (the grid); out of range reads as 0.
double voltage(const QJsonValue& value)
{
    const double v = value.toDouble(0);
    return std::isfinite(v) && std::abs(v) <= 10000 ? v : 0;
}

double tolerance(const QJsonValue& value, double fallback)
{
    const double v = value.toDouble(fallback);
    return std::isfinite(v) && v > 0 && v <= 100 ? v : fallback;
}

// Texts are kept short: a label, brand or type is a few words on a box.
QString shortText(const QJsonValue& value)
{
    return value.toString().left(200);
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString optionalNumber(double value, int decimals)
{
    return value > 0 ? number(value, decimals) : QString();
}

QString csvLine(const QString& set, const MatchTube& tube, const QString& spread, const QString& verdict)
{
    const QStringList fields = {set,
                                csvField(tube.label),
                                csvField(tube.brand),
                                csvField(tube.type),
                                number(tube.currentMa, 2),
                                optionalNumber(tube.gmMaPerV, 2),
                                optionalNumber(tube.current2Ma, 2),
                                spread,
                                verdict};
    return fields.join(QLatin1Char(',')) + QLatin1Char('\n');
}

// Writes all of `data` through a save file; the old file stays when anything fails.
bool saveWhole(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    if (file.write(data) != data.size() || !file.flush()) {
        setError(error, file.errorString());
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

const char* const labelStyle = "  body { font-family: Helvetica, Arial, sans-serif; color: #222; }\n"
                               "  h1 { font-size: 18pt; margin-bottom: 2px; }\n"
                               "  .sub { color: #666; font-size: 10pt; margin-bottom: 12px; }\n"
                               "  table.set { border: 1px solid #444; margin-top: 10px; width: 100%; }\n"
                               "  table.set td { padding: 4px 8px; font-size: 11pt; }\n"
                               "  .head { background: #2b2b2b; color: #f4ead0; font-weight: bold; }\n"
                               "  .ok { color: #1d7a2c; font-weight: bold; }\n"
                               "  .bad { color: #b02318; font-weight: bold; }\n"
                               "  .foot { margin-top: 16px; color: #888; font-size: 9pt; }\n";

} // namespace

QList<int> matchSetSizes()
{
    return {2, 4, 6, 8};
}

MatchRequest matchRequest(const MatchBatch& batch)
{
    MatchRequest request;
    request.setSize = batch.setSize;
    request.setCount = batch.setCount;
    request.tolerancePct = batch.tolerancePct;
    request.gmTolerancePct = batch.gmTolerancePct;
    return request;
}

QList<double> matchGm(const MatchBatch& batch)
{
    QList<double> gm;
    gm.reserve(batch.tubes.size());
    for (const MatchTube& tube : batch.tubes)
        gm.append(effectiveGm(tube, batch.condition.gridV, batch.condition.grid2V));
    return gm;
}

MatchOutcome matchBatch(const MatchBatch& batch)
{
    return findMatchedSets(batch.tubes, matchRequest(batch), matchGm(batch));
}

QJsonObject matchBatchToJson(const MatchBatch& batch)
{
    QJsonObject condition;
    condition.insert(QStringLiteral("tube"), batch.condition.tube);
    condition.insert(QStringLiteral("plateV"), batch.condition.plateV);
    condition.insert(QStringLiteral("screenV"), batch.condition.screenV);
    condition.insert(QStringLiteral("gridV"), batch.condition.gridV);
    condition.insert(QStringLiteral("grid2V"), batch.condition.grid2V);
    QJsonArray tubes;
    for (const MatchTube& tube : batch.tubes) {
        QJsonObject t;
        t.insert(QStringLiteral("label"), tube.label);
        t.insert(QStringLiteral("brand"), tube.brand);
        t.insert(QStringLiteral("type"), tube.type);
        t.insert(QStringLiteral("currentMa"), tube.currentMa);
        t.insert(QStringLiteral("gmMaPerV"), tube.gmMaPerV);
        t.insert(QStringLiteral("current2Ma"), tube.current2Ma);
        tubes.append(t);
    }
    QJsonObject o;
    o.insert(QStringLiteral("format"), formatName);
    o.insert(QStringLiteral("version"), matchBatchVersion);
    o.insert(QStringLiteral("condition"), condition);
    o.insert(QStringLiteral("setSize"), batch.setSize);
    o.insert(QStringLiteral("setCount"), batch.setCount);
    o.insert(QStringLiteral("tolerancePct"), batch.tolerancePct);
    o.insert(QStringLiteral("gmTolerancePct"), batch.gmTolerancePct);
    o.insert(QStringLiteral("tubes"), tubes);
    return o;
}

bool matchBatchFromJson(const QJsonObject& o, MatchBatch& out, QString* error)
{
    if (o.value(QStringLiteral("format")).toString() != formatName) {
        setError(error, QStringLiteral("This is not a batch of tubes to match."));
        return false;
    }
    const double version = o.value(QStringLiteral("version")).toDouble(0);
    if (!(version >= 1)) {
        setError(error, QStringLiteral("The batch has no version."));
        return false;
    }
    if (version > matchBatchVersion) {
        setError(error, QStringLiteral("The batch was written by a newer version of Ambertrace."));
        return false;
    }
    MatchBatch b;
    const QJsonObject c = o.value(QStringLiteral("condition")).toObject();
    b.condition.tube = shortText(c.value(QStringLiteral("tube")));
    b.condition.plateV = voltage(c.value(QStringLiteral("plateV")));
    b.condition.screenV = voltage(c.value(QStringLiteral("screenV")));
    b.condition.gridV = voltage(c.value(QStringLiteral("gridV")));
    b.condition.grid2V = voltage(c.value(QStringLiteral("grid2V")));
    const int size = o.value(QStringLiteral("setSize")).toInt(b.setSize);
    if (matchSetSizes().contains(size))
        b.setSize = size;
    b.setCount = std::clamp(o.value(QStringLiteral("setCount")).toInt(0), 0, maxMatchTubes);
    b.tolerancePct = tolerance(o.value(QStringLiteral("tolerancePct")), b.tolerancePct);
    b.gmTolerancePct = tolerance(o.value(QStringLiteral("gmTolerancePct")), b.gmTolerancePct);
    const QJsonArray tubes = o.value(QStringLiteral("tubes")).toArray();
    for (const QJsonValue& value : tubes) {
        if (b.tubes.size() >= maxMatchTubes)
            break;
        const QJsonObject t = value.toObject();
        MatchTube tube;
        tube.label = shortText(t.value(QStringLiteral("label")));
        tube.brand = shortText(t.value(QStringLiteral("brand")));
        tube.type = shortText(t.value(QStringLiteral("type")));
        tube.currentMa = measurement(t.value(QStringLiteral("currentMa")), 10000);
        tube.gmMaPerV = measurement(t.value(QStringLiteral("gmMaPerV")), 10000);
        tube.current2Ma = measurement(t.value(QStringLiteral("current2Ma")), 10000);
        b.tubes.append(tube);
    }
    out = b;
    return true;
}

bool readMatchBatchFile(const QString& path, MatchBatch& out, QString* error)
{
    QJsonObject object;
    if (!readJsonObjectFile(path, object)) {
        setError(error, QStringLiteral("The file could not be read as a batch (not a regular file, too "
                                       "large, or not JSON)."));
        return false;
    }
    return matchBatchFromJson(object, out, error);
}

bool writeMatchBatchFile(const QString& path, const MatchBatch& batch, QString* error)
{
    if (!writeJsonObjectFile(path, matchBatchToJson(batch))) {
        setError(error, QStringLiteral("The batch could not be written there."));
        return false;
    }
    return true;
}

QByteArray matchCsv(const MatchBatch& batch, const MatchOutcome& outcome)
{
    QString csv =
        QStringLiteral("Set,Label,Brand,Type,Current (mA),gm (mA/V),Current 2 (mA),Spread (%),Verdict\n");
    for (int i = 0; i < outcome.sets.size(); ++i) {
        const MatchSet& set = outcome.sets.at(i);
        for (int t : set.tubes)
            csv += csvLine(QString::number(i + 1), batch.tubes.value(t), number(set.spreadPct, 2),
                           matchVerdictText(set));
    }
    for (int t : outcome.leftovers)
        csv += csvLine(QStringLiteral("leftover"), batch.tubes.value(t), QString(), QString());
    return csv.toUtf8();
}

bool writeMatchCsv(QIODevice& device, const MatchBatch& batch, const MatchOutcome& outcome, QString* error)
{
    const QByteArray data = matchCsv(batch, outcome);
    if (device.write(data) != data.size()) {
        setError(error, device.errorString());
        return false;
    }
    return true;
}

bool writeMatchCsvFile(const QString& path, const MatchBatch& batch, const MatchOutcome& outcome,
                       QString* error)
{
    return saveWhole(path, matchCsv(batch, outcome), error);
}

QString matchSpreadText(double pct)
{
    return number(pct, 1) + QStringLiteral(" %");
}

QString matchLabelsHtml(const MatchBatch& batch, const MatchOutcome& outcome)
{
    const MatchCondition& c = batch.condition;
    QString html = QStringLiteral("\n<html><head><style>\n");
    html += QString::fromUtf8(labelStyle);
    html += QStringLiteral("</style></head><body>\n");
    html += QStringLiteral("<h1>Matched sets: %1</h1>").arg(c.tube.toHtmlEscaped());
    QString condition = QStringLiteral("Measured at %1 V plate, %2 V screen, %3 V grid")
                            .arg(number(c.plateV, 0), number(c.screenV, 0), number(c.gridV, 1));
    if (c.grid2V != c.gridV)
        condition += QStringLiteral(" (second reading at %1 V)").arg(number(c.grid2V, 1));
    html += QStringLiteral("<div class='sub'>%1. Tolerance %2 current, %3 transconductance.</div>")
                .arg(condition, matchSpreadText(batch.tolerancePct), matchSpreadText(batch.gmTolerancePct));
    for (int i = 0; i < outcome.sets.size(); ++i) {
        const MatchSet& set = outcome.sets.at(i);
        html += QStringLiteral("<table class='set' width='100%' cellspacing='0'>");
        html += QStringLiteral("<tr><td class='head' colspan='4'>SET %1 of %2 tubes, spread %3</td></tr>")
                    .arg(QString::number(i + 1), QString::number(set.tubes.size()),
                         matchSpreadText(set.spreadPct));
        for (int t : set.tubes) {
            const MatchTube tube = batch.tubes.value(t);
            html +=
                QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3 mA</td><td>%4</td></tr>")
                    .arg(tube.label.toHtmlEscaped(), tube.brand.toHtmlEscaped(), number(tube.currentMa, 1),
                         tube.gmMaPerV > 0 ? number(tube.gmMaPerV, 1) + QStringLiteral(" mA/V") : QString());
        }
        html += QStringLiteral("<tr><td colspan='4' class='%1'>%2</td></tr></table>")
                    .arg(set.matched ? QStringLiteral("ok") : QStringLiteral("bad"), matchVerdictText(set));
    }
    if (!outcome.leftovers.isEmpty()) {
        QStringList labels;
        for (int t : outcome.leftovers)
            labels.append(batch.tubes.value(t).label.toHtmlEscaped());
        html +=
            QStringLiteral("<div class='foot'>Left over: %1</div>").arg(labels.join(QStringLiteral(", ")));
    }
    html += QStringLiteral("<div class='foot'>Spread = (highest - lowest) / mean idle current of the set. "
                           "Printed by Ambertrace.</div>");
    html += QStringLiteral("</body></html>");
    return html;
}

bool writeMatchLabels(const QString& path, const MatchBatch& batch, const MatchOutcome& outcome,
                      QString* error)
{
    // As the bias report does: a save file replaced only once complete, checked on the device since
    // QPdfWriter reports nothing itself.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(150);
        QTextDocument document;
        // Plain letters, no ligatures, so the printed text reads back as typed (see the bias report).
        QFont font = document.defaultFont();
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.1);
        document.setDefaultFont(font);
        document.setHtml(matchLabelsHtml(batch, outcome));
        // One page: the sheet is laid out at the page's width and scaled down when it runs longer.
        const double pageW = writer.width();
        const double pageH = writer.height();
        document.setTextWidth(pageW);
        const double scale = std::min(1.0, pageH / std::max(1.0, document.size().height()));
        QPainter painter(&writer);
        painter.scale(scale, scale);
        document.drawContents(&painter);
    }
    const bool written = file.flush() && file.error() == QFileDevice::NoError && file.size() > 0;
    if (!written) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}
