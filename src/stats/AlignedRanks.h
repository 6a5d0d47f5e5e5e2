#pragma once
// The figures of the aligned rank transform (Wobbrock, Findlater, Gergle and
// Higgins 2011) of one effect, and of its contrasts (ART-C: Elkin, Melnick,
// Wobbrock and Leventhal 2021) of two levels of a factor by their mean ranks.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/Extended.h"

namespace morvane {

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
    // The adjustments formed when chosen (stats/Adjustments.h) beside Holm's and Bonferroni's.
    std::optional<Extended> pSidak{}, pHolmSidak{}, pHochberg{}, pHommel{}, pBH{}, pBY{}, pShaffer{}, pTukey{};
};

// A factor of more levels has no contrasts (their pairs would be too many to read).
inline constexpr std::size_t kContrastedLevels = 100;

}  // namespace morvane
