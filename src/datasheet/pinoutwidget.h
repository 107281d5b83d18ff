#pragma once

// The drawn base of a tube seen from below: socket disc, octal key, one coloured circle per pin
// with its number and connection label, the top-cap line and the "BOTTOM VIEW" caption.
// Used by the power-tube datasheet panel and the preamp designer's tube-data panel.
#include "catalog/tubes.h"

#include <QColor>
#include <QPointF>
#include <QWidget>

// Where the socket sits in a widget of the given size. Everything scales with the smaller side so
// the drawing fits any panel.
struct PinoutGeometry {
    double cx = 0;           // socket centre, px
    double cy = 0;           // px; lower when a top-cap line takes the top
    double socketRadius = 0; // R, px
    double ringRadius = 0;   // r, px: radius of the circle the pin centres lie on
    double pinRadius = 0;    // p, px: never below 8 so the numbers stay legible
};

PinoutGeometry pinoutGeometry(double width, double height, bool hasTopCap);

// True when the base name says octal (any case): such bases get the key and eight fixed pin places.
bool isOctalBase(const QString& base);

// Angle of pin `pin` (1-based) of `pinCount`, in degrees clockwise on screen from straight below
// the centre. Octal pins sit 45° apart, starting 22.5° from the key; other bases spread the pins
// over pinCount + 1 equal slots and leave the slot below the centre empty as the base's gap.
double pinAngleDeg(int pin, int pinCount, bool octal);

// The point at `radius` from the centre at `angleDeg` (0 = below, growing clockwise on screen).
QPointF pinoutPoint(double cx, double cy, double radius, double angleDeg);

// Fill colour of a pin from its connection label, matched without regard to case:
// plate red, screen yellow, suppressor violet, other grids orange, cathode green,
// heater/filament blue, beam plates teal, shell grey, anything else (NC, IC) grey-brown.
QColor pinColor(const QString& label);

// Point size of the pin numbers for a given pin radius.
double pinNumberPointSize(double pinRadius);

class PinoutWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PinoutWidget(QWidget* parent = nullptr);

    void setTube(const TubeSpec& tube);
    const TubeSpec& tube() const { return spec; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TubeSpec spec;
};
