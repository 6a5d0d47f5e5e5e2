#include "properties/CsvModel.h"

#include <map>
#include <tuple>

#include "properties/TextChecks.h"
#include "runtime/Cp932.h"
#include "scores/ScoreSyntax.h"

namespace morvane::properties {
namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool Blank(const CsvRecord& record) {
    for (const std::string& field : record)
        if (!field.empty()) return false;
    return true;
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

// The encoding the fields are in, and what becomes of them.
struct Fields {
    CsvEncoding encoding;

    // The stored (code page 932) bytes of a level name; nothing when the name
    // has a line end, is not valid in the encoding or cannot be held.
    std::optional<std::string> Name(const std::string& field) const {
        if (field.find_first_of("\r\n") != std::string::npos) return std::nullopt;
        bool ascii = true;
        for (char c : field) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) return field;
        if (encoding == CsvEncoding::Cp932) {
            if (!Utf8FromCp932Exact(field)) return std::nullopt;
            return field;
        }
        return Cp932FromUtf8Exact(field);
    }

    // A header's field as UTF-8, to compare with a column's name.
    std::string Utf8(const std::string& field) const {
        return encoding == CsvEncoding::Cp932 ? Utf8FromCp932(field) : field;
    }
};

// The text of a score field as stored: nothing when it is not a score.
std::optional<std::string> ScoreText(const std::string& field, char decimalSeparator) {
    std::string text = Trimmed(field);
    if (!IsScore(text, decimalSeparator)) return std::nullopt;
    return text;
}

// The distinct keys of a column, numbered from 0 in the order they appear.
class Keys {
public:
    // The key's number, and whether it is new.
    std::pair<std::int32_t, bool> Of(const std::string& key) {
        auto [at, added] = numbers_.emplace(key, static_cast<std::int32_t>(numbers_.size()));
        return {at->second, added};
    }
    std::int32_t Size() const { return static_cast<std::int32_t>(numbers_.size()); }

private:
    std::map<std::string, std::int32_t> numbers_;
};

CsvModelStudy Refused() {
    return {};
}

CsvModelStudy ReadLong(const std::vector<CsvRecord>& records, const Fields& fields,
                       const CsvImportOptions& options) {
    if (records.empty()) return Refused();
    const CsvRecord& header = records.front();
    std::size_t columns[4];
    const std::string* names[4] = {&options.subjectColumn, &options.aColumn, &options.bColumn,
                                   &options.scoreColumn};
    for (int k = 0; k < 4; ++k) {
        int found = 0;
        for (std::size_t i = 0; i < header.size(); ++i)
            if (fields.Utf8(header[i]) == *names[k]) columns[k] = i, ++found;
        if (found != 1) return Refused();
    }
    if (records.size() == 1) return Refused();

    Keys subjects, levelsA, levelsB;
    CsvModelStudy model;
    std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, std::string> cells;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& row = records[r];
        if (row.size() != header.size()) return Refused();
        auto score = ScoreText(row[columns[3]], options.decimalSeparator);
        if (!score) return Refused();
        const std::int32_t s = subjects.Of(row[columns[0]]).first;
        const auto [a, newA] = levelsA.Of(row[columns[1]]);
        const auto [b, newB] = levelsB.Of(row[columns[2]]);
        for (auto [isNew, field, list] : {std::tuple{newA, &row[columns[1]], &model.study.namesA},
                                          std::tuple{newB, &row[columns[2]], &model.study.namesB}}) {
            if (!isNew) continue;
            auto name = fields.Name(*field);
            if (!name) return Refused();
            list->push_back(std::move(*name));
        }
        if (!cells.emplace(std::tuple{a, b, s}, std::move(*score)).second) return Refused();
    }
    const std::int64_t expected = std::int64_t{subjects.Size()} * levelsA.Size() * levelsB.Size();
    if (static_cast<std::int64_t>(cells.size()) != expected) return Refused();

    model.outcome = CsvOutcome::Read;
    model.study.n = subjects.Size();
    model.study.na = levelsA.Size();
    model.study.nb = levelsB.Size();
    model.study.countsRead = 3;
    for (auto& [place, text] : cells) model.study.scores.push_back(std::move(text));  // A, B, subject order
    return model;
}

CsvModelStudy ReadWide(const std::vector<CsvRecord>& records, const CsvImportOptions& options) {
    CsvModelStudy model;
    for (auto [given, list] :
         {std::pair{&options.levelsA, &model.study.namesA}, std::pair{&options.levelsB, &model.study.namesB}})
        for (const std::string& name : *given) {
            if (name.find_first_of("\r\n") != std::string::npos) return Refused();
            auto stored = Cp932FromUtf8Exact(name);
            if (!stored) return Refused();
            list->push_back(std::move(*stored));
        }
    if (model.study.namesA.empty() || model.study.namesB.empty()) {
        model.outcome = CsvOutcome::NoLevels;
        return model;
    }
    const std::size_t cells = model.study.namesA.size() * model.study.namesB.size();
    std::size_t first = 0;
    if (options.header) {
        if (records.empty() || records.front().size() != cells + 1) return Refused();
        first = 1;
    }
    Keys subjects;
    std::vector<std::vector<std::string>> byCell(cells);
    for (std::size_t r = first; r < records.size(); ++r) {
        const CsvRecord& row = records[r];
        if (row.size() != cells + 1 || !subjects.Of(row[0]).second) return Refused();
        for (std::size_t j = 0; j < cells; ++j) {
            auto score = ScoreText(row[j + 1], options.decimalSeparator);
            if (!score) return Refused();
            byCell[j].push_back(std::move(*score));
        }
    }
    model.outcome = CsvOutcome::Read;
    model.study.n = subjects.Size();
    model.study.na = static_cast<std::int32_t>(model.study.namesA.size());
    model.study.nb = static_cast<std::int32_t>(model.study.namesB.size());
    model.study.countsRead = 3;
    for (auto& texts : byCell)
        for (auto& text : texts) model.study.scores.push_back(std::move(text));
    return model;
}

}  // namespace

std::optional<std::vector<CsvRecord>> CsvRecords(std::string_view text, char separator) {
    std::vector<CsvRecord> records;
    std::size_t i = 0;
    const auto at = [&](char c) { return i < text.size() && text[i] == c; };
    while (i < text.size()) {
        CsvRecord record;
        for (;;) {
            std::string field;
            if (at('"')) {
                for (++i;; ++i) {
                    if (i == text.size()) return std::nullopt;
                    if (text[i] != '"') {
                        field.push_back(text[i]);
                    } else if (i + 1 < text.size() && text[i + 1] == '"') {
                        field.push_back('"');
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                }
                if (i < text.size() && text[i] != separator && !IsLineEnd(text[i])) return std::nullopt;
            } else {
                while (i < text.size() && text[i] != separator && !IsLineEnd(text[i]))
                    field.push_back(text[i++]);
            }
            record.push_back(std::move(field));
            if (at(separator)) {
                ++i;
                continue;
            }
            if (at('\r')) {
                ++i;
                if (at('\n')) ++i;
            } else if (at('\n')) {
                ++i;
            }
            break;
        }
        records.push_back(std::move(record));
    }
    return records;
}

char FirstLineSeparator(std::string_view text) {
    int counts[3] = {};  // comma, semicolon, tab
    bool inQuotes = false;
    for (char c : text) {
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        if (IsLineEnd(c)) break;
        counts[0] += c == ',', counts[1] += c == ';', counts[2] += c == '\t';
    }
    if (counts[0] >= counts[1] && counts[0] >= counts[2]) return ',';
    return counts[1] >= counts[2] ? ';' : '\t';
}

CsvModelStudy ReadCsvModel(std::string_view text, const CsvImportOptions& options) {
    CsvEncoding encoding = options.encoding;
    if (encoding != CsvEncoding::Cp932 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
        encoding = CsvEncoding::Utf8;
    }
    if (encoding == CsvEncoding::Detect) encoding = IsUtf8(text) ? CsvEncoding::Utf8 : CsvEncoding::Cp932;
    const char separator = options.separator != 0 ? options.separator : FirstLineSeparator(text);

    auto all = CsvRecords(text, separator);
    std::vector<CsvRecord> records;
    if (all)
        for (auto& record : *all)
            if (!Blank(record)) records.push_back(std::move(record));
    if (options.layout == CsvLayout::Wide) {
        // The design is checked before the first record is read.
        CsvModelStudy model = ReadWide(records, options);
        if (!all && model.outcome == CsvOutcome::Read) return Refused();
        return model;
    }
    if (!all) return Refused();
    return ReadLong(records, Fields{encoding}, options);
}

}  // namespace morvane::properties
