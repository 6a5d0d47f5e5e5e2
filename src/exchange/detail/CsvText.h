#pragma once
// Private to the exchange room: what every CSV reader (the import, the long
// CSV and the guess of its roles) does with the bytes before and while it
// reads records: the byte-order mark, the encoding (UTF-8 or code page 932),
// the separator, the header's columns, and each field turned into UTF-8, into
// the store's code page 932 or into the text a message quotes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exchange/Csv.h"
#include "exchange/StudyCsv.h"

namespace morvane::csv {

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A CSV's bytes as the readers take them: the text after any byte-order mark,
// its encoding and its separator.
struct CsvText {
    std::string_view text;
    CsvEncoding encoding = CsvEncoding::Detect;
    char separator = ',';
};

// The text of a whole CSV. A UTF-8 byte-order mark is skipped and makes the
// text UTF-8, unless code page 932 is forced: then its bytes are text like
// any other. Left to detect, the text is UTF-8 when all of it is valid UTF-8
// and code page 932 otherwise. The separator is the one given, or else
// DetectSeparator's from the first line.
CsvText DecodeCsv(std::string_view bytes, CsvEncoding encoding, char separator);

// The same for the start of a CSV alone, whose rest may still decide the
// encoding: left to detect, it stays Detect unless a byte-order mark says
// UTF-8.
CsvText DecodeCsvHead(std::string_view head, CsvEncoding encoding, char separator);

// The fields of a CSV in its encoding (UTF-8 or code page 932), turned into
// what the readers keep and show.
class FieldText {
public:
    explicit FieldText(CsvEncoding encoding) : encoding_(encoding) {}
    CsvEncoding Encoding() const { return encoding_; }

    // A field as UTF-8, to compare with a name the user gave or to preview:
    // a UTF-8 field as it is, bytes that are not code page 932 as U+FFFD.
    std::string Utf8(std::string_view field) const;
    // A field as UTF-8 that must be valid in the encoding: CsvError BadCp932
    // or BadUtf8 at line and column otherwise.
    std::string Utf8Exact(std::string_view field, std::int64_t line, std::int64_t column) const;
    // A field as the store's code page 932 bytes: CsvError for bytes not
    // valid in the encoding or a character that code page 932 cannot hold.
    std::string Cp932Exact(std::string_view field, std::int64_t line, std::int64_t column) const;
    // A field as a message quotes it (code page 932 bytes).
    std::string Shown(std::string_view field) const;

private:
    CsvEncoding encoding_;
};

// The column of the header record the reader holds whose name (in UTF-8) is
// `name`: CsvError MissingColumn or DuplicateColumn at the header's line.
std::size_t HeaderColumn(const Reader& header, const FieldText& fields, const std::string& name);

// Reads the next record that is not blank; false after the last.
bool NextNonBlank(Reader& reader);

bool IsAscii(std::string_view text);
bool HasLineEnd(std::string_view text);
// The text without its leading and trailing spaces (U+0020 only).
std::string_view TrimSpaces(std::string_view text);

}  // namespace morvane::csv
