#pragma once

// The common-cathode stage of the stage solver, solved with Koren's triode model instead of the
// datasheet's µ and rp: the operating point where the model's plate current meets the DC load line
// and the cathode resistor's bias, µ, gm and rp at that point, the gain with and without the bypass
// capacitor, the input swing the stage takes before the grid draws current or the plate current
// nearly stops (two numbers, because the two limits differ), and the −3 dB corner of the bypass.
#include "preamp/korentriode.h"
#include "preamp/stagesolver.h"

#include <QString>
#include <QStringList>

// Grid-to-cathode voltage at which grid current sets in, and the fraction of the idle current at
// which the stage counts as cut off, for the two headroom limits.
inline constexpr double gridCurrentOnsetV = -0.5; // V
inline constexpr double cutOffFractionOfIdle = 0.05;

struct KorenStageResult {
    bool ok = false;
    QString error;             // the stage solver's error texts; empty when ok
    double plateMa = 0;        // mA, idle
    double plateV = 0;         // V, plate to cathode
    double cathodeV = 0;       // V
    double gridV = 0;          // V, grid to cathode
    double plateW = 0;         // W
    double pctOfMax = 0;       // % of the tube's maximum plate dissipation
    TriodeSmallSignal tube;    // µ, gm and rp of the model at the operating point
    double acLoadOhm = 0;      // Ω, plate load in parallel with the next grid
    double acLineOhm = 0;      // Ω, slope of the AC load line in plate-to-cathode volts: the AC
                               // load, plus Rk when the cathode follows the signal (unbypassed)
    double gainBypassed = 0;   // ratio
    double gainUnbypassed = 0; // ratio
    double gain = 0;           // ratio, of the stage as built (bypassed when it has a capacitor)
    double gainDb = 0;         // dB
    double zoutOhm = 0;        // Ω
    double headroomPlusV = 0;  // V peak input, positive: until the grid reaches gridCurrentOnsetV
    double headroomMinusV = 0; // V peak input, negative: until the plate current falls to the
                               // cut-off fraction of idle
    double plusPlateV = 0;     // V and mA where the positive limit lies on the AC load line
    double plusPlateMa = 0;
    double minusPlateV = 0; // V and mA where the negative limit lies on the AC load line
    double minusPlateMa = 0;
    double bypassCornerHz = 0; // Hz, −3 dB point of the bypassed stage; 0 when there is none
    QStringList warnings;      // the stage solver's cautions, for this operating point
};

// The frequency at which the gain of a bypassed stage has fallen 3 dB below its mid-band value,
// from the cathode impedance Rk ∥ C: 0 when there is no capacitor or when the unbypassed gain is
// itself within 3 dB of the bypassed one (a shallow shelf never reaches −3 dB).
double bypassCornerHz(double mu, double rpOhm, double acLoadOhm, double cathodeOhm, double bypassUf);

KorenStageResult solveKorenStage(const TriodeStageInput& input, const KorenParams& params);
