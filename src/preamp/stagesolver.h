#pragma once

// Operating point and small-signal figures of one common-cathode triode voltage-amplifier stage:
// plate load from B+ to the plate, self bias through a cathode resistor, an optional bypass
// capacitor and the next stage's grid leak as the AC load. The tube follows the three-halves power
// law Ip = K · (Vpk/µ + Vgk)^1.5.
#include "preamp/triodes.h"

#include <QString>
#include <QStringList>

struct TriodeStageInput {
    TriodeSpec tube;              // one section
    double supplyV = 300;         // V, B+ at the top of the plate load
    double plateLoadOhm = 100000; // Ω
    double cathodeOhm = 1500;     // Ω
    double bypassUf = 25;         // µF, 0 = unbypassed
    double nextGridOhm = 1000000; // Ω, 0 = no following stage
};

struct TriodeStageResult {
    bool ok = false;
    QString error;             // why there is no valid solution; empty when ok
    double plateMa = 0;        // mA
    double plateV = 0;         // V, plate to cathode
    double cathodeV = 0;       // V
    double gridV = 0;          // V, grid to cathode
    double plateW = 0;         // W
    double pctOfMax = 0;       // % of the tube's maximum plate dissipation
    double gain = 0;           // ratio
    double gainDb = 0;         // dB
    double zoutOhm = 0;        // Ω
    double headroomV = 0;      // V peak
    double bypassCornerHz = 0; // Hz, 0 when unbypassed
    QStringList warnings;      // cautions about a solved stage
};

// K in mA/V^1.5, derived from the tube's typical operating point; 0 when that point is not
// conducting by the model.
double perveance(const TriodeSpec& tube);

TriodeStageResult solveTriodeStage(const TriodeStageInput& input);

// The cautions for a solved stage, in the order the editor shows them: dissipation over the
// maximum, plate voltage over the maximum, a bias too small for real signals. Each test is strict.
QStringList triodeStageWarnings(const TriodeStageResult& solved, const TriodeSpec& tube);
