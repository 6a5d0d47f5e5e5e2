// The model of any design, exact: each subject's cells taken to the integer
// basis of the within cells (detail/Basis.h), the group by group means of
// every coordinate and the cross products of each within effect's block
// summed exactly (detail/FollowUps.h); the between effects' hypotheses as exact
// rationals (detail/Hypotheses.h); every sum of squares, mean square, F and
// eta squared formed exactly and rounded once. Sphericity from the
// orthonormal covariance E / (N - g), each entry a correctly rounded root of
// an exact rational; the multivariate tests from H and E so rounded.

#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>

#include "anova/detail/Basis.h"
#include "anova/detail/FollowUps.h"
#include "anova/detail/Hypotheses.h"
#include "anova/detail/Steps.h"
#include "exact/WideIntegers.h"
#include "runtime/Errors.h"
#include "runtime/ShownText.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/Sphericity.h"

namespace morvane::anova::detail {
namespace {

// The most contrasts of an effect whose whole matrices (for its sphericity and
// multivariate tests) are summed and tested, and the work and memory they may
// take: the subjects times their entries, and the between cells times their
// entries (each an exact rational).
constexpr Extended kMostWholeContrasts = 256;
constexpr Extended kMostContrastWork = 4e9L;
constexpr Extended kMostExactEntries = Extended{1 << 22};

// One between cell's figures of the basis, in the integers' unit: its
// subjects' means of every coordinate, and per effect mask the sums of
// squares and cross products of that effect's coordinates about their means
// (k x k row-major, or the k squares alone where not summed whole).
struct GroupFigures {
    std::int64_t n = 0;
    std::vector<mpq_class> mean;
    std::vector<std::vector<mpq_class>> within;
};

// The exact figures of one effect, before rounding, in the integers' unit.
struct ExactEffect {
    std::uint32_t between = 0, within = 0;
    mpq_class ss, errorSs;
    std::int64_t df = 0, errorDf = 0;
    // The subjects: a between effect's partial omega squared's N (see AddEffectSizes).
    std::int64_t units = 0;
    RationalMatrix h;  // within effects: on the effect's integer contrasts
    bool omitted = false;  // its between term's hypothesis is beyond the solve's limit
};

// One within effect's error: the pooled within-cell cross products of its
// contrasts, and the between cells' means of them.
struct WithinError {
    RationalMatrix e, means;
    mpq_class ss;  // sum of e's diagonal over the contrasts' squared lengths
};

std::vector<GroupFigures> SumModel(const Inputs& in, const WithinBasis& basis);
void TestEffects(const Inputs& in, const WithinBasis& basis, const std::vector<GroupFigures>& groups,
                 const mpq_class& total, Analysis& out);
mpq_class TotalOf(const std::vector<GroupFigures>& groups, const WithinBasis& basis);
PartitionSource Source(const mpq_class& ss, std::int64_t df, const mpq_class& unit2);
mpq_class BetweenSubjects(const std::vector<GroupFigures>& groups, const WithinBasis& basis);

}  // namespace

void AddModel(const Inputs& in, Analysis& out) {
    WithinBasis basis(in.design.within);
    const auto n = static_cast<Extended>(in.design.Subjects()), g = static_cast<Extended>(in.design.Groups());
    for (std::size_t m = 0; m < basis.of.size(); ++m) {
        const auto k = static_cast<Extended>(basis.of[m].size());
        basis.whole[m] =
            k <= kMostWholeContrasts && n * k * k <= kMostContrastWork && g * k * k <= kMostExactEntries;
    }
    const std::vector<GroupFigures> groups = SumModel(in, basis);
    const mpq_class total = TotalOf(groups, basis), unit2 = in.scores.unit * in.scores.unit;
    TestEffects(in, basis, groups, total, out);
    if (!in.options.meansOnly) AddPowerProgramsF(in, out);
    const auto scores = static_cast<std::int64_t>(in.design.Subjects() * in.design.Cells());
    out.total = Source(total, std::max<std::int64_t>(scores - 1, 0), unit2);
    out.total.ms.reset();  // no reader is given the total's mean square
    out.withinSubjects = Source(total - BetweenSubjects(groups, basis),
                                scores - static_cast<std::int64_t>(in.design.Subjects()), unit2);
    out.withinSubjects.ms.reset();
}

namespace {

// SumModel's values: each subject's row taken to the basis, its coordinates
// laid out effect by effect (the masks in order, each effect's in its order).
class BasisValues {
public:
    explicit BasisValues(const WithinBasis& basis) : basis_(basis) {
        for (const std::vector<std::size_t>& idx : basis.of) order_.insert(order_.end(), idx.begin(), idx.end());
    }
    // The blocks of the values: an effect summed whole is one block of its
    // coordinates, another's coordinates are each alone.
    Blocks Layout() const {
        std::vector<std::size_t> sizes;
        for (std::size_t m = 0; m < basis_.of.size(); ++m) {
            const std::size_t k = basis_.of[m].size();
            if (basis_.whole[m])
                sizes.push_back(k);
            else
                sizes.insert(sizes.end(), k, 1);
        }
        return Blocks(sizes);
    }
    // Value i is coordinate Coordinate(i) of the basis.
    std::size_t Coordinate(std::size_t i) const { return order_[i]; }

    template <class Row, class T>
    void operator()(const Row* row, T* out) {
        std::vector<T>& z = Scratch<T>();
        z.assign(row, row + basis_.cells);
        ToBasis(basis_, z.data(), Line<T>());
        for (std::size_t i = 0; i < order_.size(); ++i) out[i] = z[order_[i]];
    }

private:
    template <class T>
    std::vector<T>& Scratch() {
        if constexpr (std::is_same_v<T, mpz_class>)
            return wide_;
        else
            return narrow_;
    }
    template <class T>
    std::vector<T>& Line() {
        if constexpr (std::is_same_v<T, mpz_class>)
            return wideLine_;
        else
            return narrowLine_;
    }

    const WithinBasis& basis_;
    std::vector<std::size_t> order_;
    std::vector<std::int64_t> narrow_, narrowLine_;
    std::vector<mpz_class> wide_, wideLine_;
};

// AddModel, first: each group's means of the coordinates and each effect's
// cross products, in one pass over the subjects: each subject's row taken to
// the basis once, its coordinates summed in blocks of subjects.
std::vector<GroupFigures> SumModel(const Inputs& in, const WithinBasis& basis) {
    const std::size_t groups = in.scores.order.Groups(), cells = in.scores.cells, masks = basis.of.size();
    BasisValues values(basis);
    const Summed sums = SumValues(in.scores, values.Layout(), std::vector<std::int64_t>(cells, 1),
                                  basis.Growth(), values);
    std::vector<GroupFigures> out(groups);
    for (std::size_t g = 0; g < groups; ++g) {
        GroupFigures& f = out[g];
        f.n = sums.Size(g);
        f.mean.assign(cells, 0);
        f.within.resize(masks);
        for (std::size_t i = 0; i < cells; ++i)
            f.mean[values.Coordinate(i)] = f.n > 0 ? sums.Mean(g, i) : mpq_class(sums.reference[i]);
        for (std::size_t m = 0, first = 0; m < masks; first += basis.of[m].size(), ++m) {
            const std::size_t k = basis.of[m].size();
            std::vector<mpq_class>& within = f.within[m];
            within.assign(basis.whole[m] ? k * k : k, 0);
            for (std::size_t i = 0; i < k && f.n > 0; ++i)
                for (std::size_t j = basis.whole[m] ? 0 : i; j < (basis.whole[m] ? k : i + 1); ++j)
                    within[basis.whole[m] ? i * k + j : i] = Ratio(sums.Centred(g, first + i, first + j), f.n);
        }
    }
    return out;
}

// The i-th diagonal entry of an effect's matrix, whole (k x k) or its diagonal alone (k x 1).
const mpq_class& Diagonal(const RationalMatrix& m, std::size_t i) {
    return m.cols == m.rows ? m(i, i) : m(i, 0);
}

WithinError ErrorOf(const std::vector<GroupFigures>& groups, const WithinBasis& basis, std::uint32_t mask) {
    const std::vector<std::size_t>& idx = basis.of[mask];
    const std::size_t k = idx.size(), g = groups.size();
    WithinError out{RationalMatrix(k, basis.whole[mask] ? k : 1), RationalMatrix(g, k), 0};
    for (std::size_t c = 0; c < g; ++c) {
        const GroupFigures& group = groups[c];
        for (std::size_t i = 0; i < out.e.at.size() && i < group.within[mask].size(); ++i)
            out.e.at[i] += group.within[mask][i];
        for (std::size_t i = 0; i < k; ++i) out.means(c, i) = group.mean[idx[i]];
    }
    for (std::size_t i = 0; i < k; ++i) out.ss += Diagonal(out.e, i) / basis.squaredLength[idx[i]];
    return out;
}

// The term's hypothesis matrix of the effect's contrasts: whole, or its
// diagonal alone (each contrast on its own) where the effect is not summed
// whole; none where the term's solve is beyond its limit.
std::optional<RationalMatrix> HypothesisOf(const BetweenCells& cells, std::uint32_t term, const WithinError& error,
                                           bool whole, SsType type) {
    if (whole) return TermHypothesis(cells, term, error.means, type);
    const std::size_t k = error.means.cols, g = error.means.rows;
    RationalMatrix diagonal(k, 1), column(g, 1);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t c = 0; c < g; ++c) column(c, 0) = error.means(c, i);
        std::optional<RationalMatrix> h = TermHypothesis(cells, term, column, type);
        if (!h) return std::nullopt;
        diagonal(i, 0) = h->at.front();
    }
    return diagonal;
}

mpq_class NormalisedTrace(const RationalMatrix& h, const WithinBasis& basis, std::uint32_t mask) {
    mpq_class out = 0;
    for (std::size_t i = 0; i < h.rows; ++i) out += Diagonal(h, i) / basis.squaredLength[basis.of[mask][i]];
    return out;
}

// A matrix of the effect's contrasts (k x k) as the orthonormal contrasts
// have it, in the scores' unit squared, divided by `divisor`: each entry
// rounded once.
// Each entry is the root of x^2 unit^4 / (divisor^2 L_i L_j), its terms
// multiplied out as they are (the root takes any terms).
SquareMatrix Orthonormal(const RationalMatrix& m, const WithinBasis& basis, std::uint32_t mask,
                         const mpq_class& divisor, const mpq_class& unit) {
    const std::vector<std::size_t>& idx = basis.of[mask];
    const std::size_t k = idx.size();
    SquareMatrix out(k);
    const mpq_class unit2 = unit * unit;
    const mpz_class top = unit2.get_num() * unit2.get_num() * divisor.get_den() * divisor.get_den(),
                    bottom = unit2.get_den() * unit2.get_den() * divisor.get_num() * divisor.get_num();
    mpz_class num, den;
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = i; j < k; ++j) {
            const mpq_class& x = m(i, j);
            mpz_mul(num.get_mpz_t(), x.get_num_mpz_t(), x.get_num_mpz_t());
            mpz_mul(num.get_mpz_t(), num.get_mpz_t(), top.get_mpz_t());
            mpz_mul(den.get_mpz_t(), x.get_den_mpz_t(), x.get_den_mpz_t());
            mpz_mul(den.get_mpz_t(), den.get_mpz_t(), bottom.get_mpz_t());
            mpz_mul(den.get_mpz_t(), den.get_mpz_t(), basis.squaredLength[idx[i]].get_mpz_t());
            mpz_mul(den.get_mpz_t(), den.get_mpz_t(), basis.squaredLength[idx[j]].get_mpz_t());
            out(i, j) = out(j, i) = RoundedRoot(num, den, sgn(x));
        }
    return out;
}

// A divisor for Orthonormal whose matrix is used only through figures that a
// common factor leaves alone (epsilons, Mauchly's W, the multivariate tests):
// `divisor` times the power of two that brings the largest diagonal entry near
// 1 when it would otherwise fall outside the extended type's range (scores
// near 1e-4000 have covariances near 1e-8000). A power of two changes no
// digit of an entry, and inside the range `divisor` is returned as it is.
mpq_class RangeFreeDivisor(const RationalMatrix& m, const WithinBasis& basis, std::uint32_t mask,
                           const mpq_class& divisor, const mpq_class& unit) {
    constexpr long kSafeBits = 8192;  // well inside the type's 2^±16382
    const std::vector<std::size_t>& idx = basis.of[mask];
    const auto bits = [](const mpz_class& z) { return static_cast<long>(mpz_sizeinbase(z.get_mpz_t(), 2)); };
    const mpq_class unit2 = unit * unit;
    const long fixed =
        bits(unit2.get_num()) - bits(unit2.get_den()) - bits(divisor.get_num()) + bits(divisor.get_den());
    std::optional<long> largest;
    for (std::size_t i = 0; i < idx.size(); ++i) {
        const mpq_class& x = m(i, i);
        if (x == 0) continue;
        const long size = bits(x.get_num()) - bits(x.get_den()) + fixed - bits(basis.squaredLength[idx[i]]);
        largest = std::max(largest.value_or(size), size);
    }
    if (!largest || std::abs(*largest) < kSafeBits) return divisor;
    mpq_class scaled = divisor;
    if (*largest > 0)
        mpq_mul_2exp(scaled.get_mpq_t(), scaled.get_mpq_t(), static_cast<mp_bitcnt_t>(*largest));
    else
        mpq_div_2exp(scaled.get_mpq_t(), scaled.get_mpq_t(), static_cast<mp_bitcnt_t>(-*largest));
    return scaled;
}

std::vector<std::size_t> Bits(std::uint32_t mask, std::size_t count) {
    std::vector<std::size_t> out;
    for (std::size_t f = 0; f < count; ++f)
        if (mask >> f & 1u) out.push_back(f);
    return out;
}

bool Observed(const Effect& effect, const DesignData& design, const Options& options) {
    const auto named = [&](const std::string& name) {
        return std::find(options.observed.begin(), options.observed.end(), name) != options.observed.end();
    };
    for (const std::size_t f : effect.between)
        if (named(design.between[f].name)) return true;
    for (const std::size_t f : effect.within)
        if (named(design.within[f].name)) return true;
    return false;
}

PartitionSource Source(const mpq_class& ss, std::int64_t df, const mpq_class& unit2) {
    PartitionSource s;
    s.ss = Rounded(ss * unit2);
    s.df = df;
    s.zero = ss == 0;
    s.belowRange = !s.zero && s.ss == 0;
    if (df > 0 && !s.belowRange) s.ms = Rounded(ss * unit2 / df);
    return s;
}

// The effect sizes the outputs show on request, from the exact sums (in the
// integers' unit squared, which each ratio cancels), each rounded once:
// - eta squared, SS_effect / SS_total;
// - partial omega squared, Olejnik and Algina's (2003) with the effect's own
//   error term MSE = SS_error / df_error. A between effect's error is the
//   subjects within groups, and with N the subjects
//     (SS - df MSE) / (SS + (N - df) MSE):
//   SS - df MSE estimates N sigma^2_effect (the SS less what the error alone
//   gives it) and MSE sigma^2_error, so this is sigma^2_effect over
//   sigma^2_effect + sigma^2_error. A within effect's error is its stratum's,
//   and the subjects' variance is kept in the divisor, as a within effect
//   leaves it in every score:
//     (SS - df MSE) / (SS + SS_error + SS_subjects + MS_subjects),
//   SS_subjects and MS_subjects those of the subjects within groups.
//   Not clamped at 0: negative where F < 1;
// - Cohen's f from partial eta squared, sqrt(eta_p^2 / (1 - eta_p^2)),
//   which is sqrt(SS / SS_error).
// Each absent where the error has no df or its divisor is not positive.
void AddEffectSizes(const ExactEffect& x, const mpq_class& total, const mpq_class& subjectsSs, std::int64_t nu,
                    Effect& out) {
    if (x.df < 1 || x.errorDf < 1 || nu < 1) return;
    if (total > 0) out.etaSquared = Rounded(x.ss / total);
    const mpq_class mse = x.errorSs / x.errorDf;
    const mpq_class divisor = x.within == 0 ? mpq_class(x.ss + (x.units - x.df) * mse)
                                             : mpq_class(x.ss + x.errorSs + subjectsSs + subjectsSs / nu);
    if (divisor > 0) out.partialOmegaSquared = Rounded((x.ss - x.df * mse) / divisor);
    if (x.errorSs > 0) out.cohensF = RoundedRoot(x.ss / x.errorSs);
}

// TestEffects, last: each effect's generalized omega squared (Olejnik and
// Algina 2003), generalized eta squared with every variance estimated from
// the mean squares. An effect's variance is estimated by SS - df MSE (its SS
// less what its error term alone gives it); the subjects' and errors' by every
// stratum's SS, plus df MSE of each effect tested on it, plus MS_S, which is
// N MS of each stratum (N (l - 1) ... for a within one):
//   (SS - df MSE) / (d (SS - df MSE) + sum over measured effects m (SS_m - df_m MSE_m)
//                    + sum of the strata's SS + sum over every effect j of df_j MSE_j + MS_S),
// d 1 for an effect of manipulated factors alone, else 0 (it is among the
// measured ones). Without factors measured, a design of one within factor
// gives (SS - df MSE) / (SS_total + MS_S), and one of one between factor
// (SS - df MSE) / (SS_total + MSE). Not clamped at 0; absent where an error
// has no df or the divisor is not positive.
void AddGeneralizedOmegaSquared(const std::vector<ExactEffect>& exact, const std::vector<bool>& observed,
                                const mpq_class& errors, const mpq_class& subjectsSs, std::int64_t nu,
                                std::vector<Effect>& out) {
    if (nu < 1) return;
    mpq_class base = errors + subjectsSs / nu, measured = 0;
    std::vector<mpq_class> estimate;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        const ExactEffect& x = exact[i];
        if (x.df < 1 || x.errorDf < 1) return;
        const mpq_class dfMse = x.df * x.errorSs / x.errorDf;
        base += dfMse;
        estimate.push_back(x.ss - dfMse);
        if (observed[i]) measured += estimate.back();
    }
    for (std::size_t i = 0; i < exact.size(); ++i) {
        const mpq_class divisor = base + measured + (observed[i] ? mpq_class(0) : estimate[i]);
        if (divisor > 0) out[i].generalizedOmegaSquared = Rounded(estimate[i] / divisor);
    }
}

// The effect's univariate figures from its exact sums: F, p, the effect sizes.
void TestUnivariate(const ExactEffect& x, const mpq_class& errors, const mpq_class& observedSs, bool observed,
                    const mpq_class& unit2, Extended level, Effect& out) {
    out.effect = Source(x.ss, x.df, unit2);
    out.error = Source(x.errorSs, x.errorDf, unit2);
    const auto df1 = static_cast<Extended>(x.df), df2 = static_cast<Extended>(x.errorDf);
    if (x.df > 0 && x.errorDf > 0 && x.errorSs != 0) {
        out.f = Rounded((x.ss / x.df) / (x.errorSs / x.errorDf));
        out.p = FUpperTail(*out.f, df1, df2);
    }
    if (x.df < 1 || x.errorDf < 1) return;
    const mpq_class whole = x.ss + x.errorSs;
    if (whole > 0) {
        out.partialEtaSquared = Rounded(x.ss / whole);
        out.partialEtaSquaredCI = PartialEtaSquaredInterval(out.f, df1, df2, level);
        if (x.df == 1 || x.within == 0) out.partialEtaSquaredCIGG = out.partialEtaSquaredCI;
    }
    // Olejnik and Algina: every error stratum, and every measured factor's
    // effects but this one, in the divisor.
    const mpq_class generalized = x.ss + errors + observedSs - (observed ? x.ss : mpq_class(0));
    if (generalized > 0) out.generalizedEtaSquared = Rounded(x.ss / generalized);
}

// A within effect's sphericity test and multivariate test from its error and
// hypothesis matrices, and the interval of partial eta squared on the
// Greenhouse-Geisser degrees of freedom.
void TestWithin(const ExactEffect& x, const WithinError& error, const WithinBasis& basis, std::int64_t nu,
                const mpq_class& unit, const std::optional<SphericityTest>& sphericity, Extended level,
                Effect& out) {
    const std::size_t k = basis.of[x.within].size();
    out.multivariate = MultivariateTest{};
    out.multivariate->variables = k;
    out.multivariate->hypothesisDf =
        static_cast<Extended>(x.df / std::max<std::int64_t>(1, static_cast<std::int64_t>(k)));
    out.multivariate->errorDf = static_cast<Extended>(std::max<std::int64_t>(nu, 0));
    if (k == 0) return;  // a factor of one level: no effect
    if (k == 1) {
        // One contrast: the multivariate test is the univariate F test.
        out.multivariate->status = MultivariateStatus::OneDf;
        return;
    }
    if (!basis.whole[x.within]) {
        out.sphericityOmitted = k > 1;
        out.multivariate->status = MultivariateStatus::Omitted;
        return;
    }
    if (sphericity) {
        out.sphericity = CorrectedSphericity(*sphericity, out.effect.df, out.error.df, out.f);
        const Correction& gg = out.sphericity->greenhouseGeisser;
        if (out.partialEtaSquared && gg.df1 && gg.df2)
            out.partialEtaSquaredCIGG = PartialEtaSquaredInterval(out.f, *gg.df1, *gg.df2, level);
    }
    if (nu < static_cast<std::int64_t>(k) || nu < 1 || x.df < 1) {
        out.multivariate->status = MultivariateStatus::TooFewSubjects;
        return;
    }
    const mpq_class divisor = RangeFreeDivisor(error.e, basis, x.within, 1, unit);
    const SquareMatrix h = Orthonormal(x.h, basis, x.within, divisor, unit);
    const SquareMatrix e = Orthonormal(error.e, basis, x.within, divisor, unit);
    out.multivariate = TestMultivariate(h, e, out.multivariate->hypothesisDf, static_cast<Extended>(nu));
}

// TestEffects, last: the figures of each effect whose hypothesis was left out
// cleared, all but its df and its error; and where such an effect is of a
// measured factor, every effect's generalized eta and omega squared, whose
// divisors would need its sum of squares.
void LeaveOut(const std::vector<ExactEffect>& exact, const std::vector<bool>& observed, std::vector<Effect>& out) {
    bool measured = false;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        if (!exact[i].omitted) continue;
        measured = measured || observed[i];
        Effect& e = out[i];
        e.hypothesisOmitted = true;
        e.effect.ss = 0, e.effect.zero = false, e.effect.belowRange = false, e.effect.ms.reset();
        e.f.reset(), e.p.reset(), e.partialEtaSquared.reset(), e.generalizedEtaSquared.reset();
        e.etaSquared.reset(), e.partialOmegaSquared.reset(), e.cohensF.reset();
        e.generalizedOmegaSquared.reset(), e.partialEtaSquaredCI.reset(), e.partialEtaSquaredCIGG.reset();
        if (e.sphericity)
            for (Correction* c : {&e.sphericity->greenhouseGeisser, &e.sphericity->huynhFeldt,
                                  &e.sphericity->lowerBound})
                c->p.reset();
        if (e.multivariate && e.multivariate->status != MultivariateStatus::OneDf) {
            MultivariateTest left;
            left.status = MultivariateStatus::Omitted;
            left.variables = e.multivariate->variables;
            left.hypothesisDf = e.multivariate->hypothesisDf;
            left.errorDf = e.multivariate->errorDf;
            e.multivariate = left;
        }
    }
    if (!measured) return;
    for (Effect& e : out) e.generalizedEtaSquared.reset(), e.generalizedOmegaSquared.reset();
}

// AddModel, second: the exact sums of every effect in the order of the table
// (the between effects on the subjects' sums, then each within effect and its
// interactions with the between effects), then each named, rounded and tested.
void TestEffects(const Inputs& in, const WithinBasis& basis, const std::vector<GroupFigures>& groups,
                 const mpq_class& total, Analysis& out) {
    const DesignData& design = in.design;
    BetweenCells cells;
    for (const DesignFactor& f : design.between) cells.levels.push_back(f.levels.size());
    for (const GroupFigures& g : groups) cells.counts.push_back(g.n);
    const bool subjects = design.Subjects() > 0;
    const auto nu = std::max<std::int64_t>(
        static_cast<std::int64_t>(design.Subjects()) - static_cast<std::int64_t>(groups.size()), 0);
    const mpq_class unit2 = in.scores.unit * in.scores.unit;

    const std::vector<std::uint32_t> betweenTerms = TermsInOrder(design.between.size());
    std::vector<std::uint32_t> withinTerms = TermsInOrder(design.within.size());
    withinTerms.insert(withinTerms.begin(), 0);
    std::vector<ExactEffect> exact;
    std::vector<WithinError> errors;
    mpq_class errorSum = 0;
    for (std::size_t w = 0; w < withinTerms.size(); ++w) {
        const std::uint32_t mask = withinTerms[w];
        errors.push_back(ErrorOf(groups, basis, mask));
        const WithinError& error = errors.back();
        errorSum += error.ss;
        out.strata[w].error = Source(error.ss, nu * static_cast<std::int64_t>(basis.of[mask].size()), unit2);
        const auto k = static_cast<std::int64_t>(basis.of[mask].size());
        std::vector<std::uint32_t> terms = betweenTerms;
        if (mask != 0) terms.insert(terms.begin(), 0);
        for (const std::uint32_t b : terms) {
            ExactEffect x;
            x.between = b, x.within = mask;
            if (subjects) {
                std::optional<RationalMatrix> h = HypothesisOf(cells, b, error, basis.whole[mask], in.options.type);
                x.omitted = !h;
                if (h) x.h = std::move(*h), x.ss = NormalisedTrace(x.h, basis, mask);
            }
            x.errorSs = error.ss;
            x.df = TermDf(cells, b) * k;
            x.errorDf = nu * k;
            x.units = static_cast<std::int64_t>(design.Subjects());
            if (mask == 0) x.h = {};
            exact.push_back(std::move(x));
        }
    }

    std::vector<bool> observed;
    mpq_class observedSs = 0;
    for (const ExactEffect& x : exact) {
        Effect e;
        e.between = Bits(x.between, design.between.size());
        e.within = Bits(x.within, design.within.size());
        e.name = JoinedName(design, e.between, e.within, " × ");
        e.key = JoinedName(design, e.between, e.within, ":");
        e.stratum = static_cast<std::size_t>(std::find(withinTerms.begin(), withinTerms.end(), x.within) -
                                             withinTerms.begin());
        observed.push_back(Observed(e, design, in.options));
        if (observed.back()) observedSs += x.ss;
        out.effects.push_back(std::move(e));
    }
    std::optional<SphericityTest> sphericity;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        const ExactEffect& x = exact[i];
        const std::size_t stratum = out.effects[i].stratum;
        if (i == 0 || exact[i - 1].within != x.within) {
            sphericity.reset();
            const std::size_t k = basis.of[x.within].size();
            if (x.within != 0 && k > 1 && nu >= 1 && basis.whole[x.within])
                sphericity = TestSphericity(
                    Orthonormal(errors[stratum].e, basis, x.within,
                                RangeFreeDivisor(errors[stratum].e, basis, x.within, nu, in.scores.unit),
                                in.scores.unit),
                    static_cast<Extended>(nu), basis.cells);
        }
        TestUnivariate(x, errorSum, observedSs, observed[i], unit2, in.options.effectSizeLevel,
                       out.effects[i]);
        AddEffectSizes(x, total, errors.front().ss, nu, out.effects[i]);
        if (x.within != 0)
            TestWithin(x, errors[stratum], basis, nu, in.scores.unit, sphericity, in.options.effectSizeLevel,
                       out.effects[i]);
    }
    AddGeneralizedOmegaSquared(exact, observed, errorSum, errors.front().ss, nu, out.effects);
    LeaveOut(exact, observed, out.effects);
}

// AddModel, last: the total sum of squares about the grand mean of every
// score, in the integers' unit squared, from each group's figures of every
// coordinate: the basis' rows are orthogonal, so a subject's sum of squares
// over the cells is that of its coordinates each over its row's squared length.
mpq_class TotalOf(const std::vector<GroupFigures>& groups, const WithinBasis& basis) {
    mpq_class squares = 0, all = 0;
    std::int64_t n = 0;
    for (const GroupFigures& g : groups) {
        if (g.n == 0) continue;
        n += g.n, all += g.n * g.mean[0];
        for (std::size_t m = 0; m < basis.of.size(); ++m)
            for (std::size_t i = 0; i < basis.of[m].size(); ++i) {
                const std::size_t k = basis.of[m].size(), coordinate = basis.of[m][i];
                const mpq_class& within = g.within[m][basis.whole[m] ? i * k + i : i];
                squares += (within + g.n * g.mean[coordinate] * g.mean[coordinate]) / basis.squaredLength[coordinate];
            }
    }
    if (n == 0 || basis.cells == 0) return 0;
    // The grand total is the sum coordinate's, whose row is every cell once.
    return squares - all * all / (mpq_class(n) * mpq_class(basis.squaredLength[0]));
}

// The sum of squares between the subjects: of their means about the grand
// mean, times the cells; from each group's figures of the sum coordinate.
mpq_class BetweenSubjects(const std::vector<GroupFigures>& groups, const WithinBasis& basis) {
    mpq_class grand = 0, out = 0;
    std::int64_t n = 0;
    for (const GroupFigures& g : groups) grand += g.n * g.mean[0], n += g.n;
    if (n == 0) return 0;
    grand /= n;
    for (const GroupFigures& g : groups) {
        if (g.n == 0) continue;
        const mpq_class d = g.mean[0] - grand;
        out += g.within[0][0] + g.n * d * d;
    }
    return out / basis.squaredLength[0];
}

}  // namespace

std::vector<std::uint32_t> TermsInOrder(std::size_t n) {
    std::vector<std::uint32_t> masks;
    for (std::uint32_t m = 1; m < (std::uint32_t{1} << n); ++m) masks.push_back(m);
    const auto indices = [](std::uint32_t m) {
        std::vector<int> out;
        for (int f = 0; f < 32; ++f)
            if (m >> f & 1u) out.push_back(f);
        return out;
    };
    std::stable_sort(masks.begin(), masks.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::vector<int> ia = indices(a), ib = indices(b);
        if (ia.size() != ib.size()) return ia.size() < ib.size();
        return ia < ib;
    });
    return masks;
}

std::string JoinedName(const DesignData& design, const std::vector<std::size_t>& between,
                       const std::vector<std::size_t>& within, const std::string& separator) {
    std::string out;
    for (const std::size_t f : between) out += (out.empty() ? "" : separator) + design.between[f].name;
    for (const std::size_t f : within) out += (out.empty() ? "" : separator) + design.within[f].name;
    return ShownText(out);
}

}  // namespace morvane::anova::detail
