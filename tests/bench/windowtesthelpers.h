// Helpers shared by the bench-window tests.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class MainWindow;
class QComboBox;
class QTemporaryDir;
class QToolButton;
class QWidget;

// Points HOME and the XDG data and config homes at `home` and turns on QStandardPaths' test mode.
void useTemporaryHome(const QTemporaryDir& home);

std::unique_ptr<MainWindow> openWindow();

// Picks an entry as the user does from the drop-down list.
bool choose(QComboBox* combo, const QString& text);
bool chooseMethod(MainWindow& window, int method);

// Opens the preset list and clicks the entry, as the user does; false when it cannot be clicked.
bool clickPreset(MainWindow& window, const QString& text);

QToolButton* headerButton(MainWindow& window, const QString& text);

bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
QByteArray jsonBytes(const QJsonObject& object);

QList<double> firstReadings(const MainWindow& window);

// The whole setup on screen, in the form it is saved in, without the name.
QJsonObject setupOf(const MainWindow& window);

QString describe(const QJsonObject& object);

// A preamp stage object with every key set.
QJsonObject stage(const QString& tube, double bPlus, double plateRK, double cathodeR, double bypassUF,
                  double nextGridRK);

// Answers the modal dialogs that open while it lives, in the order they open: the n-th dialog goes
// to the n-th handler; a dialog nobody expected is recorded and closed so that no test can hang on it.
class ModalResponder : public QObject
{
public:
    using Handler = std::function<void(QWidget*)>;

    explicit ModalResponder(QList<Handler> handlers = {});

    int answered = 0;       // dialogs seen so far, expected or not
    QStringList unexpected; // class names of the dialogs no handler was given for

private:
    void poll();

    QList<Handler> handlers;
    QTimer poller;
    QPointer<QWidget> last;
};
