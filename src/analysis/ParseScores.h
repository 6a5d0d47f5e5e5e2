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

// Whether the values parsed for the sweep are kept in CellValue too. The
// results file needs nothing but the texts and the sweep's totals, so that a
// command that ends with it may leave them out (and CellValue unsized).
enum class KeepValues : bool { No, Yes };

// The same, and each block's subjects added to `sweep` once parsed. Without
// the values kept, an error leaves CellValue as it was.
void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact,
                    SumsOfSquaresSweep& sweep, KeepValues keep = KeepValues::Yes);

}  // namespace morvane
