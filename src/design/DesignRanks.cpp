// The rank-based tests of a design without between factors, as the A x B x S
// analysis has them for its two factors:
// - Friedman's test of each within factor over each subject's means of its
//   levels (the sums over the other within factors rank alike), and with two
//   or more factors over all the within cells.
// - The aligned rank transform of every within effect E: each score less its
//   cell's mean plus E's estimate, the alternating sum over the subsets U of
//   E of the marginal means of U (the grand mean for the empty set),
//   midranked over the whole study; the ranks' sums of squares of E and of
//   E x S by the same alternating sums over the subsets of the squared
//   marginal totals (each subset's and each subset's with the subjects'),
//   E tested against E x S. The check of the alignment: the largest estimate
//   of any other within effect in the aligned responses, over their standard
//   deviation.
// - ART-C: two levels of a within factor by their mean ranks of the responses
//   aligned for it, t = difference / sqrt(2 MSE / m) with m the scores of a
//   level, on the error's degrees of freedom; Holm and Bonferroni within the
//   factor.
// Where the scores are exact decimals (or means of them) whose units fit, the
// aligned responses are taken N times over (N the number of scores), whole numbers,
// and ranked exactly; otherwise in extended precision.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "design/detail/FollowUps.h"
#include "runtime/WideInteger.h"
#include "stats/Adjustments.h"
#include "stats/Distributions.h"
#include "stats/Friedman.h"

namespace morvane::design {
namespace {

// The within cells and, for every set of within factors (a mask, bit f for
// factor f), each cell's place in that set's marginal table (its factors'
// levels, the last fastest) and the table's size.
struct Margins {
    std::size_t n = 0, cells = 1, factors = 0;
    std::vector<std::size_t> levels;
    std::vector<std::vector<std::uint32_t>> place;  // [mask][cell]
    std::vector<std::size_t> size;                  // [mask]

    explicit Margins(const DesignData& d) : n(d.Subjects()), factors(d.within.size()) {
        for (const DesignFactor& f : d.within) levels.push_back(f.levels.size()), cells *= f.levels.size();
        std::vector<std::size_t> stride(factors, 1);
        for (std::size_t f = factors; f-- > 1;) stride[f - 1] = stride[f] * levels[f];
        const std::size_t masks = std::size_t{1} << factors;
        place.assign(masks, std::vector<std::uint32_t>(cells, 0));
        size.assign(masks, 1);
        for (std::size_t m = 0; m < masks; ++m) {
            for (std::size_t f = 0; f < factors; ++f)
                if (m >> f & 1u) size[m] *= levels[f];
            for (std::size_t c = 0; c < cells; ++c) {
                std::size_t at = 0;
                for (std::size_t f = 0; f < factors; ++f)
                    if (m >> f & 1u) at = at * levels[f] + c / stride[f] % levels[f];
                place[m][c] = static_cast<std::uint32_t>(at);
            }
        }
    }
    std::size_t Count() const { return n * cells; }
};

// The sign of subset u's term in the alternating sum of effect e.
int SignOf(std::uint32_t e, std::uint32_t u) {
    return (std::popcount(e) - std::popcount(u)) % 2 == 0 ? 1 : -1;
}

// The subsets of mask e, e itself first and the empty set last.
std::vector<std::uint32_t> SubsetsOf(std::uint32_t e) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t u = e;; u = (u - 1) & e) {
        out.push_back(u);
        if (u == 0) break;
    }
    return out;
}

// The totals of every cell over the subjects.
template <typename W, typename V>
std::vector<W> CellTotals(const Margins& m, const std::vector<V>& y) {
    std::vector<W> out(m.cells, W{0});
    for (std::size_t i = 0; i < y.size(); ++i) out[i % m.cells] += static_cast<W>(y[i]);
    return out;
}

// A marginal table's totals from the cells'.
template <typename W>
std::vector<W> Marginal(const Margins& m, std::uint32_t mask, const std::vector<W>& cellTotals) {
    std::vector<W> out(m.size[mask], W{0});
    for (std::size_t c = 0; c < m.cells; ++c) out[m.place[mask][c]] += cellTotals[c];
    return out;
}

// The responses aligned for effect e. In integers (W wide) N times over:
// N y - cells T(c) + the alternating sum of size(U) T_U; otherwise that over N.
template <typename V, typename W>
std::vector<V> Aligned(const Margins& m, const std::vector<V>& y, std::uint32_t e) {
    const std::vector<W> totals = CellTotals<W>(m, y);
    std::vector<W> shift(m.cells);
    for (std::size_t c = 0; c < m.cells; ++c) shift[c] = -static_cast<W>(m.cells) * totals[c];
    for (const std::uint32_t u : SubsetsOf(e)) {
        const std::vector<W> t = Marginal(m, u, totals);
        const W weight = static_cast<W>(m.size[u]) * static_cast<W>(SignOf(e, u));
        for (std::size_t c = 0; c < m.cells; ++c) shift[c] += weight * t[m.place[u][c]];
    }
    const auto count = static_cast<W>(m.Count());
    std::vector<V> v(y.size());
    if constexpr (std::is_same_v<V, Extended>) {
        for (W& s : shift) s /= count;
        for (std::size_t i = 0; i < y.size(); ++i) v[i] = y[i] + shift[i % m.cells];
    } else {
        for (std::size_t i = 0; i < y.size(); ++i)
            v[i] = static_cast<V>(count) * y[i] + static_cast<V>(shift[i % m.cells]);
    }
    return v;
}

// Twice the midranks of v (whole numbers): the values sorted beside their places.
template <typename V>
std::vector<std::int64_t> DoubledMidranks(const std::vector<V>& v) {
    std::vector<std::pair<V, std::uint32_t>> order(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) order[i] = {v[i], static_cast<std::uint32_t>(i)};
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::int64_t> ranks(v.size());
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && !(order[i].first < order[j].first)) ++j;
        for (std::size_t l = i; l < j; ++l) ranks[order[l].second] = static_cast<std::int64_t>(i + 1 + j);
        i = j;
    }
    return ranks;
}

// The check of the alignment for e: the largest estimate of another within
// effect in v over v's standard deviation. N times an estimate of T is the
// alternating sum over T's subsets of size(U) T_U.
template <typename V, typename W>
std::optional<Extended> OtherEffects(const Margins& m, const std::vector<V>& v, std::uint32_t e) {
    const std::vector<W> totals = CellTotals<W>(m, v);
    W all = 0, squares = 0;
    for (const V x : v) squares += static_cast<W>(x) * static_cast<W>(x);
    for (const W t : totals) all += t;
    const auto count = static_cast<W>(m.Count());
    const W centred = count * squares - all * all;
    if (m.Count() < 2 || !(centred > 0)) return std::nullopt;
    const std::uint32_t masks = std::uint32_t{1} << m.factors;
    std::vector<std::vector<W>> marginal(masks);
    for (std::uint32_t u = 0; u < masks; ++u) marginal[u] = Marginal(m, u, totals);
    Extended largest = 0;
    for (std::uint32_t t = 1; t < masks; ++t) {
        if (t == e) continue;
        std::vector<W> estimate(m.size[t], W{0});
        for (const std::uint32_t u : SubsetsOf(t)) {
            const W weight = static_cast<W>(m.size[u]) * static_cast<W>(SignOf(t, u));
            // Each cell of t's table once, with the cell of u's table it lies in.
            std::vector<bool> seen(m.size[t], false);
            for (std::size_t c = 0; c < m.cells; ++c) {
                const std::uint32_t at = m.place[t][c];
                if (seen[at]) continue;
                seen[at] = true;
                estimate[at] += weight * marginal[u][m.place[u][c]];
            }
        }
        for (const W x : estimate) largest = std::max(largest, std::fabs(static_cast<Extended>(x)));
    }
    const auto n = static_cast<Extended>(m.Count());
    const Extended sd = std::sqrt(static_cast<Extended>(centred) / n / (n - 1));
    return largest / n / sd;
}

// The ranks' sums of squares of e and of e x S, each 4 N times over (the
// ranks doubled): the alternating sums of N Q(U) = size(U) sum T_U^2 and of
// N Q(U + S) = n size(U) sum over the subjects of T_U,s^2.
struct RankSquares {
    Int128 effect = 0, error = 0;
    std::vector<Int128> levelTotals;  // of a single factor's levels
};

RankSquares SquaresOf(const Margins& m, const std::vector<std::int64_t>& r, std::uint32_t e) {
    RankSquares out;
    for (const std::uint32_t u : SubsetsOf(e)) {
        const std::size_t size = m.size[u];
        std::vector<Int128> totals(size, 0), subject(size, 0);
        Int128 bySubject = 0;
        for (std::size_t s = 0; s < m.n; ++s) {
            std::fill(subject.begin(), subject.end(), 0);
            for (std::size_t c = 0; c < m.cells; ++c) subject[m.place[u][c]] += r[s * m.cells + c];
            for (std::size_t t = 0; t < size; ++t)
                bySubject += subject[t] * subject[t], totals[t] += subject[t];
        }
        Int128 whole = 0;
        for (const Int128 t : totals) whole += t * t;
        const Int128 q = static_cast<Int128>(size) * whole;
        const Int128 qs = static_cast<Int128>(m.n * size) * bySubject;
        const int sign = SignOf(e, u);
        out.effect += sign * q;
        out.error += sign * (qs - q);
        if (u == e && std::popcount(e) == 1) out.levelTotals = totals;
    }
    return out;
}

AlignedRankEffect TestOf(const Margins& m, const RankSquares& q, std::uint32_t e) {
    AlignedRankEffect r;
    r.df = 1;
    for (std::size_t f = 0; f < m.factors; ++f)
        if (e >> f & 1u) r.df *= static_cast<std::int64_t>(m.levels[f]) - 1;
    r.errorDf = r.df * (static_cast<std::int64_t>(m.n) - 1);
    const Extended scale = 4 * static_cast<Extended>(m.Count());
    r.ss = static_cast<Extended>(q.effect) / scale;
    r.errorSs = static_cast<Extended>(q.error) / scale;
    if (r.df < 1 || r.errorDf < 1 || q.error <= 0) return r;
    r.f = (static_cast<Extended>(q.effect) / static_cast<Extended>(r.df)) /
          (static_cast<Extended>(q.error) / static_cast<Extended>(r.errorDf));
    r.p = FUpperTail(*r.f, static_cast<Extended>(r.df), static_cast<Extended>(r.errorDf));
    return r;
}

// Every pair of factor f's levels by their mean ranks aligned for f.
void AddContrasts(const Margins& m, std::size_t f, const RankSquares& q, const AlignedRankEffect& effect,
                  std::vector<DesignAlignedContrast>& out) {
    const std::size_t levels = m.levels[f];
    if (levels < 2 || levels > kContrastedLevels || q.levelTotals.size() != levels) return;
    const auto count = static_cast<Extended>(m.Count() / levels);
    std::optional<Extended> se;
    if (effect.errorDf >= 1 && effect.errorSs > 0)
        se = std::sqrt(2 * (effect.errorSs / static_cast<Extended>(effect.errorDf)) / count);
    const std::size_t first = out.size();
    for (std::size_t i = 0; i < levels; ++i)
        for (std::size_t j = i + 1; j < levels; ++j) {
            AlignedRankContrast c;
            c.first = static_cast<std::int32_t>(i + 1), c.second = static_cast<std::int32_t>(j + 1);
            c.difference = static_cast<Extended>(q.levelTotals[i] - q.levelTotals[j]) / (2 * count);
            c.df = effect.errorDf;
            if (se) {
                c.se = se, c.t = c.difference / *se;
                c.p = FUpperTail(*c.t * *c.t, 1, static_cast<Extended>(c.df));
            }
            out.push_back({f, c});
        }
    std::vector<std::optional<Extended>> p;
    for (std::size_t i = first; i < out.size(); ++i) p.push_back(out[i].contrast.p);
    const std::vector<AdjustedP> adjusted = AdjustFamily(p);
    for (std::size_t i = first; i < out.size(); ++i)
        out[i].contrast.pHolm = adjusted[i - first].holm,
        out[i].contrast.pBonferroni = adjusted[i - first].bonferroni;
}

// Friedman's tests: of each factor over the subjects' sums of its levels, then of the cells.
template <typename V>
void FriedmanTests(const DesignData& d, const Margins& m, const std::vector<V>& y, DesignRankTests& out) {
    for (std::size_t f = 0; f < m.factors; ++f) {
        const std::uint32_t u = std::uint32_t{1} << f;
        std::vector<V> sums(m.n * m.levels[f], V{0});
        for (std::size_t s = 0; s < m.n; ++s)
            for (std::size_t c = 0; c < m.cells; ++c)
                sums[s * m.levels[f] + m.place[u][c]] += y[s * m.cells + c];
        out.friedman.push_back({f, false, Friedman(sums.data(), m.n, m.levels[f])});
    }
    if (d.within.size() >= 2) out.friedman.push_back({0, true, Friedman(y.data(), m.n, m.cells)});
}

constexpr std::size_t kMostAlignedScores = std::size_t{1} << 24;

template <typename V, typename W>
void RankTestsOf(const DesignData& d, const Margins& m, const std::vector<V>& y, DesignRankTests& out) {
    FriedmanTests(d, m, y, out);
    // The ranks' squared totals are integers of about N^5: beyond 2^24 scores they would not fit.
    if (m.Count() >= kMostAlignedScores) {
        out.alignedOmitted = true;
        return;
    }
    out.exactAlignment = !std::is_same_v<V, Extended>;
    for (const std::uint32_t e : TermsInOrder(m.factors)) {
        const std::vector<V> v = Aligned<V, W>(m, y, e);
        const RankSquares q = SquaresOf(m, DoubledMidranks(v), e);
        DesignAlignedRank a;
        for (std::size_t f = 0; f < m.factors; ++f)
            if (e >> f & 1u) {
                a.within.push_back(f);
                a.name += (a.name.empty() ? "" : " × ") + d.within[f].name;
                a.key += (a.key.empty() ? "" : ":") + d.within[f].name;
            }
        a.test = TestOf(m, q, e);
        a.test.otherEffects = OtherEffects<V, W>(m, v, e);
        if (a.within.size() == 1) AddContrasts(m, a.within[0], q, a.test, out.contrasts);
        out.alignedRanks.push_back(std::move(a));
    }
}

// The scores as whole numbers where they are exact: each cell's units over its
// rows, times the least common multiple L of the rows (the scores L 10^scale
// times over, which ranks them alike), where the aligned responses (within
// (2^k + 2) N times the largest in size) and their squares' sum N times over fit.
std::optional<std::vector<std::int64_t>> IntegerScores(const DesignData& d, const Margins& m) {
    if (!d.exact || d.units.size() != m.Count() || d.rows.size() != m.Count()) return std::nullopt;
    std::int64_t multiple = 1;
    for (const std::int32_t r : d.rows) {
        if (r < 1) return std::nullopt;
        multiple = std::lcm(multiple, static_cast<std::int64_t>(r));
        if (multiple > (std::int64_t{1} << 20)) return std::nullopt;
    }
    Extended bound = 0;
    for (std::size_t i = 0; i < d.units.size(); ++i)
        bound = std::max(bound, std::fabs(static_cast<Extended>(d.units[i])) *
                                    static_cast<Extended>(multiple / d.rows[i]));
    const auto count = static_cast<Extended>(m.Count());
    const Extended most = static_cast<Extended>((1u << m.factors) + 2) * count * bound;
    if (!(most < 0x1p62L) || !(count * count * most * most < 0x1p125L)) return std::nullopt;
    std::vector<std::int64_t> out(d.units.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int64_t>(d.units[i]) * (multiple / d.rows[i]);
    return out;
}

}  // namespace

DesignRankTests RankTests(const DesignData& d) {
    DesignRankTests out;
    if (!d.between.empty() || d.within.empty() || d.within.size() > kMostWithinFactors || d.Subjects() == 0)
        return out;
    const Margins m(d);
    if (m.cells == 0 || d.values.size() != m.Count()) return out;
    if (const auto integers = IntegerScores(d, m))
        RankTestsOf<std::int64_t, Int128>(d, m, *integers, out);
    else
        RankTestsOf<Extended, Extended>(d, m, d.values, out);
    return out;
}

}  // namespace morvane::design
