#pragma once
// The tables of the analysis of any design, each kind of row described once
// (output/detail/AnalysisTables.h) for every reader: the terminal's text and
// markdown, programs' CSV and the window, in English or Japanese. A long
// CSV's design is laid out in the general layout; the data file's A x B x S
// study in its own (OutputOptions::layout), with the precision of its results
// file after the simple effects.

#include <functional>
#include <vector>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"
#include "output/ResultTables.h"
#include "report/PrecisionCheck.h"

namespace morvane {

// Every table in its layout's order. A design's: the summary, sphericity, the
// multivariate tests, the cell and marginal means, the comparisons, the
// simple effects, Levene's tests (with between factors), the residuals'
// normality (the window's also the outlying subjects and the cells' shapes),
// the rank-based tests (where computed) and the robustness of the decisions
// at alpha. The study's: the
// summary, sphericity, the cell means, the means of A and of B, the
// comparisons, the simple effects, the precision check (with `precision`),
// then (with subjects and levels) the multivariate tests, the residuals, the
// cells' shapes, the outlying subjects, the rank-based tests and the
// robustness of the decisions. Every
// reader's are in the options' language; the summary
// of the terminal and of programs has the degrees of freedom and p of the
// correction the options apply, the window's all of them. The terminal's and
// the window's figures are rounded as options.rounding asks (an APA table's
// two decimals, or their own digits).
std::vector<TableText> TableTexts(const anova::Analysis& analysis, TableReader reader,
                                  const OutputOptions& options, char decimalSeparator = '.',
                                  const PrecisionCheck* precision = nullptr);

// The same tables handed to `each` one at a time, as each is made, their
// rows' texts made when asked (`head` has no rows), so that a writer holds
// one row's texts at a time rather than whole tables.
void EachTableText(const anova::Analysis& analysis, TableReader reader, const OutputOptions& options,
                   char decimalSeparator, const PrecisionCheck* precision,
                   const std::function<void(const TableText& head, const TableRows& rows)>& each);

}  // namespace morvane
