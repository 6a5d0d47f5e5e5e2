#include "report/CalculateCommand.h"

#include <array>
#include <cassert>
#include <span>

#include "report/ResultsReport.h"
#include "runtime/TextWriter.h"

namespace morvane {

CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const ChooseResultsFile& chooseResultsFile, const CalculationPass& pass) {
    assert(HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts));
    // The data window sizes CellValue when it opens; a window whose opening ran
    // out of memory left it unsized, and it gets its extents here.
    if (pass.keep == KeepValues::Yes && !HasItsExtents(store, StudyArrays::Values))
        SizeStudy(store, StudyArrays::Values);
    // One pass over the texts: the values, the totals of the sums of squares
    // and whatever goes alongside.
    SumsOfSquaresSweep sweep(store);
    const std::array<ParsedBlockSink*, 2> sinks{&sweep, pass.alongside};
    ParseAllScores(store, decimalSeparator, std::span(sinks.data(), pass.alongside ? 2 : 1), pass.keep);

    const std::optional<std::string> path = chooseResultsFile();
    if (!path) return CalculationOutcome::Cancelled;
    // Opened before anything is computed, so that a name that cannot be written
    // stops the command first. On a later error (a degenerate design stopping
    // at its row) the unfinished file is removed and the old one stays; the
    // standard output keeps the lines written before the stop. A failure to
    // write those out is the error reported, since it came first.
    WriteTextFile(*path, [&](TextWriter& file) {
        const SumsOfSquares sums = sweep.Finish(store);
        if (pass.sums) *pass.sums = sums;
        SizeStudy(store, StudyArrays::Totals);
        WriteResultsReport(file, store, sums, decimalSeparator, sweep.CellTotals());
    });
    return CalculationOutcome::Written;
}

}  // namespace morvane
