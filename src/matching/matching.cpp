#include "matching/matching.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
// A spread worked out as exactly the tolerance may come out a rounding step above it.
constexpr double verdictSlackPct = 1e-9;

// The tubes in current order with what the search needs of them.
struct Sorted {
    QList<int> index; // into the batch
    QList<double> current;
    QList<double> gm; // 0 where unknown
};

double rangeSpread(double lo, double hi, double sum, int count)
{
    const double mean = sum / count;
    return mean > 0 ? (hi - lo) / mean * 100 : 0;
}

// Spread of the known (above 0) values only; -1 when fewer than one is known.
double knownSpread(const QList<double>& values)
{
    QList<double> known;
    for (double v : values)
        if (v > 0)
            known.append(v);
    if (known.isEmpty())
        return -1;
    return spreadPct(known);
}

MatchSet makeSet(const Sorted& s, const QList<int>& positions, const MatchRequest& request)
{
    MatchSet set;
    QList<double> currents;
    QList<double> gms;
    for (int p : positions) {
        set.tubes.append(s.index.at(p));
        currents.append(s.current.at(p));
        gms.append(s.gm.at(p));
    }
    set.spreadPct = spreadPct(currents);
    set.gmSpreadPct = knownSpread(gms);
    set.matched = set.spreadPct <= request.tolerancePct + verdictSlackPct &&
                  (set.gmSpreadPct < 0 || set.gmSpreadPct <= request.gmTolerancePct + verdictSlackPct);
    return set;
}

// Current alone: runs of neighbours, the first that fits taken first.
QList<QList<int>> windowSets(const Sorted& s, int size, int count)
{
    const int n = int(s.current.size());
    QList<double> windowSpread;
    for (int i = 0; i + size <= n; ++i) {
        double sum = 0;
        for (int k = i; k < i + size; ++k)
            sum += s.current.at(k);
        windowSpread.append(rangeSpread(s.current.at(i), s.current.at(i + size - 1), sum, size));
    }
    auto take = [&](double limit) {
        QList<QList<int>> sets;
        for (int i = 0; i + size <= n && sets.size() < count;) {
            if (windowSpread.at(i) <= limit) {
                QList<int> set;
                for (int k = i; k < i + size; ++k)
                    set.append(k);
                sets.append(set);
                i += size;
            } else {
                ++i;
            }
        }
        return sets;
    };
    QList<double> candidates = windowSpread;
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    // The largest candidate always fits: with every run allowed the first `count` disjoint ones are
    // taken, and count sets fit among the tubes.
    qsizetype lo = 0;
    qsizetype hi = candidates.size() - 1;
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (take(candidates.at(mid)).size() >= count)
            hi = mid;
        else
            lo = mid + 1;
    }
    return take(candidates.at(lo));
}

// Current and transconductance.
class GmSearch
{
public:
    GmSearch(const Sorted& sorted, const MatchRequest& request)
        : s(sorted), size(request.setSize), gmTol(request.gmTolerancePct), budget(request.searchBudget)
    {
    }

    double spreadOf(const QList<int>& set) const
    {
        double sum = 0;
        for (int p : set)
            sum += s.current.at(p);
        return rangeSpread(s.current.at(set.first()), s.current.at(set.last()), sum, int(set.size()));
    }

    bool gmFits(const QList<int>& set) const
    {
        QList<double> gms;
        for (int p : set)
            gms.append(s.gm.at(p));
        return knownSpread(gms) <= gmTol + verdictSlackPct;
    }

    double worstOf(const QList<QList<int>>& sets) const
    {
        double worst = 0;
        for (const QList<int>& set : sets)
            worst = std::max(worst, spreadOf(set));
        return worst;
    }

    // Lowest unused tube first; each set takes the next tubes in current order that keep its
    // transconductance within the tolerance and its current within `limit`.
    QList<QList<int>> greedy(double limit, int count) const
    {
        const int n = int(s.current.size());
        QList<bool> used(n, false);
        QList<QList<int>> sets;
        for (int start = 0; start < n && sets.size() < count; ++start) {
            if (used.at(start))
                continue;
            QList<int> set{start};
            for (int j = start + 1; j < n && set.size() < size; ++j) {
                if (used.at(j))
                    continue;
                set.append(j);
                if (!gmFits(set) || spreadOf(set) > limit)
                    set.removeLast();
            }
            if (set.size() == size) {
                for (int p : set)
                    used[p] = true;
                sets.append(set);
            }
        }
        return sets;
    }

    // Swaps of one tube between the worst set and another set or the leftovers, while any lowers the
    // worst spread without breaking a tolerance.
    void improve(QList<QList<int>>& sets) const
    {
        const int n = int(s.current.size());
        for (int round = 0; round < 10 * n && !sets.isEmpty(); ++round) {
            const double worst = worstOf(sets);
            qsizetype w = 0;
            for (qsizetype i = 0; i < sets.size(); ++i)
                if (spreadOf(sets.at(i)) == worst)
                    w = i;
            QList<int> owner(n, -1);
            for (qsizetype i = 0; i < sets.size(); ++i)
                for (int p : sets.at(i))
                    owner[p] = int(i);
            bool improved = false;
            for (qsizetype a = 0; a < sets.at(w).size() && !improved; ++a) {
                for (int other = 0; other < n && !improved; ++other) {
                    if (owner.at(other) == int(w))
                        continue;
                    QList<int> mine = sets.at(w);
                    const int given = mine.at(a);
                    mine[a] = other;
                    std::sort(mine.begin(), mine.end());
                    if (!gmFits(mine) || spreadOf(mine) >= worst)
                        continue;
                    if (owner.at(other) >= 0) {
                        QList<int> theirs = sets.at(owner.at(other));
                        theirs[theirs.indexOf(other)] = given;
                        std::sort(theirs.begin(), theirs.end());
                        if (!gmFits(theirs) || spreadOf(theirs) >= worst)
                            continue;
                        sets[owner.at(other)] = theirs;
                    }
                    sets[w] = mine;
                    improved = true;
                }
            }
            if (!improved)
                return;
        }
    }

    // Exhaustive search for `count` sets with a worst spread below `bound`. True when it finished
    // within the budget; `found` then holds the best grouping below the bound, if there is one.
    bool exhaustive(int count, double bound, QList<QList<int>>& found)
    {
        const int n = int(s.current.size());
        used = QList<bool>(n, false);
        members.clear();
        current.clear();
        best = bound;
        bestSets.clear();
        want = count;
        spareLeft = n - count * size;
        visitFrom(0, 0);
        found = bestSets;
        return budget >= 0;
    }

private:
    // What a set being filled holds so far.
    struct Partial {
        int first = 0;
        int size = 0;
        double sum = 0; // mA
        double gmLo = infinity;
        double gmHi = 0;
        double gmSum = 0;
        int gmCount = 0;
    };

    void visitFrom(int from, double worst)
    {
        if (--budget < 0)
            return;
        if (current.size() == want) {
            if (worst < best) {
                best = worst;
                bestSets = current;
            }
            return;
        }
        int start = from;
        while (start < used.size() && used.at(start))
            ++start;
        if (start >= used.size())
            return;
        // The lowest free tube either is the lowest of the next set or stays out.
        used[start] = true;
        Partial set;
        add(set, start);
        members.append(start);
        fillSet(set, start + 1, worst);
        members.removeLast();
        if (spareLeft > 0) {
            --spareLeft;
            visitFrom(start + 1, worst);
            ++spareLeft;
        }
        used[start] = false;
    }

    void add(Partial& set, int p) const
    {
        if (set.size++ == 0)
            set.first = p;
        set.sum += s.current.at(p);
        const double g = s.gm.at(p);
        if (g > 0) {
            set.gmLo = std::min(set.gmLo, g);
            set.gmHi = std::max(set.gmHi, g);
            set.gmSum += g;
            ++set.gmCount;
        }
    }

    void fillSet(const Partial& set, int from, double worst)
    {
        if (budget < 0)
            return;
        const double lo = s.current.at(set.first);
        for (int j = from; j < used.size(); ++j) {
            if (used.at(j))
                continue;
            if (--budget < 0)
                return;
            const double hi = s.current.at(j);
            // The set's mean is at most its highest current, so this bounds its spread from below,
            // and it only grows with j.
            if ((hi - lo) / hi * 100 >= best)
                return;
            Partial next = set;
            add(next, j);
            // Known transconductances that already span more than the tolerance of their highest
            // value only get further apart as tubes join.
            if (next.gmCount > 1 && (next.gmHi - next.gmLo) / next.gmHi * 100 > gmTol + verdictSlackPct)
                continue;
            used[j] = true;
            members.append(j);
            if (next.size == size) {
                const double spread = rangeSpread(lo, hi, next.sum, size);
                const bool gmOk =
                    next.gmCount < 2 ||
                    (next.gmHi - next.gmLo) / (next.gmSum / next.gmCount) * 100 <= gmTol + verdictSlackPct;
                if (gmOk && spread < best) {
                    // The next set starts a stack of its own.
                    const QList<int> done = members;
                    current.append(done);
                    members.clear();
                    visitFrom(next.first + 1, std::max(worst, spread));
                    members = done;
                    current.removeLast();
                }
            } else {
                fillSet(next, j + 1, worst);
            }
            members.removeLast();
            used[j] = false;
            if (budget < 0)
                return;
        }
    }

    const Sorted& s;
    int size;
    double gmTol;
    qint64 budget;

    QList<bool> used;
    QList<int> members; // of the set being filled
    QList<QList<int>> current;
    QList<QList<int>> bestSets;
    double best = infinity;
    int want = 0;
    int spareLeft = 0;
};

// Seeds the exact search with a good answer: runs of neighbours for current alone, else the greedy
// grouping bisected over the current limit; both then improved by exchanges.
QList<QList<int>> searchSets(const Sorted& s, const MatchRequest& request, int count, bool withGm,
                             bool& exact)
{
    GmSearch search(s, request);
    QList<QList<int>> seed;
    int reachable = count;
    if (withGm) {
        seed = search.greedy(infinity, count);
        reachable = int(seed.size());
        // No set of positive currents spreads more than 100 % times its size.
        double lo = 0;
        double hi = 100.0 * request.setSize + 1;
        for (int i = 0; i < 60 && reachable > 0; ++i) {
            const double mid = (lo + hi) / 2;
            if (search.greedy(mid, reachable).size() >= reachable)
                hi = mid;
            else
                lo = mid;
        }
        if (reachable > 0) {
            QList<QList<int>> bisected = search.greedy(hi, reachable);
            if (bisected.size() == reachable)
                seed = bisected;
        }
    } else {
        seed = windowSets(s, request.setSize, count);
    }
    search.improve(seed);

    // The exact search: first whether more sets than the greedy found are possible, then the best
    // grouping of that many.
    exact = true;
    for (int want = count; want > reachable; --want) {
        QList<QList<int>> found;
        if (!search.exhaustive(want, infinity, found)) {
            exact = false;
            return seed;
        }
        if (!found.isEmpty())
            return found;
    }
    if (reachable == 0)
        return seed;
    QList<QList<int>> found;
    if (!search.exhaustive(reachable, search.worstOf(seed), found))
        exact = false;
    return found.isEmpty() ? seed : found;
}

} // namespace

double spreadPct(const QList<double>& values)
{
    if (values.size() < 2)
        return 0;
    const auto [lo, hi] = std::minmax_element(values.cbegin(), values.cend());
    double sum = 0;
    for (double v : values)
        sum += v;
    return rangeSpread(*lo, *hi, sum, int(values.size()));
}

double effectiveGm(const MatchTube& tube, double gridV, double grid2V)
{
    if (tube.gmMaPerV > 0 && std::isfinite(tube.gmMaPerV))
        return tube.gmMaPerV;
    if (tube.currentMa > 0 && tube.current2Ma > 0 && grid2V != gridV && std::isfinite(gridV) &&
        std::isfinite(grid2V)) {
        const double slope = (tube.current2Ma - tube.currentMa) / (grid2V - gridV);
        return std::isfinite(slope) && slope > 0 ? slope : 0;
    }
    return 0;
}

MatchOutcome findMatchedSets(const QList<MatchTube>& tubes, const MatchRequest& request,
                             const QList<double>& gm)
{
    MatchOutcome outcome;
    Sorted s;
    bool anyGm = false;
    QList<int> measured;
    for (int i = 0; i < tubes.size(); ++i) {
        if (tubes.at(i).currentMa > 0 && std::isfinite(tubes.at(i).currentMa))
            measured.append(i);
        else
            outcome.unmeasured.append(i);
    }
    std::stable_sort(measured.begin(), measured.end(),
                     [&](int a, int b) { return tubes.at(a).currentMa < tubes.at(b).currentMa; });
    for (int i : std::as_const(measured)) {
        s.index.append(i);
        s.current.append(tubes.at(i).currentMa);
        const double g = gm.value(i, 0);
        s.gm.append(g > 0 && std::isfinite(g) ? g : 0);
        anyGm = anyGm || s.gm.last() > 0;
    }

    const int size = std::max(2, request.setSize);
    const int n = int(s.current.size());
    int count = n / size;
    if (request.setCount > 0)
        count = std::min(count, request.setCount);

    QList<QList<int>> positions;
    if (count > 0) {
        MatchRequest sized = request;
        sized.setSize = size;
        // Runs of neighbours are provably optimal for one set and for pairs (see the header).
        if (!anyGm && (size == 2 || count == 1))
            positions = windowSets(s, size, count);
        else
            positions = searchSets(s, sized, count, anyGm, outcome.exact);
    }

    QList<bool> inSet(n, false);
    for (QList<int>& set : positions) {
        std::sort(set.begin(), set.end());
        for (int p : set)
            inSet[p] = true;
    }
    std::sort(positions.begin(), positions.end(),
              [](const QList<int>& a, const QList<int>& b) { return a.first() < b.first(); });
    MatchRequest rated = request;
    rated.setSize = size;
    for (const QList<int>& set : std::as_const(positions)) {
        outcome.sets.append(makeSet(s, set, rated));
        outcome.worstSpreadPct = std::max(outcome.worstSpreadPct, outcome.sets.last().spreadPct);
    }
    for (int p = 0; p < n; ++p)
        if (!inSet.at(p))
            outcome.leftovers.append(s.index.at(p));
    return outcome;
}

QString matchVerdictText(const MatchSet& set)
{
    return set.matched ? QStringLiteral("MATCHED") : QStringLiteral("OUT OF TOLERANCE");
}
