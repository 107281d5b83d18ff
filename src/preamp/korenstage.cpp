#include "preamp/korenstage.h"

#include <cmath>

static constexpr double twoPi = 6.283185307179586;
static constexpr double cutOffMa = 0.005; // the stage solver's limit for a conducting stage

double bypassCornerHz(double mu, double rpOhm, double acLoadOhm, double cathodeOhm, double bypassUf)
{
    if (!(bypassUf > 0) || !(cathodeOhm > 0) || !(rpOhm > 0))
        return 0;
    // Gain ∝ 1 / (R0 + M / (1 + jx)) with R0 = Rac + rp, M = (µ + 1)·Rk and x = ω·Rk·C, so
    // |A/Amid|² = R0²(1 + x²) / ((R0 + M)² + R0²x²); setting that to 1/2 gives x below.
    const double r0 = acLoadOhm + rpOhm;
    const double m = (mu + 1) * cathodeOhm;
    const double excess = (r0 + m) * (r0 + m) - 2 * r0 * r0;
    if (!(excess > 0))
        return 0;
    const double x = std::sqrt(excess) / r0;
    return x / (twoPi * cathodeOhm * bypassUf * 1e-6);
}

// The current (mA) at which the model tube, held at `gridV`, meets a straight line through
// (plateV0, ma0) of slope −1/lineOhm on its plate curves.
static double currentOnLine(const KorenParams& p, double plateV0, double ma0, double lineOhm, double gridV)
{
    const double top = ma0 + plateV0 / lineOhm * 1000; // the line reaches zero plate voltage here
    auto excess = [&](double ma, double& slope) {
        const KorenPoint t = korenPoint(p, plateV0 - (ma - ma0) * lineOhm / 1000, gridV);
        slope = -t.dMaDPlate * lineOhm / 1000 - 1;
        return t.ma - ma;
    };
    return bracketedNewton(excess, 0, top, top * 1e-10);
}

// The grid-to-cathode voltage at which the model tube draws `ma` at `plateV`.
static double gridForCurrent(const KorenParams& p, double plateV, double ma)
{
    double lo = -1;
    while (korenPlateMa(p, plateV, lo) > ma && lo > -1e4)
        lo *= 2;
    auto excess = [&](double gridV, double& slope) {
        const KorenPoint t = korenPoint(p, plateV, gridV);
        slope = t.dMaDGrid;
        return t.ma - ma;
    };
    return bracketedNewton(excess, lo, 0, 1e-10);
}

KorenStageResult solveKorenStage(const TriodeStageInput& input, const KorenParams& params)
{
    KorenStageResult r;
    const TriodeSpec& tube = input.tube;
    const double supply = input.supplyV;
    const double rl = input.plateLoadOhm;
    const double rk = input.cathodeOhm;

    const bool paramsUsable =
        params.mu > 0 && params.ex > 0 && params.kg1 > 0 && params.kp > 0 && params.kvb >= 0;
    if (!paramsUsable || !(supply > 0) || !(rl > 0)) {
        r.error = QStringLiteral("Invalid inputs");
        return r;
    }
    if (!(rk > 0)) {
        r.error = QStringLiteral("Cathode resistor required (grid-leak / fixed bias stages not modeled)");
        return r;
    }

    // The tube's current falls as the trial current rises (less plate voltage, more bias), so the
    // operating point is the one crossing between zero and the current with the tube shorted.
    const double shortedMa = supply / (rl + rk) * 1000;
    auto excess = [&](double trialMa, double& slope) {
        const KorenPoint t = korenPoint(params, supply - trialMa * (rl + rk) / 1000, -trialMa * rk / 1000);
        slope = -(t.dMaDPlate * (rl + rk) + t.dMaDGrid * rk) / 1000 - 1;
        return t.ma - trialMa;
    };
    const double ma = bracketedNewton(excess, 0, shortedMa, shortedMa * 1e-13);
    const double vk = ma * rk / 1000;
    const double vpk = supply - ma * (rl + rk) / 1000;
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

    r.tube = korenSmallSignal(params, vpk, -vk);
    const double mu = r.tube.mu;
    const double rp = r.tube.rpOhm;
    const double rg = input.nextGridOhm;
    const double reff = rg > 0 ? rl * rg / (rg + rl) : rl;
    const bool bypassed = input.bypassUf > 0;
    r.acLoadOhm = reff;
    r.gainBypassed = mu * reff / (reff + rp);
    r.gainUnbypassed = mu * reff / (reff + rp + (mu + 1) * rk);
    r.gain = bypassed ? r.gainBypassed : r.gainUnbypassed;
    r.gainDb = 20 * std::log10(r.gain);
    r.zoutOhm = bypassed ? rl * rp / (rp + rl) : rl * (rp + (mu + 1) * rk) / (rp + (mu + 1) * rk + rl);
    r.bypassCornerHz = bypassCornerHz(mu, rp, reff, rk, input.bypassUf);

    // Both limits along the AC load line. The grid sits at the input voltage; the cathode stays at
    // its idle voltage when bypassed and follows the current through Rk when not.
    r.acLineOhm = bypassed ? reff : reff + rk;
    auto cathodeAt = [&](double currentMa) { return bypassed ? vk : currentMa * rk / 1000; };

    if (-vk >= gridCurrentOnsetV) {
        // The grid is already at the onset of grid current at idle.
        r.plusPlateMa = ma;
        r.plusPlateV = vpk;
        r.headroomPlusV = 0;
    } else {
        r.plusPlateMa = currentOnLine(params, vpk, ma, r.acLineOhm, gridCurrentOnsetV);
        r.plusPlateV = vpk - (r.plusPlateMa - ma) * r.acLineOhm / 1000;
        r.headroomPlusV = gridCurrentOnsetV + cathodeAt(r.plusPlateMa);
    }
    r.minusPlateMa = cutOffFractionOfIdle * ma;
    r.minusPlateV = vpk + (ma - r.minusPlateMa) * r.acLineOhm / 1000;
    r.headroomMinusV = gridForCurrent(params, r.minusPlateV, r.minusPlateMa) + cathodeAt(r.minusPlateMa);

    TriodeStageResult forWarnings;
    forWarnings.pctOfMax = r.pctOfMax;
    forWarnings.plateV = r.plateV;
    forWarnings.cathodeV = r.cathodeV;
    r.warnings = triodeStageWarnings(forWarnings, tube);
    r.ok = true;
    return r;
}
