#pragma once

// One value as a multimeter reports it: what it measures, the number in base units (V, A, Ω) and
// the prefix its display uses. Every meter protocol gives these; the panel shows them, the fitting
// rules (meterfit.h) decide whether one may go into a tube's reading.
#include <QString>

enum class MeterQuantity {
    Unknown,
    DcVoltage,
    AcVoltage,
    DcCurrent,
    AcCurrent,
    Resistance,
    Other, // frequency, capacitance, diode, temperature, …: shown, never committed
};

struct MeterReading {
    MeterQuantity quantity = MeterQuantity::Unknown;
    double value = 0;        // in base units (V, A, Ω); meaningless while overload is set
    int displayExponent = 0; // power of ten of the prefix the meter shows: -3 for mV and mA, -6 for µA
    bool overload = false;   // "OL" on the meter's display
    QString otherFunction;   // what the meter measures when quantity is Other, e.g. "Hz"
    qint64 timeMs = 0;       // Clock::currentMSecsSinceEpoch() when it arrived
};

// "DC V", "DC mV", "DC mA", "AC V", "Ω", "kΩ", … as the panel names the meter's function.
QString meterFunctionText(const MeterReading& reading);

// The number as the meter's display shows it, in the display's prefix, with its unit:
// "412.3 mV", "31.27 mA", "OL".
QString meterValueText(const MeterReading& reading);

// The display exponent a meter that gives no range would show for `value`: mV below 1 V, mA below
// 1 A, µA below 1 mA; 0 for everything else.
int naturalDisplayExponent(MeterQuantity quantity, double value);
