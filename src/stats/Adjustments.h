#pragma once
// The adjustments of a family of p-values for multiple testing: Holm's
// step-down (1979) and Bonferroni's. Undefined p-values are not in the family.

#include <optional>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

struct AdjustedP {
    std::optional<Extended> holm, bonferroni;
};

// For p[i] of a family: each defined p's adjustments, over the m defined ones;
// Holm's the running maximum of min(1, (m - rank) p) from the smallest p.
std::vector<AdjustedP> AdjustFamily(const std::vector<std::optional<Extended>>& p);

}  // namespace morvane
