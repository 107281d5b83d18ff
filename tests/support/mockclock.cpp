#include "mockclock.h"

#include <algorithm>

MockClock::MockClock(const QDateTime& start) : nowMs(start.toMSecsSinceEpoch())
{
    Clock::setInstance(this);
}

MockClock::~MockClock()
{
    Clock::setInstance(nullptr);
}

void MockClock::advance(qint64 ms)
{
    const qint64 end = nowMs + qMax<qint64>(ms, 0);
    for (;;) {
        // The earliest action due by `end`; actions may schedule more while they run.
        auto next = std::min_element(scheduled.begin(), scheduled.end(), [](const auto& a, const auto& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == scheduled.end() || next->due > end)
            break;
        const Scheduled due = *next;
        scheduled.erase(next);
        nowMs = qMax(nowMs, due.due);
        if (due.context || due.contextless)
            due.action();
    }
    nowMs = end;
}

int MockClock::pending() const
{
    return int(std::count_if(scheduled.begin(), scheduled.end(),
                             [](const auto& s) { return s.contextless || !s.context.isNull(); }));
}

QDateTime MockClock::now() const
{
    return QDateTime::fromMSecsSinceEpoch(nowMs);
}

void MockClock::schedule(int ms, const QObject* context, std::function<void()> action)
{
    scheduled.append({nowMs + qMax(ms, 0), nextOrder++, context, context == nullptr, std::move(action)});
}
