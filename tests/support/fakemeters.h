#pragma once

// Meters for tests: a pseudo-terminal pair whose far end the test writes as a serial meter would,
// and a SCPI meter on a local TCP server (127.0.0.1) that answers `*IDN?`, `FUNC?` and the
// measurement queries with a value the test sets.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

class MockClock;

// Moves the mock clock on in steps of `stepMs` until `done` holds, for at most `limitMs` of the
// clock's time; false if it never does. After each step the loopback and the terminal get to
// deliver what is under way: the test waits for `done`, briefly, before the next step, so no step
// is a sleep and a fast machine goes through at once.
bool advanceUntil(MockClock& clock, qint64 limitMs, qint64 stepMs, const std::function<bool()>& done);
// Moves the clock on in steps, handling what has arrived after each, without waiting for anything:
// for checks that nothing happens.
void advanceQuietly(MockClock& clock, qint64 ms, qint64 stepMs);

// A pseudo-terminal; the connection opens linkPath(), a symbolic link to the terminal's slave, so
// a meter that goes away and comes back (a new pair) is found at the same path.
class FakeSerialMeter
{
public:
    explicit FakeSerialMeter(const QString& linkPath);
    ~FakeSerialMeter();
    FakeSerialMeter(const FakeSerialMeter&) = delete;
    FakeSerialMeter& operator=(const FakeSerialMeter&) = delete;

    bool isOpen() const { return master >= 0; }
    QString linkPath() const { return link; }
    bool write(const QByteArray& bytes);
    QByteArray readAvailable(); // what the program sent to the meter
    void unplug();              // closes the pair: the program's side sees the port go
    bool plugIn();              // a new pair behind the same link

private:
    QString link;
    int master = -1;
    int slave = -1;
};

class FakeScpiMeter : public QObject
{
    Q_OBJECT

public:
    explicit FakeScpiMeter(QObject* parent = nullptr);

    quint16 port() const { return server.serverPort(); }
    QString function = QStringLiteral("\"VOLT\"");
    QString value = QStringLiteral("4.1234E-01");
    bool answering = true; // false: a slow meter that does not answer
    int queries = 0;       // measurement queries received, answered or not
    void dropClients();    // the meter goes away; it still accepts a new connection
    bool stop();           // no longer listening
    bool restart();        // listening again on the same port

private:
    void serve(QTcpSocket* client);

    QTcpServer server;
    quint16 listeningPort = 0;
};
