#include "biastools/biasmath.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// IEC 60063 E24, normalised to one decade.
constexpr std::array<double, 24> e24Table = {
    1.0, 1.1, 1.2, 1.3, 1.5, 1.6, 1.8, 2.0, 2.2, 2.4, 2.7, 3.0,
    3.3, 3.6, 3.9, 4.3, 4.7, 5.1, 5.6, 6.2, 6.8, 7.5, 8.2, 9.1,
};

// IEC 60063 E12, normalised to one decade.
constexpr std::array<double, 12> e12Table = {1.0, 1.2, 1.5, 1.8, 2.2, 2.7, 3.3, 3.9, 4.7, 5.6, 6.8, 8.2};

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

QString resistorSeriesName(ResistorSeries series)
{
    return series == ResistorSeries::E12 ? QStringLiteral("E12") : QStringLiteral("E24");
}

double nextLargerInSeries(double ohms, ResistorSeries series)
{
    if (!(ohms > 0) || !std::isfinite(ohms))
        return 0;
    const double* table = series == ResistorSeries::E12 ? e12Table.data() : e24Table.data();
    const size_t size = series == ResistorSeries::E12 ? e12Table.size() : e24Table.size();
    int decade = static_cast<int>(std::floor(std::log10(ohms)));
    // A value of the series itself (within rounding of the arithmetic) is its own answer.
    const double tolerance = ohms * 1e-9;
    for (int d = decade - 1; d <= decade + 1; ++d) {
        const double m = std::pow(10.0, d);
        for (size_t i = 0; i < size; ++i) {
            if (table[i] * m >= ohms - tolerance)
                return table[i] * m;
        }
    }
    return std::pow(10.0, decade + 2);
}

CathodeResistorAnswer cathodeResistor(const CathodeResistorJob& job)
{
    CathodeResistorAnswer answer;
    const double screen = std::clamp(job.screenPct, 0.0, 50.0);
    answer.cathodeMa = job.plateMa / (1 - screen / 100);
    const double totalA = answer.cathodeMa / 1000 * job.tubes;
    answer.exactOhms = job.biasV / totalA;
    answer.chosenOhms = nextLargerInSeries(answer.exactOhms, job.series);
    answer.watts = totalA * job.biasV;
    return answer;
}

QString cathodeResistorResult(const CathodeResistorJob& job)
{
    const CathodeResistorAnswer a = cathodeResistor(job);
    const QString screen = job.screenPct > 0
                               ? QStringLiteral("%1 mA plate + %2% screen")
                                     .arg(QString::number(job.plateMa, 'g', 4),
                                          QString::number(std::clamp(job.screenPct, 0.0, 50.0), 'g', 3))
                               : QStringLiteral("no screen current");
    return QStringLiteral(
               "<b>Cathode current per tube:</b> %1 mA (%2)<br><b>Exact:</b> %3<br><b>Next larger %4 "
               "value:</b> %5 — rounded up, towards the colder bias<br><b>Dissipation in resistor:</b> "
               "%6 W — use a resistor rated ≥ %7 W<br><i>Bypass with 50–100 µF (rated above %8 V) "
               "to restore gain.</i>")
        .arg(QString::number(a.cathodeMa, 'f', 1), screen, resistorText(a.exactOhms),
             resistorSeriesName(job.series), resistorText(a.chosenOhms), QString::number(a.watts, 'f', 2),
             wholeNumber(std::ceil(3 * a.watts)), wholeNumber(std::ceil(1.5 * job.biasV)));
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
