#pragma once
// The rank-based analysis of a study of the A x B x S design.
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

#include "stats/AlignedRanks.h"
#include "stats/Friedman.h"
#include "runtime/Extended.h"

namespace morvane {

struct RankBasedResults {
    FriedmanTest A, B, cells;  // A over the means of B, B over those of A, the a x b cells
    AlignedRankEffect alignedA, alignedB, alignedAB;
    // Every pair of levels of A, then of B, up to kContrastedLevels levels.
    std::vector<AlignedRankContrast> contrastsA, contrastsB;
    bool exactAlignment = false;  // aligned and ranked in integers
};

}  // namespace morvane
