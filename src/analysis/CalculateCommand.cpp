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

}  // namespace

CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const std::function<std::optional<std::string>()>& chooseResultsFile) {
    assert(HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts));
    EnsureCellValueSized(store);
    ParseAllScores(store, decimalSeparator);

    const std::optional<std::string> path = chooseResultsFile();
    if (!path) return CalculationOutcome::Cancelled;
    // Created (or emptied) before anything is computed; on a later error it is
    // closed with what was written so far, and a failure to write that out is
    // the error reported, since it came first.
    WriteTextFile(*path, [&](TextWriter& file) {
        const SumsOfSquares sums = ComputeSumsOfSquares(store);
        SizeStudy(store, StudyArrays::Totals);
        WriteResultsReport(file, store, sums, decimalSeparator);
    });
    return CalculationOutcome::Written;
}

CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const std::function<std::optional<std::string>()>& chooseResultsFile,
                                  std::optional<PrecisionCheck>& precision, KeepValues keep) {
    assert(HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts));
    if (keep == KeepValues::Yes) EnsureCellValueSized(store);
    // One pass over the texts and values: the values, the exact totals and the
    // totals of the sums of squares.
    ExactTotalsBuilder exact(store);
    SumsOfSquaresSweep sweep(store);
    ParseAllScores(store, decimalSeparator, exact, sweep, keep);
    const std::optional<std::string> path = chooseResultsFile();
    if (!path) return CalculationOutcome::Cancelled;
    SumsOfSquares sums;
    WriteTextFile(*path, [&](TextWriter& file) {
        sums = sweep.Finish(store);
        SizeStudy(store, StudyArrays::Totals);
        WriteResultsReport(file, store, sums, decimalSeparator, sweep.CellTotals());
    });
    precision = CheckResultsFile(sums, exact.Finish(store, decimalSeparator, false), decimalSeparator);
    return CalculationOutcome::Written;
}

}  // namespace morvane
