#include "schematic/schematiclookup.h"
#include "schematic/schematicviewer.h"

#include "mockclock.h"
#include "modalseam.h"
#include "testfiles.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QImageReader>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace {

// A valid grayscale progressive JPEG whose every AC coefficient comes in a scan of its own: 64 scans
// that a decoder has to go through before the image is complete.
bool writeManyScanJpeg(const QString& path, int width, int height)
{
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    std::vector<jpeg_scan_info> scans(64);
    for (int k = 0; k < 64; ++k) {
        scans[k].comps_in_scan = 1;
        scans[k].component_index[0] = 0;
        scans[k].Ss = k;
        scans[k].Se = k;
        scans[k].Ah = 0;
        scans[k].Al = 0;
    }
    cinfo.scan_info = scans.data();
    cinfo.num_scans = int(scans.size());
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x)
            row[size_t(x)] = JSAMPLE((x * 7 + int(cinfo.next_scanline) * 13) & 0xff);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(out) == 0;
}

QProgressDialog* progressOf(QWidget& window)
{
    return window.findChild<QProgressDialog*>(QStringLiteral("schematicProgress"));
}

} // namespace

// The schematic is decoded off the GUI thread: the window goes on answering, and a decode past the
// time limit is refused with a message.
class TestSchematicDecode : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    QString group = QStringLiteral("Fender");
    QString name = QStringLiteral("Deluxe Reverb");

private slots:
    void initTestCase()
    {
        useTemporaryHome(home);
        QApplication::setOrganizationName(QStringLiteral("Quorlen"));
        QApplication::setApplicationName(QStringLiteral("Ambertrace"));
        const QString path = schematicSearchDirs().constFirst() + QLatin1Char('/') +
                             schematicSlug(group, name) + QStringLiteral(".jpg");
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(writeManyScanJpeg(path, 2048, 2048));
        QCOMPARE(QImageReader(path).size(), QSize(2048, 2048));
    }

    void windowAnswersWhileTheImageDecodes()
    {
        QWidget window;
        auto* field = new QLineEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ModalSeam seam; // the viewer is a window beside the bench, no dialog
        showPresetSchematic(&window, group, name);
        // Back at once: the image arrives through the event loop, so nothing has been shown yet.
        QCOMPARE(seam.answered, 0);
        QProgressDialog* progress = progressOf(window);
        QVERIFY2(progress && progress->isVisible(), "a progress indicator must show while the image decodes");
        QVERIFY(!progress->isModal());
        // The window takes keys meanwhile.
        field->setFocus();
        QTest::keyClicks(field, "6V6");
        QCOMPARE(field->text(), QStringLiteral("6V6"));
        // A second click while decoding starts nothing more.
        showPresetSchematic(&window, group, name);
        QCOMPARE(window.findChildren<QProgressDialog*>().size(), 1);

        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<SchematicViewer*>(), 60000);
        auto* viewer = window.findChild<SchematicViewer*>();
        QVERIFY(viewer->isVisible());
        QVERIFY(!viewer->isModal());
        QCOMPARE(viewer->view()->scene()->itemsBoundingRect().size().toSize(), QSize(2048, 2048));
        QCOMPARE(seam.answered, 0);
        QTRY_VERIFY(!progressOf(window));
        viewer->close();
    }

    void decodePastTheLimitIsRefused()
    {
        QWidget window;
        window.show();
        BoxSeen box;
        ModalSeam seam({answerBox(QMessageBox::Ok, &box)});
        MockClock clock;

        showPresetSchematic(&window, group, name);
        QVERIFY(progressOf(window));
        // The limit passes before the decoder can have delivered anything.
        clock.advance(maxSchematicDecodeMs);
        QVERIFY(box.seen);
        QCOMPARE(box.title, QStringLiteral("Schematic not shown"));
        QCOMPARE(box.text,
                 QStringLiteral("The schematic image for \"Deluxe Reverb\" took too long to open and was "
                                "not shown."));
        // The decoder's late result opens no viewer: the seam would fail on it.
        QTRY_VERIFY_WITH_TIMEOUT(QThreadPool::globalInstance()->activeThreadCount() == 0, 60000);
        QCoreApplication::processEvents();
        QTRY_VERIFY(!progressOf(window));
        QCOMPARE(seam.answered, 1);

        // And the next click decodes again.
        showPresetSchematic(&window, group, name);
        QVERIFY(progressOf(window));
    }
};

QTEST_MAIN(TestSchematicDecode)
#include "tst_schematicdecode.moc"
