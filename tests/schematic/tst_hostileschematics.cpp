// Schematic files no one should have to show, met through the real lookup and viewer: files that are no
// image or only part of one, images far too large to decode, and things named like an image that are no
// file at all. Each gives an empty view or the "not available" note, promptly, without a crash and
// without eating memory.
#include "schematic/schematiclookup.h"
#include "schematic/schematicviewer.h"

#include "modalseam.h"
#include "schematicimages.h"
#include "testfiles.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QString group = QStringLiteral("Fender");
const QString presetName = QStringLiteral("Champ / Vibro Champ");
const QString stem = QStringLiteral("fender-champ-vibro-champ");

// How long a pipe may hold the program up before the test opens it from the other end (see
// PipeUnblocker). Only a guard against a hung test: how fast the viewer opens is measured by the
// benchmarks, not here.
constexpr qint64 pipeGraceMs = 6000;

QString userDir()
{
    return schematicSearchDirs().constFirst();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A 1-bit image compresses to almost nothing, so even 20000 x 20000 pixels are a small PNG on disk.
bool writeMonoPng(const QString& path, int width, int height)
{
    QImage image(width, height, QImage::Format_Mono);
    if (image.isNull())
        return false;
    image.setColorCount(2);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(240, 232, 208));
    image.fill(1);
    return image.save(path, "png");
}

// An image whose encoded form does not shrink much, so that cutting it short loses real pixel data.
QByteArray busyImage(const char* format)
{
    QImage image(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, uint((x * 7 + y * 13) ^ (x * y)));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Sets Qt's image allocation limit (in MB, 0 lifts it) and puts the previous one back however the
// test leaves. A user can do the same with QT_IMAGEIO_MAXALLOC.
class QtAllocationLimit
{
public:
    explicit QtAllocationLimit(int megabytes) { QImageReader::setAllocationLimit(megabytes); }
    ~QtAllocationLimit() { QImageReader::setAllocationLimit(saved); }
    QtAllocationLimit(const QtAllocationLimit&) = delete;
    QtAllocationLimit& operator=(const QtAllocationLimit&) = delete;

private:
    int saved = QImageReader::allocationLimit();
};

// Should the program open a named pipe for reading, the open waits for a writer forever. Once a test's
// time is up this opens the pipe for writing and closes it again, which ends such a wait with an empty
// read, so that the test fails on its clock instead of hanging. Without a reader waiting, the
// non-blocking open simply fails and nothing happens.
class PipeUnblocker
{
public:
    explicit PipeUnblocker(const QString& path) : path(QFile::encodeName(path))
    {
        worker = std::thread([this] {
            std::unique_lock<std::mutex> lock(mutex);
            if (wake.wait_for(lock, std::chrono::milliseconds(pipeGraceMs), [this] { return done; }))
                return;
            const int fd = ::open(this->path.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~PipeUnblocker()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        wake.notify_one();
        worker.join();
    }
    PipeUnblocker(const PipeUnblocker&) = delete;
    PipeUnblocker& operator=(const PipeUnblocker&) = delete;

private:
    QByteArray path;
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::thread worker;
};

// What the schematic button led to: the viewer (with what it showed) or a message box.
struct Outcome {
    QString dialog; // "viewer", "message" or empty when nothing opened
    QString title;
    QSizeF sceneSize;
    bool sceneEmpty = true;
    QString zoomText;
};

// Runs the schematic button's work for the test preset and records the dialog it opens, then closes it.
Outcome pressSchematicButton()
{
    QWidget parent;
    parent.show();
    Outcome seen;
    // A message box is a dialog; the viewer opens as a window of its own beside the parent.
    ModalSeam seam({[&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.dialog = QStringLiteral("message");
            seen.title = box->windowTitle();
            box->accept();
        } else {
            seen.dialog = QString::fromLatin1(modal->metaObject()->className());
            closeDialog(modal);
        }
    }});
    showPresetSchematic(&parent, group, presetName);
    // The image is decoded on a worker thread; the viewer opens once it is in.
    for (int i = 0; i < 6000 && seam.answered == 0 && !parent.findChild<SchematicViewer*>(); ++i)
        QTest::qWait(10);
    if (auto* viewer = parent.findChild<SchematicViewer*>()) {
        seen.dialog = QStringLiteral("viewer");
        seen.title = viewer->windowTitle();
        seen.sceneSize = viewer->view()->scene()->sceneRect().size();
        seen.sceneEmpty = viewer->view()->scene()->itemsBoundingRect().isEmpty();
        seen.zoomText = viewer->zoomLabel()->text();
        viewer->close();
    }
    return seen;
}

} // namespace

class TestHostileSchematics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void lookupPassesOverWhatIsNoImage_data();
    void lookupPassesOverWhatIsNoImage();
    void viewerGivenWhatIsNoImage_data();
    void viewerGivenWhatIsNoImage();
    // Before the image at the limit, whose pixmap raises the peak memory these measure against.
    void oversizedImagesAreRefused_data();
    void oversizedImagesAreRefused();
    void imageAtTheLimitIsShown();

private:
    QTemporaryDir dir;
};

void TestHostileSchematics::initTestCase()
{
    QVERIFY(dir.isValid());
    useTemporaryProgramHome(dir);
    QVERIFY2(userDir().startsWith(dir.path() + QLatin1Char('/')), qPrintable(userDir()));
    QCOMPARE(schematicSlug(group, presetName), stem);
    // The other two search directories lie beside the test program; nothing of the test preset may be
    // there, or it would be found in place of what the rows expect.
    for (const QString& searched : schematicSearchDirs().mid(1)) {
        for (const QString& extension : schematicImageExtensions())
            QVERIFY2(!QFileInfo::exists(searched + QLatin1Char('/') + stem + QLatin1Char('.') + extension),
                     qPrintable(searched));
    }
}

void TestHostileSchematics::init()
{
    QVERIFY(QDir(userDir()).removeRecursively());
    QVERIFY(QDir().mkpath(userDir()));
}

// What the lookup meets in the per-user directory under the preset's name. A file that is no image, or
// only part of one, still opens the viewer, which shows what could be decoded: nothing, or the part of
// a JPEG that arrived. Something that is no regular file is passed over, as if it were not there.
void TestHostileSchematics::lookupPassesOverWhatIsNoImage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QSizeF>("shown"); // empty: an empty view

    QTest::addRow("text named .png") << QStringLiteral("text") << QStringLiteral("viewer") << QSizeF();
    QTest::addRow("zero bytes") << QStringLiteral("empty") << QStringLiteral("viewer") << QSizeF();
    QTest::addRow("half a PNG") << QStringLiteral("truncated png") << QStringLiteral("viewer") << QSizeF();
    QTest::addRow("half a JPEG") << QStringLiteral("truncated jpeg") << QStringLiteral("viewer")
                                 << QSizeF(640, 480);
    QTest::addRow("20000 x 20000 pixels") << QStringLiteral("huge") << QStringLiteral("viewer") << QSizeF();
    QTest::addRow("a directory") << QStringLiteral("directory") << QStringLiteral("message") << QSizeF();
    QTest::addRow("a directory, a JPEG after it")
        << QStringLiteral("directory and jpeg") << QStringLiteral("viewer") << QSizeF(64, 48);
    QTest::addRow("a link to itself") << QStringLiteral("loop") << QStringLiteral("message") << QSizeF();
    QTest::addRow("two links to each other, a GIF after them")
        << QStringLiteral("loops and gif") << QStringLiteral("viewer") << QSizeF(6, 4);
    QTest::addRow("a named pipe") << QStringLiteral("pipe") << QStringLiteral("message") << QSizeF();
    QTest::addRow("a link to a device") << QStringLiteral("device") << QStringLiteral("message") << QSizeF();
}

void TestHostileSchematics::lookupPassesOverWhatIsNoImage()
{
    QFETCH(QString, kind);
    QFETCH(QString, dialog);
    QFETCH(QSizeF, shown);

    const QString base = userDir() + QLatin1Char('/') + stem;
    const QString png = base + QStringLiteral(".png");
    if (kind == QStringLiteral("text")) {
        QVERIFY(writeBytes(png, "Champ schematic: see the service manual, page 4\n"));
    } else if (kind == QStringLiteral("empty")) {
        QVERIFY(writeBytes(png, QByteArray()));
    } else if (kind == QStringLiteral("truncated png")) {
        const QByteArray whole = busyImage("png");
        QVERIFY(writeBytes(png, whole.left(whole.size() / 2)));
    } else if (kind == QStringLiteral("truncated jpeg")) {
        const QByteArray whole = busyImage("jpeg");
        QVERIFY(writeBytes(base + QStringLiteral(".jpg"), whole.left(whole.size() / 2)));
    } else if (kind == QStringLiteral("huge")) {
        QVERIFY(writeMonoPng(png, 20000, 20000));
        QVERIFY2(QFileInfo(png).size() < 1024 * 1024, "the fixture should be small on disk");
    } else if (kind.startsWith(QStringLiteral("directory"))) {
        QVERIFY(QDir().mkpath(png));
        if (kind.endsWith(QStringLiteral("jpeg")))
            QVERIFY(writeImageFile(base + QStringLiteral(".jpg"), QStringLiteral("jpg")));
    } else if (kind == QStringLiteral("loop")) {
        QVERIFY(QFile::link(png, png));
    } else if (kind == QStringLiteral("loops and gif")) {
        QVERIFY(QFile::link(base + QStringLiteral(".jpg"), png));
        QVERIFY(QFile::link(png, base + QStringLiteral(".jpg")));
        QVERIFY(writeImageFile(base + QStringLiteral(".gif"), QStringLiteral("gif")));
    } else if (kind == QStringLiteral("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(png).constData(), 0600), 0);
    } else {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), png));
    }

    const PipeUnblocker unblocker(png);
    const Outcome seen = pressSchematicButton();
    QCOMPARE(seen.dialog, dialog);
    if (dialog == QStringLiteral("message")) {
        QCOMPARE(seen.title, QStringLiteral("Schematic not available"));
        return;
    }
    QCOMPARE(seen.title, presetName + QStringLiteral(" — Schematic"));
    if (shown.isEmpty()) {
        QVERIFY2(seen.sceneEmpty, "an image that cannot be decoded leaves the view empty");
        QCOMPARE(seen.zoomText, QString());
    } else {
        QVERIFY(!seen.sceneEmpty);
        QCOMPARE(seen.sceneSize, shown);
    }
}

// The viewer itself, given a path that is no image file, shows an empty view at once: it never waits
// on a named pipe and never reads a device.
void TestHostileSchematics::viewerGivenWhatIsNoImage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addRow("a directory") << QStringLiteral("directory");
    QTest::addRow("a link to itself") << QStringLiteral("loop");
    QTest::addRow("a named pipe") << QStringLiteral("pipe");
    QTest::addRow("a link to a named pipe") << QStringLiteral("link to pipe");
    QTest::addRow("a link to a device") << QStringLiteral("device");
    QTest::addRow("nothing at all") << QStringLiteral("missing");
}

void TestHostileSchematics::viewerGivenWhatIsNoImage()
{
    QFETCH(QString, kind);
    const QString path = userDir() + QStringLiteral("/thing.png");
    const QString pipe = userDir() + QStringLiteral("/pipe");
    if (kind == QStringLiteral("directory")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QStringLiteral("loop")) {
        QVERIFY(QFile::link(path, path));
    } else if (kind == QStringLiteral("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QStringLiteral("link to pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QFile::link(pipe, path));
    } else if (kind == QStringLiteral("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    }

    const PipeUnblocker unblocker(kind == QStringLiteral("link to pipe") ? pipe : path);
    SchematicViewer viewer(QStringLiteral("Thing"), path);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCoreApplication::processEvents(); // the fit that showing the viewer schedules
    QVERIFY(viewer.view()->scene()->itemsBoundingRect().isEmpty());
    QCOMPARE(viewer.zoomLabel()->text(), QString());
}

// An image beyond maxSchematicPixels is refused from its header, even where Qt's own allocation limit
// has been lifted: the view stays empty and no memory is spent on its pixels (20000 x 20000 would take
// 1.6 GB as a pixmap).
void TestHostileSchematics::oversizedImagesAreRefused_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("qtLimitLifted");
    QTest::addRow("20000 x 20000") << 20000 << 20000 << false;
    QTest::addRow("20000 x 20000, Qt's limit lifted") << 20000 << 20000 << true;
    QTest::addRow("one row past the limit, Qt's limit lifted") << 8192 << 4097 << true;
    QTest::addRow("a strip of 64 Mi pixels, Qt's limit lifted") << 65536 << 1024 << true;
}

void TestHostileSchematics::oversizedImagesAreRefused()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, qtLimitLifted);
    QVERIFY(qint64(width) * height > maxSchematicPixels);
    const QString path = userDir() + QStringLiteral("/oversized.png");
    QVERIFY(writeMonoPng(path, width, height));

    const QtAllocationLimit limit(qtLimitLifted ? 0 : QImageReader::allocationLimit());
    const long peakBefore = peakMemoryKb();
    SchematicViewer viewer(QStringLiteral("Oversized"), path);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCoreApplication::processEvents(); // the fit that showing the viewer schedules
    QVERIFY(viewer.view()->scene()->itemsBoundingRect().isEmpty());
    QCOMPARE(viewer.zoomLabel()->text(), QString());
    const long grownKb = peakMemoryKb() - peakBefore;
    QVERIFY2(grownKb < 64 * 1024,
             qPrintable(QStringLiteral("peak memory grew by %1 MB").arg(grownKb / 1024)));
}

// The largest image allowed is decoded and shown in full.
void TestHostileSchematics::imageAtTheLimitIsShown()
{
    const QString path = userDir() + QStringLiteral("/") + stem + QStringLiteral(".png");
    QVERIFY(writeMonoPng(path, 8192, 4096));
    QCOMPARE(qint64(8192) * 4096, maxSchematicPixels);

    const Outcome seen = pressSchematicButton();
    QCOMPARE(seen.dialog, QStringLiteral("viewer"));
    QVERIFY(!seen.sceneEmpty);
    QCOMPARE(seen.sceneSize, QSizeF(8192, 4096));
}

QTEST_MAIN(TestHostileSchematics)
#include "tst_hostileschematics.moc"
