#pragma once

// The program's one source of time. Everything that logs a time, or waits before doing something
// (status-bar messages, the welcome dialog's delay, request time-outs), asks this clock, so a test
// can install a clock of its own and move time forward instead of sleeping.
#include <QDateTime>
#include <QObject>
#include <functional>

class Clock
{
public:
    virtual ~Clock() = default;

    // The current date and time (local time).
    static QDateTime currentDateTime();
    // Milliseconds since the epoch; moves forward with currentDateTime().
    static qint64 currentMSecsSinceEpoch();
    // Runs `action` once, `ms` milliseconds from now, unless `context` is gone by then.
    static void singleShot(int ms, const QObject* context, std::function<void()> action);

    // Installs `clock` (not owned) in place of the system clock; nullptr puts the system clock back.
    static void setInstance(Clock* clock);

protected:
    virtual QDateTime now() const;
    virtual void schedule(int ms, const QObject* context, std::function<void()> action);
};
