#pragma once

// Shared pieces of the two requests to the maker's web service.
#include <QByteArray>
#include <QString>
#include <QUrl>

class QNetworkReply;

// Time-out of both requests; an unanswered request is abandoned after it.
constexpr int serviceTransferTimeoutMs = 15000;

// Aborts the reply, which then finishes with an error, when it is still running `ms` from now on the
// program's clock.
void abandonAfter(QNetworkReply* reply, int ms);

// The service's base address, a deployment setting chosen when the program is configured.
QUrl serviceBaseUrl();

// `base` followed by `path` (which starts with "/"), without doubling the slash between them.
QUrl serviceUrl(const QUrl& base, const QString& path);

// "Ambertrace/" followed by the application version.
QByteArray serviceUserAgent();
