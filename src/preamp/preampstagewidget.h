#pragma once

// The card that edits one common-cathode gain stage of the preamp chain. It solves the stage on
// every change, shows gain, operating point, output impedance, headroom and a dissipation gauge,
// and reads and writes the stage's JSON object ("tube", "bPlus" V, "plateRK" kΩ, "cathodeR" Ω,
// "bypassUF" µF, "nextGridRK" kΩ) that profiles, the last session and presets store.
#include "preamp/korenstage.h"
#include "preamp/preampchain.h"
#include "preamp/stageobject.h"
#include "preamp/stagesolver.h"

#include <QFrame>
#include <QJsonObject>
#include <QString>

class GaugeWidget;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QToolButton;

// "V1a", "V1b", "V2a", …: two consecutive stages share one twin-triode bottle.
QString preampStageTitle(int index);

class PreampStageWidget : public QFrame
{
    Q_OBJECT

public:
    explicit PreampStageWidget(int index, QWidget* parent = nullptr);

    void setIndex(int index);
    int index() const { return stageIndex; }

    double gainDb() const { return lastGainDb; } // dB, 0 unless the last solve succeeded
    bool isValid() const { return valid; }
    QString tubeName() const;

    QJsonObject toJson() const;
    // Missing or non-numeric values take the defaults, out-of-range ones are clamped; a tube name
    // that is not in the catalogue keeps the current tube. Solves once and emits one `changed`.
    void fromJson(const QJsonObject& stage);

    void recompute();

    // The chain's triode model. With Koren the card shows the Koren figures of its tube, or the
    // datasheet figures and a note when the tube has no Koren parameters. Solves again on a change.
    void setModel(PreampModel model);
    PreampModel model() const { return chainModel; }
    // True when the figures shown are Koren's: the Koren model is chosen and the tube has a set.
    bool showsKoren() const { return korenShown; }

    // The solver input of the current values, and the last Koren solution (ok only when shown).
    TriodeStageInput stageInput() const;
    const KorenStageResult& korenResult() const { return lastKoren; }
    // Gain and headroom as shown, for the chain's drive check: Koren's two limits, or ±Vk from the
    // datasheet model. All zero unless the last solve succeeded.
    StageHeadroom headroom() const { return lastHeadroom; }

    // The parts of the card, for the chain view and for tests.
    QLabel* titleLabel() const { return title; }
    QToolButton* removeButton() const { return removeBtn; }
    QComboBox* tubeBox() const { return tubeCombo; }
    QDoubleSpinBox* supplyBox() const { return supplySpin; }
    QDoubleSpinBox* plateBox() const { return plateSpin; }
    QDoubleSpinBox* cathodeBox() const { return cathodeSpin; }
    QDoubleSpinBox* bypassBox() const { return bypassSpin; }
    QDoubleSpinBox* nextGridBox() const { return nextGridSpin; }
    GaugeWidget* gaugeWidget() const { return gauge; }
    QLabel* gainLabel() const { return gainText; }
    QLabel* operatingPointLabel() const { return opText; }
    QLabel* impedanceLabel() const { return impedanceText; }
    QLabel* warningLabel() const { return warnText; }
    QLabel* modelLabel() const { return modelText; }

signals:
    void changed();
    void removeRequested(PreampStageWidget* self);

private:
    int stageIndex = 0;
    double lastGainDb = 0; // dB
    bool valid = false;
    QLabel* title = nullptr;
    QToolButton* removeBtn = nullptr;
    QComboBox* tubeCombo = nullptr;
    QDoubleSpinBox* supplySpin = nullptr;   // V
    QDoubleSpinBox* plateSpin = nullptr;    // kΩ
    QDoubleSpinBox* cathodeSpin = nullptr;  // Ω
    QDoubleSpinBox* bypassSpin = nullptr;   // µF, 0 = none
    QDoubleSpinBox* nextGridSpin = nullptr; // kΩ, 0 = none
    GaugeWidget* gauge = nullptr;
    QLabel* gainText = nullptr;
    QLabel* opText = nullptr;
    QLabel* impedanceText = nullptr;
    QLabel* warnText = nullptr;
    QLabel* modelText = nullptr; // the Koren model's µ, gm and rp, or why the datasheet figures show
    PreampModel chainModel = PreampModel::Datasheet;
    bool korenShown = false;
    KorenStageResult lastKoren;
    StageHeadroom lastHeadroom;

    void showDatasheet(const TriodeStageInput& input);
    void showKoren(const KorenStageResult& r);
};
