#pragma once
// Private to the engine: the analysis with the strategy that holds the
// scores named (the tests compare them), and the error strata of a design.

#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Scores.h"

namespace morvane::anova::detail {

Analysis AnalyseWith(const DesignData& design, const Options& options, Strategy strategy);

// The design's error strata, named and keyed, without figures: S, then each
// within effect's interaction with the subjects in the summary's order.
std::vector<Stratum> StrataOf(const DesignData& design);

}  // namespace morvane::anova::detail
