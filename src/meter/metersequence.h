#pragma once

// Which tube the meter is reading and when its value is committed, as a pure state machine fed
// timestamped, fitted readings. A value is committed once it has stayed within the tolerance
// (1 % by default) for the stability window (3 s by default); the next tube is then read, until
// the last. A jump outside the tolerance, a value that does not fit (overload, wrong unit), a
// reading of zero or a gap in the data starts the wait again. After a commit the next tube waits
// for the probe to move: a value still within the tolerance of the one just committed is not
// taken for the next tube until the meter has shown something else in between (the probe lifted,
// another value), so one reading is never committed to two tubes. Space (commitNow) takes the
// current value at once.
#include "meter/meterfit.h"

#include <QtGlobal>

struct MeterStep {
    int committedTube = -1; // the tube a value was committed to by this step, or -1
    double committedValue = 0;
    bool stable = false; // the value has held for the whole window
    qint64 heldMs = 0;   // how long the value has held so far
};

class MeterSequence
{
public:
    static constexpr double defaultTolerancePct = 1;
    static constexpr qint64 defaultWindowMs = 3000;

    void setTubeCount(int count); // the tube being read stays within it
    int tubeCount() const { return count; }
    int tube() const { return current; } // -1 when every tube is read
    void selectTube(int tube);           // the card clicked; restarts the wait

    void setTolerancePct(double pct);
    double tolerancePct() const { return tolerance; }
    void setWindowMs(qint64 ms);
    qint64 windowMs() const { return window; }
    void setAutoAdvance(bool on);
    bool autoAdvance() const { return advancing; }

    MeterStep feed(const MeterFit& fit, qint64 timeMs);
    MeterStep commitNow();
    // No data, or the meter was lost: nothing seen so far counts any more.
    void interrupt();

private:
    MeterStep commit(double value);
    void restartRun();

    int count = 0;
    int current = -1;
    double tolerance = defaultTolerancePct;
    qint64 window = defaultWindowMs;
    bool advancing = true;

    bool running = false; // a run of values within the tolerance has begun
    qint64 runStartMs = 0;
    double runMin = 0;
    double runMax = 0;
    bool haveValue = false; // the last reading fits
    double lastValue = 0;
    bool awaitingMove = false; // a value was just committed; the probe has not moved yet
    double committedValue = 0;
};
