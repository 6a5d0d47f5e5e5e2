#pragma once
// The results report: the title, one score table per level of A with its row of
// column means, and the analysis-of-variance summary table, in fixed-width
// fields of code page 932 text.

#include <cstdint>
#include <vector>

#include "analysis/SumsOfSquares.h"
#include "runtime/TextWriter.h"
#include "store/StudyStore.h"

namespace morvane {

// Writes the whole report into `file`. The score tables print the score texts
// as stored and fill ColumnTotals (sized to nb + 1 beforehand) with the totals
// of the values of the texts, table by table, for the means: summed from
// CellValue, which the calculate command has parsed from the texts just before
// (where a total leaves the range, from the texts). Every line is formed whole
// before its first byte is written, so a line whose arithmetic fails (a mean
// square with zero degrees of freedom, an F ratio over a zero error term) is
// not written at all: the error propagates with the lines before it written.
void WriteResultsReport(TextWriter& file, StudyStore& store, const SumsOfSquares& sums,
                        char decimalSeparator);

// The same with the totals of every cell over the subjects at hand (index
// (a - 1) * nb + (b - 1), as SumsOfSquaresSweep::CellTotals gives them), so
// that CellValue is not read and need not be sized.
void WriteResultsReport(TextWriter& file, StudyStore& store, const SumsOfSquares& sums, char decimalSeparator,
                        const std::vector<Extended>& cellTotals);

// The summary part alone: the heading and the nine rows S, SSw.s, A, AS, B, BS,
// AB, ABS and Total with their degrees of freedom, mean squares and F ratios.
// The degrees of freedom are 64-bit products, so no design can wrap them around.
void WriteSummaryTable(TextWriter& file, std::int32_t subjects, std::int32_t levelsA, std::int32_t levelsB,
                       const SumsOfSquares& sums, char decimalSeparator);

}  // namespace morvane
