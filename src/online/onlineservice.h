#pragma once

// Shared pieces of the two requests to the maker's web service.
#include <QByteArray>
#include <QString>
#include <QUrl>

// Transfer timeout of both requests; an unanswered request is abandoned after it.
constexpr int serviceTransferTimeoutMs = 15000;

// The service's base address, a deployment setting chosen when the program is configured.
QUrl serviceBaseUrl();

// `base` followed by `path` (which starts with "/"), without doubling the slash between them.
QUrl serviceUrl(const QUrl& base, const QString& path);

// "Ambertrace/" followed by the application version.
QByteArray serviceUserAgent();
