#pragma once
// Orthogonal polynomial contrasts over a factor's levels at any spacing: the
// powers of the centred scores made orthogonal by Gram and Schmidt, exactly,
// each degree's row as the smallest integers of its direction with a positive
// leading coefficient (as R's contr.poly(scores =) up to scale: increasing
// for the linear row, positive at the ends for the quadratic).

#include <gmpxx.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

// The rows of degrees 1 .. k - 1 over k scores (distinct, k >= 2), each as
// integers without a common factor. Empty for fewer than two scores or
// repeated ones.
std::vector<std::vector<mpz_class>> OrthogonalPolynomials(const std::vector<mpq_class>& scores);

// A row's largest magnitude up to which it is reported in integers; beyond,
// as its unit-length (orthonormal) row.
inline constexpr long kPolynomialIntegersUpTo = 10000;

// Whether a row's integers are within kPolynomialIntegersUpTo.
bool SmallIntegers(const std::vector<mpz_class>& row);

// The name of degree d: "linear", "quadratic", "cubic", "quartic", then "degree 5", ...
std::string DegreeName(std::size_t degree);

}  // namespace morvane
