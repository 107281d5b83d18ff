#include "online/onlineservice.h"

#include "app/buildconfig.h"
#include "app/clock.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QNetworkRequest>

QUrl serviceBaseUrl()
{
    return QUrl(QStringLiteral(AMBERTRACE_SERVICE_BASE_URL));
}

QUrl serviceUrl(const QUrl& base, const QString& path)
{
    QString address = base.toString();
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return QUrl(address + path);
}

QByteArray serviceUserAgent()
{
    return "Ambertrace/" + QCoreApplication::applicationVersion().toUtf8();
}

void abandonAfter(QNetworkReply* reply, int ms)
{
    Clock::singleShot(ms, reply, [reply] {
        if (reply->isRunning())
            reply->abort();
    });
}

QNetworkRequest serviceRequest(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, serviceUserAgent());
    request.setRawHeader("Accept-Language", "*");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(3);
    return request;
}
