#pragma once

// Draws a plate-curve scene (preamp/platecurves.h) with a QPainter into any paint device: the view
// on screen, an image for the gallery, a PDF page. Every length comes from the given bounds.
#include "preamp/platecurves.h"

#include <QColor>
#include <QRectF>

class QPainter;

// The colours of the drawing, for a reader of a picture of it (and its tests).
struct PlateCurveColours {
    static QColor paper() { return QColor(0xf0, 0xe7, 0xcd); }
    static QColor grid() { return QColor(0xd8, 0xcb, 0xa8); }
    static QColor ink() { return QColor(0x28, 0x24, 0x1e); }
    static QColor curve() { return QColor(0x3c, 0x34, 0x28); }
    static QColor dissipation() { return QColor(0xc8, 0x37, 0x2d); }
    static QColor dcLoad() { return QColor(0x2d, 0x5a, 0x96); }
    static QColor acLoad() { return QColor(0xc8, 0x78, 0x1e); }
    static QColor bias() { return QColor(0x50, 0x82, 0x50); }
    static QColor swing() { return QColor(0x1e, 0x8c, 0x46); }
    static QColor operatingPoint() { return QColor(0xa0, 0x1e, 0x1e); }
};

void paintPlateCurves(QPainter& painter, const QRectF& bounds, const PlateCurveScene& scene);
