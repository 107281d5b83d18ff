#include "bias/gaugewidget.h"

#include <QEasingCurve>
#include <QPainter>
#include <QPolygonF>
#include <QtMath>
#include <algorithm>
#include <cmath>

// Full scale of the dial, in % of max plate dissipation.
static constexpr double scaleMaxPct = 130.0;

static QPen solidPen(const QColor& color, double width, Qt::PenCapStyle cap)
{
    return QPen(QBrush(color), width, Qt::SolidLine, cap, Qt::BevelJoin);
}

// drawArc takes sixteenths of a degree as int; truncation toward zero is what the zones are laid out by.
static int sixteenths(double degrees)
{
    return static_cast<int>(degrees * 16.0);
}

double gaugeAngle(double pct)
{
    const double f = pct / scaleMaxPct;
    if (f > 1)
        return -30.0;
    if (f > 0)
        return 210.0 - 240.0 * f;
    return 210.0;
}

QPointF gaugeDirection(double degrees)
{
    const double rad = qDegreesToRadians(degrees);
    return QPointF(std::cos(rad), -std::sin(rad));
}

double gaugeNeedleAngle(double displayedPct)
{
    return displayedPct >= scaleMaxPct ? -30.0 : gaugeAngle(displayedPct);
}

QList<GaugeZone> gaugeZones(double idealLowPct, double idealHighPct)
{
    const double lowAngle = gaugeAngle(idealLowPct);
    const double highAngle = gaugeAngle(idealHighPct);
    const double maxAngle = gaugeAngle(100.0);
    return {
        {QColor(0x5a, 0x8c, 0xc8), sixteenths(210.0), sixteenths(lowAngle - 210.0)},
        {QColor(0x50, 0xa5, 0x5a), sixteenths(lowAngle), sixteenths(highAngle - lowAngle)},
        {QColor(0xe1, 0xa5, 0x3c), sixteenths(highAngle), sixteenths(maxAngle - highAngle)},
        // Over maximum is a property of the tube, not of the class: always 100-130 %.
        {QColor(0xc8, 0x37, 0x2d), 406, -886},
    };
}

GaugeGeometry gaugeGeometry(const QSizeF& widgetSize)
{
    GaugeGeometry g;
    const double w = widgetSize.width();
    const double h = widgetSize.height();
    g.diameter = std::min(w, 1.3 * h);
    g.radius = g.diameter / 2.0;
    // Only the upper part of the circle carries the scale, so the square sits high and is clipped.
    const double left = (w - g.diameter) / 2.0;
    const double top = (h - 0.78 * g.diameter) / 2.0 - 0.06 * g.diameter;
    g.dial = QRectF(left, top, g.diameter, g.diameter);
    g.centre = QPointF(left + g.radius, top + g.radius);
    return g;
}

bool gaugeSameValue(double a, double b)
{
    return std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

GaugeWidget::GaugeWidget(QWidget* parent) : QWidget(parent)
{
    animation.setDuration(300);
    animation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        displayed = v.toDouble();
        update();
    });
}

void GaugeWidget::setValue(double pct)
{
    const double v = pct > 0 ? pct : 0.0; // also turns NaN into 0
    if (gaugeSameValue(v, target))
        return;
    target = v;
    animation.stop();
    // Interrupting a move continues from wherever the needle is now, so it never jumps.
    animation.setStartValue(displayed);
    animation.setEndValue(v);
    animation.start(QAbstractAnimation::KeepWhenStopped);
}

void GaugeWidget::setWindow(double low, double high)
{
    this->low = low;
    this->high = high;
    update();
}

QSize GaugeWidget::sizeHint() const
{
    return QSize(200, 140);
}

QSize GaugeWidget::minimumSizeHint() const
{
    return QSize(150, 105);
}

void GaugeWidget::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const GaugeGeometry g = gaugeGeometry(size());
    const double r = g.radius;
    const QPointF c = g.centre;

    QRadialGradient face(c, r);
    face.setColorAt(0.0, QColor(0xf8, 0xf2, 0xde));
    face.setColorAt(0.85, QColor(0xf0, 0xe7, 0xcd));
    face.setColorAt(1.0, QColor(0xdc, 0xd1, 0xb4));
    p.setBrush(face);
    p.setPen(solidPen(QColor(0x1e, 0x1c, 0x18), 2, Qt::SquareCap));
    p.drawEllipse(g.dial);

    p.setBrush(Qt::NoBrush);
    const double inset = 0.13 * r;
    const QRectF arcRect = g.dial.adjusted(inset, inset, -inset, -inset);
    for (const GaugeZone& zone : gaugeZones(low, high)) {
        p.setPen(solidPen(zone.color, 0.09 * r, Qt::FlatCap));
        p.drawArc(arcRect, zone.startSixteenths, zone.spanSixteenths);
    }

    QFont tickFont = font();
    tickFont.setPointSizeF(std::max(0.11 * r, 6.0));
    p.setFont(tickFont);
    const QColor tickColor(0x28, 0x24, 0x1e);
    for (int x = 0; x <= 130; x += 10) {
        const QPointF u = gaugeDirection(gaugeAngle(x));
        if (x % 20 == 0) {
            p.setPen(solidPen(tickColor, 1.6, Qt::SquareCap));
            p.drawLine(c + 0.70 * r * u, c + 0.79 * r * u);
            const QPointF labelTopLeft = c + 0.58 * r * u + QPointF(-16, -8);
            // On a large dial the figures outgrow their box; keep them centred on it, unclipped.
            p.drawText(QRectF(labelTopLeft, QSizeF(32, 16)), Qt::AlignCenter | Qt::TextDontClip,
                       QString::number(x));
        } else {
            p.setPen(solidPen(tickColor, 1, Qt::SquareCap));
            p.drawLine(c + 0.74 * r * u, c + 0.79 * r * u);
        }
    }

    QFont captionFont = font();
    captionFont.setPointSizeF(std::max(0.10 * r, 6.0));
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(captionFont);
    p.setPen(QColor(0x5a, 0x52, 0x42));
    // With the letter spacing the caption can be wider than its box; let it overhang evenly rather
    // than lose its last letter.
    p.drawText(QRectF(c.x() - 40, c.y() + 0.22 * r, 80, 16), Qt::AlignCenter | Qt::TextDontClip,
               QStringLiteral("% MAX DISS"));

    const QPointF v = r * gaugeDirection(gaugeNeedleAngle(displayed));
    const QPointF perp(-v.y(), v.x());
    const QPolygonF needle({c + 0.72 * v, c - 0.12 * v + 0.03 * perp, c - 0.12 * v - 0.03 * perp});
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x19, 0x16, 0x12));
    p.drawPolygon(needle);

    p.setBrush(QColor(0x3c, 0x34, 0x28));
    p.drawEllipse(c, 0.06 * r, 0.06 * r);
    p.setBrush(QColor(0xb4, 0x96, 0x5a));
    p.drawEllipse(c, 0.025 * r, 0.025 * r);
}
