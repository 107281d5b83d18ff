#pragma once

// The preamp stage designer: a left-to-right chain of one to eight common-cathode stages with the
// chain's total gain, and a side panel with the ratings and drawn base of the triode of the stage
// that changed last. The chain is saved as a JSON array of stage objects and rebuilt from one.
#include <QJsonArray>
#include <QList>
#include <QWidget>

class PinoutWidget;
class PreampStageWidget;
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

    QJsonArray stagesJson() const;
    // An empty array keeps the chain as it is; elements beyond the eighth are ignored and an
    // element that is not an object gives a stage with the default values.
    void loadStages(const QJsonArray& stages);

    // The parts of the page, for tests and the gallery.
    const QList<PreampStageWidget*>& stageCards() const { return stages; }
    QHBoxLayout* chain() const { return chainLayout; }
    QLabel* total() const { return totalLabel; }
    QPushButton* addStageButton() const { return addButton; }
    QLabel* tubeNameLabel() const { return nameLabel; }
    QLabel* tubeDescriptionLabel() const { return descriptionLabel; }
    QLabel* tubeRowsLabel() const { return rowsLabel; }
    PinoutWidget* pinoutWidget() const { return pinout; }

private:
    QHBoxLayout* chainLayout = nullptr; // cards and arrows, then one trailing stretch
    QLabel* totalLabel = nullptr;
    QPushButton* addButton = nullptr;
    QList<PreampStageWidget*> stages; // chain order, V1a first
    QLabel* nameLabel = nullptr;
    QLabel* descriptionLabel = nullptr;
    QLabel* rowsLabel = nullptr;
    PinoutWidget* pinout = nullptr;
};
