#include "warmup/warmupbenchhook.h"

#include "app/clock.h"
#include "bench/benchsession.h"
#include "warmup/warmuprecorder.h"

WarmupBenchHook::WarmupBenchHook(BenchSession& bench, WarmupRecorder& recorder, QObject* parent)
    : QObject(parent), bench(bench), recorder(recorder), lastSeen(warmupMaxTubes), pending(warmupMaxTubes)
{
    recorder.setTubeCount(bench.tubeCount());
    connect(&bench, &BenchSession::tubeChanged, this, &WarmupBenchHook::tubeChanged);
    shownMethod = bench.setup().method;
    connect(&bench, &BenchSession::setupChanged, this, [this] {
        this->recorder.setTubeCount(this->bench.tubeCount());
        if (this->bench.setup().method == shownMethod)
            return;
        // The readings were held to the new method's fields; that is no new reading.
        shownMethod = this->bench.setup().method;
        rebaseline();
    });
    // New tubes start empty, or with a loaded job's readings, which its log already holds; a reading
    // still being typed into a replaced tube is dropped.
    connect(&bench, &BenchSession::cardsRebuilt, this, [this] {
        rebaseline();
        this->recorder.setTubeCount(this->bench.tubeCount());
    });
}

void WarmupBenchHook::rebaseline()
{
    for (int t = 0; t < warmupMaxTubes; ++t) {
        const TubeReading r = bench.reading(t);
        lastSeen[t] = Reading{t < bench.tubeCount(), r.meas1, r.meas2};
        ++pending[t].generation;
        pending[t].waiting = false;
    }
}

void WarmupBenchHook::tubeChanged(int tube)
{
    if (tube < 0 || tube >= warmupMaxTubes)
        return;
    const TubeReading r = bench.reading(tube);
    const Reading now{true, r.meas1, r.meas2};
    if (lastSeen[tube] == now)
        return; // the same reading, recomputed for a shared value
    lastSeen[tube] = now;
    Pending& p = pending[tube];
    p.enteredMs = Clock::currentMSecsSinceEpoch();
    p.waiting = true;
    const int generation = ++p.generation;
    Clock::singleShot(quietMs, this, [this, tube, generation] { commit(tube, generation); });
}

void WarmupBenchHook::commit(int tube, int generation)
{
    Pending& p = pending[tube];
    if (!p.waiting || p.generation != generation)
        return; // changed again since, or the tube was replaced
    p.waiting = false;
    const BiasResult result = bench.result(tube);
    if (!result.valid)
        return; // an emptied field or an incomplete reading: nothing to log
    const TubeReading r = bench.reading(tube);
    WarmupEntry e;
    e.timeMs = p.enteredMs;
    e.tube = tube;
    e.method = bench.setup().method;
    e.meas1 = r.meas1;
    e.meas2 = r.meas2;
    e.currentMa = result.currentMa;
    e.dissipationW = result.dissipationW;
    e.pctOfMax = result.pctOfMax;
    recorder.recordEntry(e);
}
