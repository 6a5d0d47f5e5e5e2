#pragma once
// The options of morvane anova that ask for follow-up analyses (--adjust,
// --effect-sizes, --alpha, --ci-level, --trend, --spacing, --contrast,
// --cells, --simple-interactions), read by the core's reader that the results
// window's settings use too (output/AnalysisOptionWords.h), its refusals as
// usage errors.

#include "Arguments.h"
#include "anova/Analysis.h"
#include "design/Design.h"

namespace morvane::tool {

// Reads the options into the analysis' options; UsageError for one that does
// not parse, a spacing of a factor --trend does not name, or a factor's
// spacing given twice.
void ReadFollowUpOptions(const Arguments& arguments, anova::Options& options);

// UsageError where the contrasts or the cell interactions asked for do not fit the design read.
void CheckContrastsFit(const DesignData& design, const anova::Options& options);

}  // namespace morvane::tool
