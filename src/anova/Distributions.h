#pragma once
// The tail areas and quantiles of the analysis, in extended precision. Each is
// absent where its arguments leave the distribution undefined (degrees of
// freedom not above zero, a statistic that is not finite).

#include <optional>

#include "runtime/Extended.h"

namespace morvane {

// P(F > f) for the F distribution with (df1, df2) degrees of freedom.
std::optional<Extended> FUpperTail(Extended f, Extended df1, Extended df2);

// P(|T| > |t|) for Student's t distribution with df degrees of freedom.
std::optional<Extended> TTwoSided(Extended t, Extended df);

// The 97.5 % quantile of Student's t: the half-width factor of a 95 % interval.
std::optional<Extended> TQuantile975(Extended df);

// P(X > x) for the chi-square distribution with df degrees of freedom.
std::optional<Extended> ChiSquareUpperTail(Extended x, Extended df);

}  // namespace morvane
