#include "localhttpserver.h"
#include "mockclock.h"
#include "modalseam.h"
#include "online/onlineservice.h"
#include "online/updateprompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Stands in for the web browser: every page the program asks the desktop to open lands here.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

const QStringList caughtSchemes{"https", "http", "file", "ambertrace-update"};

struct SeenBox {
    bool shown = false;
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons; // "text:role"
    QWidget* parent = nullptr;
    QString defaultButton;
    Qt::TextFormat textFormat = Qt::AutoText;
};

// Notes what the update box shows and answers it like a user would: "Download", "Later" or "Escape".
ModalSeam::Handler answerUpdateBox(const QString& answer, SeenBox& seen)
{
    return [answer, &seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            closeDialog(modal);
            return;
        }
        seen.shown = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.informativeText = box->informativeText();
        seen.icon = box->icon();
        seen.parent = box->parentWidget();
        seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        seen.textFormat = box->textFormat();
        seen.buttons.clear();
        const auto buttons = box->buttons();
        for (QAbstractButton* button : buttons)
            seen.buttons << button->text() + ':' + QString::number(box->buttonRole(button));
        if (answer == QLatin1String("Escape") || answer == QLatin1String("Return")) {
            QTest::keyClick(box, answer == QLatin1String("Escape") ? Qt::Key_Escape : Qt::Key_Return);
            return;
        }
        for (QAbstractButton* button : buttons) {
            if (button->text() == answer) {
                button->click();
                return;
            }
        }
    };
}

QByteArray updateReply(const QString& version, const QString& url, const QString& downloadsPage = QString())
{
    return QStringLiteral(R"({"linux":{"version":"%1","url":"%2"},"downloads_page":"%3"})")
        .arg(version, url, downloadsPage)
        .toUtf8();
}

} // namespace

class TestUpdatePrompt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sendsTheRequest();
    void answers_data();
    void answers();
    void closingTheWindowDropsTheRequest();
    void offerAfterTypingWaitsInANotice();

private:
    UrlCatcher catcher;
};

void TestUpdatePrompt::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("Ambertrace"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));
    for (const QString& scheme : caughtSchemes)
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");
}

void TestUpdatePrompt::cleanupTestCase()
{
    for (const QString& scheme : caughtSchemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

void TestUpdatePrompt::sendsTheRequest()
{
    LocalHttpServer server;
    QVERIFY(server.start());
    server.setResponse(200, "OK", updateReply("1.0.0", "https://dl.example/x"));
    QWidget window;

    checkForUpdates(&window, server.baseUrl(), 15000);
    QCOMPARE(window.findChildren<QNetworkAccessManager*>().size(), 1);
    QTRY_COMPARE(server.requests().size(), 1);
    const RecordedRequest& request = server.requests().constFirst();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, QByteArray("/brevin/ambertrace/updates.json"));
    QCOMPARE(request.headers.value("user-agent"), QByteArray("Ambertrace/1.0.0"));
    QVERIFY2(!request.headers.contains("content-type"), "the GET carries no content type");
    QCOMPARE(request.body, QByteArray());
    QTRY_VERIFY2(window.findChildren<QNetworkAccessManager*>().isEmpty(),
                 "the manager should be deleted once the reply is handled");
}

void TestUpdatePrompt::answers_data()
{
    // clang-format off
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expectedText"); // empty: no box at all
    QTest::addColumn<QString>("expectedOpened"); // empty: nothing opened

    const QString dl = QStringLiteral("https://dl.example/ambertrace-1.0.1.tar.gz");
    const QString page = QStringLiteral("https://dl.example/downloads");

    QTest::addRow("newer, download") << 200 << updateReply("1.0.1", dl) << false << "Download"
                                     << "Ambertrace 1.0.1 is available (you have 1.0.0)." << dl;
    QTest::addRow("newer, later") << 200 << updateReply("2", dl) << false << "Later"
                                  << "Ambertrace 2 is available (you have 1.0.0)." << "";
    QTest::addRow("newer, Return pressed") << 200 << updateReply("1.1", dl) << false << "Return"
                                           << "Ambertrace 1.1 is available (you have 1.0.0)." << "";
    QTest::addRow("link markup in the version is text")
        << 200 << updateReply("9.9<a href=file:///x>y</a>", dl) << false << "Later"
        << "Ambertrace 9.9<a href=file:///x>y</a> is available (you have 1.0.0)." << "";
    QTest::addRow("long markup in the version offers nothing")
        << 200 << updateReply("9.9<a href='file:///etc/passwd'>x</a>", dl) << false << "Download" << "" << "";
    QTest::addRow("user name in the link offers nothing")
        << 200 << updateReply("9.9", "https://me@dl.example/x") << false << "Download" << "" << "";
    QTest::addRow("newer, box closed") << 200 << updateReply("1.1", dl) << false << "Escape"
                                       << "Ambertrace 1.1 is available (you have 1.0.0)." << "";
    QTest::addRow("same version") << 200 << updateReply("1.0.0", dl) << false << "Download" << "" << "";
    QTest::addRow("older") << 200 << updateReply("0.9", dl) << false << "Download" << "" << "";
    QTest::addRow("starts with a letter") << 200 << updateReply("v1.2.0", dl) << false << "Download" << "" << "";
    QTest::addRow("both links empty") << 200 << updateReply("3.0.0", "", "") << false << "Download" << "" << "";
    QTest::addRow("downloads page fallback") << 200 << updateReply("1.2.0", "", page) << false << "Download"
                                             << "Ambertrace 1.2.0 is available (you have 1.0.0)." << page;
    QTest::addRow("placeholder in the version is shown as is")
        << 200 << updateReply("1.5-rc%2", dl) << false << "Later"
        << "Ambertrace 1.5-rc%2 is available (you have 1.0.0)." << "";
    QTest::addRow("plain http link") << 200 << updateReply("1.0.1", "http://dl.example/x") << false << "Download"
                                     << "Ambertrace 1.0.1 is available (you have 1.0.0)." << "http://dl.example/x";
    QTest::addRow("not JSON") << 200 << QByteArray("<html>maintenance</html>") << false << "Download" << "" << "";
    QTest::addRow("server error") << 500 << updateReply("9.0.0", dl) << false << "Download" << "" << "";
    QTest::addRow("not found") << 404 << updateReply("9.0.0", dl) << false << "Download" << "" << "";
    QTest::addRow("never answers") << 200 << updateReply("9.0.0", dl) << true << "Download" << "" << "";
    QTest::addRow("file link") << 200 << updateReply("9.0.0", "file:///usr/bin/xterm") << false << "Download"
                               << "" << "";
    QTest::addRow("custom scheme") << 200 << updateReply("9.0.0", "ambertrace-update://install") << false
                                   << "Download" << "" << "";
    QTest::addRow("file downloads page") << 200 << updateReply("9.0.0", "", "file:///etc/passwd") << false
                                         << "Download" << "" << "";
    // clang-format on
}

void TestUpdatePrompt::answers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, silent);
    QFETCH(QString, answer);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedOpened);

    LocalHttpServer server;
    QVERIFY(server.start());
    server.setResponse(status, status == 200 ? "OK" : "Error", body);
    server.setSilent(silent);
    catcher.opened.clear();

    QWidget window;
    window.show();
    SeenBox seen;
    ModalSeam watcher({answerUpdateBox(answer, seen)});
    MockClock clock;
    checkForUpdates(&window, server.baseUrl(), serviceTransferTimeoutMs);
    if (silent) {
        // A server that never answers holds the request for its whole time-out, then it is abandoned.
        QTRY_COMPARE(server.requests().size(), 1);
        clock.advance(serviceTransferTimeoutMs - 1);
        QCoreApplication::processEvents();
        QCOMPARE(window.findChildren<QNetworkAccessManager*>().size(), 1);
        clock.advance(1);
    }
    QTRY_VERIFY(window.findChildren<QNetworkAccessManager*>().isEmpty());
    QCOMPARE(server.requests().size(), 1);

    if (expectedText.isEmpty()) {
        QVERIFY2(!seen.shown, qPrintable("no box expected, but one said: " + seen.text));
    } else {
        QVERIFY2(seen.shown, "expected the update box");
        QCOMPARE(seen.title, QStringLiteral("Update Available"));
        QCOMPARE(seen.text, expectedText);
        QCOMPARE(seen.informativeText, QStringLiteral("Would you like to download the new version?"));
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.parent, &window);
        QCOMPARE(seen.textFormat, Qt::PlainText);
        QCOMPARE(seen.defaultButton, QStringLiteral("Later"));
        QCOMPARE(seen.buttons.size(), 2);
        QVERIFY2(seen.buttons.contains("Download:" + QString::number(QMessageBox::AcceptRole)),
                 qPrintable(seen.buttons.join(", ")));
        QVERIFY2(seen.buttons.contains("Later:" + QString::number(QMessageBox::RejectRole)),
                 qPrintable(seen.buttons.join(", ")));
    }

    if (expectedOpened.isEmpty())
        QVERIFY2(catcher.opened.isEmpty(),
                 qPrintable("nothing should open, but " + catcher.opened.value(0).toString()));
    else
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(expectedOpened)});
}

void TestUpdatePrompt::closingTheWindowDropsTheRequest()
{
    LocalHttpServer server;
    QVERIFY(server.start());
    server.setSilent(true);
    SeenBox seen;
    ModalSeam watcher({answerUpdateBox(QStringLiteral("Download"), seen)});
    {
        QWidget window;
        window.show();
        checkForUpdates(&window, server.baseUrl(), 15000);
        QTRY_COMPARE(server.requests().size(), 1);
    }
    // The answer now arriving late must find nobody to show a box to.
    server.setSilent(false);
    server.setResponse(200, "OK", updateReply("9.0.0", "https://dl.example/x"));
    // The request went with the window's manager, so nothing is left to receive it.
    QCoreApplication::processEvents();
    QVERIFY(!seen.shown);
    QCOMPARE(server.requests().size(), 1);
}

void TestUpdatePrompt::offerAfterTypingWaitsInANotice()
{
    const QByteArray body = updateReply("1.0.1", "https://dl.example/x");
    LocalHttpServer server;
    QVERIFY(server.start());
    // The head and the first byte now, the rest once the user has typed.
    server.setRawAnswer("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
                        body.left(1));
    catcher.opened.clear();

    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    field->setFocus();
    ModalSeam watcher; // no modal box is expected at all
    MockClock clock;
    checkForUpdates(&window, server.baseUrl(), serviceTransferTimeoutMs);
    QTRY_COMPARE(server.openConnections(), 1);
    QTest::keyClicks(field, "12.5");
    server.drip(body.mid(1));
    QTRY_VERIFY(window.findChildren<QNetworkAccessManager*>().isEmpty());

    auto* notice = window.findChild<QMessageBox*>(QStringLiteral("updateNotice"));
    QVERIFY2(notice, "the offer must wait in a notice");
    QVERIFY(notice->isVisible());
    QVERIFY(!notice->isModal());
    QCOMPARE(notice->windowModality(), Qt::NonModal);
    QCOMPARE(notice->text(), QStringLiteral("Ambertrace 1.0.1 is available (you have 1.0.0)."));
    QCOMPARE(notice->textFormat(), Qt::PlainText);
    QCOMPARE(notice->defaultButton()->text(), QStringLiteral("Later"));
    QCOMPARE(watcher.answered, 0);
    // Typing goes on where it was.
    QTest::keyClicks(field, "0");
    QCOMPARE(field->text(), QStringLiteral("12.50"));
    QVERIFY(catcher.opened.isEmpty());

    QAbstractButton* download = nullptr;
    for (QAbstractButton* button : notice->buttons())
        if (button->text() == QLatin1String("Download"))
            download = button;
    QVERIFY(download);
    download->click();
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl("https://dl.example/x")});
}

QTEST_MAIN(TestUpdatePrompt)
#include "tst_updateprompt.moc"
