#pragma once
// The bridges that carry the two engines' results into the one result
// (anova/Analysis.h), so that every output renders that one: the data file's
// A x B x S analysis (FullAnalysis) and a long CSV's design's
// (DesignAnalysis). They carry every figure the outputs show, and go when the
// one engine computes every design.

#include "analysis/FullAnalysis.h"
#include "anova/Analysis.h"
#include "design/DesignAnalysis.h"

namespace morvane {

// The study as a design of two within factors named "A" and "B", their levels
// named as the tables show them (UTF-8), its subjects "1", "2", ... by row;
// the strata S, A:S, B:S and A:B:S, the effects A, B and A:B. The precision
// check stays beside it (FullAnalysis::precision).
anova::Analysis FromStudyAnalysis(const FullAnalysis& analysis);

// The design's analysis. What it does not compute stays absent: the
// studentized residuals, the cells' shapes and the outlying subjects, the
// total, the subjects' stratum of a design without between factors, the
// comparisons at the levels of other factors, partial eta squared's interval
// on the corrected degrees of freedom, the comparisons' d_av and g_av, and
// the simple effects' intervals and epsilons.
anova::Analysis FromDesignAnalysis(const DesignAnalysis& analysis);

}  // namespace morvane
