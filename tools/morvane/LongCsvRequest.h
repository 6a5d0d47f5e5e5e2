#pragma once
// The options that read a long CSV as a design, shared by morvane anova and
// morvane plot: --id, --dv, --within, --between, --observed, --type,
// --encoding, --separator, --decimal-comma and --header-line.

#include <optional>

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

}  // namespace morvane::tool
