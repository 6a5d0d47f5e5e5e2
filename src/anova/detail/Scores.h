#pragma once
// Private to the engine: the design's scores as exact integers on one unit,
// the subjects in the order of their between cells, and the exact moments of
// values formed from them within each cell.
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

#include <cstddef>
#include <cstdint>
#include <type_traits>
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

// The integer type a value formed from a row of offsets is held in: 64 bits
// from the quick strategy's 31-bit offsets, GMP from the sure one's.
template <class Offset>
using Wide = std::conditional_t<std::is_same_v<Offset, std::int32_t>, std::int64_t, mpz_class>;

// The moments of one value of each subject within a group, exact: its count,
// its sum and n times its sum of squares less the sum squared (n^2 times the
// variance's numerator over n).
struct Moment {
    std::int64_t n = 0;
    mpz_class sum, centred;

    // The group's mean of the value, and its sum of squared deviations.
    mpq_class Mean() const { return n > 0 ? mpq_class(sum, n) : mpq_class(0); }
    mpq_class Deviations() const { return n > 0 ? mpq_class(centred, n) : mpq_class(0); }
};

// The moments, group by group, of k values of each subject and (with
// `crossed`) of every pair's products: k x k row-major centred cross
// products, else the k diagonal entries.
struct CrossMoments {
    std::int64_t n = 0;
    std::size_t k = 0;
    bool crossed = false;
    std::vector<mpz_class> sum;      // k
    std::vector<mpz_class> centred;  // k x k (crossed) or k: n sum v_i v_j - sum v_i sum v_j

    const mpz_class& Centred(std::size_t i, std::size_t j) const {
        return crossed ? centred[i * k + j] : centred[i];
    }
};

// For each group, the moments of the k values fill(row, out) writes for each
// subject from its row of offsets (`row` a const std::int32_t* or const
// mpz_class*; `out` of Wide<that> * k). `growth` bounds the magnitude of a
// value over the largest offset (the sum of its weights' magnitudes): where
// the quick strategy's values and their products could leave 64 and 128 bits
// the rows are taken as GMP integers instead. Groups without subjects have
// n = 0 and zero sums. The offsets' reference is not in the values: a value
// with weights w has the reference sum_c w_c reference[c] to add to its mean.
template <class Fill>
std::vector<CrossMoments> SumGroups(const Scores& scores, std::size_t k, bool crossed, long double growth,
                                    Fill&& fill);

}  // namespace morvane::anova::detail

#include "anova/detail/ScoresSums.h"
