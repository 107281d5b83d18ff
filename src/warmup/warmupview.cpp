#include "warmup/warmupview.h"

#include "app/clock.h"
#include "app/plainmessagebox.h"
#include "warmup/warmupplotwidget.h"
#include "warmup/warmuprecorder.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

WarmupView::WarmupView(WarmupRecorder& recorder, QWidget* parent) : QWidget(parent), recorder(recorder)
{
    setObjectName(QStringLiteral("warmupView"));
    quantityBox = new QComboBox(this);
    quantityBox->addItems({QStringLiteral("Idle current (mA)"), QStringLiteral("% of max dissipation")});
    mainsModeBox = new QComboBox(this);
    mainsModeBox->addItems({QStringLiteral("As read"), QStringLiteral("Normalised to 120 V"),
                            QStringLiteral("Normalised to 230 V")});
    mainsBox = new QDoubleSpinBox(this);
    mainsBox->setRange(0, 300);
    mainsBox->setDecimals(1);
    mainsBox->setSuffix(QStringLiteral(" V"));
    mainsBox->setValue(120);
    addMainsBtn = new QPushButton(QStringLiteral("Add mains"), this);
    exportBtn = new QPushButton(QStringLiteral("Export CSV…"), this);
    clearBtn = new QPushButton(QStringLiteral("Clear log"), this);
    undoBtn = new QPushButton(QStringLiteral("Undo"), this);
    probeText = new QLabel(this);
    probeText->setObjectName(QStringLiteral("warmupProbeTimer"));
    statusText = new QLabel(this);
    statusText->setObjectName(QStringLiteral("warmupStatus"));
    statusText->setWordWrap(true);
    plotWidget = new WarmupPlotWidget(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(quantityBox);
    controls->addWidget(mainsModeBox);
    controls->addStretch();
    controls->addWidget(new QLabel(QStringLiteral("Mains"), this));
    controls->addWidget(mainsBox);
    controls->addWidget(addMainsBtn);
    controls->addWidget(exportBtn);
    controls->addWidget(clearBtn);
    controls->addWidget(undoBtn);
    auto* info = new QHBoxLayout;
    info->addWidget(statusText, 1);
    info->addWidget(probeText);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(plotWidget, 1);
    layout->addLayout(info);

    connect(quantityBox, &QComboBox::currentIndexChanged, this, &WarmupView::refresh);
    connect(mainsModeBox, &QComboBox::currentIndexChanged, this, &WarmupView::refresh);
    connect(addMainsBtn, &QPushButton::clicked, this, [this] { this->recorder.addMains(mainsBox->value()); });
    connect(exportBtn, &QPushButton::clicked, this, &WarmupView::exportCsv);
    connect(clearBtn, &QPushButton::clicked, this, [this] { this->recorder.clear(); });
    connect(undoBtn, &QPushButton::clicked, recorder.undoStack(), &QUndoStack::undo);
    connect(recorder.undoStack(), &QUndoStack::canUndoChanged, undoBtn, &QPushButton::setEnabled);
    undoBtn->setEnabled(recorder.undoStack()->canUndo());
    connect(&recorder, &WarmupRecorder::logChanged, this, &WarmupView::refresh);
    connect(&recorder, &WarmupRecorder::runawayDetected, this, [this](int tube) {
        const WarmupTubeState s = this->recorder.tubeState(tube);
        emit announce(QStringLiteral("RUNAWAY: V%1 rising since %2 - check it now")
                          .arg(tube + 1)
                          .arg(warmupElapsedText(s.risingSinceMs - this->recorder.log().startMs())),
                      true);
    });
    connect(&recorder, &WarmupRecorder::allTubesSettled, this,
            [this] { emit announce(QStringLiteral("all tubes settled"), false); });
    connect(&recorder, &WarmupRecorder::probeReminder, this, [this] {
        emit announce(QStringLiteral("Bias probes in for 15 minutes - take them out before they soften"),
                      false);
    });
    refresh();
}

void WarmupView::setGuides(double idealLowPct, double idealHighPct, double targetPct, double maxPlateW,
                           double plateV)
{
    lowPct = idealLowPct;
    highPct = idealHighPct;
    targetPctValue = targetPct;
    ratingW = maxPlateW;
    plateVolts = plateV;
    refresh();
}

WarmupPlotData WarmupView::currentPlotData() const
{
    const WarmupQuantity quantity =
        quantityBox->currentIndex() == 1 ? WarmupQuantity::PctOfMax : WarmupQuantity::CurrentMa;
    const double nominal = mainsModeBox->currentIndex() == 1   ? 120
                           : mainsModeBox->currentIndex() == 2 ? 230
                                                               : 0;
    QVector<WarmupTubeState> states;
    for (int t = 0; t < warmupMaxTubes; ++t)
        states.append(recorder.tubeState(t));
    WarmupPlotData data =
        warmupPlotData(recorder.log(), states, quantity, nominal, Clock::currentMSecsSinceEpoch());
    if (quantity == WarmupQuantity::PctOfMax) {
        data.windowLow = lowPct;
        data.windowHigh = highPct;
        data.target = targetPctValue;
    } else if (plateVolts > 0 && ratingW > 0) {
        // The current at which the tube dissipates that share of its rating at this plate voltage.
        const double perPct = ratingW / plateVolts * 1000 / 100;
        data.windowLow = lowPct * perPct;
        data.windowHigh = highPct * perPct;
        data.target = targetPctValue * perPct;
    }
    return data;
}

void WarmupView::refresh()
{
    const WarmupPlotData data = currentPlotData();
    plotWidget->setData(data);
    QStringList notes;
    for (const WarmupPlotSeries& s : data.series)
        notes.append(warmupTubeNote(s.tube, s.state, data.startMs));
    statusText->setText(notes.isEmpty() ? QStringLiteral("No readings logged yet.")
                                        : notes.join(QStringLiteral("   ")));
    clearBtn->setEnabled(!recorder.log().isEmpty());
    exportBtn->setEnabled(!recorder.log().entries.isEmpty());
    const qint64 probe = recorder.probeStartMs();
    probeText->setText(probe == 0 ? QString()
                                  : QStringLiteral("Probes in: ") +
                                        warmupElapsedText(Clock::currentMSecsSinceEpoch() - probe));
    scheduleTick();
}

void WarmupView::scheduleTick()
{
    // Only the probe timer counts on its own; without probes in, nothing is scheduled.
    if (ticking || recorder.probeStartMs() == 0)
        return;
    ticking = true;
    Clock::singleShot(1000, this, [this] { tick(); });
}

void WarmupView::tick()
{
    ticking = false;
    if (isVisible())
        refresh();
    scheduleTick();
}

void WarmupView::showEvent(QShowEvent* event)
{
    refresh(); // the time moved on while the view was hidden
    QWidget::showEvent(event);
}

bool WarmupView::exportCsv()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export warm-up log"),
                                     QStringLiteral("warmup_log.csv"), QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly) || !writeWarmupCsv(recorder.log(), file, &error) || !file.commit()) {
        plainWarning(this, QStringLiteral("Export failed"),
                     QStringLiteral("Could not write the CSV file: ") +
                         (error.isEmpty() ? file.errorString() : error));
        return false;
    }
    return true;
}
