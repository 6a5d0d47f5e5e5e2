// The rows of a long CSV into records, on one thread or two (see the header).

#include "exchange/detail/LongCsvRows.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "exchange/ExchangeMessages.h"
#include "exchange/detail/LongCsvMessages.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "scores/QuickScore.h"
#include "scores/ScoreSyntax.h"

namespace morvane::csv {
namespace {

// The header's columns of the id and the score, and how many it has.
struct LongHeader {
    std::size_t width = 0, id = 0, dv = 0;
};

// What every reader of a stretch of the rows shares.
struct RowContext {
    const CsvText& csv;
    const FieldText& fields;
    LongHeader header;
    char decimal;
};

// Reads the records above the header and the header, and finds each role's
// column; the factors' columns go into `rows`.
LongHeader ReadHeader(Reader& reader, const FieldText& fields, const LongCsvRoles& roles,
                      const LongCsvOptions& options, LongRows& rows) {
    for (std::size_t skipped = 0; skipped < options.recordsBeforeHeader; ++skipped)
        if (!NextNonBlank(reader)) throw CsvError(messages::EmptyCsv());
    if (!NextNonBlank(reader)) throw CsvError(messages::EmptyCsv());
    LongHeader header;
    header.width = reader.Size();
    header.id = HeaderColumn(reader, fields, roles.id);
    header.dv = HeaderColumn(reader, fields, roles.dv);
    for (const std::string& name : roles.between)
        rows.between.push_back({name, HeaderColumn(reader, fields, name), {}, {}, {}});
    for (const std::string& name : roles.within)
        rows.within.push_back({name, HeaderColumn(reader, fields, name), {}, {}, {}});
    return header;
}

// The records of one stretch of the text into `rows`: its keys its own, its
// lines counted from the reader's.
class RowReader {
public:
    // `reader` reads `text`, the whole of the CSV's text or its second half.
    RowReader(LongRows& rows, Reader& reader, std::string_view text, const RowContext& context)
        : out_(rows),
          reader_(reader),
          text_(text),
          separator_(context.csv.separator),
          fields_(context.fields),
          header_(context.header),
          decimal_(context.decimal) {}

    // Reads records while the reader stands before byte `limit` (a record
    // that starts before it is read whole), or until `stop` is set.
    void ReadUntil(std::size_t limit, std::size_t rowsAhead, const std::atomic<bool>* stop = nullptr);

private:
    std::string Name(std::size_t column, bool level) const;
    std::int32_t Level(LongFactor& factor) {
        const std::int64_t level = factor.keys.Find(reader_.Field(factor.column));
        return level >= 0 ? static_cast<std::int32_t>(level) : NewLevel(factor);
    }
    std::int32_t NewLevel(LongFactor& factor);
    std::int32_t Subject();
    std::int32_t NewSubject(std::string_view key, std::string name);
    std::int32_t Combination();
    void Score(LongRow& row);
    std::string_view NextId() const;

    LongRows& out_;
    Reader& reader_;
    std::string_view text_;  // the reader's
    char separator_;
    const FieldText& fields_;
    const LongHeader& header_;
    char decimal_;
    std::vector<std::int32_t> dense_;  // each small combination's index + 1, 0 when not seen
};

// A score of the commonest form, an optional sign and at most 19 digits with
// at most one decimal separator among them, into the row as ReadQuickScore
// reads it but without forming its value; false for any other text.
bool ReadPlainScore(std::string_view text, char separator, LongRow& row) {
    const char* p = text.data();
    const char* const end = p + text.size();
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    if (end - p > 20) return false;
    std::uint64_t digits = 0;
    int count = 0, fraction = -1;  // the digits after the separator, -1 before it
    for (; p != end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit < 10) {
            digits = digits * 10 + digit;
            ++count;
            fraction += fraction >= 0;
        } else if (*p == separator && fraction < 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (count == 0 || count > 19) return false;
    int exponent = fraction > 0 ? -fraction : 0;
    if (digits == 0) exponent = 0;
    for (; digits != 0 && digits % 10 == 0; digits /= 10) ++exponent;
    row.digits = digits;
    row.exponent = static_cast<std::int8_t>(exponent);
    row.kind = negative ? ScoreKind::Negative : ScoreKind::Positive;
    return true;
}

// A field of the current row as a UTF-8 name: a level's or a subject's id.
std::string RowReader::Name(std::size_t column, bool level) const {
    const std::string_view field = reader_.Field(column);
    const std::int64_t line = reader_.FieldLine(column), at = static_cast<std::int64_t>(column) + 1;
    if (field.empty()) throw CsvError(level ? messages::EmptyLevel(line, at) : messages::EmptyId(line, at));
    if (HasLineEnd(field))
        throw CsvError(level ? messages::LineEndInName(line, at) : messages::LineEndInId(line, at));
    return fields_.Utf8Exact(field, line, at);
}

// A level key that Level did not find: another spelling of a known name, or a new level.
std::int32_t RowReader::NewLevel(LongFactor& factor) {
    const std::string_view key = reader_.Field(factor.column);
    if (factor.keys.Size() >= kMostCount)
        throw CsvError(messages::TooManyLevels(reader_.Line(), factor.name));
    std::string name = Name(factor.column, true);
    const auto known = factor.names.find(name);
    if (known != factor.names.end()) {
        factor.keys.Alias(key, static_cast<std::size_t>(known->second));
        return known->second;
    }
    const std::int64_t level = factor.keys.Add(key);
    factor.names.emplace(name, static_cast<std::int32_t>(level));
    factor.levels.push_back(std::move(name));
    return static_cast<std::int32_t>(level);
}

// The row's subject, its between levels checked against those of its first row.
std::int32_t RowReader::Subject() {
    const std::string_view key = reader_.Field(header_.id);
    std::int64_t s = out_.subjectKeys.Find(key);
    if (s < 0) {
        if (out_.subjectKeys.Size() >= kMostCount) throw CsvError(messages::TooManySubjects(reader_.Line()));
        std::string name = Name(header_.id, false);
        const auto known = out_.subjectNames.find(name);
        if (known == out_.subjectNames.end()) return NewSubject(key, std::move(name));
        out_.subjectKeys.Alias(key, static_cast<std::size_t>(known->second));
        s = known->second;
    }
    const auto index = static_cast<std::size_t>(s);
    const std::size_t factors = out_.between.size();
    for (std::size_t f = 0; f < factors; ++f) {
        const std::int32_t level = Level(out_.between[f]), first = out_.subjectLevels[index * factors + f];
        if (level == first) continue;
        const auto& levels = out_.between[f].levels;
        throw CsvError(messages::TwoBetweenLevels(
            out_.subjects[index], out_.between[f].name, levels[static_cast<std::size_t>(first)],
            out_.subjectLines[index], levels[static_cast<std::size_t>(level)], reader_.Line()));
    }
    return static_cast<std::int32_t>(s);
}

// A subject first seen in this row, whose between levels it gives.
std::int32_t RowReader::NewSubject(std::string_view key, std::string name) {
    MakeRoom(out_.subjects, 1);
    MakeRoom(out_.subjectLines, 1);
    MakeRoom(out_.subjectLevels, out_.between.size());
    out_.subjectNames.emplace(name, static_cast<std::int32_t>(out_.subjectKeys.Size()));
    out_.subjects.push_back(std::move(name));
    out_.subjectLines.push_back(reader_.Line());
    for (LongFactor& factor : out_.between) out_.subjectLevels.push_back(Level(factor));
    return static_cast<std::int32_t>(out_.subjectKeys.Add(key));
}

// The row's combination of within levels, numbered as they first appear.
// While every level is below 2^(16 / factors), the levels' bits side by side
// index a table of the combinations seen: no key is looked up.
std::int32_t RowReader::Combination() {
    UInt128 key = 0;
    const std::size_t factors = out_.within.size(), bits = factors == 0 ? 16 : 16 / factors;
    std::size_t dense = 0;
    bool small = true;
    for (std::size_t f = 0; f < factors; ++f) {
        const auto level = static_cast<std::uint32_t>(Level(out_.within[f]));
        key |= static_cast<UInt128>(level) << (32 * f);
        small = small && level >> bits == 0;
        dense = dense << bits | level;
    }
    if (small) {
        if (dense_.empty()) dense_.assign(std::size_t{1} << (bits * factors), 0);
        if (dense_[dense] != 0) return dense_[dense] - 1;
    }
    std::int64_t found = out_.combinations.Find(key);
    if (found < 0) {
        if (out_.combinations.Size() >= kMostCount) throw OutOfMemoryError();
        found = out_.combinations.Add(key);
    }
    if (small) dense_[dense] = static_cast<std::int32_t>(found) + 1;
    return static_cast<std::int32_t>(found);
}

// The score: empty or NA (no score), digits and a power of ten when the quick parse
// takes it, else kept as its text. Anything else is refused as the import
// refuses it.
void RowReader::Score(LongRow& row) {
    const std::string_view text = TrimSpaces(reader_.Field(header_.dv));
    if (text.empty() || text == kNotAvailable) {
        row.kind = ScoreKind::Empty;
        return;
    }
    if (ReadPlainScore(text, decimal_, row)) return;
    if (QuickScore quick; ReadQuickScore(text, decimal_, quick)) {
        row.digits = quick.digits;
        row.exponent = static_cast<std::int8_t>(quick.exponent);
        row.kind = quick.negative ? ScoreKind::Negative : ScoreKind::Positive;
        return;
    }
    const std::int64_t line = reader_.FieldLine(header_.dv),
                       column = static_cast<std::int64_t>(header_.dv) + 1;
    const bool asciiSeparator = static_cast<unsigned char>(decimal_) < 0x80;
    if (!IsScore(text, decimal_) || (!asciiSeparator && !IsAscii(text))) {
        if (IsAscii(text) || fields_.Encoding() == CsvEncoding::Cp932)
            throw CsvError(messages::NotAScore(line, column, text));
        if (!IsValidUtf8(text)) throw CsvError(messages::BadUtf8(line, column));
        throw CsvError(messages::NotAScore(line, column, Cp932FromUtf8(text)));
    }
    MakeRoom(out_.longScores, 1);
    row.digits = out_.longScores.size();
    row.exponent = 0;
    row.kind = ScoreKind::Long;
    out_.longScores.push_back(text);
}

// The id of the record after the current one, found without reading it: the
// field of the id column on the next line, or nothing where a quote or a line
// end comes first.
std::string_view RowReader::NextId() const {
    const char* p = text_.data() + reader_.Position();
    const char* const end = text_.data() + text_.size();
    const char separator = separator_;
    for (std::size_t column = 0; column < header_.id; ++p) {
        if (p == end || *p == '"' || *p == '\n' || *p == '\r') return {};
        column += *p == separator;
    }
    const char* const start = p;
    while (p != end && *p != separator && *p != '\n' && *p != '\r') ++p;
    return {start, static_cast<std::size_t>(p - start)};
}

// The rows of one subject mostly follow each other: a row whose id and
// between levels are the last row's is read without looking either up.
// Shuffled rows are read the plain way.
void RowReader::ReadUntil(std::size_t limit, std::size_t rowsAhead, const std::atomic<bool>* stop) {
    std::vector<std::optional<std::string_view>> pattern(header_.width);
    bool patterned = false;
    std::int32_t subject = -1;
    int least = 0;
    std::size_t inBlocks = 0;
    if (out_.rows.empty()) out_.rows.emplace_back();
    std::vector<LongRow>& rows = out_.rows.back();
    MakeRoom(rows, rowsAhead);
    if (rows.empty()) AdviseHugePages(rows.data(), rows.capacity() * sizeof(LongRow));
    for (std::size_t count = 0; reader_.Position() < limit; ++count) {
        if (stop != nullptr && count % 4096 == 0 && stop->load(std::memory_order_relaxed)) break;
        if (!patterned || !reader_.NextIf(pattern)) {
            if (!NextNonBlank(reader_)) break;
            if (reader_.Size() != header_.width)
                throw CsvError(messages::FieldCount(reader_.Line(), reader_.Size(), header_.width));
            // Two rows of a subject in a row: its rows run in a block, and
            // the next is tried against this one's id and between levels.
            const std::int32_t last = std::exchange(subject, Subject());
            patterned = subject == last;
            if (patterned) {
                pattern[header_.id] = reader_.Field(header_.id);
                for (const LongFactor& factor : out_.between)
                    pattern[factor.column] = reader_.Field(factor.column);
            }
        } else {
            ++inBlocks;
        }
        // Shuffled rows' subjects lie anywhere in their table: the next one's
        // is fetched while this row is done with.
        if (!patterned) out_.subjectKeys.Prefetch(NextId());
        LongRow row{0, subject, Combination(), 0, ScoreKind::Empty};
        Score(row);
        if (row.kind != ScoreKind::Long && row.digits != 0) least = std::min<int>(least, row.exponent);
        if (rows.size() == rows.capacity()) MakeRoom(rows, 1);
        if (rows.size() >= kMostCount) throw OutOfMemoryError();
        rows.push_back(row);
    }
    out_.leastExponent = std::min(out_.leastExponent, least);
    out_.rowsInBlocks += inBlocks;
}

// The records that can start in [from, to): a guess to reserve room for.
std::size_t RowsAhead(const CsvText& csv, std::size_t from, std::size_t to, std::size_t width) {
    const Reader ahead(csv.text.substr(from, to - from), csv.separator);
    return ahead.RecordsLeftOf(width);
}

// How the second half's indices become the first's: each key's index among
// all, the new ones after the first half's in their order of first appearance.
struct MergePlan {
    std::vector<std::vector<std::int32_t>> between, within;  // each factor's levels
    std::vector<std::int32_t> subjects, combinations;
};

// Each of the second half's names (in the order of its indices) as an index
// of the first's, the new ones numbered on from its size; false beyond the
// most there may be.
bool MapNames(const NameIndex& first, std::size_t firstSize, const std::vector<std::string>& second,
              std::vector<std::int32_t>& map) {
    map.resize(second.size());
    std::size_t next = firstSize;
    for (std::size_t i = 0; i < second.size(); ++i) {
        const auto known = first.find(second[i]);
        map[i] = known != first.end() ? known->second : static_cast<std::int32_t>(next++);
        if (next > kMostCount) return false;
    }
    return true;
}

// The plan of the merge, or nothing where the halves conflict: a subject of
// both whose between levels differ, or more keys or rows than there may be.
// Changes nothing.
std::optional<MergePlan> PlanMerge(const LongRows& first, const LongRows& second) {
    MergePlan plan;
    plan.between.resize(first.between.size());
    plan.within.resize(first.within.size());
    for (std::size_t f = 0; f < first.between.size(); ++f)
        if (!MapNames(first.between[f].names, first.between[f].levels.size(), second.between[f].levels,
                      plan.between[f]))
            return std::nullopt;
    for (std::size_t f = 0; f < first.within.size(); ++f)
        if (!MapNames(first.within[f].names, first.within[f].levels.size(), second.within[f].levels,
                      plan.within[f]))
            return std::nullopt;
    if (!MapNames(first.subjectNames, first.subjects.size(), second.subjects, plan.subjects))
        return std::nullopt;
    const std::size_t factors = first.between.size();
    for (std::size_t s = 0; s < second.subjects.size(); ++s) {
        const auto global = static_cast<std::size_t>(plan.subjects[s]);
        if (global >= first.subjects.size()) continue;
        for (std::size_t f = 0; f < factors; ++f) {
            const auto level = static_cast<std::size_t>(second.subjectLevels[s * factors + f]);
            if (plan.between[f][level] != first.subjectLevels[global * factors + f]) return std::nullopt;
        }
    }
    std::size_t next = first.combinations.Size();
    plan.combinations.resize(second.combinations.Size());
    for (std::size_t k = 0; k < second.combinations.Size(); ++k) {
        UInt128 key = 0;
        for (std::size_t f = 0; f < first.within.size(); ++f) {
            const auto level = static_cast<std::uint32_t>(second.combinations[k] >> (32 * f));
            key |= static_cast<UInt128>(static_cast<std::uint32_t>(plan.within[f][level])) << (32 * f);
        }
        const std::int64_t found = first.combinations.Look(key);
        plan.combinations[k] =
            found >= 0 ? static_cast<std::int32_t>(found) : static_cast<std::int32_t>(next++);
        if (next > kMostCount) return std::nullopt;
    }
    if (first.RowCount() + second.RowCount() > kMostCount) return std::nullopt;
    return plan;
}

// The second half's new levels after the first's.
void MergeFactor(LongFactor& first, LongFactor& second, const std::vector<std::int32_t>& map) {
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (static_cast<std::size_t>(map[i]) < first.levels.size()) continue;
        first.names.emplace(second.levels[i], map[i]);
        first.levels.push_back(std::move(second.levels[i]));
    }
}

// Follows the plan: the second half's new keys after the first's, and its
// rows, every index made the first's where they lie, a run after the first's. `lines` is the line
// the second half starts on, less one.
void Merge(LongRows& first, LongRows& second, const MergePlan& plan, std::int64_t lines) {
    for (std::size_t f = 0; f < first.between.size(); ++f)
        MergeFactor(first.between[f], second.between[f], plan.between[f]);
    for (std::size_t f = 0; f < first.within.size(); ++f)
        MergeFactor(first.within[f], second.within[f], plan.within[f]);
    const std::size_t factors = first.between.size();
    for (std::size_t s = 0; s < plan.subjects.size(); ++s) {
        if (static_cast<std::size_t>(plan.subjects[s]) < first.subjects.size()) continue;
        first.subjectNames.emplace(second.subjects[s], plan.subjects[s]);
        first.subjects.push_back(std::move(second.subjects[s]));
        first.subjectLines.push_back(second.subjectLines[s] + lines);
        for (std::size_t f = 0; f < factors; ++f)
            first.subjectLevels.push_back(
                plan.between[f][static_cast<std::size_t>(second.subjectLevels[s * factors + f])]);
    }
    for (std::size_t k = 0; k < plan.combinations.size(); ++k)
        if (static_cast<std::size_t>(plan.combinations[k]) == first.combinations.Size()) {
            UInt128 key = 0;
            for (std::size_t f = 0; f < first.within.size(); ++f) {
                const auto level = static_cast<std::uint32_t>(second.combinations[k] >> (32 * f));
                key |= static_cast<UInt128>(static_cast<std::uint32_t>(plan.within[f][level])) << (32 * f);
            }
            first.combinations.Add(key);
        }
    first.leastExponent = std::min(first.leastExponent, second.leastExponent);
    first.rowsInBlocks += second.rowsInBlocks;
    const auto longBase = static_cast<std::uint64_t>(first.longScores.size());
    first.longScores.insert(first.longScores.end(), second.longScores.begin(), second.longScores.end());
    for (std::vector<LongRow>& run : second.rows) {
        for (LongRow& row : run) {
            row.subject = plan.subjects[static_cast<std::size_t>(row.subject)];
            row.combination = plan.combinations[static_cast<std::size_t>(row.combination)];
            if (row.kind == ScoreKind::Long) row.digits += longBase;
        }
        first.rows.push_back(std::move(run));
    }
}

// The first line start at or after `at`, from the body's start: where the
// second thread begins, or the text's end when no line starts there.
std::size_t LineStartFrom(std::string_view text, std::size_t body, std::size_t at) {
    std::size_t p = std::max(body, at);
    if (p > body && p <= text.size() && text[p - 1] == '\n') return p;
    if (p >= text.size()) return text.size();
    const std::size_t end = text.find('\n', p);
    return end == std::string_view::npos ? text.size() : end + 1;
}

// The rows from `split` on, read into `second` on a thread of its own while
// the first half is read; true when both are read and merged, false when the
// first half must read on (the second's work is then left aside).
bool ReadHalves(const RowContext& context, Reader& reader, LongRows& first, std::size_t split) {
    const CsvText& csv = context.csv;
    LongRows second;
    for (const LongFactor& factor : first.between)
        second.between.push_back({factor.name, factor.column, {}, {}, {}});
    for (const LongFactor& factor : first.within)
        second.within.push_back({factor.name, factor.column, {}, {}, {}});
    std::atomic<bool> stop = false;
    bool secondRead = false;
    const std::string_view rest = csv.text.substr(split);
    std::optional<std::thread> thread;
    try {
        thread.emplace([&] {
            try {
                Reader restReader(rest, csv.separator);
                RowReader(second, restReader, rest, context)
                    .ReadUntil(rest.size(), RowsAhead(csv, split, csv.text.size(), context.header.width),
                               &stop);
                secondRead = !stop.load();
            } catch (...) {
                // Refused or out of memory: the first half reads on and finds what a single reading finds.
            }
        });
    } catch (const std::system_error&) {
        return false;  // no thread to be had
    }
    try {
        RowReader(first, reader, csv.text, context)
            .ReadUntil(split, RowsAhead(csv, reader.Position(), split, context.header.width));
    } catch (...) {
        stop = true;
        thread->join();
        throw;
    }
    thread->join();
    if (!secondRead || reader.Position() != split) return false;
    const std::optional<MergePlan> plan = PlanMerge(first, second);
    if (!plan) return false;
    Merge(first, second, *plan, reader.NextLine() - 1);
    return true;
}

}  // namespace

LongRows ReadLongRows(const CsvText& csv, const LongCsvRoles& roles, const LongCsvOptions& options,
                      std::optional<std::size_t> splitAt) {
    const FieldText fields(csv.encoding);
    LongRows rows;
    Reader reader(csv.text, csv.separator);
    const RowContext context{csv, fields, ReadHeader(reader, fields, roles, options, rows),
                             options.decimalSeparator};
    const std::size_t size = csv.text.size(),
                      split = splitAt ? LineStartFrom(csv.text, reader.Position(), *splitAt) : size;
    bool read = false;
    if (split < size) {
        try {
            read = ReadHalves(context, reader, rows, split);
        } catch (const OutOfMemoryError&) {
            // Perhaps for the two halves at once: read again on one thread.
            return ReadLongRows(csv, roles, options, std::nullopt);
        } catch (const std::bad_alloc&) {
            return ReadLongRows(csv, roles, options, std::nullopt);
        }
    }
    if (!read)
        RowReader(rows, reader, csv.text, context)
            .ReadUntil(size, RowsAhead(csv, reader.Position(), size, context.header.width));
    if (rows.RowCount() == 0) throw CsvError(messages::NoScoreRows());
    return rows;
}

std::size_t LongRows::RowCount() const {
    std::size_t count = 0;
    for (const std::vector<LongRow>& run : rows) count += run.size();
    return count;
}

std::optional<std::size_t> ChosenSplit(std::string_view text) {
    constexpr std::size_t kLeast = std::size_t{1} << 20;
    if (text.size() < kLeast || std::thread::hardware_concurrency() < 2) return std::nullopt;
    return text.size() / 2;
}

}  // namespace morvane::csv
