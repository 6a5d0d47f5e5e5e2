#pragma once
// Tail areas, quantiles and the limits of noncentral intervals in extended
// precision (Boost.Math, with no promotion and a tail too small for the format
// taken as zero). Each is absent where its arguments leave the distribution
// undefined (degrees of freedom not above zero, a statistic that is not finite).

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

// P(Z > z) for the standard normal distribution.
std::optional<Extended> NormalUpperTail(Extended z);

// The standard normal quantile of probability q, 0 < q < 1.
std::optional<Extended> NormalQuantile(Extended q);

// The limits of the noncentrality of a two-sided interval at `level`, found by
// inverting the distribution in its noncentrality (Steiger 2004): the lower
// limit is the one at which the observed statistic is the (1 + level) / 2
// quantile, the upper the one at which it is the (1 - level) / 2 quantile.
struct NoncentralityLimits {
    Extended lower = 0, upper = 0;
};

// For an F of (df1, df2) degrees of freedom, integer or not: lambda >= 0, a limit
// that no lambda reaches being 0 (both are 0 for an F at or below 0). Absent for
// an F or degrees of freedom that leave the distribution undefined, a level
// outside (0, 1), and an F df1 beyond the format's range. Up to F df1 = 10^6
// the distribution is Boost's series; beyond, a noncentrality above 10^6 is
// taken by a numerical integral over the square root of the noncentral
// chi-square, good to about 1e-18 in the distribution and 15 digits in lambda.
std::optional<NoncentralityLimits> NoncentralFLimits(Extended f, Extended df1, Extended df2, Extended level);

// For Student's t on df degrees of freedom: delta, of either sign (beyond
// |t| = 200 by a numerical integral, good to about 15 digits).
std::optional<NoncentralityLimits> NoncentralTLimits(Extended t, Extended df, Extended level);

}  // namespace morvane
