#include "analysis/CalculateCommand.h"

#include <cassert>

#include "analysis/ExactSums.h"
#include "analysis/ParseScores.h"
#include "analysis/ResultsReport.h"
#include "analysis/SumsOfSquares.h"
#include "runtime/TextWriter.h"

namespace morvane {
namespace {

// The data window sizes CellValue when it opens; a window whose opening ran
// out of memory left it unsized, and it gets its extents here.
void EnsureCellValueSized(StudyStore& store) {
    if (!HasItsExtents(store, StudyArrays::Values)) SizeStudy(store, StudyArrays::Values);
}

// From the parsed scores: asks for the path, then writes the file; `sums`
// (when given) receives the sums of squares it was written with.
CalculationOutcome WriteResults(StudyStore& store, char decimalSeparator,
                                const std::function<std::optional<std::string>()>& chooseResultsFile,
                                SumsOfSquares* sums) {
    const std::optional<std::string> path = chooseResultsFile();
    if (!path) return CalculationOutcome::Cancelled;
    // Created (or emptied) before anything is computed; on a later error it is
    // closed with what was written so far, and a failure to write that out is
    // the error reported, since it came first.
    WriteTextFile(*path, [&](TextWriter& file) {
        const SumsOfSquares computed = ComputeSumsOfSquares(store);
        if (sums) *sums = computed;
        SizeStudy(store, StudyArrays::Totals);
        WriteResultsReport(file, store, computed, decimalSeparator);
    });
    return CalculationOutcome::Written;
}

}  // namespace

CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const std::function<std::optional<std::string>()>& chooseResultsFile) {
    assert(HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts));
    EnsureCellValueSized(store);
    ParseAllScores(store, decimalSeparator);
    return WriteResults(store, decimalSeparator, chooseResultsFile, nullptr);
}

CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const std::function<std::optional<std::string>()>& chooseResultsFile,
                                  std::optional<PrecisionCheck>& precision) {
    assert(HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts));
    EnsureCellValueSized(store);
    ExactTotalsBuilder exact(store);
    ParseAllScores(store, decimalSeparator, exact);
    SumsOfSquares sums;
    const CalculationOutcome outcome = WriteResults(store, decimalSeparator, chooseResultsFile, &sums);
    if (outcome == CalculationOutcome::Written)
        precision = CheckResultsFile(sums, exact.Finish(store, decimalSeparator, false), decimalSeparator);
    return outcome;
}

}  // namespace morvane
