#pragma once
// The tables of any design's analysis, described once for every reader in the
// column model of the A x B x S tables (output/ResultTables.h): the summary
// with each stratum's error row, sphericity, the multivariate tests, the cell
// and marginal means, the comparisons, the simple effects, Levene's test, the
// normality of the residuals and, without between factors, the rank-based
// tests (Friedman, the aligned rank transform and its contrasts), with
// English and Japanese labels.

#include <vector>

#include "design/DesignAnalysis.h"
#include "output/OutputOptions.h"
#include "output/ResultTables.h"

namespace morvane {

// Through the bridge (output/Bridges.h): every table, in the order above; Levene's only with between factors,
// the rank-based tests only without. The summary of the terminal and of programs has the degrees of freedom
// and p of the correction `options` apply, the window's all of them.
std::vector<TableText> DesignTableTexts(const DesignAnalysis& analysis, TableReader reader,
                                        const OutputOptions& options, char decimalSeparator = '.');

}  // namespace morvane
