// Sorting a box of tubes into matched sets: quads from 48 and from 100 tubes, by current alone and
// with transconductance, as "Find sets" runs them.
#include "benchmain.h"

#include "matching/matching.h"

#include <QRandomGenerator>

static QList<MatchTube> box(int count, bool withGm)
{
    QRandomGenerator random(count);
    QList<MatchTube> tubes;
    for (int i = 0; i < count; ++i) {
        MatchTube tube;
        tube.label = QStringLiteral("T%1").arg(i + 1);
        tube.currentMa = 36 + random.bounded(1000) / 100.0;
        if (withGm)
            tube.gmMaPerV = 5 + random.bounded(200) / 100.0;
        tubes.append(tube);
    }
    return tubes;
}

static void timeBox(int count, bool withGm, const QString& target)
{
    const QList<MatchTube> tubes = box(count, withGm);
    QList<double> gm;
    for (const MatchTube& tube : tubes)
        gm.append(tube.gmMaPerV);
    MatchRequest request;
    request.setSize = 4;
    MatchOutcome last;
    const QVector<double> runs = timeRuns(5, [&] { last = findMatchedSets(tubes, request, gm); });
    report(QStringLiteral("%1 tubes into quads, %2 (median; worst %3 ms; %4 sets, worst spread %5 %, %6)")
               .arg(count)
               .arg(withGm ? QStringLiteral("current and gm") : QStringLiteral("current"))
               .arg(worst(runs) / 1e6, 0, 'f', 1)
               .arg(last.sets.size())
               .arg(last.worstSpreadPct, 0, 'f', 3)
               .arg(last.exact ? QStringLiteral("exact") : QStringLiteral("best found")),
           median(runs) / 1e6, QStringLiteral("ms"), target);
}

BENCHMARK_CASE(matching)
{
    timeBox(48, false, QStringLiteral("< 10 ms"));
    timeBox(48, true, QStringLiteral("< 200 ms"));
    timeBox(100, false, QStringLiteral("< 50 ms"));
    timeBox(100, true, QStringLiteral("< 200 ms"));
}
