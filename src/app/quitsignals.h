#pragma once

// SIGTERM (logout, shutdown, kill) and SIGHUP (the terminal closed) end the program as closing its
// window does. The signal handler only writes a byte to a pipe; the event loop reads it and quits
// in order.
#include <QObject>
#include <functional>

class QSocketNotifier;

class QuitOnSignals : public QObject
{
public:
    // Installs the handlers; `quit` runs on the event loop once per signal that arrives.
    explicit QuitOnSignals(std::function<void()> quit, QObject* parent = nullptr);
    ~QuitOnSignals() override;

    bool isActive() const { return notifier != nullptr; }

private:
    void readSignals();

    std::function<void()> quitAction;
    QSocketNotifier* notifier = nullptr;
};
