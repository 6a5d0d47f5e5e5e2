#pragma once
// The tables of the analysis window, as UTF-8 texts: each statistic with ten
// significant digits and the user's decimal separator, "—" where the study
// leaves it undefined, an empty cell where it does not apply.

#include <string>
#include <vector>

#include "anova/FullAnalysis.h"

namespace morvane {

struct WindowTable {
    std::string title;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> numeric;  // per column: right-aligned
};

struct WindowTables {
    WindowTable summary, sphericity, cellMeans, meansA, meansB, comparisons, simpleEffects, precision;
    // What the precision check found, in plain words; empty when the results
    // file's summary table is exact and the sums are exact.
    std::string precisionNotice;
};

inline const char* const kUndefinedText = "—";

WindowTables MakeWindowTables(const FullAnalysis& analysis, char decimalSeparator);

// `value` with `digits` significant digits ("%.*Lg") and the decimal separator.
std::string NumberText(Extended value, int digits, char decimalSeparator);

}  // namespace morvane
