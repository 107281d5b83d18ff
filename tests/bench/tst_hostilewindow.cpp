// Hand-written and damaged files in the profiles directory, met through the real bench window: picked
// from "MY AMPS" and restored as the last session at start. Each must end in the documented fallback or
// a clear message, promptly and without a crash, and must leave every other saved profile as it was.
#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/tubecardwidget.h"
#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "preamp/triodes.h"
#include <algorithm>

#include "testfiles.h"
#include "windowdriver.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

const QString placeholder = QStringLiteral("— my saved amps —");
const QString fixedBias = QStringLiteral("Push-Pull Class AB (fixed bias)");
const QString cathodeBias = QStringLiteral("Push-Pull Class AB (cathode bias)");
const QString firstTriode = QStringLiteral("12AX7 / ECC83 / 7025");

// What the profiles directory holds besides the last session, entry by entry, in a form that shows
// any change: the bytes of a regular file (size and time of change for a huge one), the target of a
// link, or the kind of anything else. Nothing is opened that could block or never end.
QMap<QString, QByteArray> profilesDirState()
{
    QMap<QString, QByteArray> state;
    const QFileInfoList entries =
        QDir(profilesPath())
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName() == QStringLiteral("_last_session.json_"))
            continue;
        QByteArray& value = state[entry.fileName()];
        if (entry.isSymLink())
            value = "link to " + entry.symLinkTarget().toUtf8();
        else if (entry.isDir())
            value = "directory";
        else if (entry.isFile() && entry.size() > 64 * 1024 * 1024)
            value = QByteArray::number(entry.size()) + " bytes changed at " +
                    entry.lastModified().toString(Qt::ISODateWithMs).toUtf8();
        else if (entry.isFile())
            value = readFile(entry.filePath());
        else
            value = "special file";
    }
    return state;
}

// The saved names "MY AMPS" lists, without the placeholder.
QStringList listedNames(const QComboBox* combo)
{
    QStringList names;
    for (int i = 1; i < combo->count(); ++i)
        names << combo->itemText(i);
    return names;
}

QJsonObject defaultStage(const QString& tube)
{
    return stage(tube, 300, 100, 1500, 25, 1000);
}

// Whatever came in, the bench must be one the user could have set up by hand: as many cards as the
// tube count says (1 to 12), every field and the slider within its range and finite, every result
// finite, and no label showing an infinity or a NaN.
void expectSaneBench(MainWindow& w)
{
    QVERIFY2(tubeCountSpin(w)->value() >= 1 && tubeCountSpin(w)->value() <= 12,
             qPrintable(QString::number(tubeCountSpin(w)->value())));
    QCOMPARE(cards(w).size(), tubeCountSpin(w)->value());
    for (int i = 0; i < cards(w).size(); ++i) {
        QCOMPARE(cards(w)[i]->index(), i);
        const BiasResult& r = w.session().result(i);
        QVERIFY2(std::isfinite(r.currentMa) && std::isfinite(r.dissipationW) && std::isfinite(r.pctOfMax),
                 qPrintable(QStringLiteral("card %1: %2 mA, %3 W, %4 %")
                                .arg(i)
                                .arg(r.currentMa)
                                .arg(r.dissipationW)
                                .arg(r.pctOfMax)));
    }
    const QList<QDoubleSpinBox*> boxes = w.findChildren<QDoubleSpinBox*>();
    for (const QDoubleSpinBox* box : boxes) {
        const double v = box->value();
        QVERIFY2(std::isfinite(v) && v >= box->minimum() && v <= box->maximum(),
                 qPrintable(QStringLiteral("%1 holds %2 outside %3 to %4")
                                .arg(box->suffix())
                                .arg(v)
                                .arg(box->minimum())
                                .arg(box->maximum())));
    }
    QVERIFY(targetSlider(w)->value() >= targetSlider(w)->minimum() &&
            targetSlider(w)->value() <= targetSlider(w)->maximum());
    static const QRegularExpression nonNumber(QStringLiteral("\\b(nan|inf|infinity)\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QList<QLabel*> labels = w.findChildren<QLabel*>();
    for (const QLabel* label : labels)
        QVERIFY2(!nonNumber.match(label->text()).hasMatch(), qPrintable(label->text()));
}

} // namespace

class TestHostileWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/tst_hostilewindow-XXXXXX")};
    // The profiles directory as it was once a test had put its files in place; checked in cleanup().
    QMap<QString, QByteArray> before;
    bool checkUnchanged = false;
    QJsonObject setupWithoutNames; // see namesOfAnotherType

    void rememberProfiles()
    {
        before = profilesDirState();
        checkUnchanged = true;
    }

    // Two ordinary profiles saved earlier; whatever a test does, their files must keep every byte.
    // Their names sort around the hostile ones, which all start with a capital letter after B.
    static QStringList withBystanders(const QStringList& names)
    {
        return QStringList{QStringLiteral("Bystander Deluxe")} + names +
               QStringList{QStringLiteral("bystander raw")};
    }

    // The bench is still usable: a bystander picked from the list loads in full.
    static void bystanderStillLoads(MainWindow& w)
    {
        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Bystander Deluxe")));
        QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6L6GC"));
        QCOMPARE(classCombo(w)->currentText(), fixedBias);
        QCOMPARE(cards(w).size(), 4);
        QCOMPARE(firstReadings(w), (QList<double>{38.5, 39, 40.5, 41}));
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void absurdTubeCountsAndMethods_data();
    void absurdTubeCountsAndMethods();
    void extremeNumbers_data();
    void extremeNumbers();
    void hugeReadingLists_data();
    void hugeReadingLists();
    void longNameInTheList();
    void saveUnderLongNames_data();
    void saveUnderLongNames();
    void namesOfAnotherType_data();
    void namesOfAnotherType();
    void deepNesting_data();
    void deepNesting();
    void hugeFiles_data();
    void hugeFiles();
    void thingsThatAreNoFiles_data();
    void thingsThatAreNoFiles();
    void savingOverThingsThatAreNoFiles_data();
    void savingOverThingsThatAreNoFiles();
    void hostilePreampStages_data();
    void hostilePreampStages();
};

void TestHostileWindow::initTestCase()
{
    QVERIFY(home.isValid());
    prepareWindowTests(home);
    QVERIFY2(profilesPath().startsWith(home.path() + QLatin1Char('/')), qPrintable(profilesPath()));
    QVERIFY2(QSettings().fileName().startsWith(home.path()), qPrintable(QSettings().fileName()));
}

void TestHostileWindow::init()
{
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(QDir(dataDir).removeRecursively());
    // The welcome dialog is not what these tests are about.
    QSettings().setValue(QStringLiteral("firstRunDonatePromptShown"), true);

    AmpProfile deluxe;
    deluxe.name = QStringLiteral("Bystander Deluxe");
    deluxe.tube = QStringLiteral("6L6GC");
    deluxe.topology = fixedBias;
    deluxe.tubeCount = 4;
    deluxe.plateV = 430;
    deluxe.meas1 = {38.5, 39, 40.5, 41};
    deluxe.meas2 = {0, 0, 0, 0};
    deluxe.preampStages = {stage(QStringLiteral("12AT7 / ECC81"), 250, 47, 820, 0, 470)};
    QVERIFY(
        writeFile(profilePath(QStringLiteral("Bystander Deluxe.json")), jsonBytes(profileToJson(deluxe))));
    // Written by hand, with its own spacing and a key the program does not know.
    QVERIFY(writeFile(profilePath(QStringLiteral("bystander raw.json")),
                      "{\"name\":\"bystander raw\", \"tube\":\"EL34\",\"tubeCount\":2,\n"
                      "  \"meas1\":[40,41],   \"extra\":{\"keep\":true}}\n"));
    checkUnchanged = false;
}

void TestHostileWindow::cleanup()
{
    if (!checkUnchanged)
        return;
    const QMap<QString, QByteArray> after = profilesDirState();
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QVERIFY2(after.contains(it.key()), qPrintable(it.key() + " has gone"));
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + " has changed"));
    }
}

// A tube count of a whole 32-bit number reaches the window as written; the window shows 1 to 12 cards,
// the range of its "Power tubes" box, and saves what it shows. A method the class does not offer, or a
// negative one, falls back to the class's first method instead of keeping whatever was on screen.
void TestHostileWindow::absurdTubeCountsAndMethods_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<QByteArray>("number");
    QTest::addColumn<int>("cardCount");
    struct Row {
        const char* name;
        const char* number;
        int cardCount;
        bool alsoAtStart; // the start applies a session exactly as a pick applies a profile
    };
    const Row rows[] = {
        {"a billion", "1e9", 12, true},
        {"minus three", "-3", 1, true},
        {"zero", "0", 1, true},
        {"largest int", "2147483647", 12, false},
        {"smallest int", "-2147483648", 1, false},
        {"1e308, no 32-bit number: the default", "1e308", 2, true},
    };
    for (bool atStart : {false, true}) {
        for (const Row& row : rows) {
            if (!atStart || row.alsoAtStart)
                QTest::addRow("%s, %s", atStart ? "last session" : "picked", row.name)
                    << atStart << QByteArray(row.number) << row.cardCount;
        }
    }
}

void TestHostileWindow::absurdTubeCountsAndMethods()
{
    QFETCH(bool, atStart);
    QFETCH(QByteArray, number);
    QFETCH(int, cardCount);

    QByteArray readings;
    QList<double> expectedReadings;
    for (int i = 0; i < 14; ++i) {
        readings += (i ? ", " : "") + QByteArray::number(30 + i) + ".5";
        if (i < cardCount)
            expectedReadings << 30 + i + 0.5;
    }
    const QByteArray file = "{\"name\": \"Hostile count\", \"tube\": \"KT88\", \"topology\": \"" +
                            fixedBias.toUtf8() + "\", \"tubeCount\": " + number +
                            ", \"biasMethod\": " + number + ", \"plateV\": 455, \"meas1\": [" + readings +
                            "], \"meas2\": []}";
    QVERIFY(writeFile(atStart ? sessionPath() : profilePath(QStringLiteral("Hostile count.json")), file));
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    if (!atStart) {
        // A bench that differs from the file in tube, class, method and count.
        QVERIFY(choose(tubeCombo(w), QStringLiteral("EL34")));
        QVERIFY(choose(classCombo(w), cathodeBias));
        QVERIFY(chooseMethod(w, 1));
        tubeCountSpin(w)->setValue(5);
        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Hostile count")));
    }

    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("KT88"));
    QCOMPARE(classCombo(w)->currentText(), fixedBias);
    QCOMPARE(w.session().setup().method, 0);
    QCOMPARE(plateVSpin(w)->value(), 455.0);
    QCOMPARE(tubeCountSpin(w)->value(), cardCount);
    QCOMPARE(firstReadings(w), expectedReadings);
    expectSaneBench(w);

    // A method number that is no method (a billion) stays unknown: the readings are not rated and it
    // is written back as the file said it; a negative one or one of another type reads as 0.
    QJsonObject object;
    QVERIFY(jsonObjectFromBytes(file, object));
    const int fileMethod = std::max(0, profileFromJson(object).biasMethod);
    QCOMPARE(w.session().setup().unknown.method.has_value(), fileMethod != 0);
    if (fileMethod != 0)
        QVERIFY(!w.session().result(0).valid);

    // What is saved is what the window shows, not what the file said, but for an unknown method.
    QVERIFY(w.close());
    AmpProfile session;
    QVERIFY(loadLastSession(session));
    QCOMPARE(session.tubeCount, cardCount);
    QCOMPARE(session.biasMethod, fileMethod);
    QCOMPARE(session.meas1, expectedReadings);
}

// Every number field at the ends of what a double holds lands at the end of its field's range; a
// number written as a string, or a value of another JSON type, reads as the field's default.
void TestHostileWindow::extremeNumbers_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected"); // 1: each field's maximum, -1: its minimum, 0: its default
    QTest::addRow("picked, 1e308") << false << QByteArray("1e308") << 1;
    QTest::addRow("picked, -1e308") << false << QByteArray("-1e308") << -1;
    QTest::addRow("picked, largest double") << false << QByteArray("1.7976931348623157e308") << 1;
    QTest::addRow("picked, \"NaN\"") << false << QByteArray("\"NaN\"") << 0;
    QTest::addRow("picked, \"Infinity\"") << false << QByteArray("\"Infinity\"") << 0;
    QTest::addRow("picked, \"1e999\"") << false << QByteArray("\"1e999\"") << 0;
    QTest::addRow("picked, null") << false << QByteArray("null") << 0;
    QTest::addRow("picked, an object") << false << QByteArray("{\"value\": 1e308}") << 0;
    QTest::addRow("picked, an array") << false << QByteArray("[1e308]") << 0;
    QTest::addRow("last session, 1e308") << true << QByteArray("1e308") << 1;
    QTest::addRow("last session, -1e308") << true << QByteArray("-1e308") << -1;
    QTest::addRow("last session, \"NaN\"") << true << QByteArray("\"NaN\"") << 0;
}

void TestHostileWindow::extremeNumbers()
{
    QFETCH(bool, atStart);
    QFETCH(QByteArray, value);
    QFETCH(int, expected);

    // The custom tube, so that the typed maximum dissipation counts.
    QByteArray file = "{\"name\": \"Hostile numbers\", \"tube\": \"Custom...\", \"topology\": \"" +
                      fixedBias.toUtf8() + "\", \"tubeCount\": 3, \"biasMethod\": 0";
    for (const char* key :
         {"customMaxW", "plateV", "bPlusV", "senseResistorOhms", "cathodeResistorOhms", "targetPct"})
        file += ", \"" + QByteArray(key) + "\": " + value;
    file += ", \"meas1\": [" + value + ", " + value + ", " + value + "], \"meas2\": [" + value + ", " +
            value + ", " + value + "]}";
    QVERIFY(writeFile(atStart ? sessionPath() : profilePath(QStringLiteral("Hostile numbers.json")), file));
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    if (!atStart)
        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Hostile numbers")));
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("Custom..."));
    QCOMPARE(cards(w).size(), 3);

    struct Field {
        const char* name;
        double value;
        double minimum;
        double maximum;
        double defaultValue;
    };
    const Field fields[] = {
        {"customMaxW", maxWSpin(w)->value(), maxWSpin(w)->minimum(), maxWSpin(w)->maximum(), 25},
        {"plateV", plateVSpin(w)->value(), plateVSpin(w)->minimum(), plateVSpin(w)->maximum(), 0},
        {"bPlusV", bPlusSpin(w)->value(), bPlusSpin(w)->minimum(), bPlusSpin(w)->maximum(), 0},
        {"senseResistorOhms", senseSpin(w)->value(), senseSpin(w)->minimum(), senseSpin(w)->maximum(), 1},
        {"cathodeResistorOhms", cathodeRSpin(w)->value(), cathodeRSpin(w)->minimum(),
         cathodeRSpin(w)->maximum(), 250},
        {"targetPct", double(targetSlider(w)->value()), double(targetSlider(w)->minimum()),
         double(targetSlider(w)->maximum()), 65},
        // The first reading of a bias-probe card takes 0 to 999 mA; the hidden second field 0 to 100000.
        {"meas1 of card 3", cards(w)[2]->meas1(), 0, 999, 0},
        {"meas2 of card 3", cards(w)[2]->meas2(), 0, 100000, 0},
    };
    for (const Field& f : fields) {
        double want = expected > 0 ? f.maximum : expected < 0 ? f.minimum : f.defaultValue;
        // A plate voltage of 0 counts as not yet measured: the tube's typical one (450 V for the custom
        // tube) takes its place once the profile is applied, as it does when a tube is chosen.
        if (want == 0 && QByteArray(f.name) == "plateV")
            want = 450;
        QVERIFY2(
            f.value == want,
            qPrintable(
                QStringLiteral("%1 is %2, expected %3").arg(QLatin1String(f.name)).arg(f.value).arg(want)));
    }
    expectSaneBench(w);

    // The session written on close holds the clamped values and reads back as the same bench.
    const QJsonObject shown = setupOf(w);
    QVERIFY(w.close());
    AmpProfile session;
    QVERIFY(loadLastSession(session));
    QJsonObject saved = profileToJson(session);
    saved.remove(QStringLiteral("name"));
    QCOMPARE(describe(saved), describe(shown));
}

// A million readings: within the size limit they load (the window takes the first twelve); written
// longer, the file passes the limit and is treated as absent. Either way the window stays prompt.
void TestHostileWindow::hugeReadingLists_data()
{
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<bool>("readable");
    QTest::addRow("a million readings within the size limit") << QByteArray("41") << true;
    QTest::addRow("a million readings past the size limit") << QByteArray("41.25") << false;
}

void TestHostileWindow::hugeReadingLists()
{
    QFETCH(QByteArray, element);
    QFETCH(bool, readable);

    constexpr int count = 1000000;
    QByteArray list;
    list.reserve(count * (element.size() + 1));
    for (int i = 0; i < count; ++i) {
        if (i)
            list += ',';
        list += element;
    }
    const QByteArray file =
        "{\"name\": \"Hostile many\", \"tube\": \"KT88\", \"tubeCount\": 12, \"meas1\": [" + list +
        "], \"meas2\": [1, 2]}";
    QCOMPARE(file.size() <= maxProfileFileBytes, readable);
    QVERIFY(writeFile(profilePath(QStringLiteral("Hostile many.json")), file));
    QVERIFY(writeFile(sessionPath(), file));
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    const double reading = element.toDouble();
    if (readable) {
        QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("KT88"));
        QCOMPARE(cards(w).size(), 12);
        QCOMPARE(firstReadings(w), QList<double>(12, reading));
        QCOMPARE(listedNames(myAmpsCombo(w)), withBystanders({QStringLiteral("Hostile many")}));
    } else {
        QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6V6GT"));
        QCOMPARE(cards(w).size(), 2);
        QCOMPARE(listedNames(myAmpsCombo(w)), withBystanders({}));
    }
    expectSaneBench(w);

    bystanderStillLoads(w);
    if (readable) {
        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Hostile many")));
        QCOMPARE(firstReadings(w), QList<double>(12, reading));
    }
    w.refreshMyAmps();

    // The session keeps only what the cards show.
    QVERIFY(w.close());
    QVERIFY2(QFileInfo(sessionPath()).size() < 16 * 1024,
             qPrintable(QString::number(QFileInfo(sessionPath()).size())));
}

// A name of 10 000 characters inside a file with a short file name is listed like any other, without
// widening the window. It cannot be loaded, saved or deleted under that name (no file name can be that
// long): picking it changes nothing, Save warns, Delete leaves it listed.
void TestHostileWindow::longNameInTheList()
{
    const QString longName = QStringLiteral("N") + QString(9999, QLatin1Char('n'));
    const QJsonObject file{{QStringLiteral("name"), longName},
                           {QStringLiteral("tube"), QStringLiteral("KT88")},
                           {QStringLiteral("tubeCount"), 3}};
    QVERIFY(writeFile(profilePath(QStringLiteral("Short.json")), jsonBytes(file)));
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    QCOMPARE(listedNames(myAmpsCombo(w)), withBystanders({longName}));
    QCOMPARE(myAmpsCombo(w)->itemData(2).toString(), longName);

    // The window still opens at its own size: the list's fixed minimum width, not its longest entry,
    // is what the header must make room for.
    QCOMPARE(w.size(), QSize(1240, 860));
    QVERIFY2(w.minimumSizeHint().width() <= 1240, qPrintable(QString::number(w.minimumSizeHint().width())));
    QVERIFY2(myAmpsCombo(w)->width() < 1240 / 2, qPrintable(QString::number(myAmpsCombo(w)->width())));

    // The entry loads the file that holds it, whatever that file is called.
    QVERIFY(pickFromList(myAmpsCombo(w), longName));
    QCOMPARE(setupOf(w).value(QStringLiteral("tube")).toString(), QStringLiteral("KT88"));
    QCOMPARE(setupOf(w).value(QStringLiteral("tubeCount")).toInt(), 3);

    BoxSeen warning;
    InputSeen input;
    QCOMPARE(saveThroughWindow(w, longName, &warning, &input), 2);
    // Save suggests the amp on the bench: the profile just loaded.
    QCOMPARE(input.initialText, longName);
    QVERIFY(warning.seen);
    QCOMPARE(warning.title, QStringLiteral("Save failed"));
    QCOMPARE(warning.text, QStringLiteral("Could not write the profile file."));
    QCOMPARE(warning.icon, QMessageBox::Warning);
    QCOMPARE(w.statusBar()->currentMessage(), QString());

    BoxSeen question;
    {
        ModalSeam answer({answerBox(QMessageBox::Yes, &question)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
        QCOMPARE(answer.answered, 1);
    }
    QCOMPARE(question.title, QStringLiteral("Delete Profile"));
    QCOMPARE(question.text, QStringLiteral("Delete \"") + longName + QStringLiteral("\"?"));
    // Delete removes the file that holds the entry, and only that one.
    QCOMPARE(listedNames(myAmpsCombo(w)), withBystanders({}));
    QMap<QString, QByteArray> expected = before;
    expected.remove(QStringLiteral("Short.json"));
    QCOMPARE(profilesDirState(), expected);
    before = expected;
    bystanderStillLoads(w);
}

// File names may be 255 bytes long: a profile name fits when it has at most 250 characters, each unsafe
// one (even one beyond 16 bits) becoming one "_" and ".json" following. A longer one fails with the
// warning and writes nothing; the longest that fits is saved, listed, selected and loads again.
void TestHostileWindow::saveUnderLongNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("saved");
    const QString emoji = QStringLiteral("\U0001F3B8"); // two UTF-16 units, one replaced character
    QTest::addRow("10 000 characters") << QStringLiteral("L") + QString(9999, QLatin1Char('l')) << false;
    QTest::addRow("one past the longest file name")
        << QStringLiteral("L") + QString(250, QLatin1Char('l')) << false;
    QTest::addRow("the longest file name") << QStringLiteral("L") + QString(249, QLatin1Char('l')) << true;
    QTest::addRow("the longest, with spaces around")
        << QStringLiteral("   L") + QString(249, QLatin1Char('l')) + QStringLiteral("  \t") << true;
    QTest::addRow("guitar signs filling the longest file name")
        << QStringLiteral("L") + emoji.repeated(248) + QStringLiteral("l") << true;
    QTest::addRow("one guitar sign too many")
        << QStringLiteral("L") + emoji.repeated(249) + QStringLiteral("l") << false;
}

void TestHostileWindow::saveUnderLongNames()
{
    QFETCH(QString, typed);
    QFETCH(bool, saved);
    const QString name = typed.trimmed();
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(3);
    cards(w)[2]->setMeasurements(44.5, 0);
    const QJsonObject setup = setupOf(w);

    BoxSeen warning;
    QCOMPARE(saveThroughWindow(w, typed, &warning), saved ? 1 : 2);
    if (!saved) {
        QCOMPARE(warning.title, QStringLiteral("Save failed"));
        QCOMPARE(warning.text, QStringLiteral("Could not write the profile file."));
        QCOMPARE(w.statusBar()->currentMessage(), QString());
        QCOMPARE(listedNames(myAmpsCombo(w)), withBystanders({}));
        QCOMPARE(profilesDirState(), before);
        return;
    }
    QVERIFY(!warning.seen);
    QCOMPARE(w.statusBar()->currentMessage(),
             QStringLiteral("Saved profile \"") + name + QStringLiteral("\""));
    QCOMPARE(myAmpsCombo(w)->currentText(), name);
    QVERIFY(QFileInfo::exists(profilePath(profileFileName(name))));
    QCOMPARE(profileFileName(name).toUtf8().size(), 255);

    tubeCountSpin(w)->setValue(1);
    QVERIFY(pickFromList(myAmpsCombo(w), name));
    QCOMPARE(describe(setupOf(w)), describe(setup));
}

// A tube or class name that is no string (or no catalogue row) leaves that list as it is; the rest of
// the file applies.
void TestHostileWindow::namesOfAnotherType_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addRow("a number") << QByteArray("42");
    QTest::addRow("an object") << QByteArray("{\"name\": \"EL34\"}");
    QTest::addRow("an array") << QByteArray("[\"EL34\"]");
    QTest::addRow("null") << QByteArray("null");
    QTest::addRow("a boolean") << QByteArray("true");
    QTest::addRow("other letter case") << QByteArray("\"el34\"");
    QTest::addRow("10 000 characters") << "\"" + QByteArray(10000, 'E') + "\"";
    QTest::addRow("control characters") << QByteArray("\"EL34\\u0000\\n\"");
}

void TestHostileWindow::namesOfAnotherType()
{
    QFETCH(QByteArray, value);
    const QByteArray rest = "\"tubeCount\": 3, \"plateV\": 432, \"meas1\": [33, 34, 35]}";
    const QByteArray file =
        "{\"name\": \"Hostile names\", \"tube\": " + value + ", \"topology\": " + value + ", " + rest;
    QVERIFY(writeFile(profilePath(QStringLiteral("Hostile names.json")), file));
    rememberProfiles();

    // As the last session, names of another type read like missing ones. (The bench a session without them
    // gives is the same for every row, so it is looked at once.)
    if (setupWithoutNames.isEmpty()) {
        QVERIFY(writeFile(sessionPath(), "{\"name\": \"_last\", " + rest));
        setupWithoutNames = setupOf(*openWindow());
    }
    QVERIFY(writeFile(sessionPath(), file));
    const auto window = openWindow();
    MainWindow& w = *window;
    QJsonObject shown = setupOf(w);
    QJsonObject expected = setupWithoutNames;
    const QJsonValue name = QJsonDocument::fromJson("[" + value + "]").array().at(0);
    QCOMPARE(w.session().setup().unknown.tube.has_value(), name.isString());
    if (name.isString()) {
        // A name of the right type that no catalogue row has is kept as it was, its readings unrated;
        // the bench's own tube and class stand in.
        QCOMPARE(shown.value(QStringLiteral("tube")), name);
        QCOMPARE(shown.value(QStringLiteral("topology")), name);
        QVERIFY(!w.session().result(0).valid);
        for (QJsonObject* setup : {&shown, &expected}) {
            setup->remove(QStringLiteral("tube"));
            setup->remove(QStringLiteral("topology"));
        }
    }
    QCOMPARE(describe(shown), describe(expected));
    QCOMPARE(cards(w).size(), 3);
    QCOMPARE(plateVSpin(w)->value(), 432.0);

    QVERIFY(choose(tubeCombo(w), QStringLiteral("6L6GC")));
    QVERIFY(choose(classCombo(w), cathodeBias));
    tubeCountSpin(w)->setValue(6);
    plateVSpin(w)->setValue(400);
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Hostile names")));
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6L6GC"));
    QCOMPARE(classCombo(w)->currentText(), cathodeBias);
    QCOMPARE(cards(w).size(), 3);
    QCOMPARE(plateVSpin(w)->value(), 432.0);
    QCOMPARE(firstReadings(w), (QList<double>{33, 34, 35}));
    expectSaneBench(w);
}

// Nesting deeper than the JSON reader accepts makes the file unreadable, which means absent; nesting it
// accepts inside the preamp chain gives a stage with the defaults.
void TestHostileWindow::deepNesting_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("readable");
    const QByteArray deepArrays = QByteArray(100000, '[') + QByteArray(100000, ']');
    QTest::addRow("100 000 nested arrays as the whole file") << deepArrays << false;
    QTest::addRow("100 000 nested arrays in preampStages")
        << "{\"name\": \"Hostile deep\", \"tubeCount\": 3, \"preampStages\": [" + deepArrays + "]}" << false;
    QTest::addRow("100 000 nested objects in meas1")
        << "{\"name\": \"Hostile deep\", \"tubeCount\": 3, \"meas1\": " +
               QByteArray("{\"a\":").repeated(100000) + "1" + QByteArray(100000, '}') + "}"
        << false;
    QTest::addRow("a million unclosed arrays")
        << "{\"name\": \"Hostile deep\", \"tubeCount\": 3, \"preampStages\": " + QByteArray(1000000, '[')
        << false;
    QTest::addRow("200 nested arrays as a stage")
        << "{\"name\": \"Hostile deep\", \"tubeCount\": 3, \"preampStages\": [" + QByteArray(200, '[') +
               QByteArray(200, ']') + "]}"
        << true;
}

void TestHostileWindow::deepNesting()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, readable);
    QVERIFY(writeFile(profilePath(QStringLiteral("Hostile deep.json")), file));
    QVERIFY(writeFile(sessionPath(), file));
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    QCOMPARE(cards(w).size(), readable ? 3 : 2);
    QCOMPARE(listedNames(myAmpsCombo(w)),
             withBystanders(readable ? QStringList{QStringLiteral("Hostile deep")} : QStringList{}));
    const QJsonArray chain = w.preampView()->stagesJson();
    const QJsonArray expectedChain = readable
                                         ? QJsonArray{defaultStage(firstTriode)}
                                         : QJsonArray{defaultStage(firstTriode), defaultStage(firstTriode)};
    QCOMPARE(chain, expectedChain);
    expectSaneBench(w);
    bystanderStillLoads(w);
}

// Files far beyond the size limit are turned away unread: a 50 MB profile that would be valid JSON, and
// a 2 GB file (sparse, so it costs no disk) that would take seconds and gigabytes to read.
void TestHostileWindow::hugeFiles_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("sparse");
    QTest::addRow("50 MB of a valid profile") << qint64(50) * 1000 * 1000 << false;
    QTest::addRow("2 GB") << qint64(2) * 1024 * 1024 * 1024 << true;
}

void TestHostileWindow::hugeFiles()
{
    QFETCH(qint64, size);
    QFETCH(bool, sparse);
    for (const QString& path : {profilePath(QStringLiteral("Hostile huge.json")), sessionPath()}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray head = "{\"name\": \"Hostile huge\", \"tube\": \"KT88\", \"tubeCount\": 6}";
        QCOMPARE(file.write(head), qint64(head.size()));
        if (sparse) {
            QVERIFY(file.resize(size));
        } else {
            const QByteArray padding(1024 * 1024, ' ');
            while (file.size() + padding.size() <= size)
                QCOMPARE(file.write(padding), qint64(padding.size()));
            QVERIFY(file.write(QByteArray(size - file.size(), ' ')) >= 0);
        }
        file.close();
        QCOMPARE(QFileInfo(path).size(), size);
    }
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6V6GT"));
    QCOMPARE(cards(w).size(), 2);
    QCOMPARE(listedNames(myAmpsCombo(w)), withBystanders({}));

    for (int i = 0; i < 5; ++i)
        w.refreshMyAmps();
    bystanderStillLoads(w);
}

// Things in the profiles directory that are no files at all: a directory, links that loop, a named pipe
// that would block a plain open until some other program writes to it, a link to a device that never
// ends. None is listed, none holds up the start, and none is taken for the last session.
void TestHostileWindow::thingsThatAreNoFiles_data()
{
    QTest::addColumn<QString>("sessionKind");
    QTest::addRow("session is a directory") << QStringLiteral("directory");
    QTest::addRow("session is a link to itself") << QStringLiteral("loop");
    QTest::addRow("session is a named pipe") << QStringLiteral("pipe");
    QTest::addRow("session is a link to a named pipe elsewhere") << QStringLiteral("link to pipe");
}

void TestHostileWindow::thingsThatAreNoFiles()
{
    QFETCH(QString, sessionKind);
    QVERIFY(QDir().mkpath(profilePath(QStringLiteral("Hostile folder.json"))));
    QVERIFY(
        writeFile(profilePath(QStringLiteral("Hostile folder.json/inner.json")), "{\"name\": \"Inner\"}"));
    QVERIFY(QFile::link(profilePath(QStringLiteral("Hostile loop.json")),
                        profilePath(QStringLiteral("Hostile loop.json"))));
    QVERIFY(QFile::link(profilePath(QStringLiteral("Ping.json")), profilePath(QStringLiteral("Pong.json"))));
    QVERIFY(QFile::link(profilePath(QStringLiteral("Pong.json")), profilePath(QStringLiteral("Ping.json"))));
    QCOMPARE(::mkfifo(QFile::encodeName(profilePath(QStringLiteral("Hostile pipe.json"))).constData(), 0600),
             0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), profilePath(QStringLiteral("Hostile zero.json"))));
    if (sessionKind == QStringLiteral("directory"))
        QVERIFY(QDir().mkpath(sessionPath()));
    else if (sessionKind == QStringLiteral("loop"))
        QVERIFY(QFile::link(sessionPath(), sessionPath()));
    else if (sessionKind == QStringLiteral("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(sessionPath()).constData(), 0600), 0);
    else {
        // A pipe rather than a device, so that even a session written through the link harms nothing.
        const QString elsewhere = home.filePath(QStringLiteral("session.pipe"));
        QFile::remove(elsewhere);
        QCOMPARE(::mkfifo(QFile::encodeName(elsewhere).constData(), 0600), 0);
        QVERIFY(QFile::link(elsewhere, sessionPath()));
    }
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6V6GT"));
    QCOMPARE(cards(w).size(), 2);
    QCOMPARE(listedNames(myAmpsCombo(w)), withBystanders({}));
    bystanderStillLoads(w);

    // Closing cannot put the session where something else is; it closes all the same and leaves the
    // thing in the session's place as it was.
    struct stat info {
    };
    const QByteArray session = QFile::encodeName(sessionPath());
    QCOMPARE(::lstat(session.constData(), &info), 0);
    const mode_t kindBefore = info.st_mode & S_IFMT;
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QCOMPARE(::lstat(session.constData(), &info), 0);
    QCOMPARE(info.st_mode & S_IFMT, kindBefore);
}

// Saving under the name of something that is no regular file fails with the warning and leaves that
// thing as it was. Above all a link is never followed into a device or a pipe: the program would
// otherwise write into it or, with the rights to do so, put a file in its place.
void TestHostileWindow::savingOverThingsThatAreNoFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addRow("a directory") << QStringLiteral("directory");
    QTest::addRow("a link to itself") << QStringLiteral("loop");
    QTest::addRow("a named pipe") << QStringLiteral("pipe");
    QTest::addRow("a link to a named pipe elsewhere") << QStringLiteral("link to pipe");
}

void TestHostileWindow::savingOverThingsThatAreNoFiles()
{
    QFETCH(QString, kind);
    const QString path = profilePath(QStringLiteral("Hostile thing.json"));
    const QString elsewhere = home.filePath(QStringLiteral("elsewhere.pipe"));
    QFile::remove(elsewhere);
    QVERIFY(QDir().mkpath(profilesPath()));
    if (kind == QStringLiteral("directory")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QStringLiteral("loop")) {
        QVERIFY(QFile::link(path, path));
    } else if (kind == QStringLiteral("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QCOMPARE(::mkfifo(QFile::encodeName(elsewhere).constData(), 0600), 0);
        QVERIFY(QFile::link(elsewhere, path));
    }
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    BoxSeen warning;
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Hostile thing"), &warning), 2);
    QCOMPARE(warning.title, QStringLiteral("Save failed"));
    QCOMPARE(warning.text, QStringLiteral("Could not write the profile file."));
    QCOMPARE(w.statusBar()->currentMessage(), QString());
    QCOMPARE(profilesDirState(), before);
    if (kind == QStringLiteral("link to pipe")) {
        struct stat info {
        };
        QCOMPARE(::lstat(QFile::encodeName(elsewhere).constData(), &info), 0);
        QVERIFY2(S_ISFIFO(info.st_mode), "the pipe the link points to must still be a pipe");
    }

    // A link to an ordinary profile file elsewhere is still saved through, as before.
    const QString kept = home.filePath(QStringLiteral("kept-elsewhere.json"));
    QVERIFY(writeFile(kept, "{\"name\": \"Linked\"}"));
    QVERIFY(QFile::link(kept, profilePath(QStringLiteral("Linked.json"))));
    tubeCountSpin(w)->setValue(5);
    // The profile there is replaced once the question is answered Yes.
    BoxSeen question;
    {
        ModalSeam seam({answerText(QStringLiteral("Linked")), answerBox(QMessageBox::Yes, &question)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        QCOMPARE(seam.answered, 2);
    }
    QCOMPARE(question.title, QStringLiteral("Replace Profile"));
    QVERIFY(QFileInfo(profilePath(QStringLiteral("Linked.json"))).isSymLink());
    QCOMPARE(QJsonDocument::fromJson(readFile(kept)).object().value(QStringLiteral("tubeCount")).toInt(), 5);
    QVERIFY(QFile::remove(kept));
}

// Preamp chains with elements no version of the program wrote: each element that is no object gives a
// stage with the defaults, a tube of another type keeps the stage's tube, numbers beyond a field land
// at its end, at most eight stages are built, and a chain that is no array leaves the one on screen.
void TestHostileWindow::hostilePreampStages_data()
{
    QTest::addColumn<QByteArray>("stages");
    QTest::addColumn<QJsonArray>("expected");

    // The chain on screen before the pick; its first stage is reused by the load.
    const QString before = QStringLiteral("6SN7");
    const QJsonObject fresh = defaultStage(firstTriode);

    QTest::addRow("values that are no objects")
        << QByteArray("[1, \"12AX7\", null, [], true, -1e308]")
        << QJsonArray{defaultStage(before), fresh, fresh, fresh, fresh, fresh};
    QTest::addRow("tubes of another type")
        << QByteArray("[{\"tube\": 42, \"bPlus\": 250}, {\"tube\": {\"name\": \"6SN7\"}, \"plateRK\": 220},"
                      " {\"tube\": [\"6SN7\"], \"cathodeR\": 2700}, {\"tube\": null, \"bypassUF\": 0}]")
        << QJsonArray{stage(before, 250, 100, 1500, 25, 1000), stage(firstTriode, 300, 220, 1500, 25, 1000),
                      stage(firstTriode, 300, 100, 2700, 25, 1000),
                      stage(firstTriode, 300, 100, 1500, 0, 1000)};
    QTest::addRow("numbers beyond every field")
        << QByteArray("[{\"tube\": \"6SN7\", \"bPlus\": 1e308, \"plateRK\": -1e308, \"cathodeR\": \"NaN\","
                      " \"bypassUF\": \"Infinity\", \"nextGridRK\": 1.7976931348623157e308},"
                      " {\"bPlus\": -1e308, \"plateRK\": 1e308, \"cathodeR\": -1e308, \"bypassUF\": 1e308,"
                      " \"nextGridRK\": -1e308}]")
        << QJsonArray{stage(QStringLiteral("6SN7"), 500, 1, 1500, 25, 10000),
                      stage(firstTriode, 50, 1000, 100, 1000, 0)};
    QJsonArray eight;
    for (int i = 0; i < 8; ++i)
        eight.append(stage(firstTriode, 200 + i, 100, 1500, 25, 1000));
    QByteArray thousand = "[";
    for (int i = 0; i < 1000; ++i)
        thousand += (i ? ", " : "") + QByteArray("{\"bPlus\": ") + QByteArray::number(200 + i) + "}";
    thousand += "]";
    eight[0] = stage(before, 200, 100, 1500, 25, 1000);
    QTest::addRow("a thousand stages") << thousand << eight;
    QTest::addRow("a stage with a huge unknown key")
        << "[{\"tube\": \"6SN7\", \"notes\": \"" + QByteArray(1000000, 'x') + "\", \"bPlus\": 280}]"
        << QJsonArray{stage(QStringLiteral("6SN7"), 280, 100, 1500, 25, 1000)};

    const QJsonArray unchanged{stage(before, 250, 220, 2200, 0, 470),
                               stage(firstTriode, 280, 100, 1500, 25, 1000),
                               stage(firstTriode, 300, 47, 820, 1, 0)};
    QTest::addRow("an object, no array") << QByteArray("{\"tube\": \"6SN7\", \"bPlus\": 200}") << unchanged;
    QTest::addRow("a string, no array") << QByteArray("\"V1a V1b\"") << unchanged;
    QTest::addRow("a number, no array") << QByteArray("3") << unchanged;
}

void TestHostileWindow::hostilePreampStages()
{
    QFETCH(QByteArray, stages);
    QFETCH(QJsonArray, expected);
    const QByteArray file =
        "{\"name\": \"Hostile chain\", \"tube\": \"EL84 / 6BQ5\", \"tubeCount\": 4, \"preampStages\": " +
        stages + "}";
    QVERIFY(writeFile(profilePath(QStringLiteral("Hostile chain.json")), file));
    rememberProfiles();

    const auto window = openWindow();
    MainWindow& w = *window;
    w.preampView()->loadStages({stage(QStringLiteral("6SN7"), 250, 220, 2200, 0, 470),
                                stage(firstTriode, 280, 100, 1500, 25, 1000),
                                stage(firstTriode, 300, 47, 820, 1, 0)});
    QCOMPARE(w.preampView()->stagesJson().size(), 3);

    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Hostile chain")));
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("EL84 / 6BQ5"));
    QCOMPARE(cards(w).size(), 4);
    const QJsonArray shown = w.preampView()->stagesJson();
    QCOMPARE(shown.size(), expected.size());
    for (int i = 0; i < shown.size(); ++i)
        QVERIFY2(shown.at(i) == expected.at(i), qPrintable(QStringLiteral("stage %1 is %2, expected %3")
                                                               .arg(i)
                                                               .arg(describe(shown.at(i).toObject()))
                                                               .arg(describe(expected.at(i).toObject()))));
    const QList<PreampStageWidget*>& cards = w.preampView()->stageCards();
    for (int i = 0; i < cards.size(); ++i)
        QCOMPARE(cards[i]->index(), i);
    expectSaneBench(w);
}

QTEST_MAIN(TestHostileWindow)
#include "tst_hostilewindow.moc"
