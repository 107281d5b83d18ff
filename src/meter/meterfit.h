#pragma once

// Whether a meter's value may go into a tube's reading, and as what number. A reading field names
// its unit by its suffix (" mA", " mV", " V", " Ω"): a meter on the same quantity is converted
// (DC V into a mV field, µA into mA); one on another quantity, on AC, or showing overload writes
// nothing, and says why. So does a value outside the field's range of 0 to its maximum.
#include "meter/meterreading.h"

#include <QString>

struct MeterFit {
    bool fits = false;
    double value = 0; // in the field's unit, when it fits
    QString reason;   // why not, when it does not
};

// `suffix` and `maximum` are the reading field's (ReadingField::suffix, ::maximum).
MeterFit fitMeterReading(const MeterReading& reading, const QString& suffix, double maximum);
