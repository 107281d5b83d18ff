#include "preamp/platecurvepainter.h"
#include "preamp/triodes.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

static PlateCurveScene classicScene(double bypassUf = 25)
{
    TriodeStageInput in;
    in.tube = *findTriode(QStringLiteral("12AX7 / ECC83 / 7025"));
    in.bypassUf = bypassUf;
    return plateCurveScene(in);
}

static QImage painted(const PlateCurveScene& scene, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    paintPlateCurves(painter, QRectF(QPointF(0, 0), QSizeF(size)), scene);
    return image;
}

static int pixelsOf(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

static qint64 pdfSize(const QString& path, const PlateCurveScene* scene)
{
    {
        QPdfWriter pdf(path);
        pdf.setResolution(150);
        QPainter painter(&pdf);
        if (scene)
            paintPlateCurves(painter, QRectF(0, 0, pdf.width(), pdf.height() / 2.0), *scene);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    if (!file.read(5).startsWith("%PDF"))
        return -1;
    return file.size();
}

class TestPlateCurvePainter : public QObject
{
    Q_OBJECT

private slots:
    void operatingPointIsDrawnWhereTheGeometrySays_data();
    void operatingPointIsDrawnWhereTheGeometrySays();
    void drawsIntoAPdf();
    void sceneWithoutCurvesDrawsNoStage();
};

void TestPlateCurvePainter::operatingPointIsDrawnWhereTheGeometrySays_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("bypassUf");
    QTest::addRow("720 x 300, bypassed") << QSize(720, 300) << 25.0;
    QTest::addRow("1440 x 600, bypassed") << QSize(1440, 600) << 25.0;
    QTest::addRow("400 x 260, unbypassed") << QSize(400, 260) << 0.0;
}

void TestPlateCurvePainter::operatingPointIsDrawnWhereTheGeometrySays()
{
    QFETCH(QSize, size);
    QFETCH(double, bypassUf);
    const PlateCurveScene scene = classicScene(bypassUf);
    QVERIFY(scene.hasOperatingPoint);
    const QImage image = painted(scene, size);

    const QRectF plot = plateCurvePlotRect(QRectF(QPointF(0, 0), QSizeF(size)));
    const QPoint q = plateCurveToPixel(plot, scene, scene.operatingPoint).toPoint();
    QCOMPARE(image.pixelColor(q), PlateCurveColours::operatingPoint());
    // The marker is small and round: a few pixels off in each direction it is gone.
    const int far = size.width() / 40;
    for (const QPoint& off : {QPoint(far, 0), QPoint(-far, 0), QPoint(0, far), QPoint(0, -far)})
        QVERIFY(image.pixelColor(q + off) != PlateCurveColours::operatingPoint());
    // The middle of the swing is drawn in the swing's colour, on the AC load line.
    const QPointF swingMiddle = (scene.swingPlus + scene.operatingPoint) / 2;
    QCOMPARE(image.pixelColor(plateCurveToPixel(plot, scene, swingMiddle).toPoint()),
             PlateCurveColours::swing());
    // The whole area is painted: no pixel of the black the image started with.
    QCOMPARE(pixelsOf(image, Qt::black), 0);
}

void TestPlateCurvePainter::drawsIntoAPdf()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const PlateCurveScene scene = classicScene();
    const qint64 blank = pdfSize(dir.filePath(QStringLiteral("blank.pdf")), nullptr);
    const qint64 drawn = pdfSize(dir.filePath(QStringLiteral("curves.pdf")), &scene);
    QVERIFY2(blank > 0 && drawn > 0, "both files must be PDF documents");
    // Some thirty polylines, the load lines and the labels make a page several kilobytes larger.
    QVERIFY2(drawn > blank + 4000, qPrintable(QStringLiteral("%1 against %2 bytes").arg(drawn).arg(blank)));
}

void TestPlateCurvePainter::sceneWithoutCurvesDrawsNoStage()
{
    TriodeStageInput in;
    in.tube = *findTriode(QStringLiteral("5751"));
    const PlateCurveScene scene = plateCurveScene(in);
    QVERIFY(!scene.hasCurves);
    const QImage image = painted(scene, QSize(600, 300));
    QCOMPARE(pixelsOf(image, PlateCurveColours::operatingPoint()), 0);
    QCOMPARE(pixelsOf(image, PlateCurveColours::swing()), 0);
    QVERIFY(pixelsOf(image, PlateCurveColours::paper()) > 600 * 300 / 2);
}

QTEST_MAIN(TestPlateCurvePainter)
#include "tst_platecurvepainter.moc"
