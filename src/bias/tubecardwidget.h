#pragma once

// The panel that stands for one power tube on the bench: the tube's reading goes in, its idle
// current, dissipation and rating come out, with a gauge, a status badge and a coloured glow.
#include "bias/biascalc.h"

#include <QColor>
#include <QFrame>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

class GaugeWidget;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;

// The reading fields a method asks for. `valid` is false for a value outside 0-4.
struct TubeCardMethodFields {
    bool valid = false;
    QString label;
    QString suffix;
    int decimals = 1;
    double step = 1;
    double maximum = 0;
    bool secondRow = false; // the half-primary DCR field
};
TubeCardMethodFields tubeCardMethodFields(int method);

// Value of the card's "status" property for a rating: "off", "cold", "ideal", "warm", "hot".
QString tubeCardStatusName(BiasStatus status);

// Badge text for a rating, e.g. "OVER MAX!" or "NO READING".
QString tubeCardBadgeText(BiasStatus status);

// Opaque colour of the card's glow for a "status" value; a neutral grey for anything unknown.
QColor tubeCardStatusColor(const QString& status);

// The glow around the card's edge: an inner edge, then a soft halo, both rounded rectangles.
struct TubeCardGlowStroke {
    QRectF rect;
    double radius = 0;
    QColor color; // with its alpha
    double width = 0;
};
QList<TubeCardGlowStroke> tubeCardGlow(const QSizeF& cardSize, const QString& status);

class TubeCardWidget : public QFrame
{
    Q_OBJECT

public:
    explicit TubeCardWidget(int index, QWidget* parent = nullptr);

    void setMethod(int method);
    void setShared(bool sharedCathodeR, int sharedTubes, bool subtractScreen, int meterTubes, double plateV,
                   double bPlusV, double senseResistorOhms, double cathodeResistorOhms, double screenPct);
    void setMaxW(double w);
    void setWindow(double low, double high);

    double meas1() const;
    double meas2() const;
    void setMeasurements(double meas1, double meas2);

    int index() const { return cardIndex; }
    int method() const { return currentMethod; }
    const BiasResult& result() const { return lastResult; }

signals:
    void resultChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyMethodFields();
    void recalculate();

    int cardIndex = 0;
    int currentMethod = BiasProbe;
    double plateV = 0; // V
    double bPlusV = 0; // V
    double senseResistorOhms = 1;
    double cathodeResistorOhms = 0;
    bool sharedCathodeR = false;
    int sharedTubes = 2;
    bool subtractScreen = false;
    double screenPct = 5; // %
    int meterTubes = 1;
    double maxPlateW = 30;    // W
    double idealLowPct = 60;  // %
    double idealHighPct = 70; // %

    QLabel* title = nullptr;
    QFormLayout* form = nullptr;
    QLabel* label1 = nullptr;
    QDoubleSpinBox* spin1 = nullptr;
    QLabel* label2 = nullptr;
    QDoubleSpinBox* spin2 = nullptr;
    GaugeWidget* gauge = nullptr;
    QLabel* currentLabel = nullptr;
    QLabel* dissipationLabel = nullptr;
    QLabel* pctLabel = nullptr;
    QLabel* badge = nullptr;
    QLabel* warnLabel = nullptr;

    BiasResult lastResult;
};
