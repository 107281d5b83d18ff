#include "schematic/schematiclookup.h"
#include "schematic/schematicviewer.h"

#include "modalseam.h"
#include "schematicimages.h"
#include "testfiles.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsScene>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

namespace {

QPushButton* barButton(const SchematicViewer& viewer, const QString& text)
{
    const auto buttons = viewer.findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

void press(const SchematicViewer& viewer, const QString& text, int times = 1)
{
    QPushButton* button = barButton(viewer, text);
    QVERIFY2(button, qPrintable("no button " + text));
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
}

void wheel(SchematicGraphicsView* view, QPoint angleDelta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF centre = QRectF(view->viewport()->rect()).center();
    QWheelEvent event(centre, view->viewport()->mapToGlobal(centre), QPoint(), angleDelta, Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &event);
}

// The zoom that fits a w x h image (before rotation) into the view's current viewport.
double expectedFit(const SchematicGraphicsView* view, double w, double h)
{
    if (view->rotation() == 90 || view->rotation() == 270)
        std::swap(w, h);
    const QSize port = view->viewport()->size();
    return std::min(port.width() / w, port.height() / h) * 0.98;
}

QString percent(double zoom)
{
    return QString::number(std::lround(zoom * 100)) + '%';
}

} // namespace

class TestSchematicViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void buildsTheDialog();
    void fitsWhenShown();
    void zoomButtonsClamp();
    void setZoomClamps_data();
    void setZoomClamps();
    void rotationFitsEachQuarterTurn();
    void wheelZooms();
    void modifiedWheelScrolls_data();
    void modifiedWheelScrolls();
    void undecodableFileGivesEmptyView();
    void showsViewerWhenImageExists();
    void tellsWhereToSaveWhenNoImage();

private:
    QTemporaryDir dir;
    QString wideImage; // 800 x 200
};

void TestSchematicViewer::initTestCase()
{
    QVERIFY(dir.isValid());
    useTemporaryProgramHome(dir);

    wideImage = dir.filePath("wide.png");
    QVERIFY(writeImageFile(wideImage, QStringLiteral("png"), QSize(800, 200)));
}

void TestSchematicViewer::buildsTheDialog()
{
    SchematicViewer viewer(QStringLiteral("Deluxe Reverb"), wideImage);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Deluxe Reverb — Schematic"));
    QVERIFY(viewer.isSizeGripEnabled());

    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(viewer.size(), QSize(int(available.width() * 0.85), int(available.height() * 0.85)));

    auto* title = viewer.findChild<QLabel*>(QStringLiteral("schemTitle"));
    QVERIFY(title);
    QCOMPARE(title->text(), QStringLiteral("Deluxe Reverb"));
    QVERIFY(viewer.findChild<QWidget*>(QStringLiteral("schemBar")));
    auto* hint = viewer.findChild<QLabel*>(QStringLiteral("schemHint"));
    QVERIFY(hint);
    QCOMPARE(hint->text(), QStringLiteral("Scroll to zoom · drag to pan · Shift+scroll to scroll"));

    const QStringList texts{"−", "+", "Fit", "100%", "⟳"};
    const QStringList tips{"Zoom out", "Zoom in", "Fit schematic in window", "Actual pixel size",
                           "Rotate 90°"};
    const auto buttons = viewer.findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), texts.size());
    for (int i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons[i]->text(), texts[i]);
        QCOMPARE(buttons[i]->toolTip(), tips[i]);
        QCOMPARE(buttons[i]->objectName(), QStringLiteral("toolBtn"));
    }

    SchematicGraphicsView* view = viewer.view();
    QCOMPARE(view->backgroundBrush().color(), QColor(24, 20, 14));
    QCOMPARE(view->dragMode(), QGraphicsView::ScrollHandDrag);
    QCOMPARE(view->scene()->sceneRect(), QRectF(0, 0, 800, 200));
}

void TestSchematicViewer::fitsWhenShown()
{
    SchematicViewer viewer(QStringLiteral("Amp"), wideImage);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    SchematicGraphicsView* view = viewer.view();
    // The fit scheduled on show uses the dialog's final size.
    QTRY_VERIFY2(
        std::abs(view->zoom() - expectedFit(view, 800, 200)) < 1e-9,
        qPrintable(QString("zoom %1, expected fit %2").arg(view->zoom()).arg(expectedFit(view, 800, 200))));
    QCOMPARE(viewer.zoomLabel()->text(), percent(expectedFit(view, 800, 200)));

    press(viewer, "100%");
    QCOMPARE(view->zoom(), 1.0);
    QCOMPARE(viewer.zoomLabel()->text(), QStringLiteral("100%"));

    press(viewer, "Fit");
    QVERIFY(std::abs(view->zoom() - expectedFit(view, 800, 200)) < 1e-9);
    QCOMPARE(viewer.zoomLabel()->text(), percent(expectedFit(view, 800, 200)));
}

void TestSchematicViewer::zoomButtonsClamp()
{
    SchematicViewer viewer(QStringLiteral("Amp"), wideImage);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    SchematicGraphicsView* view = viewer.view();

    press(viewer, "100%");
    press(viewer, "+");
    QVERIFY2(std::abs(view->zoom() - 1.25) < 1e-12, qPrintable(QString::number(view->zoom())));
    QCOMPARE(viewer.zoomLabel()->text(), QStringLiteral("125%"));

    press(viewer, "100%");
    press(viewer, "+", 20);
    QCOMPARE(view->zoom(), 8.0);
    QCOMPARE(viewer.zoomLabel()->text(), QStringLiteral("800%"));
    QCOMPARE(view->transform().m11(), 8.0);

    press(viewer, "−");
    QVERIFY2(std::abs(view->zoom() - 6.4) < 1e-12, "one step down from the maximum is 8 / 1.25");

    press(viewer, "−", 40);
    QCOMPARE(view->zoom(), 0.05);
    QCOMPARE(viewer.zoomLabel()->text(), QStringLiteral("5%"));
    QCOMPARE(view->transform().m11(), 0.05);
}

void TestSchematicViewer::setZoomClamps_data()
{
    // clang-format off
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("expected");
    QTest::addRow("inside") << 2.5 << 2.5;
    QTest::addRow("exactly the maximum") << 8.0 << 8.0;
    QTest::addRow("above the maximum") << 8.0001 << 8.0;
    QTest::addRow("far above") << 1e9 << 8.0;
    QTest::addRow("exactly the minimum") << 0.05 << 0.05;
    QTest::addRow("below the minimum") << 0.0499 << 0.05;
    QTest::addRow("zero") << 0.0 << 0.05;
    QTest::addRow("negative") << -3.0 << 0.05;
    // clang-format on
}

void TestSchematicViewer::setZoomClamps()
{
    QFETCH(double, factor);
    QFETCH(double, expected);
    SchematicGraphicsView view;
    view.setPixmap(QPixmap(40, 30));
    QSignalSpy spy(&view, &SchematicGraphicsView::zoomChanged);
    view.setZoom(factor);
    QCOMPARE(view.zoom(), expected);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), expected);
}

void TestSchematicViewer::rotationFitsEachQuarterTurn()
{
    SchematicViewer viewer(QStringLiteral("Amp"), wideImage);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    SchematicGraphicsView* view = viewer.view();
    QTRY_VERIFY(!viewer.zoomLabel()->text().isEmpty());
    press(viewer, "+", 3); // leave the fitted zoom so a missing fit would show

    const QSize port = view->viewport()->size();
    QVERIFY2(port.width() > 200 && port.height() > 200, "viewport too small for this test");
    const int expectedAngles[] = {90, 180, 270, 0};
    for (int angle : expectedAngles) {
        press(viewer, "⟳");
        QCOMPARE(view->rotation(), angle);
        // Turned a quarter, the wide image's height lies along the viewport's width.
        const double fit = (angle % 180 == 0) ? std::min(port.width() / 800.0, port.height() / 200.0) * 0.98
                                              : std::min(port.width() / 200.0, port.height() / 800.0) * 0.98;
        QVERIFY2(
            std::abs(view->zoom() - fit) < 1e-9,
            qPrintable(
                QString("after turning to %1°: zoom %2, expected %3").arg(angle).arg(view->zoom()).arg(fit)));
        QTransform expected;
        expected.rotate(angle);
        expected.scale(fit, fit);
        const QTransform actual = view->transform();
        QVERIFY2(std::abs(actual.m11() - expected.m11()) < 1e-9 &&
                     std::abs(actual.m12() - expected.m12()) < 1e-9 &&
                     std::abs(actual.m21() - expected.m21()) < 1e-9 &&
                     std::abs(actual.m22() - expected.m22()) < 1e-9,
                 qPrintable(QString("transform at %1° is not rotation then scale").arg(angle)));
        QCOMPARE(viewer.zoomLabel()->text(), percent(fit));
        press(viewer, "+");
    }
    QCOMPARE(view->rotation(), 0);
}

void TestSchematicViewer::wheelZooms()
{
    SchematicViewer viewer(QStringLiteral("Amp"), wideImage);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    SchematicGraphicsView* view = viewer.view();
    QTRY_VERIFY(!viewer.zoomLabel()->text().isEmpty());
    press(viewer, "100%");

    wheel(view, QPoint(0, 120));
    QVERIFY2(std::abs(view->zoom() - 1.15) < 1e-12, qPrintable(QString::number(view->zoom())));
    QCOMPARE(viewer.zoomLabel()->text(), QStringLiteral("115%"));

    wheel(view, QPoint(0, -120));
    QVERIFY(std::abs(view->zoom() - 1.0) < 1e-12);

    wheel(view, QPoint(0, 240)); // two notches in one event
    QVERIFY(std::abs(view->zoom() - 1.15 * 1.15) < 1e-12);

    wheel(view, QPoint(0, 60)); // half a notch from a fine-grained wheel
    QVERIFY(std::abs(view->zoom() - 1.15 * 1.15 * std::sqrt(1.15)) < 1e-12);

    const double before = view->zoom();
    wheel(view, QPoint(120, 0)); // horizontal only: no zoom
    QCOMPARE(view->zoom(), before);

    for (int i = 0; i < 30; ++i)
        wheel(view, QPoint(0, 120));
    QCOMPARE(view->zoom(), 8.0);
    for (int i = 0; i < 60; ++i)
        wheel(view, QPoint(0, -120));
    QCOMPARE(view->zoom(), 0.05);
}

void TestSchematicViewer::modifiedWheelScrolls_data()
{
    // clang-format off
    QTest::addColumn<int>("modifiers");
    QTest::addRow("shift") << int(Qt::ShiftModifier);
    QTest::addRow("control") << int(Qt::ControlModifier);
    // clang-format on
}

void TestSchematicViewer::modifiedWheelScrolls()
{
    QFETCH(int, modifiers);
    SchematicViewer viewer(QStringLiteral("Amp"), wideImage);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    SchematicGraphicsView* view = viewer.view();
    QTRY_VERIFY(!viewer.zoomLabel()->text().isEmpty());
    press(viewer, "+", 12); // large enough to scroll both ways
    QVERIFY(view->verticalScrollBar()->maximum() > 0);

    const double zoom = view->zoom();
    const int vertical = view->verticalScrollBar()->value();
    const int horizontal = view->horizontalScrollBar()->value();
    wheel(view, QPoint(0, -120), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(view->zoom(), zoom);
    QVERIFY2(view->verticalScrollBar()->value() != vertical ||
                 view->horizontalScrollBar()->value() != horizontal,
             "a modified wheel notch should scroll the view");
}

void TestSchematicViewer::undecodableFileGivesEmptyView()
{
    const QString broken = dir.filePath("broken.png");
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is not an image\n");
    file.close();

    SchematicViewer viewer(QStringLiteral("Broken"), broken);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCoreApplication::processEvents(); // the fit that showing the viewer schedules
    SchematicGraphicsView* view = viewer.view();
    QVERIFY(view->scene()->itemsBoundingRect().isEmpty());
    QCOMPARE(viewer.zoomLabel()->text(), QString());
    press(viewer, "Fit");
    QCOMPARE(viewer.zoomLabel()->text(), QString());
    QCOMPARE(view->zoom(), 1.0);
    press(viewer, "⟳");
    QCOMPARE(view->rotation(), 90);
    QCOMPARE(view->zoom(), 1.0);
    press(viewer, "+");
    QCOMPARE(viewer.zoomLabel()->text(), QStringLiteral("125%"));

    SchematicViewer missing(QStringLiteral("Missing"), dir.filePath("no-such-file.png"));
    missing.show();
    QVERIFY(QTest::qWaitForWindowExposed(&missing));
    QVERIFY(missing.view()->scene()->itemsBoundingRect().isEmpty());
}

void TestSchematicViewer::showsViewerWhenImageExists()
{
    const QString userDir = schematicSearchDirs().constFirst();
    QVERIFY(QDir().mkpath(userDir));
    const QString path = userDir + "/fender-champ-vibro-champ.webp";
    QVERIFY(writeImageFile(path, "webp", QSize(300, 200)));

    QWidget parent;
    parent.show();
    ModalSeam seam; // the viewer is no dialog: it opens beside the bench, which stays usable
    showPresetSchematic(&parent, "Fender", "Champ / Vibro Champ");
    QTRY_VERIFY(parent.findChild<SchematicViewer*>());
    QPointer<SchematicViewer> viewer = parent.findChild<SchematicViewer*>();
    QVERIFY(QFile::remove(path));
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->isWindow());
    QVERIFY(!viewer->isModal());
    QVERIFY2(!QApplication::activeModalWidget(), "the bench stays usable beside the viewer");
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Champ / Vibro Champ — Schematic"));
    QCOMPARE(viewer->view()->scene()->sceneRect().size(), QSizeF(300, 200));
    QCOMPARE(seam.answered, 0);

    // It keeps the size it was left at for the next one.
    const QSize left = viewer->size() - QSize(40, 30);
    viewer->resize(left);
    viewer->close();
    QTRY_VERIFY(!viewer);
    QVERIFY(writeImageFile(path, "webp", QSize(300, 200)));
    showPresetSchematic(&parent, "Fender", "Champ / Vibro Champ");
    QTRY_VERIFY(parent.findChild<SchematicViewer*>());
    viewer = parent.findChild<SchematicViewer*>();
    QVERIFY(QFile::remove(path));
    QCOMPARE(viewer->size(), left);
    viewer->close();
}

void TestSchematicViewer::tellsWhereToSaveWhenNoImage()
{
    QWidget parent;
    parent.show();
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
    QMessageBox::StandardButtons standardButtons;
    QWidget* boxParent = nullptr;
    ModalSeam seam({[&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY2(box, qPrintable(describeDialog(modal)));
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttonCount = box->buttons().size();
        standardButtons = box->standardButtons();
        boxParent = box->parentWidget();
        box->accept();
    }});
    showPresetSchematic(&parent, "Mesa/Boogie", "Mark IV");
    QCOMPARE(seam.answered, 1);
    QCOMPARE(boxParent, &parent);
    QCOMPARE(title, QStringLiteral("Schematic not available"));
    QCOMPARE(text,
             "No schematic image is bundled for \"Mark IV\".\n\nYou can add your own: save an image named\n"
             "    mesa-boogie-mark-iv.png\ninto\n    " +
                 QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/schematics");
    QCOMPARE(icon, QMessageBox::Information);
    QCOMPARE(buttonCount, 1);
    QCOMPARE(standardButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

QTEST_MAIN(TestSchematicViewer)
#include "tst_schematicviewer.moc"
