#pragma once
// Box's (1949) M test of the equality of g groups' covariance matrices of p
// variables, with its chi-square and F approximations as the statistics
// packages report them. With n_i the groups' sizes, N their total, S_i the
// groups' covariance matrices (divisor n_i - 1) and S the pooled one,
// sum (n_i - 1) S_i / (N - g):
//   M  = (N - g) ln|S| - sum (n_i - 1) ln|S_i|
//   c1 = (sum 1 / (n_i - 1) - 1 / (N - g)) (2p^2 + 3p - 1) / (6 (p + 1) (g - 1))
//   c2 = (sum 1 / (n_i - 1)^2 - 1 / (N - g)^2) (p - 1) (p + 2) / (6 (g - 1))
//   df1 = (g - 1) p (p + 1) / 2, chi-square M (1 - c1) on df1;
//   df2 = (df1 + 2) / |c2 - c1^2|, and F = M / b with b = df1 / (1 - c1 - df1 / df2)
//   where c2 > c1^2, else F = df2 M / (df1 (b - M)) with b = df2 / (1 - c1 + 2 / df2).
// The test is not defined (no figures, the reason kept) with fewer than two
// groups, a group of fewer than p + 1 members, or a singular matrix.

#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/Extended.h"
#include "stats/Matrices.h"

namespace morvane {

// Why a Box's M test has no figures.
enum class BoxMUndefined {
    None,          // defined
    FewGroups,     // fewer than two groups
    SmallGroup,    // a group of fewer than p + 1 members
    Singular,      // a group's or the pooled covariance matrix is singular
    TooManyCells,  // more variables than the test is formed for (see kBoxMMostVariables)
};

// The most variables the engine forms the groups' covariance matrices for.
inline constexpr std::size_t kBoxMMostVariables = 64;

struct BoxMTest {
    std::size_t variables = 0, groups = 0;
    BoxMUndefined undefined = BoxMUndefined::None;
    std::optional<Extended> m, chiSquare, dfChiSquare, pChiSquare, f, df1, df2, pF;
};

// The test of the groups' covariance matrices (all of one order p), of
// `sizes` members each. The F approximation is absent where its df2 is not
// finite or b - M is not positive (c2 = c1^2, or a tiny M).
BoxMTest BoxM(const std::vector<std::int64_t>& sizes, const std::vector<SquareMatrix>& covariances);

}  // namespace morvane
