#pragma once

// The bench model: the state of one bias job - the amplifier setup, every tube's readings, their
// results and ratings, the target current and the matching verdict - with change signals. Every
// edit is one call; the model recomputes what depends on it once, in a fixed order (results, then
// ratings, then the target, then the matching verdict), so no caller has to run handlers in an
// order of its own. Applying the defaults, a preset or a profile is one operation, apply().
//
// What happens to the readings (the meas1/meas2 of each tube): nothing a technician typed is lost by
// one edit.
// - Raising the tube count keeps the tubes' readings; the new tubes start empty unless the job had
//   them before. Lowering it keeps the removed tubes' readings in the job, so going back up brings
//   them back, until markSaved() or the next apply().
// - Each method has its own readings: a change of method, also one that follows a change of class,
//   puts the tubes' readings away under the old method and shows the new method's (empty the first
//   time), never another quantity's numbers.
// - Applying the defaults or a preset empties every tube, also when the count stays; applying a
//   profile takes the profile's readings, 0 for a tube it has none for. Either drops what the job
//   had kept.
// - Tube count, method, class and apply() are steps of the undo stack: undoing one brings back the
//   setup and every reading, kept ones included, exactly as they were before it.
// Nothing else touches them. A reading of 0 is no reading.
#include "bias/biascalc.h"
#include "bias/biasmethods.h"
#include "catalog/presets.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class QUndoStack;

// The two readings of one tube, as its card's fields hold them (BiasMethodInfo says what they are).
// The label is what the tube is marked with (from a matched set); empty for none. It goes with the
// tube: a change of the tube count empties it with the readings.
// The screen drop and resistor are the tube's measured screen current, used when the setup asks
// for it (SharedMeasurements::screenMeasured); 0 for none.
struct TubeReading {
    double meas1 = 0;
    double meas2 = 0;
    QString label;
    double screenDropV = 0; // V across the tube's screen resistor
    double screenOhms = 0;  // Ω, that resistor's measured value
};

// What a profile named that the bench cannot take: a tube or class no catalogue row has (a profile
// that names none keeps the bench's, as it always did), or a bias
// method that is none, or that the class does not offer. Unset for what is known. While any is set
// the readings are kept and shown but not rated: there is nothing to rate them against, and the
// bench's own tube, class and method stand in only as the lists' current entries. Choosing the tube,
// the class or the method clears its part; saving writes the profile's names back, unchanged.
struct UnknownNames {
    std::optional<QString> tube;
    std::optional<QString> ampClass;
    std::optional<int> method;
    bool any() const { return tube || ampClass || method; }
};

// "Unknown tube "EL84": the readings are kept but not rated. Choose the tube to rate them.", naming
// what is unknown in the order tube, class, method; empty when everything is known.
QString unknownNamesText(const UnknownNames& unknown);

// The amplifier setup. Tube and class are catalogue names and always name a catalogue row; what a
// profile named instead is in `unknown`.
struct BenchSetup {
    QString tube = QStringLiteral("6V6GT");
    double customMaxW = 25;                                               // W, the rating of the custom tube
    QString ampClass = QStringLiteral("Push-Pull Class AB (fixed bias)"); // "Configuration", "topology"
    int method = BiasProbe;                                               // one of the class's methods
    int tubeCount = 2;                                                    // minTubeCount..maxTubeCount
    SharedMeasurements shared;
    int targetPct = 65; // % of max plate dissipation, minTargetPct..maxTargetPct
    UnknownNames unknown;
    // The amp's own idle figure (from its preset), per tube or in percent: while it is in force the
    // target is its middle and the ideal window reaches 10 % of the figure either side of it. A
    // figure past the tubes' rating is only a fact about the amp and leaves the class's rule. Choosing
    // another tube, class or target ends it.
    IdleFigure idle;
};

// Whether the setup's idle figure sets its target and window.
bool benchUsesAmpIdle(const BenchSetup& setup);

// The recommended idle current for the target.
struct BenchTarget {
    int pct = 65;
    double plateV = 0;       // V it is worked out at: tube 1's own under the winding-drop method
    double currentMa = 0;    // mA per tube; 0 without a plate voltage
    double dissipationW = 0; // W, pct of the maximum
    bool ampFigure = false;  // worked out from the amp's own idle figure, not the class's target
};

// Whether the tubes with a reading are matched: shown from two readings on.
struct MatchingVerdict {
    int readings = 0; // tubes with a valid result
    double spreadPct = 0;
    // "good", "bad", "unknown" where the readings cannot show it (a shared resistor), or empty below
    // two readings.
    QString level;
    QString text; // empty with the level
};

// Everything the bench shows, as values: what profiles, the session and the report are made from.
struct BenchSnapshot {
    BenchSetup setup;
    QList<TubeReading> readings; // one per tube, tube 1 first
    double maxPlateW = 0;        // W, the rating every tube is taken against
    double idealLowPct = 60;     // %, the class's ideal window
    double idealHighPct = 70;
    QList<BiasResult> results; // one per tube
    QList<BiasStatus> ratings; // one per tube
    BenchTarget target;
    MatchingVerdict matching;
};

// W: the typed rating for the custom tube, the catalogue's otherwise, 25 for a name it does not have.
double benchMaxPlateW(const BenchSetup& setup);

// Whether each tube's measured screen current is subtracted: asked for, under a method that
// subtracts screen current, and for a tube that has a screen (never for a triode).
bool benchScreenMeasured(const BenchSetup& setup);

// The methods the setup's class offers, in list order; 0-3 for a class the catalogue does not have.
QList<int> benchMethods(const QString& ampClass);

// Results, ratings, target and matching of a setup and its readings (one per tube).
BenchSnapshot evaluateBench(const BenchSetup& setup, const QList<TubeReading>& readings);

// The two target texts and the matching text as the bench shows them.
QString benchTargetPctText(const BenchTarget& target);     // "65% of max dissipation"
QString benchTargetCurrentText(const BenchTarget& target); // "Recommended idle: ..." or the prompt

// A starting point for apply(). A value left unset keeps what the bench holds.
struct BenchStart {
    QString tube;                     // a name the catalogue does not have keeps the tube
    std::optional<double> customMaxW; // W
    QString ampClass;                 // a name the catalogue does not have keeps the class
    int method = BiasProbe;           // the class's first method when the class does not offer it
    int tubeCount = 2;                // kept within minTubeCount..maxTubeCount
    std::optional<double> plateV;     // V; 0 takes the tube's typical plate voltage
    std::optional<double> bPlusV;     // V
    std::optional<double> senseResistorOhms;
    std::optional<double> cathodeResistorOhms;
    std::optional<bool> sharedCathodeR;
    std::optional<bool> sharedSenseR;
    std::optional<int> sharedTubes; // kept within 2..the tube count
    std::optional<bool> subtractScreen;
    std::optional<double> screenPct; // %; unset: the tube's own share (a triode always has none)
    std::optional<bool> meterReadsTotal;
    std::optional<double> meterTotalMa; // mA
    std::optional<bool> otDropDirect;
    std::optional<bool> senseRPerTube;
    std::optional<bool> screenMeasured;
    std::optional<double> targetPct; // truncated, kept within range; unset: the class's default
    QList<double> meas1;             // per tube, 0 where missing
    QList<double> meas2;
    QList<double> screenDropV; // per tube, 0 where missing
    QList<double> screenOhms;
    IdleFigure idle;    // the amp's own idle figure, per tube or in percent; none for none
    QString ampName;    // the amp this is: a preset's or a profile's name, empty for none
    QStringList labels; // per tube, empty where missing
    // A profile's names: a tube, class or method the bench cannot take is kept in BenchSetup::unknown
    // (and the readings under a method it cannot take are kept as they are) instead of being
    // replaced by the bench's own without a word.
    bool keepUnknownNames = false;
};

// The built-in setup of a first start: "6V6GT", fixed-bias class AB, bias probe, two tubes, every
// shared value at its initial value, the class's target.
BenchStart benchDefaults();

// A preset: its tube, class, method, tube count and plate voltage (B+ 10 V above the plates for a
// winding-drop preset), the resistors and sharing it names, and every other shared value as a
// fresh job has it, so nothing of the previous amplifier stays; the target is the class's, the
// tubes empty.
BenchStart benchStartFromPreset(const AmpPreset& preset);

class BenchSession : public QObject
{
    Q_OBJECT

public:
    // Starts with benchDefaults() applied.
    explicit BenchSession(QObject* parent = nullptr);

    const BenchSnapshot& snapshot() const { return state; }
    const BenchSetup& setup() const { return state.setup; }
    int tubeCount() const { return state.setup.tubeCount; }
    TubeReading reading(int tube) const { return state.readings.value(tube); }
    BiasResult result(int tube) const { return state.results.value(tube); }
    BiasStatus rating(int tube) const { return state.ratings.value(tube, BiasStatus::NoReading); }
    const BenchTarget& target() const { return state.target; }
    const MatchingVerdict& matching() const { return state.matching; }
    double maxPlateW() const { return state.maxPlateW; }
    QList<int> methods() const { return benchMethods(state.setup.ampClass); }

    // The amp on the bench: the name of the preset or profile applied last (BenchStart::ampName), or
    // the name it was saved under since; empty for none.
    QString ampName() const { return currentAmp; }
    // True when a reading was typed since the last apply() or markSaved() and some tube, shown or
    // kept, still has one: what choosing another amp would put away.
    bool hasUnsavedReadings() const;
    // The job was saved as `name`: it becomes the amp's name, and the readings of tubes the count no
    // longer shows are dropped.
    void markSaved(const QString& name);

    // The structural steps (tube count, method, class, apply); the window's Ctrl+Z and Ctrl+Shift+Z.
    QUndoStack* undoStack() const { return undo; }

    // Setup. A name the catalogue does not have, or a method the class does not offer, is refused
    // (false, nothing changes); a name that is taken clears what was unknown of it (also when it is the
    // one on the bench already). Numbers are held as the setup panel's fields hold them (rounded to
    // their decimals, within their range); a number that is not finite is ignored.
    //
    // A tube change, and a change of the custom rating, fill a plate voltage of exactly 0 with the
    // tube's typical one. A class change sets the target to the class's default and keeps the method
    // when the class offers it, else takes the class's first.
    bool setTube(const QString& name); // also takes the tube's screen share
    void setCustomMaxW(double watts);
    bool setAmpClass(const QString& name);
    bool setMethod(int method);
    void setTubeCount(int count); // keeps the readings (see above)
    void setPlateV(double volts);
    void setBPlusV(double volts);
    void setSenseResistorOhms(double ohms);
    void setCathodeResistorOhms(double ohms);
    void setSharedCathodeR(bool shared);
    void setSharedSenseR(bool shared);
    void setSharedTubes(int tubes); // kept within 2..the tube count (2 with one tube)
    void setSubtractScreen(bool subtract);
    void setMeterReadsTotal(bool total);
    void setMeterTotalMa(double ma); // the panel meter's one reading while it reads the total
    // How the winding-drop method takes each tube's drop: read directly (meas1 the drop, the shared
    // plate voltage for the dissipation) or as B+ minus the tube's plate voltage. The two keep their
    // readings apart, as two methods do; a step of the undo stack.
    void setOtDropDirect(bool direct);
    void setSenseRPerTube(bool perTube);
    void setScreenMeasured(bool measured);
    void setTargetPct(int pct);

    // One tube's readings (0-based); false, changing nothing, for a tube the bench does not have and
    // for a value below 0 or past the field's bench range (ReadingField::benchMaximum).
    bool setMeas1(int tube, double value);
    bool setMeas2(int tube, double value);
    // One tube's measured screen current: the drop across its screen resistor (V) and its value (Ω),
    // refused like a reading (screenDropField(), screenResistorField()).
    bool setScreenDropV(int tube, double volts);
    bool setScreenOhms(int tube, double ohms);

    // Brings the bench to a starting point in one step, in this order: tube, custom rating, class,
    // method, tube count, shared values, the plate-voltage default, target, readings; then results,
    // ratings, target current and matching once. Always replaces the tubes (cardsRebuilt). One step
    // of the undo stack.
    void apply(const BenchStart& start);
    void applyDefaults() { apply(benchDefaults()); }
    bool applyPreset(int presetIndex); // index in ampPresets(); false, changing nothing, outside it

    // Puts a matched set on the bench in one step: the tube type when the catalogue has it (else the
    // bench's stays), one tube per label (within the tube-count range) carrying that label, every
    // reading empty; the class, method, shared values and target stay.
    void takeMatchedSet(const QString& tube, const QStringList& labels);

signals:
    // Emitted after the change is complete, in this order, each at most once per call and only for
    // what changed.
    void setupChanged();        // anything of BenchSetup
    void cardsRebuilt();        // the tubes were replaced; no tubeChanged for them follows
    void tubeChanged(int tube); // that tube's readings, result or rating
    void targetChanged();
    void matchingChanged(); // its text or level

private:
    friend class BenchStep;
    // All that an undo step brings back.
    struct Memento {
        BenchSetup setup;
        QMap<int, QList<TubeReading>> job;
        QString amp;
        bool edited = false;
    };
    Memento memento() const;
    void restore(const Memento& m);
    void pushStep(const QString& text, const Memento& before);
    void applyStart(const BenchStart& start);
    // The tubes' readings under the setup's method and count, from the job.
    QList<TubeReading> jobReadings(const BenchSetup& setup);
    void update(const BenchSetup& setup, const QList<TubeReading>& readings, bool rebuilt);
    bool setTubeValue(int tube, double value, const ReadingField& field, double TubeReading::*member);
    // A setting of the shared measurements that takes any value its type holds: one plain edit.
    template <typename T> void setSharedSetting(T SharedMeasurements::*member, T value);

    BenchSnapshot state;
    // Every method's readings (the winding method's two ways of taking the drop apart, see
    // readingsKey), each list as long as the most tubes it had; the first tubeCount entries of the
    // current method's list are state.readings.
    QMap<int, QList<TubeReading>> job;
    QString currentAmp;
    bool edited = false;
    QUndoStack* undo = nullptr;
};
