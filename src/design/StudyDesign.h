#pragma once
// A data file's study of the A x B x S design as a design: two within
// factors named A and B whose levels are named as every output shows them,
// the subjects by their rows ("1", "2", ...), each score exact as the decimal
// it is typed as.

#include <span>

#include "design/Design.h"
#include "scores/ParsedBlock.h"
#include "store/StudyStore.h"

namespace morvane {

// The study's subjects with a score in every cell. A subject with an empty
// score text (nothing but spaces) in some cell is removed, listwise, and
// named in `removed`; the first text, in the order subject, level of A, level
// of B, that is neither empty nor a score stops it with its ConvertError and
// its cell. A count of subjects below one is a study without subjects. Arrays
// beyond the memory budget raise OutOfMemoryError.
DesignData DesignFromStudy(const StudyStore& store, char decimalSeparator);

// The same, the parse of the scores also handing its blocks to `beside`
// (the results file's sums, say), so that the texts are read once for both.
// The sinks have taken every block of the study when no subject is removed;
// otherwise they are of no use.
DesignData DesignFromStudy(const StudyStore& store, char decimalSeparator, std::span<ParsedBlockSink* const> beside);

}  // namespace morvane
