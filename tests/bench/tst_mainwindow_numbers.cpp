// Where the technician meets the bench's readings of a whole amplifier in the window: the panel
// meter's one total, the transformer drop read directly, a sense resistor and a screen current of
// each tube's own. Driven through the setup panel and the cards as a user drives them.
#include "bench/mainwindow.h"

#include "bench/profilestore.h"
#include "bias/biasmethods.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"

#include "windowdriver.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

template <typename T> T* control(const MainWindow& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qWarning("no control %s", name);
    return found;
}

// Replaces the field's content by typing, one keystroke at a time.
void typeInto(QAbstractSpinBox* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void typeInto(ReadingEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

QString currentText(const TubeCardWidget* card)
{
    const QList<QLabel*> values = card->findChildren<QLabel*>(QStringLiteral("resultValue"));
    return values.isEmpty() ? QString() : values.first()->text();
}

} // namespace

class TestMainWindowNumbers : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        prepareWindowTests(home);
    }

    void init()
    {
        const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY2(appData.startsWith(home.path()), qPrintable(appData));
        QDir(appData).removeRecursively();
    }

    void panelMeterTotalIsEnteredOnce()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(choose(classCombo(w), QStringLiteral("RF Linear (Class AB/B)")));
        QVERIFY(chooseMethod(w, PanelMeter));
        tubeCountSpin(w)->setValue(4);
        typeInto(plateVSpin(w), QStringLiteral("1700"));

        auto* total = control<QDoubleSpinBox>(w, "meterTotalSpin");
        QVERIFY(total);
        QVERIFY2(total->isVisibleTo(&w), "the total has its row while the meter reads the total");
        typeInto(total, QStringLiteral("180"));
        QCOMPARE(w.session().setup().shared.meterTotalMa, 180.0);
        const QList<TubeCardWidget*> shown = cards(w);
        QCOMPARE(shown.size(), 4);
        for (const TubeCardWidget* card : shown) {
            QVERIFY2(!card->readingField(0)->isVisibleTo(card), "nothing to type on the card");
            QVERIFY(card->shareNote()->isVisibleTo(card));
            QCOMPARE(card->shareNote()->text(), QStringLiteral("Share of the 180 mA total"));
            QCOMPARE(currentText(card), QStringLiteral("45.0 mA"));
        }
        QCOMPARE(matchLabel(w)->text(), QStringLiteral("MATCHING: cannot be judged from a total"));

        // A meter of each tube: the cards take the readings again and the total goes.
        meterTotalCheck(w)->click();
        QVERIFY(!total->isVisibleTo(&w));
        QVERIFY(shown.first()->readingField(0)->isVisibleTo(shown.first()));
        QVERIFY(!shown.first()->shareNote()->isVisibleTo(shown.first()));
    }

    void otDropReadDirectlyOrFromBPlus()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(chooseMethod(w, OtWindingDrop));
        auto* entry = control<QComboBox>(w, "otDropCombo");
        QVERIFY(entry);
        QVERIFY(entry->isVisibleTo(&w));
        // The accurate way is offered first; the bench starts as it always took the drop.
        QCOMPARE(itemTexts(entry), (QStringList{QStringLiteral("Drop read directly (accurate)"),
                                                QStringLiteral("B+ minus plate voltage")}));
        QCOMPARE(entry->currentText(), QStringLiteral("B+ minus plate voltage"));
        QVERIFY(bPlusSpin(w)->isVisibleTo(&w));
        QVERIFY(!plateVSpin(w)->isVisibleTo(&w));

        QVERIFY(pickFromList(entry, QStringLiteral("Drop read directly (accurate)")));
        QVERIFY(w.session().setup().shared.otDropDirect);
        QVERIFY2(!bPlusSpin(w)->isVisibleTo(&w), "no B+ is needed for a drop read directly");
        QVERIFY2(plateVSpin(w)->isVisibleTo(&w), "the plate voltage for the dissipation");
        typeInto(plateVSpin(w), QStringLiteral("450"));
        TubeCardWidget* card = cards(w).first();
        QCOMPARE(card->readingField(0)->field().label, QStringLiteral("Drop across half-primary"));
        typeInto(card->readingField(0), QStringLiteral("2.05"));
        typeInto(card->readingField(1), QStringLiteral("20"));
        QCOMPARE(currentText(card), QStringLiteral("102.5 mA"));
        QCOMPARE(w.session().result(0).dissipationW, 450 * 0.1025);

        // Ctrl+Z takes the bench back to B+ and plate, with its own (empty) readings.
        auto* undo = w.findChild<QAction*>(QStringLiteral("undoAction"));
        QVERIFY(undo);
        undo->trigger();
        QCOMPARE(entry->currentText(), QStringLiteral("B+ minus plate voltage"));
        QVERIFY(bPlusSpin(w)->isVisibleTo(&w));
        QCOMPARE(cards(w).first()->readingField(0)->field().label, QStringLiteral("Plate voltage"));
        QCOMPARE(w.session().reading(0).meas1, 0.0);
    }

    void senseResistorsAndScreenCurrentOfEachTube()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(choose(tubeCombo(w), QStringLiteral("6L6GC")));
        QVERIFY(chooseMethod(w, SenseResistor));
        typeInto(plateVSpin(w), QStringLiteral("400"));
        auto* ownR = control<QCheckBox>(w, "senseRPerTubeCheck");
        QVERIFY(ownR);
        QVERIFY(ownR->isVisibleTo(&w));
        QCOMPARE(ownR->text(), QStringLiteral("Each tube has its own resistor"));
        TubeCardWidget* card = cards(w).first();
        QVERIFY(!card->readingField(1)->isVisibleTo(card));
        ownR->click();
        QVERIFY2(!sharedPairCheck(w)->isVisibleTo(&w), "resistors of their own share nothing");
        QVERIFY(card->readingField(1)->isVisibleTo(card));
        typeInto(card->readingField(0), QStringLiteral("50.6"));
        typeInto(card->readingField(1), QStringLiteral("1.012"));
        QCOMPARE(currentText(card), QStringLiteral("50.0 mA"));

        auto* measured = control<QCheckBox>(w, "screenMeasuredCheck");
        QVERIFY(measured);
        QVERIFY2(!measured->isEnabled(), "offered once screen current is subtracted");
        subtractScreenCheck(w)->click();
        QVERIFY(measured->isEnabled());
        measured->click();
        QCOMPARE(subtractScreenCheck(w)->text(), QStringLiteral("Subtract screen current (measured)"));
        QVERIFY(card->readingField(2)->isVisibleTo(card));
        typeInto(card->readingField(2), QStringLiteral("2.35"));
        typeInto(card->readingField(3), QStringLiteral("470"));
        QCOMPARE(currentText(card), QStringLiteral("45.0 mA"));

        // The job as saved carries all of it.
        const QJsonObject saved = profileToJson(w.captureProfile());
        QCOMPARE(saved.value(QStringLiteral("senseRPerTube")).toBool(), true);
        QCOMPARE(saved.value(QStringLiteral("screenMeasured")).toBool(), true);
        const auto reopened = openWindow();
        reopened->applyProfile(profileFromJson(saved));
        QCOMPARE(currentText(cards(*reopened).first()), QStringLiteral("45.0 mA"));
    }
};

QTEST_MAIN(TestMainWindowNumbers)
#include "tst_mainwindow_numbers.moc"
