#pragma once
// The calculate command without its window: from the scores in the store to the
// closed results file.

#include <functional>
#include <optional>
#include <string>

#include "report/SumsOfSquares.h"
#include "scores/ParseScores.h"
#include "store/StudyStore.h"

namespace morvane {

enum class CalculationOutcome { Written, Cancelled };

// The path of the results file, or nothing when the user cancelled. The empty
// path is the process's standard output.
using ChooseResultsFile = std::function<std::optional<std::string>()>;

// How the calculation takes the scores.
struct CalculationPass {
    // With KeepValues::No the values are not stored in CellValue, which is then
    // neither sized nor changed: the same file, for a command that ends with it.
    KeepValues keep = KeepValues::Yes;
    // Given every parsed block too (the exact totals of a precision check).
    ParsedBlockSink* alongside = nullptr;
    // Given the sums of squares of the file, once they are computed.
    SumsOfSquares* sums = nullptr;
};

// After the window's write-back: parses every score (ConvertError at the first bad text),
// then asks chooseResultsFile for the path (std::nullopt = the user cancelled: return
// Cancelled, nothing else done), creates the file (InOutError), computes the sums of squares,
// sizes ColumnTotals to nb + 1, writes the report and closes the file.
// The steps run in this order, and a failure stops at its step with nothing undone: a bad
// score leaves no file touched, a file that cannot be created leaves nothing computed, and
// an arithmetic error after the creation leaves the file closed with the lines written
// before it, unless writing those lines failed: that failure came first and is the one
// thrown.
CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const ChooseResultsFile& chooseResultsFile,
                                  const CalculationPass& pass = {});

}  // namespace morvane
