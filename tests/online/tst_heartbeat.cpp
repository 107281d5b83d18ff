#include "localhttpserver.h"
#include "mockclock.h"
#include "online/heartbeat.h"
#include "online/onlineservice.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QTest>

namespace {

int managerCount()
{
    return QCoreApplication::instance()->findChildren<QNetworkAccessManager*>().size();
}

const char optOutVariable[] = "AMBERTRACE_NO_TELEMETRY";

} // namespace

class TestHeartbeat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void body_data();
    void body();
    void serviceUrlJoinsPath_data();
    void serviceUrlJoinsPath();
    void postsOneCompactJsonRequest();
    void optOut_data();
    void optOut();
    void unansweredRequestIsAbandoned();
};

void TestHeartbeat::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlen"));
}

void TestHeartbeat::cleanup()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    qputenv(optOutVariable, "1");
    // Let pending deferred deletions of finished requests run before the next test counts managers.
    QTRY_COMPARE(managerCount(), 0);
}

void TestHeartbeat::body_data()
{
    // clang-format off
    QTest::addColumn<QString>("version");
    QTest::addColumn<QByteArray>("expected");
    QTest::addRow("release") << "1.0.0" << QByteArray(R"({"app":"Ambertrace","app_version":"1.0.0","os":"Linux"})");
    QTest::addRow("pre-release") << "2.1.0-rc1" << QByteArray(R"({"app":"Ambertrace","app_version":"2.1.0-rc1","os":"Linux"})");
    QTest::addRow("quote is escaped") << "1\"0" << QByteArray(R"({"app":"Ambertrace","app_version":"1\"0","os":"Linux"})");
    // clang-format on
}

void TestHeartbeat::body()
{
    QFETCH(QString, version);
    QFETCH(QByteArray, expected);
    QCoreApplication::setApplicationVersion(version);
    QCOMPARE(heartbeatBody(), expected);
}

void TestHeartbeat::serviceUrlJoinsPath_data()
{
    // clang-format off
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");
    const QString path = QStringLiteral("/brevin/ambertrace/heartbeat");
    QTest::addRow("host only") << "https://service.example" << "https://service.example" + path;
    QTest::addRow("trailing slash") << "https://service.example/" << "https://service.example" + path;
    QTest::addRow("with port") << "http://127.0.0.1:8080" << "http://127.0.0.1:8080" + path;
    QTest::addRow("below a prefix") << "https://service.example/api/" << "https://service.example/api" + path;
    // clang-format on
}

void TestHeartbeat::serviceUrlJoinsPath()
{
    QFETCH(QString, base);
    QFETCH(QString, expected);
    QCOMPARE(serviceUrl(QUrl(base), QStringLiteral("/brevin/ambertrace/heartbeat")), QUrl(expected));
}

void TestHeartbeat::postsOneCompactJsonRequest()
{
    LocalHttpServer server;
    QVERIFY(server.start());
    server.setResponse(204, "No Content", QByteArray());
    qunsetenv(optOutVariable);

    sendUsageHeartbeat(server.baseUrl(), serviceTransferTimeoutMs);
    QCOMPARE(managerCount(), 1);
    QTRY_COMPARE(server.requests().size(), 1);

    const RecordedRequest& request = server.requests().constFirst();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/brevin/ambertrace/heartbeat"));
    QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
    QCOMPARE(request.headers.value("user-agent"), QByteArray("Ambertrace/1.0.0"));
    QCOMPARE(request.body, QByteArray(R"({"app":"Ambertrace","app_version":"1.0.0","os":"Linux"})"));

    // Once the answer is in, the manager and the reply go away: nothing is left that could send again.
    QTRY_COMPARE(managerCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(server.requests().size(), 1);
}

void TestHeartbeat::optOut_data()
{
    // clang-format off
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("sent");
    QTest::addRow("unset") << false << QByteArray() << true;
    QTest::addRow("1") << true << QByteArray("1") << false;
    QTest::addRow("0") << true << QByteArray("0") << true;
    QTest::addRow("empty") << true << QByteArray("") << true;
    QTest::addRow("space before 1") << true << QByteArray(" 1") << true;
    QTest::addRow("space after 1") << true << QByteArray("1 ") << true;
    QTest::addRow("true") << true << QByteArray("true") << true;
    QTest::addRow("yes") << true << QByteArray("yes") << true;
    QTest::addRow("11") << true << QByteArray("11") << true;
    // clang-format on
}

void TestHeartbeat::optOut()
{
    QFETCH(bool, set);
    QFETCH(QByteArray, value);
    QFETCH(bool, sent);

    LocalHttpServer server;
    QVERIFY(server.start());
    if (set)
        qputenv(optOutVariable, value);
    else
        qunsetenv(optOutVariable);
    QCOMPARE(heartbeatOptedOut(), !sent);

    sendUsageHeartbeat(server.baseUrl(), serviceTransferTimeoutMs);
    if (sent) {
        QTRY_COMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().constFirst().method, QByteArray("POST"));
    } else {
        // Without a manager nothing can be sent later either.
        QVERIFY2(managerCount() == 0, "an opted-out start must not even create a network access manager");
        QCoreApplication::processEvents();
        QVERIFY2(server.connectionCount() == 0, "an opted-out start must not contact the service");
    }
}

void TestHeartbeat::unansweredRequestIsAbandoned()
{
    LocalHttpServer server;
    QVERIFY(server.start());
    server.setSilent(true);
    qunsetenv(optOutVariable);

    MockClock clock;
    sendUsageHeartbeat(server.baseUrl(), serviceTransferTimeoutMs);
    QTRY_COMPARE(server.requests().size(), 1);
    QCOMPARE(managerCount(), 1);
    // The request waits out its time-out and not a moment less ...
    clock.advance(serviceTransferTimeoutMs - 1);
    QCoreApplication::processEvents();
    QCOMPARE(managerCount(), 1);
    // ... then it is abandoned: the manager is cleaned up and there is no retry.
    clock.advance(1);
    QTRY_COMPARE(managerCount(), 0);
    QCOMPARE(server.requests().size(), 1);
}

QTEST_GUILESS_MAIN(TestHeartbeat)
#include "tst_heartbeat.moc"
