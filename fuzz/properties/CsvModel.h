#pragma once
// A second reading of a study's CSV, written from the description of the
// import alone (exchange/StudyCsv.h, exchange/Csv.h): the records split by a
// plain walk over the bytes, then the study built from them, long or wide. The
// oracle against which ReadStudyCsv is checked. It shares the conversions of
// code page 932 and the score syntax with the core, which have checks of their own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/StudyCsv.h"
#include "properties/DataFileModel.h"

namespace morvane::properties {

using CsvRecord = std::vector<std::string>;

// The records of `text` with this separator: fields separated by it, records
// ended by CR LF, LF or CR (none after a last line end), a field that starts
// with a quote running to the next quote that is not doubled, any line end
// inside it kept. Nothing for a quote not closed or one followed by anything
// but the separator, a line end or the end of the text.
std::optional<std::vector<CsvRecord>> CsvRecords(std::string_view text, char separator);

// The separator found from the first line: the most frequent of comma,
// semicolon and tab outside quotes, first among equals in that order.
char FirstLineSeparator(std::string_view text);

enum class CsvOutcome {
    Read,
    Refused,      // CsvError
    NoLevels,     // StudyError: a wide design without a level of A or of B
    OutOfMemory,  // a study read whose arrays the store's memory budget refuses
};

struct CsvModelStudy {
    CsvOutcome outcome = CsvOutcome::Refused;
    ModelStudy study;  // when read: the counts, the names and the score texts as stored
};

CsvModelStudy ReadCsvModel(std::string_view text, const CsvImportOptions& options);

}  // namespace morvane::properties
