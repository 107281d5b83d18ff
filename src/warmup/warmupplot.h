#pragma once

// The warm-up plot: each tube's current (or % of max dissipation) against minutes since the job
// began, the class's ideal window shaded, the target as a line, the mains voltage in a strip below.
// Geometry, scales, ticks and decimation are pure functions; paintWarmupPlot draws with QPainter
// only, so the same code paints the widget and a PDF page (as vectors).
#include "warmup/warmuplog.h"
#include "warmup/warmupstats.h"

#include <QColor>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;

enum class WarmupQuantity { CurrentMa, PctOfMax };

// The colour of a tube's line and of the mark on its card; twelve that tell apart on the dark bench.
QColor warmupTubeColor(int tube);
inline const QColor warmupRunawayColor = QColor(0xe8, 0x3a, 0x2a);

// Round tick values covering [min, max], at steps of 1, 2 or 5 times a power of ten, at most
// `maxTicks` of them (at least two for a non-empty range).
QVector<double> warmupTicks(double min, double max, int maxTicks);

struct WarmupAxis {
    double min = 0;
    double max = 1;
    QVector<double> ticks;
};
// Minutes from 0 to at least `spanMin` (never less than 5), ending on a tick.
WarmupAxis warmupTimeAxis(double spanMin, int maxTicks);
// Values from a tick at or below `low` to one at or above `high`, with a little room.
WarmupAxis warmupValueAxis(double low, double high, int maxTicks);

// Where things go inside `bounds`, from its size and the height of a line of text.
struct WarmupPlotLayout {
    QRectF plot;  // the curves
    QRectF mains; // the mains strip below it; empty without mains readings
};
WarmupPlotLayout warmupPlotLayout(const QRectF& bounds, double textHeight, bool withMains);

// A point (minutes, value) in widget coordinates.
QPointF warmupMap(double minutes, double value, const WarmupAxis& x, const WarmupAxis& y, const QRectF& area);

// At most two points per column of `columns` equal spans of [fromMs, toMs): the lowest and the
// highest of the column, in time order (one point when the column has one). Points outside the
// range are left out. Input in time order.
QVector<WarmupPoint> warmupDecimate(const QVector<WarmupPoint>& points, qint64 fromMs, qint64 toMs,
                                    int columns);

// The value an entry is plotted at: its current or % of max, optionally brought to the nominal
// mains. Current is taken to follow the mains in proportion, dissipation with its square (both
// first-order: B+ and the bias supply scale with the mains). No mains reading, or a nominal of 0:
// the value as read.
double warmupPlotValue(const WarmupEntry& entry, WarmupQuantity quantity, double mainsV, double nominalV);

struct WarmupPlotSeries {
    int tube = 0;
    QVector<WarmupPoint> points; // value in the plot's quantity
    WarmupTubeState state;
};

struct WarmupPlotData {
    qint64 startMs = 0; // the job's start: minute 0
    qint64 nowMs = 0;   // the right end of the curves
    WarmupQuantity quantity = WarmupQuantity::CurrentMa;
    QVector<WarmupPlotSeries> series;
    double windowLow = 0; // the ideal window in the plot's quantity; low >= high: none
    double windowHigh = 0;
    double target = 0; // 0: none
    QVector<MainsReading> mains;
    double nominalMainsV = 0; // drawn in the mains strip; 0: none
};

// The plot data of a log: one series per tube with entries, values as warmupPlotValue gives them.
WarmupPlotData warmupPlotData(const WarmupLog& log, const QVector<WarmupTubeState>& states,
                              WarmupQuantity quantity, double nominalV, qint64 nowMs);

// The text under the plot for a tube, e.g. "V3 RUNAWAY since 12:40" or "V1 settled 6:10".
QString warmupTubeNote(int tube, const WarmupTubeState& state, qint64 startMs);
// Minutes and seconds since the start, "m:ss" (or "h:mm:ss" from an hour on).
QString warmupElapsedText(qint64 ms);

// Draws the plot into `bounds`. Every length derives from the size of `bounds`.
void paintWarmupPlot(QPainter& painter, const QRectF& bounds, const WarmupPlotData& data);
