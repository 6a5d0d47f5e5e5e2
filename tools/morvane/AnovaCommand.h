#pragma once
// morvane anova: the full analysis of a study in one of six formats, or of any
// repeated-measures design of a long CSV in text, markdown, CSV or JSON.

#include <span>
#include <string>

#include "Commands.h"

namespace morvane::tool {

// Runs `anova DATAFILE [--format F] [--correction C] [--lang L] [--ci-level X] [OUTFILE|-]`, or with
// --id, --dv and --within (and the long CSV's options) `anova FILE.csv ...`, from the arguments after
// the command's name; throws UsageError when they are not of that form.
void Anova(std::span<const std::string> words, const Settings& settings);

// After `morvane report` wrote a results file whose summary table is not exact:
// tells so on standard error.
void NoticeInexactReport();

}  // namespace morvane::tool
