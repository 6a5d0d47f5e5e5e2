#pragma once
// Private to the exchange room: the first pass of ReadLongCsv, the rows of a
// long CSV read into compact records (the subject, the combination of within
// levels, the score as digits and a power of ten) while the levels and
// subjects are keyed in the order they first appear, each key a view into the
// text. A long text is read on two threads: the first reads the header and
// the rows up to a line end half way through, the second the rest with keys
// of its own, which are then merged after the first's in their order of first
// appearance, so that every key, index and record is the one a single reading
// gives. A record that runs over the split (a quoted line end), a refusal in
// the second half or a conflict of the halves (a subject's between levels)
// leave the second thread's work aside: the first reads on to the end, and
// refuses what a single reading refuses, at the same place.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "design/Design.h"
#include "exchange/LongCsv.h"
#include "exchange/detail/CsvText.h"
#include "exchange/detail/KeyIndex.h"
#include "runtime/WideInteger.h"

namespace morvane::csv {

inline constexpr std::size_t kMostCount = std::numeric_limits<std::int32_t>::max();

enum class ScoreKind : std::uint8_t { Empty, Positive, Negative, Long };

// One row, kept small: there may be tens of millions.
struct LongRow {
    std::uint64_t digits;      // the score's digits, or for a long score its index among them
    std::int32_t subject;      // as the subjects first appear
    std::int32_t combination;  // of the within factors' levels, as they first appear
    std::int8_t exponent;      // the power of ten of the last digit
    ScoreKind kind;
};

// The UTF-8 names of a column's keys. Code page 932 holds some characters
// under two codes, so that two keys may be one name: the second is then
// another spelling of the first.
using NameIndex = std::unordered_map<std::string, std::int32_t>;

// A factor's column: its levels as keys into the text and as UTF-8 names.
struct LongFactor {
    std::string name;
    std::size_t column = 0;
    KeyIndex<std::string_view> keys;
    std::vector<std::string> levels;
    NameIndex names;
};

// What the rows of a long CSV hold, before they become a design.
struct LongRows {
    std::vector<LongFactor> between, within;  // in the roles' order
    KeyIndex<std::string_view> subjectKeys;
    NameIndex subjectNames;
    std::vector<std::string> subjects;        // UTF-8, as they first appear
    std::vector<std::int64_t> subjectLines;   // the line of each one's first row
    std::vector<std::int32_t> subjectLevels;  // each one's between levels, a row of them each
    KeyIndex<UInt128> combinations;           // of within levels, 32 bits each
    // The rows in the order of the text, in runs: one for each thread that read them.
    std::vector<std::vector<LongRow>> rows;
    std::vector<std::string_view> longScores;  // the texts of the scores kept as text
    int leastExponent = 0;         // the least power of ten of a score's last digit in the rows, 0 or below
    std::size_t rowsInBlocks = 0;  // rows that followed a row of their subject

    std::size_t RowCount() const;
    // Calls visit(row, index) for the rows from index `from` to `to`, counted over all runs.
    template <typename Visit>
    void VisitRows(std::size_t from, std::size_t to, const Visit& visit) const {
        std::size_t start = 0;
        for (const std::vector<LongRow>& run : rows) {
            const std::size_t end = start + run.size();
            for (std::size_t i = std::max(from, start); i < std::min(to, end); ++i) visit(run[i - start], i);
            start = end;
        }
    }
};

// The header and every row of the CSV: on two threads from the first line
// that starts at or after byte `splitAt` of csv.text where one is given, on
// one otherwise. Refusals as ReadLongCsv describes them, but for those of the
// design as a whole (a factor of one level, a missing cell).
LongRows ReadLongRows(const CsvText& csv, const LongCsvRoles& roles, const LongCsvOptions& options,
                      std::optional<std::size_t> splitAt);

// Where ReadLongCsv splits the text: half way through its rows when they
// fill a MiB or more and the machine has a second processor; nothing (one
// thread) otherwise.
std::optional<std::size_t> ChosenSplit(std::string_view text);

// ReadLongCsv with the split given (nothing: one thread), so that both
// readings can be compared.
DesignData ReadLongCsvSplitAt(std::string_view text, const LongCsvRoles& roles, const LongCsvOptions& options,
                              std::optional<std::size_t> splitAt);

}  // namespace morvane::csv
