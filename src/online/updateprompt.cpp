#include "online/updateprompt.h"

#include "online/onlineservice.h"
#include "online/updatecheck.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QWidget>

void checkForUpdates(QWidget* window)
{
    checkForUpdates(window, serviceBaseUrl(), serviceTransferTimeoutMs);
}

void checkForUpdates(QWidget* window, const QUrl& serviceBase, int transferTimeoutMs)
{
    auto* manager = new QNetworkAccessManager(window);
    QNetworkReply* reply = manager->get(updateCheckRequest(serviceBase));
    abandonAfter(reply, transferTimeoutMs);
    // An answer that announces or grows past the limit is cut off at once instead of being held in
    // memory whole; the aborted reply then finishes with an error and is ignored. (downloadProgress
    // is throttled and may stay silent for a single large chunk, so the checks follow the headers
    // and every arrival of data.)
    auto cutOffOversized = [reply] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxUpdateReplyBytes ||
            reply->bytesAvailable() > maxUpdateReplyBytes)
            reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, cutOffOversized);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, cutOffOversized);
    QObject::connect(reply, &QNetworkReply::finished, window,
                     [reply, manager, window] { handleUpdateReply(reply, manager, window); });
}

void handleUpdateReply(QNetworkReply* reply, QNetworkAccessManager* manager, QWidget* window)
{
    reply->deleteLater();
    manager->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        return;

    const QString ownVersion = QCoreApplication::applicationVersion();
    const UpdateOffer offer = evaluateUpdateReply(reply->read(maxUpdateReplyBytes + 1), ownVersion);
    if (offer.isEmpty())
        return;
    offerUpdate(window, offer, ownVersion);
}

bool offerUpdate(QWidget* parent, const UpdateOffer& offer, const QString& ownVersion)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Update Available"));
    box.setIcon(QMessageBox::Information);
    box.setText(QStringLiteral("Ambertrace %1 is available (you have %2).").arg(offer.version, ownVersion));
    box.setInformativeText(QStringLiteral("Would you like to download the new version?"));
    QPushButton* download = box.addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() != download)
        return false;
    QDesktopServices::openUrl(offer.url);
    return true;
}
