#pragma once
// The analysis as one JSON object, every field under the key its description
// gives it (anova/AnalysisFields.h) in the options' layout, with the
// conventions and the provenance of the figures: a design's after its
// description, the study's (with its precision check) between its model and
// its checks.

#include <string>

#include "analysis/FullAnalysis.h"
#include "anova/Analysis.h"
#include "output/OutputOptions.h"
#include "report/PrecisionCheck.h"

namespace morvane {

// The object and a line end; in English whatever the options' language.
std::string AnalysisJson(const anova::Analysis& analysis, const OutputOptions& options,
                         const PrecisionCheck* precision = nullptr);

// The A x B x S analysis' JSON, through its bridge (output/Bridges.h) in the study's layout.
std::string AnalysisJson(const FullAnalysis& analysis, const OutputOptions& options);

}  // namespace morvane
