#include "app/singleinstance.h"

#include "testfiles.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

// The real program as a child process in a temporary home: signals, a second start, a dead first
// one, and files in the way that would stall the start.
class TestRunning : public QObject
{
    Q_OBJECT

private:
    static QString dataDir(const QTemporaryDir& home)
    {
        return home.filePath(QStringLiteral("data/Quorlen/Ambertrace"));
    }
    static QString sessionFile(const QTemporaryDir& home)
    {
        return dataDir(home) + QStringLiteral("/profiles/_last_session.json_");
    }

    static void start(QProcess& process, const QTemporaryDir& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        QDir().mkpath(home.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("AMBERTRACE_NO_TELEMETRY"), QStringLiteral("1"));
        // Keep the update check on this machine: a proxy on a closed local port refuses it at once.
        env.insert(QStringLiteral("http_proxy"), QStringLiteral("http://127.0.0.1:9"));
        env.insert(QStringLiteral("https_proxy"), QStringLiteral("http://127.0.0.1:9"));
        env.remove(QStringLiteral("no_proxy"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(AMBERTRACE_BINARY), QStringList());
    }

    // True once the program has its window up and answers a later start.
    static bool answers(const QTemporaryDir& home)
    {
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::serverNameFor(dataDir(home)));
        if (!socket.waitForConnected(200))
            return false;
        socket.write("show\n");
        return socket.waitForReadyRead(2000) && socket.readAll() == "shown\n";
    }

    static bool waitUntilUp(QProcess& process, const QTemporaryDir& home)
    {
        if (!process.waitForStarted(30000))
            return false;
        for (int i = 0; i < 300 && process.state() == QProcess::Running; ++i) {
            if (answers(home))
                return true;
            process.waitForFinished(100);
        }
        return false;
    }

    static void stop(QProcess& process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(10000);
    }

    // Every path below the home with its size and modification time.
    static QStringList snapshot(const QTemporaryDir& home)
    {
        QStringList entries;
        QDirIterator it(home.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            entries << info.filePath() + QLatin1Char(' ') + QString::number(info.size()) + QLatin1Char(' ') +
                           QString::number(info.lastModified().toMSecsSinceEpoch());
        }
        entries.sort();
        return entries;
    }

private slots:
    void signalEndsInOrder_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addRow("SIGTERM") << int(SIGTERM);
        QTest::addRow("SIGHUP") << int(SIGHUP);
    }

    void signalEndsInOrder()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir home;
        QProcess program;
        start(program, home);
        QVERIFY2(waitUntilUp(program, home), qPrintable(QString::fromLocal8Bit(program.readAll())));
        QVERIFY(!QFileInfo::exists(sessionFile(home)));

        ::kill(pid_t(program.processId()), signalNumber);
        const bool ended = program.waitForFinished(30000);
        if (!ended)
            stop(program);
        QVERIFY2(ended, "the program must end on the signal");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(QFileInfo(sessionFile(home)).isFile(), "the last session must be written on the way out");
        QCOMPARE(readJsonObject(sessionFile(home)).value(QStringLiteral("name")).toString(),
                 QStringLiteral("_last"));
    }

    void secondStartWritesNothing()
    {
        QTemporaryDir home;
        QProcess first;
        start(first, home);
        QVERIFY2(waitUntilUp(first, home), qPrintable(QString::fromLocal8Bit(first.readAll())));
        const QStringList before = snapshot(home);

        QProcess second;
        start(second, home);
        const bool ended = second.waitForFinished(30000);
        if (!ended)
            stop(second);
        QVERIFY2(ended, "a second start must end by itself");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(snapshot(home), before);
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        QVERIFY(first.waitForFinished(30000));
        QVERIFY(QFileInfo(sessionFile(home)).isFile());
    }

    void lockOfADeadStartIsTakenOver()
    {
        QTemporaryDir home;
        QProcess killed;
        start(killed, home);
        QVERIFY(waitUntilUp(killed, home));
        killed.kill();
        QVERIFY(killed.waitForFinished(10000));
        QVERIFY(QFileInfo::exists(dataDir(home) + QStringLiteral("/instance.lock")));

        QProcess next;
        start(next, home);
        QVERIFY2(waitUntilUp(next, home), qPrintable(QString::fromLocal8Bit(next.readAll())));
        next.terminate();
        QVERIFY(next.waitForFinished(30000));
        QVERIFY(QFileInfo(sessionFile(home)).isFile());
    }

    void filesInTheWayDoNotStallTheStart()
    {
        QTemporaryDir home;
        const QString config = home.filePath(QStringLiteral("config/Quorlen"));
        QVERIFY(QDir().mkpath(config));
        const QString settings = config + QStringLiteral("/Ambertrace.conf");
        QCOMPARE(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(settings + QStringLiteral(".lock")));
        // The former name's profiles: a good one, a link to a named pipe, and a pipe.
        const QString legacy = home.filePath(QStringLiteral("data/Quorlen/Tallisk/profiles"));
        QVERIFY(writeFile(legacy + QStringLiteral("/Good.json"), R"({"name": "Good", "tubeCount": 4})"));
        const QString pipe = home.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QFile::link(pipe, legacy + QStringLiteral("/Linked.json")));
        QCOMPARE(::mkfifo(QFile::encodeName(legacy + QStringLiteral("/Pipe.json")).constData(), 0600), 0);

        QProcess program;
        start(program, home);
        QVERIFY2(waitUntilUp(program, home), qPrintable(QString::fromLocal8Bit(program.readAll())));
        const QString profiles = dataDir(home) + QStringLiteral("/profiles");
        QCOMPARE(readJsonObject(profiles + QStringLiteral("/Good.json"))
                     .value(QStringLiteral("tubeCount"))
                     .toInt(),
                 4);
        QVERIFY(!QFileInfo::exists(profiles + QStringLiteral("/Linked.json")));
        QVERIFY(!QFileInfo::exists(profiles + QStringLiteral("/Pipe.json")));

        program.terminate();
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 0);
        struct stat info;
        QCOMPARE(::lstat(QFile::encodeName(settings).constData(), &info), 0);
        QVERIFY2(S_ISFIFO(info.st_mode), "the settings pipe must be left alone");
        QVERIFY(QFileInfo(settings + QStringLiteral(".lock")).isDir());
    }
};

QTEST_GUILESS_MAIN(TestRunning)
#include "tst_running.moc"
