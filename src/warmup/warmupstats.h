#pragma once

// The statistics of a warm-up: how fast each tube's idle current drifts, whether it has settled,
// and whether it is running away. Pure functions on one tube's readings in time order, so a test
// drives them with synthetic warm-ups; the recorder feeds them one reading at a time.
//
// The rules, per tube:
// - Drift is the least-squares slope of the current over the last settleWindowMs, as a share of
//   the mean current in that window, in % per minute.
// - A tube is settled once its readings span the whole window and the drift's size is under
//   settleDriftPctPerMin. It stays settled while that holds.
// - A step - a jump of at least stepPct between two readings, faster than stepRatePctPerMin, as
//   when the bias pot is turned - begins a new run: settling starts again and the readings before
//   the step no longer count, so the step itself is never a runaway.
// - A runaway is a tube that, after it had settled in the run, has risen to runawayRisePct above
//   the level it settled at and is still rising; or one that, once the run is a settle window old,
//   rises faster than runawayRatePctPerMin over the last rateWindowMs without slowing down (a
//   warm-up slows down as it goes; a runaway does not). The alarm stays until the
//   next step or until the log is cleared; it carries the time the current started rising: the
//   lowest reading (the last of equal ones) from a settle window before the tube was last settled
//   up to the alarm.
#include <QVector>

struct WarmupThresholds {
    qint64 settleWindowMs = 3 * 60 * 1000;
    double settleDriftPctPerMin = 2;
    double runawayRisePct = 5;        // % above the settled level
    qint64 rateWindowMs = 60 * 1000;  // the window of the rate alarm
    double runawayRatePctPerMin = 10; // % of the current per minute...
    double runawayPaceShare = 0.95;   // ...not slower than this share of the rate window before
    double stepPct = 3;               // a jump of at least this share of the current...
    double stepRatePctPerMin = 30;    // ...made at least this fast is a step, not a drift
};

struct WarmupPoint {
    qint64 timeMs = 0;
    double value = 0; // mA
};

// Least-squares slope of the points with time in [fromMs, toMs], in value units per minute; 0 with
// fewer than two points or no spread in time.
double warmupSlopePerMin(const QVector<WarmupPoint>& points, qint64 fromMs, qint64 toMs);

// Mean value of the points with time in [fromMs, toMs]; 0 when there are none.
double warmupMean(const QVector<WarmupPoint>& points, qint64 fromMs, qint64 toMs);

// What is known of one tube after its latest reading.
struct WarmupTubeState {
    int readings = 0;      // readings so far
    qint64 runStartMs = 0; // time of the first reading of the current run (after the last step)
    int runStartIndex = 0; // its index
    double driftPctPerMin = 0;
    bool settled = false;
    qint64 settledSinceMs = 0; // when it (last) became settled; 0 before that
    bool settledInRun = false; // it has settled at least once in this run
    qint64 lastSettledMs = 0;  // its last reading while settled
    double settledLevel = 0;   // mA: mean of the window when it last was settled
    bool runaway = false;
    qint64 runawaySinceMs = 0; // when the alarm was raised
    qint64 risingSinceMs = 0;  // when the current started rising
    int steps = 0;             // steps seen so far
    bool operator==(const WarmupTubeState& other) const;
};

// The state after the last point of `points`, given the state after the point before it (a
// default state for the first point). Only the points of the current run are looked at.
WarmupTubeState advanceWarmupState(const WarmupTubeState& before, const QVector<WarmupPoint>& points,
                                   const WarmupThresholds& thresholds = {});

// The state after every point, from the first: advanceWarmupState folded over the points.
WarmupTubeState analyseWarmup(const QVector<WarmupPoint>& points, const WarmupThresholds& thresholds = {});
