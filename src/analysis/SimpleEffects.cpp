#include "analysis/AnalysisSteps.h"
#include "stats/Distributions.h"
#include "stats/Sphericity.h"

namespace morvane::anova {
namespace {

SimpleEffectResult OneWay(std::size_t n, std::size_t levels, const std::vector<Extended>& means,
                          const SquareMatrix& cov);

}  // namespace

std::vector<SimpleEffectResult> SimpleEffects(const Summary& summary, const Shape& shape) {
    const std::size_t n = shape.n, na = shape.na, nb = shape.nb;
    std::vector<SimpleEffectResult> out;
    std::vector<Extended> sliceMeans;
    const auto slice = [&](Factor effect, std::size_t at, std::size_t levels,
                           const std::vector<SquareMatrix>& cov) {
        SimpleEffectResult r = OneWay(n, levels, sliceMeans, n > 1 ? cov[at] : SquareMatrix());
        r.effect = effect;
        r.at = static_cast<std::int32_t>(at + 1);
        out.push_back(r);
    };
    for (std::size_t b = 0; b < nb; ++b) {
        sliceMeans.clear();
        for (std::size_t a = 0; a < na; ++a) sliceMeans.push_back(summary.cellRaw[a * nb + b].mean);
        slice(Factor::A, b, na, summary.aAtB);
    }
    for (std::size_t a = 0; a < na; ++a) {
        sliceMeans.clear();
        for (std::size_t b = 0; b < nb; ++b) sliceMeans.push_back(summary.cellRaw[a * nb + b].mean);
        slice(Factor::B, a, nb, summary.bAtA);
    }
    return out;
}

namespace {

// For each slice: a one-way within-subjects analysis of its `levels` cells from
// their means and the covariance of their orthonormal contrasts over n
// subjects; the error sum of squares is (n - 1) times that covariance's trace.
SimpleEffectResult OneWay(std::size_t n, std::size_t levels, const std::vector<Extended>& means,
                          const SquareMatrix& cov) {
    SimpleEffectResult r;
    Extended grand = 0;
    for (Extended v : means) grand += v;
    grand /= static_cast<Extended>(levels);
    for (Extended v : means) r.ss += (v - grand) * (v - grand);
    r.ss = CheckFinite(r.ss * static_cast<Extended>(n));
    r.df1 = static_cast<std::int64_t>(levels) - 1;
    r.df2 = r.df1 * (static_cast<std::int64_t>(n) - 1);
    if (n > 1 && levels > 1) {
        r.errorSs = CheckFinite(cov.Trace() * static_cast<Extended>(n - 1));
        if (levels > 2) r.ggEpsilon = GreenhouseGeisserEpsilon(cov);
    }
    if (r.df1 > 0 && r.df2 > 0 && r.errorSs > 0) {
        r.f = (r.ss / static_cast<Extended>(r.df1)) / (r.errorSs / static_cast<Extended>(r.df2));
        r.p = FUpperTail(*r.f, static_cast<Extended>(r.df1), static_cast<Extended>(r.df2));
        if (r.ggEpsilon)
            r.ggP = FUpperTail(*r.f, static_cast<Extended>(r.df1) * *r.ggEpsilon,
                               static_cast<Extended>(r.df2) * *r.ggEpsilon);
    }
    // With one subject the error is zero by construction: no effect size.
    if (n > 1) r.partialEtaSquared = Ratio(r.ss, r.ss + r.errorSs);
    return r;
}

}  // namespace
}  // namespace morvane::anova
