#pragma once
// Private to the full analysis: the checks beside the model, from the scores
// as the pass left them (integer offsets, extended offsets, counts by value).

#include "analysis/AssumptionChecks.h"
#include "analysis/RankTests.h"
#include "analysis/detail/CellScores.h"

namespace morvane {

// The checks of the scores (offsets from any reference will do, or from each
// cell's own: the residuals and shapes do not change): in integers, exactly,
// where they are integers small enough.
AssumptionChecks CheckAssumptions(const CellScores& scores);

// The rank-based analysis; the offsets must be from one reference.
RankBasedResults RankBasedAnalysis(const CellScores& scores);

}  // namespace morvane
