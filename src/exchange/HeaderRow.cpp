#include "exchange/HeaderRow.h"

#include <algorithm>
#include <string>
#include <vector>

#include "exchange/Csv.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/detail/CsvText.h"
#include "scores/ScoreSyntax.h"

namespace morvane {
namespace {

// Records looked at as the header, and records below each that must agree with it.
constexpr std::size_t kCandidates = 20, kBelow = 30;

struct Record {
    std::vector<std::string> fields;
    std::int64_t line = 1;
};

// The first records that are not blank, up to `most`; as many as could be
// read where a quote is broken (the reading reports it with its place).
std::vector<Record> FirstRecords(std::string_view text, char separator, std::size_t most) {
    csv::Reader reader(text, separator);
    std::vector<Record> records;
    try {
        while (records.size() < most && csv::NextNonBlank(reader)) {
            Record record;
            record.line = reader.Line();
            for (std::size_t i = 0; i < reader.Size(); ++i) record.fields.emplace_back(reader.Field(i));
            records.push_back(std::move(record));
        }
    } catch (const CsvError&) {
    }
    return records;
}

bool IsNumber(std::string_view field) {
    field = csv::TrimSpaces(field);
    return !field.empty() && (IsScore(field, '.') || IsScore(field, ','));
}

// Whether a field below a header may stand in a column of scores.
bool ScoreLike(std::string_view field) {
    const std::string_view trimmed = csv::TrimSpaces(field);
    return trimmed.empty() || trimmed == kNotAvailable || IsNumber(trimmed);
}

// Whether record k stands as the header over the records below it: they
// have its field count and do not repeat its names, and it names a column of
// numbers.
bool Fits(const std::vector<Record>& records, std::size_t k) {
    const std::vector<std::string>& header = records[k].fields;
    const std::size_t end = std::min(records.size(), k + 1 + kBelow);
    if (k + 1 == end) return false;
    for (std::size_t r = k + 1; r < end; ++r) {
        const std::vector<std::string>& row = records[r].fields;
        if (row.size() != header.size()) return false;
        for (std::size_t c = 0; c < row.size(); ++c)
            if (!header[c].empty() && !IsNumber(header[c]) && row[c] == header[c]) return false;
    }
    for (std::size_t c = 0; c < header.size(); ++c) {
        if (csv::TrimSpaces(header[c]).empty() || IsNumber(header[c])) continue;
        bool scores = true, anyNumber = false;
        for (std::size_t r = k + 1; r < end && scores; ++r) {
            scores = ScoreLike(records[r].fields[c]);
            anyNumber = anyNumber || IsNumber(records[r].fields[c]);
        }
        if (scores && anyNumber) return true;
    }
    return false;
}

}  // namespace

HeaderRow FindHeaderRow(std::string_view bytes, const LongCsvOptions& options) {
    const csv::CsvText csv = csv::DecodeCsv(bytes, options.encoding, options.separator);
    const std::vector<Record> records = FirstRecords(csv.text, csv.separator, kCandidates + kBelow);
    if (records.empty()) return {};
    for (std::size_t k = 0; k < std::min(records.size(), kCandidates); ++k)
        if (Fits(records, k)) return {k, records[k].line};
    return {0, records[0].line};
}

HeaderRow HeaderRowAtLine(std::string_view bytes, const LongCsvOptions& options, std::int64_t line) {
    const csv::CsvText csv = csv::DecodeCsv(bytes, options.encoding, options.separator);
    csv::Reader reader(csv.text, csv.separator);
    std::size_t before = 0;
    while (csv::NextNonBlank(reader) && reader.Line() <= line) {
        if (reader.Line() == line) return {before, line};
        ++before;
    }
    throw CsvError(messages::NoHeaderOnLine(line));
}

HeaderRow HeaderRowOf(std::string_view bytes, const LongCsvOptions& options) {
    const csv::CsvText csv = csv::DecodeCsv(bytes, options.encoding, options.separator);
    csv::Reader reader(csv.text, csv.separator);
    for (std::size_t k = 0; k <= options.recordsBeforeHeader; ++k)
        if (!csv::NextNonBlank(reader)) throw CsvError(messages::EmptyCsv());
    return {options.recordsBeforeHeader, reader.Line()};
}

namespace {

// A word as a POSIX shell takes it: as it is when it holds only characters
// no shell reads specially, else in single quotes (a quote within as '\'').
std::string ShellWord(std::string_view word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_-./,:=+@%").find(c) != std::string_view::npos;
    });
    if (plain) return std::string(word);
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Names parted by commas as --within and --between take them: a name with a
// comma or a quote in quotes, as a CSV field.
std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty()) list += ',';
        if (name.find_first_of(",\"\r\n") == std::string::npos) {
            list += name;
            continue;
        }
        list += '"';
        for (char c : name) list += c == '"' ? std::string("\"\"") : std::string(1, c);
        list += '"';
    }
    return list;
}

}  // namespace

std::string LongCsvCommand(const std::string& path, std::string_view bytes, const LongCsvRoles& roles,
                           const LongCsvOptions& options, const std::vector<std::string>& more) {
    const csv::CsvText csv = csv::DecodeCsv(bytes, options.encoding, options.separator);
    std::vector<std::string> words{"morvane", "anova", path, "--id", roles.id, "--dv", roles.dv,
                                   "--within", NameList(roles.within)};
    if (!roles.between.empty()) words.insert(words.end(), {"--between", NameList(roles.between)});
    words.insert(words.end(), {"--encoding", csv.encoding == CsvEncoding::Cp932 ? "cp932" : "utf-8"});
    words.insert(words.end(),
                 {"--separator", csv.separator == ';' ? "semicolon" : csv.separator == '\t' ? "tab" : "comma"});
    if (options.decimalSeparator == ',') words.emplace_back("--decimal-comma");
    words.insert(words.end(), {"--header-line", std::to_string(HeaderRowOf(bytes, options).line)});
    words.insert(words.end(), more.begin(), more.end());
    std::string command;
    for (const std::string& word : words) command += (command.empty() ? "" : " ") + ShellWord(word);
    return command;
}

}  // namespace morvane
