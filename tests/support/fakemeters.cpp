#include "fakemeters.h"

#include "mockclock.h"

#include <QCoreApplication>
#include <QTest>

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

FakeSerialMeter::FakeSerialMeter(const QString& linkPath) : link(linkPath)
{
    plugIn();
}

FakeSerialMeter::~FakeSerialMeter()
{
    unplug();
    QFile::remove(link);
}

bool FakeSerialMeter::plugIn()
{
    unplug();
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return false;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    // The program opens the slave itself; ours is closed so that closing the master ends it.
    ::close(slave);
    slave = -1;
    QFile::remove(link);
    return QFile::link(QString::fromLocal8Bit(name), link);
}

void FakeSerialMeter::unplug()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}

bool FakeSerialMeter::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EAGAIN)
            return false; // the terminal's buffer is full
        if (n < 0)
            return false;
        done += n;
    }
    return master >= 0;
}

QByteArray FakeSerialMeter::readAvailable()
{
    QByteArray all;
    char buffer[4096];
    while (master >= 0) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        all.append(buffer, n);
    }
    return all;
}

FakeScpiMeter::FakeScpiMeter(QObject* parent) : QObject(parent)
{
    server.listen(QHostAddress::LocalHost);
    listeningPort = server.serverPort();
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* client = server.nextPendingConnection())
            serve(client);
    });
}

void FakeScpiMeter::serve(QTcpSocket* client)
{
    client->setParent(this);
    connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    connect(client, &QTcpSocket::readyRead, client, [this, client] {
        while (client->canReadLine()) {
            const QByteArray query = client->readLine().trimmed();
            if (query == "MEAS?" || query == "READ?" || query.startsWith("MEAS:"))
                ++queries;
            if (!answering)
                continue;
            if (query == "*IDN?") {
                client->write("FAKE,SCPI-METER,0001,1.0\n");
            } else if (query == "FUNC?") {
                client->write(function.toLatin1() + '\n');
            } else if (query == "MEAS?" || query == "READ?" || query.startsWith("MEAS:")) {
                client->write(value.toLatin1() + '\n');
            }
        }
    });
}

void FakeScpiMeter::dropClients()
{
    for (QTcpSocket* client : findChildren<QTcpSocket*>())
        client->disconnectFromHost();
}

bool FakeScpiMeter::stop()
{
    dropClients();
    server.close();
    return !server.isListening();
}

bool FakeScpiMeter::restart()
{
    return server.listen(QHostAddress::LocalHost, listeningPort);
}

bool advanceUntil(MockClock& clock, qint64 limitMs, qint64 stepMs, const std::function<bool()>& done)
{
    for (qint64 t = 0; t < limitMs; t += stepMs) {
        clock.advance(stepMs);
        if (QTest::qWaitFor(done, 50))
            return true;
    }
    return done();
}

void advanceQuietly(MockClock& clock, qint64 ms, qint64 stepMs)
{
    for (qint64 t = 0; t < ms; t += stepMs) {
        clock.advance(stepMs);
        QCoreApplication::processEvents();
    }
}
