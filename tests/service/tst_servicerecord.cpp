// The amp's record and service history in profile files (their JSON, older files, the round trip
// through the store), and the reader that takes a job back out of a report's bytes.
#include "bench/profilestore.h"
#include "biastools/biasreport.h"
#include "service/pdfattachment.h"
#include "servicefixtures.h"

#include "testfiles.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <zlib.h>

namespace {

// A minimal PDF whose attached-file entry names `name` and whose stream holds `data`, compressed
// when `flate`; `lengthText` is what its /Length says ("" for the true length).
QByteArray handMadePdf(const QByteArray& name, const QByteArray& data, bool flate, QByteArray lengthText = {})
{
    QByteArray stream = data;
    if (flate) {
        uLongf size = compressBound(uLong(data.size()));
        QByteArray packed(int(size), '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &size,
                 reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()));
        packed.resize(int(size));
        stream = packed;
    }
    if (lengthText.isEmpty())
        lengthText = QByteArray::number(stream.size());
    QByteArray pdf = "%PDF-1.4\n";
    pdf += "3 0 obj\n<<\n" + QByteArray(flate ? "/Filter /FlateDecode\n" : "") + "/Length " + lengthText +
           "\n>>\nstream\n" + stream + "\nendstream\nendobj\n";
    pdf += "4 0 obj\n<<\n/F (" + name + ")\n/EF <</F 3 0 R>>\n/Type/Filespec\n>>\nendobj\n";
    pdf += "trailer\n<< /Size 5 >>\n%%EOF\n";
    return pdf;
}

} // namespace

class TestServiceRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void ampRecordKeepsItsShape();
    void olderFilesLoadWithoutRecordOrHistory();
    void historyRoundTripsThroughTheStore();
    void historyReadsNewestFirstAndSkipsJunk();
    void addToHistoryKeepsOrderAndRefusesTwins();
    void attachmentReader_data();
    void attachmentReader();

private:
    QTemporaryDir home;
};

void TestServiceRecord::initTestCase()
{
    QVERIFY(home.isValid());
    useTemporaryProgramHome(home);
}

void TestServiceRecord::init()
{
    QDir(profilesPath()).removeRecursively();
}

void TestServiceRecord::ampRecordKeepsItsShape()
{
    // The record is read by name elsewhere (MY AMPS' search), so its keys are fixed.
    const QJsonObject o = ampRecordToJson(testAmp());
    QCOMPARE(o.keys(), (QStringList{"contact", "customer", "make", "model", "notes", "serial"}));
    QCOMPARE(o.value(QStringLiteral("serial")).toString(), QStringLiteral("SN-4471-B"));
    QVERIFY(ampRecordFromJson(o) == testAmp());
    // Wrong types read as empty fields, not as a failure.
    const AmpRecord odd = ampRecordFromJson(QJsonObject{{"customer", 42}, {"make", "Vox"}});
    QVERIFY(odd.customer.isEmpty());
    QCOMPARE(odd.make, QStringLiteral("Vox"));
    QVERIFY(ampRecordFromJson(QJsonValue(QStringLiteral("not an object"))).isEmpty());
}

void TestServiceRecord::olderFilesLoadWithoutRecordOrHistory()
{
    // A profile as earlier versions wrote it: no "amp", no "history".
    const QJsonObject old{{"name", "Old Deluxe"},
                          {"tube", "6V6GT"},
                          {"tubeCount", 2},
                          {"topology", "Push-Pull Class AB (fixed bias)"},
                          {"biasMethod", 0},
                          {"plateV", 400},
                          {"meas1", QJsonArray{22, 23}},
                          {"meas2", QJsonArray{0, 0}}};
    QVERIFY(writeFile(profilePath(QStringLiteral("Old Deluxe.json")), jsonBytes(old)));
    AmpProfile profile;
    QVERIFY(loadProfile(QStringLiteral("Old Deluxe"), profile));
    QVERIFY(profile.amp.isEmpty());
    QVERIFY(profile.history.isEmpty());
    // Written back, it gains neither key.
    const QJsonObject again = profileToJson(profile);
    QVERIFY(!again.contains(QStringLiteral("amp")));
    QVERIFY(!again.contains(QStringLiteral("history")));
}

void TestServiceRecord::historyRoundTripsThroughTheStore()
{
    AmpProfile profile;
    profile.name = QStringLiteral("Dana's JTM45");
    profile.tube = QStringLiteral("6L6GC");
    profile.amp = testAmp();
    ServiceJob older = windingDropJob();
    QVERIFY(addToHistory(profile.history, senseJob()));
    QVERIFY(addToHistory(profile.history, older));
    QVERIFY(saveProfile(profile));

    // One JSON file, readable by hand, with both keys at the top.
    const QJsonObject file = readJsonObject(profilePath(QStringLiteral("Dana_s JTM45.json")));
    QVERIFY2(file.value(QStringLiteral("amp")).isObject(), qPrintable(describe(file)));
    QCOMPARE(file.value(QStringLiteral("history")).toArray().size(), 2);

    AmpProfile read;
    QVERIFY(loadProfile(profile.name, read));
    QVERIFY(read.amp == testAmp());
    QCOMPARE(read.history.size(), 2);
    QVERIFY2(read.history.at(0) == senseJob(), "the newer job, with its log, must read back equal");
    QVERIFY2(read.history.at(1) == older, "the older job must read back equal");
    QCOMPARE(read.history.at(1).method, int(OtWindingDrop));
    QCOMPARE(read.history.at(1).after.at(0).meas1, 446.5);
}

void TestServiceRecord::historyReadsNewestFirstAndSkipsJunk()
{
    const ServiceJob a = windingDropJob(); // 2025-11-02
    const ServiceJob b = senseJob(false);  // 2026-03-14
    const QJsonArray array{serviceJobToJson(a), 17, QJsonObject{{"date", "not a date"}}, serviceJobToJson(b),
                           QJsonObject{{"technician", "no date at all"}}};
    const QList<ServiceJob> jobs = historyFromJson(array);
    QCOMPARE(jobs.size(), 2);
    QVERIFY(jobs.at(0) == b);
    QVERIFY(jobs.at(1) == a);
    QVERIFY(historyFromJson(QJsonValue(QStringLiteral("history"))).isEmpty());
}

void TestServiceRecord::addToHistoryKeepsOrderAndRefusesTwins()
{
    QList<ServiceJob> history;
    ServiceJob middle = senseJob(false);
    ServiceJob newest = middle;
    newest.date = middle.date.addDays(30);
    ServiceJob oldest = middle;
    oldest.date = middle.date.addDays(-30);
    QVERIFY(addToHistory(history, middle));
    QVERIFY(addToHistory(history, oldest));
    QVERIFY(addToHistory(history, newest));
    QCOMPARE(history.size(), 3);
    QCOMPARE(history.at(0).date, newest.date);
    QCOMPARE(history.at(2).date, oldest.date);
    // The same job imported twice from its report is kept once.
    QVERIFY(!addToHistory(history, middle));
    QCOMPARE(history.size(), 3);
}

void TestServiceRecord::attachmentReader_data()
{
    QTest::addColumn<QByteArray>("pdf");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray json = "{\"format\": \"ambertrace-job\"}";
    const QByteArray name = reportAttachmentName.toLatin1();
    QTest::addRow("plain stream") << handMadePdf(name, json, false) << true << json;
    QTest::addRow("deflated stream") << handMadePdf(name, json, true) << true << json;
    QTest::addRow("another file's name") << handMadePdf("other.json", json, true) << false << QByteArray();
    QTest::addRow("length past the end") << handMadePdf(name, json, false, "99999") << false << QByteArray();
    QTest::addRow("negative length") << handMadePdf(name, json, false, "-5") << false << QByteArray();
    QTest::addRow("length to a missing object")
        << handMadePdf(name, json, false, "9 0 R") << false << QByteArray();
    QByteArray cut = handMadePdf(name, json, true);
    QTest::addRow("deflated data cut short")
        << cut.replace(cut.indexOf("stream\n") + 7 + 4, 6, "") << false << QByteArray();
    // Twenty megabytes of zeros deflate to a few kilobytes; inflating stops at the limit.
    QTest::addRow("inflates past the limit")
        << handMadePdf(name, QByteArray(20 * 1024 * 1024, '\0'), true) << false << QByteArray();
    QTest::addRow("not a PDF") << QByteArray("<html>") + handMadePdf(name, json, false) << false
                               << QByteArray();
    QTest::addRow("empty") << QByteArray() << false << QByteArray();
}

void TestServiceRecord::attachmentReader()
{
    QFETCH(QByteArray, pdf);
    QFETCH(bool, found);
    QFETCH(QByteArray, expected);
    QByteArray out("untouched");
    QCOMPARE(pdfEmbeddedFile(pdf, reportAttachmentName, out), found);
    QCOMPARE(out, found ? expected : QByteArray("untouched"));
}

QTEST_GUILESS_MAIN(TestServiceRecord)
#include "tst_servicerecord.moc"
