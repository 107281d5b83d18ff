// The bench's numbers on the jobs of real amplifiers: tubes on a shared cathode or sense resistor,
// presets that start every shared value afresh, a panel meter reading the total, the transformer
// drop read directly or from B+, sense resistors of each tube's own, measured screen currents, and
// files written before any of these were kept. The expected figures are worked out by hand from the
// readings, independent of the code.
#include "bench/benchsession.h"
#include "bench/benchsnapshot.h"
#include "bench/profilestore.h"
#include "bias/biasmethods.h"
#include "catalog/ampclasses.h"
#include "catalog/presets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUndoStack>
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
const QString cannotJudgeTotal = QStringLiteral("MATCHING: cannot be judged from a total");
const QString rfClass = QStringLiteral("RF Linear (Class AB/B)");
const QString fixedBias = QStringLiteral("Push-Pull Class AB (fixed bias)");

BenchSession* loadedFrom(const QByteArray& json, QObject* parent)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    auto* bench = new BenchSession(parent);
    if (!object.isEmpty())
        bench->apply(benchStartFromProfile(profileFromJson(object)));
    return bench;
}

// The job saved and loaded again.
void reloadInto(BenchSession& target, const BenchSession& source)
{
    target.apply(benchStartFromProfile(profileFromJson(profileToJson(profileFromBench(source.snapshot())))));
}

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
    void panelMeterTotal_data();
    void panelMeterTotal();
    void panelMeterOfEachTubeIsJudged();
    void filesFromBeforeTheMeterTotalLoadAsBefore_data();
    void filesFromBeforeTheMeterTotalLoadAsBefore();
    void otDropDirectAndFromBPlus_data();
    void otDropDirectAndFromBPlus();
    void smallDropWarnings_data();
    void smallDropWarnings();
    void otDropEntryKeepsItsReadings();
    void filesFromBeforeTheDropChoiceTakeBPlus();
    void senseResistorOfEachTube_data();
    void senseResistorOfEachTube();
    void measuredScreenCurrent_data();
    void measuredScreenCurrent();
    void everyNotedIdleRatesAsItsNoteSays_data();
    void everyNotedIdleRatesAsItsNoteSays();
    void ampFigureHoldsUntilAnotherIsChosen();
    void badIdleFiguresInAFileReadAsNone_data();
    void badIdleFiguresInAFileReadAsNone();
    void classWindows_data();
    void classWindows();
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
    // One 15.6 Ω resistor per channel: 1.56 V is 100 mA for the pair, 21.75 W of 25 W at 435 V: the
    // factory setting its note gives, so ideal for this amp.
    QTest::addRow("ST-70, a pair on 15.6 ohm")
        << "Dynaco ST-70" << 435.0 << 1560.0 << 2 << 50.0 << 87.0 << BiasStatus::Ideal;
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
    // The hidden second field kept whatever was typed under another method (a DCR here): it is no
    // sense resistor of the tube's own.
    QTest::addRow("sense resistor, a hidden DCR in the second field")
        << head + R"("biasMethod": 1, "meas1": [400, 400], "meas2": [100, 100]})" << 40.0;
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

void TestBenchNumbers::panelMeterTotal_data()
{
    QTest::addColumn<int>("tubes");
    QTest::addColumn<double>("plateV");
    QTest::addColumn<double>("totalMa");
    QTest::addColumn<double>("perTubeMa");
    QTest::addColumn<double>("dissipationW");
    QTest::addRow("180 mA over four tubes") << 4 << 1700.0 << 180.0 << 45.0 << 76.5;
    QTest::addRow("SB-200 pair, 90 mA total") << 2 << 2400.0 << 90.0 << 45.0 << 108.0;
    QTest::addRow("three tubes, 150 mA") << 3 << 1700.0 << 150.0 << 50.0 << 85.0;
    QTest::addRow("one tube reads its own") << 1 << 3000.0 << 100.0 << 100.0 << 300.0;
}

void TestBenchNumbers::panelMeterTotal()
{
    QFETCH(int, tubes);
    QFETCH(double, plateV);
    QFETCH(double, totalMa);
    QFETCH(double, perTubeMa);
    QFETCH(double, dissipationW);
    BenchSession bench;
    QVERIFY(bench.setAmpClass(rfClass));
    QVERIFY(bench.setMethod(PanelMeter));
    QVERIFY(bench.setTube(QStringLiteral("811A")));
    bench.setTubeCount(tubes);
    bench.setPlateV(plateV);
    QVERIFY(bench.setup().shared.meterReadsTotal);
    QVERIFY(!showsFirstReading(PanelMeter, bench.setup().shared));

    // One entry for the whole amplifier; nothing is typed on the cards.
    bench.setMeterTotalMa(totalMa);
    QVERIFY(bench.hasUnsavedReadings());
    for (int i = 0; i < tubes; ++i) {
        QVERIFY2(bench.result(i).valid, qPrintable(QStringLiteral("tube %1 has its share").arg(i + 1)));
        QCOMPARE(bench.result(i).currentMa, perTubeMa);
        QCOMPARE(bench.result(i).dissipationW, dissipationW);
    }
    // Equal shares of one total say nothing about how the tubes match.
    if (tubes > 1) {
        QCOMPARE(bench.matching().text, cannotJudgeTotal);
        QCOMPARE(bench.matching().level, QStringLiteral("unknown"));
    } else {
        QVERIFY(bench.matching().text.isEmpty());
    }

    BenchSession loaded;
    reloadInto(loaded, bench);
    QCOMPARE(loaded.setup().shared.meterTotalMa, totalMa);
    QCOMPARE(loaded.result(tubes - 1).currentMa, perTubeMa);
}

void TestBenchNumbers::panelMeterOfEachTubeIsJudged()
{
    // A meter switched to each tube in turn: the cards take their own readings and are compared.
    BenchSession bench;
    QVERIFY(bench.setAmpClass(rfClass));
    QVERIFY(bench.setMethod(PanelMeter));
    bench.setTubeCount(2);
    bench.setPlateV(2400);
    bench.setMeterTotalMa(180);
    bench.setMeterReadsTotal(false);
    QVERIFY(showsFirstReading(PanelMeter, bench.setup().shared));
    QVERIFY(!bench.result(0).valid);
    QVERIFY(bench.setMeas1(0, 50));
    QVERIFY(bench.setMeas1(1, 40));
    QCOMPARE(bench.result(0).currentMa, 50.0);
    QCOMPARE(bench.result(1).currentMa, 40.0);
    QCOMPARE(bench.matching().text,
             QStringLiteral("MATCHING: tubes spread 20% apart — consider re-matching"));
}

void TestBenchNumbers::filesFromBeforeTheMeterTotalLoadAsBefore_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QList<double>>("before"); // mA per tube as the earlier version showed them
    QTest::addColumn<QList<double>>("after");  // and as they load now
    const QByteArray head = R"json({"tube": "811A", "topology": "RF Linear (Class AB/B)",
        "biasMethod": 4, "tubeCount": 4, "plateV": 1700,)json";
    // The earlier version had the total typed into every card and divided each by the tube count.
    QTest::addRow("the total on every card")
        << head + R"("meterReadsTotal": true, "meas1": [180, 180, 180, 180]})"
        << QList<double>{45, 45, 45, 45} << QList<double>{45, 45, 45, 45};
    // Totals that moved between the cards: the largest, so the bench errs to the hotter side.
    QTest::addRow("totals that differ take the largest")
        << head + R"("meterReadsTotal": true, "meas1": [176, 180, 172, 180]})"
        << QList<double>{44, 45, 43, 45} << QList<double>{45, 45, 45, 45};
    // meterReadsTotal was written by every version: a missing key read as true.
    QTest::addRow("key missing reads as the total")
        << head + R"("meas1": [200, 200, 200, 200]})" << QList<double>{50, 50, 50, 50}
        << QList<double>{50, 50, 50, 50};
    QTest::addRow("a meter per tube keeps each reading")
        << head + R"("meterReadsTotal": false, "meas1": [44, 40, 46, 45]})" << QList<double>{44, 40, 46, 45}
        << QList<double>{44, 40, 46, 45};
    // Saved by this version: the total is its own key and wins over the cards.
    QTest::addRow("a total of its own")
        << head + R"("meterReadsTotal": true, "meterTotalMa": 160, "meas1": [0, 0, 0, 0]})"
        << QList<double>{40, 40, 40, 40} << QList<double>{40, 40, 40, 40};
}

void TestBenchNumbers::filesFromBeforeTheMeterTotalLoadAsBefore()
{
    QFETCH(QByteArray, json);
    QFETCH(QList<double>, before);
    QFETCH(QList<double>, after);
    QObject owner;
    const BenchSession* bench = loadedFrom(json, &owner);
    QCOMPARE(bench->tubeCount(), after.size());
    for (int i = 0; i < after.size(); ++i)
        QCOMPARE(bench->result(i).currentMa, after.at(i));
    // Where the earlier version showed one figure for every tube, the figures are the same.
    if (std::all_of(before.cbegin(), before.cend(), [&](double v) { return v == before.first(); }) ||
        !bench->setup().shared.meterReadsTotal)
        QCOMPARE(after, before);
    BenchSession again;
    reloadInto(again, *bench);
    for (int i = 0; i < after.size(); ++i)
        QCOMPARE(again.result(i).currentMa, after.at(i));
}

void TestBenchNumbers::otDropDirectAndFromBPlus_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("bPlusV");
    QTest::addColumn<double>("plateV");
    QTest::addColumn<double>("dropV"); // read across the half-primary: B+ minus plate
    QTest::addColumn<double>("dcrOhms");
    QTest::addColumn<double>("currentMa");
    QTest::addColumn<double>("dissipationW");
    QTest::addRow("EL34, 2 V over 20 ohm") << "EL34" << 452.0 << 450.0 << 2.0 << 20.0 << 100.0 << 45.0;
    QTest::addRow("6L6GC, 3 V over 60 ohm") << "6L6GC" << 423.0 << 420.0 << 3.0 << 60.0 << 50.0 << 21.0;
    QTest::addRow("KT88, 12 V over 150 ohm") << "KT88" << 512.0 << 500.0 << 12.0 << 150.0 << 80.0 << 40.0;
    QTest::addRow("6V6GT, 10 V over 100 ohm") << "6V6GT" << 450.0 << 440.0 << 10.0 << 100.0 << 100.0 << 44.0;
}

void TestBenchNumbers::otDropDirectAndFromBPlus()
{
    QFETCH(QString, tube);
    QFETCH(double, bPlusV);
    QFETCH(double, plateV);
    QFETCH(double, dropV);
    QFETCH(double, dcrOhms);
    QFETCH(double, currentMa);
    QFETCH(double, dissipationW);

    BenchSession fromBPlus;
    QVERIFY(fromBPlus.setTube(tube));
    QVERIFY(fromBPlus.setMethod(OtWindingDrop));
    QVERIFY(!fromBPlus.setup().shared.otDropDirect); // as the bench always took it
    fromBPlus.setBPlusV(bPlusV);
    QVERIFY(fromBPlus.setMeas1(0, plateV));
    QVERIFY(fromBPlus.setMeas2(0, dcrOhms));

    BenchSession direct;
    QVERIFY(direct.setTube(tube));
    QVERIFY(direct.setMethod(OtWindingDrop));
    direct.setOtDropDirect(true);
    direct.setPlateV(plateV); // the dissipation is taken at the shared plate voltage
    QVERIFY(direct.setMeas1(0, dropV));
    QVERIFY(direct.setMeas2(0, dcrOhms));

    for (const BenchSession* bench : {&fromBPlus, &direct}) {
        QVERIFY(bench->result(0).valid);
        QCOMPARE(bench->result(0).currentMa, currentMa);
        QCOMPARE(bench->result(0).dissipationW, dissipationW);
        QCOMPARE(bench->target().plateV, plateV);
    }
    // The direct reading survives a save.
    BenchSession loaded;
    reloadInto(loaded, direct);
    QVERIFY(loaded.setup().shared.otDropDirect);
    QCOMPARE(loaded.result(0).currentMa, currentMa);
}

void TestBenchNumbers::smallDropWarnings_data()
{
    QTest::addColumn<bool>("direct");
    QTest::addColumn<double>("dropV");
    QTest::addColumn<QString>("warning");
    // Two readings of hundreds of volts are each good to a volt or so: a drop of 2 V is ±50 %.
    QTest::addRow("2 V from B+ and plate")
        << false << 2.0
        << "Only 2.0 V between B+ and plate: 1 V off in either reading is 50 % of the current. Measure "
           "the drop across the half-primary on a low range, to 0.01 V.";
    QTest::addRow("9 V from B+ and plate")
        << false << 9.0
        << "Only 9.0 V between B+ and plate: 1 V off in either reading is 11 % of the current. Measure "
           "the drop across the half-primary on a low range, to 0.01 V.";
    QTest::addRow("10 V from B+ and plate") << false << 10.0 << QString();
    // Read directly to 0.01 V, a couple of volts is good to half a percent.
    QTest::addRow("2 V read directly") << true << 2.0 << QString();
    QTest::addRow("1 V read directly") << true << 1.0 << QString();
    QTest::addRow("0.4 V read directly")
        << true << 0.4
        << "Only 0.40 V across the half-primary: read it on a low range to 0.01 V or finer (0.01 V is 3 % "
           "of it).";
}

void TestBenchNumbers::smallDropWarnings()
{
    QFETCH(bool, direct);
    QFETCH(double, dropV);
    QFETCH(QString, warning);
    QCOMPARE(smallDropWarning(dropV, direct), warning);
    // On the bench: 200 Ω of winding and a tube at 450 V, the drop taken either way.
    BenchSession bench;
    QVERIFY(bench.setTube(QStringLiteral("KT88")));
    QVERIFY(bench.setMethod(OtWindingDrop));
    bench.setOtDropDirect(direct);
    bench.setPlateV(450);
    bench.setBPlusV(450 + dropV);
    QVERIFY(bench.setMeas1(0, direct ? dropV : 450));
    QVERIFY(bench.setMeas2(0, 200));
    QVERIFY(bench.result(0).valid);
    QCOMPARE(bench.result(0).currentMa, dropV * 5);
    QCOMPARE(bench.result(0).warning, warning);
}

void TestBenchNumbers::otDropEntryKeepsItsReadings()
{
    BenchSession bench;
    QVERIFY(bench.setMethod(OtWindingDrop));
    bench.setBPlusV(452);
    bench.setPlateV(450);
    QVERIFY(bench.setMeas1(0, 450));
    QVERIFY(bench.setMeas2(0, 20));
    QCOMPARE(bench.result(0).currentMa, 100.0);

    // A plate voltage is no drop: the direct entry starts empty, and keeps its own readings.
    bench.setOtDropDirect(true);
    QCOMPARE(bench.reading(0).meas1, 0.0);
    QVERIFY(!bench.result(0).valid);
    QVERIFY(bench.setMeas1(0, 2.05));
    QVERIFY(bench.setMeas2(0, 20));
    QCOMPARE(bench.result(0).currentMa, 102.5);
    bench.setOtDropDirect(false);
    QCOMPARE(bench.reading(0).meas1, 450.0);
    QCOMPARE(bench.result(0).currentMa, 100.0);

    // Each change of the entry is a step of the undo stack.
    bench.undoStack()->undo();
    QVERIFY(bench.setup().shared.otDropDirect);
    QCOMPARE(bench.reading(0).meas1, 2.05);
    bench.undoStack()->undo();
    QVERIFY(!bench.setup().shared.otDropDirect);
    QCOMPARE(bench.reading(0).meas1, 450.0);
}

void TestBenchNumbers::filesFromBeforeTheDropChoiceTakeBPlus()
{
    QObject owner;
    const BenchSession* bench = loadedFrom(R"json({"tube": "6V6GT", "biasMethod": 2,
        "topology": "Push-Pull Class AB (fixed bias)", "tubeCount": 2, "plateV": 350, "bPlusV": 450,
        "meas1": [440, 445], "meas2": [100, 100]})json",
                                           &owner);
    QVERIFY(!bench->setup().shared.otDropDirect);
    QCOMPARE(bench->result(0).currentMa, 100.0);
    QCOMPARE(bench->result(0).dissipationW, 44.0); // at the tube's own plate voltage
    QCOMPARE(bench->result(1).currentMa, 50.0);
    QCOMPARE(bench->target().plateV, 440.0);
}

void TestBenchNumbers::senseResistorOfEachTube_data()
{
    QTest::addColumn<bool>("perTube");
    QTest::addColumn<bool>("shared"); // the ST-70's one resistor per channel, ticked
    QTest::addColumn<QList<double>>("ownOhms");
    QTest::addColumn<QList<double>>("mv");
    QTest::addColumn<QList<double>>("currentMa");
    // Nominal 1 Ω resistors, measured to the milliohm: 1.012 Ω carrying 50.6 mV is 50 mA.
    QTest::addRow("measured 1 ohm resistors") << true << false << QList<double>{1.012, 0.988}
                                              << QList<double>{50.6, 49.4} << QList<double>{50.0, 50.0};
    // A card left empty takes the shared value.
    QTest::addRow("one tube without its own")
        << true << false << QList<double>{1.012, 0} << QList<double>{50.6, 45} << QList<double>{50.0, 45.0};
    // Resistors of their own share nothing, whatever the share box says.
    QTest::addRow("own resistors override the share")
        << true << true << QList<double>{1.012, 0.988} << QList<double>{50.6, 49.4}
        << QList<double>{50.0, 50.0};
    // Without the option the second field is not a resistor, even with a number in it.
    QTest::addRow("option off takes the shared value")
        << false << false << QList<double>{100, 100} << QList<double>{50.6, 49.4}
        << QList<double>{50.6, 49.4};
}

void TestBenchNumbers::senseResistorOfEachTube()
{
    QFETCH(bool, perTube);
    QFETCH(bool, shared);
    QFETCH(QList<double>, ownOhms);
    QFETCH(QList<double>, mv);
    QFETCH(QList<double>, currentMa);
    BenchSession bench;
    QVERIFY(bench.setMethod(SenseResistor));
    bench.setPlateV(400);
    bench.setSenseResistorOhms(1);
    bench.setSharedSenseR(shared);
    bench.setSenseRPerTube(true);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(bench.setMeas2(i, ownOhms.at(i)));
        QVERIFY(bench.setMeas1(i, mv.at(i)));
    }
    bench.setSenseRPerTube(perTube);
    QCOMPARE(showsSecondReading(SenseResistor, bench.setup().shared), perTube);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(bench.result(i).currentMa, currentMa.at(i));
    QVERIFY(!resistorShared(SenseResistor, bench.setup().shared, 2) || !perTube);

    BenchSession loaded;
    reloadInto(loaded, bench);
    QCOMPARE(loaded.reading(0).meas2, ownOhms.at(0));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(loaded.result(i).currentMa, currentMa.at(i));
}

void TestBenchNumbers::measuredScreenCurrent_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<int>("method");
    QTest::addColumn<double>("reading");     // the card's reading of the cathode current
    QTest::addColumn<double>("screenDropV"); // across the screen resistor
    QTest::addColumn<double>("screenOhms");
    QTest::addColumn<double>("plateMa");
    // An EL34 at 100 mA plate draws 14.9 mA of screen current: 14.9 V across 1 kΩ.
    QTest::addRow("EL34 on a bias probe") << "EL34" << int(BiasProbe) << 114.9 << 14.9 << 1000.0 << 100.0;
    // A 6L6GC with 62 mV across 1 Ω and 2.35 V across 470 Ω (5 mA) of screen stopper.
    QTest::addRow("6L6GC on a sense resistor")
        << "6L6GC" << int(SenseResistor) << 62.0 << 2.35 << 470.0 << 57.0;
    // An EL84 on 130 Ω of its own: 7.02 V is 54 mA, 0.47 V across 100 Ω takes 4.7 mA off.
    QTest::addRow("EL84 on its own cathode resistor")
        << "EL84 / 6BQ5" << int(CathodeBias) << 7.02 << 0.47 << 100.0 << 49.3;
    // Until both screen values are typed, there is no plate current to show.
    QTest::addRow("screen resistor not typed yet") << "EL34" << int(BiasProbe) << 114.9 << 14.9 << 0.0 << 0.0;
}

void TestBenchNumbers::measuredScreenCurrent()
{
    QFETCH(QString, tube);
    QFETCH(int, method);
    QFETCH(double, reading);
    QFETCH(double, screenDropV);
    QFETCH(double, screenOhms);
    QFETCH(double, plateMa);
    BenchSession bench;
    QVERIFY(bench.setAmpClass(QStringLiteral("Push-Pull Class AB (cathode bias)")));
    QVERIFY(bench.setTube(tube));
    QVERIFY(bench.setMethod(method));
    bench.setPlateV(400);
    bench.setSenseResistorOhms(1);
    bench.setCathodeResistorOhms(130);
    bench.setSubtractScreen(true);
    bench.setScreenMeasured(true);
    QVERIFY(benchScreenMeasured(bench.setup()));
    QVERIFY(bench.setMeas1(0, reading));
    QVERIFY(bench.setScreenDropV(0, screenDropV));
    QVERIFY(bench.setScreenOhms(0, screenOhms));
    QCOMPARE(bench.result(0).valid, plateMa > 0);
    if (plateMa > 0)
        QVERIFY2(qAbs(bench.result(0).currentMa - plateMa) < 1e-9,
                 qPrintable(QStringLiteral("%1 mA").arg(bench.result(0).currentMa, 0, 'g', 17)));
    // The tube's other card, without screen readings, has none either.
    QVERIFY(bench.setMeas1(1, reading));
    QVERIFY(!bench.result(1).valid);

    // Saved and loaded, the measured screen current goes with the tube.
    BenchSession loaded;
    reloadInto(loaded, bench);
    QCOMPARE(loaded.reading(0).screenDropV, screenDropV);
    QCOMPARE(loaded.reading(0).screenOhms, screenOhms);
    QCOMPARE(loaded.result(0).valid, plateMa > 0);
    if (plateMa > 0)
        QVERIFY(qAbs(loaded.result(0).currentMa - plateMa) < 1e-9);

    // Back to the tube family's share: the reading of the typical share again.
    bench.setScreenMeasured(false);
    QVERIFY(bench.result(0).valid);
    const double cathodeMa = method == CathodeBias ? reading / 130 * 1000 : reading;
    QCOMPARE(bench.result(0).currentMa, cathodeMa * (1 - bench.setup().shared.screenPct / 100));
}

void TestBenchNumbers::everyNotedIdleRatesAsItsNoteSays_data()
{
    QTest::addColumn<int>("preset");
    // What each note with an idle figure implies when that figure is typed in: the factory or
    // recommended idle is ideal for that amp; an amp the note says idles past the rating is over it.
    // Written out by hand, so a figure moved to another row or a note rewritten shows up here.
    const QMap<QString, BiasStatus> implied = {
        {"Deluxe Reverb", BiasStatus::Ideal},             // "many techs bias to 70%"
        {"AC30", BiasStatus::OverMax},                    // "about 130% of max at idle"
        {"EVH 5150III 100W", BiasStatus::Ideal},          // "Factory setting is ~20 mA/tube"
        {"Dynaco ST-70", BiasStatus::Ideal},              // "1.56V across the 15.6 ohm": 50 mA a tube
        {"Sherwood S-5000 II (7591)", BiasStatus::Ideal}, // "Target ~30 mA/tube"
        {"SB-200 / SB-201", BiasStatus::Ideal},           // "45-50 mA/tube"
        {"Kenwood TS-520", BiasStatus::Ideal},            // "60 mA total"
    };
    QTest::addColumn<BiasStatus>("rating");
    QTest::addColumn<bool>("noted");
    const QList<AmpPreset>& presets = ampPresets();
    for (int i = 0; i < presets.size(); ++i)
        QTest::addRow("%s", qPrintable(presets[i].name))
            << i << implied.value(presets[i].name, BiasStatus::NoReading)
            << implied.contains(presets[i].name);
}

void TestBenchNumbers::everyNotedIdleRatesAsItsNoteSays()
{
    QFETCH(int, preset);
    QFETCH(BiasStatus, rating);
    QFETCH(bool, noted);
    const AmpPreset& p = ampPresets().at(preset);
    // A note that names an idle current or percentage carries it as data, and only such a note.
    static const QRegularExpression figure(QStringLiteral("\\d+(\\.\\d+)?\\s*(mA|%|V across)"));
    const bool noteHasFigure = figure.match(p.note).hasMatch();
    QCOMPARE(noteHasFigure, noted);
    QCOMPARE(p.idle.unit != IdleUnit::None, noted);
    if (!noted)
        return;

    BenchSession bench;
    QVERIFY(bench.applyPreset(preset));
    const double maxW = bench.maxPlateW();
    const double plateV = bench.setup().shared.plateV;
    const double middle = (p.idle.low + p.idle.high) / 2;
    double perTubeMa = middle;
    if (p.idle.unit == IdleUnit::MaTotal)
        perTubeMa = middle / p.tubeCount;
    else if (p.idle.unit == IdleUnit::PctOfMax)
        perTubeMa = middle / 100 * maxW / plateV * 1000;

    // The note's figure as the bench's own reading: what the technician would see on the meter.
    const SharedMeasurements& shared = bench.setup().shared;
    const int onOneResistor =
        resistorShared(bench.setup().method, shared, bench.tubeCount()) ? shared.sharedTubes : 1;
    double reading = perTubeMa;
    switch (bench.setup().method) {
    case SenseResistor:
        reading = perTubeMa * onOneResistor * shared.senseResistorOhms; // mV
        break;
    case CathodeBias:
        reading = perTubeMa * onOneResistor * shared.cathodeResistorOhms / 1000; // V
        break;
    case PanelMeter:
        bench.setMeterReadsTotal(false);
        break;
    case BiasProbe:
        break;
    default:
        QFAIL("no idle figure is stated for this method");
    }
    for (int i = 0; i < bench.tubeCount(); ++i)
        QVERIFY(bench.setMeas1(i, reading));
    for (int i = 0; i < bench.tubeCount(); ++i) {
        // Within the rounding of the reading field (the panel meter reads whole mA).
        QVERIFY(qAbs(bench.result(i).currentMa - perTubeMa) < 0.02 * perTubeMa);
        QCOMPARE(bench.rating(i), rating);
    }
    // The read-out gives the amp's own figure where it is one to aim at, the class's rule where not.
    QCOMPARE(bench.target().ampFigure, !p.idle.pastRating);
    if (!p.idle.pastRating) {
        QVERIFY2(qAbs(bench.target().currentMa - perTubeMa) < 1e-9,
                 qPrintable(benchTargetCurrentText(bench.target())));
        QVERIFY(benchTargetCurrentText(bench.target()).startsWith(QStringLiteral("This amp's own idle: ")));
    }
}

void TestBenchNumbers::ampFigureHoldsUntilAnotherIsChosen()
{
    // SB-200: 45-50 mA a tube at 2400 V on a 160 W tube, 67.5-75 %; 10 % either side is the window.
    BenchSession bench;
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("SB-200 / SB-201"))));
    QCOMPARE(bench.snapshot().idealLowPct, 40.5 * 2400 / 160 / 10);
    QCOMPARE(bench.snapshot().idealHighPct, 55.0 * 2400 / 160 / 10);
    QCOMPARE(bench.setup().targetPct, 71); // 47.5 mA, 71.25 %
    QCOMPARE(benchTargetCurrentText(bench.target()),
             QStringLiteral("This amp's own idle: 47.5 mA per tube\n(114.0 W at 2400 V plate)"));
    bench.setMeterReadsTotal(false);
    QVERIFY(bench.setMeas1(0, 58)); // 87 %: warm for this amp
    QCOMPARE(bench.rating(0), BiasStatus::Warm);

    // Kept through the file: the job loads with the window it was saved with.
    BenchSession loaded;
    loaded.apply(benchStartFromProfile(profileFromJson(profileToJson(profileFromBench(bench.snapshot())))));
    QCOMPARE(loaded.rating(0), BiasStatus::Warm);
    QVERIFY(loaded.target().ampFigure);

    // The slider set to the value it shows changes nothing; a target of one's own ends the figure,
    // and the class's window (20-75 %) rates the tube.
    bench.setTargetPct(71);
    QVERIFY(bench.target().ampFigure);
    bench.setTargetPct(50);
    QVERIFY(!bench.target().ampFigure);
    QCOMPARE(bench.snapshot().idealHighPct, 75.0);
    QCOMPARE(bench.rating(0), BiasStatus::Warm);
    QVERIFY(bench.setMeas1(0, 40)); // 60 %
    QCOMPARE(bench.rating(0), BiasStatus::Ideal);

    // Another tube type is another amp.
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("EVH 5150III 100W"))));
    QVERIFY(bench.target().ampFigure);
    QVERIFY(bench.setTube(QStringLiteral("6550")));
    QVERIFY(!bench.target().ampFigure);
    QCOMPARE(bench.setup().idle.unit, IdleUnit::None);

    // A file from before the figure was kept reads as none: the class rates it as it always did.
    const QJsonObject old = QJsonDocument::fromJson(R"json({"tube": "572B", "biasMethod": 4,
        "topology": "RF Linear (Class AB/B)", "tubeCount": 2, "plateV": 2400, "targetPct": 30,
        "meterReadsTotal": false, "meas1": [20, 20]})json")
                                .object();
    BenchSession before;
    before.apply(benchStartFromProfile(profileFromJson(old)));
    QVERIFY(!before.target().ampFigure);
    // 20 mA at 2400 V, 48 W of 160 W: 30 %, inside the class's 20-75 % (the SB-200's own window would
    // call it cold).
    QCOMPARE(before.rating(0), BiasStatus::Ideal);
}

void TestBenchNumbers::badIdleFiguresInAFileReadAsNone_data()
{
    QTest::addColumn<QByteArray>("idle");
    QTest::addColumn<bool>("kept");
    QTest::addRow("a good figure") << QByteArray(R"({"unit": "mA per tube", "low": 45, "high": 50})") << true;
    QTest::addRow("unknown unit") << QByteArray(R"({"unit": "amps", "low": 45, "high": 50})") << false;
    QTest::addRow("negative") << QByteArray(R"({"unit": "mA per tube", "low": -45, "high": 50})") << false;
    QTest::addRow("ends swapped") << QByteArray(R"({"unit": "% of max", "low": 70, "high": 60})") << false;
    QTest::addRow("not an object") << QByteArray(R"("47.5 mA")") << false;
    QTest::addRow("numbers as text") << QByteArray(R"({"unit": "% of max", "low": "70", "high": "70"})")
                                     << false;
}

void TestBenchNumbers::badIdleFiguresInAFileReadAsNone()
{
    QFETCH(QByteArray, idle);
    QFETCH(bool, kept);
    const QByteArray json = R"json({"tube": "572B", "biasMethod": 4, "topology": "RF Linear (Class AB/B)",
        "tubeCount": 2, "plateV": 2400, "meterReadsTotal": false, "meas1": [58, 58], "ampIdle": )json" +
                            idle + "}";
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    QVERIFY(!o.isEmpty());
    BenchSession bench;
    bench.apply(benchStartFromProfile(profileFromJson(o)));
    QCOMPARE(bench.target().ampFigure, kept);
    // 58 mA at 2400 V is 87 %: past the class's 20-75 % and past the SB-200's own window alike.
    QCOMPARE(bench.rating(0), BiasStatus::Warm);
    QCOMPARE(bench.snapshot().idealHighPct, kept ? 55.0 * 2400 / 160 / 10 : 75.0);
}

void TestBenchNumbers::classWindows_data()
{
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<double>("pct"); // of the tube's rating at idle
    QTest::addColumn<BiasStatus>("rating");
    const QString b = QStringLiteral("Push-Pull Class B");
    const QString rf = QStringLiteral("RF Linear (Class AB/B)");
    // Class B idles near cutoff: 5-20 %.
    QTest::addRow("class B near cutoff") << b << 10.0 << BiasStatus::Ideal;
    QTest::addRow("class B at a class AB idle") << b << 45.0 << BiasStatus::Warm;
    QTest::addRow("class B cut off") << b << 3.0 << BiasStatus::Cold;
    // RF: grounded-grid triodes from ~20 %, tetrode finals and an SB-200 at their makers' figures ~70 %.
    QTest::addRow("RF tetrode final at its makers' figure") << rf << 70.0 << BiasStatus::Ideal;
    QTest::addRow("RF grounded-grid triode") << rf << 25.0 << BiasStatus::Ideal;
    QTest::addRow("RF near cutoff") << rf << 10.0 << BiasStatus::Cold;
    QTest::addRow("RF past its makers' figures") << rf << 85.0 << BiasStatus::Warm;
    // Unchanged classes keep their windows, so their files rate as before.
    QTest::addRow("fixed-bias AB at 72 pct") << "Push-Pull Class AB (fixed bias)" << 72.0 << BiasStatus::Warm;
    QTest::addRow("single-ended A at 88 pct") << "Single-Ended Class A" << 88.0 << BiasStatus::Ideal;
}

void TestBenchNumbers::classWindows()
{
    QFETCH(QString, ampClass);
    QFETCH(double, pct);
    QFETCH(BiasStatus, rating);
    // Through a saved file, as a job of either age arrives: 6L6GC, 30 W, 500 V, the class's first
    // method (the bias probe, or a linear's panel meter read per tube), both in mA per tube.
    const double ma = pct / 100 * 30 / 500 * 1000;
    QJsonObject o = QJsonDocument::fromJson(R"json({"tube": "6L6GC", "tubeCount": 2,
        "plateV": 500, "meterReadsTotal": false})json")
                        .object();
    const AmpClass* classRow = findAmpClass(ampClass);
    QVERIFY(classRow && !classRow->methods.isEmpty());
    QVERIFY(classRow->methods.first() == BiasProbe || classRow->methods.first() == PanelMeter);
    o.insert(QStringLiteral("biasMethod"), classRow->methods.first());
    o.insert(QStringLiteral("topology"), ampClass);
    o.insert(QStringLiteral("meas1"), QJsonArray{ma, ma});
    BenchSession bench;
    bench.apply(benchStartFromProfile(profileFromJson(o)));
    QCOMPARE(bench.setup().ampClass, ampClass);
    QVERIFY(qAbs(bench.result(0).pctOfMax - pct) < 0.1);
    QCOMPARE(bench.rating(0), rating);
    // The class's target lies in its window.
    const AmpClass* row = findAmpClass(ampClass);
    QVERIFY(row && row->idealLowPct < row->targetPct && row->targetPct <= row->idealHighPct);
}

QTEST_GUILESS_MAIN(TestBenchNumbers)
#include "tst_benchnumbers.moc"
