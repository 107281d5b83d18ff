#include "warmup/warmupstats.h"

#include <algorithm>
#include <cmath>

bool WarmupTubeState::operator==(const WarmupTubeState& other) const
{
    return readings == other.readings && runStartMs == other.runStartMs &&
           runStartIndex == other.runStartIndex && driftPctPerMin == other.driftPctPerMin &&
           settled == other.settled && settledSinceMs == other.settledSinceMs &&
           settledInRun == other.settledInRun && lastSettledMs == other.lastSettledMs &&
           settledLevel == other.settledLevel && runaway == other.runaway &&
           runawaySinceMs == other.runawaySinceMs && risingSinceMs == other.risingSinceMs &&
           steps == other.steps;
}

namespace {

constexpr double msPerMinute = 60000.0;

// Index of the first point at or after `fromMs`.
qsizetype firstAtOrAfter(const QVector<WarmupPoint>& points, qint64 fromMs)
{
    const auto it = std::lower_bound(points.begin(), points.end(), fromMs,
                                     [](const WarmupPoint& p, qint64 t) { return p.timeMs < t; });
    return it - points.begin();
}

} // namespace

double warmupSlopePerMin(const QVector<WarmupPoint>& points, qint64 fromMs, qint64 toMs)
{
    const qsizetype first = firstAtOrAfter(points, fromMs);
    // Sums about the window's first time keep the squares small and the sums exact enough.
    double n = 0;
    double st = 0;
    double sv = 0;
    double stt = 0;
    double stv = 0;
    const qint64 origin = first < points.size() ? points.at(first).timeMs : 0;
    for (qsizetype i = first; i < points.size() && points.at(i).timeMs <= toMs; ++i) {
        const double t = double(points.at(i).timeMs - origin) / msPerMinute;
        const double v = points.at(i).value;
        n += 1;
        st += t;
        sv += v;
        stt += t * t;
        stv += t * v;
    }
    if (n < 2)
        return 0;
    const double spread = n * stt - st * st;
    if (spread <= 1e-12)
        return 0;
    return (n * stv - st * sv) / spread;
}

double warmupMean(const QVector<WarmupPoint>& points, qint64 fromMs, qint64 toMs)
{
    double sum = 0;
    int n = 0;
    for (qsizetype i = firstAtOrAfter(points, fromMs); i < points.size() && points.at(i).timeMs <= toMs;
         ++i) {
        sum += points.at(i).value;
        ++n;
    }
    return n ? sum / n : 0;
}

WarmupTubeState advanceWarmupState(const WarmupTubeState& before, const QVector<WarmupPoint>& points,
                                   const WarmupThresholds& th)
{
    if (points.isEmpty())
        return WarmupTubeState();
    const int n = int(points.size());
    const WarmupPoint& p = points.last();
    WarmupTubeState s = before;
    s.readings = n;
    if (n == 1) {
        s = WarmupTubeState();
        s.readings = 1;
        s.runStartMs = p.timeMs;
        return s;
    }

    // A step starts a new run: nothing before it counts any more.
    const WarmupPoint& prev = points.at(n - 2);
    const double scale = std::max(std::abs(prev.value), 1e-9);
    const double jumpPct = std::abs(p.value - prev.value) / scale * 100;
    const double minutes = double(p.timeMs - prev.timeMs) / msPerMinute;
    const bool fast = minutes <= 0 || jumpPct / minutes >= th.stepRatePctPerMin;
    if (jumpPct >= th.stepPct && fast) {
        WarmupTubeState fresh;
        fresh.readings = n;
        fresh.runStartMs = p.timeMs;
        fresh.runStartIndex = n - 1;
        fresh.steps = before.steps + 1;
        return fresh;
    }

    const qint64 from = std::max(s.runStartMs, p.timeMs - th.settleWindowMs);
    const double mean = warmupMean(points, from, p.timeMs);
    const double slope = warmupSlopePerMin(points, from, p.timeMs);
    s.driftPctPerMin = mean > 0 ? slope / mean * 100 : 0;
    const qint64 runAge = p.timeMs - s.runStartMs;

    if (s.runaway)
        return s;

    // Runaway: risen well above the level it settled at, or rising too fast once the run is old
    // enough for the first warm-up to be over.
    bool alarm = false;
    if (s.settledInRun && p.value >= s.settledLevel * (1 + th.runawayRisePct / 100) && s.driftPctPerMin > 0) {
        alarm = true;
    }
    if (!alarm && runAge >= th.settleWindowMs) {
        // A warm-up rises ever more slowly; a runaway keeps its pace or speeds up. So the rate alarm
        // also asks that the rise has not slowed since the rate window before.
        const qint64 rateFrom = std::max(s.runStartMs, p.timeMs - th.rateWindowMs);
        const qint64 priorFrom = std::max(s.runStartMs, p.timeMs - 2 * th.rateWindowMs);
        const qsizetype first = firstAtOrAfter(points, rateFrom);
        const qsizetype priorFirst = firstAtOrAfter(points, priorFrom);
        const double rateMean = warmupMean(points, rateFrom, p.timeMs);
        const double slope = warmupSlopePerMin(points, rateFrom, p.timeMs);
        const double priorSlope = warmupSlopePerMin(points, priorFrom, rateFrom);
        if (n - first >= 3 && first - priorFirst >= 3 && rateMean > 0 &&
            slope / rateMean * 100 > th.runawayRatePctPerMin && slope >= th.runawayPaceShare * priorSlope)
            alarm = true;
    }
    if (alarm) {
        s.runaway = true;
        s.settled = false;
        s.runawaySinceMs = p.timeMs;
        // The rise began at the lowest reading since shortly before the tube was last settled (the
        // last of equal ones), or within the last settle window for a tube that never settled.
        const qint64 searchFrom =
            std::max(s.runStartMs, (s.settledInRun ? s.lastSettledMs : p.timeMs) - th.settleWindowMs);
        qsizetype lowest = n - 1;
        for (qsizetype i = std::max<qsizetype>(firstAtOrAfter(points, searchFrom), s.runStartIndex); i < n;
             ++i)
            if (points.at(i).value <= points.at(lowest).value)
                lowest = i;
        s.risingSinceMs = points.at(lowest).timeMs;
        return s;
    }

    const bool settledNow =
        runAge >= th.settleWindowMs && std::abs(s.driftPctPerMin) < th.settleDriftPctPerMin;
    if (settledNow) {
        if (!s.settled)
            s.settledSinceMs = p.timeMs;
        s.settled = true;
        s.settledInRun = true;
        s.lastSettledMs = p.timeMs;
        s.settledLevel = mean;
    } else {
        s.settled = false;
    }
    return s;
}

WarmupTubeState analyseWarmup(const QVector<WarmupPoint>& points, const WarmupThresholds& thresholds)
{
    WarmupTubeState state;
    QVector<WarmupPoint> prefix;
    prefix.reserve(points.size());
    for (const WarmupPoint& p : points) {
        prefix.append(p);
        state = advanceWarmupState(state, prefix, thresholds);
    }
    return state;
}
