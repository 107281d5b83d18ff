// The batch file, its CSV and its label sheet: written, read back and compared; hostile files refused.
#include "matching/matchbatch.h"

#include "bench/profilestore.h"
#include "testfiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

MatchBatch twelveTubes()
{
    MatchBatch batch;
    batch.condition = {QStringLiteral("6L6GC"), 400, 400, -45, -43};
    const double currents[] = {40.1, 44.8, 40.6, 45.2, 39.9, 44.9, 52.3, 40.3, 45.6, 48.0, 48.4, 47.7};
    for (int i = 0; i < 12; ++i) {
        MatchTube tube;
        tube.label = QStringLiteral("B%1").arg(i + 1);
        tube.brand = i % 2 ? QStringLiteral("Ruby, \"Tung-Sol\"") : QStringLiteral("JJ");
        tube.type = QStringLiteral("6L6GC");
        tube.currentMa = currents[i];
        tube.gmMaPerV = i == 3 ? 0 : 5.5 + i * 0.01;
        tube.current2Ma = currents[i] + 11;
        batch.tubes.append(tube);
    }
    batch.setSize = 4;
    batch.tolerancePct = 2.5;
    return batch;
}

bool sameBatch(const MatchBatch& a, const MatchBatch& b)
{
    return matchBatchToJson(a) == matchBatchToJson(b);
}

} // namespace

class TestMatchBatch : public QObject
{
    Q_OBJECT

private slots:
    void savedBatchReopensUnchanged();
    void refusedObjects_data();
    void refusedObjects();
    void valuesOutOfRangeTakeDefaults();
    void hostileFilesAreRefused();
    void csvReadsBack();
    void labelSheetReadsBack();
};

void TestMatchBatch::savedBatchReopensUnchanged()
{
    QTemporaryDir dir;
    const MatchBatch batch = twelveTubes();
    const QString path = dir.filePath(QStringLiteral("box.json"));
    QString error;
    QVERIFY2(writeMatchBatchFile(path, batch, &error), qPrintable(error));
    MatchBatch back;
    QVERIFY2(readMatchBatchFile(path, back, &error), qPrintable(error));
    QVERIFY(sameBatch(back, batch));
    QCOMPARE(back.tubes.at(1).brand, batch.tubes.at(1).brand);
    QCOMPARE(back.condition.grid2V, -43.0);
    const QJsonObject object = readJsonObject(path);
    QCOMPARE(object.value(QStringLiteral("version")).toInt(), matchBatchVersion);
    // The same search on the reopened batch gives the same sets.
    QCOMPARE(matchCsv(back, matchBatch(back)), matchCsv(batch, matchBatch(batch)));
}

void TestMatchBatch::refusedObjects_data()
{
    QTest::addColumn<QJsonObject>("object");
    QTest::addColumn<QString>("error");
    QJsonObject ok = matchBatchToJson(twelveTubes());
    QJsonObject newer = ok;
    newer.insert(QStringLiteral("version"), matchBatchVersion + 1);
    QJsonObject noVersion = ok;
    noVersion.remove(QStringLiteral("version"));
    QJsonObject profile;
    profile.insert(QStringLiteral("tube"), QStringLiteral("6L6GC"));
    QTest::addRow("newer version") << newer << QStringLiteral("newer version");
    QTest::addRow("no version") << noVersion << QStringLiteral("no version");
    QTest::addRow("an amp profile") << profile << QStringLiteral("not a batch");
}

void TestMatchBatch::refusedObjects()
{
    QFETCH(QJsonObject, object);
    QFETCH(QString, error);
    MatchBatch out = twelveTubes();
    QString message;
    QVERIFY(!matchBatchFromJson(object, out, &message));
    QVERIFY2(message.contains(error), qPrintable(message));
    QVERIFY(sameBatch(out, twelveTubes())); // untouched
}

void TestMatchBatch::valuesOutOfRangeTakeDefaults()
{
    QJsonObject o = matchBatchToJson(twelveTubes());
    o.insert(QStringLiteral("setSize"), 5);
    o.insert(QStringLiteral("tolerancePct"), -3);
    o.insert(QStringLiteral("setCount"), 1e12);
    QJsonArray tubes = o.value(QStringLiteral("tubes")).toArray();
    QJsonObject first = tubes.at(0).toObject();
    first.insert(QStringLiteral("currentMa"), QStringLiteral("40"));
    first.insert(QStringLiteral("gmMaPerV"), -5);
    tubes[0] = first;
    tubes.append(QStringLiteral("not a tube"));
    o.insert(QStringLiteral("tubes"), tubes);
    MatchBatch b;
    QVERIFY(matchBatchFromJson(o, b));
    QCOMPARE(b.setSize, 4);
    QCOMPARE(b.tolerancePct, 5.0);
    QCOMPARE(b.setCount, 0);
    QCOMPARE(b.tubes.size(), 13); // positions kept
    QCOMPARE(b.tubes.at(0).currentMa, 0.0);
    QCOMPARE(b.tubes.at(0).gmMaPerV, 0.0);
    QCOMPARE(b.tubes.at(12).label, QString());
}

void TestMatchBatch::hostileFilesAreRefused()
{
    QTemporaryDir dir;
    MatchBatch out;
    const QString fifo = dir.filePath(QStringLiteral("pipe.json"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!readMatchBatchFile(fifo, out)); // returns at once instead of waiting for a writer
    QVERIFY(!readMatchBatchFile(dir.path(), out));
    const QString big = dir.filePath(QStringLiteral("big.json"));
    QByteArray bytes = QJsonDocument(matchBatchToJson(twelveTubes())).toJson();
    bytes.append(QByteArray(maxProfileFileBytes, ' '));
    QVERIFY(writeFile(big, bytes));
    QString error;
    QVERIFY(!readMatchBatchFile(big, out, &error));
    QVERIFY(!error.isEmpty());
    // A batch is not written over a directory or a pipe.
    QVERIFY(!writeMatchBatchFile(fifo, twelveTubes()));
    QVERIFY(!writeMatchBatchFile(dir.path(), twelveTubes(), &error));
}

void TestMatchBatch::csvReadsBack()
{
    const MatchBatch batch = twelveTubes();
    const MatchOutcome outcome = matchBatch(batch);
    QCOMPARE(outcome.sets.size(), 3);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sets.csv"));
    QVERIFY(writeMatchCsvFile(path, batch, outcome));
    const QStringList lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(),
             QStringLiteral("Set,Label,Brand,Type,Current (mA),gm (mA/V),Current 2 (mA),Spread "
                            "(%),Verdict"));
    QCOMPARE(lines.size(), 1 + 12);
    // Lowest quad: B5 39.9, B1 40.1, B8 40.3, B3 40.6 (spread 0.7 / 40.225).
    QCOMPARE(lines.at(1), QStringLiteral("1,B5,JJ,6L6GC,39.90,5.54,50.90,1.74,MATCHED"));
    // A brand with a comma and quotes is quoted, the quotes doubled; a missing gm is an empty field.
    QCOMPARE(lines.at(5).section(QLatin1Char(','), 0, 1), QStringLiteral("2,B2"));
    QVERIFY(lines.join(QLatin1Char('\n'))
                .contains(QStringLiteral("B4,\"Ruby, \"\"Tung-Sol\"\"\",6L6GC,45.20,,56.20")));
    // The runaway 52.3 mA tube cannot join the 48 mA quad within 2.5 %: that set is out of tolerance.
    QVERIFY(lines.at(9).endsWith(QStringLiteral("OUT OF TOLERANCE")));
}

void TestMatchBatch::labelSheetReadsBack()
{
    const MatchBatch batch = twelveTubes();
    const MatchOutcome outcome = matchBatch(batch);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("labels.pdf"));
    QString error;
    QVERIFY2(writeMatchLabels(path, batch, outcome, &error), qPrintable(error));
    const QString text = pdfText(path, &error);
    QVERIFY2(!text.isEmpty(), qPrintable(error));
    QVERIFY2(text.contains(QStringLiteral("Matched sets: 6L6GC")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("SET 1 of 4 tubes, spread 1.7 %")));
    QVERIFY(text.contains(QStringLiteral("SET 3 of 4 tubes")));
    QVERIFY(text.contains(QStringLiteral("OUT OF TOLERANCE")));
    QVERIFY(text.contains(QStringLiteral("B5")));
    QCOMPARE(text.count(QLatin1Char('\f')) <= 1, true); // one page
    // Not written into a folder that does not exist.
    QVERIFY(!writeMatchLabels(dir.filePath(QStringLiteral("no/such/labels.pdf")), batch, outcome, &error));
    QVERIFY(!error.isEmpty());
}

// A GUI application: the label sheet lays out text.
QTEST_MAIN(TestMatchBatch)
#include "tst_matchbatch.moc"
