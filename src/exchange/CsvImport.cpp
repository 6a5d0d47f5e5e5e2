// A study read from CSV.

#include <algorithm>
#include <limits>
#include <new>
#include <tuple>

#include "exchange/Csv.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/StudyCsv.h"
#include "exchange/detail/CsvText.h"
#include "exchange/detail/KeyIndex.h"
#include "runtime/Cp932.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"
#include "scores/ScoreSyntax.h"

namespace morvane {
namespace {

constexpr std::size_t kMostCount = std::numeric_limits<std::int32_t>::max();

using csv::FieldText;
using csv::IsAscii;
using csv::NextNonBlank;
using csv::TrimSpaces;

// The distinct texts of a column in the order of their first appearance, with
// the line where each first appeared.
class Distinct {
public:
    // The index (from 0) of `key`, or -1 when it has not appeared.
    std::int64_t Find(std::string_view key) { return keys_.Find(key); }

    std::int64_t Add(std::string_view key, std::int64_t line) {
        if (keys_.Size() >= kMostCount) throw CsvError(messages::TooManySubjects(line));
        lines_.push_back(line);
        return keys_.Add(key);
    }

    std::size_t Size() const { return keys_.Size(); }
    std::string_view Key(std::size_t i) const { return keys_[i]; }
    std::int64_t FirstLine(std::size_t i) const { return lines_[i]; }

private:
    csv::KeyIndex<std::string_view> keys_;
    std::vector<std::int64_t> lines_;
};

class StudyReader {
public:
    StudyReader(const csv::CsvText& csv, const CsvImportOptions& options)
        : text_(csv.text),
          separator_(csv.separator),
          reader_(csv.text, csv.separator),
          fields_(csv.encoding),
          options_(options) {}

    void ReadLong(StudyStore& store);
    void ReadWide(StudyStore& store);
    // The header alone, as ReadLong and ReadWide judge it; nothing when there is none.
    void CheckHeader();

private:
    // A row of a long CSV, kept small: there may be millions. A score that
    // passed is a view into the text (a quoted one with doubled quotes has a
    // quote in it), so its line can be found again when a message needs it.
    struct Row {
        const char* score;
        std::uint32_t length;
        std::int32_t s, a, b;
    };

    struct LongColumns {
        std::size_t width, subject, a, b, score;
    };

    LongColumns ReadHeader();
    bool ReadInOrder(StudyStore& store);
    void ReadAnyOrder(StudyStore& store);
    std::size_t Column(const std::string& name) const;
    std::string_view Score(std::size_t i);
    std::string LevelName(std::size_t i);
    void FillLong(StudyStore& store, const std::vector<Row>& rows, const Distinct& subjects);
    [[noreturn]] void RefuseLong(std::vector<Row> rows, const Distinct& subjects);

    std::int64_t LineOf(const Row& row) const;

    std::string_view text_;
    char separator_;
    csv::Reader reader_;
    FieldText fields_;
    const CsvImportOptions& options_;
    std::vector<std::string> namesA_, namesB_;
};

// The header's column of that name.
std::size_t StudyReader::Column(const std::string& name) const {
    return csv::HeaderColumn(reader_, fields_, name);
}

bool IsDecimalSeparator(char c) {
    return c == '.' || c == ',';
}

// A score as export writes it: an optional sign, then digits with at most one
// decimal separator among them, and short. Such a text is a score whatever its
// digits are, as the score syntax would find, only sooner.
bool IsPlainScore(std::string_view text, char separator) {
    if (text.empty() || text.size() > 64 || (separator != '.' && separator != ',')) return false;
    const auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    const std::size_t integer = i;
    while (i < text.size() && digit(i)) ++i;
    bool digits = i > integer;
    if (i < text.size() && text[i] == separator) {
        const std::size_t fraction = ++i;
        while (i < text.size() && digit(i)) ++i;
        digits = digits || i > fraction;
    }
    return digits && i == text.size();
}

// A score is ASCII: any other byte is refused, for its encoding or else for the syntax.
std::string_view StudyReader::Score(std::size_t i) {
    if (IsPlainScore(reader_.Field(i), options_.decimalSeparator)) return reader_.Field(i);
    const std::int64_t line = reader_.FieldLine(i), column = static_cast<std::int64_t>(i) + 1;
    const std::string_view text = TrimSpaces(reader_.Field(i));
    const bool asciiSeparator = static_cast<unsigned char>(options_.decimalSeparator) < 0x80;
    if (!IsScore(text, options_.decimalSeparator) || (!asciiSeparator && !IsAscii(text))) {
        if (IsAscii(text)) throw CsvError(messages::NotAScore(line, column, text));
        throw CsvError(messages::NotAScore(line, column, fields_.Cp932Exact(text, line, column)));
    }
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw OutOfMemoryError();
    return text;
}

std::string StudyReader::LevelName(std::size_t i) {
    const std::int64_t line = reader_.FieldLine(i), column = static_cast<std::int64_t>(i) + 1;
    if (csv::HasLineEnd(reader_.Field(i))) throw CsvError(messages::LineEndInName(line, column));
    return fields_.Cp932Exact(reader_.Field(i), line, column);
}

// The line of the row's score, counting the line ends before it as the reader does.
std::int64_t StudyReader::LineOf(const Row& row) const {
    std::int64_t line = 1;
    const auto end = static_cast<std::size_t>(row.score - text_.data());
    for (std::size_t i = 0; i < end; ++i)
        if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 >= text_.size() || text_[i + 1] != '\n'))) ++line;
    return line;
}

void SetDesign(StudyStore& store, std::size_t n, const std::vector<std::string>& namesA,
               const std::vector<std::string>& namesB) {
    store.SubjectCount = static_cast<std::int32_t>(n);
    store.LevelCountA = static_cast<std::int32_t>(namesA.size());
    store.LevelCountB = static_cast<std::int32_t>(namesB.size());
    SizeNames(store.LevelNamesA, std::int64_t{store.LevelCountA} + 1);
    SizeNames(store.LevelNamesB, std::int64_t{store.LevelCountB} + 1);
    std::copy(namesA.begin(), namesA.end(), store.LevelNamesA.begin() + 1);
    std::copy(namesB.begin(), namesB.end(), store.LevelNamesB.begin() + 1);
    SizeCellText(store);
}

// Score texts as CSV rows give them, subject by subject with the cells in A,
// then B order, put into the store, which holds them in the data file's order
// (A, then B, then the subject). With few cells, each cell's texts are kept in
// a run of their own as they come and handed to the store run after run: both
// sides go through memory in order, where taking the texts in the store's
// order from the rows would jump a whole subject's rows for each one. With
// many cells a run each would cost more than the texts of a few subjects
// (a million cells of one subject, say), so the texts are kept end to end as
// they come and the store gathers each cell's from the rows. Either way the
// memory follows the scores, and grows within the memory budget.
class SubjectScores {
public:
    explicit SubjectScores(std::size_t cells) : cells_(cells) {
        if (cells <= kMostRuns) runs_.resize(cells);
    }

    // Room for about `subjects` subjects: a guess that the bytes left bound.
    void Reserve(std::size_t subjects) {
        std::size_t scores = 0;
        if (__builtin_mul_overflow(subjects, cells_, &scores)) throw OutOfMemoryError();
        EnsureAffordable(scores, sizeof(std::uint32_t));
        if (runs_.empty()) return MakeRoom(flat_.lengths, scores);
        for (Run& run : runs_) MakeRoom(run.lengths, subjects);
    }

    // The score of the next cell (shorter than 4 GiB: Score sees to it).
    void Add(std::string_view score) {
        Run& run = runs_.empty() ? flat_ : runs_[next_];
        MakeRoom(run.bytes, score.size());
        run.bytes.append(score);
        if (run.lengths.size() == run.lengths.capacity()) MakeRoom(run.lengths, 1);
        run.lengths.push_back(static_cast<std::uint32_t>(score.size()));
        if (++next_ == cells_) next_ = 0;
    }

    void Put(StudyStore& store) const {
        CellTextArray::Filler texts(store.CellText);
        if (runs_.empty()) return Gather(texts);
        std::size_t total = 0;
        for (const Run& run : runs_) total += run.bytes.size();
        texts.Reserve(total);
        for (const Run& run : runs_) texts.AppendTexts(run.bytes, run.lengths);
    }

private:
    static constexpr std::size_t kMostRuns = 4096;

    struct Run {
        std::string bytes;                   // texts end to end
        std::vector<std::uint32_t> lengths;  // and their lengths
    };

    // The texts of flat_ cell by cell, each subject's read on from where its
    // last one ended; the subjects a few ahead fetched meanwhile, since each
    // lies a row away from the last.
    void Gather(CellTextArray::Filler& texts) const {
        const std::vector<std::uint32_t>& lengths = flat_.lengths;
        const std::size_t subjects = cells_ == 0 ? 0 : lengths.size() / cells_;
        std::vector<std::size_t> next;  // where each subject's next text starts
        MakeRoom(next, subjects);
        std::size_t at = 0;
        for (std::size_t s = 0; s < subjects; ++s) {
            next.push_back(at);
            for (std::size_t j = 0; j < cells_; ++j) at += lengths[s * cells_ + j];
        }
        texts.Reserve(flat_.bytes.size());
        constexpr std::size_t kAhead = 16;
        const char* const bytes = flat_.bytes.data();
        for (std::size_t j = 0; j < cells_; ++j)
            for (std::size_t s = 0; s < subjects; ++s) {
                if (s + kAhead < subjects) {
                    __builtin_prefetch(bytes + next[s + kAhead]);
                    __builtin_prefetch(&lengths[(s + kAhead) * cells_ + j]);
                }
                const std::uint32_t size = lengths[s * cells_ + j];
                texts.AppendText(std::string_view(bytes + next[s], size));
                texts.EndText();
                next[s] += size;
            }
    }

    std::size_t cells_;
    std::vector<Run> runs_;  // one per cell, A outermost, when there are few
    Run flat_;               // otherwise every text, in the order of the rows
    std::size_t next_ = 0;   // the cell of the next score
};

void StudyReader::ReadLong(StudyStore& store) {
    if (ReadInOrder(store)) return;
    reader_ = csv::Reader(text_, separator_);
    namesA_.clear();
    namesB_.clear();
    ReadAnyOrder(store);
}

StudyReader::LongColumns StudyReader::ReadHeader() {
    for (std::size_t skipped = 0; skipped < options_.recordsBeforeHeader; ++skipped)
        if (!NextNonBlank(reader_)) throw CsvError(messages::EmptyCsv());
    if (!NextNonBlank(reader_)) throw CsvError(messages::EmptyCsv());
    return {reader_.Size(), Column(options_.subjectColumn), Column(options_.aColumn),
            Column(options_.bColumn), Column(options_.scoreColumn)};
}

// The rows in the order export writes them: subject by subject, every subject
// with the cells of the first in the same order, A outermost. They go straight
// into the store. Any other order gives false, to be read again by
// ReadAnyOrder; a fault that ReadAnyOrder would find at the same row is
// refused here just as it would be.
bool StudyReader::ReadInOrder(StudyStore& store) {
    const LongColumns column = ReadHeader();
    Distinct subjects, levelsA, levelsB;
    struct Cell {
        std::int64_t a, b;
        std::string_view score;
    };
    std::vector<Cell> first;  // the first subject's
    const auto checkWidth = [&] {
        if (reader_.Size() != column.width)
            throw CsvError(messages::FieldCount(reader_.Line(), reader_.Size(), column.width));
    };
    bool more = NextNonBlank(reader_);
    if (!more) return false;
    checkWidth();
    const std::string_view firstSubject = reader_.Field(column.subject);
    for (; more; more = NextNonBlank(reader_)) {
        checkWidth();
        if (!csv::SameKey(reader_.Field(column.subject), firstSubject)) break;
        const std::string_view score = Score(column.score);
        std::int64_t a = levelsA.Find(reader_.Field(column.a));
        if (a < 0) {
            namesA_.push_back(LevelName(column.a));
            a = levelsA.Add(reader_.Field(column.a), reader_.Line());
        }
        std::int64_t b = levelsB.Find(reader_.Field(column.b));
        if (b < 0) {
            namesB_.push_back(LevelName(column.b));
            b = levelsB.Add(reader_.Field(column.b), reader_.Line());
        }
        first.push_back({a, b, score});
    }
    const std::size_t na = levelsA.Size(), nb = levelsB.Size(), cells = na * nb;
    if (first.size() != cells) return false;
    for (std::size_t j = 0; j < cells; ++j)
        if (first[j].a != static_cast<std::int64_t>(j / nb) ||
            first[j].b != static_cast<std::int64_t>(j % nb))
            return false;

    // As many subjects as the records left allow; a guess that proves wrong
    // (blank or quoted line ends, lines ended by CR alone) sends the text to
    // ReadAnyOrder.
    const std::size_t records = more ? 1 + reader_.RecordsLeftAtMost() : 0;
    if (records % cells != 0 || records / cells >= kMostCount) return false;
    // Fewer records fit the bytes left than there are lines: blank lines lie
    // among them, and the study is not sized for them.
    if (more && 1 + reader_.RecordsLeftOf(column.width) < records) return false;
    const std::size_t n = 1 + records / cells;
    SetDesign(store, n, namesA_, namesB_);
    SubjectScores scores(cells);
    scores.Reserve(n);
    for (std::size_t j = 0; j < cells; ++j) scores.Add(first[j].score);
    subjects.Add(firstSubject, 1);

    std::int32_t s = 1;
    std::size_t j = cells;  // the cell of the row within its subject
    std::string_view subject = firstSubject;
    // The rows after a subject's first go the plain way while they come as
    // export writes them, each row's subject, A and B known before it is read.
    std::vector<std::optional<std::string_view>> expected(column.width);
    const bool plainRows = column.subject != column.a && column.subject != column.b && column.a != column.b;
    const auto nextRow = [&] {
        if (!plainRows || j == cells) return NextNonBlank(reader_);
        expected[column.subject] = subject;
        for (std::size_t a = j / nb, b = j % nb; j != cells; ++j) {
            expected[column.a] = levelsA.Key(a);
            expected[column.b] = levelsB.Key(b);
            if (!reader_.NextIf(expected)) break;
            scores.Add(Score(column.score));
            if (++b == nb) b = 0, ++a;
        }
        return NextNonBlank(reader_);
    };
    for (; more; more = nextRow()) {
        checkWidth();
        if (j == cells) {
            subject = reader_.Field(column.subject);
            if (subjects.Find(subject) >= 0 || static_cast<std::size_t>(s) == n) return false;
            subjects.Add(subject, reader_.Line());
            ++s;
            j = 0;
        } else if (!csv::SameKey(reader_.Field(column.subject), subject)) {
            return false;
        }
        const std::size_t a = j / nb, b = j % nb;
        if (!csv::SameKey(reader_.Field(column.a), levelsA.Key(a)) ||
            !csv::SameKey(reader_.Field(column.b), levelsB.Key(b)))
            return false;
        scores.Add(Score(column.score));
        ++j;
    }
    if (static_cast<std::size_t>(s) != n || j != cells) return false;
    scores.Put(store);
    return true;
}

// Rows in any order: kept until every row is read, then put in their cells.
void StudyReader::ReadAnyOrder(StudyStore& store) {
    const LongColumns column = ReadHeader();
    const std::size_t width = column.width, subjectColumn = column.subject, aColumn = column.a,
                      bColumn = column.b, scoreColumn = column.score;

    Distinct subjects, levelsA, levelsB;
    std::vector<Row> rows;
    MakeRoom(rows, reader_.RecordsLeftOf(width));
    while (NextNonBlank(reader_)) {
        const std::int64_t line = reader_.Line();
        if (reader_.Size() != width) throw CsvError(messages::FieldCount(line, reader_.Size(), width));
        const std::string_view score = Score(scoreColumn);
        std::int64_t s = subjects.Find(reader_.Field(subjectColumn));
        if (s < 0) s = subjects.Add(reader_.Field(subjectColumn), line);
        std::int64_t a = levelsA.Find(reader_.Field(aColumn));
        if (a < 0) {
            namesA_.push_back(LevelName(aColumn));
            a = levelsA.Add(reader_.Field(aColumn), line);
        }
        std::int64_t b = levelsB.Find(reader_.Field(bColumn));
        if (b < 0) {
            namesB_.push_back(LevelName(bColumn));
            b = levelsB.Add(reader_.Field(bColumn), line);
        }
        if (rows.size() == rows.capacity()) MakeRoom(rows, 1);
        rows.push_back({score.data(), static_cast<std::uint32_t>(score.size()),
                        static_cast<std::int32_t>(s + 1), static_cast<std::int32_t>(a + 1),
                        static_cast<std::int32_t>(b + 1)});
    }
    if (rows.empty()) throw CsvError(messages::NoScoreRows());

    // Every subject with every cell once needs exactly N·na·nb rows.
    const auto rowCount = static_cast<std::int64_t>(rows.size());
    const auto cellsPerSubject = static_cast<std::int64_t>(namesA_.size() * namesB_.size());
    if (rowCount % cellsPerSubject != 0 ||
        rowCount / cellsPerSubject != static_cast<std::int64_t>(subjects.Size()))
        RefuseLong(std::move(rows), subjects);
    SetDesign(store, subjects.Size(), namesA_, namesB_);
    FillLong(store, rows, subjects);
}

// As many rows as cells: each cell is filled once unless a row repeats one.
void StudyReader::FillLong(StudyStore& store, const std::vector<Row>& rows, const Distinct& subjects) {
    for (const Row& row : rows) {
        CellTextRef cell = store.CellText(row.s, row.a, row.b);
        if (cell.empty()) {
            cell = std::string_view(row.score, row.length);  // never empty: a score is not
            continue;
        }
        const auto first = std::find_if(rows.begin(), rows.end(), [&](const Row& other) {
            return other.s == row.s && other.a == row.a && other.b == row.b;
        });
        throw CsvError(messages::DuplicateScore(
            LineOf(row), fields_.Shown(subjects.Key(static_cast<std::size_t>(row.s - 1))),
            namesA_[static_cast<std::size_t>(row.a - 1)], namesB_[static_cast<std::size_t>(row.b - 1)],
            LineOf(*first)));
    }
}

// Rows and cells differ in number, so a row repeats a cell or a cell has no row:
// the first repeat in the order of the file, otherwise the first cell missing.
void StudyReader::RefuseLong(std::vector<Row> rows, const Distinct& subjects) {
    std::sort(rows.begin(), rows.end(), [](const Row& x, const Row& y) {
        return std::tie(x.s, x.a, x.b, x.score) < std::tie(y.s, y.a, y.b, y.score);  // then the text's order
    });
    const Row* repeat = nullptr;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row &x = rows[i - 1], &y = rows[i];
        if (x.s == y.s && x.a == y.a && x.b == y.b && (repeat == nullptr || y.score < repeat->score))
            repeat = &y;
    }
    const auto shown = [&](std::int32_t s) {
        return fields_.Shown(subjects.Key(static_cast<std::size_t>(s - 1)));
    };
    if (repeat != nullptr) {
        const auto first = std::find_if(rows.begin(), rows.end(), [&](const Row& row) {
            return row.s == repeat->s && row.a == repeat->a && row.b == repeat->b;
        });
        throw CsvError(messages::DuplicateScore(
            LineOf(*repeat), shown(repeat->s), namesA_[static_cast<std::size_t>(repeat->a - 1)],
            namesB_[static_cast<std::size_t>(repeat->b - 1)], LineOf(*first)));
    }
    // No repeats, so fewer rows than cells: the first gap in (s, a, b) order.
    const auto na = static_cast<std::int32_t>(namesA_.size()), nb = static_cast<std::int32_t>(namesB_.size());
    std::int32_t s = 1, a = 1, b = 1;
    for (const Row& row : rows) {
        if (row.s != s || row.a != a || row.b != b) break;
        if (++b > nb) b = 1, ++a;
        if (a > na) a = 1, ++s;
    }
    throw CsvError(messages::MissingScore(shown(s), namesA_[static_cast<std::size_t>(a - 1)],
                                          namesB_[static_cast<std::size_t>(b - 1)]));
}

std::vector<std::string> DesignNames(const std::vector<std::string>& utf8, char factor) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto level = static_cast<std::int64_t>(i) + 1;
        if (csv::HasLineEnd(utf8[i])) throw CsvError(messages::LevelNameLineEnd(factor, level));
        auto name = Cp932FromUtf8Exact(utf8[i]);
        if (!name) throw CsvError(messages::LevelNameNotCp932(factor, level, Cp932FromUtf8(utf8[i])));
        names.push_back(std::move(*name));
    }
    return names;
}

void StudyReader::ReadWide(StudyStore& store) {
    namesA_ = DesignNames(options_.levelsA, 'A');
    namesB_ = DesignNames(options_.levelsB, 'B');
    if (namesA_.empty() || namesB_.empty()) throw StudyError(messages::TooFewLevels());
    const std::size_t cells = namesA_.size() * namesB_.size(), width = cells + 1;
    if (options_.header) {
        if (!NextNonBlank(reader_)) throw CsvError(messages::EmptyCsv());
        if (reader_.Size() != width)
            throw CsvError(messages::FieldCount(reader_.Line(), reader_.Size(), width));
    }
    Distinct subjects;
    SubjectScores scores(cells);
    scores.Reserve(reader_.RecordsLeftOf(width));
    while (NextNonBlank(reader_)) {
        const std::int64_t line = reader_.Line();
        if (reader_.Size() != width) throw CsvError(messages::FieldCount(line, reader_.Size(), width));
        const std::int64_t known = subjects.Find(reader_.Field(0));
        if (known >= 0)
            throw CsvError(messages::DuplicateSubject(line, fields_.Shown(reader_.Field(0)),
                                                      subjects.FirstLine(static_cast<std::size_t>(known))));
        subjects.Add(reader_.Field(0), line);
        for (std::size_t i = 1; i < width; ++i) scores.Add(Score(i));
    }
    SetDesign(store, subjects.Size(), namesA_, namesB_);
    scores.Put(store);
}

void StudyReader::CheckHeader() {
    if (options_.layout == CsvLayout::Long) {
        ReadHeader();  // a head is never blank
        return;
    }
    const std::size_t width =
        DesignNames(options_.levelsA, 'A').size() * DesignNames(options_.levelsB, 'B').size() + 1;
    if (options_.header && NextNonBlank(reader_) && reader_.Size() != width)
        throw CsvError(messages::FieldCount(reader_.Line(), reader_.Size(), width));
}

}  // namespace

void CheckCsvHead(std::string_view head, const CsvImportOptions& options) {
    if (options.layout == CsvLayout::Wide && !options.header) return;
    // A line end inside quotes: the header goes on past this line.
    if (std::count(head.begin(), head.end(), '"') % 2 != 0) return;
    try {
        const csv::CsvText csv = csv::DecodeCsvHead(head, options.encoding, options.separator);
        const auto check = [&](CsvEncoding as) {
            StudyReader({csv.text, as, csv.separator}, options).CheckHeader();
        };
        if (csv.encoding != CsvEncoding::Detect || IsAscii(csv.text))
            return check(csv.encoding == CsvEncoding::Detect ? CsvEncoding::Utf8 : csv.encoding);
        // Left to detect, the rest may decide the encoding: refused only when it is refused either way.
        try {
            check(CsvEncoding::Cp932);
        } catch (const CsvError&) {
            check(CsvEncoding::Utf8);
        }
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

void ReadStudyCsv(std::string_view text, const CsvImportOptions& options, StudyStore& store) {
    try {
        StudyReader study(csv::DecodeCsv(text, options.encoding, options.separator), options);
        if (options.layout == CsvLayout::Long)
            study.ReadLong(store);
        else
            study.ReadWide(store);
        const char stored = options.storedDecimalSeparator;
        if (stored != 0 && stored != options.decimalSeparator && IsDecimalSeparator(stored) &&
            IsDecimalSeparator(options.decimalSeparator))
            store.CellText.ReplaceByte(options.decimalSeparator, stored);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

}  // namespace morvane
