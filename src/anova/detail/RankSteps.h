#pragma once
// Private to the engine's rank-based tests (Ranks.cpp, AlignedRanks.cpp).

#include "anova/detail/CheckPasses.h"
#include "anova/detail/Steps.h"

namespace morvane::anova::detail {

// The aligned rank transform of every within effect, in the summary's order,
// with the contrasts of each within factor, into out (AlignedRanks.cpp).
void AlignedRankTransform(const Inputs& in, const WithinTables& t, RankTests& out);

}  // namespace morvane::anova::detail
