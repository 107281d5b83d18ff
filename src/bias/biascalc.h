#pragma once

// The per-tube bias calculation: one bench reading in, idle current, plate dissipation and the
// share of the tube's maximum out. Pure functions on values; bad input gives an invalid result.
#include <QString>

// The numbers are stored in presets, profiles and the last session: never renumber.
enum BiasMethod : int {
    BiasProbe = 0,
    SenseResistor = 1,
    OtWindingDrop = 2,
    CathodeBias = 3,
    PanelMeter = 4,
};

// Text of the method list; empty for a value outside 0-4.
QString biasMethodLabel(int method);

struct BiasInputs {
    BiasMethod method = BiasProbe;
    double plateV = 0;  // V; under OtWindingDrop this tube's plate-pin voltage
    double probeMa = 0; // mA
    bool subtractScreen = false;
    double screenPct = 5; // % of the cathode current taken to be screen current
    // The tube's screen current as measured (the drop across its screen resistor over its value)
    // instead of screenPct: with subtractScreen, that much is taken off the cathode current.
    bool screenMeasured = false;
    double screenMa = 0; // mA
    double senseResistorOhms = 1;
    double senseMv = 0;
    bool sharedSenseR = false; // one sense resistor carries sharedTubes tubes
    double bPlusV = 0;         // V at the output transformer's centre tap
    double dcrOhms = 0;        // half-primary DC resistance
    // OtWindingDrop: the drop across the half-primary measured directly (dropV) instead of worked
    // out as bPlusV - plateV; plateV is then the shared plate voltage the dissipation is taken at.
    bool directDrop = false;
    double dropV = 0; // V
    double cathodeResistorOhms = 0;
    double cathodeV = 0;
    bool sharedCathodeR = false;
    int sharedTubes = 2; // tubes on a shared cathode or sense resistor
    double meterMa = 0;  // mA
    int meterTubes = 1;  // tubes whose total the panel meter shows
};

struct BiasResult {
    bool valid = false;
    double currentMa = 0;    // mA
    double dissipationW = 0; // W
    double pctOfMax = 0;     // % of max plate dissipation
    QString warning;         // empty, or one warning text
};

enum class BiasStatus { NoReading, Cold, Ideal, Warm, OverMax };

BiasResult computeBias(const BiasInputs& inputs, double maxPlateW);

// The warning of the winding-drop method: a drop so small that the precision of its reading decides
// the current. Empty when the drop is large enough. `directDrop`: read across the winding (on a low
// range), else taken as the difference of B+ and the plate voltage.
QString smallDropWarning(double dropV, bool directDrop);

// Rates a result against the ideal window (both edges inclusive); exactly 100 % is not over maximum.
BiasStatus classifyBias(const BiasResult& result, double idealLowPct, double idealHighPct);

// Idle current per tube at which it dissipates targetPct % of maxPlateW at plateV; 0 when plateV <= 0.
double targetCurrentMa(double targetPct, double maxPlateW, double plateV);
