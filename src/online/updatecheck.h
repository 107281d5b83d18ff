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

// The longest announced version that is offered, in characters; a real one is "1.10.2" or
// "2.0.0-rc1". A longer text is no version, and would make a box as tall as the screen.
inline constexpr int maxAnnouncedVersionLength = 32;

// The longest download link that is opened, in characters.
inline constexpr int maxDownloadUrlLength = 2000;

// The link as a URL when it may be handed to the desktop's opener: http or https, a host, no user
// name or password, at most maxDownloadUrlLength characters on one line, nothing a strict parser
// objects to. Empty otherwise: a local file or a custom scheme would start some other program.
QUrl vettedDownloadUrl(const QString& link);
// True when `url` is one that vettedDownloadUrl() lets through.
bool isVettedDownloadUrl(const QUrl& url);

// True when `version` may be offered: at most maxAnnouncedVersionLength characters, no control
// characters (line breaks among them), and a leading dotted number that QVersionNumber reads; what
// follows the number ("-rc1") is kept as announced.
bool isAnnouncedVersion(const QString& version);

// Reads the answer of the update service: "linux" -> "version" and "url", with the top-level
// "downloads_page" standing in for a missing or empty "url". Offers the version only when it is
// an announced version (isAnnouncedVersion) numerically newer than `ownVersion` and the link is
// vetted (vettedDownloadUrl); a body that is not a JSON object, one longer than maxUpdateReplyBytes,
// a missing member or any other kind of link gives no offer.
UpdateOffer evaluateUpdateReply(const QByteArray& body, const QString& ownVersion);

// The GET of the update document below `serviceBase` (a serviceRequest()).
QNetworkRequest updateCheckRequest(const QUrl& serviceBase);
