#pragma once
// The calculate command's parsing step.

#include "store/StudyStore.h"

namespace morvane {

// CellValue[s][a][b] := the value of CellText[s][a][b] for s, then a, then b;
// the first text that is not a score stops it with a ConvertError, leaving the
// values before it new and the rest as they were.
void ParseAllScores(StudyStore& store, char decimalSeparator);

}  // namespace morvane
