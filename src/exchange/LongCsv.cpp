// A long CSV read into a design in two passes. The first reads the rows into
// compact records while the levels and subjects are found in the order they
// appear (detail/LongCsvRows, on two threads for a long text); the second,
// once every level is known, puts the records into their cells, removes the
// subjects with a missing cell and forms the exact means.

#include "exchange/LongCsv.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "design/DecimalMeans.h"
#include "design/Design.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/detail/CsvText.h"
#include "exchange/detail/LongCsvMessages.h"
#include "exchange/detail/LongCsvRows.h"
#include "runtime/MemoryBudget.h"
#include "runtime/PowersOfTen.h"

namespace morvane {
namespace {

using csv::kMostCount;
using csv::LongRow;
using csv::LongRows;
using csv::ScoreKind;
using design::DecimalTerm;

// A vector of `count` items, refused beyond the memory budget; a large one
// on huge pages where the system gives them.
template <typename T>
std::vector<T> Affordable(std::size_t count, const T& value = T{}) {
    EnsureAffordable(count, sizeof(T));
    std::vector<T> items;
    items.reserve(count);
    AdviseHugePages(items.data(), count * sizeof(T));
    items.resize(count, value);
    return items;
}

std::size_t CheckedProduct(std::size_t x, std::size_t y) {
    std::size_t product = 0;
    if (__builtin_mul_overflow(x, y, &product)) throw OutOfMemoryError();
    return product;
}

// Runs work(part, from, to) over [0, n): in two halves at once (parts 0 and
// 1), the first on a thread of its own, when `two` (and a thread can be had);
// else whole here as part 0. The work must not throw.
template <typename Work>
void InHalves(std::size_t n, bool two, const Work& work) {
    if (two) {
        try {
            std::thread first([&] { work(0, 0, n / 2); });
            work(1, n / 2, n);
            first.join();
            return;
        } catch (const std::system_error&) {
            // No thread to be had.
        }
    }
    work(0, 0, n);
}

// The rows counted and summed in one pass, where every score is of the
// common form (digits and a power of ten): each cell's rows, their sum in
// units of 10^-scale at the scale of the least power of ten over all rows,
// and each subject's least power of ten, so that the sums can be brought to
// the analysed subjects' scale once they are known.
struct Tally {
    std::vector<std::int32_t> counts;
    std::vector<Int128> units;
    std::vector<std::int8_t> least;  // each subject's, 0 or below
    int scale = 0;
    bool fits[2] = {true, true};  // whether every sum of each half of the subjects fits
};

// The design of the rows read: their cells, the subjects kept, the means.
class DesignBuilder {
public:
    DesignBuilder(LongRows& rows, char decimalSeparator)
        : in_(rows),
          decimal_(decimalSeparator),
          twoThreads_(rows.rows.size() > 1),
          shuffled_(2 * rows.rowsInBlocks < rows.RowCount()) {}

    DesignData Build();

private:
    std::vector<std::size_t> CellOfCombination(const DesignData& design) const;
    std::vector<std::int32_t> CountRows(const std::vector<std::size_t>& cellOf, std::size_t cells) const;
    Tally TallyRows(const std::vector<std::size_t>& cellOf, std::size_t cells) const;
    bool TakeTally(DesignData& design, Tally& tally) const;
    void KeepComplete(DesignData& design, std::vector<std::int32_t>& counts, std::size_t cells);
    std::size_t GroupOf(const DesignData& design, std::size_t subject) const;
    void CheckGroups(const DesignData& design) const;
    void FormMeans(DesignData& design, const std::vector<std::size_t>& cellOf, std::optional<Tally>& tally);
    bool FormUnits(DesignData& design, const std::vector<std::size_t>& cellOf) const;
    bool SumUnits(DesignData& design, const std::vector<std::size_t>& cellOf,
                  const std::vector<design::WideDecimal>& longs, std::size_t from, std::size_t to) const;
    void FormMeansOfTerms(DesignData& design, const std::vector<std::size_t>& cellOf) const;
    bool FormWideUnits(DesignData& design, const std::vector<std::size_t>& cellOf) const;

    // Calls visit(row) for every row in the order of the text; of shuffled
    // rows, whose cells lie anywhere in arrays far beyond the caches, the
    // place place(row) of the row a few ahead (where not null) fetched
    // meanwhile.
    template <typename Place, typename Visit>
    void VisitAhead(const Place& place, const Visit& visit) const {
        constexpr std::size_t kAhead = 12;
        for (const std::vector<LongRow>& run : in_.rows)
            for (std::size_t i = 0; i < run.size(); ++i) {
                if (shuffled_ && i + kAhead < run.size())
                    if (const void* ahead = place(run[i + kAhead])) __builtin_prefetch(ahead, 1);
                visit(run[i]);
            }
    }

    // 1 for a row without a score of a subject from `from` to `to`.
    static std::int64_t Unscored(const LongRow& row, std::size_t from, std::size_t to) {
        const auto s = static_cast<std::size_t>(row.subject);
        return row.kind == ScoreKind::Empty && s >= from && s < to ? 1 : 0;
    }

    LongRows& in_;
    char decimal_;
    mutable std::int64_t unscored_[2] = {0, 0};  // the rows without a score of each half of the subjects
    bool twoThreads_;  // whether the passes over the rows and cells take two threads, as the reading did
    bool shuffled_;    // whether most rows came after another subject's
    std::vector<std::int32_t> newIndex_;  // each subject's among the analysed, -1 when removed
};

// Each combination's within cell: its levels' index, the last factor fastest.
std::vector<std::size_t> DesignBuilder::CellOfCombination(const DesignData& design) const {
    std::vector<std::size_t> cellOf(in_.combinations.Size());
    for (std::size_t k = 0; k < cellOf.size(); ++k) {
        std::size_t cell = 0;
        for (std::size_t f = 0; f < in_.within.size(); ++f) {
            const auto level = static_cast<std::uint32_t>(in_.combinations[k] >> (32 * f));
            cell = cell * design.within[f].levels.size() + level;
        }
        cellOf[k] = cell;
    }
    return cellOf;
}

// The rows with a score in each subject's cells, every subject read: each
// thread counts the rows of its half of the subjects.
std::vector<std::int32_t> DesignBuilder::CountRows(const std::vector<std::size_t>& cellOf,
                                                   std::size_t cells) const {
    auto counts = Affordable<std::int32_t>(CheckedProduct(in_.subjects.size(), cells));
    InHalves(in_.subjects.size(), twoThreads_, [&](std::size_t half, std::size_t from, std::size_t to) {
        const auto count = [&](const LongRow& row) -> std::int32_t* {
            const auto s = static_cast<std::size_t>(row.subject);
            if (row.kind == ScoreKind::Empty || s < from || s >= to) return nullptr;
            return &counts[s * cells + cellOf[static_cast<std::size_t>(row.combination)]];
        };
        std::int64_t unscored = 0;
        VisitAhead(count, [&](const LongRow& row) {
            if (std::int32_t* place = count(row)) ++*place;
            unscored += Unscored(row, from, to);
        });
        unscored_[half] = unscored;
    });
    return counts;
}

// The counts and sums of every subject's cells in one pass over the rows,
// each thread taking half of the subjects; every row's score is of the
// common form.
Tally DesignBuilder::TallyRows(const std::vector<std::size_t>& cellOf, std::size_t cells) const {
    Tally tally;
    const std::size_t size = CheckedProduct(in_.subjects.size(), cells);
    tally.counts = Affordable<std::int32_t>(size);
    tally.units = Affordable<Int128>(size);
    tally.least = Affordable<std::int8_t>(in_.subjects.size());
    tally.scale = -in_.leastExponent;
    InHalves(in_.subjects.size(), twoThreads_, [&](std::size_t half, std::size_t from, std::size_t to) {
        const auto place = [&](const LongRow& row) -> Int128* {
            const auto s = static_cast<std::size_t>(row.subject);
            if (row.kind == ScoreKind::Empty || s < from || s >= to) return nullptr;
            return &tally.units[s * cells + cellOf[static_cast<std::size_t>(row.combination)]];
        };
        bool fits = true;
        std::int64_t unscored = 0;
        VisitAhead(place, [&](const LongRow& row) {
            Int128* const sum = place(row);
            unscored += Unscored(row, from, to);
            if (sum == nullptr) return;
            const auto s = static_cast<std::size_t>(row.subject);
            ++tally.counts[static_cast<std::size_t>(sum - tally.units.data())];
            if (row.digits == 0) return;
            tally.least[s] = std::min(tally.least[s], row.exponent);
            Int128 units = 0;
            const auto mantissa = static_cast<Int128>(row.digits);
            const int shift = row.exponent + tally.scale;  // 0 or more
            fits = fits && shift <= 38 &&
                   !__builtin_mul_overflow(
                       row.kind == ScoreKind::Negative ? -mantissa : mantissa,
                       static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(shift)]), &units) &&
                   !__builtin_add_overflow(*sum, units, sum);
        });
        tally.fits[half] = fits;
        unscored_[half] = unscored;
    });
    return tally;
}

// The tally's sums of the analysed subjects, moved up to their places and
// brought to their scale (the least power of ten of their scores, where the
// tally's may be that of a removed subject's): false, leaving the design
// without units, where a sum did not fit.
bool DesignBuilder::TakeTally(DesignData& design, Tally& tally) const {
    if (!tally.fits[0] || !tally.fits[1]) return false;
    const std::size_t cells = design.Cells();
    int least = 0;
    for (std::size_t s = 0; s < newIndex_.size(); ++s) {
        if (newIndex_[s] < 0) continue;
        least = std::min<int>(least, tally.least[s]);
        std::copy_n(tally.units.begin() + static_cast<std::ptrdiff_t>(s * cells), cells,
                    tally.units.begin() +
                        static_cast<std::ptrdiff_t>(static_cast<std::size_t>(newIndex_[s]) * cells));
    }
    tally.units.resize(design.rows.size());
    design.scale = -least;
    if (tally.scale > design.scale) {
        const auto power =
            static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(tally.scale - design.scale)]);
        for (Int128& units : tally.units) units /= power;  // exactly: every score's units are multiples
    }
    design.units = std::move(tally.units);
    return true;
}

// Removes the subjects with a cell of no score; the counts of the others move
// up to their new places.
void DesignBuilder::KeepComplete(DesignData& design, std::vector<std::int32_t>& counts, std::size_t cells) {
    newIndex_.assign(in_.subjects.size(), -1);
    std::size_t kept = 0;
    for (std::size_t s = 0; s < in_.subjects.size(); ++s) {
        const auto first = counts.begin() + static_cast<std::ptrdiff_t>(s * cells);
        if (std::find(first, first + static_cast<std::ptrdiff_t>(cells), 0) !=
            first + static_cast<std::ptrdiff_t>(cells)) {
            design.removed.push_back(in_.subjects[s]);
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
    for (std::size_t s = 0; s < in_.subjects.size(); ++s) {
        if (newIndex_[s] < 0) continue;
        design.subjects.push_back(std::move(in_.subjects[s]));
        design.group.push_back(static_cast<std::int32_t>(GroupOf(design, s)));
    }
}

// The subject's between cell: the index over the between factors' levels, the
// last factor fastest.
std::size_t DesignBuilder::GroupOf(const DesignData& design, std::size_t subject) const {
    std::size_t group = 0;
    for (std::size_t f = 0; f < in_.between.size(); ++f)
        group = group * design.between[f].levels.size() +
                static_cast<std::size_t>(in_.subjectLevels[subject * in_.between.size() + f]);
    return group;
}

// The most common count of rows of the analysed cells (the larger of two
// equally common) and how many cells have fewer.
void CountCellsBelowMode(DesignData& design) {
    std::vector<std::int32_t> sorted(design.rows);
    std::sort(sorted.begin(), sorted.end());
    std::int32_t mode = 0;
    std::size_t most = 0;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i;
        while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
        if (j - i >= most) most = j - i, mode = sorted[i];
        i = j;
    }
    design.commonRowsPerCell = mode;
    design.cellsWithFewerRows =
        static_cast<std::int64_t>(std::lower_bound(sorted.begin(), sorted.end(), mode) - sorted.begin());
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
void DesignBuilder::CheckGroups(const DesignData& design) const {
    const std::size_t groups = design.Groups();
    std::vector<std::size_t> analysed(design.group.begin(), design.group.end());
    const std::size_t g = FirstMissing(std::move(analysed), groups);
    if (g == groups) return;
    bool hadSubjects = false;  // all of them removed
    for (std::size_t s = 0; s < in_.subjects.size(); ++s)
        hadSubjects = hadSubjects || GroupOf(design, s) == g;
    std::vector<std::string> factors, levels(in_.between.size());
    for (std::size_t f = in_.between.size(), rest = g; f-- > 0;) {
        const std::size_t size = design.between[f].levels.size();
        levels[f] = design.between[f].levels[rest % size];
        rest /= size;
    }
    for (const DesignFactor& factor : design.between) factors.push_back(factor.name);
    throw CsvError(messages::EmptyBetweenCell(factors, levels, hadSubjects));
}

DesignData DesignBuilder::Build() {
    DesignData design;
    const auto factorOf = [](csv::LongFactor& column) {
        if (column.levels.size() == 1) throw CsvError(messages::OneLevel(column.name, column.levels[0]));
        return DesignFactor{column.name, std::move(column.levels)};
    };
    for (csv::LongFactor& column : in_.between) design.between.push_back(factorOf(column));
    for (csv::LongFactor& column : in_.within) design.within.push_back(factorOf(column));
    std::size_t cells = 1, groups = 1;
    for (const DesignFactor& factor : design.within) cells = CheckedProduct(cells, factor.levels.size());
    for (const DesignFactor& factor : design.between) groups = CheckedProduct(groups, factor.levels.size());
    if (groups > kMostCount || cells > kMostCount) throw OutOfMemoryError();
    design.subjectsRead = static_cast<std::int64_t>(in_.subjects.size());

    const std::vector<std::size_t> cellOf = CellOfCombination(design);
    std::optional<Tally> tally;
    std::vector<std::int32_t> counts;
    if (in_.longScores.empty() && -in_.leastExponent <= 38) {
        tally = TallyRows(cellOf, cells);
        counts = std::move(tally->counts);
    } else {
        counts = CountRows(cellOf, cells);
    }
    KeepComplete(design, counts, cells);
    CheckGroups(design);
    for (std::int32_t count : counts)
        if (count > 1) ++design.averagedCells, design.averagedRows += count;
    design.rowsWithoutScore = unscored_[0] + unscored_[1];
    design.rows = std::move(counts);
    if (design.rowsWithoutScore > 0) CountCellsBelowMode(design);
    FormMeans(design, cellOf, tally);
    return design;
}

// The means: from the units at the design's common scale where every score
// fits, else each cell's from its rows' exact values, the sums then kept in
// GMP integers.
void DesignBuilder::FormMeans(DesignData& design, const std::vector<std::size_t>& cellOf,
                              std::optional<Tally>& tally) {
    design.exact = tally && TakeTally(design, *tally);
    tally.reset();  // its room before the units are formed again
    if (!design.exact) design.exact = FormUnits(design, cellOf);
    if (design.exact) {
        // The rows are done with: their room goes to the scores.
        std::vector<std::vector<LongRow>>().swap(in_.rows);
        design.values = Affordable<Extended>(design.rows.size());
        InHalves(design.values.size(), twoThreads_, [&](std::size_t, std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i)
                design.values[i] = design::MeanOfUnits(design.units[i], design.rows[i], design.scale);
        });
        return;
    }
    design.scale = 0;
    design.units = {};
    design.values = Affordable<Extended>(design.rows.size());
    FormMeansOfTerms(design, cellOf);
    design.exact = FormWideUnits(design, cellOf);
    if (!design.exact) design.rows = {};
}

// Sums each analysed cell's scores exactly in GMP integers, where 128 bits do
// not hold them: in units of 10^-scale, the scale the least power of ten of
// the analysed scores (0 at most); false, leaving the extended values alone,
// where their powers of ten lie further apart than kMostWideSpread.
bool DesignBuilder::FormWideUnits(DesignData& design, const std::vector<std::size_t>& cellOf) const {
    const std::size_t cells = design.Cells();
    const auto termOf = [&](const LongRow& row) {
        if (row.kind == ScoreKind::Long) return DecimalTerm{0, 0, false, in_.longScores[row.digits]};
        return DecimalTerm{row.digits, row.exponent, row.kind == ScoreKind::Negative, {}};
    };
    const auto placeOf = [&](const LongRow& row) -> std::optional<std::size_t> {
        if (row.kind == ScoreKind::Empty) return std::nullopt;
        const std::int32_t s = newIndex_[static_cast<std::size_t>(row.subject)];
        if (s < 0) return std::nullopt;
        return static_cast<std::size_t>(s) * cells + cellOf[static_cast<std::size_t>(row.combination)];
    };
    // The least and the most of the scores' least powers of ten (none for zeros alone).
    long least = std::numeric_limits<long>::max(), most = std::numeric_limits<long>::min();
    in_.VisitRows(0, in_.RowCount(), [&](const LongRow& row, std::size_t) {
        if (!placeOf(row)) return;
        if (const std::optional<long> power = design::LeastPowerOf(termOf(row), decimal_))
            least = std::min(least, *power), most = std::max(most, *power);
    });
    if (least > most) least = most = 0;
    if (most - least > design::kMostWideSpread) return false;
    design.scale = static_cast<int>(-std::min(least, 0L));
    auto sums = Affordable<mpz_class>(design.rows.size());
    in_.VisitRows(0, in_.RowCount(), [&](const LongRow& row, std::size_t) {
        if (const std::optional<std::size_t> at = placeOf(row))
            sums[*at] += design::UnitsOf(termOf(row), decimal_, design.scale);
    });
    design.wideUnits = std::move(sums);
    return true;
}

// Sums each analysed cell's scores in units of 10^-scale, the scale the least
// power of ten of the analysed scores; false when one does not fit. The
// least is found over each half of the rows, the sums of each half of the
// subjects on a thread each (in the order of the rows, as one thread adds
// them).
bool DesignBuilder::FormUnits(DesignData& design, const std::vector<std::size_t>& cellOf) const {
    std::vector<design::WideDecimal> longs(in_.longScores.size());
    const std::size_t rows = in_.RowCount();
    long leasts[2] = {0, 0};
    bool fits[2] = {true, true};
    InHalves(rows, twoThreads_, [&](std::size_t half, std::size_t from, std::size_t to) {
        in_.VisitRows(from, to, [&](const LongRow& row, std::size_t) {
            if (row.kind == ScoreKind::Empty || newIndex_[static_cast<std::size_t>(row.subject)] < 0) return;
            if (row.kind != ScoreKind::Long) {
                if (row.digits != 0) leasts[half] = std::min<long>(leasts[half], row.exponent);
                return;
            }
            const auto wide = design::WideDecimalOf(in_.longScores[row.digits], decimal_);
            fits[half] = fits[half] && wide;
            if (!wide) return;
            longs[row.digits] = *wide;
            if (wide->mantissa != 0) leasts[half] = std::min(leasts[half], wide->exponent);
        });
    });
    const long least = std::min(leasts[0], leasts[1]);
    if (!fits[0] || !fits[1] || least < -38) return false;
    design.scale = static_cast<int>(-least);
    design.units = Affordable<Int128>(design.rows.size());
    InHalves(design.Subjects(), twoThreads_, [&](std::size_t half, std::size_t from, std::size_t to) {
        fits[half] = SumUnits(design, cellOf, longs, from, to);
    });
    return fits[0] && fits[1];
}

// The units of the analysed subjects from `from` to `to`; false when a sum does not fit.
bool DesignBuilder::SumUnits(DesignData& design, const std::vector<std::size_t>& cellOf,
                             const std::vector<design::WideDecimal>& longs, std::size_t from,
                             std::size_t to) const {
    const std::size_t cells = design.Cells();
    bool fits = true;
    const auto sumOf = [&](const LongRow& row) -> Int128* {
        const std::int32_t s =
            row.kind == ScoreKind::Empty ? -1 : newIndex_[static_cast<std::size_t>(row.subject)];
        if (s < 0 || static_cast<std::size_t>(s) < from || static_cast<std::size_t>(s) >= to) return nullptr;
        return &design.units[static_cast<std::size_t>(s) * cells +
                             cellOf[static_cast<std::size_t>(row.combination)]];
    };
    VisitAhead(sumOf, [&](const LongRow& row) {
        Int128* const sum = sumOf(row);
        if (!fits || sum == nullptr) return;
        Int128 mantissa = static_cast<Int128>(row.digits);
        long exponent = row.exponent;
        if (row.kind == ScoreKind::Long)
            mantissa = longs[row.digits].mantissa, exponent = longs[row.digits].exponent;
        if (mantissa == 0) return;
        if (row.kind == ScoreKind::Negative) mantissa = -mantissa;
        const long shift = exponent + design.scale;  // 0 or more
        Int128 units = 0;
        fits = shift <= 38 &&
               !__builtin_mul_overflow(
                   mantissa, static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(shift)]), &units) &&
               !__builtin_add_overflow(*sum, units, sum);
    });
    return fits;
}

// Each analysed cell's mean from its rows' exact values: the rows gathered
// cell by cell (a counting sort on the counts), then each cell's mean exactly.
void DesignBuilder::FormMeansOfTerms(DesignData& design, const std::vector<std::size_t>& cellOf) const {
    const std::size_t cells = design.Cells(), total = design.rows.size();
    auto start = Affordable<std::size_t>(total + 1);
    for (std::size_t i = 0; i < total; ++i)
        start[i + 1] = start[i] + static_cast<std::size_t>(design.rows[i]);
    auto order = Affordable<std::uint32_t>(start[total]);
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    const auto cellOfRow = [&](const LongRow& row) {
        return static_cast<std::size_t>(newIndex_[static_cast<std::size_t>(row.subject)]) * cells +
               cellOf[static_cast<std::size_t>(row.combination)];
    };
    auto rowAt = Affordable<const LongRow*>(in_.RowCount());
    in_.VisitRows(0, rowAt.size(), [&](const LongRow& row, std::size_t r) {
        rowAt[r] = &row;
        if (row.kind == ScoreKind::Empty || newIndex_[static_cast<std::size_t>(row.subject)] < 0) return;
        order[next[cellOfRow(row)]++] = static_cast<std::uint32_t>(r);
    });
    std::vector<DecimalTerm> terms;
    for (std::size_t i = 0; i < total; ++i) {
        terms.clear();
        for (std::size_t k = start[i]; k < start[i + 1]; ++k) {
            const LongRow& row = *rowAt[order[k]];
            DecimalTerm term{row.digits, row.exponent, row.kind == ScoreKind::Negative, {}};
            if (row.kind == ScoreKind::Long) term = {0, 0, false, in_.longScores[row.digits]};
            terms.push_back(term);
        }
        design.values[i] = design::MeanOfTerms(terms, decimal_);
    }
}

void CheckRoles(const LongCsvRoles& roles) {
    if (roles.within.empty() && roles.between.empty()) throw CsvError(messages::NoFactor());
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
    const std::string_view body = text.starts_with(csv::kByteOrderMark) ? text.substr(3) : text;
    return csv::ReadLongCsvSplitAt(text, roles, options, csv::ChosenSplit(body));
}

namespace csv {

DesignData ReadLongCsvSplitAt(std::string_view text, const LongCsvRoles& roles, const LongCsvOptions& options,
                              std::optional<std::size_t> splitAt) {
    CheckRoles(roles);
    try {
        const CsvText csv = DecodeCsv(text, options.encoding, options.separator);
        LongRows rows = ReadLongRows(csv, roles, options, splitAt);
        return DesignBuilder(rows, options.decimalSeparator).Build();
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

}  // namespace csv
}  // namespace morvane
