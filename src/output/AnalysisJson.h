#pragma once
// The analysis as one JSON object, every field under the key its description
// gives it (anova/AnalysisFields.h) in the options' layout, with the
// conventions and the provenance of the figures: a design's after its
// description, the study's (with its precision check) between its model and
// its checks.

#include <functional>
#include <string>
#include <string_view>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"
#include "report/PrecisionCheck.h"

namespace morvane {

// The object and a line end; in English whatever the options' language.
std::string AnalysisJson(const anova::Analysis& analysis, const OutputOptions& options,
                         const PrecisionCheck* precision = nullptr);
// The same handed to `write` a piece at a time as it is made.
void WriteAnalysisJson(const anova::Analysis& analysis, const OutputOptions& options,
                       const PrecisionCheck* precision, const std::function<void(std::string_view)>& write);

}  // namespace morvane
