#include "meter/meterreading.h"

#include <cmath>

namespace {

QString prefix(int exponent)
{
    switch (exponent) {
    case -9:
        return QStringLiteral("n");
    case -6:
        return QStringLiteral("µ");
    case -3:
        return QStringLiteral("m");
    case 3:
        return QStringLiteral("k");
    case 6:
        return QStringLiteral("M");
    default:
        return QString();
    }
}

QString baseUnit(const MeterReading& reading)
{
    switch (reading.quantity) {
    case MeterQuantity::DcVoltage:
    case MeterQuantity::AcVoltage:
        return QStringLiteral("V");
    case MeterQuantity::DcCurrent:
    case MeterQuantity::AcCurrent:
        return QStringLiteral("A");
    case MeterQuantity::Resistance:
        return QStringLiteral("Ω");
    case MeterQuantity::Other:
        return reading.otherFunction;
    case MeterQuantity::Unknown:
        break;
    }
    return QString();
}

} // namespace

QString meterFunctionText(const MeterReading& reading)
{
    const QString unit = prefix(reading.displayExponent) + baseUnit(reading);
    switch (reading.quantity) {
    case MeterQuantity::DcVoltage:
    case MeterQuantity::DcCurrent:
        return QStringLiteral("DC ") + unit;
    case MeterQuantity::AcVoltage:
    case MeterQuantity::AcCurrent:
        return QStringLiteral("AC ") + unit;
    case MeterQuantity::Resistance:
    case MeterQuantity::Other:
        return unit;
    case MeterQuantity::Unknown:
        break;
    }
    return QStringLiteral("?");
}

QString meterValueText(const MeterReading& reading)
{
    if (reading.overload)
        return QStringLiteral("OL");
    const double shown = reading.value / std::pow(10.0, reading.displayExponent);
    // Five significant digits, as a 22 000-count display has them.
    const double magnitude = std::fabs(shown);
    int decimals = 4;
    if (magnitude >= 10000)
        decimals = 0;
    else if (magnitude >= 1000)
        decimals = 1;
    else if (magnitude >= 100)
        decimals = 2;
    else if (magnitude >= 10)
        decimals = 3;
    QString text = QString::number(shown, 'f', decimals);
    const QString unit = prefix(reading.displayExponent) + baseUnit(reading);
    if (!unit.isEmpty())
        text += QLatin1Char(' ') + unit;
    return text;
}

int naturalDisplayExponent(MeterQuantity quantity, double value)
{
    const double magnitude = std::fabs(value);
    switch (quantity) {
    case MeterQuantity::DcVoltage:
    case MeterQuantity::AcVoltage:
        return magnitude < 1 ? -3 : 0;
    case MeterQuantity::DcCurrent:
    case MeterQuantity::AcCurrent:
        if (magnitude < 1e-3)
            return -6;
        return magnitude < 1 ? -3 : 0;
    default:
        return 0;
    }
}
