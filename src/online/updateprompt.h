#pragma once

// The update check as the user meets it: ask the service once per start and, when it announces a
// newer version, offer to open the download page.
#include <QString>

class QMessageBox;
class QNetworkAccessManager;
class QNetworkReply;
class QUrl;
class QWidget;
struct UpdateOffer;

// Starts the check against the configured service. The network access manager belongs to `window`,
// so closing the window before the answer arrives simply drops the request.
void checkForUpdates(QWidget* window);

// Same, against another service base address and with another deadline (tests).
void checkForUpdates(QWidget* window, const QUrl& serviceBase, int transferTimeoutMs);

// Evaluates a finished reply: the reply and the manager are deleted later whatever the outcome; a
// network or HTTP error, an answer cut off for its size, or one with nothing to offer, ends silently.
// An offer goes to the modal box, unless `userTyped`: a key was pressed anywhere in the program
// since the check started, and a box popping up would take the next keys (Return among them), so
// the offer waits in a notice beside the window instead.
void handleUpdateReply(QNetworkReply* reply, QNetworkAccessManager* manager, QWidget* window, bool userTyped);

// The modal "Update Available" box over `parent`; opens the offer's page in the desktop's browser when
// the user chooses "Download" ("Later" is the default button). Returns whether the page was asked to
// open. The announced version is shown as plain text.
bool offerUpdate(QWidget* parent, const UpdateOffer& offer, const QString& ownVersion);

// The same box shown without modality and without taking the focus (object name "updateNotice"); it
// stays until the user answers it and deletes itself when closed.
QMessageBox* showUpdateNotice(QWidget* parent, const UpdateOffer& offer, const QString& ownVersion);
