#pragma once
// Private to the full analysis: its steps after the pass over the subjects,
// each from the pass's PassMoments.

#include <algorithm>
#include <optional>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "analysis/detail/SubjectPass.h"
#include "stats/Adjustments.h"

namespace morvane::analysis {

// What one effect of the summary table is tested from.
struct EffectInputs {
    PartitionSource effect, error;
    std::optional<Extended> f;
    Extended errors = 0;  // every error term's sum of squares: generalized eta squared's divisor
    bool enoughSubjects = false;
    // Of the effect's orthonormal contrasts, where their sphericity is tested
    // (more than one contrast, not too many).
    const SquareMatrix* covariance = nullptr;
    bool sphericityOmitted = false;
    std::size_t subjects = 0, cells = 0;
    Extended level = 0.9L;  // of the effect sizes' intervals
};

// One effect whole: its F's p, its effect sizes with their intervals, and its
// contrasts' sphericity test with the three corrections (Effects.cpp).
EffectResult TestEffect(const EffectInputs& in);

// The paired comparisons, family by family, with Holm's and Bonferroni's
// adjustments within each (Comparisons.cpp); tq the 97.5 % quantile of t on n - 1.
std::vector<ComparisonResult> PairedComparisons(const PassMoments& moments, const Layout& layout,
                                                std::optional<Extended> tq, Extended level);

// The simple main effects of A at each level of B, then of B at each level of
// A (SimpleEffects.cpp).
std::vector<SimpleEffectResult> SimpleEffects(const PassMoments& moments, const Layout& layout, Extended level);
// The multivariate tests, the assumption checks and the rank-based analysis
// (ModelChecks.cpp), from the pass's moments and the scores' offsets.
void CheckTheModel(FullAnalysis& out, const PassMoments& moments, const Layout& layout, const ExactPartition& part);

// Holm's and Bonferroni's adjustments of the p-values of `all`'s elements
// [first, last), a family: into their pHolm and pBonferroni.
template <class Compared>
void AdjustWithinFamily(std::vector<Compared>& all, std::size_t first, std::size_t last) {
    std::vector<std::optional<Extended>> p;
    for (std::size_t i = first; i < last; ++i) p.push_back(all[i].p);
    const std::vector<AdjustedP> adjusted = AdjustFamily(p);
    for (std::size_t i = first; i < last; ++i) {
        all[i].pHolm = adjusted[i - first].holm;
        all[i].pBonferroni = adjusted[i - first].bonferroni;
    }
}

// part / whole, for a whole above zero.
inline std::optional<Extended> Ratio(Extended part, Extended whole) {
    if (!(whole > 0)) return std::nullopt;
    return part / whole;
}

}  // namespace morvane::analysis
