// The WARM-UP view of a four-tube 6L6GC job an hour in: three tubes settled, V3 running away from
// minute 24, the mains entered twice. Also written as a PDF page, to see that it stays vectors.
#include "gallery.h"

#include "app/clock.h"
#include "warmup/warmupplotwidget.h"
#include "warmup/warmuprecorder.h"
#include "warmup/warmupview.h"

#include <QPainter>
#include <QPdfWriter>
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

} // namespace

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
