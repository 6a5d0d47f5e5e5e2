#pragma once
// The properties of the CSV exchange, checked on any bytes.
//
// Import: ReadStudyCsv accepts exactly what the second reading
// (properties/CsvModel.h) accepts, refusing the rest with CsvError (StudyError
// for a wide design without levels) and nothing else (OutOfMemoryError only
// for a study whose arrays the store's memory budget refuses), and stores the same
// counts, names and score texts; a study it read is written out and read back
// as the same study.
//
// Export then import, from a data file: WriteStudyCsv refuses exactly the
// studies with a text that is not valid code page 932, writes UTF-8, and a
// study whose scores are all scores (and, in the long layout, whose levels have
// distinct names and which has a subject) reads back with the same counts,
// the same names and each score's text without its spaces, byte for byte.
// Characters that code page 932 holds under two codes (NEC's and IBM's rows:
// FA 4A and 87 54, EE EF and FA 40, ...) may come back under the other code:
// where they differ, the texts are compared as characters.
//
// A broken property throws Violation.

#include <cstdint>
#include <optional>
#include <string_view>

#include "exchange/StudyCsv.h"
#include "properties/CsvModel.h"

namespace morvane::properties {

// A fuzz input for the import: two bytes choose the options, the rest is the CSV.
//   byte 0: bit 0 the wide layout; bits 1-2 the encoding (detect, UTF-8, code
//           page 932, detect); bits 3-4 the separator (found, comma, semicolon,
//           tab); bit 5 the decimal comma; bit 6 a wide CSV without a header.
//   byte 1, long: two bits for each column's name in the header, subject, A, B
//           and score in turn (0: the default name, then others, one of them
//           another column's default name).
//   byte 1, wide: bits 0-1 the levels of A, bits 2-3 those of B (0 to 3),
//           bits 4-7 where in a list of names (valid, Japanese, with a comma or
//           a line end, not code page 932, not UTF-8) the design's names start.
struct CsvImportInput {
    CsvImportOptions options;
    std::string_view text;
};
std::optional<CsvImportInput> CsvImportInputOf(std::string_view bytes);

// Runs ReadStudyCsv and the model on the input and the round trip of what was
// read. Returns the outcome, or nothing when the bytes give no input.
std::optional<CsvOutcome> CheckCsvImportBytes(std::string_view bytes);

// Reads `bytes` as a data file (ReadDataFile, the store's memory budget set to
// `memoryBudget`); a study that was read goes out in both layouts and back in,
// with the full stop as decimal separator and, when a score holds a comma, with
// the comma too. Returns whether the data file was read.
bool CheckCsvRoundTripBytes(std::string_view bytes, std::uint64_t memoryBudget);

// Whether two code page 932 texts are the same but for characters held under
// two codes.
bool SameExceptTwinCodes(std::string_view x, std::string_view y);

}  // namespace morvane::properties
