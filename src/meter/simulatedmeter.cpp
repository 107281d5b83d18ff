#include "meter/simulatedmeter.h"

#include <cmath>

SimulatedMeter::SimulatedMeter(quint32 seed) : noise(seed) {}

void SimulatedMeter::moveProbe(int toTube, qint64 timeMs)
{
    if (toTube == tube)
        return;
    tube = toTube;
    movedAtMs = timeMs;
    moved = true;
}

void SimulatedMeter::setQuantity(MeterQuantity quantity)
{
    measured = quantity == MeterQuantity::DcVoltage ? MeterQuantity::DcVoltage : MeterQuantity::DcCurrent;
}

double SimulatedMeter::settledMa(int tube)
{
    // Four tubes of one matched-ish set, repeated for a larger amplifier.
    static const double settled[] = {34.2, 35.6, 33.1, 36.0};
    return settled[((tube % 4) + 4) % 4];
}

double SimulatedMeter::warmUpMa(int tube, qint64 elapsedMs)
{
    // From cold the cathode draws little; it comes up to its idle current exponentially.
    const double t = double(qMax<qint64>(0, elapsedMs));
    double ma = settledMa(tube) * (1.0 - 0.85 * std::exp(-t / double(settleMs)));
    if (tube == driftingTube)
        ma *= 1.0 + driftPctPerMinute / 100.0 * t / 60000.0;
    return ma;
}

MeterReading SimulatedMeter::read(qint64 timeMs, qint64 elapsedMs)
{
    MeterReading r;
    r.quantity = measured;
    r.timeMs = timeMs;
    double ma = 0;
    if (!moved || timeMs - movedAtMs >= probeMoveMs) {
        std::uniform_real_distribution<double> jitter(-noisePct / 100.0, noisePct / 100.0);
        ma = warmUpMa(tube, elapsedMs) * (1.0 + jitter(noise));
    }
    // mA as A, or as the volts across 1 Ω.
    r.value = std::round(ma * 100.0) / 100.0 / 1000.0;
    r.displayExponent = -3;
    return r;
}
