#pragma once
// The calculate command without its window: from the scores in the store to the
// closed results file.

#include <functional>
#include <optional>
#include <string>

#include "analysis/FullAnalysis.h"
#include "analysis/ParseScores.h"
#include "store/StudyStore.h"

namespace morvane {

enum class CalculationOutcome { Written, Cancelled };

// After the window's write-back: parses every score (ConvertError at the first bad text),
// then asks chooseResultsFile for the path (std::nullopt = the user cancelled: return
// Cancelled, nothing else done), creates the file (InOutError), computes the sums of squares,
// sizes ColumnTotals to nb + 1, writes the report and closes the file.
// The steps run in this order, and a failure stops at its step with nothing undone: a bad
// score leaves no file touched, a file that cannot be created leaves nothing computed, and
// an arithmetic error after the creation leaves the file closed with the lines written
// before it, unless writing those lines failed: that failure came first and is the one
// thrown. The empty path is the process's standard output.
CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const std::function<std::optional<std::string>()>& chooseResultsFile);

// RunCalculation, and when the file is written, the precision check of its
// summary table in `precision` (as CheckResultsFile gives it), its exact sums
// gathered while the scores are parsed. With KeepValues::No the values are
// not stored in CellValue, which is then neither sized nor changed: the same
// file, for a command that ends with it.
CalculationOutcome RunCalculation(StudyStore& store, char decimalSeparator,
                                  const std::function<std::optional<std::string>()>& chooseResultsFile,
                                  std::optional<PrecisionCheck>& precision,
                                  KeepValues keep = KeepValues::Yes);

}  // namespace morvane
