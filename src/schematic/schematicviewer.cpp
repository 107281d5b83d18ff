#include "schematic/schematicviewer.h"

#include "app/clock.h"
#include "app/plainmessagebox.h"
#include "schematic/schematiclookup.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Where the size a viewer was left at is kept.
const QString schematicViewerSizeKey = QStringLiteral("schematicViewer/size");

} // namespace

namespace {

constexpr double minZoom = 0.05;
constexpr double maxZoom = 8.0;
constexpr double buttonZoomStep = 1.25;
constexpr double wheelZoomStep = 1.15; // per notch of 120 eighths of a degree
constexpr double fitMargin = 0.98;

} // namespace

QImage readSchematicImage(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return {};
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    // The header tells the size of most formats; one that does not is measured once decoded, which Qt's
    // own allocation limit keeps bounded.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxSchematicPixels)
        return {};
    QImage image = reader.read();
    if (qint64(image.width()) * image.height() > maxSchematicPixels)
        return {};
    return image;
}

SchematicGraphicsView::SchematicGraphicsView(QWidget* parent)
    : QGraphicsView(parent), graphicsScene(new QGraphicsScene(this))
{
    setScene(graphicsScene);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    setBackgroundBrush(QColor(24, 20, 14));
    setFrameShape(QFrame::NoFrame);
}

void SchematicGraphicsView::setPixmap(const QPixmap& pixmap)
{
    graphicsScene->clear();
    imageItem = graphicsScene->addPixmap(pixmap);
    imageItem->setTransformationMode(Qt::SmoothTransformation);
    graphicsScene->setSceneRect(pixmap.rect());
    fitInWindow();
}

void SchematicGraphicsView::setZoom(double factor)
{
    zoomFactor = factor > maxZoom ? maxZoom : std::max(factor, minZoom);
    QTransform transform;
    transform.rotate(rotationDeg);
    transform.scale(zoomFactor, zoomFactor);
    setTransform(transform);
    emit zoomChanged(zoomFactor);
}

void SchematicGraphicsView::zoomIn()
{
    setZoom(zoomFactor * buttonZoomStep);
}

void SchematicGraphicsView::zoomOut()
{
    setZoom(zoomFactor / buttonZoomStep);
}

void SchematicGraphicsView::actualSize()
{
    setZoom(1.0);
}

bool SchematicGraphicsView::turnedImageSize(double& w, double& h) const
{
    if (!imageItem)
        return false;
    const QRectF bounds = imageItem->boundingRect();
    w = bounds.width();
    h = bounds.height();
    if (w <= 0 || h <= 0)
        return false;
    if (rotationDeg == 90 || rotationDeg == 270)
        std::swap(w, h);
    return true;
}

void SchematicGraphicsView::fitTurnedImage(double w, double h)
{
    const QSize port = viewport()->size();
    setZoom(std::min(port.width() / w, port.height() / h) * fitMargin);
}

void SchematicGraphicsView::fitInWindow()
{
    double w = 0;
    double h = 0;
    if (!turnedImageSize(w, h) || viewport()->width() <= 9)
        return;
    fitTurnedImage(w, h);
}

void SchematicGraphicsView::rotate90()
{
    rotationDeg = (rotationDeg + 90) % 360;
    double w = 0;
    double h = 0;
    if (turnedImageSize(w, h) && viewport()->width() >= 11)
        fitTurnedImage(w, h);
    else
        setZoom(zoomFactor); // re-applies the transform with the new rotation
}

void SchematicGraphicsView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
        QGraphicsView::wheelEvent(event);
        return;
    }
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        setZoom(zoomFactor * std::pow(wheelZoomStep, steps));
    event->accept();
}

SchematicViewer::SchematicViewer(const QString& title, const QString& imagePath, QWidget* parent)
    : QDialog(parent)
{
    build(title);
    schematicView->setPixmap(QPixmap::fromImage(readSchematicImage(imagePath)));
}

SchematicViewer::SchematicViewer(const QString& title, const QImage& image, QWidget* parent) : QDialog(parent)
{
    build(title);
    schematicView->setPixmap(QPixmap::fromImage(image));
}

void SchematicViewer::build(const QString& title)
{
    setWindowTitle(title + QStringLiteral(" — Schematic"));
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("schemBar"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(12, 8, 12, 8);
    auto* titleLabel = new QLabel(title, bar);
    titleLabel->setObjectName(QStringLiteral("schemTitle"));
    barLayout->addWidget(titleLabel);
    barLayout->addStretch(1);
    zoomText = new QLabel(bar);
    barLayout->addWidget(zoomText);

    schematicView = new SchematicGraphicsView(this);

    struct ToolButton {
        QString text;
        QString toolTip;
        void (SchematicGraphicsView::*action)();
    };
    const ToolButton buttons[] = {
        {QStringLiteral("−"), QStringLiteral("Zoom out"), &SchematicGraphicsView::zoomOut},
        {QStringLiteral("+"), QStringLiteral("Zoom in"), &SchematicGraphicsView::zoomIn},
        {QStringLiteral("Fit"), QStringLiteral("Fit schematic in window"),
         &SchematicGraphicsView::fitInWindow},
        {QStringLiteral("100%"), QStringLiteral("Actual pixel size"), &SchematicGraphicsView::actualSize},
        {QStringLiteral("⟳"), QStringLiteral("Rotate 90°"), &SchematicGraphicsView::rotate90},
    };
    for (const ToolButton& spec : buttons) {
        auto* button = new QPushButton(spec.text, bar);
        button->setObjectName(QStringLiteral("toolBtn"));
        button->setCursor(Qt::PointingHandCursor);
        button->setToolTip(spec.toolTip);
        connect(button, &QPushButton::clicked, schematicView, spec.action);
        barLayout->addWidget(button);
    }

    layout->addWidget(bar, 0);
    layout->addWidget(schematicView, 1);

    auto* hint = new QLabel(QStringLiteral("Scroll to zoom · drag to pan · Shift+scroll to scroll"), this);
    hint->setObjectName(QStringLiteral("schemHint"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setContentsMargins(0, 4, 0, 6);
    layout->addWidget(hint);

    connect(schematicView, &SchematicGraphicsView::zoomChanged, zoomText, [this](double factor) {
        zoomText->setText(QString::number(std::lround(factor * 100)) + QLatin1Char('%'));
    });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(static_cast<int>(available.width() * 0.85), static_cast<int>(available.height() * 0.85));
    }
}

void SchematicViewer::hideEvent(QHideEvent* event)
{
    if (isWindow() && !isModal())
        QSettings().setValue(schematicViewerSizeKey, size());
    QDialog::hideEvent(event);
}

void placeBeside(QWidget* viewer, const QWidget* bench)
{
    const QScreen* screen = bench ? bench->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize saved = QSettings().value(schematicViewerSizeKey).toSize();
    // At first half the screen's width beside the bench, then the size the user left it at.
    QSize size = saved.isValid() ? saved
                                 : QSize(static_cast<int>(available.width() * 0.5),
                                         static_cast<int>(available.height() * 0.85));
    // move() places the window's frame, resize() what is inside it.
    viewer->winId();
    const QMargins margins = viewer->windowHandle() ? viewer->windowHandle()->frameMargins() : QMargins();
    const QSize extra(margins.left() + margins.right(), margins.top() + margins.bottom());
    size = size.boundedTo(available.size() - extra).expandedTo(viewer->minimumSizeHint());
    viewer->resize(size);

    // Right of the bench where the screen has room, else left of it, else over its right edge.
    QRect frame(QPoint(), size + extra);
    const QRect benchFrame = bench ? bench->frameGeometry() : available;
    if (benchFrame.right() + size.width() < available.right())
        frame.moveTopLeft(QPoint(benchFrame.right() + 1, benchFrame.top()));
    else if (benchFrame.left() - size.width() > available.left())
        frame.moveTopRight(QPoint(benchFrame.left() - 1, benchFrame.top()));
    else
        frame.moveTopRight(QPoint(available.right(), benchFrame.top()));
    if (frame.bottom() > available.bottom())
        frame.moveBottom(available.bottom());
    if (frame.top() < available.top())
        frame.moveTop(available.top());
    viewer->move(frame.topLeft());
}

void SchematicViewer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The dialog only has its final size once it is on screen.
    QTimer::singleShot(0, schematicView, &SchematicGraphicsView::fitInWindow);
}

namespace {

bool decoding = false;

void decodeAndShowSchematic(QWidget* parent, const QString& name, const QString& path)
{
    if (decoding)
        return;
    decoding = true;

    auto* progress = new QProgressDialog(parent);
    progress->setObjectName(QStringLiteral("schematicProgress"));
    progress->setWindowModality(Qt::NonModal);
    progress->setWindowTitle(name + QStringLiteral(" — Schematic"));
    progress->setLabelText(QStringLiteral("Opening the schematic…"));
    progress->setRange(0, 0); // busy: a decoder tells no progress
    progress->setCancelButton(nullptr);
    progress->setMinimumDuration(0);
    progress->show();

    // The watcher belongs to the progress indicator: whichever comes first, the image or the time
    // limit, removes both, and the other finds nothing left to act on. A decode that runs past the
    // limit goes on in its thread, bounded by maxSchematicPixels, and its image is dropped.
    auto* watcher = new QFutureWatcher<QImage>(progress);
    QPointer<QWidget> owner(parent);
    QObject::connect(watcher, &QFutureWatcher<QImage>::finished, progress, [watcher, progress, owner, name] {
        const QImage image = watcher->result();
        progress->deleteLater();
        decoding = false;
        if (!owner)
            return;
        // One viewer beside the bench at a time: a new schematic takes the place of the last.
        for (SchematicViewer* open :
             owner->findChildren<SchematicViewer*>(QString(), Qt::FindDirectChildrenOnly))
            open->close();
        auto* viewer = new SchematicViewer(name, image, owner);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowModality(Qt::NonModal);
        placeBeside(viewer, owner->window());
        viewer->show();
        viewer->raise();
        viewer->activateWindow();
    });
    Clock::singleShot(maxSchematicDecodeMs, progress, [progress, owner, name] {
        progress->deleteLater();
        // The watcher goes with the indicator; its late result finds no receiver.
        QObject::disconnect(progress->findChild<QFutureWatcher<QImage>*>(), nullptr, progress, nullptr);
        decoding = false;
        if (owner)
            plainInformation(owner, QStringLiteral("Schematic not shown"),
                             QStringLiteral("The schematic image for \"") + name +
                                 QStringLiteral("\" took too long to open and was not shown."));
    });
    watcher->setFuture(QtConcurrent::run(readSchematicImage, path));
}

} // namespace

void showPresetSchematic(QWidget* parent, const QString& group, const QString& name)
{
    const QString slug = schematicSlug(group, name);
    const QString path = findSchematicImage(slug);
    if (!path.isEmpty()) {
        decodeAndShowSchematic(parent, name, path);
        return;
    }
    plainInformation(parent, QStringLiteral("Schematic not available"),
                     schematicMissingText(name, slug, schematicSearchDirs().constFirst()));
}
