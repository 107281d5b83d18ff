#include "biastools/biasreport.h"

#include "mockclock.h"
#include "testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

BiasResult reading(double currentMa, double dissipationW, double pctOfMax)
{
    BiasResult result;
    result.valid = true;
    result.currentMa = currentMa;
    result.dissipationW = dissipationW;
    result.pctOfMax = pctOfMax;
    return result;
}

// A push-pull quartet of 6V6GTs at 400 V: one cold, one ideal, one without a reading, one over max.
BiasReportData quartet()
{
    BiasReportData data;
    data.ampName = QStringLiteral("Black Panel Deluxe");
    data.tubeType = QStringLiteral("6V6GT");
    data.topology = QStringLiteral("Push-Pull Class AB (fixed bias)");
    data.biasMethod = QStringLiteral("Bias probe (cathode current)");
    data.plateV = 400;
    data.targetPct = 65;
    data.maxPlateW = 14;
    const QList<BiasResult> results = {reading(20, 8, 57.142857), reading(23, 9.2, 65.714286), BiasResult(),
                                       reading(40, 16, 114.285714)};
    for (int i = 0; i < results.size(); ++i)
        data.rows << biasReportRow(i, results[i], data.topology);
    return data;
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lowers the soft file-size limit for the lifetime of the object, so a write beyond it fails the
// way a full disk does; SIGXFSZ is ignored so the process sees EFBIG instead of being killed.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (getrlimit(RLIMIT_FSIZE, &previous) != 0)
            return;
        rlimit lowered = previous;
        lowered.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (active)
            setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active = false;

private:
    rlimit previous{};
    void (*previousHandler)(int) = SIG_DFL;
};

} // namespace

class TestBiasReport : public QObject
{
    Q_OBJECT

private slots:
    void infoTable_data();
    void infoTable();
    void documentFrame();
    void tubeRows_data();
    void tubeRows();
    void ampNameAndDefaultPath_data();
    void ampNameAndDefaultPath();
    void writesReadablePdf();
    void failureLeavesPreviousFile_data();
    void failureLeavesPreviousFile();
    void shortWriteIsAFailure();
};

void TestBiasReport::infoTable_data()
{
    QTest::addColumn<QString>("ampName");
    QTest::addColumn<QString>("tubeType");
    QTest::addColumn<QString>("topology");
    QTest::addColumn<QString>("method");
    QTest::addColumn<double>("plateV");
    QTest::addColumn<double>("maxPlateW");
    QTest::addColumn<double>("targetPct");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    QTest::addRow("plain setup")
        << "Deluxe Reverb"
        << "6V6GT"
        << "Push-Pull Class AB (fixed bias)"
        << "Bias probe (cathode current)" << 350.0 << 14.0 << 65.0
        << QStringList{"<h1>Bias Report — Deluxe Reverb</h1>",
                       "<tr><td><b>Tube type</b></td><td>6V6GT (max 14 W plate)</td></tr>",
                       "<tr><td><b>Topology</b></td><td>Push-Pull Class AB (fixed bias)</td></tr>",
                       "<tr><td><b>Bias method</b></td><td>Bias probe (cathode current)</td></tr>",
                       "<tr><td><b>Plate voltage</b></td><td>350 V</td></tr>",
                       "<tr><td><b>Target</b></td><td>65% of max dissipation</td></tr>"}
        << QStringList();
    QTest::addRow("fractions in shortest form")
        << "AC30"
        << "EL84 / 6BQ5"
        << "Push-Pull Class A"
        << "Cathode sense resistor" << 412.5 << 13.2 << 90.0
        << QStringList{"<td>EL84 / 6BQ5 (max 13.2 W plate)</td>", "<td>412.5 V</td>",
                       "<td>90% of max dissipation</td>"}
        << QStringList();
    QTest::addRow("plate voltage 0 leaves its row out")
        << "SB-220"
        << "3-500Z"
        << "RF Linear (Class AB/B)"
        << "Panel meter (plate current)" << 0.0 << 500.0 << 30.0
        << QStringList{"<td><b>Tube type</b>", "<td><b>Topology</b>", "<td><b>Bias method</b>",
                       "<td>30% of max dissipation</td>"}
        << QStringList{"Plate voltage"};
    QTest::addRow("markup is escaped, placeholders are not substituted twice")
        << "A&B <Deluxe>"
        << "Custom <x> %2"
        << "Class \"A\" & B"
        << "<i>probe</i>" << 300.0 << 30.0 << 65.0
        << QStringList{"<h1>Bias Report — A&amp;B &lt;Deluxe&gt;</h1>",
                       "<td>Custom &lt;x&gt; %2 (max 30 W plate)</td>",
                       "<td>Class &quot;A&quot; &amp; B</td>", "<td>&lt;i&gt;probe&lt;/i&gt;</td>"}
        << QStringList{"<Deluxe>", "<x>", "<i>probe"};
}

void TestBiasReport::infoTable()
{
    QFETCH(QString, ampName);
    QFETCH(QString, tubeType);
    QFETCH(QString, topology);
    QFETCH(QString, method);
    QFETCH(double, plateV);
    QFETCH(double, maxPlateW);
    QFETCH(double, targetPct);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);

    BiasReportData data;
    data.ampName = ampName;
    data.tubeType = tubeType;
    data.topology = topology;
    data.biasMethod = method;
    data.plateV = plateV;
    data.maxPlateW = maxPlateW;
    data.targetPct = targetPct;
    const QString html = biasReportHtml(data, QDateTime(QDate(2024, 3, 5), QTime(14, 7)));
    for (const QString& part : present)
        QVERIFY2(html.contains(part), qPrintable(QStringLiteral("expected '%1' in:\n%2").arg(part, html)));
    for (const QString& part : absent)
        QVERIFY2(!html.contains(part),
                 qPrintable(QStringLiteral("did not expect '%1' in:\n%2").arg(part, html)));
}

void TestBiasReport::documentFrame()
{
    const QString html = biasReportHtml(BiasReportData(), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 59)));
    QVERIFY2(html.startsWith(QStringLiteral("\n<html><head><style>\n  body { ")), qPrintable(html));
    QVERIFY2(
        html.contains(QStringLiteral("</style></head><body>\n<h1>Bias Report — </h1>"
                                     "<div class='sub'>Generated 2024-03-05 14:07 by Ambertrace — By Quorlen"
                                     "</div><table class='info'>")),
        qPrintable(html));
    // Without cards the tubes table keeps its header row and nothing else.
    QVERIFY2(
        html.contains(QStringLiteral("<table class='tubes'><tr><th>Tube</th><th>Idle Current</th>"
                                     "<th>Plate Dissipation</th><th>% of Max</th><th>Status</th></tr>"
                                     "</table><div class='foot'>Idle plate dissipation = plate voltage × "
                                     "idle plate current.")),
        qPrintable(html));
    QVERIFY2(html.endsWith(QStringLiteral("maximum plate dissipation.</div></body></html>")),
             qPrintable(html));
}

void TestBiasReport::tubeRows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<BiasResult>("result");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("row");

    const QString abFixed = QStringLiteral("Push-Pull Class AB (fixed bias)");
    QTest::addRow("below the window is cold")
        << 0 << reading(40, 16, 53.333) << abFixed << "COLD"
        << "<tr><td>V1</td><td>40.0 mA</td><td>16.0 W</td><td>53.3%</td><td class='cold'>COLD</td></tr>";
    QTest::addRow("window edge is ideal")
        << 1 << reading(24.5, 9.8, 70) << abFixed << "IDEAL"
        << "<tr><td>V2</td><td>24.5 mA</td><td>9.8 W</td><td>70.0%</td><td class='ideal'>IDEAL</td></tr>";
    QTest::addRow("100 %% with a window ending at 70 is warm, not over max")
        << 0 << reading(35, 14, 100) << abFixed << "WARM"
        << "<tr><td>V1</td><td>35.0 mA</td><td>14.0 W</td><td>100.0%</td><td class='warm'>WARM</td></tr>";
    QTest::addRow("100 %% in a class-A window reaching 100 is ideal")
        << 0 << reading(35, 14, 100) << "Single-Ended Class A"
        << "IDEAL"
        << "<tr><td>V1</td><td>35.0 mA</td><td>14.0 W</td><td>100.0%</td><td class='ideal'>IDEAL</td></tr>";
    QTest::addRow("just over 100 %% is hot")
        << 2 << reading(35.01, 14.004, 100.03) << "Single-Ended Class A"
        << "OVER MAX"
        << "<tr><td>V3</td><td>35.0 mA</td><td>14.0 W</td><td>100.0%</td><td class='hot'>OVER MAX</td></tr>";
    QTest::addRow("unknown class rates against 60-70")
        << 0 << reading(26, 10.4, 74.3) << "No such class"
        << "WARM"
        << "<tr><td>V1</td><td>26.0 mA</td><td>10.4 W</td><td>74.3%</td><td class='warm'>WARM</td></tr>";
    QTest::addRow("no reading spans the value columns")
        << 11 << BiasResult() << abFixed << "NO READING"
        << "<tr><td>V12</td><td colspan='4'>no reading</td></tr>";
}

void TestBiasReport::tubeRows()
{
    QFETCH(int, index);
    QFETCH(BiasResult, result);
    QFETCH(QString, className);
    QFETCH(QString, status);
    QFETCH(QString, row);

    const BiasReportRow reportRow = biasReportRow(index, result, className);
    QCOMPARE(reportRow.status, status);
    BiasReportData data;
    data.rows << reportRow;
    const QString html = biasReportHtml(data, QDateTime::currentDateTime());
    QVERIFY2(html.contains(QStringLiteral("<th>Status</th></tr>") + row + QStringLiteral("</table>")),
             qPrintable(QStringLiteral("expected the row\n%1\nin:\n%2").arg(row, html)));
}

void TestBiasReport::ampNameAndDefaultPath_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("tubeType");
    QTest::addColumn<QString>("ampName");
    QTest::addColumn<QString>("fileName");
    QTest::addRow("placeholder uses the tube type") << ""
                                                    << "6L6GC"
                                                    << "6L6GC amp"
                                                    << "6L6GC_amp_bias_report.pdf";
    QTest::addRow("double space collapses to one underscore") << "My  Deluxe"
                                                              << "6V6GT"
                                                              << "My  Deluxe"
                                                              << "My_Deluxe_bias_report.pdf";
    QTest::addRow("ends trimmed, tabs simplified") << " Twin\tReverb "
                                                   << "6L6GC"
                                                   << " Twin\tReverb "
                                                   << "Twin_Reverb_bias_report.pdf";
    QTest::addRow("other characters stay") << "Bassman '59 (5F6-A)"
                                           << "5881"
                                           << "Bassman '59 (5F6-A)"
                                           << "Bassman_'59_(5F6-A)_bias_report.pdf";
    QTest::addRow("a slash in a tube name stays inside the documents folder")
        << ""
        << "EL84 / 6BQ5"
        << "EL84 / 6BQ5 amp"
        << "EL84___6BQ5_amp_bias_report.pdf";
}

void TestBiasReport::ampNameAndDefaultPath()
{
    QFETCH(QString, profile);
    QFETCH(QString, tubeType);
    QFETCH(QString, ampName);
    QFETCH(QString, fileName);
    QCOMPARE(biasReportAmpName(profile, tubeType), ampName);
    const QString documents = QStringLiteral("/home/tech/Documents");
    QCOMPARE(biasReportDefaultPath(documents, ampName), documents + QLatin1Char('/') + fileName);
}

void TestBiasReport::writesReadablePdf()
{
    // The report says when it was made; the clock says a fixed day.
    MockClock clock;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Black_Panel_Deluxe_bias_report.pdf"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older report that gets replaced");
    }

    QVERIFY2(writeBiasReport(path, quartet()), "writing into a writable folder should succeed");
    const QByteArray pdf = readAll(path);
    QVERIFY2(pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF"),
             "the file should be a complete PDF, from header to trailer");
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("Black_Panel_Deluxe_bias_report.pdf")});

    QString error;
    const QString text = pdfText(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QStringList patterns = {
        QStringLiteral("Bias Report — Black Panel Deluxe"),
        QStringLiteral("Generated 2026-03-14 09:30 by Ambertrace — By Quorlen"),
        QStringLiteral("Tube type\\s+6V6GT \\(max 14 W plate\\)"),
        QStringLiteral("Topology\\s+Push-Pull Class AB \\(fixed bias\\)"),
        QStringLiteral("Bias method\\s+Bias probe \\(cathode current\\)"),
        QStringLiteral("Plate voltage\\s+400 V"),
        QStringLiteral("Target\\s+65% of max dissipation"),
        QStringLiteral("Tube\\s+Idle Current\\s+Plate Dissipation\\s+% of Max\\s+Status"),
        QStringLiteral("V1\\s+20.0 mA\\s+8.0 W\\s+57.1%\\s+COLD"),
        QStringLiteral("V2\\s+23.0 mA\\s+9.2 W\\s+65.7%\\s+IDEAL"),
        QStringLiteral("V3\\s+no reading"),
        QStringLiteral("V4\\s+40.0 mA\\s+16.0 W\\s+114.3%\\s+OVER MAX"),
        QStringLiteral("Idle plate dissipation = plate voltage × idle plate current"),
    };
    for (const QString& pattern : patterns) {
        QVERIFY2(text.contains(QRegularExpression(pattern)),
                 qPrintable(QStringLiteral("expected /%1/ in the PDF's text:\n%2").arg(pattern, text)));
    }
}

void TestBiasReport::failureLeavesPreviousFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addRow("a directory in the way") << "report.pdf";
    QTest::addRow("a missing folder") << "missing/report.pdf";
}

void TestBiasReport::failureLeavesPreviousFile()
{
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A directory named like the report, with a file in it that must survive.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("report.pdf")));
    const QString inner = dir.filePath(QStringLiteral("report.pdf/keep.txt"));
    {
        QFile keep(inner);
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("keep me");
    }

    QVERIFY2(!writeBiasReport(dir.filePath(target), quartet()), "a report that cannot be created must fail");
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("report.pdf")});
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("report.pdf"))).isDir());
    QCOMPARE(entries(dir.filePath(QStringLiteral("report.pdf"))), QStringList{QStringLiteral("keep.txt")});
    QCOMPARE(readAll(inner), QByteArray("keep me"));
}

void TestBiasReport::shortWriteIsAFailure()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("report.pdf"));

    // How large the report is, so the limit is sure to cut it short.
    const QString probe = dir.filePath(QStringLiteral("probe.pdf"));
    QVERIFY(writeBiasReport(probe, quartet()));
    const qint64 fullSize = QFileInfo(probe).size();
    QVERIFY(QFile::remove(probe));
    QVERIFY2(fullSize > 2048,
             qPrintable(QStringLiteral("report unexpectedly small: %1 bytes").arg(fullSize)));

    const QByteArray previous("the previous report, still wanted");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(previous);
    }

    bool written = true;
    {
        FileSizeLimit limit(static_cast<rlim_t>(fullSize / 2));
        QVERIFY2(limit.active, "could not lower the file-size limit");
        written = writeBiasReport(path, quartet());
    }
    QVERIFY2(!written, "a PDF cut short by the file-size limit must be reported as a failure");
    QCOMPARE(readAll(path), previous);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("report.pdf")});
}

// QTextDocument needs the font database, so this test runs with a (headless) QGuiApplication.
QTEST_MAIN(TestBiasReport)
#include "tst_biasreport.moc"
