#include "app/legacymigration.h"
#include "app/startupguards.h"
#include "bench/profilestore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// The profiles of the former program are copied over once, files only, nothing overwritten.
class TestLegacyMigration : public QObject
{
    Q_OBJECT

private:
    static void writeFile(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
        f.write(content);
    }
    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void legacyPathReplacesEveryOccurrence()
    {
        QCOMPARE(legacyDataDir(QStringLiteral("/home/a/.local/share/Quorlen/Ambertrace")),
                 QStringLiteral("/home/a/.local/share/Quorlen/Tallisk"));
        QCOMPARE(legacyDataDir(QStringLiteral("/Ambertrace/x/Ambertrace")),
                 QStringLiteral("/Tallisk/x/Tallisk"));
        // Case-sensitive: a lower-case name is left alone.
        QCOMPARE(legacyDataDir(QStringLiteral("/data/ambertrace")), QStringLiteral("/data/ambertrace"));
    }

    void cleanMachineCreatesNothing()
    {
        QTemporaryDir root;
        const QString dataDir = root.filePath(QStringLiteral("Quorlen/Ambertrace"));
        migrateLegacyProfiles(dataDir);
        QVERIFY(!QFileInfo::exists(dataDir + QStringLiteral("/profiles")));
        QVERIFY(!QFileInfo::exists(dataDir));
    }

    void copiesEveryFileIncludingLastSession()
    {
        QTemporaryDir root;
        const QString dataDir = root.filePath(QStringLiteral("Quorlen/Ambertrace"));
        const QString legacy = root.filePath(QStringLiteral("Quorlen/Tallisk/profiles"));
        const QStringList names = {QStringLiteral("Deluxe.json"), QStringLiteral("Bassman.json"),
                                   QStringLiteral("SB-200.json"), QStringLiteral("_last_session.json_")};
        for (const QString& name : names)
            writeFile(legacy + QLatin1Char('/') + name, name.toUtf8());
        writeFile(legacy + QStringLiteral("/.hidden.json"), "hidden");
        writeFile(legacy + QStringLiteral("/subdir/inner.json"), "inner");

        migrateLegacyProfiles(dataDir);

        const QString profiles = dataDir + QStringLiteral("/profiles");
        for (const QString& name : names) {
            QCOMPARE(readFile(profiles + QLatin1Char('/') + name), name.toUtf8());
            QVERIFY2(QFileInfo::exists(legacy + QLatin1Char('/') + name), "legacy file must stay in place");
        }
        QVERIFY(!QFileInfo::exists(profiles + QStringLiteral("/.hidden.json")));
        QVERIFY(!QFileInfo::exists(profiles + QStringLiteral("/subdir")));
        QCOMPARE(QDir(profiles).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                 names.size());
    }

    // Only profile-sized regular files are copied; nothing in the way can block or flood the start.
    void onlyProfileSizedRegularFilesAreCopied()
    {
        QTemporaryDir root;
        const QString dataDir = root.filePath(QStringLiteral("Quorlen/Ambertrace"));
        const QString legacy = root.filePath(QStringLiteral("Quorlen/Tallisk/profiles"));
        writeFile(legacy + QStringLiteral("/Good.json"), "good");
        writeFile(root.filePath(QStringLiteral("elsewhere.json")), "linked");
        QVERIFY(QFile::link(root.filePath(QStringLiteral("elsewhere.json")),
                            legacy + QStringLiteral("/Link.json")));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), legacy + QStringLiteral("/Zero.json")));
        QCOMPARE(::mkfifo(QFile::encodeName(legacy + QStringLiteral("/Pipe.json")).constData(), 0600), 0);
        QFile huge(legacy + QStringLiteral("/Huge.json"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(maxProfileFileBytes + 1));
        huge.close();
        writeFile(legacy + QStringLiteral("/Largest.json"), QByteArray(maxProfileFileBytes, ' '));

        migrateLegacyProfiles(dataDir);

        const QString profiles = dataDir + QStringLiteral("/profiles");
        QCOMPARE(
            QDir(profiles).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            (QStringList{QStringLiteral("Good.json"), QStringLiteral("Largest.json"),
                         QStringLiteral("Link.json")}));
        QCOMPARE(readFile(profiles + QStringLiteral("/Link.json")), QByteArray("linked"));
        QVERIFY2(!QFileInfo(profiles + QStringLiteral("/Link.json")).isSymLink(),
                 "a link is copied as a file");
        QVERIFY(!QFileInfo::exists(dataDir + QStringLiteral("/profiles.migrating")));
    }

    void interruptedCopyRunsAgain()
    {
        QTemporaryDir root;
        const QString dataDir = root.filePath(QStringLiteral("Quorlen/Ambertrace"));
        writeFile(root.filePath(QStringLiteral("Quorlen/Tallisk/profiles/Old.json")), "old");
        // What a start that died while copying leaves behind.
        writeFile(dataDir + QStringLiteral("/profiles.migrating/Half.json"), "half");

        migrateLegacyProfiles(dataDir);

        QCOMPARE(QDir(dataDir + QStringLiteral("/profiles")).entryList(QDir::Files),
                 QStringList{QStringLiteral("Old.json")});
        QCOMPARE(readFile(dataDir + QStringLiteral("/profiles/Old.json")), QByteArray("old"));
    }

    void relativeXdgDirectoriesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("kept");
        QTest::addRow("relative") << QByteArray("data") << false;
        QTest::addRow("dot relative") << QByteArray("./x") << false;
        QTest::addRow("absolute") << QByteArray("/tmp/xdg") << true;
    }

    void relativeXdgDirectoriesAreIgnored()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, kept);
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
            const QByteArray saved = qgetenv(name);
            qputenv(name, value);
            ignoreRelativeXdgDirectories();
            QCOMPARE(qEnvironmentVariableIsSet(name), kept);
            if (kept)
                QCOMPARE(qgetenv(name), value);
            qputenv(name, saved);
        }
    }

    void existingProfilesDirectoryStopsMigration()
    {
        QTemporaryDir root;
        const QString dataDir = root.filePath(QStringLiteral("Quorlen/Ambertrace"));
        QVERIFY(QDir().mkpath(dataDir + QStringLiteral("/profiles")));
        writeFile(root.filePath(QStringLiteral("Quorlen/Tallisk/profiles/Old.json")), "old");

        migrateLegacyProfiles(dataDir);

        QVERIFY(QDir(dataDir + QStringLiteral("/profiles")).isEmpty());
    }

    void legacyDirectoryWithoutProfilesCreatesNothing()
    {
        QTemporaryDir root;
        const QString dataDir = root.filePath(QStringLiteral("Quorlen/Ambertrace"));
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("Quorlen/Tallisk"))));
        migrateLegacyProfiles(dataDir);
        QVERIFY(!QFileInfo::exists(dataDir + QStringLiteral("/profiles")));
    }
};

QTEST_GUILESS_MAIN(TestLegacyMigration)
#include "tst_legacymigration.moc"
