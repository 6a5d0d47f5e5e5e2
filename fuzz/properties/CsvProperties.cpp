#include "properties/CsvProperties.h"

#include <set>

#include "exchange/ExchangeMessages.h"
#include "properties/BudgetScope.h"
#include "properties/DataFileProperties.h"
#include "properties/MemoryFile.h"
#include "properties/TextChecks.h"
#include "properties/Violation.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "scores/ScoreSyntax.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"

namespace morvane::properties {
namespace {

const char* const kSubjectColumns[] = {"subject", "id", "被験者", "A"};
const char* const kAColumns[] = {"A", "a", "条件", "B"};
const char* const kBColumns[] = {"B", "b", "時期", "score"};
const char* const kScoreColumns[] = {"score", "y", "得点", "subject"};

// Names for a wide design: mostly good ones, and one of each kind the design
// refuses. "Ⅰ" is one of the characters with two codes.
const char* const kLevelNames[16] = {"a1",  "a2", "b1", "b2", "条件１", "条件２", "前", "後",
                                     "x,y", "\"", "Ⅰ",  "",   "é",      "1\n2",   " ",  "\xFF"};

const char* OutcomeText(CsvOutcome outcome) {
    switch (outcome) {
        case CsvOutcome::Read:
            return "read";
        case CsvOutcome::Refused:
            return "refused (CsvError)";
        case CsvOutcome::NoLevels:
            return "refused (StudyError)";
        case CsvOutcome::OutOfMemory:
            return "out of memory";
    }
    return "?";
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string_view WithoutSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// The length of the code page 932 character at `text[i]`: two for a lead byte
// with a byte after it.
std::size_t CharacterLength(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return lead && i + 1 < text.size() ? 2 : 1;
}

// Whether the store's memory budget allows the arrays of the study the model
// read (a study that is refused is sized nothing).
bool Affordable(const CsvModelStudy& model) {
    if (model.outcome != CsvOutcome::Read) return true;
    const ModelStudy& study = model.study;
    const auto budget = static_cast<long double>(MemoryBudget());
    const long double names = sizeof(std::string), text = CellTextArray::kAllowance;
    return (study.na + 1.0L) * names <= budget && (study.nb + 1.0L) * names <= budget &&
           (study.n + 1.0L) * (study.na + 1.0L) * (study.nb + 1.0L) * text <= budget;
}

// ReadStudyCsv on `text`, checked against the model: the same outcome, and the
// same study when read.
CsvOutcome ImportChecked(std::string_view text, const CsvImportOptions& options, StudyStore& store) {
    const CsvModelStudy model = ReadCsvModel(text, options);
    CsvOutcome outcome = CsvOutcome::Read;
    try {
        ReadStudyCsv(text, options, store);
    } catch (const CsvError&) {
        outcome = CsvOutcome::Refused;
    } catch (const StudyError&) {
        outcome = CsvOutcome::NoLevels;
    } catch (const OutOfMemoryError&) {
        if (Affordable(model))
            throw Violation("ReadStudyCsv ran out of memory for a study within the budget: " + Quote(text));
        return CsvOutcome::OutOfMemory;
    } catch (const Error& error) {
        throw Violation("ReadStudyCsv raised '" + Utf8FromCp932(error.message()) + "' for " + Quote(text));
    }
    if (outcome != model.outcome)
        throw Violation(std::string("ReadStudyCsv: ") + OutcomeText(outcome) + ", expected " +
                        OutcomeText(model.outcome) + " for " + Quote(text));
    if (outcome == CsvOutcome::Read) RequireStoreMatches(store, model.study);
    return outcome;
}

std::optional<std::vector<std::string>> NamesUtf8(const NameArray& names, std::int32_t count) {
    std::vector<std::string> utf8;
    for (std::int32_t level = 1; level <= count; ++level) {
        auto name = Utf8FromCp932Exact(names[static_cast<std::size_t>(level)]);
        if (!name) return std::nullopt;
        utf8.push_back(std::move(*name));
    }
    return utf8;
}

bool Distinct(const std::vector<std::string>& names) {
    return std::set<std::string>(names.begin(), names.end()).size() == names.size();
}

// The store written as CSV in `layout` and read back with the decimal separator.
void CheckExportImport(const StudyStore& store, CsvLayout layout, char decimalSeparator) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const auto namesA = NamesUtf8(store.LevelNamesA, na), namesB = NamesUtf8(store.LevelNamesB, nb);
    bool convertible = namesA && namesB, scores = true;
    ModelStudy expected;
    expected.countsRead = 3;
    expected.n = n, expected.na = na, expected.nb = nb;
    for (std::int32_t a = 1; a <= na; ++a)
        expected.namesA.push_back(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= nb; ++b)
        expected.namesB.push_back(store.LevelNamesB[static_cast<std::size_t>(b)]);
    for (std::int32_t a = 1; a <= na; ++a)
        for (std::int32_t b = 1; b <= nb; ++b)
            for (std::int32_t s = 1; s <= n; ++s) {
                const std::string_view text = store.CellText(s, a, b);
                convertible = convertible && (IsAscii(text) || Utf8FromCp932Exact(text));
                scores = scores && IsScore(text, decimalSeparator);
                expected.scores.emplace_back(WithoutSpaces(text));
            }

    std::string csv;
    try {
        WriteStudyCsv(store, layout, [&csv](std::string_view piece) { csv.append(piece); });
    } catch (const CsvError&) {
        Require(!convertible, "WriteStudyCsv refuses a study whose texts are all code page 932");
        return;
    }
    Require(convertible, "WriteStudyCsv writes a study with a text that is not code page 932");
    if (!IsUtf8(csv)) throw Violation("WriteStudyCsv writes text that is not UTF-8: " + Quote(csv));

    CsvImportOptions options;
    options.layout = layout;
    options.decimalSeparator = decimalSeparator;
    if (layout == CsvLayout::Wide) options.levelsA = *namesA, options.levelsB = *namesB;
    StudyStore back;
    const CsvOutcome outcome = ImportChecked(csv, options, back);
    // A NUL goes out as U+FFFD, which code page 932 cannot hold.
    const auto holdsNul = [](const std::string& name) { return name.find('\0') != std::string::npos; };
    const bool comesBack =
        scores && std::none_of(namesA->begin(), namesA->end(), holdsNul) &&
        std::none_of(namesB->begin(), namesB->end(), holdsNul) && na >= 1 && nb >= 1 &&
        (layout == CsvLayout::Wide ? n >= 0 : n >= 1 && Distinct(*namesA) && Distinct(*namesB));
    if (!comesBack) return;
    if (outcome != CsvOutcome::Read)
        throw Violation(std::string(layout == CsvLayout::Long ? "long" : "wide") +
                        " CSV not read back: " + Quote(csv));
    RequireStoreMatches(back, expected, SameExceptTwinCodes);
}

}  // namespace

std::optional<CsvImportInput> CsvImportInputOf(std::string_view bytes) {
    if (bytes.size() < 2) return std::nullopt;
    const auto flags = static_cast<unsigned char>(bytes[0]), names = static_cast<unsigned char>(bytes[1]);
    CsvImportInput input;
    CsvImportOptions& o = input.options;
    o.layout = (flags & 1) != 0 ? CsvLayout::Wide : CsvLayout::Long;
    constexpr CsvEncoding kEncodings[] = {CsvEncoding::Detect, CsvEncoding::Utf8, CsvEncoding::Cp932,
                                          CsvEncoding::Detect};
    o.encoding = kEncodings[flags >> 1 & 3];
    constexpr char kSeparators[] = {0, ',', ';', '\t'};
    o.separator = kSeparators[flags >> 3 & 3];
    o.decimalSeparator = (flags & 0x20) != 0 ? ',' : '.';
    o.header = (flags & 0x40) == 0;
    if (o.layout == CsvLayout::Long) {
        o.subjectColumn = kSubjectColumns[names & 3];
        o.aColumn = kAColumns[names >> 2 & 3];
        o.bColumn = kBColumns[names >> 4 & 3];
        o.scoreColumn = kScoreColumns[names >> 6 & 3];
    } else {
        std::size_t next = names >> 4;
        for (int i = 0; i < (names & 3); ++i) o.levelsA.emplace_back(kLevelNames[next++ % 16]);
        for (int i = 0; i < (names >> 2 & 3); ++i) o.levelsB.emplace_back(kLevelNames[next++ % 16]);
    }
    input.text = bytes.substr(2);
    return input;
}

std::optional<CsvOutcome> CheckCsvImportBytes(std::string_view bytes) {
    const auto input = CsvImportInputOf(bytes);
    if (!input) return std::nullopt;
    StudyStore store;
    const CsvOutcome outcome = ImportChecked(input->text, input->options, store);
    if (outcome == CsvOutcome::Read)
        CheckExportImport(store, input->options.layout, input->options.decimalSeparator);
    return outcome;
}

constexpr std::int64_t kWideCellsChecked = 1 << 16;

bool CheckCsvRoundTripBytes(std::string_view bytes, std::uint64_t memoryBudget) {
    static MemoryFile file;
    BudgetScope budget(memoryBudget);
    file.Set(bytes);
    StudyStore store;
    try {
        ReadDataFile(store, file.Path());
    } catch (const Error&) {
        return false;  // the data file's own target checks how it fails
    }
    // A wide header has a column a cell whatever the subjects: a few bytes of
    // counts ask for a header of megabytes, whose round trip is timed by the
    // benchmarks, not here.
    const std::int64_t cells = std::int64_t{store.LevelCountA} * store.LevelCountB;
    for (CsvLayout layout : {CsvLayout::Long, CsvLayout::Wide}) {
        if (layout == CsvLayout::Wide && cells > kWideCellsChecked) continue;
        CheckExportImport(store, layout, '.');
        if (bytes.find(',') != std::string_view::npos) CheckExportImport(store, layout, ',');
    }
    return true;
}

bool SameExceptTwinCodes(std::string_view x, std::string_view y) {
    std::size_t i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        const std::size_t m = CharacterLength(x, i), k = CharacterLength(y, j);
        const std::string_view cx = x.substr(i, m), cy = y.substr(j, k);
        if (cx != cy) {
            if (m != 2 || k != 2) return false;
            const auto ux = Utf8FromCp932Exact(cx), uy = Utf8FromCp932Exact(cy);
            if (!ux || !uy || *ux != *uy) return false;
        }
        i += m, j += k;
    }
    return i == x.size() && j == y.size();
}

}  // namespace morvane::properties
