#include "online/heartbeat.h"

#include "online/boundedreply.h"
#include "online/onlineservice.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

bool heartbeatOptedOut()
{
    return qgetenv("AMBERTRACE_NO_TELEMETRY") == "1";
}

QByteArray heartbeatBody()
{
    const QJsonObject body{
        {QStringLiteral("app"), QStringLiteral("Ambertrace")},
        {QStringLiteral("app_version"), QCoreApplication::applicationVersion()},
        {QStringLiteral("os"), QStringLiteral("Linux")},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

void sendUsageHeartbeat()
{
    sendUsageHeartbeat(serviceBaseUrl(), serviceTransferTimeoutMs);
}

void sendUsageHeartbeat(const QUrl& serviceBase, int transferTimeoutMs)
{
    if (heartbeatOptedOut())
        return;

    auto* manager = new QNetworkAccessManager(QCoreApplication::instance());
    QNetworkRequest request =
        serviceRequest(serviceUrl(serviceBase, QStringLiteral("/brevin/ambertrace/heartbeat")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));

    QNetworkReply* reply = manager->post(request, heartbeatBody());
    // The answer is never looked at; it is read as it comes and dropped, and a long one ends the request.
    BoundedReply::watch(reply, maxHeartbeatReplyBytes, transferTimeoutMs, false);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, manager] {
        reply->deleteLater();
        manager->deleteLater();
    });
}
