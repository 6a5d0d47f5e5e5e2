#include "exchange/detail/CsvText.h"

#include <algorithm>

#include "exchange/ExchangeMessages.h"
#include "runtime/Cp932.h"

namespace morvane::csv {
namespace {

// The byte-order mark skipped where it says UTF-8: always, unless code page 932 is forced.
CsvText WithoutMark(std::string_view bytes, CsvEncoding encoding) {
    if (encoding != CsvEncoding::Cp932 && bytes.starts_with(kByteOrderMark))
        return {bytes.substr(kByteOrderMark.size()), CsvEncoding::Utf8};
    return {bytes, encoding};
}

}  // namespace

CsvText DecodeCsv(std::string_view bytes, CsvEncoding encoding, char separator) {
    CsvText csv = WithoutMark(bytes, encoding);
    if (csv.encoding == CsvEncoding::Detect)
        csv.encoding = IsValidUtf8(csv.text) ? CsvEncoding::Utf8 : CsvEncoding::Cp932;
    csv.separator = separator != 0 ? separator : DetectSeparator(csv.text);
    return csv;
}

CsvText DecodeCsvHead(std::string_view head, CsvEncoding encoding, char separator) {
    CsvText csv = WithoutMark(head, encoding);
    csv.separator = separator != 0 ? separator : DetectSeparator(csv.text);
    return csv;
}

std::string FieldText::Utf8(std::string_view field) const {
    return encoding_ == CsvEncoding::Cp932 ? Utf8FromCp932(field) : std::string(field);
}

std::string FieldText::Utf8Exact(std::string_view field, std::int64_t line, std::int64_t column) const {
    if (IsAscii(field)) return std::string(field);
    if (encoding_ == CsvEncoding::Cp932) {
        auto utf8 = Utf8FromCp932Exact(field);
        if (!utf8) throw CsvError(messages::BadCp932(line, column));
        return std::move(*utf8);
    }
    if (!IsValidUtf8(field)) throw CsvError(messages::BadUtf8(line, column));
    return std::string(field);
}

std::string FieldText::Cp932Exact(std::string_view field, std::int64_t line, std::int64_t column) const {
    if (IsAscii(field)) return std::string(field);
    if (encoding_ == CsvEncoding::Cp932) {
        if (!Utf8FromCp932Exact(field)) throw CsvError(messages::BadCp932(line, column));
        return std::string(field);
    }
    auto converted = Cp932FromUtf8Exact(field);
    if (!converted) {
        if (!IsValidUtf8(field)) throw CsvError(messages::BadUtf8(line, column));
        throw CsvError(messages::NotCp932(line, column, Cp932FromUtf8(field)));
    }
    return std::move(*converted);
}

std::string FieldText::Shown(std::string_view field) const {
    return encoding_ == CsvEncoding::Cp932 ? std::string(field) : Cp932FromUtf8(field);
}

std::size_t HeaderColumn(const Reader& header, const FieldText& fields, const std::string& name) {
    std::size_t found = header.Size();
    for (std::size_t i = 0; i < header.Size(); ++i) {
        if (fields.Utf8(header.Field(i)) != name) continue;
        if (found != header.Size())
            throw CsvError(messages::DuplicateColumn(header.Line(), Cp932FromUtf8(name)));
        found = i;
    }
    if (found == header.Size()) throw CsvError(messages::MissingColumn(header.Line(), Cp932FromUtf8(name)));
    return found;
}

bool NextNonBlank(Reader& reader) {
    while (reader.Next())
        if (!reader.Blank()) return true;
    return false;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool HasLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace morvane::csv
