// Warm-up log timings: a repaint of the plot with a long log, and adding one reading to it.
#include "benchmain.h"

#include "app/clock.h"
#include "warmup/warmupplotwidget.h"
#include "warmup/warmuprecorder.h"

#include <QImage>
#include <QPainter>
#include <cmath>

namespace {

// An hour of `tubes` tubes read `perSecond` times a second, as plot data.
WarmupPlotData hourOf(int tubes, int perSecond)
{
    WarmupPlotData data;
    data.startMs = 0;
    data.nowMs = 3600 * 1000;
    data.windowLow = 36;
    data.windowHigh = 42;
    data.target = 39;
    for (int t = 0; t < tubes; ++t) {
        WarmupPlotSeries s;
        s.tube = t;
        const int n = 3600 * perSecond;
        s.points.reserve(n);
        for (int i = 0; i < n; ++i) {
            const double sec = double(i) / perSecond;
            s.points.append(
                {qint64(sec * 1000), 40 + t * 0.3 - 8 * std::exp(-sec / 300) + 0.2 * std::sin(i * 0.37)});
        }
        data.series.append(s);
    }
    data.mains = {{0, 121}, {1200000, 123.5}, {2400000, 119}};
    return data;
}

void benchRepaint(const QString& name, int tubes, int perSecond)
{
    WarmupPlotWidget widget;
    widget.resize(1000, 420);
    widget.setData(hourOf(tubes, perSecond));
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    const QVector<double> runs = timeRuns(60, [&] { widget.render(&image); });
    report(name + QStringLiteral(", repaint (median)"), median(runs) / 1e6, QStringLiteral("ms"),
           QStringLiteral("< 8 ms"));
    report(name + QStringLiteral(", repaint (worst)"), worst(runs) / 1e6, QStringLiteral("ms"));
}

} // namespace

BENCHMARK_CASE(warmup_plot_repaint)
{
    benchRepaint(QStringLiteral("warm-up plot, 12 tubes x 1 h at 1/s"), 12, 1);
    benchRepaint(QStringLiteral("warm-up plot, 4 tubes x 1 h at 10/s"), 4, 10);
}

BENCHMARK_CASE(warmup_add_reading)
{
    // A 36 000-reading log (one tube at ten a second for an hour), then one more reading at a time:
    // the log, the tube's currents and its settle/runaway state move on by one.
    WarmupRecorder recorder;
    WarmupEntry e;
    for (int i = 0; i < 36000; ++i) {
        e.timeMs = qint64(i) * 100;
        e.currentMa = 40 + 0.2 * std::sin(i * 0.37);
        recorder.recordEntry(e);
    }
    int i = 36000;
    const QVector<double> runs = timeRuns(2000, [&] {
        e.timeMs = qint64(i) * 100;
        e.currentMa = 40 + 0.2 * std::sin(i++ * 0.37);
        recorder.recordEntry(e);
    });
    report(QStringLiteral("warm-up log, add one reading to 36 000 (median)"), median(runs) / 1e3,
           QStringLiteral("µs"), QStringLiteral("< 100 µs"));
    report(QStringLiteral("warm-up log, add one reading to 36 000 (worst)"), worst(runs) / 1e3,
           QStringLiteral("µs"));
}
