// The analysis of any design: its scores taken to exact integers once, then
// the model on this thread and the means, follow-ups and checks on a second
// one beside it; no step reads another's figures.

#include "anova/detail/Analyse.h"

#include <algorithm>
#include <future>
#include <utility>

#include "anova/Analysis.h"
#include "anova/detail/Steps.h"
#include "runtime/Errors.h"

namespace morvane::anova {
namespace detail {
namespace {

void Describe(const DesignData& design, const Options& options, Analysis& out);
Analysis FollowUps(const Inputs& in, const Analysis& described);
void Join(Analysis&& beside, Analysis& out);

}  // namespace

Analysis AnalyseWith(const DesignData& design, const Options& options, Strategy strategy) {
    if (design.within.empty() || design.within.size() > kMostWithinFactors ||
        design.between.size() > kMostBetweenFactors)
        throw RangeError();
    const Scores scores = IntegerScores(design, strategy);
    // The between effects' hypotheses weigh every between cell: none may be empty.
    for (std::size_t g = 0; g < scores.order.Groups() && design.Subjects() > 0; ++g)
        if (scores.order.Size(g) == 0) throw RangeError();
    const Inputs in{design, scores, options};
    Analysis out;
    Describe(design, options, out);
    std::future<Analysis> beside = std::async(std::launch::async, [&] { return FollowUps(in, out); });
    try {
        AddModel(in, out);
    } catch (...) {
        beside.wait();  // it reads the scores: not beyond their life
        throw;
    }
    Join(beside.get(), out);
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
    out.between = design.between, out.within = design.within;
    out.subjectIds = design.subjects;
    out.subjects = static_cast<std::int64_t>(design.Subjects());
    out.subjectsRead = design.subjectsRead;
    out.removed = design.removed;
    out.averagedCells = design.averagedCells, out.averagedRows = design.averagedRows;
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

// Beside the model: the means, and unless the means alone are asked, the
// comparisons, simple effects, checks and rank-based tests.
Analysis FollowUps(const Inputs& in, const Analysis& described) {
    Analysis f;
    f.between = described.between, f.within = described.within, f.options = described.options;
    f.groupSizes = described.groupSizes, f.subjects = described.subjects;
    AddMeans(in, f);
    if (in.options.meansOnly) return f;
    AddComparisons(in, f);
    AddSimpleEffects(in, f);
    f.strata = described.strata;
    AddChecks(in, f.strata, f);
    f.rankBased = RankTestsOf(in);
    return f;
}

// Last: the figures formed beside the model into the result.
void Join(Analysis&& beside, Analysis& out) {
    out.cellMeans = std::move(beside.cellMeans);
    out.marginalMeans = std::move(beside.marginalMeans);
    out.comparisons = std::move(beside.comparisons);
    out.simpleEffects = std::move(beside.simpleEffects);
    out.shown = std::move(beside.shown);
    out.cellShapes = std::move(beside.cellShapes);
    out.outlying = std::move(beside.outlying);
    out.outlyingSubjects = beside.outlyingSubjects;
    out.levene = std::move(beside.levene);
    out.rankBased = std::move(beside.rankBased);
    for (std::size_t i = 0; i < out.strata.size() && i < beside.strata.size(); ++i) {
        Stratum& to = out.strata[i];
        Stratum& from = beside.strata[i];
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
