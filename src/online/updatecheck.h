#pragma once

// The update check's request and the evaluation of the service's answer. Showing the offer is the
// widgets' part (online/updateprompt.h).
#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

// A newer version the service announces and where to get it; both empty when there is nothing to
// offer.
struct UpdateOffer {
    QString version; // exactly as announced
    QUrl url;

    bool isEmpty() const { return version.isEmpty() || url.isEmpty(); }
};

// The largest answer of the update service that is read, in bytes. The real document is a few
// hundred bytes; a body beyond this is not that document, so its download is stopped and nothing is
// offered.
inline constexpr qint64 maxUpdateReplyBytes = 1024 * 1024;

// Reads the answer of the update service: "linux" -> "version" and "url", with the top-level
// "downloads_page" standing in for a missing or empty "url". Offers the version only when it is
// numerically newer than `ownVersion` and the link is a web address (http or https with a host);
// a body that is not a JSON object, one longer than maxUpdateReplyBytes, a missing member or any
// other kind of link gives no offer.
UpdateOffer evaluateUpdateReply(const QByteArray& body, const QString& ownVersion);

// The GET of the update document below `serviceBase`, with the program's User-Agent.
QNetworkRequest updateCheckRequest(const QUrl& serviceBase);
