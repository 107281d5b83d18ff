#include "preamp/platecurves.h"

#include "preamp/korentriode.h"

#include <algorithm>
#include <cmath>

static constexpr int samplesPerCurve = 72;
static constexpr int biasLineSamples = 40;
static constexpr int maxCurves = 24;
// A curve whose current at the right end of the axis is below this fraction of the axis is the
// last one drawn: the tube is cut off there.
static constexpr double lastCurveFraction = 0.02;

double niceAxisStep(double value)
{
    if (!(value > 0))
        return 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(value / 8)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        const double step = factor * magnitude;
        if (value / step <= 8 + 1e-9)
            return step;
    }
    return 10 * magnitude;
}

double niceAxisEnd(double value)
{
    const double step = niceAxisStep(value);
    return std::ceil(value / step - 1e-9) * step;
}

// The plate voltage at which the tube, with its grid at −I·Rk, draws I: one point of the bias line.
static double biasLinePlateV(const KorenParams& p, double ma, double cathodeOhm, double maxV)
{
    const double gridV = -ma * cathodeOhm / 1000;
    if (korenPlateMa(p, maxV, gridV) < ma)
        return -1; // beyond the axis
    auto excess = [&](double plateV, double& slope) {
        const KorenPoint t = korenPoint(p, plateV, gridV);
        slope = t.dMaDPlate;
        return t.ma - ma;
    };
    return bracketedNewton(excess, 0, maxV, maxV * 1e-9);
}

// The segment of the line through `through` with slope `dMaPerV` between the two axes.
static QLineF lineBetweenAxes(const QPointF& through, double dMaPerV)
{
    const double atZeroV = through.y() - dMaPerV * through.x();
    const double atZeroMa = through.x() - through.y() / dMaPerV;
    return QLineF(QPointF(0, atZeroV), QPointF(atZeroMa, 0));
}

PlateCurveScene plateCurveScene(const TriodeStageInput& input)
{
    PlateCurveScene scene;
    const KorenParams* params = korenParams(input.tube.name);
    if (!params) {
        scene.message = QStringLiteral("No Koren parameters for %1: its plate curves are not drawn.")
                            .arg(input.tube.name);
        return scene;
    }
    if (!(input.supplyV > 0) || !(input.plateLoadOhm > 0)) {
        scene.message = QStringLiteral("Invalid inputs");
        return scene;
    }
    const KorenParams& p = *params;
    scene.hasCurves = true;

    const double seriesOhm = input.plateLoadOhm + std::max(input.cathodeOhm, 0.0);
    const double shortedMa = input.supplyV / seriesOhm * 1000;
    scene.stage = solveKorenStage(input, p);
    scene.hasOperatingPoint = scene.stage.ok;

    double topMa = std::max(shortedMa, 1.6 * scene.stage.plateMa);
    if (scene.hasOperatingPoint)
        topMa = std::max(topMa, scene.stage.plusPlateMa);
    scene.plateStepV = niceAxisStep(input.supplyV);
    scene.maxPlateV = niceAxisEnd(input.supplyV);
    // Room for the dissipation limit when it passes not far above the stage, so a builder sees how
    // close the stage runs to it; a limit far above stays off the plot rather than squeeze the rest.
    const double maxW = input.tube.maxPlateW;
    const double limitAtEndMa = maxW > 0 ? maxW * 1000 / scene.maxPlateV : 0;
    if (limitAtEndMa > 0 && limitAtEndMa < 2 * topMa)
        topMa = std::max(topMa, limitAtEndMa);
    scene.plateStepMa = niceAxisStep(1.1 * topMa);
    scene.maxPlateMa = niceAxisEnd(1.1 * topMa);

    // Half-volt steps for a tube that cuts off within a few volts of bias (at most 16 curves), whole
    // volts otherwise.
    const double cutOffProbeV = -8;
    scene.gridStepV =
        korenPlateMa(p, scene.maxPlateV, cutOffProbeV) < lastCurveFraction * scene.maxPlateMa ? 0.5 : 1;
    for (int n = 0; n < maxCurves; ++n) {
        PlateCurve curve;
        curve.gridV = -n * scene.gridStepV;
        curve.points.reserve(samplesPerCurve + 1);
        for (int i = 0; i <= samplesPerCurve; ++i) {
            const double v = scene.maxPlateV * i / samplesPerCurve;
            const double ma = korenPlateMa(p, v, curve.gridV);
            curve.points.append(QPointF(v, ma));
            if (ma > scene.maxPlateMa)
                break; // the rest lies above the plot
        }
        const bool lastOne =
            korenPlateMa(p, scene.maxPlateV, curve.gridV) < lastCurveFraction * scene.maxPlateMa;
        scene.curves.append(curve);
        if (lastOne)
            break;
    }

    if (maxW > 0 && maxW * 1000 / scene.maxPlateV < scene.maxPlateMa) {
        const double fromV = maxW * 1000 / scene.maxPlateMa;
        for (int i = 0; i <= samplesPerCurve; ++i) {
            const double v = fromV + (scene.maxPlateV - fromV) * i / samplesPerCurve;
            scene.dissipation.append(QPointF(v, maxW * 1000 / v));
        }
    }

    scene.dcLoadLine = QLineF(QPointF(input.supplyV, 0), QPointF(0, shortedMa));

    if (input.cathodeOhm > 0) {
        for (int i = 1; i <= biasLineSamples; ++i) {
            const double ma = scene.maxPlateMa * i / biasLineSamples;
            const double v = biasLinePlateV(p, ma, input.cathodeOhm, scene.maxPlateV);
            if (v < 0)
                break;
            scene.biasLine.append(QPointF(v, ma));
        }
    }

    if (scene.hasOperatingPoint) {
        const KorenStageResult& s = scene.stage;
        scene.operatingPoint = QPointF(s.plateV, s.plateMa);
        scene.acLoadLine = lineBetweenAxes(scene.operatingPoint, -1000 / s.acLineOhm);
        scene.swingPlus = QPointF(s.plusPlateV, s.plusPlateMa);
        scene.swingMinus = QPointF(s.minusPlateV, s.minusPlateMa);
    }
    return scene;
}

QRectF plateCurvePlotRect(const QRectF& bounds)
{
    const double left = bounds.width() * 0.09;
    const double right = bounds.width() * 0.11;
    const double top = bounds.height() * 0.06;
    const double bottom = bounds.height() * 0.13;
    return bounds.adjusted(left, top, -right, -bottom);
}

QPointF plateCurveToPixel(const QRectF& plot, const PlateCurveScene& scene, const QPointF& voltsMa)
{
    const double fx = scene.maxPlateV > 0 ? voltsMa.x() / scene.maxPlateV : 0;
    const double fy = scene.maxPlateMa > 0 ? voltsMa.y() / scene.maxPlateMa : 0;
    return QPointF(plot.left() + fx * plot.width(), plot.bottom() - fy * plot.height());
}
