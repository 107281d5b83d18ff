#include "bias/biascalc.h"

#include "bias/biasmethods.h"

static const char* const lowDcrWarning = "Winding resistance is very low - small meter errors become large "
                                         "current errors. Double-check your DCR measurement.";
static const char* const overMaxWarning = "Over maximum plate dissipation - red-plating risk!";

QString biasMethodLabel(int method)
{
    const BiasMethodInfo* info = findBiasMethod(method);
    return info ? info->label : QString();
}

static double withoutScreen(const BiasInputs& in, double cathodeMa)
{
    return in.subtractScreen ? (1.0 - in.screenPct / 100.0) * cathodeMa : cathodeMa;
}

// Works out the plate current (mA) and the plate voltage the dissipation is taken at. Returns false
// when the readings are not enough; a warning set on the way stays on the result.
static bool plateCurrent(const BiasInputs& in, BiasResult& r, double& currentMa, double& volts)
{
    double i = 0;
    switch (in.method) {
    case BiasProbe:
        if (!(in.plateV > 0))
            return false;
        i = in.probeMa;
        if (!(i > 0))
            return false;
        i = withoutScreen(in, i);
        break;
    case SenseResistor:
        if (!(in.plateV > 0 && in.senseResistorOhms > 0 && in.senseMv > 0))
            return false;
        i = in.senseMv / in.senseResistorOhms; // mV / Ω = mA
        if (in.sharedSenseR && in.sharedTubes > 1)
            i = i / in.sharedTubes;
        i = withoutScreen(in, i);
        break;
    case OtWindingDrop:
        if (!(in.bPlusV > 0 && in.dcrOhms > 0 && in.bPlusV - in.plateV > 0))
            return false;
        i = (in.bPlusV - in.plateV) / in.dcrOhms * 1000.0;
        // Set before the remaining checks so it also accompanies a reading that is not complete yet.
        if (in.dcrOhms < 25)
            r.warning = QString::fromUtf8(lowDcrWarning);
        // The winding carries plate current only: no screen subtraction.
        if (!(in.plateV > 0))
            return false;
        break;
    case CathodeBias:
        if (!(in.cathodeResistorOhms > 0 && in.cathodeV > 0))
            return false;
        i = in.cathodeV / in.cathodeResistorOhms * 1000.0;
        if (in.sharedCathodeR && in.sharedTubes > 1)
            i = i / in.sharedTubes;
        i = withoutScreen(in, i);
        if (!(in.plateV > 0))
            return false;
        break;
    case PanelMeter:
        if (!(in.plateV > 0 && in.meterMa > 0))
            return false;
        i = in.meterTubes > 1 ? in.meterMa / in.meterTubes : in.meterMa;
        break;
    default:
        return false;
    }
    if (!(i > 0))
        return false;
    currentMa = i;
    volts = in.plateV;
    return true;
}

BiasResult computeBias(const BiasInputs& inputs, double maxPlateW)
{
    BiasResult r;
    if (!(maxPlateW > 0))
        return r;
    double currentMa = 0;
    double volts = 0;
    if (!plateCurrent(inputs, r, currentMa, volts))
        return r;
    r.valid = true;
    r.currentMa = currentMa;
    r.dissipationW = volts * currentMa / 1000.0;
    r.pctOfMax = r.dissipationW / maxPlateW * 100.0;
    if (r.pctOfMax > 100 && r.warning.isEmpty())
        r.warning = QString::fromUtf8(overMaxWarning);
    return r;
}

BiasStatus classifyBias(const BiasResult& result, double idealLowPct, double idealHighPct)
{
    if (!result.valid)
        return BiasStatus::NoReading;
    if (result.pctOfMax > 100)
        return BiasStatus::OverMax;
    if (result.pctOfMax > idealHighPct)
        return BiasStatus::Warm;
    if (result.pctOfMax >= idealLowPct)
        return BiasStatus::Ideal;
    return BiasStatus::Cold;
}

double targetCurrentMa(double targetPct, double maxPlateW, double plateV)
{
    if (plateV <= 0)
        return 0;
    return targetPct / 100.0 * maxPlateW / plateV * 1000.0;
}
