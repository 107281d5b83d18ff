#pragma once

// A meter for trying the feature without hardware, and for the tests and the gallery: the idle
// current of each tube of a cold amplifier settling over a few minutes, with a little noise, one
// tube that keeps drifting upwards, and the probe lifted for a moment whenever it moves to
// another tube. It reads DC current, or DC millivolts across a 1 Ω sense resistor.
#include "meter/meterreading.h"

#include <QList>
#include <random>

class SimulatedMeter
{
public:
    static constexpr qint64 settleMs = 50000;   // time constant of the warm-up
    static constexpr qint64 probeMoveMs = 1500; // the probe reads nothing while it moves
    static constexpr int driftingTube = 2;      // 0-based
    static constexpr double driftPctPerMinute = 1.5;
    static constexpr double noisePct = 0.15; // peak

    explicit SimulatedMeter(quint32 seed = 1);

    // Where the probe is: the tube it moves to at `timeMs`.
    void moveProbe(int tube, qint64 timeMs);
    void setQuantity(MeterQuantity quantity); // DcCurrent (default) or DcVoltage
    MeterQuantity quantity() const { return measured; }

    // The settled current of a tube without noise or drift, in mA.
    static double settledMa(int tube);
    // The noiseless current of `tube` `elapsedMs` after switch-on, in mA.
    static double warmUpMa(int tube, qint64 elapsedMs);

    // What the meter shows at `timeMs`, `elapsedMs` after the amplifier was switched on.
    MeterReading read(qint64 timeMs, qint64 elapsedMs);

private:
    std::minstd_rand noise;
    int tube = 0;
    qint64 movedAtMs = 0;
    bool moved = false;
    MeterQuantity measured = MeterQuantity::DcCurrent;
};
