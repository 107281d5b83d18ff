#pragma once

// Keeps the last session on disk while the user works, so that a crash, a kill or a lost display
// costs at most the last couple of seconds. A change only marks the session stale; it is written
// editDelayMs after the first change not yet on disk (so a stream of edits without a pause is still
// written every editDelayMs), or logDelayMs after the warm-up log grew, whichever comes first. The
// delays run on the program's clock. Every write is atomic (writeJsonObjectFile).
#include "bench/profilestore.h"

#include <QObject>
#include <functional>

class SessionAutosave : public QObject
{
public:
    static constexpr int editDelayMs = 1500;
    // A meter feeding the warm-up log adds an entry every second or so; the log alone is not worth
    // rewriting the file that often.
    static constexpr int logDelayMs = 10000;

    // `capture` gives the session as it is now; it is written under the name "_last".
    explicit SessionAutosave(std::function<AmpProfile()> capture, QObject* parent = nullptr);

    void noteEdit();
    void noteLogGrowth();

    // Whether a change is waiting to be written.
    bool pending() const { return stale; }
    // Writes the session now when a change is waiting.
    void flush();
    // Writes the session now, waiting change or not.
    void writeNow();

private:
    void scheduleWithin(int ms);

    std::function<AmpProfile()> captureSession;
    bool stale = false;
    qint64 dueMs = 0;   // when the waiting write is due (ms since the epoch, program clock)
    quint64 serial = 0; // a scheduled write runs only while it is the latest one
};
