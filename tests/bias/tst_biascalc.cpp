#include "bias/biascalc.h"

#include <QSet>
#include <QtTest>
#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(BiasInputs)
Q_DECLARE_METATYPE(BiasResult)
Q_DECLARE_METATYPE(BiasStatus)

// One volt between two readings of hundreds of volts: the reading's precision decides the current.
static const QString smallDrop1V =
    QStringLiteral("Only 1.0 V between B+ and plate: 1 V off in either reading is 100 % of the current. "
                   "Measure the drop across the half-primary on a low range, to 0.01 V.");
static const QString overMax = QStringLiteral("Over maximum plate dissipation - red-plating risk!");

static BiasInputs probe(double plateV, double ma, bool subtractScreen = false, double screenPct = 5)
{
    BiasInputs in;
    in.method = BiasProbe;
    in.plateV = plateV;
    in.probeMa = ma;
    in.subtractScreen = subtractScreen;
    in.screenPct = screenPct;
    return in;
}

static BiasInputs sense(double plateV, double ohms, double mv, bool subtractScreen = false,
                        double screenPct = 5)
{
    BiasInputs in;
    in.method = SenseResistor;
    in.plateV = plateV;
    in.senseResistorOhms = ohms;
    in.senseMv = mv;
    in.subtractScreen = subtractScreen;
    in.screenPct = screenPct;
    return in;
}

static BiasInputs winding(double bPlusV, double tubePlateV, double dcrOhms, bool subtractScreen = false)
{
    BiasInputs in;
    in.method = OtWindingDrop;
    in.bPlusV = bPlusV;
    in.plateV = tubePlateV;
    in.dcrOhms = dcrOhms;
    in.subtractScreen = subtractScreen;
    return in;
}

static BiasInputs direct(double plateV, double dropV, double dcrOhms, double bPlusV = 0)
{
    BiasInputs in;
    in.method = OtWindingDrop;
    in.directDrop = true;
    in.plateV = plateV;
    in.dropV = dropV;
    in.dcrOhms = dcrOhms;
    in.bPlusV = bPlusV;
    return in;
}

static BiasInputs cathode(double plateV, double ohms, double volts, bool shared = false, int sharedTubes = 2,
                          bool subtractScreen = false)
{
    BiasInputs in;
    in.method = CathodeBias;
    in.plateV = plateV;
    in.cathodeResistorOhms = ohms;
    in.cathodeV = volts;
    in.sharedCathodeR = shared;
    in.sharedTubes = sharedTubes;
    in.subtractScreen = subtractScreen;
    return in;
}

static BiasInputs meter(double plateV, double ma, int tubes, bool subtractScreen = false)
{
    BiasInputs in;
    in.method = PanelMeter;
    in.plateV = plateV;
    in.meterMa = ma;
    in.meterTubes = tubes;
    in.subtractScreen = subtractScreen;
    return in;
}

static BiasResult validResult(double pct)
{
    BiasResult r;
    r.valid = true;
    r.pctOfMax = pct;
    return r;
}

class TestBiasCalc : public QObject
{
    Q_OBJECT

private slots:
    void freshRecords()
    {
        const BiasInputs in;
        QCOMPARE(in.method, BiasProbe);
        QCOMPARE(in.senseResistorOhms, 1.0);
        QCOMPARE(in.sharedTubes, 2);
        QCOMPARE(in.meterTubes, 1);
        QVERIFY(!in.subtractScreen && !in.sharedCathodeR);
        const BiasResult r;
        QVERIFY(!r.valid);
        QVERIFY(r.currentMa == 0 && r.dissipationW == 0 && r.pctOfMax == 0 && r.warning.isEmpty());
    }

    void methodLabels()
    {
        // The RF class shows these two; the others must be present and distinct.
        QCOMPARE(biasMethodLabel(PanelMeter), QStringLiteral("Panel meter (plate current)"));
        QCOMPARE(biasMethodLabel(SenseResistor), QStringLiteral("Cathode sense resistor"));
        QSet<QString> labels;
        for (int m = 0; m <= 4; ++m)
            labels.insert(biasMethodLabel(m));
        QCOMPARE(labels.size(), 5);
        QVERIFY(!labels.contains(QString()));
        QVERIFY2(biasMethodLabel(-1).isEmpty() && biasMethodLabel(5).isEmpty(),
                 "only five methods have labels");
    }

    void compute_data()
    {
        QTest::addColumn<BiasInputs>("inputs");
        QTest::addColumn<double>("maxW");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("currentMa");
        QTest::addColumn<double>("dissipationW");
        QTest::addColumn<double>("pct");
        QTest::addColumn<QString>("warning");

        const QString none;
        // Bias probe.
        QTest::addRow("probe 40 mA at 400 V")
            << probe(400, 40) << 30.0 << true << 40.0 << 16.0 << 53.3333 << none;
        QTest::addRow("probe minus 5%% screen")
            << probe(400, 40, true) << 30.0 << true << 38.0 << 15.2 << 50.6667 << none;
        QTest::addRow("probe screen share is a parameter")
            << probe(400, 40, true, 10) << 30.0 << true << 36.0 << 14.4 << 48.0 << none;
        QTest::addRow("probe without plate voltage")
            << probe(0, 40) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("probe negative plate voltage")
            << probe(-400, 40) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("probe no reading") << probe(400, 0) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("probe negative reading")
            << probe(400, -40) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("probe whole current as screen")
            << probe(400, 40, true, 100) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("probe NaN reading")
            << probe(400, std::nan("")) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;

        // Sense resistor: mV / Ω = mA.
        QTest::addRow("sense 400 mV over 10 ohm")
            << sense(400, 10, 400) << 30.0 << true << 40.0 << 16.0 << 53.3333 << none;
        QTest::addRow("sense 40 mV over 1 ohm")
            << sense(400, 1, 40) << 30.0 << true << 40.0 << 16.0 << 53.3333 << none;
        QTest::addRow("sense minus screen")
            << sense(400, 1, 40, true) << 30.0 << true << 38.0 << 15.2 << 50.6667 << none;
        QTest::addRow("sense without plate voltage")
            << sense(0, 1, 40) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("sense zero resistor")
            << sense(400, 0, 40) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("sense no reading") << sense(400, 1, 0) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("sense whole current as screen")
            << sense(400, 1, 40, true, 100) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;

        // Output-transformer winding drop: plate current only, dissipation at the tube's own plate voltage.
        QTest::addRow("winding 10 V over 100 ohm")
            << winding(450, 440, 100) << 50.0 << true << 100.0 << 44.0 << 88.0 << none;
        QTest::addRow("winding ignores screen subtraction")
            << winding(450, 440, 100, true) << 50.0 << true << 100.0 << 44.0 << 88.0 << none;
        QTest::addRow("winding over maximum")
            << winding(450, 440, 100) << 30.0 << true << 100.0 << 44.0 << 146.6667 << overMax;
        // A low winding resistance is no fault of its own: a drop of 10 V is read well enough.
        QTest::addRow("winding 10 V over 20 ohm is over maximum")
            << winding(450, 440, 20) << 30.0 << true << 500.0 << 220.0 << 733.3333 << overMax;
        QTest::addRow("winding 1 V from B+ and plate warns")
            << winding(450, 449, 20) << 50.0 << true << 50.0 << 22.45 << 44.9 << smallDrop1V;
        QTest::addRow("winding 1 V warns whatever the DCR")
            << winding(450, 449, 25) << 50.0 << true << 40.0 << 17.96 << 35.92 << smallDrop1V;
        QTest::addRow("winding without plate reading has no warning")
            << winding(450, 0, 20) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        // The drop read directly, with the shared plate voltage for the dissipation.
        QTest::addRow("winding drop read directly")
            << direct(440, 10, 100) << 50.0 << true << 100.0 << 44.0 << 88.0 << none;
        QTest::addRow("winding direct drop ignores B+")
            << direct(440, 2.05, 20, 300) << 50.0 << true << 102.5 << 45.1 << 90.2 << none;
        QTest::addRow("winding direct drop without plate voltage")
            << direct(0, 2, 20) << 50.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("winding direct drop not read yet")
            << direct(440, 0, 20) << 50.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("winding no DCR yet")
            << winding(450, 0, 100) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("winding plate equals B+")
            << winding(450, 450, 20) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("winding plate above B+")
            << winding(450, 460, 20) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("winding without B+")
            << winding(0, 440, 100) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("winding zero DCR")
            << winding(450, 440, 0) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;

        // Cathode bias.
        QTest::addRow("cathode per tube")
            << cathode(400, 250, 25) << 50.0 << true << 100.0 << 40.0 << 80.0 << none;
        QTest::addRow("cathode shared by the pair")
            << cathode(400, 250, 25, true) << 30.0 << true << 50.0 << 20.0 << 66.6667 << none;
        QTest::addRow("cathode shared flag with one tube")
            << cathode(400, 250, 25, true, 1) << 50.0 << true << 100.0 << 40.0 << 80.0 << none;
        QTest::addRow("cathode shared flag with no tube count")
            << cathode(400, 250, 25, true, 0) << 50.0 << true << 100.0 << 40.0 << 80.0 << none;
        QTest::addRow("cathode shared by four")
            << cathode(400, 250, 25, true, 4) << 30.0 << true << 25.0 << 10.0 << 33.3333 << none;
        QTest::addRow("cathode shared pair minus screen")
            << cathode(400, 250, 25, true, 2, true) << 30.0 << true << 47.5 << 19.0 << 63.3333 << none;
        QTest::addRow("cathode without plate voltage")
            << cathode(0, 250, 25) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("cathode zero resistor")
            << cathode(400, 0, 25) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("cathode no reading")
            << cathode(400, 250, 0) << 30.0 << false << 0.0 << 0.0 << 0.0 << none;

        // Panel meter: plate current, possibly the total of several tubes.
        QTest::addRow("meter total of four")
            << meter(400, 200, 4) << 30.0 << true << 50.0 << 20.0 << 66.6667 << none;
        QTest::addRow("meter one tube")
            << meter(400, 200, 1) << 100.0 << true << 200.0 << 80.0 << 80.0 << none;
        QTest::addRow("meter zero tubes reads as one")
            << meter(400, 200, 0) << 100.0 << true << 200.0 << 80.0 << 80.0 << none;
        QTest::addRow("meter negative tube count reads as one")
            << meter(400, 200, -2) << 100.0 << true << 200.0 << 80.0 << 80.0 << none;
        QTest::addRow("meter ignores screen subtraction")
            << meter(400, 200, 1, true) << 100.0 << true << 200.0 << 80.0 << 80.0 << none;
        QTest::addRow("meter without plate voltage")
            << meter(0, 200, 1) << 100.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("meter no reading") << meter(400, 0, 4) << 100.0 << false << 0.0 << 0.0 << 0.0 << none;

        // Guards common to every method.
        QTest::addRow("zero maximum") << probe(400, 40) << 0.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("negative maximum")
            << meter(400, 200, 1) << -30.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("zero maximum keeps low-DCR quiet")
            << winding(450, 440, 20) << 0.0 << false << 0.0 << 0.0 << 0.0 << none;
        QTest::addRow("NaN maximum") << probe(400, 40) << std::numeric_limits<double>::quiet_NaN() << false
                                     << 0.0 << 0.0 << 0.0 << none;
        BiasInputs unknown = probe(400, 40);
        unknown.method = static_cast<BiasMethod>(5);
        QTest::addRow("method 5") << unknown << 30.0 << false << 0.0 << 0.0 << 0.0 << none;
        unknown.method = static_cast<BiasMethod>(-1);
        QTest::addRow("method -1") << unknown << 30.0 << false << 0.0 << 0.0 << 0.0 << none;

        // The 100 % boundary: 75 mA at 400 V is exactly 30 W.
        QTest::addRow("exactly 100%%") << probe(400, 75) << 30.0 << true << 75.0 << 30.0 << 100.0 << none;
        QTest::addRow("just over 100%%")
            << probe(400, 75.0075) << 30.0 << true << 75.0075 << 30.003 << 100.01 << overMax;
    }
    void compute()
    {
        QFETCH(BiasInputs, inputs);
        QFETCH(double, maxW);
        QFETCH(bool, valid);
        QFETCH(double, currentMa);
        QFETCH(double, dissipationW);
        QFETCH(double, pct);
        QFETCH(QString, warning);

        const BiasResult r = computeBias(inputs, maxW);
        QVERIFY2(r.valid == valid, valid ? "expected a valid result" : "expected an invalid result");
        const auto near = [](double a, double b) {
            return std::abs(a - b) <= 1e-4 * std::max(1.0, std::abs(b));
        };
        QVERIFY2(near(r.currentMa, currentMa),
                 qPrintable(QStringLiteral("current %1 mA, expected %2").arg(r.currentMa).arg(currentMa)));
        QVERIFY2(near(r.dissipationW, dissipationW),
                 qPrintable(
                     QStringLiteral("dissipation %1 W, expected %2").arg(r.dissipationW).arg(dissipationW)));
        QVERIFY2(near(r.pctOfMax, pct),
                 qPrintable(QStringLiteral("%1 % of max, expected %2").arg(r.pctOfMax).arg(pct)));
        QCOMPARE(r.warning, warning);
    }

    void exactlyFullDissipationIsNotOverMax()
    {
        const BiasResult r = computeBias(probe(400, 75), 30);
        QCOMPARE(r.pctOfMax, 100.0);
        QCOMPARE(classifyBias(r, 60, 70), BiasStatus::Warm);
        QCOMPARE(classifyBias(r, 85, 100), BiasStatus::Ideal);
        const BiasResult over = computeBias(probe(400, 75.0075), 30);
        QCOMPARE(classifyBias(over, 60, 70), BiasStatus::OverMax);
        QCOMPARE(classifyBias(over, 85, 100), BiasStatus::OverMax);
    }

    void classify_data()
    {
        QTest::addColumn<BiasResult>("result");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<BiasStatus>("status");

        BiasResult invalidButHot;
        invalidButHot.pctOfMax = 150;
        QTest::addRow("invalid wins over any percentage")
            << invalidButHot << 60.0 << 70.0 << BiasStatus::NoReading;
        QTest::addRow("fresh result") << BiasResult() << 60.0 << 70.0 << BiasStatus::NoReading;
        QTest::addRow("valid zero is cold") << validResult(0) << 60.0 << 70.0 << BiasStatus::Cold;
        QTest::addRow("just below the window") << validResult(59.99) << 60.0 << 70.0 << BiasStatus::Cold;
        QTest::addRow("lower edge") << validResult(60) << 60.0 << 70.0 << BiasStatus::Ideal;
        QTest::addRow("upper edge") << validResult(70) << 60.0 << 70.0 << BiasStatus::Ideal;
        QTest::addRow("just above the window") << validResult(70.01) << 60.0 << 70.0 << BiasStatus::Warm;
        QTest::addRow("100 in 60-70") << validResult(100) << 60.0 << 70.0 << BiasStatus::Warm;
        QTest::addRow("over 100") << validResult(100.001) << 60.0 << 70.0 << BiasStatus::OverMax;
        QTest::addRow("class A window never warm")
            << validResult(99.99) << 85.0 << 100.0 << BiasStatus::Ideal;
        QTest::addRow("class A at 100") << validResult(100) << 85.0 << 100.0 << BiasStatus::Ideal;
        QTest::addRow("class A over") << validResult(130) << 85.0 << 100.0 << BiasStatus::OverMax;
        QTest::addRow("RF window cold") << validResult(19.9) << 20.0 << 40.0 << BiasStatus::Cold;
    }
    void classify()
    {
        QFETCH(BiasResult, result);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(BiasStatus, status);
        QCOMPARE(classifyBias(result, low, high), status);
    }

    void probeExampleRatesCold()
    {
        QCOMPARE(classifyBias(computeBias(probe(400, 40), 30), 60, 70), BiasStatus::Cold);
        QCOMPARE(classifyBias(computeBias(probe(400, 50), 30), 60, 70), BiasStatus::Ideal);
    }

    void targetCurrent_data()
    {
        QTest::addColumn<double>("targetPct");
        QTest::addColumn<double>("maxW");
        QTest::addColumn<double>("plateV");
        QTest::addColumn<double>("ma");
        QTest::addRow("no plate voltage") << 65.0 << 30.0 << 0.0 << 0.0;
        QTest::addRow("negative plate voltage") << 65.0 << 30.0 << -450.0 << 0.0;
        QTest::addRow("6L6GC at 450 V") << 65.0 << 30.0 << 450.0 << 43.3333;
        QTest::addRow("6V6GT at 350 V") << 70.0 << 14.0 << 350.0 << 28.0;
        QTest::addRow("class A EL84") << 90.0 << 12.0 << 320.0 << 33.75;
    }
    void targetCurrent()
    {
        QFETCH(double, targetPct);
        QFETCH(double, maxW);
        QFETCH(double, plateV);
        QFETCH(double, ma);
        const double got = targetCurrentMa(targetPct, maxW, plateV);
        QVERIFY2(std::abs(got - ma) < 1e-4,
                 qPrintable(QStringLiteral("%1 mA, expected %2").arg(got).arg(ma)));
    }

    void targetCurrentReachesTarget()
    {
        // Biasing exactly to the recommended current lands on the target percentage.
        const double ma = targetCurrentMa(65, 30, 450);
        const BiasResult r = computeBias(probe(450, ma), 30);
        QVERIFY2(std::abs(r.pctOfMax - 65) < 1e-9, qPrintable(QString::number(r.pctOfMax)));
    }
};

QTEST_GUILESS_MAIN(TestBiasCalc)
#include "tst_biascalc.moc"
