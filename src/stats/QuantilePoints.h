#pragma once
// The points of a normal Q-Q plot of studentized residuals.

#include <cstddef>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

// A point of a normal Q-Q plot: the studentized residual of rank i (from 0)
// of n beside the standard normal quantile of (i + 1 - c) / (n + 1 - 2 c),
// c = 3/8 up to 10 residuals and 1/2 beyond (the usual plotting positions).
struct QuantilePoint {
    std::size_t rank = 0;
    Extended normal = 0, studentized = 0;
};

// A stratum's plot has every residual up to this many; beyond, the lowest and
// the highest kQuantileTail and evenly spaced ranks between them.
inline constexpr std::size_t kQuantilePoints = 1000;
inline constexpr std::size_t kQuantileTail = 100;

// The ranks a plot of `count` residuals shows, from low to high.
std::vector<std::size_t> QuantileRanks(std::size_t count);

// The points of the normal Q-Q plot of `studentized` residuals given in any
// order, from `low` to `high`: those of the ranks QuantileRanks chooses,
// chosen without a full sort.
std::vector<QuantilePoint> QuantilePointsOf(std::vector<Extended> studentized, Extended low, Extended high);

}  // namespace morvane
