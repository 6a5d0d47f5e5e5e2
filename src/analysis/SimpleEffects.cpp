#include "analysis/detail/AnalysisSteps.h"
#include "analysis/detail/ExactMoments.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/Sphericity.h"

namespace morvane::analysis {
namespace {

SimpleEffectResult OneWay(std::size_t n, std::size_t levels, const std::vector<Extended>& means,
                          const SquareMatrix& cov);
void MakeExact(SimpleEffectResult& r, std::size_t n, const std::vector<const Moment*>& cells,
               const std::vector<Int128>& centred, int scale);

}  // namespace

std::vector<SimpleEffectResult> SimpleEffects(const PassMoments& moments, const Layout& layout, Extended level) {
    const std::size_t n = layout.n, na = layout.na, nb = layout.nb;
    std::vector<SimpleEffectResult> out;
    std::vector<Extended> sliceMeans;
    std::vector<const Moment*> sliceCells;
    const auto slice = [&](Factor effect, std::size_t at, std::size_t levels, const std::vector<SquareMatrix>& cov,
                           const std::vector<std::vector<Int128>>& centred) {
        SimpleEffectResult r = OneWay(n, levels, sliceMeans, n > 1 ? cov[at] : SquareMatrix());
        if (moments.exact && n > 1 && levels > 1) MakeExact(r, n, sliceCells, centred[at], moments.scale);
        r.partialEtaSquaredCI =
            PartialEtaSquaredInterval(r.f, static_cast<Extended>(r.df1), static_cast<Extended>(r.df2), level);
        r.effect = effect;
        r.at = static_cast<std::int32_t>(at + 1);
        out.push_back(r);
    };
    for (std::size_t b = 0; b < nb; ++b) {
        sliceMeans.clear(), sliceCells.clear();
        for (std::size_t a = 0; a < na; ++a) {
            sliceMeans.push_back(moments.cellRaw[a * nb + b].mean);
            sliceCells.push_back(&moments.cellRaw[a * nb + b]);
        }
        slice(Factor::A, b, na, moments.aAtB, moments.aAtBCentred);
    }
    for (std::size_t a = 0; a < na; ++a) {
        sliceMeans.clear(), sliceCells.clear();
        for (std::size_t b = 0; b < nb; ++b) {
            sliceMeans.push_back(moments.cellRaw[a * nb + b].mean);
            sliceCells.push_back(&moments.cellRaw[a * nb + b]);
        }
        slice(Factor::B, a, nb, moments.bAtA, moments.bAtACentred);
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

// For each slice of a pass in integers: its sums of squares from the cells'
// exact totals T_l and the exact diagonal of its integer contrasts,
//   SS = (L sum T_l^2 - (sum T_l)^2) / (L n),  error SS = sum_j C_jj / (n (j + 1)(j + 2)),
// in units of 10^(2 scale), and F and partial eta squared from them, each rounded once.
void MakeExact(SimpleEffectResult& r, std::size_t n, const std::vector<const Moment*>& cells,
               const std::vector<Int128>& centred, int scale) {
    const auto L = static_cast<Int128>(cells.size()), N = static_cast<Int128>(n);
    ExactFraction squares, total;
    for (const Moment* m : cells) {
        if (!m->exact) return;
        const ExactFraction t = ExactTotal(*m->exact, n);
        squares += t * t;
        total += t;
    }
    const ExactFraction ss = (ExactFraction(L) * squares - total * total) / ExactFraction(L * N);
    ExactFraction error;
    for (std::size_t j = 0; j < centred.size(); ++j)
        error += ExactFraction(centred[j], N * static_cast<Int128>((j + 1) * (j + 2)));
    r.ss = CheckFinite(ss.Rounded(2L * scale));
    r.errorSs = CheckFinite(error.Rounded(2L * scale));
    if (r.df1 > 0 && r.df2 > 0 && error.Sign() > 0) {
        r.f = (ss * ExactFraction(r.df2) / (error * ExactFraction(r.df1))).Rounded();
        r.p = FUpperTail(*r.f, static_cast<Extended>(r.df1), static_cast<Extended>(r.df2));
        if (r.ggEpsilon)
            r.ggP = FUpperTail(*r.f, static_cast<Extended>(r.df1) * *r.ggEpsilon,
                               static_cast<Extended>(r.df2) * *r.ggEpsilon);
    }
    const ExactFraction whole = ss + error;
    r.partialEtaSquared = whole.Sign() > 0 ? std::optional<Extended>((ss / whole).Rounded()) : std::nullopt;
}

}  // namespace
}  // namespace morvane::analysis
