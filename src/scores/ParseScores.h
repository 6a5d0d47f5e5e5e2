#pragma once
// The parse of every score text of a study: its values into CellValue, and
// each block of subjects, once parsed, to any sinks the caller gives.

#include <span>

#include "scores/ParsedBlock.h"
#include "store/StudyStore.h"

namespace morvane {

// CellValue[s][a][b] := the value of CellText[s][a][b] for s, then a, then b;
// the first text that is not a score stops it with a ConvertError, leaving the
// values before it new and the rest as they were.
void ParseAllScores(StudyStore& store, char decimalSeparator);

// Whether the parsed values are kept in CellValue too. The results file needs
// nothing but the texts and the sinks' totals, so that a command that ends
// with it may leave them out (and CellValue unsized).
enum class KeepValues : bool { No, Yes };

// The same, each parsed block also handed to every one of `sinks`, in their
// order. After a ConvertError the sinks are of no use, and some values after
// the bad text may be new too; without the values kept, CellValue is as it was.
void ParseAllScores(StudyStore& store, char decimalSeparator, std::span<ParsedBlockSink* const> sinks,
                    KeepValues keep);

// The parse for the sinks alone: CellValue is neither read nor written.
void ParseAllScores(const StudyStore& store, char decimalSeparator, std::span<ParsedBlockSink* const> sinks);

}  // namespace morvane
