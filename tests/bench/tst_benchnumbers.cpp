// The bench's numbers on the jobs of real amplifiers: tubes on a shared cathode or sense resistor,
// presets that start every shared value afresh, and files written before the share count was kept.
// The expected figures are worked out by hand from the readings, independent of the code.
#include "bench/benchsession.h"
#include "bench/benchsnapshot.h"
#include "bench/profilestore.h"
#include "bias/biasmethods.h"
#include "catalog/presets.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

int presetIndex(const QString& name)
{
    const QList<AmpPreset>& presets = ampPresets();
    for (int i = 0; i < presets.size(); ++i) {
        if (presets[i].name == name)
            return i;
    }
    return -1;
}

const QString cannotJudgeShared = QStringLiteral("MATCHING: cannot be judged from a shared resistor");

} // namespace

Q_DECLARE_METATYPE(BiasStatus)

class TestBenchNumbers : public QObject
{
    Q_OBJECT

private slots:
    void sharedResistorJobs_data();
    void sharedResistorJobs();
    void shareCountFollowsTheTubes();
    void presetAfterASharedAmpCarriesNothingOver();
    void filesFromBeforeTheShareCountLoadAsBefore_data();
    void filesFromBeforeTheShareCountLoadAsBefore();
};

void TestBenchNumbers::sharedResistorJobs_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<double>("plateV");  // V, typed over the preset's
    QTest::addColumn<double>("reading"); // the same on every card: all tubes sit on one resistor
    QTest::addColumn<int>("sharedTubes");
    QTest::addColumn<double>("perTubeMa");
    QTest::addColumn<double>("pctOfMax");
    QTest::addColumn<BiasStatus>("rating");

    // Four EL84s on one 50 Ω resistor: 10.5 V is 210 mA, 52.5 mA a tube, 16.275 W of 12 W.
    QTest::addRow("AC30, four on 50 ohm")
        << "AC30" << 310.0 << 10.5 << 4 << 52.5 << 135.625 << BiasStatus::OverMax;
    // One 15.6 Ω resistor per channel: 1.56 V is 100 mA for the pair, 21.75 W of 25 W at 435 V.
    QTest::addRow("ST-70, a pair on 15.6 ohm")
        << "Dynaco ST-70" << 435.0 << 1560.0 << 2 << 50.0 << 87.0 << BiasStatus::Warm;
    // Both 6V6s on one 250 Ω resistor: 20 V is 80 mA, 40 mA a tube, 14.4 W of 14 W at 360 V.
    QTest::addRow("5E3, a pair on 250 ohm")
        << "Tweed Deluxe 5E3" << 360.0 << 20.0 << 2 << 40.0 << 360 * 0.040 / 14 * 100 << BiasStatus::OverMax;
}

void TestBenchNumbers::sharedResistorJobs()
{
    QFETCH(QString, preset);
    QFETCH(double, plateV);
    QFETCH(double, reading);
    QFETCH(int, sharedTubes);
    QFETCH(double, perTubeMa);
    QFETCH(double, pctOfMax);
    QFETCH(BiasStatus, rating);

    BenchSession bench;
    QVERIFY(bench.applyPreset(presetIndex(preset)));
    const SharedMeasurements& shared = bench.setup().shared;
    QCOMPARE(shared.sharedTubes, sharedTubes);
    QVERIFY(resistorShared(bench.setup().method, shared, bench.tubeCount()));
    bench.setPlateV(plateV);
    for (int i = 0; i < bench.tubeCount(); ++i)
        QVERIFY(bench.setMeas1(i, reading));
    for (int i = 0; i < bench.tubeCount(); ++i) {
        QCOMPARE(bench.result(i).currentMa, perTubeMa);
        QCOMPARE(bench.result(i).pctOfMax, pctOfMax);
        QCOMPARE(bench.rating(i), rating);
    }
    // Equal readings across one resistor say nothing about how well the tubes match.
    QCOMPARE(bench.matching().text, cannotJudgeShared);
    QCOMPARE(bench.matching().level, QStringLiteral("unknown"));
    QCOMPARE(sharedResistorText(shared.sharedTubes),
             QStringLiteral("Resistor shared by %1 tubes").arg(sharedTubes));

    // Without the share every tube would be charged with the whole resistor's current.
    if (bench.setup().method == CathodeBias)
        bench.setSharedCathodeR(false);
    else
        bench.setSharedSenseR(false);
    QCOMPARE(bench.result(0).currentMa, perTubeMa * sharedTubes);
    QVERIFY(bench.matching().text.startsWith(QStringLiteral("MATCHING: within 0%")));
}

void TestBenchNumbers::shareCountFollowsTheTubes()
{
    BenchSession bench;
    QVERIFY(bench.setAmpClass(QStringLiteral("Push-Pull Class AB (cathode bias)")));
    QVERIFY(bench.setMethod(CathodeBias));
    bench.setTubeCount(6);
    bench.setCathodeResistorOhms(100);
    bench.setPlateV(300);
    bench.setSharedCathodeR(true);
    QCOMPARE(bench.setup().shared.sharedTubes, 2); // a pair unless told otherwise
    bench.setSharedTubes(3);
    QVERIFY(bench.setMeas1(0, 12)); // 120 mA on the resistor
    QCOMPARE(bench.result(0).currentMa, 40.0);

    // The count stays within a pair and the tubes the amplifier has.
    bench.setSharedTubes(9);
    QCOMPARE(bench.setup().shared.sharedTubes, 6);
    bench.setSharedTubes(1);
    QCOMPARE(bench.setup().shared.sharedTubes, 2);
    bench.setSharedTubes(6);
    bench.setTubeCount(4);
    QCOMPARE(bench.setup().shared.sharedTubes, 4);

    // One tube has nothing to share with: its reading is its own, whatever the box says.
    bench.setTubeCount(1);
    QVERIFY(bench.setup().shared.sharedCathodeR);
    QVERIFY(!resistorShared(CathodeBias, bench.setup().shared, 1));
    QVERIFY(bench.setMeas1(0, 4));
    QCOMPARE(bench.result(0).currentMa, 40.0);
}

void TestBenchNumbers::presetAfterASharedAmpCarriesNothingOver()
{
    BenchSession bench;
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("AC30"))));
    QVERIFY(bench.setup().shared.sharedCathodeR);
    QCOMPARE(bench.setup().shared.cathodeResistorOhms, 50.0);
    bench.setSubtractScreen(true);
    bench.setBPlusV(350);

    // A one-tube Champ next: its own 6V6 on a resistor of a fresh job, nothing shared, no screen
    // subtraction. 10.6 V across 250 Ω is 42.4 mA, 15.26 W of 14 W at 360 V.
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("Champ / Vibro Champ"))));
    const SharedMeasurements& shared = bench.setup().shared;
    const SharedMeasurements fresh;
    QVERIFY(!shared.sharedCathodeR);
    QVERIFY(!shared.sharedSenseR);
    QCOMPARE(shared.sharedTubes, fresh.sharedTubes);
    QCOMPARE(shared.cathodeResistorOhms, fresh.cathodeResistorOhms);
    QCOMPARE(shared.subtractScreen, fresh.subtractScreen);
    QCOMPARE(shared.bPlusV, fresh.bPlusV);
    QCOMPARE(shared.plateV, 360.0);
    QVERIFY(bench.setMeas1(0, 10.6));
    QCOMPARE(bench.result(0).currentMa, 42.4);
    QCOMPARE(bench.rating(0), BiasStatus::OverMax);

    // And the ST-70 after the AC30 shares its sense resistor, not a cathode resistor.
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("AC30"))));
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("Dynaco ST-70"))));
    QVERIFY(!bench.setup().shared.sharedCathodeR);
    QVERIFY(bench.setup().shared.sharedSenseR);
    QCOMPARE(bench.setup().shared.senseResistorOhms, 15.6);
    QCOMPARE(bench.setup().shared.cathodeResistorOhms, fresh.cathodeResistorOhms);
}

void TestBenchNumbers::filesFromBeforeTheShareCountLoadAsBefore_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<double>("currentMa");
    const QByteArray head = R"json({"tube": "6V6GT", "topology": "Push-Pull Class AB (cathode bias)",
        "tubeCount": 2, "plateV": 350, "cathodeResistorOhms": 250, "senseResistorOhms": 10,)json";
    // A file of the time the share box meant a pair.
    QTest::addRow("shared cathode resistor, a pair")
        << head + R"("biasMethod": 3, "sharedCathodeR": true, "meas1": [20, 20]})" << 40.0;
    QTest::addRow("cathode resistor of its own")
        << head + R"("biasMethod": 3, "sharedCathodeR": false, "meas1": [20, 20]})" << 80.0;
    // The sense resistor had no share then: a ticked box of the cathode method does not divide it.
    QTest::addRow("sense resistor, box ticked for the cathode method")
        << head + R"("biasMethod": 1, "sharedCathodeR": true, "meas1": [400, 400]})" << 40.0;
}

void TestBenchNumbers::filesFromBeforeTheShareCountLoadAsBefore()
{
    QFETCH(QByteArray, json);
    QFETCH(double, currentMa);
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    QVERIFY(!object.isEmpty());
    BenchSession bench;
    bench.apply(benchStartFromProfile(profileFromJson(object)));
    QCOMPARE(bench.result(0).currentMa, currentMa);
    QCOMPARE(bench.result(1).currentMa, currentMa);
    // Saved again, the file keeps its meaning.
    BenchSession again;
    again.apply(benchStartFromProfile(profileFromJson(profileToJson(profileFromBench(bench.snapshot())))));
    QCOMPARE(again.result(0).currentMa, currentMa);
}

QTEST_GUILESS_MAIN(TestBenchNumbers)
#include "tst_benchnumbers.moc"
