#pragma once

// The schematic viewer: a window of its own beside the bench showing one schematic image with zoom,
// pan and rotation.
#include <QDialog>
#include <QGraphicsView>

class QGraphicsPixmapItem;
class QGraphicsScene;
class QImage;
class QLabel;

// The largest image the viewer decodes, in pixels: 32 Mi (8192 x 4096, or an A3 sheet scanned at
// 400 dpi), 128 MiB once held as a 32-bit pixmap. That is the budget Qt's image reader grants by
// default, kept here as well so that the viewer never decodes more, whatever that reader is set to
// allow (QT_IMAGEIO_MAXALLOC, another Qt version's default). A larger image is refused from its
// header, before a single pixel is decoded, and shows as no image.
inline constexpr qint64 maxSchematicPixels = qint64(32) * 1024 * 1024;

// The image of a schematic file, or a null image when the path is no regular file (a named pipe
// would block the read, a device never ends), does not decode, or exceeds maxSchematicPixels.
QImage readSchematicImage(const QString& path);

// A graphics view holding one image that zooms with the wheel (Shift/Ctrl + wheel scrolls), pans by
// dragging and rotates in quarter turns.
class SchematicGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit SchematicGraphicsView(QWidget* parent = nullptr);

    void setPixmap(const QPixmap& pixmap);
    void setZoom(double factor);
    void zoomIn();
    void zoomOut();
    void actualSize();
    void fitInWindow();
    void rotate90();

    double zoom() const { return zoomFactor; }
    int rotation() const { return rotationDeg; }

signals:
    void zoomChanged(double factor);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    // Width and height of the image as turned by the current rotation; false without a usable image.
    bool turnedImageSize(double& w, double& h) const;
    void fitTurnedImage(double w, double h);

    QGraphicsScene* graphicsScene;
    QGraphicsPixmapItem* imageItem = nullptr;
    double zoomFactor = 1.0;
    int rotationDeg = 0; // 0, 90, 180 or 270
};

// How long a schematic may take to decode, in milliseconds on the program's clock. A valid image
// can still take far longer (a progressive JPEG of thousands of scans); past this it is refused.
inline constexpr int maxSchematicDecodeMs = 20000;

class SchematicViewer : public QDialog
{
    Q_OBJECT

public:
    SchematicViewer(const QString& title, const QString& imagePath, QWidget* parent = nullptr);
    // With an image decoded already (showPresetSchematic decodes off the GUI thread).
    SchematicViewer(const QString& title, const QImage& image, QWidget* parent = nullptr);

    SchematicGraphicsView* view() const { return schematicView; }
    QLabel* zoomLabel() const { return zoomText; }

protected:
    void showEvent(QShowEvent* event) override;
    // A viewer of its own beside the bench keeps the size it is left at (the settings) for the next.
    void hideEvent(QHideEvent* event) override;

private:
    void build(const QString& title);

    SchematicGraphicsView* schematicView;
    QLabel* zoomText;
};

// The schematic button's work for one preset: looks up the preset's image, or tells the user in an
// information box which file to save where. The image is decoded on a worker thread while a progress
// indicator (object name "schematicProgress", not modal) shows and the window goes on answering; the
// viewer then opens as a window of its own (not modal, a child of `parent`, deleted when closed)
// beside `parent`'s window, at the size the last one was left at, replacing a viewer already open. A decode
// that takes longer than maxSchematicDecodeMs is refused with an information box. Returns at once; a second
// call while one decodes does nothing.
void showPresetSchematic(QWidget* parent, const QString& group, const QString& name);

// Sizes `viewer` as the last viewer was left (half the screen's width at first) and moves it beside
// `bench`: right of it where the screen has room, else left of it, else over its right edge.
void placeBeside(QWidget* viewer, const QWidget* bench);
