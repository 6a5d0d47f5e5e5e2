#include "exchange/RoleGuess.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

#include "exchange/Csv.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/HeaderRow.h"
#include "exchange/detail/CsvText.h"
#include "runtime/Errors.h"
#include "scores/ScoreSyntax.h"

namespace morvane {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Whether a header name says the column identifies the subject.
bool NamesSubject(std::string_view utf8) {
    static const std::vector<std::string> kNames = {
        "subject", "subjects",   "subj", "sub",    "id",     "participant", "participants", "pid",
        "person",  "respondent", "case", "被験者", "参加者", "対象者",      "協力者",       "id番号"};
    std::string name = Lower(utf8);
    name.erase(
        std::remove_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '_' || c == '.'; }),
        name.end());
    if (std::find(kNames.begin(), kNames.end(), name) != kNames.end()) return true;
    for (const char* suffix : {"id", "subject", "participant"}) {
        const std::string_view s(suffix);
        if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) return true;
    }
    return false;
}

// Whether a header name says the column numbers trials or repetitions.
bool NamesTrial(std::string_view utf8) {
    const std::string name = Lower(utf8);
    for (const char* word : {"trial", "repetition", "試行"})
        if (name.find(word) != std::string::npos) return true;
    return false;
}

// What is seen of one column over the records looked at.
struct ColumnSeen {
    bool numeric = true;  // every non-empty field a number
    bool anyValue = false;
    std::unordered_set<std::string> distinct;
    std::size_t distinctCap = 0;  // distinct stops growing beyond this
    // Per subject: the first value and whether another was seen.
    std::unordered_map<std::string, std::string> firstOfSubject;
    bool variesWithinSubject = false;
    // Per subject: its values, to see whether every row of a subject has its own.
    std::unordered_map<std::string, std::unordered_set<std::string>> ofSubject;
    bool repeatsWithinSubject = false;
};

// How the text is read: its separator and encoding (as every reader finds
// them) and the decimal separator of its numbers.
struct Reading {
    char separator = ',';
    CsvEncoding encoding = CsvEncoding::Utf8;
    char decimal = '.';
};

// The column of the subject: the first whose name says so, else the first
// with a name (R's write.csv puts its row names first, under an empty name).
std::size_t SubjectColumn(const std::vector<std::string>& header) {
    for (std::size_t i = 0; i < header.size(); ++i)
        if (NamesSubject(header[i])) return i;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (!header[i].empty()) return i;
    return 0;
}

void See(ColumnSeen& seen, std::string_view field, const std::string& subject, char decimal) {
    if (field.empty()) return;
    seen.anyValue = true;
    if (seen.numeric && field != kNotAvailable && !IsScore(field, decimal)) seen.numeric = false;
    std::string value(field);
    if (seen.distinct.size() < seen.distinctCap) seen.distinct.insert(value);
    auto [first, inserted] = seen.firstOfSubject.try_emplace(subject, value);
    if (!inserted && first->second != value) seen.variesWithinSubject = true;
    if (!seen.repeatsWithinSubject && seen.ofSubject.size() < 5000) {
        auto& values = seen.ofSubject[subject];
        if (!values.insert(value).second) seen.repeatsWithinSubject = true;
    }
}

}  // namespace

RoleGuess GuessRoles(std::string_view text, const LongCsvOptions& given, std::size_t previewRows,
                     std::int64_t headerLine) {
    const HeaderRow header = headerLine > 0 ? HeaderRowAtLine(text, given, headerLine) : FindHeaderRow(text, given);
    const csv::CsvText csv = csv::DecodeCsv(text, given.encoding, given.separator);
    text = csv.text;
    Reading how{csv.separator, csv.encoding, given.decimalSeparator};
    const csv::FieldText fieldText(csv.encoding);
    RoleGuess guess;
    const std::size_t above = header.recordsBefore;
    guess.headerLine = header.line;
    csv::Reader reader(text, how.separator);
    for (std::size_t k = 0; k <= above; ++k) {
        while (reader.Next() && reader.Blank()) {
        }
        if (reader.Size() == 0 || reader.Blank()) throw CsvError(messages::EmptyCsv());
    }
    for (std::size_t i = 0; i < reader.Size(); ++i) guess.header.push_back(fieldText.Utf8(reader.Field(i)));
    const std::size_t columns = guess.header.size();
    const std::size_t subject = SubjectColumn(guess.header);

    std::vector<ColumnSeen> seen(columns);
    for (ColumnSeen& s : seen) s.distinctCap = 100000;
    // The first records decide the decimal separator: with a separator other
    // than the comma, a comma where numbers have their decimal point.
    constexpr std::size_t kFirstRecords = 1000;
    std::vector<std::vector<std::string>> first;
    std::size_t commaNumbers = 0, pointNumbers = 0;
    auto fieldsOf = [&] {
        std::vector<std::string> fields;
        for (std::size_t i = 0; i < columns; ++i)
            fields.push_back(i < reader.Size() ? std::string(reader.Field(i)) : std::string());
        return fields;
    };
    std::size_t looked = 0;
    while (looked < kFirstRecords && reader.Next()) {
        if (reader.Blank()) continue;
        ++looked;
        first.push_back(fieldsOf());
        for (const std::string& f : first.back()) {
            if (f.find(',') != std::string::npos && IsScore(f, ',')) ++commaNumbers;
            if (f.find('.') != std::string::npos && IsScore(f, '.')) ++pointNumbers;
        }
        if (guess.rows.size() < previewRows) {
            std::vector<std::string> shown;
            for (const std::string& f : first.back()) shown.push_back(fieldText.Utf8(f));
            guess.rows.push_back(std::move(shown));
        }
    }
    if (given.decimalSeparator == '.' && how.separator != ',' && commaNumbers > pointNumbers)
        how.decimal = ',';
    for (const auto& fields : first)
        for (std::size_t i = 0; i < columns; ++i) See(seen[i], fields[i], fields[subject], how.decimal);
    while (looked < kGuessedRecords && reader.Next()) {
        if (reader.Blank()) continue;
        ++looked;
        const std::vector<std::string> fields = fieldsOf();
        for (std::size_t i = 0; i < columns; ++i) See(seen[i], fields[i], fields[subject], how.decimal);
    }

    guess.options.recordsBeforeHeader = above;
    guess.options.separator = how.separator;
    guess.options.encoding = how.encoding;
    guess.options.decimalSeparator = how.decimal;
    guess.roles.id = guess.header[subject];

    // The score: the numeric column of the most distinct values that varies within subjects.
    std::optional<std::size_t> score;
    for (std::size_t i = 0; i < columns; ++i) {
        if (i == subject || guess.header[i].empty() || !seen[i].numeric || !seen[i].anyValue) continue;
        if (!score || seen[i].distinct.size() > seen[*score].distinct.size()) score = i;
    }
    if (score) guess.roles.dv = guess.header[*score];

    for (std::size_t i = 0; i < columns; ++i) {
        if (i == subject || (score && i == *score)) continue;
        const ColumnSeen& s = seen[i];
        // A column without a name (R's row names) is in no role until the user gives it one.
        const bool factorLike = !guess.header[i].empty() && s.anyValue && s.distinct.size() >= 2 && s.distinct.size() <= 100;
        if (!factorLike) {
            guess.unassigned.push_back(guess.header[i]);
        } else if (!s.variesWithinSubject) {
            guess.roles.between.push_back(guess.header[i]);
        } else if (!NamesTrial(guess.header[i]) && (s.repeatsWithinSubject || s.distinct.size() <= 10)) {
            guess.roles.within.push_back(guess.header[i]);
        } else {
            guess.unassigned.push_back(guess.header[i]);  // a value of its own on every row: a trial's number
        }
    }
    while (guess.roles.within.size() > kMostWithinFactors) {
        guess.unassigned.push_back(guess.roles.within.back());
        guess.roles.within.pop_back();
    }
    while (guess.roles.between.size() > kMostBetweenFactors) {
        guess.unassigned.push_back(guess.roles.between.back());
        guess.roles.between.pop_back();
    }
    return guess;
}

}  // namespace morvane
