// The rank-based tests of a design without between factors, exact. Here:
// Friedman's test of each within factor over each subject's sums of its
// levels (which rank as the means do), and with two or more factors over all
// the within cells, ranked within each subject from the exact scores. The
// aligned rank transform and its contrasts are AlignedRanks.cpp's. A data
// file's A x B x S study gets the figures of its own analysis, to the bit.

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <type_traits>
#include <utility>

#include "anova/detail/CheckPasses.h"
#include "anova/detail/RankSteps.h"
#include "anova/detail/Steps.h"
#include "runtime/Extremes.h"
#include "runtime/MemoryBudget.h"
#include "stats/detail/FriedmanRanks.h"

namespace morvane::anova::detail {
namespace {

// The ranks' squared totals are integers of about N^5: beyond 2^24 scores they would not fit.
constexpr std::size_t kMostAlignedScores = std::size_t{1} << 24;

FriedmanTest FriedmanOf(const Scores& s, const WithinTables& t, std::uint32_t mask);

}  // namespace

RankTests RankTestsOf(const Inputs& in) {
    RankTests out;
    const DesignData& design = in.design;
    if (design.within.empty()) return out;  // one score per subject: nothing to rank within
    if (!design.between.empty()) {
        out.omitted =
            "Not computed: the rank-based tests are defined for designs without between-subject factors.";
        return out;
    }
    const Scores& s = in.scores;
    if (s.subjects == 0 || s.cells == 0) return out;
    const WithinTables t(design.within);
    for (std::size_t f = 0; f < t.factors; ++f) {
        const std::uint32_t mask = std::uint32_t{1} << f;
        out.friedman.push_back({f, false, FriedmanOf(s, t, mask)});
    }
    if (t.factors >= 2) {
        const std::uint32_t all = (std::uint32_t{1} << t.factors) - 1;
        out.friedman.push_back({0, true, FriedmanOf(s, t, all)});
    }
    if (s.subjects * s.cells >= kMostAlignedScores) {
        out.alignedOmitted = true;
        return out;
    }
    out.exactAlignment = s.decimal;
    AlignedRankTransform(in, t, out);
    return out;
}

namespace {

// Each subject's doubled midranks of its values `v` (k of them) into row.
void RankRow(const std::vector<mpz_class>& v, std::vector<std::size_t>& order, std::int32_t* row) {
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return v[a] < v[b]; });
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && v[order[j]] == v[order[i]]) ++j;
        for (std::size_t l = i; l < j; ++l) row[order[l]] = static_cast<std::int32_t>(i + j + 1);
        i = j;
    }
}

// Each subject's sums of its offsets over the cells of each place of mask's
// table plus `base`, the references' sums, in Row (whose range they fit).
template <class Row>
FriedmanTest OfSums(const Scores& s, const WithinTables& t, std::uint32_t mask,
                    const std::vector<std::int64_t>& base) {
    const std::size_t n = s.subjects, cells = s.cells, k = t.size[mask];
    const std::uint32_t every = (std::uint32_t{1} << t.factors) - 1;
    LargeVector<Row> rows(n * k);
    std::vector<Row> wide(cells), sum, scratch;
    for (std::size_t r = 0; r < n; ++r) {
        const Row* offsets = wide.data();
        if constexpr (std::is_same_v<Row, std::int32_t>)
            offsets = &s.small[r * cells];
        else
            std::copy_n(&s.small[r * cells], cells, wide.begin());
        Marginal(t, every, mask, offsets, sum, scratch);
        for (std::size_t l = 0; l < k; ++l) rows[r * k + l] = static_cast<Row>(base[l] + sum[l]);
    }
    if constexpr (std::is_same_v<Row, std::int32_t>) {
        const auto [least, most] = Extremes(rows.data(), rows.size());
        return morvane::detail::FriedmanOfIntegers(rows.data(), n, k, least, most);
    } else {
        return Friedman(rows.data(), n, k);
    }
}

// Friedman's test of the places of mask's table over each subject's sums of
// its scores in their cells (the references added back), ranked as the sums
// rank: from the offsets' sums plus the references' less their least, in 32
// or 64 bits where they fit, else from each subject's doubled midranks of the
// exact sums.
FriedmanTest FriedmanOf(const Scores& s, const WithinTables& t, std::uint32_t mask) {
    const std::size_t n = s.subjects, cells = s.cells, k = t.size[mask];
    const std::vector<std::uint32_t>& place = t.place[mask];
    std::vector<mpz_class> base(k, 0);
    for (std::size_t c = 0; c < cells; ++c) base[place[c]] += s.reference[c];
    const mpz_class least = *std::min_element(base.begin(), base.end());
    for (mpz_class& b : base) b -= least;
    const long double span = static_cast<long double>(cells / k) * static_cast<long double>(s.bound);
    long double most = 0;
    bool fits = s.Quick();
    for (const mpz_class& b : base) {
        fits = fits && b.fits_slong_p();
        if (fits) most = std::max(most, static_cast<long double>(b.get_si()) + span);
    }
    if (fits && most < 0x1p62L) {
        std::vector<std::int64_t> start(k);
        for (std::size_t l = 0; l < k; ++l) start[l] = base[l].get_si();
        if (most < 0x1p31L) return OfSums<std::int32_t>(s, t, mask, start);
        return OfSums<std::int64_t>(s, t, mask, start);
    }
    std::vector<std::int32_t> rows(n * k);
    std::vector<mpz_class> v(k);
    std::vector<std::size_t> order(k);
    for (std::size_t r = 0; r < n; ++r) {
        for (std::size_t l = 0; l < k; ++l) v[l] = base[l];
        for (std::size_t c = 0; c < cells; ++c) v[place[c]] += OffsetAt<mpz_class>(s, r * cells + c);
        RankRow(v, order, &rows[r * k]);
    }
    return Friedman(rows.data(), n, k);
}

}  // namespace
}  // namespace morvane::anova::detail
