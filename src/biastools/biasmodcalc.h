#pragma once

// Modal calculator for bias changes that need a different resistor: the cathode resistor of a
// self-biased stage, and the shunt change that moves a fixed-bias supply's adjustment range.
#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

class BiasModCalc : public QDialog
{
    Q_OBJECT

public:
    explicit BiasModCalc(QWidget* parent = nullptr);

    // The screen share of the tube on the bench (% of the cathode current, 0 for a triode); the
    // cathode resistor carries it too.
    void setScreenPct(double pct);

private:
    void updateCathode();
    void updateRangeMod();

    QDoubleSpinBox* targetCurrentBox = nullptr; // mA per tube
    QDoubleSpinBox* biasVoltageBox = nullptr;   // V
    QDoubleSpinBox* tubeCountBox = nullptr;
    QDoubleSpinBox* screenShareBox = nullptr; // % of the cathode current
    QComboBox* seriesCombo = nullptr;         // E24, E12
    QLabel* cathodeResult = nullptr;
    QDoubleSpinBox* rawSupplyBox = nullptr;      // V
    QDoubleSpinBox* currentBiasBox = nullptr;    // V
    QDoubleSpinBox* neededBiasBox = nullptr;     // V
    QDoubleSpinBox* seriesResistorBox = nullptr; // kΩ
    QLabel* modResult = nullptr;
};
