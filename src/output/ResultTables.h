#pragma once
// The tables' vocabulary: who reads them (TableReader) and the UTF-8 texts
// each reader gets, ready to lay out (TableText), whose one description is
// output/AnalysisTables.h.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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
    // precision check) or, when asked, an APA table's rounding (OutputOptions::rounding),
    // two columns for a pair, undefined "—", corrected
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

// A table's rows as texts (TableText's), made one at a time when asked and
// as often as asked, so that a table of many rows is never held whole. A
// long table's writers ask for rows from two threads at once: `fill` must
// allow it.
struct TableRows {
    std::size_t count = 0;
    std::function<void(std::size_t, std::vector<std::string>&)> fill;  // the texts of row i
};

// A table's texts with every row made and held: `head` with `rows` filled in.
TableText WithRows(TableText head, const TableRows& rows);

}  // namespace morvane
