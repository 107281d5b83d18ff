// The bench model feeding the warm-up log: committed readings are logged once with the clock's
// time, recomputations are not, and the log survives a change of the tube count.
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
    QCOMPARE(recorder.log().entries.size(), 1);
    const WarmupEntry first = recorder.log().entries.first();
    QCOMPARE(first.timeMs, clock.currentMSecsSinceEpoch());
    QCOMPARE(first.tube, 1);
    QCOMPARE(first.meas1, 40.0);
    QCOMPARE(first.currentMa, bench.result(1).currentMa);
    QCOMPARE(first.pctOfMax, bench.result(1).pctOfMax);
    // A shared value recomputes the result; no new reading was taken.
    bench.setPlateV(410);
    QCOMPARE(recorder.log().entries.size(), 1);
    clock.advanceSeconds(60);
    bench.setMeas1(1, 41.2);
    bench.setMeas1(0, 39.5);
    QCOMPARE(recorder.log().entries.size(), 3);
    QCOMPARE(recorder.log().entries.at(1).dissipationW, bench.result(1).dissipationW);
    bench.setMeas1(0, 0); // emptied: no reading to log
    QCOMPARE(recorder.log().entries.size(), 3);
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
    const WarmupLog before = recorder.log();
    QCOMPARE(before.tubes(), (QList<int>{0, 1, 2, 3}));
    bench.setTubeCount(2);
    QVERIFY(recorder.log() == before);
    clock.advanceSeconds(10);
    bench.setMeas1(0, 40); // the same value as before the change, but a new reading
    QCOMPARE(recorder.log().entries.size(), before.entries.size() + 1);
    bench.setTubeCount(4);
    QCOMPARE(recorder.log().tubes(), (QList<int>{0, 1, 2, 3}));
    QCOMPARE(recorder.log().entries.size(), before.entries.size() + 1);
}

QTEST_GUILESS_MAIN(TestWarmupBenchHook)
#include "tst_warmupbenchhook.moc"
