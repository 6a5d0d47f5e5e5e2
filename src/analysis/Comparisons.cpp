#include <algorithm>
#include <cmath>

#include "analysis/detail/AnalysisSteps.h"
#include "analysis/detail/ExactMoments.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"

namespace morvane::analysis {
namespace {

ComparisonResult Paired(const Moment& d, const Moment& first, const Moment& second, std::size_t n,
                        std::optional<Extended> tq, int scale);

}  // namespace

std::vector<ComparisonResult> PairedComparisons(const PassMoments& moments, const Layout& layout,
                                                std::optional<Extended> tq, Extended level) {
    std::vector<ComparisonResult> out;
    const Moment* d = moments.differences.data();
    // Each family with the moments of its levels' scores: `moment(i)` of level i from 0.
    const auto family = [&](Factor factor, std::int32_t at, std::size_t levels, const auto& moment) {
        const std::size_t first = out.size();
        for (std::size_t i = 0; i < levels; ++i)
            for (std::size_t j = i + 1; j < levels; ++j) {
                ComparisonResult c = Paired(*d++, moment(i), moment(j), layout.n, tq, moments.scale);
                c.dzCI = CohenDzInterval(c.t, static_cast<Extended>(c.df), level);
                c.factor = factor;
                c.at = at;
                c.i = static_cast<std::int32_t>(i + 1);
                c.j = static_cast<std::int32_t>(j + 1);
                out.push_back(c);
            }
        AdjustWithinFamily(out, first, out.size());
    };
    const std::size_t nb = layout.nb;
    // The families the pass summed, in its order.
    const ComparedFamilies& families = layout.compared;
    out.reserve(layout.differences);
    if (families.marginalA)
        family(Factor::A, 0, layout.na, [&](std::size_t i) -> const Moment& { return moments.aRaw[i]; });
    if (families.marginalB)
        family(Factor::B, 0, nb, [&](std::size_t i) -> const Moment& { return moments.bRaw[i]; });
    for (std::size_t b = 0; families.aAtB && b < nb; ++b)
        family(Factor::A, static_cast<std::int32_t>(b + 1), layout.na,
               [&](std::size_t i) -> const Moment& { return moments.cellRaw[i * nb + b]; });
    for (std::size_t a = 0; families.bAtA && a < layout.na; ++a)
        family(Factor::B, static_cast<std::int32_t>(a + 1), nb,
               [&](std::size_t i) -> const Moment& { return moments.cellRaw[a * nb + i]; });
    return out;
}

namespace {

// For each pair: the paired t test from the moments of the subjects'
// differences, and d_av from those of the two levels' scores; exactly from
// the integer sums where the pass has them.
ComparisonResult Paired(const Moment& d, const Moment& first, const Moment& second, std::size_t n,
                        std::optional<Extended> tq, int scale) {
    ComparisonResult c;
    const bool exact = d.exact && first.exact && second.exact && n > 1;
    c.difference = exact ? ExactMean(*d.exact, n, scale) : d.mean;
    c.df = static_cast<std::int64_t>(n) - 1;
    if (n < 2) return c;
    const auto N = static_cast<Extended>(n);
    const Extended sd = exact ? ExactSd(*d.exact, n, scale) : std::sqrt(d.m2 / (N - 1));
    const Extended se = exact ? ExactSe(*d.exact, n, scale) : sd / std::sqrt(N);
    if (tq) c.ci95 = Interval{c.difference - *tq * se, c.difference + *tq * se};
    // Hedges' correction of two samples of N scores each: 1 - 3 / (4 (2 N - 2) - 1).
    const Extended meanSd = exact ? (ExactSd(*first.exact, n, scale) + ExactSd(*second.exact, n, scale)) / 2
                                  : (std::sqrt(first.m2 / (N - 1)) + std::sqrt(second.m2 / (N - 1))) / 2;
    if (meanSd > 0) {
        c.dAv = c.difference / meanSd;
        c.gAv = *c.dAv * (1 - 3 / (8 * N - 9));
    }
    if (!(sd > 0)) return c;
    c.t = exact ? ExactStandardised(*d.exact, n, 1) : c.difference / se;
    c.p = TTwoSided(*c.t, N - 1);
    c.cohenDz = exact ? ExactStandardised(*d.exact, n, static_cast<Int128>(n)) : c.difference / sd;
    return c;
}

}  // namespace
}  // namespace morvane::analysis
