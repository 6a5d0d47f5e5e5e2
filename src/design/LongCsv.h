#pragma once
// A long CSV (a header row, then one row per observation) read into a design:
// the columns that name the subject, hold the score and name each factor's
// level, chosen by their header names.

#include <string>
#include <string_view>
#include <vector>

#include "design/Design.h"
#include "exchange/StudyCsv.h"

namespace morvane {

// The header names (UTF-8) of the columns and what they hold.
struct LongCsvRoles {
    std::string id, dv;
    std::vector<std::string> within, between;  // in the order the factors are to be taken
};

struct LongCsvOptions {
    CsvEncoding encoding = CsvEncoding::Detect;
    char separator = 0;  // 0: found from the header
    char decimalSeparator = '.';
};

// The design of the CSV in `text`: levels and subjects in the order they first
// appear; several rows of one subject and within cell averaged exactly; a
// subject without a score in some within cell (no row, or an empty score)
// removed and named in `removed`. Refusals raise CsvError with their line
// and column where they have one.
DesignData ReadLongCsv(std::string_view text, const LongCsvRoles& roles, const LongCsvOptions& options = {});

}  // namespace morvane
