// Hostile files, timed: what the hostile-input tests check for correctness, measured here for speed.
// Start-up and a refresh of "MY AMPS" with files that are huge, deeply nested, or no files at all in
// the profiles directory, and opening the schematic viewer on an image past the pixel limit.
#include "benchmain.h"

#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "schematic/schematicviewer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>
#include <sys/stat.h>

namespace {

QString profilesPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/profiles");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// A profiles directory a hostile or broken disk could leave behind, next to one ordinary profile.
void fillHostileProfiles()
{
    QDir().mkpath(profilesPath());
    AmpProfile ordinary;
    ordinary.name = QStringLiteral("Bystander");
    saveProfile(ordinary);
    // Just past the size the program reads, and one just below it made of nesting.
    writeBytes(profilesPath() + QStringLiteral("/Huge.json"), QByteArray(maxProfileFileBytes + 1, ' '));
    writeBytes(profilesPath() + QStringLiteral("/Deep.json"),
               QByteArray(maxProfileFileBytes / 2 - 1, '[') + QByteArray(maxProfileFileBytes / 2 - 1, ']'));
    ::mkfifo(QFile::encodeName(profilesPath() + QStringLiteral("/Pipe.json")).constData(), 0600);
    QFile::link(QStringLiteral("/dev/zero"), profilesPath() + QStringLiteral("/Zero.json"));
    QFile::link(profilesPath() + QStringLiteral("/Loop.json"), profilesPath() + QStringLiteral("/Loop.json"));
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

QByteArray chunk(const QByteArray& type, const QByteArray& data)
{
    return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
}

// A PNG that announces width x height pixels and holds none: what a refusal from the header reads,
// without the memory a real image of that size would take in this process.
QByteArray pngHeader(quint32 width, quint32 height)
{
    return QByteArray("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR", bigEndian(width) + bigEndian(height) + QByteArray("\x01\x00\x00\x00\x00", 5)) +
           chunk("IDAT", QByteArray()) + chunk("IEND", QByteArray());
}

} // namespace

BENCHMARK_CASE(hostile_profiles)
{
    QDir(profilesPath()).removeRecursively();
    fillHostileProfiles();
    const QVector<double> startups = timeRuns(5, [] {
        MainWindow window;
        window.show();
        drainEvents();
    });
    MainWindow window;
    const QVector<double> refreshes = timeRuns(5, [&] { window.refreshMyAmps(); });
    report(QStringLiteral("start-up with hostile profiles, median"), median(startups) / 1e6,
           QStringLiteral("ms"));
    report(QStringLiteral("MY AMPS refresh with hostile profiles, median"), median(refreshes) / 1e6,
           QStringLiteral("ms"));
    QDir(profilesPath()).removeRecursively();
}

BENCHMARK_CASE(hostile_schematic)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("oversized.png"));
    writeBytes(path, pngHeader(20000, 20000));
    if (QImageReader(path).size() != QSize(20000, 20000))
        qWarning("the made-up PNG header does not read as 20000 x 20000");
    const QVector<double> opened = timeRuns(5, [&] {
        SchematicViewer viewer(QStringLiteral("Oversized"), path);
        viewer.show();
        drainEvents();
    });
    report(QStringLiteral("schematic viewer on a 20000 x 20000 image, median"), median(opened) / 1e6,
           QStringLiteral("ms"));
}
