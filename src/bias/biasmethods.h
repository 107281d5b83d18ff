#pragma once

// What each bias method means on the bench: the readings a tube card asks for (label, unit, range,
// decimals), which shared measurements the method uses and how the plate-voltage row is labelled,
// and how one tube's readings and the shared values become the inputs of computeBias. The cards,
// the setup panel, the profile reader and the bench model all read this one table.
#include "bias/biascalc.h"

#include <QList>
#include <QString>

// Tubes on a shared resistor when nothing says otherwise: a pair, as older files mean.
inline constexpr int tubesOnSharedResistor = 2;
// The screen share of files written before the tube's own was used.
inline constexpr double defaultScreenPct = 5;

// One reading field of a tube card. The minimum is always 0. A value from a file is rounded to
// `decimals` and then kept within 0..maximum, as earlier versions' spin boxes held it; a value typed
// or set on the bench past `benchMaximum` (the most a bench meter plausibly shows in that unit) is
// refused instead.
struct ReadingField {
    QString label;
    QString suffix; // unit as shown after the number, with its leading space
    int decimals = 1;
    double step = 1;
    double maximum = 0;
    double benchMaximum = 0; // at most `maximum`
};

struct BiasMethodInfo {
    int method = BiasProbe; // a BiasMethod value
    QString label;          // text of the method list
    ReadingField first;     // meas1: the tube's reading
    bool hasSecond = false; // meas2 is shown (the half-primary DCR of the winding-drop method)
    ReadingField second;    // meas2's field while it is shown
    // Which shared measurements the method reads, i.e. which rows the setup panel shows.
    bool usesPlateV = true; // false: every tube has its own plate voltage (meas1)
    QString plateVLabel;    // label of the shared plate-voltage row
    bool usesBPlusV = false;
    bool usesSenseResistor = false;
    bool usesCathodeResistor = false;
    bool usesSharedResistor = false; // the "Resistor shared by N tubes" option and its count
    bool usesSubtractScreen = false;
    bool usesMeterReadsTotal = false;
};

// All five methods, in BiasMethod order (the row of method m is element m).
const QList<BiasMethodInfo>& biasMethods();

// The row of a BiasMethod value; null for a value outside 0-4.
const BiasMethodInfo* findBiasMethod(int method);

// meas2 while the method does not show it: the range a new card's second field starts with.
ReadingField hiddenSecondReading();

// The field meas1 / meas2 is held in under a method (hiddenSecondReading() for a hidden meas2, and
// for a value outside 0-4 the field a new card starts with).
ReadingField firstReadingField(int method);
ReadingField secondReadingField(int method);
// A value as a spin box of that range and number of decimals holds it: rounded to `decimals` the
// way QDoubleSpinBox rounds, then kept within minimum..maximum. A value that is not finite gives
// the minimum.
double conformToField(double value, double minimum, double maximum, int decimals);
double conformReading(const ReadingField& field, double value);

// The shared measurements and options of the setup panel, the same for every tube.
struct SharedMeasurements {
    double plateV = 0;                       // V
    double bPlusV = 0;                       // V at the output transformer's centre tap
    double senseResistorOhms = 1;            // Ω
    double cathodeResistorOhms = 250;        // Ω
    bool sharedCathodeR = false;             // the cathode resistor carries sharedTubes tubes
    bool sharedSenseR = false;               // the sense resistor carries sharedTubes tubes
    int sharedTubes = tubesOnSharedResistor; // 2..the tube count
    bool subtractScreen = false;             // "Subtract screen current (~5 %)"
    double screenPct = defaultScreenPct;     // %, the share of the cathode current subtracted
    bool meterReadsTotal = true;             // "Meter reads TOTAL (all tubes)"
    // The amplifier's one panel-meter reading while the meter reads the total, shared out evenly.
    double meterTotalMa = 0; // mA
    // The winding-drop method takes each tube's drop as read across its half-primary (meas1, V),
    // and the shared plate voltage for the dissipation; otherwise B+ and each tube's plate voltage.
    bool otDropDirect = false;
    // Under the sense-resistor method each tube has a resistor of its own, measured (meas2, Ω); a
    // tube without one typed takes senseResistorOhms. No resistor is then shared.
    bool senseRPerTube = false;
    // The screen current subtracted is each tube's own, measured across its screen resistor, instead
    // of the screenPct share.
    bool screenMeasured = false;
};

// The same under the setup's options: the directly read drop of the winding method, a tube's own
// sense resistor as the second reading of the sense method.
ReadingField firstReadingField(int method, const SharedMeasurements& shared);
ReadingField secondReadingField(int method, const SharedMeasurements& shared);
// Whether the card shows the first and the second reading under the setup's options (the first is
// hidden while the panel meter reads the total, which is entered once for the whole amplifier).
bool showsFirstReading(int method, const SharedMeasurements& shared);
bool showsSecondReading(int method, const SharedMeasurements& shared);
// Whether the method takes the shared plate voltage (false: each tube's own, meas1).
bool usesSharedPlateV(int method, const SharedMeasurements& shared);

// The per-tube fields of a measured screen current: the drop across the screen resistor and its value.
ReadingField screenDropField();
ReadingField screenResistorField();
// Whether a tube's own screen current is subtracted under this method and these options.
bool screenMeasuredPerTube(int method, const SharedMeasurements& shared);
// mA of a screen drop (V) across a screen resistor (Ω); 0 unless both are above 0.
double screenCurrentMa(double dropV, double ohms);

// The fields of the setup panel that hold the shared values, with their labels, units and ranges.
struct SharedField {
    QString label;
    QString suffix;
    double minimum = 0;
    double maximum = 0;
    int decimals = 0;
};
SharedField plateVField(); // labelled by the method: BiasMethodInfo::plateVLabel
SharedField bPlusField();
SharedField senseResistorField();
SharedField cathodeResistorField();
SharedField customMaxWField(); // "Max dissipation" of the custom tube
SharedField meterTotalField(); // the panel meter's total
inline constexpr int minTubeCount = 1;
inline constexpr int maxTubeCount = 12;
inline constexpr int minTargetPct = 5; // class B idles near cutoff
inline constexpr int maxTargetPct = 100;

// Whether the method's resistor is shared under these settings: only the cathode-bias and the
// sense-resistor methods have one, and with a single tube there is nothing to share it with.
bool resistorShared(int method, const SharedMeasurements& shared, int tubeCount);

// Whether one panel-meter total stands for all the tubes (the panel-meter method reading the total
// with more than one tube): the tubes' shares are then equal by arithmetic, not by measurement.
bool meterSharesTotal(int method, const SharedMeasurements& shared, int tubeCount);

// Texts of the three option check boxes; the share box names the tubes on the resistor.
QString sharedResistorText(int tubes);
QString subtractScreenText(double screenPct); // "Subtract screen current (~13 %)"
QString subtractScreenToolTip(double screenPct);
QString meterReadsTotalText();
QString senseRPerTubeText();          // "Each tube has its own resistor"
QString screenMeasuredText();         // "Measured screen current per tube"
QString otDropEntryText(bool direct); // the two entries of the drop choice, the direct one first

// The inputs of computeBias for one tube: the method, the screen option, and for the method in use
// the shared values it reads and the tube's readings; every other field keeps its default. The
// panel meter divides by the tube count only when it reads the total.
// A measured screen current takes the tube's screen drop (V) and screen resistor (Ω).
BiasInputs biasInputsFor(int method, const SharedMeasurements& shared, int tubeCount, double meas1,
                         double meas2, double screenDropV = 0, double screenOhms = 0);
