#pragma once
// The rank-based analysis of a study of the A x B x S design.
//
// Friedman's test ranks each subject's k values (midranks for ties) and asks
// whether the conditions' rank sums R_j differ more than chance allows:
//   Q = 12 sum_j (R_j - n (k + 1) / 2)^2 / (n k (k + 1) - sum (t^3 - t) / (k - 1)),
// the sum in the divisor over each subject's groups of t tied values, against
// chi-square on k - 1 degrees of freedom; Kendall's W = Q / (n (k - 1)), and
// Iman and Davenport's F = (n - 1) Q / (n (k - 1) - Q) on (k - 1, (n - 1)(k - 1)).
//
// The aligned rank transform (Wobbrock, Findlater, Gergle and Higgins 2011)
// takes, for each effect, the scores' residuals from their cell means plus the
// effect's estimate (for A: y - mean(a, b) + mean(a) - grand mean), ranks them
// over the whole study and analyses the ranks as the scores are analysed, with
// the subjects' strata (A x S, B x S, A x B x S) as the error terms, keeping
// only the effect the ranks were aligned for.
//
// The contrasts of the aligned rank transform (ART-C, Elkin, Melnick, Wobbrock
// and Leventhal 2021) compare two levels of A (or of B) by their mean ranks of
// the responses aligned for A (for B), against the error of A's stratum:
// t = (mean i - mean j) / sqrt(2 MSE(A x S) / (n b)) on (a - 1)(n - 1) degrees
// of freedom, as the ranks' model with those strata gives them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "cellscores/CellScores.h"
#include "runtime/Extended.h"

namespace morvane {

struct FriedmanTest {
    std::int64_t levels = 0;  // k
    std::optional<Extended> chiSquare, p, kendallW, imanDavenportF, imanDavenportP;
    std::int64_t df = 0, df1 = 0, df2 = 0;  // the chi-square's, then the F's
    // 1 - sum (t^3 - t) / (n (k^3 - k)): what the ties take from the statistic's divisor.
    std::optional<Extended> tieCorrection;
};

struct AlignedRankEffect {
    Extended ss = 0, errorSs = 0;  // of the ranks
    std::int64_t df = 0, errorDf = 0;
    std::optional<Extended> f, p;
    // The check of the alignment: the largest estimate of the other effects in
    // the aligned responses, over their standard deviation; zero but for rounding.
    std::optional<Extended> otherEffects;
};

// A contrast of two levels (from 1, first < second) by their mean aligned ranks.
struct AlignedRankContrast {
    std::int32_t first = 0, second = 0;
    Extended difference = 0;                               // mean rank of the first less that of the second
    std::optional<Extended> se, t, p, pHolm, pBonferroni;  // p two-sided; the adjustments within the factor
    std::int64_t df = 0;
};

struct RankBasedResults {
    FriedmanTest A, B, cells;  // A over the means of B, B over those of A, the a x b cells
    AlignedRankEffect alignedA, alignedB, alignedAB;
    // Every pair of levels of A, then of B, up to kContrastedLevels levels.
    std::vector<AlignedRankContrast> contrastsA, contrastsB;
    bool exactAlignment = false;  // aligned and ranked in integers
};

// A factor of more levels has no contrasts (their pairs would be too many to read).
inline constexpr std::size_t kContrastedLevels = 100;

RankBasedResults RankBasedAnalysis(const CellScores& scores);

// The least and the most of integers, where a caller knows them.
using IntegerExtremes = std::optional<std::pair<std::int64_t, std::int64_t>>;

// Friedman's test of the n x k values v[s * k + j] (Friedman.cpp).
template <typename T>
FriedmanTest Friedman(const T* v, std::size_t n, std::size_t k, IntegerExtremes extremes = std::nullopt);

extern template FriedmanTest Friedman(const std::int32_t*, std::size_t, std::size_t, IntegerExtremes);
extern template FriedmanTest Friedman(const std::int64_t*, std::size_t, std::size_t, IntegerExtremes);
extern template FriedmanTest Friedman(const Extended*, std::size_t, std::size_t, IntegerExtremes);

}  // namespace morvane
