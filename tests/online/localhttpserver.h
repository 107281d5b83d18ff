#pragma once

// A tiny HTTP/1.1 server on 127.0.0.1 for the network tests: it records every request it receives
// and answers each with a canned status and body, or not at all, or as a hostile server would: a
// raw head of its own, then an endless stream, or bytes dripped one at a time when the test says.
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

struct RecordedRequest {
    QByteArray method;
    QByteArray path;
    QByteArray version;
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
};

class LocalHttpServer : public QObject
{
public:
    explicit LocalHttpServer(QObject* parent = nullptr) : QObject(parent)
    {
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] { acceptConnections(); });
    }

    bool start() { return server.listen(QHostAddress::LocalHost); }
    QUrl baseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())); }

    // What the next requests are answered with; `silent` keeps the connection open without an answer.
    void setResponse(int status, const QByteArray& reason, const QByteArray& body)
    {
        responseStatus = status;
        responseReason = reason;
        responseBody = body;
    }
    void setSilent(bool on) { silent = on; }
    // Answers with exactly these bytes (status line, headers and perhaps a body) and keeps the
    // connection open.
    void setRawAnswer(const QByteArray& bytes) { rawAnswer = bytes; }
    // After the raw answer, writes `chunk` again and again, never more than 64 KiB ahead of the
    // client, until `cap` bytes went out or the client hung up.
    void setEndless(const QByteArray& chunk, qint64 cap)
    {
        endlessChunk = chunk;
        endlessCap = cap;
    }
    // Writes `bytes` to every connection that has been answered and is still open.
    void drip(const QByteArray& bytes)
    {
        for (QTcpSocket* socket : std::as_const(answered))
            if (socket && socket->state() == QAbstractSocket::ConnectedState)
                socket->write(bytes);
    }
    // Connections answered and still open; bytes written after the raw answers.
    int openConnections() const
    {
        int open = 0;
        for (QTcpSocket* socket : answered)
            open += socket && socket->state() == QAbstractSocket::ConnectedState;
        return open;
    }
    qint64 streamedBytes() const { return streamed; }

    int connectionCount() const { return connections; }
    const QList<RecordedRequest>& requests() const { return received; }

private:
    void acceptConnections()
    {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            ++connections;
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QByteArray& buffer = pending[socket];
                buffer.append(socket->readAll());
                readRequests(socket, buffer);
            });
        }
    }

    void readRequests(QTcpSocket* socket, QByteArray& buffer)
    {
        for (;;) {
            const int headerEnd = buffer.indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
            RecordedRequest request;
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            request.path = requestLine.value(1);
            request.version = requestLine.value(2);
            for (int i = 1; i < lines.size(); ++i) {
                const int colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                           lines[i].mid(colon + 1).trimmed());
            }
            const int length = request.headers.value("content-length", "0").toInt();
            if (buffer.size() < headerEnd + 4 + length)
                return;
            request.body = buffer.mid(headerEnd + 4, length);
            buffer.remove(0, headerEnd + 4 + length);
            received.append(request);
            if (silent)
                continue;
            if (!rawAnswer.isEmpty()) {
                answered.append(socket);
                socket->write(rawAnswer);
                if (!endlessChunk.isEmpty()) {
                    QObject::connect(socket, &QTcpSocket::bytesWritten, this,
                                     [this, socket] { feed(socket); });
                    feed(socket);
                }
                continue;
            }
            QByteArray answer =
                "HTTP/1.1 " + QByteArray::number(responseStatus) + ' ' + responseReason + "\r\n";
            answer += "Content-Type: application/json\r\n";
            answer += "Content-Length: " + QByteArray::number(responseBody.size()) + "\r\n";
            answer += "Connection: close\r\n\r\n";
            answer += responseBody;
            socket->write(answer);
            socket->disconnectFromHost();
        }
    }

    void feed(QTcpSocket* socket)
    {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 64 * 1024 &&
               streamed < endlessCap) {
            socket->write(endlessChunk);
            streamed += endlessChunk.size();
        }
    }

    QTcpServer server;
    QHash<QTcpSocket*, QByteArray> pending; // unread bytes per connection
    int connections = 0;
    QList<RecordedRequest> received;
    int responseStatus = 200;
    QByteArray responseReason = "OK";
    QByteArray responseBody;
    bool silent = false;
    QByteArray rawAnswer;
    QByteArray endlessChunk;
    qint64 endlessCap = 0;
    qint64 streamed = 0;
    QList<QPointer<QTcpSocket>> answered;
};
