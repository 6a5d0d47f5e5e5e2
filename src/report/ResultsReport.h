#pragma once
// The results report: the title, one score table per level of A with its row of
// column means, and the analysis-of-variance summary table, in fixed-width
// fields of code page 932 text.

#include <cstdint>
#include <vector>

#include "report/SumsOfSquares.h"
#include "runtime/TextWriter.h"
#include "store/StudyStore.h"

namespace morvane {

// Writes the whole report into `file`. The score tables print the score texts
// as stored and fill ColumnTotals (sized to nb + 1 beforehand) with the totals
// of their values for the means: `cellTotals` gives those of every cell over
// the subjects (index (a - 1) * nb + (b - 1), as SumsOfSquaresSweep::CellTotals
// gives them); where one leaves the range, the tables sum the values of the
// texts, which must all parse, until their sums do. Every line is formed whole
// before its first byte is written, so a line whose arithmetic fails (a mean
// square with zero degrees of freedom, an F ratio over a zero error term) is
// not written at all: the error propagates with the lines before it written.
void WriteResultsReport(TextWriter& file, StudyStore& store, const SumsOfSquares& sums, char decimalSeparator,
                        const std::vector<Extended>& cellTotals);

// The summary part alone: the heading and the nine rows S, SSw.s, A, AS, B, BS,
// AB, ABS and Total with their degrees of freedom, mean squares and F ratios.
// The degrees of freedom are 64-bit products, so no design can wrap them around.
void WriteSummaryTable(TextWriter& file, std::int32_t subjects, std::int32_t levelsA, std::int32_t levelsB,
                       const SumsOfSquares& sums, char decimalSeparator);

}  // namespace morvane
