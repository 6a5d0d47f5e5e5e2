#pragma once
// The shape of a sample: the skewness G1 = g1 sqrt(n (n - 1)) / (n - 2) and
// the excess kurtosis G2 = (n - 1) ((n + 1) g2 + 6) / ((n - 2) (n - 3)), from
// g1 = m3 / m2^(3/2) and g2 = m4 / m2^2 - 3 of the central moments m_k (the
// adjusted sample statistics of Joanes and Gill 1998, as spreadsheets and
// SPSS give them).

#include <cstddef>
#include <optional>

#include "runtime/Extended.h"

namespace morvane {

struct SampleShape {
    std::optional<Extended> skewness, excessKurtosis;
};

// From the central moments of n values: none for values all equal (m2 not
// above zero), the skewness from 3 values, the kurtosis from 4.
SampleShape ShapeOfMoments(std::size_t n, Extended m2, Extended m3, Extended m4);

}  // namespace morvane
