// A long CSV read into a design in two passes. The first reads the rows into
// compact records (the subject, the combination of within levels, the score
// as digits and a power of ten) while the levels and subjects are found in the
// order they appear, each key a view into the text; the second, once every
// level is known, puts the records into their cells, removes the subjects
// with a missing cell and forms the exact means.

#include "exchange/LongCsv.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <unordered_map>

#include "design/DecimalMeans.h"
#include "design/Design.h"
#include "exchange/Csv.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/detail/KeyIndex.h"
#include "exchange/detail/LongCsvMessages.h"
#include "runtime/Cp932.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"
#include "runtime/PowersOfTen.h"
#include "scores/QuickScore.h"
#include "scores/ScoreSyntax.h"

namespace morvane {
namespace {

using design::DecimalTerm;
using csv::KeyIndex;

constexpr std::size_t kMostCount = std::numeric_limits<std::int32_t>::max();

// One row, kept small: there may be tens of millions.
enum class Kind : std::uint8_t { Empty, Positive, Negative, Long };
struct Row {
    std::uint64_t digits;  // the score's digits, or for a long score its index among them
    std::int32_t subject;
    std::int32_t combination;  // of the within factors' levels, as they first appear
    std::int8_t exponent;      // the power of ten of the last digit
    Kind kind;
};

// A vector of `count` items, refused beyond the memory budget.
template <typename T>
std::vector<T> Affordable(std::size_t count, const T& value = T{}) {
    EnsureAffordable(count, sizeof(T));
    return std::vector<T>(count, value);
}

std::size_t CheckedProduct(std::size_t x, std::size_t y) {
    std::size_t product = 0;
    if (__builtin_mul_overflow(x, y, &product)) throw OutOfMemoryError();
    return product;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool HasLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool NextNonBlank(csv::Reader& reader) {
    while (reader.Next())
        if (!reader.Blank()) return true;
    return false;
}

struct WithinKeyHash {
    std::size_t operator()(UInt128 key) const {
        const auto mixed = static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull ^
                           static_cast<std::uint64_t>(key >> 64) * 0xC2B2AE3D27D4EB4Full;
        return static_cast<std::size_t>(mixed ^ (mixed >> 29));
    }
};

// The UTF-8 names of a column's keys. Code page 932 holds some characters
// under two codes, so that two keys may be one name: the second is then
// another spelling of the first.
using NameIndex = std::unordered_map<std::string, std::int32_t>;

// A factor's column: its levels as keys into the text and as UTF-8 names.
struct FactorColumn {
    std::string name;
    std::size_t column = 0;
    KeyIndex<std::string_view> keys;
    std::vector<std::string> levels;
    NameIndex names;
};

class LongReader {
public:
    LongReader(std::string_view text, char separator, CsvEncoding encoding, const LongCsvRoles& roles,
               const LongCsvOptions& options)
        : reader_(text, separator), encoding_(encoding), roles_(roles), options_(options) {}

    void ReadHeader();
    void ReadRows();
    DesignData Build();

private:
    std::size_t Column(const std::string& name) const;
    std::string Name(std::size_t column, bool level) const;
    std::int32_t Level(FactorColumn& factor);
    std::int32_t Subject();
    std::int32_t NewSubject(std::string_view key, std::string name);
    std::int32_t Combination();
    void Score(Row& row);

    std::vector<std::size_t> CellOfCombination(const DesignData& design) const;
    std::vector<std::int32_t> CountRows(const std::vector<std::size_t>& cellOf, std::size_t cells) const;
    void KeepComplete(DesignData& design, std::vector<std::int32_t>& counts, std::size_t cells);
    void CheckGroups(const DesignData& design) const;
    void FormMeans(DesignData& design, const std::vector<std::size_t>& cellOf);
    bool FormUnits(DesignData& design, const std::vector<std::size_t>& cellOf) const;
    void FormMeansOfTerms(DesignData& design, const std::vector<std::size_t>& cellOf) const;

    csv::Reader reader_;
    CsvEncoding encoding_;
    const LongCsvRoles& roles_;
    const LongCsvOptions& options_;
    std::size_t width_ = 0, idColumn_ = 0, dvColumn_ = 0;
    std::vector<FactorColumn> between_, within_;

    KeyIndex<std::string_view> subjectKeys_;
    NameIndex subjectNames_;
    std::vector<std::string> subjects_;              // UTF-8, as they first appear
    std::vector<std::int64_t> subjectLines_;         // the line of each one's first row
    std::vector<std::int32_t> subjectLevels_;        // each one's between levels
    KeyIndex<UInt128, WithinKeyHash> combinations_;  // of within levels, 32 bits each
    std::vector<Row> rows_;
    std::vector<std::string_view> longScores_;
    std::vector<std::int32_t> newIndex_;  // each subject's among the analysed, -1 when removed
};

// The header's column of that name.
std::size_t LongReader::Column(const std::string& name) const {
    std::size_t found = reader_.Size();
    for (std::size_t i = 0; i < reader_.Size(); ++i) {
        const std::string_view field = reader_.Field(i);
        if ((encoding_ == CsvEncoding::Cp932 ? Utf8FromCp932(field) : std::string(field)) != name) continue;
        if (found != reader_.Size())
            throw CsvError(messages::DuplicateColumn(reader_.Line(), Cp932FromUtf8(name)));
        found = i;
    }
    if (found == reader_.Size()) throw CsvError(messages::MissingColumn(reader_.Line(), Cp932FromUtf8(name)));
    return found;
}

void LongReader::ReadHeader() {
    for (std::size_t skipped = 0; skipped < options_.recordsBeforeHeader; ++skipped)
        if (!NextNonBlank(reader_)) throw CsvError(messages::EmptyCsv());
    if (!NextNonBlank(reader_)) throw CsvError(messages::EmptyCsv());
    width_ = reader_.Size();
    idColumn_ = Column(roles_.id);
    dvColumn_ = Column(roles_.dv);
    for (const std::string& name : roles_.between) between_.push_back({name, Column(name), {}, {}, {}});
    for (const std::string& name : roles_.within) within_.push_back({name, Column(name), {}, {}, {}});
}

// A field of the current row as a UTF-8 name: a level's or a subject's id.
std::string LongReader::Name(std::size_t column, bool level) const {
    const std::string_view field = reader_.Field(column);
    const std::int64_t line = reader_.FieldLine(column), at = static_cast<std::int64_t>(column) + 1;
    if (field.empty()) throw CsvError(level ? messages::EmptyLevel(line, at) : messages::EmptyId(line, at));
    if (HasLineEnd(field))
        throw CsvError(level ? messages::LineEndInName(line, at) : messages::LineEndInId(line, at));
    if (IsAscii(field)) return std::string(field);
    if (encoding_ == CsvEncoding::Cp932) {
        auto utf8 = Utf8FromCp932Exact(field);
        if (!utf8) throw CsvError(messages::BadCp932(line, at));
        return std::move(*utf8);
    }
    if (!csv::IsValidUtf8(field)) throw CsvError(messages::BadUtf8(line, at));
    return std::string(field);
}

std::int32_t LongReader::Level(FactorColumn& factor) {
    const std::string_view key = reader_.Field(factor.column);
    std::int64_t level = factor.keys.Find(key);
    if (level >= 0) return static_cast<std::int32_t>(level);
    if (factor.keys.Size() >= kMostCount)
        throw CsvError(messages::TooManyLevels(reader_.Line(), factor.name));
    std::string name = Name(factor.column, true);
    const auto known = factor.names.find(name);
    if (known != factor.names.end()) {
        factor.keys.Alias(key, static_cast<std::size_t>(known->second));
        return known->second;
    }
    level = factor.keys.Add(key);
    factor.names.emplace(name, static_cast<std::int32_t>(level));
    factor.levels.push_back(std::move(name));
    return static_cast<std::int32_t>(level);
}

// The row's subject, its between levels checked against those of its first row.
std::int32_t LongReader::Subject() {
    const std::string_view key = reader_.Field(idColumn_);
    std::int64_t s = subjectKeys_.Find(key);
    if (s < 0) {
        if (subjectKeys_.Size() >= kMostCount) throw CsvError(messages::TooManySubjects(reader_.Line()));
        std::string name = Name(idColumn_, false);
        const auto known = subjectNames_.find(name);
        if (known == subjectNames_.end()) return NewSubject(key, std::move(name));
        subjectKeys_.Alias(key, static_cast<std::size_t>(known->second));
        s = known->second;
    }
    const auto index = static_cast<std::size_t>(s);
    for (std::size_t f = 0; f < between_.size(); ++f) {
        const std::int32_t level = Level(between_[f]), first = subjectLevels_[index * between_.size() + f];
        if (level == first) continue;
        const auto& levels = between_[f].levels;
        throw CsvError(messages::TwoBetweenLevels(
            subjects_[index], between_[f].name, levels[static_cast<std::size_t>(first)], subjectLines_[index],
            levels[static_cast<std::size_t>(level)], reader_.Line()));
    }
    return static_cast<std::int32_t>(s);
}

// A subject first seen in this row, whose between levels it gives.
std::int32_t LongReader::NewSubject(std::string_view key, std::string name) {
    MakeRoom(subjects_, 1);
    MakeRoom(subjectLines_, 1);
    MakeRoom(subjectLevels_, between_.size());
    subjectNames_.emplace(name, static_cast<std::int32_t>(subjectKeys_.Size()));
    subjects_.push_back(std::move(name));
    subjectLines_.push_back(reader_.Line());
    for (FactorColumn& factor : between_) subjectLevels_.push_back(Level(factor));
    return static_cast<std::int32_t>(subjectKeys_.Add(key));
}

// The row's combination of within levels, numbered as they first appear.
std::int32_t LongReader::Combination() {
    UInt128 key = 0;
    for (std::size_t f = 0; f < within_.size(); ++f)
        key |= static_cast<UInt128>(static_cast<std::uint32_t>(Level(within_[f]))) << (32 * f);
    const std::int64_t found = combinations_.Find(key);
    if (found >= 0) return static_cast<std::int32_t>(found);
    if (combinations_.Size() >= kMostCount) throw OutOfMemoryError();
    return static_cast<std::int32_t>(combinations_.Add(key));
}

// The score: empty or NA (no score), digits and a power of ten when the quick parse
// takes it, else kept as its text. Anything else is refused as the import
// refuses it.
void LongReader::Score(Row& row) {
    const std::string_view text = TrimSpaces(reader_.Field(dvColumn_));
    const char separator = options_.decimalSeparator;
    if (text.empty() || text == kNotAvailable) {
        row.kind = Kind::Empty;
        return;
    }
    if (QuickScore quick; ReadQuickScore(text, separator, quick)) {
        row.digits = quick.digits;
        row.exponent = static_cast<std::int8_t>(quick.exponent);
        row.kind = quick.negative ? Kind::Negative : Kind::Positive;
        return;
    }
    const std::int64_t line = reader_.FieldLine(dvColumn_), column = static_cast<std::int64_t>(dvColumn_) + 1;
    const bool asciiSeparator = static_cast<unsigned char>(separator) < 0x80;
    if (!IsScore(text, separator) || (!asciiSeparator && !IsAscii(text))) {
        if (IsAscii(text) || encoding_ == CsvEncoding::Cp932)
            throw CsvError(messages::NotAScore(line, column, text));
        if (!csv::IsValidUtf8(text)) throw CsvError(messages::BadUtf8(line, column));
        throw CsvError(messages::NotAScore(line, column, Cp932FromUtf8(text)));
    }
    MakeRoom(longScores_, 1);
    row.digits = longScores_.size();
    row.exponent = 0;
    row.kind = Kind::Long;
    longScores_.push_back(text);
}

// Every row into a record. The rows of one subject mostly follow each other:
// a row whose id and between levels are the last row's is read without
// looking either up.
void LongReader::ReadRows() {
    std::vector<std::optional<std::string_view>> pattern(width_);
    bool patterned = false;
    std::int32_t subject = 0;
    MakeRoom(rows_, std::min(reader_.RecordsLeftOf(width_), reader_.LineFeedsLeft() + 1));
    for (;;) {
        if (!patterned || !reader_.NextIf(pattern)) {
            if (!NextNonBlank(reader_)) break;
            if (reader_.Size() != width_)
                throw CsvError(messages::FieldCount(reader_.Line(), reader_.Size(), width_));
            subject = Subject();
            pattern[idColumn_] = reader_.Field(idColumn_);
            for (const FactorColumn& factor : between_) pattern[factor.column] = reader_.Field(factor.column);
            patterned = true;
        }
        Row row{0, subject, Combination(), 0, Kind::Empty};
        Score(row);
        if (rows_.size() == rows_.capacity()) MakeRoom(rows_, 1);
        if (rows_.size() >= kMostCount) throw OutOfMemoryError();
        rows_.push_back(row);
    }
    if (rows_.empty()) throw CsvError(messages::NoScoreRows());
}

// Each combination's within cell: its levels' index, the last factor fastest.
std::vector<std::size_t> LongReader::CellOfCombination(const DesignData& design) const {
    std::vector<std::size_t> cellOf(combinations_.Size());
    for (std::size_t k = 0; k < cellOf.size(); ++k) {
        std::size_t cell = 0;
        for (std::size_t f = 0; f < within_.size(); ++f) {
            const auto level = static_cast<std::uint32_t>(combinations_[k] >> (32 * f));
            cell = cell * design.within[f].levels.size() + level;
        }
        cellOf[k] = cell;
    }
    return cellOf;
}

// The rows with a score in each subject's cells, every subject read.
std::vector<std::int32_t> LongReader::CountRows(const std::vector<std::size_t>& cellOf,
                                                std::size_t cells) const {
    auto counts = Affordable<std::int32_t>(CheckedProduct(subjects_.size(), cells));
    for (const Row& row : rows_)
        if (row.kind != Kind::Empty)
            ++counts[static_cast<std::size_t>(row.subject) * cells +
                     cellOf[static_cast<std::size_t>(row.combination)]];
    return counts;
}

// Removes the subjects with a cell of no score; the counts of the others move
// up to their new places.
void LongReader::KeepComplete(DesignData& design, std::vector<std::int32_t>& counts, std::size_t cells) {
    newIndex_.assign(subjects_.size(), -1);
    std::size_t kept = 0;
    for (std::size_t s = 0; s < subjects_.size(); ++s) {
        const auto first = counts.begin() + static_cast<std::ptrdiff_t>(s * cells);
        if (std::find(first, first + static_cast<std::ptrdiff_t>(cells), 0) !=
            first + static_cast<std::ptrdiff_t>(cells)) {
            design.removed.push_back(subjects_[s]);
            continue;
        }
        std::copy(first, first + static_cast<std::ptrdiff_t>(cells),
                  counts.begin() + static_cast<std::ptrdiff_t>(kept * cells));
        newIndex_[s] = static_cast<std::int32_t>(kept++);
    }
    if (kept == 0)
        throw CsvError(messages::NoCompleteSubject(static_cast<std::int64_t>(design.removed.size())));
    counts.resize(kept * cells);
    design.subjects.reserve(kept);
    design.group.reserve(kept);
    for (std::size_t s = 0; s < subjects_.size(); ++s) {
        if (newIndex_[s] < 0) continue;
        std::size_t group = 0;
        for (std::size_t f = 0; f < between_.size(); ++f)
            group = group * design.between[f].levels.size() +
                    static_cast<std::size_t>(subjectLevels_[s * between_.size() + f]);
        design.subjects.push_back(std::move(subjects_[s]));
        design.group.push_back(static_cast<std::int32_t>(group));
    }
}

// The first between cell (in index order) missing from `groups`, or `count`.
std::size_t FirstMissing(std::vector<std::size_t> groups, std::size_t count) {
    std::sort(groups.begin(), groups.end());
    groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
    for (std::size_t g = 0; g < groups.size(); ++g)
        if (groups[g] != g) return g;
    return std::min(groups.size(), count);
}

// Every between cell must keep a subject: the first without one is refused.
// (Cells may outnumber the subjects many times: only those with one are kept.)
void LongReader::CheckGroups(const DesignData& design) const {
    const std::size_t groups = design.Groups();
    std::vector<std::size_t> analysed(design.group.begin(), design.group.end());
    const std::size_t g = FirstMissing(std::move(analysed), groups);
    if (g == groups) return;
    bool hadSubjects = false;  // all of them removed
    for (std::size_t s = 0; s < subjects_.size(); ++s) {
        std::size_t group = 0;
        for (std::size_t f = 0; f < between_.size(); ++f)
            group = group * design.between[f].levels.size() +
                    static_cast<std::size_t>(subjectLevels_[s * between_.size() + f]);
        hadSubjects = hadSubjects || group == g;
    }
    std::vector<std::string> factors, levels(between_.size());
    for (std::size_t f = between_.size(), rest = g; f-- > 0;) {
        const std::size_t size = design.between[f].levels.size();
        levels[f] = design.between[f].levels[rest % size];
        rest /= size;
    }
    for (const DesignFactor& factor : design.between) factors.push_back(factor.name);
    throw CsvError(messages::EmptyBetweenCell(factors, levels, hadSubjects));
}

DesignData LongReader::Build() {
    DesignData design;
    const auto factorOf = [](FactorColumn& column) {
        if (column.levels.size() == 1) throw CsvError(messages::OneLevel(column.name, column.levels[0]));
        return DesignFactor{column.name, std::move(column.levels)};
    };
    for (FactorColumn& column : between_) design.between.push_back(factorOf(column));
    for (FactorColumn& column : within_) design.within.push_back(factorOf(column));
    std::size_t cells = 1, groups = 1;
    for (const DesignFactor& factor : design.within) cells = CheckedProduct(cells, factor.levels.size());
    for (const DesignFactor& factor : design.between) groups = CheckedProduct(groups, factor.levels.size());
    if (groups > kMostCount || cells > kMostCount) throw OutOfMemoryError();
    design.subjectsRead = static_cast<std::int64_t>(subjects_.size());

    const std::vector<std::size_t> cellOf = CellOfCombination(design);
    std::vector<std::int32_t> counts = CountRows(cellOf, cells);
    KeepComplete(design, counts, cells);
    CheckGroups(design);
    for (std::int32_t count : counts)
        if (count > 1) ++design.averagedCells, design.averagedRows += count;
    design.rows = std::move(counts);
    FormMeans(design, cellOf);
    return design;
}

// The means: from the units at the design's common scale where every score
// fits, else each cell's from its rows' exact values.
void LongReader::FormMeans(DesignData& design, const std::vector<std::size_t>& cellOf) {
    design.exact = FormUnits(design, cellOf);
    if (design.exact) {
        // The rows are done with: their room goes to the scores.
        std::vector<Row>().swap(rows_);
        design.values = Affordable<Extended>(design.rows.size());
        for (std::size_t i = 0; i < design.values.size(); ++i)
            design.values[i] = design::MeanOfUnits(design.units[i], design.rows[i], design.scale);
        return;
    }
    design.scale = 0;
    design.units = {};
    design.values = Affordable<Extended>(design.rows.size());
    FormMeansOfTerms(design, cellOf);
    design.rows = {};
}

// Sums each analysed cell's scores in units of 10^-scale, the scale the least
// power of ten of the analysed scores; false when one does not fit.
bool LongReader::FormUnits(DesignData& design, const std::vector<std::size_t>& cellOf) const {
    std::vector<design::WideDecimal> longs(longScores_.size());
    long least = 0;
    for (const Row& row : rows_) {
        if (row.kind == Kind::Empty || newIndex_[static_cast<std::size_t>(row.subject)] < 0) continue;
        if (row.kind != Kind::Long) {
            if (row.digits != 0) least = std::min<long>(least, row.exponent);
            continue;
        }
        const auto wide = design::WideDecimalOf(longScores_[row.digits], options_.decimalSeparator);
        if (!wide) return false;
        longs[row.digits] = *wide;
        if (wide->mantissa != 0) least = std::min(least, wide->exponent);
    }
    if (least < -38) return false;
    design.scale = static_cast<int>(-least);
    design.units = Affordable<Int128>(design.rows.size());
    const std::size_t cells = design.Cells();
    for (const Row& row : rows_) {
        const std::int32_t s =
            row.kind == Kind::Empty ? -1 : newIndex_[static_cast<std::size_t>(row.subject)];
        if (s < 0) continue;
        Int128 mantissa = static_cast<Int128>(row.digits);
        long exponent = row.exponent;
        if (row.kind == Kind::Long)
            mantissa = longs[row.digits].mantissa, exponent = longs[row.digits].exponent;
        if (mantissa == 0) continue;
        if (row.kind == Kind::Negative) mantissa = -mantissa;
        const long shift = exponent + design.scale;  // 0 or more
        Int128 units = 0;
        if (shift > 38 ||
            __builtin_mul_overflow(
                mantissa, static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(shift)]), &units))
            return false;
        Int128& sum = design.units[static_cast<std::size_t>(s) * cells +
                                   cellOf[static_cast<std::size_t>(row.combination)]];
        if (__builtin_add_overflow(sum, units, &sum)) return false;
    }
    return true;
}

// Each analysed cell's mean from its rows' exact values: the rows gathered
// cell by cell (a counting sort on the counts), then each cell's mean exactly.
void LongReader::FormMeansOfTerms(DesignData& design, const std::vector<std::size_t>& cellOf) const {
    const std::size_t cells = design.Cells(), total = design.rows.size();
    auto start = Affordable<std::size_t>(total + 1);
    for (std::size_t i = 0; i < total; ++i)
        start[i + 1] = start[i] + static_cast<std::size_t>(design.rows[i]);
    auto order = Affordable<std::uint32_t>(start[total]);
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    const auto cellOfRow = [&](const Row& row) {
        return static_cast<std::size_t>(newIndex_[static_cast<std::size_t>(row.subject)]) * cells +
               cellOf[static_cast<std::size_t>(row.combination)];
    };
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const Row& row = rows_[r];
        if (row.kind == Kind::Empty || newIndex_[static_cast<std::size_t>(row.subject)] < 0) continue;
        order[next[cellOfRow(row)]++] = static_cast<std::uint32_t>(r);
    }
    std::vector<DecimalTerm> terms;
    for (std::size_t i = 0; i < total; ++i) {
        terms.clear();
        for (std::size_t k = start[i]; k < start[i + 1]; ++k) {
            const Row& row = rows_[order[k]];
            DecimalTerm term{row.digits, row.exponent, row.kind == Kind::Negative, {}};
            if (row.kind == Kind::Long) term = {0, 0, false, longScores_[row.digits]};
            terms.push_back(term);
        }
        design.values[i] = design::MeanOfTerms(terms, options_.decimalSeparator);
    }
}

void CheckRoles(const LongCsvRoles& roles) {
    if (roles.within.empty()) throw CsvError(messages::NoWithinFactor());
    if (roles.within.size() > kMostWithinFactors)
        throw CsvError(messages::TooManyWithinFactors(kMostWithinFactors));
    if (roles.between.size() > kMostBetweenFactors)
        throw CsvError(messages::TooManyBetweenFactors(kMostBetweenFactors));
    std::vector<const std::string*> names{&roles.id, &roles.dv};
    for (const std::string& name : roles.between) names.push_back(&name);
    for (const std::string& name : roles.within) names.push_back(&name);
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (*names[i] == *names[j]) throw CsvError(messages::ColumnInTwoRoles(*names[i]));
}

}  // namespace

DesignData ReadLongCsv(std::string_view text, const LongCsvRoles& roles, const LongCsvOptions& options) {
    CheckRoles(roles);
    try {
        CsvEncoding encoding = options.encoding;
        if (encoding != CsvEncoding::Cp932 && text.starts_with("\xEF\xBB\xBF")) {
            text.remove_prefix(3);
            encoding = CsvEncoding::Utf8;
        }
        if (encoding == CsvEncoding::Detect)
            encoding = csv::IsValidUtf8(text) ? CsvEncoding::Utf8 : CsvEncoding::Cp932;
        const char separator = options.separator != 0 ? options.separator : csv::DetectSeparator(text);
        LongReader reader(text, separator, encoding, roles, options);
        reader.ReadHeader();
        reader.ReadRows();
        return reader.Build();
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

}  // namespace morvane
