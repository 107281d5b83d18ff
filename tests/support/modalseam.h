#pragma once

// The one way a widget test meets a modal dialog. Every modal window that opens in a test program is
// seen here. While a ModalSeam lives, the dialogs that open go, in the order they open, to its
// handlers; a handler reads what it needs and answers as a user would. A dialog that no handler is
// left for is closed at once and fails the running test with its title and text, and a dialog that
// a handler leaves open (an assertion returned early, say) is closed too, so no nested event loop
// can outlive its test.
#include <QLineEdit>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

class ModalSeam
{
public:
    using Handler = std::function<void(QWidget*)>;

    explicit ModalSeam(QList<Handler> handlers = {});
    ~ModalSeam();
    ModalSeam(const ModalSeam&) = delete;
    ModalSeam& operator=(const ModalSeam&) = delete;

    int answered = 0;       // dialogs handed to a handler
    QStringList classNames; // their class names, in the order they opened

    // Used by the watcher that sees the dialogs open.
    QList<Handler> handlers;
};

// "Title: text" of a dialog, with the informative text of a message box or the label of an input
// dialog; what the failure message of an unexpected dialog shows.
QString describeDialog(QWidget* dialog);

// Closes a dialog as its Cancel or window-close button would.
void closeDialog(QWidget* dialog);

// What a message box showed.
struct BoxSeen {
    bool seen = false;
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString defaultButton; // text of the default button
    Qt::TextFormat format = Qt::AutoText;
};

// Records a message box in `seen` (when given) and clicks its `button`; anything else is closed.
ModalSeam::Handler answerBox(QMessageBox::StandardButton button, BoxSeen* seen = nullptr);

// What an input dialog showed.
struct InputSeen {
    bool seen = false;
    QString title;
    QString label;
    QString initialText;
    QLineEdit::EchoMode echo = QLineEdit::Password;
};

// Records an input dialog in `seen` (when given) and answers it with `text`, or cancels it.
ModalSeam::Handler answerText(const QString& text, InputSeen* seen = nullptr, bool cancel = false);

// Types `path` into a file dialog's name field and accepts it, as a user typing a full path does.
ModalSeam::Handler answerFile(const QString& path);
