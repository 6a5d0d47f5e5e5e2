#include "properties/LongCsvProperties.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "anova/Analysis.h"
#include "exact/ExactFraction.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/RoleGuess.h"
#include "exchange/detail/LongCsvRows.h"  // the reading split at a chosen byte
#include "output/AnovaFormats.h"
#include "properties/AnalysisProperties.h"
#include "properties/BudgetScope.h"
#include "properties/CsvModel.h"
#include "properties/DataFileProperties.h"
#include "properties/TextChecks.h"
#include "properties/Violation.h"
#include "runtime/Errors.h"

namespace morvane::properties {
namespace {

void CheckFactors(const std::vector<DesignFactor>& factors, const std::vector<std::string>& names) {
    Require(factors.size() == names.size(), "a factor for every column named");
    for (std::size_t f = 0; f < factors.size(); ++f) {
        Require(factors[f].name == names[f], "factors in the order named");
        Require(factors[f].levels.size() >= 2, "two levels or more");
        const std::set<std::string> distinct(factors[f].levels.begin(), factors[f].levels.end());
        Require(distinct.size() == factors[f].levels.size(), "distinct levels");
        for (const std::string& level : factors[f].levels)
            Require(!level.empty() && IsUtf8(level), "a level named in UTF-8");
    }
}

void CheckSubjects(const DesignData& design) {
    Require(design.Subjects() >= 1, "a subject analysed");
    Require(design.group.size() == design.Subjects(), "a group for every subject");
    std::set<std::string> ids;
    for (const auto* list : {&design.subjects, &design.removed})
        for (const std::string& id : *list) {
            Require(!id.empty() && IsUtf8(id), "an id in UTF-8");
            Require(ids.insert(id).second, "distinct ids, analysed and removed");
        }
    Require(design.subjectsRead == static_cast<std::int64_t>(ids.size()), "the subjects read counted");
    std::vector<char> seen(design.Groups(), 0);
    for (std::int32_t g : design.group) {
        Require(g >= 0 && static_cast<std::size_t>(g) < design.Groups(), "a group in range");
        seen[static_cast<std::size_t>(g)] = 1;
    }
    for (char s : seen) Require(s != 0, "a subject in every group");
}

void CheckScores(const DesignData& design) {
    const std::size_t size = design.Subjects() * design.Cells();
    Require(design.values.size() == size, "a score in every cell");
    for (Extended value : design.values) Require(std::isfinite(value), "finite scores");
    if (!design.exact) {
        Require(design.units.empty() && design.rows.empty(), "no units unless exact");
        Require(design.averagedRows >= 2 * design.averagedCells, "averaged cells of two rows or more");
        return;
    }
    const bool wide = design.units.empty();  // the sums in GMP integers
    Require((wide ? design.wideUnits.size() : design.units.size()) == size && design.rows.size() == size,
            "units and rows in every cell");
    Require(design.scale >= 0, "a scale of zero or more");
    std::int64_t cells = 0, rows = 0;
    for (std::size_t i = 0; i < size; ++i) {
        Require(design.rows[i] >= 1, "a row in every cell");
        if (design.rows[i] > 1) ++cells, rows += design.rows[i];
        if (wide) continue;
        const Extended mean = ExactFraction(design.units[i], design.rows[i]).Rounded(-design.scale);
        Require(mean == design.values[i], "the score the mean of its units, rounded once");
    }
    Require(cells == design.averagedCells && rows == design.averagedRows,
            "the averaged cells and rows counted");
}

bool Blank(const CsvRecord& record) {
    for (const std::string& field : record)
        if (!field.empty()) return false;
    return true;
}

// A second count from the model's records of a CSV read as UTF-8: the subjects
// read are the distinct ids, and the analysed subjects' rows with a score
// (spaces aside) are the rows their cells average.
void CheckRowCounts(const DesignData& design, const LongCsvInput& input) {
    std::string_view text = input.text;
    if (!design.exact || input.options.encoding == CsvEncoding::Cp932 || !IsUtf8(text)) return;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const char separator = input.options.separator != 0 ? input.options.separator : FirstLineSeparator(text);
    const auto records = CsvRecords(text, separator);
    Require(records.has_value(), "the model reads the records of a CSV that was read");
    std::size_t r = 0;
    while (r < records->size() && Blank((*records)[r])) ++r;
    Require(r < records->size(), "a header");
    const CsvRecord& header = (*records)[r];
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const std::size_t id = column(input.roles.id), dv = column(input.roles.dv);
    Require(id < header.size() && dv < header.size(), "the id and score columns in the header");
    const std::set<std::string> analysed(design.subjects.begin(), design.subjects.end());
    std::set<std::string> read;
    std::int64_t rows = 0;
    for (++r; r < records->size(); ++r) {
        const CsvRecord& record = (*records)[r];
        if (Blank(record)) continue;
        Require(record.size() == header.size(), "every record as wide as the header");
        read.insert(record[id]);
        if (analysed.count(record[id]) != 0 && record[dv].find_first_not_of(' ') != std::string::npos) ++rows;
    }
    Require(static_cast<std::int64_t>(read.size()) == design.subjectsRead, "every id a subject read");
    std::int64_t averaged = 0;
    for (std::int32_t count : design.rows) averaged += count;
    Require(averaged == rows, "every row with a score of an analysed subject in its cell");
}

}  // namespace

std::optional<LongCsvInput> LongCsvInputOf(std::string_view bytes) {
    if (bytes.size() < 2) return std::nullopt;
    const auto options = static_cast<unsigned char>(bytes[0]), roles = static_cast<unsigned char>(bytes[1]);
    LongCsvInput input;
    constexpr CsvEncoding kEncodings[] = {CsvEncoding::Detect, CsvEncoding::Utf8, CsvEncoding::Cp932,
                                          CsvEncoding::Detect};
    constexpr char kSeparators[] = {0, ',', ';', '\t'};
    input.options.encoding = kEncodings[options & 3];
    input.options.separator = kSeparators[(options >> 2) & 3];
    input.options.decimalSeparator = (options & 16) != 0 ? ',' : '.';
    input.roles.id = (roles & 64) != 0 ? "被験者" : "id";
    input.roles.dv = (roles & 128) != 0 ? "得点" : "score";
    const char* const within[] = {"a", "b", "c", "d", "e"};
    const char* const between[] = {"g", "h", "k"};
    for (unsigned w = 0; w < std::min(roles & 7u, 5u); ++w) input.roles.within.emplace_back(within[w]);
    for (unsigned b = 0; b < ((roles >> 3) & 3u); ++b) input.roles.between.emplace_back(between[b]);
    if ((roles & 32) != 0 && !input.roles.between.empty()) input.roles.between.back() = "a";
    input.text = bytes.substr(2);
    return input;
}

namespace {

// The analysis of a design read, as morvane anova makes it, and every format
// of it: it fails only with OverflowError, and its texts are UTF-8, the JSON
// one valid value. Designs of more scores than kAnalysedScores are left out:
// the fuzzer's time goes to many small ones.
constexpr std::size_t kAnalysedScores = 4096;

void CheckDesignAnalysis(const DesignData& design, bool typeII) {
    if (design.Subjects() * design.Cells() > kAnalysedScores) return;
    anova::Options options;
    options.type = typeII ? anova::SsType::TypeII : anova::SsType::TypeIII;
    if (!design.between.empty()) options.observed.push_back(design.between.front().name);
    anova::Analysis analysis;
    try {
        analysis = anova::Analyse(design, options);
    } catch (const OverflowError&) {
        return;
    } catch (const std::exception& error) {
        throw Violation(std::string("the analysis threw an exception of no overflow: ") + error.what());
    }
    RequireSoundFigures(analysis);
    for (AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv, AnovaFormat::Json,
                               AnovaFormat::Apa, AnovaFormat::Html}) {
        std::string out;
        try {
            out = FormatAnalysis(analysis, format);
        } catch (const OverflowError&) {
            continue;
        } catch (const std::exception& error) {
            throw Violation(std::string("a design's format threw: ") + error.what());
        }
        Require(IsUtf8(out), "a design's format is UTF-8");
        if (format == AnovaFormat::Json)
            if (auto fault = JsonFault(out)) throw Violation("a design's JSON is not valid: " + *fault);
    }
}

// The reading split between two threads at a third and at half of the text:
// the design read on one (`design`), or the same refusal (`refusal`).
void CheckSplitReadings(const LongCsvInput& input, const DesignData* design, const std::string& refusal) {
    for (std::size_t at : {input.text.size() / 3, input.text.size() / 2}) {
        try {
            const DesignData split = csv::ReadLongCsvSplitAt(input.text, input.roles, input.options, at);
            Require(design != nullptr, "a text refused on one thread refused on two");
            if (auto difference = DesignDifference(*design, split))
                throw Violation("the design read on two threads differs: " + *difference);
        } catch (const CsvError& error) {
            Require(design == nullptr && error.message() == refusal, "the same refusal on two threads");
        } catch (const OutOfMemoryError&) {
            // The memory the two halves took at once may be refused where one thread's was not.
        }
    }
}

}  // namespace

std::optional<std::string> DesignDifference(const DesignData& x, const DesignData& y) {
    const auto sameFactors = [](const std::vector<DesignFactor>& a, const std::vector<DesignFactor>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](const DesignFactor& f, const DesignFactor& g) {
                              return f.name == g.name && f.levels == g.levels;
                          });
    };
    if (!sameFactors(x.between, y.between) || !sameFactors(x.within, y.within))
        return "the factors or their levels";
    if (x.subjects != y.subjects || x.group != y.group) return "the subjects or their groups";
    if (x.values != y.values) return "the scores";
    if (x.exact != y.exact || x.scale != y.scale || x.units != y.units || x.wideUnits != y.wideUnits ||
        x.rows != y.rows)
        return "the exact units";
    if (x.subjectsRead != y.subjectsRead || x.removed != y.removed) return "the subjects read or removed";
    if (x.averagedCells != y.averagedCells || x.averagedRows != y.averagedRows) return "the cells averaged";
    if (x.rowsWithoutScore != y.rowsWithoutScore || x.commonRowsPerCell != y.commonRowsPerCell ||
        x.cellsWithFewerRows != y.cellsWithFewerRows)
        return "the rows without a score";
    return std::nullopt;
}

std::optional<LongCsvOutcome> CheckLongCsvBytes(std::string_view bytes) {
    const auto input = LongCsvInputOf(bytes);
    if (!input) return std::nullopt;
    const BudgetScope budget(kFuzzMemoryBudget);
    // The guess of the columns' roles reads any text or refuses it as a CSV.
    try {
        const RoleGuess guess = GuessRoles(input->text, input->options, 5);
        Require(guess.rows.size() <= 5, "the preview keeps the rows asked for");
    } catch (const CsvError&) {
    } catch (const OutOfMemoryError&) {
    } catch (const std::exception& error) {
        throw Violation(std::string("GuessRoles threw an exception of no refusal: ") + error.what());
    }
    DesignData design;
    try {
        design = ReadLongCsv(input->text, input->roles, input->options);
    } catch (const CsvError& error) {
        Require(!error.message().empty(), "a refusal says why");
        CheckSplitReadings(*input, nullptr, error.message());
        return LongCsvOutcome::Refused;
    } catch (const OutOfMemoryError&) {
        return LongCsvOutcome::OutOfMemory;
    } catch (const std::exception& error) {
        throw Violation(std::string("ReadLongCsv threw an exception of no refusal: ") + error.what());
    }
    CheckDesign(design, input->roles);
    CheckRowCounts(design, *input);
    CheckSplitReadings(*input, &design, "");
    CheckDesignAnalysis(design, design.Subjects() % 2 == 1);
    return LongCsvOutcome::Read;
}

void CheckDesign(const DesignData& design, const LongCsvRoles& roles) {
    CheckFactors(design.within, roles.within);
    CheckFactors(design.between, roles.between);
    // A design without a within factor is a between-subjects one: it needs a between factor.
    Require(design.within.size() <= kMostWithinFactors, "up to four within factors");
    Require(!design.within.empty() || !design.between.empty(), "a within or a between factor");
    Require(design.between.size() <= kMostBetweenFactors, "up to three between factors");
    CheckSubjects(design);
    CheckScores(design);
}

}  // namespace morvane::properties
