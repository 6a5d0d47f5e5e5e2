#include <algorithm>
#include <future>
#include <optional>
#include <string>

#include "analysis/FullAnalysis.h"
#include "design/DesignAnalysis.h"
#include "design/detail/FollowUps.h"
#include "design/detail/Hypotheses.h"
#include "design/detail/Model.h"
#include "design/detail/ModelSums.h"
#include "exact/WideIntegers.h"
#include "runtime/Errors.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/Sphericity.h"

namespace morvane {
namespace design {
namespace {

// The most contrasts of an effect whose whole matrices (for its sphericity and
// multivariate tests) are summed and tested, and the work and memory they may
// take: the subjects times their entries, and the between cells times their
// entries (each an exact rational).
constexpr Extended kMostWholeContrasts = 256;
constexpr Extended kMostContrastWork = 4e9L;
constexpr Extended kMostExactEntries = Extended{1 << 22};

Extended Round(const mpq_class& x, long scale10 = 0) {
    return exact::RoundRational(x.get_num(), x.get_den(), scale10);
}

// sign * sqrt(square), square >= 0 a rational, correctly rounded: the integer
// root R of square 4^k (floor), with k such that R has well over 64 bits, lies
// within a unit below the true root; where it is not exact the true root lies
// strictly between R and R + 1, where no rounding boundary of R's precision
// falls, so that R + 1/2 rounds as the root does.
Extended RoundedRoot(const mpq_class& square, int sign) {
    if (square == 0) return 0;
    const long bits = static_cast<long>(mpz_sizeinbase(square.get_num_mpz_t(), 2)) -
                      static_cast<long>(mpz_sizeinbase(square.get_den_mpz_t(), 2));
    const long k = std::max(0L, 80 - bits / 2);
    mpz_class top = square.get_num();
    mpz_mul_2exp(top.get_mpz_t(), top.get_mpz_t(), static_cast<mp_bitcnt_t>(2 * k));
    mpz_class floor, rem;
    mpz_fdiv_qr(floor.get_mpz_t(), rem.get_mpz_t(), top.get_mpz_t(), square.get_den_mpz_t());
    mpz_class root, rootRem;
    mpz_sqrtrem(root.get_mpz_t(), rootRem.get_mpz_t(), floor.get_mpz_t());
    mpz_class den = 1;
    mpz_mul_2exp(den.get_mpz_t(), den.get_mpz_t(), static_cast<mp_bitcnt_t>(k));
    if (rem != 0 || rootRem != 0) root = 2 * root + 1, den *= 2;
    return exact::RoundRational(sign < 0 ? mpz_class(-root) : root, den, 0);
}

// The exact figures of one effect, before rounding.
struct ExactEffect {
    std::uint32_t between = 0, within = 0;
    mpq_class ss, errorSs;
    std::int64_t df = 0, errorDf = 0;
    RationalMatrix h;  // within effects: on the effect's integer contrasts
};

// One within effect's error: the pooled within-cell cross products of its
// contrasts, and the between cells' means of them.
struct WithinError {
    RationalMatrix e, means;
    mpq_class ss;  // sum of e's diagonal over the contrasts' squared lengths
};

// The i-th diagonal entry of an effect's matrix, whole (k x k) or its diagonal alone (k x 1).
const mpq_class& Diagonal(const RationalMatrix& m, std::size_t i) {
    return m.cols == m.rows ? m(i, i) : m(i, 0);
}

WithinError ErrorOf(const ModelSums& sums, const WithinBasis& basis, std::uint32_t mask) {
    const std::vector<std::size_t>& idx = basis.of[mask];
    const std::size_t k = idx.size(), g = sums.groups.size();
    WithinError out{RationalMatrix(k, basis.whole[mask] ? k : 1), RationalMatrix(g, k), 0};
    for (std::size_t c = 0; c < g; ++c) {
        const GroupSums& group = sums.groups[c];
        for (std::size_t i = 0; i < out.e.at.size(); ++i) out.e.at[i] += group.within[mask][i];
        for (std::size_t i = 0; i < k; ++i) out.means(c, i) = group.mean[idx[i]];
    }
    for (std::size_t i = 0; i < k; ++i) out.ss += Diagonal(out.e, i) / basis.squaredLength[idx[i]];
    return out;
}

// The term's hypothesis matrix of the effect's contrasts: whole, or its
// diagonal alone (each contrast on its own) where the effect is not summed whole.
RationalMatrix HypothesisOf(const BetweenCells& cells, std::uint32_t term, const WithinError& error,
                            bool whole, SsType type) {
    if (whole) return TermHypothesis(cells, term, error.means, type);
    const std::size_t k = error.means.cols, g = error.means.rows;
    RationalMatrix diagonal(k, 1), column(g, 1);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t c = 0; c < g; ++c) column(c, 0) = error.means(c, i);
        diagonal(i, 0) = TermHypothesis(cells, term, column, type)(0, 0);
    }
    return diagonal;
}

mpq_class NormalisedTrace(const RationalMatrix& h, const WithinBasis& basis, std::uint32_t mask) {
    mpq_class out = 0;
    for (std::size_t i = 0; i < h.rows; ++i) out += Diagonal(h, i) / basis.squaredLength[basis.of[mask][i]];
    return out;
}

// A matrix of the effect's contrasts (k x k) as the orthonormal contrasts
// have it, divided by `divisor`: each entry rounded once.
SquareMatrix Orthonormal(const RationalMatrix& m, const WithinBasis& basis, std::uint32_t mask,
                         const mpq_class& divisor, int scale) {
    const std::vector<std::size_t>& idx = basis.of[mask];
    const std::size_t k = idx.size();
    SquareMatrix out(k);
    // The scores' unit 10^-scale twice over, squared under the root.
    mpq_class unit = 1;
    if (scale != 0) {
        const mpz_class power = exact::PowerOfTen(static_cast<unsigned long>(std::abs(4 * scale)));
        unit = scale > 0 ? mpq_class(1, power) : mpq_class(power);
    }
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = i; j < k; ++j) {
            const mpq_class& x = m(i, j);
            const mpq_class square =
                x * x * unit /
                (divisor * divisor * basis.squaredLength[idx[i]] * basis.squaredLength[idx[j]]);
            out(i, j) = out(j, i) = RoundedRoot(square, sgn(x));
        }
    return out;
}

std::string JoinedName(const DesignData& design, std::uint32_t between, std::uint32_t within,
                       const std::string& separator, DesignEffect* effect) {
    std::string out;
    const auto add = [&](const std::string& name) {
        if (!out.empty()) out += separator;
        out += name;
    };
    for (std::size_t f = 0; f < design.between.size(); ++f)
        if (between >> f & 1u) {
            add(design.between[f].name);
            if (effect) effect->between.push_back(f);
        }
    for (std::size_t f = 0; f < design.within.size(); ++f)
        if (within >> f & 1u) {
            add(design.within[f].name);
            if (effect) effect->within.push_back(f);
        }
    return out;
}

bool Observed(const DesignEffect& effect, const DesignData& design, const DesignOptions& options) {
    const auto named = [&](const std::string& name) {
        return std::find(options.observed.begin(), options.observed.end(), name) != options.observed.end();
    };
    for (const std::size_t f : effect.between)
        if (named(design.between[f].name)) return true;
    for (const std::size_t f : effect.within)
        if (named(design.within[f].name)) return true;
    return false;
}

PartitionSource Source(const mpq_class& ss, std::int64_t df, int scale) {
    PartitionSource s;
    s.ss = Round(ss, -2L * scale);
    s.df = df;
    s.zero = ss == 0;
    if (df > 0) s.ms = Round(ss / df, -2L * scale);
    return s;
}

// The effect's univariate figures from its exact sums: F, p, the effect sizes.
void TestUnivariate(const ExactEffect& x, const mpq_class& errors, const mpq_class& observedSs, bool observed,
                    int scale, Extended level, DesignEffect& out) {
    out.effect = Source(x.ss, x.df, scale);
    out.error = Source(x.errorSs, x.errorDf, scale);
    const auto df1 = static_cast<Extended>(x.df), df2 = static_cast<Extended>(x.errorDf);
    if (x.df > 0 && x.errorDf > 0 && x.errorSs != 0) {
        out.f = Round((x.ss / x.df) / (x.errorSs / x.errorDf));
        out.p = FUpperTail(*out.f, df1, df2);
    }
    if (x.df < 1 || x.errorDf < 1) return;
    const mpq_class whole = x.ss + x.errorSs;
    if (whole > 0) {
        out.partialEtaSquared = Round(x.ss / whole);
        out.partialEtaSquaredCI = PartialEtaSquaredInterval(out.f, df1, df2, level);
    }
    // Olejnik and Algina: every error stratum, and every measured factor's
    // effects but this one, in the divisor.
    const mpq_class generalized = x.ss + errors + observedSs - (observed ? x.ss : mpq_class(0));
    if (generalized > 0) out.generalizedEtaSquared = Round(x.ss / generalized);
}

// Each within effect's sphericity test and multivariate test from its error
// and hypothesis matrices.
void TestWithin(const ExactEffect& x, const WithinError& error, const WithinBasis& basis, std::int64_t nu,
                int scale, const std::optional<SphericityTest>& sphericity, DesignEffect& out) {
    const std::size_t k = basis.of[x.within].size();
    if (!basis.whole[x.within]) {
        out.sphericityOmitted = k > 1;
        out.multivariate = MultivariateTest{};
        out.multivariate->status = MultivariateStatus::Omitted;
        out.multivariate->variables = k;
        return;
    }
    if (sphericity) out.sphericity = CorrectedSphericity(*sphericity, out.effect.df, out.error.df, out.f);
    if (nu < static_cast<std::int64_t>(k) || nu < 1) {
        // Undefined, and the outputs say why.
        out.multivariate = MultivariateTest{};
        out.multivariate->status = MultivariateStatus::TooFewSubjects;
        out.multivariate->variables = k;
        out.multivariate->hypothesisDf = static_cast<Extended>(x.df / static_cast<std::int64_t>(k));
        out.multivariate->errorDf = static_cast<Extended>(nu);
        return;
    }
    const SquareMatrix h = Orthonormal(x.h, basis, x.within, 1, scale);
    const SquareMatrix e = Orthonormal(error.e, basis, x.within, 1, scale);
    out.multivariate = TestMultivariate(h, e, static_cast<Extended>(x.df / static_cast<std::int64_t>(k)),
                                        static_cast<Extended>(nu));
}

void DescribeDesign(const DesignData& design, const DesignOptions& options, const ModelSums& sums,
                    DesignAnalysis& out) {
    out.between = design.between, out.within = design.within;
    out.subjects = static_cast<std::int64_t>(design.Subjects());
    out.subjectsRead = design.subjectsRead;
    out.removed = design.removed;
    out.averagedCells = design.averagedCells, out.averagedRows = design.averagedRows;
    out.options = options;
    for (const GroupSums& g : sums.groups) out.groupSizes.push_back(g.n);
    out.typesAgree =
        design.between.size() < 2 || std::all_of(out.groupSizes.begin(), out.groupSizes.end(),
                                                 [&](std::int64_t n) { return n == out.groupSizes.front(); });
}

}  // namespace

// The nonempty subsets of n factors as masks, in the order of a model
// formula's terms: by their number of factors, then by their factors' indices.
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

DesignAnalysis AnalyseModel(const DesignData& design, const DesignOptions& options) {
    if (design.within.empty() || design.within.size() > kMostWithinFactors ||
        design.between.size() > kMostBetweenFactors)
        throw RangeError();
    WithinBasis basis(design.within);
    const auto n = static_cast<Extended>(design.Subjects()), g = static_cast<Extended>(design.Groups());
    for (std::size_t m = 0; m < basis.of.size(); ++m) {
        const auto k = static_cast<Extended>(basis.of[m].size());
        basis.whole[m] =
            k <= kMostWholeContrasts && n * k * k <= kMostContrastWork && g * k * k <= kMostExactEntries;
    }
    const ModelSums sums = SumSubjects(design, basis);
    DesignAnalysis out;
    DescribeDesign(design, options, sums, out);
    BetweenCells cells;
    for (const DesignFactor& f : design.between) cells.levels.push_back(f.levels.size());
    cells.counts = out.groupSizes;
    const auto nu = out.subjects - static_cast<std::int64_t>(sums.groups.size());

    // The exact sums of every effect, in the order of the table: the between
    // effects on the subjects' sums, then each within effect and its
    // interactions with the between effects.
    const std::vector<std::uint32_t> betweenTerms = TermsInOrder(design.between.size());
    std::vector<std::uint32_t> withinTerms = TermsInOrder(design.within.size());
    withinTerms.insert(withinTerms.begin(), 0);
    std::vector<ExactEffect> exact;
    std::vector<WithinError> errors;
    mpq_class errorSum = 0;
    for (const std::uint32_t w : withinTerms) {
        errors.push_back(ErrorOf(sums, basis, w));
        const WithinError& error = errors.back();
        errorSum += error.ss;
        const auto k = static_cast<std::int64_t>(basis.of[w].size());
        std::vector<std::uint32_t> terms = betweenTerms;
        if (w != 0) terms.insert(terms.begin(), 0);
        for (const std::uint32_t b : terms) {
            ExactEffect x;
            x.between = b, x.within = w;
            x.h = HypothesisOf(cells, b, error, basis.whole[w], options.type);
            x.ss = NormalisedTrace(x.h, basis, w);
            x.errorSs = error.ss;
            x.df = TermDf(cells, b) * k;
            x.errorDf = std::max<std::int64_t>(nu, 0) * k;
            if (w == 0) x.h = {};
            exact.push_back(std::move(x));
        }
    }

    // Named, then rounded and tested.
    std::vector<bool> observed;
    mpq_class observedSs = 0;
    for (const ExactEffect& x : exact) {
        DesignEffect e;
        e.name = JoinedName(design, x.between, x.within, " × ", &e);
        e.key = JoinedName(design, x.between, x.within, ":", nullptr);
        observed.push_back(Observed(e, design, options));
        if (observed.back()) observedSs += x.ss;
        out.effects.push_back(std::move(e));
    }
    std::optional<SphericityTest> sphericity;
    std::size_t stratum = 0;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        const ExactEffect& x = exact[i];
        while (withinTerms[stratum] != x.within) ++stratum;
        if (i == 0 || exact[i - 1].within != x.within) {
            sphericity.reset();
            const std::size_t k = basis.of[x.within].size();
            if (x.within != 0 && k > 1 && nu >= static_cast<std::int64_t>(k) && basis.whole[x.within])
                sphericity = TestSphericity(Orthonormal(errors[stratum].e, basis, x.within, nu, sums.scale),
                                            static_cast<Extended>(nu), basis.cells);
        }
        TestUnivariate(x, errorSum, observedSs, observed[i], sums.scale, options.effectSizeLevel,
                       out.effects[i]);
        if (x.within != 0) TestWithin(x, errors[stratum], basis, nu, sums.scale, sphericity, out.effects[i]);
    }
    return out;
}

namespace {

// A design that is a study of A x B x S: two within factors (neither named
// measured), no between factor, every score a decimal of one row (its text is
// then the decimal).
bool IsStudy(const DesignData& design, const DesignOptions& options) {
    const auto observed = [&](const DesignFactor& f) {
        return std::find(options.observed.begin(), options.observed.end(), f.name) != options.observed.end();
    };
    return design.between.empty() && design.within.size() == 2 && design.exact &&
           std::none_of(design.within.begin(), design.within.end(), observed) && design.scale >= 0 &&
           design.Subjects() > 0 &&
           std::all_of(design.rows.begin(), design.rows.end(), [](std::int32_t r) { return r == 1; });
}

std::string DecimalText(Int128 units, int scale) {
    const bool negative = units < 0;
    UInt128 m = negative ? -static_cast<UInt128>(units) : static_cast<UInt128>(units);
    // From the last digit: the places after the point, the point, the rest.
    std::string reversed;
    for (int place = 0; place < scale || m != 0 || place == scale; ++place) {
        if (place == scale && scale > 0) reversed.push_back('.');
        reversed.push_back(static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
        if (place >= scale && m == 0) break;
    }
    if (negative) reversed.push_back('-');
    return {reversed.rbegin(), reversed.rend()};
}

MultivariateTest FromStudy(const MultivariateEffect& m, std::int64_t subjects) {
    MultivariateTest t;
    t.status = m.status;
    t.variables = static_cast<std::size_t>(m.contrasts);
    t.hypothesisDf = 1;
    t.errorDf = static_cast<Extended>(subjects - 1);
    if (m.status != MultivariateStatus::Tested) return t;
    if (m.hotellingLawley) t.roots = {*m.hotellingLawley};
    const std::pair<MultivariateStatistic*, std::optional<Extended>> stats[] = {
        {&t.pillai, m.pillai}, {&t.wilks, m.wilks}, {&t.hotellingLawley, m.hotellingLawley}, {&t.roy, m.roy}};
    for (const auto& [statistic, value] : stats) {
        statistic->value = value.value_or(0);
        statistic->f = m.f, statistic->p = m.p;
        statistic->df1 = static_cast<Extended>(m.df1), statistic->df2 = static_cast<Extended>(m.df2);
    }
    return t;
}

// The study's effects as the A x B x S analysis gives them, so that the two
// inputs of one study give the same figures to the bit: the same exact sums
// there, its own arithmetic for the contrasts' covariances and its closed
// form of the one-root multivariate tests.
FullAnalysis TakeFromStudy(const DesignData& design, const DesignOptions& options, DesignAnalysis& analysis) {
    ScoreTable table;
    table.levelsA = static_cast<std::int32_t>(design.within[0].levels.size());
    table.levelsB = static_cast<std::int32_t>(design.within[1].levels.size());
    const std::size_t cells = design.Cells();
    table.scores.resize(design.Subjects());
    for (std::size_t s = 0; s < design.Subjects(); ++s)
        for (std::size_t c = 0; c < cells; ++c)
            table.scores[s].push_back(DecimalText(design.units[s * cells + c], design.scale));
    AnalysisOptions studyOptions;
    studyOptions.effectSizeLevel = options.effectSizeLevel;
    studyOptions.keepValues = KeepValues::No;
    const FullAnalysis study = AnalyseScores(table, studyOptions);
    const EffectResult* effects[] = {&study.A, &study.B, &study.AB};
    const MultivariateEffect* multivariate[] = {&study.multivariate.A, &study.multivariate.B,
                                                &study.multivariate.AB};
    for (std::size_t k = 0; k < 3 && k < analysis.effects.size(); ++k) {
        DesignEffect& e = analysis.effects[k];
        const EffectResult& r = *effects[k];
        e.effect = r.effect, e.error = r.error, e.f = r.f, e.p = r.p;
        e.partialEtaSquared = r.partialEtaSquared, e.generalizedEtaSquared = r.generalizedEtaSquared;
        e.partialEtaSquaredCI = r.partialEtaSquaredCI;
        // Contrasts too many for the study's pass keep the general figures.
        if (r.sphericity || !r.sphericityOmitted) e.sphericity = r.sphericity, e.sphericityOmitted = false;
        // One contrast: its test is the univariate one there, the four statistics here.
        if (multivariate[k]->status != MultivariateStatus::Omitted &&
            multivariate[k]->status != MultivariateStatus::OneDf)
            e.multivariate = FromStudy(*multivariate[k], analysis.subjects);
    }
    return study;
}

void TakeMean(const MeanResult& r, DesignMean& m) {
    m.mean = r.mean, m.se = r.se, m.ci95 = r.ci95, m.withinCi95 = r.withinCi95;
    if (m.sd) m.sd = r.sd;  // the marginal means have none here
}

// The rank-based tests as the A x B x S analysis gives them.
void TakeRanksFromStudy(const RankBasedResults& k, DesignAnalysis& analysis) {
    DesignRankTests& out = analysis.rankBased;
    out = {};
    out.friedman = {{0, false, k.A}, {1, false, k.B}, {0, true, k.cells}};
    const std::string& a = analysis.within[0].name;
    const std::string& b = analysis.within[1].name;
    out.alignedRanks = {
        {{0}, a, a, k.alignedA}, {{1}, b, b, k.alignedB}, {{0, 1}, a + " × " + b, a + ":" + b, k.alignedAB}};
    for (const AlignedRankContrast& c : k.contrastsA) out.contrasts.push_back({0, c});
    for (const AlignedRankContrast& c : k.contrastsB) out.contrasts.push_back({1, c});
    out.exactAlignment = k.exactAlignment;
}

// The follow-ups' figures that the A x B x S analysis computes too, as it
// gives them: the cells' and levels' means, the comparisons over the other
// factor, the simple effects and the strata's normality and Q-Q points.
void TakeFollowUpsFromStudy(const FullAnalysis& study, DesignAnalysis& analysis) {
    if (analysis.cellMeans.size() == study.cells.size())
        for (std::size_t c = 0; c < study.cells.size(); ++c) TakeMean(study.cells[c], analysis.cellMeans[c]);
    const std::vector<MeanResult>* levels[] = {&study.marginalA, &study.marginalB};
    for (std::size_t f = 0; f < 2 && f < analysis.marginalMeans.size(); ++f)
        if (analysis.marginalMeans[f].size() == levels[f]->size())
            for (std::size_t l = 0; l < levels[f]->size(); ++l)
                TakeMean((*levels[f])[l], analysis.marginalMeans[f][l]);
    for (const ComparisonResult& r : study.comparisons) {
        if (r.at != 0) continue;
        const std::size_t factor = r.factor == Factor::A ? 0 : 1;
        for (DesignComparison& c : analysis.comparisons) {
            if (c.factor != factor || c.i + 1 != r.i || c.j + 1 != r.j) continue;
            c.difference = r.difference, c.t = r.t, c.p = r.p, c.pHolm = r.pHolm,
            c.pBonferroni = r.pBonferroni;
            c.d = r.cohenDz, c.dCI = r.dzCI, c.ci95 = r.ci95;
        }
    }
    for (const SimpleEffectResult& r : study.simpleEffects) {
        const std::size_t factor = r.effect == Factor::A ? 0 : 1;
        for (DesignSimpleEffect& e : analysis.simpleEffects) {
            if (e.factor != factor || e.atFactor != 1 - factor || e.atLevel + 1 != r.at) continue;
            e.ss = r.ss, e.errorSs = r.errorSs, e.df1 = r.df1, e.df2 = r.df2;
            e.f = r.f, e.p = r.p, e.partialEtaSquared = r.partialEtaSquared;
        }
    }
    TakeRanksFromStudy(study.rankBased, analysis);
    if (analysis.normality.size() == study.assumptions.strata.size())
        for (std::size_t k = 0; k < analysis.normality.size(); ++k) {
            analysis.normality[k].w = study.assumptions.strata[k].normality.w;
            analysis.normality[k].p = study.assumptions.strata[k].normality.p;
            // Both windows plot the same points.
            if (analysis.options.quantilePoints)
                analysis.normality[k].quantiles = study.assumptions.strata[k].quantiles;
        }
}

}  // namespace
}  // namespace design

DesignAnalysis AnalyseDesign(const DesignData& design, const DesignOptions& options) {
    // The means, comparisons, simple effects and checks need none of the
    // effects' tests: they are formed on a second thread beside the model.
    // A study of A x B x S takes its rank-based tests from that analysis.
    const bool isStudy = design::IsStudy(design, options);
    std::future<DesignAnalysis> followUps = std::async(std::launch::async, [&design, &options, isStudy] {
        DesignAnalysis f;
        f.between = design.between, f.within = design.within, f.options = options;
        design::AddFollowUps(design, f);
        if (!isStudy) f.rankBased = design::RankTests(design);
        return f;
    });
    DesignAnalysis analysis;
    std::optional<FullAnalysis> study;
    try {
        analysis = design::AnalyseModel(design, options);
        if (isStudy) study = design::TakeFromStudy(design, options, analysis);
    } catch (...) {
        followUps.wait();  // it reads the design: not beyond its life
        throw;
    }
    DesignAnalysis f = followUps.get();
    analysis.cellMeans = std::move(f.cellMeans);
    analysis.marginalMeans = std::move(f.marginalMeans);
    analysis.comparisons = std::move(f.comparisons);
    analysis.simpleEffects = std::move(f.simpleEffects);
    analysis.levene = std::move(f.levene);
    analysis.normality = std::move(f.normality);
    analysis.rankTestsOmitted = std::move(f.rankTestsOmitted);
    analysis.rankBased = std::move(f.rankBased);
    if (study) design::TakeFollowUpsFromStudy(*study, analysis);
    return analysis;
}

}  // namespace morvane
