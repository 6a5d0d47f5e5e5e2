#pragma once
// Effect sizes' confidence intervals by inverting a noncentral distribution in
// its noncentrality (Steiger 2004): two-sided, the lower limit the
// noncentrality at which the observed statistic is the (1 + level) / 2
// quantile, the upper the one at which it is the (1 - level) / 2 quantile.

#include <optional>

#include "runtime/Extended.h"

namespace morvane {

// A two-sided interval of an effect size at its confidence level (0.9: 90 %).
struct LevelInterval {
    Extended level = 0, lower = 0, upper = 0;
};

// Partial eta squared's interval from an F on (df1, df2): each limit lambda of
// the noncentrality is lambda / (lambda + df2), the map that takes F df1 to
// the estimate F df1 / (F df1 + df2). Absent for an undefined F.
std::optional<LevelInterval> PartialEtaSquaredInterval(std::optional<Extended> f, Extended df1, Extended df2,
                                                       Extended level);

// d_z's interval from a paired t on df = n - 1: the limits of delta over sqrt(n).
std::optional<LevelInterval> CohenDzInterval(std::optional<Extended> t, Extended df, Extended level);

}  // namespace morvane
