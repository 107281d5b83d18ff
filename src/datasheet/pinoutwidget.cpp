#include "datasheet/pinoutwidget.h"

#include <QPainter>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>

PinoutGeometry pinoutGeometry(double width, double height, bool hasTopCap)
{
    PinoutGeometry g;
    g.cx = width * 0.5;
    // The top-cap line takes the strip at the top, so the socket moves down a little.
    g.cy = height * 0.5 + (hasTopCap ? 8.0 : 2.0);
    g.socketRadius = 0.3 * std::min(width, height);
    g.ringRadius = 0.72 * g.socketRadius;
    g.pinRadius = std::max(0.155 * g.socketRadius, 8.0);
    return g;
}

bool isOctalBase(const QString& base)
{
    return base.contains(QLatin1String("Octal"), Qt::CaseInsensitive);
}

double pinAngleDeg(int pin, int pinCount, bool octal)
{
    if (octal)
        return (pin - 1) * 45.0 + 22.5;
    return pin * 360.0 / (pinCount + 1);
}

QPointF pinoutPoint(double cx, double cy, double radius, double angleDeg)
{
    const double a = qDegreesToRadians(angleDeg);
    return {cx - radius * std::sin(a), cy + radius * std::cos(a)};
}

QColor pinColor(const QString& label)
{
    const QString u = label.toUpper();
    // Order matters: "G2" and "G3" must win over the plain grid rule.
    if (u.startsWith(QLatin1Char('P')))
        return QColor(0xd6, 0x4e, 0x3c);
    if (u.startsWith(QLatin1String("G2")))
        return QColor(0xe8, 0xca, 0x60);
    if (u.startsWith(QLatin1String("G3")))
        return QColor(0xaa, 0x82, 0xc8);
    if (u.startsWith(QLatin1Char('G')))
        return QColor(0xe0, 0xa8, 0x4c);
    if (u.startsWith(QLatin1Char('K')))
        return QColor(0x6e, 0xbe, 0x78);
    if (u.startsWith(QLatin1Char('H')) || u == QLatin1String("F"))
        return QColor(0x64, 0x96, 0xdc);
    if (u == QLatin1String("BP"))
        return QColor(0x5a, 0xb4, 0xb4);
    if (u == QLatin1String("SHELL"))
        return QColor(0x96, 0x96, 0x96);
    return QColor(0x6e, 0x68, 0x5c);
}

double pinNumberPointSize(double pinRadius)
{
    return std::max(0.75 * pinRadius, 7.0);
}

PinoutWidget::PinoutWidget(QWidget* parent) : QWidget(parent) {}

void PinoutWidget::setTube(const TubeSpec& tube)
{
    spec = tube;
    update();
}

QSize PinoutWidget::sizeHint() const
{
    return {220, 230};
}

QSize PinoutWidget::minimumSizeHint() const
{
    return {200, 210};
}

void PinoutWidget::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);

    const double w = width();
    const double h = height();
    QFont baseFont = font();
    baseFont.setPointSizeF(9.0);
    const QColor mutedText(0x9a, 0x8f, 0x77);

    if (spec.pins.isEmpty()) {
        painter.setPen(mutedText);
        painter.setFont(baseFont);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         spec.custom ? QStringLiteral("Custom tube - no pinout")
                                     : QStringLiteral("Pinout not available -\nconsult the datasheet"));
        return;
    }

    const PinoutGeometry g = pinoutGeometry(w, h, !spec.topCap.isEmpty());
    const double R = g.socketRadius;
    const double p = g.pinRadius;
    const QColor rimColour(0x5a, 0x52, 0x42);

    QRadialGradient disc(QPointF(g.cx, g.cy), R);
    disc.setColorAt(0.0, QColor(0x30, 0x2c, 0x24));
    disc.setColorAt(1.0, QColor(0x1e, 0x1b, 0x15));
    painter.setBrush(disc);
    painter.setPen(QPen(rimColour, 1.5));
    painter.drawEllipse(QRectF(g.cx - R, g.cy - R, 2 * R, 2 * R));

    const bool octal = isOctalBase(spec.base);
    if (octal) {
        const double k = 0.22 * R;
        painter.setBrush(QColor(0x16, 0x14, 0x10));
        painter.setPen(QPen(rimColour, 1.2));
        painter.drawEllipse(QRectF(g.cx - k, g.cy - k, 2 * k, 2 * k));
        // The key's notch points down, toward the gap between pins 8 and 1.
        painter.drawRoundedRect(QRectF(g.cx - 0.28 * k, g.cy + 0.6 * k, 0.56 * k, 0.85 * k), 2, 2);
    }

    QFont numberFont = font();
    numberFont.setPointSizeF(pinNumberPointSize(p));
    numberFont.setWeight(QFont::Bold);
    QFont labelFont = font();
    labelFont.setPointSizeF(8.5);
    labelFont.setWeight(QFont::Bold);

    const int n = spec.pins.size();
    for (int j = 1; j <= n; ++j) {
        const QString& label = spec.pins.at(j - 1);
        const double a = pinAngleDeg(j, n, octal);
        const QColor c = pinColor(label);

        const QPointF pos = pinoutPoint(g.cx, g.cy, g.ringRadius, a);
        const QRectF pinRect(pos.x() - p, pos.y() - p, 2 * p, 2 * p);
        painter.setBrush(c);
        painter.setPen(QPen(c.darker(160), 1.2));
        painter.drawEllipse(pinRect);

        painter.setPen(QColor(0x14, 0x12, 0x0e));
        painter.setFont(numberFont);
        painter.drawText(pinRect, Qt::AlignCenter, QString::number(j));

        const QPointF labelPos = pinoutPoint(g.cx, g.cy, R + 14, a);
        painter.setPen(c.lighter(115));
        painter.setFont(labelFont);
        painter.drawText(QRectF(labelPos.x() - 26, labelPos.y() - 8, 52, 16), Qt::AlignCenter, label);
    }

    if (!spec.topCap.isEmpty()) {
        QFont capFont = font();
        capFont.setPointSizeF(8.5);
        capFont.setWeight(QFont::Bold);
        painter.setFont(capFont);
        painter.setPen(QColor(0xd6, 0x4e, 0x3c));
        painter.drawText(QRectF(0, 2, w, 16), Qt::AlignCenter, QStringLiteral("TOP CAP = ") + spec.topCap);
    }

    painter.setFont(baseFont);
    painter.setPen(mutedText);
    painter.drawText(QRectF(0, h - 16, w, 14), Qt::AlignCenter, QStringLiteral("BOTTOM VIEW"));
}
