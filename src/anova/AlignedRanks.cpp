// The aligned rank transform of a design without between factors, exact:
// for every within effect E each score less its cell's mean plus E's
// estimate (the alternating sum over the subsets U of E of U's marginal
// means), taken N times over (N the number of scores): a whole number of the
// scores' unit, N o + h_c for the offset o of a score of cell c. The
// responses are midranked over the whole study exactly: a cell's keep its
// scores' order, so each cell's distinct offsets are ranked (64-bit keys)
// and every score reads its rank; without the quick strategy's offsets every
// response is ranked in GMP. The ranks' sums of squares of E and of E x S
// are the alternating sums of the squared marginal totals (each subset's,
// and each subset's with the subjects'), 4 N times over (the ranks doubled),
// E tested against E x S. The check of the alignment: the largest estimate
// of any other within effect in the responses, over their SD. ART-C: two
// levels of a within factor by their mean ranks of the responses aligned for
// it, t = difference / sqrt(2 MSE / m) with m the scores of a level, on the
// error's degrees of freedom; Holm and Bonferroni within the factor. The
// figures are formed from the integers as the A x B x S analysis forms its
// own, so that a data file's study keeps them to the bit.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>
#include <type_traits>
#include <utility>

#include "anova/detail/RankSteps.h"
#include "exact/WideIntegers.h"
#include "runtime/Extremes.h"
#include "runtime/MemoryBudget.h"
#include "stats/Adjustments.h"
#include "stats/Distributions.h"

namespace morvane::anova::detail {
namespace {

// The scores as the ranking takes them: items of one value of a cell (a
// cell's in ascending order, from start[c]) with how many scores have it,
// and each score's item (score i: rank r, cell c at r * cells + c): where
// the values were counted, from the item of each cell's value (offsets from
// `least`, `range` of them a cell), else kept for each score. Without the
// quick strategy's offsets every score is an item of its own.
struct Items {
    std::vector<std::int64_t> value;
    std::vector<std::uint32_t> count, cell;
    std::vector<std::uint32_t> start;
    LargeVector<std::uint32_t> of;
    std::vector<std::uint32_t> byValue;
    std::size_t range = 0;
    std::int64_t least = 0;

    // The item of rank r's score in cell c.
    std::uint32_t Of(const Scores& s, std::size_t r, std::size_t c) const {
        const std::size_t i = r * s.cells + c;
        if (byValue.empty()) return of[i];
        return byValue[c * range + static_cast<std::size_t>(s.small[i] - least)];
    }
};

// Integers of a narrow range counted by value, else each cell's sorted.
Items ItemsOf(const Scores& s) {
    const std::size_t cells = s.cells, count = s.subjects * cells;
    Items out;
    out.start.assign(cells + 1, 0);
    const std::pair<std::int32_t, std::int32_t> extremes = Extremes(s.small.data(), count);
    const std::int64_t least = extremes.first;
    const auto range = static_cast<std::size_t>(extremes.second - least + 1);
    if (static_cast<long double>(range) * static_cast<long double>(cells) <=
        4.0L * static_cast<long double>(count) + 65536) {
        std::vector<std::uint32_t>& index = out.byValue;
        index.assign(cells * range, 0);
        out.range = range, out.least = least;
        const auto slot = [&](std::size_t r, std::size_t c) {
            return c * range + static_cast<std::size_t>(s.small[r * cells + c] - least);
        };
        for (std::size_t r = 0; r < s.subjects; ++r)
            for (std::size_t c = 0; c < cells; ++c) ++index[slot(r, c)];
        const auto items = static_cast<std::size_t>(
            std::count_if(index.begin(), index.end(), [](std::uint32_t k) { return k != 0; }));
        out.value.reserve(items), out.count.reserve(items), out.cell.reserve(items);
        for (std::size_t c = 0; c < cells; ++c) {
            out.start[c] = static_cast<std::uint32_t>(out.value.size());
            for (std::size_t v = 0; v < range; ++v) {
                std::uint32_t& k = index[c * range + v];
                if (k == 0) continue;
                out.value.push_back(least + static_cast<std::int64_t>(v)), out.count.push_back(k);
                out.cell.push_back(static_cast<std::uint32_t>(c));
                k = static_cast<std::uint32_t>(out.value.size() - 1);
            }
        }
    } else {
        // Each cell's offsets less the least beside their ranks, one word each, the cells apart.
        const std::size_t n = s.subjects;
        out.of.resize(count);
        std::vector<std::uint64_t> packed(count);
        for (std::size_t r = 0; r < n; ++r)
            for (std::size_t c = 0; c < cells; ++c)
                packed[c * n + r] =
                    static_cast<std::uint64_t>(static_cast<std::int64_t>(s.small[r * cells + c]) - least)
                        << 32 |
                    r;
        for (std::size_t c = 0; c < cells; ++c) {
            out.start[c] = static_cast<std::uint32_t>(out.value.size());
            const auto first = packed.begin() + static_cast<std::ptrdiff_t>(c * n);
            std::sort(first, first + static_cast<std::ptrdiff_t>(n));
            for (std::size_t i = c * n; i < (c + 1) * n; ++i) {
                if (i == c * n || packed[i] >> 32 != packed[i - 1] >> 32) {
                    out.value.push_back(least + static_cast<std::int64_t>(packed[i] >> 32)),
                        out.count.push_back(0);
                    out.cell.push_back(static_cast<std::uint32_t>(c));
                }
                ++out.count.back();
                out.of[(packed[i] & 0xFFFFFFFFu) * cells + c] =
                    static_cast<std::uint32_t>(out.value.size() - 1);
            }
        }
    }
    out.start[cells] = static_cast<std::uint32_t>(out.value.size());
    return out;
}

Items EveryScore(const Scores& s) {
    const std::size_t count = s.subjects * s.cells;
    Items out;
    out.count.assign(count, 1);
    out.cell.resize(count);
    out.of.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        out.cell[i] = static_cast<std::uint32_t>(i % s.cells), out.of[i] = static_cast<std::uint32_t>(i);
    return out;
}

// The doubled midrank of every item from the items in the order of their
// keys, the items of equal keys tied.
template <class Key>
std::vector<std::uint32_t> RanksInOrder(const std::vector<std::uint32_t>& order, const std::vector<Key>& key,
                                        const std::vector<std::uint32_t>& count) {
    std::vector<std::uint32_t> rank(key.size());
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i;
        std::uint64_t tied = 0;
        for (; j < order.size() && key[order[j]] == key[order[i]]; ++j) tied += count[order[j]];
        for (std::size_t l = i; l < j; ++l)
            rank[order[l]] = static_cast<std::uint32_t>(2 * before + tied + 1);
        before += tied;
        i = j;
    }
    return rank;
}

// The items in the order of their keys weight x + h_c without comparing them,
// where h_c = weight q_c + r_c (0 <= r_c < weight) leaves the buckets x + q_c
// few: an item's place is its bucket's, then its cell's r, and the cells are
// dealt out in the order of their r (a cell's items in that of their x), so
// each bucket comes out in order. Nothing where the buckets are too many.
std::optional<std::vector<std::uint32_t>> OrderByBuckets(const Items& items,
                                                         const std::vector<std::int64_t>& h,
                                                         std::int64_t weight) {
    const std::size_t cells = items.start.size() - 1, count = items.value.size();
    std::vector<std::int64_t> q(cells), r(cells);
    std::int64_t low = INT64_MAX, high = INT64_MIN;
    for (std::size_t c = 0; c < cells; ++c) {
        q[c] = h[c] / weight, r[c] = h[c] % weight;
        if (r[c] < 0) --q[c], r[c] += weight;
        if (items.start[c] == items.start[c + 1]) continue;
        low = std::min(low, items.value[items.start[c]] + q[c]);
        high = std::max(high, items.value[items.start[c + 1] - 1] + q[c]);
    }
    if (count == 0 || static_cast<long double>(high) - static_cast<long double>(low) >=
                          4.0L * static_cast<long double>(count) + 65536)
        return std::nullopt;
    std::vector<std::uint32_t> start(static_cast<std::size_t>(high - low) + 2, 0);
    const auto bucket = [&](std::size_t u) {
        return static_cast<std::size_t>(items.value[u] + q[items.cell[u]] - low);
    };
    for (std::size_t u = 0; u < count; ++u) ++start[bucket(u) + 1];
    for (std::size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    std::vector<std::uint32_t> byRest(cells);
    std::iota(byRest.begin(), byRest.end(), 0u);
    std::stable_sort(byRest.begin(), byRest.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return r[a] < r[b]; });
    std::vector<std::uint32_t> order(count);
    for (const std::uint32_t c : byRest)
        for (std::uint32_t u = items.start[c]; u < items.start[c + 1]; ++u) order[start[bucket(u)]++] = u;
    return order;
}

// The items in the order of their keys by a least-significant-digit radix
// sort of the keys less the least, a byte a pass (stable: ties stay together).
std::vector<std::uint32_t> OrderByDigits(const std::vector<std::int64_t>& key) {
    const std::size_t count = key.size();
    std::vector<std::uint32_t> order(count), next(count);
    std::iota(order.begin(), order.end(), 0u);
    if (count < 2) return order;
    const auto [least, most] = Extremes(key.data(), count);
    std::vector<std::uint64_t> digits(count), moved(count);
    for (std::size_t u = 0; u < count; ++u)
        digits[u] = static_cast<std::uint64_t>(key[u]) - static_cast<std::uint64_t>(least);
    const auto bits = static_cast<int>(
        std::bit_width(static_cast<std::uint64_t>(most) - static_cast<std::uint64_t>(least)));
    std::array<std::uint32_t, 257> start;
    for (int shift = 0; shift < bits; shift += 8) {
        start.fill(0);
        for (const std::uint64_t d : digits) ++start[((d >> shift) & 0xFF) + 1];
        for (std::size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t at = start[(digits[i] >> shift) & 0xFF]++;
            next[at] = order[i], moved[at] = digits[i];
        }
        std::swap(order, next), std::swap(digits, moved);
    }
    return order;
}

// The doubled midrank of every item by its 64-bit key weight x + h_c.
std::vector<std::uint32_t> RankItems(const Items& items, const std::vector<std::int64_t>& h,
                                     std::int64_t weight) {
    std::vector<std::int64_t> key(items.value.size());
    for (std::size_t u = 0; u < key.size(); ++u) key[u] = weight * items.value[u] + h[items.cell[u]];
    if (std::optional<std::vector<std::uint32_t>> order = OrderByBuckets(items, h, weight))
        return RanksInOrder(*order, key, items.count);
    return RanksInOrder(OrderByDigits(key), key, items.count);
}

// The doubled midrank of every score by its response in GMP.
std::vector<std::uint32_t> RankScores(const std::vector<mpz_class>& key,
                                      const std::vector<std::uint32_t>& count) {
    std::vector<std::uint32_t> order(key.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return key[a] < key[b]; });
    return RanksInOrder(order, key, count);
}

// The shift h_c of every cell's responses for effect e (N o + h_c with o the
// offsets): -C O_c plus the alternating sum over the subsets U of e of
// size(U) Y_U, with O the cells' totals of the offsets and Y those of the
// scores (the references back); that sum is Y's marginal table of e centred
// along each of e's factors.
std::vector<mpz_class> ShiftsOf(const WithinTables& t, std::uint32_t e, const std::vector<mpz_class>& offsets,
                                const std::vector<mpz_class>& totals) {
    std::vector<mpz_class> z, scratch;
    mpz_class sum;
    Marginal(t, (std::uint32_t{1} << t.factors) - 1, e, totals.data(), z, scratch);
    for (std::size_t f = 0; f < t.factors; ++f)
        if (e >> f & 1u) Centre(z, t.Stride(e, f), t.levels[f], sum);
    std::vector<mpz_class> h(t.cells);
    for (std::size_t c = 0; c < t.cells; ++c)
        h[c] = z[t.place[e][c]] - static_cast<long>(t.cells) * offsets[c];
    return h;
}

// The ranks' sums of squares of e and of e x S, each 4 N times over (the
// ranks doubled): the alternating sums of N Q(U) = size(U) sum T_U^2 and of
// N Q(U + S) = n size(U) sum over the subjects of T_U,s^2; and a single
// factor's rank totals of its levels.
struct RankSquares {
    Int128 effect = 0, error = 0;
    std::vector<Int128> levelTotals;
};

// The subset of every factor (the cells themselves) is summed from the items:
// each cell's total of ranks and the sum of their squares.
RankSquares SquaresOf(const WithinTables& t, std::uint32_t e, const Scores& scores, const Items& items,
                      const std::vector<std::uint32_t>& rank) {
    const std::size_t n = scores.subjects;
    const std::size_t cells = t.cells;
    const std::uint32_t every = (std::uint32_t{1} << t.factors) - 1;
    const std::vector<std::uint32_t> subsets = SubsetsOf(e);
    // Per subset: its totals over the subjects, a subject's, and the sum of those squared.
    std::vector<std::vector<std::int64_t>> totals, subject;
    std::vector<Int128> bySubject(subsets.size(), 0);
    for (const std::uint32_t u : subsets)
        totals.emplace_back(t.size[u], 0), subject.emplace_back(t.size[u], 0);
    for (std::size_t k = 0; k < subsets.size(); ++k) {
        if (subsets[k] != every) continue;
        for (std::size_t u = 0; u < rank.size(); ++u) {
            const std::int64_t r = rank[u], count = items.count[u];
            totals[k][items.cell[u]] += r * count, bySubject[k] += static_cast<Int128>(r * r) * count;
        }
    }
    std::vector<std::int64_t> row(cells), scratch;
    for (std::size_t s = 0; s < n; ++s) {
        for (std::size_t c = 0; c < cells; ++c) row[c] = rank[items.Of(scores, s, c)];
        for (std::size_t k = 0; k < subsets.size(); ++k) {
            if (subsets[k] == every) continue;
            // From the least table already formed that holds this one's factors.
            std::uint32_t from = every;
            const std::int64_t* source = row.data();
            for (std::size_t j = 0; j < k; ++j)
                if (subsets[j] != every && (subsets[j] & subsets[k]) == subsets[k] &&
                    t.size[subsets[j]] < t.size[from])
                    from = subsets[j], source = subject[j].data();
            std::vector<std::int64_t>& sum = subject[k];
            Marginal(t, from, subsets[k], source, sum, scratch);
            for (std::size_t i = 0; i < sum.size(); ++i)
                bySubject[k] += static_cast<Int128>(sum[i]) * sum[i], totals[k][i] += sum[i];
        }
    }
    RankSquares out;
    for (std::size_t k = 0; k < subsets.size(); ++k) {
        const std::uint32_t u = subsets[k];
        Int128 whole = 0;
        for (const std::int64_t x : totals[k]) whole += static_cast<Int128>(x) * x;
        const Int128 q = static_cast<Int128>(t.size[u]) * whole;
        const Int128 qs = static_cast<Int128>(n * t.size[u]) * bySubject[k];
        const int sign = SignOf(e, u);
        out.effect += sign * q;
        out.error += sign * (qs - q);
        if (u == e && std::popcount(e) == 1) out.levelTotals.assign(totals[k].begin(), totals[k].end());
    }
    return out;
}

// The ranks' test of e against e x S.
AlignedRankEffect TestOf(const WithinTables& t, const RankSquares& q, std::uint32_t e, std::size_t n) {
    AlignedRankEffect r;
    r.df = 1;
    for (std::size_t f = 0; f < t.factors; ++f)
        if (e >> f & 1u) r.df *= static_cast<std::int64_t>(t.levels[f]) - 1;
    r.errorDf = r.df * (static_cast<std::int64_t>(n) - 1);
    const Extended scale = 4 * static_cast<Extended>(n * t.cells);
    r.ss = static_cast<Extended>(q.effect) / scale;
    r.errorSs = static_cast<Extended>(q.error) / scale;
    if (r.df < 1 || r.errorDf < 1 || q.error <= 0) return r;
    r.f = (static_cast<Extended>(q.effect) / static_cast<Extended>(r.df)) /
          (static_cast<Extended>(q.error) / static_cast<Extended>(r.errorDf));
    r.p = FUpperTail(*r.f, static_cast<Extended>(r.df), static_cast<Extended>(r.errorDf));
    return r;
}

// Every pair of factor f's levels by their mean ranks aligned for f, the
// chosen adjustments within the factor.
void AddContrasts(const WithinTables& t, std::size_t f, std::size_t n, const RankSquares& q,
                  const AlignedRankEffect& effect, AdjustmentSet chosen,
                  std::vector<AlignedContrastRow>& out) {
    const std::size_t levels = t.levels[f];
    if (levels < 2 || levels > kContrastedLevels || n == 0 || q.levelTotals.size() != levels) return;
    const auto count = static_cast<Extended>(n * t.cells / levels);
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
    const std::vector<AdjustedP> adjusted = AdjustFamily(p, chosen, levels);
    for (std::size_t i = first; i < out.size(); ++i) SetAdjusted(out[i].contrast, adjusted[i - first]);
}

// The largest estimate of a within effect other than e in the responses
// whose cells' totals are v, N times over: v's marginal table of the effect
// centred along each of its factors.
template <class Wide>
Extended LargestEstimate(const WithinTables& t, std::uint32_t e, const std::vector<Wide>& v) {
    const std::uint32_t every = (std::uint32_t{1} << t.factors) - 1;
    std::vector<Wide> a, scratch;
    Wide sum = 0;
    Extended largest = 0;
    for (std::uint32_t other = 1; other <= every; ++other) {
        if (other == e) continue;
        Marginal(t, every, other, v.data(), a, scratch);
        for (std::size_t f = 0; f < t.factors; ++f)
            if (other >> f & 1u) Centre(a, t.Stride(other, f), t.levels[f], sum);
        for (const Wide& x : a) largest = std::max(largest, std::fabs(ExtendedOf(x)));
    }
    return largest;
}

// The alignment's check for e: the largest estimate of another within effect
// in the responses N o + h_c over their SD, from the cells' totals O of the
// offsets, the shifts h and N^2 times the offsets' sum of squares: the cells'
// totals of the responses are N O_c + n h_c, the sum of their squares adds
// 2 N h_c O_c + n h_c^2 for each cell.
template <class Wide>
std::optional<Extended> OtherEffects(const WithinTables& t, std::uint32_t e, const std::vector<Wide>& offsets,
                                     const std::vector<Wide>& h, const mpz_class& squares, std::size_t n) {
    const std::size_t count = n * t.cells;
    const Wide N = static_cast<long>(count), subjects = static_cast<long>(n);
    std::vector<Wide> v(t.cells);
    Wide all = 0, cross = 0, shifts = 0;
    for (std::size_t c = 0; c < t.cells; ++c) {
        v[c] = N * offsets[c] + subjects * h[c];
        all += v[c], cross += h[c] * offsets[c], shifts += h[c] * h[c];
    }
    const mpz_class whole = squares + 2 * Big(N) * Big(cross) + Big(subjects) * Big(shifts);
    const mpz_class centred = Big(N) * whole - Big(all) * Big(all);
    if (count < 2 || sgn(centred) <= 0) return std::nullopt;
    const auto k = static_cast<Extended>(count);
    const Extended sd = std::sqrt(ExtendedOf(centred) / k / (k - 1));
    return LargestEstimate(t, e, v) / k / sd;
}

// The cells' totals and sums of squares of the offsets.
void CellSums(const Scores& s, std::vector<mpz_class>& totals, std::vector<mpz_class>& squares) {
    const std::size_t cells = s.cells;
    totals.assign(cells, 0), squares.assign(cells, 0);
    if (s.Quick()) {
        std::vector<Int128> t(cells, 0), q(cells, 0);
        for (std::size_t r = 0; r < s.subjects; ++r)
            for (std::size_t c = 0; c < cells; ++c) {
                const std::int64_t o = s.small[r * cells + c];
                t[c] += o, q[c] += o * o;
            }
        for (std::size_t c = 0; c < cells; ++c) totals[c] = Big(t[c]), squares[c] = Big(q[c]);
        return;
    }
    for (std::size_t i = 0; i < s.wide.size(); ++i)
        totals[i % cells] += s.wide[i], squares[i % cells] += s.wide[i] * s.wide[i];
}

}  // namespace

void AlignedRankTransform(const Inputs& in, const WithinTables& t, RankTests& out) {
    const Scores& s = in.scores;
    const std::size_t n = s.subjects, cells = s.cells, count = n * cells;
    std::vector<mpz_class> offsets, squares, totals(cells);
    CellSums(s, offsets, squares);
    for (std::size_t c = 0; c < cells; ++c) totals[c] = offsets[c] + static_cast<long>(n) * s.reference[c];
    const mpz_class N = Big(static_cast<std::int64_t>(count));
    // Ranked by 64-bit keys where every response N o + h fits 62 bits.
    const std::vector<std::uint32_t> effects = TermsInOrder(t.factors);
    std::vector<std::vector<mpz_class>> shifts;
    bool quick = s.Quick();
    const long double most = static_cast<long double>(count) * static_cast<long double>(s.bound);
    for (const std::uint32_t e : effects) {
        shifts.push_back(ShiftsOf(t, e, offsets, totals));
        for (const mpz_class& h : shifts.back())
            quick =
                quick && h.fits_slong_p() && std::fabs(static_cast<long double>(h.get_si())) + most < 0x1p62L;
    }
    const Items items = quick ? ItemsOf(s) : EveryScore(s);
    // The check of the alignment: N^2 times the offsets' sum of squares, and
    // the offsets' totals in 128 bits where they fit with room for the
    // responses' (N times over), their products and 2^k C times them.
    mpz_class squared = 0;
    std::size_t offsetBits = 0;
    for (std::size_t c = 0; c < cells; ++c)
        squared += squares[c], offsetBits = std::max(offsetBits, mpz_sizeinbase(offsets[c].get_mpz_t(), 2));
    squared *= N * N;
    const std::size_t wider =
        static_cast<std::size_t>(std::bit_width(count) + std::bit_width(cells)) + t.factors + 2;
    std::vector<Int128> narrowOffsets(cells, 0);
    if (offsetBits + wider < 120)
        for (std::size_t c = 0; c < cells; ++c) narrowOffsets[c] = exact::ToInt128(offsets[c]);
    for (std::size_t k = 0; k < effects.size(); ++k) {
        const std::uint32_t e = effects[k];
        const std::vector<mpz_class>& h = shifts[k];
        std::vector<std::uint32_t> rank;
        if (quick) {
            std::vector<std::int64_t> shift(cells);
            for (std::size_t c = 0; c < cells; ++c) shift[c] = h[c].get_si();
            rank = RankItems(items, shift, static_cast<std::int64_t>(count));
        } else {
            std::vector<mpz_class> key(count);
            for (std::size_t i = 0; i < count; ++i) key[i] = N * OffsetAt<mpz_class>(s, i) + h[i % cells];
            rank = RankScores(key, items.count);
        }
        const RankSquares q = SquaresOf(t, e, s, items, rank);
        AlignedRankRow row;
        for (std::size_t f = 0; f < t.factors; ++f)
            if (e >> f & 1u) row.within.push_back(f);
        row.name = JoinedName(in.design, {}, row.within, " × ");
        row.key = JoinedName(in.design, {}, row.within, ":");
        row.test = TestOf(t, q, e, n);
        // In 128 bits where every total, product and estimate fits.
        std::size_t bits = 0;
        for (const mpz_class& x : h) bits = std::max(bits, mpz_sizeinbase(x.get_mpz_t(), 2));
        const std::size_t widest = std::max(bits, offsetBits);
        if (widest + wider < 120 && 2 * widest + static_cast<std::size_t>(std::bit_width(cells)) < 120) {
            std::vector<Int128> narrow(cells);
            for (std::size_t c = 0; c < cells; ++c) narrow[c] = exact::ToInt128(h[c]);
            row.test.otherEffects = OtherEffects(t, e, narrowOffsets, narrow, squared, n);
        } else {
            row.test.otherEffects = OtherEffects(t, e, offsets, h, squared, n);
        }
        if (row.within.size() == 1)
            AddContrasts(t, row.within[0], n, q, row.test, in.options.adjustments, out.contrasts);
        out.alignedRanks.push_back(std::move(row));
    }
}

}  // namespace morvane::anova::detail
