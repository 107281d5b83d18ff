#include "preamp/stagesolver.h"

#include <cmath>

static constexpr double twoPi = 6.283185307179586;
static constexpr int bisectionSteps = 80;
static constexpr double cutOffMa = 0.005; // below this the stage counts as not conducting
static constexpr double smallBiasV = 0.4; // V

double perveance(const TriodeSpec& tube)
{
    const double b = tube.typicalPlateV / tube.mu + tube.typicalGridV;
    if (!(b > 0))
        return 0;
    return tube.typicalPlateMa / std::pow(b, 1.5);
}

TriodeStageResult solveTriodeStage(const TriodeStageInput& input)
{
    TriodeStageResult r;
    const TriodeSpec& tube = input.tube;
    const double k = perveance(tube);
    const double supply = input.supplyV;
    const double rl = input.plateLoadOhm;
    const double rk = input.cathodeOhm;
    const double mu = tube.mu;
    const double rp = tube.plateResistance;

    if (!(k > 0) || !(supply > 0) || !(rl > 0)) {
        r.error = QStringLiteral("Invalid inputs");
        return r;
    }
    if (!(rk > 0)) {
        r.error = QStringLiteral("Cathode resistor required (grid-leak / fixed bias stages not modeled)");
        return r;
    }

    // The tube current lies between zero and the current with the tube shorted; bisect on it.
    double lo = 0;
    double hi = supply / (rl + rk) * 1000; // mA
    for (int step = 0; step < bisectionSteps; ++step) {
        const double mid = (lo + hi) * 0.5; // mA
        const double i = mid / 1000;        // A
        const double x = (supply - rl * i - rk * i) / mu - rk * i;
        const double model = x > 0 ? k * x * std::sqrt(x) : 0; // x^1.5, cheaper than pow
        if (model - mid > 0)
            lo = mid;
        else
            hi = mid;
    }

    const double ma = (lo + hi) * 0.5;
    const double vk = rk * ma / 1000;
    const double vpk = supply - ma / 1000 * rl - vk;
    r.plateMa = ma;
    r.plateV = vpk;
    r.cathodeV = vk;
    r.gridV = -vk;
    r.plateW = vpk * ma / 1000;
    r.pctOfMax = tube.maxPlateW > 0 ? r.plateW / tube.maxPlateW * 100 : 0;

    if (ma < cutOffMa) {
        r.error = QStringLiteral("Stage is effectively cut off - check B+, RL and Rk values");
        return r;
    }

    const double rg = input.nextGridOhm;
    const double reff = rg > 0 ? rl * rg / (rg + rl) : rl;
    if (input.bypassUf > 0) {
        r.gain = mu * reff / (reff + rp);
        r.zoutOhm = rl * rp / (rp + rl);
        const double rc = (reff + rp) / (mu + 1); // looking into the cathode
        const double rpar = rk * rc / (rc + rk);
        r.bypassCornerHz = 1 / (rpar * input.bypassUf * twoPi * 1e-6);
    } else {
        const double rku = (mu + 1) * rk;
        r.gain = mu * reff / (reff + rp + rku);
        r.zoutOhm = rl * (rku + rp) / (rku + rp + rl);
    }
    r.gainDb = 20 * std::log10(r.gain);
    r.headroomV = vk;

    r.warnings = triodeStageWarnings(r, tube);
    r.ok = true;
    return r;
}

QStringList triodeStageWarnings(const TriodeStageResult& solved, const TriodeSpec& tube)
{
    QStringList warnings;
    if (solved.pctOfMax > 100)
        warnings << QStringLiteral("Plate dissipation exceeds the tube's maximum!");
    if (solved.plateV > tube.maxPlateV)
        warnings << QStringLiteral("Plate voltage exceeds %1 V maximum").arg(tube.maxPlateV, 0, 'f', 0);
    if (solved.cathodeV < smallBiasV)
        warnings << QStringLiteral(
            "Very small bias voltage - risk of grid current / clipping on modest input signals");
    return warnings;
}
