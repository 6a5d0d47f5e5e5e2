#pragma once
// Friedman's test ranks each subject's k values (midranks for ties) and asks
// whether the conditions' rank sums R_j differ more than chance allows:
//   Q = 12 sum_j (R_j - n (k + 1) / 2)^2 / (n k (k + 1) - sum (t^3 - t) / (k - 1)),
// the sum in the divisor over each subject's groups of t tied values, against
// chi-square on k - 1 degrees of freedom (Friedman 1937); Kendall's
// W = Q / (n (k - 1)) (Kendall and Babington Smith 1939), and Iman and
// Davenport's F = (n - 1) Q / (n (k - 1) - Q) on (k - 1, (n - 1)(k - 1))
// (Iman and Davenport 1980). Q, W and F are each an exact ratio of integers
// (the doubled midranks are integers) rounded once.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/Extended.h"

namespace morvane {

struct FriedmanTest {
    std::int64_t levels = 0;  // k
    std::optional<Extended> chiSquare, p, kendallW, imanDavenportF, imanDavenportP;
    std::int64_t df = 0, df1 = 0, df2 = 0;  // the chi-square's, then the F's
    // 1 - sum (t^3 - t) / (n (k^3 - k)): what the ties take from the statistic's divisor.
    std::optional<Extended> tieCorrection;
    // Q without the ties' term in its divisor, 12 sum_j (R_j - n (k + 1) / 2)^2 / (n k (k + 1)), and its
    // p: the statistic of the textbooks that leave ties out (Q times the tie correction).
    std::optional<Extended> chiSquareUncorrected, pUncorrected;
};

// Friedman's test of the n x k values v[s * k + j]: subject s's value in
// condition j. The integer forms are the same test of integers (decimals at a
// common scale), ranked faster.
FriedmanTest Friedman(const Extended* v, std::size_t n, std::size_t k);
FriedmanTest Friedman(const std::int32_t* v, std::size_t n, std::size_t k);
FriedmanTest Friedman(const std::int64_t* v, std::size_t n, std::size_t k);

}  // namespace morvane
