#include "warmup/warmupbenchhook.h"

#include "bench/benchsession.h"
#include "warmup/warmuprecorder.h"

WarmupBenchHook::WarmupBenchHook(BenchSession& bench, WarmupRecorder& recorder, QObject* parent)
    : QObject(parent), bench(bench), recorder(recorder), lastLogged(warmupMaxTubes)
{
    recorder.setTubeCount(bench.tubeCount());
    connect(&bench, &BenchSession::tubeChanged, this, &WarmupBenchHook::tubeChanged);
    connect(&bench, &BenchSession::setupChanged, this,
            [this] { this->recorder.setTubeCount(this->bench.tubeCount()); });
    // New tubes start empty, or with a loaded job's readings, which its log already holds.
    connect(&bench, &BenchSession::cardsRebuilt, this, [this] {
        for (int t = 0; t < warmupMaxTubes; ++t) {
            const TubeReading r = this->bench.reading(t);
            lastLogged[t] = Logged{t < this->bench.tubeCount(), this->bench.setup().method, r.meas1, r.meas2};
        }
        this->recorder.setTubeCount(this->bench.tubeCount());
    });
}

void WarmupBenchHook::tubeChanged(int tube)
{
    if (tube < 0 || tube >= warmupMaxTubes)
        return;
    const TubeReading r = bench.reading(tube);
    const int method = bench.setup().method;
    Logged& last = lastLogged[tube];
    if (last.any && last.method == method && last.meas1 == r.meas1 && last.meas2 == r.meas2)
        return; // the same reading, recomputed for a shared value
    if (recorder.record(tube, method, r.meas1, r.meas2, bench.result(tube)))
        last = Logged{true, method, r.meas1, r.meas2};
}
