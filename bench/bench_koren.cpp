// Koren-model timings: an 8-stage chain solved again after one edit, in the core and through the
// designer, and one repaint of the plate-curve view.
#include "benchmain.h"

#include "preamp/korenstage.h"
#include "preamp/platecurvepainter.h"
#include "preamp/platecurvewidget.h"
#include "preamp/preampchain.h"
#include "preamp/preampstagewidget.h"
#include "preamp/preampview.h"
#include "preamp/triodes.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>

// Eight stages over the tubes that have Koren parameters.
static QList<TriodeStageInput> eightStages()
{
    const QStringList tubes = {
        "12AX7 / ECC83 / 7025", "12AX7 / ECC83 / 7025", "12AT7 / ECC81", "12AU7 / ECC82", "6SL7", "6SN7",
        "12AX7 / ECC83 / 7025", "12AT7 / ECC81"};
    QList<TriodeStageInput> stages;
    for (int i = 0; i < tubes.size(); ++i) {
        TriodeStageInput in;
        in.tube = *findTriode(tubes.at(i));
        in.supplyV = 250 + 10 * i;
        in.cathodeOhm = 820 + 300 * i;
        in.bypassUf = i % 3 == 2 ? 0 : 25;
        stages.append(in);
    }
    return stages;
}

BENCHMARK_CASE(koren_chain)
{
    const QList<TriodeStageInput> stages = eightStages();
    QList<const KorenParams*> params;
    for (const TriodeStageInput& in : stages)
        params.append(korenParams(in.tube.name));

    // The core work of one edit: every stage solved again (operating point, small signal, both
    // headroom limits, corner) and the chain's drive worked out.
    QList<TriodeStageInput> edited = stages;
    volatile double sink = 0;
    int flip = 0;
    const QVector<double> solveAll = timeRuns(2000, [&] {
        edited[3].supplyV = ++flip % 2 ? 285 : 290;
        QList<StageHeadroom> chain;
        for (int i = 0; i < edited.size(); ++i) {
            const KorenStageResult r = solveKorenStage(edited.at(i), *params.at(i));
            chain.append({r.gain, r.headroomPlusV, r.headroomMinusV});
        }
        sink = sink + chainDrive(chain).last().inPlusV;
    });
    report("8-stage Koren chain, all stages solved + drive (median)", median(solveAll) / 1000, "µs",
           "< 1000 µs");
    report("8-stage Koren chain, all stages solved + drive (worst)", worst(solveAll) / 1000, "µs");

    // The same edit in the designer: the card solves and refreshes, the chain re-totals and checks
    // the drive, the side panel and the plate-curve view follow the card.
    PreampView view;
    view.resize(1400, 1000);
    QJsonArray chain;
    for (const TriodeStageInput& in : stages)
        chain.append(QJsonObject{{"tube", in.tube.name},
                                 {"bPlus", in.supplyV},
                                 {"cathodeR", in.cathodeOhm},
                                 {"bypassUF", in.bypassUf},
                                 {"model", "Koren"}});
    view.loadStages(chain);
    view.show();
    drainEvents();
    QDoubleSpinBox* supply = view.stageCards().at(3)->supplyBox();
    const QVector<double> oneEdit = timeRuns(500, [&] { supply->setValue(++flip % 2 ? 285 : 290); });
    report("8-stage Koren chain in the designer, one input change (median)", median(oneEdit) / 1000, "µs",
           "< 1000 µs");
    report("8-stage Koren chain in the designer, one input change (worst)", worst(oneEdit) / 1000, "µs");

    // Switching the whole chain between the models solves all eight cards.
    const QVector<double> switchModel =
        timeRuns(100, [&] { view.setModel(++flip % 2 ? PreampModel::Datasheet : PreampModel::Koren); });
    report("8-stage chain, switching the model", median(switchModel) / 1000, "µs");
}

BENCHMARK_CASE(koren_platecurves)
{
    TriodeStageInput in;
    in.tube = *findTriode(QStringLiteral("12AT7 / ECC81")); // the most curves: 0.5 V steps to -7.5 V
    in.plateLoadOhm = 47000;
    in.cathodeOhm = 820;
    const QVector<double> build = timeRuns(500, [&] {
        const PlateCurveScene scene = plateCurveScene(in);
        volatile int n = int(scene.curves.size());
        (void)n;
    });
    report("plate-curve scene, built for one stage (median)", median(build) / 1000, "µs");

    // The view as it sits in the designer, repainted whole.
    PlateCurveWidget widget;
    widget.resize(1100, 260);
    widget.setStage(in);
    widget.show();
    drainEvents();
    QImage target(widget.size(), QImage::Format_ARGB32_Premultiplied);
    const QVector<double> repaint = timeRuns(200, [&] { widget.render(&target); });
    report("plate-curve view 1100 x 260, one repaint (median)", median(repaint) / 1000, "µs", "< 8000 µs");
    report("plate-curve view 1100 x 260, one repaint (worst)", worst(repaint) / 1000, "µs");

    // A large view: a maximised window on a big screen.
    widget.resize(2400, 800);
    drainEvents();
    QImage large(widget.size(), QImage::Format_ARGB32_Premultiplied);
    const QVector<double> repaintLarge = timeRuns(100, [&] { widget.render(&large); });
    report("plate-curve view 2400 x 800, one repaint (median)", median(repaintLarge) / 1000, "µs",
           "< 8000 µs");
    report("plate-curve view 2400 x 800, one repaint (worst)", worst(repaintLarge) / 1000, "µs");
}
