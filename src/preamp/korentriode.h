#pragma once

// Norman Koren's triode model: the plate current of one triode section as a smooth function of the
// plate-to-cathode and grid-to-cathode voltages, with a parameter set per tube type. Unlike the
// three-halves power law with the datasheet µ and rp, it gives the tube's own µ, gm and rp at any
// operating point, so a stage biased hotter or colder shows the gain it really has.
//
//   E1 = Vpk / kP · ln(1 + exp(kP · (1/µ + Vgk / sqrt(kVB + Vpk²))))
//   Ip = 2 · E1^ex / kG1            (A, for E1 > 0; 0 otherwise)
#include <QString>
#include <cmath>

struct KorenParams {
    double mu = 0;  // µ of the model (not the datasheet's µ at one point)
    double ex = 0;  // exponent
    double kg1 = 0; // V^ex/A
    double kp = 0;  // V
    double kvb = 0; // V²
};

// The small-signal constants of the tube at one point of its plate curves.
struct TriodeSmallSignal {
    double gmMaPerV = 0; // mA/V, ∂Ip/∂Vgk
    double rpOhm = 0;    // Ω, 1 / (∂Ip/∂Vpk); 0 when the tube does not conduct
    double mu = 0;       // gm · rp
};

// The parameter set for a row of the preamp triode catalogue, by its full name; null for a triode
// without published or documented parameters, which keeps the datasheet model only.
const KorenParams* korenParams(const QString& triodeName);

// Plate current in mA; 0 for a plate at or below the cathode.
double korenPlateMa(const KorenParams& p, double plateV, double gridV);

// Derivatives taken analytically from the model equation; all zero where the tube does not conduct.
TriodeSmallSignal korenSmallSignal(const KorenParams& p, double plateV, double gridV);

// The current and both of its slopes from one evaluation, for the solvers' Newton steps.
struct KorenPoint {
    double ma = 0;        // mA
    double dMaDGrid = 0;  // mA/V
    double dMaDPlate = 0; // mA/V
};
KorenPoint korenPoint(const KorenParams& p, double plateV, double gridV);

// The root of an increasing or decreasing function on [lo, hi], whose sign differs at the two ends,
// by Newton steps kept inside the bracket (a bisection step wherever Newton would leave it).
// `f(x, slope)` returns the value and sets the slope.
template <typename F> double bracketedNewton(F f, double lo, double hi, double tolerance)
{
    double slope = 0;
    const bool risingAtLo = f(lo, slope) < 0;
    double x = (lo + hi) / 2;
    for (int step = 0; step < 60; ++step) {
        const double value = f(x, slope);
        if (value == 0)
            return x;
        if ((value < 0) == risingAtLo)
            lo = x;
        else
            hi = x;
        double next = slope != 0 ? x - value / slope : (lo + hi) / 2;
        if (!(next > lo && next < hi))
            next = (lo + hi) / 2;
        const bool done = std::abs(next - x) < tolerance;
        x = next;
        if (done)
            break;
    }
    return x;
}
