// Fitting a meter's value to a tube's reading, and the auto-advance: when a value counts as
// stable, what restarts the wait, and a simulated warm-up read hands-free into four tubes.
#include "meter/metersequence.h"
#include "meter/simulatedmeter.h"

#include <QtTest>

Q_DECLARE_METATYPE(MeterQuantity)

namespace {

MeterReading reading(MeterQuantity quantity, double value, bool overload = false)
{
    MeterReading r;
    r.quantity = quantity;
    r.value = value;
    r.overload = overload;
    r.displayExponent = naturalDisplayExponent(quantity, value);
    return r;
}

MeterFit ma(double value)
{
    return fitMeterReading(reading(MeterQuantity::DcCurrent, value / 1000), QStringLiteral(" mA"), 999);
}

} // namespace

class TestMeterSequence : public QObject
{
    Q_OBJECT

private slots:
    void fitting_data();
    void fitting();
    void commitsOnlyOnceStable_data();
    void commitsOnlyOnceStable();
    void oneValueNeverGoesToTwoTubes();
    void spaceAndClicks();
    void simulatedWarmUpFillsFourTubes();
};

void TestMeterSequence::fitting_data()
{
    QTest::addColumn<MeterQuantity>("quantity");
    QTest::addColumn<double>("value"); // base units
    QTest::addColumn<bool>("overload");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<double>("fitted");
    QTest::addColumn<QString>("reason"); // a part of it

    using Q = MeterQuantity;
    QTest::addRow("DC A into mA") << Q::DcCurrent << 0.03127 << false << " mA" << 999.0 << true << 31.27
                                  << "";
    QTest::addRow("DC V into mV") << Q::DcVoltage << 0.0356 << false << " mV" << 9999.0 << true << 35.6 << "";
    QTest::addRow("DC V into V") << Q::DcVoltage << 412.5 << false << " V" << 5000.0 << true << 412.5 << "";
    QTest::addRow("mV reading into V")
        << Q::DcVoltage << 0.85 << false << " V" << 500.0 << true << 0.85 << "";
    QTest::addRow("ohms into ohms") << Q::Resistance << 62.0 << false << " Ω" << 999.0 << true << 62.0 << "";
    QTest::addRow("AC volts") << Q::AcVoltage << 0.035 << false << " mV" << 9999.0 << false << 0.0 << "AC";
    QTest::addRow("AC current") << Q::AcCurrent << 0.035 << false << " mA" << 999.0 << false << 0.0 << "AC";
    QTest::addRow("current where a voltage is expected")
        << Q::DcCurrent << 0.035 << false << " mV" << 9999.0 << false << 0.0 << "measures a current";
    QTest::addRow("voltage where a current is expected")
        << Q::DcVoltage << 0.035 << false << " mA" << 999.0 << false << 0.0 << "measures a voltage";
    QTest::addRow("ohms where a current is expected")
        << Q::Resistance << 62.0 << false << " mA" << 999.0 << false << 0.0 << "on Ω";
    QTest::addRow("overload") << Q::DcCurrent << 0.0 << true << " mA" << 999.0 << false << 0.0
                              << "overload (OL)";
    QTest::addRow("above the field's range")
        << Q::DcCurrent << 1.2 << false << " mA" << 999.0 << false << 0.0 << "outside";
    QTest::addRow("negative") << Q::DcCurrent << -0.031 << false << " mA" << 999.0 << false << 0.0
                              << "outside";
    QTest::addRow("a field without a unit")
        << Q::DcCurrent << 0.031 << false << "" << 999.0 << false << 0.0 << "does not take";
}

void TestMeterSequence::fitting()
{
    QFETCH(MeterQuantity, quantity);
    QFETCH(double, value);
    QFETCH(bool, overload);
    QFETCH(QString, suffix);
    QFETCH(double, maximum);
    QFETCH(bool, fits);
    QFETCH(double, fitted);
    QFETCH(QString, reason);

    const MeterFit fit = fitMeterReading(reading(quantity, value, overload), suffix, maximum);
    QCOMPARE(fit.fits, fits);
    if (fits) {
        QVERIFY(qAbs(fit.value - fitted) < 1e-9);
        QVERIFY(fit.reason.isEmpty());
    } else {
        QVERIFY2(fit.reason.contains(reason), qPrintable(fit.reason));
    }
}

void TestMeterSequence::commitsOnlyOnceStable_data()
{
    // One reading every 500 ms, in mA; a negative number stands for an overload.
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<int>("commitAt"); // index of the reading that commits, -1 for none
    QTest::addColumn<double>("committed");

    QTest::addRow("steady: committed when 3 s have passed")
        << QList<double>{30, 30, 30.1, 30, 30.1, 30, 30.1, 30} << 6 << 30.1;
    QTest::addRow("within 1 %% the whole time")
        << QList<double>{30, 30.29, 30.05, 30.2, 30.1, 30.2, 30.25} << 6 << 30.25;
    QTest::addRow("a jump restarts the wait")
        << QList<double>{30, 30, 30, 30, 31, 31, 31, 31, 31, 31, 31} << 10 << 31.0;
    QTest::addRow("an overload restarts the wait")
        << QList<double>{30, 30, 30, 30, 30, -1, 30, 30, 30, 30, 30, 30, 30} << 12 << 30.0;
    QTest::addRow("a slow creep of more than 1 %% in 3 s never commits")
        << QList<double>{30, 30.1, 30.2, 30.3, 30.4, 30.5, 30.6, 30.7, 30.8, 30.9, 31.0} << -1 << 0.0;
    QTest::addRow("zero is never committed") << QList<double>{0, 0, 0, 0, 0, 0, 0, 0, 0} << -1 << 0.0;
}

void TestMeterSequence::commitsOnlyOnceStable()
{
    QFETCH(QList<double>, values);
    QFETCH(int, commitAt);
    QFETCH(double, committed);

    MeterSequence sequence;
    sequence.setTubeCount(4);
    int seen = -1;
    for (int i = 0; i < values.size(); ++i) {
        const double v = values.at(i);
        const MeterFit fit =
            v < 0 ? fitMeterReading(reading(MeterQuantity::DcCurrent, 0, true), " mA", 999) : ma(v);
        const MeterStep step = sequence.feed(fit, 1000000 + i * 500);
        if (step.committedTube >= 0) {
            QVERIFY2(seen < 0, "committed twice");
            QCOMPARE(step.committedTube, 0);
            QVERIFY(qAbs(step.committedValue - committed) < 1e-9);
            seen = i;
        }
    }
    QCOMPARE(seen, commitAt);
    QCOMPARE(sequence.tube(), commitAt >= 0 ? 1 : 0);
}

void TestMeterSequence::oneValueNeverGoesToTwoTubes()
{
    MeterSequence sequence;
    sequence.setTubeCount(2);
    qint64 t = 0;
    int commits = 0;
    // The probe stays on tube 1 long after its value was taken.
    for (int i = 0; i < 40; ++i, t += 500)
        commits += sequence.feed(ma(34.2), t).committedTube >= 0;
    QCOMPARE(commits, 1);
    QCOMPARE(sequence.tube(), 1);
    // Moved: lifted (nothing), then tube 2 with a value within 1 % of tube 1's.
    sequence.feed(ma(0), t += 500);
    MeterStep step;
    for (int i = 0; i < 7; ++i)
        step = sequence.feed(ma(34.3), t += 500);
    QCOMPARE(step.committedTube, 1);
    QCOMPARE(sequence.tube(), -1); // every tube read
    QCOMPARE(sequence.feed(ma(34.3), t += 500).committedTube, -1);
}

void TestMeterSequence::spaceAndClicks()
{
    MeterSequence sequence;
    sequence.setTubeCount(4);
    QCOMPARE(sequence.commitNow().committedTube, -1); // nothing read yet

    sequence.feed(ma(31.5), 0);
    MeterStep step = sequence.commitNow();
    QCOMPARE(step.committedTube, 0);
    QCOMPARE(step.committedValue, 31.5);
    QCOMPARE(sequence.tube(), 1);

    // A value that does not fit is not committed by Space either.
    sequence.feed(fitMeterReading(reading(MeterQuantity::DcCurrent, 0, true), " mA", 999), 500);
    QCOMPARE(sequence.commitNow().committedTube, -1);
    // Nor one from before the data stopped.
    sequence.feed(ma(32.0), 1000);
    sequence.interrupt();
    QCOMPARE(sequence.commitNow().committedTube, -1);

    // A click on tube 4 reads it, even with the value tube 1 got.
    sequence.selectTube(3);
    for (qint64 t = 2000; t <= 5000; t += 500)
        step = sequence.feed(ma(31.5), t);
    QCOMPARE(step.committedTube, 3);
    QCOMPARE(sequence.tube(), -1);

    // Without auto-advance nothing is committed but by Space.
    sequence.selectTube(0);
    sequence.setAutoAdvance(false);
    for (qint64 t = 6000; t <= 12000; t += 500)
        QCOMPARE(sequence.feed(ma(31.5), t).committedTube, -1);
    QCOMPARE(sequence.commitNow().committedTube, 0);

    // A wider tolerance and a shorter window are taken.
    sequence.setAutoAdvance(true);
    sequence.setTolerancePct(5);
    sequence.setWindowMs(1000);
    sequence.selectTube(2);
    sequence.feed(ma(30), 20000);
    sequence.feed(ma(31), 20500);
    QCOMPARE(sequence.feed(ma(30.5), 21000).committedTube, 2);
}

void TestMeterSequence::simulatedWarmUpFillsFourTubes()
{
    // The amplifier is switched on cold; the technician moves the probe to the card being read.
    SimulatedMeter meter(7);
    MeterSequence sequence;
    sequence.setTubeCount(4);
    QList<double> committed(4, 0);
    QList<qint64> committedAt(4, -1);
    MeterStep last;
    for (qint64 t = 0; t <= 10 * 60000 && sequence.tube() >= 0; t += 500) {
        meter.moveProbe(sequence.tube(), t);
        const MeterFit fit = fitMeterReading(meter.read(t, t), QStringLiteral(" mA"), 999);
        const int tube = sequence.tube();
        const MeterStep step = sequence.feed(fit, t);
        if (step.committedTube >= 0) {
            QCOMPARE(step.committedTube, tube);
            QCOMPARE(committedAt.at(tube), qint64(-1));
            committed[tube] = step.committedValue;
            committedAt[tube] = t;
        }
    }
    QCOMPARE(sequence.tube(), -1);
    for (int tube = 0; tube < 4; ++tube) {
        // Each committed once stable: within 1 % of where the tube was heading at that moment,
        // and not before the warm-up had slowed to 1 % in 3 s (plus the meter's noise, which
        // the tolerance sees too).
        const qint64 at = committedAt.at(tube);
        QVERIFY2(at > 0, qPrintable(QStringLiteral("tube %1 never committed").arg(tube + 1)));
        const double expected = SimulatedMeter::warmUpMa(tube, at);
        QVERIFY2(qAbs(committed.at(tube) - expected) <= expected * 0.01,
                 qPrintable(QStringLiteral("tube %1: %2 mA, heading for %3")
                                .arg(tube + 1)
                                .arg(committed.at(tube))
                                .arg(expected)));
        const double riseIn3s =
            SimulatedMeter::warmUpMa(tube, at) - SimulatedMeter::warmUpMa(tube, at - 3000);
        QVERIFY2(riseIn3s <= expected * (0.01 + 2 * SimulatedMeter::noisePct / 100),
                 qPrintable(QStringLiteral("tube %1 committed while rising").arg(tube + 1)));
        if (tube > 0)
            QVERIFY(at > committedAt.at(tube - 1));
    }
}

QTEST_GUILESS_MAIN(TestMeterSequence)
#include "tst_metersequence.moc"
