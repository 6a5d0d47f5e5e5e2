// The checks beside the model, exact. A subject's residual of a stratum is
// its scores less its between cell's means, averaged over the within
// factors outside the stratum's effect and centred along each of the
// effect's factors ("S": its mean less its between cell's). Taken
// n_g C times over (n_g the subjects of its between cell, C the within
// cells) it is an integer of the scores' unit, R; the sums of their squares
// are exact, and every figure is formed from them:
// - Shapiro and Wilk's W of the residuals R x (1 / (n_g C)) (3 to 5000 of
//   them; none where they are all zero or the stratum has no degrees of
//   freedom);
// - each residual studentized by the leverage its group leaves it: over the
//   root of s^2 (1 - 1/n_g) prod(1 - 1/l_f), s^2 the stratum's sum of squares
//   over its (N - g) prod(l_f - 1) degrees of freedom; R over the root of
//   X_g / D_g with X_g = n_g^2 C^2 SS and D_g = (N - g) n_g prod(l_f) / (n_g - 1),
//   each rounded once (without groups X is the sum of R^2 and D the count of
//   residuals, as the two-way study studentizes them); beyond 3 exactly:
//   R^2 D_g > 9 X_g. The residuals of a group of one subject are zero and not
//   studentized: the Q-Q plot leaves them out and counts them.
// - the subjects with a residual beyond 3 in any stratum, by subject.
// The cells' shapes, Levene's tests and Box's M test are CellChecks.cpp's.

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

#include "anova/detail/CellChecks.h"
#include "anova/detail/CheckPasses.h"
#include "anova/detail/Steps.h"
#include "runtime/Extremes.h"
#include "stats/QuantilePoints.h"
#include "stats/ShapiroWilk.h"
#include "stats/detail/RankSelection.h"

namespace morvane::anova::detail {
namespace {

constexpr std::size_t kMostTested = 5000;
constexpr Extended kOutlying = 3;

// The strata as the pass forms them: each one's within effect (a mask; 0 for
// S), its residuals per subject, and the (stride, levels) of each of its
// factors in its table.
struct StrataShape {
    WithinTables tables;
    std::vector<std::uint32_t> masks;
    std::vector<std::size_t> per;
    std::vector<std::vector<std::pair<std::size_t, std::size_t>>> centring;

    StrataShape(const DesignData& design, const std::vector<Stratum>& strata);
};

// What the pass over the subjects leaves of each stratum; R kept as the
// 64-bit integer it is, or rounded where it is wider.
template <class Kept>
struct StrataPass {
    std::vector<std::vector<mpz_class>> squares;  // [stratum][group]: the sum of R^2
    std::vector<std::vector<Extended>> largest;   // [stratum][subject]: the largest |R|, rounded
    std::vector<std::vector<Kept>> kept;  // [stratum][subject * per + j], where W or the plot reads them
    std::vector<Kept> low, high;          // [stratum]: of those kept of groups of two or more
};
template <class Value>
using KeptOf = std::conditional_t<std::is_same_v<Value, std::int64_t>, std::int64_t, Extended>;

// How a stratum's residuals are studentized, group by group.
struct StratumScale {
    bool studentized = false;
    std::vector<Extended> scale;         // per group: R's standard error (0: a group of one)
    std::vector<mpz_class> left, right;  // per group: beyond 3 when R^2 left > right
    std::vector<Extended> inverse;       // per group: 1 / (n_g C), R's weight for W
};

template <class Value>
class StrataResiduals;
template <class Value>
void CheckStrata(const Inputs& in, const StrataShape& shape, std::vector<Stratum>& strata, Analysis& out);
bool QuickStrata(const Scores& s, std::size_t factors);

}  // namespace

void AddChecks(const Inputs& in, std::vector<Stratum>& strata, Analysis& out) {
    const Scores& s = in.scores;
    if (s.subjects == 0 || s.cells == 0) return;
    const StrataShape shape(in.design, strata);
    if (QuickStrata(s, in.design.within.size()))
        CheckStrata<std::int64_t>(in, shape, strata, out);
    else
        CheckStrata<mpz_class>(in, shape, strata, out);
    out.cellShapes = CellShapesOf(in);
    if (!in.design.between.empty()) out.levene = LeveneTestsOf(in);
    if (!in.design.between.empty() && !in.design.within.empty()) out.boxM = BoxMOf(in);
}

namespace {

StrataShape::StrataShape(const DesignData& design, const std::vector<Stratum>& strata)
    : tables(design.within) {
    for (const Stratum& stratum : strata) {
        std::uint32_t mask = 0;
        for (const std::size_t f : stratum.within) mask |= std::uint32_t{1} << f;
        masks.push_back(mask);
        per.push_back(tables.size[mask]);
        std::vector<std::pair<std::size_t, std::size_t>> steps;
        for (const std::size_t f : stratum.within)
            steps.emplace_back(tables.Stride(mask, f), tables.levels[f]);
        centring.push_back(std::move(steps));
    }
}

// Whether the quick strategy's offsets keep every R within 62 bits and the
// sums of their squares within 125: |R| is at most 2^(k + 1) C n_g bound for
// an effect of k factors.
bool QuickStrata(const Scores& s, std::size_t factors) {
    if (!s.Quick()) return false;
    std::size_t most = 0;
    for (std::size_t g = 0; g < s.order.Groups(); ++g) most = std::max(most, s.order.Size(g));
    const long double r = std::ldexp(1.0L, static_cast<int>(factors) + 1) *
                          static_cast<long double>(s.cells) * static_cast<long double>(most) *
                          static_cast<long double>(std::max<std::int64_t>(s.bound, 1));
    const auto scores = static_cast<long double>(s.subjects) * static_cast<long double>(s.cells);
    return r < 0x1p62L && scores * r * r < 0x1p125L;
}

// The residuals R of a subject, every stratum at once, from its offsets less
// its between cell's mean (each n_g times over).
template <class Value>
class StrataResiduals {
public:
    StrataResiduals(const Scores& s, const StrataShape& shape) : s_(s), shape_(shape), d_(s.cells) {
        const std::size_t cells = s.cells;
        totals_.assign(s.order.Groups() * cells, Value(0));
        for (std::size_t g = 0; g < s.order.Groups(); ++g)
            for (std::size_t r = s.order.start[g]; r < s.order.start[g + 1]; ++r)
                for (std::size_t c = 0; c < cells; ++c)
                    totals_[g * cells + c] += OffsetAt<Value>(s, r * cells + c);
    }

    // The subject of rank r in group g: its residuals of stratum k into out[k].
    void Of(std::size_t r, std::size_t g, std::vector<std::vector<Value>>& out) {
        const std::size_t cells = s_.cells;
        const Value n = static_cast<long>(s_.order.Size(g));
        for (std::size_t c = 0; c < cells; ++c)
            d_[c] = n * OffsetAt<Value>(s_, r * cells + c) - totals_[g * cells + c];
        out.resize(shape_.masks.size());
        const std::uint32_t every = (std::uint32_t{1} << shape_.tables.factors) - 1;
        for (std::size_t k = 0; k < shape_.masks.size(); ++k) {
            std::vector<Value>& a = out[k];
            Marginal(shape_.tables, every, shape_.masks[k], d_.data(), a, scratch_);
            for (const auto& [stride, levels] : shape_.centring[k]) Centre(a, stride, levels, sum_);
        }
    }

private:
    const Scores& s_;
    const StrataShape& shape_;
    std::vector<Value> totals_;  // [group * cells + c]: the group's sum of the offsets
    std::vector<Value> d_, scratch_;
    Value sum_ = 0;
};

// CheckStrata, first: every subject's residuals, their squares' sums by
// group, each subject's largest, and those that W or the plot will read.
template <class Value>
StrataPass<KeptOf<Value>> SumStrata(const Inputs& in, const StrataShape& shape,
                                    StrataResiduals<Value>& residuals) {
    const Scores& s = in.scores;
    const std::size_t strata = shape.masks.size(), groups = s.order.Groups(), n = s.subjects;
    StrataPass<KeptOf<Value>> pass;
    pass.squares.assign(strata, std::vector<mpz_class>(groups, 0));
    pass.largest.assign(strata, std::vector<Extended>(n, 0));
    pass.kept.resize(strata);
    pass.low.assign(strata, 0), pass.high.assign(strata, 0);
    std::vector<bool> seen(strata, false);
    for (std::size_t k = 0; k < strata; ++k)
        if (in.options.quantilePoints || n * shape.per[k] <= kMostTested)
            pass.kept[k].assign(n * shape.per[k], 0);
    std::vector<std::vector<Value>> r;
    std::vector<SumOf<Value>> squares(strata);
    for (std::size_t g = 0; g < groups; ++g) {
        for (SumOf<Value>& q : squares) q = 0;
        for (std::size_t rank = s.order.start[g]; rank < s.order.start[g + 1]; ++rank) {
            const std::size_t subject = s.order.subjects[rank];
            residuals.Of(rank, g, r);
            for (std::size_t k = 0; k < strata; ++k) {
                Value most = 0;
                for (const Value& v : r[k]) {
                    squares[k] += SumOf<Value>(v) * v;
                    const Value m = Magnitude(v);
                    if (most < m) most = m;
                }
                pass.largest[k][subject] = ExtendedOf(most);
                if (pass.kept[k].empty()) continue;
                KeptOf<Value>* kept = &pass.kept[k][subject * shape.per[k]];
                for (std::size_t j = 0; j < r[k].size(); ++j) {
                    if constexpr (std::is_same_v<Value, std::int64_t>)
                        kept[j] = r[k][j];
                    else
                        kept[j] = ExtendedOf(r[k][j]);
                }
                if (s.order.Size(g) < 2) continue;
                const auto [low, high] = Extremes(kept, r[k].size());
                pass.low[k] = seen[k] && pass.low[k] < low ? pass.low[k] : low;
                pass.high[k] = seen[k] && high < pass.high[k] ? pass.high[k] : high;
                seen[k] = true;
            }
        }
        for (std::size_t k = 0; k < strata; ++k) pass.squares[k][g] = Big(squares[k]);
    }
    return pass;
}

// CheckStrata, second: how each group's residuals of stratum k are studentized.
template <class Kept>
StratumScale ScaleOf(const Scores& s, const StrataShape& shape, const StrataPass<Kept>& pass, std::size_t k) {
    const std::size_t groups = s.order.Groups();
    StratumScale out;
    out.inverse.assign(groups, 0);
    std::int64_t filled = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t n = s.order.Size(g);
        if (n > 0) ++filled, out.inverse[g] = 1 / static_cast<Extended>(n * s.cells);
    }
    std::int64_t df = static_cast<std::int64_t>(s.subjects) - filled;
    for (const auto& [stride, levels] : shape.centring[k]) df *= static_cast<std::int64_t>(levels) - 1;
    // The sum over the groups of R^2 / n_g^2 (the stratum's sum of squares over C^2).
    mpq_class weighted = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        const auto n = static_cast<std::int64_t>(s.order.Size(g));
        if (n == 0) continue;
        mpq_class part(pass.squares[k][g], Big(n * n));
        part.canonicalize();
        weighted += part;
    }
    out.studentized = df >= 1 && weighted != 0;
    if (!out.studentized) return out;
    out.scale.assign(groups, 0);
    out.left.assign(groups, 0), out.right.assign(groups, 0);
    const auto residuals = static_cast<std::int64_t>(shape.per[k]);
    const std::int64_t freedom = static_cast<std::int64_t>(s.subjects) - filled;
    for (std::size_t g = 0; g < groups; ++g) {
        const auto n = static_cast<std::int64_t>(s.order.Size(g));
        if (n < 2) continue;
        mpq_class x = weighted * Big(n * n);
        const mpz_class top = Big(freedom) * Big(n) * Big(residuals);
        mpq_class d(top, Big(n - 1));
        x.canonicalize(), d.canonicalize();
        out.scale[g] = std::sqrt(ExtendedOf(x) / ExtendedOf(d));
        out.left[g] = d.get_num() * x.get_den();
        out.right[g] = 9 * x.get_num() * d.get_den();
        // Residuals whose squares leave the extended range studentize nothing.
        if (!std::isfinite(out.scale[g]) || !(out.scale[g] > 0)) out.studentized = false;
    }
    return out;
}

// CheckStrata, third: stratum k's test, largest studentized residual and
// Q-Q points from the pass.
template <class Kept>
void FillStratum(const Inputs& in, const StrataShape& shape, const StrataPass<Kept>& pass,
                 const StratumScale& scale, std::size_t k, Stratum& out) {
    const DesignData& design = in.design;
    const std::size_t n = in.scores.subjects, per = shape.per[k], count = n * per;
    const std::vector<Kept>& kept = pass.kept[k];
    const auto group = [&](std::size_t s) { return static_cast<std::size_t>(design.group[s]); };
    out.residuals = static_cast<std::int64_t>(count);
    std::vector<Extended> tested;
    if (scale.studentized && count <= kMostTested)
        for (std::size_t i = 0; i < count; ++i)
            tested.push_back(static_cast<Extended>(kept[i]) * scale.inverse[group(i / per)]);
    out.normality = ShapiroWilk(std::move(tested));
    for (std::optional<Extended>* v : {&out.normality.w, &out.normality.p})
        if (*v && !std::isfinite(**v)) v->reset();
    out.normality.count = count;
    out.normality.inRange = count >= 3 && count <= kMostTested;
    if (!scale.studentized) return;
    Extended largest = 0;
    for (std::size_t s = 0; s < n; ++s)
        if (scale.scale[group(s)] > 0)
            largest = std::max(largest, pass.largest[k][s] / scale.scale[group(s)]);
    if (std::isfinite(largest)) out.largestStudentized = largest;
    if (!in.options.quantilePoints) return;
    // The plotted residuals, those of groups of more than one subject.
    std::size_t plotted = 0;
    bool one = true;  // one scale for all of them
    Extended common = 0;
    for (std::size_t s = 0; s < n; ++s) {
        const Extended e = scale.scale[group(s)];
        if (!(e > 0)) continue;
        plotted += per, one = one && (common == 0 || e == common), common = e;
    }
    out.unplotted = static_cast<std::int64_t>(count - plotted);
    if (plotted == 0) return;
    if (one) {
        // Chosen by R itself (studentizing keeps its order), then studentized.
        const auto forEach = [&](auto&& visit) {
            if (plotted == count) {
                for (const Kept v : kept) visit(v);
                return;
            }
            for (std::size_t s = 0; s < n; ++s)
                if (scale.scale[group(s)] > 0)
                    for (std::size_t j = 0; j < per; ++j) visit(kept[s * per + j]);
        };
        out.quantiles =
            morvane::detail::QuantilePointsFrom(forEach, plotted, pass.low[k], pass.high[k], common);
        return;
    }
    std::vector<Extended> t;
    t.reserve(plotted);
    Extended low = std::numeric_limits<Extended>::infinity(), high = -low;
    for (std::size_t s = 0; s < n; ++s) {
        const Extended e = scale.scale[group(s)];
        if (!(e > 0)) continue;
        for (std::size_t j = 0; j < per; ++j) {
            const Extended v = static_cast<Extended>(kept[s * per + j]) / e;
            t.push_back(v), low = std::min(low, v), high = std::max(high, v);
        }
    }
    if (std::isfinite(low) && std::isfinite(high)) out.quantiles = QuantilePointsOf(std::move(t), low, high);
}

// Whether R, a residual of group g, is beyond 3 studentized: by its rounded
// value where that is clear, else exactly.
template <class Value>
bool Beyond(const Value& r, Extended t, const StratumScale& scale, std::size_t g) {
    constexpr Extended margin = 0x1p-40L;
    if (t > kOutlying * (1 + margin)) return true;
    if (t < kOutlying * (1 - margin)) return false;
    const mpz_class big = Big(r);
    return big * big * scale.left[g] > scale.right[g];
}

// CheckStrata, last: the subjects whose largest residual of some stratum
// may be beyond 3, their residuals formed again and counted exactly.
template <class Value, class Kept>
void FindOutlying(const Inputs& in, const StrataPass<Kept>& pass, const std::vector<StratumScale>& scales,
                  StrataResiduals<Value>& residuals, std::vector<Stratum>& strata, Analysis& out) {
    const Scores& s = in.scores;
    std::vector<std::size_t> rank(s.subjects);
    for (std::size_t r = 0; r < s.subjects; ++r) rank[s.order.subjects[r]] = r;
    std::vector<std::vector<Value>> r;
    for (std::size_t subject = 0; subject < s.subjects; ++subject) {
        const auto g = static_cast<std::size_t>(in.design.group[subject]);
        bool candidate = false;
        for (std::size_t k = 0; k < scales.size() && !candidate; ++k)
            candidate = scales[k].studentized && scales[k].scale[g] > 0 &&
                        pass.largest[k][subject] / scales[k].scale[g] > kOutlying * (1 - 0x1p-30L);
        if (!candidate) continue;
        residuals.Of(rank[subject], g, r);
        OutlyingSubject o;
        o.subject = subject;
        for (std::size_t k = 0; k < scales.size(); ++k) {
            if (!scales[k].studentized || !(scales[k].scale[g] > 0)) continue;
            bool any = false;
            for (const Value& v : r[k]) {
                const Extended t = ExtendedOf(v) / scales[k].scale[g];
                if (!Beyond(v, std::fabs(t), scales[k], g)) continue;
                ++strata[k].beyond3, any = true;
                if (std::fabs(t) > std::fabs(o.largest)) o.largest = t;
            }
            if (any) o.strata.push_back(k);
        }
        if (o.strata.empty()) continue;
        ++out.outlyingSubjects;
        if (out.outlying.size() < kOutlyingListed) out.outlying.push_back(std::move(o));
    }
}

template <class Value>
void CheckStrata(const Inputs& in, const StrataShape& shape, std::vector<Stratum>& strata, Analysis& out) {
    StrataResiduals<Value> residuals(in.scores, shape);
    StrataPass<KeptOf<Value>> pass = SumStrata(in, shape, residuals);
    std::vector<StratumScale> scales;
    for (std::size_t k = 0; k < strata.size(); ++k) {
        scales.push_back(ScaleOf(in.scores, shape, pass, k));
        FillStratum(in, shape, pass, scales.back(), k, strata[k]);
        std::vector<KeptOf<Value>>().swap(pass.kept[k]);
    }
    FindOutlying(in, pass, scales, residuals, strata, out);
}

}  // namespace
}  // namespace morvane::anova::detail
