#pragma once

// The small, non-modal "Meter" panel: choose a connection (a serial port from the list or a typed
// path, or a network meter's host and port) and a protocol, connect, and watch the live value,
// its function and the connection's state. The value is read into one tube at a time: the panel
// says which, commits it once stable (or at once with Space, commitNow()) and moves on to the
// next tube. It writes nothing itself; commitReading() hands the value to whoever owns the
// readings (the bench model).
#include "meter/meterconnection.h"
#include "meter/metersequence.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class MeterPanel : public QWidget
{
    Q_OBJECT

public:
    explicit MeterPanel(QWidget* parent = nullptr);

    // The reading the meter fills, the same field on every card: label, unit suffix, maximum.
    void setReadingField(const QString& label, const QString& suffix, double maximum);
    void setTubeCount(int count);
    void selectTube(int tube); // the card the technician clicked
    int tubeBeingRead() const { return sequence.tube(); }
    void commitNow(); // Space

    MeterConnection* connection() { return &meter; }

    // The panel's controls, for the window and for tests.
    QComboBox* protocolBox = nullptr;
    QComboBox* linkBox = nullptr; // "Serial port" / "Network"
    QComboBox* portBox = nullptr; // editable: a listed port or a typed path
    QLineEdit* hostEdit = nullptr;
    QSpinBox* tcpPortSpin = nullptr;
    QPushButton* connectButton = nullptr;
    QLabel* valueLabel = nullptr;
    QLabel* functionLabel = nullptr;
    QLabel* stateLabel = nullptr;
    QLabel* targetLabel = nullptr;
    QLabel* fitLabel = nullptr; // why the value is not taken, or how long it has held
    QDoubleSpinBox* toleranceSpin = nullptr;
    QCheckBox* autoAdvanceBox = nullptr;
    QFrame* safetyNote = nullptr;
    QPushButton* dismissSafetyButton = nullptr;

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void commitReading(int tube, double value);
    void tubeBeingReadChanged(int tube); // -1 when every tube is read

private:
    void refreshPorts();
    void growToFit();
    void protocolChosen();
    void toggleConnection();
    void showState();
    void readingArrived(const MeterReading& reading);
    void applyStep(const MeterStep& step);
    void showTarget();
    void followTube();

    MeterConnection meter;
    MeterSequence sequence;
    QString fieldLabel;
    QString fieldSuffix;
    double fieldMaximum = 0;
};
