#pragma once

// A clock that stands still until the test moves it. While one lives it replaces the program's clock;
// what the program schedules on the clock runs when advance() passes its moment, in the order of
// those moments, each seeing the clock at its own moment.
#include "app/clock.h"

#include <QList>
#include <QPointer>

class MockClock : public Clock
{
public:
    // Starts at `start` (a fixed day by default, so that no test depends on the real date).
    explicit MockClock(const QDateTime& start = QDateTime(QDate(2026, 3, 14), QTime(9, 30)));
    ~MockClock() override;
    MockClock(const MockClock&) = delete;
    MockClock& operator=(const MockClock&) = delete;

    void advance(qint64 ms);
    void advanceSeconds(qint64 seconds) { advance(seconds * 1000); }
    // Actions waiting to run whose context still exists.
    int pending() const;

protected:
    QDateTime now() const override;
    void schedule(int ms, const QObject* context, std::function<void()> action) override;

private:
    struct Scheduled {
        qint64 due = 0; // ms since the epoch
        quint64 order = 0;
        QPointer<const QObject> context;
        bool contextless = false; // scheduled without a context: always runs
        std::function<void()> action;
    };

    qint64 nowMs = 0;
    quint64 nextOrder = 0;
    QList<Scheduled> scheduled;
};
