// The customer report and the history report as PDFs read back with poppler's tools: what they say
// (pdftotext), their paper and metadata (pdfinfo), the true size of their text and table (pdftoppm
// at a known resolution), their pages, and the job they carry (pdfdetach), read back into a job.
#include "biastools/biasreport.h"
#include "service/pdfattachment.h"
#include "servicefixtures.h"

#include "mockclock.h"
#include "testfiles.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Runs a poppler tool; its standard output, or an empty result with `error` saying why.
QByteArray runTool(const QString& tool, const QStringList& arguments, QString* error)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        *error = tool + QStringLiteral(" (Debian package poppler-utils) is needed to read the report back");
        return QByteArray();
    }
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        *error = tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return QByteArray();
    }
    return process.readAllStandardOutput();
}

QString pageText(const QString& pdf, int page, QString* error)
{
    const QString number = QString::number(page);
    return QString::fromUtf8(runTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-layout"), QStringLiteral("-f"), number,
                                      QStringLiteral("-l"), number, pdf, QStringLiteral("-")},
                                     error));
}

QString info(const QString& pdf, QString* error)
{
    return QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}, error));
}

// Page `page` rendered in grey at `dpi`.
QImage renderPage(const QString& pdf, int page, int dpi, const QTemporaryDir& dir, QString* error)
{
    const QString stem = dir.filePath(QStringLiteral("page"));
    const QString number = QString::number(page);
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-png"), QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dpi),
             QStringLiteral("-f"), number, QStringLiteral("-l"), number, QStringLiteral("-singlefile"), pdf,
             stem},
            error);
    return QImage(stem + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
}

bool rowHasInk(const QImage& image, int y, int threshold = 160)
{
    const uchar* line = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x)
        if (line[x] < threshold)
            return true;
    return false;
}

// The pitch, in pixels, of the longest run of evenly spaced text lines on the page: the bands of
// rows with ink, taken in order, and the longest stretch of them whose tops step by the same amount
// (within a pixel). `lines` is how many lines that stretch has.
double linePitch(const QImage& image, int* lines)
{
    QVector<int> tops;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        const bool ink = rowHasInk(image, y);
        if (ink && !inBand)
            tops.append(y);
        inBand = ink;
    }
    int bestStart = 0;
    int bestCount = 0;
    for (int i = 0; i + 1 < tops.size();) {
        const int step = tops[i + 1] - tops[i];
        int j = i + 1;
        while (j + 1 < tops.size() && std::abs(tops[j + 1] - tops[j] - step) <= 1)
            ++j;
        if (j - i + 1 > bestCount) {
            bestCount = j - i + 1;
            bestStart = i;
        }
        i = j;
    }
    *lines = bestCount;
    if (bestCount < 2)
        return 0;
    return double(tops[bestStart + bestCount - 1] - tops[bestStart]) / (bestCount - 1);
}

// The widest run of dark pixels (the table's header band is #2b2b2b) in any row, in pixels.
int widestDarkRun(const QImage& image)
{
    int widest = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = line[x] < 70 ? run + 1 : 0;
            widest = qMax(widest, run);
        }
    }
    return widest;
}

void expectPatterns(const QString& text, const QStringList& patterns)
{
    for (const QString& pattern : patterns)
        QVERIFY2(text.contains(QRegularExpression(pattern)),
                 qPrintable(QStringLiteral("expected /%1/ in the PDF's text:\n%2").arg(pattern, text)));
}

} // namespace

class TestServiceReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void customerDocument();
    void windingDropPrintsEachPlateVoltage();
    void paperAndTrueSizes_data();
    void paperAndTrueSizes();
    void longJobRunsOverPagesWithNumbers();
    void embeddedJobReadsBack();
    void historyReport();
};

void TestServiceReport::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestServiceReport::customerDocument()
{
    MockClock clock;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("job.pdf"));
    BiasReportData data =
        biasReportFromJob(senseJob(), QStringLiteral("Dana's JTM45"), testAmp(), testShop());
    QVERIFY(writeBiasReport(path, data));

    QString error;
    const QString text = pdfText(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    expectPatterns(
        text,
        {
            // The shop, the customer and the amp.
            QStringLiteral("Northside Valve Works"),
            QStringLiteral("12 Foundry Lane"),
            QStringLiteral("Leeds LS9 8AB"),
            QStringLiteral("0113 496 0123 · bench@northside.example"),
            QStringLiteral("Bias Report — Dana's JTM45"),
            QStringLiteral("Customer\\s+Dana Whitcombe"),
            QStringLiteral("Contact\\s+07700 900123"),
            QStringLiteral("Make\\s+Marshall"),
            QStringLiteral("Model\\s+JTM45 reissue"),
            QStringLiteral("Serial number\\s+SN-4471-B"),
            // The job and every shared value the method used.
            QStringLiteral("Tube type\\s+6L6GC \\(max 30 W plate\\)"),
            QStringLiteral("Bias method\\s+Cathode sense resistor"),
            QStringLiteral("Plate voltage\\s+470 V"),
            QStringLiteral("Target\\s+65% of max dissipation"),
            QStringLiteral("Date\\s+2026-03-14"),
            QStringLiteral("Technician\\s+Rita Okafor"),
            QStringLiteral("Tubes fitted\\s+4 × 6L6GC, Tung-Sol"),
            QStringLiteral("Sense resistor\\s+1 ?Ω"),
            QStringLiteral("Screen current\\s+not subtracted"),
            QStringLiteral("Mains\\s+119.8 V"),
            // Raw readings with their units beside the results, before and after.
            QStringLiteral("Before adjustment"),
            QStringLiteral("V1\\s+28.0 mV\\s+28.0 mA"),
            QStringLiteral("V2\\s+29.0 mV\\s+29.0 mA"),
            QStringLiteral("After adjustment"),
            QStringLiteral("Tube\\s+Reading\\s+Idle Current\\s+Plate Dissipation\\s+% of Max\\s+Status"),
            QStringLiteral("V1\\s+41.5 mV\\s+41.5 mA\\s+19.5 W\\s+65.0%\\s+IDEAL"),
            QStringLiteral("V4\\s+43.0 mV\\s+43.0 mA\\s+20.2 W\\s+67.4%\\s+IDEAL"),
            QStringLiteral("MATCHING: within \\d+% — good"),
            QStringLiteral("Warm-up drift"),
            QStringLiteral("Replaced the screen resistors."),
            QStringLiteral("Tubes and labour are covered for 90 days"),
            QStringLiteral("Technician: _+"),
            QStringLiteral("Customer: _+"),
            QStringLiteral("Northside Valve Works — Dana's JTM45\\s+Page 1 of [12]"),
        });
    const QString meta = info(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    expectPatterns(meta,
                   {QStringLiteral("Title:\\s+Bias Report — Dana's JTM45"),
                    QStringLiteral("Author:\\s+Northside Valve Works"),
                    QStringLiteral("Subject:\\s+Power tube bias of Marshall JTM45 reissue, serial SN-4471-B "
                                   "for Dana Whitcombe"),
                    QStringLiteral("Creator:\\s+Ambertrace")});
}

void TestServiceReport::windingDropPrintsEachPlateVoltage()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ot.pdf"));
    QVERIFY(writeBiasReport(
        path, biasReportFromJob(windingDropJob(), QStringLiteral("Bench EL34"), AmpRecord(), ShopDetails())));
    QString error;
    const QString text = pdfText(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // (450 - 446.5) V over 100 Ω is 35 mA; (450 - 445.8) V over 104 Ω is 40.4 mA.
    expectPatterns(text, {QStringLiteral("Bias method\\s+OT winding voltage drop"),
                          QStringLiteral("B\\+ \\(centre tap\\)\\s+450 V"),
                          QStringLiteral("V1\\s+446.5 V / 100.0 ?Ω\\s+35.0 mA"),
                          QStringLiteral("V2\\s+445.8 V / 104.0 ?Ω\\s+40.4 mA")});
    QVERIFY2(!text.contains(QStringLiteral("512")) && !text.contains(QStringLiteral("Plate voltage ")),
             qPrintable(QStringLiteral("the unused shared plate voltage must not be printed:\n") + text));
}

void TestServiceReport::paperAndTrueSizes_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<QString>("pdfinfoSize");
    QTest::addColumn<double>("widthMm");
    // Qt writes A4 as its whole-point size, 595 x 842.
    QTest::addRow("A4") << int(QPageSize::A4) << "595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)" << 210.0;
    QTest::addRow("US Letter") << int(QPageSize::Letter) << "612 x 792 pts \\(letter\\)" << 215.9;
}

void TestServiceReport::paperAndTrueSizes()
{
    QFETCH(int, paper);
    QFETCH(QString, pdfinfoSize);
    QFETCH(double, widthMm);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("sizes.pdf"));
    // Thirty lines of notes in 11 pt, capitals and digits only, so no line's descenders touch the
    // next; the job's rows are left out so that they fit on the first page.
    QStringList lines;
    for (int i = 1; i <= 30; ++i)
        lines << QStringLiteral("LINE %1 OF THE NOTES 1234567890").arg(i, 2, 10, QLatin1Char('0'));
    BiasReportData data =
        biasReportFromJob(senseJob(false, 1), QStringLiteral("Sizes"), AmpRecord(), ShopDetails());
    data.notes = lines.join(QLatin1Char('\n'));
    data.jobRows.clear();
    data.beforeRows.clear();
    data.pageSize = QPageSize::PageSizeId(paper);
    QVERIFY(writeBiasReport(path, data));

    QString error;
    expectPatterns(info(path, &error), {QStringLiteral("Page size:\\s+") + pdfinfoSize});
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // At 100 dpi a line of 11 pt text (11/72 in) is 15.3 px tall before its line spacing, which
    // fonts put between 1 and 1.5 times the size. Laid out at the old, shrunken scale it would be
    // about 10 px.
    const int dpi = 100;
    const QImage page = renderPage(path, 1, dpi, dir, &error);
    QVERIFY2(!page.isNull(), qPrintable(error));
    int count = 0;
    const double pitch = linePitch(page, &count);
    QVERIFY2(count >= 25,
             qPrintable(QStringLiteral("expected the block of notes, found %1 even lines").arg(count)));
    const double pointPx = 11.0 / 72 * dpi;
    QVERIFY2(pitch >= pointPx * 1.0 && pitch <= pointPx * 1.5,
             qPrintable(QStringLiteral("line pitch %1 px for 11 pt at %2 dpi").arg(pitch).arg(dpi)));

    // The tube table runs from margin to margin: its dark header band is the width of the text.
    const double textWidthPx = (widthMm - 2 * reportSideMarginMm) / 25.4 * dpi;
    const int band = widestDarkRun(page);
    QVERIFY2(band >= textWidthPx * 0.95 && band <= textWidthPx * 1.01,
             qPrintable(QStringLiteral("header band %1 px, text width %2 px").arg(band).arg(textWidthPx)));
}

void TestServiceReport::longJobRunsOverPagesWithNumbers()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("long.pdf"));
    // Twelve tubes before and after, an hour's log and the shop's details: more than one page.
    QVERIFY(writeBiasReport(
        path, biasReportFromJob(senseJob(true, 12), QStringLiteral("Big Rig"), testAmp(), testShop())));
    QString error;
    const QString meta = info(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(meta);
    QVERIFY2(pages.hasMatch(), qPrintable(meta));
    const int count = pages.captured(1).toInt();
    QVERIFY2(count >= 2, qPrintable(meta));
    for (int p = 1; p <= count; ++p) {
        const QString text = pageText(path, p, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        expectPatterns(text, {QStringLiteral("Page %1 of %2").arg(p).arg(count)});
    }
    // Nothing is lost at the page break: every tube of both tables and the closing lines are there.
    const QString all = pdfText(path, &error);
    for (int t = 1; t <= 12; ++t)
        QCOMPARE(all.count(QRegularExpression(QStringLiteral("\\bV%1\\s+\\d").arg(t))), 2);
    expectPatterns(all, {QStringLiteral("Tubes and labour"), QStringLiteral("Customer: _+")});
}

void TestServiceReport::embeddedJobReadsBack()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("carry.pdf"));
    const ServiceJob job = senseJob();
    QVERIFY(
        writeBiasReport(path, biasReportFromJob(job, QStringLiteral("Dana's JTM45"), testAmp(), testShop())));

    // poppler sees the file and takes it out.
    QString error;
    const QString list =
        QString::fromUtf8(runTool(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), path}, &error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(list.contains(reportAttachmentName), qPrintable(list));
    const QString saved = dir.filePath(QStringLiteral("detached.json"));
    runTool(QStringLiteral("pdfdetach"),
            {QStringLiteral("-save"), QStringLiteral("1"), QStringLiteral("-o"), saved, path}, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QByteArray detached = readFile(saved);

    QString ampName;
    AmpRecord amp;
    ServiceJob read;
    QVERIFY2(jobFromReportAttachment(detached, ampName, amp, read), detached.left(400).constData());
    QCOMPARE(ampName, QStringLiteral("Dana's JTM45"));
    QVERIFY(amp == testAmp());
    QVERIFY2(read == job, "the job read back from the report must equal the job written");

    // The program's own reader finds the same bytes in the file.
    QByteArray ours;
    QVERIFY(pdfEmbeddedFile(readFile(path), reportAttachmentName, ours));
    QCOMPARE(ours, detached);
}

void TestServiceReport::historyReport()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("history.pdf"));
    QList<ServiceJob> jobs;
    ServiceJob older = senseJob(false);
    older.date = QDateTime(QDate(2024, 6, 1), QTime(11, 0), Qt::UTC);
    older.tubeBrand = QStringLiteral("JJ");
    addToHistory(jobs, older);
    addToHistory(jobs, senseJob());
    QVERIFY(
        writeHistoryReport(path, QStringLiteral("Dana's JTM45"), testAmp(), testShop(), jobs, QPageSize::A4));
    QString error;
    const QString text = pdfText(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    expectPatterns(text, {QStringLiteral("Service History — Dana's JTM45"),
                          QStringLiteral("Serial number\\s+SN-4471-B"),
                          QStringLiteral("Job of 2026-03-14[\\s\\S]*Job of 2024-06-01"),
                          QStringLiteral("4 × 6L6GC, Tung-Sol[\\s\\S]*4 × 6L6GC, JJ")});
    expectPatterns(info(path, &error), {QStringLiteral("Title:\\s+Service History — Dana's JTM45")});
}

QTEST_MAIN(TestServiceReport)
#include "tst_servicereport.moc"
