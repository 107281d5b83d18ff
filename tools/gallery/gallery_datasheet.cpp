// The tube datasheet panel and the drawn pinouts of a few representative bases.
#include "gallery.h"

#include "catalog/tubes.h"
#include "datasheet/datasheetpanel.h"
#include "datasheet/pinoutwidget.h"

#include <QHBoxLayout>
#include <QMainWindow>
#include <QRegularExpression>
#include <memory>

namespace {

// File-name friendly form of a tube name: "6146 / 6146A" -> "6146_6146a".
QString fileStem(const QString& name)
{
    QString stem = name.toLower();
    stem.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("_"));
    stem.remove(QRegularExpression(QStringLiteral("^_+|_+$")));
    return stem;
}

// A themed window background around `content`, as in the bench page.
std::unique_ptr<QMainWindow> hostFor(QWidget* content, const QSize& size)
{
    auto host = std::make_unique<QMainWindow>();
    auto* page = new QWidget(host.get());
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(14, 14, 14, 14);
    content->setParent(page);
    layout->addWidget(content);
    host->setCentralWidget(page);
    host->resize(size);
    return host;
}

} // namespace

GALLERY_PAGE(datasheet)
{
    for (const char* name : {"6L6GC", "811A", "Custom..."}) {
        const TubeSpec* tube = findTube(QString::fromUtf8(name));
        if (!tube)
            continue;
        auto* panel = new DatasheetPanel;
        panel->setFixedWidth(250);
        panel->setTube(*tube);
        auto host = hostFor(panel, QSize(250 + 28, 640));
        saveWidget(host.get(), out, QStringLiteral("datasheet_%1.png").arg(fileStem(tube->name)));
    }
}

GALLERY_PAGE(pinout)
{
    for (const char* name : {"6L6GC", "EL84 / 6BQ5", "300B", "6146 / 6146A", "807", "Custom..."}) {
        const TubeSpec* tube = findTube(QString::fromUtf8(name));
        if (!tube)
            continue;
        auto* frame = new QFrame;
        frame->setObjectName(QStringLiteral("datasheetPanel"));
        auto* layout = new QHBoxLayout(frame);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* pinout = new PinoutWidget(frame);
        pinout->setFixedSize(pinout->sizeHint());
        pinout->setTube(*tube);
        layout->addWidget(pinout);
        auto host = hostFor(frame, QSize(220 + 28, 230 + 28));
        saveWidget(host.get(), out, QStringLiteral("pinout_%1.png").arg(fileStem(tube->name)));
    }
}
