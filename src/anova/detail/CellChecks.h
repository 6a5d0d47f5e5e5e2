#pragma once
// Private to the engine's checks: those of each between x within cell's
// scores (CellChecks.cpp).

#include <vector>

#include "anova/detail/Steps.h"
#include "stats/BoxM.h"

namespace morvane::anova::detail {

// The skewness and excess kurtosis of every between x within cell (the last
// factor fastest), from its exact central moments; none without subjects.
std::vector<CellShape> CellShapesOf(const Inputs& in);

// Levene's tests of each within cell across the between cells with subjects,
// centred on each between cell's mean, then on its median (Brown-Forsythe):
// the one-way analysis of the absolute deviations, exact.
std::vector<LeveneTest> LeveneTestsOf(const Inputs& in);

// Each between cell's sums of cross products about its means of the scores
// of every pair of within cells (p x p, row-major, in the integers' unit
// squared), exact; none beyond kBoxMMostVariables within cells.
std::vector<std::vector<mpq_class>> GroupCrossProducts(const Inputs& in);

// Box's M test of the groups' covariance matrices over every within cell, of
// a design with between and within factors.
BoxMTest BoxMOf(const Inputs& in);

}  // namespace morvane::anova::detail
