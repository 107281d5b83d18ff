#include "bench/profilestore.h"

#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <sys/stat.h>

// Profile and session files that no version of the program wrote: absurd numbers, giant lists and
// names, deep nesting, huge files and things in the profiles directory that are not files at all.
// Each must end in the documented fallback or a clear result, promptly and without a crash.
class TestHostileProfiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

    static void writeRaw(const QString& fileName, const QByteArray& content)
    {
        QVERIFY2(writeFile(profilePath(fileName), content), qPrintable(profilePath(fileName)));
    }

    // A valid profile object padded with trailing white space to exactly `size` bytes.
    static QByteArray paddedProfile(const QByteArray& name, qint64 size)
    {
        QByteArray text = "{\"name\": \"" + name + "\", \"tubeCount\": 4}";
        text.append(QByteArray(size - text.size(), ' '));
        return text;
    }

    // A profile file that is refused must neither load nor appear in the list, and must leave the
    // record and the output alone; the readable neighbour must still do both. (Waiting on the file
    // instead would hang here until the test run's time-out.)
    static void expectRefusedBesideAGoodOne(const QString& profileName)
    {
        writeRaw(QStringLiteral("Good.json"), R"({"name": "Good"})");
        QCOMPARE(listProfiles(), QStringList{QStringLiteral("Good")});
        AmpProfile p;
        p.name = QStringLiteral("untouched");
        QVERIFY2(!loadProfile(profileName, p), qPrintable(profileName + " must not load"));
        QCOMPARE(p.name, QStringLiteral("untouched"));
        QJsonObject out{{QStringLiteral("sentinel"), true}};
        QVERIFY(!readJsonObjectFile(profilePath(profileFileName(profileName)), out));
        QVERIFY2(out.contains(QStringLiteral("sentinel")), "a refused file must leave the output alone");
        QVERIFY(loadProfile(QStringLiteral("Good"), p));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        useTemporaryProgramHome(home);
        QVERIFY2(
            profilesPath().startsWith(home.path() + QLatin1Char('/')),
            qPrintable(QStringLiteral("profiles must lie in the temporary home, not ") + profilesPath()));
    }

    void init()
    {
        if (QFileInfo(profilesPath()).isDir())
            QVERIFY(QDir(profilesPath()).removeRecursively());
    }

    // A whole 32-bit tube count is taken as written; the window clamps it to its spin box, so the
    // record must carry it unchanged rather than make up another count.
    void absurdTubeCounts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("tubeCount");
        QTest::addColumn<int>("biasMethod");
        QTest::addRow("a billion") << QByteArray("1e9") << 1000000000 << 1000000000;
        QTest::addRow("negative") << QByteArray("-3") << -3 << -3;
        QTest::addRow("zero") << QByteArray("0") << 0 << 0;
        QTest::addRow("largest int") << QByteArray("2147483647") << 2147483647 << 2147483647;
        QTest::addRow("smallest int")
            << QByteArray("-2147483648") << int(-2147483647 - 1) << int(-2147483647 - 1);
        // Not a 32-bit whole number: the defaults.
        QTest::addRow("just past int") << QByteArray("2147483648") << 2 << 0;
        QTest::addRow("1e308") << QByteArray("1e308") << 2 << 0;
        QTest::addRow("-1e308") << QByteArray("-1e308") << 2 << 0;
    }

    void absurdTubeCounts()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, tubeCount);
        QFETCH(int, biasMethod);
        writeRaw(QStringLiteral("Count.json"), "{\"name\": \"Count\", \"tubeCount\": " + json +
                                                   ", \"biasMethod\": " + json +
                                                   ", \"meas1\": [41.5], \"tube\": \"6L6GC\"}");
        AmpProfile p;
        QVERIFY(loadProfile(QStringLiteral("Count"), p));
        QCOMPARE(p.tubeCount, tubeCount);
        QCOMPARE(p.biasMethod, biasMethod);
        QCOMPARE(p.meas1, QList<double>{41.5});
        QCOMPARE(p.tube, QStringLiteral("6L6GC"));
    }

    // The largest finite numbers are kept exactly, survive saving and loading again, and numbers
    // beyond them make the whole file unreadable (JSON has no infinity), which means "absent".
    void extremeNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addRow("1e308") << 1e308;
        QTest::addRow("-1e308") << -1e308;
        QTest::addRow("largest double") << std::numeric_limits<double>::max();
        QTest::addRow("smallest positive") << std::numeric_limits<double>::denorm_min();
        QTest::addRow("negative zero") << -0.0;
    }

    void extremeNumbers()
    {
        QFETCH(double, value);
        const QByteArray number = QByteArray::number(value, 'g', 17);
        QByteArray json = "{\"name\": \"Extreme\"";
        for (const char* key :
             {"customMaxW", "plateV", "bPlusV", "senseResistorOhms", "cathodeResistorOhms", "targetPct"})
            json += ", \"" + QByteArray(key) + "\": " + number;
        json += ", \"meas1\": [" + number + ", " + number + "], \"meas2\": [" + number + "]}";
        writeRaw(QStringLiteral("Extreme.json"), json);

        AmpProfile p;
        QVERIFY2(loadProfile(QStringLiteral("Extreme"), p), json.constData());
        for (double field :
             {p.customMaxW, p.plateV, p.bPlusV, p.senseResistorOhms, p.cathodeResistorOhms, p.targetPct})
            QCOMPARE(field, value);
        QCOMPARE(p.meas1, (QList<double>{value, value}));
        QCOMPARE(p.meas2, QList<double>{value});

        QVERIFY(saveProfile(p));
        AmpProfile again;
        QVERIFY(loadProfile(QStringLiteral("Extreme"), again));
        QCOMPARE(again.plateV, value);
        QCOMPARE(again.targetPct, value);
        QCOMPARE(again.meas1, p.meas1);
    }

    void numbersBeyondDouble_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addRow("1e309") << QByteArray("1e309");
        QTest::addRow("-1e309") << QByteArray("-1e309");
        QTest::addRow("underflow") << QByteArray("4.9e-325");
    }

    void numbersBeyondDouble()
    {
        QFETCH(QByteArray, number);
        writeRaw(QStringLiteral("Beyond.json"), "{\"name\": \"Beyond\", \"plateV\": " + number + "}");
        AmpProfile p;
        p.name = QStringLiteral("untouched");
        QVERIFY2(!loadProfile(QStringLiteral("Beyond"), p),
                 "a number JSON cannot hold makes the file unreadable");
        QCOMPARE(p.name, QStringLiteral("untouched"));
        QVERIFY(listProfiles().isEmpty());
    }

    // Far more readings than any amplifier has tubes: all are kept in order; the window uses the
    // first tubeCount of them.
    void hugeReadingLists()
    {
        constexpr int count = 200000;
        QByteArray list;
        list.reserve(count * 8);
        for (int i = 0; i < count; ++i) {
            if (i)
                list += ',';
            list += QByteArray::number(i % 997) + ".5";
        }
        const QByteArray json = "{\"name\": \"Many\", \"meas1\": [" + list + "], \"meas2\": [" + list + "]}";
        QVERIFY2(json.size() < maxProfileFileBytes, "the fixture must stay within the size limit");
        writeRaw(QStringLiteral("Many.json"), json);

        AmpProfile p;
        QVERIFY(loadProfile(QStringLiteral("Many"), p));
        QCOMPARE(p.meas1.size(), count);
        QCOMPARE(p.meas2.size(), count);
        QCOMPARE(p.meas1.at(0), 0.5);
        QCOMPARE(p.meas1.at(count - 1), double((count - 1) % 997) + 0.5);
        QCOMPARE(listProfiles(), QStringList{QStringLiteral("Many")});
    }

    // A name of 10 000 characters cannot become a file name (the system allows 255 bytes): saving it
    // fails and says so, writing nothing. The longest name that fits still saves and loads.
    void longNamesForFiles_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("saved");
        QTest::addRow("10 000 characters") << 10000 << false;
        QTest::addRow("one past the longest file name") << 251 << false;
        QTest::addRow("longest file name") << 250 << true;
    }

    void longNamesForFiles()
    {
        QFETCH(int, length);
        QFETCH(bool, saved);
        QString name(length, QLatin1Char('n'));
        name[0] = QLatin1Char('L');
        AmpProfile p;
        p.name = name;
        p.tubeCount = 6;
        QCOMPARE(saveProfile(p), saved);
        AmpProfile loaded;
        QCOMPARE(loadProfile(name, loaded), saved);
        QCOMPARE(listProfiles(), saved ? QStringList{name} : QStringList{});
        if (saved)
            QCOMPARE(loaded.tubeCount, 6);
        else
            QVERIFY2(QDir(profilesPath()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     "a failed save must leave nothing behind");
        QCOMPARE(deleteProfile(name), saved);
    }

    // Inside a file, long texts are just texts.
    void longNamesInsideAFile()
    {
        const QString name(10000, QLatin1Char('N'));
        const QString tube(10000, QLatin1Char('T'));
        const QJsonObject o{{QStringLiteral("name"), name},
                            {QStringLiteral("tube"), tube},
                            {QStringLiteral("topology"), tube}};
        writeRaw(QStringLiteral("Short.json"), QJsonDocument(o).toJson());
        QCOMPARE(listProfiles(), QStringList{name});
        AmpProfile p;
        QVERIFY(loadProfile(QStringLiteral("Short"), p));
        QCOMPARE(p.name, name);
        QCOMPARE(p.tube, tube);
        QCOMPARE(p.topology, tube);
    }

    // Nesting the parser accepts is kept as it is in the stages; nesting beyond what it accepts
    // (hundreds of thousands of levels would exhaust a recursive reader's stack) makes the file
    // unreadable instead of crashing.
    void deepNesting_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("readable");
        QTest::addRow("200 levels") << 200 << true << true;
        QTest::addRow("100 000 levels") << 100000 << true << false;
        QTest::addRow("1 000 000 levels, never closed") << 1000000 << false << false;
    }

    void deepNesting()
    {
        QFETCH(int, depth);
        QFETCH(bool, closed);
        QFETCH(bool, readable);
        const QByteArray nested = QByteArray(depth, '[') + (closed ? QByteArray(depth, ']') : QByteArray());
        writeRaw(QStringLiteral("Deep.json"), "{\"name\": \"Deep\", \"preampStages\": [" + nested + "]}");
        writeRaw(QStringLiteral("Objects.json"),
                 "{\"name\": \"Objects\", \"meas1\": " + QByteArray(depth, '{').replace("{", "{\"a\":") +
                     "1" + QByteArray(closed ? depth : 0, '}') + "}");

        AmpProfile p;
        QCOMPARE(loadProfile(QStringLiteral("Deep"), p), readable);
        QCOMPARE(loadProfile(QStringLiteral("Objects"), p), readable);
        QCOMPARE(listProfiles(),
                 readable ? (QStringList{QStringLiteral("Deep"), QStringLiteral("Objects")}) : QStringList{});
        if (readable) {
            QVERIFY(loadProfile(QStringLiteral("Deep"), p));
            QCOMPARE(p.preampStages.size(), 1);
            QVERIFY(p.preampStages.at(0).isArray());
            QVERIFY(saveProfile(p));
            AmpProfile again;
            QVERIFY(loadProfile(QStringLiteral("Deep"), again));
            QCOMPARE(again.preampStages, p.preampStages);
        }
    }

    // Files up to maxProfileFileBytes are read; one byte more and the file counts as unreadable,
    // like a 50 MB file that has no business in the profiles directory.
    void sizeLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("readable");
        QTest::addRow("at the limit") << maxProfileFileBytes << true;
        QTest::addRow("one byte over") << maxProfileFileBytes + 1 << false;
        QTest::addRow("50 MB") << qint64(50) * 1000 * 1000 << false;
    }

    void sizeLimit()
    {
        QFETCH(qint64, size);
        QFETCH(bool, readable);
        const QByteArray text = paddedProfile("Big", size);
        QCOMPARE(qint64(text.size()), size);
        writeRaw(QStringLiteral("Big.json"), text);
        writeRaw(QStringLiteral("Small.json"), R"({"name": "Small"})");

        AmpProfile p;
        QCOMPARE(loadProfile(QStringLiteral("Big"), p), readable);
        if (readable)
            QCOMPARE(p.tubeCount, 4);
        QCOMPARE(listProfiles(), readable ? (QStringList{QStringLiteral("Big"), QStringLiteral("Small")})
                                          : QStringList{QStringLiteral("Small")});
        QJsonObject out;
        QCOMPARE(jsonObjectFromBytes(text, out), readable);

        // The last session is read the same way.
        writeRaw(QStringLiteral("_last_session.json_"), text);
        QCOMPARE(loadLastSession(p), readable);
    }

    void directoryInPlaceOfAFile()
    {
        QVERIFY(QDir().mkpath(profilePath(QStringLiteral("Folder.json"))));
        QVERIFY(QDir().mkpath(profilePath(QStringLiteral("_last_session.json_"))));
        expectRefusedBesideAGoodOne(QStringLiteral("Folder"));
        AmpProfile p;
        QVERIFY2(!loadLastSession(p), "a directory in place of the session means no session");
    }

    void symlinkLoops()
    {
        QVERIFY(QDir().mkpath(profilesPath()));
        QVERIFY(
            QFile::link(profilePath(QStringLiteral("Self.json")), profilePath(QStringLiteral("Self.json"))));
        QVERIFY(
            QFile::link(profilePath(QStringLiteral("Ping.json")), profilePath(QStringLiteral("Pong.json"))));
        QVERIFY(
            QFile::link(profilePath(QStringLiteral("Pong.json")), profilePath(QStringLiteral("Ping.json"))));
        QVERIFY(QFile::link(profilePath(QStringLiteral("_last_session.json_")),
                            profilePath(QStringLiteral("_last_session.json_"))));
        expectRefusedBesideAGoodOne(QStringLiteral("Self"));
        expectRefusedBesideAGoodOne(QStringLiteral("Ping"));
        expectRefusedBesideAGoodOne(QStringLiteral("Pong"));
        AmpProfile p;
        QVERIFY(!loadLastSession(p));
    }

    // A named pipe where a profile or the session belongs would block an ordinary open until some
    // other program writes to it; the program must not hang at start or when the list is refreshed.
    void namedPipes()
    {
        QVERIFY(QDir().mkpath(profilesPath()));
        QCOMPARE(::mkfifo(QFile::encodeName(profilePath(QStringLiteral("Pipe.json"))).constData(), 0600), 0);
        QCOMPARE(
            ::mkfifo(QFile::encodeName(profilePath(QStringLiteral("_last_session.json_"))).constData(), 0600),
            0);
        expectRefusedBesideAGoodOne(QStringLiteral("Pipe"));
        AmpProfile p;
        QVERIFY(!loadLastSession(p));
    }

    // A device that never ends (or a special file) is no profile; a link to a real profile
    // elsewhere still is one.
    void devicesAndLinks()
    {
        QVERIFY(QDir().mkpath(profilesPath()));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), profilePath(QStringLiteral("Zero.json"))));
        QVERIFY(
            QFile::link(QStringLiteral("/dev/urandom"), profilePath(QStringLiteral("_last_session.json_"))));
        expectRefusedBesideAGoodOne(QStringLiteral("Zero"));
        AmpProfile p;
        QVERIFY(!loadLastSession(p));

        const QString elsewhere = home.filePath(QStringLiteral("kept-elsewhere.json"));
        QFile target(elsewhere);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write(R"({"name": "Linked", "tubeCount": 3})");
        target.close();
        QVERIFY(QFile::link(elsewhere, profilePath(QStringLiteral("Linked.json"))));
        QVERIFY(loadProfile(QStringLiteral("Linked"), p));
        QCOMPARE(p.tubeCount, 3);
    }
};

QTEST_GUILESS_MAIN(TestHostileProfiles)
#include "tst_hostileprofiles.moc"
