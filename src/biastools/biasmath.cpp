#include "biastools/biasmath.h"

#include <array>
#include <cmath>

namespace {

// IEC 60063 E24, normalised to one decade.
constexpr std::array<double, 24> e24Table = {
    1.0, 1.1, 1.2, 1.3, 1.5, 1.6, 1.8, 2.0, 2.2, 2.4, 2.7, 3.0,
    3.3, 3.6, 3.9, 4.3, 4.7, 5.1, 5.6, 6.2, 6.8, 7.5, 8.2, 9.1,
};

QString wholeNumber(double value)
{
    return QString::number(value, 'f', 0);
}

} // namespace

QString resistorText(double ohms)
{
    if (ohms >= 1000000)
        return QString::number(ohms / 1000000, 'g', 3) + QStringLiteral(" MΩ");
    if (ohms >= 1000)
        return QString::number(ohms / 1000, 'g', 3) + QStringLiteral(" kΩ");
    return QString::number(ohms, 'g', 3) + QStringLiteral(" Ω");
}

double nearestE24(double ohms)
{
    if (!(ohms > 0) || !std::isfinite(ohms))
        return 0;
    const int decade = static_cast<int>(std::floor(std::log(ohms) / 2.302585092994046));
    const double m = std::pow(10.0, decade);
    double best = 10 * m;
    double bestDiff = 1e18;
    // The second pass over the next decade lets a value just below a decade boundary (9.6 Ω)
    // round up to 1.0 of the next one; the strict comparison keeps the lower value on a tie.
    for (const double scale : {m, m * 10}) {
        for (const double v : e24Table) {
            const double candidate = v * scale;
            const double diff = std::fabs(candidate - ohms);
            if (diff < bestDiff) {
                best = candidate;
                bestDiff = diff;
            }
        }
    }
    return best;
}

QString cathodeResistorResult(double currentMa, double biasV, double tubes)
{
    const double totalA = currentMa / 1000 * tubes;
    const double ohms = biasV / totalA;
    const double watts = totalA * biasV;
    return QStringLiteral(
               "<b>Exact:</b> %1<br><b>Nearest E24 value:</b> %2<br><b>Dissipation in resistor:</b> "
               "%3 W — use a resistor rated ≥ %4 W<br><i>Bypass with 50–100 µF (rated above %5 V) "
               "to restore gain.</i>")
        .arg(resistorText(ohms), resistorText(nearestE24(ohms)), QString::number(watts, 'f', 2),
             wholeNumber(std::ceil(3 * watts)), wholeNumber(std::ceil(1.5 * biasV)));
}

QString biasRangeModResult(double rawSupplyV, double currentBiasV, double neededBiasV, double seriesKOhm)
{
    const double vs = rawSupplyV;
    const double vc = currentBiasV;
    const double vn = neededBiasV;
    if (vs >= 0 || vc >= 0 || vn >= 0 || vs >= vc || vs >= vn)
        return QStringLiteral("Bias voltages must be negative and smaller in magnitude than the raw supply.");

    // Divider: Vg = Vs * Rsh / (Rs + Rsh), solved for the shunt.
    const double rs = 1000 * seriesKOhm;
    const double required = vn * rs / (vs - vn);
    const double existing = rs * vc / (vs - vc);

    QString text =
        QStringLiteral("<b>Implied existing shunt:</b> %1<br><b>Required total shunt:</b> %2 "
                       "(nearest E24: %3)<br>")
            .arg(resistorText(existing), resistorText(required), resistorText(nearestE24(required)));
    if (existing > required) {
        const double parallel = 1 / (1 / required - 1 / existing);
        text += QStringLiteral("<b>Mod:</b> add %1 (E24: %2) in parallel with the existing shunt to warm the "
                               "bias up.")
                    .arg(resistorText(parallel), resistorText(nearestE24(parallel)));
    } else {
        const double series = required - existing;
        text +=
            QStringLiteral("<b>Mod:</b> add %1 (E24: %2) in series with the existing shunt (or replace it) "
                           "to cool the bias down.")
                .arg(resistorText(series), resistorText(nearestE24(series)));
    }
    text +=
        QStringLiteral("<br><i>Consider replacing part of the shunt with a pot (e.g. fixed R + trimmer) for "
                       "adjustability.</i>");
    return text;
}
