#include "biastools/biasreport.h"

#include "app/clock.h"
#include "catalog/ampclasses.h"

#include <QDateTime>
#include <QFont>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSizeF>
#include <QTextDocument>

namespace {

// One rule per line; the header cells' rule runs over two lines.
const char* const styleSheet =
    "  body { font-family: Helvetica, Arial, sans-serif; color: #222; }\n"
    "  h1 { font-size: 22pt; margin-bottom: 2px; }\n"
    "  .sub { color: #666; font-size: 10pt; margin-bottom: 18px; }\n"
    "  table.info td { padding: 3px 14px 3px 0; font-size: 11pt; }\n"
    "  table.tubes { border-collapse: collapse; width: 100%; margin-top: 14px; }\n"
    "  table.tubes th { background: #2b2b2b; color: #f4ead0; padding: 6px 10px;\n"
    "    font-size: 10pt; text-align: left; }\n"
    "  table.tubes td { border-bottom: 1px solid #ccc; padding: 6px 10px; font-size: 11pt; }\n"
    "  .ideal { color: #1d7a2c; font-weight: bold; }\n"
    "  .cold { color: #2b5fa8; font-weight: bold; }\n"
    "  .warm { color: #b07514; font-weight: bold; }\n"
    "  .hot { color: #b02318; font-weight: bold; }\n"
    "  .foot { margin-top: 24px; color: #888; font-size: 9pt; }\n";

// Shortest exact representation: 30 gives "30", 13.2 gives "13.2".
QString shortNumber(double value)
{
    return QStringLiteral("%1").arg(value, 0, 'g', -1);
}

QString oneDecimal(double value)
{
    return QStringLiteral("%1").arg(value, 0, 'f', 1);
}

QString statusClass(const QString& status)
{
    if (status == QLatin1String("IDEAL"))
        return QStringLiteral("ideal");
    if (status == QLatin1String("WARM"))
        return QStringLiteral("warm");
    if (status.startsWith(QLatin1String("OVER")))
        return QStringLiteral("hot");
    return QStringLiteral("cold");
}

} // namespace

QString biasReportHtml(const BiasReportData& data, const QDateTime& generated)
{
    QString html;
    html += QStringLiteral("\n<html><head><style>\n");
    html += QString::fromUtf8(styleSheet);
    html += QStringLiteral("</style></head><body>\n");
    html += QStringLiteral("<h1>Bias Report — %1</h1>").arg(data.ampName.toHtmlEscaped());
    html += QStringLiteral("<div class='sub'>Generated %1 by Ambertrace — By Quorlen</div>")
                .arg(generated.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    html += QStringLiteral("<table class='info'>");
    html += QStringLiteral("<tr><td><b>Tube type</b></td><td>%1 (max %2 W plate)</td></tr>")
                .arg(data.tubeType.toHtmlEscaped(), shortNumber(data.maxPlateW));
    html += QStringLiteral("<tr><td><b>Topology</b></td><td>%1</td></tr>").arg(data.topology.toHtmlEscaped());
    html += QStringLiteral("<tr><td><b>Bias method</b></td><td>%1</td></tr>")
                .arg(data.biasMethod.toHtmlEscaped());
    if (data.plateV > 0)
        html += QStringLiteral("<tr><td><b>Plate voltage</b></td><td>%1 V</td></tr>")
                    .arg(shortNumber(data.plateV));
    html += QStringLiteral("<tr><td><b>Target</b></td><td>") + shortNumber(data.targetPct) +
            QStringLiteral("% of max dissipation</td></tr>");
    html += QStringLiteral("</table>");
    html +=
        QStringLiteral("<table class='tubes'><tr><th>Tube</th><th>Idle Current</th><th>Plate Dissipation</th>"
                       "<th>% of Max</th><th>Status</th></tr>");
    for (const BiasReportRow& row : data.rows) {
        // One substitution pass, so nothing a field brings in is ever substituted again.
        if (row.result.valid) {
            html += QStringLiteral("<tr><td>%1</td><td>%2 mA</td><td>%3 W</td><td>%4%</td>"
                                   "<td class='%5'>%6</td></tr>")
                        .arg(row.label, oneDecimal(row.result.currentMa), oneDecimal(row.result.dissipationW),
                             oneDecimal(row.result.pctOfMax), statusClass(row.status), row.status);
        } else {
            html += QStringLiteral("<tr><td>%1</td><td colspan='4'>no reading</td></tr>").arg(row.label);
        }
    }
    html += QStringLiteral("</table>");
    html += QStringLiteral("<div class='foot'>Idle plate dissipation = plate voltage × idle plate current. "
                           "Recommended idle for this amp class is shown as the target percentage of the "
                           "tube's rated maximum plate dissipation.</div>");
    html += QStringLiteral("</body></html>");
    return html;
}

bool writeBiasReport(const QString& path, const BiasReportData& data)
{
    // The PDF goes to a temporary file that replaces `path` only once it is complete, so a failed
    // export never leaves a truncated file that looks like a report. QPdfWriter and
    // QTextDocument::print report nothing themselves, hence the checks on the device afterwards.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(150);
        QTextDocument document;
        // Plain letters only: a font that shapes "fi" as one ligature glyph would print "(ﬁxed bias)",
        // and a reader searching the PDF for "fixed" would not find it. Qt leaves ligatures out of
        // text that carries letter spacing, so a spacing too small to see (a tenth of a device pixel,
        // the smallest step Qt keeps) turns them off.
        QFont font = document.defaultFont();
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.1);
        document.setDefaultFont(font);
        document.setHtml(biasReportHtml(data, Clock::currentDateTime()));
        document.setPageSize(QSizeF(writer.width(), writer.height()));
        document.print(&writer);
    } // the writer finishes the PDF (cross-reference table and trailer) here
    // A short write (full disk, file-size limit) shows only in the device's error state: QSaveFile's
    // commit() does not look at it, so flush and check before committing.
    const bool written = file.flush() && file.error() == QFileDevice::NoError && file.size() > 0;
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString biasReportStatusText(BiasStatus status)
{
    switch (status) {
    case BiasStatus::NoReading:
        return QStringLiteral("NO READING");
    case BiasStatus::OverMax:
        return QStringLiteral("OVER MAX");
    case BiasStatus::Warm:
        return QStringLiteral("WARM");
    case BiasStatus::Ideal:
        return QStringLiteral("IDEAL");
    case BiasStatus::Cold:
        return QStringLiteral("COLD");
    }
    return QString();
}

QString biasReportAmpName(const QString& profileName, const QString& tubeType)
{
    if (!profileName.isEmpty())
        return profileName;
    return tubeType + QStringLiteral(" amp");
}

BiasReportRow biasReportRow(int cardIndex, const BiasResult& result, const QString& className)
{
    double low = 60;
    double high = 70;
    if (const AmpClass* ampClass = findAmpClass(className)) {
        low = ampClass->idealLowPct;
        high = ampClass->idealHighPct;
    }
    BiasReportRow row;
    row.label = QStringLiteral("V%1").arg(cardIndex + 1);
    row.result = result;
    row.status = biasReportStatusText(classifyBias(result, low, high));
    return row;
}

QString biasReportDefaultPath(const QString& documentsDir, const QString& ampName)
{
    QString name = ampName.simplified();
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    // Some tube names carry a slash ("EL84 / 6BQ5"); in a file name it would point into a folder
    // that does not exist.
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return documentsDir + QLatin1Char('/') + name + QStringLiteral("_bias_report.pdf");
}
