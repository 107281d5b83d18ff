#include "online/updatecheck.h"

#include <QCoreApplication>
#include <QTest>

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void evaluate_data();
    void evaluate();
    void request();
};

void TestUpdateCheck::evaluate_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("ownVersion");
    QTest::addColumn<QString>("version"); // expected offer; both empty for none
    QTest::addColumn<QString>("url");

    const QString own = QStringLiteral("1.0.0");
    const QString dl = QStringLiteral("https://dl.example/ambertrace-linux.tar.gz");
    const QString page = QStringLiteral("https://dl.example/downloads");
    auto reply = [](const QString& version, const QString& url, const QString& downloadsPage = QString()) {
        return QStringLiteral(R"({"linux":{"version":"%1","url":"%2"},"downloads_page":"%3","windows":{"version":"9.9"}})")
            .arg(version, url, downloadsPage)
            .toUtf8();
    };

    // Version comparison
    QTest::addRow("same version") << reply("1.0.0", dl) << own << "" << "";
    QTest::addRow("patch newer") << reply("1.0.1", dl) << own << "1.0.1" << dl;
    QTest::addRow("single segment newer") << reply("2", dl) << own << "2" << dl;
    QTest::addRow("older") << reply("0.9", dl) << own << "" << "";
    QTest::addRow("shorter equal prefix is older") << reply("1.0", dl) << own << "" << "";
    QTest::addRow("extra segment is newer") << reply("1.0.0.1", dl) << own << "1.0.0.1" << dl;
    QTest::addRow("numeric, not text order") << reply("1.10.0", dl) << "1.9.3" << "1.10.0" << dl;
    QTest::addRow("suffix ignored, text kept") << reply("1.2.0-beta", dl) << own << "1.2.0-beta" << dl;
    QTest::addRow("suffix on an equal version") << reply("1.0.0-hotfix", dl) << own << "" << "";
    QTest::addRow("starts with a letter") << reply("v2.0.0", dl) << own << "" << "";
    QTest::addRow("no number at all") << reply("latest", dl) << own << "" << "";
    QTest::addRow("empty version") << reply("", dl) << own << "" << "";
    QTest::addRow("version as JSON number")
        << QByteArray(R"({"linux":{"version":2,"url":"https://dl.example/x"}})") << own << "" << "";

    // Where the link comes from
    QTest::addRow("url wins over downloads page") << reply("1.1.0", dl, page) << own << "1.1.0" << dl;
    QTest::addRow("empty url falls back to downloads page") << reply("1.1.0", "", page) << own << "1.1.0" << page;
    QTest::addRow("missing url falls back to downloads page")
        << QByteArray(R"({"linux":{"version":"1.1.0"},"downloads_page":"https://dl.example/downloads"})") << own
        << "1.1.0" << page;
    QTest::addRow("both links empty") << reply("1.1.0", "", "") << own << "" << "";
    QTest::addRow("no linux member")
        << QByteArray(R"({"downloads_page":"https://dl.example/downloads"})") << own << "" << "";
    QTest::addRow("linux is not an object")
        << QByteArray(R"({"linux":"1.1.0","downloads_page":"https://dl.example/downloads"})") << own << "" << "";

    // Malformed bodies
    QTest::addRow("not JSON") << QByteArray("<html><body>502 Bad Gateway</body></html>") << own << "" << "";
    QTest::addRow("empty body") << QByteArray() << own << "" << "";
    QTest::addRow("JSON array")
        << QByteArray(R"([{"linux":{"version":"2.0.0","url":"https://dl.example/x"}}])") << own << "" << "";
    QTest::addRow("truncated JSON")
        << QByteArray(R"({"linux":{"version":"2.0.0","url":"https://dl.example/x"})") << own << "" << "";

    // Only web pages are ever handed to the desktop
    QTest::addRow("http link") << reply("1.1.0", "http://dl.example/x") << own << "1.1.0" << "http://dl.example/x";
    QTest::addRow("upper-case scheme") << reply("1.1.0", "HTTPS://dl.example/x") << own << "1.1.0"
                                       << "https://dl.example/x";
    QTest::addRow("file link") << reply("1.1.0", "file:///usr/bin/xterm") << own << "" << "";
    QTest::addRow("custom scheme") << reply("1.1.0", "ambertrace-update://run?x=1") << own << "" << "";
    QTest::addRow("javascript link") << reply("1.1.0", "javascript:alert(1)") << own << "" << "";
    QTest::addRow("ftp link") << reply("1.1.0", "ftp://dl.example/x") << own << "" << "";
    QTest::addRow("relative link") << reply("1.1.0", "downloads/linux") << own << "" << "";
    QTest::addRow("bare path") << reply("1.1.0", "/tmp/installer.sh") << own << "" << "";
    QTest::addRow("https without host") << reply("1.1.0", "https:///x") << own << "" << "";
    QTest::addRow("file downloads page") << reply("1.1.0", "", "file:///etc/passwd") << own << "" << "";
    QTest::addRow("bad url is not replaced by the page")
        << reply("1.1.0", "file:///usr/bin/xterm", page) << own << "" << "";
    QTest::addRow("user name in the link") << reply("1.1.0", "https://user@dl.example/x") << own << "" << "";
    QTest::addRow("password in the link") << reply("1.1.0", "https://u:pw@dl.example/x") << own << "" << "";
    QTest::addRow("line break in the link") << reply("1.1.0", "https://dl.example/x\\nfile:///etc") << own
                                            << "" << "";
    QTest::addRow("link of 2000 characters")
        << reply("1.1.0", "https://dl.example/" + QString(2000 - 19, 'a')) << own << "1.1.0"
        << "https://dl.example/" + QString(2000 - 19, 'a');
    QTest::addRow("link of 2001 characters")
        << reply("1.1.0", "https://dl.example/" + QString(2001 - 19, 'a')) << own << "" << "";
    QTest::addRow("space in the host") << reply("1.1.0", "https://dl example/x") << own << "" << "";

    // Announced versions the box could not sensibly show
    QTest::addRow("version of 32 characters")
        << reply("1.1." + QString(28, '0'), dl) << own << "1.1." + QString(28, '0') << dl;
    QTest::addRow("version of 33 characters") << reply("1.1." + QString(29, '0'), dl) << own << "" << "";
    QTest::addRow("markup after the number, too long")
        << reply("9.9<a href='file:///etc/passwd'>x</a>", dl) << own << "" << "";
    QTest::addRow("markup after the number, short")
        << reply("9.9<b>big</b>", dl) << own << "9.9<b>big</b>" << dl;
    QTest::addRow("line break in the version") << reply("2.0\\nnow", dl) << own << "" << "";
    QTest::addRow("900 kB version") << reply("2." + QString(900000, '1'), dl) << own << "" << "";
    // clang-format on
}

void TestUpdateCheck::evaluate()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, ownVersion);
    QFETCH(QString, version);
    QFETCH(QString, url);

    const UpdateOffer offer = evaluateUpdateReply(body, ownVersion);
    QCOMPARE(offer.version, version);
    QCOMPARE(offer.url, QUrl(url));
    QCOMPARE(offer.isEmpty(), version.isEmpty());
}

void TestUpdateCheck::request()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    const QNetworkRequest request = updateCheckRequest(QUrl("https://service.example/"));
    QCOMPARE(request.url(), QUrl("https://service.example/brevin/ambertrace/updates.json"));
    QCOMPARE(request.header(QNetworkRequest::UserAgentHeader).toByteArray(), QByteArray("Ambertrace/1.0.0"));
    QVERIFY2(!request.header(QNetworkRequest::ContentTypeHeader).isValid(), "a GET carries no content type");
    QCOMPARE(request.attribute(QNetworkRequest::RedirectPolicyAttribute).toInt(),
             int(QNetworkRequest::UserVerifiedRedirectPolicy));
}

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
