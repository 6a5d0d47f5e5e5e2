#pragma once
// The tables' vocabulary: who reads them (TableReader) and the UTF-8 texts
// each reader gets, ready to lay out (TableText), whose one description is
// output/AnalysisTables.h; the A x B x S analysis' tables through its bridge.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "output/Figures.h"
#include "output/OutputOptions.h"

namespace morvane {

// The columns a terminal gives a UTF-8 text: two for the wide characters of
// East Asian scripts and the full-width forms, one for others.
std::size_t DisplayWidth(std::string_view text);

// Who reads the tables, which decides their labels, their columns and their numbers.
enum class TableReader {
    // Text and markdown: English unless asked; figures rounded for reading (p as ".014",
    // "< .001"), an interval or a pair of levels in one column, undefined "—".
    Terminal,
    // CSV: English unless asked; 17 significant digits, intervals and pairs in two columns,
    // undefined and marginal cells empty.
    Program,
    // The results window: Japanese; 10 significant digits (19 for the
    // precision check), two columns for a pair, undefined "—", corrected
    // degrees of freedom in the summary table instead of the corrected p in the
    // sphericity table.
    Window,
};

struct TableText {
    std::string id;  // "Summary", "Sphericity", "CellMeans", "MeansA", "MeansB", "Comparisons", ...
    std::string title;
    std::vector<std::string> columnIds;  // one a column, whatever the reader
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> numeric;  // per column: figures, not names
    // What the reader should know beside the table, a line each.
    std::vector<std::string> notes;
};

// Through the bridge (output/Bridges.h), the study's tables up to its
// precision check: the summary, sphericity, the cell means, the means of A and
// of B, the comparisons, the simple effects, the precision check.
// `decimalSeparator` goes into every figure. A p that is 0 (below the range of
// the number type) shows as "< .001" to every reader.
std::vector<TableText> TableTexts(const FullAnalysis& analysis, TableReader reader,
                                  char decimalSeparator = '.');
// The same in the language of `options`; the summary of the terminal and of
// programs has the degrees of freedom and p of the correction it applies (none
// for DfCorrection::None), the window's all of them.
std::vector<TableText> TableTexts(const FullAnalysis& analysis, TableReader reader,
                                  const OutputOptions& options, char decimalSeparator = '.');

}  // namespace morvane
