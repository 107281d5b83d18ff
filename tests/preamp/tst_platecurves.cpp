#include "preamp/platecurves.h"
#include "preamp/triodes.h"

#include <QtTest>
#include <cmath>

static TriodeStageInput classicStage(const QString& tube = QStringLiteral("12AX7 / ECC83 / 7025"))
{
    TriodeStageInput in;
    in.tube = *findTriode(tube);
    return in; // 300 V, 100 kΩ, 1.5 kΩ, 25 µF, 1 MΩ
}

// Distance of a point from the infinite line through a segment, in the units of the plate curves.
static double offLine(const QLineF& line, const QPointF& point)
{
    const QPointF d = line.p2() - line.p1();
    const QPointF e = point - line.p1();
    return std::abs(d.x() * e.y() - d.y() * e.x()) / std::hypot(d.x(), d.y());
}

class TestPlateCurves : public QObject
{
    Q_OBJECT

private slots:
    void niceAxes_data();
    void niceAxes();
    void curvesAreTheTubesCurves();
    void gridStepFollowsTheTube_data();
    void gridStepFollowsTheTube();
    void loadLinesAndLimits_data();
    void loadLinesAndLimits();
    void farDissipationLimitStaysOffThePlot();
    void biasLineMeetsTheDcLoadLineAtTheOperatingPoint();
    void tubeWithoutParametersHasOnlyAMessage();
    void failedStageKeepsCurvesButNoOperatingPoint();
    void pixelMapping();
};

void TestPlateCurves::niceAxes_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("end");
    QTest::addRow("300 V") << 300.0 << 50.0 << 300.0;
    QTest::addRow("305 V") << 305.0 << 50.0 << 350.0;
    QTest::addRow("3.3 mA") << 3.3 << 0.5 << 3.5;
    QTest::addRow("7 mA") << 7.0 << 1.0 << 7.0;
    QTest::addRow("15 mA") << 15.0 << 2.0 << 16.0;
    QTest::addRow("0.42 mA") << 0.42 << 0.1 << 0.5;
}

void TestPlateCurves::niceAxes()
{
    QFETCH(double, value);
    QFETCH(double, step);
    QFETCH(double, end);
    QVERIFY2(qAbs(niceAxisStep(value) - step) < 1e-12, qPrintable(QString::number(niceAxisStep(value))));
    QVERIFY2(qAbs(niceAxisEnd(value) - end) < 1e-12, qPrintable(QString::number(niceAxisEnd(value))));
}

void TestPlateCurves::curvesAreTheTubesCurves()
{
    const TriodeStageInput in = classicStage();
    const PlateCurveScene scene = plateCurveScene(in);
    const KorenParams& p = *korenParams(in.tube.name);
    QVERIFY(scene.hasCurves);
    QVERIFY(scene.curves.size() >= 4);
    for (int n = 0; n < scene.curves.size(); ++n) {
        const PlateCurve& curve = scene.curves.at(n);
        QVERIFY(qAbs(curve.gridV + n * scene.gridStepV) < 1e-12);
        QVERIFY(!curve.points.isEmpty());
        double previousV = -1;
        for (const QPointF& point : curve.points) {
            QVERIFY(point.x() > previousV);
            previousV = point.x();
            QVERIFY(qAbs(point.y() - korenPlateMa(p, point.x(), curve.gridV)) < 1e-12);
        }
        // A curve stops once it leaves the top of the plot, or runs to the end of the axis.
        const QPointF last = curve.points.last();
        QVERIFY(last.y() > scene.maxPlateMa || qAbs(last.x() - scene.maxPlateV) < 1e-9);
    }
    // The last curve is (nearly) cut off at the right end of the axis, the one before is not.
    const double lastMa = korenPlateMa(p, scene.maxPlateV, scene.curves.last().gridV);
    const double beforeMa = korenPlateMa(p, scene.maxPlateV, scene.curves.at(scene.curves.size() - 2).gridV);
    QVERIFY(lastMa < 0.02 * scene.maxPlateMa);
    QVERIFY(beforeMa >= 0.02 * scene.maxPlateMa);
}

void TestPlateCurves::gridStepFollowsTheTube_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("gridStepV");
    QTest::addRow("12AX7: half volts") << "12AX7 / ECC83 / 7025" << 0.5;
    QTest::addRow("6SL7: half volts") << "6SL7" << 0.5;
    QTest::addRow("12AU7: volts") << "12AU7 / ECC82" << 1.0;
    QTest::addRow("6SN7: volts") << "6SN7" << 1.0;
}

void TestPlateCurves::gridStepFollowsTheTube()
{
    QFETCH(QString, tube);
    QFETCH(double, gridStepV);
    QCOMPARE(plateCurveScene(classicStage(tube)).gridStepV, gridStepV);
}

void TestPlateCurves::loadLinesAndLimits_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("plateK");
    QTest::addColumn<double>("cathodeOhm");
    QTest::addColumn<double>("bypassUf");
    QTest::addRow("12AX7 bypassed") << "12AX7 / ECC83 / 7025" << 100.0 << 1500.0 << 25.0;
    QTest::addRow("12AX7 unbypassed") << "12AX7 / ECC83 / 7025" << 100.0 << 1500.0 << 0.0;
    QTest::addRow("12AT7 47k / 820") << "12AT7 / ECC81" << 47.0 << 820.0 << 25.0;
}

void TestPlateCurves::loadLinesAndLimits()
{
    QFETCH(QString, tube);
    QFETCH(double, plateK);
    QFETCH(double, cathodeOhm);
    QFETCH(double, bypassUf);
    TriodeStageInput in = classicStage(tube);
    in.plateLoadOhm = plateK * 1000;
    in.cathodeOhm = cathodeOhm;
    in.bypassUf = bypassUf;
    const PlateCurveScene scene = plateCurveScene(in);
    QVERIFY(scene.hasOperatingPoint);
    const KorenStageResult& s = scene.stage;

    // DC load line: B+ at no current, the shorted-tube current at no plate voltage.
    QCOMPARE(scene.dcLoadLine.p1(), QPointF(300, 0));
    QVERIFY(qAbs(scene.dcLoadLine.p2().x()) < 1e-12);
    QVERIFY(qAbs(scene.dcLoadLine.p2().y() - 300 / (in.plateLoadOhm + cathodeOhm) * 1000) < 1e-9);
    QCOMPARE(scene.operatingPoint, QPointF(s.plateV, s.plateMa));
    QVERIFY(offLine(scene.dcLoadLine, scene.operatingPoint) < 1e-6);

    // AC load line: through the operating point, axis to axis, steeper than the DC line, with the
    // next grid in parallel with the plate load (and Rk in series when the cathode is unbypassed).
    const QLineF& ac = scene.acLoadLine;
    QVERIFY(qAbs(ac.p1().x()) < 1e-9 && qAbs(ac.p2().y()) < 1e-9);
    QVERIFY(offLine(ac, scene.operatingPoint) < 1e-6);
    const double reff = in.plateLoadOhm * 1e6 / (in.plateLoadOhm + 1e6);
    const double expectedOhm = bypassUf > 0 ? reff : reff + cathodeOhm;
    QVERIFY(qAbs(ac.p2().x() / ac.p1().y() * 1000 - expectedOhm) < 1e-6 * expectedOhm);

    // The swing's ends are on the AC load line, on either side of the operating point.
    QVERIFY(offLine(ac, scene.swingPlus) < 1e-6);
    QVERIFY(offLine(ac, scene.swingMinus) < 1e-6);
    QVERIFY(scene.swingPlus.y() > s.plateMa && scene.swingPlus.x() < s.plateV);
    QVERIFY(scene.swingMinus.y() < s.plateMa && scene.swingMinus.x() > s.plateV);

    // Dissipation hyperbola at the tube's rating, inside the axes (the axis makes room for it here).
    QVERIFY(scene.dissipation.size() > 10);
    QVERIFY(scene.maxPlateMa >= in.tube.maxPlateW * 1000 / scene.maxPlateV);
    for (const QPointF& point : scene.dissipation) {
        QVERIFY(qAbs(point.x() * point.y() / 1000 - in.tube.maxPlateW) < 1e-9);
        QVERIFY(point.x() <= scene.maxPlateV + 1e-9 && point.y() <= scene.maxPlateMa + 1e-9);
    }

    // The axes hold the operating point and the whole swing.
    QVERIFY(scene.maxPlateV >= 300);
    QVERIFY(scene.maxPlateMa >= scene.swingPlus.y() && scene.maxPlateMa >= scene.dcLoadLine.p2().y());
}

void TestPlateCurves::farDissipationLimitStaysOffThePlot()
{
    // 5 W of a 6SN7 is 16.7 mA at 300 V, far above a 100 kΩ stage's 3 mA: the axis is not stretched.
    const PlateCurveScene scene = plateCurveScene(classicStage(QStringLiteral("6SN7")));
    QVERIFY(scene.hasOperatingPoint);
    QVERIFY(scene.maxPlateMa < 10);
    QVERIFY(scene.dissipation.isEmpty());
}

void TestPlateCurves::biasLineMeetsTheDcLoadLineAtTheOperatingPoint()
{
    const TriodeStageInput in = classicStage();
    const PlateCurveScene scene = plateCurveScene(in);
    const KorenParams& p = *korenParams(in.tube.name);
    QVERIFY(scene.biasLine.size() > 5);
    // Every point has the tube drawing its own current with the grid at −I·Rk.
    for (const QPointF& point : scene.biasLine)
        QVERIFY(qAbs(korenPlateMa(p, point.x(), -point.y() * 1.5) / point.y() - 1) < 1e-6);
    // Along the line the current rises with the plate voltage; it crosses the DC load line where
    // the stage idles.
    const double idle = scene.stage.plateMa;
    int crossing = -1;
    for (int i = 1; i < scene.biasLine.size(); ++i) {
        QVERIFY(scene.biasLine.at(i).x() > scene.biasLine.at(i - 1).x());
        if (scene.biasLine.at(i - 1).y() <= idle && scene.biasLine.at(i).y() >= idle)
            crossing = i;
    }
    QVERIFY(crossing > 0);
    const QPointF a = scene.biasLine.at(crossing - 1);
    const QPointF b = scene.biasLine.at(crossing);
    const double atIdleV = a.x() + (b.x() - a.x()) * (idle - a.y()) / (b.y() - a.y());
    QVERIFY2(qAbs(atIdleV - scene.stage.plateV) < 1.0, qPrintable(QString::number(atIdleV)));
}

void TestPlateCurves::tubeWithoutParametersHasOnlyAMessage()
{
    const PlateCurveScene scene = plateCurveScene(classicStage(QStringLiteral("5751")));
    QVERIFY(!scene.hasCurves);
    QVERIFY(!scene.hasOperatingPoint);
    QVERIFY(scene.curves.isEmpty());
    QVERIFY(scene.message.contains(QStringLiteral("5751")));
}

void TestPlateCurves::failedStageKeepsCurvesButNoOperatingPoint()
{
    TriodeStageInput in = classicStage();
    in.cathodeOhm = 0;
    const PlateCurveScene scene = plateCurveScene(in);
    QVERIFY(scene.hasCurves);
    QVERIFY(!scene.curves.isEmpty());
    QVERIFY(!scene.hasOperatingPoint);
    QVERIFY(!scene.stage.error.isEmpty());
    QVERIFY(scene.biasLine.isEmpty());
}

void TestPlateCurves::pixelMapping()
{
    PlateCurveScene scene;
    scene.maxPlateV = 300;
    scene.maxPlateMa = 4;
    for (const QRectF& bounds : {QRectF(0, 0, 800, 400), QRectF(10, 20, 300, 150)}) {
        const QRectF plot = plateCurvePlotRect(bounds);
        QVERIFY(bounds.contains(plot));
        QVERIFY(plot.width() > 0.7 * bounds.width() && plot.height() > 0.7 * bounds.height());
        QCOMPARE(plateCurveToPixel(plot, scene, QPointF(0, 0)), plot.bottomLeft());
        QCOMPARE(plateCurveToPixel(plot, scene, QPointF(300, 4)), plot.topRight());
        QCOMPARE(plateCurveToPixel(plot, scene, QPointF(150, 1)),
                 QPointF(plot.center().x(), plot.bottom() - plot.height() / 4));
    }
    // Doubling the area doubles every margin.
    const QRectF small = plateCurvePlotRect(QRectF(0, 0, 400, 200));
    const QRectF large = plateCurvePlotRect(QRectF(0, 0, 800, 400));
    QCOMPARE(large.topLeft(), small.topLeft() * 2);
    QCOMPARE(large.size(), small.size() * 2);
}

QTEST_GUILESS_MAIN(TestPlateCurves)
#include "tst_platecurves.moc"
