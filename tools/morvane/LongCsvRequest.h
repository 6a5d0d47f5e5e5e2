#pragma once
// The options that read a long CSV as a design, shared by morvane anova and
// morvane plot: --id, --dv, --within, --between, --observed, --type,
// --encoding, --separator and --decimal-comma.

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
    anova::Options analysis;
};

// Reads those options of `arguments` into `request`; throws UsageError for a
// role missing, a name misspelt, or a design's option without the roles.
void ReadLongCsvRequest(const Arguments& arguments, const Settings& settings, LongCsvRequest& request);

}  // namespace morvane::tool
