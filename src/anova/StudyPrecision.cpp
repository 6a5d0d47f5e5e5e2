#include "anova/StudyPrecision.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "report/SumsOfSquares.h"
#include "runtime/Errors.h"
#include "scores/ParseScores.h"

namespace morvane::anova {
namespace {

// The study without the removed subjects (their numbers): the same levels,
// the others' texts in order.
StudyStore CompleteSubjects(const StudyStore& store, const std::vector<std::string>& removed) {
    std::vector<std::string> namesA, namesB;
    for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
        namesA.push_back(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
        namesB.push_back(store.LevelNamesB[static_cast<std::size_t>(b)]);
    std::vector<bool> out(static_cast<std::size_t>(std::max(store.SubjectCount, 0)) + 1, false);
    for (const std::string& id : removed) out.at(static_cast<std::size_t>(std::stoi(id))) = true;
    std::int32_t kept = 0;
    for (std::int32_t s = 1; s <= store.SubjectCount; ++s) kept += out[static_cast<std::size_t>(s)] ? 0 : 1;
    StudyStore complete;
    StartNewStudy(complete, namesA, namesB, std::to_string(kept));
    std::int32_t to = 0;
    for (std::int32_t from = 1; from <= store.SubjectCount; ++from) {
        if (out[static_cast<std::size_t>(from)]) continue;
        ++to;
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
                complete.CellText.Set(to, a, b, store.CellText.Text(from, a, b));
    }
    return complete;
}

// The exact partition of the A x B x S study as the analysis formed it.
ExactPartition PartitionOf(const Analysis& analysis) {
    ExactPartition part;
    part.method = analysis.exact ? PartitionMethod::Exact : PartitionMethod::Centred;
    part.S = analysis.strata[0].error;
    part.A = analysis.effects[0].effect, part.AS = analysis.strata[1].error;
    part.B = analysis.effects[1].effect, part.BS = analysis.strata[2].error;
    part.AB = analysis.effects[2].effect, part.ABS = analysis.strata[3].error;
    part.Total = analysis.total, part.Within = analysis.withinSubjects;
    part.fA = analysis.effects[0].f, part.fB = analysis.effects[1].f, part.fAB = analysis.effects[2].f;
    return part;
}

// The results file's sums, as it computes them; none where it cannot.
std::optional<SumsOfSquares> ResultsFileSums(const StudyStore& store, char decimalSeparator) {
    SumsOfSquaresSweep sweep(store);
    ParsedBlockSink* const sinks[] = {&sweep};
    ParseAllScores(store, decimalSeparator, sinks);
    return SweptSums(sweep, store);
}

}  // namespace

std::optional<SumsOfSquares> SweptSums(const SumsOfSquaresSweep& sweep, const StudyStore& store) {
    try {
        return sweep.Finish(store);
    } catch (const InvalidOperationError&) {  // no subjects: the results file has no sums
    } catch (const OverflowError&) {          // scores beyond the results file's range
    }
    return std::nullopt;
}

std::optional<SumsOfSquares> StudyResultsFileSums(const StudyStore& store, char decimalSeparator,
                                                  const std::vector<std::string>& removed) {
    if (removed.empty()) return ResultsFileSums(store, decimalSeparator);
    return ResultsFileSums(CompleteSubjects(store, removed), decimalSeparator);
}

PrecisionCheck CheckStudyResultsFile(const StudyStore& store, char decimalSeparator, const Analysis& analysis) {
    return CheckStudyResultsFile(store, decimalSeparator, analysis,
                                 StudyResultsFileSums(store, decimalSeparator, analysis.removed));
}

PrecisionCheck CheckStudyResultsFile(const StudyStore& store, char decimalSeparator, const Analysis& analysis,
                                     const std::optional<SumsOfSquares>& sums) {
    // Below two subjects the results file prints the counts' differences as
    // they are: the check takes its own exact partition, whose degrees of
    // freedom it prints.
    if (analysis.subjects < 2 || analysis.within.size() != 2 || !analysis.between.empty()) {
        StudyStore own = analysis.removed.empty() ? store : CompleteSubjects(store, analysis.removed);
        return CheckResultsFile(own, decimalSeparator);
    }
    return CheckResultsFile(sums, PartitionOf(analysis), decimalSeparator);
}

}  // namespace morvane::anova
