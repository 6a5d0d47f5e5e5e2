#pragma once
// The sums-of-squares partition of the two-way within-subjects design A x B x S
// by the correction-term method.

#include "runtime/Extended.h"
#include "store/StudyStore.h"

namespace morvane {

struct SumsOfSquares {
    Extended SSTotal = 0;
    Extended SSA = 0;
    Extended SSB = 0;
    Extended SSS = 0;
    Extended SSAB = 0;
    Extended SSAS = 0;
    Extended SSBS = 0;
    Extended SSABS = 0;
};

// Computes the eight sums of squares from CellValue. Throws
// InvalidOperationError with no subjects (0/0) and OverflowError when a total or
// a square leaves the extended range.
SumsOfSquares ComputeSumsOfSquares(const StudyStore& store);

}  // namespace morvane
