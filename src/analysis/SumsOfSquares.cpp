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
    Extended sumSqS = 0;   // sum over i of S_i^2
    Extended sumSqAS = 0;  // sum over i, a of AS_ia^2
    Extended sumSqBS = 0;  // sum over i, b of BS_ib^2
    std::vector<Extended> totalA;   // A_a, index a
    std::vector<Extended> totalB;   // B_b, index b
    std::vector<Extended> totalAB;  // AB_ab, index (a - 1) * nb + (b - 1)
};

GroupTotals Sweep(const StudyStore& store) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    GroupTotals g;
    if (n < 1 || na < 1 || nb < 1) return g;
    const auto sna = static_cast<std::size_t>(na), snb = static_cast<std::size_t>(nb);
    g.totalA.assign(sna + 1, 0);
    g.totalB.assign(snb + 1, 0);
    g.totalAB.assign(sna * snb, 0);
    std::vector<Extended> totalBS(snb + 1);

    for (std::int32_t s = 1; s <= n; ++s) {
        Extended totalS = 0;
        std::fill(totalBS.begin(), totalBS.end(), Extended{0});
        for (std::int32_t a = 1; a <= na; ++a) {
            const Extended* row = &store.CellValue(s, a, 0);
            Extended* ab = &g.totalAB[static_cast<std::size_t>(a - 1) * snb];
            Extended totalAS = 0;
            Extended totalOfA = g.totalA[static_cast<std::size_t>(a)];
            for (std::size_t b = 1; b <= snb; ++b) {
                const Extended x = row[b];
                g.grandTotal += x;
                g.sumOfSquaredScores += x * x;
                totalOfA += x;
                g.totalB[b] += x;
                ab[b - 1] += x;
                totalS += x;
                totalAS += x;
                totalBS[b] += x;
            }
            g.totalA[static_cast<std::size_t>(a)] = totalOfA;
            g.sumSqAS += totalAS * totalAS;
        }
        g.sumSqS += totalS * totalS;
        for (std::size_t b = 1; b <= snb; ++b) g.sumSqBS += totalBS[b] * totalBS[b];
    }
    return g;
}

Extended SumOfSquares(const std::vector<Extended>& totals, std::size_t first) {
    Extended sum = 0;
    for (std::size_t i = first; i < totals.size(); ++i) sum += totals[i] * totals[i];
    return sum;
}

}  // namespace

SumsOfSquares ComputeSumsOfSquares(const StudyStore& store) {
    const Extended n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const GroupTotals g = Sweep(store);
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

}  // namespace morvane
