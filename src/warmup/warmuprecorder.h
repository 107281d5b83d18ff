#pragma once

// Keeps the warm-up log of the job on the bench and what it says about each tube: every committed
// reading goes in with the clock's time, each tube's settle and runaway state follows it reading by
// reading, and the few moments a technician must hear about are signalled once: a tube running
// away, all tubes settled, and bias probes in for fifteen minutes.
#include "bias/biascalc.h"
#include "warmup/warmuplog.h"
#include "warmup/warmupstats.h"

#include <QObject>
#include <QUndoStack>
#include <QVector>

class WarmupRecorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int probeReminderMs = 15 * 60 * 1000;

    explicit WarmupRecorder(QObject* parent = nullptr);

    const WarmupLog& log() const { return jobLog; }
    const WarmupThresholds& thresholds() const { return limits; }
    void setThresholds(const WarmupThresholds& thresholds); // re-analyses the log, announcing nothing

    // The tube's state after its latest reading; a default state for a tube without readings.
    WarmupTubeState tubeState(int tube) const;
    // The tube's currents in time order (mA), as the statistics see them.
    QVector<WarmupPoint> currents(int tube) const;

    // The tubes on the bench: "all tubes settled" needs each of them to have settled. 0 (the start)
    // counts the tubes that have readings.
    void setTubeCount(int count);
    bool allSettled() const;

    // A committed reading at the clock's time. Invalid results are not logged (false).
    bool record(int tube, int method, double meas1, double meas2, const BiasResult& result);
    // An entry with its own time; false for a tube outside 0..warmupMaxTubes-1.
    bool recordEntry(const WarmupEntry& entry);
    // The mains voltage now (V); false for a value that is not a positive finite number.
    bool addMains(double volts);

    // Replaces the log, as when a profile or the session is loaded: the states are worked out again
    // and nothing is announced; the undo history is cleared.
    void setLog(const WarmupLog& log);
    // Empties the log; undoStack()->undo() brings it back.
    void clear();
    QUndoStack* undoStack() { return &history; }

    // When the bias probes went in: the first reading taken with the probe method; 0 without one.
    qint64 probeStartMs() const { return probeStart; }

signals:
    void logChanged();
    void tubeStateChanged(int tube);
    void runawayDetected(int tube);
    void allTubesSettled(); // once per log: again only after the log was cleared or replaced
    void probeReminder();   // probeReminderMs after the probes went in

private:
    friend class WarmupClearCommand;
    void replaceLog(const WarmupLog& log); // setLog without touching the undo history
    void rebuild(const WarmupLog& log);
    void checkAllSettled();
    void startProbeTimer(qint64 startMs);

    WarmupLog jobLog;
    WarmupThresholds limits;
    QVector<QVector<WarmupPoint>> series; // per tube
    QVector<WarmupTubeState> states;      // per tube
    int tubeCount = 0;
    bool announcedSettled = false;
    qint64 probeStart = 0;
    int probeGeneration = 0; // a reminder of an earlier probe run (before a clear) is not given
    QUndoStack history;
};
