#pragma once
// The options that read a long CSV as a design, shared by morvane anova and
// morvane plot: --id, --dv, --within, --between, --observed, --type,
// --encoding, --separator, --decimal-comma and --header-line.

#include <optional>
#include <string>
#include <string_view>

#include "Arguments.h"
#include "Commands.h"
#include "anova/Analysis.h"
#include "exchange/LongCsv.h"

namespace morvane::tool {

struct LongCsvRequest {
    // The long CSV's roles when --id, --dv and --within name them.
    std::optional<LongCsvRoles> roles;
    LongCsvOptions csv;
    std::int64_t headerLine = 0;  // --header-line's, from 1; 0: found as the roles dialog finds it
    anova::Options analysis;
};

// Reads those options of `arguments` into `request`; throws UsageError for a
// role missing, a name misspelt, or a design's option without the roles.
void ReadLongCsvRequest(const Arguments& arguments, const Settings& settings, LongCsvRequest& request);

// The reading of the long CSV `bytes` the request asks: its header on the
// line given, or found past any title lines (FindHeaderRow).
LongCsvOptions ReadingOf(std::string_view bytes, const LongCsvRequest& request);

// Refuses a long CSV file of no bytes, saying that a shell empties a file named
// as the output (> FILE) too before the command runs; the standard input
// ("-") is left to the reader.
void RefuseEmptyFile(const std::string& path, std::string_view bytes);

}  // namespace morvane::tool
