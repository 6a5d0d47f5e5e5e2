#include "report/SumsOfSquares.h"

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
    std::vector<Extended> scratch;  // the subject totals of a sweep
};

bool Prepare(const StudyStore& store, GroupTotals& g);
GroupTotals Sweep(const StudyStore& store);
template <typename Value>
void SweepBlock(const Value* values, std::int32_t count, std::int32_t na, std::int32_t nb, GroupTotals& g);
SumsOfSquares SumsFrom(const StudyStore& store, const GroupTotals& g);

}  // namespace

SumsOfSquares ComputeSumsOfSquares(const StudyStore& store) {
    return SumsFrom(store, Sweep(store));
}

struct SumsOfSquaresSweep::SweepState {
    GroupTotals g;
    bool any = false;
};

SumsOfSquaresSweep::SumsOfSquaresSweep(const StudyStore& store) : state_(std::make_unique<SweepState>()) {
    state_->any = Prepare(store, state_->g);
}

SumsOfSquaresSweep::~SumsOfSquaresSweep() = default;

void SumsOfSquaresSweep::Take(const ParsedBlock& block) {
    if (!state_->any) return;
    if (block.pairs)
        SweepBlock(block.pairs, block.count, block.levelsA, block.levelsB, state_->g);
    else
        SweepBlock(block.values, block.count, block.levelsA, block.levelsB, state_->g);
}

SumsOfSquares SumsOfSquaresSweep::Finish(const StudyStore& store) const {
    return SumsFrom(store, state_->g);
}

const std::vector<Extended>& SumsOfSquaresSweep::CellTotals() const {
    return state_->g.totalAB;
}

namespace {

// Runs before any sweep: sizes the totals for the study's extents; false when it has no scores.
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
// order its totals take them. The x87 unit has eight registers, and a running
// sum that does not fit them goes through memory at every score, which costs
// more than the loop itself: so each loop keeps at most seven numbers, and
// the subject totals whose squares are summed wait in `scratch` until their
// loop is done. row(s, a) points at the values of subject s at level a of A,
// for the levels of B from 1 to nb in turn.
template <typename Row>
void SweepSubjects(std::int32_t first, std::int32_t last, std::int32_t na, std::int32_t nb, Row&& row,
                   GroupTotals& g) {
    const auto sna = static_cast<std::size_t>(na), snb = static_cast<std::size_t>(nb);
    const auto count = static_cast<std::size_t>(last - first + 1);
    // S_i, then AS_ia, then BS_ib of the subjects, t from 0.
    std::vector<Extended>& scratch = g.scratch;
    if (scratch.size() < count * (1 + sna + snb)) scratch.resize(count * (1 + sna + snb));
    Extended* const totalsS = scratch.data();
    Extended* const totalsAS = totalsS + count;
    Extended* const totalsBS = totalsAS + count * sna;

    // The grand total, the squares, A_a, S_i and AS_ia: subject, A, then B.
    Extended grand = g.grandTotal, squares = g.sumOfSquaredScores;
    for (std::size_t t = 0; t < count; ++t) {
        const auto s = first + static_cast<std::int32_t>(t);
        Extended totalS = 0;
        for (std::int32_t a = 1; a <= na; ++a) {
            const auto values = row(s, a);
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
            totalsAS[t * sna + static_cast<std::size_t>(a - 1)] = totalAS;
        }
        totalsS[t] = totalS;
    }
    g.grandTotal = grand;
    g.sumOfSquaredScores = squares;

    // B_b and BS_ib: subject, then A, two levels of B at a time.
    std::size_t b = 0;
    for (; b + 2 <= snb; b += 2) {
        Extended totalOfB = g.totalB[b + 1], totalOfNext = g.totalB[b + 2];
        for (std::size_t t = 0; t < count; ++t) {
            const auto s = first + static_cast<std::int32_t>(t);
            Extended totalBS = 0, totalNextS = 0;
            for (std::int32_t a = 1; a <= na; ++a) {
                const auto values = row(s, a);
                const Extended x = values[b];
                totalOfB += x;
                totalBS += x;
                const Extended y = values[b + 1];
                totalOfNext += y;
                totalNextS += y;
            }
            totalsBS[t * snb + b] = totalBS;
            totalsBS[t * snb + b + 1] = totalNextS;
        }
        g.totalB[b + 1] = totalOfB;
        g.totalB[b + 2] = totalOfNext;
    }
    if (b < snb) {
        Extended totalOfB = g.totalB[b + 1];
        for (std::size_t t = 0; t < count; ++t) {
            const auto s = first + static_cast<std::int32_t>(t);
            Extended totalBS = 0;
            for (std::int32_t a = 1; a <= na; ++a) {
                const Extended x = row(s, a)[b];
                totalOfB += x;
                totalBS += x;
            }
            totalsBS[t * snb + b] = totalBS;
        }
        g.totalB[b + 1] = totalOfB;
    }

    // The squares of S_i, AS_ia and BS_ib, subject by subject.
    Extended sumSqS = g.sumSqS, sumSqAS = g.sumSqAS, sumSqBS = g.sumSqBS;
    for (std::size_t t = 0; t < count; ++t) {
        sumSqS += totalsS[t] * totalsS[t];
        for (std::size_t i = t * sna; i < (t + 1) * sna; ++i) sumSqAS += totalsAS[i] * totalsAS[i];
        for (std::size_t i = t * snb; i < (t + 1) * snb; ++i) sumSqBS += totalsBS[i] * totalsBS[i];
    }
    g.sumSqS = sumSqS;
    g.sumSqAS = sumSqAS;
    g.sumSqBS = sumSqBS;

    // AB_ab: subject by subject for each cell, four cells at a time.
    for (std::int32_t a = 1; a <= na; ++a) {
        Extended* totals = &g.totalAB[static_cast<std::size_t>(a - 1) * snb];
        std::size_t c = 0;
        for (; c + 4 <= snb; c += 4) {
            Extended t0 = totals[c], t1 = totals[c + 1], t2 = totals[c + 2], t3 = totals[c + 3];
            for (std::int32_t s = first; s <= last; ++s) {
                const auto values = row(s, a) + c;
                t0 += values[0];
                t1 += values[1];
                t2 += values[2];
                t3 += values[3];
            }
            totals[c] = t0, totals[c + 1] = t1, totals[c + 2] = t2, totals[c + 3] = t3;
        }
        for (; c < snb; ++c) {
            Extended total = totals[c];
            for (std::int32_t s = first; s <= last; ++s) total += row(s, a)[c];
            totals[c] = total;
        }
    }
}

// The values of one subject at one level of A, for the levels of B in turn,
// `stride` apart: extended numbers, or pairs of doubles.
inline Extended ValueOf(const Extended& value) {
    return value;
}
inline Extended ValueOf(const SplitExtended& pair) {
    return Join(pair);
}
template <typename Value>
struct Row {
    const Value* first;
    std::size_t stride;
    Extended operator[](std::size_t b) const { return ValueOf(first[b * stride]); }
    Row operator+(std::size_t b) const { return {first + b * stride, stride}; }
};

// SweepSubjects over a block of `count` subjects laid out [a][b][t] from 0.
template <typename Value>
void SweepBlock(const Value* values, std::int32_t count, std::int32_t na, std::int32_t nb, GroupTotals& g) {
    const auto subjects = static_cast<std::size_t>(count), snb = static_cast<std::size_t>(nb);
    SweepSubjects(
        0, count - 1, na, nb,
        [&](std::int32_t t, std::int32_t a) {
            return Row<Value>{
                values + static_cast<std::size_t>(a - 1) * snb * subjects + static_cast<std::size_t>(t),
                subjects};
        },
        g);
}

// SweepSubjects over CellValue.
void SweepSubjects(const StudyStore& store, std::int32_t first, std::int32_t last, GroupTotals& g) {
    SweepSubjects(
        first, last, store.LevelCountA, store.LevelCountB,
        [&](std::int32_t s, std::int32_t a) {
            return Row<Extended>{&store.CellValue(s, a, 1), 1};
        },
        g);
}

// How many subjects a sweep takes at a time: their values stay in the cache
// between its loops.
constexpr std::int32_t kSweepSubjects = 64;

// ComputeSumsOfSquares' sweep of CellValue, a few subjects at a time.
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

// Runs after the sweep: the eight sums from the group totals, by the
// correction-term method.
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
}  // namespace morvane
