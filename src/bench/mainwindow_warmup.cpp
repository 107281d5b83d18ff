// The "WARM-UP" tab: the job's warm-up log, fed from the bench model by a WarmupBenchHook. Its guides
// (the class's ideal window, the target, the rating and the plate voltage) follow the model, and what
// the log has to announce - a runaway, all tubes settled, the probe reminder - goes to the status bar.
//
// The log belongs to the job: a profile and the last session carry it (captureProfile), loading one
// brings its log back (applyProfile), and choosing a preset starts a new job with an empty log
// (onPresetActivated).
#include "bench/mainwindow.h"

#include "warmup/warmuprecorder.h"
#include "warmup/warmupview.h"

namespace {

// How long an announcement stays in the status bar (unless another message replaces it); a runaway
// stays long enough to be seen by a technician who was looking at the amplifier.
constexpr int warmupNoticeMs = 15000;
constexpr int warmupAlarmMs = 120000;

} // namespace

void MainWindow::connectWarmup()
{
    connect(&bench, &BenchSession::setupChanged, this, &MainWindow::showWarmupGuides);
    connect(&bench, &BenchSession::targetChanged, this, &MainWindow::showWarmupGuides);
    connect(warmup, &WarmupView::announce, this, [this](const QString& text, bool alarm) {
        showStatusMessage(text, alarm ? warmupAlarmMs : warmupNoticeMs, alarm);
    });
}

void MainWindow::showWarmupGuides()
{
    const BenchSnapshot& s = bench.snapshot();
    warmup->setGuides(s.idealLowPct, s.idealHighPct, s.target.pct, s.maxPlateW, s.target.plateV);
}
