// Preamp designer timings: one stage solve, and the work one input change sets off in a full chain.
#include "benchmain.h"

#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "preamp/stagesolver.h"
#include "preamp/triodes.h"

#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>

BENCHMARK_CASE(preamp_solve)
{
    TriodeStageInput input;
    input.tube = triodeCatalogue().at(0);
    constexpr int batch = 1000;
    volatile double sink = 0;
    int step = 0;
    const QVector<double> runs = timeRuns(200, [&] {
        for (int i = 0; i < batch; ++i) {
            // Vary the load a little so nothing can be hoisted out of the loop.
            input.plateLoadOhm = 100000 + (step++ % 7) * 1000;
            sink = sink + solveTriodeStage(input).gainDb;
        }
    });
    report("solveTriodeStage, one call (median of 200 × 1000)", median(runs) / batch, "ns");
    report("solveTriodeStage, one call (worst batch)", worst(runs) / batch, "ns");
}

BENCHMARK_CASE(preamp_chain)
{
    PreampView view;
    view.resize(1400, 800);
    QJsonArray eight;
    for (int i = 0; i < 8; ++i)
        eight.append(QJsonObject{{"tube", triodeCatalogue().at(i).name}, {"bPlus", 250 + 10 * i}});
    view.loadStages(eight);
    view.show();
    drainEvents();

    // One user edit: the card solves and refreshes, the chain re-totals and the side panel shows
    // the card's tube.
    QDoubleSpinBox* supply = view.stageCards().at(3)->supplyBox();
    int flip = 0;
    const QVector<double> oneChange = timeRuns(500, [&] { supply->setValue(++flip % 2 ? 285 : 290); });
    report("8-stage chain, one input change", median(oneChange) / 1000, "µs");
    report("8-stage chain, one input change (worst)", worst(oneChange) / 1000, "µs");

    // Every stage solving again, as after a preset or profile load of the same chain.
    const QVector<double> all = timeRuns(200, [&] {
        for (PreampStageWidget* card : view.stageCards())
            card->recompute();
    });
    report("8-stage chain, all stages recomputed", median(all) / 1000, "µs");

    // A preset or profile load: seven cards go, seven new ones come. The deferred deletes and the
    // repaint that follow are timed apart.
    QVector<double> load;
    QVector<double> settleAfter;
    for (int run = 0; run < 50; ++run) {
        load += timeRuns(1, [&] { view.loadStages(eight); });
        settleAfter += timeRuns(1, [] { drainEvents(); });
    }
    report("8-stage chain, loadStages of 8 into 8", median(load) / 1000, "µs");
    report("8-stage chain, events after that load (deletes, layout, paint)", median(settleAfter) / 1000,
           "µs");
}
