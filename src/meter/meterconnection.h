#pragma once

// The link to one meter: a serial port (QSerialPort), a TCP socket (QTcpSocket) or the simulated
// meter, all on the GUI thread and driven by their signals. Bytes go to the protocol's decoder;
// its readings come out stamped with the clock's time. Every wait goes through the program's
// clock: the poll ticks, "no data for 3 s" and the attempts to reach a meter that went away.
//
// States: connecting, connected, no data (nothing readable for staleMs), lost (the port closed
// or the server dropped the connection; it is tried again every retryMs until it answers or the
// user disconnects) and failed (the first open did not succeed; the reason says why). Settings a
// port does not take (DTR on a pseudo-terminal, 7 data bits on some adapters) are warnings: the
// connection goes on.
#include "meter/meterprotocols.h"
#include "meter/meterreading.h"
#include "meter/simulatedmeter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

class QIODevice;
class QSerialPort;
class QTcpSocket;

class MeterConnection : public QObject
{
    Q_OBJECT

public:
    enum class State { Disconnected, Connecting, Connected, NoData, Lost, Failed };

    static constexpr int staleMs = 3000;
    static constexpr int retryMs = 2000;
    static constexpr qint64 readBufferBytes = 64 * 1024;

    explicit MeterConnection(QObject* parent = nullptr);
    ~MeterConnection() override;

    // Opens `portName` (a name from the port list or a path such as /dev/ttyUSB0) with the
    // protocol's serial settings. False, with errorString(), when the port cannot be opened or
    // the protocol does not work over a serial line.
    bool openSerial(const QString& portName, const QString& protocolId);
    // Connects to host:port; the outcome arrives as a state change.
    bool openNetwork(const QString& host, quint16 port, const QString& protocolId);
    void openSimulated();
    void close();

    State state() const { return current; }
    // "Connected", "No data for 3 s", "Connection lost: … (trying again)", "Error: …"
    QString stateText() const;
    QString errorString() const { return reason; }
    QStringList warnings() const { return settingWarnings; }
    QString identity() const { return meterIdentity; }
    bool hasReading() const { return haveReading; }
    const MeterReading& lastReading() const { return latest; }

    // The simulated meter's probe and function (the panel keeps them with the tube being read).
    void setSimulatedProbe(int tube);
    void setSimulatedQuantity(MeterQuantity quantity);

signals:
    void readingArrived(const MeterReading& reading);
    void stateChanged();

private:
    enum class Link { None, Serial, Network, Simulated };

    bool begin(const QString& protocolId, bool overSerial);
    bool openPort(QString* error);
    void connectSocket();
    void linkUp();
    void linkLost(const QString& why);
    // Closes and lets go of the port or socket, without a word about it.
    void dropDevice();
    void setState(State state, const QString& why = QString());
    void scheduleTick();
    void tick();
    void scheduleRetry();
    void readAvailable();
    void write(const QByteArray& bytes);

    Link link = Link::None;
    State current = State::Disconnected;
    QString reason;
    QStringList settingWarnings;
    QString meterIdentity;
    const MeterProtocol* protocol = nullptr;
    std::unique_ptr<MeterDecoder> decoder;
    QPointer<QSerialPort> port;
    QPointer<QTcpSocket> socket;
    QString portName;
    QString host;
    quint16 tcpPort = defaultMeterTcpPort;
    quint64 session = 0; // bumped on every open and close; a scheduled action of an old one does nothing
    qint64 lastReadingMs = 0;
    qint64 undecodedBytes = 0; // since the last reading
    QString lastProblem;
    bool haveReading = false;
    MeterReading latest;
    SimulatedMeter simulator;
    qint64 simulationStartMs = 0;
};
