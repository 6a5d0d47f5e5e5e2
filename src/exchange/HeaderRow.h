#pragma once
// Where a long CSV's header is. Programs write a title or a note above it
// ("Experiment 2: Posner cueing, reaction times (ms), collected 2024-05",
// commas and all): the header is the first record whose field count the
// records below it share and that names columns over their values, and the
// records above it are skipped. The guess of the roles, the roles dialog and
// the tool find it here, so that each reads the same rows of a file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/LongCsv.h"

namespace morvane {

struct HeaderRow {
    std::size_t recordsBefore = 0;  // records above it, blank lines not counted (LongCsvOptions's)
    std::int64_t line = 1;          // the line it starts on, from 1, after any byte-order mark
};

// The header of the CSV `bytes` read with `options`' encoding and separator
// (Detect and 0 found as every reader finds them). Of the first records, the
// first that
//   - has as many fields as every one of the (up to 30) records below it,
//   - has no name (a field that is not a number) again in its column below, and
//   - names a column whose fields below are all numbers (or empty, or NA);
// else the first record (a file read with the wrong separator among them). A
// text too short or broken to tell has its header on its first record.
HeaderRow FindHeaderRow(std::string_view bytes, const LongCsvOptions& options);

// The header on line `line` (from 1) of the CSV `bytes`: CsvError where no
// record that is not blank starts on that line.
HeaderRow HeaderRowAtLine(std::string_view bytes, const LongCsvOptions& options, std::int64_t line);

// The header where `options`' recordsBeforeHeader places it, with its line.
HeaderRow HeaderRowOf(std::string_view bytes, const LongCsvOptions& options);

// The `morvane anova` call that reads the long CSV `bytes`, at `path`, as
// `roles` and `options` say (its separator, encoding and decimal separator as
// found, the header's line), then the words `more` (the analysis' options),
// each word quoted for a POSIX shell where it needs to be; names in UTF-8.
std::string LongCsvCommand(const std::string& path, std::string_view bytes, const LongCsvRoles& roles,
                           const LongCsvOptions& options, const std::vector<std::string>& more = {});

}  // namespace morvane
