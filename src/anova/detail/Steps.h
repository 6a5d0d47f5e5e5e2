#pragma once
// Private to the engine: the steps of an analysis, each filling its part of
// the one result from the design and its exact integer scores. Analyse runs
// the model on one thread and the rest beside it; no step reads another's
// figures, so they may run in any order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Scores.h"

namespace morvane::anova::detail {

// What every step is given.
struct Inputs {
    const DesignData& design;
    const Scores& scores;
    const Options& options;
};

// The strata, the effects and the total: sums of squares, F, p, the effect
// sizes with their intervals, sphericity and its corrections, the
// multivariate tests (Model.cpp).
void AddModel(const Inputs& in, Analysis& out);

// Each effect of one within factor's Cohen's f in the power programs'
// convention, with the mean correlation of its levels (PowerProgramsF.cpp);
// after the effects' Cohen's f.
void AddPowerProgramsF(const Inputs& in, Analysis& out);

// The cell means and every factor's marginal means (Means.cpp).
void AddMeans(const Inputs& in, Analysis& out);
// Each subject's cell scores and between cell (Means.cpp); part of AddMeans.
void AddSubjectScores(const Inputs& in, Analysis& out);

// The pairwise comparisons of every factor, over the others and at each place
// of them, with the families' adjustments, and `out.shown` (Comparisons.cpp).
void AddComparisons(const Inputs& in, Analysis& out);

// The pairwise comparisons of the cells of each interaction asked for, with
// each interaction's adjustments (Comparisons.cpp).
void AddCellComparisons(const Inputs& in, Analysis& out);

// The simple interactions and simple-simple effects, each the analysis of its
// slice of the design (SimpleInteractions.cpp).
void AddSimpleInteractions(const Inputs& in, Analysis& out);

// The simple effects of every factor at each level of each other factor (SimpleEffects.cpp).
void AddSimpleEffects(const Inputs& in, Analysis& out);

// The checks of each stratum's residuals (normality, studentized residuals,
// Q-Q points) into the strata AddModel made, the cells' shapes, the outlying
// subjects, and Levene's tests (Checks.cpp). `strata` the strata as AddModel
// names them (their order and factors), whose checks it fills.
void AddChecks(const Inputs& in, std::vector<Stratum>& strata, Analysis& out);

// The planned contrasts of the options' trends and contrasts, with their
// families' adjustments; none where the options do not fit the design (PlannedContrasts.cpp).
void AddPlannedContrasts(const Inputs& in, Analysis& out);

// Each effect's planning from the model's figures in `analysis` and the
// correlations among its stratum's cells (Planning.cpp).
std::vector<PlanningRow> PlanningOf(const Inputs& in, const Analysis& analysis);
// The rank-based tests of a design without between factors (Ranks.cpp).
RankTests RankTestsOf(const Inputs& in);

// The nonempty subsets of n factors as masks, in the order of a model
// formula's terms (and of the summary's effects): by their number of factors,
// then by their factors' indices.
std::vector<std::uint32_t> TermsInOrder(std::size_t n);

// An effect's or stratum's name from its factors: the between then the
// within factors' names joined by `separator`.
std::string JoinedName(const DesignData& design, const std::vector<std::size_t>& between,
                       const std::vector<std::size_t>& within, const std::string& separator);

}  // namespace morvane::anova::detail
