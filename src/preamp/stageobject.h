#pragma once

// The preamp stage object: the JSON form of one stage of the preamp chain that profiles, the last
// session and the amplifier presets store ("tube", "bPlus" V, "plateRK" kΩ, "cathodeR" Ω,
// "bypassUF" µF, "nextGridRK" kΩ). Reading one gives exactly the inputs the stage editor ends up
// with: missing or non-numeric values take the defaults, and every number is rounded to the
// editor's decimals and clamped to its range as the editor's spin box would.
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// Range, default and shown decimals of one numeric input of a stage.
struct StageFieldLimits {
    double minimum;
    double maximum;
    double defaultValue;
    int decimals;
};

inline constexpr StageFieldLimits stageSupplyLimits{50, 500, 300, 0};       // V
inline constexpr StageFieldLimits stagePlateLimits{1, 1000, 100, 0};        // kΩ
inline constexpr StageFieldLimits stageCathodeLimits{100, 100000, 1500, 0}; // Ω
inline constexpr StageFieldLimits stageBypassLimits{0, 1000, 25, 1};        // µF, 0 = none
inline constexpr StageFieldLimits stageNextGridLimits{0, 10000, 1000, 0};   // kΩ, 0 = none

// The inputs of one stage as read from its object.
struct PreampStageValues {
    int tubeRow = -1;         // row of the preamp triode catalogue; -1 keeps the editor's tube
    double supplyV = 300;     // V
    double plateK = 100;      // kΩ
    double cathodeOhm = 1500; // Ω
    double bypassUf = 25;     // µF, 0 = none
    double nextGridK = 1000;  // kΩ, 0 = none
};

// A number as the stage editor holds it: the default for anything that is not a finite number,
// otherwise rounded to the field's decimals and clamped to its range.
double stageFieldValue(const QJsonValue& value, const StageFieldLimits& limits);

PreampStageValues preampStageFromJson(const QJsonObject& stage);

// The object of a stage with the given tube name and inputs, numbers exactly as given.
QJsonObject preampStageToJson(const QString& tube, const PreampStageValues& values);

// Which triode model a preamp chain is solved with. It is saved with the chain: the stored stage
// objects of a Koren chain carry "model": "Koren", each of them, so the choice travels wherever the
// chain's array goes (profiles, the last session). Arrays written before the choice existed, and
// presets, carry no such key and read as the datasheet model, so they solve as they always did.
enum class PreampModel { Datasheet, Koren };

inline constexpr const char* preampModelKey = "model";

QString preampModelName(PreampModel model); // "Datasheet" or "Koren"

// Koren when the first element is an object whose "model" is the string "Koren"; the datasheet
// model for anything else, an empty array included.
PreampModel preampModelFromStages(const QJsonArray& stages);

// The chain's array with the model key written into every stage object for Koren, and the array
// unchanged for the datasheet model, so a datasheet chain is stored exactly as before.
QJsonArray stagesWithModel(const QJsonArray& stages, PreampModel model);
