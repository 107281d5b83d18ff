#include "biastools/biasmath.h"

#include <QtTest>
#include <cmath>

class TestBiasMath : public QObject
{
    Q_OBJECT

private slots:
    void resistorTextFormats_data();
    void resistorTextFormats();
    void nearestE24Picks_data();
    void nearestE24Picks();
    void nextLargerValues_data();
    void nextLargerValues();
    void cathodeWorkedExamples_data();
    void cathodeWorkedExamples();
    void cathodeResult_data();
    void cathodeResult();
    void rangeModResult_data();
    void rangeModResult();
};

void TestBiasMath::resistorTextFormats_data()
{
    QTest::addColumn<double>("ohms");
    QTest::addColumn<QString>("text");
    QTest::addRow("187.5 rounds to three digits") << 187.5 << QStringLiteral("188 Ω");
    QTest::addRow("60 353 in kilohms") << 60353.0 << QStringLiteral("60.4 kΩ");
    QTest::addRow("2.3 M drops trailing zeros") << 2300000.0 << QStringLiteral("2.3 MΩ");
    QTest::addRow("exactly 1000 is 1 k") << 1000.0 << QStringLiteral("1 kΩ");
    QTest::addRow("exactly 1 M") << 1000000.0 << QStringLiteral("1 MΩ");
    QTest::addRow("999.6 goes to exponent form below the k threshold") << 999.6 << QStringLiteral("1e+03 Ω");
    QTest::addRow("zero") << 0.0 << QStringLiteral("0 Ω");
    QTest::addRow("small value keeps decimals") << 4.75 << QStringLiteral("4.75 Ω");
}

void TestBiasMath::resistorTextFormats()
{
    QFETCH(double, ohms);
    QFETCH(QString, text);
    QCOMPARE(resistorText(ohms), text);
}

void TestBiasMath::nearestE24Picks_data()
{
    QTest::addColumn<double>("ohms");
    QTest::addColumn<double>("expected");
    QTest::addRow("187.5 -> 180") << 187.5 << 180.0;
    QTest::addRow("60.35 k -> 62 k") << 60352.94 << 62000.0;
    QTest::addRow("1050 tie keeps the lower 1 k") << 1050.0 << 1000.0;
    QTest::addRow("1.05 tie keeps the lower 1.0") << 1.05 << 1.0;
    QTest::addRow("9.6 moves up to the next decade") << 9.6 << 10.0;
    QTest::addRow("960 moves up to 1 k") << 960.0 << 1000.0;
    QTest::addRow("95 stays at 91") << 95.0 << 91.0;
    QTest::addRow("exact 1000 at a decade boundary") << 1000.0 << 1000.0;
    QTest::addRow("exact table value 4.7 k") << 4700.0 << 4700.0;
    QTest::addRow("below one ohm") << 0.33 << 0.33;
    QTest::addRow("zero") << 0.0 << 0.0;
    QTest::addRow("negative") << -120.0 << 0.0;
    QTest::addRow("not a number") << std::nan("") << 0.0;
}

void TestBiasMath::nearestE24Picks()
{
    QFETCH(double, ohms);
    QFETCH(double, expected);
    const double got = nearestE24(ohms);
    QVERIFY2(
        std::fabs(got - expected) <= 1e-9 * std::max(1.0, expected),
        qPrintable(QStringLiteral("nearestE24(%1) should be %2, got %3").arg(ohms).arg(expected).arg(got)));
}

void TestBiasMath::nextLargerValues_data()
{
    QTest::addColumn<double>("ohms");
    QTest::addColumn<int>("series");
    QTest::addColumn<double>("expected");
    const int e12 = int(ResistorSeries::E12);
    const int e24 = int(ResistorSeries::E24);
    QTest::addRow("a series value stays") << 130.0 << e24 << 130.0;
    QTest::addRow("just above one goes up a step") << 130.01 << e24 << 150.0;
    QTest::addRow("187.5 takes 200, not the nearer 180") << 187.5 << e24 << 200.0;
    QTest::addRow("E12 skips the E24 steps") << 187.5 << e12 << 220.0;
    QTest::addRow("past the top of a decade") << 9.6 << e24 << 10.0;
    QTest::addRow("E12 past 8.2 k") << 8201.0 << e12 << 10000.0;
    QTest::addRow("kilohms") << 1250.0 << e24 << 1300.0;
    QTest::addRow("nothing for 0") << 0.0 << e24 << 0.0;
}

void TestBiasMath::nextLargerValues()
{
    QFETCH(double, ohms);
    QFETCH(int, series);
    QFETCH(double, expected);
    const double got = nextLargerInSeries(ohms, ResistorSeries(series));
    QVERIFY2(std::fabs(got - expected) <= 1e-9 * std::max(1.0, expected),
             qPrintable(QStringLiteral("%1 Ω gave %2, expected %3").arg(ohms).arg(got).arg(expected)));
}

void TestBiasMath::cathodeWorkedExamples_data()
{
    QTest::addColumn<double>("plateMa"); // per tube
    QTest::addColumn<double>("biasV");
    QTest::addColumn<double>("tubes");
    QTest::addColumn<double>("screenPct");
    QTest::addColumn<int>("series");
    QTest::addColumn<double>("cathodeMa"); // per tube, worked out by hand
    QTest::addColumn<double>("exactOhms");
    QTest::addColumn<double>("chosenOhms");
    const int e12 = int(ResistorSeries::E12);
    const int e24 = int(ResistorSeries::E24);
    // 6V6 pair, 40 mA plate each, 5 % screen share: 42.105 mA cathode each, 84.21 mA in the resistor;
    // 20 V / 84.21 mA = 237.5 Ω (plate current alone would give 250 Ω, 5 % cold of the aim).
    QTest::addRow("6V6 pair, E24") << 40.0 << 20.0 << 2.0 << 5.0 << e24 << 40 / 0.95 << 237.5 << 240.0;
    QTest::addRow("6V6 pair, E12") << 40.0 << 20.0 << 2.0 << 5.0 << e12 << 40 / 0.95 << 237.5 << 270.0;
    // EL84 pair, 36 mA plate each, 10 % screen share: 40 mA cathode each, 80 mA; 10.4 V / 80 mA =
    // 130 Ω, itself an E24 value (plate current alone: 144 Ω, 11 % high).
    QTest::addRow("EL84 pair, E24") << 36.0 << 10.4 << 2.0 << 10.0 << e24 << 40.0 << 130.0 << 130.0;
    QTest::addRow("EL84 pair, E12") << 36.0 << 10.4 << 2.0 << 10.0 << e12 << 40.0 << 130.0 << 150.0;
    // A triode has no screen: 75 V / 60 mA = 1250 Ω.
    QTest::addRow("300B, no screen") << 60.0 << 75.0 << 1.0 << 0.0 << e24 << 60.0 << 1250.0 << 1300.0;
}

void TestBiasMath::cathodeWorkedExamples()
{
    QFETCH(double, plateMa);
    QFETCH(double, biasV);
    QFETCH(double, tubes);
    QFETCH(double, screenPct);
    QFETCH(int, series);
    QFETCH(double, cathodeMa);
    QFETCH(double, exactOhms);
    QFETCH(double, chosenOhms);
    CathodeResistorJob job;
    job.plateMa = plateMa;
    job.biasV = biasV;
    job.tubes = tubes;
    job.screenPct = screenPct;
    job.series = ResistorSeries(series);
    const CathodeResistorAnswer a = cathodeResistor(job);
    QCOMPARE(a.cathodeMa, cathodeMa);
    QVERIFY(std::fabs(a.exactOhms - exactOhms) < 1e-9 * exactOhms);
    QVERIFY(std::fabs(a.chosenOhms - chosenOhms) < 1e-9 * chosenOhms);
    // Never hotter than asked: the chosen resistor drops at least the bias voltage.
    QVERIFY(a.chosenOhms >= a.exactOhms * (1 - 1e-12));
}

void TestBiasMath::cathodeResult_data()
{
    QTest::addColumn<double>("plateMa");
    QTest::addColumn<double>("biasV");
    QTest::addColumn<double>("tubes");
    QTest::addColumn<double>("screenPct");
    QTest::addColumn<int>("series");
    QTest::addColumn<QString>("text");
    // 40 / 0.95 = 42.1 mA each, 84.2 mA; 15 V / 84.2 mA = 178 Ω; 1.26 W.
    QTest::addRow("dialog defaults: 40 mA x 2 at 15 V, 5 pct screen")
        << 40.0 << 15.0 << 2.0 << 5.0 << int(ResistorSeries::E24)
        << QStringLiteral(
               "<b>Cathode current per tube:</b> 42.1 mA (40 mA plate + 5% screen)<br><b>Exact:</b> "
               "178 Ω<br><b>Next larger E24 value:</b> 180 Ω — rounded up, towards the colder "
               "bias<br><b>Dissipation in resistor:</b> 1.26 W — use a resistor rated ≥ 4 W<br><i>Bypass "
               "with 50–100 µF (rated above 23 V) to restore gain.</i>");
    QTest::addRow("triode, E12: 1 mA at 200 V")
        << 1.0 << 200.0 << 1.0 << 0.0 << int(ResistorSeries::E12)
        << QStringLiteral(
               "<b>Cathode current per tube:</b> 1.0 mA (no screen current)<br><b>Exact:</b> 200 "
               "kΩ<br><b>Next larger E12 value:</b> 220 kΩ — rounded up, towards the colder "
               "bias<br><b>Dissipation in resistor:</b> 0.20 W — use a resistor rated ≥ 1 W<br><i>Bypass "
               "with 50–100 µF (rated above 300 V) to restore gain.</i>");
}

void TestBiasMath::cathodeResult()
{
    QFETCH(double, plateMa);
    QFETCH(double, biasV);
    QFETCH(double, tubes);
    QFETCH(double, screenPct);
    QFETCH(int, series);
    QFETCH(QString, text);
    CathodeResistorJob job;
    job.plateMa = plateMa;
    job.biasV = biasV;
    job.tubes = tubes;
    job.screenPct = screenPct;
    job.series = ResistorSeries(series);
    QCOMPARE(cathodeResistorResult(job), text);
}

void TestBiasMath::rangeModResult_data()
{
    const QString tip =
        QStringLiteral("<br><i>Consider replacing part of the shunt with a pot (e.g. fixed R + "
                       "trimmer) for adjustability.</i>");
    const QString invalid =
        QStringLiteral("Bias voltages must be negative and smaller in magnitude than the raw supply.");
    QTest::addColumn<double>("supply");
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("needed");
    QTest::addColumn<double>("seriesK");
    QTest::addColumn<QString>("text");
    QTest::addRow("dialog defaults: parallel mod warms the bias")
        << -55.0 << -45.0 << -38.0 << 27.0
        << QStringLiteral("<b>Implied existing shunt:</b> 122 kΩ<br><b>Required total shunt:</b> 60.4 kΩ "
                          "(nearest E24: 62 kΩ)<br><b>Mod:</b> add 120 kΩ (E24: 120 kΩ) in parallel with the "
                          "existing shunt to warm the bias up.") +
               tip;
    QTest::addRow("needed more negative: series mod cools the bias")
        << -55.0 << -45.0 << -50.0 << 27.0
        << QStringLiteral("<b>Implied existing shunt:</b> 122 kΩ<br><b>Required total shunt:</b> 270 kΩ "
                          "(nearest E24: 270 kΩ)<br><b>Mod:</b> add 149 kΩ (E24: 150 kΩ) in series with the "
                          "existing shunt (or replace it) to cool the bias down.") +
               tip;
    QTest::addRow("equal biases take the series branch with 0")
        << -55.0 << -45.0 << -45.0 << 27.0
        << QStringLiteral("<b>Implied existing shunt:</b> 122 kΩ<br><b>Required total shunt:</b> 122 kΩ "
                          "(nearest E24: 120 kΩ)<br><b>Mod:</b> add 0 Ω (E24: 0 Ω) in series with the "
                          "existing shunt (or replace it) to cool the bias down.") +
               tip;
    QTest::addRow("supply not beyond the current bias") << -40.0 << -45.0 << -38.0 << 27.0 << invalid;
    QTest::addRow("supply equal to the needed bias") << -55.0 << -45.0 << -55.0 << 27.0 << invalid;
    QTest::addRow("current bias at 0") << -55.0 << 0.0 << -38.0 << 27.0 << invalid;
    QTest::addRow("needed bias at 0") << -55.0 << -45.0 << 0.0 << 27.0 << invalid;
    QTest::addRow("supply at 0") << 0.0 << -45.0 << -38.0 << 27.0 << invalid;
}

void TestBiasMath::rangeModResult()
{
    QFETCH(double, supply);
    QFETCH(double, current);
    QFETCH(double, needed);
    QFETCH(double, seriesK);
    QFETCH(QString, text);
    QCOMPARE(biasRangeModResult(supply, current, needed, seriesK), text);
}

QTEST_GUILESS_MAIN(TestBiasMath)
#include "tst_biasmath.moc"
