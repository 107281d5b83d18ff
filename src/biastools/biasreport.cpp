#include "biastools/biasreport.h"

#include "app/clock.h"
#include "bias/biasmethods.h"
#include "catalog/ampclasses.h"
#include "warmup/warmupstats.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSizeF>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <QTextTable>

#include <cmath>

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
    "  .foot { margin-top: 24px; color: #888; font-size: 9pt; }\n"
    "  .shop { font-size: 9pt; color: #444; }\n"
    "  .shopname { font-size: 15pt; font-weight: bold; color: #222; }\n"
    "  h2 { font-size: 13pt; margin-top: 16px; margin-bottom: 4px; }\n"
    "  h3 { font-size: 11pt; margin-top: 10px; margin-bottom: 2px; }\n"
    "  table.amp td { padding: 2px 14px 2px 0; font-size: 11pt; }\n"
    "  .match { font-size: 11pt; margin-top: 10px; }\n"
    "  .notes { font-size: 11pt; }\n"
    "  .warranty { font-size: 10pt; margin-top: 14px; color: #333; }\n"
    "  table.sign td { padding: 34px 24px 0 0; font-size: 10pt; color: #444; }\n";

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

// The device pixels the report is laid out in; fonts in points and lengths in CSS pixels are taken
// to this resolution, so everything prints at its true size.
constexpr int reportDpi = 150;

double mmToDevice(double mm)
{
    return mm * reportDpi / 25.4;
}

QString escapedLines(const QString& text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return html;
}

QString tubeTableHtml(const QList<BiasReportRow>& rows)
{
    bool withReading = false;
    for (const BiasReportRow& row : rows)
        withReading = withReading || !row.reading.isEmpty();
    QString html =
        withReading
            ? QStringLiteral("<table class='tubes'><tr><th>Tube</th><th>Reading</th><th>Idle Current</th>"
                             "<th>Plate Dissipation</th><th>% of Max</th><th>Status</th></tr>")
            : QStringLiteral(
                  "<table class='tubes'><tr><th>Tube</th><th>Idle Current</th><th>Plate Dissipation</th>"
                  "<th>% of Max</th><th>Status</th></tr>");
    for (const BiasReportRow& row : rows) {
        // One substitution pass, so nothing a field brings in is ever substituted again.
        const QString label =
            withReading ? QStringLiteral("<td>%1</td><td>%2</td>").arg(row.label, row.reading.toHtmlEscaped())
                        : QStringLiteral("<td>%1</td>").arg(row.label);
        if (row.result.valid) {
            html += QStringLiteral("<tr>") + label +
                    QStringLiteral("<td>%1 mA</td><td>%2 W</td><td>%3%</td><td class='%4'>%5</td></tr>")
                        .arg(oneDecimal(row.result.currentMa), oneDecimal(row.result.dissipationW),
                             oneDecimal(row.result.pctOfMax), statusClass(row.status), row.status);
        } else {
            html += QStringLiteral("<tr>") + label + QStringLiteral("<td colspan='4'>no reading</td></tr>");
        }
    }
    html += QStringLiteral("</table>");
    return html;
}

QString shopHeaderHtml(const ShopDetails& shop)
{
    if (shop.name.isEmpty() && shop.address.isEmpty() && shop.phone.isEmpty() && shop.email.isEmpty())
        return QString();
    QStringList contact;
    if (!shop.phone.isEmpty())
        contact << shop.phone.toHtmlEscaped();
    if (!shop.email.isEmpty())
        contact << shop.email.toHtmlEscaped();
    QString details = QStringLiteral("<div class='shopname'>%1</div>").arg(shop.name.toHtmlEscaped());
    if (!shop.address.isEmpty())
        details += QStringLiteral("<div class='shop'>%1</div>").arg(escapedLines(shop.address));
    if (!contact.isEmpty())
        details += QStringLiteral("<div class='shop'>%1</div>").arg(contact.join(QStringLiteral(" · ")));
    QString html = QStringLiteral("<table class='head' width='100%'><tr>");
    if (!shop.logoPath.isEmpty())
        html += QStringLiteral("<td width='110'><img src='report-logo:' width='100' height='60'></td>");
    html += QStringLiteral("<td>") + details + QStringLiteral("</td></tr></table>");
    return html;
}

QString ampBlockHtml(const AmpRecord& amp)
{
    if (amp.isEmpty())
        return QString();
    const QPair<QString, QString> rows[] = {
        {QStringLiteral("Customer"), amp.customer},
        {QStringLiteral("Contact"), amp.contact},
        {QStringLiteral("Make"), amp.make},
        {QStringLiteral("Model"), amp.model},
        {QStringLiteral("Serial number"), amp.serial},
    };
    QString html = QStringLiteral("<table class='amp'>");
    for (const auto& row : rows)
        if (!row.second.isEmpty())
            html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                        .arg(row.first, row.second.toHtmlEscaped());
    html += QStringLiteral("</table>");
    return html;
}

// The rows the job adds below the target, the readings, the verdict, the plot and the notes.
QString jobBodyHtml(const BiasReportData& data, int plotIndex)
{
    QString html;
    if (!data.beforeRows.isEmpty()) {
        html += QStringLiteral("<h2>Before adjustment</h2>") + tubeTableHtml(data.beforeRows);
        html += QStringLiteral("<h2>After adjustment</h2>");
    }
    html += tubeTableHtml(data.rows);
    if (!data.matchingText.isEmpty())
        html += QStringLiteral("<p class='match'>%1</p>").arg(data.matchingText.toHtmlEscaped());
    if (plotIndex >= 0)
        html += QStringLiteral("<h2>Warm-up drift</h2><p><img src='report-plot:%1'></p>").arg(plotIndex);
    if (!data.notes.isEmpty())
        html += QStringLiteral("<h2>Notes</h2><p class='notes'>%1</p>").arg(escapedLines(data.notes));
    return html;
}

QString infoRowsHtml(const BiasReportData& data)
{
    QString html;
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
    for (const auto& row : data.jobRows)
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(row.first.toHtmlEscaped(), row.second.toHtmlEscaped());
    return html;
}

QString closingHtml(const ShopDetails& shop)
{
    QString html;
    if (!shop.warranty.isEmpty())
        html += QStringLiteral("<p class='warranty'>%1</p>").arg(escapedLines(shop.warranty));
    html += QStringLiteral("<table class='sign' width='100%'><tr>"
                           "<td width='50%'>Technician: ______________________________</td>"
                           "<td width='50%'>Customer: ______________________________</td></tr></table>");
    return html;
}

// Paints the report's pictures where the HTML has an image: the drift plots ("report-plot:N") as
// vectors and the shop's logo ("report-logo:"). It takes the place of the document's own image
// handler, which would look the names up as files.
class ReportObjects : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    QVector<WarmupPlotData> plots;
    QImage logo;
    double pixelScale = 1; // device pixels per CSS pixel

    QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override
    {
        const QString name = format.toImageFormat().name();
        if (name.startsWith(QLatin1String("report-plot:"))) {
            const double width = doc->pageSize().width() * 0.98;
            return QSizeF(width, width * 0.42);
        }
        if (name == QLatin1String("report-logo:") && !logo.isNull()) {
            // Within the box the HTML gives, keeping the picture's proportions.
            const QTextImageFormat image = format.toImageFormat();
            const QSizeF box(image.width() * pixelScale, image.height() * pixelScale);
            return QSizeF(logo.size()).scaled(box, Qt::KeepAspectRatio);
        }
        return QSizeF(1, 1);
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override
    {
        const QString name = format.toImageFormat().name();
        if (name.startsWith(QLatin1String("report-plot:"))) {
            const int index = name.mid(12).toInt();
            if (index >= 0 && index < plots.size()) {
                painter->save();
                paintWarmupPlot(*painter, rect, plots.at(index));
                painter->restore();
            }
        } else if (name == QLatin1String("report-logo:") && !logo.isNull()) {
            painter->drawImage(rect, logo);
        }
    }
};

// A PDF string: UTF-16BE in hex, which needs no escaping.
QByteArray pdfTextString(const QString& text)
{
    QByteArray bytes("<FEFF");
    for (const QChar c : text)
        bytes += QByteArray::number(c.unicode() + 0x10000, 16).mid(1).toUpper();
    return bytes + '>';
}

// QPdfWriter sets the title and creator but has no author or subject. They are added the way the
// PDF format provides for a change to a finished file, an incremental update: a new information
// dictionary, a cross-reference section for it and a trailer pointing back to the previous one.
// The PDF is returned unchanged when its trailer is not the plain one QPdfWriter writes.
QByteArray withDocumentInfo(const QByteArray& pdf, const QString& title, const QString& author,
                            const QString& subject)
{
    const qsizetype trailerAt = pdf.lastIndexOf("trailer");
    const qsizetype startAt = pdf.lastIndexOf("startxref");
    if (trailerAt < 0 || startAt < trailerAt)
        return pdf;
    const QByteArray trailer = pdf.mid(trailerAt, startAt - trailerAt);
    auto valueAfter = [&trailer](const char* key) -> QByteArray {
        const qsizetype at = trailer.indexOf(key);
        if (at < 0)
            return QByteArray();
        qsizetype i = at + qsizetype(qstrlen(key));
        while (i < trailer.size() && trailer.at(i) == ' ')
            ++i;
        qsizetype j = i;
        while (j < trailer.size() && (std::isdigit(static_cast<unsigned char>(trailer.at(j))) ||
                                      trailer.at(j) == ' ' || trailer.at(j) == 'R'))
            ++j;
        return trailer.mid(i, j - i).trimmed();
    };
    bool sizeOk = false;
    const int size = valueAfter("/Size").toInt(&sizeOk);
    const QByteArray root = valueAfter("/Root");
    QByteArray previous = pdf.mid(startAt + 9, 24).trimmed();
    previous = previous.left(previous.indexOf('\n') < 0 ? previous.size() : previous.indexOf('\n')).trimmed();
    bool previousOk = false;
    previous.toLongLong(&previousOk);
    if (!sizeOk || size <= 0 || !root.endsWith('R') || !previousOk)
        return pdf;

    QByteArray out = pdf;
    if (!out.endsWith('\n'))
        out += '\n';
    const qsizetype infoAt = out.size();
    out += QByteArray::number(size) + " 0 obj\n<<\n/Title " + pdfTextString(title) + "\n/Author " +
           pdfTextString(author) + "\n/Subject " + pdfTextString(subject) + "\n/Creator " +
           pdfTextString(QStringLiteral("Ambertrace")) + "\n/Producer " +
           pdfTextString(QStringLiteral("Ambertrace (Qt ") + QString::fromLatin1(qVersion()) +
                         QLatin1Char(')')) +
           "\n/CreationDate (D:" +
           Clock::currentDateTime().toUTC().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
           "Z)\n>>\nendobj\n";
    const qsizetype xrefAt = out.size();
    out += "xref\n" + QByteArray::number(size) + " 1\n" + QByteArray::number(infoAt).rightJustified(10, '0') +
           " 00000 n \n";
    out += "trailer\n<<\n/Size " + QByteArray::number(size + 1) + "\n/Info " + QByteArray::number(size) +
           " 0 R\n/Root " + root + "\n/Prev " + previous + "\n>>\nstartxref\n" + QByteArray::number(xrefAt) +
           "\n%%EOF\n";
    return out;
}

// The document's HTML reader ignores a table's CSS width, so the tube tables (the ones with five
// columns or more) are set to the full text width here, and their header row is repeated on each
// page a table runs over.
void fitTubeTables(QTextDocument& document)
{
    const QList<QTextFrame*> frames = document.rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table || table->columns() < 5)
            continue;
        QTextTableFormat format = table->format();
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setHeaderRowCount(1);
        table->setFormat(format);
    }
}

struct ReportDocument {
    QString html;
    QVector<WarmupPlotData> plots;
    QString logoPath;
    QString footer; // left of the page number
    QString title;
    QString author;
    QString subject;
    QByteArray attachment;
    QPageSize::PageSizeId pageSize = QPageSize::A4;
};

// Lays the HTML out on pages of the chosen paper, at the writer's resolution, so points and CSS
// pixels are true sizes, and paints each page's part with the footer below it.
QByteArray renderReport(const ReportDocument& report)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(report.pageSize));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(reportDpi);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Ambertrace"));
        if (!report.attachment.isEmpty())
            writer.addFileAttachment(reportAttachmentName, report.attachment,
                                     QStringLiteral("application/json"));

        const QSizeF page(writer.width(), writer.height());
        const double side = mmToDevice(reportSideMarginMm);
        const double top = mmToDevice(reportTopMarginMm);
        const double bottom = mmToDevice(reportBottomMarginMm);
        const QSizeF body(page.width() - 2 * side, page.height() - top - bottom);

        QTextDocument document;
        document.documentLayout()->setPaintDevice(&writer);
        ReportObjects objects;
        objects.plots = report.plots;
        objects.logo = loadShopLogo(report.logoPath);
        objects.pixelScale = reportDpi / 96.0;
        document.documentLayout()->registerHandler(QTextFormat::ImageObject, &objects);
        // Plain letters only: a font that shapes "fi" as one ligature glyph would print "(ﬁxed bias)",
        // and a reader searching the PDF for "fixed" would not find it. Qt leaves ligatures out of
        // text that carries letter spacing, so a spacing too small to see (a tenth of a device pixel,
        // the smallest step Qt keeps) turns them off.
        QFont font = document.defaultFont();
        font.setPointSizeF(10);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.1);
        document.setDefaultFont(font);
        document.setDocumentMargin(0);
        document.setHtml(report.html);
        fitTubeTables(document);
        // Set last, so the layout is made once with every table in its final shape.
        document.setPageSize(body);
        document.markContentsDirty(0, document.characterCount());

        QFont footerFont = font;
        footerFont.setPointSizeF(8);
        QPainter painter(&writer);
        const int pages = document.pageCount();
        for (int p = 0; p < pages; ++p) {
            if (p > 0)
                writer.newPage();
            painter.save();
            painter.translate(side, top - p * body.height());
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = QRectF(0, p * body.height(), body.width(), body.height());
            painter.setClipRect(context.clip);
            document.documentLayout()->draw(&painter, context);
            painter.restore();

            painter.setFont(footerFont);
            painter.setPen(QColor(0x88, 0x88, 0x88));
            const QFontMetricsF metrics(footerFont, &writer);
            const double baseline = page.height() - bottom + mmToDevice(8) + metrics.ascent();
            const QRectF line(side, baseline - metrics.ascent(), body.width(), metrics.height());
            painter.drawLine(QPointF(side, line.top() - mmToDevice(2)),
                             QPointF(side + body.width(), line.top() - mmToDevice(2)));
            painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, report.footer);
            painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                             QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages));
        }
        painter.end();
    } // the writer finishes the PDF (cross-reference table and trailer) here
    buffer.close();
    return withDocumentInfo(pdf, report.title, report.author, report.subject);
}

// The PDF goes to a temporary file that replaces `path` only once it is complete, so a failed
// export never leaves a truncated file that looks like a report.
bool writePdfFile(const QString& path, const QByteArray& pdf)
{
    if (pdf.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A short write (full disk, file-size limit) shows only in the write's result and the device's
    // error state: QSaveFile's commit() does not look at them, so both are checked before committing.
    const bool written =
        file.write(pdf) == pdf.size() && file.flush() && file.error() == QFileDevice::NoError;
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString footerText(const ShopDetails& shop, const QString& ampName)
{
    QStringList parts;
    if (!shop.name.isEmpty())
        parts << shop.name;
    parts << ampName;
    return parts.join(QStringLiteral(" — "));
}

QString ampDescription(const AmpRecord& amp)
{
    QStringList parts;
    for (const QString& part : {amp.make, amp.model})
        if (!part.isEmpty())
            parts << part;
    QString text = parts.join(QLatin1Char(' '));
    if (!amp.serial.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("serial ") + amp.serial;
    return text;
}

QString htmlHead()
{
    return QStringLiteral("\n<html><head><style>\n") + QString::fromUtf8(styleSheet) +
           QStringLiteral("</style></head><body>\n");
}

const QString footNote =
    QStringLiteral("<div class='foot'>Idle plate dissipation = plate voltage × idle plate current. "
                   "Recommended idle for this amp class is shown as the target percentage of the "
                   "tube's rated maximum plate dissipation.</div>");

} // namespace

QString biasReportHtml(const BiasReportData& data, const QDateTime& generated)
{
    QString html = htmlHead();
    html += shopHeaderHtml(data.shop);
    html += QStringLiteral("<h1>Bias Report — %1</h1>").arg(data.ampName.toHtmlEscaped());
    html += QStringLiteral("<div class='sub'>Generated %1 by Ambertrace — By Quorlen</div>")
                .arg(generated.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    html += ampBlockHtml(data.amp);
    html += QStringLiteral("<table class='info'>") + infoRowsHtml(data) + QStringLiteral("</table>");
    html += jobBodyHtml(data, data.plot.series.isEmpty() ? -1 : 0);
    html += footNote;
    if (data.jobDate.isValid())
        html += closingHtml(data.shop);
    html += QStringLiteral("</body></html>");
    return html;
}

bool writeBiasReport(const QString& path, const BiasReportData& data)
{
    ReportDocument report;
    report.html = biasReportHtml(data, Clock::currentDateTime());
    if (!data.plot.series.isEmpty())
        report.plots.append(data.plot);
    report.logoPath = data.shop.logoPath;
    report.footer = footerText(data.shop, data.ampName);
    report.title = QStringLiteral("Bias Report — ") + data.ampName;
    report.author = data.shop.name.isEmpty() ? data.shop.technician : data.shop.name;
    report.subject =
        data.subject.isEmpty() ? QStringLiteral("Power tube bias of ") + data.ampName : data.subject;
    report.attachment = data.attachment;
    report.pageSize = data.pageSize;
    return writePdfFile(path, renderReport(report));
}

WarmupPlotData reportPlotData(const ServiceJob& job)
{
    const WarmupLog& log = job.warmupLog;
    if (log.entries.isEmpty())
        return WarmupPlotData();
    QVector<WarmupTubeState> states;
    for (int t = 0; t < warmupMaxTubes; ++t) {
        QVector<WarmupPoint> points;
        for (const WarmupEntry& e : log.entries)
            if (e.tube == t)
                points.append({e.timeMs, e.currentMa});
        states.append(points.isEmpty() ? WarmupTubeState() : analyseWarmup(points));
    }
    WarmupPlotData data =
        warmupPlotData(log, states, WarmupQuantity::CurrentMa, 0, log.entries.last().timeMs);
    const double plateV = job.shared.plateV;
    if (plateV > 0 && job.maxPlateW > 0) {
        const double perPct = job.maxPlateW / plateV * 1000 / 100;
        data.windowLow = job.idealLowPct * perPct;
        data.windowHigh = job.idealHighPct * perPct;
        data.target = job.targetPct * perPct;
    }
    return data;
}

namespace {

BiasReportRow rowOfTube(int index, int method, const ServiceTube& tube)
{
    BiasReportRow row;
    row.label = QStringLiteral("V%1").arg(index + 1);
    if (!tube.label.isEmpty())
        row.label += QStringLiteral(" (%1)").arg(tube.label.toHtmlEscaped());
    row.result = tube.result;
    row.status = tube.status.toHtmlEscaped();
    row.reading = serviceReadingText(method, tube.meas1, tube.meas2);
    if (row.reading.isEmpty())
        row.reading = QStringLiteral("—");
    return row;
}

QString ohms(double value)
{
    return shortNumber(value) + QStringLiteral(" Ω");
}

} // namespace

BiasReportData biasReportFromJob(const ServiceJob& job, const QString& ampName, const AmpRecord& amp,
                                 const ShopDetails& shop)
{
    BiasReportData data;
    data.ampName = ampName;
    data.tubeType = job.tube;
    data.topology = job.ampClass;
    data.biasMethod = biasMethodLabel(job.method);
    const BiasMethodInfo* info = findBiasMethod(job.method);
    // Under the winding-drop method each tube has its own plate voltage: the readings show them.
    data.plateV = info && !info->usesPlateV ? 0 : job.shared.plateV;
    data.targetPct = job.targetPct;
    data.maxPlateW = job.maxPlateW;
    for (int i = 0; i < job.after.size(); ++i)
        data.rows << rowOfTube(i, job.method, job.after.at(i));
    for (int i = 0; i < job.before.size(); ++i)
        data.beforeRows << rowOfTube(i, job.method, job.before.at(i));

    data.shop = shop;
    data.amp = amp;
    data.jobDate = job.date;
    data.jobRows << qMakePair(QStringLiteral("Date"),
                              job.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    if (!job.technician.isEmpty())
        data.jobRows << qMakePair(QStringLiteral("Technician"), job.technician);
    QString fitted = QStringLiteral("%1 × %2").arg(job.tubeCount()).arg(job.tube);
    if (!job.tubeBrand.isEmpty())
        fitted += QStringLiteral(", ") + job.tubeBrand;
    data.jobRows << qMakePair(QStringLiteral("Tubes fitted"), fitted);
    data.jobRows << qMakePair(QStringLiteral("Ideal window"),
                              QStringLiteral("%1–%2% of max dissipation")
                                  .arg(shortNumber(job.idealLowPct), shortNumber(job.idealHighPct)));
    if (info) {
        const SharedMeasurements& s = job.shared;
        if (info->usesBPlusV)
            data.jobRows << qMakePair(QStringLiteral("B+ (centre tap)"),
                                      shortNumber(s.bPlusV) + QStringLiteral(" V"));
        if (info->usesSenseResistor)
            data.jobRows << qMakePair(
                QStringLiteral("Sense resistor"),
                ohms(s.senseResistorOhms) +
                    (s.sharedSenseR ? QStringLiteral(", shared by %1 tubes").arg(s.sharedTubes) : QString()));
        if (info->usesCathodeResistor)
            data.jobRows << qMakePair(QStringLiteral("Cathode resistor"),
                                      ohms(s.cathodeResistorOhms) +
                                          (s.sharedCathodeR
                                               ? QStringLiteral(", shared by %1 tubes").arg(s.sharedTubes)
                                               : QString()));
        if (info->usesSubtractScreen)
            data.jobRows << qMakePair(QStringLiteral("Screen current"),
                                      s.subtractScreen
                                          ? QStringLiteral("%1% subtracted").arg(shortNumber(s.screenPct))
                                          : QStringLiteral("not subtracted"));
        if (info->usesMeterReadsTotal)
            data.jobRows << qMakePair(QStringLiteral("Panel meter"),
                                      s.meterReadsTotal ? QStringLiteral("reads the total of all tubes")
                                                        : QStringLiteral("reads one tube"));
    }
    if (job.mainsV > 0)
        data.jobRows << qMakePair(QStringLiteral("Mains"), shortNumber(job.mainsV) + QStringLiteral(" V"));
    data.matchingText = job.matchingText;
    data.notes = job.notes;
    data.plot = reportPlotData(job);
    data.attachment = reportAttachment(ampName, amp, job);
    const QString what = ampDescription(amp);
    data.subject = QStringLiteral("Power tube bias of ") + (what.isEmpty() ? ampName : what) +
                   (amp.customer.isEmpty() ? QString() : QStringLiteral(" for ") + amp.customer);
    return data;
}

QString historyReportHtml(const QString& ampName, const AmpRecord& amp, const ShopDetails& shop,
                          const QList<ServiceJob>& jobs, const QDateTime& generated)
{
    QString html = htmlHead();
    html += shopHeaderHtml(shop);
    html += QStringLiteral("<h1>Service History — %1</h1>").arg(ampName.toHtmlEscaped());
    html += QStringLiteral("<div class='sub'>Generated %1 by Ambertrace — By Quorlen</div>")
                .arg(generated.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    html += ampBlockHtml(amp);
    if (!amp.notes.isEmpty())
        html += QStringLiteral("<p class='notes'>%1</p>").arg(escapedLines(amp.notes));
    if (jobs.isEmpty())
        html += QStringLiteral("<p>No jobs recorded.</p>");
    for (int i = 0; i < jobs.size(); ++i) {
        const BiasReportData data = biasReportFromJob(jobs.at(i), ampName, amp, shop);
        html += QStringLiteral("<h2>Job of %1</h2>")
                    .arg(jobs.at(i).date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        html += QStringLiteral("<table class='info'>") + infoRowsHtml(data) + QStringLiteral("</table>");
        html += jobBodyHtml(data, data.plot.series.isEmpty() ? -1 : i);
    }
    html += footNote;
    html += QStringLiteral("</body></html>");
    return html;
}

bool writeHistoryReport(const QString& path, const QString& ampName, const AmpRecord& amp,
                        const ShopDetails& shop, const QList<ServiceJob>& jobs,
                        QPageSize::PageSizeId pageSize)
{
    ReportDocument report;
    report.html = historyReportHtml(ampName, amp, shop, jobs, Clock::currentDateTime());
    for (const ServiceJob& job : jobs)
        report.plots.append(reportPlotData(job));
    report.logoPath = shop.logoPath;
    report.footer = footerText(shop, ampName);
    report.title = QStringLiteral("Service History — ") + ampName;
    report.author = shop.name.isEmpty() ? shop.technician : shop.name;
    const QString what = ampDescription(amp);
    report.subject = QStringLiteral("Service history of ") + (what.isEmpty() ? ampName : what);
    report.pageSize = pageSize;
    return writePdfFile(path, renderReport(report));
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

#include "biasreport.moc"
