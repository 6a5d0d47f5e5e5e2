#include "output/Bridges.h"

#include <utility>

#include "runtime/Cp932.h"

namespace morvane {
namespace {

using anova::Analysis;
using anova::kOver;
using anova::Place;

void CarryStudyModel(const FullAnalysis& r, Analysis& out);
void CarryStudyFollowUps(const FullAnalysis& r, Analysis& out);
void CarryStudyChecks(const FullAnalysis& r, Analysis& out);
void CarryDesignModel(const DesignAnalysis& r, Analysis& out);
void CarryDesignRest(const DesignAnalysis& r, Analysis& out);

}  // namespace

Analysis FromStudyAnalysis(const FullAnalysis& r) {
    Analysis out;
    for (const auto& [name, names] : {std::pair{"A", &r.namesA}, std::pair{"B", &r.namesB}}) {
        DesignFactor f{name, {}};
        for (const std::string& level : *names) f.levels.push_back(Utf8FromCp932(level));
        out.within.push_back(std::move(f));
    }
    for (std::int32_t s = 1; s <= r.subjects; ++s) out.subjectIds.push_back(std::to_string(s));
    out.subjects = r.subjects;
    out.subjectsRead = r.removed.empty() ? r.subjects : r.subjectsRead;
    out.removed = r.removed;
    out.groupSizes = {r.subjects};
    out.options.effectSizeLevel = r.options.effectSizeLevel;
    out.options.meansOnly = r.options.meansOnly;
    out.exact = r.precision.method == PartitionMethod::Exact;
    CarryStudyModel(r, out);
    CarryStudyFollowUps(r, out);
    CarryStudyChecks(r, out);
    return out;
}

Analysis FromDesignAnalysis(const DesignAnalysis& r) {
    Analysis out;
    out.between = r.between;
    out.within = r.within;
    out.subjects = r.subjects;
    out.subjectsRead = r.subjectsRead;
    out.removed = r.removed;
    out.averagedCells = r.averagedCells;
    out.averagedRows = r.averagedRows;
    out.groupSizes = r.groupSizes;
    out.options.type = r.options.type == SsType::TypeII ? anova::SsType::TypeII : anova::SsType::TypeIII;
    out.options.observed = r.options.observed;
    out.options.effectSizeLevel = r.options.effectSizeLevel;
    out.options.quantilePoints = r.options.quantilePoints;
    out.typesAgree = r.typesAgree;
    CarryDesignModel(r, out);
    CarryDesignRest(r, out);
    return out;
}

namespace {

// The one-sample test of the study's contrasts as a multivariate test of one
// hypothesis degree of freedom on N - 1: the four statistics share its F.
MultivariateTest Multivariate(const MultivariateEffect& m, std::int32_t subjects) {
    MultivariateTest out;
    out.status = m.status;
    out.variables = static_cast<std::size_t>(m.contrasts);
    out.hypothesisDf = 1;
    out.errorDf = subjects > 1 ? subjects - 1 : 0;
    if (m.hotellingLawley) out.roots = {*m.hotellingLawley};
    const auto statistic = [&](const std::optional<Extended>& value) {
        MultivariateStatistic s;
        s.value = value.value_or(0);
        s.f = m.f, s.p = m.p;
        s.df1 = static_cast<Extended>(m.df1), s.df2 = static_cast<Extended>(m.df2);
        return s;
    };
    out.pillai = statistic(m.pillai), out.wilks = statistic(m.wilks);
    out.hotellingLawley = statistic(m.hotellingLawley), out.roy = statistic(m.roy);
    return out;
}

// FromStudyAnalysis, first: the strata, the effects and the total.
void CarryStudyModel(const FullAnalysis& r, Analysis& out) {
    const std::pair<const char*, const char*> strata[] = {
        {"S", "S"}, {"A:S", "A × S"}, {"B:S", "B × S"}, {"A:B:S", "A × B × S"}};
    const PartitionSource* errors[] = {&r.S, &r.AS, &r.BS, &r.ABS};
    const std::vector<std::size_t> within[] = {{}, {0}, {1}, {0, 1}};
    for (std::size_t k = 0; k < 4; ++k) {
        anova::Stratum s;
        s.within = within[k];
        s.key = strata[k].first, s.name = strata[k].second;
        s.error = *errors[k];
        out.strata.push_back(std::move(s));
    }
    const EffectResult* effects[] = {&r.A, &r.B, &r.AB};
    const MultivariateEffect* tests[] = {&r.multivariate.A, &r.multivariate.B, &r.multivariate.AB};
    const char* keys[] = {"A", "B", "A:B"};
    const char* names[] = {"A", "B", "A × B"};
    for (std::size_t k = 0; k < 3; ++k) {
        const EffectResult& e = *effects[k];
        anova::Effect effect;
        effect.within = within[k + 1];
        effect.key = keys[k], effect.name = names[k];
        effect.stratum = k + 1;
        effect.effect = e.effect, effect.error = e.error;
        effect.f = e.f, effect.p = e.p;
        effect.partialEtaSquared = e.partialEtaSquared,
        effect.generalizedEtaSquared = e.generalizedEtaSquared;
        effect.partialEtaSquaredCI = e.partialEtaSquaredCI,
        effect.partialEtaSquaredCIGG = e.partialEtaSquaredCIGG;
        effect.sphericity = e.sphericity;
        effect.sphericityOmitted = e.sphericityOmitted;
        effect.multivariate = Multivariate(*tests[k], r.subjects);
        out.effects.push_back(std::move(effect));
    }
    out.total = r.Total;
}

// The place of a result of `factor` (0 for A) at level `at` (from 1; 0 for
// all) of the other; or of a mean at levels a and b (from 1; 0 for all).
Place StudyPlace(std::int32_t a, std::int32_t b) {
    return {a > 0 ? a - 1 : kOver, b > 0 ? b - 1 : kOver};
}
Place StudyPlaceOf(Factor factor, std::int32_t at) {
    return factor == Factor::A ? StudyPlace(0, at) : StudyPlace(at, 0);
}

anova::Mean StudyMean(const MeanResult& m, std::int32_t subjects) {
    return {StudyPlace(m.a, m.b), subjects, m.mean, m.sd, m.se, m.ci95, m.withinCi95};
}

// FromStudyAnalysis, second: the means, the comparisons and the simple effects.
void CarryStudyFollowUps(const FullAnalysis& r, Analysis& out) {
    for (const MeanResult& m : r.cells) out.cellMeans.push_back(StudyMean(m, r.subjects));
    for (const auto* list : {&r.marginalA, &r.marginalB}) {
        out.marginalMeans.emplace_back();
        for (const MeanResult& m : *list) out.marginalMeans.back().push_back(StudyMean(m, r.subjects));
    }
    for (const ComparisonResult& c : r.comparisons) {
        anova::Comparison k;
        k.factor = c.factor == Factor::A ? 0 : 1;
        k.at = StudyPlaceOf(c.factor, c.at);
        k.i = c.i - 1, k.j = c.j - 1;
        k.difference = c.difference;
        k.df = static_cast<Extended>(c.df);
        k.t = c.t, k.p = c.p, k.pHolm = c.pHolm, k.pBonferroni = c.pBonferroni;
        k.ci95 = c.ci95;
        k.d = c.cohenDz, k.dCI = c.dzCI;
        k.dAv = c.dAv, k.gAv = c.gAv;
        out.comparisons.push_back(std::move(k));
    }
    for (const SimpleEffectResult& s : r.simpleEffects) {
        anova::SimpleEffect e;
        e.factor = s.effect == Factor::A ? 0 : 1;
        e.at = StudyPlaceOf(s.effect, s.at);
        e.ss = s.ss, e.errorSs = s.errorSs, e.df1 = s.df1, e.df2 = s.df2;
        e.f = s.f, e.p = s.p, e.partialEtaSquared = s.partialEtaSquared;
        e.partialEtaSquaredCI = s.partialEtaSquaredCI;
        e.ggEpsilon = s.ggEpsilon, e.ggP = s.ggP;
        out.simpleEffects.push_back(std::move(e));
    }
    out.shown.compared = {r.compared.marginalA, r.compared.marginalB};
    out.shown.comparedAtLevels = {r.compared.aAtB, r.compared.bAtA};
    out.shown.simpleEffectsOmitted = r.simpleEffectsOmitted;
}

// FromStudyAnalysis, last: the strata's residuals, the cells' shapes, the
// outlying subjects and the rank-based tests.
void CarryStudyChecks(const FullAnalysis& r, Analysis& out) {
    const AssumptionChecks& checks = r.assumptions;
    for (std::size_t k = 0; k < checks.strata.size() && k < out.strata.size(); ++k) {
        const StratumCheck& c = checks.strata[k];
        anova::Stratum& s = out.strata[k];
        s.residuals = static_cast<std::int64_t>(c.normality.count);
        s.normality = c.normality;
        s.largestStudentized = c.largestStudentized;
        s.beyond3 = static_cast<std::int64_t>(c.outlying);
        s.quantiles = c.quantiles;
    }
    for (const CellShape& c : checks.cells)
        out.cellShapes.push_back({StudyPlace(c.a, c.b), c.skewness, c.excessKurtosis});
    for (const OutlyingSubject& o : checks.outlying) {
        anova::OutlyingSubject subject;
        subject.subject = static_cast<std::size_t>(o.subject - 1);
        for (Stratum s : o.strata) subject.strata.push_back(static_cast<std::size_t>(s));
        subject.largest = o.largest;
        out.outlying.push_back(std::move(subject));
    }
    out.outlyingSubjects = static_cast<std::int64_t>(checks.outlyingSubjects);
    const RankBasedResults& k = r.rankBased;
    out.rankBased.friedman = {{0, false, k.A}, {1, false, k.B}, {0, true, k.cells}};
    out.rankBased.alignedRanks = {
        {{0}, "A", "A", k.alignedA}, {{1}, "B", "B", k.alignedB}, {{0, 1}, "A × B", "A:B", k.alignedAB}};
    for (const AlignedRankContrast& c : k.contrastsA) out.rankBased.contrasts.push_back({0, c});
    for (const AlignedRankContrast& c : k.contrastsB) out.rankBased.contrasts.push_back({1, c});
    out.rankBased.exactAlignment = k.exactAlignment;
}

// FromDesignAnalysis, first: a stratum of the subjects and one of each within
// effect's, the effects tested on them.
void CarryDesignModel(const DesignAnalysis& r, Analysis& out) {
    anova::Stratum subjects;
    subjects.key = subjects.name = "S";
    out.strata.push_back(std::move(subjects));
    for (const DesignEffect& e : r.effects) {
        std::size_t stratum = 0;
        if (!e.within.empty()) {
            while (stratum < out.strata.size() && out.strata[stratum].within != e.within) ++stratum;
            if (stratum == out.strata.size()) {
                anova::Stratum s;
                s.within = e.within;
                for (std::size_t w : e.within) {
                    s.name += (s.name.empty() ? "" : " × ") + r.within.at(w).name;
                    s.key += (s.key.empty() ? "" : ":") + r.within.at(w).name;
                }
                s.name += " × S", s.key += ":S";
                out.strata.push_back(std::move(s));
            }
        }
        out.strata[stratum].error = e.error;
        anova::Effect effect;
        effect.between = e.between, effect.within = e.within;
        effect.name = e.name, effect.key = e.key;
        effect.stratum = stratum;
        effect.effect = e.effect, effect.error = e.error;
        effect.f = e.f, effect.p = e.p;
        effect.partialEtaSquared = e.partialEtaSquared,
        effect.generalizedEtaSquared = e.generalizedEtaSquared;
        effect.partialEtaSquaredCI = e.partialEtaSquaredCI;
        effect.sphericity = e.sphericity;
        effect.sphericityOmitted = e.sphericityOmitted;
        effect.multivariate = e.multivariate;
        out.effects.push_back(std::move(effect));
    }
    for (const StratumNormality& n : r.normality)
        for (anova::Stratum& s : out.strata)
            if (s.name == n.stratum) {
                s.residuals = n.n;
                s.normality = {static_cast<std::size_t>(n.n), n.n >= 3 && n.n <= 5000, n.w, n.p};
                s.quantiles = n.quantiles;
                s.unplotted = n.unplotted;
                if (s.error.df == 0) s.error.df = n.df;
            }
}

// The levels of within cell `cell` (the last within factor fastest) as a place.
Place WithinCell(const DesignAnalysis& r, std::size_t cell) {
    Place at(r.between.size() + r.within.size(), kOver);
    for (std::size_t k = r.within.size(); k-- > 0;) {
        const std::size_t count = r.within[k].levels.size();
        if (count == 0) break;
        at[r.between.size() + k] = static_cast<std::int32_t>(cell % count);
        cell /= count;
    }
    return at;
}

anova::Mean MeanOf(const morvane::DesignMean& m) {
    return {m.levels, m.n, m.mean, m.sd, m.se, m.ci95, m.withinCi95};
}

// FromDesignAnalysis, last: the means, the follow-ups, the checks and the rank-based tests.
void CarryDesignRest(const DesignAnalysis& r, Analysis& out) {
    const std::size_t factors = r.between.size() + r.within.size();
    for (const morvane::DesignMean& m : r.cellMeans) out.cellMeans.push_back(MeanOf(m));
    for (const auto& list : r.marginalMeans) {
        out.marginalMeans.emplace_back();
        for (const morvane::DesignMean& m : list) out.marginalMeans.back().push_back(MeanOf(m));
    }
    for (const DesignComparison& c : r.comparisons) {
        anova::Comparison k;
        k.factor = c.factor, k.at = Place(factors, kOver), k.i = c.i, k.j = c.j;
        k.difference = c.difference, k.df = c.df;
        k.se = c.se, k.t = c.t, k.p = c.p, k.pHolm = c.pHolm, k.pBonferroni = c.pBonferroni;
        k.ci95 = c.ci95, k.d = c.d, k.dCI = c.dCI;
        out.comparisons.push_back(std::move(k));
    }
    for (const DesignSimpleEffect& s : r.simpleEffects) {
        anova::SimpleEffect e;
        e.factor = s.factor, e.at = Place(factors, kOver);
        if (s.atFactor < factors) e.at[s.atFactor] = s.atLevel;
        e.ss = s.ss, e.errorSs = s.errorSs, e.df1 = s.df1, e.df2 = s.df2;
        e.f = s.f, e.p = s.p, e.partialEtaSquared = s.partialEtaSquared;
        out.simpleEffects.push_back(std::move(e));
    }
    // Every factor compared over the others; none at the levels of others, and no note says so.
    out.shown.compared.assign(factors, true);
    out.shown.comparedAtLevels.assign(factors, true);
    for (const LeveneResult& l : r.levene)
        out.levene.push_back({WithinCell(r, l.cell), l.median, l.df1, l.df2, l.f, l.p});
    for (const DesignFriedman& f : r.rankBased.friedman)
        out.rankBased.friedman.push_back({f.factor, f.cells, f.test});
    for (const DesignAlignedRank& a : r.rankBased.alignedRanks)
        out.rankBased.alignedRanks.push_back({a.within, a.name, a.key, a.test});
    for (const DesignAlignedContrast& c : r.rankBased.contrasts)
        out.rankBased.contrasts.push_back({c.factor, c.contrast});
    out.rankBased.exactAlignment = r.rankBased.exactAlignment;
    out.rankBased.alignedOmitted = r.rankBased.alignedOmitted;
    out.rankBased.omitted = r.rankTestsOmitted;
}

}  // namespace
}  // namespace morvane
