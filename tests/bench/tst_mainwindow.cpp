#include "bench/mainwindow.h"

#include "app/buildconfig.h"

#include "bias/biascalc.h"
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
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

// Records the style calls a widget receives, to see when the window re-polishes it.
class RecordingStyle : public QProxyStyle
{
public:
    QWidget* watched = nullptr;
    QStringList calls;

    void polish(QWidget* widget) override
    {
        if (widget == watched)
            calls << QStringLiteral("polish");
        QProxyStyle::polish(widget);
    }
    void unpolish(QWidget* widget) override
    {
        if (widget == watched)
            calls << QStringLiteral("unpolish");
        QProxyStyle::unpolish(widget);
    }
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;
};

// Replaces the field's content by typing, one keystroke at a time.
void typeInto(QAbstractSpinBox* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void typeInto(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

// Clicks the box itself: a short text leaves the middle of a wide check box unclickable.
void clickCheckBox(QCheckBox* check)
{
    QStyleOptionButton option;
    option.initFrom(check);
    const QRect box = check->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, check);
    QTest::mouseClick(check, Qt::LeftButton, {}, box.center());
}

// The card's first (row 0) or second (row 1) reading field.
ReadingEdit* readingField(TubeCardWidget* card, int row)
{
    auto* form = card->findChild<QFormLayout*>();
    if (!form)
        return nullptr;
    QLayoutItem* item = form->itemAt(row, QFormLayout::FieldRole);
    return item ? qobject_cast<ReadingEdit*>(item->widget()) : nullptr;
}

QString cardTitle(TubeCardWidget* card)
{
    auto* title = card->findChild<QLabel*>(QStringLiteral("tubeTitle"));
    return title ? title->text() : QString();
}

QString gridPlace(const MainWindow& window, TubeCardWidget* card)
{
    const int index = cardGrid(window)->indexOf(card);
    if (index < 0)
        return QStringLiteral("not in the grid");
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    cardGrid(window)->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return QStringLiteral("%1,%2").arg(row).arg(column);
}

const AmpPreset* presetNamed(const QString& name)
{
    for (const AmpPreset& preset : ampPresets()) {
        if (preset.name == name)
            return &preset;
    }
    return nullptr;
}

const QString fixedBias = QStringLiteral("Push-Pull Class AB (fixed bias)");
const QString rfLinear = QStringLiteral("RF Linear (Class AB/B)");
const QString prompt = QStringLiteral("Enter plate voltage for a target current.");

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        // Nothing the window reads or writes may come from or reach the real home directory.
        prepareWindowTests(home);
    }

    // The window writes the last session while it is used: each test starts as a first start.
    void init() { QVERIFY(QDir(appDataPath()).removeRecursively()); }

    void firstStartShowsTheDefaults()
    {
        const auto window = openWindow();
        MainWindow& w = *window;

        QCOMPARE(w.windowTitle(), QStringLiteral("Ambertrace — By Quorlen"));
        QCOMPARE(w.size(), QSize(1240, 860));
        QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("6V6GT"));
        QCOMPARE(tubeCombo(w)->count(), 38);
        QCOMPARE(tubeCombo(w)->itemText(37), QStringLiteral("Custom..."));
        QCOMPARE(classCombo(w)->currentText(), fixedBias);
        QCOMPARE(classCombo(w)->count(), 7);
        QCOMPARE(itemTexts(methodCombo(w)), QStringList({QStringLiteral("Bias probe (cathode current)"),
                                                         QStringLiteral("Cathode sense resistor"),
                                                         QStringLiteral("OT winding voltage drop")}));
        QCOMPARE(methodCombo(w)->currentText(), QStringLiteral("Bias probe (cathode current)"));
        QCOMPARE(w.session().setup().method, 0);
        QCOMPARE(topologyNote(w)->text(), findAmpClass(fixedBias)->description);

        // 350 V is 6V6GT's typical plate voltage. The first catalogue tube (6L6GC, 450 V) is selected
        // while the lists are filled and must not have claimed the empty field before.
        QCOMPARE(plateVSpin(w)->value(), 350.0);
        QCOMPARE(tubeCountSpin(w)->value(), 2);
        QCOMPARE(cards(w).size(), 2);
        QCOMPARE(gridPlace(w, cards(w)[0]), QStringLiteral("0,0"));
        QCOMPARE(gridPlace(w, cards(w)[1]), QStringLiteral("0,1"));
        QCOMPARE(cardTitle(cards(w)[0]), QStringLiteral("V1"));
        QCOMPARE(cardTitle(cards(w)[1]), QStringLiteral("V2"));
        for (TubeCardWidget* card : cards(w)) {
            QCOMPARE(card->parentWidget(), cardHost(w));
            QCOMPARE(card->method(), 0);
            QVERIFY2(!w.session().result(card->index()).valid, "a new card has no reading");
        }

        QCOMPARE(targetSlider(w)->value(), 65);
        QCOMPARE(targetLabel(w)->text(), QStringLiteral("65% of max dissipation"));
        QCOMPARE(targetCurrentLabel(w)->text(),
                 QStringLiteral("Recommended idle: 26.0 mA per tube\n(9.1 W at 350 V plate)"));
        QCOMPARE(matchLabel(w)->text(), QString());
        QCOMPARE(matchLabel(w)->property("level").toString(), QString());
        QVERIFY2(!w.findChild<QStatusBar*>(), "no status bar exists before the first message");
        QVERIFY(!schematicButton(w)->isEnabled());
        QCOMPARE(schematicButton(w)->toolTip(), QStringLiteral("Choose an amp preset first"));
        QCOMPARE(w.selectedPreset(), -1);
        QCOMPARE(presetCombo(w)->itemText(0), QStringLiteral("— choose a preset —"));
        QCOMPARE(myAmpsCombo(w)->currentText(), QStringLiteral("— my saved amps —"));

        // Bias probe: only the plate voltage and the screen-current option are on show.
        QVERIFY(plateVSpin(w)->isVisibleTo(&w));
        QCOMPARE(plateVLabel(w)->text(), QStringLiteral("Plate voltage"));
        QVERIFY(!maxWSpin(w)->isVisibleTo(&w));
        QVERIFY(!maxWLabel(w)->isVisibleTo(&w));
        QVERIFY(!bPlusSpin(w)->isVisibleTo(&w));
        QVERIFY(!senseSpin(w)->isVisibleTo(&w));
        QVERIFY(!cathodeRSpin(w)->isVisibleTo(&w));
        QVERIFY(!sharedPairCheck(w)->isVisibleTo(&w));
        QVERIFY(subtractScreenCheck(w)->isVisibleTo(&w));
        QVERIFY(!meterTotalCheck(w)->isVisibleTo(&w));
        QVERIFY(meterTotalCheck(w)->isChecked());

        auto* sheetName = datasheetPanel(w)->findChild<QLabel*>(QStringLiteral("datasheetName"));
        QVERIFY2(sheetName, "the datasheet panel has a name label");
        QCOMPARE(sheetName->text(), QStringLiteral("6V6GT"));
    }

    void fixedTexts_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QStringList>("texts");
        QTest::addRow("logo") << "logo" << QStringList{"Ambertrace"};
        QTest::addRow("byline") << "byline"
                                << QStringList{QStringLiteral("BY QUORLEN  ·  v" AMBERTRACE_VERSION)};
        QTest::addRow("tagline") << "tagline" << QStringList{"POWER TUBE BIAS CALCULATOR"};
        QTest::addRow("header lists") << "headerComboLabel" << QStringList{"AMP PRESET", "MY AMPS"};
        QTest::addRow("profile buttons") << "headerBtn" << QStringList{"Save", "Delete"};
        QTest::addRow("donate") << "donateBtn" << QStringList{"Donate/Support"};
        QTest::addRow("tool row") << "toolBtn"
                                  << QStringList{"Guided Bias Session", "Bias Mod Calculator",
                                                 "Export PDF Report", "Schematic"};
        QTest::addRow("panel headers")
            << "panelHeader" << QStringList{"AMP SETUP", "SHARED MEASUREMENTS", "TARGET BIAS"};
    }

    void fixedTexts()
    {
        QFETCH(QString, objectName);
        QFETCH(QStringList, texts);
        MainWindow w;

        // Texts of the widgets with this object name, in construction order; the settings panel's
        // headers come before those of the datasheet panel.
        QStringList found;
        const auto* matching = w.findChild<QWidget*>(QStringLiteral("matchingView"));
        for (QWidget* widget : w.findChildren<QWidget*>(objectName)) {
            if (w.preampView() && w.preampView()->isAncestorOf(widget))
                continue; // the preamp tab has panels and buttons of its own
            if (matching && matching->isAncestorOf(widget))
                continue; // and so has the matching tab
            if (auto* label = qobject_cast<QLabel*>(widget))
                found << label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                found
                    << QString(button->text()).remove(QLatin1Char('&')); // as shown, the mnemonic underlined
        }
        QVERIFY2(found.mid(0, texts.size()) == texts,
                 qPrintable(QStringLiteral("expected %1, found %2").arg(texts.join('|'), found.join('|'))));
    }

    void toolButtonsHaveMnemonics()
    {
        MainWindow w;
        QStringList mnemonics;
        for (QPushButton* button : w.findChildren<QPushButton*>(QStringLiteral("toolBtn"))) {
            if (w.preampView()->isAncestorOf(button) || !button->parentWidget() ||
                button->parentWidget()->objectName() != QLatin1String("toolRow"))
                continue;
            const QString text = button->text();
            const int amp = text.indexOf(QLatin1Char('&'));
            QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
            mnemonics << text.mid(amp + 1, 1).toLower();
        }
        QCOMPARE(mnemonics, QStringList({"g", "m", "e", "c", "t"}));
    }

    void tabFollowsTheScreen()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        presetCombo(w)->setFocus(Qt::TabFocusReason);
        QStringList walked{presetCombo(w)->objectName()};
        for (int i = 0; i < 22; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            walked << (focus->objectName().isEmpty() ? QString::fromLatin1(focus->metaObject()->className())
                                                     : focus->objectName());
        }
        // The header, the setup panel (the rows the bias probe uses), the two cards, the tool row
        // ("Service" after the report; "Schematic" is disabled before a preset), then the tabs and the notes'
        // and panels' switches.
        const QStringList expected{"presetCombo",   "myAmpsCombo",    "myAmpsSearch",
                                   "headerBtn",     "headerBtn",      "donateBtn",
                                   "tubeCombo",     "classCombo",     "methodCombo",
                                   "tubeCountSpin", "plateVSpin",     "subtractScreenCheck",
                                   "targetSlider",  "readingEdit",    "readingEdit",
                                   "toolBtn",       "toolBtn",        "toolBtn",
                                   "serviceBtn",    "toolBtn",        "qt_tabwidget_tabbar",
                                   "setupToggle",   "datasheetToggle"};
        QCOMPARE(walked.mid(0, expected.size()), expected);
        // The two readings are tube 1's, then tube 2's.
        presetCombo(w)->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 13; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(cards(w)[0]->readingField(0)));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(cards(w)[1]->readingField(0)));
    }

    void layoutAndOptions()
    {
        MainWindow w;
        auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("mainTabs"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(0), QStringLiteral("POWER TUBES"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("PREAMP STAGES"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("WARM-UP"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("MATCHING"));
        QVERIFY(tabs->documentMode());
        QVERIFY(cardHost(w)->isAncestorOf(cards(w).first()));
        QCOMPARE(cardHost(w)->objectName(), QStringLiteral("cardHost"));
        QCOMPARE(matchLabel(w)->objectName(), QStringLiteral("matchLabel"));
        QCOMPARE(targetCurrentLabel(w)->objectName(), QStringLiteral("targetCurrent"));
        QCOMPARE(datasheetPanel(w)->width(), 250);

        QCOMPARE(maxWSpin(w)->suffix(), QStringLiteral(" W"));
        QCOMPARE(maxWSpin(w)->decimals(), 2);
        QCOMPARE(maxWSpin(w)->value(), 25.0);
        QCOMPARE(senseSpin(w)->suffix(), QStringLiteral(" Ω"));
        // The sense resistor is a measured value, read to the milliohm.
        QCOMPARE(senseSpin(w)->minimum(), 0.001);
        QCOMPARE(senseSpin(w)->decimals(), 3);
        QCOMPARE(senseSpin(w)->value(), 1.0);
        QCOMPARE(cathodeRSpin(w)->value(), 250.0);
        QCOMPARE(tubeCountSpin(w)->maximum(), 12);
        QCOMPARE(targetSlider(w)->minimum(), 5); // a class B idle
        QCOMPARE(targetSlider(w)->maximum(), 100);
        QCOMPARE(subtractScreenCheck(w)->toolTip(),
                 QStringLiteral(
                     "Cathode current includes screen current. Enable to estimate true plate current as "
                     "95% of the cathode reading."));
        // The share is the 6V6GT's, a beam tetrode's 5 %.
        QCOMPARE(subtractScreenCheck(w)->text(), QStringLiteral("Subtract screen current (~5 %)"));
    }

    // With the program's theme the settings panel is tight: its lists must not squeeze the labels.
    void settingsLabelsKeepTheirWidth_data()
    {
        QTest::addColumn<bool>("allRows");
        QTest::addRow("first start") << false;
        QTest::addRow("custom tube, cathode bias") << true;
    }

    void settingsLabelsKeepTheirWidth()
    {
        QFETCH(bool, allRows);
        QFile sheet(QStringLiteral(":/style.qss"));
        QVERIFY2(sheet.open(QIODevice::ReadOnly) && sheet.size() > 0,
                 "the style sheet :/style.qss is not built into the program");
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
        const auto restore = qScopeGuard([] { qApp->setStyleSheet(QString()); });
        const auto window = openWindow();
        MainWindow& w = *window;
        if (allRows) {
            QVERIFY(choose(tubeCombo(w), QStringLiteral("Custom...")));
            QVERIFY(choose(classCombo(w), QStringLiteral("Push-Pull Class AB (cathode bias)")));
            QVERIFY(chooseMethod(w, CathodeBias));
        }
        QCoreApplication::processEvents();

        auto* settings = w.findChild<QFrame*>(QStringLiteral("settingsPanel"));
        QVERIFY(settings);
        for (QFormLayout* form : settings->findChildren<QFormLayout*>()) {
            for (int row = 0; row < form->rowCount(); ++row) {
                QLayoutItem* item = form->itemAt(row, QFormLayout::LabelRole);
                auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
                if (!label || !label->isVisible())
                    continue;
                QVERIFY2(label->width() >= label->sizeHint().width(),
                         qPrintable(QStringLiteral("\"%1\" is %2 px wide but needs %3")
                                        .arg(label->text())
                                        .arg(label->width())
                                        .arg(label->sizeHint().width())));
            }
        }
    }

    void plateVoltageDefaultsOnlyFromZero_data()
    {
        QTest::addColumn<QString>("typedPlateV"); // empty: leave the 350 V of the first start
        QTest::addColumn<QString>("tube");
        QTest::addColumn<double>("expected");
        QTest::addRow("6V6GT's 350 V stays for KT88") << ""
                                                      << "KT88" << 350.0;
        QTest::addRow("cleared to 0, KT88 fills 500 V") << "0"
                                                        << "KT88" << 500.0;
        QTest::addRow("cleared to 0, the custom tube fills 450 V") << "0"
                                                                   << "Custom..." << 450.0;
        QTest::addRow("1 V is a reading, not an empty field") << "1"
                                                              << "KT88" << 1.0;
    }

    void plateVoltageDefaultsOnlyFromZero()
    {
        QFETCH(QString, typedPlateV);
        QFETCH(QString, tube);
        QFETCH(double, expected);
        const auto window = openWindow();
        MainWindow& w = *window;

        if (!typedPlateV.isEmpty())
            typeInto(plateVSpin(w), typedPlateV);
        QVERIFY(choose(tubeCombo(w), tube));
        QCOMPARE(plateVSpin(w)->value(), expected);
        // The cards work with the voltage on show.
        typeInto(readingField(cards(w)[0], 0), QStringLiteral("20"));
        QVERIFY(w.session().result(0).valid);
        QCOMPARE(w.session().result(0).dissipationW, expected * 20 / 1000);
    }

    void customTubeIsRatedAgainstTypedMaximum()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        typeInto(readingField(cards(w)[0], 0), QStringLiteral("40")); // 14 W at 350 V
        typeInto(readingField(cards(w)[1], 0), QStringLiteral("20")); // 7 W

        QVERIFY(choose(tubeCombo(w), QStringLiteral("Custom...")));
        QVERIFY(maxWSpin(w)->isVisibleTo(&w));
        QVERIFY(maxWLabel(w)->isVisibleTo(&w));
        QCOMPARE(w.session().maxPlateW(), 25.0);
        QCOMPARE(w.session().result(0).pctOfMax, 56.0);
        QCOMPARE(w.session().result(1).pctOfMax, 28.0);

        typeInto(maxWSpin(w), QStringLiteral("40"));
        QCOMPARE(w.session().maxPlateW(), 40.0);
        QCOMPARE(w.session().result(0).pctOfMax, 35.0);
        QCOMPARE(w.session().result(1).pctOfMax, 17.5);

        targetSlider(w)->setValue(50);
        typeInto(plateVSpin(w), QStringLiteral("400"));
        QCOMPARE(targetCurrentLabel(w)->text(),
                 QStringLiteral("Recommended idle: 50.0 mA per tube\n(20.0 W at 400 V plate)"));

        // A named tube hides the row again but keeps the typed value for later.
        QVERIFY(choose(tubeCombo(w), QStringLiteral("KT88")));
        QVERIFY(!maxWSpin(w)->isVisibleTo(&w));
        QVERIFY(!maxWLabel(w)->isVisibleTo(&w));
        QCOMPARE(maxWSpin(w)->value(), 40.0);
        QCOMPARE(w.session().maxPlateW(), 35.0);
        QVERIFY(qAbs(w.session().result(0).pctOfMax - 16.0 / 35 * 100) < 1e-9); // 40 mA at 400 V
    }

    void classChangeRebuildsMethodList_data()
    {
        QTest::addColumn<QString>("fromClass");
        QTest::addColumn<int>("fromMethod");
        QTest::addColumn<QString>("toClass");
        QTest::addColumn<QList<int>>("methods");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("slider");
        QTest::addRow("RF keeps the sense resistor")
            << fixedBias << 1 << rfLinear << QList<int>{4, 1} << 1 << 45;
        QTest::addRow("RF falls back to the panel meter")
            << fixedBias << 0 << rfLinear << QList<int>{4, 1} << 4 << 45;
        QTest::addRow("fixed bias drops cathode bias")
            << "Push-Pull Class AB (cathode bias)" << 3 << fixedBias << QList<int>{0, 1, 2} << 0 << 65;
        QTest::addRow("class B keeps the winding drop")
            << "Single-Ended Class A" << 2 << "Push-Pull Class B" << QList<int>{0, 1, 2} << 2 << 12;
        QTest::addRow("RF to class A keeps the sense resistor")
            << rfLinear << 1 << "Push-Pull Class A" << QList<int>{0, 1, 2, 3} << 1 << 90;
        QTest::addRow("RF panel meter to class A falls back to the probe")
            << rfLinear << 4 << "Push-Pull Class A" << QList<int>{0, 1, 2, 3} << 0 << 90;
    }

    void classChangeRebuildsMethodList()
    {
        QFETCH(QString, fromClass);
        QFETCH(int, fromMethod);
        QFETCH(QString, toClass);
        QFETCH(QList<int>, methods);
        QFETCH(int, selected);
        QFETCH(int, slider);
        const auto window = openWindow();
        MainWindow& w = *window;

        QVERIFY(choose(classCombo(w), fromClass));
        QVERIFY(chooseMethod(w, fromMethod));
        targetSlider(w)->setValue(77);
        QVERIFY(choose(classCombo(w), toClass));

        QList<int> listed;
        for (int i = 0; i < methodCombo(w)->count(); ++i) {
            listed << methodCombo(w)->itemData(i).toInt();
            QCOMPARE(methodCombo(w)->itemText(i), biasMethodLabel(listed.last()));
        }
        QCOMPARE(listed, methods);
        QCOMPARE(w.session().setup().method, selected);
        QCOMPARE(targetSlider(w)->value(), slider);
        QCOMPARE(topologyNote(w)->text(), findAmpClass(toClass)->description);
        for (TubeCardWidget* card : cards(w))
            QCOMPARE(card->method(), selected);
    }

    void classWindowRatesEveryCard_data()
    {
        QTest::addColumn<QString>("ampClass");
        QTest::addColumn<QString>("status");
        // 26 mA at 350 V on a 6V6GT is 65 % of its 14 W.
        QTest::addRow("fixed bias 60-70") << fixedBias << "ideal";
        QTest::addRow("class B 5-20") << "Push-Pull Class B"
                                      << "warm";
        QTest::addRow("single-ended 85-100") << "Single-Ended Class A"
                                             << "cold";
    }

    void classWindowRatesEveryCard()
    {
        QFETCH(QString, ampClass);
        QFETCH(QString, status);
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(choose(classCombo(w), ampClass));
        QVERIFY(chooseMethod(w, BiasProbe));
        typeInto(plateVSpin(w), QStringLiteral("350"));
        for (TubeCardWidget* card : cards(w))
            typeInto(readingField(card, 0), QStringLiteral("26"));
        for (TubeCardWidget* card : cards(w))
            QCOMPARE(card->property("status").toString(), status);

        // Cards built later get the window as well.
        typeInto(tubeCountSpin(w), QStringLiteral("3"));
        typeInto(readingField(cards(w)[2], 0), QStringLiteral("26"));
        QCOMPARE(cards(w)[2]->property("status").toString(), status);
    }

    void methodShowsItsRows_data()
    {
        QTest::addColumn<QString>("ampClass");
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("plateLabel");
        // Visible, in order: plate V, B+, sense R, cathode R, shared resistor, subtract screen, meter
        // total. Both the cathode and the sense resistor may be shared.
        QTest::addColumn<QString>("shown");
        QTest::addRow("bias probe") << "Single-Ended Class A" << 0 << "Plate voltage"
                                    << "P....S.";
        QTest::addRow("sense resistor") << "Single-Ended Class A" << 1 << "Plate voltage"
                                        << "P.R.XS.";
        QTest::addRow("winding drop") << "Single-Ended Class A" << 2 << "Plate voltage"
                                      << ".B.....";
        QTest::addRow("cathode bias") << "Single-Ended Class A" << 3 << "Plate-to-cathode V"
                                      << "P..KXS.";
        QTest::addRow("panel meter") << rfLinear << 4 << "Idle HV (no load)"
                                     << "P.....M";
    }

    void methodShowsItsRows()
    {
        QFETCH(QString, ampClass);
        QFETCH(int, method);
        QFETCH(QString, plateLabel);
        QFETCH(QString, shown);
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(choose(classCombo(w), ampClass));
        // Start from another method so that the choice below is a change.
        const int first = methodCombo(w)->itemData(0).toInt();
        QVERIFY(chooseMethod(w, first != method ? first : methodCombo(w)->itemData(1).toInt()));
        QVERIFY(chooseMethod(w, method));

        const QList<QPair<QWidget*, QWidget*>> rows = {
            {plateVSpin(w), plateVLabel(w)}, {bPlusSpin(w), bPlusLabel(w)},
            {senseSpin(w), senseLabel(w)},   {cathodeRSpin(w), cathodeRLabel(w)},
            {sharedPairCheck(w), nullptr},   {subtractScreenCheck(w), nullptr},
            {meterTotalCheck(w), nullptr}};
        for (int i = 0; i < rows.size(); ++i) {
            const bool expected = shown.at(i) != QLatin1Char('.');
            QVERIFY2(
                rows[i].first->isVisibleTo(&w) == expected,
                qPrintable(
                    QStringLiteral("control %1 should be %2").arg(i).arg(expected ? "shown" : "hidden")));
            if (rows[i].second)
                QCOMPARE(rows[i].second->isVisibleTo(&w), expected);
        }
        QCOMPARE(plateVLabel(w)->text(), plateLabel);
        for (TubeCardWidget* card : cards(w))
            QCOMPARE(card->method(), method);
    }

    void sharedValuesReachEveryCard_data()
    {
        QTest::addColumn<QString>("ampClass");
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("tubes");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("before"); // mA per tube
        QTest::addColumn<double>("after");
        QTest::addRow("meter total divides by the tube count") << rfLinear << 4 << 4 << "200"
                                                               << "meterTotal" << 50.0 << 200.0;
        QTest::addRow("screen current subtracted") << fixedBias << 0 << 2 << "40"
                                                   << "subtractScreen" << 40.0 << 38.0;
        QTest::addRow("sense resistor of 10 ohms") << fixedBias << 1 << 3 << "400"
                                                   << "sense" << 400.0 << 40.0;
        QTest::addRow("cathode resistor shared by the pair") << "Single-Ended Class A" << 3 << 2 << "25"
                                                             << "sharedPair" << 100.0 << 50.0;
        QTest::addRow("cathode resistor of 500 ohms") << "Single-Ended Class A" << 3 << 2 << "25"
                                                      << "cathodeR" << 100.0 << 50.0;
    }

    void sharedValuesReachEveryCard()
    {
        QFETCH(QString, ampClass);
        QFETCH(int, method);
        QFETCH(int, tubes);
        QFETCH(QString, reading);
        QFETCH(QString, control);
        QFETCH(double, before);
        QFETCH(double, after);
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(choose(classCombo(w), ampClass));
        QVERIFY(chooseMethod(w, method));
        typeInto(tubeCountSpin(w), QString::number(tubes));
        QCOMPARE(cards(w).size(), tubes);
        for (TubeCardWidget* card : cards(w))
            typeInto(readingField(card, 0), reading);
        // A meter reading the total takes it once, in the setup.
        if (method == PanelMeter) {
            auto* total = w.findChild<QDoubleSpinBox*>(QStringLiteral("meterTotalSpin"));
            QVERIFY(total);
            typeInto(total, reading);
        }
        for (TubeCardWidget* card : cards(w))
            QVERIFY2(qAbs(w.session().result(card->index()).currentMa - before) < 1e-9,
                     qPrintable(QStringLiteral("%1 mA before, got %2")
                                    .arg(before)
                                    .arg(w.session().result(card->index()).currentMa)));

        QCoreApplication::processEvents(); // lays out the rows the method has just shown
        if (control == QLatin1String("meterTotal"))
            clickCheckBox(meterTotalCheck(w));
        else if (control == QLatin1String("subtractScreen"))
            clickCheckBox(subtractScreenCheck(w));
        else if (control == QLatin1String("sharedPair"))
            clickCheckBox(sharedPairCheck(w));
        else if (control == QLatin1String("sense"))
            typeInto(senseSpin(w), QStringLiteral("10"));
        else if (control == QLatin1String("cathodeR"))
            typeInto(cathodeRSpin(w), QStringLiteral("500"));

        for (TubeCardWidget* card : cards(w))
            QVERIFY2(qAbs(w.session().result(card->index()).currentMa - after) < 1e-9,
                     qPrintable(QStringLiteral("%1 mA after, got %2")
                                    .arg(after)
                                    .arg(w.session().result(card->index()).currentMa)));
    }

    // The share box and its count on the AC30's job: four EL84s on one 50 Ω resistor.
    void sharedResistorCountOnTheWindow()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(clickPreset(w, QStringLiteral("AC30")));
        QVERIFY(sharedPairCheck(w)->isChecked());
        QCOMPARE(sharedPairCheck(w)->text(), QStringLiteral("Resistor shared by 4 tubes"));
        QCOMPARE(sharedTubesSpin(w)->value(), 4);
        QCOMPARE(sharedTubesSpin(w)->maximum(), 4);
        typeInto(plateVSpin(w), QStringLiteral("310"));
        for (TubeCardWidget* card : cards(w))
            typeInto(readingField(card, 0), QStringLiteral("10.5"));
        QCOMPARE(w.session().result(3).currentMa, 52.5);
        QCOMPARE(matchLabel(w)->text(), QStringLiteral("MATCHING: cannot be judged from a shared resistor"));

        // Two pairs on two resistors: the count is one edit of the model.
        typeInto(sharedTubesSpin(w), QStringLiteral("2"));
        QCOMPARE(w.session().setup().shared.sharedTubes, 2);
        QCOMPARE(sharedPairCheck(w)->text(), QStringLiteral("Resistor shared by 2 tubes"));
        QCOMPARE(w.session().result(0).currentMa, 105.0);

        // The box stands for the sense resistor under that method.
        QVERIFY(clickPreset(w, QStringLiteral("Dynaco ST-70")));
        QVERIFY(sharedPairCheck(w)->isChecked());
        clickCheckBox(sharedPairCheck(w));
        QVERIFY(!w.session().setup().shared.sharedSenseR);

        // One tube: nothing to share.
        QVERIFY(clickPreset(w, QStringLiteral("Champ / Vibro Champ")));
        QVERIFY(!sharedPairCheck(w)->isEnabled());
        QVERIFY(!sharedTubesSpin(w)->isEnabled());
        QVERIFY(!sharedPairCheck(w)->isChecked());
    }

    // The screen option names the share of the tube at hand and is not offered for a triode.
    void screenOptionFollowsTheTube()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(choose(tubeCombo(w), QStringLiteral("EL34")));
        QVERIFY(subtractScreenCheck(w)->isVisibleTo(&w));
        QCOMPARE(subtractScreenCheck(w)->text(), QStringLiteral("Subtract screen current (~13 %)"));
        QVERIFY(subtractScreenCheck(w)->toolTip().contains(QStringLiteral("87% of the cathode reading")));
        QVERIFY(choose(tubeCombo(w), QStringLiteral("300B")));
        QVERIFY(!subtractScreenCheck(w)->isVisibleTo(&w));
    }

    void targetFollowsSliderTubeAndPlateVoltage()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        typeInto(plateVSpin(w), QStringLiteral("0"));
        QCOMPARE(targetCurrentLabel(w)->text(), prompt);
        targetSlider(w)->setValue(80);
        QCOMPARE(targetLabel(w)->text(), QStringLiteral("80% of max dissipation"));
        QCOMPARE(targetCurrentLabel(w)->text(), prompt);

        typeInto(plateVSpin(w), QStringLiteral("400"));
        QCOMPARE(targetCurrentLabel(w)->text(),
                 QStringLiteral("Recommended idle: 28.0 mA per tube\n(11.2 W at 400 V plate)"));

        targetSlider(w)->setValue(65);
        QVERIFY(choose(tubeCombo(w), QStringLiteral("6L6GC")));
        QCOMPARE(targetCurrentLabel(w)->text(),
                 QStringLiteral("Recommended idle: 48.8 mA per tube\n(19.5 W at 400 V plate)"));
    }

    void windingDropTargetUsesTubeOnesPlateVoltage()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(chooseMethod(w, OtWindingDrop));
        QVERIFY(!plateVSpin(w)->isVisibleTo(&w));
        QVERIFY(bPlusSpin(w)->isVisibleTo(&w));
        typeInto(bPlusSpin(w), QStringLiteral("450"));

        // The hidden shared field still holds 350 V; only tube 1's own voltage counts.
        QCOMPARE(targetCurrentLabel(w)->text(), prompt);
        typeInto(readingField(cards(w)[1], 0), QStringLiteral("440"));
        QCOMPARE(targetCurrentLabel(w)->text(), prompt);

        // The read-out follows tube 1's field as it is typed, without waiting for another change.
        typeInto(readingField(cards(w)[0], 0), QStringLiteral("440"));
        QCOMPARE(targetCurrentLabel(w)->text(),
                 QStringLiteral("Recommended idle: 20.7 mA per tube\n(9.1 W at 440 V plate)"));
        typeInto(readingField(cards(w)[0], 1), QStringLiteral("100"));
        QVERIFY(w.session().result(0).valid);
        QCOMPARE(w.session().result(0).currentMa, 100.0);

        // Back to a shared plate voltage: the target uses the field again.
        QVERIFY(chooseMethod(w, BiasProbe));
        QCOMPARE(targetCurrentLabel(w)->text(),
                 QStringLiteral("Recommended idle: 26.0 mA per tube\n(9.1 W at 350 V plate)"));
    }

    void cardsFillTheirColumns_data()
    {
        QTest::addColumn<int>("count");
        for (int count : {1, 3, 4, 5, 9, 10, 12})
            QTest::addRow("%d tubes", count) << count;
    }

    void cardsFillTheirColumns()
    {
        QFETCH(int, count);
        const auto window = openWindow();
        MainWindow& w = *window;
        const QList<TubeCardWidget*> shown = cards(w);
        QList<QPointer<TubeCardWidget>> oldCards(shown.cbegin(), shown.cend());

        typeInto(tubeCountSpin(w), QString::number(count));
        QCOMPARE(tubeCountSpin(w)->value(), count);
        QCOMPARE(cards(w).size(), count);
        QCOMPARE(cardGrid(w)->count(), count);
        // As many in a row as the card area has room for, tube 1 first, row by row.
        const QWidget* area = cardHost(w)->parentWidget();
        const int spacing = cardGrid(w)->horizontalSpacing();
        const int room =
            area->width() - cardGrid(w)->contentsMargins().left() - cardGrid(w)->contentsMargins().right();
        const int cardWidth = cards(w).first()->width();
        int columns = 0;
        while (columns < count && gridPlace(w, cards(w)[columns]).startsWith(QStringLiteral("0,")))
            ++columns;
        QVERIFY(columns >= 1);
        QVERIFY2(columns * cardWidth + (columns - 1) * spacing <= room, "the row is wider than its area");
        if (columns < count)
            QVERIFY2((columns + 1) * tubeCardMinimumWidth + columns * spacing > room,
                     "another card would have fitted in the row");
        for (int i = 0; i < count; ++i) {
            TubeCardWidget* card = cards(w)[i];
            QCOMPARE(card->index(), i);
            QCOMPARE(cardTitle(card), QStringLiteral("V%1").arg(i + 1));
            QCOMPARE(gridPlace(w, card), QStringLiteral("%1,%2").arg(i / columns).arg(i % columns));
            QCOMPARE(card->width(), cardWidth);
        }
        const int rows = (count + columns - 1) / columns;
        for (int row = 0; row < rows; ++row)
            QCOMPARE(cardGrid(w)->rowStretch(row), 0);
        QCOMPARE(cardGrid(w)->rowStretch(rows), 1);

        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QPointer<TubeCardWidget>& old : oldCards)
            QVERIFY2(old.isNull(), "the cards of the previous count are deleted");
    }

    void rebuildingKeepsReadings()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        typeInto(readingField(cards(w)[0], 0), QStringLiteral("26"));
        typeInto(readingField(cards(w)[1], 0), QStringLiteral("25"));
        const QString verdict = matchLabel(w)->text();
        QVERIFY(!verdict.isEmpty());

        // The new cards show the tubes' readings; the new tubes have none.
        typeInto(tubeCountSpin(w), QStringLiteral("4"));
        QCOMPARE(cards(w).size(), 4);
        QCOMPARE(firstReadings(w), (QList<double>{26, 25, 0, 0}));
        QCOMPARE(readingField(cards(w)[1], 0)->text(), QStringLiteral("25.0 mA"));
        QVERIFY(w.session().result(1).valid && !w.session().result(2).valid);
        QCOMPARE(matchLabel(w)->text(), verdict);
    }

    // A hand-edited profile can ask for any count; the cards follow the spin box's range.
    void tubeCountOutsideRangeIsClamped_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("built");
        QTest::addRow("20") << 20 << 12;
        QTest::addRow("0") << 0 << 1;
        QTest::addRow("-3") << -3 << 1;
        QTest::addRow("7") << 7 << 7;
    }

    void tubeCountOutsideRangeIsClamped()
    {
        QFETCH(int, asked);
        QFETCH(int, built);
        MainWindow w;
        QSignalSpy spinChanges(tubeCountSpin(w), &QSpinBox::valueChanged);
        w.session().setTubeCount(asked);
        QCOMPARE(tubeCountSpin(w)->value(), built);
        QCOMPARE(cards(w).size(), built);
        QCOMPARE(spinChanges.count(), 0); // set quietly: no second rebuild
    }

    void presetListHasHeadingsAndPresets()
    {
        MainWindow w;
        const QComboBox* combo = presetCombo(w);
        auto* model = qobject_cast<QStandardItemModel*>(combo->model());
        QVERIFY(model);
        const auto isSeparator = [combo](int row) {
            return combo->itemData(row, Qt::AccessibleDescriptionRole).toString() ==
                   QLatin1String("separator");
        };

        QCOMPARE(combo->itemText(0), QStringLiteral("— choose a preset —"));
        QVERIFY(!combo->itemData(0).isValid());
        QVERIFY(isSeparator(1));
        QCOMPARE(combo->itemText(2), QStringLiteral("· FENDER ·"));
        QCOMPARE(combo->itemText(3), ampPresets().first().name);
        QCOMPARE(combo->itemData(3).toInt(), 0);

        // Walk the whole list: every preset once, in catalogue order, each group opened by a
        // separator and a heading that cannot be chosen.
        int next = 0;
        QString group;
        QStringList headings;
        for (int row = 1; row < combo->count(); ++row) {
            if (isSeparator(row)) {
                const QString heading = combo->itemText(row + 1);
                QVERIFY2(!combo->itemData(row + 1).isValid(), qPrintable(heading + " carries no preset"));
                const Qt::ItemFlags flags = model->item(row + 1)->flags();
                QVERIFY2(!(flags & Qt::ItemIsEnabled) && !(flags & Qt::ItemIsSelectable),
                         qPrintable(heading + " cannot be chosen"));
                headings << heading;
                group = ampPresets().at(next).group;
                QCOMPARE(heading, QStringLiteral("· %1 ·").arg(group.toUpper()));
                ++row;
                continue;
            }
            QVERIFY2(next < ampPresets().size(), "no more entries than presets");
            QCOMPARE(combo->itemText(row), ampPresets().at(next).name);
            QCOMPARE(combo->itemData(row).toInt(), next);
            QCOMPARE(ampPresets().at(next).group, group);
            ++next;
        }
        QCOMPARE(next, ampPresets().size());
        QCOMPARE(headings.size(), 14);
        QCOMPARE(headings.last(), QStringLiteral("· RF TRANSCEIVERS ·"));
    }

    void keyboardSkipsSeparatorAndHeading()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        presetCombo(w)->setFocus();
        QTest::keyClick(presetCombo(w), Qt::Key_Down);
        QCOMPARE(presetCombo(w)->currentIndex(), 3);
        // The step landed on the first preset and applied it.
        QCOMPARE(w.selectedPreset(), 0);
        QCOMPARE(tubeCombo(w)->currentText(), ampPresets().first().tube);
    }

    void presetFillsTheSetup_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QString>("tube");
        QTest::addColumn<QString>("ampClass");
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("tubes");
        QTest::addColumn<double>("plateV");
        QTest::addColumn<double>("bPlusV");
        QTest::addColumn<int>("slider");
        QTest::addRow("Deluxe Reverb") << "Deluxe Reverb"
                                       << "6V6GT" << fixedBias << 0 << 2 << 420.0 << 0.0 << 70;
        QTest::addRow("SB-200") << "SB-200 / SB-201"
                                << "572B" << rfLinear << 4 << 2 << 2400.0 << 0.0 << 71;
        QTest::addRow("winding drop sets B+ 10 V above")
            << "Harmony H400"
            << "50C5"
            << "Single-Ended Class A" << 2 << 1 << 110.0 << 120.0 << 90;
        QTest::addRow("cathode bias") << "Tweed Deluxe 5E3"
                                      << "6V6GT"
                                      << "Push-Pull Class AB (cathode bias)" << 3 << 2 << 360.0 << 0.0 << 85;
        QTest::addRow("four tubes") << "Dual Rectifier"
                                    << "6L6GC" << fixedBias << 0 << 4 << 480.0 << 0.0 << 65;
    }

    void presetFillsTheSetup()
    {
        QFETCH(QString, preset);
        QFETCH(QString, tube);
        QFETCH(QString, ampClass);
        QFETCH(int, method);
        QFETCH(int, tubes);
        QFETCH(double, plateV);
        QFETCH(double, bPlusV);
        QFETCH(int, slider);
        const auto window = openWindow();
        MainWindow& w = *window;
        // Start away from the defaults, with the plate field empty: the preset's voltage must win
        // over the tube's typical one.
        QVERIFY(choose(classCombo(w), "Push-Pull Class B"));
        typeInto(plateVSpin(w), QStringLiteral("0"));
        typeInto(tubeCountSpin(w), QStringLiteral("3"));
        targetSlider(w)->setValue(99);

        QVERIFY(clickPreset(w, preset));
        const AmpPreset* chosen = presetNamed(preset);
        QVERIFY(chosen);
        QCOMPARE(w.selectedPreset(), int(chosen - ampPresets().constData()));
        QCOMPARE(tubeCombo(w)->currentText(), tube);
        QCOMPARE(classCombo(w)->currentText(), ampClass);
        QCOMPARE(w.session().setup().method, method);
        QCOMPARE(tubeCountSpin(w)->value(), tubes);
        QCOMPARE(cards(w).size(), tubes);
        QCOMPARE(plateVSpin(w)->value(), plateV);
        QCOMPARE(bPlusSpin(w)->value(), bPlusV);
        QCOMPARE(targetSlider(w)->value(), slider);
        QCOMPARE(plateVSpin(w)->isVisibleTo(&w), method != OtWindingDrop);
        QCOMPARE(bPlusSpin(w)->isVisibleTo(&w), method == OtWindingDrop);
        QCOMPARE(topologyNote(w)->text(), findAmpClass(ampClass)->description);
        QVERIFY(schematicButton(w)->isEnabled());
        QCOMPARE(schematicButton(w)->toolTip(),
                 QStringLiteral("Look up the %1 schematic online").arg(preset));
        for (TubeCardWidget* card : cards(w))
            QCOMPARE(card->method(), method);

        // Cards are rated against the preset's tube and class at its plate voltage.
        if (method == BiasProbe) {
            typeInto(readingField(cards(w)[0], 0), QStringLiteral("30"));
            const double expected = plateV * 30 / 1000 / findTube(tube)->maxPlateW * 100;
            QVERIFY2(qAbs(w.session().result(0).pctOfMax - expected) < 1e-9,
                     qPrintable(QStringLiteral("%1 % expected").arg(expected)));
        }
    }

    void rechoosingAPresetStartsAfresh()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(clickPreset(w, QStringLiteral("Deluxe Reverb")));
        typeInto(readingField(cards(w)[0], 0), QStringLiteral("30"));
        typeInto(readingField(cards(w)[1], 0), QStringLiteral("31"));
        targetSlider(w)->setValue(72);
        typeInto(plateVSpin(w), QStringLiteral("400"));
        const QList<TubeCardWidget*> shown = cards(w);
        QList<QPointer<TubeCardWidget>> oldCards(shown.cbegin(), shown.cend());

        QVERIFY(clickPreset(w, QStringLiteral("Deluxe Reverb")));
        QCOMPARE(targetSlider(w)->value(), 70); // the note's own figure
        QCOMPARE(plateVSpin(w)->value(), 420.0);
        QCOMPARE(cards(w).size(), 2);
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(!cards(w).contains(oldCards[i].data()), "the cards are built anew");
            QCOMPARE(cards(w)[i]->meas1(), 0.0);
        }
        QCOMPARE(matchLabel(w)->text(), QString());
    }

    void placeholderChangesNothing()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(clickPreset(w, QStringLiteral("SB-200 / SB-201")));
        typeInto(readingField(cards(w)[0], 0), QStringLiteral("100"));
        const int chosen = w.selectedPreset();
        const QString note = w.statusBar()->currentMessage();
        TubeCardWidget* card = cards(w)[0];

        QVERIFY(clickPreset(w, QStringLiteral("— choose a preset —")));
        QCOMPARE(w.selectedPreset(), chosen);
        QVERIFY(schematicButton(w)->isEnabled());
        QCOMPARE(schematicButton(w)->toolTip(),
                 QStringLiteral("Look up the SB-200 / SB-201 schematic online"));
        QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("572B"));
        QCOMPARE(classCombo(w)->currentText(), rfLinear);
        QCOMPARE(plateVSpin(w)->value(), 2400.0);
        QCOMPARE(cards(w).first(), card);
        QCOMPARE(card->meas1(), 100.0);
        QCOMPARE(w.statusBar()->currentMessage(), note);
    }

    void presetNoteStaysTwelveSeconds()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        const AmpPreset* sb200 = presetNamed(QStringLiteral("SB-200 / SB-201"));
        QVERIFY(sb200 && !sb200->note.isEmpty());
        const QString note = sb200->name + QStringLiteral(": ") + sb200->note;

        QVERIFY(clickPreset(w, sb200->name));
        QCOMPARE(w.statusBar()->currentMessage(), note);
        clock.advance(11999);
        QCOMPARE(w.statusBar()->currentMessage(), note);
        clock.advance(1);
        QCOMPARE(w.statusBar()->currentMessage(), QString());

        // A note shown again starts its twelve seconds afresh; the first one's time-out leaves it be.
        QVERIFY(clickPreset(w, sb200->name));
        clock.advance(6000);
        QVERIFY(clickPreset(w, QStringLiteral("— choose a preset —")));
        QVERIFY(clickPreset(w, sb200->name));
        clock.advance(6000);
        QCOMPARE(w.statusBar()->currentMessage(), note);
        clock.advance(6000);
        QCOMPARE(w.statusBar()->currentMessage(), QString());
    }

    void presetNoteStaysInTheNotesPanel()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        auto* panel = w.findChild<QWidget*>(QStringLiteral("notesPanel"));
        auto* text = w.findChild<QLabel*>(QStringLiteral("presetNote"));
        auto* toggle = w.findChild<QToolButton*>(QStringLiteral("notesToggle"));
        auto* copy = w.findChild<QToolButton*>(QStringLiteral("copyNoteBtn"));
        QVERIFY(panel && text && toggle && copy);
        QVERIFY2(!panel->isVisible(), "no preset, no note");

        const AmpPreset* sb200 = presetNamed(QStringLiteral("SB-200 / SB-201"));
        QVERIFY(sb200 && !sb200->note.isEmpty());
        const QString note = sb200->name + QStringLiteral(": ") + sb200->note;
        QVERIFY(clickPreset(w, sb200->name));
        clock.advance(12000);
        QCOMPARE(w.statusBar()->currentMessage(), QString());
        // The status message has gone; the note has not.
        QVERIFY(panel->isVisible());
        QVERIFY(text->isVisible());
        QCOMPARE(text->text(), note);
        QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
        QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByKeyboard);

        // Collapsed to its heading and opened again, it still holds the note.
        toggle->click();
        QVERIFY(panel->isVisible());
        QVERIFY(!text->isVisible());
        toggle->click();
        QVERIFY(text->isVisible());
        QCOMPARE(text->text(), note);

        QGuiApplication::clipboard()->clear();
        copy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), note);

        // The placeholder entry chooses nothing, so the note stays; a preset without one takes it.
        QVERIFY(clickPreset(w, QStringLiteral("— choose a preset —")));
        QCOMPARE(text->text(), note);
        QVERIFY(clickPreset(w, QStringLiteral("Bassman 5F6-A")));
        QVERIFY(!panel->isVisible());
    }

    void presetWithoutNoteClearsTheLastOne()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        const AmpPreset* bassman = presetNamed(QStringLiteral("Bassman 5F6-A"));
        QVERIFY(bassman && bassman->note.isEmpty());

        QVERIFY(clickPreset(w, QStringLiteral("Deluxe Reverb")));
        QVERIFY(!w.statusBar()->currentMessage().isEmpty());
        QVERIFY(clickPreset(w, bassman->name));
        QCOMPARE(w.statusBar()->currentMessage(), QString());
        QCOMPARE(tubeCombo(w)->currentText(), QStringLiteral("5881"));
    }

    void matchingVerdict_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("level");
        QTest::addRow("15 percent exactly is good") << "40"
                                                    << "34"
                                                    << "MATCHING: within 15% — good"
                                                    << "good";
        QTest::addRow("15.25 percent is bad though it shows 15")
            << "40"
            << "33.9"
            << "MATCHING: tubes spread 15% apart — consider re-matching"
            << "bad";
        QTest::addRow("identical") << "30"
                                   << "30"
                                   << "MATCHING: within 0% — good"
                                   << "good";
        QTest::addRow("order does not matter") << "20"
                                               << "40"
                                               << "MATCHING: tubes spread 50% apart — consider re-matching"
                                               << "bad";
    }

    void matchingVerdict()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, text);
        QFETCH(QString, level);
        const auto window = openWindow();
        MainWindow& w = *window;
        typeInto(readingField(cards(w)[0], 0), first);
        typeInto(readingField(cards(w)[1], 0), second);
        QCOMPARE(matchLabel(w)->text(), text);
        QCOMPARE(matchLabel(w)->property("level").toString(), level);
    }

    void matchingNeedsTwoReadings()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        typeInto(tubeCountSpin(w), QStringLiteral("4"));
        typeInto(readingField(cards(w)[2], 0), QStringLiteral("26"));
        QCOMPARE(matchLabel(w)->text(), QString());

        typeInto(readingField(cards(w)[3], 0), QStringLiteral("26"));
        QCOMPARE(matchLabel(w)->text(), QStringLiteral("MATCHING: within 0% — good"));
        // Clearing a reading takes that tube out of the comparison again.
        typeInto(readingField(cards(w)[3], 0), QStringLiteral("0"));
        QCOMPARE(matchLabel(w)->text(), QString());
        QCOMPARE(matchLabel(w)->property("level").toString(), QString());
    }

    void matchingRepolishesOnlyOnChangeOfLevel()
    {
        RecordingStyle style; // outlives the window
        const auto window = openWindow();
        MainWindow& w = *window;
        matchLabel(w)->setStyle(&style);
        style.watched = matchLabel(w);
        TubeCardWidget* tube1 = cards(w)[0];
        TubeCardWidget* tube2 = cards(w)[1];
        const QStringList repolish = {QStringLiteral("unpolish"), QStringLiteral("polish")};

        tube1->setMeasurements(40, 0);
        tube2->setMeasurements(38, 0);
        QCOMPARE(matchLabel(w)->property("level").toString(), QStringLiteral("good"));
        QCOMPARE(style.calls, repolish);

        style.calls.clear();
        tube2->setMeasurements(36, 0);
        QCOMPARE(matchLabel(w)->text(), QStringLiteral("MATCHING: within 10% — good"));
        QCOMPARE(style.calls, QStringList());

        tube2->setMeasurements(30, 0);
        QCOMPARE(matchLabel(w)->property("level").toString(), QStringLiteral("bad"));
        QCOMPARE(style.calls, repolish);

        // Too few readings: the text goes and the level is cleared, without a re-polish ...
        style.calls.clear();
        tube2->setMeasurements(0, 0);
        QCOMPARE(matchLabel(w)->property("level").toString(), QString());
        QCOMPARE(style.calls, QStringList());
        // ... so the next verdict, even the same one as before, is re-polished.
        tube2->setMeasurements(30, 0);
        QCOMPARE(style.calls, repolish);
    }

    void matchingLevelReachesTheStyleSheet()
    {
        const QString sheet = QStringLiteral("#matchLabel[level=\"good\"] { color: #8fd487; }"
                                             "#matchLabel[level=\"bad\"] { color: #ff9d8f; }");
        qApp->setStyleSheet(sheet);
        const auto restore = qScopeGuard([] { qApp->setStyleSheet(QString()); });
        const auto window = openWindow();
        MainWindow& w = *window;

        auto colour = [&w] { return matchLabel(w)->palette().color(matchLabel(w)->foregroundRole()); };
        cards(w)[0]->setMeasurements(40, 0);
        cards(w)[1]->setMeasurements(39, 0);
        QCOMPARE(colour(), QColor(0x8f, 0xd4, 0x87));
        cards(w)[1]->setMeasurements(20, 0);
        QCOMPARE(colour(), QColor(0xff, 0x9d, 0x8f));
        cards(w)[1]->setMeasurements(39, 0);
        QCOMPARE(colour(), QColor(0x8f, 0xd4, 0x87));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
