#include <algorithm>
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

template <typename T>
std::vector<T> SumsOverB(const T* cells, std::size_t n, std::size_t na, std::size_t nb);
template <typename T>
std::vector<T> SumsOverA(const T* cells, std::size_t n, std::size_t na, std::size_t nb);
template <typename T, typename Cell>
std::vector<T> Aligned(const Cell* y, std::size_t n, std::size_t na, std::size_t nb, Of effect);
template <typename T>
std::vector<std::int64_t> DoubledRanks(const std::vector<T>& values);
template <typename T>
std::optional<Extended> OtherEffects(const std::vector<T>& aligned, std::size_t n, std::size_t na,
                                     std::size_t nb, Of effect);
AlignedRankEffect AnalyseRanks(const std::vector<std::int64_t>& x, std::size_t n, std::size_t na,
                               std::size_t nb, Of effect);

template <typename Cell>
RankBasedResults Analyse(const Cell* y, std::size_t n, std::size_t na, std::size_t nb, bool exact) {
    using Sum = std::conditional_t<std::is_same_v<Cell, Extended>, Extended, std::int64_t>;
    RankBasedResults out;
    out.exactAlignment = exact;
    std::vector<Sum> cells(y, y + n * na * nb);
    out.A = Friedman(SumsOverB(cells.data(), n, na, nb).data(), n, na);
    out.B = Friedman(SumsOverA(cells.data(), n, na, nb).data(), n, nb);
    out.cells = Friedman(cells.data(), n, na * nb);
    cells = {};
    const std::pair<Of, AlignedRankEffect*> effects[] = {
        {Of::A, &out.alignedA}, {Of::B, &out.alignedB}, {Of::AB, &out.alignedAB}};
    for (const auto& [effect, result] : effects) {
        const std::vector<Sum> aligned = Aligned<Sum>(y, n, na, nb, effect);
        *result = AnalyseRanks(DoubledRanks(aligned), n, na, nb, effect);
        result->otherEffects = OtherEffects(aligned, n, na, nb, effect);
    }
    return out;
}

}  // namespace

RankBasedResults RankBasedAnalysis(const CellScores& scores) {
    const std::size_t n = scores.n, na = scores.na, nb = scores.nb;
    if (n == 0 || na == 0 || nb == 0) return {};
    // The aligned responses in integers are at most 4 N bound in magnitude
    // (N the number of scores).
    const auto N = static_cast<Extended>(n * na * nb);
    if (scores.integers && 4 * N * static_cast<Extended>(scores.bound) < 0x1p62L)
        return Analyse(scores.integers, n, na, nb, true);
    return Analyse(scores.values, n, na, nb, false);
}

namespace {

// Each subject's sums over B for each level of A, [s][a].
template <typename T>
std::vector<T> SumsOverB(const T* cells, std::size_t n, std::size_t na, std::size_t nb) {
    std::vector<T> out(n * na, T{0});
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t a = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b) out[s * na + a] += cells[(s * na + a) * nb + b];
    return out;
}

// Each subject's sums over A for each level of B, [s][b].
template <typename T>
std::vector<T> SumsOverA(const T* cells, std::size_t n, std::size_t na, std::size_t nb) {
    std::vector<T> out(n * nb, T{0});
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t a = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b) out[s * nb + b] += cells[(s * na + a) * nb + b];
    return out;
}

// The aligned responses for `effect`: the residual from the cell's mean plus
// the effect's estimate. In integers they are taken N times over (N = n na nb),
// which leaves every mean a whole number: for A,
// N y - na nb T(a, b) + na T(a) - G with the totals T of the cells and levels
// and G of all.
template <typename T, typename Cell>
std::vector<T> Aligned(const Cell* y, std::size_t n, std::size_t na, std::size_t nb, Of effect) {
    const std::size_t cells = na * nb;
    std::vector<T> tab(cells, T{0}), ta(na, T{0}), tb(nb, T{0});
    T g = 0;
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) tab[c] += y[s * cells + c];
    for (std::size_t c = 0; c < cells; ++c) ta[c / nb] += tab[c], tb[c % nb] += tab[c], g += tab[c];
    // The cell's, the levels' and the grand weights: the factors that make
    // each total a mean (integers: times N).
    T wy, wab, wa, wb, wg;
    if constexpr (std::is_same_v<T, Extended>) {
        const auto N = static_cast<Extended>(n);
        wy = 1, wab = 1 / N, wa = 1 / (N * static_cast<Extended>(nb)),
        wb = 1 / (N * static_cast<Extended>(na)), wg = 1 / (N * static_cast<Extended>(cells));
    } else {
        wy = static_cast<T>(n * cells), wab = static_cast<T>(cells), wa = static_cast<T>(na),
        wb = static_cast<T>(nb), wg = 1;
    }
    std::vector<T> out(n * cells);
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) {
            const T v = wy * static_cast<T>(y[s * cells + c]), a = wa * ta[c / nb], b = wb * tb[c % nb];
            const T mean = wg * g;
            switch (effect) {
                case Of::A:
                    out[s * cells + c] = v - wab * tab[c] + a - mean;
                    break;
                case Of::B:
                    out[s * cells + c] = v - wab * tab[c] + b - mean;
                    break;
                case Of::AB:
                    out[s * cells + c] = v - a - b + mean;
                    break;
            }
        }
    return out;
}

// The ranks of all the values from 1, times two: midranks for ties stay integers.
template <typename T>
std::vector<std::int64_t> DoubledRanks(const std::vector<T>& values) {
    std::vector<std::pair<T, std::uint32_t>> order(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) order[i] = {values[i], static_cast<std::uint32_t>(i)};
    std::sort(order.begin(), order.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::int64_t> ranks(values.size());
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && !(order[i].first < order[j].first)) ++j;
        for (std::size_t l = i; l < j; ++l) ranks[order[l].second] = static_cast<std::int64_t>(i + 1 + j);
        i = j;
    }
    return ranks;
}

// The alignment's check: the largest estimate of an effect other than
// `effect` in the aligned responses, over their standard deviation.
template <typename T>
std::optional<Extended> OtherEffects(const std::vector<T>& aligned, std::size_t n, std::size_t na,
                                     std::size_t nb, Of effect) {
    const std::size_t cells = na * nb;
    const auto N = static_cast<Extended>(n);
    std::vector<Extended> mab(cells, 0), ma(na, 0), mb(nb, 0);
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) mab[c] += static_cast<Extended>(aligned[s * cells + c]);
    Extended m = 0;
    for (std::size_t c = 0; c < cells; ++c) {
        mab[c] /= N;
        ma[c / nb] += mab[c] / static_cast<Extended>(nb);
        mb[c % nb] += mab[c] / static_cast<Extended>(na);
        m += mab[c] / static_cast<Extended>(cells);
    }
    Extended squares = 0;
    for (const T& v : aligned) squares += (static_cast<Extended>(v) - m) * (static_cast<Extended>(v) - m);
    if (aligned.size() < 2 || !(squares > 0)) return std::nullopt;
    Extended largest = 0;
    if (effect != Of::A)
        for (Extended v : ma) largest = std::max(largest, std::fabs(v - m));
    if (effect != Of::B)
        for (Extended v : mb) largest = std::max(largest, std::fabs(v - m));
    if (effect != Of::AB)
        for (std::size_t c = 0; c < cells; ++c)
            largest = std::max(largest, std::fabs(mab[c] - ma[c / nb] - mb[c % nb] + m));
    return largest / std::sqrt(squares / static_cast<Extended>(aligned.size() - 1));
}

// The partition of the doubled ranks x [s][a][b], each sum of squares N
// times over: the totals' squares are integers, and so is every source.
struct ScaledPartition {
    Int128 S = 0, A = 0, B = 0, AB = 0, AS = 0, BS = 0, ABS = 0;
};

ScaledPartition Partition(const std::vector<std::int64_t>& x, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    std::vector<Int128> tab(cells, 0), ta(na, 0), tb(nb, 0), tsa(na), tsb(nb);
    Int128 g = 0, squares = 0, subjects = 0, sa = 0, sb = 0;
    for (std::size_t s = 0; s < n; ++s) {
        std::fill(tsa.begin(), tsa.end(), 0);
        std::fill(tsb.begin(), tsb.end(), 0);
        for (std::size_t c = 0; c < cells; ++c) {
            const Int128 v = x[s * cells + c];
            tab[c] += v, tsa[c / nb] += v, tsb[c % nb] += v, squares += v * v;
        }
        Int128 ts = 0;
        for (Int128 v : tsa) ts += v, sa += v * v;
        for (Int128 v : tsb) sb += v * v;
        subjects += ts * ts;
    }
    Int128 sab = 0, sumA = 0, sumB = 0;
    for (std::size_t c = 0; c < cells; ++c) ta[c / nb] += tab[c], tb[c % nb] += tab[c], g += tab[c];
    for (Int128 v : tab) sab += v * v;
    for (Int128 v : ta) sumA += v * v;
    for (Int128 v : tb) sumB += v * v;
    const auto N = static_cast<Int128>(n), A = static_cast<Int128>(na), B = static_cast<Int128>(nb);
    const Int128 total = N * A * B, cf = g * g;
    ScaledPartition p;
    p.S = N * subjects - cf;
    p.A = A * sumA - cf;
    p.B = B * sumB - cf;
    p.AB = A * B * sab - cf - p.A - p.B;
    p.AS = N * A * sa - cf - p.S - p.A;
    p.BS = N * B * sb - cf - p.S - p.B;
    p.ABS = total * squares - A * B * sab - N * A * sa - N * B * sb + N * subjects + A * sumA + B * sumB - cf;
    return p;
}

// The ranks' test of `effect` against its stratum's error.
AlignedRankEffect AnalyseRanks(const std::vector<std::int64_t>& x, std::size_t n, std::size_t na,
                               std::size_t nb, Of effect) {
    const ScaledPartition p = Partition(x, n, na, nb);
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

}  // namespace
}  // namespace morvane
