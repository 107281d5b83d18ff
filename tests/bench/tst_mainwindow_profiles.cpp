// The bench window's profile side, driven through the real window: "MY AMPS" with Save, Delete and
// loading, the last session written on close and restored at the next start, the profiles copied over
// from the former program at the first start, and the one-time welcome dialog with its donation page.
#include "app/buildconfig.h"
#include "app/legacymigration.h"
#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"
#include "catalog/ampclasses.h"
#include "catalog/presets.h"
#include "catalog/tubes.h"
#include "datasheet/datasheetpanel.h"
#include "preamp/preampview.h"

#include "mockclock.h"
#include "testfiles.h"
#include "windowdriver.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

namespace {

const QString promptKey = QStringLiteral("firstRunDonatePromptShown");
const QString fixedBias = QStringLiteral("Push-Pull Class AB (fixed bias)");
const QString cathodeBias = QStringLiteral("Push-Pull Class AB (cathode bias)");
const QString rfLinear = QStringLiteral("RF Linear (Class AB/B)");
const QString classA = QStringLiteral("Push-Pull Class A");
const QString placeholder = QStringLiteral("— my saved amps —");

// Every entry in the profiles directory, hidden ones and directories included.
QStringList profilesDirEntries()
{
    return QDir(profilesPath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A welcome dialog as it was seen when it opened.
struct WelcomeSeen {
    bool seen = false;
    QString title;
    QString objectName;
    int minimumWidth = 0;
    QString titleText;
    QString bodyText;
    bool bodyWraps = false;
    int bodyHeight = 0;       // px the body label got
    int bodyHeightNeeded = 0; // px its wrapped text needs at the label's width
    QStringList buttonTexts;
    QString defaultButton;
    QString donateObjectName;
    Qt::CursorShape donateCursor = Qt::ArrowCursor;
    QMargins margins;
    int spacing = -1;
};

void recordWelcome(QWidget* modal, WelcomeSeen& seen)
{
    seen.seen = true;
    seen.title = modal->windowTitle();
    seen.objectName = modal->objectName();
    seen.minimumWidth = modal->minimumWidth();
    if (auto* title = modal->findChild<QLabel*>(QStringLiteral("donateTitle")))
        seen.titleText = title->text();
    if (auto* body = modal->findChild<QLabel*>(QStringLiteral("donateBody"))) {
        seen.bodyText = body->text();
        seen.bodyWraps = body->wordWrap();
        seen.bodyHeight = body->height();
        seen.bodyHeightNeeded = body->heightForWidth(body->width());
    }
    const QList<QPushButton*> buttons = modal->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        seen.buttonTexts << button->text();
        if (button->isDefault())
            seen.defaultButton = button->text();
        if (button->text() == QStringLiteral("Donate/Support")) {
            seen.donateObjectName = button->objectName();
            seen.donateCursor = button->cursor().shape();
        }
    }
    if (QLayout* layout = modal->layout()) {
        seen.margins = layout->contentsMargins();
        seen.spacing = layout->spacing();
    }
}

// Restores the file size limit and the SIGXFSZ disposition however the test leaves.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active = false;

private:
    rlimit saved{};
    void (*previousHandler)(int) = SIG_DFL;
};

} // namespace

class TestMainWindowProfiles : public QObject
{
    Q_OBJECT

private:
    // Named explicitly: the default template would carry the application name, and the former
    // program's directory is found by replacing that name in the data path.
    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/tst_mainwindow_profiles-XXXXXX")};
    QList<QUrl> openedUrls;

    // Sets up a bench that differs from the defaults in every field the row names.
    void setUpBench(MainWindow& w, const QString& tube, const QString& ampClass, int method, int tubes,
                    const QList<double>& meas1, const QList<double>& meas2);

public slots:
    void openUrl(const QUrl& url) { openedUrls << url; }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void firstStartWithoutUsableSessionShowsDefaults_data();
    void firstStartWithoutUsableSessionShowsDefaults();
    void savedProfileRestoresTheBenchExactly_data();
    void savedProfileRestoresTheBenchExactly();
    void namesFilesAndListOrder_data();
    void namesFilesAndListOrder();
    void cancelledOrBlankSaveWritesNothing_data();
    void cancelledOrBlankSaveWritesNothing();
    void placeholderSaveStartsEmptyAndDeleteDoesNothing();
    void deleteAsksAndRemoves();
    void namesInQuestionsAreText();
    void copiedAndRenamedFilesAreEntriesOfTheirOwn();
    void searchFindsAnAmpByItsRecord_data();
    void searchFindsAnAmpByItsRecord();
    void searchShowsRecentlyUsedAmpsFirst();
    void handWrittenFileIsCoerced();
    void unknownNamesAreSaidAndNotRated_data();
    void unknownNamesAreSaidAndNotRated();
    void sessionWithAnUnknownTubeKeepsIt();
    void readingsFollowTheTubeCount_data();
    void readingsFollowTheTubeCount();
    void savedTargetWinsOverClassDefault_data();
    void savedTargetWinsOverClassDefault();
    void vanishedProfileIsIgnored();
    void preampChainTravelsWithTheProfile();
    void closeWritesSessionAndNextStartRestoresIt();
    void closeWithUnwritableSessionStillCloses();
    void directoryInPlaceOfTheFileWarns();
    void fullDiskWarnsAndKeepsTheOldFile();
    void legacyProfilesAreListedAtTheFirstStart();
    void welcomeDialogOpensOnceAfterTheFirstStart();
    void welcomeDialogButtons_data();
    void welcomeDialogButtons();
    void quittingWithinTheDelayNeverBringsItBack();
    void headerDonateOpensThePageAndChangesNothing();
};

void TestMainWindowProfiles::initTestCase()
{
    QVERIFY(home.isValid());
    // In test mode Qt puts data and settings under $HOME/.qttest; nothing may reach the real home.
    useTemporaryProgramHome(home);
    QVERIFY2(appDataPath().startsWith(home.path()), qPrintable(appDataPath()));
    QVERIFY2(QSettings().fileName().startsWith(home.path()), qPrintable(QSettings().fileName()));
    QVERIFY2(!appDataPath().section(QLatin1Char('/'), 0, -2).contains(QStringLiteral("Ambertrace")),
             "only the last part of the data path may name the program");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
}

void TestMainWindowProfiles::init()
{
    QVERIFY(QDir(appDataPath()).removeRecursively());
    QVERIFY(QDir(legacyDataDir(appDataPath())).removeRecursively());
    // Most tests are not about the welcome dialog; those that are remove the flag themselves.
    QSettings().setValue(promptKey, true);
    openedUrls.clear();
}

void TestMainWindowProfiles::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void TestMainWindowProfiles::setUpBench(MainWindow& w, const QString& tube, const QString& ampClass,
                                        int method, int tubes, const QList<double>& meas1,
                                        const QList<double>& meas2)
{
    QVERIFY(choose(tubeCombo(w), tube));
    QVERIFY(choose(classCombo(w), ampClass));
    QVERIFY(chooseMethod(w, method));
    tubeCountSpin(w)->setValue(tubes);
    QCOMPARE(cards(w).size(), tubes);
    for (int i = 0; i < tubes; ++i)
        cards(w)[i]->setMeasurements(meas1.value(i), meas2.value(i));
}

void TestMainWindowProfiles::firstStartWithoutUsableSessionShowsDefaults_data()
{
    QTest::addColumn<QByteArray>("sessionFile"); // empty: no file at all
    QTest::addColumn<bool>("directory");         // a directory where the file belongs

    QTest::addRow("no session file") << QByteArray() << false;
    QTest::addRow("broken JSON") << QByteArray("{\"tube\": \"KT88\", ") << false;
    QTest::addRow("an array, not an object") << QByteArray("[{\"tube\": \"KT88\"}]") << false;
    QTest::addRow("a directory") << QByteArray() << true;
}

void TestMainWindowProfiles::firstStartWithoutUsableSessionShowsDefaults()
{
    QFETCH(QByteArray, sessionFile);
    QFETCH(bool, directory);
    if (!sessionFile.isEmpty())
        QVERIFY(writeFile(sessionPath(), sessionFile));
    if (directory)
        QVERIFY(QDir().mkpath(sessionPath()));

    const auto window = openWindow();
    MainWindow& w = *window;

    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6V6GT"));
    QCOMPARE(classCombo(w)->currentText(), fixedBias);
    QCOMPARE(w.session().setup().method, 0);
    QCOMPARE(tubeCountSpin(w)->value(), 2);
    QCOMPARE(cards(w).size(), 2);
    QCOMPARE(plateVSpin(w)->value(), 350.0);
    QCOMPARE(targetSlider(w)->value(), 65);
    QCOMPARE(itemTexts(myAmpsCombo(w)), QStringList{placeholder});
    QVERIFY2(!myAmpsCombo(w)->itemData(0).isValid(), "the placeholder carries no item data");
    QVERIFY2(QFileInfo(profilesPath()).isDir(), "reading the session creates the profiles directory");
}

void TestMainWindowProfiles::savedProfileRestoresTheBenchExactly_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("tubes");
    QTest::addColumn<QList<double>>("meas1");
    QTest::addColumn<QList<double>>("meas2"); // the second field is hidden except for method 2

    QTest::addRow("KT88, sense resistor, hidden second readings")
        << QStringLiteral("KT88") << fixedBias << 1 << 4 << QList<double>{352.5, 360, 340, 355.5}
        << QList<double>{12.5, 0, 3.5, 7};
    QTest::addRow("custom tube, OT winding drop")
        << QStringLiteral("Custom...") << classA << 2 << 3 << QList<double>{440, 438.5, 441}
        << QList<double>{55, 60.5, 58};
    QTest::addRow("EL84, cathode bias") << QStringLiteral("EL84 / 6BQ5") << cathodeBias << 3 << 2
                                        << QList<double>{10.25, 11.5} << QList<double>{0, 0};
    QTest::addRow("3-500Z, panel meter, one tube")
        << QStringLiteral("3-500Z") << rfLinear << 4 << 1 << QList<double>{160} << QList<double>{0};
}

void TestMainWindowProfiles::savedProfileRestoresTheBenchExactly()
{
    QFETCH(QString, tube);
    QFETCH(QString, ampClass);
    QFETCH(int, method);
    QFETCH(int, tubes);
    QFETCH(QList<double>, meas1);
    QFETCH(QList<double>, meas2);

    const auto window = openWindow();
    MainWindow& w = *window;
    setUpBench(w, tube, ampClass, method, tubes, meas1, meas2);
    if (QTest::currentTestFailed())
        return;
    // Every shared value and check box away from its default, the slider away from the class default.
    maxWSpin(w)->setValue(42.5);
    plateVSpin(w)->setValue(480);
    bPlusSpin(w)->setValue(460);
    senseSpin(w)->setValue(10);
    cathodeRSpin(w)->setValue(130);
    sharedPairCheck(w)->setChecked(true);
    subtractScreenCheck(w)->setChecked(true);
    meterTotalCheck(w)->setChecked(false);
    targetSlider(w)->setValue(targetSlider(w)->value() == 58 ? 57 : 58);

    const QJsonObject saved = setupOf(w);
    QCOMPARE(firstReadings(w), meas1);
    QCOMPARE(secondReadings(w), meas2);
    QList<double> currents;
    for (const TubeCardWidget* card : cards(w)) {
        QVERIFY2(w.session().result(card->index()).valid, "every card has a reading to compare");
        currents << w.session().result(card->index()).currentMa;
    }
    const QString matchText = matchLabel(w)->text();
    const QString targetText = targetCurrentLabel(w)->text();

    QCOMPARE(saveThroughWindow(w, QStringLiteral("Bench A")), 1);
    QCOMPARE(myAmpsCombo(w)->currentText(), QStringLiteral("Bench A"));
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Saved profile \"Bench A\""));
    QJsonObject inFile = readJsonObject(profilesPath() + QStringLiteral("/Bench A.json"));
    QCOMPARE(inFile.value(QStringLiteral("name")).toString(), QStringLiteral("Bench A"));
    inFile.remove(QStringLiteral("name"));
    QVERIFY2(inFile == saved,
             qPrintable(describe(inFile) + QStringLiteral("\nexpected\n") + describe(saved)));

    // Move everything away: a preset rebuilds the cards and resets the lists and the slider.
    const int presetRow = presetCombo(w)->findText(QStringLiteral("Deluxe Reverb"));
    QVERIFY(pickFromList(presetCombo(w), QStringLiteral("Deluxe Reverb")));
    const int presetChosen = w.selectedPreset();
    QVERIFY(presetChosen >= 0);
    QVERIFY(setupOf(w) != saved);

    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Bench A")));
    const QJsonObject restored = setupOf(w);
    QVERIFY2(restored == saved,
             qPrintable(describe(restored) + QStringLiteral("\nexpected\n") + describe(saved)));
    QCOMPARE(cards(w).size(), tubes);
    for (int i = 0; i < tubes; ++i) {
        QCOMPARE(cards(w)[i]->method(), method);
        QVERIFY2(w.session().result(i).valid,
                 qPrintable(QStringLiteral("card %1 has its reading back").arg(i + 1)));
        QVERIFY2(qAbs(w.session().result(i).currentMa - currents[i]) < 1e-9,
                 qPrintable(QStringLiteral("card %1: %2 mA, expected %3 mA")
                                .arg(i + 1)
                                .arg(w.session().result(i).currentMa)
                                .arg(currents[i])));
    }
    QCOMPARE(matchLabel(w)->text(), matchText);
    QCOMPARE(targetCurrentLabel(w)->text(), targetText);
    QCOMPARE(maxWSpin(w)->isVisible(), tube == QStringLiteral("Custom..."));
    // Loading a profile leaves the preset list, the chosen preset and its schematic button alone.
    QCOMPARE(presetCombo(w)->currentIndex(), presetRow);
    QCOMPARE(w.selectedPreset(), presetChosen);
    QVERIFY(schematicButton(w)->isEnabled());
}

void TestMainWindowProfiles::namesFilesAndListOrder_data()
{
    QTest::addColumn<QStringList>("typed");  // saved one after the other
    QTest::addColumn<QStringList>("files");  // the profiles directory afterwards
    QTest::addColumn<QStringList>("listed"); // "MY AMPS" after the placeholder
    QTest::addColumn<QString>("current");    // the entry selected after the last save

    QTest::addRow("apostrophe replaced in the file name only")
        << QStringList{QStringLiteral("Fender '65 Twin")}
        << QStringList{QStringLiteral("Fender _65 Twin.json")}
        << QStringList{QStringLiteral("Fender '65 Twin")} << QStringLiteral("Fender '65 Twin");
    QTest::addRow("two names that map to one file keep a file each")
        << QStringList{QStringLiteral("A/B"), QStringLiteral("A:B")}
        << QStringList{QStringLiteral("A_B-") +
                           QString::fromLatin1(
                               QCryptographicHash::hash("A:B", QCryptographicHash::Sha1).toHex().left(8)) +
                           QStringLiteral(".json"),
                       QStringLiteral("A_B.json")}
        << QStringList{QStringLiteral("A:B"), QStringLiteral("A/B")} << QStringLiteral("A:B");
    QTest::addRow("outer blanks trimmed, inner ones kept")
        << QStringList{QStringLiteral("  Deluxe  Reverb \t")}
        << QStringList{QStringLiteral("Deluxe  Reverb.json")} << QStringList{QStringLiteral("Deluxe  Reverb")}
        << QStringLiteral("Deluxe  Reverb");
    QTest::addRow("capitals sort first")
        << QStringList{QStringLiteral("alpha"), QStringLiteral("Zebra")}
        << QStringList{QStringLiteral("Zebra.json"), QStringLiteral("alpha.json")}
        << QStringList{QStringLiteral("Zebra"), QStringLiteral("alpha")} << QStringLiteral("Zebra");
    QTest::addRow("leading full stop stays listed")
        << QStringList{QStringLiteral(".hidden amp"), QStringLiteral("Bassman")}
        << QStringList{QStringLiteral(".hidden amp.json"), QStringLiteral("Bassman.json")}
        << QStringList{QStringLiteral(".hidden amp"), QStringLiteral("Bassman")} << QStringLiteral("Bassman");
}

void TestMainWindowProfiles::namesFilesAndListOrder()
{
    QFETCH(QStringList, typed);
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);
    QFETCH(QString, current);

    const auto window = openWindow();
    MainWindow& w = *window;
    // A different tube count for every save, so each file can be told apart when it is loaded.
    for (int i = 0; i < typed.size(); ++i) {
        tubeCountSpin(w)->setValue(i + 3);
        QCOMPARE(saveThroughWindow(w, typed[i]), 1);
    }
    const QString last = typed.last().trimmed();
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Saved profile \"%1\"").arg(last));

    QCOMPARE(profilesDirEntries(), files);
    QCOMPARE(itemTexts(myAmpsCombo(w)), QStringList{placeholder} + listed);
    for (int i = 1; i < myAmpsCombo(w)->count(); ++i)
        QCOMPARE(myAmpsCombo(w)->itemData(i).toString(), myAmpsCombo(w)->itemText(i));
    QCOMPARE(myAmpsCombo(w)->currentText(), current);

    // The listed name leads back to its file.
    tubeCountSpin(w)->setValue(1);
    QVERIFY(pickFromList(myAmpsCombo(w), last));
    QCOMPARE(tubeCountSpin(w)->value(), int(typed.size()) + 2);
    QCOMPARE(cards(w).size(), int(typed.size()) + 2);
}

void TestMainWindowProfiles::cancelledOrBlankSaveWritesNothing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("cancel");

    QTest::addRow("cancelled with a name typed") << QStringLiteral("Twin") << true;
    QTest::addRow("empty name") << QString() << false;
    QTest::addRow("only blanks") << QStringLiteral("  \t  ") << false;
}

void TestMainWindowProfiles::cancelledOrBlankSaveWritesNothing()
{
    QFETCH(QString, typed);
    QFETCH(bool, cancel);

    const auto window = openWindow();
    MainWindow& w = *window;
    InputSeen input;
    ModalSeam responder({answerText(typed, &input, cancel)});
    QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);

    QVERIFY(input.seen);
    QCOMPARE(responder.answered, 1); // no warning either
    QCOMPARE(profilesDirEntries(), QStringList());
    QCOMPARE(itemTexts(myAmpsCombo(w)), QStringList{placeholder});
    QCOMPARE(w.statusBar()->currentMessage(), QString());
}

void TestMainWindowProfiles::placeholderSaveStartsEmptyAndDeleteDoesNothing()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    QCOMPARE(myAmpsCombo(w)->currentText(), placeholder);

    {
        InputSeen input;
        ModalSeam responder({answerText(QStringLiteral("Twin"), &input)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        QVERIFY(input.seen);
        QCOMPARE(input.title, QStringLiteral("Save Amp Profile"));
        QCOMPARE(input.label, QStringLiteral("Profile name:"));
        QCOMPARE(input.echo, QLineEdit::Normal);
        QCOMPARE(input.initialText, QString());
    }
    QCOMPARE(myAmpsCombo(w)->currentText(), QStringLiteral("Twin"));

    // With a profile selected the dialog offers its name, so saving again is one keypress.
    {
        InputSeen input;
        ModalSeam responder({answerText(QStringLiteral("Twin"), &input, true)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        QCOMPARE(input.initialText, QStringLiteral("Twin"));
    }

    // "Delete" on the placeholder neither asks nor removes anything.
    myAmpsCombo(w)->setCurrentIndex(0);
    const QJsonObject before = setupOf(w);
    QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
    QCOMPARE(profilesDirEntries(), QStringList{QStringLiteral("Twin.json")});
    QCOMPARE(itemTexts(myAmpsCombo(w)), (QStringList{placeholder, QStringLiteral("Twin")}));
    QCOMPARE(setupOf(w), before);
}

void TestMainWindowProfiles::deleteAsksAndRemoves()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(3);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Fender '65 Twin")), 1);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Bassman")), 1);
    tubeCountSpin(w)->setValue(4);
    cards(w)[0]->setMeasurements(30, 0);
    QVERIFY(choose(myAmpsCombo(w), QStringLiteral("Fender '65 Twin")));
    const QJsonObject onScreen = setupOf(w);

    BoxSeen question;
    {
        ModalSeam responder({answerBox(QMessageBox::No, &question)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
        QCOMPARE(responder.answered, 1);
    }
    QVERIFY(question.seen);
    QCOMPARE(question.title, QStringLiteral("Delete Profile"));
    QCOMPARE(question.text, QStringLiteral("Delete \"Fender '65 Twin\"?"));
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    // Enter keeps the profile.
    QCOMPARE(QString(question.defaultButton).remove(QLatin1Char('&')), QStringLiteral("No"));
    QCOMPARE(profilesDirEntries(),
             (QStringList{QStringLiteral("Bassman.json"), QStringLiteral("Fender _65 Twin.json")}));
    QCOMPARE(myAmpsCombo(w)->currentText(), QStringLiteral("Fender '65 Twin"));

    {
        BoxSeen yes;
        ModalSeam responder({answerBox(QMessageBox::Yes, &yes)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
        QVERIFY(yes.seen);
    }
    QCOMPARE(profilesDirEntries(), QStringList{QStringLiteral("Bassman.json")});
    QCOMPARE(itemTexts(myAmpsCombo(w)), (QStringList{placeholder, QStringLiteral("Bassman")}));
    QCOMPARE(myAmpsCombo(w)->currentIndex(), 0);
    // Deleting a profile does not touch the bench on screen.
    QCOMPARE(setupOf(w), onScreen);
}

// A name is what the user typed, markup or not: the questions show it as text, never as a link.
void TestMainWindowProfiles::namesInQuestionsAreText()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    const QString name = QStringLiteral("<b>Bold</b> & <a href='file:///etc/passwd'>x</a>");
    QCOMPARE(saveThroughWindow(w, name), 1);

    BoxSeen replace;
    QCOMPARE(saveThroughWindow(w, name, &replace), 2);
    QCOMPARE(replace.title, QStringLiteral("Replace Profile"));
    QVERIFY2(replace.text.contains(name), qPrintable(replace.text));
    QCOMPARE(replace.format, Qt::PlainText);

    QVERIFY(choose(myAmpsCombo(w), name));
    BoxSeen question;
    {
        ModalSeam responder({answerBox(QMessageBox::No, &question)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
    }
    QCOMPARE(question.text, QStringLiteral("Delete \"") + name + QStringLiteral("\"?"));
    QCOMPARE(question.format, Qt::PlainText);
    QVERIFY(openedUrls.isEmpty());
}

namespace {

// A profile as another program or a hand leaves it: a name, a tube count to tell it by, and the
// amp's record when given.
QByteArray ampFile(const QString& name, int tubes, const QString& customer = QString(),
                   const QString& serial = QString(), const QString& make = QString(),
                   const QString& model = QString())
{
    QJsonObject object{{QStringLiteral("name"), name},
                       {QStringLiteral("tube"), QStringLiteral("6L6GC")},
                       {QStringLiteral("topology"), fixedBias},
                       {QStringLiteral("tubeCount"), tubes}};
    if (!customer.isEmpty() || !serial.isEmpty())
        object.insert(QStringLiteral("amp"),
                      QJsonObject{{QStringLiteral("customer"), customer},
                                  {QStringLiteral("contact"), QStringLiteral("555-0100")},
                                  {QStringLiteral("make"), make},
                                  {QStringLiteral("model"), model},
                                  {QStringLiteral("serial"), serial},
                                  {QStringLiteral("notes"), QString()}});
    return jsonBytes(object);
}

QLineEdit* ampSearch(const MainWindow& window)
{
    auto* search = window.findChild<QLineEdit*>(QStringLiteral("myAmpsSearch"));
    if (!search)
        QTest::qFail("no \"MY AMPS\" search field", __FILE__, __LINE__);
    return search;
}

QAbstractItemView* searchResults(const MainWindow& window)
{
    auto* completer = window.findChild<QCompleter*>(QStringLiteral("myAmpsSearchCompleter"));
    return completer ? completer->popup() : nullptr;
}

// The names the search shows, in order; empty while its results are closed.
QStringList shownResults(const MainWindow& window)
{
    QStringList names;
    QAbstractItemView* view = searchResults(window);
    if (!view || !view->isVisible())
        return names;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        names << view->model()->index(row, 0).data(Qt::UserRole).toString();
    return names;
}

// Clicks the result of that name, as the user does; false when it is not shown.
bool clickResult(const MainWindow& window, const QString& name)
{
    const int row = shownResults(window).indexOf(name);
    if (row < 0)
        return false;
    QAbstractItemView* view = searchResults(window);
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 20, rect.center().y()));
    return QTest::qWaitFor([view] { return !view->isVisible(); });
}

} // namespace

// A file copied by hand holding the same name, and one renamed by hand: each is listed under its
// own file, loads that file and deletes only that file.
void TestMainWindowProfiles::copiedAndRenamedFilesAreEntriesOfTheirOwn()
{
    QVERIFY(writeFile(profilePath(QStringLiteral("Deluxe.json")), ampFile(QStringLiteral("Deluxe"), 2)));
    QVERIFY(
        writeFile(profilePath(QStringLiteral("Deluxe (copy).json")), ampFile(QStringLiteral("Deluxe"), 4)));
    QVERIFY(writeFile(profilePath(QStringLiteral("my old amp.json")), ampFile(QStringLiteral("Bassman"), 6)));
    const QString copy = QStringLiteral("Deluxe (Deluxe (copy).json)");

    const auto window = openWindow();
    MainWindow& w = *window;
    QCOMPARE(itemTexts(myAmpsCombo(w)),
             (QStringList{placeholder, copy, QStringLiteral("Deluxe"), QStringLiteral("Bassman")}));

    QVERIFY(pickFromList(myAmpsCombo(w), copy));
    QCOMPARE(cards(w).size(), 4);
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Deluxe")));
    QCOMPARE(cards(w).size(), 2);
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Bassman")));
    QCOMPARE(cards(w).size(), 6);

    QVERIFY(choose(myAmpsCombo(w), copy));
    BoxSeen question;
    {
        ModalSeam responder({answerBox(QMessageBox::Yes, &question)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
    }
    QCOMPARE(question.text, QStringLiteral("Delete \"%1\"?").arg(copy));
    QCOMPARE(profilesDirEntries(),
             (QStringList{QStringLiteral("Deluxe.json"), QStringLiteral("my old amp.json")}));
    QCOMPARE(itemTexts(myAmpsCombo(w)),
             (QStringList{placeholder, QStringLiteral("Deluxe"), QStringLiteral("Bassman")}));

    QVERIFY(choose(myAmpsCombo(w), QStringLiteral("Bassman")));
    {
        ModalSeam responder({answerBox(QMessageBox::Yes)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
    }
    QCOMPARE(profilesDirEntries(), QStringList{QStringLiteral("Deluxe.json")});
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Deluxe")));
    QCOMPARE(cards(w).size(), 2);
}

void TestMainWindowProfiles::searchFindsAnAmpByItsRecord_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("tubes"); // of the chosen one

    QTest::addRow("name, other case") << QStringLiteral("TWIN") << QStringList{QStringLiteral("Twin Reverb")}
                                      << QStringLiteral("Twin Reverb") << 4;
    QTest::addRow("customer") << QStringLiteral("ann")
                              << QStringList{QStringLiteral("Bench 3"), QStringLiteral("Twin Reverb")}
                              << QStringLiteral("Bench 3") << 3;
    QTest::addRow("serial") << QStringLiteral("sn-0042") << QStringList{QStringLiteral("Bench 3")}
                            << QStringLiteral("Bench 3") << 3;
    QTest::addRow("make and model") << QStringLiteral("marshall jcm")
                                    << QStringList{QStringLiteral("Shop amp")} << QStringLiteral("Shop amp")
                                    << 1;
}

void TestMainWindowProfiles::searchFindsAnAmpByItsRecord()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    QFETCH(QString, chosen);
    QFETCH(int, tubes);
    QVERIFY(writeFile(
        profilePath(QStringLiteral("Bench 3.json")),
        ampFile(QStringLiteral("Bench 3"), 3, QStringLiteral("Ann Lee"), QStringLiteral("SN-0042"))));
    QVERIFY(writeFile(profilePath(QStringLiteral("Shop amp.json")),
                      ampFile(QStringLiteral("Shop amp"), 1, QStringLiteral("Bob"), QStringLiteral("X9"),
                              QStringLiteral("Marshall"), QStringLiteral("JCM800"))));
    QVERIFY(
        writeFile(profilePath(QStringLiteral("Twin Reverb.json")),
                  ampFile(QStringLiteral("Twin Reverb"), 4, QStringLiteral("Joanna"), QStringLiteral("A1"))));

    const auto window = openWindow();
    MainWindow& w = *window;
    QLineEdit* search = ampSearch(w);
    QVERIFY(search);
    search->setFocus();
    QTest::keyClicks(search, typed);
    QCOMPARE(shownResults(w), shown);

    QVERIFY(clickResult(w, chosen));
    QCOMPARE(cards(w).size(), tubes);
    QCOMPARE(myAmpsCombo(w)->currentText(), chosen);
    QCOMPARE(search->text(), QString());
    // The list's buttons act on the amp chosen.
    BoxSeen question;
    {
        ModalSeam responder({answerBox(QMessageBox::No, &question)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Delete")), Qt::LeftButton);
    }
    QCOMPARE(question.text, QStringLiteral("Delete \"%1\"?").arg(chosen));

    // Nothing found: nothing shown.
    QTest::keyClicks(search, QStringLiteral("zzz"));
    QCOMPARE(shownResults(w), QStringList());
}

// Amps loaded or saved last come first, newest first, and are remembered at the next start.
void TestMainWindowProfiles::searchShowsRecentlyUsedAmpsFirst()
{
    for (const QString& name : {QStringLiteral("Amp 1"), QStringLiteral("Amp 2"), QStringLiteral("Amp 3")})
        QVERIFY(writeFile(profilePath(name + QStringLiteral(".json")), ampFile(name, 2)));
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Amp 2")));
        QCOMPARE(saveThroughWindow(w, QStringLiteral("Amp 4")), 1);
        QLineEdit* search = ampSearch(w);
        QVERIFY(search);
        search->setFocus();
        QTest::keyClicks(search, QStringLiteral("amp"));
        QCOMPARE(shownResults(w), (QStringList{QStringLiteral("Amp 4"), QStringLiteral("Amp 2"),
                                               QStringLiteral("Amp 1"), QStringLiteral("Amp 3")}));
        QVERIFY(clickResult(w, QStringLiteral("Amp 3")));
        w.close();
    }
    const auto window = openWindow();
    MainWindow& w = *window;
    QLineEdit* search = ampSearch(w);
    QVERIFY(search);
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("AMP"));
    QCOMPARE(shownResults(w), (QStringList{QStringLiteral("Amp 3"), QStringLiteral("Amp 4"),
                                           QStringLiteral("Amp 2"), QStringLiteral("Amp 1")}));
    // Emptied, the field shows the recently used amps alone.
    QTest::keyClick(search, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(search, Qt::Key_Backspace);
    QCOMPARE(shownResults(w),
             (QStringList{QStringLiteral("Amp 3"), QStringLiteral("Amp 4"), QStringLiteral("Amp 2")}));
}

void TestMainWindowProfiles::handWrittenFileIsCoerced()
{
    // Written by hand: a fractional tube count, the method as a string, a tube no catalogue has and
    // a reading that is not a number.
    const QByteArray handWritten = "{\n"
                                   "  \"name\": \"Hand\",\n"
                                   "  \"tube\": \"No Such Tube\",\n"
                                   "  \"topology\": \"Push-Pull Class AB (fixed bias)\",\n"
                                   "  \"tubeCount\": 2.5,\n"
                                   "  \"biasMethod\": \"1\",\n"
                                   "  \"plateV\": 420,\n"
                                   "  \"meas1\": [30, \"x\", 31],\n"
                                   "  \"unknownKey\": true\n"
                                   "}\n";
    QVERIFY(writeFile(profilesPath() + QStringLiteral("/Hand.json"), handWritten));

    const auto window = openWindow();
    MainWindow& w = *window;
    QCOMPARE(itemTexts(myAmpsCombo(w)), (QStringList{placeholder, QStringLiteral("Hand")}));
    QVERIFY(choose(tubeCombo(w), QStringLiteral("EL34")));
    QVERIFY(chooseMethod(w, 1));
    tubeCountSpin(w)->setValue(5);

    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Hand")));
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("EL34"));
    QCOMPARE(w.session().setup().method, 0);
    QCOMPARE(methodCombo(w)->currentText(), QStringLiteral("Bias probe (cathode current)"));
    QCOMPARE(tubeCountSpin(w)->value(), 2);
    QCOMPARE(cards(w).size(), 2);
    QCOMPARE(firstReadings(w), (QList<double>{30, 0}));
    QCOMPARE(plateVSpin(w)->value(), 420.0);
}

void TestMainWindowProfiles::unknownNamesAreSaidAndNotRated_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<int>("method");
    QTest::addColumn<QList<double>>("meas1");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("known"); // what to choose so that the readings are rated

    QTest::addRow("tube not exactly a catalogue name")
        << QStringLiteral("EL84") << fixedBias << int(BiasProbe) << QList<double>{30, 32.5}
        << QStringLiteral("Unknown tube \"EL84\": the readings are kept but not rated. Choose the tube to "
                          "rate them.")
        << QStringLiteral("tube:EL84 / 6BQ5");
    QTest::addRow("tube as markup")
        << QStringLiteral("<b>EL84</b>") << fixedBias << int(BiasProbe) << QList<double>{30, 31}
        << QStringLiteral("Unknown tube \"<b>EL84</b>\": the readings are kept but not rated. Choose the "
                          "tube to rate them.")
        << QStringLiteral("tube:6V6GT");
    QTest::addRow("class")
        << QStringLiteral("EL34") << QStringLiteral("Class Z") << int(BiasProbe) << QList<double>{40, 41}
        << QStringLiteral(
               "Unknown configuration \"Class Z\": the readings are kept but not rated. Choose the "
               "configuration to rate them.")
        << QStringLiteral("class:") + fixedBias;
    // Kept exactly, though no reading field holds three decimals or this much current.
    QTest::addRow("method that is none")
        << QStringLiteral("EL34") << fixedBias << 9 << QList<double>{1234.567, 40}
        << QStringLiteral("Unknown bias method 9: the readings are kept but not rated. Choose the bias "
                          "method to rate them.")
        << QStringLiteral("method:0");
    QTest::addRow("method the class does not offer")
        << QStringLiteral("6146B") << rfLinear << int(BiasProbe) << QList<double>{150.5, 160}
        << QStringLiteral("Unknown bias method \"Bias probe (cathode current)\" for this configuration: the "
                          "readings are kept but not rated. Choose the bias method to rate them.")
        << QStringLiteral("method:%1").arg(int(SenseResistor));
    QTest::addRow("all three")
        << QStringLiteral("EL84") << QStringLiteral("Class Z") << 7 << QList<double>{30, 31}
        << QStringLiteral("Unknown tube \"EL84\", configuration \"Class Z\" and bias method 7: the readings "
                          "are kept but not rated. Choose the tube, configuration and bias method to rate "
                          "them.")
        << QString();
}

void TestMainWindowProfiles::unknownNamesAreSaidAndNotRated()
{
    QFETCH(QString, tube);
    QFETCH(QString, ampClass);
    QFETCH(int, method);
    QFETCH(QList<double>, meas1);
    QFETCH(QString, said);
    QFETCH(QString, known);

    QJsonObject file{{QStringLiteral("name"), QStringLiteral("Odd")},
                     {QStringLiteral("tube"), tube},
                     {QStringLiteral("topology"), ampClass},
                     {QStringLiteral("biasMethod"), method},
                     {QStringLiteral("tubeCount"), 2},
                     {QStringLiteral("plateV"), 400},
                     {QStringLiteral("meas1"), QJsonArray{meas1.at(0), meas1.at(1)}},
                     {QStringLiteral("meas2"), QJsonArray{0, 0}}};
    QVERIFY(writeFile(profilePath(QStringLiteral("Odd.json")), QJsonDocument(file).toJson()));
    const auto window = openWindow();
    MainWindow& w = *window;
    // On screen first: a tube and readings that rate, so that a silent rating would show.
    QVERIFY(choose(tubeCombo(w), QStringLiteral("6L6GC")));
    ReadingEdit* field = cards(w).at(0)->readingField(0);
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("40"));
    QVERIFY(w.session().result(0).valid);

    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Odd")));
    // Followed by the news that the reading typed before was put away.
    QVERIFY2(w.statusBar()->currentMessage().startsWith(said), qPrintable(w.statusBar()->currentMessage()));
    auto* note = datasheetPanel(w)->findChild<QLabel*>(QStringLiteral("datasheetNote"));
    QVERIFY(note);
    QCOMPARE(note->text(), said);
    QVERIFY(note->isVisible());
    QCOMPARE(note->textFormat(), Qt::PlainText);
    // The readings are there, unrated: no result, no rating, no matching verdict.
    QCOMPARE(w.session().reading(0).meas1, meas1.at(0));
    QCOMPARE(w.session().reading(1).meas1, meas1.at(1));
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(!w.session().result(i).valid, "a reading must not be rated against another tube");
        QCOMPARE(w.session().rating(i), BiasStatus::NoReading);
    }
    QVERIFY(matchLabel(w)->text().isEmpty());

    // Saved again, the file says what it said.
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Odd again")), 1);
    const QJsonObject saved = readJsonObject(profilePath(QStringLiteral("Odd again.json")));
    QCOMPARE(saved.value(QStringLiteral("tube")).toString(), tube);
    QCOMPARE(saved.value(QStringLiteral("topology")).toString(), ampClass);
    QCOMPARE(saved.value(QStringLiteral("biasMethod")).toInt(), method);
    QCOMPARE(saved.value(QStringLiteral("meas1")), QJsonValue(QJsonArray{meas1.at(0), meas1.at(1)}));

    if (known.isEmpty())
        return;
    // Choosing the entry the list shows is enough to rate them.
    const QString what = known.section(QLatin1Char(':'), 0, 0);
    const QString entry = known.section(QLatin1Char(':'), 1);
    if (what == QLatin1String("tube"))
        QVERIFY(pickFromList(tubeCombo(w), entry));
    else if (what == QLatin1String("class"))
        QVERIFY(pickFromList(classCombo(w), entry));
    else
        QVERIFY(
            pickFromList(methodCombo(w), methodCombo(w)->itemText(methodCombo(w)->findData(entry.toInt()))));
    QVERIFY(!w.session().setup().unknown.any());
    QVERIFY(note->isHidden());
    if (what != QLatin1String("method"))
        QVERIFY2(w.session().result(0).valid, "once named, the readings are rated");
}

void TestMainWindowProfiles::sessionWithAnUnknownTubeKeepsIt()
{
    const QJsonObject file{{QStringLiteral("name"), QStringLiteral("_last")},
                           {QStringLiteral("tube"), QStringLiteral("EL84")},
                           {QStringLiteral("topology"), fixedBias},
                           {QStringLiteral("tubeCount"), 2},
                           {QStringLiteral("meas1"), QJsonArray{30, 31}}};
    QVERIFY(writeFile(profilePath(QStringLiteral("_last_session.json_")), QJsonDocument(file).toJson()));
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY2(w.statusBar()->currentMessage().startsWith(QStringLiteral("Unknown tube \"EL84\"")),
                 qPrintable(w.statusBar()->currentMessage()));
        QVERIFY(datasheetPanel(w)->findChild<QLabel*>(QStringLiteral("datasheetNote"))->isVisible());
        QCOMPARE(firstReadings(w), (QList<double>{30, 31}));
        QVERIFY(!w.session().result(0).valid);
        w.close();
    }
    const QJsonObject written = readJsonObject(profilePath(QStringLiteral("_last_session.json_")));
    QCOMPARE(written.value(QStringLiteral("tube")).toString(), QStringLiteral("EL84"));
    QCOMPARE(written.value(QStringLiteral("meas1")), QJsonValue(QJsonArray{30, 31}));
}

void TestMainWindowProfiles::readingsFollowTheTubeCount_data()
{
    QTest::addColumn<int>("tubeCount");
    QTest::addColumn<QList<double>>("meas1");
    QTest::addColumn<int>("cardCount");
    QTest::addColumn<QList<double>>("shown");

    QTest::addRow("four tubes, two readings")
        << 4 << QList<double>{25, 27} << 4 << QList<double>{25, 27, 0, 0};
    QTest::addRow("one tube, three readings") << 1 << QList<double>{25, 27, 29} << 1 << QList<double>{25};
    QTest::addRow("twenty tubes shown as twelve")
        << 20 << QList<double>{20, 21, 22} << 12 << QList<double>{20, 21, 22, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::addRow("no tubes shown as one") << 0 << QList<double>{24} << 1 << QList<double>{24};
}

void TestMainWindowProfiles::readingsFollowTheTubeCount()
{
    QFETCH(int, tubeCount);
    QFETCH(QList<double>, meas1);
    QFETCH(int, cardCount);
    QFETCH(QList<double>, shown);

    QJsonArray readings;
    for (double value : std::as_const(meas1))
        readings.append(value);
    const QJsonObject file{{QStringLiteral("name"), QStringLiteral("Counted")},
                           {QStringLiteral("tube"), QStringLiteral("6L6GC")},
                           {QStringLiteral("topology"), fixedBias},
                           {QStringLiteral("tubeCount"), tubeCount},
                           {QStringLiteral("plateV"), 450},
                           {QStringLiteral("meas1"), readings},
                           {QStringLiteral("meas2"), QJsonArray{5}}};
    QVERIFY(writeFile(profilesPath() + QStringLiteral("/Counted.json"), jsonBytes(file)));

    const auto window = openWindow();
    MainWindow& w = *window;
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Counted")));
    QCOMPARE(tubeCountSpin(w)->value(), cardCount);
    QCOMPARE(cards(w).size(), cardCount);
    QCOMPARE(firstReadings(w), shown);
    QList<double> second(cardCount, 0);
    second[0] = 5;
    QCOMPARE(secondReadings(w), second);
    for (int i = 0; i < cardCount; ++i)
        QCOMPARE(cards(w)[i]->index(), i);
}

void TestMainWindowProfiles::savedTargetWinsOverClassDefault_data()
{
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<QJsonValue>("targetPct");
    QTest::addColumn<int>("slider");

    QTest::addRow("72.9 over fixed bias 65") << fixedBias << QJsonValue(72.9) << 72;
    QTest::addRow("40 over cathode bias 85") << cathodeBias << QJsonValue(40) << 40;
    QTest::addRow("RF below its class default") << rfLinear << QJsonValue(30) << 30;
    QTest::addRow("a class B idle, truncated") << fixedBias << QJsonValue(12.5) << 12;
    QTest::addRow("below the scale") << fixedBias << QJsonValue(2.5) << 5;
    QTest::addRow("negative") << cathodeBias << QJsonValue(-5) << 5;
    QTest::addRow("beyond the scale") << fixedBias << QJsonValue(250) << 100;
    // Far outside what an int holds: converting it unchecked would be undefined.
    QTest::addRow("beyond any int") << fixedBias << QJsonValue(1e30) << 100;
    QTest::addRow("missing key reads 65") << cathodeBias << QJsonValue(QJsonValue::Undefined) << 65;
}

void TestMainWindowProfiles::savedTargetWinsOverClassDefault()
{
    QFETCH(QString, ampClass);
    QFETCH(QJsonValue, targetPct);
    QFETCH(int, slider);

    QJsonObject file{{QStringLiteral("name"), QStringLiteral("Target")},
                     {QStringLiteral("tube"), QStringLiteral("6V6GT")},
                     {QStringLiteral("topology"), ampClass},
                     {QStringLiteral("plateV"), 350}};
    if (!targetPct.isUndefined())
        file.insert(QStringLiteral("targetPct"), targetPct);
    QVERIFY(writeFile(profilesPath() + QStringLiteral("/Target.json"), jsonBytes(file)));

    const auto window = openWindow();
    MainWindow& w = *window;
    QVERIFY(choose(classCombo(w), classA)); // slider at 90, away from every row's result
    QCOMPARE(targetSlider(w)->value(), 90);
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Target")));
    QCOMPARE(classCombo(w)->currentText(), ampClass);
    QCOMPARE(targetSlider(w)->value(), slider);
    QCOMPARE(targetLabel(w)->text(), QStringLiteral("%1% of max dissipation").arg(slider));
    // The recommended current follows the restored target: 6V6GT is rated 14 W, at 350 V.
    const QString mA = QString::number(slider / 100.0 * 14.0 / 350.0 * 1000.0, 'f', 1);
    QVERIFY2(targetCurrentLabel(w)->text().startsWith(QStringLiteral("Recommended idle: ") + mA +
                                                      QStringLiteral(" mA")),
             qPrintable(targetCurrentLabel(w)->text()));
}

void TestMainWindowProfiles::vanishedProfileIsIgnored()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(3);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Gone")), 1);
    tubeCountSpin(w)->setValue(5);
    const QJsonObject before = setupOf(w);

    // Removed, or replaced by something that is no profile, behind the window's back.
    QVERIFY(QFile::remove(profilesPath() + QStringLiteral("/Gone.json")));
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Gone")));
    QCOMPARE(setupOf(w), before);
    QVERIFY(writeFile(profilesPath() + QStringLiteral("/Gone.json"), "not json at all"));
    myAmpsCombo(w)->setCurrentIndex(0);
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Gone")));
    QCOMPARE(setupOf(w), before);
}

void TestMainWindowProfiles::preampChainTravelsWithTheProfile()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    QVERIFY2(w.preampView(), "the bench window has a preamp designer");

    const QJsonArray chain{stage(QStringLiteral("12AX7 / ECC83 / 7025"), 280, 100, 1500, 25, 1000),
                           stage(QStringLiteral("12AT7 / ECC81"), 250, 47, 820, 0, 470),
                           stage(QStringLiteral("12AY7 / 6072"), 300, 150, 2200, 1, 0)};
    w.preampView()->loadStages(chain);
    const QJsonArray shown = w.preampView()->stagesJson();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Chain")), 1);
    QCOMPARE(readJsonObject(profilesPath() + QStringLiteral("/Chain.json"))
                 .value(QStringLiteral("preampStages"))
                 .toArray(),
             shown);

    w.preampView()->loadStages(QJsonArray{stage(QStringLiteral("5751"), 200, 220, 2700, 0, 0)});
    QCOMPARE(w.preampView()->stagesJson().size(), 1);
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Chain")));
    QCOMPARE(w.preampView()->stagesJson(), shown);

    // A profile without a chain leaves the one on screen.
    const QJsonObject bare{{QStringLiteral("name"), QStringLiteral("Bare")},
                           {QStringLiteral("tube"), QStringLiteral("EL34")}};
    QVERIFY(writeFile(profilesPath() + QStringLiteral("/Bare.json"), jsonBytes(bare)));
    w.refreshMyAmps();
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Bare")));
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("EL34"));
    QCOMPARE(w.preampView()->stagesJson(), shown);
}

void TestMainWindowProfiles::closeWritesSessionAndNextStartRestoresIt()
{
    QJsonObject left;
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QCOMPARE(saveThroughWindow(w, QStringLiteral("Keep")), 1);
        QVERIFY(pickFromList(presetCombo(w), QStringLiteral("Deluxe Reverb")));
        setUpBench(w, QStringLiteral("EL34"), cathodeBias, 3, 3, {12.5, 12.25, 13}, {});
        if (QTest::currentTestFailed())
            return;
        cathodeRSpin(w)->setValue(470);
        sharedPairCheck(w)->setChecked(true);
        targetSlider(w)->setValue(77);
        left = setupOf(w);
        QVERIFY(!QFile::exists(sessionPath()));
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
    }

    const QJsonObject session = readJsonObject(sessionPath());
    QCOMPARE(session.value(QStringLiteral("name")).toString(), QStringLiteral("_last"));
    QJsonObject sessionSetup = session;
    sessionSetup.remove(QStringLiteral("name"));
    QVERIFY2(sessionSetup == left,
             qPrintable(describe(sessionSetup) + QStringLiteral("\nexpected\n") + describe(left)));

    const auto next = openWindow();
    MainWindow& w = *next;
    const QJsonObject restored = setupOf(w);
    QVERIFY2(restored == left,
             qPrintable(describe(restored) + QStringLiteral("\nexpected\n") + describe(left)));
    QCOMPARE(cards(w).size(), 3);
    QVERIFY(w.session().result(0).valid);
    QCOMPARE(targetSlider(w)->value(), 77);
    // The session file is not a profile, and the preset chosen before is not part of the session.
    QCOMPARE(itemTexts(myAmpsCombo(w)), (QStringList{placeholder, QStringLiteral("Keep")}));
    QCOMPARE(presetCombo(w)->currentIndex(), 0);
    QCOMPARE(w.selectedPreset(), -1);
    QVERIFY(!schematicButton(w)->isEnabled());
}

void TestMainWindowProfiles::closeWithUnwritableSessionStillCloses()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    QVERIFY(QDir().mkpath(sessionPath()));
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QVERIFY(QFileInfo(sessionPath()).isDir());
}

void TestMainWindowProfiles::directoryInPlaceOfTheFileWarns()
{
    QVERIFY(writeFile(profilesPath() + QStringLiteral("/Amp.json/notes.txt"), "kept"));
    const auto window = openWindow();
    MainWindow& w = *window;

    BoxSeen warning;
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Amp"), &warning), 2);
    QVERIFY(warning.seen);
    QCOMPARE(warning.title, QStringLiteral("Save failed"));
    QCOMPARE(warning.text, QStringLiteral("Could not write the profile file."));
    QCOMPARE(warning.icon, QMessageBox::Warning);
    QCOMPARE(warning.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    QVERIFY(QFileInfo(profilesPath() + QStringLiteral("/Amp.json")).isDir());
    QCOMPARE(readFile(profilesPath() + QStringLiteral("/Amp.json/notes.txt")), QByteArray("kept"));
    QCOMPARE(profilesDirEntries(), QStringList{QStringLiteral("Amp.json")});
    QCOMPARE(itemTexts(myAmpsCombo(w)), QStringList{placeholder});
    QCOMPARE(w.statusBar()->currentMessage(), QString());
}

void TestMainWindowProfiles::fullDiskWarnsAndKeepsTheOldFile()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(1);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Amp")), 1);
    const QString path = profilesPath() + QStringLiteral("/Amp.json");
    const QByteArray old = readFile(path);
    QVERIFY(!old.isEmpty());

    // Twelve tubes with readings make a larger file than the one-tube profile.
    tubeCountSpin(w)->setValue(12);
    for (TubeCardWidget* card : cards(w))
        card->setMeasurements(26.5, 0);
    AmpProfile bigger = w.captureProfile();
    bigger.name = QStringLiteral("Amp");
    const qint64 newSize = jsonBytes(profileToJson(bigger)).size();
    QVERIFY2(newSize > old.size() + 200,
             qPrintable(QStringLiteral("%1 vs %2 bytes").arg(newSize).arg(old.size())));

    w.statusBar()->clearMessage();
    BoxSeen warning;
    int dialogs = 0;
    {
        // Room for the old file's size, not for the new one: the write stops part-way, as on a full disk.
        const FileSizeLimit limit(rlim_t(old.size() + (newSize - old.size()) / 2));
        QVERIFY(limit.active);
        // Replacing the saved "Amp" is confirmed first.
        ModalSeam seam({answerText(QStringLiteral("Amp")), answerBox(QMessageBox::Yes),
                        answerBox(QMessageBox::Ok, &warning)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        dialogs = seam.answered;
    }
    QCOMPARE(dialogs, 3);
    QVERIFY(warning.seen);
    QCOMPARE(warning.title, QStringLiteral("Save failed"));
    QCOMPARE(warning.text, QStringLiteral("Could not write the profile file."));
    QCOMPARE(readFile(path), old);
    QCOMPARE(profilesDirEntries(), QStringList{QStringLiteral("Amp.json")}); // no half-written leftovers
    QVERIFY(w.statusBar()->currentMessage().isEmpty());

    // With room again the same save goes through, once the replacement is confirmed.
    {
        ModalSeam seam({answerText(QStringLiteral("Amp")), answerBox(QMessageBox::Yes)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        QCOMPARE(seam.answered, 2);
    }
    QCOMPARE(readFile(path).size(), newSize);
}

void TestMainWindowProfiles::legacyProfilesAreListedAtTheFirstStart()
{
    const QString legacyProfiles = legacyDataDir(appDataPath()) + QStringLiteral("/profiles");
    QVERIFY(legacyProfiles.contains(QStringLiteral("/Quorlen/Tallisk/profiles")));
    const QJsonObject bassman{{QStringLiteral("name"), QStringLiteral("Bassman")},
                              {QStringLiteral("tube"), QStringLiteral("5881")},
                              {QStringLiteral("tubeCount"), 2},
                              {QStringLiteral("topology"), fixedBias},
                              {QStringLiteral("meas1"), QJsonArray{38, 39.5}}};
    QVERIFY(writeFile(legacyProfiles + QStringLiteral("/Bassman.json"), jsonBytes(bassman)));
    QVERIFY(writeFile(legacyProfiles + QStringLiteral("/AC30.json"),
                      jsonBytes({{QStringLiteral("name"), QStringLiteral("AC30")},
                                 {QStringLiteral("tube"), QStringLiteral("EL84 / 6BQ5")},
                                 {QStringLiteral("tubeCount"), 4}})));
    QVERIFY(writeFile(legacyProfiles + QStringLiteral("/Fender _65 Twin.json"),
                      jsonBytes({{QStringLiteral("name"), QStringLiteral("Fender '65 Twin")},
                                 {QStringLiteral("tube"), QStringLiteral("6L6GC")},
                                 {QStringLiteral("tubeCount"), 4}})));
    QVERIFY(writeFile(legacyProfiles + QStringLiteral("/_last_session.json_"),
                      jsonBytes({{QStringLiteral("name"), QStringLiteral("_last")},
                                 {QStringLiteral("tube"), QStringLiteral("KT88")},
                                 {QStringLiteral("topology"), fixedBias},
                                 {QStringLiteral("tubeCount"), 3},
                                 {QStringLiteral("plateV"), 520},
                                 {QStringLiteral("meas1"), QJsonArray{60, 61, 62}}})));
    QVERIFY(!QFileInfo::exists(profilesPath()));

    // What main() does before it builds the window.
    migrateLegacyProfiles(appDataPath());
    const auto window = openWindow();
    MainWindow& w = *window;

    QCOMPARE(itemTexts(myAmpsCombo(w)),
             (QStringList{placeholder, QStringLiteral("AC30"), QStringLiteral("Bassman"),
                          QStringLiteral("Fender '65 Twin")}));
    // The former program's last session is the window's first one.
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("KT88"));
    QCOMPARE(plateVSpin(w)->value(), 520.0);
    QCOMPARE(firstReadings(w), (QList<double>{60, 61, 62}));

    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Bassman")));
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("5881"));
    QCOMPARE(firstReadings(w), (QList<double>{38, 39.5}));
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Fender '65 Twin")));
    QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6L6GC"));
    QCOMPARE(cards(w).size(), 4);

    // The former directory is left as it was.
    QCOMPARE(QDir(legacyProfiles).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("AC30.json"), QStringLiteral("Bassman.json"),
                          QStringLiteral("Fender _65 Twin.json"), QStringLiteral("_last_session.json_")}));
}

void TestMainWindowProfiles::welcomeDialogOpensOnceAfterTheFirstStart()
{
    QSettings().remove(promptKey);
    const QString settingsFile = QSettings().fileName();

    MockClock clock;
    WelcomeSeen welcome;
    ModalSeam responder({[&](QWidget* modal) {
        recordWelcome(modal, welcome);
        if (QPushButton* later = buttonNamed(modal, QStringLiteral("Maybe Later")))
            QTest::mouseClick(later, Qt::LeftButton);
        else
            modal->close();
    }});
    const auto window = openWindow();

    // The flag is on disk before the dialog can show.
    QVERIFY2(QSettings().value(promptKey).toBool(), "the flag is set at once");
    QVERIFY2(readFile(settingsFile).contains("firstRunDonatePromptShown=true"),
             qPrintable(QStringLiteral("written to %1 before the dialog opens").arg(settingsFile)));

    // It opens 600 ms after the window.
    clock.advance(599);
    clock.advance(1);
    QTRY_COMPARE(responder.answered, 1);
    QVERIFY(welcome.seen);
    QCOMPARE(welcome.title, QStringLiteral("Welcome to Ambertrace"));
    QCOMPARE(welcome.objectName, QStringLiteral("donateDialog"));
    QCOMPARE(welcome.minimumWidth, 430);
    QCOMPARE(welcome.margins, QMargins(26, 22, 26, 20));
    QCOMPARE(welcome.spacing, 12);
    QCOMPARE(welcome.titleText, QStringLiteral("Thanks for using Ambertrace!"));
    QCOMPARE(welcome.bodyText,
             QStringLiteral(
                 "Ambertrace is free software from Quorlen, built to make biasing power tubes safer and "
                 "easier.\n\nIf it saves you time on the bench (or saves a set of output tubes), please "
                 "consider supporting continued development with a small donation. It keeps updates, new "
                 "tube data, and amp presets coming."));
    QVERIFY(welcome.bodyWraps);
    // The test screen is narrow enough that Qt narrows the dialog below its size hint.
    QVERIFY2(welcome.bodyHeight >= welcome.bodyHeightNeeded,
             qPrintable(QStringLiteral("the text needs %1 px and got %2 px")
                            .arg(welcome.bodyHeightNeeded)
                            .arg(welcome.bodyHeight)));
    QCOMPARE(welcome.buttonTexts,
             (QStringList{QStringLiteral("Maybe Later"), QStringLiteral("Donate/Support")}));
    // Enter closes the dialog; the web page takes a deliberate click.
    QCOMPARE(welcome.defaultButton, QStringLiteral("Maybe Later"));
    QCOMPARE(welcome.donateObjectName, QStringLiteral("donateBtn"));
    QCOMPARE(welcome.donateCursor, Qt::PointingHandCursor);
    QVERIFY(openedUrls.isEmpty());
    QVERIFY2(!window->findChild<QDialog*>(QStringLiteral("donateDialog")),
             "the dialog is destroyed once closed");

    // Neither the same window later nor the next start shows it again.
    clock.advanceSeconds(60);
    const auto second = openWindow();
    clock.advanceSeconds(60);
    QCOMPARE(clock.pending(), 0);
    QCOMPARE(responder.answered, 1);
    QVERIFY(QSettings().value(promptKey).toBool());
}

void TestMainWindowProfiles::welcomeDialogButtons_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("opensPage");

    QTest::addRow("Maybe Later") << QStringLiteral("Maybe Later") << false;
    QTest::addRow("Donate/Support") << QStringLiteral("Donate/Support") << true;
    QTest::addRow("Enter presses Maybe Later") << QStringLiteral("enter") << false;
    QTest::addRow("window close button") << QStringLiteral("close") << false;
    QTest::addRow("Escape") << QStringLiteral("escape") << false;
}

void TestMainWindowProfiles::welcomeDialogButtons()
{
    QFETCH(QString, action);
    QFETCH(bool, opensPage);
    QSettings().remove(promptKey);

    MockClock clock;
    bool stillOpen = true;
    ModalSeam responder({[&](QWidget* modal) {
        if (action == QStringLiteral("enter"))
            QTest::keyClick(modal, Qt::Key_Return);
        else if (action == QStringLiteral("escape"))
            QTest::keyClick(modal, Qt::Key_Escape);
        else if (action == QStringLiteral("close"))
            modal->close();
        else if (QPushButton* button = buttonNamed(modal, action))
            QTest::mouseClick(button, Qt::LeftButton);
        stillOpen = modal->isVisible();
        if (stillOpen)
            modal->close();
    }});
    const auto window = openWindow();
    const QJsonObject before = setupOf(*window);
    clock.advance(600);
    QTRY_COMPARE(responder.answered, 1);
    QVERIFY2(!stillOpen, "the dialog closes");
    if (opensPage)
        QCOMPARE(openedUrls, QList<QUrl>{QUrl(QStringLiteral(AMBERTRACE_DONATION_URL))});
    else
        QCOMPARE(openedUrls, QList<QUrl>());
    QCOMPARE(setupOf(*window), before);
}

void TestMainWindowProfiles::quittingWithinTheDelayNeverBringsItBack()
{
    QSettings().remove(promptKey);
    MockClock clock;
    {
        const auto window = openWindow();
        clock.advance(100);
        QVERIFY(window->close());
        QCOMPARE(clock.pending(), 1);
    }
    // The prompt went with its window: nothing is left to run, and nothing opens.
    QCOMPARE(clock.pending(), 0);
    clock.advance(900);
    QVERIFY(QSettings().value(promptKey).toBool());

    const auto next = openWindow();
    QCOMPARE(clock.pending(), 0);
    clock.advanceSeconds(60);
}

void TestMainWindowProfiles::headerDonateOpensThePageAndChangesNothing()
{
    const auto window = openWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(3);
    cards(w)[1]->setMeasurements(27, 0);
    const QJsonObject before = setupOf(w);

    QPushButton* donate = nullptr;
    for (QPushButton* button : w.findChildren<QPushButton*>(QStringLiteral("donateBtn"))) {
        if (button->text() == QStringLiteral("Donate/Support"))
            donate = button;
    }
    QVERIFY(donate);
    QCOMPARE(donate->toolTip(), QStringLiteral("Support continued development of Ambertrace"));
    QTest::mouseClick(donate, Qt::LeftButton);
    QTest::mouseClick(donate, Qt::LeftButton);
    QCOMPARE(openedUrls, (QList<QUrl>{QUrl(QStringLiteral(AMBERTRACE_DONATION_URL)),
                                      QUrl(QStringLiteral(AMBERTRACE_DONATION_URL))}));
    QVERIFY(QUrl(QStringLiteral(AMBERTRACE_DONATION_URL)).isValid());
    QCOMPARE(setupOf(w), before);
    QCOMPARE(profilesDirEntries(), QStringList());
}

QTEST_MAIN(TestMainWindowProfiles)
#include "tst_mainwindow_profiles.moc"
