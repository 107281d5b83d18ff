#include "preamp/stagesolver.h"

#include <QtTest>
#include <cmath>

static const QString cathodeError =
    QStringLiteral("Cathode resistor required (grid-leak / fixed bias stages not modeled)");
static const QString cutOffError =
    QStringLiteral("Stage is effectively cut off - check B+, RL and Rk values");
static const QString dissipationWarning = QStringLiteral("Plate dissipation exceeds the tube's maximum!");
static const QString smallBiasWarning =
    QStringLiteral("Very small bias voltage - risk of grid current / clipping on modest input signals");

static TriodeStageInput defaultStage()
{
    TriodeStageInput in;
    in.tube = triodeCatalogue().at(0);
    return in;
}

static double figure(const TriodeStageResult& r, const QString& name)
{
    if (name == "plateMa")
        return r.plateMa;
    if (name == "plateV")
        return r.plateV;
    if (name == "cathodeV")
        return r.cathodeV;
    if (name == "gridV")
        return r.gridV;
    if (name == "plateW")
        return r.plateW;
    if (name == "pctOfMax")
        return r.pctOfMax;
    if (name == "gain")
        return r.gain;
    if (name == "gainDb")
        return r.gainDb;
    if (name == "zoutOhm")
        return r.zoutOhm;
    if (name == "headroomV")
        return r.headroomV;
    if (name == "bypassCornerHz")
        return r.bypassCornerHz;
    qFatal("unknown figure %s", qPrintable(name));
    return 0;
}

// The model equation itself: a solved current must be what the tube draws at its own bias.
static double modelCurrentMa(const TriodeSpec& tube, double plateV, double cathodeV)
{
    const double x = plateV / tube.mu - cathodeV;
    return x > 0 ? perveance(tube) * std::pow(x, 1.5) : 0;
}

class TestStageSolver : public QObject
{
    Q_OBJECT

private slots:
    void perveanceOfTheTypicalPoint();
    void workedStages_data();
    void workedStages();
    void operatingPointObeysTheModelForEveryTube();
    void failures_data();
    void failures();
    void cutOffKeepsTheOperatingPoint();
    void threeWarningsInOrder();
    void plateVoltageWarningNamesTheRating();
    void warningBoundariesAreStrict();
    void zeroRatingGivesNoPercentage();
};

void TestStageSolver::perveanceOfTheTypicalPoint()
{
    const TriodeSpec first = triodeCatalogue().at(0);
    // 1.2 mA / 0.5^1.5
    QVERIFY2(qAbs(perveance(first) - 3.3941125) < 1e-6,
             qPrintable(QString::number(perveance(first), 'g', 10)));

    TriodeSpec atCutOff = first;
    atCutOff.typicalGridV = -2.5; // 250/100 - 2.5 = 0: no conduction, no perveance
    QCOMPARE(perveance(atCutOff), 0.0);
    TriodeSpec beyond = first;
    beyond.typicalGridV = -4;
    QCOMPARE(perveance(beyond), 0.0);
}

void TestStageSolver::workedStages_data()
{
    QTest::addColumn<double>("bypassUf");
    QTest::addColumn<double>("nextGridOhm");
    QTest::addColumn<QString>("figureName");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");

    // 12AX7 from 300 V through 100 kΩ with 1.5 kΩ self bias.
    struct Row {
        const char* label;
        double bypass;
        double nextGrid;
        const char* figureName;
        double expected;
        double tolerance;
    };
    // clang-format off
    const Row rows[] = {
        {"default: plate current",          25, 1e6, "plateMa",        1.01503,  5e-5},
        {"default: plate voltage",          25, 1e6, "plateV",         196.974,  5e-3},
        {"default: cathode voltage",        25, 1e6, "cathodeV",       1.52254,  5e-5},
        {"default: grid bias",              25, 1e6, "gridV",          -1.52254, 5e-5},
        {"default: dissipation",            25, 1e6, "plateW",         0.199935, 5e-6},
        {"default: percent of maximum",     25, 1e6, "pctOfMax",       16.6612,  5e-4},
        {"default: gain",                   25, 1e6, "gain",           59.2593,  5e-4},
        {"default: gain in dB",             25, 1e6, "gainDb",         35.4551,  5e-4},
        {"default: output impedance",       25, 1e6, "zoutOhm",        38461.5,  0.05},
        {"default: headroom",               25, 1e6, "headroomV",      1.52254,  5e-5},
        {"default: bypass corner",          25, 1e6, "bypassCornerHz", 8.43545,  5e-5},
        {"unbypassed: plate current",       0,  1e6, "plateMa",        1.01503,  5e-5},
        {"unbypassed: plate voltage",       0,  1e6, "plateV",         196.974,  5e-3},
        {"unbypassed: gain",                0,  1e6, "gain",           29.8151,  5e-4},
        {"unbypassed: gain in dB",          0,  1e6, "gainDb",         29.4887,  5e-4},
        {"unbypassed: output impedance",    0,  1e6, "zoutOhm",        68152.9,  0.05},
        {"unbypassed: headroom",            0,  1e6, "headroomV",      1.52254,  5e-5},
        {"unbypassed: no corner",           0,  1e6, "bypassCornerHz", 0,        0},
        {"no next grid: gain",              25, 0,   "gain",           61.5385,  5e-4},
        {"no next grid: gain in dB",        25, 0,   "gainDb",         35.7829,  5e-4},
        {"no next grid: bypass corner",     25, 0,   "bypassCornerHz", 8.20097,  5e-5},
        {"no next grid: output impedance",  25, 0,   "zoutOhm",        38461.5,  0.05},
        {"no next grid: plate current",     25, 0,   "plateMa",        1.01503,  5e-5},
    };
    // clang-format on
    for (const Row& r : rows)
        QTest::addRow("%s", r.label) << r.bypass << r.nextGrid << QString(r.figureName) << r.expected
                                     << r.tolerance;
}

void TestStageSolver::workedStages()
{
    QFETCH(double, bypassUf);
    QFETCH(double, nextGridOhm);
    QFETCH(QString, figureName);
    QFETCH(double, expected);
    QFETCH(double, tolerance);

    TriodeStageInput in = defaultStage();
    in.bypassUf = bypassUf;
    in.nextGridOhm = nextGridOhm;
    const TriodeStageResult r = solveTriodeStage(in);

    QVERIFY2(r.ok, qPrintable("expected a solved stage, got error: " + r.error));
    QVERIFY(r.error.isEmpty());
    QVERIFY2(r.warnings.isEmpty(), qPrintable("expected no warnings, got: " + r.warnings.join(" | ")));
    const double actual = figure(r, figureName);
    QVERIFY2(qAbs(actual - expected) <= tolerance, qPrintable(QString("%1 = %2, expected %3 ± %4")
                                                                  .arg(figureName)
                                                                  .arg(actual, 0, 'g', 10)
                                                                  .arg(expected, 0, 'g', 10)
                                                                  .arg(tolerance)));
}

void TestStageSolver::operatingPointObeysTheModelForEveryTube()
{
    // Independent of the worked numbers: the solved point must satisfy the load line and the tube law.
    for (const TriodeSpec& tube : triodeCatalogue()) {
        for (double cathode : {100.0, 1500.0, 10000.0}) {
            TriodeStageInput in;
            in.tube = tube;
            in.cathodeOhm = cathode;
            const TriodeStageResult r = solveTriodeStage(in);
            const QString context = QString("%1 with Rk %2 Ω").arg(tube.name).arg(cathode);
            QVERIFY2(r.ok, qPrintable(context + ": " + r.error));
            QVERIFY2(qAbs(r.cathodeV - r.plateMa / 1000 * cathode) < 1e-9, qPrintable(context));
            QVERIFY2(qAbs(r.plateV - (in.supplyV - r.plateMa / 1000 * in.plateLoadOhm - r.cathodeV)) < 1e-9,
                     qPrintable(context));
            QCOMPARE(r.gridV, -r.cathodeV);
            QCOMPARE(r.headroomV, r.cathodeV);
            const double model = modelCurrentMa(tube, r.plateV, r.cathodeV);
            QVERIFY2(qAbs(model - r.plateMa) < 1e-9 * qMax(1.0, r.plateMa),
                     qPrintable(QString("%1: solved %2 mA, tube law gives %3 mA")
                                    .arg(context)
                                    .arg(r.plateMa, 0, 'g', 12)
                                    .arg(model, 0, 'g', 12)));
            QVERIFY2(qAbs(r.gainDb - 20 * std::log10(r.gain)) < 1e-12, qPrintable(context));
            QVERIFY2(qAbs(r.plateW - r.plateV * r.plateMa / 1000) < 1e-12, qPrintable(context));
        }
    }
}

void TestStageSolver::failures_data()
{
    QTest::addColumn<double>("supplyV");
    QTest::addColumn<double>("plateLoadOhm");
    QTest::addColumn<double>("cathodeOhm");
    QTest::addColumn<double>("typicalGridV");
    QTest::addColumn<QString>("error");

    QTest::addRow("no cathode resistor") << 300.0 << 100000.0 << 0.0 << -2.0 << cathodeError;
    QTest::addRow("negative cathode resistor") << 300.0 << 100000.0 << -100.0 << -2.0 << cathodeError;
    QTest::addRow("no supply wins over no cathode resistor")
        << 0.0 << 100000.0 << 0.0 << -2.0 << "Invalid inputs";
    QTest::addRow("negative supply") << -300.0 << 100000.0 << 1500.0 << -2.0 << "Invalid inputs";
    QTest::addRow("no plate load") << 300.0 << 0.0 << 1500.0 << -2.0 << "Invalid inputs";
    QTest::addRow("tube without perveance") << 300.0 << 100000.0 << 1500.0 << -3.0 << "Invalid inputs";
    QTest::addRow("supply not a number") << qQNaN() << 100000.0 << 1500.0 << -2.0 << "Invalid inputs";
    QTest::addRow("cathode resistor not a number") << 300.0 << 100000.0 << qQNaN() << -2.0 << cathodeError;
}

void TestStageSolver::failures()
{
    QFETCH(double, supplyV);
    QFETCH(double, plateLoadOhm);
    QFETCH(double, cathodeOhm);
    QFETCH(double, typicalGridV);
    QFETCH(QString, error);

    TriodeStageInput in = defaultStage();
    in.supplyV = supplyV;
    in.plateLoadOhm = plateLoadOhm;
    in.cathodeOhm = cathodeOhm;
    in.tube.typicalGridV = typicalGridV;
    const TriodeStageResult r = solveTriodeStage(in);

    QVERIFY(!r.ok);
    QCOMPARE(r.error, error);
    QVERIFY(r.warnings.isEmpty());
    for (const char* name : {"plateMa", "plateV", "cathodeV", "gridV", "plateW", "pctOfMax", "gain", "gainDb",
                             "zoutOhm", "headroomV", "bypassCornerHz"}) {
        QVERIFY2(figure(r, name) == 0, qPrintable(QString("%1 should stay 0 on an input error").arg(name)));
    }
}

void TestStageSolver::cutOffKeepsTheOperatingPoint()
{
    TriodeStageInput in = defaultStage();
    in.supplyV = 1; // 1 V / 100 = 10 mV of drive: a trickle of current
    const TriodeStageResult r = solveTriodeStage(in);

    QVERIFY(!r.ok);
    QCOMPARE(r.error, cutOffError);
    QVERIFY2(r.plateMa > 0 && r.plateMa < 0.005,
             qPrintable(QString("expected a current under 0.005 mA, got %1").arg(r.plateMa)));
    QVERIFY2(qAbs(r.plateMa - 0.00158392) < 1e-7, qPrintable(QString::number(r.plateMa, 'g', 10)));
    QVERIFY2(qAbs(r.cathodeV - r.plateMa / 1000 * 1500) < 1e-12, "cathode voltage is I·Rk");
    QVERIFY2(qAbs(r.plateV - (1 - r.plateMa / 1000 * 100000 - r.cathodeV)) < 1e-12,
             "plate voltage from the load line");
    QVERIFY(r.plateV > 0.8 && r.plateV < 0.9);
    QCOMPARE(r.gridV, -r.cathodeV);
    QVERIFY(r.plateW > 0);
    QVERIFY(qAbs(r.pctOfMax - r.plateW / 1.2 * 100) < 1e-12);
    // No AC figures and no warnings for a stage that does not conduct, though its bias is tiny.
    QCOMPARE(r.gain, 0.0);
    QCOMPARE(r.gainDb, 0.0);
    QCOMPARE(r.zoutOhm, 0.0);
    QCOMPARE(r.headroomV, 0.0);
    QCOMPARE(r.bypassCornerHz, 0.0);
    QVERIFY(r.warnings.isEmpty());
}

void TestStageSolver::threeWarningsInOrder()
{
    // 500 V through 1 kΩ with only 10 Ω of bias: ~31 mA, ~469 V on the plate, 0.31 V of bias.
    TriodeStageInput in = defaultStage();
    in.supplyV = 500;
    in.plateLoadOhm = 1000;
    in.cathodeOhm = 10;
    const TriodeStageResult r = solveTriodeStage(in);

    QVERIFY2(r.ok, "warnings do not make a stage invalid");
    QVERIFY(r.error.isEmpty());
    QVERIFY(r.pctOfMax > 100 && r.plateV > 330 && r.cathodeV < 0.4);
    const QStringList expected = {dissipationWarning, "Plate voltage exceeds 330 V maximum",
                                  smallBiasWarning};
    QCOMPARE(r.warnings, expected);
    QVERIFY(r.gain > 0);
}

void TestStageSolver::plateVoltageWarningNamesTheRating()
{
    TriodeStageInput in = defaultStage();
    in.tube = *findTriode("6SN7");
    in.supplyV = 600; // past the 450 V rating even under load
    in.plateLoadOhm = 10000;
    in.cathodeOhm = 10000;
    const TriodeStageResult r = solveTriodeStage(in);
    QVERIFY(r.ok);
    QVERIFY(r.plateV > 450);
    QCOMPARE(r.warnings, QStringList{"Plate voltage exceeds 450 V maximum"});

    TriodeSpec odd = in.tube;
    odd.maxPlateV = 299.6; // shown rounded, without decimals
    TriodeStageResult solved;
    solved.plateV = 300;
    solved.cathodeV = 1;
    QCOMPARE(triodeStageWarnings(solved, odd), QStringList{"Plate voltage exceeds 300 V maximum"});
}

void TestStageSolver::warningBoundariesAreStrict()
{
    // Rate the default stage against ratings equal to its own operating point: exactly at the
    // maximum is still within it.
    const TriodeStageInput base = defaultStage();
    const TriodeStageResult first = solveTriodeStage(base);
    QVERIFY(first.ok);

    TriodeStageInput atLimits = base;
    atLimits.tube.maxPlateW = first.plateW;
    atLimits.tube.maxPlateV = first.plateV;
    const TriodeStageResult at = solveTriodeStage(atLimits);
    QCOMPARE(at.pctOfMax, 100.0);
    QCOMPARE(at.plateV, first.plateV);
    QVERIFY2(at.warnings.isEmpty(), qPrintable("exactly at the limits: " + at.warnings.join(" | ")));

    TriodeStageInput justOver = atLimits;
    justOver.tube.maxPlateW = first.plateW * (1 - 1e-9);
    justOver.tube.maxPlateV = std::nextafter(first.plateV, 0.0);
    const TriodeStageResult over = solveTriodeStage(justOver);
    QCOMPARE(over.warnings.size(), 2);
    QCOMPARE(over.warnings.at(0), dissipationWarning);
    QVERIFY(over.warnings.at(1).startsWith("Plate voltage exceeds"));

    // The bias check on its own, at and just under 0.4 V.
    TriodeStageResult bias;
    bias.plateV = 200;
    bias.pctOfMax = 50;
    bias.cathodeV = 0.4;
    QVERIFY(triodeStageWarnings(bias, base.tube).isEmpty());
    bias.cathodeV = std::nextafter(0.4, 0.0);
    QCOMPARE(triodeStageWarnings(bias, base.tube), QStringList{smallBiasWarning});

    // And through the solver: the smallest cathode resistors of the 12AX7 default stage.
    TriodeStageInput lowBias = base;
    lowBias.cathodeOhm = 100;
    const TriodeStageResult low = solveTriodeStage(lowBias);
    QVERIFY(low.ok && low.cathodeV < 0.4);
    QCOMPARE(low.warnings, QStringList{smallBiasWarning});
}

void TestStageSolver::zeroRatingGivesNoPercentage()
{
    TriodeStageInput in = defaultStage();
    in.tube.maxPlateW = 0;
    const TriodeStageResult r = solveTriodeStage(in);
    QVERIFY(r.ok);
    QVERIFY(r.plateW > 0);
    QCOMPARE(r.pctOfMax, 0.0);
    QVERIFY2(r.warnings.isEmpty(), "no dissipation warning without a rating");
}

QTEST_GUILESS_MAIN(TestStageSolver)
#include "tst_stagesolver.moc"
