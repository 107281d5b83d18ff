#include "warmup/warmupplot.h"

#include <QFont>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

QColor warmupTubeColor(int tube)
{
    static const QColor colors[] = {
        QColor(0xf2, 0xb1, 0x3c), QColor(0x5f, 0xb4, 0xe8), QColor(0x8c, 0xd4, 0x6e),
        QColor(0xd9, 0x7b, 0xe0), QColor(0xf0, 0xe0, 0x6a), QColor(0x4f, 0xd1, 0xc1),
        QColor(0xf5, 0x8c, 0x6c), QColor(0xa4, 0xa8, 0xf0), QColor(0xc8, 0xc8, 0xc8),
        QColor(0xe8, 0x9e, 0xc6), QColor(0x9e, 0x8a, 0x5c), QColor(0x6c, 0x9e, 0x7a),
    };
    return colors[((tube % 12) + 12) % 12];
}

QVector<double> warmupTicks(double min, double max, int maxTicks)
{
    QVector<double> ticks;
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max) || maxTicks < 2)
        return ticks;
    const double rough = (max - min) / (maxTicks - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough) {
            step = m * power;
            break;
        }
    }
    for (double v = std::ceil(min / step - 1e-9) * step; v <= max + step * 1e-9; v += step)
        ticks.append(std::abs(v) < step * 1e-9 ? 0 : v);
    return ticks;
}

WarmupAxis warmupTimeAxis(double spanMin, int maxTicks)
{
    WarmupAxis axis;
    axis.min = 0;
    axis.max = std::max(5.0, spanMin);
    axis.ticks = warmupTicks(0, axis.max, maxTicks);
    if (axis.ticks.size() >= 2 && axis.ticks.last() < axis.max) {
        const double step = axis.ticks.at(1) - axis.ticks.at(0);
        axis.max = axis.ticks.last() + step;
        axis.ticks.append(axis.max);
    }
    return axis;
}

WarmupAxis warmupValueAxis(double low, double high, int maxTicks)
{
    WarmupAxis axis;
    if (!(high > low)) {
        const double pad = std::max(1.0, std::abs(low) * 0.1);
        low -= pad;
        high += pad;
    }
    const double room = (high - low) * 0.05;
    low = std::max(0.0, low - room);
    high += room;
    QVector<double> ticks = warmupTicks(low, high, maxTicks);
    if (ticks.size() < 2) {
        axis.min = low;
        axis.max = high;
        return axis;
    }
    const double step = ticks.at(1) - ticks.at(0);
    if (ticks.first() > low + 1e-9)
        ticks.prepend(ticks.first() - step);
    if (ticks.last() < high - 1e-9)
        ticks.append(ticks.last() + step);
    axis.min = ticks.first();
    axis.max = ticks.last();
    axis.ticks = ticks;
    return axis;
}

WarmupPlotLayout warmupPlotLayout(const QRectF& bounds, double textHeight, bool withMains)
{
    WarmupPlotLayout layout;
    const double left = bounds.left() + textHeight * 3.6;
    const double right = bounds.right() - textHeight * 1.2;
    const double top = bounds.top() + textHeight * 1.6;
    double bottom = bounds.bottom() - textHeight * 2.6;
    if (withMains) {
        const double strip = std::max(textHeight * 2.5, (bottom - top) * 0.16);
        layout.mains = QRectF(QPointF(left, bottom - strip), QPointF(right, bottom));
        bottom -= strip + textHeight * 1.6; // room for the minute labels
    }
    layout.plot = QRectF(QPointF(left, top), QPointF(right, std::max(top + 1, bottom)));
    return layout;
}

QPointF warmupMap(double minutes, double value, const WarmupAxis& x, const WarmupAxis& y, const QRectF& area)
{
    const double fx = x.max > x.min ? (minutes - x.min) / (x.max - x.min) : 0;
    const double fy = y.max > y.min ? (value - y.min) / (y.max - y.min) : 0;
    return QPointF(area.left() + fx * area.width(), area.bottom() - fy * area.height());
}

QVector<WarmupPoint> warmupDecimate(const QVector<WarmupPoint>& points, qint64 fromMs, qint64 toMs,
                                    int columns)
{
    QVector<WarmupPoint> out;
    if (columns < 1 || toMs <= fromMs)
        return out;
    const auto begin = std::lower_bound(points.begin(), points.end(), fromMs,
                                        [](const WarmupPoint& p, qint64 t) { return p.timeMs < t; });
    const double span = double(toMs - fromMs);
    qsizetype low = -1;
    qsizetype high = -1;
    int column = -1;
    const auto flush = [&] {
        if (low < 0)
            return;
        const qsizetype a = std::min(low, high);
        const qsizetype b = std::max(low, high);
        out.append(points.at(a));
        if (b != a)
            out.append(points.at(b));
    };
    for (auto it = begin; it != points.end() && it->timeMs < toMs; ++it) {
        const qsizetype i = it - points.begin();
        const int c = std::min(columns - 1, int(double(it->timeMs - fromMs) / span * columns));
        if (c != column) {
            flush();
            column = c;
            low = high = i;
            continue;
        }
        if (it->value < points.at(low).value)
            low = i;
        if (it->value > points.at(high).value)
            high = i;
    }
    flush();
    return out;
}

double warmupPlotValue(const WarmupEntry& entry, WarmupQuantity quantity, double mainsV, double nominalV)
{
    const double ratio = mainsV > 0 && nominalV > 0 ? nominalV / mainsV : 1;
    if (quantity == WarmupQuantity::PctOfMax)
        return entry.pctOfMax * ratio * ratio;
    return entry.currentMa * ratio;
}

WarmupPlotData warmupPlotData(const WarmupLog& log, const QVector<WarmupTubeState>& states,
                              WarmupQuantity quantity, double nominalV, qint64 nowMs)
{
    WarmupPlotData data;
    data.startMs = log.startMs();
    data.nowMs = std::max(nowMs, log.entries.isEmpty() ? data.startMs : log.entries.last().timeMs);
    data.quantity = quantity;
    data.mains = log.mains;
    data.nominalMainsV = nominalV;
    QVector<int> slot(warmupMaxTubes, -1);
    for (int tube : log.tubes()) {
        slot[tube] = int(data.series.size());
        WarmupPlotSeries s;
        s.tube = tube;
        s.state = states.value(tube);
        data.series.append(s);
    }
    for (const WarmupEntry& e : log.entries) {
        if (e.tube < 0 || e.tube >= warmupMaxTubes)
            continue;
        data.series[slot.at(e.tube)].points.append(
            WarmupPoint{e.timeMs, warmupPlotValue(e, quantity, log.mainsAt(e.timeMs), nominalV)});
    }
    return data;
}

QString warmupElapsedText(qint64 ms)
{
    const qint64 s = std::max<qint64>(0, ms) / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString warmupTubeNote(int tube, const WarmupTubeState& state, qint64 startMs)
{
    const QString name = QStringLiteral("V%1").arg(tube + 1);
    if (state.runaway)
        return name + QStringLiteral(" RUNAWAY, rising since ") +
               warmupElapsedText(state.risingSinceMs - startMs);
    if (state.settled)
        return name + QStringLiteral(" settled ") + warmupElapsedText(state.settledSinceMs - startMs);
    if (state.readings == 0)
        return name + QStringLiteral(" no reading");
    return name + QStringLiteral(" settling, %1 %/min").arg(state.driftPctPerMin, 0, 'f', 1);
}

void paintWarmupPlot(QPainter& p, const QRectF& bounds, const WarmupPlotData& data)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // A line of text grows with the plot up to a readable size for the device (a PDF page has many
    // more dots to the inch than a screen).
    const double dpiScale = p.device() ? std::max(1, p.device()->logicalDpiY()) / 96.0 : 1.0;
    const double unit =
        std::clamp(std::min(bounds.width() / 60, bounds.height() / 28), 6.0 * dpiScale, 16.0 * dpiScale);
    QFont font = p.font();
    font.setPixelSize(int(std::round(unit)));
    p.setFont(font);
    const double text = unit * 1.25;
    const WarmupPlotLayout layout = warmupPlotLayout(bounds, text, !data.mains.isEmpty());
    const QRectF& area = layout.plot;

    p.fillRect(bounds, QColor(0x19, 0x17, 0x13));
    p.fillRect(area, QColor(0x22, 0x1f, 0x1a));

    const double spanMin = double(data.nowMs - data.startMs) / 60000;
    const WarmupAxis x = warmupTimeAxis(spanMin, std::max(2, int(area.width() / (unit * 6))));
    double low = data.target > 0 ? data.target : 1e300;
    double high = data.target > 0 ? data.target : -1e300;
    if (data.windowHigh > data.windowLow) {
        low = std::min(low, data.windowLow);
        high = std::max(high, data.windowHigh);
    }
    for (const WarmupPlotSeries& s : data.series)
        for (const WarmupPoint& pt : s.points) {
            low = std::min(low, pt.value);
            high = std::max(high, pt.value);
        }
    if (low > high)
        low = high = 0;
    const WarmupAxis y = warmupValueAxis(low, high, std::max(2, int(area.height() / (unit * 3))));

    // Grid and ticks.
    const QColor gridColor(0x3a, 0x35, 0x2e);
    const QColor labelColor(0xb8, 0xae, 0x9c);
    p.setPen(QPen(gridColor, std::max(1.0, unit / 12)));
    for (double t : x.ticks) {
        const double px = warmupMap(t, 0, x, y, area).x();
        p.drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
    }
    for (double v : y.ticks) {
        const double py = warmupMap(0, v, x, y, area).y();
        p.drawLine(QPointF(area.left(), py), QPointF(area.right(), py));
    }
    p.setPen(labelColor);
    for (double t : x.ticks) {
        const double px = warmupMap(t, 0, x, y, area).x();
        p.drawText(QRectF(px - unit * 3, area.bottom() + unit * 0.3, unit * 6, text), Qt::AlignHCenter,
                   QString::number(t));
    }
    for (double v : y.ticks) {
        const double py = warmupMap(0, v, x, y, area).y();
        p.drawText(QRectF(bounds.left(), py - text / 2, area.left() - bounds.left() - unit * 0.4, text),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
    }
    const QString unitText =
        data.quantity == WarmupQuantity::PctOfMax ? QStringLiteral("% of max") : QStringLiteral("mA");
    p.drawText(QRectF(area.left(), bounds.top(), area.width(), text * 1.2), Qt::AlignLeft | Qt::AlignVCenter,
               unitText + (data.nominalMainsV > 0
                               ? QStringLiteral(" at %1 V mains").arg(data.nominalMainsV, 0, 'f', 0)
                               : QString()));
    const double axisBottom = layout.mains.isEmpty() ? area.bottom() : layout.mains.bottom();
    p.drawText(QRectF(area.left(), axisBottom + text * 1.1, area.width(), text), Qt::AlignRight,
               QStringLiteral("minutes since the first reading"));

    p.save();
    p.setClipRect(area);
    // The ideal window and the target.
    if (data.windowHigh > data.windowLow) {
        const QPointF a = warmupMap(x.min, data.windowHigh, x, y, area);
        const QPointF b = warmupMap(x.max, data.windowLow, x, y, area);
        p.fillRect(QRectF(a, b), QColor(0x78, 0xc8, 0x6e, 40));
    }
    if (data.target > 0) {
        const double py = warmupMap(0, data.target, x, y, area).y();
        p.setPen(QPen(QColor(0xe1, 0xa5, 0x3c), std::max(1.0, unit / 8), Qt::DashLine));
        p.drawLine(QPointF(area.left(), py), QPointF(area.right(), py));
    }
    // The curves, decimated to the pixel columns of the plot.
    const int columns = std::max(1, int(area.width()));
    const qint64 endMs = data.startMs + qint64(x.max * 60000) + 1;
    for (const WarmupPlotSeries& s : data.series) {
        const QVector<WarmupPoint> pts = warmupDecimate(s.points, data.startMs, endMs, columns);
        if (pts.isEmpty())
            continue;
        QPolygonF line;
        line.reserve(pts.size());
        for (const WarmupPoint& pt : pts)
            line.append(warmupMap(double(pt.timeMs - data.startMs) / 60000, pt.value, x, y, area));
        const QColor color = warmupTubeColor(s.tube);
        // A one-pixel cosmetic pen: Qt's raster engine strokes thousands of short segments with it
        // about a hundred times faster than with a wider one (a 12-tube hour: 2 ms against 200), and
        // on a PDF page it is still a vector line.
        QPen pen(color, std::round(dpiScale), Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(line);
        const QPointF last = line.last();
        if (s.state.runaway) {
            // Red from where it began to rise, and a ring at its latest reading.
            const double from =
                warmupMap(double(s.state.risingSinceMs - data.startMs) / 60000, 0, x, y, area).x();
            p.save();
            p.setClipRect(QRectF(QPointF(from, area.top()), area.bottomRight()), Qt::IntersectClip);
            p.setPen(QPen(warmupRunawayColor, std::max(2.5, unit / 3.5), Qt::SolidLine, Qt::RoundCap));
            p.drawPolyline(line);
            p.restore();
            p.setPen(QPen(warmupRunawayColor, std::max(1.5, unit / 6)));
            p.drawEllipse(last, unit * 0.7, unit * 0.7);
        } else if (s.state.settled) {
            p.setBrush(color);
            p.setPen(Qt::NoPen);
            p.drawEllipse(last, unit * 0.35, unit * 0.35);
        }
    }
    p.restore();

    // The mains strip: its own scale, the nominal as a line.
    if (!layout.mains.isEmpty()) {
        const QRectF& strip = layout.mains;
        p.fillRect(strip, QColor(0x22, 0x1f, 0x1a));
        double vLow = data.nominalMainsV > 0 ? data.nominalMainsV : 1e300;
        double vHigh = data.nominalMainsV > 0 ? data.nominalMainsV : -1e300;
        for (const MainsReading& m : data.mains) {
            vLow = std::min(vLow, m.volts);
            vHigh = std::max(vHigh, m.volts);
        }
        const WarmupAxis my = warmupValueAxis(vLow, vHigh, 3);
        p.setPen(labelColor);
        p.drawText(
            QRectF(bounds.left(), strip.top(), strip.left() - bounds.left() - unit * 0.4, strip.height()),
            Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("mains V"));
        if (data.nominalMainsV > 0) {
            const double py = warmupMap(0, data.nominalMainsV, x, my, strip).y();
            p.setPen(QPen(gridColor, std::max(1.0, unit / 10), Qt::DashLine));
            p.drawLine(QPointF(strip.left(), py), QPointF(strip.right(), py));
        }
        QPainterPath steps;
        for (qsizetype i = 0; i < data.mains.size(); ++i) {
            const QPointF q = warmupMap(double(data.mains.at(i).timeMs - data.startMs) / 60000,
                                        data.mains.at(i).volts, x, my, strip);
            if (i == 0)
                steps.moveTo(q);
            else {
                steps.lineTo(q.x(), steps.currentPosition().y());
                steps.lineTo(q);
            }
        }
        steps.lineTo(strip.right(), steps.currentPosition().y());
        p.setPen(QPen(QColor(0xd8, 0xd0, 0xc0), std::max(1.2, unit / 8)));
        p.drawPath(steps);
        for (const MainsReading& m : data.mains) {
            const QPointF q = warmupMap(double(m.timeMs - data.startMs) / 60000, m.volts, x, my, strip);
            p.drawText(QRectF(q.x() + unit * 0.3, strip.top(), unit * 6, text), Qt::AlignLeft,
                       QString::number(m.volts, 'f', 1));
        }
    }

    // One note per tube along the top, in its colour; red for a runaway.
    double nx = area.left() + unit * 6;
    for (const WarmupPlotSeries& s : data.series) {
        const QString note = warmupTubeNote(s.tube, s.state, data.startMs);
        const double w = unit * 0.56 * note.size() + unit;
        if (nx + w > bounds.right())
            break;
        p.setPen(s.state.runaway ? warmupRunawayColor : warmupTubeColor(s.tube));
        p.drawText(QRectF(nx, bounds.top(), w, text * 1.2), Qt::AlignLeft | Qt::AlignVCenter, note);
        nx += w;
    }
    p.restore();
}
