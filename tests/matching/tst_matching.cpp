// The grouping of tubes into matched sets: against exhaustive search on random boxes, and on boxes
// whose answer is worked out by hand.
#include "matching/matching.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

QList<MatchTube> tubesWith(const QList<double>& currents, const QList<double>& gm = {})
{
    QList<MatchTube> tubes;
    for (int i = 0; i < currents.size(); ++i) {
        MatchTube tube;
        tube.label = QStringLiteral("T%1").arg(i + 1);
        tube.currentMa = currents.at(i);
        tube.gmMaPerV = gm.value(i, 0);
        tubes.append(tube);
    }
    return tubes;
}

QList<double> gmOf(const QList<MatchTube>& tubes)
{
    QList<double> gm;
    for (const MatchTube& tube : tubes)
        gm.append(tube.gmMaPerV);
    return gm;
}

double knownSpread(const QList<double>& values)
{
    QList<double> known;
    for (double v : values)
        if (v > 0)
            known.append(v);
    return spreadPct(known);
}

struct Optimum {
    int sets = 0;
    double worst = std::numeric_limits<double>::infinity();
};

// Every grouping of `want` disjoint sets of `size`: the most sets that keep the transconductance
// tolerance, and the smallest worst spread among groupings of that many.
Optimum bruteForce(const QList<double>& current, const QList<double>& gm, int size, int want, double gmTol)
{
    const int n = int(current.size());
    Optimum best;
    QList<int> owner(n, -1);
    std::function<void(int, int, double)> visit = [&](int setsMade, int from, double worst) {
        if (setsMade > best.sets || (setsMade == best.sets && worst < best.worst)) {
            best.sets = setsMade;
            best.worst = worst;
        }
        if (setsMade == want)
            return;
        // Any set of `size` free tubes whose lowest index is at least `from`.
        QList<int> free;
        for (int i = 0; i < n; ++i)
            if (owner.at(i) < 0)
                free.append(i);
        QList<int> pick;
        std::function<void(int)> choose = [&](int k) {
            if (pick.size() == size) {
                QList<double> c;
                QList<double> g;
                for (int p : pick) {
                    c.append(current.at(p));
                    g.append(gm.at(p));
                }
                if (knownSpread(g) > gmTol + 1e-9)
                    return;
                for (int p : pick)
                    owner[p] = setsMade;
                visit(setsMade + 1, pick.first() + 1, std::max(worst, spreadPct(c)));
                for (int p : pick)
                    owner[p] = -1;
                return;
            }
            for (int j = k; j < free.size(); ++j) {
                if (pick.isEmpty() && free.at(j) < from)
                    continue;
                pick.append(free.at(j));
                choose(j + 1);
                pick.removeLast();
            }
        };
        choose(0);
    };
    visit(0, 0, 0);
    return best;
}

} // namespace

class TestMatching : public QObject
{
    Q_OBJECT

private slots:
    void againstExhaustiveSearch_data();
    void againstExhaustiveSearch();
    void handCheckedBoxes_data();
    void handCheckedBoxes();
    void transconductanceKeepsATubeOut();
    void verdictAgainstTolerance_data();
    void verdictAgainstTolerance();
    void unmeasuredTubesStayOut();
    void gmFromTwoCurrents();
    void largeBoxWithGmStaysWithinTolerance();
};

void TestMatching::againstExhaustiveSearch_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("withGm");
    QTest::addRow("pairs, current") << 2 << false;
    QTest::addRow("quads, current") << 4 << false;
    QTest::addRow("pairs, current and gm") << 2 << true;
    QTest::addRow("quads, current and gm") << 4 << true;
}

void TestMatching::againstExhaustiveSearch()
{
    QFETCH(int, size);
    QFETCH(bool, withGm);
    QRandomGenerator random(size * 100 + withGm);
    for (int n = 1; n <= 10; ++n) {
        for (int trial = 0; trial < (withGm ? 40 : 150); ++trial) {
            QList<double> currents;
            QList<double> gm;
            for (int i = 0; i < n; ++i) {
                // Whole tenths make ties likely; every few boxes share one current.
                currents.append(trial % 7 == 0 ? 40 : 30 + random.bounded(200) / 10.0);
                gm.append(withGm && random.bounded(5) > 0 ? 5 + random.bounded(20) / 10.0 : 0);
            }
            const int want = trial % 3 == 0 ? 1 : n / size;
            MatchRequest request;
            request.setSize = size;
            request.setCount = want;
            request.gmTolerancePct = 15;
            const MatchOutcome got = findMatchedSets(tubesWith(currents, gm), request, gm);
            const Optimum best = bruteForce(currents, gm, size, std::min(want, n / size), 15);
            QStringList shown;
            for (int i = 0; i < n; ++i)
                shown.append(QStringLiteral("%1/%2").arg(currents.at(i)).arg(gm.at(i)));
            const QString context =
                QStringLiteral("n=%1 trial=%2 tubes %3").arg(n).arg(trial).arg(shown.join(QLatin1Char(' ')));
            QVERIFY2(got.exact, qPrintable(context));
            QVERIFY2(got.sets.size() == best.sets, qPrintable(QStringLiteral("%1: %2 sets, at most %3")
                                                                  .arg(context)
                                                                  .arg(got.sets.size())
                                                                  .arg(best.sets)));
            if (best.sets > 0)
                QVERIFY2(qAbs(got.worstSpreadPct - best.worst) < 1e-9,
                         qPrintable(QStringLiteral("%1: got %2, optimum %3")
                                        .arg(context)
                                        .arg(got.worstSpreadPct)
                                        .arg(best.worst)));
            QCOMPARE(got.leftovers.size() + qsizetype(got.sets.size()) * size, qsizetype(n));
        }
    }
}

void TestMatching::handCheckedBoxes_data()
{
    QTest::addColumn<QList<double>>("currents");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<QList<int>>>("sets"); // batch indices, lowest current first
    QTest::addColumn<QList<int>>("leftovers");
    QTest::addColumn<double>("worst");

    // Sorted: 40 40.5 41 41.2 | 45 45.5 46 46.4. Mixing the halves would put 40 and 46 together.
    QTest::addRow("8 tubes into two quads")
        << QList<double>{45, 40, 46, 40.5, 45.5, 41, 46.4, 41.2} << 4 << 0
        << QList<QList<int>>{{1, 3, 5, 7}, {0, 4, 2, 6}} << QList<int>{} << (46.4 - 45) / 45.725 * 100;
    // Pairs 30/30.2, 35/35.1, 40/40.4, 45/45.3; the lone 50 has no partner.
    QTest::addRow("9 tubes into four pairs, one left over")
        << QList<double>{40, 30, 50, 35, 45, 30.2, 40.4, 35.1, 45.3} << 2 << 0
        << QList<QList<int>>{{1, 5}, {3, 7}, {0, 6}, {4, 8}} << QList<int>{2} << 0.4 / 40.2 * 100;
    // All alike: spread 0, the first tubes in batch order form the sets.
    QTest::addRow("identical tubes") << QList<double>{42, 42, 42, 42, 42} << 2 << 0
                                     << QList<QList<int>>{{0, 1}, {2, 3}} << QList<int>{4} << 0.0;
    // The runaway tube at 60 fits no quad; the other four are kept together.
    QTest::addRow("a tube that fits no set")
        << QList<double>{40, 41, 60, 40.5, 40.8} << 4 << 0 << QList<QList<int>>{{0, 3, 4, 1}} << QList<int>{2}
        << 1.0 / 40.575 * 100;
    // One set asked of six: the tightest run, wherever it lies.
    QTest::addRow("one pair from six")
        << QList<double>{30, 33, 36, 36.1, 39, 42} << 2 << 1 << QList<QList<int>>{{2, 3}}
        << QList<int>{0, 1, 4, 5} << 0.1 / 36.05 * 100;
    // Two equally good pairs (the same spread to the last bit) and one asked: the lower one is taken.
    QTest::addRow("tie between two pairs")
        << QList<double>{80, 82, 40, 41} << 2 << 1 << QList<QList<int>>{{2, 3}} << QList<int>{0, 1}
        << 1.0 / 40.5 * 100;
    QTest::addRow("too few tubes for one set")
        << QList<double>{40, 41, 42} << 4 << 0 << QList<QList<int>>{} << QList<int>{0, 1, 2} << 0.0;
    // More sets asked than the box holds: as many as there are.
    QTest::addRow("more sets asked than possible")
        << QList<double>{40, 41, 42, 43} << 2 << 5 << QList<QList<int>>{{0, 1}, {2, 3}} << QList<int>{}
        << 1.0 / 40.5 * 100;
}

void TestMatching::handCheckedBoxes()
{
    QFETCH(QList<double>, currents);
    QFETCH(int, size);
    QFETCH(int, count);
    QFETCH(QList<QList<int>>, sets);
    QFETCH(QList<int>, leftovers);
    QFETCH(double, worst);

    MatchRequest request;
    request.setSize = size;
    request.setCount = count;
    const MatchOutcome got = findMatchedSets(tubesWith(currents), request);
    QCOMPARE(got.sets.size(), sets.size());
    for (int i = 0; i < sets.size(); ++i) {
        QList<int> expected = sets.at(i);
        QList<int> actual = got.sets.at(i).tubes;
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        QCOMPARE(actual, expected);
    }
    QCOMPARE(got.leftovers, leftovers);
    QVERIFY2(qAbs(got.worstSpreadPct - worst) < 1e-9,
             qPrintable(QStringLiteral("worst %1, expected %2").arg(got.worstSpreadPct).arg(worst)));
    QVERIFY(got.exact);
}

void TestMatching::transconductanceKeepsATubeOut()
{
    // By current alone T1-T4 are the tightest quad; T2's transconductance is 30 % off the others, so
    // the quad takes T5 (a little further in current) instead.
    const QList<MatchTube> tubes = tubesWith({40, 40.1, 40.2, 40.3, 41}, {6.0, 4.2, 6.1, 6.0, 6.05});
    MatchRequest request;
    request.setSize = 4;
    request.gmTolerancePct = 10;
    const MatchOutcome byCurrent = findMatchedSets(tubes, request);
    QCOMPARE(byCurrent.leftovers, QList<int>{4});
    const MatchOutcome withGm = findMatchedSets(tubes, request, gmOf(tubes));
    QCOMPARE(withGm.sets.size(), 1);
    QCOMPARE(withGm.leftovers, QList<int>{1});
    QVERIFY(withGm.sets.first().gmSpreadPct <= 10);
    QVERIFY(withGm.sets.first().matched);

    // With a tolerance no two tubes meet, no set can be made at all.
    request.setSize = 2;
    const QList<MatchTube> apart = tubesWith({40, 40.1, 40.2}, {4, 6, 8});
    const MatchOutcome none = findMatchedSets(apart, request, gmOf(apart));
    QVERIFY(none.sets.isEmpty());
    QCOMPARE(none.leftovers, (QList<int>{0, 1, 2}));
}

void TestMatching::verdictAgainstTolerance_data()
{
    QTest::addColumn<QList<double>>("currents");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<bool>("matched");
    // 39 and 41 spread exactly 5 % of their mean of 40.
    QTest::addRow("exactly at the tolerance") << QList<double>{39, 41} << 5.0 << true;
    QTest::addRow("just over") << QList<double>{39, 41.01} << 5.0 << false;
    QTest::addRow("tight tolerance") << QList<double>{40, 40.5} << 1.0 << false;
    QTest::addRow("loose tolerance") << QList<double>{40, 44} << 10.0 << true;
}

void TestMatching::verdictAgainstTolerance()
{
    QFETCH(QList<double>, currents);
    QFETCH(double, tolerance);
    QFETCH(bool, matched);
    MatchRequest request;
    request.setSize = 2;
    request.tolerancePct = tolerance;
    const MatchOutcome got = findMatchedSets(tubesWith(currents), request);
    QCOMPARE(got.sets.size(), 1);
    QCOMPARE(got.sets.first().matched, matched);
    QCOMPARE(matchVerdictText(got.sets.first()),
             matched ? QStringLiteral("MATCHED") : QStringLiteral("OUT OF TOLERANCE"));
}

void TestMatching::unmeasuredTubesStayOut()
{
    // A tube with no current (0, or a value that is not a number) is in no set and no leftover list.
    const QList<MatchTube> tubes = tubesWith({40, 0, 40.2, qQNaN(), -3});
    MatchRequest request;
    request.setSize = 2;
    const MatchOutcome got = findMatchedSets(tubes, request);
    QCOMPARE(got.sets.size(), 1);
    QCOMPARE(got.sets.first().tubes, (QList<int>{0, 2}));
    QCOMPARE(got.unmeasured, (QList<int>{1, 3, 4}));
    QVERIFY(got.leftovers.isEmpty());
}

void TestMatching::gmFromTwoCurrents()
{
    MatchTube tube;
    tube.currentMa = 40;
    tube.current2Ma = 52;
    // From -40 V to -38 V the current rises by 12 mA: 6 mA/V.
    QCOMPARE(effectiveGm(tube, -40, -38), 6.0);
    QCOMPARE(effectiveGm(tube, -40, -40), 0.0); // no second grid voltage
    tube.gmMaPerV = 5.5;                        // a measured value wins
    QCOMPARE(effectiveGm(tube, -40, -38), 5.5);
}

void TestMatching::largeBoxWithGmStaysWithinTolerance()
{
    // Too large for the exact search to finish on a small budget: the answer is flagged, and every
    // set still keeps the transconductance tolerance and is made of distinct tubes.
    QRandomGenerator random(7);
    QList<double> currents;
    QList<double> gm;
    for (int i = 0; i < 48; ++i) {
        currents.append(35 + random.bounded(100) / 10.0);
        gm.append(5 + random.bounded(20) / 10.0);
    }
    MatchRequest request;
    request.setSize = 4;
    request.searchBudget = 1000;
    const MatchOutcome got = findMatchedSets(tubesWith(currents, gm), request, gm);
    QVERIFY(!got.exact);
    QVERIFY(!got.sets.isEmpty());
    QList<int> seen;
    for (const MatchSet& set : got.sets) {
        QCOMPARE(set.tubes.size(), 4);
        QVERIFY2(set.gmSpreadPct <= request.gmTolerancePct + 1e-9,
                 qPrintable(QString::number(set.gmSpreadPct)));
        seen += set.tubes;
    }
    seen += got.leftovers;
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen.size(), 48);
    QVERIFY(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
}

QTEST_GUILESS_MAIN(TestMatching)
#include "tst_matching.moc"
