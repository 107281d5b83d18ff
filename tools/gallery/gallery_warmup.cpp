// The WARM-UP view of a four-tube 6L6GC job an hour in: three tubes settled, V3 running away from
// minute 24, the mains entered twice. Also written as a PDF page, to see that it stays vectors.
#include "gallery.h"

#include "app/clock.h"
#include "bench/mainwindow.h"
#include "bias/tubecardwidget.h"
#include "warmup/warmupplotwidget.h"
#include "warmup/warmuprecorder.h"
#include "warmup/warmupview.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QSpinBox>
#include <QTabWidget>
#include <cmath>

namespace {

class GalleryClock : public Clock
{
public:
    qint64 ms = QDateTime(QDate(2026, 3, 14), QTime(9, 30)).toMSecsSinceEpoch();

protected:
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(ms); }
    void schedule(int, const QObject*, std::function<void()>) override {}
};

// A clock the page moves by hand that runs what the program schedules on it when its moment passes,
// so the window's pauses and time-outs play out as in use.
class SteppedClock : public Clock
{
public:
    qint64 ms = QDateTime(QDate(2026, 3, 14), QTime(9, 30)).toMSecsSinceEpoch();

    void advance(qint64 step)
    {
        const qint64 end = ms + step;
        for (;;) {
            auto next = std::min_element(due.begin(), due.end(),
                                         [](const Due& a, const Due& b) { return a.atMs < b.atMs; });
            if (next == due.end() || next->atMs > end)
                break;
            const Due action = *next;
            due.erase(next);
            ms = action.atMs;
            if (action.contextless || action.context)
                action.run();
        }
        ms = end;
    }

protected:
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(ms); }
    void schedule(int delay, const QObject* context, std::function<void()> action) override
    {
        due.append(Due{ms + delay, QPointer<const QObject>(context), context == nullptr, std::move(action)});
    }

private:
    struct Due {
        qint64 atMs = 0;
        QPointer<const QObject> context;
        bool contextless = false;
        std::function<void()> run;
    };
    QList<Due> due;
};

} // namespace

// The whole window on its WARM-UP tab, and on the bench with the cards' marks: four 6V6GT at 350 V
// typed in every 15 s, V3 rising by 5 % a minute from minute 20; the pictures are taken at 22:45,
// while the alarm is still in the status bar.
GALLERY_PAGE(window_warmup)
{
    SteppedClock clock;
    Clock::setInstance(&clock);
    {
        MainWindow window;
        tubeCountSpin(window)->setValue(4);
        plateVSpin(window)->setValue(350);
        const double finals[] = {26, 27, 25.5, 26.5};
        window.findChild<QTabWidget*>(QStringLiteral("mainTabs"))->setCurrentIndex(2);
        for (int s = 0; s <= 22 * 60 + 30; s += 15) {
            for (int t = 0; t < 4; ++t) {
                double ma = finals[t] - 7 * std::exp(-s / 180.0);
                if (t == 2 && s > 20 * 60)
                    ma += 1.3 * (s - 20 * 60) / 60.0;
                cards(window)[t]->setMeasurements(std::round(ma * 10) / 10, 0);
            }
            clock.advance(15000);
        }
        saveWidget(&window, out, QStringLiteral("window_warmup_runaway.png"));
        window.findChild<QTabWidget*>(QStringLiteral("mainTabs"))->setCurrentIndex(0);
        saveWidget(&window, out, QStringLiteral("window_warmup_cards.png"));
    }
    Clock::setInstance(nullptr);
}

GALLERY_PAGE(warmup)
{
    GalleryClock clock;
    Clock::setInstance(&clock);
    WarmupRecorder recorder;
    recorder.setTubeCount(4);
    const double finals[] = {42, 43.5, 41, 44};
    for (int s = 0; s <= 40 * 60; s += 5) {
        if (s == 120)
            recorder.addMains(121.5);
        if (s == 1800)
            recorder.addMains(124);
        for (int t = 0; t < 4; ++t) {
            double ma = finals[t] - 12 * std::exp(-s / 240.0) + 0.15 * std::sin(s * 0.7 + t);
            if (t == 2 && s > 24 * 60)
                ma += 0.02 * 40 * (s - 24 * 60) / 60.0 * (1 + (s - 24 * 60) / 600.0);
            BiasResult r;
            r.valid = true;
            r.currentMa = ma;
            r.dissipationW = ma * 0.42;
            r.pctOfMax = r.dissipationW / 30 * 100;
            recorder.record(t, BiasProbe, ma, 0, r);
        }
        clock.ms += 5000;
    }
    auto* view = new WarmupView(recorder);
    view->setStyleSheet(
        QStringLiteral("#warmupView { background-color: #191713; } QLabel { color: #d8d0c0; }"));
    view->setAttribute(Qt::WA_StyledBackground);
    view->setGuides(60, 70, 65, 30, 420);
    view->resize(1000, 560);
    saveWidget(view, out, QStringLiteral("warmup_view.png"));
    {
        QPdfWriter pdf(out.filePath(QStringLiteral("warmup_plot.pdf")));
        QPainter painter(&pdf);
        paintWarmupPlot(painter, QRectF(0, 0, pdf.width(), pdf.height() * 0.45), view->currentPlotData());
    }
    delete view;
    Clock::setInstance(nullptr);
}
