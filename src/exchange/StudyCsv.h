#pragma once
// A study as CSV, for spreadsheets and statistics programs, in two layouts:
// long, one row per score under the header subject,A,B,score; and wide, one row
// per subject with a column per cell of the design. Written as UTF-8 with CR LF;
// read from UTF-8 or code page 932 as spreadsheets save it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/StudyStore.h"

namespace morvane {

enum class CsvLayout { Long, Wide };

// Receives the CSV in pieces, in order.
using CsvSink = std::function<void(std::string_view)>;

// Receives a notice about the CSV being written (code page 932 bytes).
using CsvNotice = std::function<void(const std::string&)>;

// Writes the study's CSV: subjects numbered 1 to N, level names converted to
// UTF-8, each score as its stored text without leading and trailing spaces;
// long rows in subject, A, B order, wide columns with A outermost, named
// "<A name>_<B name>" and made unique with "_2", "_3", .... A NUL byte goes out
// as U+FFFD. Every text is checked before the first piece goes out: one that
// is not valid code page 932 raises CsvError and nothing is written. A text
// with a character that code page 932 holds under two codes comes back from
// the CSV as the other code: `notice` hears of each such level name, and of
// the first such score with the number of the others, before the first piece.
void WriteStudyCsv(const StudyStore& store, CsvLayout layout, const CsvSink& sink,
                   const CsvNotice& notice = {});

// The columns of a wide CSV's header, "subject" first.
std::vector<std::string> WideHeader(const std::vector<std::string>& namesAUtf8,
                                    const std::vector<std::string>& namesBUtf8);

enum class CsvEncoding {
    Detect,  // UTF-8 when the whole text is valid UTF-8, code page 932 otherwise
    Utf8,
    Cp932,
};

struct CsvImportOptions {
    CsvLayout layout = CsvLayout::Long;
    CsvEncoding encoding = CsvEncoding::Detect;
    char separator = 0;  // 0: found from the first line
    // Long: the header's names of the four columns (UTF-8).
    std::string subjectColumn = "subject";
    std::string aColumn = "A";
    std::string bColumn = "B";
    std::string scoreColumn = "score";
    // Records above the long header (a title, a note), not blank lines: skipped.
    std::size_t recordsBeforeHeader = 0;
    // ImportCsv: the long header's line (from 1), which sets recordsBeforeHeader; 0: none given.
    std::int64_t headerLine = 0;
    // Wide: the design (UTF-8 names), and whether a header row comes first.
    std::vector<std::string> levelsA;
    std::vector<std::string> levelsB;
    bool header = true;
    char decimalSeparator = '.';
    // The decimal separator of the stored scores, where it differs from the
    // CSV's ('.' or ','): the program's own, so that the study computes as
    // typed. 0: as read.
    char storedDecimalSeparator = 0;
};

// Fills the store's counts, level names and score texts from the CSV in
// `text`. A leading byte-order mark
// is skipped; records whose fields are all empty are ignored. Long: the levels
// and subjects in the order of their first appearance, every subject with every
// cell exactly once. Wide: the subjects in row order, the cells after the
// subject's column. Each score is stored without its leading and trailing
// spaces and must be a number by the score syntax. Any refusal raises CsvError
// with the place in the CSV (or StudyError for a design without levels,
// OutOfMemoryError), and the store is then left in no particular state.
void ReadStudyCsv(std::string_view text, const CsvImportOptions& options, StudyStore& store);
// Throws the CsvError that ReadStudyCsv would throw for the header of a CSV
// that starts with `head` (its first line): a column missing or repeated, a
// wide header of the wrong width. Says nothing where the whole might read
// otherwise (no header; an encoding left to detect that the rest may decide).
void CheckCsvHead(std::string_view head, const CsvImportOptions& options);

}  // namespace morvane
