// Renders every registered gallery page into the directory given on the command line.
//   ambertrace_gallery OUTDIR [PAGE...]
#include "gallery.h"

#include "app/buildconfig.h"
#include "bench/mainwindow.h"
#include "bias/tubecardwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace {

std::map<std::string, GalleryPageFn>& pages()
{
    static std::map<std::string, GalleryPageFn> registry;
    return registry;
}

} // namespace

GalleryPageRegistrar::GalleryPageRegistrar(const char* name, GalleryPageFn fn)
{
    pages()[name] = std::move(fn);
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool saveWidget(QWidget* widget, const QDir& out, const QString& fileName, int settleMs)
{
    widget->show();
    settle(settleMs);
    const QPixmap pixmap = widget->grab();
    const QString path = out.filePath(fileName);
    if (!pixmap.save(path, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("  %s\n", qPrintable(path));
    return true;
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [PAGE...]\n", argv[0]);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QApplication::setApplicationVersion(QStringLiteral(AMBERTRACE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/appicon.png")));

    // Never touch the user's real profiles or settings while rendering.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    // Test mode puts data and settings under $HOME/.qttest whatever the XDG variables say.
    qputenv("HOME", home.path().toLocal8Bit());
    // The welcome dialog of a first start has a page of its own; over the other pages its modal loop
    // would stop the rendering.
    QSettings().setValue(QStringLiteral("firstRunDonatePromptShown"), true);

    QFile styleSheet(QStringLiteral(":/style.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));

    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    QStringList wanted;
    for (int i = 2; i < argc; ++i)
        wanted << QString::fromLocal8Bit(argv[i]);

    for (const auto& [name, fn] : pages()) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(name)))
            continue;
        std::printf("%s\n", name.c_str());
        fn(out);
    }
    return 0;
}

QComboBox* presetCombo(const MainWindow& window)
{
    return window.findChild<QComboBox*>(QStringLiteral("presetCombo"));
}

QComboBox* myAmpsCombo(const MainWindow& window)
{
    return window.findChild<QComboBox*>(QStringLiteral("myAmpsCombo"));
}

QComboBox* tubeCombo(const MainWindow& window)
{
    return window.findChild<QComboBox*>(QStringLiteral("tubeCombo"));
}

QDoubleSpinBox* plateVSpin(const MainWindow& window)
{
    return window.findChild<QDoubleSpinBox*>(QStringLiteral("plateVSpin"));
}

QSpinBox* tubeCountSpin(const MainWindow& window)
{
    return window.findChild<QSpinBox*>(QStringLiteral("tubeCountSpin"));
}

QList<TubeCardWidget*> cards(const MainWindow& window)
{
    return window.tubeCards();
}
