#include "bench/profilestore.h"

#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// Saved profiles and the last session on real files in a throw-away home directory.
class TestProfileStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

    static void writeRaw(const QString& fileName, const QByteArray& content)
    {
        QVERIFY2(writeFile(profilePath(fileName), content), qPrintable(profilePath(fileName)));
    }
    // Everything in the profiles directory, dot files included, so stray temporary files show up.
    static QStringList directoryEntries()
    {
        return QDir(profilesPath())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // A record with every field away from its default.
    static AmpProfile fullProfile(const QString& name)
    {
        AmpProfile p;
        p.name = name;
        p.tube = QStringLiteral("EL34 / 6CA7");
        p.customMaxW = 31.25;
        p.tubeCount = 4;
        p.topology = QStringLiteral("Push-Pull Class AB (cathode bias)");
        p.biasMethod = 3;
        p.plateV = 432;
        p.bPlusV = 455.5;
        p.senseResistorOhms = 10.1;
        p.cathodeResistorOhms = 470;
        p.sharedCathodeR = true;
        p.sharedSenseR = true;
        p.sharedTubes = 4;
        p.subtractScreen = true;
        p.screenPct = 13;
        p.meterReadsTotal = false;
        p.targetPct = 72;
        p.meas1 = {41.2, 0.1, 0, 39.95};
        p.meas2 = {101.5, 99, 1e-9, 98.25};
        QJsonObject stage1;
        stage1.insert(QStringLiteral("tube"), QStringLiteral("12AX7 / ECC83 / 7025"));
        stage1.insert(QStringLiteral("bPlus"), 285);
        stage1.insert(QStringLiteral("plateRK"), 100);
        stage1.insert(QStringLiteral("cathodeR"), 1500);
        stage1.insert(QStringLiteral("bypassUF"), 22);
        stage1.insert(QStringLiteral("nextGridRK"), 1000);
        QJsonObject stage2 = stage1;
        stage2.insert(QStringLiteral("bPlus"), 260);
        stage2.insert(QStringLiteral("bypassUF"), 0);
        stage2.insert(QStringLiteral("nextGridRK"), 0);
        p.preampStages = {stage1, stage2};
        return p;
    }

    static void compareProfiles(const AmpProfile& actual, const AmpProfile& expected)
    {
        QCOMPARE(actual.name, expected.name);
        QCOMPARE(actual.tube, expected.tube);
        QCOMPARE(actual.customMaxW, expected.customMaxW);
        QCOMPARE(actual.tubeCount, expected.tubeCount);
        QCOMPARE(actual.topology, expected.topology);
        QCOMPARE(actual.biasMethod, expected.biasMethod);
        QCOMPARE(actual.plateV, expected.plateV);
        QCOMPARE(actual.bPlusV, expected.bPlusV);
        QCOMPARE(actual.senseResistorOhms, expected.senseResistorOhms);
        QCOMPARE(actual.cathodeResistorOhms, expected.cathodeResistorOhms);
        QCOMPARE(actual.sharedCathodeR, expected.sharedCathodeR);
        QCOMPARE(actual.sharedSenseR, expected.sharedSenseR);
        QCOMPARE(actual.sharedTubes, expected.sharedTubes);
        QCOMPARE(actual.subtractScreen, expected.subtractScreen);
        QCOMPARE(actual.screenPct, expected.screenPct);
        QCOMPARE(actual.meterReadsTotal, expected.meterReadsTotal);
        QCOMPARE(actual.targetPct, expected.targetPct);
        QCOMPARE(actual.meas1, expected.meas1);
        QCOMPARE(actual.meas2, expected.meas2);
        QCOMPARE(actual.preampStages, expected.preampStages);
    }

    // The field a file key is read into, for the table-driven coercion test.
    static QVariant fieldOf(const AmpProfile& p, const QString& key)
    {
        if (key == QLatin1String("name"))
            return p.name;
        if (key == QLatin1String("tube"))
            return p.tube;
        if (key == QLatin1String("customMaxW"))
            return p.customMaxW;
        if (key == QLatin1String("tubeCount"))
            return p.tubeCount;
        if (key == QLatin1String("topology"))
            return p.topology;
        if (key == QLatin1String("biasMethod"))
            return p.biasMethod;
        if (key == QLatin1String("senseResistorOhms"))
            return p.senseResistorOhms;
        if (key == QLatin1String("cathodeResistorOhms"))
            return p.cathodeResistorOhms;
        if (key == QLatin1String("sharedCathodeR"))
            return p.sharedCathodeR;
        if (key == QLatin1String("subtractScreen"))
            return p.subtractScreen;
        if (key == QLatin1String("meterReadsTotal"))
            return p.meterReadsTotal;
        if (key == QLatin1String("targetPct"))
            return p.targetPct;
        if (key == QLatin1String("meas1"))
            return QVariant::fromValue(p.meas1);
        if (key == QLatin1String("meas2"))
            return QVariant::fromValue(p.meas2);
        if (key == QLatin1String("preampStages"))
            return p.preampStages.toVariantList();
        return {};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        // Before the first QStandardPaths call, so no test ever reaches the real home directory.
        useTemporaryProgramHome(home);
        QVERIFY2(
            profilesPath().startsWith(home.path() + QLatin1Char('/')),
            qPrintable(QStringLiteral("profiles must lie in the temporary home, not ") + profilesPath()));
    }

    void init()
    {
        const QFileInfo info(profilesPath());
        if (info.isDir())
            QVERIFY(QDir(profilesPath()).removeRecursively());
        else if (info.exists())
            QVERIFY(QFile::remove(profilesPath()));
    }

    void directoryIsCreatedOnFirstUse()
    {
        QVERIFY(!QFileInfo::exists(profilesPath()));
        QVERIFY(listProfiles().isEmpty());
        QVERIFY2(QFileInfo(profilesPath()).isDir(), "listing must create the profiles directory");
        QCOMPARE(profilesDirectory().absolutePath(), profilesPath());

        QVERIFY(QDir(profilesPath()).removeRecursively());
        AmpProfile p;
        QVERIFY(!loadLastSession(p));
        QVERIFY2(QFileInfo(profilesPath()).isDir(), "reading the session must create the profiles directory");
    }

    void freshRecordDefaults()
    {
        const AmpProfile p;
        QVERIFY(p.name.isEmpty() && p.tube.isEmpty() && p.topology.isEmpty());
        QCOMPARE(p.customMaxW, 25.0);
        QCOMPARE(p.tubeCount, 2);
        QCOMPARE(p.biasMethod, 0);
        QCOMPARE(p.plateV, 0.0);
        QCOMPARE(p.bPlusV, 0.0);
        QCOMPARE(p.senseResistorOhms, 1.0);
        QCOMPARE(p.cathodeResistorOhms, 250.0);
        QVERIFY(!p.sharedCathodeR);
        QVERIFY(!p.subtractScreen);
        QVERIFY(p.meterReadsTotal);
        QCOMPARE(p.targetPct, 65.0);
        QVERIFY(p.meas1.isEmpty() && p.meas2.isEmpty() && p.preampStages.isEmpty());
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::addRow("apostrophe") << QStringLiteral("Fender '65 Twin")
                                    << QStringLiteral("Fender _65 Twin.json");
        QTest::addRow("slash") << QStringLiteral("A/B") << QStringLiteral("A_B.json");
        QTest::addRow("colon") << QStringLiteral("A:B") << QStringLiteral("A_B.json");
        QTest::addRow("allowed characters kept")
            << QStringLiteral("SB-200 v1.2_final") << QStringLiteral("SB-200 v1.2_final.json");
        QTest::addRow("spaces not trimmed")
            << QStringLiteral("  Deluxe  ") << QStringLiteral("  Deluxe  .json");
        QTest::addRow("path escape") << QStringLiteral("../../etc/x") << QStringLiteral(".._.._etc_x.json");
        QTest::addRow("backslash and tab") << QStringLiteral("a\\b\tc") << QStringLiteral("a_b_c.json");
        QTest::addRow("accented letter") << QStringLiteral("Übermaß") << QStringLiteral("_berma_.json");
        QTest::addRow("character outside the BMP")
            << QStringLiteral("Amp \U0001F3B8") << QStringLiteral("Amp _.json");
    }

    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        QCOMPARE(profileFileName(name), fileName);
    }

    void oddNamesSaveInsideTheDirectoryAndLoadBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::addRow("apostrophe") << QStringLiteral("Fender '65 Twin")
                                    << QStringLiteral("Fender _65 Twin.json");
        QTest::addRow("path escape") << QStringLiteral("../escape") << QStringLiteral(".._escape.json");
        QTest::addRow("inner spaces")
            << QStringLiteral("My  Bassman 50") << QStringLiteral("My  Bassman 50.json");
    }

    void oddNamesSaveInsideTheDirectoryAndLoadBack()
    {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        AmpProfile p = fullProfile(name);
        QVERIFY(saveProfile(p));

        QCOMPARE(directoryEntries(), QStringList{fileName});
        QVERIFY2(!QFileInfo::exists(profilesPath() + QStringLiteral("/../escape.json")),
                 "a name must never write outside the profiles directory");
        QJsonObject stored;
        QVERIFY(readJsonObjectFile(profilePath(fileName), stored));
        QCOMPARE(stored.value(QStringLiteral("name")).toString(), name);

        QCOMPARE(listProfiles(), QStringList{name});
        AmpProfile loaded;
        QVERIFY2(loadProfile(name, loaded), "the listed name must find its file again");
        compareProfiles(loaded, p);
    }

    void collidingNamesGetTheirOwnFiles_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("firstFile"); // today's name, kept for the name saved first
        QTest::addRow("non-ASCII letters") << QStringLiteral("Kunde Müller") << QStringLiteral("Kunde Möller")
                                           << QStringLiteral("Kunde M_ller.json");
        QTest::addRow("slash and colon")
            << QStringLiteral("A/B") << QStringLiteral("A:B") << QStringLiteral("A_B.json");
        QTest::addRow("letter case only")
            << QStringLiteral("Deluxe") << QStringLiteral("DELUXE") << QStringLiteral("Deluxe.json");
    }

    void collidingNamesGetTheirOwnFiles()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, firstFile);
        AmpProfile a = fullProfile(first);
        a.tubeCount = 3;
        AmpProfile b = fullProfile(second);
        b.tubeCount = 5;
        QVERIFY(saveProfile(a));
        QVERIFY(saveProfile(b));
        // Saving each again replaces its own file and no other.
        a.plateV = 123;
        QVERIFY(saveProfile(a));
        b.plateV = 321;
        QVERIFY(saveProfile(b));

        const QStringList files = directoryEntries();
        QCOMPARE(files.size(), 2);
        QVERIFY2(files.contains(firstFile), qPrintable(files.join(", ")));
        // Distinct on a file system that ignores letter case, too (an exFAT stick).
        QVERIFY2(files[0].compare(files[1], Qt::CaseInsensitive) != 0, qPrintable(files.join(", ")));
        const QStringList listed = listProfiles();
        QCOMPARE(QSet<QString>(listed.begin(), listed.end()), (QSet<QString>{first, second}));

        AmpProfile loaded;
        QVERIFY(loadProfile(first, loaded));
        QCOMPARE(loaded.name, first);
        QCOMPARE(loaded.tubeCount, 3);
        QCOMPARE(loaded.plateV, 123.0);
        QVERIFY(loadProfile(second, loaded));
        QCOMPARE(loaded.name, second);
        QCOMPARE(loaded.tubeCount, 5);
        QCOMPARE(loaded.plateV, 321.0);

        QVERIFY(deleteProfile(first));
        QCOMPARE(listProfiles(), QStringList{second});
        QVERIFY(loadProfile(second, loaded));
        QCOMPARE(loaded.tubeCount, 5);
    }

    void fileNameMappingIgnoresLetterCase()
    {
        // The mapping is what keeps a case-insensitive file system safe: it sees "deluxe.json" as
        // the file "Deluxe" would go to, whatever case the directory listing uses.
        const QHash<QString, QString> stored{{QStringLiteral("deluxe.json"), QStringLiteral("deluxe")}};
        auto storedNameOf = [&stored](const QString& file) { return stored.value(file); };
        const QString deluxe = profileFileNameInStore(QStringLiteral("Deluxe"), stored.keys(), storedNameOf);
        QVERIFY2(deluxe.compare(QStringLiteral("deluxe.json"), Qt::CaseInsensitive) != 0, qPrintable(deluxe));
        QVERIFY2(deluxe.startsWith(QStringLiteral("Deluxe-")) && deluxe.endsWith(QStringLiteral(".json")),
                 qPrintable(deluxe));
        QCOMPARE(profileFileNameInStore(QStringLiteral("deluxe"), stored.keys(), storedNameOf),
                 QStringLiteral("deluxe.json"));
        QCOMPARE(profileFileNameInStore(QStringLiteral("Bassman"), stored.keys(), storedNameOf),
                 QStringLiteral("Bassman.json"));
    }

    void copiedAndRenamedFilesAreEntriesOfTheirOwn()
    {
        AmpProfile original = fullProfile(QStringLiteral("Deluxe"));
        original.tubeCount = 2;
        QVERIFY(saveProfile(original));
        AmpProfile copy = original;
        copy.tubeCount = 4;
        writeRaw(QStringLiteral("Deluxe (copy).json"), QJsonDocument(profileToJson(copy)).toJson());
        AmpProfile renamed = fullProfile(QStringLiteral("Bassman"));
        renamed.tubeCount = 6;
        writeRaw(QStringLiteral("my old amp.json"), QJsonDocument(profileToJson(renamed)).toJson());

        const QList<ProfileEntry> entries = listProfileEntries();
        QCOMPARE(entries.size(), 3);
        QStringList labels;
        for (const ProfileEntry& entry : entries)
            labels << entry.label;
        QCOMPARE(labels, (QStringList{QStringLiteral("Deluxe (Deluxe (copy).json)"), QStringLiteral("Deluxe"),
                                      QStringLiteral("Bassman")}));
        QCOMPARE(entries[0].fileName, QStringLiteral("Deluxe (copy).json"));
        QCOMPARE(entries[2].fileName, QStringLiteral("my old amp.json"));

        // Each entry loads its own file.
        const QList<int> tubes{4, 2, 6};
        for (int i = 0; i < entries.size(); ++i) {
            AmpProfile loaded;
            QVERIFY2(loadProfileEntry(entries[i], loaded), qPrintable(entries[i].fileName));
            QCOMPARE(loaded.tubeCount, tubes[i]);
        }
        // The renamed file is found by its name as well.
        AmpProfile byName;
        QVERIFY(loadProfile(QStringLiteral("Bassman"), byName));
        QCOMPARE(byName.tubeCount, 6);

        // Deleting the copy leaves the original, and the other way round.
        QVERIFY(deleteProfileEntry(entries[0]));
        QCOMPARE(directoryEntries(),
                 (QStringList{QStringLiteral("Deluxe.json"), QStringLiteral("my old amp.json")}));
        AmpProfile loaded;
        QVERIFY(loadProfileEntry(entries[1], loaded));
        QCOMPARE(loaded.tubeCount, 2);
        QVERIFY(deleteProfileEntry(entries[2]));
        QVERIFY(!deleteProfileEntry(entries[2]));
        QCOMPARE(listProfiles(), QStringList{QStringLiteral("Deluxe")});
        QVERIFY2(!loadProfileEntry({QStringLiteral("../x.json"), QStringLiteral("x"), QStringLiteral("x")},
                                   loaded),
                 "an entry never reaches outside the profiles directory");
    }

    void saveOverwritesAndRefusesEmptyName()
    {
        AmpProfile p = fullProfile(QStringLiteral("Deluxe"));
        QVERIFY(saveProfile(p));
        p.plateV = 410;
        p.preampStages = {};
        QVERIFY(saveProfile(p));
        AmpProfile loaded;
        QVERIFY(loadProfile(QStringLiteral("Deluxe"), loaded));
        QCOMPARE(loaded.plateV, 410.0);
        QVERIFY2(loaded.preampStages.isEmpty(), "the overwritten file must not keep the old stages");

        AmpProfile unnamed = fullProfile(QString());
        QVERIFY(!saveProfile(unnamed));
        QCOMPARE(directoryEntries(), QStringList{QStringLiteral("Deluxe.json")});
    }

    void listOrderAndHiddenEntries()
    {
        for (const char* name : {"alpha", "Zebra", "beta", "Alpha2"})
            QVERIFY(saveProfile(fullProfile(QString::fromLatin1(name))));
        AmpProfile session = fullProfile(QStringLiteral("_last"));
        saveLastSession(session);

        writeRaw(QStringLiteral("copy.json"), R"({"name": "alpha"})");  // duplicate stays
        writeRaw(QStringLiteral("upper.JSON"), R"({"name": "Upper"})"); // pattern ignores case
        writeRaw(QStringLiteral("noname.json"), R"({"tube": "6L6GC"})");
        writeRaw(QStringLiteral("empty name.json"), R"({"name": ""})");
        writeRaw(QStringLiteral("number name.json"), R"({"name": 12})");
        writeRaw(QStringLiteral("broken.json"), R"({"name": "Broken", )");
        writeRaw(QStringLiteral("array.json"), R"([{"name": "InArray"}])");
        writeRaw(QStringLiteral("empty.json"), "");
        writeRaw(QStringLiteral("notes.txt"), R"({"name": "Notes"})");
        QVERIFY(QDir().mkpath(profilePath(QStringLiteral("Folder.json"))));

        const QStringList expected = {QStringLiteral("Alpha2"), QStringLiteral("Zebra"),
                                      QStringLiteral("alpha"),  QStringLiteral("beta"),
                                      QStringLiteral("alpha"),  QStringLiteral("Upper")};
        QCOMPARE(listProfiles(), expected);
    }

    void dotNamedProfileIsListed()
    {
        // ".410 Special" is saved as a dot file; it must still be reachable from the list.
        QVERIFY(saveProfile(fullProfile(QStringLiteral("Zed"))));
        QVERIFY(saveProfile(fullProfile(QStringLiteral(".410 Special"))));
        QCOMPARE(listProfiles(), (QStringList{QStringLiteral(".410 Special"), QStringLiteral("Zed")}));
        AmpProfile loaded;
        QVERIFY(loadProfile(QStringLiteral(".410 Special"), loaded));
        QVERIFY(deleteProfile(QStringLiteral(".410 Special")));
        QCOMPARE(listProfiles(), QStringList{QStringLiteral("Zed")});
    }

    void typeCoercion_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QVariant>("expected");

        QTest::addRow("tubeCount fraction") << "tubeCount" << QByteArray("2.5") << QVariant(2);
        QTest::addRow("tubeCount 3.5 not truncated") << "tubeCount" << QByteArray("3.5") << QVariant(2);
        QTest::addRow("tubeCount 4.0") << "tubeCount" << QByteArray("4.0") << QVariant(4);
        QTest::addRow("tubeCount 6") << "tubeCount" << QByteArray("6") << QVariant(6);
        QTest::addRow("tubeCount beyond 32 bits") << "tubeCount" << QByteArray("2147483648") << QVariant(2);
        QTest::addRow("tubeCount huge") << "tubeCount" << QByteArray("1e300") << QVariant(2);
        QTest::addRow("tubeCount string") << "tubeCount" << QByteArray("\"4\"") << QVariant(2);
        QTest::addRow("biasMethod string") << "biasMethod" << QByteArray("\"1\"") << QVariant(0);
        QTest::addRow("biasMethod bool") << "biasMethod" << QByteArray("true") << QVariant(0);
        QTest::addRow("biasMethod 4") << "biasMethod" << QByteArray("4") << QVariant(4);
        QTest::addRow("customMaxW string") << "customMaxW" << QByteArray("\"30\"") << QVariant(25.0);
        QTest::addRow("customMaxW number") << "customMaxW" << QByteArray("42.5") << QVariant(42.5);
        QTest::addRow("senseResistorOhms null") << "senseResistorOhms" << QByteArray("null") << QVariant(1.0);
        QTest::addRow("cathodeResistorOhms array")
            << "cathodeResistorOhms" << QByteArray("[470]") << QVariant(250.0);
        QTest::addRow("targetPct fraction kept") << "targetPct" << QByteArray("72.9") << QVariant(72.9);
        QTest::addRow("targetPct string") << "targetPct" << QByteArray("\"70\"") << QVariant(65.0);
        QTest::addRow("meterReadsTotal number") << "meterReadsTotal" << QByteArray("0") << QVariant(true);
        QTest::addRow("meterReadsTotal false") << "meterReadsTotal" << QByteArray("false") << QVariant(false);
        QTest::addRow("sharedCathodeR string")
            << "sharedCathodeR" << QByteArray("\"true\"") << QVariant(false);
        QTest::addRow("sharedCathodeR true") << "sharedCathodeR" << QByteArray("true") << QVariant(true);
        QTest::addRow("subtractScreen number") << "subtractScreen" << QByteArray("1") << QVariant(false);
        QTest::addRow("name number") << "name" << QByteArray("65") << QVariant(QString());
        QTest::addRow("tube null") << "tube" << QByteArray("null") << QVariant(QString());
        QTest::addRow("topology object") << "topology" << QByteArray("{\"a\": 1}") << QVariant(QString());
        QTest::addRow("meas1 mixed elements")
            << "meas1" << QByteArray(R"([40, "38", null, true, 38.5, [1], {}])")
            << QVariant::fromValue(QList<double>{40, 0, 0, 0, 38.5, 0, 0});
        QTest::addRow("meas1 string")
            << "meas1" << QByteArray("\"40\"") << QVariant::fromValue(QList<double>{});
        QTest::addRow("meas2 object")
            << "meas2" << QByteArray("{\"0\": 1}") << QVariant::fromValue(QList<double>{});
        QTest::addRow("preampStages object")
            << "preampStages" << QByteArray("{\"tube\": \"12AX7\"}") << QVariant(QVariantList{});
        QTest::addRow("preampStages string")
            << "preampStages" << QByteArray("\"x\"") << QVariant(QVariantList{});
        QTest::addRow("preampStages kept as they are")
            << "preampStages" << QByteArray(R"([1, {"tube": "12AT7", "bPlus": 250}])")
            << QVariant(QVariantList{1, QVariantMap{{QStringLiteral("tube"), QStringLiteral("12AT7")},
                                                    {QStringLiteral("bPlus"), 250}}});
    }

    void typeCoercion()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, json);
        QFETCH(QVariant, expected);

        writeRaw(QStringLiteral("Hand.json"),
                 "{ \"name\": \"Hand\", \"" + key.toUtf8() + "\": " + json + " }");
        AmpProfile p;
        QVERIFY2(loadProfile(QStringLiteral("Hand"), p), "a hand-written file must be read");
        const QVariant actual = fieldOf(p, key);
        if (expected.typeId() == QMetaType::Double) {
            QVERIFY2(qAbs(actual.toDouble() - expected.toDouble()) < 1e-9,
                     qPrintable(QStringLiteral("%1: expected %2, got %3")
                                    .arg(key)
                                    .arg(expected.toDouble())
                                    .arg(actual.toDouble())));
        } else if (expected.typeId() == QMetaType::QVariantList) {
            // Compared as JSON, where 250 and 250.0 are the same number.
            QCOMPARE(QJsonArray::fromVariantList(actual.toList()),
                     QJsonArray::fromVariantList(expected.toList()));
        } else {
            QCOMPARE(actual, expected);
        }
    }

    void missingMembersTakeDefaults_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addRow("empty object") << QByteArray("{}");
        QTest::addRow("name only") << QByteArray(R"({"name": "Bare"})");
        QTest::addRow("unknown keys only") << QByteArray(R"({"name": "Bare", "volume": 11, "tubes": []})");
    }

    void missingMembersTakeDefaults()
    {
        QFETCH(QByteArray, json);
        writeRaw(QStringLiteral("Bare.json"), json);
        AmpProfile loaded = fullProfile(QStringLiteral("stale"));
        QVERIFY(loadProfile(QStringLiteral("Bare"), loaded));
        AmpProfile expected;
        expected.name = QJsonDocument::fromJson(json).object().value(QStringLiteral("name")).toString();
        compareProfiles(loaded, expected);
    }

    void moreTubesThanReadings()
    {
        writeRaw(QStringLiteral("Quad.json"), R"({"name": "Quad", "tubeCount": 4, "meas1": [40.1, 39.8]})");
        AmpProfile p;
        QVERIFY(loadProfile(QStringLiteral("Quad"), p));
        QCOMPARE(p.tubeCount, 4);
        QCOMPARE(p.meas1, (QList<double>{40.1, 39.8}));
        QVERIFY(p.meas2.isEmpty());
    }

    void fullRecordRoundTrip()
    {
        const AmpProfile p = fullProfile(QStringLiteral("Twin Reverb"));
        QVERIFY(saveProfile(p));
        AmpProfile loaded;
        QVERIFY(loadProfile(QStringLiteral("Twin Reverb"), loaded));
        compareProfiles(loaded, p);

        const QByteArray text = readFile(profilePath(QStringLiteral("Twin Reverb.json")));
        QVERIFY2(text.contains("\n    \"name\": \"Twin Reverb\""), "profiles are written as indented JSON");
        const QJsonObject o = QJsonDocument::fromJson(text).object();
        QVERIFY2(o.value(QStringLiteral("tubeCount")).isDouble(), "tubeCount is written as a number");
        QVERIFY2(o.value(QStringLiteral("meterReadsTotal")).isBool(), "flags are written as booleans");
        QCOMPARE(o.value(QStringLiteral("preampStages")).toArray(), p.preampStages);
    }

    void everyKeyWrittenStagesOnlyWhenPresent()
    {
        AmpProfile p;
        p.name = QStringLiteral("Plain");
        QJsonObject o = profileToJson(p);
        const QStringList always = {QStringLiteral("name"),
                                    QStringLiteral("tube"),
                                    QStringLiteral("customMaxW"),
                                    QStringLiteral("tubeCount"),
                                    QStringLiteral("topology"),
                                    QStringLiteral("biasMethod"),
                                    QStringLiteral("plateV"),
                                    QStringLiteral("bPlusV"),
                                    QStringLiteral("senseResistorOhms"),
                                    QStringLiteral("cathodeResistorOhms"),
                                    QStringLiteral("sharedCathodeR"),
                                    QStringLiteral("sharedSenseR"),
                                    QStringLiteral("sharedTubes"),
                                    QStringLiteral("subtractScreen"),
                                    QStringLiteral("screenPct"),
                                    QStringLiteral("meterReadsTotal"),
                                    QStringLiteral("meterTotalMa"),
                                    QStringLiteral("otDropDirect"),
                                    QStringLiteral("senseRPerTube"),
                                    QStringLiteral("screenMeasured"),
                                    QStringLiteral("targetPct"),
                                    QStringLiteral("meas1"),
                                    QStringLiteral("meas2")};
        QStringList keys = o.keys();
        QStringList sortedAlways = always;
        sortedAlways.sort();
        QCOMPARE(keys, sortedAlways);
        QVERIFY2(o.value(QStringLiteral("meas1")).isArray(), "an empty reading list is still written");

        p.preampStages = fullProfile(QString()).preampStages;
        o = profileToJson(p);
        QVERIFY(o.contains(QStringLiteral("preampStages")));
        QCOMPARE(o.size(), always.size() + 1);
    }

    void readJsonObjectFileCases_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ok");
        QTest::addRow("missing") << false << QByteArray() << false;
        QTest::addRow("empty") << true << QByteArray() << false;
        QTest::addRow("broken") << true << QByteArray(R"({"name": )") << false;
        QTest::addRow("array") << true << QByteArray("[1, 2]") << false;
        QTest::addRow("number") << true << QByteArray("42") << false;
        QTest::addRow("object") << true << QByteArray(R"({"name": "X"})") << true;
        QTest::addRow("empty object") << true << QByteArray("{}") << true;
    }

    void readJsonObjectFileCases()
    {
        QFETCH(bool, create);
        QFETCH(QByteArray, content);
        QFETCH(bool, ok);
        if (create)
            writeRaw(QStringLiteral("f.json"), content);
        const QJsonObject sentinel{{QStringLiteral("sentinel"), true}};
        QJsonObject out = sentinel;
        QCOMPARE(readJsonObjectFile(profilePath(QStringLiteral("f.json")), out), ok);
        if (ok)
            QCOMPARE(out, QJsonDocument::fromJson(content).object());
        else
            QVERIFY2(out == sentinel, "a failed read must leave the output alone");

        AmpProfile p = fullProfile(QStringLiteral("untouched"));
        QCOMPARE(loadProfile(QStringLiteral("f"), p), ok);
        if (!ok)
            QCOMPARE(p.name, QStringLiteral("untouched"));
    }

    void deleteRemovesOnlyThatFile()
    {
        QVERIFY(saveProfile(fullProfile(QStringLiteral("A:B"))));
        QVERIFY(saveProfile(fullProfile(QStringLiteral("Keep"))));
        saveLastSession(fullProfile(QStringLiteral("_last")));

        QVERIFY2(!deleteProfile(QStringLiteral("A/B")),
                 "another name mapping to the same file deletes nothing");
        QVERIFY(deleteProfile(QStringLiteral("A:B")));
        QVERIFY(!deleteProfile(QStringLiteral("A:B")));
        QVERIFY(!deleteProfile(QStringLiteral("Never saved")));
        QCOMPARE(listProfiles(), QStringList{QStringLiteral("Keep")});
        AmpProfile session;
        QVERIFY(loadLastSession(session));

        QVERIFY(QDir().mkpath(profilePath(QStringLiteral("Folder.json"))));
        QVERIFY2(!deleteProfile(QStringLiteral("Folder")), "a directory is not a profile");
        QVERIFY(QFileInfo(profilePath(QStringLiteral("Folder.json"))).isDir());
    }

    void lastSession()
    {
        AmpProfile out = fullProfile(QStringLiteral("untouched"));
        QVERIFY(!loadLastSession(out));
        QCOMPARE(out.name, QStringLiteral("untouched"));

        AmpProfile session = fullProfile(QStringLiteral("_last"));
        saveLastSession(session);
        QCOMPARE(directoryEntries(), QStringList{QStringLiteral("_last_session.json_")});
        QJsonObject stored;
        QVERIFY(readJsonObjectFile(profilePath(QStringLiteral("_last_session.json_")), stored));
        QCOMPARE(stored.value(QStringLiteral("name")).toString(), QStringLiteral("_last"));
        QVERIFY2(listProfiles().isEmpty(), "the session is not a saved profile");

        AmpProfile loaded;
        QVERIFY(loadLastSession(loaded));
        compareProfiles(loaded, session);

        // Closing again replaces the session.
        session.tubeCount = 8;
        session.preampStages = {};
        saveLastSession(session);
        QVERIFY(loadLastSession(loaded));
        compareProfiles(loaded, session);

        writeRaw(QStringLiteral("_last_session.json_"), "[]");
        out = fullProfile(QStringLiteral("untouched"));
        QVERIFY2(!loadLastSession(out), "a session that holds no object is absent");
        QCOMPARE(out.name, QStringLiteral("untouched"));
    }

    void directoryWhereTheFileMustGo_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addRow("profile") << QStringLiteral("Amp.json");
        QTest::addRow("session") << QStringLiteral("_last_session.json_");
    }

    void directoryWhereTheFileMustGo()
    {
        QFETCH(QString, fileName);
        QVERIFY(QDir().mkpath(profilePath(fileName)));
        writeRaw(fileName + QStringLiteral("/inside.txt"), "keep me");

        QVERIFY(
            !writeJsonObjectFile(profilePath(fileName), profileToJson(fullProfile(QStringLiteral("Amp")))));
        if (fileName == QLatin1String("Amp.json"))
            QVERIFY2(!saveProfile(fullProfile(QStringLiteral("Amp"))),
                     "a profile that was not written must fail");
        else
            saveLastSession(fullProfile(QStringLiteral("_last")));

        QVERIFY(QFileInfo(profilePath(fileName)).isDir());
        QCOMPARE(readFile(profilePath(fileName + QStringLiteral("/inside.txt"))), QByteArray("keep me"));
        QCOMPARE(directoryEntries(), QStringList{fileName});
    }

    void profilesDirectoryBlockedByAFile()
    {
        QVERIFY(QDir().mkpath(QFileInfo(profilesPath()).absolutePath()));
        QFile blocker(profilesPath());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("not a directory");
        blocker.close();

        QVERIFY(!saveProfile(fullProfile(QStringLiteral("Amp"))));
        QVERIFY(listProfiles().isEmpty());
        saveLastSession(fullProfile(QStringLiteral("_last")));
        AmpProfile p;
        QVERIFY(!loadLastSession(p));
        QVERIFY(QFileInfo(profilesPath()).isFile());
        QCOMPARE(readFile(profilesPath()), QByteArray("not a directory"));
    }

    void fullDiskKeepsThePreviousFile_data()
    {
        QTest::addColumn<bool>("session");
        QTest::addColumn<int>("readings");
        // A short file stays in the write buffer until flush; a long one goes past it.
        QTest::addRow("profile, buffered") << false << 4;
        QTest::addRow("profile, beyond the write buffer") << false << 4000;
        QTest::addRow("session, buffered") << true << 4;
        QTest::addRow("session, beyond the write buffer") << true << 4000;
    }

    void fullDiskKeepsThePreviousFile()
    {
        QFETCH(bool, session);
        QFETCH(int, readings);
        const QString fileName = session ? QStringLiteral("_last_session.json_") : QStringLiteral("Amp.json");
        const AmpProfile old = fullProfile(session ? QStringLiteral("_last") : QStringLiteral("Amp"));
        if (session)
            saveLastSession(old);
        else
            QVERIFY(saveProfile(old));
        const QByteArray oldText = readFile(profilePath(fileName));
        QVERIFY(!oldText.isEmpty());

        AmpProfile bigger = old;
        bigger.plateV = 455;
        bigger.meas1.clear();
        for (int i = 0; i < readings; ++i)
            bigger.meas1.append(40.0 + i / 1000.0);
        const qint64 newSize = QJsonDocument(profileToJson(bigger)).toJson(QJsonDocument::Indented).size();

        // The disk "fills up" half-way through the new file: writes beyond the limit fail with EFBIG
        // instead of killing the process. Restored before any check can return early.
        rlimit previous{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &previous) == 0);
        rlimit lowered = previous;
        lowered.rlim_cur = rlim_t(newSize / 2);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const bool limited = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
        bool saved = false;
        if (limited) {
            if (session)
                saveLastSession(bigger); // reports nothing; the file content tells
            else
                saved = saveProfile(bigger);
        }
        const bool restored = setrlimit(RLIMIT_FSIZE, &previous) == 0;
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(limited && restored);

        if (!session)
            QVERIFY2(!saved, "a write that stopped short must be reported as failed");
        QVERIFY2(readFile(profilePath(fileName)) == oldText, "the previous file must survive a failed write");
        QCOMPARE(directoryEntries(), QStringList{fileName});

        // With room again the same save goes through.
        AmpProfile loaded;
        if (session) {
            saveLastSession(bigger);
            QVERIFY(loadLastSession(loaded));
        } else {
            QVERIFY(saveProfile(bigger));
            QVERIFY(loadProfile(QStringLiteral("Amp"), loaded));
        }
        compareProfiles(loaded, bigger);
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profilestore.moc"
