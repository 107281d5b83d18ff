#pragma once

// The WARM-UP view: the plot of the job's log with what to plot and how, the mains entry, the
// probe timer, each tube's state, CSV export and clearing the log (with undo). It shows the
// recorder's log and edits it only through the recorder.
#include "warmup/warmupplot.h"

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class WarmupPlotWidget;
class WarmupRecorder;

class WarmupView : public QWidget
{
    Q_OBJECT

public:
    explicit WarmupView(WarmupRecorder& recorder, QWidget* parent = nullptr);

    // The class's ideal window and the target, in % of max dissipation, with what it takes to turn
    // them into currents: the tube's rating (W) and the plate voltage (V; 0: no current guides).
    void setGuides(double idealLowPct, double idealHighPct, double targetPct, double maxPlateW,
                   double plateV);

    WarmupPlotWidget* plot() const { return plotWidget; }
    QComboBox* quantityCombo() const { return quantityBox; }
    QComboBox* mainsModeCombo() const { return mainsModeBox; }
    QDoubleSpinBox* mainsSpin() const { return mainsBox; }
    QPushButton* addMainsButton() const { return addMainsBtn; }
    QPushButton* exportButton() const { return exportBtn; }
    QPushButton* clearButton() const { return clearBtn; }
    QPushButton* undoButton() const { return undoBtn; }
    QLabel* probeLabel() const { return probeText; }
    QLabel* statusLabel() const { return statusText; }

    // The plot as it stands (for the report, and for the tests).
    WarmupPlotData currentPlotData() const;

    // Asks for a file and writes the CSV; false when cancelled or the write failed (then a warning).
    bool exportCsv();

signals:
    // A text for the status bar: a runaway, all tubes settled, the probe reminder.
    void announce(const QString& text, bool alarm);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void scheduleTick();
    void tick(); // once a second while the probes are in, for the probe timer

    WarmupRecorder& recorder;
    WarmupPlotWidget* plotWidget = nullptr;
    QComboBox* quantityBox = nullptr;
    QComboBox* mainsModeBox = nullptr;
    QDoubleSpinBox* mainsBox = nullptr;
    QPushButton* addMainsBtn = nullptr;
    QPushButton* exportBtn = nullptr;
    QPushButton* clearBtn = nullptr;
    QPushButton* undoBtn = nullptr;
    QLabel* probeText = nullptr;
    QLabel* statusText = nullptr;
    double lowPct = 0;
    double highPct = 0;
    double targetPctValue = 0;
    double ratingW = 0;
    double plateVolts = 0;
    bool ticking = false; // a tick is scheduled
};
