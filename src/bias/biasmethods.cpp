#include "bias/biasmethods.h"

#include <algorithm>
#include <cmath>

namespace {

ReadingField field(const char* label, const char* suffix, int decimals, double step, double maximum,
                   double benchMaximum)
{
    ReadingField f;
    f.label = QString::fromUtf8(label);
    f.suffix = QString::fromUtf8(suffix);
    f.decimals = decimals;
    f.step = step;
    f.maximum = maximum;
    f.benchMaximum = benchMaximum;
    return f;
}

struct Uses {
    bool plateV;
    const char* plateVLabel;
    bool bPlusV;
    bool sense;
    bool cathodeR;
    bool screen;
    bool meterTotal;
};

BiasMethodInfo method(int value, const char* label, const ReadingField& first, const Uses& uses)
{
    BiasMethodInfo m;
    m.method = value;
    m.label = QString::fromUtf8(label);
    m.first = first;
    m.usesPlateV = uses.plateV;
    m.plateVLabel = QString::fromUtf8(uses.plateVLabel);
    m.usesBPlusV = uses.bPlusV;
    m.usesSenseResistor = uses.sense;
    m.usesCathodeResistor = uses.cathodeR;
    m.usesSubtractScreen = uses.screen;
    m.usesMeterReadsTotal = uses.meterTotal;
    return m;
}

QList<BiasMethodInfo> buildBiasMethods()
{
    // clang-format off
    // max: what a file's value is held to; bench: the most a meter on the bench plausibly shows.
    //                                 label               suffix dec step max   bench
    const ReadingField probe    = field("Cathode current",  " mA", 1, 0.5, 999,  500);
    const ReadingField sense    = field("V across sense R", " mV", 1, 5,   9999, 5000);
    const ReadingField plate    = field("Plate voltage",    " V",  1, 1,   5000, 5000);
    const ReadingField cathode  = field("Cathode voltage",  " V",  2, 0.5, 500,  200);
    const ReadingField meter    = field("Meter reading",    " mA", 0, 5,   2000, 2000);
    // Uses: {shared plate voltage, its label, B+, sense R, cathode R (and pair), screen, meter total}
    QList<BiasMethodInfo> rows = {
        method(BiasProbe,     "Bias probe (cathode current)", probe,   {true,  "Plate voltage",      false, false, false, true,  false}),
        method(SenseResistor, "Cathode sense resistor",       sense,   {true,  "Plate voltage",      false, true,  false, true,  false}),
        method(OtWindingDrop, "OT winding voltage drop",      plate,   {false, "Plate voltage",      true,  false, false, false, false}),
        method(CathodeBias,   "Cathode bias (self bias)",     cathode, {true,  "Plate-to-cathode V", false, false, true,  true,  false}),
        method(PanelMeter,    "Panel meter (plate current)",  meter,   {true,  "Idle HV (no load)" , false, false, false, false, true}),
    };
    // clang-format on
    rows[SenseResistor].usesSharedResistor = true;
    rows[CathodeBias].usesSharedResistor = true;
    rows[OtWindingDrop].hasSecond = true;
    rows[OtWindingDrop].second = field("Half-primary DCR", " Ω", 1, 1, 999, 999);
    return rows;
}

SharedField shared(const char* label, const char* suffix, double minimum, double maximum, int decimals)
{
    SharedField f;
    f.label = QString::fromUtf8(label);
    f.suffix = QString::fromUtf8(suffix);
    f.minimum = minimum;
    f.maximum = maximum;
    f.decimals = decimals;
    return f;
}

} // namespace

const QList<BiasMethodInfo>& biasMethods()
{
    static const QList<BiasMethodInfo> rows = buildBiasMethods();
    return rows;
}

const BiasMethodInfo* findBiasMethod(int method)
{
    const QList<BiasMethodInfo>& rows = biasMethods();
    return method >= 0 && method < rows.size() ? &rows.at(method) : nullptr;
}

ReadingField hiddenSecondReading()
{
    // A new card's fields start at 0-100000 with one decimal; the method then narrows the first.
    return field("", "", 1, 1, 100000, 100000);
}

ReadingField firstReadingField(int method)
{
    const BiasMethodInfo* info = findBiasMethod(method);
    return info ? info->first : hiddenSecondReading();
}

ReadingField secondReadingField(int method)
{
    const BiasMethodInfo* info = findBiasMethod(method);
    return info && info->hasSecond ? info->second : hiddenSecondReading();
}

double conformToField(double value, double minimum, double maximum, int decimals)
{
    if (!std::isfinite(value))
        return minimum;
    // QDoubleSpinBox rounds through its own fixed-point text; doing the same keeps every value the
    // model holds equal to what such a field would show.
    const double rounded = QString::number(value, 'f', decimals).toDouble();
    return std::clamp(rounded, minimum, maximum);
}

double conformReading(const ReadingField& field, double value)
{
    return conformToField(value, 0, field.maximum, field.decimals);
}

SharedField plateVField()
{
    return shared("Plate voltage", " V", 0, 5000, 0);
}

SharedField bPlusField()
{
    return shared("B+ (center tap)", " V", 0, 5000, 0);
}

SharedField senseResistorField()
{
    // A measured value: 15.6 Ω networks and 1 Ω resistors are read to the milliohm.
    return shared("Sense resistor", " Ω", 0.001, 1000, 3);
}

SharedField cathodeResistorField()
{
    return shared("Cathode resistor", " Ω", 1, 5000, 0);
}

SharedField customMaxWField()
{
    return shared("Max dissipation", " W", 1, 300, 2);
}

SharedField meterTotalField()
{
    return shared("Meter total", " mA", 0, 2000, 0);
}

ReadingField firstReadingField(int method, const SharedMeasurements& shared)
{
    if (method == OtWindingDrop && shared.otDropDirect)
        return field("Drop across half-primary", " V", 2, 0.01, 500, 500);
    return firstReadingField(method);
}

ReadingField secondReadingField(int method, const SharedMeasurements& shared)
{
    if (method == SenseResistor && shared.senseRPerTube)
        return field("Own sense R", " Ω", 3, 0.001, 1000, 1000);
    return secondReadingField(method);
}

bool showsFirstReading(int method, const SharedMeasurements& shared)
{
    return !(method == PanelMeter && shared.meterReadsTotal);
}

bool showsSecondReading(int method, const SharedMeasurements& shared)
{
    const BiasMethodInfo* info = findBiasMethod(method);
    return (info && info->hasSecond) || (method == SenseResistor && shared.senseRPerTube);
}

bool usesSharedPlateV(int method, const SharedMeasurements& shared)
{
    const BiasMethodInfo* info = findBiasMethod(method);
    return !info || info->usesPlateV || (method == OtWindingDrop && shared.otDropDirect);
}

ReadingField screenDropField()
{
    return field("Screen R drop", " V", 2, 0.1, 500, 500);
}

ReadingField screenResistorField()
{
    return field("Screen resistor", " Ω", 0, 10, 100000, 100000);
}

bool screenMeasuredPerTube(int method, const SharedMeasurements& shared)
{
    const BiasMethodInfo* info = findBiasMethod(method);
    return info && info->usesSubtractScreen && shared.subtractScreen && shared.screenMeasured;
}

double screenCurrentMa(double dropV, double ohms)
{
    return dropV > 0 && ohms > 0 ? dropV / ohms * 1000.0 : 0;
}

QString sharedResistorText(int tubes)
{
    return QStringLiteral("Resistor shared by %1 tubes").arg(tubes);
}

bool resistorShared(int method, const SharedMeasurements& shared, int tubeCount)
{
    if (tubeCount < 2)
        return false;
    if (method == CathodeBias)
        return shared.sharedCathodeR;
    if (method == SenseResistor)
        return shared.sharedSenseR && !shared.senseRPerTube;
    return false;
}

bool meterSharesTotal(int method, const SharedMeasurements& shared, int tubeCount)
{
    return method == PanelMeter && shared.meterReadsTotal && tubeCount > 1;
}

QString subtractScreenText(double screenPct)
{
    return QStringLiteral("Subtract screen current (~%1 %)").arg(screenPct, 0, 'g', 3);
}

QString subtractScreenToolTip(double screenPct)
{
    return QStringLiteral("Cathode current includes screen current. Enable to estimate true plate "
                          "current as %1% of the cathode reading.")
        .arg(100 - screenPct, 0, 'g', 3);
}

QString meterReadsTotalText()
{
    return QStringLiteral("Meter reads TOTAL (all tubes)");
}

QString senseRPerTubeText()
{
    return QStringLiteral("Each tube has its own resistor");
}

QString screenMeasuredText()
{
    return QStringLiteral("Measured screen current per tube");
}

QString otDropEntryText(bool direct)
{
    return direct ? QStringLiteral("Drop read directly (accurate)")
                  : QStringLiteral("B+ minus plate voltage");
}

BiasInputs biasInputsFor(int method, const SharedMeasurements& shared, int tubeCount, double meas1,
                         double meas2, double screenDropV, double screenOhms)
{
    BiasInputs in;
    in.method = static_cast<BiasMethod>(method);
    in.subtractScreen = shared.subtractScreen;
    in.screenPct = shared.screenPct;
    if (screenMeasuredPerTube(method, shared)) {
        in.screenMeasured = true;
        in.screenMa = screenCurrentMa(screenDropV, screenOhms);
    }
    switch (method) {
    case BiasProbe:
        in.plateV = shared.plateV;
        in.probeMa = meas1;
        break;
    case SenseResistor:
        in.plateV = shared.plateV;
        // A tube's own measured resistor, where it has one typed.
        in.senseResistorOhms = shared.senseRPerTube && meas2 > 0 ? meas2 : shared.senseResistorOhms;
        in.senseMv = meas1;
        in.sharedSenseR = resistorShared(method, shared, tubeCount);
        in.sharedTubes = shared.sharedTubes;
        break;
    case OtWindingDrop:
        if (shared.otDropDirect) {
            in.directDrop = true;
            in.dropV = meas1; // read across this tube's half-primary
            in.plateV = shared.plateV;
        } else {
            in.bPlusV = shared.bPlusV;
            in.plateV = meas1; // this tube's own plate-pin voltage
        }
        in.dcrOhms = meas2;
        break;
    case CathodeBias:
        in.plateV = shared.plateV;
        in.cathodeResistorOhms = shared.cathodeResistorOhms;
        in.sharedCathodeR = resistorShared(method, shared, tubeCount);
        in.sharedTubes = shared.sharedTubes;
        in.cathodeV = meas1;
        break;
    case PanelMeter:
        in.plateV = shared.plateV;
        // Read as the total, the one reading of the amplifier is shared out; else each tube's own.
        in.meterTubes = shared.meterReadsTotal ? tubeCount : 1;
        in.meterMa = shared.meterReadsTotal ? shared.meterTotalMa : meas1;
        break;
    default:
        break;
    }
    return in;
}
