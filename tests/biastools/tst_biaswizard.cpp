#include "biastools/biaswizard.h"

#include "bias/biascalc.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QtTest>

class TestBiasWizard : public QObject
{
    Q_OBJECT

private slots:
    void pagesFollowTheMethod_data();
    void pagesFollowTheMethod();
    void nextFollowsTheSafetyChecks();
    void acknowledgementsFitInTheTheme();
    void guidanceFitsTheAmp_data();
    void guidanceFitsTheAmp();

private:
    static QStringList pageTitles(const BiasWizard& wizard);
    static QString currentTitle(const BiasWizard& wizard);
};

QString TestBiasWizard::currentTitle(const BiasWizard& wizard)
{
    const auto* title = wizard.currentPage()->findChild<QLabel*>(QStringLiteral("wizardTitle"));
    return title ? title->text() : QString();
}

QStringList TestBiasWizard::pageTitles(const BiasWizard& wizard)
{
    QStringList titles;
    for (int id : wizard.pageIds()) {
        const auto* title = wizard.page(id)->findChild<QLabel*>(QStringLiteral("wizardTitle"));
        titles << (title ? title->text() : QStringLiteral("<no title label>"));
    }
    return titles;
}

void TestBiasWizard::pagesFollowTheMethod_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QStringList>("titles");
    const QString safety = QStringLiteral("Safety First");
    const QString preparation = QStringLiteral("Preparation");
    const QString evaluate = QStringLiteral("Evaluate");
    QTest::addRow("bias probe") << int(BiasProbe)
                                << QStringList{safety, preparation, "Measure with the Bias Probe", evaluate};
    QTest::addRow("sense resistor") << int(SenseResistor)
                                    << QStringList{safety, preparation, "Measure Across the Sense Resistors",
                                                   evaluate};
    QTest::addRow("OT winding drop has two steps")
        << int(OtWindingDrop)
        << QStringList{safety, preparation, "Step 1 - Winding Resistance (Amp OFF)",
                       "Step 2 - Voltage Drop (Amp ON)", evaluate};
    QTest::addRow("cathode bias") << int(CathodeBias)
                                  << QStringList{safety, preparation, "Measure the Cathode-Biased Stage",
                                                 evaluate};
    QTest::addRow("panel meter") << int(PanelMeter)
                                 << QStringList{safety, preparation, "Read Idle Current from the Panel Meter",
                                                evaluate};
    QTest::addRow("unknown method 5") << 5 << QStringList{safety, preparation, evaluate};
    QTest::addRow("unknown method -1") << -1 << QStringList{safety, preparation, evaluate};
}

void TestBiasWizard::pagesFollowTheMethod()
{
    QFETCH(int, method);
    QFETCH(QStringList, titles);
    BiasWizard wizard(method);
    QCOMPARE(pageTitles(wizard), titles);
    for (int id : wizard.pageIds()) {
        const auto* body = wizard.page(id)->findChild<QLabel*>(QStringLiteral("wizardBody"));
        QVERIFY2(body && !body->text().isEmpty() && body->textFormat() == Qt::RichText,
                 qPrintable(QStringLiteral("page %1 should have a rich-text body").arg(id)));
        QVERIFY2(wizard.page(id)->title().isEmpty(), "the title lives in the label, not in the page's title");
    }
}

void TestBiasWizard::nextFollowsTheSafetyChecks()
{
    BiasWizard wizard(OtWindingDrop);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    QAbstractButton* next = wizard.button(QWizard::NextButton);

    for (const QString& title : {QStringLiteral("Safety First"), QStringLiteral("Preparation")}) {
        QCOMPARE(currentTitle(wizard), title);
        auto* check = wizard.currentPage()->findChild<QCheckBox*>(QStringLiteral("wizardCheck"));
        QVERIFY2(check, qPrintable(title + QStringLiteral(" should have an acknowledgement box")));
        QVERIFY2(!check->isChecked() && !next->isEnabled(),
                 qPrintable(title + QStringLiteral(": Next should be disabled until the box is ticked")));
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY2(next->isEnabled(), qPrintable(title + QStringLiteral(": ticking should enable Next")));
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY2(!next->isEnabled(),
                 qPrintable(title + QStringLiteral(": clearing should disable Next again")));
        QTest::mouseClick(check, Qt::LeftButton);
        QTest::mouseClick(next, Qt::LeftButton);
    }

    // The information pages are complete at once, through to Finish on the last one.
    for (const QString& title : {QStringLiteral("Step 1 - Winding Resistance (Amp OFF)"),
                                 QStringLiteral("Step 2 - Voltage Drop (Amp ON)")}) {
        QCOMPARE(currentTitle(wizard), title);
        QVERIFY2(next->isEnabled(), qPrintable(title + QStringLiteral(": Next should be enabled at once")));
        QTest::mouseClick(next, Qt::LeftButton);
    }
    QCOMPARE(currentTitle(wizard), QStringLiteral("Evaluate"));
    QVERIFY2(wizard.button(QWizard::FinishButton)->isEnabled(), "Finish should be enabled on the last page");

    // A new session starts with both boxes cleared again.
    BiasWizard again(BiasProbe);
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QVERIFY2(!again.button(QWizard::NextButton)->isEnabled(), "a new session must be acknowledged afresh");
}

void TestBiasWizard::acknowledgementsFitInTheTheme()
{
    QFile theme(QStringLiteral(":/style.qss"));
    QVERIFY2(theme.open(QIODevice::ReadOnly), "the theme should be embedded as :/style.qss");
    qApp->setStyleSheet(QString::fromUtf8(theme.readAll()));

    BiasWizard wizard(PanelMeter);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    for (int page = 0; page < 2; ++page) {
        auto* check = wizard.currentPage()->findChild<QCheckBox*>(QStringLiteral("wizardCheck"));
        QVERIFY(check);
        QVERIFY2(check->width() >= check->minimumSizeHint().width(),
                 qPrintable(QStringLiteral("'%1' is cut off: %2 px wide, needs %3 px")
                                .arg(check->text())
                                .arg(check->width())
                                .arg(check->minimumSizeHint().width())));
        QTest::mouseClick(check, Qt::LeftButton);
        QTest::mouseClick(wizard.button(QWizard::NextButton), Qt::LeftButton);
    }
    QVERIFY2(wizard.width() >= 560 && wizard.height() >= 440,
             "the wizard keeps its minimum size of 560 x 440");
    qApp->setStyleSheet(QString());
}

void TestBiasWizard::guidanceFitsTheAmp_data()
{
    QTest::addColumn<QString>("ampClass");
    QTest::addColumn<double>("plateV");
    QTest::addColumn<QStringList>("safetySays");
    QTest::addColumn<QString>("coldSays");
    QTest::addColumn<bool>("noLoadHv"); // the panel meter page asks for the idle high voltage
    const QString rf = QStringLiteral("RF Linear (Class AB/B)");
    QTest::addRow("SB-200 at 2400 V")
        << rf << 2400.0 << QStringList{"about 2400 volts DC", "RF linears run 1,700 to 3,000 volts DC"}
        << "poorer linearity" << true;
    QTest::addRow("RF, voltage not typed yet")
        << rf << 0.0 << QStringList{"1,700 to 3,000 volts DC in an RF linear"} << "poorer linearity" << true;
    QTest::addRow("push-pull guitar amp at 460 V")
        << "Push-Pull Class AB (fixed bias)" << 460.0 << QStringList{"about 460 volts DC"}
        << "crossover distortion possible" << false;
    QTest::addRow("single-ended Champ at 360 V")
        << "Single-Ended Class A" << 360.0 << QStringList{"about 360 volts DC"} << "less clean headroom"
        << false;
}

void TestBiasWizard::guidanceFitsTheAmp()
{
    QFETCH(QString, ampClass);
    QFETCH(double, plateV);
    QFETCH(QStringList, safetySays);
    QFETCH(QString, coldSays);
    QFETCH(bool, noLoadHv);
    const BiasWizardJob job{PanelMeter, ampClass, plateV};
    const QString safety = biasWizardSafetyBody(job);
    for (const QString& part : safetySays)
        QVERIFY2(safety.contains(part), qPrintable(safety));
    // An audio amp's range is no warning for a linear's supply, nor the other way round.
    QCOMPARE(safety.contains(QStringLiteral("400 to 700")), false);
    QCOMPARE(safety.contains(QStringLiteral("1,700 to 3,000")),
             ampClass == QLatin1String("RF Linear (Class AB/B)"));

    const QString evaluate = biasWizardEvaluateBody(job);
    QVERIFY2(evaluate.contains(QStringLiteral("cold: ") + coldSays), qPrintable(evaluate));
    // Crossover distortion belongs to a push-pull stage biased towards class B, not a class A one.
    if (ampClass.endsWith(QLatin1String("Class A")))
        QVERIFY(!evaluate.contains(QStringLiteral("crossover")));

    const QString meter = biasWizardPanelMeterBody(job);
    QCOMPARE(meter.contains(QStringLiteral("idle (no-load) high voltage")), noLoadHv);
    QCOMPARE(meter.contains(QStringLiteral("understates the idle dissipation by about 15%")), noLoadHv);
    QVERIFY(!meter.contains(QStringLiteral("schematic value under load")));

    // The pages show these texts.
    BiasWizard wizard(job);
    QStringList bodies;
    for (int id : wizard.pageIds())
        bodies << wizard.page(id)->findChild<QLabel*>(QStringLiteral("wizardBody"))->text();
    QVERIFY(bodies.contains(safety));
    QVERIFY(bodies.contains(meter));
    QVERIFY(bodies.contains(evaluate));
}

QTEST_MAIN(TestBiasWizard)
#include "tst_biaswizard.moc"
