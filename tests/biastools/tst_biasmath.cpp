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

void TestBiasMath::cathodeResult_data()
{
    QTest::addColumn<double>("currentMa");
    QTest::addColumn<double>("biasV");
    QTest::addColumn<double>("tubes");
    QTest::addColumn<QString>("text");
    QTest::addRow("dialog defaults: 40 mA x 2 at 15 V")
        << 40.0 << 15.0 << 2.0
        << QStringLiteral("<b>Exact:</b> 188 Ω<br><b>Nearest E24 value:</b> 180 Ω<br><b>Dissipation in "
                          "resistor:</b> 1.20 W — use a resistor rated ≥ 4 W<br><i>Bypass with 50–100 µF "
                          "(rated above 23 V) to restore gain.</i>");
    QTest::addRow("four tubes, 100 mA at 25 V: whole-number ratings")
        << 100.0 << 25.0 << 4.0
        << QStringLiteral("<b>Exact:</b> 62.5 Ω<br><b>Nearest E24 value:</b> 62 Ω<br><b>Dissipation in "
                          "resistor:</b> 10.00 W — use a resistor rated ≥ 30 W<br><i>Bypass with 50–100 µF "
                          "(rated above 38 V) to restore gain.</i>");
    QTest::addRow("single tube, 20 mA at 1 V: kilohm resistor")
        << 20.0 << 1.0 << 1.0
        << QStringLiteral("<b>Exact:</b> 50 Ω<br><b>Nearest E24 value:</b> 51 Ω<br><b>Dissipation in "
                          "resistor:</b> 0.02 W — use a resistor rated ≥ 1 W<br><i>Bypass with 50–100 µF "
                          "(rated above 2 V) to restore gain.</i>");
    QTest::addRow("1 mA at 200 V: megohm range")
        << 1.0 << 200.0 << 1.0
        << QStringLiteral("<b>Exact:</b> 200 kΩ<br><b>Nearest E24 value:</b> 200 kΩ<br><b>Dissipation in "
                          "resistor:</b> 0.20 W — use a resistor rated ≥ 1 W<br><i>Bypass with 50–100 µF "
                          "(rated above 300 V) to restore gain.</i>");
}

void TestBiasMath::cathodeResult()
{
    QFETCH(double, currentMa);
    QFETCH(double, biasV);
    QFETCH(double, tubes);
    QFETCH(QString, text);
    QCOMPARE(cathodeResistorResult(currentMa, biasV, tubes), text);
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
