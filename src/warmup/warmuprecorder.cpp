#include "warmup/warmuprecorder.h"

#include "app/clock.h"

#include <QUndoCommand>
#include <cmath>

// Clearing the log, undoably: the command keeps the log it cleared.
class WarmupClearCommand : public QUndoCommand
{
public:
    WarmupClearCommand(WarmupRecorder* recorder, const WarmupLog& cleared)
        : QUndoCommand(QStringLiteral("Clear log")), recorder(recorder), cleared(cleared)
    {
    }
    void redo() override { recorder->replaceLog(WarmupLog()); }
    void undo() override { recorder->replaceLog(cleared); }

private:
    WarmupRecorder* recorder;
    WarmupLog cleared;
};

WarmupRecorder::WarmupRecorder(QObject* parent)
    : QObject(parent), series(warmupMaxTubes), states(warmupMaxTubes)
{
}

void WarmupRecorder::setThresholds(const WarmupThresholds& thresholds)
{
    limits = thresholds;
    rebuild(jobLog);
    announcedSettled = allSettled();
    emit logChanged();
}

WarmupTubeState WarmupRecorder::tubeState(int tube) const
{
    return states.value(tube);
}

QVector<WarmupPoint> WarmupRecorder::currents(int tube) const
{
    return series.value(tube);
}

void WarmupRecorder::setTubeCount(int count)
{
    tubeCount = qBound(0, count, warmupMaxTubes);
    checkAllSettled();
}

bool WarmupRecorder::allSettled() const
{
    const QList<int> logged = jobLog.tubes();
    if (tubeCount == 0) {
        if (logged.isEmpty())
            return false;
        for (int t : logged)
            if (!states.at(t).settled)
                return false;
        return true;
    }
    for (int t = 0; t < tubeCount; ++t)
        if (!states.at(t).settled)
            return false;
    return true;
}

bool WarmupRecorder::record(int tube, int method, double meas1, double meas2, const BiasResult& result)
{
    if (!result.valid)
        return false;
    WarmupEntry e;
    e.timeMs = Clock::currentMSecsSinceEpoch();
    e.tube = tube;
    e.method = method;
    e.meas1 = meas1;
    e.meas2 = meas2;
    e.currentMa = result.currentMa;
    e.dissipationW = result.dissipationW;
    e.pctOfMax = result.pctOfMax;
    return recordEntry(e);
}

bool WarmupRecorder::recordEntry(const WarmupEntry& entry)
{
    if (entry.tube < 0 || entry.tube >= warmupMaxTubes || !std::isfinite(entry.currentMa))
        return false;
    QVector<WarmupPoint>& points = series[entry.tube];
    const bool inOrder = points.isEmpty() || points.last().timeMs <= entry.timeMs;
    jobLog.append(entry);
    if (inOrder) {
        points.append(WarmupPoint{entry.timeMs, entry.currentMa});
        const WarmupTubeState before = states.at(entry.tube);
        states[entry.tube] = advanceWarmupState(before, points, limits);
        if (states.at(entry.tube).runaway && !before.runaway)
            emit runawayDetected(entry.tube);
    } else {
        // A reading older than the tube's last (a clock set back): work the tube out afresh.
        rebuild(jobLog);
    }
    if (entry.method == BiasProbe && probeStart == 0)
        startProbeTimer(entry.timeMs);
    emit tubeStateChanged(entry.tube);
    emit logChanged();
    checkAllSettled();
    return true;
}

bool WarmupRecorder::addMains(double volts)
{
    if (!std::isfinite(volts) || volts <= 0)
        return false;
    jobLog.appendMains(MainsReading{Clock::currentMSecsSinceEpoch(), volts});
    emit logChanged();
    return true;
}

void WarmupRecorder::setLog(const WarmupLog& log)
{
    history.clear();
    replaceLog(log);
}

void WarmupRecorder::replaceLog(const WarmupLog& log)
{
    rebuild(log);
    // A log that comes back (undo, a loaded job) has had its moments already.
    announcedSettled = allSettled();
    for (int t = 0; t < warmupMaxTubes; ++t)
        emit tubeStateChanged(t);
    emit logChanged();
}

void WarmupRecorder::clear()
{
    if (jobLog.isEmpty())
        return;
    history.push(new WarmupClearCommand(this, jobLog));
}

void WarmupRecorder::rebuild(const WarmupLog& log)
{
    jobLog = log;
    for (int t = 0; t < warmupMaxTubes; ++t) {
        series[t].clear();
        states[t] = WarmupTubeState();
    }
    for (const WarmupEntry& e : jobLog.entries) {
        if (e.tube < 0 || e.tube >= warmupMaxTubes)
            continue;
        series[e.tube].append(WarmupPoint{e.timeMs, e.currentMa});
        states[e.tube] = advanceWarmupState(states.at(e.tube), series.at(e.tube), limits);
    }
    ++probeGeneration;
    probeStart = 0;
    for (const WarmupEntry& e : jobLog.entries) {
        if (e.method == BiasProbe) {
            probeStart = e.timeMs;
            break;
        }
    }
    // The reminder of a loaded job still comes if its fifteen minutes are not over yet.
    if (probeStart != 0)
        startProbeTimer(probeStart);
}

void WarmupRecorder::checkAllSettled()
{
    if (announcedSettled || !allSettled())
        return;
    announcedSettled = true;
    emit allTubesSettled();
}

void WarmupRecorder::startProbeTimer(qint64 startMs)
{
    probeStart = startMs;
    const qint64 left = startMs + probeReminderMs - Clock::currentMSecsSinceEpoch();
    if (left <= 0)
        return;
    const int generation = ++probeGeneration;
    Clock::singleShot(int(left), this, [this, generation] {
        if (generation == probeGeneration)
            emit probeReminder();
    });
}
