#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

#include "ranks/RankTests.h"
#include "tails/Tails.h"

namespace morvane {
namespace {

__extension__ typedef __int128 Int128;

enum class Of { A, B, AB };

// The study's shape and its totals of the cells, levels and all.
template <typename T>
struct Totals {
    std::size_t n, na, nb, cells;
    std::vector<T> ab, a, b;
    T all = 0;

    template <typename Cell>
    Totals(const Cell* y, std::size_t subjects, std::size_t levelsA, std::size_t levelsB)
        : n(subjects), na(levelsA), nb(levelsB), cells(na * nb), ab(cells, T{0}), a(na, T{0}), b(nb, T{0}) {
        for (std::size_t s = 0; s < n; ++s)
            for (std::size_t c = 0; c < cells; ++c) ab[c] += static_cast<T>(y[s * cells + c]);
        for (std::size_t c = 0; c < cells; ++c) a[c / nb] += ab[c], b[c % nb] += ab[c], all += ab[c];
    }
    std::size_t Count() const { return n * cells; }
};

template <typename T, typename Cell>
std::vector<T> SumsOverB(const Cell* cells, std::size_t n, std::size_t na, std::size_t nb);
template <typename T, typename Cell>
std::vector<T> SumsOverA(const Cell* cells, std::size_t n, std::size_t na, std::size_t nb);
template <typename T>
std::vector<T> CellShifts(const Totals<T>& t, Of effect);
// Sums of aligned responses: exact in integers.
template <typename T>
using Accumulated = std::conditional_t<std::is_same_v<T, Extended>, Extended, Int128>;
template <typename Wide>
std::optional<Extended> OtherEffects(const std::vector<Wide>& cellTotals, Wide all, Wide squares,
                                     std::size_t count, std::size_t na, std::size_t nb, Of effect);
struct RankSums;
AlignedRankEffect AnalyseRanks(const RankSums& sums, std::size_t n, std::size_t na, std::size_t nb,
                               Of effect);
void AlignByBins(const std::int32_t* y, const Totals<std::int64_t>& totals, std::int64_t low,
                 std::size_t range, RankBasedResults& out);
template <typename T, typename Cell>
void AlignBySorting(const Cell* y, const Totals<T>& totals, RankBasedResults& out);

template <typename Sum, typename Cell>
void FriedmanTests(const Cell* y, std::size_t n, std::size_t na, std::size_t nb, RankBasedResults& out) {
    out.A = Friedman(SumsOverB<Sum>(y, n, na, nb).data(), n, na);
    out.B = Friedman(SumsOverA<Sum>(y, n, na, nb).data(), n, nb);
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
        FriedmanTests<std::int64_t>(y, n, na, nb, out);
        const Totals<std::int64_t> totals(y, n, na, nb);
        // Where the cells' distinct values are few, each cell's values are
        // counted by value once, and each alignment ranks the counts.
        const auto [low, high] = std::minmax_element(y, y + scores.Count());
        const auto range = static_cast<std::size_t>(static_cast<std::int64_t>(*high) - *low + 1);
        if (static_cast<Extended>(range) * static_cast<Extended>(totals.cells) <= 4 * N + 65536 &&
            N < 0x1p31L)
            AlignByBins(y, totals, *low, range, out);
        else
            AlignBySorting(y, totals, out);
        return out;
    }
    std::vector<Extended> room;
    const Extended* y = ExtendedScores(scores, room);
    FriedmanTests<Extended>(y, n, na, nb, out);
    AlignBySorting(y, Totals<Extended>(y, n, na, nb), out);
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
std::vector<T> CellShifts(const Totals<T>& t, Of effect) {
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
T ScoreWeight(const Totals<T>& t) {
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
struct ScaledPartition {
    Int128 S = 0, A = 0, B = 0, AB = 0, AS = 0, BS = 0, ABS = 0;
};

ScaledPartition PartitionOf(const RankSums& sums, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    std::vector<Int128> ta(na, 0), tb(nb, 0);
    Int128 g = 0, sab = 0, sumA = 0, sumB = 0;
    for (std::size_t c = 0; c < cells; ++c)
        ta[c / nb] += sums.cells[c], tb[c % nb] += sums.cells[c], g += sums.cells[c];
    for (Int128 v : sums.cells) sab += v * v;
    for (Int128 v : ta) sumA += v * v;
    for (Int128 v : tb) sumB += v * v;
    const auto N = static_cast<Int128>(n), A = static_cast<Int128>(na), B = static_cast<Int128>(nb);
    const Int128 total = N * A * B, cf = g * g;
    ScaledPartition p;
    p.S = N * sums.subjects - cf;
    p.A = A * sumA - cf;
    p.B = B * sumB - cf;
    p.AB = A * B * sab - cf - p.A - p.B;
    p.AS = N * A * sums.sa - cf - p.S - p.A;
    p.BS = N * B * sums.sb - cf - p.S - p.B;
    p.ABS = total * sums.squares - A * B * sab - N * A * sums.sa - N * B * sums.sb + N * sums.subjects +
            A * sumA + B * sumB - cf;
    return p;
}

// The ranks' test of `effect` against its stratum's error.
AlignedRankEffect AnalyseRanks(const RankSums& sums, std::size_t n, std::size_t na, std::size_t nb,
                               Of effect) {
    const ScaledPartition p = PartitionOf(sums, n, na, nb);
    const auto dfA = static_cast<std::int64_t>(na - 1), dfB = static_cast<std::int64_t>(nb - 1),
               dfS = static_cast<std::int64_t>(n - 1);
    Int128 ss = p.A, error = p.AS;
    std::int64_t df = dfA;
    if (effect == Of::B) ss = p.B, error = p.BS, df = dfB;
    if (effect == Of::AB) ss = p.AB, error = p.ABS, df = dfA * dfB;
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
    r.p = tails::FUpper(*r.f, static_cast<Extended>(df), static_cast<Extended>(r.errorDf));
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
                c.p = tails::FUpper(*c.t * *c.t, 1, static_cast<Extended>(c.df));
            }
            out.push_back(c);
        }
    return out;
}

constexpr std::pair<Of, AlignedRankEffect RankBasedResults::*> kEffects[] = {
    {Of::A, &RankBasedResults::alignedA},
    {Of::B, &RankBasedResults::alignedB},
    {Of::AB, &RankBasedResults::alignedAB}};

// The pairs in the order of their keys, by least significant digits first
// (11 bits a pass, as many passes as the keys' range needs).
void SortByKey(std::vector<std::pair<std::int64_t, std::uint32_t>>& pairs) {
    if (pairs.size() < 2) return;
    std::int64_t least = pairs[0].first, most = least;
    for (const auto& p : pairs) least = std::min(least, p.first), most = std::max(most, p.first);
    const auto base = static_cast<std::uint64_t>(least);
    const std::uint64_t span = static_cast<std::uint64_t>(most) - base;
    std::vector<std::pair<std::int64_t, std::uint32_t>> other(pairs.size());
    std::vector<std::size_t> start(2049);
    for (unsigned shift = 0; shift < 64 && (span >> shift) != 0; shift += 11) {
        const auto digit = [&](std::int64_t key) {
            return static_cast<std::size_t>(((static_cast<std::uint64_t>(key) - base) >> shift) & 0x7FF);
        };
        std::fill(start.begin(), start.end(), 0);
        for (const auto& p : pairs) ++start[digit(p.first) + 1];
        for (std::size_t d = 0; d < 2048; ++d) start[d + 1] += start[d];
        for (const auto& p : pairs) other[start[digit(p.first)]++] = p;
        pairs.swap(other);
    }
}

// Integer scores of few distinct values: bin (c, v) holds cell c's scores of
// value low + v. Within a cell the aligned responses keep the scores' order,
// so each alignment sorts the bins that are not empty by their response,
// gives each its midrank, and reads every score's rank from its bin.
void AlignByBins(const std::int32_t* y, const Totals<std::int64_t>& totals, std::int64_t low,
                 std::size_t range, RankBasedResults& out) {
    const std::size_t n = totals.n, na = totals.na, nb = totals.nb, cells = totals.cells,
                      count = totals.Count();
    std::vector<std::int64_t> inBin(cells * range, 0);
    for (std::size_t s = 0, i = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c, ++i) {
            const auto bin = static_cast<std::uint32_t>(c * range + static_cast<std::size_t>(y[i] - low));
            ++inBin[bin];
        }
    std::vector<std::uint32_t> used;
    for (std::size_t bin = 0; bin < inBin.size(); ++bin)
        if (inBin[bin] > 0) used.push_back(static_cast<std::uint32_t>(bin));
    std::vector<std::pair<std::int64_t, std::uint32_t>> order(used.size());
    // Each alignment's rank of each bin, and the sums of its ranks that the bins give.
    // The three ranks of a bin side by side: a score reads all three at once.
    std::vector<std::uint32_t> rankOf(3 * inBin.size(), 0);
    std::array<RankSums, 3> sums;
    const std::int64_t weight = ScoreWeight(totals);
    for (std::size_t e = 0; e < 3; ++e) {
        const Of effect = kEffects[e].first;
        const std::vector<std::int64_t> shift = CellShifts(totals, effect);
        const auto response = [&](std::uint32_t bin) {
            return weight * (low + static_cast<std::int64_t>(bin % range)) + shift[bin / range];
        };
        for (std::size_t i = 0; i < used.size(); ++i) order[i] = {response(used[i]), used[i]};
        SortByKey(order);
        std::int64_t before = 0;
        for (std::size_t i = 0; i < order.size();) {
            std::size_t j = i;
            std::int64_t tied = 0;
            for (; j < order.size() && order[j].first == order[i].first; ++j) tied += inBin[order[j].second];
            for (std::size_t l = i; l < j; ++l)
                rankOf[3 * order[l].second + e] = static_cast<std::uint32_t>(2 * before + tied + 1);
            before += tied;
            i = j;
        }
        Int128 all = 0, squares = 0;
        std::vector<Int128> cellTotals(cells, 0);
        sums[e].cells.assign(cells, 0);
        for (std::uint32_t bin : used) {
            const Int128 r = static_cast<Int128>(response(bin)) * inBin[bin];
            cellTotals[bin / range] += r, all += r, squares += response(bin) * r;
            const Int128 rank = rankOf[3 * bin + e];
            sums[e].cells[bin / range] += rank * inBin[bin];
            sums[e].squares += rank * rank * inBin[bin];
        }
        (out.*kEffects[e].second).otherEffects =
            OtherEffects(cellTotals, all, squares, count, na, nb, effect);
    }
    // One pass over the scores for the subjects' totals of all three, a
    // block of subjects a cell at a time: a cell's bins stay at hand.
    constexpr std::size_t kRows = 512;
    std::vector<std::int64_t> tsa(kRows * 3 * na), tsb(kRows * 3 * nb);
    for (std::size_t first = 0; first < n; first += kRows) {
        const std::size_t rows = std::min(kRows, n - first);
        std::fill(tsa.begin(), tsa.end(), 0);
        std::fill(tsb.begin(), tsb.end(), 0);
        for (std::size_t a = 0, c = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b, ++c)
                for (std::size_t t = 0; t < rows; ++t) {
                    const std::uint32_t* r =
                        &rankOf[3 * (c * range + static_cast<std::size_t>(y[(first + t) * cells + c] - low))];
                    std::int64_t* sa = &tsa[t * 3 * na + a];
                    std::int64_t* sb = &tsb[t * 3 * nb + b];
                    sa[0] += r[0], sa[na] += r[1], sa[2 * na] += r[2];
                    sb[0] += r[0], sb[nb] += r[1], sb[2 * nb] += r[2];
                }
        for (std::size_t t = 0; t < rows; ++t)
            for (std::size_t e = 0; e < 3; ++e) {
                Int128 ts = 0;
                for (std::size_t a = 0; a < na; ++a) {
                    const Int128 v = tsa[(t * 3 + e) * na + a];
                    ts += v, sums[e].sa += v * v;
                }
                for (std::size_t b = 0; b < nb; ++b) {
                    const Int128 v = tsb[(t * 3 + e) * nb + b];
                    sums[e].sb += v * v;
                }
                sums[e].subjects += ts * ts;
            }
    }
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
void AlignBySorting(const Cell* y, const Totals<T>& totals, RankBasedResults& out) {
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
