#include "bench/sessionautosave.h"

#include "app/clock.h"

SessionAutosave::SessionAutosave(std::function<AmpProfile()> capture, QObject* parent)
    : QObject(parent), captureSession(std::move(capture))
{
}

void SessionAutosave::noteEdit()
{
    scheduleWithin(editDelayMs);
}

void SessionAutosave::noteLogGrowth()
{
    scheduleWithin(logDelayMs);
}

void SessionAutosave::scheduleWithin(int ms)
{
    const qint64 due = Clock::currentMSecsSinceEpoch() + ms;
    // A write already due sooner covers this change too: later changes never push it back.
    if (stale && dueMs <= due)
        return;
    stale = true;
    dueMs = due;
    const quint64 mine = ++serial;
    Clock::singleShot(ms, this, [this, mine] {
        if (mine == serial)
            flush();
    });
}

void SessionAutosave::flush()
{
    if (stale)
        writeNow();
}

void SessionAutosave::writeNow()
{
    stale = false;
    ++serial; // whatever is scheduled has nothing left to write
    AmpProfile session = captureSession();
    session.name = QStringLiteral("_last");
    saveLastSession(session);
}
