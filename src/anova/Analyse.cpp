// The analysis of any design: its scores taken to exact integers once, then
// the model, the means, the follow-ups and the checks as tasks side by side;
// no step reads another's figures.

#include "anova/detail/Analyse.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Steps.h"
#include "runtime/Errors.h"
#include "runtime/ShownText.h"
#include "runtime/Together.h"

namespace morvane::anova {
namespace detail {
namespace {

// The figures the steps beside the model form, each step's in a result of its own.
struct Beside {
    Analysis means, comparisons, simpleEffects, checks, contrasts, cells;
    RankTests ranks;
};

void Describe(const DesignData& design, const Options& options, Analysis& out);
std::vector<std::function<void()>> Steps(const Inputs& in, Analysis& out, Beside& beside);
void Join(Beside&& beside, Analysis& out);

}  // namespace

Analysis AnalyseWith(const DesignData& design, const Options& options, Strategy strategy) {
    // A design needs a factor, within or between; without a within factor each
    // subject has one score and the subjects' stratum is the only one.
    if ((design.within.empty() && design.between.empty()) || design.within.size() > kMostWithinFactors ||
        design.between.size() > kMostBetweenFactors)
        throw RangeError();
    const Scores scores = IntegerScores(design, strategy);
    // The between effects' hypotheses weigh every between cell: none may be empty.
    for (std::size_t g = 0; g < scores.order.Groups() && design.Subjects() > 0; ++g)
        if (scores.order.Size(g) == 0) throw RangeError();
    const Inputs in{design, scores, options};
    Analysis out;
    Describe(design, options, out);
    Beside beside;
    beside.checks.strata = out.strata;
    RunTogether(Steps(in, out, beside));
    Join(std::move(beside), out);
    if (!options.meansOnly) {
        out.robustness = Robustness(out, options.alpha);
        out.planning = PlanningOf(in, out);
    }
    return out;
}

std::vector<Stratum> StrataOf(const DesignData& design) {
    std::vector<Stratum> strata(1);
    strata[0].name = "S", strata[0].key = "S";
    for (const std::uint32_t mask : TermsInOrder(design.within.size())) {
        Stratum s;
        for (std::size_t f = 0; f < design.within.size(); ++f)
            if (mask >> f & 1u) s.within.push_back(f);
        s.name = JoinedName(design, {}, s.within, " × ") + " × S";
        s.key = JoinedName(design, {}, s.within, ":") + ":S";
        strata.push_back(std::move(s));
    }
    return strata;
}

namespace {

// First: the design as analysed, and its strata by name.
void Describe(const DesignData& design, const Options& options, Analysis& out) {
    // Every name and id as every output may write it (ShownText), levels and
    // ids cut when long (ShownName): the reader keeps the bytes it was given.
    const auto shown = [](std::vector<std::string> names) {
        for (std::string& name : names) name = ShownText(ShownName(name));
        return names;
    };
    out.between = design.between, out.within = design.within;
    for (auto* side : {&out.between, &out.within})
        for (DesignFactor& factor : *side)
            factor.name = ShownText(factor.name), factor.levels = shown(factor.levels);
    out.subjectIds = shown(design.subjects);
    out.subjects = static_cast<std::int64_t>(design.Subjects());
    out.subjectsRead = design.subjectsRead;
    out.removed = shown(design.removed);
    out.averagedCells = design.averagedCells, out.averagedRows = design.averagedRows;
    out.rowsWithoutScore = design.rowsWithoutScore, out.commonRowsPerCell = design.commonRowsPerCell;
    out.cellsWithFewerRows = design.cellsWithFewerRows;
    out.options = options;
    out.groupSizes.assign(design.Groups(), 0);
    for (const std::int32_t g : design.group) ++out.groupSizes[static_cast<std::size_t>(g)];
    if (design.Subjects() == 0) out.groupSizes.clear();
    out.typesAgree =
        design.between.size() < 2 || std::all_of(out.groupSizes.begin(), out.groupSizes.end(),
                                                 [&](std::int64_t n) { return n == out.groupSizes.front(); });
    out.exact = design.exact;
    out.strata = StrataOf(design);
}

// The steps, the longest first: the model (unless left out with the rest),
// and unless the means alone are asked, the comparisons, the rank-based
// tests, the simple effects, the checks and the planned contrasts asked for;
// then the means.
std::vector<std::function<void()>> Steps(const Inputs& in, Analysis& out, Beside& beside) {
    // The means first: of many cells theirs is the longest step, which the
    // others then run beside.
    std::vector<std::function<void()>> steps{[&] { AddMeans(in, beside.means); }};
    if (!in.options.meansOnly || !in.options.modelLeftOut) steps.emplace_back([&] { AddModel(in, out); });
    if (!in.options.meansOnly) {
        steps.emplace_back([&] { AddComparisons(in, beside.comparisons); });
        steps.emplace_back([&] { beside.ranks = RankTestsOf(in); });
        steps.emplace_back([&] { AddSimpleEffects(in, beside.simpleEffects); });
        steps.emplace_back([&] { AddChecks(in, beside.checks.strata, beside.checks); });
        if (!in.options.trends.empty() || !in.options.contrasts.empty())
            steps.emplace_back([&] { AddPlannedContrasts(in, beside.contrasts); });
        if (!in.options.cellInteractions.empty() || in.options.allCellInteractions)
            steps.emplace_back([&] { AddCellComparisons(in, beside.cells); });
        if (in.options.simpleInteractions)
            steps.emplace_back([&] { AddSimpleInteractions(in, beside.cells); });
    }
    return steps;
}

// Last: the figures formed beside the model into the result.
void Join(Beside&& beside, Analysis& out) {
    out.cellMeans = std::move(beside.means.cellMeans);
    out.marginalMeans = std::move(beside.means.marginalMeans);
    out.subjectScores = std::move(beside.means.subjectScores);
    out.subjectGroups = std::move(beside.means.subjectGroups);
    out.comparisons = std::move(beside.comparisons.comparisons);
    out.shown.compared = std::move(beside.comparisons.shown.compared);
    out.shown.comparedAtLevels = std::move(beside.comparisons.shown.comparedAtLevels);
    out.simpleEffects = std::move(beside.simpleEffects.simpleEffects);
    out.shown.simpleEffectsOmitted = beside.simpleEffects.shown.simpleEffectsOmitted;
    out.contrasts = std::move(beside.contrasts.contrasts);
    out.cellComparisons = std::move(beside.cells.cellComparisons);
    out.simpleInteractions = std::move(beside.cells.simpleInteractions);
    Analysis& checks = beside.checks;
    out.cellShapes = std::move(checks.cellShapes);
    out.outlying = std::move(checks.outlying);
    out.outlyingSubjects = checks.outlyingSubjects;
    out.levene = std::move(checks.levene);
    out.boxM = std::move(checks.boxM);
    out.rankBased = std::move(beside.ranks);
    for (std::size_t i = 0; i < out.strata.size() && i < checks.strata.size(); ++i) {
        Stratum& to = out.strata[i];
        Stratum& from = checks.strata[i];
        to.residuals = from.residuals;
        to.normality = std::move(from.normality);
        to.largestStudentized = from.largestStudentized;
        to.beyond3 = from.beyond3;
        to.quantiles = std::move(from.quantiles);
        to.unplotted = from.unplotted;
    }
}

}  // namespace
}  // namespace detail

Analysis Analyse(const DesignData& design, const Options& options) {
    return detail::AnalyseWith(design, options, detail::Strategy::Quick);
}

}  // namespace morvane::anova
