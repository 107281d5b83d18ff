#include "bias/gaugewidget.h"

#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <limits>

static int runningStarts(const QSignalSpy& spy)
{
    int n = 0;
    for (const QList<QVariant>& args : spy) {
        if (args.at(0).value<QAbstractAnimation::State>() == QAbstractAnimation::Running)
            ++n;
    }
    return n;
}

// Runs the needle's move to its end at once, as its 300 ms would.
static void finishMove(GaugeWidget& g)
{
    QVariantAnimation& move = g.needleAnimation();
    if (move.state() == QAbstractAnimation::Running)
        move.setCurrentTime(move.duration());
    QCOMPARE(move.state(), QAbstractAnimation::Stopped);
}

class TestGaugeWidget : public QObject
{
    Q_OBJECT

private slots:
    void angleMapping_data()
    {
        QTest::addColumn<double>("pct");
        QTest::addColumn<double>("degrees");
        QTest::addRow("0 at lower left") << 0.0 << 210.0;
        QTest::addRow("negative stays at 0") << -5.0 << 210.0;
        QTest::addRow("half scale straight up") << 65.0 << 90.0;
        QTest::addRow("100") << 100.0 << 25.384615384615387;
        QTest::addRow("130 at lower right") << 130.0 << -30.0;
        QTest::addRow("beyond the scale") << 150.0 << -30.0;
        QTest::addRow("far beyond") << 1e6 << -30.0;
    }
    void angleMapping()
    {
        QFETCH(double, pct);
        QFETCH(double, degrees);
        QVERIFY2(
            std::abs(gaugeAngle(pct) - degrees) < 1e-9,
            qPrintable(
                QStringLiteral("angle(%1) = %2, expected %3").arg(pct).arg(gaugeAngle(pct)).arg(degrees)));
    }

    void needleParksAtTheEnd()
    {
        QCOMPARE(gaugeNeedleAngle(130), -30.0);
        QCOMPARE(gaugeNeedleAngle(150), -30.0);
        QVERIFY(gaugeNeedleAngle(129) > -30.0);
        QCOMPARE(gaugeNeedleAngle(0), 210.0);
    }

    void directionIsInWidgetCoordinates()
    {
        // y grows downward: 90° points up, 210° down and to the left.
        const QPointF up = gaugeDirection(90);
        QVERIFY2(std::abs(up.x()) < 1e-12 && std::abs(up.y() + 1) < 1e-12, "90 degrees must point up");
        const QPointF zero = gaugeDirection(gaugeAngle(0));
        QVERIFY2(zero.x() < -0.8 && zero.y() > 0.49, "0 % must lie at the lower left");
        const QPointF full = gaugeDirection(gaugeAngle(130));
        QVERIFY2(full.x() > 0.8 && full.y() > 0.49, "130 % must lie at the lower right");
    }

    void zones_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QList<int>>("startsAndSpans"); // cold, ideal, warm, over: start, span each
        // 60 % sits at 99.23°, 70 % at 80.77°, 100 % at 25.38°; truncated toward zero.
        QTest::addRow("fixed-bias window 60-70")
            << 60.0 << 70.0 << QList<int>{3360, -1772, 1587, -295, 1292, -886, 406, -886};
        // 85 % sits at 53.08°; the window reaches 100 %, so the warm arc vanishes.
        QTest::addRow("class A window 85-100")
            << 85.0 << 100.0 << QList<int>{3360, -2510, 849, -443, 406, 0, 406, -886};
    }
    void zones()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QList<int>, startsAndSpans);
        const QList<GaugeZone> z = gaugeZones(low, high);
        QCOMPARE(z.size(), 4);
        QList<int> got;
        for (const GaugeZone& zone : z)
            got << zone.startSixteenths << zone.spanSixteenths;
        QCOMPARE(got, startsAndSpans);
        QCOMPARE(z.at(0).color, QColor(0x5a, 0x8c, 0xc8));
        QCOMPARE(z.at(1).color, QColor(0x50, 0xa5, 0x5a));
        QCOMPARE(z.at(2).color, QColor(0xe1, 0xa5, 0x3c));
        QCOMPARE(z.at(3).color, QColor(0xc8, 0x37, 0x2d));
    }

    void zonesJoinUpWhateverTheWindow_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addRow("RF 20-40") << 20.0 << 40.0;
        QTest::addRow("class B 40-55") << 40.0 << 55.0;
        QTest::addRow("cathode bias 80-95") << 80.0 << 95.0;
    }
    void zonesJoinUpWhateverTheWindow()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        const QList<GaugeZone> z = gaugeZones(low, high);
        // Each arc ends where the next begins (within the truncation), and the over-maximum arc is fixed.
        for (int i = 0; i + 1 < z.size(); ++i) {
            const int end = z.at(i).startSixteenths + z.at(i).spanSixteenths;
            QVERIFY2(std::abs(end - z.at(i + 1).startSixteenths) <= 1,
                     qPrintable(QStringLiteral("zone %1 ends at %2, next starts at %3")
                                    .arg(i)
                                    .arg(end)
                                    .arg(z.at(i + 1).startSixteenths)));
        }
        QCOMPARE(z.at(3).startSixteenths, 406);
        QCOMPARE(z.at(3).spanSixteenths, -886);
    }

    void dialGeometry_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<double>("diameter");
        QTest::addColumn<QPointF>("centre");
        // At the size hint the dial square runs from about y = -12 to y = 170.
        QTest::addRow("size hint") << QSizeF(200, 140) << 182.0 << QPointF(100, -11.9 + 91);
        QTest::addRow("wide and short: height decides, centred")
            << QSizeF(400, 100) << 130.0 << QPointF(200, (100 - 101.4) / 2 - 7.8 + 65);
        QTest::addRow("tall and narrow: width decides")
            << QSizeF(100, 300) << 100.0 << QPointF(50, (300 - 78) / 2.0 - 6 + 50);
    }
    void dialGeometry()
    {
        QFETCH(QSizeF, size);
        QFETCH(double, diameter);
        QFETCH(QPointF, centre);
        const GaugeGeometry g = gaugeGeometry(size);
        QVERIFY2(std::abs(g.diameter - diameter) < 1e-9, qPrintable(QString::number(g.diameter)));
        QVERIFY2(std::abs(g.radius - diameter / 2) < 1e-9, "radius is half the diameter");
        QVERIFY2(std::abs(g.centre.x() - centre.x()) < 1e-9 && std::abs(g.centre.y() - centre.y()) < 1e-9,
                 qPrintable(QStringLiteral("centre (%1, %2)").arg(g.centre.x()).arg(g.centre.y())));
        QVERIFY2(std::abs(g.dial.width() - diameter) < 1e-9 && std::abs(g.dial.height() - diameter) < 1e-9,
                 "the dial is a square");
        QVERIFY2(std::abs(g.dial.center().x() - size.width() / 2) < 1e-9, "the dial is centred horizontally");
    }

    void fuzzySameValue()
    {
        QVERIFY2(gaugeSameValue(0, 0), "two zeros are the same");
        QVERIFY2(!gaugeSameValue(0, 1e-300), "zero and any positive value differ");
        QVERIFY2(gaugeSameValue(50, 50 + 1e-12), "a rounding difference is the same value");
        QVERIFY2(!gaugeSameValue(50, 50.001), "a real change is a new value");
    }

    void sizeHints()
    {
        GaugeWidget g;
        QCOMPARE(g.sizeHint(), QSize(200, 140));
        QCOMPARE(g.minimumSizeHint(), QSize(150, 105));
    }

    void newGaugeState()
    {
        GaugeWidget g;
        QCOMPARE(g.displayedValue(), 0.0);
        QCOMPARE(g.targetValue(), 0.0);
        QCOMPARE(g.idealLow(), 60.0);
        QCOMPARE(g.idealHigh(), 70.0);
        QCOMPARE(g.needleAnimation().duration(), 300);
        QCOMPARE(g.needleAnimation().easingCurve().type(), QEasingCurve::OutCubic);
    }

    void nonPositiveValuesActAsZero_data()
    {
        QTest::addColumn<double>("pct");
        QTest::addRow("negative") << -5.0;
        QTest::addRow("zero") << 0.0;
        QTest::addRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::addRow("minus infinity") << -std::numeric_limits<double>::infinity();
    }
    void nonPositiveValuesActAsZero()
    {
        QFETCH(double, pct);
        GaugeWidget g;
        QSignalSpy states(&g.needleAnimation(), &QAbstractAnimation::stateChanged);
        g.setValue(pct);
        QCOMPARE(g.targetValue(), 0.0);
        QVERIFY2(runningStarts(states) == 0, "at rest on 0, a value that clamps to 0 must not animate");

        // Away from 0 the same value brings the needle back to 0.
        g.setValue(40);
        finishMove(g);
        g.setValue(pct);
        QCOMPARE(g.targetValue(), 0.0);
        finishMove(g);
        QVERIFY2(g.displayedValue() == 0.0, "the needle must settle on 0");
    }

    void equalValuesStartOneAnimation()
    {
        GaugeWidget g;
        QSignalSpy states(&g.needleAnimation(), &QAbstractAnimation::stateChanged);
        g.setValue(50);
        g.setValue(50);
        g.setValue(50 + 1e-12); // within the fuzzy comparison
        QCOMPARE(runningStarts(states), 1);
        QCOMPARE(g.needleAnimation().endValue().toDouble(), 50.0);
        finishMove(g);
        QVERIFY2(std::abs(g.displayedValue() - 50) < 1e-9, qPrintable(QString::number(g.displayedValue())));

        // At rest on the value, the same value again does nothing either.
        g.setValue(50);
        QCOMPARE(runningStarts(states), 1);
        QCOMPARE(g.needleAnimation().state(), QAbstractAnimation::Stopped);
    }

    void newValueMidMoveStartsFromTheNeedle()
    {
        GaugeWidget g;
        g.setValue(100);
        QCOMPARE(g.needleAnimation().state(), QAbstractAnimation::Running);
        g.needleAnimation().setCurrentTime(g.needleAnimation().duration() / 2);
        const double mid = g.displayedValue();
        QVERIFY2(mid > 0 && mid < 100, qPrintable(QStringLiteral("half-way the needle is at %1").arg(mid)));

        g.setValue(20);
        QCOMPARE(g.targetValue(), 20.0);
        QCOMPARE(g.needleAnimation().state(), QAbstractAnimation::Running);
        QVERIFY2(std::abs(g.needleAnimation().startValue().toDouble() - mid) < 1e-9,
                 qPrintable(QStringLiteral("the new move starts at %1, the needle was at %2")
                                .arg(g.needleAnimation().startValue().toDouble())
                                .arg(mid)));
        QCOMPARE(g.needleAnimation().endValue().toDouble(), 20.0);
        finishMove(g);
        QVERIFY2(std::abs(g.displayedValue() - 20) < 1e-9, "the needle must settle on the new value");
    }

    void setWindowDoesNotAnimate()
    {
        GaugeWidget g;
        QSignalSpy states(&g.needleAnimation(), &QAbstractAnimation::stateChanged);
        g.setWindow(100, 85); // stored as given, even reversed
        QCOMPARE(g.idealLow(), 100.0);
        QCOMPARE(g.idealHigh(), 85.0);
        QCOMPARE(states.count(), 0);
    }

    void paintsAtAnySize()
    {
        // The needle at 150 % parks at the right end; painting far past the scale must not misbehave.
        GaugeWidget g;
        g.setValue(150);
        finishMove(g);
        for (const QSize& s : {QSize(200, 140), QSize(400, 100), QSize(20, 10)}) {
            g.resize(s);
            QImage img(s, QImage::Format_ARGB32);
            img.fill(Qt::transparent);
            g.render(&img);
            // The centre hub is drawn at the dial's centre in brass.
            const GaugeGeometry geo = gaugeGeometry(QSizeF(s));
            if (s.width() >= 100) {
                const QPoint px(int(std::floor(geo.centre.x())), int(std::floor(geo.centre.y())));
                const QColor hub = img.pixelColor(px);
                QVERIFY2(hub.red() > 150 && hub.blue() < 120,
                         qPrintable(QStringLiteral("hub colour %1 at %2x%3")
                                        .arg(hub.name())
                                        .arg(s.width())
                                        .arg(s.height())));
            }
        }
    }
};

QTEST_MAIN(TestGaugeWidget)
#include "tst_gaugewidget.moc"
