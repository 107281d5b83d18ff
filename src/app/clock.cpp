#include "app/clock.h"

#include <QTimer>

namespace {
Clock systemClock;
Clock* installed = &systemClock;
} // namespace

QDateTime Clock::currentDateTime()
{
    return installed->now();
}

qint64 Clock::currentMSecsSinceEpoch()
{
    return installed->now().toMSecsSinceEpoch();
}

void Clock::singleShot(int ms, const QObject* context, std::function<void()> action)
{
    installed->schedule(ms, context, std::move(action));
}

void Clock::setInstance(Clock* clock)
{
    installed = clock ? clock : &systemClock;
}

QDateTime Clock::now() const
{
    return QDateTime::currentDateTime();
}

void Clock::schedule(int ms, const QObject* context, std::function<void()> action)
{
    QTimer::singleShot(ms, context, std::move(action));
}
