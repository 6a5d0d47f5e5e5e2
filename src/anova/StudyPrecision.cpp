#include "anova/StudyPrecision.h"

#include <optional>
#include <string>
#include <vector>

#include "report/SumsOfSquares.h"
#include "runtime/Errors.h"
#include "scores/ParseScores.h"

namespace morvane::anova {
namespace {

// The study of the subjects analysed: the same levels, their texts in order.
StudyStore CompleteSubjects(const StudyStore& store, const Analysis& analysis) {
    std::vector<std::string> namesA, namesB;
    for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
        namesA.push_back(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
        namesB.push_back(store.LevelNamesB[static_cast<std::size_t>(b)]);
    StudyStore complete;
    StartNewStudy(complete, namesA, namesB, std::to_string(analysis.subjectIds.size()));
    std::int32_t to = 0;
    for (const std::string& id : analysis.subjectIds) {
        const std::int32_t from = std::stoi(id);
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
    try {
        return sweep.Finish(store);
    } catch (const InvalidOperationError&) {  // no subjects: the results file has no sums
    } catch (const OverflowError&) {          // scores beyond the results file's range
    }
    return std::nullopt;
}

}  // namespace

PrecisionCheck CheckStudyResultsFile(const StudyStore& store, char decimalSeparator,
                                     const Analysis& analysis) {
    const bool complete = analysis.removed.empty();
    std::optional<StudyStore> copy;
    if (!complete) copy.emplace(CompleteSubjects(store, analysis));
    const StudyStore& study = complete ? store : *copy;
    // Below two subjects the results file prints the counts' differences as
    // they are: the check takes its own exact partition, whose degrees of
    // freedom it prints.
    if (study.SubjectCount < 2 || analysis.within.size() != 2 || !analysis.between.empty()) {
        StudyStore own = study;
        return CheckResultsFile(own, decimalSeparator);
    }
    return CheckResultsFile(ResultsFileSums(study, decimalSeparator), PartitionOf(analysis),
                            decimalSeparator);
}

}  // namespace morvane::anova
