#pragma once
// morvane anova: the full analysis of a study in one of four formats.

#include <string>
#include <vector>

#include "Commands.h"

namespace morvane::tool {

// Runs `anova DATAFILE [--format F] [OUTFILE|-]` from the arguments after the
// command's name; false when they are not of that form (a usage error).
bool Anova(const std::vector<std::string>& args, const Settings& settings);

// After `morvane report` wrote a results file whose summary table is not exact:
// tells so on standard error.
void NoticeInexactReport();

}  // namespace morvane::tool
