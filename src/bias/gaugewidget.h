#pragma once

// A painted dial in the style of an analogue panel meter: a percentage of a tube's maximum plate
// dissipation on a 0-130 % scale, with cold/ideal/warm/over-maximum zones and a needle that
// swings smoothly to each new value. It knows nothing about tubes.
#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QVariantAnimation>
#include <QWidget>

// Angle in degrees, counter-clockwise from 3 o'clock as QPainter::drawArc counts: 0 % at 210°,
// 130 % and beyond at -30°, a 240° clockwise sweep.
double gaugeAngle(double pct);

// Unit vector for an angle in degrees, in widget coordinates (y grows downward).
QPointF gaugeDirection(double degrees);

// Angle of the needle for the displayed value; parks at the 130 % end for anything at or past it.
double gaugeNeedleAngle(double displayedPct);

// One coloured arc of the scale, in the sixteenths of a degree drawArc takes.
struct GaugeZone {
    QColor color;
    int startSixteenths = 0;
    int spanSixteenths = 0;
};

// Cold, ideal, warm and over-maximum arcs, in painting order, for the ideal window low..high (%).
QList<GaugeZone> gaugeZones(double idealLowPct, double idealHighPct);

// The dial is a full circle sized from the widget; it may reach past the top and bottom edges.
struct GaugeGeometry {
    double diameter = 0;
    double radius = 0;
    QRectF dial; // the dial square
    QPointF centre;
};
GaugeGeometry gaugeGeometry(const QSizeF& widgetSize);

// Whether a new needle value counts as the one already set (relative fuzzy comparison).
bool gaugeSameValue(double a, double b);

class GaugeWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GaugeWidget(QWidget* parent = nullptr);

    void setValue(double pct);
    void setWindow(double low, double high);

    double displayedValue() const { return displayed; }
    double targetValue() const { return target; }
    double idealLow() const { return low; }
    double idealHigh() const { return high; }
    const QVariantAnimation& needleAnimation() const { return animation; }
    // Writable, so that a test can move the needle's time itself instead of waiting for it.
    QVariantAnimation& needleAnimation() { return animation; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double displayed = 0; // % shown by the needle now
    double target = 0;    // % last given to setValue, clamped
    double low = 60;      // %
    double high = 70;     // %
    QVariantAnimation animation;
};
