#pragma once

// Shared pieces of the two requests to the maker's web service.
#include <QByteArray>
#include <QString>
#include <QUrl>

class QNetworkReply;
class QNetworkRequest;

// Deadline of both requests, counted from their start: a request still running then is abandoned,
// however much of an answer is still trickling in.
constexpr int serviceTransferTimeoutMs = 15000;

// Aborts the reply, which then finishes with an error, when it is still running `ms` from now on the
// program's clock.
void abandonAfter(QNetworkReply* reply, int ms);

// A request to `url` that carries nothing about the user: the program's User-Agent and what HTTP
// itself needs. Qt would add the user's language (Accept-Language from the system locale); the
// request says instead that any language will do. Redirects wait for BoundedReply to vet them.
QNetworkRequest serviceRequest(const QUrl& url);

// The service's base address, a deployment setting chosen when the program is configured.
QUrl serviceBaseUrl();

// `base` followed by `path` (which starts with "/"), without doubling the slash between them.
QUrl serviceUrl(const QUrl& base, const QString& path);

// "Ambertrace/" followed by the application version.
QByteArray serviceUserAgent();
