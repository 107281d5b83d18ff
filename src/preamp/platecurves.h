#pragma once

// What the plate-curve view draws for one stage, in the units of the plate curves (plate-to-cathode
// volts across, plate milliamperes up), and the mapping of those units onto a drawing area. All of
// it is pure: the painter (preamp/platecurvepainter.h) only turns these shapes into lines.
#include "preamp/korenstage.h"
#include "preamp/stagesolver.h"

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

struct PlateCurve {
    double gridV = 0; // V, grid to cathode
    QPolygonF points; // (V, mA), plate voltage rising
};

struct PlateCurveScene {
    bool hasCurves = false;   // false for a triode without Koren parameters
    QString message;          // what the view says instead of curves
    double maxPlateV = 0;     // V, right end of the plate-voltage axis
    double plateStepV = 0;    // V between ticks
    double maxPlateMa = 0;    // mA, top of the current axis
    double plateStepMa = 0;   // mA between ticks
    double gridStepV = 0;     // V between neighbouring curves: 0.5 or 1
    QList<PlateCurve> curves; // 0 V first, then ever more negative
    QPolygonF dissipation;    // the maximum-dissipation hyperbola, V · mA = Pmax
    QLineF dcLoadLine;        // from B+ at zero current to the current with the tube shorted
    QPolygonF biasLine;       // where the cathode resistor's bias Vgk = −I·Rk meets the curves
    bool hasOperatingPoint = false;
    KorenStageResult stage; // the solved stage; valid when hasOperatingPoint
    QLineF acLoadLine;      // through the operating point, slope −1/acLineOhm, axis to axis
    QPointF operatingPoint; // (V, mA)
    QPointF swingPlus;      // end of the clean swing towards grid current
    QPointF swingMinus;     // end of the clean swing towards cut-off
};

// The end and tick step of an axis holding `value`: the step is 1, 2 or 5 times a power of ten, at
// most eight steps fill the axis, and the end is the first whole step at or above the value.
double niceAxisStep(double value);
double niceAxisEnd(double value);

// Everything the view shows for a stage; a triode without Koren parameters gives a scene with a
// message and no curves.
PlateCurveScene plateCurveScene(const TriodeStageInput& input);

// The plotting area inside a drawing area of any size, leaving room for the axis labels; every
// margin is a fraction of the area.
QRectF plateCurvePlotRect(const QRectF& bounds);

// A point in (V, mA) on the plot area: 0 V at the left edge, maxPlateV at the right; 0 mA at the
// bottom, maxPlateMa at the top.
QPointF plateCurveToPixel(const QRectF& plot, const PlateCurveScene& scene, const QPointF& voltsMa);
