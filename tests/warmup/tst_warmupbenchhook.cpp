// The bench model feeding the warm-up log: committed readings are logged once with the time they
// were entered, the keystrokes on the way to them and recomputations are not, and the log survives
// a change of the tube count.
#include "bench/benchsession.h"
#include "mockclock.h"
#include "warmup/warmupbenchhook.h"
#include "warmup/warmuprecorder.h"

#include <QtTest>

class TestWarmupBenchHook : public QObject
{
    Q_OBJECT

private slots:
    void logsCommittedReadings();
    void keystrokesOnTheWayAreNotReadings();
    void methodChangeIsNoReading();
    void logSurvivesATubeCountChange();
};

void TestWarmupBenchHook::logsCommittedReadings()
{
    MockClock clock;
    BenchSession bench;
    WarmupRecorder recorder;
    WarmupBenchHook hook(bench, recorder);
    bench.setPlateV(400);
    QVERIFY(recorder.log().entries.isEmpty()); // no tube has a reading yet
    clock.advanceSeconds(30);
    QVERIFY(bench.setMeas1(1, 40));
    const qint64 entered = clock.currentMSecsSinceEpoch();
    clock.advance(WarmupBenchHook::quietMs - 1);
    QVERIFY(recorder.log().entries.isEmpty()); // it may still be typed on
    clock.advance(1);
    QCOMPARE(recorder.log().entries.size(), 1);
    const WarmupEntry first = recorder.log().entries.first();
    QCOMPARE(first.timeMs, entered);
    QCOMPARE(first.tube, 1);
    QCOMPARE(first.meas1, 40.0);
    QCOMPARE(first.currentMa, bench.result(1).currentMa);
    QCOMPARE(first.pctOfMax, bench.result(1).pctOfMax);
    // A shared value recomputes the result; no new reading was taken.
    bench.setPlateV(410);
    clock.advanceSeconds(10);
    QCOMPARE(recorder.log().entries.size(), 1);
    clock.advanceSeconds(60);
    bench.setMeas1(1, 41.2);
    bench.setMeas1(0, 39.5);
    clock.advanceSeconds(2);
    QCOMPARE(recorder.log().entries.size(), 3);
    QCOMPARE(recorder.log().entries.at(1).dissipationW, bench.result(1).dissipationW);
    bench.setMeas1(0, 0); // emptied: no reading to log
    clock.advanceSeconds(2);
    QCOMPARE(recorder.log().entries.size(), 3);
}

void TestWarmupBenchHook::keystrokesOnTheWayAreNotReadings()
{
    MockClock clock;
    BenchSession bench;
    WarmupRecorder recorder;
    WarmupBenchHook hook(bench, recorder);
    bench.setPlateV(400);
    // "42.5" typed a key every 400 ms: the field passes through 4 and 42.
    for (double typed : {4.0, 42.0, 42.5}) {
        bench.setMeas1(0, typed);
        clock.advance(400);
    }
    clock.advanceSeconds(5);
    QCOMPARE(recorder.log().entries.size(), 1);
    QCOMPARE(recorder.log().entries.first().meas1, 42.5);
    // Typed again a minute later with the value it had: the tube still reads that, at a new time.
    clock.advanceSeconds(60);
    bench.setMeas1(0, 4);
    const qint64 retyped = clock.currentMSecsSinceEpoch();
    bench.setMeas1(0, 42.5);
    clock.advanceSeconds(5);
    QCOMPARE(recorder.log().entries.size(), 2);
    QCOMPARE(recorder.log().entries.last().meas1, 42.5);
    QCOMPARE(recorder.log().entries.last().timeMs, retyped);
    // A loaded job replaces the tubes: what was being typed into them is dropped, and the job's own
    // readings are in its own log.
    bench.setMeas1(0, 43);
    BenchStart loaded = benchDefaults();
    loaded.plateV = 400;
    loaded.meas1 = {45};
    bench.apply(loaded);
    QVERIFY(bench.result(0).valid);
    clock.advanceSeconds(5);
    QCOMPARE(recorder.log().entries.size(), 2);
}

void TestWarmupBenchHook::methodChangeIsNoReading()
{
    MockClock clock;
    BenchSession bench;
    WarmupRecorder recorder;
    WarmupBenchHook hook(bench, recorder);
    bench.setPlateV(400);
    bench.setMeas1(0, 40.25); // the probe field holds 40.3
    clock.advanceSeconds(5);
    QCOMPARE(recorder.log().entries.size(), 1);
    // The cathode-voltage field has two decimals; the sense resistor's field rounds again.
    QVERIFY(bench.setMethod(SenseResistor));
    clock.advanceSeconds(5);
    QCOMPARE(recorder.log().entries.size(), 1);
    bench.setMeas1(0, 41);
    clock.advanceSeconds(5);
    QCOMPARE(recorder.log().entries.size(), 2);
    QCOMPARE(recorder.log().entries.last().method, int(SenseResistor));
}

void TestWarmupBenchHook::logSurvivesATubeCountChange()
{
    MockClock clock;
    BenchSession bench;
    WarmupRecorder recorder;
    WarmupBenchHook hook(bench, recorder);
    bench.setPlateV(400);
    bench.setTubeCount(4);
    for (int t = 0; t < 4; ++t)
        bench.setMeas1(t, 40 + t);
    clock.advanceSeconds(2);
    const WarmupLog before = recorder.log();
    QCOMPARE(before.tubes(), (QList<int>{0, 1, 2, 3}));
    bench.setTubeCount(2);
    QVERIFY(recorder.log() == before);
    clock.advanceSeconds(10);
    bench.setMeas1(0, 40.5); // the kept tube read again
    clock.advanceSeconds(2);
    QCOMPARE(recorder.log().entries.size(), before.entries.size() + 1);
    bench.setTubeCount(4);
    QCOMPARE(recorder.log().tubes(), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(recorder.log().entries.size(), before.entries.size() + 1);
}

QTEST_GUILESS_MAIN(TestWarmupBenchHook)
#include "tst_warmupbenchhook.moc"
