#pragma once

// Sorting a box of measured tubes into matched sets: pure functions on values.
//
// The spread of a set is (max - min) / mean of its idle currents, in percent. findMatchedSets makes
// the asked number of sets (as many as the tubes allow when fewer) and keeps the worst spread of any
// set as small as it can; with transconductance known the sets must also keep the spread of their
// transconductance within its tolerance. What it guarantees:
//
// - One set, or pairs, by current alone: optimal, in O(n log n). A set whose members are not
//   neighbours in current order can be replaced by the run of neighbours ending at its highest tube:
//   it has the same maximum and at least the same minimum and mean, so no larger a spread. Two
//   crossed or nested pairs are never better than the two uncrossed ones, nor is a pair with an
//   unused tube between its two. So the answer is among runs of neighbours; the search bisects over
//   the spreads of all runs, testing each by taking the first run that fits, lowest currents first
//   (the earliest-ending choice is optimal for runs of one length, as in interval scheduling).
// - Several sets of four or more: runs of neighbours are not always optimal, because the spread is
//   taken against the set's mean: a low tube among three high ones can spread less than among its
//   neighbours. The runs are the starting answer, improved by exchanging tubes between the worst set
//   and the others or the leftovers, then an exact branch-and-bound over all groupings looks for a
//   smaller worst spread. When it finishes within its budget (`searchBudget` nodes) the answer is
//   optimal and `exact` is true; that is the case for boxes of a dozen or so tubes. On larger boxes
//   the answer is the best found (`exact` false), never worse than the runs of neighbours.
// - With transconductance: the same exact search, seeded by a greedy grouping that keeps the
//   tolerance, bisected over the current limit and improved by exchanges. Every set returned keeps
//   the tolerance; fewer sets than asked come back when the tolerance leaves no more (exact search
//   first decides how many are possible, when it can finish).
//
// The tests compare the answer with exhaustive search over every grouping of up to 10 tubes.
#include <QList>
#include <QString>

// One tube of the box, as measured at the batch's test condition.
struct MatchTube {
    QString label; // what is written on the tube or its box
    QString brand;
    QString type;
    double currentMa = 0;  // mA, idle plate current at the test condition; not above 0: not measured
    double gmMaPerV = 0;   // mA/V, transconductance; 0 when not measured
    double current2Ma = 0; // mA, plate current at the second grid voltage; 0 when not measured
};

struct MatchRequest {
    int setSize = 4;            // 2, 4, 6 or 8 (any size from 2 is accepted)
    int setCount = 0;           // 0: as many sets as the tubes allow
    double tolerancePct = 5;    // % current spread a set may have to be called matched
    double gmTolerancePct = 10; // % transconductance spread every set must keep (tubes with gm)
    int searchBudget = 2000000; // steps of the exact search
};

struct MatchSet {
    QList<int> tubes;        // indices into the batch, lowest current first
    double spreadPct = 0;    // % current spread
    double gmSpreadPct = -1; // % transconductance spread of the members that have one; -1: none known
    bool matched = false;    // within both tolerances
};

struct MatchOutcome {
    QList<MatchSet> sets;  // lowest currents first
    QList<int> leftovers;  // measured tubes in no set, lowest current first
    QList<int> unmeasured; // tubes without a current, in batch order
    double worstSpreadPct = 0;
    bool exact = true; // false when the search with transconductance ran out of budget
};

// (max - min) / mean in percent; 0 for fewer than two values or a mean that is not above 0.
double spreadPct(const QList<double>& values);

// The transconductance a tube is matched by: the measured one, else the slope between the two
// currents over the two grid voltages (mA/V), else 0. gridV and grid2V in V.
double effectiveGm(const MatchTube& tube, double gridV, double grid2V);

// Groups the tubes. `gm` gives each tube's transconductance (0 where unknown, empty for none at all);
// it is how effectiveGm is applied once for the batch.
MatchOutcome findMatchedSets(const QList<MatchTube>& tubes, const MatchRequest& request,
                             const QList<double>& gm = {});

// "MATCHED" or "OUT OF TOLERANCE".
QString matchVerdictText(const MatchSet& set);
