#include "meter/metersequence.h"

#include <algorithm>
#include <cmath>

namespace {

bool withinTolerance(double low, double high, double pct)
{
    const double middle = (low + high) / 2;
    return high - low <= std::fabs(middle) * pct / 100.0;
}

} // namespace

void MeterSequence::setTubeCount(int tubes)
{
    count = std::max(0, tubes);
    if (count == 0)
        current = -1;
    else if (current < 0 || current >= count)
        current = 0;
    restartRun();
    awaitingMove = false;
}

void MeterSequence::selectTube(int tube)
{
    current = tube >= 0 && tube < count ? tube : -1;
    restartRun();
    awaitingMove = false; // the technician chose this tube: whatever the meter shows is its value
}

void MeterSequence::setTolerancePct(double pct)
{
    tolerance = std::clamp(pct, 0.01, 50.0);
    restartRun();
}

void MeterSequence::setWindowMs(qint64 ms)
{
    window = std::max<qint64>(0, ms);
}

void MeterSequence::setAutoAdvance(bool on)
{
    advancing = on;
    restartRun();
}

void MeterSequence::restartRun()
{
    running = false;
}

void MeterSequence::interrupt()
{
    restartRun();
    haveValue = false;
}

MeterStep MeterSequence::feed(const MeterFit& fit, qint64 timeMs)
{
    MeterStep step;
    if (!fit.fits || fit.value <= 0) {
        interrupt();
        awaitingMove = false; // the probe is off the tube, or the meter shows something else
        haveValue = fit.fits;
        lastValue = fit.value;
        return step;
    }
    haveValue = true;
    lastValue = fit.value;
    if (awaitingMove) {
        if (withinTolerance(std::min(committedValue, fit.value), std::max(committedValue, fit.value),
                            tolerance))
            return step;
        awaitingMove = false;
    }
    if (!running || !withinTolerance(std::min(runMin, fit.value), std::max(runMax, fit.value), tolerance)) {
        running = true;
        runStartMs = timeMs;
        runMin = runMax = fit.value;
    } else {
        runMin = std::min(runMin, fit.value);
        runMax = std::max(runMax, fit.value);
    }
    step.heldMs = timeMs - runStartMs;
    step.stable = step.heldMs >= window;
    if (step.stable && advancing && current >= 0) {
        const MeterStep done = commit(fit.value);
        step.committedTube = done.committedTube;
        step.committedValue = done.committedValue;
    }
    return step;
}

MeterStep MeterSequence::commitNow()
{
    if (!haveValue || current < 0)
        return MeterStep();
    return commit(lastValue);
}

MeterStep MeterSequence::commit(double value)
{
    MeterStep step;
    step.committedTube = current;
    step.committedValue = value;
    step.stable = true;
    current = current + 1 < count ? current + 1 : -1;
    restartRun();
    awaitingMove = true;
    committedValue = value;
    return step;
}
