#include "stats/SampleShape.h"

#include <cmath>

namespace morvane {

SampleShape ShapeOfMoments(std::size_t n, Extended m2, Extended m3, Extended m4) {
    SampleShape shape;
    const auto N = static_cast<Extended>(n);
    if (!(m2 > 0)) return shape;
    if (n >= 3) shape.skewness = m3 / std::pow(m2, Extended{1.5}) * std::sqrt(N * (N - 1)) / (N - 2);
    if (n >= 4) shape.excessKurtosis = (N - 1) * ((N + 1) * (m4 / (m2 * m2) - 3) + 6) / ((N - 2) * (N - 3));
    return shape;
}

}  // namespace morvane
