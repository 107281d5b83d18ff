// The Meter panel in the bench window, driven as a technician drives it: the tool row opens it,
// the card being read is marked, the simulated meter and a UT61E on a pseudo-terminal read four
// tubes hands-free into the bench model in order, a click on a card reads that card, Space commits
// at once but leaves a focused number field alone. And the link itself: the panel follows the
// bench's method and tube count, and a committed value becomes the model's reading.
#include "bench/mainwindow.h"

#include "bench/benchsession.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"
#include "meter/benchmeterlink.h"
#include "meter/meterpanel.h"

#include "fakemeters.h"
#include "mockclock.h"
#include "testfiles.h"
#include "windowdriver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

void chooseProtocol(MeterPanel& panel, const QString& id)
{
    const int index = panel.protocolBox->findData(id);
    QVERIFY(index >= 0);
    panel.protocolBox->setCurrentIndex(index);
}

// The cards the style sheet shows as being read.
QList<int> markedCards(const MainWindow& window)
{
    QList<int> marked;
    for (const TubeCardWidget* card : cards(window)) {
        if (card->property("meterTarget").toBool())
            marked << card->index();
    }
    return marked;
}

// Clicks the card's own surface (its top-left corner, inside the rounded edge, holds no control).
void clickCard(TubeCardWidget* card)
{
    QTest::mouseClick(card, Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
}

// A UT61E frame for a DC current in the auto mA range: five digits, 31.270 mA as "31270".
QByteArray ut61eMilliamps(double mA)
{
    return QByteArray("0") + QByteArray::number(qRound(mA * 1000)).rightJustified(5, '0') + "?000:0\r\n";
}

} // namespace

class TestMeterWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void linkFollowsTheBench();
    void simulatedMeterReadsFourTubesIntoTheModel_data();
    void simulatedMeterReadsFourTubesIntoTheModel();
    void pseudoTerminalMeterReadsFourTubes();
    void clickedCardAndSpace();

private:
    MeterPanel* openMeter(MainWindow& window);

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<MockClock> clock;
};

void TestMeterWindow::init()
{
    home = std::make_unique<QTemporaryDir>();
    prepareWindowTests(*home);
    QSettings().setValue(QStringLiteral("meter/safetyNoteDismissed"), true);
    clock = std::make_unique<MockClock>();
}

void TestMeterWindow::cleanup()
{
    clock.reset();
    home.reset();
}

MeterPanel* TestMeterWindow::openMeter(MainWindow& window)
{
    QPushButton* button = buttonNamed(&window, QStringLiteral("Meter"));
    if (!button)
        return nullptr;
    QTest::mouseClick(button, Qt::LeftButton);
    return window.meterPanel();
}

void TestMeterWindow::linkFollowsTheBench()
{
    BenchSession session;
    MeterPanel panel;
    linkMeterToBench(panel, session);
    QSignalSpy tubes(&session, &BenchSession::tubeChanged);

    QCOMPARE(panel.targetLabel->text(), QStringLiteral("Reading tube 1: Cathode current"));
    QVERIFY(session.setMethod(SenseResistor));
    QCOMPARE(panel.targetLabel->text(), QStringLiteral("Reading tube 1: V across sense R"));
    session.setTubeCount(4);
    panel.selectTube(3);
    QCOMPARE(panel.tubeBeingRead(), 3);
    session.setTubeCount(2); // the tube being read stays on the bench
    QVERIFY2(panel.tubeBeingRead() >= 0 && panel.tubeBeingRead() < 2, qPrintable(panel.targetLabel->text()));

    // A committed value is one reading of the model, held as the field holds it (one decimal).
    tubes.clear();
    emit panel.commitReading(1, 31.27);
    QCOMPARE(tubes.size(), 1);
    QCOMPARE(tubes.at(0).at(0).toInt(), 1);
    QCOMPARE(session.reading(1).meas1, 31.3);
    QCOMPARE(session.reading(0).meas1, 0.0);
    QVERIFY(session.result(1).valid);
}

void TestMeterWindow::simulatedMeterReadsFourTubesIntoTheModel_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("function");
    QTest::addRow("bias probe, mA") << int(BiasProbe) << "DC mA";
    QTest::addRow("sense resistor, meter in V converted to mV") << int(SenseResistor) << "DC mV";
}

void TestMeterWindow::simulatedMeterReadsFourTubesIntoTheModel()
{
    QFETCH(int, method);
    QFETCH(QString, function);

    auto window = openWindow();
    BenchSession& bench = window->session();
    bench.setTubeCount(4);
    QVERIFY(chooseMethod(*window, method));
    QCOMPARE(markedCards(*window), QList<int>());

    MeterPanel* panel = openMeter(*window);
    QVERIFY(panel);
    QVERIFY(panel->isVisible());
    QVERIFY(panel->isWindow()); // its own window: the bench stays usable
    QCOMPARE(markedCards(*window), QList<int>({0}));

    // Which tube each reading went to, in the order the model got them, and the card marked once
    // the panel has moved on from it.
    QList<int> readInOrder;
    QList<QList<int>> marksAfterEachReading;
    connect(&bench, &BenchSession::tubeChanged, this, [&](int tube) {
        if (bench.reading(tube).meas1 > 0 && !readInOrder.contains(tube)) {
            readInOrder << tube;
            QMetaObject::invokeMethod(
                this, [&] { marksAfterEachReading << markedCards(*window); }, Qt::QueuedConnection);
        }
    });

    chooseProtocol(*panel, QStringLiteral("simulated"));
    QTest::mouseClick(panel->connectButton, Qt::LeftButton);
    clock->advance(500);
    QCOMPARE(panel->functionLabel->text(), function);
    for (int s = 0; s < 900 && readInOrder.size() < 4; ++s) {
        clock->advanceSeconds(1);
        QCoreApplication::processEvents();
    }
    QCOMPARE(readInOrder, QList<int>({0, 1, 2, 3}));

    // Readings belong to the model; the cards show them, and the card being read moved along.
    const ReadingField field = firstReadingField(method);
    for (int tube = 0; tube < 4; ++tube) {
        const double value = bench.reading(tube).meas1;
        QVERIFY2(value > 10 && value < 100,
                 qPrintable(QString::number(value))); // tens of mA, or of mV on 1 Ω
        QCOMPARE(value, conformReading(field, value));
        QCOMPARE(cards(*window).at(tube)->meas1(), value);
        QCOMPARE(bench.reading(tube).meas2, 0.0);
    }
    QCOMPARE(marksAfterEachReading, QList<QList<int>>({{1}, {2}, {3}, {}}));
    QCOMPARE(markedCards(*window), QList<int>());

    // Nothing more is written once every tube is read.
    const BenchSnapshot done = bench.snapshot();
    clock->advanceSeconds(30);
    for (int tube = 0; tube < 4; ++tube)
        QCOMPARE(bench.reading(tube).meas1, done.readings.at(tube).meas1);
}

void TestMeterWindow::pseudoTerminalMeterReadsFourTubes()
{
    FakeSerialMeter meter(home->filePath(QStringLiteral("ttyMETER")));
    QVERIFY(meter.isOpen());
    auto window = openWindow();
    BenchSession& bench = window->session();
    bench.setTubeCount(4);
    MeterPanel* panel = openMeter(*window);
    QVERIFY(panel);
    chooseProtocol(*panel, QStringLiteral("ut61e"));
    panel->portBox->setEditText(meter.linkPath());
    QTest::mouseClick(panel->connectButton, Qt::LeftButton);
    QVERIFY2(panel->stateLabel->text().startsWith(QLatin1String("Connected")),
             qPrintable(panel->stateLabel->text()));
    QSignalSpy arrived(panel->connection(), &MeterConnection::readingArrived);

    // The technician moves the probe from tube to tube; each value holds for 4 s at two frames a
    // second, longer than the 3 s the panel waits for.
    const QList<double> drawn = {31.27, 35.6, 33.1, 29.84};
    for (double mA : drawn) {
        for (int frame = 0; frame < 8; ++frame) {
            const qsizetype before = arrived.size();
            QVERIFY(meter.write(ut61eMilliamps(mA)));
            QTRY_COMPARE(arrived.size(), before + 1);
            clock->advance(500);
        }
    }
    QCOMPARE(panel->valueLabel->text(), QStringLiteral("29.840 mA"));
    for (int tube = 0; tube < 4; ++tube)
        QCOMPARE(bench.reading(tube).meas1, conformReading(firstReadingField(BiasProbe), drawn.at(tube)));
    QCOMPARE(markedCards(*window), QList<int>());
}

void TestMeterWindow::clickedCardAndSpace()
{
    auto window = openWindow();
    BenchSession& bench = window->session();
    bench.setTubeCount(4);
    QList<TubeCardWidget*> shown = cards(*window);
    clickCard(shown.at(2)); // no panel yet: a click on a card chooses nothing
    QCOMPARE(markedCards(*window), QList<int>());

    MeterPanel* panel = openMeter(*window);
    QVERIFY(panel);
    panel->autoAdvanceBox->setChecked(false);
    chooseProtocol(*panel, QStringLiteral("simulated"));
    QTest::mouseClick(panel->connectButton, Qt::LeftButton);
    clock->advanceSeconds(90);
    const double onTheMeter = panel->connection()->lastReading().value * 1000; // mA
    QVERIFY(onTheMeter > 0);

    shown = cards(*window);
    clickCard(shown.at(2));
    QCOMPARE(panel->tubeBeingRead(), 2);
    QCOMPARE(markedCards(*window), QList<int>({2}));

    // Space in the bench window commits the meter's value at once and moves on.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    cardHost(*window)->setFocus();
    QTest::keyClick(cardHost(*window), Qt::Key_Space);
    QCOMPARE(bench.reading(2).meas1, conformReading(firstReadingField(BiasProbe), onTheMeter));
    QCOMPARE(markedCards(*window), QList<int>({3}));

    // In a reading field Space is typing, not a commit.
    ReadingEdit* field = shown.at(3)->readingField(0);
    QVERIFY(field);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Space);
    QCOMPARE(bench.reading(3).meas1, 0.0);

    // In the panel's own window Space commits once, as it does in the window, also from its
    // fields, which have no use for a space.
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel));
    panel->toleranceSpin->setFocus();
    QTest::keyClick(panel->toleranceSpin, Qt::Key_Space);
    QVERIFY(bench.reading(3).meas1 > 0);
    QCOMPARE(panel->toleranceSpin->value(), 1.0);
    QCOMPARE(bench.reading(0).meas1, 0.0);

    // Closed, the panel reads no card and Space is the window's again.
    panel->close();
    QCOMPARE(markedCards(*window), QList<int>());
    const BenchSnapshot before = bench.snapshot();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    clickCard(shown.at(0));
    QTest::keyClick(cardHost(*window), Qt::Key_Space);
    QCOMPARE(bench.reading(0).meas1, before.readings.at(0).meas1);

    // Opened again, it is the same panel, still connected; a click chooses the card again.
    QCOMPARE(openMeter(*window), panel);
    QCOMPARE(panel->connectButton->text(), QStringLiteral("Disconnect"));
    clickCard(shown.at(1));
    QCOMPARE(markedCards(*window), QList<int>({1}));
}

QTEST_MAIN(TestMeterWindow)
#include "tst_meterwindow.moc"
