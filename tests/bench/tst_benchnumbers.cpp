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
    void screenShareByTubeFamily_data();
    void screenShareByTubeFamily();
    void filesFromBeforeTheScreenShareSubtractFivePercent();
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

void TestBenchNumbers::screenShareByTubeFamily_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("cathodeMa"); // a bias-probe reading: plate and screen current
    QTest::addColumn<double>("plateMa");   // with the screen share subtracted
    QTest::addColumn<QString>("label");
    // Published idle points: EL34 100 mA plate with 14.9 mA screen, EL84 48 mA with 5.5 mA.
    QTest::addRow("EL34, a pentode") << "EL34" << 114.9 << 114.9 * 0.87 << "Subtract screen current (~13 %)";
    QTest::addRow("EL84, a pentode") << "EL84 / 6BQ5" << 53.5 << 53.5 * 0.90
                                     << "Subtract screen current (~10 %)";
    QTest::addRow("KT66") << "KT66" << 60.0 << 55.8 << "Subtract screen current (~7 %)";
    QTest::addRow("6L6GC, a beam tetrode") << "6L6GC" << 60.0 << 57.0 << "Subtract screen current (~5 %)";
    QTest::addRow("6V6GT, a beam tetrode") << "6V6GT" << 40.0 << 38.0 << "Subtract screen current (~5 %)";
    QTest::addRow("6550, a beam tetrode") << "6550" << 60.0 << 57.0 << "Subtract screen current (~5 %)";
    // A triode has no screen: the whole cathode current is plate current.
    QTest::addRow("300B, a triode") << "300B" << 80.0 << 80.0 << "Subtract screen current (~0 %)";
}

void TestBenchNumbers::screenShareByTubeFamily()
{
    QFETCH(QString, tube);
    QFETCH(double, cathodeMa);
    QFETCH(double, plateMa);
    QFETCH(QString, label);
    BenchSession bench;
    QVERIFY(bench.setTube(tube));
    bench.setPlateV(400);
    bench.setSubtractScreen(true);
    QVERIFY(bench.setMeas1(0, cathodeMa));
    QCOMPARE(bench.result(0).currentMa, plateMa);
    QCOMPARE(subtractScreenText(bench.setup().shared.screenPct), label);

    // Saved and loaded again, the job subtracts the same share.
    BenchSession loaded;
    loaded.apply(benchStartFromProfile(profileFromJson(profileToJson(profileFromBench(bench.snapshot())))));
    QCOMPARE(loaded.result(0).currentMa, plateMa);
}

void TestBenchNumbers::filesFromBeforeTheScreenShareSubtractFivePercent()
{
    // Written when every tube lost 5 %: an EL34 job loads with the result it was saved with.
    const QJsonObject old = QJsonDocument::fromJson(R"json({"tube": "EL34", "biasMethod": 0,
        "topology": "Push-Pull Class AB (fixed bias)", "tubeCount": 2, "plateV": 450,
        "subtractScreen": true, "meas1": [60, 60]})json")
                                .object();
    BenchSession bench;
    bench.apply(benchStartFromProfile(profileFromJson(old)));
    QCOMPARE(bench.result(0).currentMa, 57.0);
    // Choosing the tube again takes its own share.
    QVERIFY(bench.setTube(QStringLiteral("KT88")));
    QVERIFY(bench.setTube(QStringLiteral("EL34")));
    QCOMPARE(bench.result(0).currentMa, 60 * 0.87);
}

QTEST_GUILESS_MAIN(TestBenchNumbers)
#include "tst_benchnumbers.moc"
