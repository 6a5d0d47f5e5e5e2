#pragma once
// An interval of a figure: a confidence interval of a mean or a difference,
// as its two ends.

#include "runtime/Extended.h"

namespace morvane {

struct Interval {
    Extended low = 0, high = 0;
};

}  // namespace morvane
