#include "biastools/biasmodcalc.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTabWidget>
#include <QtTest>

class TestBiasModCalc : public QObject
{
    Q_OBJECT

private slots:
    void opensWithBothResults();
    void recomputesAsTheUserTypes();

private:
    static QLabel* resultOfTab(BiasModCalc& dialog, int tab);
    static QDoubleSpinBox* box(BiasModCalc& dialog, const char* name);
};

QLabel* TestBiasModCalc::resultOfTab(BiasModCalc& dialog, int tab)
{
    auto* tabs = dialog.findChild<QTabWidget*>();
    if (!tabs || tab >= tabs->count())
        return nullptr;
    return tabs->widget(tab)->findChild<QLabel*>(QStringLiteral("calcResult"));
}

QDoubleSpinBox* TestBiasModCalc::box(BiasModCalc& dialog, const char* name)
{
    return dialog.findChild<QDoubleSpinBox*>(QLatin1String(name));
}

void TestBiasModCalc::opensWithBothResults()
{
    BiasModCalc dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Bias Mod Calculator"));
    auto* tabs = dialog.findChild<QTabWidget*>();
    QVERIFY2(tabs && tabs->count() == 2, "the dialog should hold a tab widget with the two calculators");
    QCOMPARE(tabs->tabText(0), QStringLiteral("Cathode Bias Resistor"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Fixed-Bias Range Mod"));

    QLabel* cathode = resultOfTab(dialog, 0);
    QLabel* mod = resultOfTab(dialog, 1);
    QVERIFY2(cathode && mod, "each tab should carry a result label named calcResult");
    // 40 mA plate with a 5 % screen share is 42.1 mA of cathode current a tube: 15 V / 84.2 mA.
    for (const char* part : {"<b>Exact:</b> 178 Ω", "<b>Next larger E24 value:</b> 180 Ω",
                             "towards the colder", "1.26 W", "rated ≥ 4 W", "rated above 23 V"}) {
        QVERIFY2(cathode->text().contains(QString::fromUtf8(part)),
                 qPrintable(QStringLiteral("cathode tab should show '%1' on opening, shows: %2")
                                .arg(QString::fromUtf8(part), cathode->text())));
    }
    for (const char* part : {"<b>Implied existing shunt:</b> 122 kΩ", "<b>Required total shunt:</b> 60.4 kΩ",
                             "(nearest E24: 62 kΩ)", "add 120 kΩ (E24: 120 kΩ) in parallel"}) {
        QVERIFY2(mod->text().contains(QString::fromUtf8(part)),
                 qPrintable(QStringLiteral("range-mod tab should show '%1' on opening, shows: %2")
                                .arg(QString::fromUtf8(part), mod->text())));
    }
}

void TestBiasModCalc::recomputesAsTheUserTypes()
{
    BiasModCalc dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLabel* cathode = resultOfTab(dialog, 0);
    QLabel* mod = resultOfTab(dialog, 1);
    QDoubleSpinBox* tubes = box(dialog, "tubeCountBox");
    QDoubleSpinBox* needed = box(dialog, "neededBiasBox");
    QDoubleSpinBox* supply = box(dialog, "rawSupplyBox");
    QVERIFY2(cathode && mod && tubes && needed && supply,
             "the dialog's boxes and result labels should exist");

    // One tube instead of two: 15 V / 42.1 mA = 356 Ω, up to 360 Ω.
    tubes->setFocus();
    tubes->selectAll();
    QTest::keyClicks(tubes, QStringLiteral("1"));
    QVERIFY2(cathode->text().contains(QStringLiteral("<b>Exact:</b> 356 Ω")), qPrintable(cathode->text()));
    QVERIFY2(cathode->text().contains(QStringLiteral("<b>Next larger E24 value:</b> 360 Ω")),
             qPrintable(cathode->text()));
    QVERIFY2(cathode->text().contains(QStringLiteral("0.63 W")), qPrintable(cathode->text()));

    // A triode from the bench has no screen, and E12 is chosen: 15 V / 40 mA = 375 Ω, up to 390 Ω
    // (the nearest E24 value would be the hotter 360 Ω).
    dialog.setScreenPct(0);
    auto* series = dialog.findChild<QComboBox*>(QStringLiteral("seriesCombo"));
    QVERIFY(series);
    series->setCurrentIndex(series->findText(QStringLiteral("E12")));
    QVERIFY2(cathode->text().contains(QStringLiteral("<b>Exact:</b> 375 Ω")), qPrintable(cathode->text()));
    QVERIFY2(cathode->text().contains(QStringLiteral("<b>Next larger E12 value:</b> 390 Ω")),
             qPrintable(cathode->text()));

    // Twelve steps down: needed bias -50 V, more negative than the current -45 V.
    needed->setFocus();
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(needed, Qt::Key_Down);
    QCOMPARE(needed->value(), -50.0);
    QVERIFY2(mod->text().contains(QStringLiteral("add 149 kΩ (E24: 150 kΩ) in series")),
             qPrintable(mod->text()));

    // A raw supply less negative than the bias is refused.
    supply->setFocus();
    supply->selectAll();
    QTest::keyClicks(supply, QStringLiteral("-40"));
    QCOMPARE(supply->value(), -40.0);
    QCOMPARE(mod->text(),
             QStringLiteral("Bias voltages must be negative and smaller in magnitude than the raw supply."));
}

QTEST_MAIN(TestBiasModCalc)
#include "tst_biasmodcalc.moc"
