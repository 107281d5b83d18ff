#include "meter/meterfit.h"

#include <cmath>

namespace {

struct FieldUnit {
    MeterQuantity quantity = MeterQuantity::Unknown;
    int exponent = 0;
    QString needs; // "DC mA"
};

FieldUnit fieldUnit(const QString& suffix)
{
    const QString unit = suffix.trimmed();
    if (unit == QLatin1String("mA"))
        return {MeterQuantity::DcCurrent, -3, QStringLiteral("DC mA")};
    if (unit == QLatin1String("A"))
        return {MeterQuantity::DcCurrent, 0, QStringLiteral("DC A")};
    if (unit == QLatin1String("mV"))
        return {MeterQuantity::DcVoltage, -3, QStringLiteral("DC mV")};
    if (unit == QLatin1String("V"))
        return {MeterQuantity::DcVoltage, 0, QStringLiteral("DC V")};
    if (unit == QStringLiteral("Ω"))
        return {MeterQuantity::Resistance, 0, QStringLiteral("Ω")};
    return {};
}

bool isCurrent(MeterQuantity q)
{
    return q == MeterQuantity::DcCurrent || q == MeterQuantity::AcCurrent;
}

bool isVoltage(MeterQuantity q)
{
    return q == MeterQuantity::DcVoltage || q == MeterQuantity::AcVoltage;
}

} // namespace

MeterFit fitMeterReading(const MeterReading& reading, const QString& suffix, double maximum)
{
    MeterFit fit;
    const FieldUnit field = fieldUnit(suffix);
    if (field.quantity == MeterQuantity::Unknown) {
        fit.reason = QStringLiteral("This reading does not take a meter value");
        return fit;
    }
    const MeterQuantity q = reading.quantity;
    if (q != field.quantity) {
        if ((q == MeterQuantity::AcVoltage && isVoltage(field.quantity)) ||
            (q == MeterQuantity::AcCurrent && isCurrent(field.quantity)))
            fit.reason = QStringLiteral("The meter is on AC; this reading needs %1").arg(field.needs);
        else if (isCurrent(q) && isVoltage(field.quantity))
            fit.reason =
                QStringLiteral("The meter measures a current; this reading needs %1").arg(field.needs);
        else if (isVoltage(q) && isCurrent(field.quantity))
            fit.reason =
                QStringLiteral("The meter measures a voltage; this reading needs %1").arg(field.needs);
        else
            fit.reason = QStringLiteral("The meter is on %1; this reading needs %2")
                             .arg(meterFunctionText(reading), field.needs);
        return fit;
    }
    if (reading.overload) {
        fit.reason = QStringLiteral("The meter shows overload (OL)");
        return fit;
    }
    const double value = reading.value / std::pow(10.0, field.exponent);
    if (!std::isfinite(value) || value < 0 || value > maximum) {
        fit.reason = QStringLiteral("%1 is outside this reading's range (0 to %2%3)")
                         .arg(meterValueText(reading), QString::number(maximum), suffix);
        return fit;
    }
    fit.fits = true;
    fit.value = value;
    return fit;
}
