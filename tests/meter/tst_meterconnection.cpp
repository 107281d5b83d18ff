// The whole path from a meter to a reading: a pseudo-terminal playing a UT61E to QSerialPort, a
// SCPI meter on a local TCP server, the simulated meter; and what goes wrong with real meters:
// no data, a meter that goes away and comes back, a slow meter, a meter that floods bytes.
// Time moves on the mock clock only; what crosses the loopback or the terminal is waited for as a
// condition on what it brings.
#include "fakemeters.h"
#include "meter/meterconnection.h"
#include "mockclock.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray frame31mA("031270?000:0\r\n"); // 31.270 mA, auto mA range
const QByteArray frame35mA("035600?000:0\r\n"); // 35.600 mA

} // namespace

class TestMeterConnection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void serialMeterOnAPseudoTerminal();
    void serialMeterGoesAwayAndComesBack();
    void serialMeterFloods();
    void networkMeter();
    void slowNetworkMeter();
    void networkMeterDropsAndReturns();
    void openingFails_data();
    void openingFails();
    void simulatedMeter();

private:
    std::unique_ptr<MockClock> clock;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestMeterConnection::init()
{
    clock = std::make_unique<MockClock>();
    dir = std::make_unique<QTemporaryDir>();
}

void TestMeterConnection::cleanup()
{
    clock.reset();
    dir.reset();
}

void TestMeterConnection::serialMeterOnAPseudoTerminal()
{
    FakeSerialMeter meter(dir->filePath(QStringLiteral("ttyMETER")));
    QVERIFY(meter.isOpen());
    MeterConnection connection;
    QSignalSpy readings(&connection, &MeterConnection::readingArrived);

    // A pseudo-terminal has no DTR line and may refuse 7O1: warnings, not a failure.
    QVERIFY2(connection.openSerial(meter.linkPath(), QStringLiteral("ut61e")),
             qPrintable(connection.errorString()));
    QCOMPARE(connection.state(), MeterConnection::State::Connected);
    for (const QString& warning : connection.warnings())
        qInfo("warning on a pseudo-terminal: %s", qPrintable(warning));

    QVERIFY(meter.write(frame31mA.left(6)));
    advanceQuietly(*clock, 200, 100);
    QVERIFY(meter.write(frame31mA.mid(6)));
    QTRY_COMPARE(readings.size(), 1);
    const MeterReading r = connection.lastReading();
    QCOMPARE(r.quantity, MeterQuantity::DcCurrent);
    QVERIFY(qAbs(r.value - 0.03127) < 1e-9);
    QCOMPARE(r.timeMs, Clock::currentMSecsSinceEpoch());
    QCOMPARE(meterValueText(r), QStringLiteral("31.270 mA"));

    // Nothing for 3 s: said so; the next frame brings it back.
    advanceQuietly(*clock, 3100, 500);
    QCOMPARE(connection.state(), MeterConnection::State::NoData);
    QCOMPARE(connection.stateText(), QStringLiteral("No data for 3 s"));
    QVERIFY(meter.write(frame35mA));
    QTRY_COMPARE(readings.size(), 2);
    QCOMPARE(connection.state(), MeterConnection::State::Connected);

    // Bytes that are no frames (the wrong protocol chosen, say) count as no data, with the reason.
    for (int i = 0; i < 8; ++i) {
        meter.write(QByteArray(200, 'x') + "\r\n");
        advanceQuietly(*clock, 500, 500);
    }
    QVERIFY2(advanceUntil(*clock, 4000, 500,
                          [&] {
                              return connection.state() == MeterConnection::State::NoData &&
                                     connection.stateText().contains(QLatin1String("frame"));
                          }),
             qPrintable(connection.stateText()));
    QCOMPARE(readings.size(), 2);

    connection.close();
    QCOMPARE(connection.state(), MeterConnection::State::Disconnected);
    meter.write(frame35mA); // a closed link reads nothing and changes no state
    advanceQuietly(*clock, 4000, 500);
    QCOMPARE(readings.size(), 2);
    QCOMPARE(connection.state(), MeterConnection::State::Disconnected);
}

void TestMeterConnection::serialMeterGoesAwayAndComesBack()
{
    FakeSerialMeter meter(dir->filePath(QStringLiteral("ttyMETER")));
    MeterConnection connection;
    QSignalSpy readings(&connection, &MeterConnection::readingArrived);
    QVERIFY(connection.openSerial(meter.linkPath(), QStringLiteral("ut61e")));
    meter.write(frame31mA);
    QTRY_COMPARE(readings.size(), 1);

    meter.unplug();
    QTRY_COMPARE(connection.state(), MeterConnection::State::Lost);
    QVERIFY2(connection.stateText().startsWith(QLatin1String("Connection lost: ")),
             qPrintable(connection.stateText()));
    QVERIFY(!connection.hasReading());

    // Still away at the first retry: it stays lost and tries again.
    advanceQuietly(*clock, 2100, 300);
    QCOMPARE(connection.state(), MeterConnection::State::Lost);

    QVERIFY(meter.plugIn());
    QVERIFY(advanceUntil(*clock, 2100, 300,
                         [&] { return connection.state() == MeterConnection::State::Connected; }));
    meter.write(frame35mA);
    QTRY_COMPARE(readings.size(), 2);
    QVERIFY(qAbs(connection.lastReading().value - 0.0356) < 1e-9);
}

void TestMeterConnection::serialMeterFloods()
{
    FakeSerialMeter meter(dir->filePath(QStringLiteral("ttyMETER")));
    MeterConnection connection;
    QSignalSpy readings(&connection, &MeterConnection::readingArrived);
    QVERIFY(connection.openSerial(meter.linkPath(), QStringLiteral("ut61e")));

    // Thousands of frames with garbage between them, as fast as the terminal takes them: the
    // readings keep up, the last one shown is the last one sent.
    QByteArray flood;
    for (int i = 0; i < 2000; ++i)
        flood += frame31mA + QByteArray(i % 7, '\xff');
    flood += frame35mA;
    qsizetype sent = 0;
    while (sent < flood.size()) {
        const QByteArray chunk = flood.mid(sent, 1024);
        if (meter.write(chunk))
            sent += chunk.size();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QTRY_VERIFY(connection.hasReading() && qAbs(connection.lastReading().value - 0.0356) < 1e-9);
    QVERIFY(readings.size() >= 1);
    QCOMPARE(connection.state(), MeterConnection::State::Connected);
}

void TestMeterConnection::networkMeter()
{
    FakeScpiMeter meter;
    MeterConnection connection;
    QSignalSpy readings(&connection, &MeterConnection::readingArrived);
    QVERIFY(connection.openNetwork(QStringLiteral("127.0.0.1"), meter.port(), QStringLiteral("owon-xdm")));
    QCOMPARE(connection.state(), MeterConnection::State::Connecting);
    QTRY_COMPARE(connection.state(), MeterConnection::State::Connected);
    QTRY_COMPARE(connection.identity(), QStringLiteral("FAKE,SCPI-METER,0001,1.0"));

    QVERIFY(advanceUntil(*clock, 1000, 100, [&] { return readings.size() >= 3; }));
    QCOMPARE(connection.lastReading().quantity, MeterQuantity::DcVoltage);
    QVERIFY(qAbs(connection.lastReading().value - 0.41234) < 1e-12);
    QCOMPARE(meterFunctionText(connection.lastReading()), QStringLiteral("DC mV"));

    // The knob turned to DC current: the function read back follows.
    meter.function = QStringLiteral("\"CURR\"");
    meter.value = QStringLiteral("3.127E-02");
    QVERIFY(advanceUntil(*clock, 600, 100,
                         [&] { return connection.lastReading().quantity == MeterQuantity::DcCurrent; }));
    QCOMPARE(meterValueText(connection.lastReading()), QStringLiteral("31.270 mA"));
}

void TestMeterConnection::slowNetworkMeter()
{
    FakeScpiMeter meter;
    MeterConnection connection;
    QVERIFY(
        connection.openNetwork(QStringLiteral("127.0.0.1"), meter.port(), QStringLiteral("scpi-volt-dc")));
    QTRY_COMPARE(connection.state(), MeterConnection::State::Connected);
    QVERIFY(advanceUntil(*clock, 600, 100, [&] { return connection.hasReading(); }));

    meter.answering = false;
    const int asked = meter.queries;
    QVERIFY(advanceUntil(*clock, 3200, 100,
                         [&] { return connection.state() == MeterConnection::State::NoData; }));
    // One query at a time, asked again every few ticks: not one per tick.
    QVERIFY2(meter.queries - asked <= 6, qPrintable(QString::number(meter.queries - asked)));

    meter.answering = true;
    QVERIFY(advanceUntil(*clock, 1000, 100,
                         [&] { return connection.state() == MeterConnection::State::Connected; }));
}

void TestMeterConnection::networkMeterDropsAndReturns()
{
    FakeScpiMeter meter;
    MeterConnection connection;
    QSignalSpy readings(&connection, &MeterConnection::readingArrived);
    QVERIFY(connection.openNetwork(QStringLiteral("127.0.0.1"), meter.port(), QStringLiteral("scpi-read")));
    QTRY_COMPARE(connection.state(), MeterConnection::State::Connected);

    QVERIFY(meter.stop());
    QTRY_COMPARE(connection.state(), MeterConnection::State::Lost);
    QCOMPARE(connection.stateText(),
             QStringLiteral("Connection lost: The meter closed the connection (trying again)"));
    advanceQuietly(*clock, 2100, 300);
    QTRY_COMPARE(connection.state(), MeterConnection::State::Lost); // refused while away
    QVERIFY(meter.restart());
    // The attempt refused while it was away may still be under way: back by the retry after it.
    QVERIFY(advanceUntil(*clock, 2 * MeterConnection::retryMs + 300, 300,
                         [&] { return connection.state() == MeterConnection::State::Connected; }));
    const qsizetype before = readings.size();
    QVERIFY(advanceUntil(*clock, 1000, 100, [&] { return readings.size() > before; }));
}

void TestMeterConnection::openingFails_data()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("protocol");

    QTest::addRow("no such port") << true << "/nonexistent/ttyUSB9"
                                  << "ut61e";
    QTest::addRow("not a serial port") << true << "/dev/null"
                                       << "fluke28x";
    QTest::addRow("no port chosen") << true << ""
                                    << "ut61e";
    QTest::addRow("UT61E over the network") << false << "127.0.0.1"
                                            << "ut61e";
    QTest::addRow("an unknown protocol") << true << "/dev/null"
                                         << "hid-brymen";
    QTest::addRow("nobody listening") << false << "127.0.0.1"
                                      << "owon-xdm";
}

void TestMeterConnection::openingFails()
{
    QFETCH(bool, serial);
    QFETCH(QString, where);
    QFETCH(QString, protocol);

    MeterConnection connection;
    if (serial) {
        QVERIFY(!connection.openSerial(where, protocol));
    } else {
        QTcpServer closed; // a port nobody listens on any more
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        connection.openNetwork(where, port, protocol);
    }
    QTRY_COMPARE(connection.state(), MeterConnection::State::Failed);
    QVERIFY(!connection.errorString().isEmpty());
    QCOMPARE(connection.stateText(), QStringLiteral("Error: ") + connection.errorString());
    advanceQuietly(*clock, 6000, 1000);
    QCOMPARE(connection.state(), MeterConnection::State::Failed); // a failed open is not retried
}

void TestMeterConnection::simulatedMeter()
{
    MeterConnection connection;
    QSignalSpy readings(&connection, &MeterConnection::readingArrived);
    connection.openSimulated();
    QCOMPARE(connection.state(), MeterConnection::State::Connected);
    clock->advanceSeconds(5);
    QCOMPARE(readings.size(), 10); // two a second
    QCOMPARE(connection.lastReading().quantity, MeterQuantity::DcCurrent);
    const double early = connection.lastReading().value;
    clock->advanceSeconds(120);
    QVERIFY2(connection.lastReading().value > early * 2, "a cold tube warms up");
    connection.setSimulatedQuantity(MeterQuantity::DcVoltage);
    clock->advance(500);
    QCOMPARE(meterFunctionText(connection.lastReading()), QStringLiteral("DC mV"));
    const qsizetype seen = readings.size();
    connection.close();
    clock->advanceSeconds(5);
    QCOMPARE(readings.size(), seen);
}

QTEST_GUILESS_MAIN(TestMeterConnection)
#include "tst_meterconnection.moc"
