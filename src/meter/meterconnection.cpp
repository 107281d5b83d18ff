#include "meter/meterconnection.h"

#include "app/clock.h"

#include <QSerialPort>
#include <QTcpSocket>

MeterConnection::MeterConnection(QObject* parent) : QObject(parent) {}

MeterConnection::~MeterConnection()
{
    close();
}

QString MeterConnection::stateText() const
{
    switch (current) {
    case State::Disconnected:
        return QStringLiteral("Not connected");
    case State::Connecting:
        return QStringLiteral("Connecting…");
    case State::Connected:
        return QStringLiteral("Connected");
    case State::NoData:
        return reason.isEmpty() ? QStringLiteral("No data for 3 s")
                                : QStringLiteral("No data for 3 s: %1").arg(reason);
    case State::Lost:
        return QStringLiteral("Connection lost: %1 (trying again)").arg(reason);
    case State::Failed:
        return QStringLiteral("Error: %1").arg(reason);
    }
    return QString();
}

void MeterConnection::setState(State state, const QString& why)
{
    if (state == current && why == reason)
        return;
    current = state;
    reason = why;
    emit stateChanged();
}

bool MeterConnection::begin(const QString& protocolId, bool overSerial)
{
    close();
    protocol = findMeterProtocol(protocolId);
    settingWarnings.clear();
    meterIdentity.clear();
    haveReading = false;
    if (!protocol || protocol->simulated || (overSerial ? !protocol->overSerial : !protocol->overNetwork)) {
        setState(State::Failed, overSerial ? QStringLiteral("This protocol does not work over a serial port")
                                           : QStringLiteral("This protocol does not work over the network"));
        return false;
    }
    decoder = protocol->makeDecoder();
    return true;
}

bool MeterConnection::openSerial(const QString& name, const QString& protocolId)
{
    if (!begin(protocolId, true))
        return false;
    if (name.trimmed().isEmpty()) {
        setState(State::Failed, QStringLiteral("No port chosen"));
        return false;
    }
    link = Link::Serial;
    portName = name.trimmed();
    setState(State::Connecting);
    QString why;
    if (!openPort(&why)) {
        close();
        setState(State::Failed, why);
        return false;
    }
    return true;
}

bool MeterConnection::openPort(QString* error)
{
    auto* serial = new QSerialPort(this);
    serial->setPortName(portName);
    serial->setReadBufferSize(readBufferBytes);
    if (!serial->open(QIODevice::ReadWrite)) {
        *error = serial->errorString();
        delete serial;
        return false;
    }
    port = serial;
    const MeterSerialSettings& s = protocol->serial;
    QStringList warnings;
    if (!serial->setBaudRate(s.baud))
        warnings << QStringLiteral("The port does not take %1 baud").arg(s.baud);
    if (!serial->setDataBits(s.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8))
        warnings << QStringLiteral("The port does not take %1 data bits").arg(s.dataBits);
    const QSerialPort::Parity parity = s.parity == 'O'   ? QSerialPort::OddParity
                                       : s.parity == 'E' ? QSerialPort::EvenParity
                                                         : QSerialPort::NoParity;
    if (!serial->setParity(parity))
        warnings << QStringLiteral("The port does not take the parity setting");
    if (!serial->setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop))
        warnings << QStringLiteral("The port does not take the stop bits");
    serial->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial->setDataTerminalReady(s.dtr))
        warnings << (s.dtr
                         ? QStringLiteral("The port has no DTR line to raise (the meter's cable may need it)")
                         : QStringLiteral("The port has no DTR line"));
    if (!serial->setRequestToSend(s.rts))
        warnings << QStringLiteral("The port has no RTS line");
    serial->clearError();
    for (const QString& w : warnings) {
        if (!settingWarnings.contains(w))
            settingWarnings << w;
    }
    connect(serial, &QSerialPort::readyRead, this, &MeterConnection::readAvailable);
    connect(serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
            error == QSerialPort::WriteError)
            linkLost(port ? port->errorString() : QStringLiteral("The port closed"));
    });
    linkUp();
    return true;
}

bool MeterConnection::openNetwork(const QString& hostName, quint16 portNumber, const QString& protocolId)
{
    if (!begin(protocolId, false))
        return false;
    if (hostName.trimmed().isEmpty()) {
        setState(State::Failed, QStringLiteral("No host given"));
        return false;
    }
    link = Link::Network;
    host = hostName.trimmed();
    tcpPort = portNumber ? portNumber : defaultMeterTcpPort;
    setState(State::Connecting);
    connectSocket();
    return true;
}

void MeterConnection::connectSocket()
{
    auto* tcp = new QTcpSocket(this);
    tcp->setReadBufferSize(readBufferBytes);
    socket = tcp;
    connect(tcp, &QTcpSocket::connected, this, &MeterConnection::linkUp);
    connect(tcp, &QTcpSocket::readyRead, this, &MeterConnection::readAvailable);
    connect(tcp, &QTcpSocket::errorOccurred, this, [this, tcp](QAbstractSocket::SocketError) {
        if (socket != tcp)
            return;
        const QString why = tcp->error() == QAbstractSocket::RemoteHostClosedError
                                ? QStringLiteral("The meter closed the connection")
                                : tcp->errorString();
        if (current == State::Connecting) {
            close();
            setState(State::Failed, why);
        } else {
            linkLost(why);
        }
    });
    const quint64 attempt = session;
    connect(tcp, &QTcpSocket::disconnected, this, [this, tcp, attempt] {
        if (socket == tcp && session == attempt && current != State::Lost)
            linkLost(QStringLiteral("The meter closed the connection"));
    });
    tcp->connectToHost(host, tcpPort);
    // A host that never answers: give up on this attempt after a while.
    Clock::singleShot(5000, this, [this, tcp, attempt] {
        if (session != attempt || socket != tcp || tcp->state() == QAbstractSocket::ConnectedState)
            return;
        if (current == State::Connecting) {
            close();
            setState(State::Failed,
                     QStringLiteral("The meter did not answer at %1:%2").arg(host).arg(tcpPort));
        } else {
            linkLost(QStringLiteral("The meter did not answer"));
        }
    });
}

void MeterConnection::linkUp()
{
    lastReadingMs = Clock::currentMSecsSinceEpoch();
    undecodedBytes = 0;
    lastProblem.clear();
    setState(State::Connected);
    write(decoder->start());
    scheduleTick();
}

void MeterConnection::openSimulated()
{
    close();
    protocol = findMeterProtocol(QStringLiteral("simulated"));
    settingWarnings.clear();
    meterIdentity = QStringLiteral("Simulated meter");
    haveReading = false;
    link = Link::Simulated;
    simulationStartMs = Clock::currentMSecsSinceEpoch();
    simulator = SimulatedMeter();
    lastReadingMs = simulationStartMs;
    setState(State::Connected);
    scheduleTick();
}

void MeterConnection::dropDevice()
{
    if (port) {
        port->disconnect(this);
        port->close();
        port->deleteLater();
        port = nullptr;
    }
    if (socket) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        socket = nullptr;
    }
}

void MeterConnection::close()
{
    ++session;
    dropDevice();
    link = Link::None;
    decoder.reset();
    setState(State::Disconnected);
}

void MeterConnection::setSimulatedProbe(int tube)
{
    simulator.moveProbe(tube, Clock::currentMSecsSinceEpoch());
}

void MeterConnection::setSimulatedQuantity(MeterQuantity quantity)
{
    simulator.setQuantity(quantity);
}

void MeterConnection::scheduleTick()
{
    const quint64 mine = session;
    const int interval = protocol && protocol->pollMs > 0 ? protocol->pollMs : 500;
    Clock::singleShot(interval, this, [this, mine] {
        if (session == mine)
            tick();
    });
}

void MeterConnection::tick()
{
    const qint64 now = Clock::currentMSecsSinceEpoch();
    if (link == Link::Simulated) {
        latest = simulator.read(now, now - simulationStartMs);
        haveReading = true;
        lastReadingMs = now;
        emit readingArrived(latest);
        scheduleTick();
        return;
    }
    if (current == State::Connected || current == State::NoData) {
        if (now - lastReadingMs >= staleMs) {
            QString why;
            if (undecodedBytes > 0)
                why = lastProblem.isEmpty()
                          ? QStringLiteral("the meter sends bytes that cannot be read; check the protocol")
                          : lastProblem;
            setState(State::NoData, why);
        }
        if (decoder) {
            write(decoder->poll());
        }
    }
    scheduleTick();
}

void MeterConnection::write(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    if (port)
        port->write(bytes);
    else if (socket && socket->state() == QAbstractSocket::ConnectedState) {
        socket->write(bytes);
        socket->flush(); // a query is small: send it now rather than at the next event-loop turn
    }
}

void MeterConnection::readAvailable()
{
    QIODevice* device = port ? static_cast<QIODevice*>(port.data()) : socket.data();
    if (!device || !decoder)
        return;
    const QByteArray bytes = device->readAll();
    if (bytes.isEmpty())
        return;
    const MeterDecoded decoded = decoder->feed(bytes);
    if (!decoded.identity.isEmpty())
        meterIdentity = decoded.identity;
    if (!decoded.problem.isEmpty())
        lastProblem = decoded.problem;
    undecodedBytes += decoded.discardedBytes;
    write(decoded.send);
    if (decoded.readings.isEmpty())
        return;
    // A meter that floods readings is shown at the pace they are read: the last of each batch.
    const qint64 now = Clock::currentMSecsSinceEpoch();
    latest = decoded.readings.last();
    latest.timeMs = now;
    haveReading = true;
    lastReadingMs = now;
    undecodedBytes = 0;
    lastProblem.clear();
    if (current != State::Connected)
        setState(State::Connected);
    emit readingArrived(latest);
}

void MeterConnection::linkLost(const QString& why)
{
    if (link == Link::None || link == Link::Simulated)
        return;
    ++session; // ends the poll ticks of the lost link
    dropDevice();
    haveReading = false;
    setState(State::Lost, why);
    scheduleRetry();
}

void MeterConnection::scheduleRetry()
{
    const quint64 mine = session;
    Clock::singleShot(retryMs, this, [this, mine] {
        if (session != mine || current != State::Lost)
            return;
        decoder = protocol->makeDecoder();
        if (link == Link::Serial) {
            QString ignored; // the reason the link was lost stays on show
            if (!openPort(&ignored))
                scheduleRetry();
        } else if (link == Link::Network) {
            connectSocket();
        }
    });
}
