// The session survives endings that never reach the window's close event: the process killed
// outright (kill -9, a crash) and the display connection lost under it. A child process stands in
// for the program with a reading typed into tube 1 (sessionchild), in a temporary home; the real
// program shows the lost display too.
#include "app/singleinstance.h"

#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestSessionEnds : public QObject
{
    Q_OBJECT

private:
    static QString sessionFile(const QTemporaryDir& home)
    {
        return home.filePath(QStringLiteral("data/Quorlen/Ambertrace/profiles/_last_session.json_"));
    }

    static QProcessEnvironment environment(const QTemporaryDir& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        QDir().mkpath(home.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QStringLiteral("AMBERTRACE_NO_TELEMETRY"), QStringLiteral("1"));
        env.insert(QStringLiteral("http_proxy"), QStringLiteral("http://127.0.0.1:9"));
        env.insert(QStringLiteral("https_proxy"), QStringLiteral("http://127.0.0.1:9"));
        env.remove(QStringLiteral("no_proxy"));
        // No welcome dialog over the window.
        QDir().mkpath(home.filePath(QStringLiteral("config/Quorlen")));
        QFile settings(home.filePath(QStringLiteral("config/Quorlen/Ambertrace.conf")));
        if (settings.open(QIODevice::WriteOnly))
            settings.write("[General]\nfirstRunDonatePromptShown=true\n");
        return env;
    }

    // Waits for a line from the child; false when it ends first or takes longer than 60 s.
    static bool waitForLine(QProcess& process, const QByteArray& line)
    {
        QByteArray seen;
        for (int i = 0; i < 600 && process.state() != QProcess::NotRunning; ++i) {
            process.waitForReadyRead(100);
            seen += process.readAllStandardOutput();
            if (seen.contains(line + '\n'))
                return true;
        }
        return false;
    }

    static double firstReadingIn(const QString& path)
    {
        return readJsonObject(path).value(QStringLiteral("meas1")).toArray().at(0).toDouble();
    }

    static void stop(QProcess& process)
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    static bool answers(const QTemporaryDir& home)
    {
        QLocalSocket socket;
        socket.connectToServer(
            SingleInstance::serverNameFor(home.filePath(QStringLiteral("data/Quorlen/Ambertrace"))));
        if (!socket.waitForConnected(200))
            return false;
        socket.write("show\n");
        return socket.waitForReadyRead(2000) && socket.readAll() == "shown\n";
    }

    // A private X server; its display number (":N") once it is up, empty if it would not start.
    static QString startXServer(QProcess& server)
    {
        server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                      QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                      QStringLiteral("1280x1024x24")});
        if (!server.waitForStarted(10000))
            return QString();
        QByteArray number;
        for (int i = 0; i < 300 && !number.contains('\n') && server.state() == QProcess::Running; ++i) {
            server.waitForReadyRead(100);
            number += server.readAllStandardOutput();
        }
        return number.contains('\n') ? QStringLiteral(":") + QString::fromLatin1(number.trimmed())
                                     : QString();
    }

private slots:
    void killedProcessKeepsTheTypedReading()
    {
        QTemporaryDir home;
        QProcess child;
        QProcessEnvironment env = environment(home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(SESSION_CHILD), {QStringLiteral("27.5")});
        QVERIFY2(waitForLine(child, "typed"),
                 qPrintable(QString::fromLocal8Bit(child.readAllStandardError())));

        // Written on the program's own clock a second or two later, without any closing.
        QTRY_VERIFY_WITH_TIMEOUT(firstReadingIn(sessionFile(home)) == 27.5, 30000);
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(firstReadingIn(sessionFile(home)), 27.5);
        QCOMPARE(readJsonObject(sessionFile(home)).value(QStringLiteral("name")).toString(),
                 QStringLiteral("_last"));
    }

    void lostDisplayWritesTheSession_data()
    {
        QTest::addColumn<bool>("realProgram");
        // The stand-in's clock stands still, so only the lost display can write the typed reading.
        QTest::addRow("typed reading") << false;
        // The program as installed, with nothing edited: only the lost display writes the session.
        QTest::addRow("program") << true;
    }

    void lostDisplayWritesTheSession()
    {
        QFETCH(bool, realProgram);
        QProcess server;
        const QString display = startXServer(server);
        QVERIFY2(!display.isEmpty(), "Xvfb must start (scripts/install-deps.sh installs it)");

        QTemporaryDir home;
        QProcess child;
        QProcessEnvironment env = environment(home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("XAUTHORITY"));
        child.setProcessEnvironment(env);
        if (realProgram) {
            child.start(QStringLiteral(AMBERTRACE_BINARY), QStringList());
            // Up once its event loop answers a second start.
            QTRY_VERIFY_WITH_TIMEOUT(answers(home) || child.state() == QProcess::NotRunning, 30000);
            QCOMPARE(child.state(), QProcess::Running);
        } else {
            child.start(QStringLiteral(SESSION_CHILD),
                        {QStringLiteral("--clock-stands-still"), QStringLiteral("31.5")});
            const bool typed = waitForLine(child, "typed");
            if (!typed)
                stop(child);
            QVERIFY2(typed, qPrintable(QString::fromLocal8Bit(child.readAllStandardError())));
        }
        QVERIFY2(!QFileInfo::exists(sessionFile(home)), "nothing is written before the display goes");

        server.kill();
        QVERIFY(server.waitForFinished(10000));
        const bool ended = child.waitForFinished(30000);
        const QString output = QString::fromLocal8Bit(child.readAllStandardError());
        if (!ended)
            stop(child);
        QVERIFY2(ended, "Qt ends the program when its display is gone");
        QVERIFY2(output.contains(QStringLiteral("The X11 connection broke")), qPrintable(output));
        QVERIFY2(QFileInfo(sessionFile(home)).isFile(), qPrintable(output));
        QCOMPARE(readJsonObject(sessionFile(home)).value(QStringLiteral("name")).toString(),
                 QStringLiteral("_last"));
        if (!realProgram)
            QCOMPARE(firstReadingIn(sessionFile(home)), 31.5);
    }
};

QTEST_GUILESS_MAIN(TestSessionEnds)
#include "tst_sessionends.moc"
