#pragma once
// The multivariate tests, the assumption checks and the rank-based analysis
// as tables (after the analysis' own, as morvane anova's formats have them).

#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "output/ResultTables.h"

namespace morvane {

// Through the bridge (output/Bridges.h), the study's tables after its precision check:
// "Multivariate", "Residuals", "CellShape", "Outlying", "Friedman",
// "AlignedRanks" and "AlignedRankContrasts", for `reader` in the language of `options` (the window's in
// Japanese), with `decimalSeparator` in every figure; none without subjects or levels.
std::vector<TableText> ModelCheckTables(const FullAnalysis& analysis, TableReader reader,
                                        const OutputOptions& options = {}, char decimalSeparator = '.');

}  // namespace morvane
