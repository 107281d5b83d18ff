#pragma once

// The preamp stage designer: a left-to-right chain of one to eight common-cathode stages with the
// chain's total gain, and a side panel with the ratings and drawn base of the triode of the stage
// that changed last. The chain is saved as a JSON array of stage objects and rebuilt from one.
#include "preamp/stageobject.h"

#include <QJsonArray>
#include <QList>
#include <QWidget>

class PinoutWidget;
class PlateCurveWidget;
class PreampStageWidget;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;

class PreampView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int maxStages = 8;

    explicit PreampView(QWidget* parent = nullptr);

    // Appends a stage; null when the chain is already full.
    PreampStageWidget* addStage();
    // Leaves the last remaining stage and cards not in this chain alone.
    void removeStage(PreampStageWidget* card);
    void updateTotal();
    void showTubeData(const QString& name);

    // The stage objects in chain order; with the Koren model each carries the model key.
    QJsonArray stagesJson() const;
    // An empty array keeps the chain as it is; elements beyond the eighth are ignored and an
    // element that is not an object gives a stage with the default values. The model is read from
    // the array: an array without the key is a datasheet chain.
    void loadStages(const QJsonArray& stages);

    // The triode model of the whole chain; a change solves every stage again.
    void setModel(PreampModel model);
    PreampModel model() const { return chainModel; }

    // The stage shown on the plate curves: the one that changed or was clicked last.
    void selectStage(PreampStageWidget* card);
    PreampStageWidget* selectedStage() const { return selected; }

    // The parts of the page, for tests and the gallery.
    const QList<PreampStageWidget*>& stageCards() const { return stages; }
    QHBoxLayout* chain() const { return chainLayout; }
    QLabel* total() const { return totalLabel; }
    QPushButton* addStageButton() const { return addButton; }
    QLabel* tubeNameLabel() const { return nameLabel; }
    QLabel* tubeDescriptionLabel() const { return descriptionLabel; }
    QLabel* tubeRowsLabel() const { return rowsLabel; }
    PinoutWidget* pinoutWidget() const { return pinout; }
    QComboBox* modelBox() const { return modelCombo; }
    QLabel* driveLabel() const { return driveText; }
    QLabel* gainCautionLabel() const { return gainCaution; }
    QLabel* plateCurvesTitle() const { return plateTitle; }
    PlateCurveWidget* plateCurves() const { return plateView; }

signals:
    // A stage was added, removed or edited, or the model changed: what stagesJson() gives may differ.
    void chainChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refreshPlateCurves();
    void updateDrive();

    QHBoxLayout* chainLayout = nullptr; // cards and arrows, then one trailing stretch
    QLabel* totalLabel = nullptr;
    QPushButton* addButton = nullptr;
    QList<PreampStageWidget*> stages; // chain order, V1a first
    QLabel* nameLabel = nullptr;
    QLabel* descriptionLabel = nullptr;
    QLabel* rowsLabel = nullptr;
    PinoutWidget* pinout = nullptr;
    QComboBox* modelCombo = nullptr;
    QLabel* driveText = nullptr;   // cautions for stages driven past their headroom
    QLabel* gainCaution = nullptr; // a total no real chain could keep
    QLabel* plateTitle = nullptr;
    PlateCurveWidget* plateView = nullptr;
    PreampModel chainModel = PreampModel::Datasheet;
    PreampStageWidget* selected = nullptr;
};
