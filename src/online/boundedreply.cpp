#include "online/boundedreply.h"

#include "online/onlineservice.h"

#include <QNetworkReply>

BoundedReply* BoundedReply::watch(QNetworkReply* reply, qint64 maxBodyBytes, int deadlineMs, bool keepBody)
{
    auto* watcher = new BoundedReply(reply, maxBodyBytes, keepBody);
    abandonAfter(reply, deadlineMs);
    return watcher;
}

BoundedReply* BoundedReply::of(const QNetworkReply* reply)
{
    return reply->findChild<BoundedReply*>(QString(), Qt::FindDirectChildrenOnly);
}

BoundedReply::BoundedReply(QNetworkReply* watched, qint64 maxBodyBytes, bool keepBody)
    : QObject(watched), reply(watched), requestUrl(watched->url()), maxBytes(maxBodyBytes), keep(keepBody)
{
    // Qt's own buffer stays small because everything is taken from it as it arrives. (Limiting it
    // with setReadBufferSize() stalls a compressed answer in Qt 6.4 until the deadline.)
    connect(reply, &QNetworkReply::metaDataChanged, this, &BoundedReply::checkAnnouncedLength);
    connect(reply, &QNetworkReply::readyRead, this, &BoundedReply::readArrived);
    connect(reply, &QNetworkReply::redirected, this, &BoundedReply::checkRedirect);
    // Whatever is left when the reply finishes (the last chunk may come with the finished signal).
    connect(reply, &QNetworkReply::finished, this, &BoundedReply::readArrived);
}

void BoundedReply::checkAnnouncedLength()
{
    if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
        cutOff();
}

void BoundedReply::readArrived()
{
    if (tooLarge)
        return;
    while (reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(serviceReadBufferBytes);
        if (chunk.isEmpty())
            break;
        count += chunk.size();
        if (count > maxBytes) {
            cutOff();
            return;
        }
        if (keep)
            received += chunk;
    }
}

void BoundedReply::checkRedirect(const QUrl& target)
{
    if (isAllowedServiceRedirect(requestUrl, requestUrl.resolved(target)))
        emit reply->redirectAllowed();
    else
        reply->abort();
}

void BoundedReply::cutOff()
{
    tooLarge = true;
    received.clear();
    if (reply->isRunning())
        reply->abort();
}

bool isAllowedServiceRedirect(const QUrl& from, const QUrl& target)
{
    if (!target.isValid() || target.host().isEmpty() ||
        target.host().compare(from.host(), Qt::CaseInsensitive) != 0)
        return false;
    const QString scheme = target.scheme().toLower();
    return scheme == QLatin1String("https") ||
           (scheme == QLatin1String("http") && from.scheme().toLower() == QLatin1String("http"));
}
