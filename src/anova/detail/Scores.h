#pragma once
// Private to the engine: the design's scores as exact integers on one unit,
// the subjects in the order of their between cells, and the roundings of
// the exact figures formed from them (their sums are FollowUps.h's).
//
// A cell's score is units / (rows 10^scale), the decimals it was averaged
// from: over the whole design every score is then an integer times the unit
// 1 / (10^scale L), L the least common multiple of the cells' row counts.
// Where the design holds no exact decimals (they were too wide), each
// extended value is the binary rational it is, an integer times 2^e for the
// least exponent e among them. Either way every statistic formed from these
// integers is exact, and is rounded once.
//
// Each cell's integers are kept as offsets from a reference of that cell (the
// score of the subject first in the group order), which leaves them small
// where the scores share their leading digits. Two strategies hold them: the
// quick one where every offset fits 31 bits (a value formed from a row sums
// in 64 bits and its products in 128), the sure one in GMP integers. They
// give the same figures; the quick one is chosen wherever it fits, and a test
// compares them.

#include <gmpxx.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "design/Design.h"
#include "runtime/Extended.h"
#include "runtime/MemoryBudget.h"
#include "runtime/WideInteger.h"

namespace morvane::anova::detail {

// The subjects group by group: `subjects[r]` the subject (index into the
// design) of rank r; group g's ranks from start[g] to start[g + 1].
struct GroupOrder {
    std::vector<std::size_t> subjects;
    std::vector<std::size_t> start;

    std::size_t Groups() const { return start.empty() ? 0 : start.size() - 1; }
    std::size_t Size(std::size_t g) const { return start[g + 1] - start[g]; }
};

// The ranks of the design's subjects by between cell. RangeError for a
// subject's cell out of range; a cell without subjects is allowed.
GroupOrder OrderByGroup(const DesignData& design);

enum class Strategy {
    Quick,  // 31-bit offsets wherever they fit, else GMP integers
    Sure,   // GMP integers always
};

struct Scores {
    std::size_t subjects = 0, cells = 0;
    GroupOrder order;
    // The value of one step of the integers.
    mpq_class unit;
    // Per cell: the integer its offsets are from.
    std::vector<mpz_class> reference;
    // The offsets, rank by rank: the subject of rank r in cell c at
    // r * cells + c. The quick strategy's in `small` (each within 2^31 - 1 in
    // magnitude, the largest `bound`), the sure one's in `wide`.
    LargeVector<std::int32_t> small;
    std::vector<mpz_class> wide;
    std::int64_t bound = 0;
    // Whether the integers are the exact decimals (else the extended values).
    bool decimal = true;

    bool Quick() const { return wide.empty(); }
};

// The design's scores as integers. The quick strategy keeps them in 31 bits
// wherever they fit.
Scores IntegerScores(const DesignData& design, Strategy strategy = Strategy::Quick);

// A figure's exact value rounded to the extended format, once: x, x times
// the unit (a mean), x times the unit squared (a sum of squares).
Extended Rounded(const mpq_class& x);
// sign * sqrt(square) correctly rounded; square >= 0.
Extended RoundedRoot(const mpq_class& square, int sign = 1);
// The same of num / den (num >= 0, den > 0), in any terms.
Extended RoundedRoot(const mpz_class& num, const mpz_class& den, int sign);

// Int128 as a GMP integer.
mpz_class BigOf(Int128 value);

// Whether values of magnitude up to growth x the largest offset, and sums of
// their products over n subjects, stay within 64 and 128 bits.
inline bool QuickFits(const Scores& scores, long double growth) {
    if (!scores.Quick()) return false;
    const long double v = growth * static_cast<long double>(std::max<std::int64_t>(scores.bound, 1));
    const auto n = static_cast<long double>(std::max<std::size_t>(scores.subjects, 1));
    return v < 0x1p62L && n * v * v < 0x1p125L;
}

}  // namespace morvane::anova::detail
