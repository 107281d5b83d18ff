#include "app/buildconfig.h"
#include "app/legacymigration.h"
#include "app/lostdisplay.h"
#include "app/quitsignals.h"
#include "app/singleinstance.h"
#include "app/startupguards.h"
#include "bench/mainwindow.h"
#include "online/heartbeat.h"
#include "online/updateprompt.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    // Before Qt reads any of them.
    ignoreRelativeXdgDirectories();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QApplication::setApplicationVersion(QStringLiteral(AMBERTRACE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/appicon.png")));
    // Lets Wayland desktops match the window with its desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorlen.ambertrace"));

    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    // A second start restores and writes nothing: the running window comes forward instead.
    SingleInstance instance(dataDir);
    if (!instance.acquire()) {
        if (!instance.askRunningInstanceToShow())
            QMessageBox::information(nullptr, QStringLiteral("Ambertrace"),
                                     QStringLiteral("Ambertrace is already running."));
        return 0;
    }

    migrateLegacyProfiles(dataDir);
    const std::unique_ptr<QTemporaryDir> settingsStandIn = guardSettingsFile();

    sendUsageHeartbeat();

    QFile styleSheet(QStringLiteral(":/style.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));

    MainWindow window;
    // A lost display ends the process from inside Qt without a close event: the session is written
    // first.
    LostDisplayGuard lostDisplay([&window] { window.saveSessionNow(); });
    window.show();
    checkForUpdates(&window);

    // Closing every window lets the bench window write the last session, as when the user closes it.
    QuitOnSignals quitOnSignals([] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    instance.listen([&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        window.activateWindow();
    });

    return app.exec();
}
