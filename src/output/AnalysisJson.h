#pragma once
// The full analysis as one JSON object, every field under the key its
// description gives it (analysis/ResultFields.h), with the conventions and the
// provenance of the figures between the univariate analysis and the model
// checks.

#include <string>

#include "analysis/FullAnalysis.h"
#include "output/OutputOptions.h"

namespace morvane {

// The object and a line end; in English whatever the options' language.
std::string AnalysisJson(const FullAnalysis& analysis, const OutputOptions& options);

}  // namespace morvane
