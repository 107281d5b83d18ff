// Typing a bias job into the real window: reading fields that cannot be mistyped, a wheel that only
// turns the field in use, Enter from tube to tube, readings that survive structural edits and come
// back with Ctrl+Z, and saves that never write over another profile.
#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/biasmethods.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"
#include "catalog/presets.h"
#include "testfiles.h"
#include "windowdriver.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

namespace {

ReadingEdit* field(const MainWindow& w, int tube, int row = 0)
{
    const QList<TubeCardWidget*> all = cards(w);
    return tube < all.size() ? all[tube]->readingField(row) : nullptr;
}

// A window that has keyboard focus, as the technician's has.
std::unique_ptr<MainWindow> activeWindow()
{
    auto window = openWindow();
    QApplication::setActiveWindow(window.get());
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("the bench window did not become active");
    return window;
}

void wheel(QWidget* target, int notches)
{
    const QPointF at = QPointF(target->rect().center());
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

struct LocaleScope {
    explicit LocaleScope(const QString& name) { QLocale::setDefault(QLocale(name)); }
    ~LocaleScope() { QLocale::setDefault(previous); }
    QLocale previous;
};

} // namespace

class TestReadings : public QObject
{
    Q_OBJECT

    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/tst_readings-XXXXXX")};

private slots:
    void initTestCase() { prepareWindowTests(home); }
    void init() { QVERIFY(QDir(appDataPath()).removeRecursively()); }

    void clickThenTypeReplaces_data();
    void clickThenTypeReplaces();
    void decimalSeparators_data();
    void decimalSeparators();
    void wheelTurnsOnlyTheFocusedField();
    void enterWalksFourTubes();
    void countUpAndDownKeepsReadings();
    void methodRoundTrip();
    void saveSuggestsTheCurrentAmp();
    void sameNameAsksBeforeReplacing();
    void sameFileNameKeepsBoth();
    void undoAndRedo_data();
    void undoAndRedo();
};

void TestReadings::clickThenTypeReplaces_data()
{
    QTest::addColumn<QString>("before"); // what the field holds; empty for no reading
    QTest::addColumn<double>("where");   // click position, share of the field's width
    QTest::addRow("empty, left") << QString() << 0.05;
    QTest::addRow("empty, right") << QString() << 0.9;
    QTest::addRow("reading, left") << QStringLiteral("23.4") << 0.05;
    QTest::addRow("reading, middle") << QStringLiteral("23.4") << 0.5;
    QTest::addRow("reading, right") << QStringLiteral("23.4") << 0.95;
}

void TestReadings::clickThenTypeReplaces()
{
    QFETCH(QString, before);
    QFETCH(double, where);
    const auto window = activeWindow();
    MainWindow& w = *window;
    ReadingEdit* v1 = field(w, 0);
    QVERIFY(v1);
    QCOMPARE(v1->text(), QString());
    QCOMPARE(v1->placeholderText(), QStringLiteral("mA · no reading"));
    if (!before.isEmpty()) {
        QTest::mouseClick(v1, Qt::LeftButton);
        QTest::keyClicks(v1, before);
    }
    QTest::mouseClick(field(w, 1), Qt::LeftButton); // focus elsewhere
    QCOMPARE(v1->text(), before.isEmpty() ? QString() : before + QStringLiteral(" mA"));

    QTest::mouseClick(v1, Qt::LeftButton, {}, QPoint(int(v1->width() * where), v1->height() / 2));
    QTest::keyClicks(v1, QStringLiteral("24.5"));
    QCOMPARE(w.session().reading(0).meas1, 24.5);
    QCOMPARE(v1->text(), QStringLiteral("24.5"));
    QVERIFY(w.session().result(0).valid);
}

void TestReadings::decimalSeparators_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("reading"); // 0: refused
    for (const char* locale : {"C", "en_US", "de_DE"}) {
        QTest::addRow("%s point", locale) << locale << "24.5" << 24.5;
        QTest::addRow("%s comma", locale) << locale << "24,5" << 24.5;
        QTest::addRow("%s grouping", locale) << locale << "1.024,5" << 0.0;
        QTest::addRow("%s letters", locale) << locale << "24o" << 0.0;
        QTest::addRow("%s minus", locale) << locale << "-5" << 0.0;
        QTest::addRow("%s past the bench range", locale) << locale << "2450" << 0.0;
    }
}

void TestReadings::decimalSeparators()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(double, reading);
    const LocaleScope scope(locale);
    const auto window = activeWindow();
    MainWindow& w = *window;
    QTest::mouseClick(field(w, 0), Qt::LeftButton);
    QTest::keyClicks(field(w, 0), typed);
    QCOMPARE(w.session().reading(0).meas1, reading);
    auto* problem = cards(w)[0]->findChild<QLabel*>(QStringLiteral("readingProblem"));
    QVERIFY(problem);
    if (reading == 0) {
        // Refused where it can be seen; the tube has no reading.
        QVERIFY(field(w, 0)->isRefused());
        QVERIFY2(problem->isVisibleTo(cards(w)[0]) && !problem->text().isEmpty(), "the card says why");
        QCOMPARE(field(w, 0)->toolTip(), problem->text());
        QVERIFY(!w.session().result(0).valid);
        QTest::keyClick(field(w, 0), Qt::Key_Tab);
        QCOMPARE(field(w, 0)->text(), typed); // still there to be corrected
        return;
    }
    QVERIFY(!problem->isVisibleTo(cards(w)[0]));
    QTest::keyClick(field(w, 0), Qt::Key_Tab);
    // One separator on screen: the field and every read-out show a point.
    QCOMPARE(field(w, 0)->text(), QStringLiteral("24.5 mA"));
    const QList<QLabel*> values = cards(w)[0]->findChildren<QLabel*>(QStringLiteral("resultValue"));
    QVERIFY(!values.isEmpty());
    QCOMPARE(values.first()->text(), QStringLiteral("24.5 mA"));
    QVERIFY(!senseSpin(w)->text().contains(QLatin1Char(',')));
}

void TestReadings::wheelTurnsOnlyTheFocusedField()
{
    const auto window = activeWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(4);
    QTest::mouseClick(field(w, 0), Qt::LeftButton);
    QTest::keyClicks(field(w, 0), QStringLiteral("23.4"));
    QTest::mouseClick(field(w, 1), Qt::LeftButton);

    // Over a field without focus the wheel leaves it alone (and the page may scroll).
    wheel(field(w, 0), -3);
    QCOMPARE(w.session().reading(0).meas1, 23.4);
    const double plate = plateVSpin(w)->value();
    wheel(plateVSpin(w), 2);
    wheel(tubeCountSpin(w), 2);
    QCOMPARE(plateVSpin(w)->value(), plate);
    QCOMPARE(tubeCountSpin(w)->value(), 4);

    // The field in use steps by its step, 0.5 mA for the probe, and never below 0.
    QTest::mouseClick(field(w, 0), Qt::LeftButton);
    wheel(field(w, 0), 1);
    QCOMPARE(w.session().reading(0).meas1, 23.9);
    QCOMPARE(field(w, 0)->text(), QStringLiteral("23.9 mA"));
    wheel(field(w, 0), -100);
    QCOMPARE(w.session().reading(0).meas1, 0.0);
}

void TestReadings::enterWalksFourTubes()
{
    const auto window = activeWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(4);
    QTest::mouseClick(field(w, 0), Qt::LeftButton);
    for (const char* reading : {"30", "31,5", "32", "33"}) {
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(reading));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(firstReadings(w), (QList<double>{30, 31.5, 32, 33}));
    QCOMPARE(QApplication::focusWidget(), field(w, 3));       // the last tube keeps the focus
    QCOMPARE(field(w, 1)->text(), QStringLiteral("31.5 mA")); // a left field shows the bench form
    QTest::keyClicks(field(w, 3), QStringLiteral("33.5"));    // and typing replaces its reading
    QCOMPARE(w.session().reading(3).meas1, 33.5);
    field(w, 3)->selectAll();
    QTest::keyClicks(field(w, 3), QStringLiteral("33"));

    // Shift+Enter goes back; what is there is selected, so typing replaces it.
    QTest::keyClick(field(w, 3), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), field(w, 2));
    QTest::keyClicks(field(w, 2), QStringLiteral("29"));
    QCOMPARE(firstReadings(w), (QList<double>{30, 31.5, 29, 33}));
    // Tab takes the same way.
    QTest::keyClick(field(w, 2), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), field(w, 3));
    QTest::keyClicks(field(w, 3), QStringLiteral("34"));
    QCOMPARE(firstReadings(w), (QList<double>{30, 31.5, 29, 34}));

    // With a second reading, Enter goes on from the last tube to the first tube's second reading.
    QVERIFY(choose(classCombo(w), QStringLiteral("Single-Ended Class A")));
    QVERIFY(chooseMethod(w, OtWindingDrop));
    QTest::mouseClick(field(w, 3), Qt::LeftButton);
    QTest::keyClick(field(w, 3), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), field(w, 0, 1));
}

void TestReadings::countUpAndDownKeepsReadings()
{
    const auto window = activeWindow();
    MainWindow& w = *window;
    cards(w)[0]->setMeasurements(26, 0);
    cards(w)[1]->setMeasurements(25, 0);
    tubeCountSpin(w)->setValue(4);
    QCOMPARE(firstReadings(w), (QList<double>{26, 25, 0, 0}));
    cards(w)[2]->setMeasurements(24, 0);
    cards(w)[3]->setMeasurements(23, 0);
    tubeCountSpin(w)->setValue(2);
    QCOMPARE(firstReadings(w), (QList<double>{26, 25}));
    tubeCountSpin(w)->setValue(4);
    QCOMPARE(firstReadings(w), (QList<double>{26, 25, 24, 23}));
    QCOMPARE(field(w, 3)->text(), QStringLiteral("23.0 mA"));
}

void TestReadings::methodRoundTrip()
{
    const auto window = activeWindow();
    MainWindow& w = *window;
    QVERIFY(choose(classCombo(w), QStringLiteral("Single-Ended Class A")));
    QVERIFY(chooseMethod(w, SenseResistor));
    cards(w)[0]->setMeasurements(245, 0);
    cards(w)[1]->setMeasurements(240, 0);
    const QString target = targetCurrentLabel(w)->text();

    // The millivolts are not taken as plate volts: the winding method starts with none.
    QVERIFY(chooseMethod(w, OtWindingDrop));
    QCOMPARE(firstReadings(w), (QList<double>{0, 0}));
    QCOMPARE(field(w, 0)->text(), QString());
    QCOMPARE(field(w, 0)->placeholderText(), QStringLiteral("V · no reading"));
    QCOMPARE(targetCurrentLabel(w)->text(), QStringLiteral("Enter plate voltage for a target current."));
    cards(w)[0]->setMeasurements(410, 120);

    QVERIFY(chooseMethod(w, SenseResistor));
    QCOMPARE(firstReadings(w), (QList<double>{245, 240}));
    QCOMPARE(field(w, 0)->text(), QStringLiteral("245.0 mV"));
    QCOMPARE(targetCurrentLabel(w)->text(), target);
    QVERIFY(chooseMethod(w, OtWindingDrop));
    QCOMPARE(firstReadings(w), (QList<double>{410, 0}));
    QCOMPARE(secondReadings(w), (QList<double>{120, 0}));
}

void TestReadings::saveSuggestsTheCurrentAmp()
{
    const auto window = activeWindow();
    MainWindow& w = *window;
    InputSeen input;
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Shop Twin"), nullptr, &input), 1);
    QCOMPARE(input.initialText, QString()); // nothing chosen yet

    const QString preset = ampPresets().first().name;
    QVERIFY(clickPreset(w, preset));
    {
        ModalSeam seam({answerText(QString(), &input, true)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
    }
    QCOMPARE(input.initialText, preset);

    // A loaded profile's name wins over the preset chosen before it.
    QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Shop Twin")));
    {
        ModalSeam seam({answerText(QString(), &input, true)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
    }
    QCOMPARE(input.initialText, QStringLiteral("Shop Twin"));
}

void TestReadings::sameNameAsksBeforeReplacing()
{
    const auto window = activeWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(4);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Twin")), 1);
    const QString path = profilePath(QStringLiteral("Twin.json"));
    const QByteArray saved = readFile(path);
    QVERIFY(!saved.isEmpty());

    tubeCountSpin(w)->setValue(2);
    BoxSeen question;
    {
        ModalSeam seam({answerText(QStringLiteral("Twin")), answerBox(QMessageBox::No, &question)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        QCOMPARE(seam.answered, 2);
    }
    QCOMPARE(question.title, QStringLiteral("Replace Profile"));
    // Both are named: the saved profile and the amp on the bench.
    QCOMPARE(question.text, QStringLiteral("Replace the saved profile \"Twin\" (6V6GT, 4 tubes) with the amp "
                                           "on the bench, \"Twin\" (6V6GT, 2 tubes)?"));
    QCOMPARE(QString(question.defaultButton).remove(QLatin1Char('&')), QStringLiteral("No"));
    QCOMPARE(readFile(path), saved);

    {
        ModalSeam seam({answerText(QStringLiteral("Twin")), answerBox(QMessageBox::Yes)});
        QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        QCOMPARE(seam.answered, 2);
    }
    AmpProfile replaced;
    QVERIFY(loadProfile(QStringLiteral("Twin"), replaced));
    QCOMPARE(replaced.tubeCount, 2);
}

void TestReadings::sameFileNameKeepsBoth()
{
    const auto window = activeWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(4);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("A/B")), 1);
    const QString firstFile = profileSavePath(QStringLiteral("A/B"));
    const QByteArray first = readFile(firstFile);
    QVERIFY(!first.isEmpty());

    // "A:B" sanitises to the same file name as "A/B": it gets a file of its own, without a question
    // (nothing is replaced), and the first profile keeps every byte.
    tubeCountSpin(w)->setValue(2);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("A:B")), 1);
    QCOMPARE(readFile(firstFile), first);
    QVERIFY(profileSavePath(QStringLiteral("A:B")) != firstFile);
    const QStringList listed = listProfiles();
    QVERIFY(listed.contains(QStringLiteral("A/B")));
    QVERIFY(listed.contains(QStringLiteral("A:B")));
    AmpProfile loaded;
    QVERIFY(loadProfile(QStringLiteral("A/B"), loaded));
    QCOMPARE(loaded.tubeCount, 4);
    QVERIFY(loadProfile(QStringLiteral("A:B"), loaded));
    QCOMPARE(loaded.tubeCount, 2);
}

void TestReadings::undoAndRedo_data()
{
    QTest::addColumn<QString>("step");
    QTest::addRow("preset") << "preset";
    QTest::addRow("profile load") << "profile";
    QTest::addRow("tube count") << "count";
    QTest::addRow("method") << "method";
}

void TestReadings::undoAndRedo()
{
    QFETCH(QString, step);
    const auto window = activeWindow();
    MainWindow& w = *window;
    tubeCountSpin(w)->setValue(4);
    QCOMPARE(saveThroughWindow(w, QStringLiteral("Deluxe")), 1);
    tubeCountSpin(w)->setValue(3);
    plateVSpin(w)->setValue(410);
    for (int i = 0; i < 3; ++i)
        cards(w)[i]->setMeasurements(30 + i, 0);
    const QJsonObject before = setupOf(w);

    if (step == QLatin1String("preset"))
        QVERIFY(clickPreset(w, ampPresets().first().name));
    else if (step == QLatin1String("profile"))
        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Deluxe")));
    else if (step == QLatin1String("count"))
        tubeCountSpin(w)->setValue(1);
    else
        QVERIFY(chooseMethod(w, SenseResistor));
    const QJsonObject after = setupOf(w);
    QVERIFY(after != before);
    // Another amp puts typed readings away; the status bar says how to get them back.
    if (step == QLatin1String("preset") || step == QLatin1String("profile"))
        QVERIFY2(w.statusBar()->currentMessage().contains(QStringLiteral("Ctrl+Z")),
                 qPrintable(w.statusBar()->currentMessage()));

    // The window's Undo and Redo, which Ctrl+Z and Ctrl+Shift+Z trigger.
    auto* undo = w.findChild<QAction*>(QStringLiteral("undoAction"));
    auto* redo = w.findChild<QAction*>(QStringLiteral("redoAction"));
    QVERIFY(undo && redo);
    QCOMPARE(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(redo->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    undo->trigger();
    QCOMPARE(setupOf(w), before);
    QCOMPARE(firstReadings(w), (QList<double>{30, 31, 32}));
    redo->trigger();
    QCOMPARE(setupOf(w), after);
    undo->trigger();
    QCOMPARE(setupOf(w), before);
}

QTEST_MAIN(TestReadings)
#include "tst_readings.moc"
