#pragma once

// Feeds the warm-up recorder from the bench model: every reading committed to a tube is logged once,
// with the time it was entered. A card sends each keystroke to the model, so a reading counts as
// committed once it has stood unchanged for quietMs on the clock: typing "42" logs 42, not 4 and
// then 42. A change of a shared value that only recomputes the results is not a new reading, and
// neither is a change of method, which only holds the readings to the new fields (a reading still
// being typed then is dropped). The recorder
// learns the tube count from the bench, so "all tubes settled" waits for every tube on it; the log
// itself survives a change of the count, as it survives everything but clearing.
#include <QObject>
#include <QVector>

class BenchSession;
class WarmupRecorder;

class WarmupBenchHook : public QObject
{
    Q_OBJECT

public:
    static constexpr int quietMs = 1500;

    WarmupBenchHook(BenchSession& bench, WarmupRecorder& recorder, QObject* parent = nullptr);

private:
    void tubeChanged(int tube);
    void commit(int tube, int generation);
    void rebaseline(); // takes the readings on the bench as seen, dropping any still being typed

    struct Reading {
        bool any = false;
        double meas1 = 0;
        double meas2 = 0;
        bool operator==(const Reading& other) const
        {
            return any == other.any && meas1 == other.meas1 && meas2 == other.meas2;
        }
    };
    struct Pending {
        int generation = 0; // a commit scheduled for an older generation does nothing
        bool waiting = false;
        qint64 enteredMs = 0; // when the reading was last changed
    };

    BenchSession& bench;
    WarmupRecorder& recorder;
    QVector<Reading> lastSeen; // per tube: the reading the model held last
    QVector<Pending> pending;  // per tube
    int shownMethod = 0;
};
