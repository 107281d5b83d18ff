// The profile index and the search of "MY AMPS" on real files in a throw-away home: the folder
// changed behind the program's back, the index file broken or hostile, the amps' records searched,
// and the recently used amps first.
#include "bench/myampsmodels.h"
#include "bench/profileindex.h"
#include "bench/profilestore.h"

#include "testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

QByteArray profileBytes(const QString& name, const QString& customer = QString(),
                        const QString& make = QString(), const QString& model = QString(),
                        const QString& serial = QString())
{
    QJsonObject object{{QStringLiteral("name"), name}, {QStringLiteral("tube"), QStringLiteral("6V6GT")}};
    if (!customer.isEmpty() || !make.isEmpty() || !model.isEmpty() || !serial.isEmpty())
        object.insert(QStringLiteral("amp"),
                      QJsonObject{{QStringLiteral("customer"), customer},
                                  {QStringLiteral("contact"), QStringLiteral("555-0100")},
                                  {QStringLiteral("make"), make},
                                  {QStringLiteral("model"), model},
                                  {QStringLiteral("serial"), serial},
                                  {QStringLiteral("notes"), QStringLiteral("")}});
    return jsonBytes(object);
}

// Files of earlier days: their times lie well before the moment they are indexed.
bool age(const QString& fileName, int daysAgo = 1)
{
    QFile file(profilePath(fileName));
    return file.open(QIODevice::ReadWrite) && file.setFileTime(QDateTime::currentDateTime().addDays(-daysAgo),
                                                               QFileDevice::FileModificationTime);
}

bool writeOld(const QString& fileName, const QByteArray& bytes)
{
    return writeFile(profilePath(fileName), bytes) && age(fileName);
}

QStringList labels(const QList<ProfileEntry>& entries)
{
    QStringList out;
    for (const ProfileEntry& entry : entries)
        out << entry.label;
    return out;
}

QStringList column(const QAbstractItemModel& model, int role)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.index(row, 0).data(role).toString();
    return out;
}

} // namespace

class TestProfileIndex : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        useTemporaryProgramHome(home);
        QVERIFY2(profileIndexPath().startsWith(home.path()), qPrintable(profileIndexPath()));
    }

    void init()
    {
        QVERIFY(QDir(appDataPath()).removeRecursively());
        QDir(profileIndexPath()).removeRecursively(); // what a test left in the index's place
        QFile::remove(profileIndexPath());
    }

    // Added, changed (also to the same size with the old time put back, as a copy keeping times
    // does) and removed files are seen; unchanged ones are not read again.
    void followsTheFolderBehindTheProgramsBack()
    {
        QVERIFY(writeOld(QStringLiteral("Bassman.json"), profileBytes(QStringLiteral("Bassman"))));
        QVERIFY(writeOld(QStringLiteral("Deluxe.json"), profileBytes(QStringLiteral("Deluxe"))));
        QVERIFY(writeOld(QStringLiteral("notes.json"), "not a profile"));
        QCOMPARE(listProfiles(), (QStringList{QStringLiteral("Bassman"), QStringLiteral("Deluxe")}));
        QCOMPARE(profileIndex().filesRead(), 3);
        QCOMPARE(listProfiles(), (QStringList{QStringLiteral("Bassman"), QStringLiteral("Deluxe")}));
        QCOMPARE(profileIndex().filesRead(), 0);

        // Same size, new name, and the modification time of before put back.
        const QDateTime before = QFileInfo(profilePath(QStringLiteral("Deluxe.json"))).lastModified();
        QVERIFY(
            writeFile(profilePath(QStringLiteral("Deluxe.json")), profileBytes(QStringLiteral("Deluxf"))));
        {
            QFile file(profilePath(QStringLiteral("Deluxe.json")));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(before, QFileDevice::FileModificationTime));
        }
        QVERIFY(writeOld(QStringLiteral("Champ.json"), profileBytes(QStringLiteral("Champ"))));
        QVERIFY(QFile::remove(profilePath(QStringLiteral("Bassman.json"))));
        QVERIFY(writeOld(QStringLiteral("notes.json"), profileBytes(QStringLiteral("Notes now"))));
        QCOMPARE(listProfiles(), (QStringList{QStringLiteral("Champ"), QStringLiteral("Deluxf"),
                                              QStringLiteral("Notes now")}));
        QCOMPARE(profileIndex().filesRead(), 3);

        // A file written just now is read again at the next look: its time may not move with a
        // change made within the file system's time step.
        QVERIFY(writeFile(profilePath(QStringLiteral("Fresh.json")), profileBytes(QStringLiteral("Fresh"))));
        QVERIFY(listProfiles().contains(QStringLiteral("Fresh")));
        QVERIFY(writeFile(profilePath(QStringLiteral("Fresh.json")), profileBytes(QStringLiteral("Frash"))));
        QVERIFY(listProfiles().contains(QStringLiteral("Frash")));
        QCOMPARE(profileIndex().filesRead(), 1);
    }

    // What the next start finds: the index file is used, and whatever is wrong with it means the
    // files are read again, never a profile missing or a name from the index shown for a file that
    // changed.
    void brokenIndexFileCostsOnlyAReading_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("filesRead");
        QTest::addRow("intact") << QString() << 0;
        QTest::addRow("truncated") << QStringLiteral("truncate") << 3;
        QTest::addRow("one byte changed") << QStringLiteral("flip") << 3;
        QTest::addRow("empty") << QStringLiteral("empty") << 3;
        QTest::addRow("garbage") << QStringLiteral("garbage") << 3;
        QTest::addRow("of another folder") << QStringLiteral("other folder") << 3;
        QTest::addRow("a directory") << QStringLiteral("directory") << 3;
        QTest::addRow("a named pipe") << QStringLiteral("pipe") << 3;
        QTest::addRow("hostile, sealed, naming a missing file") << QStringLiteral("hostile") << 0;
    }

    void brokenIndexFileCostsOnlyAReading()
    {
        QFETCH(QString, damage);
        QFETCH(int, filesRead);
        for (const QString& name :
             {QStringLiteral("Bassman"), QStringLiteral("Champ"), QStringLiteral("Deluxe")})
            QVERIFY(writeOld(name + QStringLiteral(".json"), profileBytes(name, QStringLiteral("Ann"))));
        ProfileIndex first(profilesPath(), profileIndexPath());
        QVERIFY(first.refresh());
        first.save();
        QByteArray bytes = readFile(profileIndexPath());
        QVERIFY(!bytes.isEmpty());

        QVERIFY(QFile::remove(profileIndexPath()));
        if (damage == QStringLiteral("truncate")) {
            QVERIFY(writeFile(profileIndexPath(), bytes.left(bytes.size() / 2)));
        } else if (damage == QStringLiteral("flip")) {
            bytes[bytes.indexOf("Champ")] = 'X';
            QVERIFY(writeFile(profileIndexPath(), bytes));
        } else if (damage == QStringLiteral("empty")) {
            QVERIFY(writeFile(profileIndexPath(), QByteArray()));
        } else if (damage == QStringLiteral("garbage")) {
            QVERIFY(writeFile(profileIndexPath(), QByteArray(5000, '\t') + "\nend\t1\t0\n"));
        } else if (damage == QStringLiteral("other folder")) {
            QList<ProfileIndexEntry> entries;
            QVERIFY(profileIndexFromBytes(bytes, profilesPath(), entries));
            QVERIFY(writeFile(profileIndexPath(),
                              profileIndexToBytes(profilesPath() + QStringLiteral("2"), entries)));
        } else if (damage == QStringLiteral("directory")) {
            QVERIFY(QDir().mkpath(profileIndexPath()));
        } else if (damage == QStringLiteral("pipe")) {
            QCOMPARE(::mkfifo(QFile::encodeName(profileIndexPath()).constData(), 0600), 0);
        } else if (damage == QStringLiteral("hostile")) {
            // A well-formed index that names files the folder does not hold: they are not listed.
            QList<ProfileIndexEntry> entries;
            QVERIFY(profileIndexFromBytes(bytes, profilesPath(), entries));
            ProfileIndexEntry ghost = entries.first();
            ghost.fileName = QStringLiteral("Ghost.json");
            ghost.name = QStringLiteral("Ghost");
            entries.append(ghost);
            QVERIFY(writeFile(profileIndexPath(), profileIndexToBytes(profilesPath(), entries)));
        } else {
            QVERIFY(writeFile(profileIndexPath(), bytes));
        }

        ProfileIndex next(profilesPath(), profileIndexPath());
        next.refresh();
        next.save();
        QCOMPARE(next.filesRead(), filesRead);
        QStringList names;
        for (const ProfileIndexEntry& entry : next.entries())
            names << entry.name + QLatin1Char('/') + entry.customer;
        QCOMPARE(names, (QStringList{QStringLiteral("Bassman/Ann"), QStringLiteral("Champ/Ann"),
                                     QStringLiteral("Deluxe/Ann")}));
        if (damage != QStringLiteral("directory") && damage != QStringLiteral("pipe")) {
            // Mended: the start after reads nothing.
            ProfileIndex third(profilesPath(), profileIndexPath());
            third.refresh();
            QCOMPARE(third.filesRead(), 0);
        } else {
            QVERIFY2(!QFileInfo(profileIndexPath()).isFile(), "what was in the index's place is left alone");
        }
    }

    // A copy made by hand and a file renamed by hand are entries of their own in the index too.
    void copiesAndRenamedFilesKeepTheirFiles()
    {
        QVERIFY(writeOld(QStringLiteral("Deluxe.json"), profileBytes(QStringLiteral("Deluxe"))));
        QVERIFY(writeOld(QStringLiteral("Deluxe (copy).json"), profileBytes(QStringLiteral("Deluxe"))));
        QVERIFY(writeOld(QStringLiteral("old amp.json"), profileBytes(QStringLiteral("Bassman"))));
        QCOMPARE(labels(listProfileEntries()),
                 (QStringList{QStringLiteral("Deluxe (Deluxe (copy).json)"), QStringLiteral("Deluxe"),
                              QStringLiteral("Bassman")}));
        // The same from the index alone.
        QCOMPARE(labels(listProfileEntries()),
                 (QStringList{QStringLiteral("Deluxe (Deluxe (copy).json)"), QStringLiteral("Deluxe"),
                              QStringLiteral("Bassman")}));
        QCOMPARE(profileIndex().filesRead(), 0);
    }

    void searchLooksAtNameAndRecord_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("found"); // names, in order
        QTest::addRow("name, other case")
            << QStringLiteral("deluxe") << QStringList{QStringLiteral("Deluxe Reverb")};
        QTest::addRow("customer") << QStringLiteral("müller")
                                  << QStringList{QStringLiteral("Bassman 1961"),
                                                 QStringLiteral("Deluxe Reverb")};
        QTest::addRow("serial, part of it")
            << QStringLiteral("a12") << QStringList{QStringLiteral("Bench 3")};
        QTest::addRow("make and model, two words")
            << QStringLiteral("VOX  ac30") << QStringList{QStringLiteral("Bench 3")};
        QTest::addRow("every word must match") << QStringLiteral("vox müller") << QStringList();
        QTest::addRow("contact and notes are not searched") << QStringLiteral("555") << QStringList();
    }

    void searchLooksAtNameAndRecord()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, found);
        QVERIFY(writeOld(QStringLiteral("Bassman 1961.json"),
                         profileBytes(QStringLiteral("Bassman 1961"), QStringLiteral("Jürgen Müller"),
                                      QStringLiteral("Fender"), QStringLiteral("Bassman"),
                                      QStringLiteral("5F6A-0042"))));
        QVERIFY(
            writeOld(QStringLiteral("Bench 3.json"),
                     profileBytes(QStringLiteral("Bench 3"), QStringLiteral("Ann Lee"), QStringLiteral("Vox"),
                                  QStringLiteral("AC30"), QStringLiteral("A123"))));
        QVERIFY(writeOld(QStringLiteral("Deluxe Reverb.json"),
                         profileBytes(QStringLiteral("Deluxe Reverb"), QStringLiteral("K. MÜLLER"))));
        AmpSearchModel model;
        model.setListings(listProfileListings());
        model.setQuery(query);
        QCOMPARE(column(model, Qt::UserRole), found);
    }

    // The amps used last come first among the results, newest first; an empty query lists them alone.
    void recentlyUsedComeFirst()
    {
        for (const QString& name : {QStringLiteral("Amp A"), QStringLiteral("Amp B"), QStringLiteral("Amp C"),
                                    QStringLiteral("Amp D")})
            QVERIFY(writeOld(name + QStringLiteral(".json"), profileBytes(name)));
        noteProfileUsed(QStringLiteral("Amp C.json"));
        noteProfileUsed(QStringLiteral("Amp B.json"));
        noteProfileUsed(QStringLiteral("Gone.json")); // removed since: not listed
        noteProfileUsed(QStringLiteral("Amp C.json"));
        QCOMPARE(recentProfileFiles(), (QStringList{QStringLiteral("Amp C.json"), QStringLiteral("Gone.json"),
                                                    QStringLiteral("Amp B.json")}));

        AmpSearchModel model;
        model.setListings(listProfileListings());
        model.setRecent(recentProfileFiles());
        QCOMPARE(column(model, Qt::UserRole),
                 (QStringList{QStringLiteral("Amp C"), QStringLiteral("Amp B")}));
        model.setQuery(QStringLiteral("amp"));
        QCOMPARE(column(model, Qt::UserRole),
                 (QStringList{QStringLiteral("Amp C"), QStringLiteral("Amp B"), QStringLiteral("Amp A"),
                              QStringLiteral("Amp D")}));
        model.setQuery(QStringLiteral("amp d"));
        QCOMPARE(column(model, Qt::UserRole), QStringList{QStringLiteral("Amp D")});

        // The list keeps its length, and a broken file of recent amps is no list at all.
        for (int i = 0; i < maxRecentProfiles + 5; ++i)
            noteProfileUsed(QStringLiteral("n%1.json").arg(i));
        QCOMPARE(recentProfileFiles().size(), maxRecentProfiles);
        QCOMPARE(recentProfileFiles().first(), QStringLiteral("n%1.json").arg(maxRecentProfiles + 4));
        const QString recentPath = appDataPath() + QStringLiteral("/recent-amps.json");
        QVERIFY(writeFile(recentPath, "{\"files\": [\"../../etc/passwd\", 7, \"A.json\", \"A.json\"]"));
        QCOMPARE(recentProfileFiles(), QStringList());
        QVERIFY(writeFile(recentPath, "{\"files\": [\"../x.json\", 7, \"A.json\", \"A.json\"]}"));
        QCOMPARE(recentProfileFiles(), QStringList{QStringLiteral("A.json")});
    }
};

QTEST_GUILESS_MAIN(TestProfileIndex)
#include "tst_profileindex.moc"
