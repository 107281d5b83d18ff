#include "bench/benchsession.h"

#include "catalog/ampclasses.h"
#include "catalog/presets.h"
#include "catalog/tubes.h"

#include <QUndoStack>
#include <algorithm>
#include <cmath>

namespace {

double conformShared(const SharedField& field, double value)
{
    return conformToField(value, field.minimum, field.maximum, field.decimals);
}

int conformTubeCount(int count)
{
    return std::clamp(count, minTubeCount, maxTubeCount);
}

// Tubes on a shared resistor: at least a pair, at most every tube of the amplifier.
int conformSharedTubes(int tubes, int tubeCount)
{
    return std::clamp(tubes, tubesOnSharedResistor, std::max(tubesOnSharedResistor, tubeCount));
}

// A target from a file or a class as the slider takes it: within its range, then truncated. The
// range comes first, since converting a huge double to int is undefined.
int conformTarget(double pct)
{
    return int(std::clamp(pct, double(minTargetPct), double(maxTargetPct)));
}

// Only an untouched field takes the tube's typical voltage: a measured value always wins.
void fillPlateVoltage(BenchSetup& setup)
{
    const TubeSpec* tube = findTube(setup.tube);
    if (tube && tube->typicalPlateV > 0 && setup.shared.plateV == 0)
        setup.shared.plateV = conformShared(plateVField(), tube->typicalPlateV);
}

// The screen share in use: the tube's own unless a file says which one it was saved with. A triode
// has no screen, whatever the file says.
void fitScreenShare(BenchSetup& setup, const std::optional<double>& fromFile)
{
    const TubeSpec* tube = findTube(setup.tube);
    if (tube && tube->triode)
        setup.shared.screenPct = 0;
    else if (fromFile && std::isfinite(*fromFile))
        setup.shared.screenPct = std::clamp(*fromFile, 0.0, 50.0);
    else if (tube)
        setup.shared.screenPct = tube->screenPct;
}

// Where the job keeps a setup's readings: under its method, and for the winding method's directly
// read drop under a key of its own, so a drop is never shown as a plate voltage or the other way.
constexpr int directDropReadings = 100 + OtWindingDrop;
int readingsKey(const BenchSetup& setup)
{
    return setup.method == OtWindingDrop && setup.shared.otDropDirect ? directDropReadings : setup.method;
}

TubeReading conformReadings(const BenchSetup& setup, const TubeReading& reading)
{
    TubeReading r = reading;
    r.meas1 = conformReading(firstReadingField(setup.method, setup.shared), reading.meas1);
    r.meas2 = conformReading(secondReadingField(setup.method, setup.shared), reading.meas2);
    r.screenDropV = conformReading(screenDropField(), reading.screenDropV);
    r.screenOhms = conformReading(screenResistorField(), reading.screenOhms);
    return r;
}

// A typed or set reading: within 0 and the bench range, held to the field's decimals.
bool acceptable(const ReadingField& field, double value)
{
    return std::isfinite(value) && value >= 0 && conformReading(field, value) <= field.benchMaximum;
}

bool operator==(const SharedMeasurements& a, const SharedMeasurements& b)
{
    return a.plateV == b.plateV && a.bPlusV == b.bPlusV && a.senseResistorOhms == b.senseResistorOhms &&
           a.cathodeResistorOhms == b.cathodeResistorOhms && a.sharedCathodeR == b.sharedCathodeR &&
           a.sharedSenseR == b.sharedSenseR && a.sharedTubes == b.sharedTubes && a.screenPct == b.screenPct &&
           a.subtractScreen == b.subtractScreen && a.meterReadsTotal == b.meterReadsTotal &&
           a.meterTotalMa == b.meterTotalMa && a.otDropDirect == b.otDropDirect &&
           a.senseRPerTube == b.senseRPerTube && a.screenMeasured == b.screenMeasured;
}

bool operator==(const UnknownNames& a, const UnknownNames& b)
{
    return a.tube == b.tube && a.ampClass == b.ampClass && a.method == b.method;
}

bool operator==(const BenchSetup& a, const BenchSetup& b)
{
    return a.tube == b.tube && a.customMaxW == b.customMaxW && a.ampClass == b.ampClass &&
           a.method == b.method && a.tubeCount == b.tubeCount && a.shared == b.shared &&
           a.targetPct == b.targetPct && a.unknown == b.unknown && a.idle == b.idle;
}

// A reading under a method the bench cannot take: not held to any field, so that it is saved again
// exactly as it came; only what no field could ever show is dropped.
TubeReading keptReading(const TubeReading& reading)
{
    auto kept = [](double value) { return std::isfinite(value) && value >= 0 ? value : 0.0; };
    return {kept(reading.meas1), kept(reading.meas2), reading.label, kept(reading.screenDropV),
            kept(reading.screenOhms)};
}

bool operator==(const TubeReading& a, const TubeReading& b)
{
    return a.meas1 == b.meas1 && a.meas2 == b.meas2 && a.label == b.label && a.screenDropV == b.screenDropV &&
           a.screenOhms == b.screenOhms;
}

bool operator==(const BiasResult& a, const BiasResult& b)
{
    return a.valid == b.valid && a.currentMa == b.currentMa && a.dissipationW == b.dissipationW &&
           a.pctOfMax == b.pctOfMax && a.warning == b.warning;
}

bool operator==(const BenchTarget& a, const BenchTarget& b)
{
    return a.pct == b.pct && a.plateV == b.plateV && a.currentMa == b.currentMa &&
           a.dissipationW == b.dissipationW && a.ampFigure == b.ampFigure;
}

// The plate voltage the target is worked out at: tube 1's own under the transformer-drop method,
// where every tube has its own.
double targetPlateV(const BenchSetup& setup, const QList<TubeReading>& readings)
{
    // Under the transformer-drop method from B+ every tube has its own plate voltage; tube 1 stands
    // for all.
    if (!usesSharedPlateV(setup.method, setup.shared))
        return readings.isEmpty() ? 0 : readings.first().meas1;
    return setup.shared.plateV;
}

// A per-tube current figure as % of the maximum at plateV, or a percent figure as it is; 0 when a
// current figure has no plate voltage to work with.
double idlePct(const IdleFigure& idle, double value, double maxW, double plateV)
{
    if (idle.unit == IdleUnit::PctOfMax)
        return value;
    if (!(plateV > 0) || !(maxW > 0))
        return 0;
    return value * plateV / maxW / 10;
}

// The amp's own idle figure as the setup holds it: per tube (a total is shared out over the tubes)
// or in percent, with both ends positive and in order; none for anything else.
IdleFigure conformIdle(const IdleFigure& idle, int tubeCount)
{
    IdleFigure out = idle;
    if (out.unit == IdleUnit::MaTotal) {
        out.unit = IdleUnit::MaPerTube;
        out.low /= std::max(1, tubeCount);
        out.high /= std::max(1, tubeCount);
    }
    const bool known = out.unit == IdleUnit::MaPerTube || out.unit == IdleUnit::PctOfMax;
    if (!known || !std::isfinite(out.low) || !std::isfinite(out.high) || !(out.low > 0) ||
        out.high < out.low || out.high > 1e6)
        return IdleFigure();
    return out;
}

// The verdict as shown: a spread that moves by rounding noise alone (the screen option scales every
// current by the same factor) is no change.
bool operator==(const MatchingVerdict& a, const MatchingVerdict& b)
{
    return a.readings == b.readings && a.level == b.level && a.text == b.text;
}

BenchTarget evaluateTarget(const BenchSetup& setup, const QList<TubeReading>& readings, double maxW)
{
    BenchTarget target;
    target.pct = setup.targetPct;
    target.dissipationW = setup.targetPct / 100.0 * maxW;
    const double plateV = targetPlateV(setup, readings);
    if (benchUsesAmpIdle(setup)) {
        // The amp's own figure, exactly: the slider's whole percent would round it.
        const double middle = (setup.idle.low + setup.idle.high) / 2;
        target.ampFigure = true;
        if (setup.idle.unit == IdleUnit::PctOfMax) {
            target.dissipationW = middle / 100 * maxW;
            if (plateV > 0) {
                target.plateV = plateV;
                target.currentMa = targetCurrentMa(middle, maxW, plateV);
            }
        } else if (plateV > 0) {
            target.plateV = plateV;
            target.currentMa = middle;
            target.dissipationW = middle * plateV / 1000;
        }
        return target;
    }
    if (plateV > 0) {
        target.plateV = plateV;
        target.currentMa = targetCurrentMa(setup.targetPct, maxW, plateV);
    }
    return target;
}

MatchingVerdict evaluateMatching(const BenchSetup& setup, const QList<BiasResult>& results)
{
    MatchingVerdict verdict;
    QList<double> currents;
    for (const BiasResult& result : results) {
        if (result.valid)
            currents.append(result.currentMa);
    }
    verdict.readings = int(currents.size());
    if (currents.size() < 2)
        return verdict;
    // Every tube on one resistor reads the same voltage: equal currents say nothing about the tubes.
    if (resistorShared(setup.method, setup.shared, setup.tubeCount)) {
        verdict.level = QStringLiteral("unknown");
        verdict.text = QStringLiteral("MATCHING: cannot be judged from a shared resistor");
        return verdict;
    }
    // One total shared out gives every tube the same current by arithmetic.
    if (meterSharesTotal(setup.method, setup.shared, setup.tubeCount)) {
        verdict.level = QStringLiteral("unknown");
        verdict.text = QStringLiteral("MATCHING: cannot be judged from a total");
        return verdict;
    }
    const auto [lo, hi] = std::minmax_element(currents.cbegin(), currents.cend());
    // A valid result always carries a current above 0, so hi > 0.
    verdict.spreadPct = (*hi - *lo) / *hi * 100;
    const bool bad = verdict.spreadPct > 15;
    verdict.level = bad ? QStringLiteral("bad") : QStringLiteral("good");
    const QString percent = QString::number(verdict.spreadPct, 'f', 0);
    verdict.text =
        bad ? QStringLiteral("MATCHING: tubes spread %1% apart — consider re-matching").arg(percent)
            : QStringLiteral("MATCHING: within %1% — good").arg(percent);
    return verdict;
}

} // namespace

bool benchUsesAmpIdle(const BenchSetup& setup)
{
    return setup.idle.unit != IdleUnit::None && !setup.idle.pastRating;
}

double benchMaxPlateW(const BenchSetup& setup)
{
    const TubeSpec* tube = findTube(setup.tube);
    if (!tube)
        return 25;
    return tube->custom ? setup.customMaxW : tube->maxPlateW;
}

bool benchScreenMeasured(const BenchSetup& setup)
{
    const TubeSpec* tube = findTube(setup.tube);
    return screenMeasuredPerTube(setup.method, setup.shared) && !(tube && tube->triode);
}

QList<int> benchMethods(const QString& ampClass)
{
    if (const AmpClass* row = findAmpClass(ampClass))
        return row->methods;
    return {BiasProbe, SenseResistor, OtWindingDrop, CathodeBias};
}

BenchSnapshot evaluateBench(const BenchSetup& setup, const QList<TubeReading>& readings)
{
    BenchSnapshot s;
    s.setup = setup;
    s.readings = readings;
    s.maxPlateW = benchMaxPlateW(setup);
    if (const AmpClass* ampClass = findAmpClass(setup.ampClass)) {
        s.idealLowPct = ampClass->idealLowPct;
        s.idealHighPct = ampClass->idealHighPct;
    }
    // A triode has no screen: nothing measured is taken off it.
    SharedMeasurements shared = setup.shared;
    shared.screenMeasured = benchScreenMeasured(setup);
    if (benchUsesAmpIdle(setup)) {
        // 10 % either side of the amp's figure; a current figure needs a plate voltage to become one.
        const double plateV = targetPlateV(setup, readings);
        const double low = idlePct(setup.idle, setup.idle.low * 0.9, s.maxPlateW, plateV);
        const double high = idlePct(setup.idle, setup.idle.high * 1.1, s.maxPlateW, plateV);
        if (low > 0 && high > 0) {
            s.idealLowPct = low;
            s.idealHighPct = high;
        }
    }
    s.results.reserve(readings.size());
    s.ratings.reserve(readings.size());
    // Readings of a tube, class or method the bench does not know are not worked out against the
    // bench's own: no result, no rating, and so no matching verdict either.
    if (setup.unknown.any()) {
        for (int i = 0; i < readings.size(); ++i) {
            BiasResult unrated;
            unrated.warning = QStringLiteral("Not rated");
            s.results.append(unrated);
            s.ratings.append(BiasStatus::NoReading);
        }
        s.target = evaluateTarget(setup, readings, s.maxPlateW);
        s.matching = evaluateMatching(setup, s.results);
        return s;
    }
    for (const TubeReading& reading : readings) {
        const BiasInputs inputs = biasInputsFor(setup.method, shared, setup.tubeCount, reading.meas1,
                                                reading.meas2, reading.screenDropV, reading.screenOhms);
        s.results.append(computeBias(inputs, s.maxPlateW));
        s.ratings.append(classifyBias(s.results.last(), s.idealLowPct, s.idealHighPct));
    }
    s.target = evaluateTarget(setup, readings, s.maxPlateW);
    s.matching = evaluateMatching(setup, s.results);
    return s;
}

QString unknownNamesText(const UnknownNames& unknown)
{
    QStringList parts;
    QStringList choose;
    auto quoted = [](const QString& name) { return QStringLiteral("\"") + name + QStringLiteral("\""); };
    if (unknown.tube) {
        parts << QStringLiteral("tube ") + quoted(*unknown.tube);
        choose << QStringLiteral("tube");
    }
    if (unknown.ampClass) {
        parts << QStringLiteral("configuration ") + quoted(*unknown.ampClass);
        choose << QStringLiteral("configuration");
    }
    if (unknown.method) {
        const BiasMethodInfo* method = findBiasMethod(*unknown.method);
        parts << QStringLiteral("bias method ") +
                     (method ? quoted(method->label) + QStringLiteral(" for this configuration")
                             : QString::number(*unknown.method));
        choose << QStringLiteral("bias method");
    }
    if (parts.isEmpty())
        return QString();
    const QString last = parts.takeLast();
    const QString listed =
        parts.isEmpty() ? last : parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
    const QString lastChoice = choose.takeLast();
    const QString choices = choose.isEmpty()
                                ? lastChoice
                                : choose.join(QStringLiteral(", ")) + QStringLiteral(" and ") + lastChoice;
    return QStringLiteral("Unknown %1: the readings are kept but not rated. Choose the %2 to rate them.")
        .arg(listed, choices);
}

QString benchTargetPctText(const BenchTarget& target)
{
    return QStringLiteral("%1% of max dissipation").arg(double(target.pct), 0, 'g', -1);
}

QString benchTargetCurrentText(const BenchTarget& target)
{
    if (!(target.plateV > 0))
        return QStringLiteral("Enter plate voltage for a target current.");
    if (target.ampFigure)
        return QStringLiteral("This amp's own idle: %1 mA per tube\n(%2 W at %3 V plate)")
            .arg(QString::number(target.currentMa, 'f', 1), QString::number(target.dissipationW, 'f', 1),
                 QString::number(target.plateV, 'f', 0));
    return QStringLiteral("Recommended idle: %1 mA per tube\n(%2 W at %3 V plate)")
        .arg(QString::number(target.currentMa, 'f', 1), QString::number(target.dissipationW, 'f', 1),
             QString::number(target.plateV, 'f', 0));
}

BenchStart benchDefaults()
{
    const SharedMeasurements initial;
    BenchStart start;
    start.tube = QStringLiteral("6V6GT");
    start.customMaxW = BenchSetup().customMaxW;
    start.ampClass = QStringLiteral("Push-Pull Class AB (fixed bias)");
    start.method = BiasProbe;
    start.tubeCount = 2;
    start.plateV = initial.plateV; // 0, so the tube's typical voltage is filled in
    start.bPlusV = initial.bPlusV;
    start.senseResistorOhms = initial.senseResistorOhms;
    start.cathodeResistorOhms = initial.cathodeResistorOhms;
    start.sharedCathodeR = initial.sharedCathodeR;
    start.sharedSenseR = initial.sharedSenseR;
    start.sharedTubes = initial.sharedTubes;
    start.subtractScreen = initial.subtractScreen;
    start.meterReadsTotal = initial.meterReadsTotal;
    start.meterTotalMa = initial.meterTotalMa;
    start.otDropDirect = initial.otDropDirect;
    start.senseRPerTube = initial.senseRPerTube;
    start.screenMeasured = initial.screenMeasured;
    return start;
}

BenchStart benchStartFromPreset(const AmpPreset& preset)
{
    // Every shared value starts as a fresh job has it: nothing of the amplifier on the bench before
    // (a shared resistor, the screen option, a B+) may carry over into this one.
    BenchStart start = benchDefaults();
    start.customMaxW.reset(); // the custom tube's rating is the user's, not the amplifier's
    start.tube = preset.tube;
    start.ampClass = preset.topology;
    start.method = preset.biasMethod;
    start.tubeCount = preset.tubeCount;
    start.plateV = preset.plateV;
    // The centre tap sits a little above the plates. This follows the preset's own method, also
    // when its class does not offer the winding drop.
    if (preset.biasMethod == OtWindingDrop)
        start.bPlusV = preset.plateV + 10;
    if (preset.senseResistorOhms > 0)
        start.senseResistorOhms = preset.senseResistorOhms;
    if (preset.cathodeResistorOhms > 0)
        start.cathodeResistorOhms = preset.cathodeResistorOhms;
    if (preset.sharedTubes > 1) {
        start.sharedTubes = preset.sharedTubes;
        start.sharedCathodeR = preset.biasMethod == CathodeBias;
        start.sharedSenseR = preset.biasMethod == SenseResistor;
    }
    start.idle = preset.idle;
    start.ampName = preset.name;
    return start;
}

// One structural step: the bench before it, and the bench it left (taken afresh at each undo, so a
// redo also brings back readings typed after the step).
class BenchStep : public QUndoCommand
{
public:
    BenchStep(BenchSession* bench, const QString& text, BenchSession::Memento before,
              BenchSession::Memento after)
        : QUndoCommand(text), bench(bench), before(std::move(before)), after(std::move(after))
    {
    }
    void undo() override
    {
        after = bench->memento();
        bench->restore(before);
    }
    void redo() override
    {
        // The step itself was already taken when it was pushed.
        if (pushed)
            bench->restore(after);
        pushed = true;
    }

private:
    BenchSession* bench;
    BenchSession::Memento before;
    BenchSession::Memento after;
    bool pushed = false;
};

BenchSession::BenchSession(QObject* parent) : QObject(parent), undo(new QUndoStack(this))
{
    applyStart(benchDefaults());
}

BenchSession::Memento BenchSession::memento() const
{
    return {state.setup, job, currentAmp, edited};
}

void BenchSession::restore(const Memento& m)
{
    job = m.job;
    currentAmp = m.amp;
    edited = m.edited;
    const bool rebuilt = m.setup.tubeCount != state.setup.tubeCount;
    update(m.setup, jobReadings(m.setup), rebuilt);
}

void BenchSession::pushStep(const QString& text, const Memento& before)
{
    undo->push(new BenchStep(this, text, before, memento()));
}

QList<TubeReading> BenchSession::jobReadings(const BenchSetup& setup)
{
    QList<TubeReading>& all = job[readingsKey(setup)];
    while (all.size() < setup.tubeCount)
        all.append(TubeReading());
    return all.mid(0, setup.tubeCount);
}

bool BenchSession::hasUnsavedReadings() const
{
    if (!edited)
        return false;
    for (const QList<TubeReading>& readings : job) {
        for (const TubeReading& r : readings) {
            if (r.meas1 != 0 || r.meas2 != 0 || r.screenDropV != 0 || r.screenOhms != 0)
                return true;
        }
    }
    return state.setup.shared.meterTotalMa != 0;
}

void BenchSession::markSaved(const QString& name)
{
    currentAmp = name;
    edited = false;
    for (QList<TubeReading>& readings : job) {
        if (readings.size() > state.setup.tubeCount)
            readings.resize(state.setup.tubeCount);
    }
}

void BenchSession::update(const BenchSetup& wanted, const QList<TubeReading>& readings, bool rebuilt)
{
    // The share count follows the tube count wherever that changed.
    BenchSetup setup = wanted;
    setup.shared.sharedTubes = conformSharedTubes(setup.shared.sharedTubes, setup.tubeCount);
    // The slider follows the amp's own figure while it is in force.
    if (benchUsesAmpIdle(setup)) {
        const double pct = idlePct(setup.idle, (setup.idle.low + setup.idle.high) / 2, benchMaxPlateW(setup),
                                   targetPlateV(setup, readings));
        if (pct > 0)
            setup.targetPct = conformTarget(pct);
    }
    BenchSnapshot next = evaluateBench(setup, readings);
    const bool setupDiffers = !(next.setup == state.setup);
    QList<int> changedTubes;
    if (!rebuilt) {
        for (int i = 0; i < next.readings.size(); ++i) {
            if (!(next.readings[i] == state.readings.value(i)) ||
                !(next.results[i] == state.results.value(i)) ||
                next.ratings[i] != state.ratings.value(i, BiasStatus::NoReading))
                changedTubes.append(i);
        }
    }
    const bool targetDiffers = !(next.target == state.target);
    const bool matchingDiffers = !(next.matching == state.matching);
    state = std::move(next);

    if (setupDiffers)
        emit setupChanged();
    if (rebuilt)
        emit cardsRebuilt();
    for (int i : std::as_const(changedTubes))
        emit tubeChanged(i);
    if (targetDiffers)
        emit targetChanged();
    if (matchingDiffers)
        emit matchingChanged();
}

bool BenchSession::setTube(const QString& name)
{
    if (!findTube(name))
        return false;
    if (name == state.setup.tube && !state.setup.unknown.tube)
        return true;
    BenchSetup s = state.setup;
    s.unknown.tube.reset();
    s.tube = name;
    s.idle = IdleFigure(); // the amp's figure was for its own tubes
    fillPlateVoltage(s);
    fitScreenShare(s, std::nullopt);
    update(s, state.readings, false);
    return true;
}

void BenchSession::setCustomMaxW(double watts)
{
    if (!std::isfinite(watts))
        return;
    BenchSetup s = state.setup;
    s.customMaxW = conformShared(customMaxWField(), watts);
    if (s.customMaxW == state.setup.customMaxW)
        return;
    // The rating is part of the tube: it takes the same steps as choosing one, the plate-voltage
    // default included.
    fillPlateVoltage(s);
    update(s, state.readings, false);
}

bool BenchSession::setAmpClass(const QString& name)
{
    const AmpClass* ampClass = findAmpClass(name);
    if (!ampClass)
        return false;
    if (name == state.setup.ampClass && !state.setup.unknown.ampClass)
        return true;
    const Memento before = memento();
    BenchSetup s = state.setup;
    s.unknown.ampClass.reset();
    s.ampClass = name;
    s.idle = IdleFigure();
    s.targetPct = conformTarget(ampClass->targetPct);
    if (!ampClass->methods.contains(s.method))
        s.method = ampClass->methods.value(0, BiasProbe);
    update(s, jobReadings(s), false);
    pushStep(QStringLiteral("Configuration"), before);
    return true;
}

bool BenchSession::setMethod(int method)
{
    if (!methods().contains(method))
        return false;
    if (method == state.setup.method && !state.setup.unknown.method)
        return true;
    const Memento before = memento();
    BenchSetup s = state.setup;
    // Readings kept as a profile gave them become readings of the method they were kept under.
    if (s.unknown.method) {
        for (TubeReading& reading : job[readingsKey(s)])
            reading = conformReadings(s, reading);
    }
    s.unknown.method.reset();
    s.method = method;
    update(s, jobReadings(s), false);
    pushStep(QStringLiteral("Bias method"), before);
    return true;
}

void BenchSession::setTubeCount(int count)
{
    count = conformTubeCount(count);
    if (count == state.setup.tubeCount)
        return;
    const Memento before = memento();
    BenchSetup s = state.setup;
    s.tubeCount = count;
    update(s, jobReadings(s), true);
    pushStep(QStringLiteral("Power tubes"), before);
}

void BenchSession::setPlateV(double volts)
{
    if (!std::isfinite(volts))
        return;
    BenchSetup s = state.setup;
    s.shared.plateV = conformShared(plateVField(), volts);
    update(s, state.readings, false);
}

void BenchSession::setBPlusV(double volts)
{
    if (!std::isfinite(volts))
        return;
    BenchSetup s = state.setup;
    s.shared.bPlusV = conformShared(bPlusField(), volts);
    update(s, state.readings, false);
}

void BenchSession::setSenseResistorOhms(double ohms)
{
    if (!std::isfinite(ohms))
        return;
    BenchSetup s = state.setup;
    s.shared.senseResistorOhms = conformShared(senseResistorField(), ohms);
    update(s, state.readings, false);
}

void BenchSession::setCathodeResistorOhms(double ohms)
{
    if (!std::isfinite(ohms))
        return;
    BenchSetup s = state.setup;
    s.shared.cathodeResistorOhms = conformShared(cathodeResistorField(), ohms);
    update(s, state.readings, false);
}

template <typename T> void BenchSession::setSharedSetting(T SharedMeasurements::*member, T value)
{
    BenchSetup s = state.setup;
    s.shared.*member = value;
    update(s, state.readings, false);
}

void BenchSession::setSharedCathodeR(bool shared)
{
    setSharedSetting(&SharedMeasurements::sharedCathodeR, shared);
}

void BenchSession::setSharedSenseR(bool shared)
{
    setSharedSetting(&SharedMeasurements::sharedSenseR, shared);
}

void BenchSession::setSharedTubes(int tubes)
{
    setSharedSetting(&SharedMeasurements::sharedTubes, tubes);
}

void BenchSession::setSubtractScreen(bool subtract)
{
    setSharedSetting(&SharedMeasurements::subtractScreen, subtract);
}

void BenchSession::setMeterReadsTotal(bool total)
{
    setSharedSetting(&SharedMeasurements::meterReadsTotal, total);
}

void BenchSession::setMeterTotalMa(double ma)
{
    if (!std::isfinite(ma))
        return;
    BenchSetup s = state.setup;
    s.shared.meterTotalMa = conformShared(meterTotalField(), ma);
    // The amplifier's one reading: as much a typed reading as a tube's own.
    if (s.shared.meterTotalMa != state.setup.shared.meterTotalMa)
        edited = true;
    update(s, state.readings, false);
}

void BenchSession::setOtDropDirect(bool direct)
{
    if (direct == state.setup.shared.otDropDirect)
        return;
    const Memento before = memento();
    BenchSetup s = state.setup;
    s.shared.otDropDirect = direct;
    update(s, jobReadings(s), false);
    pushStep(QStringLiteral("OT drop"), before);
}

void BenchSession::setSenseRPerTube(bool perTube)
{
    setSharedSetting(&SharedMeasurements::senseRPerTube, perTube);
}

void BenchSession::setScreenMeasured(bool measured)
{
    setSharedSetting(&SharedMeasurements::screenMeasured, measured);
}

void BenchSession::setTargetPct(int pct)
{
    BenchSetup s = state.setup;
    s.targetPct = std::clamp(pct, minTargetPct, maxTargetPct);
    // A target of one's own replaces the amp's figure; the slider echoing it back does not.
    if (s.targetPct != state.setup.targetPct)
        s.idle = IdleFigure();
    update(s, state.readings, false);
}

bool BenchSession::setTubeValue(int tube, double value, const ReadingField& field,
                                double TubeReading::*member)
{
    if (tube < 0 || tube >= state.readings.size() || !acceptable(field, value))
        return false;
    QList<TubeReading> readings = state.readings;
    readings[tube].*member = conformReading(field, value);
    if (readings[tube].*member != state.readings[tube].*member)
        edited = true;
    job[readingsKey(state.setup)][tube] = readings[tube];
    update(state.setup, readings, false);
    return true;
}

bool BenchSession::setMeas1(int tube, double value)
{
    return setTubeValue(tube, value, firstReadingField(state.setup.method, state.setup.shared),
                        &TubeReading::meas1);
}

bool BenchSession::setMeas2(int tube, double value)
{
    return setTubeValue(tube, value, secondReadingField(state.setup.method, state.setup.shared),
                        &TubeReading::meas2);
}

bool BenchSession::setScreenDropV(int tube, double volts)
{
    return setTubeValue(tube, volts, screenDropField(), &TubeReading::screenDropV);
}

bool BenchSession::setScreenOhms(int tube, double ohms)
{
    return setTubeValue(tube, ohms, screenResistorField(), &TubeReading::screenOhms);
}

void BenchSession::apply(const BenchStart& start)
{
    const Memento before = memento();
    applyStart(start);
    pushStep(start.ampName.isEmpty() ? QStringLiteral("Amp") : start.ampName, before);
}

void BenchSession::applyStart(const BenchStart& start)
{
    // The order is what makes each value land: the class before the method (the RF class offers
    // only the panel meter and the sense resistor), the custom rating and the plate voltage before
    // anything is rated, the target after the class (whose default it overrides), the readings
    // last, held to the fields of the method that is finally chosen.
    BenchSetup s = state.setup;
    s.unknown = UnknownNames();
    if (findTube(start.tube))
        s.tube = start.tube;
    else if (start.keepUnknownNames && !start.tube.isEmpty()) // a file without one names none
        s.unknown.tube = start.tube;
    if (start.customMaxW && std::isfinite(*start.customMaxW))
        s.customMaxW = conformShared(customMaxWField(), *start.customMaxW);
    if (findAmpClass(start.ampClass))
        s.ampClass = start.ampClass;
    else if (start.keepUnknownNames && !start.ampClass.isEmpty()) // a file without one names none
        s.unknown.ampClass = start.ampClass;
    const QList<int> offered = benchMethods(s.ampClass);
    s.method = offered.contains(start.method) ? start.method : offered.value(0, BiasProbe);
    // A method the class on the bench does not offer would read the readings as another quantity.
    if (start.keepUnknownNames && !offered.contains(start.method))
        s.unknown.method = start.method;
    s.tubeCount = conformTubeCount(start.tubeCount);

    auto setShared = [](double& field, const std::optional<double>& value, const SharedField& spec) {
        if (value && std::isfinite(*value))
            field = conformShared(spec, *value);
    };
    setShared(s.shared.plateV, start.plateV, plateVField());
    setShared(s.shared.bPlusV, start.bPlusV, bPlusField());
    setShared(s.shared.senseResistorOhms, start.senseResistorOhms, senseResistorField());
    setShared(s.shared.cathodeResistorOhms, start.cathodeResistorOhms, cathodeResistorField());
    s.shared.sharedCathodeR = start.sharedCathodeR.value_or(s.shared.sharedCathodeR);
    s.shared.sharedSenseR = start.sharedSenseR.value_or(s.shared.sharedSenseR);
    s.shared.sharedTubes = start.sharedTubes.value_or(s.shared.sharedTubes);
    s.shared.subtractScreen = start.subtractScreen.value_or(s.shared.subtractScreen);
    s.shared.meterReadsTotal = start.meterReadsTotal.value_or(s.shared.meterReadsTotal);
    setShared(s.shared.meterTotalMa, start.meterTotalMa, meterTotalField());
    s.shared.otDropDirect = start.otDropDirect.value_or(s.shared.otDropDirect);
    s.shared.senseRPerTube = start.senseRPerTube.value_or(s.shared.senseRPerTube);
    s.shared.screenMeasured = start.screenMeasured.value_or(s.shared.screenMeasured);
    if (!s.unknown.tube) {
        fillPlateVoltage(s);
        fitScreenShare(s, start.screenPct);
    } else if (start.screenPct && std::isfinite(*start.screenPct)) {
        // The bench's tube stands in for one it does not know: none of its values go into the job.
        s.shared.screenPct = std::clamp(*start.screenPct, 0.0, 50.0);
    }

    s.idle = conformIdle(start.idle, s.tubeCount);
    if (start.targetPct && std::isfinite(*start.targetPct))
        s.targetPct = conformTarget(*start.targetPct);
    else if (const AmpClass* ampClass = findAmpClass(s.ampClass))
        s.targetPct = conformTarget(ampClass->targetPct);

    QList<TubeReading> readings;
    readings.reserve(s.tubeCount);
    for (int i = 0; i < s.tubeCount; ++i) {
        const TubeReading given{start.meas1.value(i, 0), start.meas2.value(i, 0), start.labels.value(i),
                                start.screenDropV.value(i, 0), start.screenOhms.value(i, 0)};
        readings.append(s.unknown.method ? keptReading(given) : conformReadings(s, given));
    }
    job.clear();
    job.insert(readingsKey(s), readings);
    currentAmp = start.ampName;
    edited = false;
    update(s, readings, true);
}

bool BenchSession::applyPreset(int presetIndex)
{
    const QList<AmpPreset>& presets = ampPresets();
    if (presetIndex < 0 || presetIndex >= presets.size())
        return false;
    apply(benchStartFromPreset(presets.at(presetIndex)));
    return true;
}

void BenchSession::takeMatchedSet(const QString& tube, const QStringList& labels)
{
    const BenchSetup& s = state.setup;
    BenchStart start;
    start.tube = tube;
    start.customMaxW = s.customMaxW;
    start.ampClass = s.ampClass;
    start.method = s.method;
    start.tubeCount = int(labels.size());
    start.plateV = s.shared.plateV;
    start.bPlusV = s.shared.bPlusV;
    start.senseResistorOhms = s.shared.senseResistorOhms;
    start.cathodeResistorOhms = s.shared.cathodeResistorOhms;
    start.sharedCathodeR = s.shared.sharedCathodeR;
    start.subtractScreen = s.shared.subtractScreen;
    start.meterReadsTotal = s.shared.meterReadsTotal;
    start.meterTotalMa = 0; // a reading of the tubes that go
    start.targetPct = s.targetPct;
    if (tube == s.tube)
        start.idle = s.idle;
    start.labels = labels;
    apply(start);
}
