#include "catalog/tubes.h"
#include "datasheet/pinoutwidget.h"

#include <QImage>
#include <QtTest>

// Geometry and colour rules of the drawn tube base, and a rendered check that the painting
// follows them.
class TestPinoutWidget : public QObject
{
    Q_OBJECT

private:
    static bool near(const QColor& a, const QColor& b, int tolerance = 3)
    {
        return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
               qAbs(a.blue() - b.blue()) <= tolerance;
    }

    static QImage render(const TubeSpec& tube, const QSize& size, const QColor& background)
    {
        PinoutWidget widget;
        widget.setTube(tube);
        widget.resize(size);
        QImage image(size, QImage::Format_ARGB32);
        image.fill(background);
        // Only what paintEvent draws: a top-level widget would otherwise fill its window background.
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    static TubeSpec catalogueTube(const QString& name)
    {
        const TubeSpec* tube = findTube(name);
        return tube ? *tube : TubeSpec{};
    }

private slots:
    void geometry_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<bool>("topCap");
        QTest::addColumn<double>("cx");
        QTest::addColumn<double>("cy");
        QTest::addColumn<double>("socketRadius");
        QTest::addColumn<double>("ringRadius");
        QTest::addColumn<double>("pinRadius");
        QTest::addRow("preferred size")
            << QSizeF(220, 230) << false << 110.0 << 117.0 << 66.0 << 47.52 << 10.23;
        QTest::addRow("preferred size, top cap moves the socket 6 px down")
            << QSizeF(220, 230) << true << 110.0 << 123.0 << 66.0 << 47.52 << 10.23;
        QTest::addRow("minimum size") << QSizeF(200, 210) << false << 100.0 << 107.0 << 60.0 << 43.2 << 9.3;
        QTest::addRow("small widget keeps pins at radius 8")
            << QSizeF(150, 150) << false << 75.0 << 77.0 << 45.0 << 32.4 << 8.0;
        QTest::addRow("wide, short widget sizes by its height")
            << QSizeF(400, 100) << true << 200.0 << 58.0 << 30.0 << 21.6 << 8.0;
    }

    void geometry()
    {
        QFETCH(QSizeF, size);
        QFETCH(bool, topCap);
        QFETCH(double, cx);
        QFETCH(double, cy);
        QFETCH(double, socketRadius);
        QFETCH(double, ringRadius);
        QFETCH(double, pinRadius);
        const PinoutGeometry g = pinoutGeometry(size.width(), size.height(), topCap);
        const auto check = [](double actual, double expected, const char* what) {
            QVERIFY2(
                qAbs(actual - expected) < 1e-9,
                qPrintable(QStringLiteral("%1: expected %2, got %3").arg(what).arg(expected).arg(actual)));
        };
        check(g.cx, cx, "cx");
        check(g.cy, cy, "cy");
        check(g.socketRadius, socketRadius, "socket radius");
        check(g.ringRadius, ringRadius, "ring radius");
        check(g.pinRadius, pinRadius, "pin radius");
    }

    void numberFontFollowsPinRadius_data()
    {
        QTest::addColumn<double>("pinRadius");
        QTest::addColumn<double>("pointSize");
        QTest::addRow("preferred size") << 10.23 << 7.6725;
        QTest::addRow("floor of 7 pt") << 8.0 << 7.0;
        QTest::addRow("large widget") << 20.0 << 15.0;
    }

    void numberFontFollowsPinRadius()
    {
        QFETCH(double, pinRadius);
        QFETCH(double, pointSize);
        QVERIFY2(qAbs(pinNumberPointSize(pinRadius) - pointSize) < 1e-9,
                 qPrintable(QStringLiteral("expected %1 pt").arg(pointSize)));
    }

    void octalBase_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("octal");
        QTest::addRow("Octal") << "Octal" << true;
        QTest::addRow("lower case") << "octal (8-pin)" << true;
        QTest::addRow("Noval") << "Noval (9-pin)" << false;
        QTest::addRow("Novar is not octal") << "Novar" << false;
        QTest::addRow("UX4") << "4-pin UX4" << false;
        QTest::addRow("empty") << "" << false;
    }

    void octalBase()
    {
        QFETCH(QString, base);
        QFETCH(bool, octal);
        QCOMPARE(isOctalBase(base), octal);
    }

    void pinAngles_data()
    {
        QTest::addColumn<bool>("octal");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pin");
        QTest::addColumn<double>("angle");
        QTest::addRow("octal pin 1 is first clockwise from the key") << true << 8 << 1 << 22.5;
        QTest::addRow("octal pin 8 sits on the key's other side") << true << 8 << 8 << 337.5;
        QTest::addRow("octal pin 5") << true << 8 << 5 << 202.5;
        QTest::addRow("noval pin 1") << false << 9 << 1 << 36.0;
        QTest::addRow("noval pin 9") << false << 9 << 9 << 324.0;
        QTest::addRow("4-pin pin 1") << false << 4 << 1 << 72.0;
        QTest::addRow("4-pin pin 4") << false << 4 << 4 << 288.0;
        QTest::addRow("compactron pin 12") << false << 12 << 12 << 12 * 360.0 / 13;
    }

    void pinAngles()
    {
        QFETCH(bool, octal);
        QFETCH(int, count);
        QFETCH(int, pin);
        QFETCH(double, angle);
        const double actual = pinAngleDeg(pin, count, octal);
        QVERIFY2(qAbs(actual - angle) < 1e-9,
                 qPrintable(QStringLiteral("expected %1°, got %2°").arg(angle).arg(actual)));
    }

    // Angles grow clockwise on screen from straight below: below, left, above, right.
    void pointsGoClockwiseFromBelow_data()
    {
        QTest::addColumn<double>("angle");
        QTest::addColumn<QPointF>("expected");
        QTest::addRow("0° below") << 0.0 << QPointF(100, 60);
        QTest::addRow("90° left") << 90.0 << QPointF(90, 50);
        QTest::addRow("180° above") << 180.0 << QPointF(100, 40);
        QTest::addRow("270° right") << 270.0 << QPointF(110, 50);
        QTest::addRow("45° below left")
            << 45.0 << QPointF(100 - 10 / std::sqrt(2.0), 50 + 10 / std::sqrt(2.0));
    }

    void pointsGoClockwiseFromBelow()
    {
        QFETCH(double, angle);
        QFETCH(QPointF, expected);
        const QPointF p = pinoutPoint(100, 50, 10, angle);
        QVERIFY2(qAbs(p.x() - expected.x()) < 1e-9 && qAbs(p.y() - expected.y()) < 1e-9,
                 qPrintable(QStringLiteral("expected (%1, %2), got (%3, %4)")
                                .arg(expected.x())
                                .arg(expected.y())
                                .arg(p.x())
                                .arg(p.y())));
    }

    void pinColours_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QColor>("colour");
        const QColor plate(0xd6, 0x4e, 0x3c), screen(0xe8, 0xca, 0x60), suppressor(0xaa, 0x82, 0xc8);
        const QColor grid(0xe0, 0xa8, 0x4c), cathode(0x6e, 0xbe, 0x78), heater(0x64, 0x96, 0xdc);
        const QColor beam(0x5a, 0xb4, 0xb4), shell(0x96, 0x96, 0x96), other(0x6e, 0x68, 0x5c);
        QTest::addRow("P") << "P" << plate;
        QTest::addRow("triode-section plate") << "P(T)" << plate;
        QTest::addRow("preamp plate, lower case") << "Pb" << plate;
        QTest::addRow("G2") << "G2" << screen;
        QTest::addRow("G3") << "G3" << suppressor;
        QTest::addRow("G1") << "G1" << grid;
        QTest::addRow("triode grid") << "G" << grid;
        QTest::addRow("triode-section grid") << "G(T)" << grid;
        QTest::addRow("preamp grid, lower case") << "ga" << grid;
        QTest::addRow("K") << "K" << cathode;
        QTest::addRow("cathode and beam plates") << "K,BP" << cathode;
        QTest::addRow("cathode and suppressor") << "K,G3" << cathode;
        QTest::addRow("H") << "H" << heater;
        QTest::addRow("heater centre tap") << "H CT" << heater;
        QTest::addRow("filament") << "F" << heater;
        QTest::addRow("filament, lower case") << "f" << heater;
        QTest::addRow("F is only a filament on its own") << "FIL" << other;
        QTest::addRow("beam plates") << "BP" << beam;
        QTest::addRow("shell") << "Shell" << shell;
        QTest::addRow("not connected") << "NC" << other;
        QTest::addRow("internal connection") << "IC" << other;
        QTest::addRow("empty label") << "" << other;
    }

    void pinColours()
    {
        QFETCH(QString, label);
        QFETCH(QColor, colour);
        QCOMPARE(pinColor(label).name(), colour.name());
    }

    // The painted pins sit where the geometry says and carry the colour of their label; octal
    // bases get the dark key in the middle.
    void paintedPins_data()
    {
        QTest::addColumn<QString>("tube");
        QTest::addColumn<QSize>("size");
        QTest::addRow("6L6GC, octal") << "6L6GC" << QSize(220, 230);
        QTest::addRow("EL84, noval") << "EL84 / 6BQ5" << QSize(220, 230);
        QTest::addRow("300B, four pins") << "300B" << QSize(220, 230);
        QTest::addRow("6146, octal with top cap") << "6146 / 6146A" << QSize(220, 230);
        QTest::addRow("6JS6C, twelve pins") << "6JS6C" << QSize(220, 230);
        QTest::addRow("6L6GC at minimum size") << "6L6GC" << QSize(200, 210);
        QTest::addRow("811A, large and wide") << "811A" << QSize(420, 300);
    }

    void paintedPins()
    {
        QFETCH(QString, tube);
        QFETCH(QSize, size);
        const TubeSpec spec = catalogueTube(tube);
        QVERIFY2(!spec.pins.isEmpty(), qPrintable(tube + " should have pins in the catalogue"));
        const QImage image = render(spec, size, Qt::black);

        const PinoutGeometry g = pinoutGeometry(size.width(), size.height(), !spec.topCap.isEmpty());
        const bool octal = isOctalBase(spec.base);
        const int n = spec.pins.size();
        for (int j = 1; j <= n; ++j) {
            const QPointF centre = pinoutPoint(g.cx, g.cy, g.ringRadius, pinAngleDeg(j, n, octal));
            const QColor expected = pinColor(spec.pins.at(j - 1));
            // Sample inside the circle on all four sides, clear of the number in the middle, so a
            // pin drawn a few pixels off its place shows.
            const double d = 0.65 * g.pinRadius;
            for (const QPointF& offset : {QPointF(d, 0), QPointF(-d, 0), QPointF(0, d), QPointF(0, -d)}) {
                const QPoint at = (centre + offset).toPoint();
                const QColor seen = image.pixelColor(at);
                QVERIFY2(near(seen, expected),
                         qPrintable(QStringLiteral("pin %1 (%2) at (%3, %4): expected %5, saw %6")
                                        .arg(j)
                                        .arg(spec.pins.at(j - 1))
                                        .arg(at.x())
                                        .arg(at.y())
                                        .arg(expected.name(), seen.name())));
            }
        }

        const QColor middle = image.pixelColor(QPointF(g.cx, g.cy).toPoint());
        const QColor key(0x16, 0x14, 0x10), discCentre(0x30, 0x2c, 0x24);
        QVERIFY2(near(middle, octal ? key : discCentre),
                 qPrintable(QStringLiteral("socket centre: expected %1, saw %2")
                                .arg((octal ? key : discCentre).name(), middle.name())));
    }

    void topCapLineOnlyWithTopCap_data()
    {
        QTest::addColumn<QString>("tube");
        QTest::addColumn<bool>("hasLine");
        QTest::addRow("6146 has a plate cap") << "6146 / 6146A" << true;
        QTest::addRow("811A has a plate cap") << "811A" << true;
        QTest::addRow("6L6GC has none") << "6L6GC" << false;
    }

    void topCapLineOnlyWithTopCap()
    {
        QFETCH(QString, tube);
        QFETCH(bool, hasLine);
        const QImage image = render(catalogueTube(tube), QSize(220, 230), Qt::black);
        int reddish = 0;
        for (int y = 2; y < 18; ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 120 && c.red() > 2 * c.green() && c.red() > 2 * c.blue())
                    ++reddish;
            }
        QVERIFY2((reddish > 20) == hasLine,
                 qPrintable(QStringLiteral("%1 red pixels in the top strip, a top-cap line was %2")
                                .arg(reddish)
                                .arg(hasLine ? "expected" : "not expected")));
    }

    // Without pins only a muted note is drawn: no socket disc where it would otherwise be.
    void noPinsDrawsNoSocket_data()
    {
        QTest::addColumn<QString>("tube");
        QTest::addRow("custom row") << "Custom...";
        QTest::addRow("813, pinout not given") << "813";
        QTest::addRow("empty record, as before the first tube") << "";
    }

    void noPinsDrawsNoSocket()
    {
        QFETCH(QString, tube);
        const QColor background(0x12, 0x34, 0x56);
        const QImage image = render(catalogueTube(tube), QSize(220, 230), background);
        const PinoutGeometry g = pinoutGeometry(220, 230, false);
        // Points on the pin ring, well away from the centred note.
        for (double a : {22.5, 90.0, 157.5, 270.0}) {
            const QPoint at = pinoutPoint(g.cx, g.cy, g.ringRadius, a).toPoint();
            QVERIFY2(
                near(image.pixelColor(at), background, 0),
                qPrintable(QStringLiteral("nothing should be painted at (%1, %2)").arg(at.x()).arg(at.y())));
        }
        int muted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                muted += image.pixelColor(x, y) != background;
        QVERIFY2(muted > 30, "the no-pinout note should be drawn");
    }
};

QTEST_MAIN(TestPinoutWidget)
#include "tst_pinoutwidget.moc"
