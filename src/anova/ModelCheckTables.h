#pragma once
// Private to the output formats: the multivariate tests, the assumption checks
// and the rank-based analysis as tables (after the analysis' own) and as the
// members "multivariate", "assumptions" and "rankBased" of the JSON object.

#include <string>
#include <vector>

#include "anova/FullAnalysis.h"
#include "anova/ResultTables.h"

namespace morvane {

// For the terminal (text, markdown) or for programs (CSV).
void AppendModelCheckTables(const FullAnalysis& analysis, TableReader reader, std::vector<TableText>& tables);

// The three members, keys and values, without the braces around them.
// A number beyond a double's range goes as a string of its digits, and
// `outsideDoubleRange` is then set.
std::string ModelCheckJsonMembers(const FullAnalysis& analysis, bool& outsideDoubleRange);

}  // namespace morvane
