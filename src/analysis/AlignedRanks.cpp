#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

#include "analysis/detail/ModelCheckSteps.h"
#include "exact/PartitionAlgebra.h"
#include "runtime/WideInteger.h"
#include "stats/Distributions.h"
#include "stats/detail/FriedmanRanks.h"

namespace morvane {
namespace {

enum class Of { A, B, AB };

// The study's shape and its totals of the cells, levels and all.
template <typename T>
struct RankTotals {
    std::size_t n, na, nb, cells;
    std::vector<T> ab, a, b;
    T all = 0;

    template <typename Cell>
    RankTotals(const Cell* y, std::size_t subjects, std::size_t levelsA, std::size_t levelsB)
        : n(subjects), na(levelsA), nb(levelsB), cells(na * nb), ab(cells, T{0}), a(na, T{0}), b(nb, T{0}) {
        for (std::size_t s = 0; s < n; ++s)
            for (std::size_t c = 0; c < cells; ++c) ab[c] += static_cast<T>(y[s * cells + c]);
        Sum();
    }
    // From each cell's total, which the counts by value give.
    RankTotals(const std::vector<T>& cellTotals, std::size_t subjects, std::size_t levelsA,
               std::size_t levelsB)
        : n(subjects), na(levelsA), nb(levelsB), cells(na * nb), ab(cellTotals), a(na, T{0}), b(nb, T{0}) {
        Sum();
    }
    void Sum() {
        for (std::size_t c = 0; c < cells; ++c) a[c / nb] += ab[c], b[c % nb] += ab[c], all += ab[c];
    }
    std::size_t Count() const { return n * cells; }
};

template <typename T, typename Cell>
std::vector<T> SumsOverB(const Cell* cells, std::size_t n, std::size_t na, std::size_t nb);
template <typename T, typename Cell>
std::vector<T> SumsOverA(const Cell* cells, std::size_t n, std::size_t na, std::size_t nb);
template <typename T>
std::vector<T> CellShifts(const RankTotals<T>& t, Of effect);
// Sums of aligned responses: exact in integers.
template <typename T>
using Accumulated = std::conditional_t<std::is_same_v<T, Extended>, Extended, Int128>;
template <typename Wide>
std::optional<Extended> OtherEffects(const std::vector<Wide>& cellTotals, Wide all, Wide squares,
                                     std::size_t count, std::size_t na, std::size_t nb, Of effect);
struct RankSums;
AlignedRankEffect AnalyseRanks(const RankSums& sums, std::size_t n, std::size_t na, std::size_t nb,
                               Of effect);
void AlignByBins(const std::int32_t* y, const RankTotals<std::int64_t>& totals, const ValueCounts& counts,
                 RankBasedResults& out);
template <typename T, typename Cell>
void AlignBySorting(const Cell* y, const RankTotals<T>& totals, RankBasedResults& out);

template <typename Sum, typename Cell>
void FriedmanTests(const Cell* y, std::size_t n, std::size_t na, std::size_t nb, const ValueCounts* counts,
                   RankBasedResults& out) {
    out.A = Friedman(SumsOverB<Sum>(y, n, na, nb).data(), n, na);
    out.B = Friedman(SumsOverA<Sum>(y, n, na, nb).data(), n, nb);
    if constexpr (std::is_same_v<Cell, std::int32_t>)
        if (counts) {
            const std::int64_t most = counts->least + static_cast<std::int64_t>(counts->range) - 1;
            out.cells = detail::FriedmanOfIntegers(y, n, na * nb, counts->least, most);
            return;
        }
    out.cells = Friedman(y, n, na * nb);
}

}  // namespace

RankBasedResults RankBasedAnalysis(const CellScores& scores) {
    const std::size_t n = scores.n, na = scores.na, nb = scores.nb;
    RankBasedResults out;
    if (n == 0 || na == 0 || nb == 0) return out;
    // The aligned responses in integers are at most 4 N bound in magnitude
    // (N the number of scores), and their squares' sum, N times over, 16 N^4 bound^2.
    const auto N = static_cast<Extended>(scores.Count()), bound = static_cast<Extended>(scores.bound);
    if (scores.integers && 4 * N * bound < 0x1p62L && 16 * N * N * N * N * bound * bound < 0x1p125L) {
        const std::int32_t* y = scores.integers;
        out.exactAlignment = true;
        // Where the cells' distinct values are few, each cell's values are
        // counted by value once, and each alignment ranks the counts.
        std::optional<ValueCounts> own;
        const ValueCounts* counts = scores.counts;
        if (!counts && (own = CountValues(scores))) counts = &*own;
        FriedmanTests<std::int64_t>(y, n, na, nb, counts, out);
        if (counts)
            AlignByBins(y, RankTotals<std::int64_t>(counts->cellTotals, n, na, nb), *counts, out);
        else
            AlignBySorting(y, RankTotals<std::int64_t>(y, n, na, nb), out);
        return out;
    }
    std::vector<Extended> room;
    const Extended* y = ExtendedScores(scores, room);
    FriedmanTests<Extended>(y, n, na, nb, nullptr, out);
    AlignBySorting(y, RankTotals<Extended>(y, n, na, nb), out);
    return out;
}

namespace {

// Each subject's sums over B for each level of A, [s][a].
template <typename T, typename Cell>
std::vector<T> SumsOverB(const Cell* cells, std::size_t n, std::size_t na, std::size_t nb) {
    std::vector<T> out(n * na, T{0});
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t a = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b)
                out[s * na + a] += static_cast<T>(cells[(s * na + a) * nb + b]);
    return out;
}

// Each subject's sums over A for each level of B, [s][b].
template <typename T, typename Cell>
std::vector<T> SumsOverA(const Cell* cells, std::size_t n, std::size_t na, std::size_t nb) {
    std::vector<T> out(n * nb, T{0});
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t a = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b)
                out[s * nb + b] += static_cast<T>(cells[(s * na + a) * nb + b]);
    return out;
}

// The aligned response for `effect` is the residual from the cell's mean plus
// the effect's estimate; it is the score plus a shift of its cell's, which
// this gives. For A: y - mean(a, b) + mean(a) - grand mean. In integers the
// responses are taken N times over (N = n na nb), which leaves each a whole
// number: N y - na nb T(a, b) + na T(a) - G with the totals T of the cells and
// levels and G of all.
template <typename T>
std::vector<T> CellShifts(const RankTotals<T>& t, Of effect) {
    T wab, wa, wb, wg;  // what makes each total a mean
    if constexpr (std::is_same_v<T, Extended>) {
        const auto N = static_cast<Extended>(t.n);
        wab = 1 / N, wa = 1 / (N * static_cast<Extended>(t.nb)), wb = 1 / (N * static_cast<Extended>(t.na)),
        wg = 1 / (N * static_cast<Extended>(t.cells));
    } else {
        wab = static_cast<T>(t.cells), wa = static_cast<T>(t.na), wb = static_cast<T>(t.nb), wg = 1;
    }
    std::vector<T> shift(t.cells);
    for (std::size_t c = 0; c < t.cells; ++c) {
        const T a = wa * t.a[c / t.nb], b = wb * t.b[c % t.nb], mean = wg * t.all, cell = wab * t.ab[c];
        shift[c] = effect == Of::A ? a - cell - mean : effect == Of::B ? b - cell - mean : mean - a - b;
    }
    return shift;
}

// The weight of a score in its aligned response: N in integers, 1 otherwise.
template <typename T>
T ScoreWeight(const RankTotals<T>& t) {
    if constexpr (std::is_same_v<T, Extended>)
        return 1;
    else
        return static_cast<T>(t.Count());
}

// The alignment's check: the largest estimate of an effect other than
// `effect` in the aligned responses (from their cells' totals, their total
// and their sum of squares), over their standard deviation. In integers every
// estimate is exact: N times the estimates of a, b and (a, b) are
// na T(a) - G, nb T(b) - G and na nb T(a, b) - na T(a) - nb T(b) + G.
template <typename Wide>
std::optional<Extended> OtherEffects(const std::vector<Wide>& cellTotals, Wide all, Wide squares,
                                     std::size_t count, std::size_t na, std::size_t nb, Of effect) {
    const std::size_t cells = na * nb;
    std::vector<Wide> ta(na, 0), tb(nb, 0);
    for (std::size_t c = 0; c < cells; ++c) ta[c / nb] += cellTotals[c], tb[c % nb] += cellTotals[c];
    const auto N = static_cast<Wide>(count);
    const auto NA = static_cast<Wide>(na), NB = static_cast<Wide>(nb);
    const Wide centred = N * squares - all * all;
    if (count < 2 || !(centred > 0)) return std::nullopt;
    Extended largest = 0;  // N times the estimate
    const auto consider = [&](Wide v) { largest = std::max(largest, std::fabs(static_cast<Extended>(v))); };
    if (effect != Of::A)
        for (Wide v : ta) consider(NA * v - all);
    if (effect != Of::B)
        for (Wide v : tb) consider(NB * v - all);
    if (effect != Of::AB)
        for (std::size_t c = 0; c < cells; ++c)
            consider(NA * NB * cellTotals[c] - NA * ta[c / nb] - NB * tb[c % nb] + all);
    const auto n = static_cast<Extended>(count);
    const Extended sd = std::sqrt(static_cast<Extended>(centred) / n / (n - 1));
    return largest / n / sd;
}

// The sums the partition of the doubled ranks takes: of the cells' totals,
// the ranks' squares, and the squares of the subjects' totals, of their
// levels of A and of B.
struct RankSums {
    std::vector<Int128> cells;
    Int128 squares = 0, subjects = 0, sa = 0, sb = 0;
};

// The sums of the doubled ranks rank(i) of the scores i = [s][a][b].
template <typename Rank>
RankSums SumsOf(Rank&& rank, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    RankSums sums;
    sums.cells.assign(cells, 0);
    std::vector<std::int64_t> tsa(na), tsb(nb);
    for (std::size_t s = 0; s < n; ++s) {
        std::fill(tsa.begin(), tsa.end(), 0);
        std::fill(tsb.begin(), tsb.end(), 0);
        for (std::size_t a = 0, c = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b, ++c) {
                const std::int64_t v = rank(s * cells + c);
                sums.cells[c] += v, tsa[a] += v, tsb[b] += v, sums.squares += static_cast<Int128>(v) * v;
            }
        Int128 ts = 0;
        for (Int128 v : tsa) ts += v, sums.sa += v * v;
        for (Int128 v : tsb) sums.sb += v * v;
        sums.subjects += ts * ts;
    }
    return sums;
}

// The partition of the doubled ranks, each sum of squares N times over: the
// totals' squares are integers, and so is every source.
ScaledPartition<Int128> PartitionOf(const RankSums& sums, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    std::vector<Int128> ta(na, 0), tb(nb, 0);
    PartitionTotals<Int128> x{0, sums.squares, 0, 0, sums.subjects, 0, sums.sa, sums.sb};
    for (std::size_t c = 0; c < cells; ++c)
        ta[c / nb] += sums.cells[c], tb[c % nb] += sums.cells[c], x.t += sums.cells[c];
    for (Int128 v : sums.cells) x.qAB += v * v;
    for (Int128 v : ta) x.qA += v * v;
    for (Int128 v : tb) x.qB += v * v;
    return PartitionFromTotals(x, static_cast<Int128>(n), static_cast<Int128>(na), static_cast<Int128>(nb));
}

// The ranks' test of `effect` against its stratum's error.
AlignedRankEffect AnalyseRanks(const RankSums& sums, std::size_t n, std::size_t na, std::size_t nb,
                               Of effect) {
    const ScaledPartition<Int128> p = PartitionOf(sums, n, na, nb);
    const auto dfA = static_cast<std::int64_t>(na - 1), dfB = static_cast<std::int64_t>(nb - 1),
               dfS = static_cast<std::int64_t>(n - 1);
    Int128 ss = p.a, error = p.as;
    std::int64_t df = dfA;
    if (effect == Of::B) ss = p.b, error = p.bs, df = dfB;
    if (effect == Of::AB) ss = p.ab, error = p.abs, df = dfA * dfB;
    AlignedRankEffect r;
    // The ranks are doubled, and the sums N times over: 4 N in all.
    const Extended scale = 4 * static_cast<Extended>(n * na * nb);
    r.ss = static_cast<Extended>(ss) / scale;
    r.errorSs = static_cast<Extended>(error) / scale;
    r.df = df;
    r.errorDf = df * dfS;
    if (df < 1 || r.errorDf < 1 || error <= 0) return r;
    r.f = (static_cast<Extended>(ss) / static_cast<Extended>(df)) /
          (static_cast<Extended>(error) / static_cast<Extended>(r.errorDf));
    r.p = FUpperTail(*r.f, static_cast<Extended>(df), static_cast<Extended>(r.errorDf));
    return r;
}

// The contrasts of every pair of levels of A (or B) from the doubled ranks'
// cell totals, against the effect's error mean square; the adjustments later.
std::vector<AlignedRankContrast> ContrastsOf(const RankSums& sums, const AlignedRankEffect& effect,
                                             std::size_t n, std::size_t na, std::size_t nb, Of factor) {
    std::vector<AlignedRankContrast> out;
    const std::size_t levels = factor == Of::A ? na : nb, per = n * (factor == Of::A ? nb : na);
    if (levels < 2 || levels > kContrastedLevels || n == 0) return out;
    std::vector<Int128> totals(levels, 0);
    for (std::size_t c = 0; c < na * nb; ++c) totals[factor == Of::A ? c / nb : c % nb] += sums.cells[c];
    const auto count = static_cast<Extended>(per);
    std::optional<Extended> se;
    if (effect.errorDf >= 1 && effect.errorSs > 0)
        se = std::sqrt(2 * (effect.errorSs / static_cast<Extended>(effect.errorDf)) / count);
    for (std::size_t i = 0; i < levels; ++i)
        for (std::size_t j = i + 1; j < levels; ++j) {
            AlignedRankContrast c;
            c.first = static_cast<std::int32_t>(i + 1), c.second = static_cast<std::int32_t>(j + 1);
            c.difference =
                static_cast<Extended>(totals[i] - totals[j]) / (2 * count);  // the ranks are doubled
            c.df = effect.errorDf;
            if (se) {
                c.se = se;
                c.t = c.difference / *se;
                c.p = FUpperTail(*c.t * *c.t, 1, static_cast<Extended>(c.df));
            }
            out.push_back(c);
        }
    return out;
}

constexpr std::pair<Of, AlignedRankEffect RankBasedResults::*> kEffects[] = {
    {Of::A, &RankBasedResults::alignedA},
    {Of::B, &RankBasedResults::alignedB},
    {Of::AB, &RankBasedResults::alignedAB}};

// Integer scores of few distinct values, counted by value: bin (c, v)
// holds cell c's scores of value least + v. The bins that are not empty, a
// cell's together (from cellStart[c]), and each cell's count, sum and sum of
// squares of its scores.
struct Bins {
    const ValueCounts& counts;
    std::size_t cells;
    std::vector<std::uint32_t> used;
    std::vector<std::size_t> cellStart;
    std::vector<std::array<Int128, 3>> moments;

    Bins(const ValueCounts& c, std::size_t cellCount)
        : counts(c),
          cells(cellCount),
          cellStart(cellCount + 1, 0),
          moments(cellCount, std::array<Int128, 3>{}) {
        const std::size_t range = counts.range;
        for (std::size_t cell = 0; cell < cells; ++cell) {
            cellStart[cell] = used.size();
            for (std::size_t v = 0; v < range; ++v) {
                const std::uint32_t k = counts.counts[cell * range + v];
                if (k == 0) continue;
                used.push_back(static_cast<std::uint32_t>(cell * range + v));
                const Int128 x = counts.least + static_cast<std::int64_t>(v), kx = x * k;
                moments[cell][0] += k, moments[cell][1] += kx, moments[cell][2] += kx * x;
            }
        }
        cellStart[cells] = used.size();
    }
};

// One alignment's midrank (doubled) of every bin into rankOf[3 bin + e].
// A response is weight (least + v) + shift[c], and with shift[c] = weight
// q[c] + r[c] (0 <= r[c] < weight) its order is that of v + q[c] first and of
// r[c] second: the bins counted out by v + q[c], the cells taken in the order
// of r[c]. A shift is a difference of means within 3 times the scores'
// range, and so is q.
void RankBins(const Bins& bins, const std::vector<std::int64_t>& shift, std::int64_t weight, std::size_t e,
              std::vector<std::uint32_t>& rankOf) {
    const std::size_t cells = bins.cells, range = bins.counts.range;
    std::vector<std::int64_t> q(cells), r(cells);
    for (std::size_t c = 0; c < cells; ++c) {
        q[c] = shift[c] / weight, r[c] = shift[c] % weight;
        if (r[c] < 0) --q[c], r[c] += weight;
    }
    const std::int64_t qLeast = *std::min_element(q.begin(), q.end());
    const std::int64_t qMost = *std::max_element(q.begin(), q.end());
    std::vector<std::uint32_t> byRest(cells);
    std::iota(byRest.begin(), byRest.end(), 0u);
    std::stable_sort(byRest.begin(), byRest.end(),
                     [&](std::uint32_t x, std::uint32_t z) { return r[x] < r[z]; });
    const auto place = [&](std::uint32_t bin, std::size_t c) {
        return static_cast<std::size_t>(static_cast<std::int64_t>(bin - c * range) + q[c] - qLeast);
    };
    std::vector<std::size_t> start(range + static_cast<std::size_t>(qMost - qLeast) + 1, 0);
    for (std::size_t c = 0; c < cells; ++c)
        for (std::size_t u = bins.cellStart[c]; u < bins.cellStart[c + 1]; ++u)
            ++start[place(bins.used[u], c) + 1];
    for (std::size_t w = 1; w < start.size(); ++w) start[w] += start[w - 1];
    std::vector<std::pair<std::int64_t, std::uint32_t>> order(bins.used.size());  // response, bin
    for (const std::uint32_t c : byRest)
        for (std::size_t u = bins.cellStart[c]; u < bins.cellStart[c + 1]; ++u) {
            const std::uint32_t bin = bins.used[u];
            const auto v = static_cast<std::int64_t>(bin - c * range);
            order[start[place(bin, c)]++] = {weight * (bins.counts.least + v) + shift[c], bin};
        }
    std::int64_t before = 0;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i;
        std::int64_t tied = 0;
        for (; j < order.size() && order[j].first == order[i].first; ++j)
            tied += bins.counts.counts[order[j].second];
        for (std::size_t l = i; l < j; ++l)
            rankOf[3 * order[l].second + e] = static_cast<std::uint32_t>(2 * before + tied + 1);
        before += tied;
        i = j;
    }
}

// The cells' totals of alignment e's ranks and their squares' sum; and the
// check of the other effects, from the responses' totals that the cells'
// moments give: sum (w x + h)^2 = w^2 S2 + 2 w h S1 + h^2 S0 in a cell of shift h.
std::optional<Extended> SumRanksOfCells(const Bins& bins, const std::vector<std::uint32_t>& rankOf,
                                        std::size_t e, const std::vector<std::int64_t>& shift,
                                        std::int64_t weight, const RankTotals<std::int64_t>& totals,
                                        RankSums& sums) {
    const std::size_t cells = bins.cells;
    Int128 all = 0, squares = 0;
    std::vector<Int128> cellTotals(cells, 0);
    sums.cells.assign(cells, 0);
    for (std::size_t c = 0; c < cells; ++c) {
        for (std::size_t u = bins.cellStart[c]; u < bins.cellStart[c + 1]; ++u) {
            const Int128 rank = rankOf[3 * bins.used[u] + e], k = bins.counts.counts[bins.used[u]];
            sums.cells[c] += rank * k;
            sums.squares += rank * rank * k;
        }
        const Int128 w = weight, h = shift[c];
        const auto& [s0, s1, s2] = bins.moments[c];
        cellTotals[c] = w * s1 + h * s0;
        all += cellTotals[c];
        squares += w * w * s2 + 2 * w * h * s1 + h * h * s0;
    }
    return OtherEffects(cellTotals, all, squares, totals.Count(), totals.na, totals.nb, kEffects[e].first);
}

// One pass over the subjects for their totals, of their levels of A and of
// B, of the three alignments' ranks: what each alignment's error stratum
// takes (A x S for A, B x S for B, all for AB; the others' are not read).
void SumRanksOfSubjects(const std::int32_t* y, const RankTotals<std::int64_t>& totals,
                        const ValueCounts& counts, const std::vector<std::uint32_t>& rankOf,
                        std::array<RankSums, 3>& sums) {
    const std::size_t n = totals.n, na = totals.na, nb = totals.nb, cells = totals.cells,
                      range = counts.range;
    std::vector<std::int64_t> overA1(nb), overA2(nb);  // a subject's totals over A, of B and AB
    for (std::size_t s = 0; s < n; ++s) {
        const std::int32_t* row = y + s * cells;
        std::int64_t ts0 = 0, ts2 = 0;
        for (std::size_t a = 0, c = 0; a < na; ++a) {
            std::int64_t ta0 = 0, ta2 = 0;
            for (std::size_t b = 0; b < nb; ++b, ++c) {
                const std::uint32_t* r =
                    &rankOf[3 * (c * range + static_cast<std::size_t>(row[c] - counts.least))];
                ta0 += r[0], ta2 += r[2];
                overA1[b] += r[1], overA2[b] += r[2];
            }
            sums[0].sa += static_cast<Int128>(ta0) * ta0;
            sums[2].sa += static_cast<Int128>(ta2) * ta2;
            ts0 += ta0, ts2 += ta2;
        }
        std::int64_t ts1 = 0;
        for (std::size_t b = 0; b < nb; ++b) {
            sums[1].sb += static_cast<Int128>(overA1[b]) * overA1[b];
            sums[2].sb += static_cast<Int128>(overA2[b]) * overA2[b];
            ts1 += overA1[b];
            overA1[b] = overA2[b] = 0;
        }
        sums[0].subjects += static_cast<Int128>(ts0) * ts0;
        sums[1].subjects += static_cast<Int128>(ts1) * ts1;
        sums[2].subjects += static_cast<Int128>(ts2) * ts2;
    }
}

// Within a cell the aligned responses keep the scores' order, so each
// alignment ranks the bins that are not empty, and every score reads its
// rank from its bin.
void AlignByBins(const std::int32_t* y, const RankTotals<std::int64_t>& totals, const ValueCounts& counts,
                 RankBasedResults& out) {
    const std::size_t n = totals.n, na = totals.na, nb = totals.nb;
    const Bins bins(counts, totals.cells);
    // The three ranks of a bin side by side, for the pass over the subjects to read at once.
    std::vector<std::uint32_t> rankOf(3 * counts.counts.size(), 0);
    std::array<RankSums, 3> sums;
    const std::int64_t weight = ScoreWeight(totals);
    for (std::size_t e = 0; e < 3; ++e) {
        const std::vector<std::int64_t> shift = CellShifts(totals, kEffects[e].first);
        RankBins(bins, shift, weight, e, rankOf);
        (out.*kEffects[e].second).otherEffects =
            SumRanksOfCells(bins, rankOf, e, shift, weight, totals, sums[e]);
    }
    SumRanksOfSubjects(y, totals, counts, rankOf, sums);
    for (std::size_t e = 0; e < 3; ++e) {
        AlignedRankEffect& result = out.*kEffects[e].second;
        const std::optional<Extended> check = result.otherEffects;
        result = AnalyseRanks(sums[e], n, na, nb, kEffects[e].first);
        result.otherEffects = check;
    }
    out.contrastsA = ContrastsOf(sums[0], out.alignedA, n, na, nb, Of::A);
    out.contrastsB = ContrastsOf(sums[1], out.alignedB, n, na, nb, Of::B);
}

// Otherwise: each alignment's responses sorted with their places.
template <typename T, typename Cell>
void AlignBySorting(const Cell* y, const RankTotals<T>& totals, RankBasedResults& out) {
    const std::size_t cells = totals.cells, count = totals.Count();
    const T weight = ScoreWeight(totals);
    std::vector<std::pair<T, std::uint32_t>> order(count);
    std::vector<std::int64_t> ranks(count);
    for (const auto& [effect, member] : kEffects) {
        const std::vector<T> shift = CellShifts(totals, effect);
        std::vector<Accumulated<T>> cellTotals(cells, 0);
        Accumulated<T> all = 0, squares = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const T v = weight * static_cast<T>(y[i]) + shift[i % cells];
            order[i] = {v, static_cast<std::uint32_t>(i)};
            const auto wide = static_cast<Accumulated<T>>(v);
            cellTotals[i % cells] += wide, all += wide, squares += wide * wide;
        }
        std::sort(order.begin(), order.end(), [](const auto& x, const auto& z) { return x.first < z.first; });
        for (std::size_t i = 0; i < count;) {
            std::size_t j = i + 1;
            while (j < count && !(order[i].first < order[j].first)) ++j;
            for (std::size_t l = i; l < j; ++l) ranks[order[l].second] = static_cast<std::int64_t>(i + 1 + j);
            i = j;
        }
        AlignedRankEffect& result = out.*member;
        const RankSums sums = SumsOf([&](std::size_t i) { return ranks[i]; }, totals.n, totals.na, totals.nb);
        result = AnalyseRanks(sums, totals.n, totals.na, totals.nb, effect);
        result.otherEffects = OtherEffects(cellTotals, all, squares, count, totals.na, totals.nb, effect);
        if (effect == Of::A)
            out.contrastsA = ContrastsOf(sums, result, totals.n, totals.na, totals.nb, Of::A);
        if (effect == Of::B)
            out.contrastsB = ContrastsOf(sums, result, totals.n, totals.na, totals.nb, Of::B);
    }
}

}  // namespace
}  // namespace morvane
