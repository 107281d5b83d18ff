// The schematic viewer with a drawn stand-in schematic, fitted and turned, and the box that tells
// where to save a schematic when none is found.
#include "gallery.h"

#include "bench/mainwindow.h"
#include "schematic/schematicviewer.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// A wide, paper-coloured drawing with a few stages of valves, resistors and wiring, so zoom and
// rotation are easy to judge by eye.
QImage drawStandInSchematic()
{
    QImage image(1800, 900, QImage::Format_RGB32);
    image.fill(QColor(246, 240, 222));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 30), 3));
    QFont font(QStringLiteral("DejaVu Sans"), 22, QFont::Bold);
    p.setFont(font);

    p.drawRect(20, 20, 1760, 860);
    p.drawText(QRect(40, 40, 900, 50), Qt::AlignLeft, QStringLiteral("TEST AMP — POWER SECTION"));
    p.drawLine(100, 200, 1700, 200); // B+ rail
    p.drawText(QRect(1600, 150, 160, 40), Qt::AlignLeft, QStringLiteral("B+ 420V"));
    p.drawLine(100, 780, 1700, 780); // ground
    for (int x = 1660; x <= 1700; x += 20)
        p.drawLine(x, 780, x - 15, 800);

    for (int stage = 0; stage < 4; ++stage) {
        const int cx = 300 + stage * 380;
        // Plate resistor as a zig-zag from the rail down to the valve.
        QPainterPath zigzag(QPointF(cx, 200));
        for (int i = 0; i < 8; ++i)
            zigzag.lineTo(cx + (i % 2 ? -14 : 14), 230 + i * 10);
        zigzag.lineTo(cx, 320);
        p.drawPath(zigzag);
        p.drawText(QRect(cx + 24, 240, 140, 40), Qt::AlignLeft, QStringLiteral("R%1 100k").arg(stage + 1));
        // Valve envelope with plate, grid and cathode.
        p.drawLine(cx, 320, cx, 380);
        p.drawEllipse(QPointF(cx, 460), 80, 80);
        p.drawLine(cx - 35, 400, cx + 35, 400);
        QPen grid = p.pen();
        grid.setStyle(Qt::DashLine);
        p.setPen(grid);
        p.drawLine(cx - 40, 455, cx + 40, 455);
        p.setPen(QPen(QColor(30, 30, 30), 3));
        p.drawLine(cx - 30, 510, cx + 30, 510);
        p.drawLine(cx - 40, 455, cx - 140, 455);
        p.drawText(QRect(cx - 100, 550, 200, 40), Qt::AlignCenter,
                   QStringLiteral("V%1 6L6GC").arg(stage + 1));
        // Cathode resistor to ground.
        p.drawLine(cx, 510, cx, 620);
        p.drawRect(cx - 12, 620, 24, 90);
        p.drawLine(cx, 710, cx, 780);
        // Coupling capacitor to the next stage.
        if (stage < 3) {
            p.drawLine(cx, 340, cx + 150, 340);
            p.drawLine(cx + 150, 320, cx + 150, 360);
            p.drawLine(cx + 165, 320, cx + 165, 360);
            p.drawLine(cx + 165, 340, cx + 240, 340);
            p.drawLine(cx + 240, 340, cx + 240, 455);
        }
    }
    p.drawText(QRect(40, 820, 1000, 40), Qt::AlignLeft, QStringLiteral("Bias: -48V  ·  Idle 38 mA per tube"));
    return image;
}

} // namespace

GALLERY_PAGE(schematic)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("test-amp.png"));
    drawStandInSchematic().save(path);

    SchematicViewer viewer(QStringLiteral("Deluxe Reverb"), path);
    saveWidget(&viewer, out, QStringLiteral("schematic_viewer_fitted.png"));

    viewer.view()->rotate90();
    saveWidget(&viewer, out, QStringLiteral("schematic_viewer_rotated.png"));

    viewer.view()->actualSize();
    saveWidget(&viewer, out, QStringLiteral("schematic_viewer_actual_size.png"));
    viewer.close();

    SchematicViewer broken(QStringLiteral("Broken file"), dir.filePath(QStringLiteral("missing.png")));
    saveWidget(&broken, out, QStringLiteral("schematic_viewer_empty.png"));
    broken.close();

    QWidget parent;
    parent.resize(900, 600);
    parent.show();
    QTimer::singleShot(100, &parent, [&out] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            saveWidget(box, out, QStringLiteral("schematic_not_available.png"));
            box->accept();
        }
    });
    showPresetSchematic(&parent, QStringLiteral("Fender"), QStringLiteral("Champ / Vibro Champ"));
}

GALLERY_PAGE(schematic_beside_bench)
{
    // The viewer as the "Schematic" button opens it: a window of its own beside the bench, on a
    // full-HD screen with the bench at the size of a laptop's.
    MainWindow window;
    window.setGeometry(QRect(0, 0, 1100, 760));
    window.show();
    auto* viewer = new SchematicViewer(QStringLiteral("Deluxe Reverb"), drawStandInSchematic(), &window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    placeBeside(viewer, &window);
    viewer->show();
    settle(600);
    const QRect area = window.frameGeometry().united(viewer->frameGeometry());
    const QPixmap shot =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = out.filePath(QStringLiteral("schematic_beside_bench.png"));
    if (shot.isNull() || !shot.save(path, "PNG"))
        std::fprintf(stderr, "could not grab the bench with its schematic\n");
    else
        std::printf("  %s\n", qPrintable(path));
    viewer->close();
}
