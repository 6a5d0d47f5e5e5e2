#pragma once
// Private to the design room: the analysis beside the effects' tests, filled
// into an analysis whose effects are done: the cell and marginal means, the
// comparisons, the simple effects and the checks (Levene, Shapiro-Wilk).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "design/DesignAnalysis.h"

namespace morvane::design {

void AddFollowUps(const DesignData& design, DesignAnalysis& analysis);

// The rank-based tests of a design without between factors (none with them,
// or without subjects).
DesignRankTests RankTests(const DesignData& design);

// The nonempty subsets of n factors as masks, in the order of a model
// formula's terms (and of the summary's effects): by their number of factors,
// then by their factors' indices.
std::vector<std::uint32_t> TermsInOrder(std::size_t n);

}  // namespace morvane::design
