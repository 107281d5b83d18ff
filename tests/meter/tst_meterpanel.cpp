// The "Meter" panel driven as a technician drives it: connect the simulated meter and let it read
// four tubes hands-free, Space to commit at once, clicking a card, a network meter on the wrong
// function or showing overload, and the one-time safety note.
#include "fakemeters.h"
#include "meter/meterpanel.h"
#include "mockclock.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

namespace {

void chooseProtocol(MeterPanel& panel, const QString& id)
{
    const int index = panel.protocolBox->findData(id);
    QVERIFY(index >= 0);
    panel.protocolBox->setCurrentIndex(index);
}

} // namespace

class TestMeterPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void simulatedWarmUpReadsFourTubesHandsFree();
    void spaceAndClickedCards();
    void networkMeterThatDoesNotFit_data();
    void networkMeterThatDoesNotFit();
    void safetyNoteOnceUntilDismissed();
    void controlsFollowTheProtocol();

private:
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<MockClock> clock;
};

void TestMeterPanel::init()
{
    home = std::make_unique<QTemporaryDir>();
    useTemporaryHome(*home);
    QSettings().clear();
    clock = std::make_unique<MockClock>();
}

void TestMeterPanel::cleanup()
{
    clock.reset();
    home.reset();
}

void TestMeterPanel::simulatedWarmUpReadsFourTubesHandsFree()
{
    MeterPanel panel;
    panel.setReadingField(QStringLiteral("Cathode current"), QStringLiteral(" mA"), 999);
    panel.setTubeCount(4);
    panel.show();
    QSignalSpy commits(&panel, &MeterPanel::commitReading);
    QSignalSpy reading(&panel, &MeterPanel::tubeBeingReadChanged);
    QList<qint64> committedAt;
    connect(&panel, &MeterPanel::commitReading, this,
            [&committedAt] { committedAt << Clock::currentMSecsSinceEpoch(); });
    const qint64 switchedOn = Clock::currentMSecsSinceEpoch();
    QCOMPARE(panel.targetLabel->text(), QStringLiteral("Reading tube 1: Cathode current"));

    chooseProtocol(panel, QStringLiteral("simulated"));
    QTest::mouseClick(panel.connectButton, Qt::LeftButton);
    QCOMPARE(panel.stateLabel->text(), QStringLiteral("Connected (Simulated meter)"));
    QCOMPARE(panel.connectButton->text(), QStringLiteral("Disconnect"));
    clock->advance(500);
    QCOMPARE(panel.functionLabel->text(), QStringLiteral("DC mA"));
    QVERIFY2(panel.valueLabel->text().endsWith(QLatin1String(" mA")), qPrintable(panel.valueLabel->text()));

    // Cold: nothing is committed in the first minute, while the current is still rising fast.
    clock->advanceSeconds(60);
    QCOMPARE(commits.size(), 0);
    for (int s = 0; s < 600 && commits.size() < 4; ++s)
        clock->advanceSeconds(1);
    QCOMPARE(commits.size(), 4);
    for (int tube = 0; tube < 4; ++tube) {
        QCOMPARE(commits.at(tube).at(0).toInt(), tube);
        // What the simulated tube drew at that moment, within the tolerance and the noise.
        const double drawn = SimulatedMeter::warmUpMa(tube, committedAt.at(tube) - switchedOn);
        const double value = commits.at(tube).at(1).toDouble();
        QVERIFY2(
            qAbs(value - drawn) <= drawn * 0.015,
            qPrintable(QStringLiteral("tube %1: %2 mA, drawing %3").arg(tube + 1).arg(value).arg(drawn)));
        QVERIFY(drawn > SimulatedMeter::settledMa(tube) * 0.75); // well into the warm-up
    }
    QCOMPARE(panel.tubeBeingRead(), -1);
    QCOMPARE(reading.last().at(0).toInt(), -1);
    QCOMPARE(panel.targetLabel->text(), QStringLiteral("Every tube is read; click a card to read it again"));
    clock->advanceSeconds(30);
    QCOMPARE(commits.size(), 4); // nothing more once every tube is read

    QTest::mouseClick(panel.connectButton, Qt::LeftButton);
    QCOMPARE(panel.stateLabel->text(), QStringLiteral("Not connected"));
    QCOMPARE(panel.valueLabel->text(), QStringLiteral("—"));
}

void TestMeterPanel::spaceAndClickedCards()
{
    MeterPanel panel;
    panel.setReadingField(QStringLiteral("V across sense R"), QStringLiteral(" mV"), 9999);
    panel.setTubeCount(2);
    panel.autoAdvanceBox->setChecked(false);
    panel.show();
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    QSignalSpy commits(&panel, &MeterPanel::commitReading);
    chooseProtocol(panel, QStringLiteral("simulated"));
    QTest::mouseClick(panel.connectButton, Qt::LeftButton);
    clock->advanceSeconds(200);
    QCOMPARE(commits.size(), 0);                                    // auto-advance off
    QCOMPARE(panel.functionLabel->text(), QStringLiteral("DC mV")); // the simulated meter follows the field

    panel.selectTube(1);
    clock->advanceSeconds(3); // the probe moves to tube 2
    QTest::keyClick(&panel, Qt::Key_Space);
    QCOMPARE(commits.size(), 1);
    QCOMPARE(commits.first().at(0).toInt(), 1);
    QVERIFY(qAbs(commits.first().at(1).toDouble() - SimulatedMeter::warmUpMa(1, 203000)) < 0.5);
    QCOMPARE(panel.tubeBeingRead(), -1);
    QTest::keyClick(&panel, Qt::Key_Space);
    QCOMPARE(commits.size(), 1); // nothing left to read
}

void TestMeterPanel::networkMeterThatDoesNotFit_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("reason");

    QTest::addRow("AC current") << "\"CURR AC\""
                                << "3.1E-02"
                                << "31.000 mA"
                                << "The meter is on AC; this reading needs DC mA";
    QTest::addRow("ohms") << "\"RES\""
                          << "6.2E+01"
                          << "62.000 Ω"
                          << "The meter is on Ω; this reading needs DC mA";
    QTest::addRow("volts") << "\"VOLT\""
                           << "3.1E-02"
                           << "31.000 mV"
                           << "The meter measures a voltage; this reading needs DC mA";
    QTest::addRow("overload") << "\"CURR\""
                              << "9.9E+37"
                              << "OL"
                              << "The meter shows overload (OL)";
    QTest::addRow("out of range") << "\"CURR\""
                                  << "1.5E+00"
                                  << "1.5000 A"
                                  << "1.5000 A is outside";
}

void TestMeterPanel::networkMeterThatDoesNotFit()
{
    QFETCH(QString, function);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QFETCH(QString, reason);

    FakeScpiMeter meter;
    meter.function = function;
    meter.value = value;
    MeterPanel panel;
    panel.setReadingField(QStringLiteral("Cathode current"), QStringLiteral(" mA"), 999);
    panel.setTubeCount(4);
    QSignalSpy commits(&panel, &MeterPanel::commitReading);
    chooseProtocol(panel, QStringLiteral("owon-xdm"));
    panel.linkBox->setCurrentIndex(1);
    panel.hostEdit->setText(QStringLiteral("127.0.0.1"));
    panel.tcpPortSpin->setValue(meter.port());
    QTest::mouseClick(panel.connectButton, Qt::LeftButton);
    QTRY_VERIFY(panel.stateLabel->text().startsWith(QLatin1String("Connected")));
    advanceUntil(*clock, 6000, 100, [&] {
        return panel.valueLabel->text() == shown && panel.fitLabel->text().startsWith(reason);
    });
    QCOMPARE(panel.valueLabel->text(), shown);
    QVERIFY2(panel.fitLabel->text().startsWith(reason), qPrintable(panel.fitLabel->text()));
    QTest::keyClick(&panel, Qt::Key_Space);
    QCOMPARE(commits.size(), 0);
}

void TestMeterPanel::safetyNoteOnceUntilDismissed()
{
    {
        MeterPanel panel;
        panel.show();
        QVERIFY(!panel.safetyNote->isVisible());
        chooseProtocol(panel, QStringLiteral("simulated"));
        QTest::mouseClick(panel.connectButton, Qt::LeftButton);
        QVERIFY(panel.safetyNote->isVisible());
        QTest::mouseClick(panel.connectButton, Qt::LeftButton);
        QTest::mouseClick(panel.connectButton, Qt::LeftButton);
        QVERIFY(panel.safetyNote->isVisible()); // until dismissed
        QTest::mouseClick(panel.dismissSafetyButton, Qt::LeftButton);
        QVERIFY(!panel.safetyNote->isVisible());
    }
    MeterPanel again;
    again.show();
    chooseProtocol(again, QStringLiteral("simulated"));
    QTest::mouseClick(again.connectButton, Qt::LeftButton);
    QVERIFY(!again.safetyNote->isVisible()); // dismissed for good
}

void TestMeterPanel::controlsFollowTheProtocol()
{
    MeterPanel panel;
    chooseProtocol(panel, QStringLiteral("ut61e"));
    QCOMPARE(panel.linkBox->currentIndex(), 0);
    QVERIFY(!panel.linkBox->isEnabled());
    QVERIFY(panel.portBox->isEnabled() && !panel.hostEdit->isEnabled());
    QCOMPARE(panel.tcpPortSpin->value(), 5025);
    chooseProtocol(panel, QStringLiteral("scpi-read"));
    QVERIFY(panel.linkBox->isEnabled());
    panel.linkBox->setCurrentIndex(1);
    QVERIFY(!panel.portBox->isEnabled() && panel.hostEdit->isEnabled() && panel.tcpPortSpin->isEnabled());

    // A typed path that is no port: the error names the reason, and Connect can be pressed again.
    panel.linkBox->setCurrentIndex(0);
    panel.portBox->setEditText(QStringLiteral("/dev/ttyNOSUCH9"));
    QTest::mouseClick(panel.connectButton, Qt::LeftButton);
    QVERIFY2(panel.stateLabel->text().startsWith(QLatin1String("Error: ")),
             qPrintable(panel.stateLabel->text()));
    QCOMPARE(panel.connectButton->text(), QStringLiteral("Connect"));
}

QTEST_MAIN(TestMeterPanel)
#include "tst_meterpanel.moc"
