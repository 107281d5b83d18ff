#include "mockclock.h"
#include "online/onlineservice.h"
#include "online/updatecheck.h"
#include "online/updateprompt.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

QByteArray offerBody()
{
    return QByteArray(R"({"linux":{"version":"2.0.0","url":"https://dl.example/x"}})");
}

// A valid offer followed by white space, `size` bytes in all.
QByteArray paddedOffer(qint64 size)
{
    QByteArray body = offerBody();
    body.append(QByteArray(size - body.size(), ' '));
    return body;
}

// Answers every request with a fixed head and the start of a body, then keeps the connection open
// without sending more: a client that waits for the rest waits until its transfer time-out.
class StallingServer : public QObject
{
public:
    StallingServer(const QByteArray& head, const QByteArray& bodyStart) : head(head), bodyStart(bodyStart)
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    request += socket->readAll();
                    if (!answered && request.contains("\r\n\r\n")) {
                        answered = true;
                        socket->write(this->head + this->bodyStart);
                    }
                });
            }
        });
    }

    bool start() { return server.listen(QHostAddress::LocalHost); }
    QUrl baseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())); }
    bool wasAnswered() const { return answered; }

private:
    QTcpServer server;
    QByteArray head;
    QByteArray bodyStart;
    QByteArray request;
    bool answered = false;
};

} // namespace

// Answers of the update service that are far too large: nothing is offered, and the download is cut
// off instead of being held in memory whole or waited for until the transfer time-out.
class TestHostileReplies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bodies_data();
    void bodies();
    void oversizedDownloadIsCutOff_data();
    void oversizedDownloadIsCutOff();
};

void TestHostileReplies::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
}

void TestHostileReplies::bodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("offered");

    QTest::addRow("plain offer") << offerBody() << true;
    QTest::addRow("at the size limit") << paddedOffer(maxUpdateReplyBytes) << true;
    QTest::addRow("one byte over the limit") << paddedOffer(maxUpdateReplyBytes + 1) << false;
    QTest::addRow("100 MB") << paddedOffer(qint64(100) * 1000 * 1000) << false;
    QTest::addRow("nested 100 000 levels deep")
        << QByteArray(R"({"linux":)") + QByteArray(100000, '[') + QByteArray(100000, ']') + "}" << false;
    QTest::addRow("unclosed nesting")
        << QByteArray(R"({"linux":{"version":)") + QByteArray(500000, '{') << false;
    QTest::addRow("version segment beyond 32 bits")
        << QByteArray(R"({"linux":{"version":"4294967296.1","url":"https://dl.example/x"}})") << false;
    QTest::addRow("version of 20 digits")
        << QByteArray(R"({"linux":{"version":"99999999999999999999","url":"https://dl.example/x"}})")
        << false;
    QTest::addRow("NUL bytes") << QByteArray(1000, '\0') << false;
}

void TestHostileReplies::bodies()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, offered);
    const UpdateOffer offer = evaluateUpdateReply(body, QStringLiteral("1.0.0"));
    QCOMPARE(!offer.isEmpty(), offered);
    if (offered) {
        QCOMPARE(offer.version, QStringLiteral("2.0.0"));
        QCOMPARE(offer.url, QUrl(QStringLiteral("https://dl.example/x")));
    }
}

void TestHostileReplies::oversizedDownloadIsCutOff_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("bodyStart");

    // Announces 100 MB and sends the start of a valid offer: refused on the announced length.
    QTest::addRow("100 MB announced")
        << QByteArray(
               "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 100000000\r\n\r\n")
        << paddedOffer(64 * 1024);
    // No length at all: refused once more than the limit has arrived.
    QTest::addRow("no length, streaming past the limit")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n")
        << paddedOffer(maxUpdateReplyBytes + 256 * 1024);
}

void TestHostileReplies::oversizedDownloadIsCutOff()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, bodyStart);

    StallingServer server(head, bodyStart);
    QVERIFY(server.start());
    QWidget window;
    window.show();
    // The clock stands still, so the 15 s time-out cannot be what ends the request; and a box that
    // offered an update would fail the test through the modal seam.
    MockClock clock;
    checkForUpdates(&window, server.baseUrl(), serviceTransferTimeoutMs);
    QTRY_VERIFY(server.wasAnswered());
    QTRY_VERIFY2(window.findChildren<QNetworkAccessManager*>().isEmpty(),
                 "an oversized answer must end the request at once");
}

QTEST_MAIN(TestHostileReplies)
#include "tst_hostilereplies.moc"
