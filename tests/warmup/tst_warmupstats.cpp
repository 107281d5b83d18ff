// Synthetic warm-ups with known answers: exponential settling, a creep after settling, noise alone
// and a turn of the bias pot, each fed to the statistics one reading at a time.
#include "warmup/warmupstats.h"

#include <QtTest>
#include <cmath>

namespace {

constexpr qint64 minute = 60 * 1000;

// The state after each reading, as the recorder sees them one by one.
QVector<WarmupTubeState> trace(const QVector<WarmupPoint>& points, const WarmupThresholds& th = {})
{
    QVector<WarmupTubeState> out;
    QVector<WarmupPoint> prefix;
    WarmupTubeState state;
    for (const WarmupPoint& p : points) {
        prefix.append(p);
        state = advanceWarmupState(state, prefix, th);
        out.append(state);
    }
    return out;
}

int firstSettled(const QVector<WarmupTubeState>& states)
{
    for (int i = 0; i < states.size(); ++i)
        if (states.at(i).settled)
            return i;
    return -1;
}

int firstRunaway(const QVector<WarmupTubeState>& states)
{
    for (int i = 0; i < states.size(); ++i)
        if (states.at(i).runaway)
            return i;
    return -1;
}

// Uniform noise in [-1, 1], the same every run.
struct Noise {
    quint32 seed = 12345;
    double next()
    {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1 << 23) - 1;
    }
};

} // namespace

class TestWarmupStats : public QObject
{
    Q_OBJECT

private slots:
    void slopeOfALine();
    void exponentialSettling_data();
    void exponentialSettling();
    void creepAfterSettling_data();
    void creepAfterSettling();
    void fastRiseBeforeSettling();
    void noiseAlone_data();
    void noiseAlone();
    void potTurned_data();
    void potTurned();
};

void TestWarmupStats::slopeOfALine()
{
    // 40 mA rising 0.5 mA a minute, read every 10 s; only the points inside the window count.
    QVector<WarmupPoint> points;
    for (int i = 0; i <= 60; ++i)
        points.append({i * 10000, 40 + 0.5 * i / 6.0});
    QCOMPARE_LE(std::abs(warmupSlopePerMin(points, 0, 10 * minute) - 0.5), 1e-9);
    points[0].value = 1000; // outside the window below
    QCOMPARE_LE(std::abs(warmupSlopePerMin(points, 10000, 10 * minute) - 0.5), 1e-9);
    QCOMPARE_LE(std::abs(warmupMean(points, 60000, 120000) - (40.5 + 41) / 2), 1e-9);
    QCOMPARE(warmupSlopePerMin(points, 20000, 20000), 0.0); // one point
    QCOMPARE(warmupSlopePerMin({}, 0, minute), 0.0);
}

void TestWarmupStats::exponentialSettling_data()
{
    QTest::addColumn<double>("finalMa");
    QTest::addColumn<double>("riseMa");
    QTest::addColumn<double>("tauMin");
    QTest::addColumn<int>("periodMs");
    QTest::addRow("6L6 from 28 to 42 mA, tau 4 min, every 10 s") << 42.0 << 14.0 << 4.0 << 10000;
    QTest::addRow("EL34 from 20 to 50 mA, tau 6 min, every 5 s") << 50.0 << 30.0 << 6.0 << 5000;
    QTest::addRow("slow hi-fi amp, tau 10 min, every 30 s") << 35.0 << 15.0 << 10.0 << 30000;
    QTest::addRow("quick, tau 1 min, once a second") << 40.0 << 10.0 << 1.0 << 1000;
}

// I(t) = final - rise * exp(-t / tau). Over a window of width W = 2h around m, the least-squares
// slope of that curve is I'(m) * 3 (x cosh x - sinh x) / x^3 with x = h / tau, and its mean is
// final - rise * exp(-m / tau) * sinh x / x: the drift the tube settles on, known in closed form.
void TestWarmupStats::exponentialSettling()
{
    QFETCH(double, finalMa);
    QFETCH(double, riseMa);
    QFETCH(double, tauMin);
    QFETCH(int, periodMs);
    const WarmupThresholds th;
    const double w = double(th.settleWindowMs) / minute;
    const double x = w / 2 / tauMin;
    const auto drift = [&](double tMin) {
        const double m = tMin - w / 2;
        const double slope =
            riseMa / tauMin * std::exp(-m / tauMin) * 3 * (x * std::cosh(x) - std::sinh(x)) / (x * x * x);
        const double mean = finalMa - riseMa * std::exp(-m / tauMin) * std::sinh(x) / x;
        return slope / mean * 100;
    };

    QVector<WarmupPoint> points;
    int expected = -1;
    for (qint64 t = 0; t <= 90 * minute; t += periodMs) {
        const double tMin = double(t) / minute;
        points.append({t, finalMa - riseMa * std::exp(-tMin / tauMin)});
        if (expected < 0 && t >= th.settleWindowMs && drift(tMin) < th.settleDriftPctPerMin)
            expected = int(points.size()) - 1;
    }
    QVERIFY(expected > 0);
    const QVector<WarmupTubeState> states = trace(points, th);
    const int settled = firstSettled(states);
    QVERIFY2(std::abs(settled - expected) <= 1,
             qPrintable(QStringLiteral("settled at %1 min, expected %2 min")
                            .arg(double(points.value(settled).timeMs) / minute)
                            .arg(double(points.at(expected).timeMs) / minute)));
    QCOMPARE(states.at(settled).settledSinceMs, points.at(settled).timeMs);
    for (int i = settled; i < states.size(); ++i)
        QVERIFY2(states.at(i).settled, qPrintable(QStringLiteral("unsettled again at reading %1").arg(i)));
    QCOMPARE(firstRunaway(states), -1);
    QCOMPARE(states.last().steps, 0);
}

void TestWarmupStats::creepAfterSettling_data()
{
    QTest::addColumn<double>("ratePctPerMin");
    QTest::addColumn<int>("periodMs");
    QTest::addRow("4 per cent a minute, every 10 s") << 4.0 << 10000;
    QTest::addRow("3 per cent a minute, once a second") << 3.0 << 1000;
    QTest::addRow("8 per cent a minute, every 5 s") << 8.0 << 5000;
    QTest::addRow("40 per cent a minute, once a second") << 40.0 << 1000;
}

// Flat at 40 mA for eight minutes (settled), then rising in a straight line: flagged at the reading
// that first passes the settle level by runawayRisePct, or the one after; started rising at the kink.
void TestWarmupStats::creepAfterSettling()
{
    QFETCH(double, ratePctPerMin);
    QFETCH(int, periodMs);
    const WarmupThresholds th;
    const qint64 kink = 8 * minute;
    QVector<WarmupPoint> points;
    for (qint64 t = 0; t <= 30 * minute; t += periodMs) {
        const double rise = t > kink ? 40 * ratePctPerMin / 100 * double(t - kink) / minute : 0;
        points.append({t, 40 + rise});
    }
    const QVector<WarmupTubeState> states = trace(points, th);
    const int flagged = firstRunaway(states);
    QVERIFY(flagged > 0);
    QVERIFY(states.at(flagged - 1).settledInRun);
    const double level = states.at(flagged - 1).settledLevel;
    QVERIFY2(std::abs(level - 40) < 0.04 * 40, qPrintable(QString::number(level)));
    int crossing = -1;
    for (int i = 0; i < points.size() && crossing < 0; ++i)
        if (points.at(i).value >= level * (1 + th.runawayRisePct / 100))
            crossing = i;
    // A fast rise trips the rate alarm first; never later than one reading after the crossing.
    QVERIFY2(flagged <= crossing + 1,
             qPrintable(QStringLiteral("flagged at reading %1, crossed at %2").arg(flagged).arg(crossing)));
    QVERIFY2(points.at(flagged).timeMs > kink, "flagged before the tube began to rise");
    QCOMPARE(states.at(flagged).risingSinceMs, kink);
    QCOMPARE(states.at(flagged).runawaySinceMs, points.at(flagged).timeMs);
    QVERIFY(!states.at(flagged).settled);
    // The alarm holds while the tube keeps rising.
    QVERIFY(states.last().runaway);
    QCOMPARE(states.last().runawaySinceMs, points.at(flagged).timeMs);
}

// A tube that never settles but climbs at 15 per cent a minute after the first warm-up minutes is flagged by
// the rate alarm within the rate window's half; during the first settle window it is not.
void TestWarmupStats::fastRiseBeforeSettling()
{
    const WarmupThresholds th;
    QVector<WarmupPoint> points;
    for (qint64 t = 0; t <= 10 * minute; t += 1000)
        points.append({t, 20 * std::exp(0.15 * double(t) / minute)}); // 15 per cent a minute all the way
    const QVector<WarmupTubeState> states = trace(points, th);
    const int flagged = firstRunaway(states);
    QVERIFY(flagged > 0);
    QCOMPARE(points.at(flagged).timeMs, th.settleWindowMs);
    QCOMPARE(firstSettled(states), -1);
}

void TestWarmupStats::noiseAlone_data()
{
    QTest::addColumn<double>("noisePct");
    QTest::addColumn<int>("periodMs");
    QTest::addRow("±0.5 per cent, once a second") << 0.5 << 1000;
    QTest::addRow("±1 per cent, every 10 s") << 1.0 << 10000;
    QTest::addRow("±1 per cent, ten a second") << 1.0 << 100;
}

void TestWarmupStats::noiseAlone()
{
    QFETCH(double, noisePct);
    QFETCH(int, periodMs);
    const WarmupThresholds th;
    Noise noise;
    QVector<WarmupPoint> points;
    for (qint64 t = 0; t <= 60 * minute; t += periodMs)
        points.append({t, 40 * (1 + noisePct / 100 * noise.next())});
    const QVector<WarmupTubeState> states = trace(points, th);
    QCOMPARE(firstRunaway(states), -1);
    QCOMPARE(states.last().steps, 0);
    const int settled = firstSettled(states);
    QCOMPARE(points.at(settled).timeMs, th.settleWindowMs);
    for (int i = settled; i < states.size(); ++i)
        QVERIFY(states.at(i).settled);
}

void TestWarmupStats::potTurned_data()
{
    QTest::addColumn<double>("fromMa");
    QTest::addColumn<double>("toMa");
    QTest::addColumn<qint64>("turnMs");
    QTest::addRow("settled, turned up 10 per cent") << 40.0 << 44.0 << 6 * minute;
    QTest::addRow("settled, turned down 20 per cent") << 50.0 << 40.0 << 6 * minute;
    QTest::addRow("still warming, turned up") << 30.0 << 36.0 << qint64(90 * 1000);
}

// A settled tube whose pot is turned: the jump starts settling afresh and is no runaway; the tube is
// settled again one settle window after the turn.
void TestWarmupStats::potTurned()
{
    QFETCH(double, fromMa);
    QFETCH(double, toMa);
    QFETCH(qint64, turnMs);
    const WarmupThresholds th;
    Noise noise;
    QVector<WarmupPoint> points;
    int turnIndex = -1;
    for (qint64 t = 0; t <= 20 * minute; t += 2000) {
        if (turnIndex < 0 && t >= turnMs)
            turnIndex = int(points.size());
        points.append({t, (t < turnMs ? fromMa : toMa) * (1 + 0.003 * noise.next())});
    }
    const QVector<WarmupTubeState> states = trace(points, th);
    QCOMPARE(firstRunaway(states), -1);
    QCOMPARE(states.last().steps, 1);
    QCOMPARE(states.at(turnIndex).runStartMs, turnMs);
    QVERIFY(!states.at(turnIndex).settled);
    int again = -1;
    for (int i = turnIndex; i < states.size() && again < 0; ++i)
        if (states.at(i).settled)
            again = i;
    QVERIFY(again > 0);
    QCOMPARE(points.at(again).timeMs, turnMs + th.settleWindowMs);
    QVERIFY(std::abs(states.last().settledLevel - toMa) < 0.01 * toMa);
}

QTEST_GUILESS_MAIN(TestWarmupStats)
#include "tst_warmupstats.moc"
