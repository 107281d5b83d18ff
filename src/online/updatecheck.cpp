#include "online/updatecheck.h"

#include "online/onlineservice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVersionNumber>

#include <algorithm>

namespace {

bool hasControlCharacters(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

QUrl vettedDownloadUrl(const QString& link)
{
    if (link.isEmpty() || link.size() > maxDownloadUrlLength || hasControlCharacters(link))
        return {};
    const QUrl url(link, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")) ||
        url.host().isEmpty() || !url.userInfo().isEmpty())
        return {};
    return url;
}

bool isVettedDownloadUrl(const QUrl& url)
{
    return !url.isEmpty() && vettedDownloadUrl(url.toString(QUrl::FullyEncoded)) == url;
}

bool isAnnouncedVersion(const QString& version)
{
    return !version.isEmpty() && version.size() <= maxAnnouncedVersionLength &&
           !hasControlCharacters(version) && !QVersionNumber::fromString(version).isNull();
}

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

    if (!isAnnouncedVersion(version))
        return {};
    const QVersionNumber announced = QVersionNumber::fromString(version);
    if (QVersionNumber::compare(announced, QVersionNumber::fromString(ownVersion)) <= 0)
        return {};

    const QUrl url = vettedDownloadUrl(link);
    if (url.isEmpty())
        return {};
    return {version, url};
}

QNetworkRequest updateCheckRequest(const QUrl& serviceBase)
{
    return serviceRequest(serviceUrl(serviceBase, QStringLiteral("/brevin/ambertrace/updates.json")));
}
