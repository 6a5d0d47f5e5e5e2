#include "analysis/CalculateCommand.h"

#include "analysis/ParseScores.h"
#include "analysis/ResultsReport.h"
#include "analysis/SumsOfSquares.h"
#include "runtime/TextWriter.h"

namespace morvane {
namespace {

// CellValue has the extents of the counts once the data window has sized it;
// a store in any other state is sized here, so that parsing never writes
// outside the array.
void EnsureCellValueSized(StudyStore& store) {
    const ScoreArray<Extended>& values = store.CellValue;
    if (values.Extent0() != std::int64_t{store.SubjectCount} + 1 ||
        values.Extent1() != std::int64_t{store.LevelCountA} + 1 ||
        values.Extent2() != std::int64_t{store.LevelCountB} + 1)
        SizeCellValue(store);
}

}  // namespace

CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const std::function<std::optional<std::string>()>& chooseResultsFile) {
    EnsureCellValueSized(store);
    ParseAllScores(store, decimalSeparator);

    const std::optional<std::string> path = chooseResultsFile();
    if (!path) return CalculationOutcome::Cancelled;
    // Created (or emptied) before anything is computed; on a later error it is
    // closed with what was written so far, and a failure to write that out is
    // the error reported, since it came first.
    WriteTextFile(*path, [&](TextWriter& file) {
        const SumsOfSquares sums = ComputeSumsOfSquares(store);
        SizeColumnTotals(store);
        WriteResultsReport(file, store, sums, decimalSeparator);
    });
    return CalculationOutcome::Written;
}

}  // namespace morvane
