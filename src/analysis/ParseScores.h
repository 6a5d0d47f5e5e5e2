#pragma once
// The calculate command's parsing step.

#include "store/StudyStore.h"

namespace morvane {

class ExactTotalsBuilder;
class SumsOfSquaresSweep;

// CellValue[s][a][b] := the value of CellText[s][a][b] for s, then a, then b;
// the first text that is not a score stops it with a ConvertError, leaving the
// values before it new and the rest as they were.
void ParseAllScores(StudyStore& store, char decimalSeparator);

// ParseAllScores, every score also added to `exact` on the way (a block of
// subjects at a time). After an error some values after the bad text may be
// new too, and `exact` is of no use.
void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact);

// The same, and each block's subjects added to `sweep` once parsed.
void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact,
                    SumsOfSquaresSweep& sweep);

}  // namespace morvane
