// The bench model on its own, with no window: a whole bias job, the apply operation from the
// defaults, a preset and a profile, what happens to the readings, and the change signals. The
// expected numbers are the ones the bench window shows for the same inputs.
#include "bench/benchsession.h"
#include "bench/benchsnapshot.h"
#include "bench/profilestore.h"
#include "bias/biasmethods.h"
#include "bias/biasstatus.h"
#include "biastools/biasreport.h"
#include "catalog/ampclasses.h"
#include "catalog/presets.h"
#include "catalog/tubes.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QUndoStack>
#include <QtTest>
#include <cmath>
#include <limits>

namespace {

const QString fixedBias = QStringLiteral("Push-Pull Class AB (fixed bias)");
const QString cathodeBias = QStringLiteral("Push-Pull Class AB (cathode bias)");
const QString classA = QStringLiteral("Single-Ended Class A");
const QString classB = QStringLiteral("Push-Pull Class B");
const QString rfLinear = QStringLiteral("RF Linear (Class AB/B)");
const QString prompt = QStringLiteral("Enter plate voltage for a target current.");

int presetIndex(const QString& name)
{
    const QList<AmpPreset>& presets = ampPresets();
    for (int i = 0; i < presets.size(); ++i) {
        if (presets[i].name == name)
            return i;
    }
    return -1;
}

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

QList<double> firstReadings(const BenchSession& bench)
{
    QList<double> values;
    for (const TubeReading& reading : bench.snapshot().readings)
        values << reading.meas1;
    return values;
}

// Every signal of a model, by name, in the order it came.
struct SignalLog {
    QStringList names;

    explicit SignalLog(BenchSession& bench)
    {
        QObject::connect(&bench, &BenchSession::setupChanged, [this] { names << QStringLiteral("setup"); });
        QObject::connect(&bench, &BenchSession::cardsRebuilt, [this] { names << QStringLiteral("rebuilt"); });
        QObject::connect(&bench, &BenchSession::tubeChanged,
                         [this](int tube) { names << QStringLiteral("tube%1").arg(tube); });
        QObject::connect(&bench, &BenchSession::targetChanged, [this] { names << QStringLiteral("target"); });
        QObject::connect(&bench, &BenchSession::matchingChanged,
                         [this] { names << QStringLiteral("matching"); });
    }
};

// A profile file's object as the program reads it from disk.
AmpProfile throughFile(const AmpProfile& profile)
{
    const QByteArray bytes = QJsonDocument(profileToJson(profile)).toJson(QJsonDocument::Indented);
    QJsonObject object;
    if (!jsonObjectFromBytes(bytes, object))
        return AmpProfile();
    return profileFromJson(object);
}

} // namespace

class TestBenchSession : public QObject
{
    Q_OBJECT

private slots:
    void aFreshModelHoldsTheFirstStart();
    void matchedSetCarriesItsLabels();
    void completeBiasJob();
    void applyStartingPoints_data();
    void applyStartingPoints();
    void presetStartsEverySharedValueAfresh();
    void profileSetsEverythingWhateverCameBefore();
    void handWrittenProfileIsCoerced();
    void windingDropTargetFollowsTubeOne();
    void customTubeIsRatedAgainstItsMaximum();
    void plateVoltageDefaultsOnlyFromZero_data();
    void plateVoltageDefaultsOnlyFromZero();
    void classChangeRebuildsMethods_data();
    void classChangeRebuildsMethods();
    void sharedValuesReachEveryTube_data();
    void sharedValuesReachEveryTube();
    void readingsOnCountChange();
    void readingsOnMethodChange_data();
    void readingsOnMethodChange();
    void readingsOutsideTheBenchAreRefused();
    void undoRestoresStructuralSteps_data();
    void undoRestoresStructuralSteps();
    void unsavedReadingsAreKnown();
    void matchingVerdict_data();
    void matchingVerdict();
    void eachChangeSignalsOnce_data();
    void eachChangeSignalsOnce();
    void refusedEditsChangeNothing();
    void applySignalsOneRebuild();
    void ratingLooksAgreeWithTheReport();
    void methodTableDrivesTheInputs_data();
    void methodTableDrivesTheInputs();
};

void TestBenchSession::aFreshModelHoldsTheFirstStart()
{
    const BenchSession bench;
    const BenchSetup& s = bench.setup();
    QCOMPARE(s.tube, QStringLiteral("6V6GT"));
    QCOMPARE(s.ampClass, fixedBias);
    QCOMPARE(s.method, int(BiasProbe));
    QCOMPARE(bench.methods(), (QList<int>{BiasProbe, SenseResistor, OtWindingDrop}));
    QCOMPARE(s.tubeCount, 2);
    QCOMPARE(bench.snapshot().readings.size(), 2);
    // 350 V is 6V6GT's typical plate voltage, filled into the empty field.
    QCOMPARE(s.shared.plateV, 350.0);
    QCOMPARE(s.shared.bPlusV, 0.0);
    QCOMPARE(s.shared.senseResistorOhms, 1.0);
    QCOMPARE(s.shared.cathodeResistorOhms, 250.0);
    QVERIFY(!s.shared.sharedCathodeR);
    QVERIFY(!s.shared.subtractScreen);
    QVERIFY(s.shared.meterReadsTotal);
    QCOMPARE(s.customMaxW, 25.0);
    QCOMPARE(s.targetPct, 65);
    QCOMPARE(bench.maxPlateW(), 14.0);
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(!bench.result(i).valid, "a new tube has no reading");
        QCOMPARE(bench.rating(i), BiasStatus::NoReading);
    }
    QCOMPARE(benchTargetPctText(bench.target()), QStringLiteral("65% of max dissipation"));
    QCOMPARE(benchTargetCurrentText(bench.target()),
             QStringLiteral("Recommended idle: 26.0 mA per tube\n(9.1 W at 350 V plate)"));
    QCOMPARE(bench.matching().text, QString());
    QCOMPARE(bench.matching().level, QString());
}

void TestBenchSession::completeBiasJob()
{
    BenchSession bench;
    const int preset = presetIndex(QStringLiteral("Dual Rectifier"));
    QVERIFY(preset >= 0);
    QVERIFY(bench.applyPreset(preset));
    QCOMPARE(bench.setup().tube, QStringLiteral("6L6GC"));
    QCOMPARE(bench.tubeCount(), 4);
    QCOMPARE(bench.setup().shared.plateV, 480.0);

    const QList<double> typed = {40, 42, 38, 41};
    for (int i = 0; i < 4; ++i)
        QVERIFY(bench.setMeas1(i, typed[i]));
    // 6L6GC is rated 30 W; 40 mA at 480 V is 19.2 W, 64 % of it.
    const QList<double> pct480 = {64, 67.2, 60.8, 65.6};
    for (int i = 0; i < 4; ++i) {
        QVERIFY(bench.result(i).valid);
        QVERIFY2(near(bench.result(i).pctOfMax, pct480[i]),
                 qPrintable(QStringLiteral("V%1 at %2 %").arg(i + 1).arg(bench.result(i).pctOfMax)));
        QCOMPARE(bench.rating(i), BiasStatus::Ideal);
    }
    QCOMPARE(benchTargetCurrentText(bench.target()),
             QStringLiteral("Recommended idle: 40.6 mA per tube\n(19.5 W at 480 V plate)"));
    QCOMPARE(bench.matching().text, QStringLiteral("MATCHING: within 10% — good"));
    QCOMPARE(bench.matching().level, QStringLiteral("good"));

    // A higher plate voltage re-rates every tube at once and moves the target; the currents, and so
    // the matching verdict, stay.
    SignalLog log(bench);
    bench.setPlateV(520);
    QCOMPARE(log.names, (QStringList{"setup", "tube0", "tube1", "tube2", "tube3", "target"}));
    QVERIFY(near(bench.result(1).dissipationW, 21.84));
    QCOMPARE(bench.rating(0), BiasStatus::Ideal); // 69.3 %
    QCOMPARE(bench.rating(1), BiasStatus::Warm);  // 72.8 %
    QCOMPARE(benchTargetCurrentText(bench.target()),
             QStringLiteral("Recommended idle: 37.5 mA per tube\n(19.5 W at 520 V plate)"));
    QCOMPARE(bench.matching().text, QStringLiteral("MATCHING: within 10% — good"));

    // Saved as a profile, through the file format, into a fresh model: the same bench.
    const AmpProfile saved = throughFile(profileFromBench(bench.snapshot()));
    QCOMPARE(saved.meas1, typed);
    BenchSession restored;
    restored.apply(benchStartFromProfile(saved));
    const BenchSnapshot& a = bench.snapshot();
    const BenchSnapshot& b = restored.snapshot();
    QCOMPARE(b.setup.tube, a.setup.tube);
    QCOMPARE(b.setup.ampClass, a.setup.ampClass);
    QCOMPARE(b.setup.method, a.setup.method);
    QCOMPARE(b.setup.tubeCount, a.setup.tubeCount);
    QCOMPARE(b.setup.shared.plateV, a.setup.shared.plateV);
    QCOMPARE(b.setup.targetPct, a.setup.targetPct);
    QCOMPARE(firstReadings(restored), typed);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(b.results[i].currentMa, a.results[i].currentMa);
        QCOMPARE(b.results[i].pctOfMax, a.results[i].pctOfMax);
        QCOMPARE(b.ratings[i], a.ratings[i]);
    }
    QCOMPARE(benchTargetCurrentText(b.target), benchTargetCurrentText(a.target));
    QCOMPARE(b.matching.text, a.matching.text);
    // The file the restored bench would write is the file that was read.
    QCOMPARE(profileToJson(profileFromBench(b)), profileToJson(saved));

    // The report holds what the window's report shows for this bench.
    const BiasReportData report = biasReportFromBench(bench.snapshot(), QStringLiteral("Studio <Rectifier>"));
    QCOMPARE(report.ampName, QStringLiteral("Studio <Rectifier>"));
    QCOMPARE(report.tubeType, QStringLiteral("6L6GC"));
    QCOMPARE(report.topology, fixedBias);
    QCOMPARE(report.biasMethod, QStringLiteral("Bias probe (cathode current)"));
    QCOMPARE(report.plateV, 520.0);
    QCOMPARE(report.targetPct, 65.0);
    QCOMPARE(report.maxPlateW, 30.0);
    QCOMPARE(report.rows.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const BiasReportRow expected = biasReportRow(i, bench.result(i), fixedBias);
        QCOMPARE(report.rows[i].label, expected.label);
        QCOMPARE(report.rows[i].status, expected.status);
        QCOMPARE(report.rows[i].result.currentMa, expected.result.currentMa);
    }
    QCOMPARE(report.rows[1].status, QStringLiteral("WARM"));
    const QString html = biasReportHtml(report, QDateTime(QDate(2024, 5, 1), QTime(9, 30)));
    QVERIFY2(html.contains(QStringLiteral("<td>V2</td><td>42.0 mA</td><td>21.8 W</td><td>72.8%</td>"
                                          "<td class='warm'>WARM</td>")),
             qPrintable(html));
    QCOMPARE(biasReportFromBench(bench.snapshot(), QString()).ampName, QStringLiteral("6L6GC amp"));
}

void TestBenchSession::applyStartingPoints_data()
{
    QTest::addColumn<QString>("kind"); // "defaults", "preset" or "profile"
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QJsonObject>("profile");
    QTest::addColumn<QString>("tube");
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("tubes");
    QTest::addColumn<double>("plateV");
    QTest::addColumn<double>("bPlusV");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("targetText");

    // The presets' rows are the window's own expectations for the same presets.
    QTest::addRow("defaults") << "defaults" << QString() << QJsonObject() << "6V6GT" << fixedBias << 0 << 2
                              << 350.0 << 0.0 << 65
                              << "Recommended idle: 26.0 mA per tube\n(9.1 W at 350 V plate)";
    QTest::addRow("preset Deluxe Reverb")
        << "preset"
        << "Deluxe Reverb" << QJsonObject() << "6V6GT" << fixedBias << 0 << 2 << 420.0 << 0.0 << 70
        << "This amp's own idle: 23.3 mA per tube\n(9.8 W at 420 V plate)";
    QTest::addRow("preset RF class with its panel meter")
        << "preset"
        << "SB-200 / SB-201" << QJsonObject() << "572B" << rfLinear << 4 << 2 << 2400.0 << 0.0 << 71
        << "This amp's own idle: 47.5 mA per tube\n(114.0 W at 2400 V plate)";
    QTest::addRow("preset winding drop sets B+ 10 V above")
        << "preset"
        << "Harmony H400" << QJsonObject() << "50C5" << classA << 2 << 1 << 110.0 << 120.0 << 90 << prompt;
    QTest::addRow("preset cathode bias")
        << "preset"
        << "Tweed Deluxe 5E3" << QJsonObject() << "6V6GT" << cathodeBias << 3 << 2 << 360.0 << 0.0 << 85
        << "Recommended idle: 33.1 mA per tube\n(11.9 W at 360 V plate)";
    QTest::addRow("preset four tubes")
        << "preset"
        << "Dual Rectifier" << QJsonObject() << "6L6GC" << fixedBias << 0 << 4 << 480.0 << 0.0 << 65
        << "Recommended idle: 40.6 mA per tube\n(19.5 W at 480 V plate)";

    // Profiles: the class is applied before the method, so the RF class's own methods survive.
    const QJsonObject rf{{"tube", "3-500Z"}, {"topology", rfLinear}, {"biasMethod", 4},
                         {"tubeCount", 1},   {"plateV", 2800},       {"targetPct", 35}};
    QTest::addRow("profile RF panel meter")
        << "profile" << QString() << rf << "3-500Z" << rfLinear << 4 << 1 << 2800.0 << 0.0 << 35
        << "Recommended idle: 62.5 mA per tube\n(175.0 W at 2800 V plate)";
    QJsonObject rfSense = rf;
    rfSense["biasMethod"] = 1;
    QTest::addRow("profile RF sense resistor")
        << "profile" << QString() << rfSense << "3-500Z" << rfLinear << 1 << 1 << 2800.0 << 0.0 << 35
        << "Recommended idle: 62.5 mA per tube\n(175.0 W at 2800 V plate)";
    QJsonObject rfProbe = rf;
    rfProbe["biasMethod"] = 0;
    QTest::addRow("profile RF with a method it does not offer")
        << "profile" << QString() << rfProbe << "3-500Z" << rfLinear << 4 << 1 << 2800.0 << 0.0 << 35
        << "Recommended idle: 62.5 mA per tube\n(175.0 W at 2800 V plate)";
    // The winding drop's target is worked out at tube 1's plate voltage, which arrives with the
    // readings, after everything else.
    const QJsonObject winding{{"tube", "6L6GC"},
                              {"topology", fixedBias},
                              {"biasMethod", 2},
                              {"tubeCount", 2},
                              {"bPlusV", 460},
                              {"plateV", 400},
                              {"meas1", QJsonArray{440, 445}},
                              {"meas2", QJsonArray{50, 55}}};
    QTest::addRow("profile winding drop, target at tube 1")
        << "profile" << QString() << winding << "6L6GC" << fixedBias << 2 << 2 << 400.0 << 460.0 << 65
        << "Recommended idle: 44.3 mA per tube\n(19.5 W at 440 V plate)";
    // The custom rating is applied before anything is rated.
    const QJsonObject custom{{"tube", "Custom..."},
                             {"customMaxW", 40},
                             {"topology", fixedBias},
                             {"plateV", 400},
                             {"targetPct", 50}};
    QTest::addRow("profile custom tube")
        << "profile" << QString() << custom << "Custom..." << fixedBias << 0 << 2 << 400.0 << 0.0 << 50
        << "Recommended idle: 50.0 mA per tube\n(20.0 W at 400 V plate)";
    const QJsonObject target{
        {"tube", "6V6GT"}, {"topology", fixedBias}, {"plateV", 350}, {"targetPct", 72.9}};
    QTest::addRow("profile target truncated")
        << "profile" << QString() << target << "6V6GT" << fixedBias << 0 << 2 << 350.0 << 0.0 << 72
        << "Recommended idle: 28.8 mA per tube\n(10.1 W at 350 V plate)";
    QJsonObject huge = target;
    huge["targetPct"] = 1e30;
    QTest::addRow("profile target beyond any int")
        << "profile" << QString() << huge << "6V6GT" << fixedBias << 0 << 2 << 350.0 << 0.0 << 100
        << "Recommended idle: 40.0 mA per tube\n(14.0 W at 350 V plate)";
    QJsonObject tooMany = target;
    tooMany["tubeCount"] = 20;
    tooMany["targetPct"] = -5;
    QTest::addRow("profile count and target clamped")
        << "profile" << QString() << tooMany << "6V6GT" << fixedBias << 0 << 12 << 350.0 << 0.0 << 5
        << "Recommended idle: 2.0 mA per tube\n(0.7 W at 350 V plate)";
}

void TestBenchSession::applyStartingPoints()
{
    QFETCH(QString, kind);
    QFETCH(QString, preset);
    QFETCH(QJsonObject, profile);
    QFETCH(QString, tube);
    QFETCH(QString, ampClass);
    QFETCH(int, method);
    QFETCH(int, tubes);
    QFETCH(double, plateV);
    QFETCH(double, bPlusV);
    QFETCH(int, target);
    QFETCH(QString, targetText);

    // Away from the defaults first, with the plate field empty: what is applied must win over the
    // tube's typical voltage, and no earlier value may leak through.
    BenchSession bench;
    QVERIFY(bench.setAmpClass(classB));
    bench.setTubeCount(3);
    bench.setPlateV(0);
    bench.setTargetPct(99);
    QVERIFY(bench.setMeas1(0, 30));

    if (kind == QLatin1String("defaults"))
        bench.applyDefaults();
    else if (kind == QLatin1String("preset"))
        QVERIFY(bench.applyPreset(presetIndex(preset)));
    else
        bench.apply(benchStartFromProfile(profileFromJson(profile)));

    const BenchSetup& s = bench.setup();
    QCOMPARE(s.tube, tube);
    QCOMPARE(s.ampClass, ampClass);
    QCOMPARE(s.method, method);
    QCOMPARE(bench.tubeCount(), tubes);
    QCOMPARE(bench.snapshot().readings.size(), tubes);
    QCOMPARE(bench.snapshot().results.size(), tubes);
    QCOMPARE(s.shared.plateV, plateV);
    QCOMPARE(s.shared.bPlusV, bPlusV);
    QCOMPARE(s.targetPct, target);
    QCOMPARE(benchTargetCurrentText(bench.target()), targetText);
    QCOMPARE(bench.methods(), findAmpClass(ampClass)->methods);
    // The class's window, or 10 % under the amp's own figure where its preset gives one.
    if (!bench.target().ampFigure)
        QCOMPARE(bench.snapshot().idealLowPct, findAmpClass(ampClass)->idealLowPct);
    else
        QVERIFY(bench.snapshot().idealLowPct < bench.setup().targetPct);
    // Only a profile brings readings; every other starting point empties the tubes.
    const QList<double> readings = profileFromJson(profile).meas1;
    for (int i = 0; i < tubes; ++i)
        QCOMPARE(bench.reading(i).meas1, readings.value(i, 0));
}

void TestBenchSession::presetStartsEverySharedValueAfresh()
{
    BenchSession bench;
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("Deluxe Reverb"))));
    bench.setSenseResistorOhms(10);
    bench.setCathodeResistorOhms(470);
    bench.setSubtractScreen(true);
    bench.setSharedCathodeR(true);
    bench.setMeterReadsTotal(false);
    bench.setCustomMaxW(42.5);
    bench.setBPlusV(455);
    bench.setTargetPct(72);
    bench.setPlateV(400);
    QVERIFY(bench.setMeas1(0, 30));
    QVERIFY(bench.setMeas1(1, 31));
    QVERIFY(!bench.matching().text.isEmpty());

    // Re-choosing the same preset starts afresh: its plate voltage, its note's target, empty tubes.
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("Deluxe Reverb"))));
    const SharedMeasurements& shared = bench.setup().shared;
    QCOMPARE(shared.plateV, 420.0);
    QCOMPARE(bench.setup().targetPct, 70);
    QCOMPARE(firstReadings(bench), (QList<double>{0, 0}));
    QCOMPARE(bench.matching().text, QString());
    // Nothing of the amplifier before carries over: what the preset does not name is a fresh job's.
    const SharedMeasurements fresh;
    QCOMPARE(shared.senseResistorOhms, fresh.senseResistorOhms);
    QCOMPARE(shared.cathodeResistorOhms, fresh.cathodeResistorOhms);
    QCOMPARE(shared.subtractScreen, fresh.subtractScreen);
    QCOMPARE(shared.sharedCathodeR, fresh.sharedCathodeR);
    QCOMPARE(shared.meterReadsTotal, fresh.meterReadsTotal);
    QCOMPARE(shared.bPlusV, fresh.bPlusV);
    // The custom tube's rating is the user's own, not the amplifier's.
    QCOMPARE(bench.setup().customMaxW, 42.5);

    QVERIFY2(!bench.applyPreset(-1), "no preset at -1");
    QVERIFY2(!bench.applyPreset(int(ampPresets().size())), "no preset past the end");
    QCOMPARE(bench.setup().tube, QStringLiteral("6V6GT"));
}

void TestBenchSession::profileSetsEverythingWhateverCameBefore()
{
    AmpProfile profile;
    profile.tube = QStringLiteral("KT88");
    profile.customMaxW = 61.25;
    profile.tubeCount = 3;
    profile.topology = classA;
    profile.biasMethod = CathodeBias;
    profile.plateV = 480;
    profile.bPlusV = 490;
    profile.senseResistorOhms = 10;
    profile.cathodeResistorOhms = 130;
    profile.sharedCathodeR = true;
    profile.subtractScreen = true;
    profile.meterReadsTotal = false;
    profile.targetPct = 58;
    profile.meas1 = {10.25, 11.5, 12.75};
    profile.meas2 = {1, 2, 3};

    // Two very different benches before; the same bench after.
    BenchSession fromDefaults;
    BenchSession fromPreset;
    QVERIFY(fromPreset.applyPreset(presetIndex(QStringLiteral("SB-200 / SB-201"))));
    fromPreset.setSenseResistorOhms(47);
    for (BenchSession* bench : {&fromDefaults, &fromPreset}) {
        bench->apply(benchStartFromProfile(profile));
        const AmpProfile back = profileFromBench(bench->snapshot());
        QCOMPARE(profileToJson(back), profileToJson(profile));
        // 10.25 V across 130 Ω shared by the pair, less 5 % screen current, at 480 V.
        QVERIFY(near(bench->result(0).currentMa, 10.25 / 130 * 1000 / 2 * 0.95));
    }
}

void TestBenchSession::handWrittenProfileIsCoerced()
{
    // The window's own case: a fractional count, the method as a string, a tube no catalogue has and
    // a reading that is not a number.
    const QByteArray handWritten = "{\"name\": \"Hand\", \"tube\": \"No Such Tube\","
                                   " \"topology\": \"Push-Pull Class AB (fixed bias)\", \"tubeCount\": 2.5,"
                                   " \"biasMethod\": \"1\", \"plateV\": 420, \"meas1\": [30, \"x\", 31]}";
    QJsonObject object;
    QVERIFY(jsonObjectFromBytes(handWritten, object));
    BenchSession bench;
    QVERIFY(bench.setTube(QStringLiteral("EL34")));
    QVERIFY(bench.setMethod(SenseResistor));
    bench.setTubeCount(5);

    bench.apply(benchStartFromProfile(profileFromJson(object)));
    QCOMPARE(bench.setup().tube, QStringLiteral("EL34"));
    QCOMPARE(bench.setup().method, int(BiasProbe));
    QCOMPARE(bench.tubeCount(), 2);
    QCOMPARE(firstReadings(bench), (QList<double>{30, 0}));
    QCOMPARE(bench.setup().shared.plateV, 420.0);

    // A negative method reads like a missing one, not as "keep the current method".
    QVERIFY(bench.setMethod(SenseResistor));
    AmpProfile negative;
    negative.topology = fixedBias;
    negative.biasMethod = -1;
    bench.apply(benchStartFromProfile(negative));
    QCOMPARE(bench.setup().method, int(BiasProbe));
    // A target that is not finite takes the class's default.
    negative.targetPct = std::numeric_limits<double>::quiet_NaN();
    negative.topology = cathodeBias;
    bench.apply(benchStartFromProfile(negative));
    QCOMPARE(bench.setup().targetPct, 85);
}

void TestBenchSession::windingDropTargetFollowsTubeOne()
{
    BenchSession bench;
    QVERIFY(bench.setMethod(OtWindingDrop));
    bench.setBPlusV(450);
    // The hidden shared field still holds 350 V; only tube 1's own voltage counts.
    QCOMPARE(benchTargetCurrentText(bench.target()), prompt);
    QVERIFY(bench.setMeas1(1, 440));
    QCOMPARE(benchTargetCurrentText(bench.target()), prompt);

    QSignalSpy target(&bench, &BenchSession::targetChanged);
    QVERIFY(bench.setMeas1(0, 440));
    QCOMPARE(target.count(), 1);
    QCOMPARE(benchTargetCurrentText(bench.target()),
             QStringLiteral("Recommended idle: 20.7 mA per tube\n(9.1 W at 440 V plate)"));
    QVERIFY(bench.setMeas2(0, 100));
    QCOMPARE(target.count(), 1);
    QVERIFY(bench.result(0).valid);
    QCOMPARE(bench.result(0).currentMa, 100.0);

    // A drop of one volt between two readings of hundreds of volts warns of its precision.
    QVERIFY(bench.setMeas1(1, 449));
    QVERIFY(bench.setMeas2(1, 20));
    QVERIFY(bench.result(1).valid);
    QVERIFY(bench.result(1).warning.startsWith(QStringLiteral("Only 1.0 V between B+ and plate")));

    QVERIFY(bench.setMethod(BiasProbe));
    QCOMPARE(benchTargetCurrentText(bench.target()),
             QStringLiteral("Recommended idle: 26.0 mA per tube\n(9.1 W at 350 V plate)"));
}

void TestBenchSession::customTubeIsRatedAgainstItsMaximum()
{
    BenchSession bench;
    QVERIFY(bench.setMeas1(0, 40)); // 14 W at 350 V
    QVERIFY(bench.setMeas1(1, 20)); // 7 W
    QVERIFY(bench.setTube(QStringLiteral("Custom...")));
    QCOMPARE(bench.maxPlateW(), 25.0);
    QCOMPARE(bench.result(0).pctOfMax, 56.0);
    QCOMPARE(bench.result(1).pctOfMax, 28.0);

    bench.setCustomMaxW(40);
    QCOMPARE(bench.maxPlateW(), 40.0);
    QCOMPARE(bench.result(0).pctOfMax, 35.0);
    QCOMPARE(bench.result(1).pctOfMax, 17.5);
    bench.setTargetPct(50);
    bench.setPlateV(400);
    QCOMPARE(benchTargetCurrentText(bench.target()),
             QStringLiteral("Recommended idle: 50.0 mA per tube\n(20.0 W at 400 V plate)"));

    // A named tube keeps the typed rating for later but is rated against its own.
    QVERIFY(bench.setTube(QStringLiteral("KT88")));
    QCOMPARE(bench.setup().customMaxW, 40.0);
    QCOMPARE(bench.maxPlateW(), 35.0);
    QVERIFY(near(bench.result(0).pctOfMax, 16.0 / 35 * 100));

    // The field holds two decimals within 1-300 W.
    QVERIFY(bench.setTube(QStringLiteral("Custom...")));
    bench.setCustomMaxW(12.346);
    QCOMPARE(bench.maxPlateW(), 12.35);
    bench.setCustomMaxW(0);
    QCOMPARE(bench.maxPlateW(), 1.0);
}

void TestBenchSession::plateVoltageDefaultsOnlyFromZero_data()
{
    QTest::addColumn<double>("typedPlateV"); // negative: leave the 350 V of the first start
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("expected");
    QTest::addRow("6V6GT's 350 V stays for KT88") << -1.0 << "KT88" << 350.0;
    QTest::addRow("cleared to 0, KT88 fills 500 V") << 0.0 << "KT88" << 500.0;
    QTest::addRow("cleared to 0, the custom tube fills 450 V") << 0.0 << "Custom..." << 450.0;
    QTest::addRow("1 V is a reading, not an empty field") << 1.0 << "KT88" << 1.0;
}

void TestBenchSession::plateVoltageDefaultsOnlyFromZero()
{
    QFETCH(double, typedPlateV);
    QFETCH(QString, tube);
    QFETCH(double, expected);
    BenchSession bench;
    if (typedPlateV >= 0)
        bench.setPlateV(typedPlateV);
    QVERIFY(bench.setTube(tube));
    QCOMPARE(bench.setup().shared.plateV, expected);
    QVERIFY(bench.setMeas1(0, 20));
    QCOMPARE(bench.result(0).dissipationW, expected * 20 / 1000);
}

void TestBenchSession::classChangeRebuildsMethods_data()
{
    QTest::addColumn<QString>("fromClass");
    QTest::addColumn<int>("fromMethod");
    QTest::addColumn<QString>("toClass");
    QTest::addColumn<QList<int>>("methods");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("target");
    QTest::addRow("RF keeps the sense resistor") << fixedBias << 1 << rfLinear << QList<int>{4, 1} << 1 << 45;
    QTest::addRow("RF falls back to the panel meter")
        << fixedBias << 0 << rfLinear << QList<int>{4, 1} << 4 << 45;
    QTest::addRow("fixed bias drops cathode bias")
        << cathodeBias << 3 << fixedBias << QList<int>{0, 1, 2} << 0 << 65;
    QTest::addRow("class B keeps the winding drop")
        << classA << 2 << classB << QList<int>{0, 1, 2} << 2 << 12;
    QTest::addRow("RF to class A keeps the sense resistor")
        << rfLinear << 1 << "Push-Pull Class A" << QList<int>{0, 1, 2, 3} << 1 << 90;
    QTest::addRow("RF panel meter to class A falls back to the probe")
        << rfLinear << 4 << "Push-Pull Class A" << QList<int>{0, 1, 2, 3} << 0 << 90;
}

void TestBenchSession::classChangeRebuildsMethods()
{
    QFETCH(QString, fromClass);
    QFETCH(int, fromMethod);
    QFETCH(QString, toClass);
    QFETCH(QList<int>, methods);
    QFETCH(int, selected);
    QFETCH(int, target);
    BenchSession bench;
    QVERIFY(bench.setAmpClass(fromClass));
    QVERIFY(bench.setMethod(fromMethod));
    bench.setTargetPct(77);
    QVERIFY(bench.setAmpClass(toClass));
    QCOMPARE(bench.methods(), methods);
    QCOMPARE(bench.setup().method, selected);
    QCOMPARE(bench.setup().targetPct, target);
}

void TestBenchSession::sharedValuesReachEveryTube_data()
{
    // The window's table for the same inputs.
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("tubes");
    QTest::addColumn<double>("reading");
    QTest::addColumn<QString>("control");
    QTest::addColumn<double>("before"); // mA per tube
    QTest::addColumn<double>("after");
    QTest::addRow("meter total divides by the tube count")
        << rfLinear << 4 << 4 << 200.0 << "meterTotal" << 50.0 << 200.0;
    QTest::addRow("screen current subtracted")
        << fixedBias << 0 << 2 << 40.0 << "subtractScreen" << 40.0 << 38.0;
    QTest::addRow("sense resistor of 10 ohms") << fixedBias << 1 << 3 << 400.0 << "sense" << 400.0 << 40.0;
    QTest::addRow("cathode resistor shared by the pair")
        << classA << 3 << 2 << 25.0 << "sharedPair" << 100.0 << 50.0;
    QTest::addRow("cathode resistor of 500 ohms") << classA << 3 << 2 << 25.0 << "cathodeR" << 100.0 << 50.0;
}

void TestBenchSession::sharedValuesReachEveryTube()
{
    QFETCH(QString, ampClass);
    QFETCH(int, method);
    QFETCH(int, tubes);
    QFETCH(double, reading);
    QFETCH(QString, control);
    QFETCH(double, before);
    QFETCH(double, after);
    BenchSession bench;
    QVERIFY(bench.setAmpClass(ampClass));
    QVERIFY(bench.setMethod(method));
    bench.setTubeCount(tubes);
    for (int i = 0; i < tubes; ++i)
        QVERIFY(bench.setMeas1(i, reading));
    // A meter reading the total takes it once, for the whole amplifier.
    if (method == PanelMeter)
        bench.setMeterTotalMa(reading);
    for (int i = 0; i < tubes; ++i)
        QVERIFY2(
            near(bench.result(i).currentMa, before),
            qPrintable(QStringLiteral("%1 mA before, got %2").arg(before).arg(bench.result(i).currentMa)));

    if (control == QLatin1String("meterTotal"))
        bench.setMeterReadsTotal(false);
    else if (control == QLatin1String("subtractScreen"))
        bench.setSubtractScreen(true);
    else if (control == QLatin1String("sharedPair"))
        bench.setSharedCathodeR(true);
    else if (control == QLatin1String("sense"))
        bench.setSenseResistorOhms(10);
    else if (control == QLatin1String("cathodeR"))
        bench.setCathodeResistorOhms(500);

    for (int i = 0; i < tubes; ++i)
        QVERIFY2(near(bench.result(i).currentMa, after),
                 qPrintable(QStringLiteral("%1 mA after, got %2").arg(after).arg(bench.result(i).currentMa)));
}

void TestBenchSession::readingsOnCountChange()
{
    BenchSession bench;
    QVERIFY(bench.setMeas1(0, 26));
    QVERIFY(bench.setMeas1(1, 25));
    QVERIFY(!bench.matching().text.isEmpty());

    // The same count is no change: the readings stay and nothing is signalled.
    SignalLog log(bench);
    bench.setTubeCount(2);
    QCOMPARE(log.names, QStringList());
    QCOMPARE(firstReadings(bench), (QList<double>{26, 25}));

    // Up: the tubes keep their readings, the new ones start empty; the verdict stays.
    bench.setTubeCount(4);
    QCOMPARE(log.names, (QStringList{"setup", "rebuilt"}));
    QCOMPARE(firstReadings(bench), (QList<double>{26, 25, 0, 0}));
    QVERIFY(bench.result(0).valid && !bench.result(3).valid);
    QVERIFY(bench.setMeas1(2, 24));
    QVERIFY(bench.setMeas1(3, 23));

    // Down and up again: the removed tubes' readings come back, 2-4-2-4.
    bench.setTubeCount(2);
    QCOMPARE(firstReadings(bench), (QList<double>{26, 25}));
    QCOMPARE(bench.matching().readings, 2);
    bench.setTubeCount(4);
    QCOMPARE(firstReadings(bench), (QList<double>{26, 25, 24, 23}));
    QCOMPARE(bench.matching().readings, 4);

    // Saving settles the job: what the count does not show is dropped then.
    bench.setTubeCount(3);
    bench.markSaved(QStringLiteral("Deluxe"));
    QCOMPARE(bench.ampName(), QStringLiteral("Deluxe"));
    bench.setTubeCount(4);
    QCOMPARE(firstReadings(bench), (QList<double>{26, 25, 24, 0}));

    // So does another amp.
    bench.setTubeCount(2);
    bench.applyDefaults();
    bench.setTubeCount(4);
    QCOMPARE(firstReadings(bench), (QList<double>{0, 0, 0, 0}));

    // Counts outside 1 to 12 are held within it.
    bench.setTubeCount(20);
    QCOMPARE(bench.tubeCount(), 12);
    QCOMPARE(bench.snapshot().readings.size(), 12);
    bench.setTubeCount(-3);
    QCOMPARE(bench.tubeCount(), 1);
    QCOMPARE(bench.snapshot().results.size(), 1);
}

void TestBenchSession::readingsOnMethodChange_data()
{
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<int>("from");
    QTest::addColumn<double>("meas1");
    QTest::addColumn<double>("meas2");
    QTest::addColumn<QString>("change");  // "method" or "class"
    QTest::addColumn<QString>("to");      // method number or class name
    QTest::addColumn<bool>("sameMethod"); // the change keeps the method
    QTest::addRow("sense millivolts never become plate volts") << fixedBias << 1 << 245.0 << 0.0 << "method"
                                                               << "2" << false;
    QTest::addRow("winding plate and DCR stay with the winding method")
        << classA << 2 << 4400.0 << 60.5 << "method"
        << "0" << false;
    QTest::addRow("probe to cathode bias") << classA << 0 << 40.5 << 0.0 << "method"
                                           << "3" << false;
    QTest::addRow("sense to panel meter") << rfLinear << 1 << 1234.6 << 0.0 << "method"
                                          << "4" << false;
    QTest::addRow("class change to RF takes the panel meter")
        << fixedBias << 0 << 40.5 << 0.0 << "class" << rfLinear << false;
    QTest::addRow("class change keeping the method keeps everything")
        << fixedBias << 1 << 400.0 << 3.0 << "class" << rfLinear << true;
}

void TestBenchSession::readingsOnMethodChange()
{
    QFETCH(QString, ampClass);
    QFETCH(int, from);
    QFETCH(double, meas1);
    QFETCH(double, meas2);
    QFETCH(QString, change);
    QFETCH(QString, to);
    QFETCH(bool, sameMethod);
    BenchSession bench;
    QVERIFY(bench.setAmpClass(ampClass));
    QVERIFY(bench.setMethod(from));
    QVERIFY(bench.setMeas1(0, meas1));
    QVERIFY(bench.setMeas2(0, meas2));
    QCOMPARE(bench.reading(0).meas1, meas1);
    QCOMPARE(bench.reading(0).meas2, meas2);
    const BenchTarget targetBefore = bench.target();

    if (change == QLatin1String("method"))
        QVERIFY(bench.setMethod(to.toInt()));
    else
        QVERIFY(bench.setAmpClass(to));
    QCOMPARE(bench.tubeCount(), 2);
    if (sameMethod) {
        QCOMPARE(bench.reading(0).meas1, meas1);
        QCOMPARE(bench.reading(0).meas2, meas2);
        return;
    }
    // The new method starts with readings of its own: none, so nothing is rated or targeted on
    // another quantity's numbers.
    QCOMPARE(bench.reading(0).meas1, 0.0);
    QCOMPARE(bench.reading(0).meas2, 0.0);
    QVERIFY(!bench.result(0).valid);
    if (bench.setup().method == OtWindingDrop)
        QCOMPARE(bench.target().plateV, 0.0);
    QVERIFY(bench.setMeas1(0, 12));

    // Back to the first method: its readings are there again, the other method's stay with it.
    QVERIFY(bench.setAmpClass(ampClass));
    QVERIFY(bench.setMethod(from));
    QCOMPARE(bench.reading(0).meas1, meas1);
    QCOMPARE(bench.reading(0).meas2, meas2);
    QCOMPARE(bench.target().plateV, targetBefore.plateV);
    if (change == QLatin1String("method"))
        QVERIFY(bench.setMethod(to.toInt()));
    else
        QVERIFY(bench.setAmpClass(to));
    QCOMPARE(bench.reading(0).meas1, 12.0);
}

void TestBenchSession::readingsOutsideTheBenchAreRefused()
{
    BenchSession bench;
    SignalLog log(bench);
    QVERIFY(!bench.setMeas1(2, 30));
    QVERIFY(!bench.setMeas1(-1, 30));
    QVERIFY(!bench.setMeas2(2, 30));
    QVERIFY(!bench.setMeas1(0, std::numeric_limits<double>::infinity()));
    QVERIFY(!bench.setMeas1(0, std::numeric_limits<double>::quiet_NaN()));
    QCOMPARE(log.names, QStringList());
    QCOMPARE(firstReadings(bench), (QList<double>{0, 0}));

    // A reading is held as the card's field shows it: one decimal for the probe.
    QVERIFY(bench.setMeas1(0, 26.04));
    QCOMPARE(bench.reading(0).meas1, 26.0);
    // Negative readings and readings past the bench range (500 mA for the probe) are refused, not
    // clamped into another value: the reading stays.
    QVERIFY(!bench.setMeas1(0, -4));
    QVERIFY(!bench.setMeas1(0, 500.1));
    QVERIFY(!bench.setMeas1(0, 1500));
    QCOMPARE(bench.reading(0).meas1, 26.0);
    QVERIFY(bench.setMeas1(0, 500));
    QCOMPARE(bench.reading(0).meas1, 500.0);
}

void TestBenchSession::undoRestoresStructuralSteps_data()
{
    QTest::addColumn<QString>("step");
    QTest::addRow("preset") << "preset";
    QTest::addRow("profile") << "profile";
    QTest::addRow("count down") << "count";
    QTest::addRow("method") << "method";
    QTest::addRow("class") << "class";
}

void TestBenchSession::undoRestoresStructuralSteps()
{
    QFETCH(QString, step);
    BenchSession bench;
    bench.setTubeCount(4);
    bench.setPlateV(420);
    for (int i = 0; i < 4; ++i)
        QVERIFY(bench.setMeas1(i, 30 + i));
    QVERIFY(bench.setMethod(SenseResistor));
    QVERIFY(bench.setMeas1(0, 33.5)); // a reading kept under another method
    QVERIFY(bench.setMethod(BiasProbe));
    bench.setTubeCount(3); // and one kept beyond the count
    const BenchSnapshot before = bench.snapshot();
    const QList<double> readingsBefore = firstReadings(bench);
    QUndoStack* undo = bench.undoStack();
    const int steps = undo->count();

    if (step == QLatin1String("preset")) {
        QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("SB-200 / SB-201"))));
    } else if (step == QLatin1String("profile")) {
        AmpProfile profile;
        profile.tube = QStringLiteral("EL34");
        profile.topology = classA;
        profile.biasMethod = CathodeBias;
        profile.tubeCount = 1;
        profile.meas1 = {12.5};
        bench.apply(benchStartFromProfile(profile));
    } else if (step == QLatin1String("count")) {
        bench.setTubeCount(1);
    } else if (step == QLatin1String("method")) {
        QVERIFY(bench.setMethod(OtWindingDrop) || bench.setMethod(SenseResistor));
    } else {
        QVERIFY(bench.setAmpClass(rfLinear));
    }
    QCOMPARE(undo->count(), steps + 1);
    const BenchSnapshot after = bench.snapshot();
    const QList<double> readingsAfter = firstReadings(bench);
    QVERIFY(readingsAfter != readingsBefore);

    undo->undo();
    QCOMPARE(bench.snapshot().setup.tube, before.setup.tube);
    QCOMPARE(bench.snapshot().setup.ampClass, before.setup.ampClass);
    QCOMPARE(bench.snapshot().setup.method, before.setup.method);
    QCOMPARE(bench.snapshot().setup.tubeCount, before.setup.tubeCount);
    QCOMPARE(bench.snapshot().setup.shared.plateV, before.setup.shared.plateV);
    QCOMPARE(bench.snapshot().setup.targetPct, before.setup.targetPct);
    QCOMPARE(firstReadings(bench), (QList<double>{30, 31, 32}));
    QCOMPARE(bench.matching().text, before.matching.text);

    // Redo takes the step again, exactly.
    undo->redo();
    QCOMPARE(bench.snapshot().setup.tube, after.setup.tube);
    QCOMPARE(bench.snapshot().setup.ampClass, after.setup.ampClass);
    QCOMPARE(bench.snapshot().setup.method, after.setup.method);
    QCOMPARE(bench.snapshot().setup.tubeCount, after.setup.tubeCount);
    QCOMPARE(bench.snapshot().setup.targetPct, after.setup.targetPct);
    QCOMPARE(firstReadings(bench), readingsAfter);

    // Undone once more, what the job kept is back too: the fourth tube and the other method's reading.
    undo->undo();
    QCOMPARE(firstReadings(bench), readingsBefore);
    bench.setTubeCount(4);
    QCOMPARE(bench.reading(3).meas1, 33.0);
    QVERIFY(bench.setMethod(SenseResistor));
    QCOMPARE(bench.reading(0).meas1, 33.5);
}

void TestBenchSession::unsavedReadingsAreKnown()
{
    BenchSession bench;
    QVERIFY(!bench.hasUnsavedReadings());
    QVERIFY(bench.setMeas1(0, 26));
    QVERIFY(bench.hasUnsavedReadings());
    bench.markSaved(QStringLiteral("Champ"));
    QVERIFY(!bench.hasUnsavedReadings());
    QVERIFY(bench.setMeas1(1, 25));
    // A preset names the amp and starts a job with nothing typed.
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("SB-200 / SB-201"))));
    QCOMPARE(bench.ampName(), QStringLiteral("SB-200 / SB-201"));
    QVERIFY(!bench.hasUnsavedReadings());
    // Its undo brings back the earlier amp, and that its readings were not saved.
    bench.undoStack()->undo();
    QCOMPARE(bench.ampName(), QStringLiteral("Champ"));
    QVERIFY(bench.hasUnsavedReadings());
}

void TestBenchSession::matchingVerdict_data()
{
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("second");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("level");
    QTest::addRow("15 percent exactly is good") << 40.0 << 34.0 << "MATCHING: within 15% — good"
                                                << "good";
    QTest::addRow("15.25 percent is bad though it shows 15")
        << 40.0 << 33.9 << "MATCHING: tubes spread 15% apart — consider re-matching"
        << "bad";
    QTest::addRow("identical") << 30.0 << 30.0 << "MATCHING: within 0% — good"
                               << "good";
    QTest::addRow("order does not matter")
        << 20.0 << 40.0 << "MATCHING: tubes spread 50% apart — consider re-matching"
        << "bad";
    QTest::addRow("one reading shows nothing") << 30.0 << 0.0 << QString() << QString();
}

void TestBenchSession::matchingVerdict()
{
    QFETCH(double, first);
    QFETCH(double, second);
    QFETCH(QString, text);
    QFETCH(QString, level);
    BenchSession bench;
    QVERIFY(bench.setMeas1(0, first));
    QVERIFY(bench.setMeas1(1, second));
    QCOMPARE(bench.matching().text, text);
    QCOMPARE(bench.matching().level, level);
}

void TestBenchSession::eachChangeSignalsOnce_data()
{
    // From the first start with 26 and 24 mA typed (65 % and 60 % of a 6V6GT at 350 V, both ideal
    // in the fixed-bias window): the signals of one edit, in order, and none when it is repeated.
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("expected");
    const QString both[] = {"tube0", "tube1"};
    QTest::addRow("tube") << "tube" << QStringList{"setup", both[0], both[1], "target"};
    QTest::addRow("custom rating of a named tube") << "customMaxW" << QStringList{"setup"};
    QTest::addRow("class re-rates, moves the target")
        << "class" << QStringList{"setup", both[0], both[1], "target"};
    QTest::addRow("method to the winding drop")
        << "method" << QStringList{"setup", both[0], both[1], "target", "matching"};
    // The two tubes keep their readings, so the verdict stays.
    QTest::addRow("tube count") << "tubeCount" << QStringList{"setup", "rebuilt"};
    QTest::addRow("plate voltage") << "plateV" << QStringList{"setup", both[0], both[1], "target"};
    QTest::addRow("B+ the probe does not use") << "bPlusV" << QStringList{"setup"};
    QTest::addRow("sense resistor the probe does not use") << "sense" << QStringList{"setup"};
    QTest::addRow("cathode resistor the probe does not use") << "cathodeR" << QStringList{"setup"};
    QTest::addRow("shared pair the probe does not use") << "sharedPair" << QStringList{"setup"};
    QTest::addRow("screen current") << "subtractScreen" << QStringList{"setup", both[0], both[1]};
    QTest::addRow("meter total the probe does not use") << "meterTotal" << QStringList{"setup"};
    QTest::addRow("target") << "target" << QStringList{"setup", "target"};
    QTest::addRow("reading of tube 1") << "meas1" << QStringList{"tube0", "matching"};
    QTest::addRow("hidden second reading of tube 2") << "meas2" << QStringList{"tube1"};
}

void TestBenchSession::eachChangeSignalsOnce()
{
    QFETCH(QString, edit);
    QFETCH(QStringList, expected);
    BenchSession bench;
    QVERIFY(bench.setMeas1(0, 26));
    QVERIFY(bench.setMeas1(1, 24));
    QCOMPARE(bench.matching().text, QStringLiteral("MATCHING: within 8% — good"));

    SignalLog log(bench);
    for (int round = 0; round < 2; ++round) {
        if (edit == QLatin1String("tube"))
            QVERIFY(bench.setTube(QStringLiteral("KT88")));
        else if (edit == QLatin1String("customMaxW"))
            bench.setCustomMaxW(40);
        else if (edit == QLatin1String("class"))
            QVERIFY(bench.setAmpClass(classB));
        else if (edit == QLatin1String("method"))
            QVERIFY(bench.setMethod(OtWindingDrop));
        else if (edit == QLatin1String("tubeCount"))
            bench.setTubeCount(3);
        else if (edit == QLatin1String("plateV"))
            bench.setPlateV(400);
        else if (edit == QLatin1String("bPlusV"))
            bench.setBPlusV(460);
        else if (edit == QLatin1String("sense"))
            bench.setSenseResistorOhms(10);
        else if (edit == QLatin1String("cathodeR"))
            bench.setCathodeResistorOhms(500);
        else if (edit == QLatin1String("sharedPair"))
            bench.setSharedCathodeR(true);
        else if (edit == QLatin1String("subtractScreen"))
            bench.setSubtractScreen(true);
        else if (edit == QLatin1String("meterTotal"))
            bench.setMeterReadsTotal(false);
        else if (edit == QLatin1String("target"))
            bench.setTargetPct(80);
        else if (edit == QLatin1String("meas1"))
            QVERIFY(bench.setMeas1(0, 30));
        else if (edit == QLatin1String("meas2"))
            QVERIFY(bench.setMeas2(1, 5));
        else
            QFAIL(qPrintable(QStringLiteral("unknown edit ") + edit));

        if (round == 0)
            QCOMPARE(log.names, expected);
        else
            QVERIFY2(log.names.isEmpty(),
                     qPrintable(QStringLiteral("repeating the edit signalled ") + log.names.join(", ")));
        log.names.clear();
    }
}

void TestBenchSession::refusedEditsChangeNothing()
{
    BenchSession bench;
    QVERIFY(bench.setMeas1(0, 26));
    SignalLog log(bench);
    QVERIFY(!bench.setTube(QStringLiteral("6v6gt"))); // names match whole and case-sensitively
    QVERIFY(!bench.setAmpClass(QStringLiteral("Class D")));
    QVERIFY(!bench.setMethod(PanelMeter)); // fixed bias does not offer the panel meter
    QVERIFY(!bench.setMethod(7));
    bench.setPlateV(std::numeric_limits<double>::quiet_NaN());
    bench.setCustomMaxW(std::numeric_limits<double>::infinity());
    // Values beyond a field's range are held at its edge, like the setup panel's spin boxes.
    QCOMPARE(log.names, QStringList());
    bench.setPlateV(6000);
    QCOMPARE(bench.setup().shared.plateV, 5000.0);
    bench.setSenseResistorOhms(0);
    QCOMPARE(bench.setup().shared.senseResistorOhms, 0.001);
    bench.setTargetPct(2);
    QCOMPARE(bench.setup().targetPct, 5);
    QCOMPARE(bench.reading(0).meas1, 26.0);
}

void TestBenchSession::applySignalsOneRebuild()
{
    BenchSession bench;
    QVERIFY(bench.setMeas1(0, 26));
    QVERIFY(bench.setMeas1(1, 24));
    SignalLog log(bench);
    // Re-applying the defaults changes only the readings: one rebuild, and the verdict goes.
    bench.applyDefaults();
    QCOMPARE(log.names, (QStringList{"rebuilt", "matching"}));
    log.names.clear();
    // A preset changes the setup and the target in one go, however many values it sets.
    QVERIFY(bench.applyPreset(presetIndex(QStringLiteral("SB-200 / SB-201"))));
    QCOMPARE(log.names, (QStringList{"setup", "rebuilt", "target"}));
}

void TestBenchSession::ratingLooksAgreeWithTheReport()
{
    // The report's own status texts, and the class its HTML gives a row of that rating.
    for (BiasStatus status : {BiasStatus::Cold, BiasStatus::Ideal, BiasStatus::Warm, BiasStatus::OverMax}) {
        const BiasStatusLook& look = biasStatusLook(status);
        QCOMPARE(look.reportText, biasReportStatusText(status));
        BiasReportData data;
        BiasReportRow row;
        row.label = QStringLiteral("V1");
        row.result.valid = true;
        row.status = look.reportText;
        data.rows.append(row);
        const QString html = biasReportHtml(data, QDateTime(QDate(2024, 5, 1), QTime(9, 30)));
        QVERIFY2(
            html.contains(QStringLiteral("<td class='%1'>%2</td>").arg(look.reportClass, look.reportText)),
            qPrintable(html));
        QVERIFY2(
            html.contains(QStringLiteral(".%1 { color: %2;").arg(look.reportClass, look.reportColor.name())),
            qPrintable(look.reportClass));
        QCOMPARE(biasStatusFromName(look.statusName), status);
        QVERIFY(look.gaugeColor.isValid());
    }
    QCOMPARE(biasStatusLook(BiasStatus::NoReading).reportText, biasReportStatusText(BiasStatus::NoReading));
    QCOMPARE(biasStatusLook(BiasStatus::NoReading).statusName, QStringLiteral("off"));
    QCOMPARE(biasStatusFromName(QStringLiteral("bogus")), BiasStatus::NoReading);
}

void TestBenchSession::methodTableDrivesTheInputs_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<double>("meas1");
    QTest::addColumn<double>("meas2");
    QTest::addColumn<double>("currentMa");
    QTest::addColumn<double>("dissipationW");
    // Shared: 400 V plate, 450 V B+, 10 Ω sense, 250 Ω cathode on a pair, meter total of 4 tubes.
    QTest::addRow("probe 40 mA at 400 V") << int(BiasProbe) << 40.0 << 0.0 << 40.0 << 16.0;
    QTest::addRow("400 mV across 10 ohms") << int(SenseResistor) << 400.0 << 0.0 << 40.0 << 16.0;
    QTest::addRow("winding: 450 - 440 V over 100 ohms")
        << int(OtWindingDrop) << 440.0 << 100.0 << 100.0 << 44.0;
    QTest::addRow("25 V across 250 ohms shared") << int(CathodeBias) << 25.0 << 0.0 << 50.0 << 20.0;
    QTest::addRow("meter 200 mA for four") << int(PanelMeter) << 200.0 << 0.0 << 50.0 << 20.0;
}

void TestBenchSession::methodTableDrivesTheInputs()
{
    QFETCH(int, method);
    QFETCH(double, meas1);
    QFETCH(double, meas2);
    QFETCH(double, currentMa);
    QFETCH(double, dissipationW);
    SharedMeasurements shared;
    shared.plateV = 400;
    shared.bPlusV = 450;
    shared.senseResistorOhms = 10;
    shared.cathodeResistorOhms = 250;
    shared.sharedCathodeR = true;
    shared.meterReadsTotal = true;
    shared.meterTotalMa = 200;
    const BiasResult r = computeBias(biasInputsFor(method, shared, 4, meas1, meas2), 100);
    QVERIFY(r.valid);
    QVERIFY2(near(r.currentMa, currentMa), qPrintable(QString::number(r.currentMa)));
    QVERIFY(near(r.dissipationW, dissipationW));

    const BiasMethodInfo* info = findBiasMethod(method);
    QVERIFY(info);
    QCOMPARE(biasMethodLabel(method), info->label);
    // The method's rows: exactly the shared values its inputs depend on.
    QCOMPARE(info->usesBPlusV, method == OtWindingDrop);
    QCOMPARE(info->usesPlateV, method != OtWindingDrop);
    QCOMPARE(info->hasSecond, method == OtWindingDrop);
    // A value the method reads moves the result; one it does not read leaves it.
    SharedMeasurements moved = shared;
    moved.senseResistorOhms = 20;
    moved.cathodeResistorOhms = 500;
    moved.meterReadsTotal = false;
    moved.bPlusV = 460;
    const BiasResult m = computeBias(biasInputsFor(method, moved, 4, meas1, meas2), 100);
    const bool reads =
        info->usesSenseResistor || info->usesCathodeResistor || info->usesMeterReadsTotal || info->usesBPlusV;
    QCOMPARE(!near(m.currentMa, r.currentMa), reads);
    QVERIFY(!findBiasMethod(5));
    QVERIFY(!findBiasMethod(-1));
}

void TestBenchSession::matchedSetCarriesItsLabels()
{
    BenchSession bench;
    QVERIFY(bench.setAmpClass(cathodeBias));
    bench.setPlateV(410);
    bench.setMeas1(0, 30);
    QSignalSpy rebuilt(&bench, &BenchSession::cardsRebuilt);
    const QStringList labels = {QStringLiteral("A1"), QStringLiteral("A3"), QStringLiteral("B2"),
                                QStringLiteral("C7")};
    bench.takeMatchedSet(QStringLiteral("6L6GC"), labels);
    QCOMPARE(rebuilt.size(), 1);
    QCOMPARE(bench.setup().tube, QStringLiteral("6L6GC"));
    QCOMPARE(bench.tubeCount(), 4);
    QCOMPARE(bench.setup().ampClass, cathodeBias); // the rest of the setup stays
    QCOMPARE(bench.setup().shared.plateV, 410.0);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(bench.reading(i).label, labels.at(i));
        QCOMPARE(bench.reading(i).meas1, 0.0);
    }

    // Saved and brought back with the profile, under a key of their own.
    const QJsonObject saved = profileToJson(profileFromBench(bench.snapshot()));
    QCOMPARE(saved.value(QStringLiteral("tubeLabels")).toArray().size(), 4);
    BenchSession reopened;
    reopened.apply(benchStartFromProfile(profileFromJson(saved)));
    QCOMPARE(reopened.reading(2).label, QStringLiteral("B2"));

    // A tube type the catalogue does not have keeps the bench's; the count stays within range.
    bench.takeMatchedSet(QStringLiteral("no such tube"), QStringList(20, QStringLiteral("X")));
    QCOMPARE(bench.setup().tube, QStringLiteral("6L6GC"));
    QCOMPARE(bench.tubeCount(), maxTubeCount);

    // The tubes kept on a count change keep their labels; a fresh bench and a file without the key
    // are unlabelled, and an unlabelled bench writes no key.
    bench.setTubeCount(2);
    QCOMPARE(bench.reading(0).label, QStringLiteral("X"));
    BenchSession fresh;
    QVERIFY(fresh.reading(0).label.isEmpty());
    QVERIFY(profileFromJson(QJsonObject{{QStringLiteral("tubeCount"), 2}}).tubeLabels.isEmpty());
    QVERIFY(!profileToJson(profileFromBench(fresh.snapshot())).contains(QStringLiteral("tubeLabels")));
}

QTEST_GUILESS_MAIN(TestBenchSession)
#include "tst_benchsession.moc"
