#include "online/updateprompt.h"

#include "online/boundedreply.h"
#include "online/onlineservice.h"
#include "online/updatecheck.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace {

// Notes whether a key was pressed anywhere in the program since it was installed. It lives as long
// as the update check that installed it.
class KeyPressWatch : public QObject
{
public:
    explicit KeyPressWatch(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }
    ~KeyPressWatch() override { qApp->removeEventFilter(this); }

    bool typed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            typed = true;
        return QObject::eventFilter(watched, event);
    }
};

// The box's texts and buttons; "Later" is the default, so Return never starts a download.
QPushButton* fillUpdateBox(QMessageBox& box, const UpdateOffer& offer, const QString& ownVersion)
{
    box.setWindowTitle(QStringLiteral("Update Available"));
    box.setIcon(QMessageBox::Information);
    // The version comes from the network: shown as the characters it is, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QStringLiteral("Ambertrace %1 is available (you have %2).").arg(offer.version, ownVersion));
    box.setInformativeText(QStringLiteral("Would you like to download the new version?"));
    QPushButton* download = box.addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    QPushButton* later = box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(later);
    box.setEscapeButton(later);
    return download;
}

bool openOffer(const UpdateOffer& offer)
{
    if (!isVettedDownloadUrl(offer.url))
        return false;
    QDesktopServices::openUrl(offer.url);
    return true;
}

} // namespace

void checkForUpdates(QWidget* window)
{
    checkForUpdates(window, serviceBaseUrl(), serviceTransferTimeoutMs);
}

void checkForUpdates(QWidget* window, const QUrl& serviceBase, int transferTimeoutMs)
{
    auto* manager = new QNetworkAccessManager(window);
    auto* keys = new KeyPressWatch(manager);
    QNetworkReply* reply = manager->get(updateCheckRequest(serviceBase));
    BoundedReply::watch(reply, maxUpdateReplyBytes, transferTimeoutMs, true);
    QObject::connect(reply, &QNetworkReply::finished, window, [reply, manager, window, keys] {
        handleUpdateReply(reply, manager, window, keys->typed);
    });
}

void handleUpdateReply(QNetworkReply* reply, QNetworkAccessManager* manager, QWidget* window, bool userTyped)
{
    reply->deleteLater();
    manager->deleteLater();
    const BoundedReply* bounded = BoundedReply::of(reply);
    if (reply->error() != QNetworkReply::NoError || !bounded || bounded->overflowed())
        return;

    const QString ownVersion = QCoreApplication::applicationVersion();
    const UpdateOffer offer = evaluateUpdateReply(bounded->body(), ownVersion);
    if (offer.isEmpty())
        return;
    if (userTyped)
        showUpdateNotice(window, offer, ownVersion);
    else
        offerUpdate(window, offer, ownVersion);
}

bool offerUpdate(QWidget* parent, const UpdateOffer& offer, const QString& ownVersion)
{
    QMessageBox box(parent);
    QPushButton* download = fillUpdateBox(box, offer, ownVersion);
    box.exec();
    if (box.clickedButton() != download)
        return false;
    return openOffer(offer);
}

QMessageBox* showUpdateNotice(QWidget* parent, const UpdateOffer& offer, const QString& ownVersion)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("updateNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // Shown beside the window without taking the keyboard from what the user is typing into.
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    QPushButton* download = fillUpdateBox(*box, offer, ownVersion);
    QObject::connect(download, &QPushButton::clicked, box, [offer] { openOffer(offer); });
    box->show();
    return box;
}
