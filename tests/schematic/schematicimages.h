#pragma once

// Real image files for the schematic tests. Qt cannot write GIF, so a small GIF (6 x 4 pixels, red
// with one blue pixel at 1,1) is kept as bytes; the other formats are written by QImage.
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>

inline QByteArray smallGif()
{
    static const unsigned char bytes[] = {
        0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x06, 0x00, 0x04, 0x00, 0xf0, 0x00, 0x00, 0xff, 0x00, 0x00,
        0x00, 0x00, 0xff, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00,
        0x06, 0x00, 0x04, 0x00, 0x00, 0x02, 0x05, 0x84, 0x0f, 0x81, 0xcb, 0x50, 0x00, 0x3b,
    };
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Writes a real image of `size` in the format named by `extension` (png, jpg, jpeg, gif, webp).
// Returns false when the file could not be written.
inline bool writeImageFile(const QString& path, const QString& extension, QSize size = QSize(64, 48))
{
    if (extension == QLatin1String("gif")) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(smallGif()) == smallGif().size();
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(240, 232, 208));
    for (int x = 0; x < size.width(); ++x)
        image.setPixelColor(x, size.height() / 2, Qt::black);
    const QByteArray format = extension == QLatin1String("jpg") ? QByteArray("jpeg") : extension.toLatin1();
    return image.save(path, format.constData());
}
