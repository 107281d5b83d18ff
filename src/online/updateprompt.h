#pragma once

// The update check as the user meets it: ask the service once per start and, when it announces a
// newer version, offer to open the download page.
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;
class QWidget;
struct UpdateOffer;

// Starts the check against the configured service. The network access manager belongs to `window`,
// so closing the window before the answer arrives simply drops the request.
void checkForUpdates(QWidget* window);

// Same, against another service base address and with another transfer timeout (tests).
void checkForUpdates(QWidget* window, const QUrl& serviceBase, int transferTimeoutMs);

// Evaluates a finished reply: the reply and the manager are deleted later whatever the outcome; a
// network or HTTP error, or an answer with nothing to offer, ends silently.
void handleUpdateReply(QNetworkReply* reply, QNetworkAccessManager* manager, QWidget* window);

// The modal "Update Available" box over `parent`; opens the offer's page in the desktop's browser when
// the user chooses "Download". Returns whether the page was asked to open.
bool offerUpdate(QWidget* parent, const UpdateOffer& offer, const QString& ownVersion);
