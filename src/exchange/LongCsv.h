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
    // Records above the header (a title, a note), not blank lines: skipped.
    std::size_t recordsBeforeHeader = 0;
};

// A missing score as R's write.csv writes it.
inline constexpr std::string_view kNotAvailable = "NA";

// The design of the CSV in `text` (UTF-8 or code page 932, found as the
// import finds it; a leading byte-order mark skipped; records whose fields are
// all empty ignored). Names come out as UTF-8. Levels and subjects in the
// order they first appear; several rows of one subject and within cell
// averaged exactly, each cell's mean rounded once; the sums kept exact for
// the analysis whatever the scores' digits (in GMP integers where 128 bits do
// not hold them). The rows without a score are counted, with the cells left
// with fewer rows than the most common count. A row whose score is empty
// (or spaces), or NA as R writes a missing value, gives no score and is otherwise ignored: its subject and
// levels still count as they appear, so a subject none of whose rows in some within cell has a score, like
// one without a row there, is removed and named in `removed`.
//
// Refusals raise CsvError, with the line and column where they have one: a
// role's column missing from the header or in it twice; a column named for
// two roles or twice; no within factor, more than kMostWithinFactors within
// or kMostBetweenFactors between factors; a factor of one level; an empty id
// or level; a score that is not a number; a subject whose rows name two
// levels of a between factor; a between cell left without a subject; every
// subject removed. Arrays beyond the memory budget raise OutOfMemoryError.
DesignData ReadLongCsv(std::string_view text, const LongCsvRoles& roles, const LongCsvOptions& options = {});

}  // namespace morvane
