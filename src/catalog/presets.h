#pragma once

// The built-in amplifier presets. Choosing one fills the whole bench setup in one step and loads a
// default preamp chain into the stage designer. A preset is identified by its position in
// ampPresets(); the list is shown in that order, grouped by maker or category, and never re-sorted.
#include <QList>
#include <QString>

// One stage of a preset's default preamp chain: the six values of a saved preamp stage.
struct PreampStagePreset {
    QString tube;             // triode catalogue name, e.g. "12AX7 / ECC83 / 7025"
    double bPlus = 300;       // V
    double plateRK = 100;     // kΩ
    double cathodeR = 1500;   // Ω
    double bypassUF = 25;     // µF, 0 = no bypass capacitor
    double nextGridRK = 1000; // kΩ, 0 = none
};

// An idle figure that an amplifier's note states: the factory or recommended idle, or how far past
// its tubes' rating an amplifier runs by design.
enum class IdleUnit { None, MaPerTube, MaTotal, PctOfMax };
struct IdleFigure {
    IdleUnit unit = IdleUnit::None;
    double low = 0; // in the unit; a single figure has low == high
    double high = 0;
    // The amplifier idles its tubes past their rating: the figure is what it does, not a target.
    bool pastRating = false;
};
bool operator==(const IdleFigure& a, const IdleFigure& b);

struct AmpPreset {
    QString group; // heading the preset is listed under
    QString name;  // unique display name
    QString tube;  // power tube catalogue name
    int tubeCount = 2;
    QString topology;   // amplifier class name
    int biasMethod = 0; // BiasMethod value
    double plateV = 0;  // V
    QString note;       // service advice for the status bar; may be empty
    // The shared values of the job that the preset names; 0 leaves the value a fresh job has.
    int sharedTubes = 0;                   // tubes on one cathode or sense resistor; 0: each has its own
    double senseResistorOhms = 0;          // Ω
    double cathodeResistorOhms = 0;        // Ω
    IdleFigure idle;                       // the figure the note states; none when it states none
    QList<PreampStagePreset> preampStages; // first stage first; may be empty
};

// All presets in display order. Built on first use; lives until exit.
const QList<AmpPreset>& ampPresets();

// Building steps: each appends one preset with an empty preamp chain. addPair and addQuad fix the
// tube count at 2 and 4.
void addRow(QList<AmpPreset>& list, const QString& group, const QString& name, const QString& tube,
            int tubeCount, const QString& topology, int biasMethod, double plateV, const QString& note);
void addPair(QList<AmpPreset>& list, const QString& group, const QString& name, const QString& tube,
             const QString& topology, int biasMethod, double plateV, const QString& note);
void addQuad(QList<AmpPreset>& list, const QString& group, const QString& name, const QString& tube,
             const QString& topology, int biasMethod, double plateV, const QString& note);

// Gives every preset that has no preamp chain yet the default chain for its group and name (or
// leaves it empty when none fits). Presets that already carry stages are left alone.
void assignDefaultPreampStages(QList<AmpPreset>& list);
