#pragma once
// Tail areas and quantiles in extended precision. Each is absent where its
// arguments leave the distribution undefined (degrees of freedom not above
// zero, an argument that is not finite).

#include <optional>

#include "runtime/Extended.h"

namespace morvane::tails {

// P(F > f) for the F distribution with (df1, df2) degrees of freedom.
std::optional<Extended> FUpper(Extended f, Extended df1, Extended df2);

// P(X > x) for the chi-square distribution with df degrees of freedom.
std::optional<Extended> ChiSquareUpper(Extended x, Extended df);

// P(Z > z) for the standard normal distribution.
std::optional<Extended> NormalUpper(Extended z);

// The standard normal quantile of probability q, 0 < q < 1.
std::optional<Extended> NormalQuantile(Extended q);

}  // namespace morvane::tails
