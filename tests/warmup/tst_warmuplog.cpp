// The warm-up log as files keep it: the "warmupLog" key of a profile, what a hostile file can put
// there, the thinning of a long log, and the CSV export.
#include "bench/profilestore.h"
#include "testfiles.h"
#include "warmup/warmuplog.h"

#include <QBuffer>
#include <QDateTime>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const qint64 start = QDateTime(QDate(2026, 3, 14), QTime(9, 30)).toMSecsSinceEpoch();

WarmupEntry entry(qint64 offsetMs, int tube, int method, double meas1, double meas2, double currentMa,
                  double dissipationW, double pctOfMax)
{
    return WarmupEntry{start + offsetMs, tube, method, meas1, meas2, currentMa, dissipationW, pctOfMax};
}

// A small job: two 6L6GC on a bias probe at 400 V, one of them read again later, mains entered in
// between, and one reading of the winding method.
WarmupLog smallJob()
{
    WarmupLog log;
    log.append(entry(0, 0, 0, 40, 0, 40, 16, 53.333333333333336));
    log.append(entry(1500, 1, 0, 41.5, 0, 41.5, 16.6, 55.333333333333336));
    log.appendMains({start + 60000, 121.4});
    log.append(entry(125250, 0, 0, 42.25, 0, 42.25, 16.9, 56.333333333333336));
    log.append(entry(300000, 1, 2, 440, 100, 100, 44, 146.66666666666666));
    return log;
}

} // namespace

class TestWarmupLog : public QObject
{
    Q_OBJECT

private slots:
    void roundTripThroughAProfileFile();
    void olderFilesReadAsBefore();
    void hostileText_data();
    void hostileText();
    void hostileObject_data();
    void hostileObject();
    void entriesPastTheCapAreDropped();
    void longLogThinnedKeepingExtremes();
    void csvOfASmallJob();
    void readingUnit_data();
    void readingUnit();
    void csvReportsAFailedWrite();
};

void TestWarmupLog::roundTripThroughAProfileFile()
{
    QTemporaryDir home;
    useTemporaryHome(home);
    AmpProfile saved;
    saved.name = QStringLiteral("Bassman");
    saved.warmupLog = smallJob();
    saved.warmupLog.append(entry(400000, 11, 4, 1e-7, 0.1, 1.0 / 3, 2e300, 0)); // odd numbers read exactly
    QVERIFY(saveProfile(saved));
    AmpProfile loaded;
    QVERIFY(loadProfile(QStringLiteral("Bassman"), loaded));
    QCOMPARE(loaded.warmupLog.entries.size(), saved.warmupLog.entries.size());
    QVERIFY(loaded.warmupLog == saved.warmupLog);
    QVERIFY(readJsonObject(profilePath(QStringLiteral("Bassman.json")))
                .value(QStringLiteral("warmupLog"))
                .isObject());
}

// A profile as the version before the log wrote it: every value reads as before, the log is empty,
// and writing it again adds no key.
void TestWarmupLog::olderFilesReadAsBefore()
{
    const QByteArray older = R"json({
    "bPlusV": 0, "biasMethod": 1, "cathodeResistorOhms": 250, "customMaxW": 25,
    "meas1": [40.5, 39.8], "meas2": [0, 0], "meterReadsTotal": true, "name": "Twin",
    "plateV": 455, "senseResistorOhms": 1, "sharedCathodeR": false, "subtractScreen": true,
    "targetPct": 70, "tube": "6L6GC", "tubeCount": 2, "topology": "Push-Pull Class AB (fixed bias)"
})json";
    QJsonObject object;
    QVERIFY(jsonObjectFromBytes(older, object));
    const AmpProfile p = profileFromJson(object);
    QVERIFY(p.warmupLog.isEmpty());
    QCOMPARE(p.plateV, 455.0);
    QCOMPARE(p.meas1, (QList<double>{40.5, 39.8}));
    QCOMPARE(p.biasMethod, 1);
    // Written back, it gains no log key, and every key it had keeps its value.
    const QJsonObject written = profileToJson(p);
    QVERIFY(!written.contains(QStringLiteral("warmupLog")));
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        QVERIFY2(written.value(it.key()) == it.value(), qPrintable(it.key()));
}

void TestWarmupLog::hostileText_data()
{
    QTest::addColumn<QString>("entries");
    QTest::addColumn<int>("read");
    const QString good = QStringLiteral("0 0 0 40 0 40 16 53.3\n");
    QTest::addRow("one good line") << good << 1;
    QTest::addRow("no newline at the end, blank lines") << QStringLiteral("\n\n0 0 0 40 0 40 16 53.3") << 1;
    QTest::addRow("tube 12 of a 12-tube bench") << QStringLiteral("0 12 0 40 0 40 16 53.3\n") << 0;
    QTest::addRow("negative tube") << QStringLiteral("0 -1 0 40 0 40 16 53.3\n") << 0;
    QTest::addRow("method 5") << QStringLiteral("0 0 5 40 0 40 16 53.3\n") << 0;
    QTest::addRow("half a tube") << QStringLiteral("0 0.5 0 40 0 40 16 53.3\n") << 0;
    QTest::addRow("fractional milliseconds") << QStringLiteral("0.25 0 0 40 0 40 16 53.3\n") << 0;
    QTest::addRow("time past the year 10000") << QStringLiteral("1e300 0 0 40 0 40 16 53.3\n") << 0;
    QTest::addRow("nan") << QStringLiteral("0 0 0 nan 0 40 16 53.3\n") << 0;
    QTest::addRow("inf") << QStringLiteral("0 0 0 40 0 inf 16 53.3\n") << 0;
    QTest::addRow("overflowing number") << QStringLiteral("0 0 0 1e999 0 40 16 53.3\n") << 0;
    QTest::addRow("seven numbers") << QStringLiteral("0 0 0 40 0 40 16\n") << 0;
    QTest::addRow("nine numbers") << QStringLiteral("0 0 0 40 0 40 16 53.3 1\n") << 0;
    QTest::addRow("words") << QStringLiteral("zero 0 0 40 0 40 16 53.3\n") << 0;
    QTest::addRow("bad lines between good ones") << good + QStringLiteral("x\n\u0000\n") + good << 2;
    QTest::addRow("offset within range, time beyond it") << QStringLiteral("4e14 0 0 40 0 40 16 53.3\n") << 0;
    QTest::addRow("tabs are not separators") << QStringLiteral("0\t0 0 40 0 40 16 53.3\n") << 0;
}

void TestWarmupLog::hostileText()
{
    QFETCH(QString, entries);
    QFETCH(int, read);
    const WarmupLog log = warmupLogFromJson(
        QJsonObject{{"start", double(start)}, {"entries", entries}, {"mains", "0 230\nx\n5 nan\n"}});
    QCOMPARE(log.entries.size(), read);
    QCOMPARE(log.mains.size(), 1);
    for (const WarmupEntry& e : log.entries)
        QCOMPARE(e.timeMs, start);
}

void TestWarmupLog::hostileObject_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("read");
    QTest::addRow("no start") << QByteArray(R"({"entries": "0 0 0 40 0 40 16 53.3"})") << 0;
    QTest::addRow("start a string") << QByteArray(R"({"start": "1", "entries": "0 0 0 40 0 40 16 53.3"})")
                                    << 0;
    QTest::addRow("start fractional")
        << QByteArray(R"({"start": 1.5, "entries": "0 0 0 40 0 40 16 53.3"})") << 0;
    QTest::addRow("start beyond the year 9999")
        << QByteArray(R"({"start": 1e300, "entries": "0 0 0 40 0 40 16 53.3"})") << 0;
    QTest::addRow("entries an array")
        << QByteArray(R"({"start": 0, "entries": ["0 0 0 40 0 40 16 53.3"]})") << 0;
    QTest::addRow("negative start, fine")
        << QByteArray(R"({"start": -1000, "entries": "0 0 0 40 0 40 16 53"})") << 1;
    QTest::addRow("far apart in time, both kept")
        << QByteArray(R"({"start": -2.5e14, "entries": "0 0 0 40 0 40 16 53\n5e14 1 0 41 0 41 16 53\n"})")
        << 2;
    QTest::addRow("out of order, sorted")
        << QByteArray(R"({"start": 0, "entries": "9000 1 0 41 0 41 16 53\n-5000 0 0 40 0 40 16 53\n"})") << 2;
}

void TestWarmupLog::hostileObject()
{
    QFETCH(QByteArray, json);
    QFETCH(int, read);
    const WarmupLog log = warmupLogFromJson(QJsonDocument::fromJson(json).object());
    QCOMPARE(log.entries.size(), read);
    for (qsizetype i = 1; i < log.entries.size(); ++i)
        QVERIFY(log.entries.at(i - 1).timeMs <= log.entries.at(i).timeMs);
}

void TestWarmupLog::entriesPastTheCapAreDropped()
{
    QString text;
    for (int i = 0; i < warmupMaxFileEntries + 10; ++i)
        text += QStringLiteral("%1 0 0 40 0 40 16 53\n").arg(i);
    const WarmupLog log = warmupLogFromJson(QJsonObject{{"start", 0.0}, {"entries", text}});
    QCOMPARE(log.entries.size(), warmupMaxFileEntries);
    QCOMPARE(log.entries.last().timeMs, qint64(warmupMaxFileEntries - 1));
}

// Four tubes at ten readings a second for an hour are more than a file keeps: the written log is
// thinned, but the spike of tube 2 and the dip of tube 3 are still in it.
void TestWarmupLog::longLogThinnedKeepingExtremes()
{
    WarmupLog log;
    for (int i = 0; i < 36000; ++i) {
        for (int tube = 0; tube < 4; ++tube) {
            double ma = 40 + tube + 0.01 * (i % 7);
            if (tube == 2 && i == 12345)
                ma = 95;
            if (tube == 3 && i == 30001)
                ma = 5;
            log.append(entry(qint64(i) * 100, tube, 0, ma, 0, ma, ma * 0.4, ma * 0.4 / 30 * 100));
        }
    }
    log.appendMains({start, 230});
    const WarmupLog thinned = warmupLogForFile(log);
    QVERIFY(thinned.entries.size() <= warmupMaxFileEntries);
    QVERIFY(thinned.entries.size() > warmupMaxFileEntries / 2);
    QCOMPARE(thinned.tubes(), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(thinned.mains, log.mains);
    QVERIFY(thinned.entries.contains(log.entries.at(12345 * 4 + 2)));
    QVERIFY(thinned.entries.contains(log.entries.at(30001 * 4 + 3)));
    for (qsizetype i = 1; i < thinned.entries.size(); ++i)
        QVERIFY(thinned.entries.at(i - 1).timeMs <= thinned.entries.at(i).timeMs);
    // A log that fits is written whole.
    QVERIFY(warmupLogForFile(smallJob()) == smallJob());
}

void TestWarmupLog::csvOfASmallJob()
{
    const QByteArray expected =
        "time,tube,method,reading,unit,current_mA,dissipation_W,pct_of_max,mains_V\r\n"
        "2026-03-14 09:30:00.000,1,Bias probe (cathode current),40,mA,40.00,16.00,53.3,\r\n"
        "2026-03-14 09:30:01.500,2,Bias probe (cathode current),41.5,mA,41.50,16.60,55.3,\r\n"
        "2026-03-14 09:32:05.250,1,Bias probe (cathode current),42.25,mA,42.25,16.90,56.3,121.4\r\n"
        "2026-03-14 09:35:00.000,2,OT winding voltage drop,440 / 100,V / Ω,100.00,44.00,146.7,121.4\r\n";
    QCOMPARE(warmupCsv(smallJob()), expected);
    QCOMPARE(warmupCsv(WarmupLog()),
             QByteArray("time,tube,method,reading,unit,current_mA,dissipation_W,pct_of_max,mains_V\r\n"));
}

void TestWarmupLog::readingUnit_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("unit");
    QTest::newRow("bias probe") << 0 << QStringLiteral("mA");
    QTest::newRow("sense resistor") << 1 << QStringLiteral("mV");
    QTest::newRow("winding drop: both readings") << 2 << QStringLiteral("V / Ω");
    QTest::newRow("cathode bias") << 3 << QStringLiteral("V");
    QTest::newRow("panel meter") << 4 << QStringLiteral("mA");
    QTest::newRow("no such method") << 5 << QString();
    QTest::newRow("negative") << -1 << QString();
}

void TestWarmupLog::readingUnit()
{
    QFETCH(int, method);
    QFETCH(QString, unit);
    QCOMPARE(warmupReadingUnit(method), unit);
}

void TestWarmupLog::csvReportsAFailedWrite()
{
    QBuffer readOnly;
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QString error;
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
    QVERIFY(!writeWarmupCsv(smallJob(), readOnly, &error));
    QVERIFY(!error.isEmpty());
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(writeWarmupCsv(smallJob(), buffer, &error));
    QCOMPARE(buffer.data(), warmupCsv(smallJob()));
}

QTEST_GUILESS_MAIN(TestWarmupLog)
#include "tst_warmuplog.moc"
