#pragma once
// What a long CSV's columns probably hold, guessed from their names and
// contents so that for a tidy file the user only confirms: the subject's
// column by its name (or the first column), the score as the numeric column
// of the most distinct values, and each other column a between factor when it
// is constant within every subject, a within factor when it varies within
// subjects, and left out when it names every row of a subject apart (a trial
// number) or is the subject's column again.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/LongCsv.h"

namespace morvane {

struct RoleGuess {
    LongCsvOptions options;                      // the separator, encoding, decimal separator and header found
    std::int64_t headerLine = 1;                 // the header's line, from 1
    std::vector<std::string> header;             // UTF-8
    std::vector<std::vector<std::string>> rows;  // the first rows after the header, UTF-8
    LongCsvRoles roles;
    std::vector<std::string> unassigned;  // columns in no role
};

// At most this many records are looked at for the guess; the preview keeps `previewRows`.
inline constexpr std::size_t kGuessedRecords = 200000;

// The guess for the CSV in `text`; `given` fixes what the user chose (a
// separator or encoding not Detect/0 is kept), and `headerLine` (from 1) the
// header's line, which 0 leaves to FindHeaderRow. CsvError where the text is
// not a CSV with a header (no record, a quoted field not closed, no record on
// the header's line).
RoleGuess GuessRoles(std::string_view text, const LongCsvOptions& given = {}, std::size_t previewRows = 20,
                     std::int64_t headerLine = 0);

}  // namespace morvane
