#include "online/updatecheck.h"

#include "online/onlineservice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVersionNumber>

namespace {

// The link is handed to the desktop's URL opener, so anything but a web page (a local file, a
// custom scheme that starts some other program) is refused.
bool isWebLink(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("https") || scheme == QLatin1String("http")) &&
           !url.host().isEmpty();
}

} // namespace

UpdateOffer evaluateUpdateReply(const QByteArray& body, const QString& ownVersion)
{
    if (body.size() > maxUpdateReplyBytes)
        return {};
    const QJsonObject root = QJsonDocument::fromJson(body).object();
    const QJsonObject platform = root.value(QStringLiteral("linux")).toObject();
    const QString version = platform.value(QStringLiteral("version")).toString();
    QString link = platform.value(QStringLiteral("url")).toString();
    if (link.isEmpty())
        link = root.value(QStringLiteral("downloads_page")).toString();
    if (version.isEmpty() || link.isEmpty())
        return {};

    const QVersionNumber announced = QVersionNumber::fromString(version);
    if (announced.isNull())
        return {};
    if (QVersionNumber::compare(announced, QVersionNumber::fromString(ownVersion)) <= 0)
        return {};

    const QUrl url(link);
    if (!isWebLink(url))
        return {};
    return {version, url};
}

QNetworkRequest updateCheckRequest(const QUrl& serviceBase)
{
    QNetworkRequest request(serviceUrl(serviceBase, QStringLiteral("/brevin/ambertrace/updates.json")));
    request.setHeader(QNetworkRequest::UserAgentHeader, serviceUserAgent());
    return request;
}
