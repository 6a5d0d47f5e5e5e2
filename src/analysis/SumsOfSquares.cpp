#include "analysis/SumsOfSquares.h"

#include <algorithm>
#include <vector>

namespace morvane {
namespace {

// Every group total of the design, accumulated in one sweep over the scores in
// index order (subject, then level of A, then level of B). Each total receives
// its scores in the same order as a separate pass over the array would give it
// (A_a: subject, then B; B_b: subject, then A; S_i: A, then B; and so on), and
// each running sum of squared totals receives its squares in its pass's order,
// so the results are bit for bit those of the pass-by-pass method.
struct GroupTotals {
    Extended grandTotal = 0;
    Extended sumOfSquaredScores = 0;
    Extended sumSqS = 0;            // sum over i of S_i^2
    Extended sumSqAS = 0;           // sum over i, a of AS_ia^2
    Extended sumSqBS = 0;           // sum over i, b of BS_ib^2
    std::vector<Extended> totalA;   // A_a, index a
    std::vector<Extended> totalB;   // B_b, index b
    std::vector<Extended> totalAB;  // AB_ab, index (a - 1) * nb + (b - 1)
};

// Sizes the totals for the study's extents; false when it has no scores.
bool Prepare(const StudyStore& store, GroupTotals& g) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    if (n < 1 || na < 1 || nb < 1) return false;
    const auto sna = static_cast<std::size_t>(na), snb = static_cast<std::size_t>(nb);
    g.totalA.assign(sna + 1, 0);
    g.totalB.assign(snb + 1, 0);
    g.totalAB.assign(sna * snb, 0);
    return true;
}

// The subjects first .. last, in three loops over their values, each in the
// order its totals take them, so that the running sums stay in registers.
// row(s, a) points at the values of subject s at level a of A, for the levels
// of B from 1 to nb in turn.
template <typename Row>
void SweepSubjects(std::int32_t first, std::int32_t last, std::int32_t na, std::int32_t nb, Row&& row,
                   GroupTotals& g) {
    const auto sna = static_cast<std::size_t>(na), snb = static_cast<std::size_t>(nb);
    Extended grand = g.grandTotal, squares = g.sumOfSquaredScores, sumSqS = g.sumSqS, sumSqAS = g.sumSqAS,
             sumSqBS = g.sumSqBS;
    for (std::int32_t s = first; s <= last; ++s) {
        // The grand total, the squares, A_a, S_i and AS_ia: subject, A, then B.
        Extended totalS = 0;
        for (std::int32_t a = 1; a <= na; ++a) {
            const Extended* values = row(s, a);
            Extended totalAS = 0;
            Extended totalOfA = g.totalA[static_cast<std::size_t>(a)];
            for (std::size_t b = 0; b < snb; ++b) {
                const Extended x = values[b];
                grand += x;
                squares += x * x;
                totalOfA += x;
                totalS += x;
                totalAS += x;
            }
            g.totalA[static_cast<std::size_t>(a)] = totalOfA;
            sumSqAS += totalAS * totalAS;
        }
        sumSqS += totalS * totalS;
        // B_b and BS_ib: subject, B, then A.
        for (std::size_t b = 0; b < snb; ++b) {
            Extended totalBS = 0;
            Extended totalOfB = g.totalB[b + 1];
            for (std::int32_t a = 1; a <= na; ++a) {
                const Extended x = row(s, a)[b];
                totalOfB += x;
                totalBS += x;
            }
            g.totalB[b + 1] = totalOfB;
            sumSqBS += totalBS * totalBS;
        }
    }
    // AB_ab: subject by subject for each cell.
    for (std::size_t a = 1; a <= sna; ++a)
        for (std::size_t b = 0; b < snb; ++b) {
            Extended total = g.totalAB[(a - 1) * snb + b];
            for (std::int32_t s = first; s <= last; ++s) total += row(s, static_cast<std::int32_t>(a))[b];
            g.totalAB[(a - 1) * snb + b] = total;
        }
    g.grandTotal = grand;
    g.sumOfSquaredScores = squares;
    g.sumSqS = sumSqS;
    g.sumSqAS = sumSqAS;
    g.sumSqBS = sumSqBS;
}

// SweepSubjects over CellValue.
void SweepSubjects(const StudyStore& store, std::int32_t first, std::int32_t last, GroupTotals& g) {
    SweepSubjects(first, last, store.LevelCountA, store.LevelCountB,
                  [&](std::int32_t s, std::int32_t a) { return &store.CellValue(s, a, 1); }, g);
}

// How many subjects a sweep takes at a time: their values stay in the cache
// between its loops.
constexpr std::int32_t kSweepSubjects = 64;

GroupTotals Sweep(const StudyStore& store) {
    GroupTotals g;
    if (!Prepare(store, g)) return g;
    for (std::int32_t first = 1; first <= store.SubjectCount; first += kSweepSubjects)
        SweepSubjects(store, first, std::min(store.SubjectCount, first + (kSweepSubjects - 1)), g);
    return g;
}

Extended SumOfSquares(const std::vector<Extended>& totals, std::size_t first) {
    Extended sum = 0;
    for (std::size_t i = first; i < totals.size(); ++i) sum += totals[i] * totals[i];
    return sum;
}

SumsOfSquares SumsFrom(const StudyStore& store, const GroupTotals& g) {
    const Extended n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    // Only an overflow makes a sum of finite scores infinite.
    CheckFinite(g.grandTotal);
    CheckFinite(g.sumOfSquaredScores);
    CheckFinite(g.sumSqS);
    CheckFinite(g.sumSqAS);
    CheckFinite(g.sumSqBS);
    const Extended sumSqA = CheckFinite(SumOfSquares(g.totalA, 1));
    const Extended sumSqB = CheckFinite(SumOfSquares(g.totalB, 1));
    const Extended sumSqAB = CheckFinite(SumOfSquares(g.totalAB, 0));

    const Extended ct = CheckedDiv(CheckedMul(g.grandTotal, g.grandTotal), (na * n) * nb);
    SumsOfSquares r;
    r.SSTotal = CheckedSub(g.sumOfSquaredScores, ct);
    r.SSA = CheckedSub(CheckedDiv(sumSqA, nb * n), ct);
    r.SSB = CheckedSub(CheckedDiv(sumSqB, na * n), ct);
    const auto cellsPerSubject =
        static_cast<Extended>(std::int64_t{store.LevelCountA} * std::int64_t{store.LevelCountB});
    r.SSS = CheckedSub(CheckedDiv(g.sumSqS, cellsPerSubject), ct);
    r.SSAB = CheckedSub(CheckedSub(CheckedSub(CheckedDiv(sumSqAB, n), ct), r.SSA), r.SSB);
    r.SSAS = CheckedSub(CheckedSub(CheckedSub(CheckedDiv(g.sumSqAS, nb), ct), r.SSA), r.SSS);
    r.SSBS = CheckedSub(CheckedSub(CheckedSub(CheckedDiv(g.sumSqBS, na), ct), r.SSB), r.SSS);
    Extended abs = r.SSTotal;
    for (Extended term : {r.SSA, r.SSB, r.SSS, r.SSAB, r.SSAS, r.SSBS}) abs = CheckedSub(abs, term);
    r.SSABS = abs;
    return r;
}

}  // namespace

SumsOfSquares ComputeSumsOfSquares(const StudyStore& store) {
    return SumsFrom(store, Sweep(store));
}

struct SumsOfSquaresSweep::Totals {
    GroupTotals g;
    bool any = false;
};

SumsOfSquaresSweep::SumsOfSquaresSweep(const StudyStore& store) : totals_(std::make_unique<Totals>()) {
    totals_->any = Prepare(store, totals_->g);
}

SumsOfSquaresSweep::~SumsOfSquaresSweep() = default;

void SumsOfSquaresSweep::AddSubjects(const StudyStore& store, std::int32_t first, std::int32_t last) {
    if (totals_->any) SweepSubjects(store, first, last, totals_->g);
}

void SumsOfSquaresSweep::AddBlock(const Extended* values, std::int32_t count, std::int32_t na, std::int32_t nb) {
    if (!totals_->any) return;
    const auto sna = static_cast<std::size_t>(na), snb = static_cast<std::size_t>(nb);
    SweepSubjects(0, count - 1, na, nb,
                  [&](std::int32_t t, std::int32_t a) {
                      return values + (static_cast<std::size_t>(t) * sna + static_cast<std::size_t>(a - 1)) * snb;
                  },
                  totals_->g);
}

SumsOfSquares SumsOfSquaresSweep::Finish(const StudyStore& store) const {
    return SumsFrom(store, totals_->g);
}

const std::vector<Extended>& SumsOfSquaresSweep::CellTotals() const {
    return totals_->g.totalAB;
}

}  // namespace morvane
