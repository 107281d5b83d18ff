#include "app/buildconfig.h"
#include "app/legacymigration.h"
#include "bench/mainwindow.h"
#include "online/heartbeat.h"
#include "online/updateprompt.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QStandardPaths>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QApplication::setApplicationVersion(QStringLiteral(AMBERTRACE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/appicon.png")));
    // Lets Wayland desktops match the window with its desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorlen.ambertrace"));

    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    migrateLegacyProfiles(dataDir);

    sendUsageHeartbeat();

    QFile styleSheet(QStringLiteral(":/style.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));

    MainWindow window;
    window.show();
    checkForUpdates(&window);

    return app.exec();
}
