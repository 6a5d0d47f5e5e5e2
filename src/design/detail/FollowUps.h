#pragma once
// Private to the design room: the analysis beside the effects' tests, filled
// into an analysis whose effects are done: the cell and marginal means, the
// comparisons, the simple effects and the checks (Levene, Shapiro-Wilk).

#include "design/DesignAnalysis.h"

namespace morvane::design {

void AddFollowUps(const DesignData& design, DesignAnalysis& analysis);

// The rank-based tests of a design without between factors (none with them,
// or without subjects).
DesignRankTests RankTests(const DesignData& design);

}  // namespace morvane::design
