#include "preamp/platecurvepainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>

// Flat ends and bevelled joins: round ones cost a large view several milliseconds per repaint.
static QPen linePen(const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine)
{
    return QPen(colour, width, style, Qt::FlatCap, Qt::BevelJoin);
}

static QPolygonF toPixels(const QRectF& plot, const PlateCurveScene& scene, const QPolygonF& data)
{
    QPolygonF out;
    out.reserve(data.size());
    for (const QPointF& point : data)
        out.append(plateCurveToPixel(plot, scene, point));
    return out;
}

static QString number(double value, double step)
{
    const int decimals = step < 1 ? (step < 0.1 ? 2 : 1) : 0;
    return QString::number(value, 'f', decimals);
}

static void drawAxes(QPainter& p, const QRectF& plot, const PlateCurveScene& scene, double unit)
{
    p.setPen(linePen(PlateCurveColours::grid(), unit * 0.6));
    for (double v = scene.plateStepV; v < scene.maxPlateV - 1e-9; v += scene.plateStepV) {
        const double x = plateCurveToPixel(plot, scene, QPointF(v, 0)).x();
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (double ma = scene.plateStepMa; ma < scene.maxPlateMa - 1e-9; ma += scene.plateStepMa) {
        const double y = plateCurveToPixel(plot, scene, QPointF(0, ma)).y();
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }

    p.setPen(linePen(PlateCurveColours::ink(), unit));
    p.drawRect(plot);
    const QFontMetricsF metrics(p.font());
    const double gap = metrics.height() * 0.3;
    for (double v = 0; v <= scene.maxPlateV + 1e-9; v += scene.plateStepV) {
        const QPointF at = plateCurveToPixel(plot, scene, QPointF(v, 0));
        const QString text = number(v, scene.plateStepV);
        p.drawText(QPointF(at.x() - metrics.horizontalAdvance(text) / 2, at.y() + gap + metrics.ascent()),
                   text);
    }
    for (double ma = 0; ma <= scene.maxPlateMa + 1e-9; ma += scene.plateStepMa) {
        const QPointF at = plateCurveToPixel(plot, scene, QPointF(0, ma));
        const QString text = number(ma, scene.plateStepMa);
        p.drawText(QPointF(at.x() - gap - metrics.horizontalAdvance(text), at.y() + metrics.ascent() / 2.5),
                   text);
    }
    const QString across = QStringLiteral("Plate to cathode (V)");
    p.drawText(QPointF(plot.center().x() - metrics.horizontalAdvance(across) / 2,
                       plot.bottom() + gap + metrics.height() + metrics.ascent()),
               across);
    p.save();
    const QString up = QStringLiteral("Plate current (mA)");
    p.translate(plot.left() - gap * 2 - metrics.horizontalAdvance(QStringLiteral("00.0")) - metrics.descent(),
                plot.center().y() + metrics.horizontalAdvance(up) / 2);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), up);
    p.restore();
}

static void drawLegend(QPainter& p, const QRectF& plot, const PlateCurveScene& scene, double unit)
{
    struct Entry {
        QColor colour;
        Qt::PenStyle style;
        double width;
        QString text;
    };
    QList<Entry> entries = {
        {PlateCurveColours::dcLoad(), Qt::SolidLine, 1.4, QStringLiteral("DC load line")},
    };
    if (scene.hasOperatingPoint) {
        entries.append({PlateCurveColours::acLoad(), Qt::SolidLine, 1.4, QStringLiteral("AC load line")});
        entries.append({PlateCurveColours::swing(), Qt::SolidLine, 3.2,
                        QStringLiteral("swing +%1 / −%2 V pk")
                            .arg(QString::number(scene.stage.headroomPlusV, 'f', 2),
                                 QString::number(-scene.stage.headroomMinusV, 'f', 2))});
    }
    entries.append({PlateCurveColours::bias(), Qt::DashLine, 1.2, QStringLiteral("bias line (Rk)")});
    if (!scene.dissipation.isEmpty())
        entries.append(
            {PlateCurveColours::dissipation(), Qt::DashDotLine, 1.2, QStringLiteral("max dissipation")});

    const QFontMetricsF metrics(p.font());
    double textWidth = 0;
    for (const Entry& e : entries)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(e.text));
    const double row = metrics.height() * 1.15;
    const double sample = metrics.height() * 1.6;
    const double pad = metrics.height() * 0.4;
    // Top left: the region left of the zero-volt curve, where the grid would be positive, is empty.
    const QRectF box(plot.left() + pad, plot.top() + pad, textWidth + sample + 3 * pad,
                     row * entries.size() + pad);
    // See-through, so a load line passing behind it is not lost.
    QColor fill = PlateCurveColours::paper();
    fill.setAlpha(200);
    p.setPen(linePen(PlateCurveColours::grid(), unit * 0.8));
    p.setBrush(fill);
    p.drawRect(box);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        const double y = box.top() + pad / 2 + row * (i + 0.5);
        p.setPen(linePen(e.colour, unit * e.width, e.style));
        p.drawLine(QPointF(box.left() + pad, y), QPointF(box.left() + pad + sample, y));
        p.setPen(PlateCurveColours::ink());
        p.drawText(QPointF(box.left() + 2 * pad + sample, y + metrics.ascent() / 2.5), e.text);
    }
}

void paintPlateCurves(QPainter& p, const QRectF& bounds, const PlateCurveScene& scene)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(bounds, PlateCurveColours::paper());

    QFont font = p.font();
    font.setPixelSize(
        std::max(7, int(std::lround(std::min(bounds.height() * 0.045, bounds.width() * 0.02)))));
    p.setFont(font);
    const double unit = std::max(1.0, std::min(bounds.width(), bounds.height() * 1.6) / 640);

    if (!scene.hasCurves) {
        p.setPen(PlateCurveColours::ink());
        p.drawText(bounds, Qt::AlignCenter | Qt::TextWordWrap, scene.message);
        p.restore();
        return;
    }

    const QRectF plot = plateCurvePlotRect(bounds);
    drawAxes(p, plot, scene, unit);

    p.save();
    p.setClipRect(plot);

    // The tube's curves, each named by its grid voltage where it leaves the plot.
    const QFontMetricsF metrics(p.font());
    for (const PlateCurve& curve : scene.curves) {
        p.setPen(linePen(PlateCurveColours::curve(), unit));
        p.drawPolyline(toPixels(plot, scene, curve.points));
    }
    p.restore();
    p.setPen(PlateCurveColours::ink());
    // Curves crowd together near cut-off; a label that would touch the one before is left out.
    double lastRightLabelY = -1e9;
    double lastTopLabelX = -1e9;
    for (const PlateCurve& curve : scene.curves) {
        if (curve.points.isEmpty())
            continue;
        const QPointF end = curve.points.last();
        const QString text =
            curve.gridV == 0 ? QStringLiteral("0 V")
                             : QStringLiteral("−%1").arg(-curve.gridV, 0, 'f', scene.gridStepV < 1 ? 1 : 0);
        const double width = metrics.horizontalAdvance(text);
        const QPointF at = plateCurveToPixel(plot, scene, end);
        if (end.y() > scene.maxPlateMa) {
            // Leaves through the top: label it just above the frame where it crosses.
            if (at.x() - lastTopLabelX < width * 1.2)
                continue;
            lastTopLabelX = at.x();
            p.drawText(QPointF(at.x() - width / 2, plot.top() - metrics.descent()), text);
        } else {
            if (at.y() - lastRightLabelY < metrics.height() * 0.9)
                continue;
            lastRightLabelY = at.y();
            p.drawText(QPointF(plot.right() + metrics.height() * 0.3, at.y() + metrics.ascent() / 2.5), text);
        }
    }

    p.save();
    p.setClipRect(plot);
    if (!scene.dissipation.isEmpty()) {
        p.setPen(linePen(PlateCurveColours::dissipation(), unit * 1.2, Qt::DashDotLine));
        p.drawPolyline(toPixels(plot, scene, scene.dissipation));
    }
    p.setPen(linePen(PlateCurveColours::bias(), unit * 1.2, Qt::DashLine));
    p.drawPolyline(toPixels(plot, scene, scene.biasLine));
    p.setPen(linePen(PlateCurveColours::dcLoad(), unit * 1.4));
    p.drawLine(plateCurveToPixel(plot, scene, scene.dcLoadLine.p1()),
               plateCurveToPixel(plot, scene, scene.dcLoadLine.p2()));
    if (scene.hasOperatingPoint) {
        p.setPen(linePen(PlateCurveColours::acLoad(), unit * 1.4));
        p.drawLine(plateCurveToPixel(plot, scene, scene.acLoadLine.p1()),
                   plateCurveToPixel(plot, scene, scene.acLoadLine.p2()));

        const QPointF plus = plateCurveToPixel(plot, scene, scene.swingPlus);
        const QPointF minus = plateCurveToPixel(plot, scene, scene.swingMinus);
        p.setPen(linePen(PlateCurveColours::swing(), unit * 3.2));
        p.drawLine(plus, minus);
        // End marks across the load line.
        const QLineF along(minus, plus);
        QLineF across = along.normalVector().unitVector();
        const QPointF half = (across.p2() - across.p1()) * unit * 5;
        p.setPen(linePen(PlateCurveColours::swing(), unit * 1.6));
        for (const QPointF& end : {plus, minus})
            p.drawLine(end - half, end + half);

        const QPointF q = plateCurveToPixel(plot, scene, scene.operatingPoint);
        const double radius = unit * 4;
        p.setPen(linePen(PlateCurveColours::ink(), unit * 0.8));
        p.setBrush(PlateCurveColours::operatingPoint());
        p.drawEllipse(q, radius, radius);
        p.setBrush(Qt::NoBrush);
    }
    p.restore();

    drawLegend(p, plot, scene, unit);
    p.restore();
}
