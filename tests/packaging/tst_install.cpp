#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Installs the build into a temporary prefix, checks the installed tree, validates the desktop
// entry and the AppStream metainfo, and starts the installed program offscreen.
class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir prefix;
    const QString appId = QStringLiteral("com.quorlen.ambertrace");

    static QString run(const QString& program, const QStringList& args, int* exitCode,
                       const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, args);
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
        }
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::fromLocal8Bit(process.readAll());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(prefix.isValid());
        int code = 0;
        const QString output = run(QStringLiteral(AMBERTRACE_CMAKE_COMMAND),
                                   {QStringLiteral("--install"), QStringLiteral(AMBERTRACE_BUILD_DIR),
                                    QStringLiteral("--prefix"), prefix.path()},
                                   &code);
        QVERIFY2(code == 0, qPrintable(QStringLiteral("cmake --install failed:\n") + output));
    }

    void installedTree()
    {
        const QFileInfo binary(prefix.filePath(QStringLiteral("bin/ambertrace")));
        QVERIFY2(binary.isFile() && binary.isExecutable(), "bin/ambertrace must be an executable");
        QVERIFY(
            QFileInfo(prefix.filePath(QStringLiteral("share/applications/%1.desktop").arg(appId))).isFile());
        QVERIFY(
            QFileInfo(prefix.filePath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId))).isFile());
        // The licence is stated where desktops and package tools look for it.
        QVERIFY(readFile(prefix.filePath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId)))
                    .contains("<project_license>GPL-3.0-or-later</project_license>"));
        QVERIFY(readFile(prefix.filePath(QStringLiteral("share/doc/ambertrace/copyright")))
                    .contains("License: GPL-3.0-or-later"));

        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            const QString path =
                prefix.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(appId));
            const QImage icon(path);
            QVERIFY2(!icon.isNull(), qPrintable(path + QStringLiteral(" must be a readable PNG")));
            QCOMPARE(icon.size(), QSize(size, size));
        }

        // The schematic lookup finds this folder from the binary as bin/../share/ambertrace/schematics.
        const QDir schematics(binary.absolutePath() + QStringLiteral("/../share/ambertrace/schematics"));
        QVERIFY2(schematics.exists(), "the schematics folder must be installed");
        QVERIFY(schematics.isEmpty());
    }

    void validators_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addRow("desktop entry")
            << QStringLiteral("desktop-file-validate")
            << QStringList{prefix.filePath(QStringLiteral("share/applications/%1.desktop").arg(appId))};
        QTest::addRow("metainfo")
            << QStringLiteral("appstreamcli")
            << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                           prefix.filePath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(appId))};
    }

    void validators()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QVERIFY2(
            !QStandardPaths::findExecutable(program).isEmpty(),
            qPrintable(program + QStringLiteral(" is not installed (scripts/install-deps.sh installs it)")));
        int code = 0;
        const QString output = run(program, args, &code);
        QVERIFY2(code == 0, qPrintable(program + QStringLiteral(" rejected the file:\n") + output));
    }

    void installedProgramStarts()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("AMBERTRACE_NO_TELEMETRY"), QStringLiteral("1"));
        // Keep the update check on this machine: a proxy on a closed local port refuses it at once.
        env.insert(QStringLiteral("http_proxy"), QStringLiteral("http://127.0.0.1:9"));
        env.insert(QStringLiteral("https_proxy"), QStringLiteral("http://127.0.0.1:9"));

        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(prefix.filePath(QStringLiteral("bin/ambertrace")),
                      {QStringLiteral("-platform"), QStringLiteral("offscreen")});
        QVERIFY2(process.waitForStarted(10000), "the installed program did not start");
        // A program that failed to load a library or crashed at start-up is gone within this time.
        const bool finishedEarly = process.waitForFinished(3000);
        const QString output = QString::fromLocal8Bit(process.readAll());
        QVERIFY2(!finishedEarly, qPrintable(QStringLiteral("the program exited at start (code %1):\n%2")
                                                .arg(process.exitCode())
                                                .arg(output)));
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
