// The recorder on the clock seam: readings take the clock's time, the moments a technician hears
// about come once, the probe reminder comes at fifteen minutes, and clearing can be undone.
#include "mockclock.h"
#include "warmup/warmuprecorder.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

BiasResult result(double ma)
{
    BiasResult r;
    r.valid = true;
    r.currentMa = ma;
    r.dissipationW = ma * 0.4;
    r.pctOfMax = ma * 0.4 / 30 * 100;
    return r;
}

// Every tube read once each `periodS` seconds for `seconds`, at the current given by `ma(tube, s)`.
template <typename Current>
void readFor(MockClock& clock, WarmupRecorder& recorder, int tubes, int seconds, int periodS, Current ma)
{
    for (int s = 0; s < seconds; s += periodS) {
        for (int t = 0; t < tubes; ++t)
            recorder.record(t, BiasProbe, ma(t, s), 0, result(ma(t, s)));
        clock.advanceSeconds(periodS);
    }
}

} // namespace

class TestWarmupRecorder : public QObject
{
    Q_OBJECT

private slots:
    void readingsTakeTheClocksTime();
    void settledAnnouncedOnceForTheBench();
    void runawayAnnouncedOnce();
    void probeReminderAtFifteenMinutes();
    void clearAndUndo();
    void loadedLogGivesTheSameStates();
};

void TestWarmupRecorder::readingsTakeTheClocksTime()
{
    MockClock clock;
    WarmupRecorder recorder;
    QVERIFY(!recorder.record(0, BiasProbe, 0, 0, BiasResult())); // no reading yet
    clock.advanceSeconds(42);
    QVERIFY(recorder.record(2, SenseResistor, 400, 0, result(40)));
    QVERIFY(!recorder.record(12, BiasProbe, 40, 0, result(40)));
    QVERIFY(recorder.addMains(231));
    QVERIFY(!recorder.addMains(0));
    QCOMPARE(recorder.log().entries.size(), 1);
    const WarmupEntry& e = recorder.log().entries.first();
    QCOMPARE(e.timeMs, clock.currentMSecsSinceEpoch());
    QCOMPARE(e.tube, 2);
    QCOMPARE(e.method, int(SenseResistor));
    QCOMPARE(e.meas1, 400.0);
    QCOMPARE(e.currentMa, 40.0);
    QCOMPARE(recorder.log().mainsAt(e.timeMs), 231.0);
}

void TestWarmupRecorder::settledAnnouncedOnceForTheBench()
{
    MockClock clock;
    WarmupRecorder recorder;
    recorder.setTubeCount(3);
    QSignalSpy settled(&recorder, &WarmupRecorder::allTubesSettled);
    // Two of three tubes steady for five minutes: not all tubes.
    readFor(clock, recorder, 2, 300, 10, [](int t, int) { return 40.0 + t; });
    QCOMPARE(settled.count(), 0);
    QVERIFY(recorder.tubeState(0).settled);
    QVERIFY(!recorder.allSettled());
    // The third is read too; it settles three minutes later and the bench is announced, once.
    readFor(clock, recorder, 3, 170, 10, [](int t, int) { return 40.0 + t; });
    QCOMPARE(settled.count(), 0);
    readFor(clock, recorder, 3, 600, 10, [](int t, int) { return 40.0 + t; });
    QCOMPARE(settled.count(), 1);
    // Clearing and undoing does not announce it again; a new job on an empty log does.
    recorder.clear();
    recorder.undoStack()->undo();
    QCOMPARE(settled.count(), 1);
    recorder.clear();
    readFor(clock, recorder, 3, 200, 10, [](int t, int) { return 40.0 + t; });
    QCOMPARE(settled.count(), 2);
}

void TestWarmupRecorder::runawayAnnouncedOnce()
{
    MockClock clock;
    WarmupRecorder recorder;
    QSignalSpy runaway(&recorder, &WarmupRecorder::runawayDetected);
    // Tube 1 settles, then climbs 5 % of its current a minute from minute 6.
    readFor(clock, recorder, 2, 20 * 60, 5,
            [](int t, int s) { return t == 1 && s > 360 ? 40 * (1 + 0.05 * (s - 360) / 60.0) : 40.0; });
    QCOMPARE(runaway.count(), 1);
    QCOMPARE(runaway.first().first().toInt(), 1);
    QVERIFY(recorder.tubeState(1).runaway);
    QVERIFY(!recorder.tubeState(0).runaway);
    QCOMPARE(recorder.tubeState(1).risingSinceMs - recorder.log().startMs(), 360 * 1000);
}

void TestWarmupRecorder::probeReminderAtFifteenMinutes()
{
    MockClock clock;
    WarmupRecorder recorder;
    QSignalSpy reminder(&recorder, &WarmupRecorder::probeReminder);
    recorder.record(0, SenseResistor, 400, 0, result(40)); // no probe in this socket
    clock.advanceSeconds(60);
    QCOMPARE(recorder.probeStartMs(), 0);
    recorder.record(0, BiasProbe, 40, 0, result(40));
    const qint64 in = clock.currentMSecsSinceEpoch();
    QCOMPARE(recorder.probeStartMs(), in);
    clock.advanceSeconds(60);
    recorder.record(1, BiasProbe, 41, 0, result(41)); // later probe readings do not restart it
    clock.advance(WarmupRecorder::probeReminderMs - 60 * 1000 - 1);
    QCOMPARE(reminder.count(), 0);
    clock.advance(1);
    QCOMPARE(reminder.count(), 1);
    clock.advanceSeconds(3600);
    QCOMPARE(reminder.count(), 1);

    // A log cleared before the fifteen minutes are up gives no reminder for it.
    recorder.clear();
    recorder.record(0, BiasProbe, 40, 0, result(40));
    clock.advanceSeconds(60);
    recorder.clear();
    clock.advance(WarmupRecorder::probeReminderMs);
    QCOMPARE(reminder.count(), 1);
}

void TestWarmupRecorder::clearAndUndo()
{
    MockClock clock;
    WarmupRecorder recorder;
    readFor(clock, recorder, 4, 400, 10, [](int t, int) { return 40.0 + t; });
    recorder.addMains(119);
    const WarmupLog before = recorder.log();
    const WarmupTubeState state = recorder.tubeState(3);
    QVERIFY(state.settled);
    QSignalSpy changed(&recorder, &WarmupRecorder::logChanged);
    recorder.clear();
    QVERIFY(recorder.log().isEmpty());
    QVERIFY(!recorder.tubeState(3).settled);
    QCOMPARE(recorder.tubeState(3).readings, 0);
    QVERIFY(recorder.undoStack()->canUndo());
    recorder.undoStack()->undo();
    QVERIFY(recorder.log() == before);
    QVERIFY(recorder.tubeState(3) == state);
    recorder.undoStack()->redo();
    QVERIFY(recorder.log().isEmpty());
    QCOMPARE(changed.count(), 3);
}

// A log saved with the job and loaded again gives every tube the state it had, announcing nothing;
// the tube count of the bench does not touch the log.
void TestWarmupRecorder::loadedLogGivesTheSameStates()
{
    MockClock clock;
    WarmupRecorder recorder;
    recorder.setTubeCount(4);
    readFor(clock, recorder, 4, 15 * 60, 3, [](int t, int s) {
        return t == 2 && s > 400 ? 40 + 0.05 * (s - 400) : 40.0 - 10 * std::exp(-s / 60.0);
    });
    QVERIFY(recorder.tubeState(2).runaway);
    recorder.setTubeCount(2);
    QCOMPARE(recorder.log().tubes(), (QList<int>{0, 1, 2, 3}));

    WarmupRecorder loaded;
    QSignalSpy runaway(&loaded, &WarmupRecorder::runawayDetected);
    QSignalSpy settled(&loaded, &WarmupRecorder::allTubesSettled);
    loaded.setLog(warmupLogFromJson(warmupLogToJson(recorder.log())));
    for (int t = 0; t < 4; ++t)
        QVERIFY2(loaded.tubeState(t) == recorder.tubeState(t), qPrintable(QString::number(t)));
    QCOMPARE(runaway.count(), 0);
    QCOMPARE(settled.count(), 0);
    QVERIFY(!loaded.undoStack()->canUndo());
}

QTEST_GUILESS_MAIN(TestWarmupRecorder)
#include "tst_warmuprecorder.moc"
