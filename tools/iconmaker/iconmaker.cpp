// Draws Ambertrace's application icon (256 x 256 by default, or any size given): a glowing power tube, amber
// and cream on near-black.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [SIZE]\n", argv[0]);
        return 2;
    }

    // The artwork is drawn on a 256-pixel grid and scaled, so every size is drawn, not resampled.
    const int size = argc > 2 ? std::atoi(argv[2]) : 256;
    if (size < 8 || size > 1024) {
        std::fprintf(stderr, "size must be between 8 and 1024\n");
        return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    const QColor nearBlack(0x16, 0x12, 0x0f);
    const QColor amber(0xff, 0xa5, 0x2e);
    const QColor cream(0xf2, 0xe6, 0xc9);

    // Rounded dark plate.
    QPainterPath plate;
    plate.addRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    QLinearGradient plateFill(0, 8, 0, 248);
    plateFill.setColorAt(0, QColor(0x2a, 0x22, 0x1b));
    plateFill.setColorAt(1, nearBlack);
    p.fillPath(plate, plateFill);
    p.setPen(QPen(QColor(0x5a, 0x44, 0x2c), 4));
    p.drawPath(plate);

    // Warm glow behind the tube.
    QRadialGradient glow(QPointF(128, 138), 110);
    glow.setColorAt(0, QColor(0xff, 0x9a, 0x1f, 200));
    glow.setColorAt(0.45, QColor(0xff, 0x7a, 0x00, 70));
    glow.setColorAt(1, QColor(0xff, 0x7a, 0x00, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(128, 138), 110, 110);

    // Glass envelope: a bottle shape with a rounded dome.
    QPainterPath glass;
    glass.moveTo(84, 204);
    glass.lineTo(84, 100);
    glass.cubicTo(84, 70, 100, 60, 104, 46);
    glass.lineTo(104, 36);
    glass.quadTo(128, 22, 152, 36);
    glass.lineTo(152, 46);
    glass.cubicTo(156, 60, 172, 70, 172, 100);
    glass.lineTo(172, 204);
    glass.closeSubpath();
    QLinearGradient glassFill(84, 0, 172, 0);
    glassFill.setColorAt(0, QColor(0xf2, 0xe6, 0xc9, 40));
    glassFill.setColorAt(0.3, QColor(0xf2, 0xe6, 0xc9, 90));
    glassFill.setColorAt(1, QColor(0xf2, 0xe6, 0xc9, 25));
    p.setBrush(glassFill);
    p.setPen(QPen(cream, 5));
    p.drawPath(glass);

    // Plate structure with its amber glow.
    QRectF plateRect(102, 96, 52, 84);
    QLinearGradient anode(plateRect.left(), 0, plateRect.right(), 0);
    anode.setColorAt(0, QColor(0x4a, 0x3a, 0x2c));
    anode.setColorAt(0.5, QColor(0x6e, 0x56, 0x3e));
    anode.setColorAt(1, QColor(0x3a, 0x2d, 0x22));
    p.setPen(Qt::NoPen);
    p.setBrush(anode);
    p.drawRoundedRect(plateRect, 6, 6);
    QRadialGradient heater(QPointF(128, 138), 30);
    heater.setColorAt(0, QColor(0xff, 0xd0, 0x80));
    heater.setColorAt(0.5, amber);
    heater.setColorAt(1, QColor(0xff, 0x70, 0x00, 0));
    p.setBrush(heater);
    p.drawRect(QRectF(118, 100, 20, 76));

    // Base with pins.
    p.setBrush(QColor(0x2c, 0x24, 0x1e));
    p.setPen(QPen(cream, 4));
    p.drawRoundedRect(QRectF(80, 200, 96, 26), 8, 8);
    p.setPen(QPen(amber, 5, Qt::SolidLine, Qt::RoundCap));
    for (int x = 96; x <= 160; x += 16)
        p.drawLine(QPointF(x, 228), QPointF(x, 238));

    p.end();
    return image.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
