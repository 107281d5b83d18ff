#include "app/legacymigration.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
