#pragma once
// A factorial repeated-measures design as the general analysis takes it: the
// between-subject factors (the groups a subject belongs to), the
// within-subject factors (the conditions every subject is measured in), and
// each analysed subject's score in every within cell, kept exact as the
// decimals it was averaged from.

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Extended.h"
#include "runtime/WideInteger.h"

namespace morvane {

inline constexpr std::size_t kMostWithinFactors = 4;
inline constexpr std::size_t kMostBetweenFactors = 3;

struct DesignFactor {
    std::string name;                 // UTF-8
    std::vector<std::string> levels;  // UTF-8, in the order they first appear
};

struct DesignData {
    // In the order the user named them; one to kMostWithinFactors within
    // factors, up to kMostBetweenFactors between factors.
    std::vector<DesignFactor> between, within;

    // The analysed subjects (UTF-8 ids, in the order they first appear), each
    // with its between cell: the index over the between factors' levels, the
    // last factor fastest (0 without between factors).
    std::vector<std::string> subjects;
    std::vector<std::int32_t> group;

    // Subject s's score in within cell c (the index over the within factors'
    // levels, the last factor fastest) is entry s * Cells() + c of each array.
    // `values`: the exact score (the mean of the cell's rows) rounded once;
    // where `exact` holds it may be left empty (the units are the scores).
    std::vector<Extended> values;
    // Exact, where every analysed score is a decimal: the cell's score is
    // units / (rows * 10^scale), `units` the sum of its rows' scores in units
    // of 10^-scale and `rows` how many rows it averages. Where the scores'
    // powers of ten lie too far apart for exact sums, `exact` is false and the
    // arrays are empty.
    bool exact = false;
    int scale = 0;
    std::vector<Int128> units;
    std::vector<std::int32_t> rows;
    // Exact too, where 128 bits do not hold the sums (scores of more than 38
    // significant digits, or of powers of ten far apart): the same sums as GMP
    // integers, `units` then empty.
    std::vector<mpz_class> wideUnits;

    // What reading the design did before the analysis.
    std::int64_t subjectsRead = 0;     // subjects with any row, removed ones included
    std::vector<std::string> removed;  // ids removed for a missing score, as they first appear
    std::int64_t averagedCells = 0;    // analysed cells of more than one row
    std::int64_t averagedRows = 0;     // the rows those cells were averaged from
    // Rows read without a score (empty or NA) and ignored, the removed subjects' included; where there
    // were some, the most common count of an analysed cell's scored rows and the cells with fewer.
    std::int64_t rowsWithoutScore = 0;
    std::int64_t commonRowsPerCell = 0, cellsWithFewerRows = 0;

    std::size_t Cells() const;   // the within cells: the product of the within factors' levels
    std::size_t Groups() const;  // the between cells: the product of the between factors' levels (1 without)
    std::size_t Subjects() const { return subjects.size(); }
};

// The most columns a name shows in the outputs (a character beyond ASCII
// taking two, as in the data file's tables); longer names are cut on a
// character boundary and end in "…", as a data file's level names are.
inline constexpr std::size_t kShownNameColumns = 64;

// `name` (UTF-8) as the outputs show it: whole, or cut to kShownNameColumns.
// The analysis shows level names and ids so (a long CSV's cells may hold names
// of any length, which every table row, plot label and comparison would
// repeat); the design keeps them whole, and the factors' names (the columns'
// headers, which options name) are shown whole.
std::string ShownName(const std::string& name);


}  // namespace morvane
