#include "bias/biascalc.h"

#include "bias/biasmethods.h"

#include <limits>

static const char* const overMaxWarning = "Over maximum plate dissipation - red-plating risk!";

QString biasMethodLabel(int method)
{
    const BiasMethodInfo* info = findBiasMethod(method);
    return info ? info->label : QString();
}

// The plate current of a cathode current; NaN (no reading) when a measured screen current is asked
// for and not there yet.
static double withoutScreen(const BiasInputs& in, double cathodeMa)
{
    if (!in.subtractScreen)
        return cathodeMa;
    if (in.screenMeasured)
        return in.screenMa > 0 ? cathodeMa - in.screenMa : std::numeric_limits<double>::quiet_NaN();
    return (1.0 - in.screenPct / 100.0) * cathodeMa;
}

// Two readings of hundreds of volts are each good to about a volt (one count on a 1000 V range, or
// the mains drifting between them); a drop read on its own on a low range is good to 0.01 V.
static constexpr double smallDifferenceV = 10;
static constexpr double smallDirectDropV = 1;

QString smallDropWarning(double dropV, bool directDrop)
{
    if (!(dropV > 0))
        return QString();
    if (directDrop) {
        if (dropV >= smallDirectDropV)
            return QString();
        return QStringLiteral("Only %1 V across the half-primary: read it on a low range to 0.01 V or "
                              "finer (0.01 V is %2 % of it).")
            .arg(QString::number(dropV, 'f', 2), QString::number(1.0 / dropV, 'f', 0));
    }
    if (dropV >= smallDifferenceV)
        return QString();
    return QStringLiteral("Only %1 V between B+ and plate: 1 V off in either reading is %2 % of the "
                          "current. Measure the drop across the half-primary on a low range, to 0.01 V.")
        .arg(QString::number(dropV, 'f', 1), QString::number(100.0 / dropV, 'f', 0));
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
    case OtWindingDrop: {
        // The winding carries plate current only: no screen subtraction.
        const double drop = in.directDrop ? in.dropV : in.bPlusV - in.plateV;
        if (!(in.directDrop || in.bPlusV > 0) || !(in.dcrOhms > 0 && drop > 0 && in.plateV > 0))
            return false;
        i = drop / in.dcrOhms * 1000.0;
        r.warning = smallDropWarning(drop, in.directDrop);
        break;
    }
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
