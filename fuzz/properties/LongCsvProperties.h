#pragma once
// The properties of the long CSV read into a design, checked on any bytes:
// ReadLongCsv returns a design or refuses with CsvError (OutOfMemoryError for
// arrays beyond the memory budget) and nothing else, and a design it returns
// holds together: one to four within and up to three between factors of two
// or more distinct, non-empty UTF-8 levels; distinct analysed and removed ids,
// as many as the subjects read; a group in range for every subject and a
// subject in every group; a finite score in every cell; and where exact, each
// score the mean of its units, units / (rows x 10^scale) rounded once, and
// the averaged cells and rows as the counts say. For a CSV read as UTF-8, a
// second reading of its records (properties/CsvModel.h) finds as many ids as
// subjects read and as many rows with a score of the analysed subjects as
// their cells average. Read on two threads split at a third and at half of
// the text, it gives the same design or the same refusal. The guess of the
// columns' roles reads the same text or refuses it with CsvError. A design of a few thousand scores is then analysed and
// written in every format of morvane anova: the analysis fails only with
// OverflowError, the texts are UTF-8 and the JSON valid. A broken property
// throws Violation.

#include <optional>
#include <string>
#include <string_view>

#include "exchange/LongCsv.h"

namespace morvane::properties {

// A fuzz input for the long CSV: two bytes choose the options and the roles,
// the rest is the CSV.
//   byte 0: bits 0-1 the encoding (detect, UTF-8, code page 932, detect);
//           bits 2-3 the separator (found, comma, semicolon, tab); bit 4 the
//           decimal comma.
//   byte 1: bits 0-2 how many within factors (columns a, b, c, d, e: up to
//           five, so that too many are refused); bits 3-4 how many between
//           factors (g, h, k); bit 5 the last between factor named "a" as well;
//           bit 6 the id column "被験者" instead of "id"; bit 7 the score
//           column "得点" instead of "score".
struct LongCsvInput {
    LongCsvRoles roles;
    LongCsvOptions options;
    std::string_view text;
};
std::optional<LongCsvInput> LongCsvInputOf(std::string_view bytes);

enum class LongCsvOutcome { Read, Refused, OutOfMemory };

// Reads the input (the memory budget the fuzz targets' own) and checks what
// comes back. Nothing when the bytes give no input.
std::optional<LongCsvOutcome> CheckLongCsvBytes(std::string_view bytes);

// The checks of a design read with `roles`.
void CheckDesign(const DesignData& design, const LongCsvRoles& roles);

// What differs between two designs read, or nothing when every field is the same.
std::optional<std::string> DesignDifference(const DesignData& x, const DesignData& y);

}  // namespace morvane::properties
