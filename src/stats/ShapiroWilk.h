#pragma once
// Shapiro and Wilk's test of normality by Royston's 1995 algorithm (AS R94),
// for 3 to 5000 values.

#include <cstddef>
#include <optional>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

struct ShapiroWilkTest {
    std::size_t count = 0;
    bool inRange = false;  // 3 to 5000 values
    std::optional<Extended> w, p;
};

// Shapiro and Wilk's test of the values (ShapiroWilk.cpp); W and p absent
// outside the algorithm's range and for values all equal.
ShapiroWilkTest ShapiroWilk(std::vector<Extended> values);

}  // namespace morvane
