#include "anova/detail/Scores.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>
#include <span>

#include "exact/WideIntegers.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Together.h"

namespace morvane::anova::detail {
namespace {

constexpr Int128 kInt128Max = static_cast<Int128>(~UInt128{0} >> 1);
// The least common multiple of the cells' row counts beyond which the
// integers are taken in GMP from the start (the multipliers would be long).
constexpr std::int64_t kMostCommonRows = std::int64_t{1} << 40;
constexpr std::int64_t kQuickOffset = 2147483647;
// Designs of this many scores or more take their offsets in two halves side by side.
constexpr std::size_t kTogetherScores = std::size_t{1} << 16;

std::optional<Scores> DecimalIntegers(const DesignData& design, Strategy strategy, Scores&& shape);
Scores BinaryIntegers(const DesignData& design, Strategy strategy, Scores&& shape);
void KeepOffsets(Scores& s, const std::vector<mpz_class>& integers, Strategy strategy);

}  // namespace

GroupOrder OrderByGroup(const DesignData& design) {
    const std::size_t groups = design.Groups(), n = design.Subjects();
    GroupOrder order;
    order.start.assign(groups + 1, 0);
    if (design.group.size() != n) throw RangeError();
    for (const std::int32_t g : design.group) {
        if (g < 0 || static_cast<std::size_t>(g) >= groups) throw RangeError();
        ++order.start[static_cast<std::size_t>(g) + 1];
    }
    for (std::size_t g = 0; g < groups; ++g) order.start[g + 1] += order.start[g];
    order.subjects.resize(n);
    std::vector<std::size_t> next(order.start.begin(), order.start.end() - 1);
    for (std::size_t s = 0; s < n; ++s) order.subjects[next[static_cast<std::size_t>(design.group[s])]++] = s;
    return order;
}

Scores IntegerScores(const DesignData& design, Strategy strategy) {
    Scores shape;
    shape.subjects = design.Subjects();
    shape.cells = design.Cells();
    const std::size_t count = shape.subjects * shape.cells;
    shape.order = OrderByGroup(design);
    shape.reference.assign(shape.cells, 0);
    const bool units = design.units.size() == count || design.wideUnits.size() == count;
    if (design.exact && units && design.rows.size() == count)
        if (std::optional<Scores> s = DecimalIntegers(design, strategy, Scores(shape))) return std::move(*s);
    if (design.values.size() != count) throw RangeError();
    return BinaryIntegers(design, strategy, std::move(shape));
}

mpz_class BigOf(Int128 value) {
    return exact::ToMpz(value);
}

Extended Rounded(const mpq_class& x) {
    return exact::RoundRational(x.get_num(), x.get_den(), 0);
}

Extended RoundedRoot(const mpq_class& square, int sign) {
    return RoundedRoot(square.get_num(), square.get_den(), sign);
}

// The integer root R of (num / den) 4^k (floor), with k such that R has well
// over 64 bits, lies within a unit below the true root; where it is not exact
// the true root lies strictly between R and R + 1, where no rounding boundary
// of R's precision falls, so that R + 1/2 rounds as the root does. The
// integers are kept from one root to the next (on each thread): the analysis
// takes many thousands.
Extended RoundedRoot(const mpz_class& num, const mpz_class& den, int sign) {
    if (num == 0) return 0;
    struct Scratch {
        mpz_class top, floor, rem, root, rootRem, den;
    };
    thread_local Scratch x;
    const long bits = static_cast<long>(mpz_sizeinbase(num.get_mpz_t(), 2)) -
                      static_cast<long>(mpz_sizeinbase(den.get_mpz_t(), 2));
    const long k = std::max(0L, 80 - bits / 2);
    mpz_mul_2exp(x.top.get_mpz_t(), num.get_mpz_t(), static_cast<mp_bitcnt_t>(2 * k));
    mpz_fdiv_qr(x.floor.get_mpz_t(), x.rem.get_mpz_t(), x.top.get_mpz_t(), den.get_mpz_t());
    mpz_sqrtrem(x.root.get_mpz_t(), x.rootRem.get_mpz_t(), x.floor.get_mpz_t());
    mpz_set_ui(x.den.get_mpz_t(), 1);
    mpz_mul_2exp(x.den.get_mpz_t(), x.den.get_mpz_t(), static_cast<mp_bitcnt_t>(k));
    if (x.rem != 0 || x.rootRem != 0) {
        mpz_mul_2exp(x.root.get_mpz_t(), x.root.get_mpz_t(), 1);
        mpz_add_ui(x.root.get_mpz_t(), x.root.get_mpz_t(), 1);
        mpz_mul_2exp(x.den.get_mpz_t(), x.den.get_mpz_t(), 1);
    }
    if (sign < 0) mpz_neg(x.root.get_mpz_t(), x.root.get_mpz_t());
    return exact::RoundRational(x.root, x.den, 0);
}

namespace {

// A subject's integer in a cell: its units times the common rows over the
// cell's rows, in 128 bits where it fits. The bound of the units is found
// again only when the multiplier changes (never where every cell is of one row).
class UnitIntegers {
public:
    UnitIntegers(const DesignData& design, std::int64_t common)
        : units_(design.units.data()), rows_(design.rows.data()), cells_(design.Cells()), common_(common) {}

    bool Of(std::size_t subject, std::size_t c, Int128& out) {
        const std::size_t at = subject * cells_ + c;
        const Int128 u = units_[at];
        if (common_ == 1) {
            out = u;
            return (u < 0 ? -u : u) <= kInt128Max / 2;
        }
        const std::int64_t m = common_ / rows_[at];
        if (m != multiplier_) multiplier_ = m, most_ = kInt128Max / (2 * m);
        if ((u < 0 ? -u : u) > most_) return false;
        out = u * m;
        return true;
    }

private:
    const Int128* units_;
    const std::int32_t* rows_;
    std::size_t cells_;
    std::int64_t common_, multiplier_ = 1;
    Int128 most_ = kInt128Max / 2;
};

// DecimalIntegers' quick strategy: the offsets from the first ranked
// subject's integers, formed straight into 31 bits, the ranks in two halves
// side by side on a large design. False where one does not fit.
bool QuickOffsets(const DesignData& design, std::int64_t common, Scores& s) {
    const std::size_t n = s.subjects, cells = s.cells;
    std::vector<Int128> first(cells);
    UnitIntegers integers(design, common);
    for (std::size_t c = 0; c < cells; ++c)
        if (!integers.Of(s.order.subjects[0], c, first[c])) return false;
    s.small.resize(n * cells);
    // The ranks from..to: their offsets, and the largest in magnitude (-1 where one does not fit).
    const auto offsets = [&](std::size_t from, std::size_t to) -> std::int64_t {
        UnitIntegers own(design, common);
        std::int64_t bound = 0;
        for (std::size_t r = from; r < to; ++r) {
            const std::size_t subject = s.order.subjects[r];
            for (std::size_t c = 0; c < cells; ++c) {
                Int128 x = 0;
                if (!own.Of(subject, c, x)) return -1;
                const Int128 offset = x - first[c], magnitude = offset < 0 ? -offset : offset;
                if (magnitude > kQuickOffset) return -1;
                bound = std::max(bound, static_cast<std::int64_t>(magnitude));
                s.small[r * cells + c] = static_cast<std::int32_t>(offset);
            }
        }
        return bound;
    };
    std::int64_t bounds[2] = {0, 0};
    const bool two = n * cells >= kTogetherScores;
    const std::size_t half = two ? n / 2 : n;
    const std::function<void()> halves[] = {[&] { bounds[0] = offsets(0, half); },
                                            [&] { bounds[1] = offsets(half, n); }};
    RunTogether(std::span(halves, two ? 2 : 1));
    if (bounds[0] < 0 || bounds[1] < 0) {
        s.small = {};
        return false;
    }
    for (std::size_t c = 0; c < cells; ++c) s.reference[c] = BigOf(first[c]);
    s.bound = std::max(bounds[0], bounds[1]);
    return true;
}

// IntegerScores of exact decimals: units times the common rows over the
// cell's rows; nothing where the common rows would be too long.
std::optional<Scores> DecimalIntegers(const DesignData& design, Strategy strategy, Scores&& shape) {
    Scores s = std::move(shape);
    // (A run of cells of the same rows, one row each as a rule, is looked at once.)
    std::int64_t common = 1;
    std::int32_t last = 1;
    for (const std::int32_t r : design.rows) {
        if (r == last) continue;
        if (r < 1) return std::nullopt;
        if (common % r != 0) common = std::lcm(common, static_cast<std::int64_t>(r));
        if (common > kMostCommonRows) return std::nullopt;
        last = r;
    }
    // The unit: 10^-scale / common.
    const mpz_class power = exact::PowerOfTen(static_cast<unsigned long>(std::abs(design.scale)));
    s.unit =
        design.scale >= 0 ? mpq_class(1, power * exact::Big(common)) : mpq_class(power, exact::Big(common));
    s.unit.canonicalize();
    const bool big = design.units.empty();  // the sums in GMP integers
    if (strategy == Strategy::Quick && s.subjects > 0 && !big && QuickOffsets(design, common, s)) return s;
    const std::size_t count = design.rows.size(), n = s.subjects, cells = s.cells;
    std::vector<mpz_class> wide(count);
    for (std::size_t r = 0; r < n; ++r) {
        const std::size_t subject = s.order.subjects[r];
        for (std::size_t c = 0; c < cells; ++c) {
            const std::size_t at = subject * cells + c;
            wide[r * cells + c] =
                (big ? design.wideUnits[at] : BigOf(design.units[at])) * exact::Big(common / design.rows[at]);
        }
    }
    KeepOffsets(s, wide, strategy);
    return s;
}

// IntegerScores of extended values: each the binary rational it is, an
// integer times 2^e for the least exponent e of the values' last bits.
Scores BinaryIntegers(const DesignData& design, Strategy strategy, Scores&& shape) {
    Scores s = std::move(shape);
    s.decimal = false;
    long least = std::numeric_limits<long>::max();
    for (const Extended v : design.values) {
        CheckFinite(v);
        if (v == 0) continue;
        int e = 0;
        std::frexp(v, &e);
        least = std::min(least, static_cast<long>(e) - 64);
    }
    if (least == std::numeric_limits<long>::max()) least = 0;
    s.unit = 1;
    if (least >= 0)
        mpz_mul_2exp(s.unit.get_num_mpz_t(), s.unit.get_num_mpz_t(), static_cast<mp_bitcnt_t>(least));
    else
        mpz_mul_2exp(s.unit.get_den_mpz_t(), s.unit.get_den_mpz_t(), static_cast<mp_bitcnt_t>(-least));
    const std::size_t n = s.subjects, cells = s.cells;
    std::vector<mpz_class> integers(n * cells);
    for (std::size_t r = 0; r < n; ++r)
        for (std::size_t c = 0; c < cells; ++c) {
            const Extended v = design.values[s.order.subjects[r] * cells + c];
            if (v == 0) continue;
            int e = 0;
            const Extended m = std::frexp(std::fabs(v), &e);
            mpz_class x = static_cast<unsigned long>(std::ldexp(m, 64));
            mpz_mul_2exp(x.get_mpz_t(), x.get_mpz_t(), static_cast<mp_bitcnt_t>(e - 64 - least));
            integers[r * cells + c] = v < 0 ? mpz_class(-x) : x;
        }
    KeepOffsets(s, integers, strategy);
    return s;
}

// The integers as offsets from the first ranked subject's: in 31 bits where
// the quick strategy may and they fit, else in GMP.
void KeepOffsets(Scores& s, const std::vector<mpz_class>& integers, Strategy strategy) {
    const std::size_t cells = s.cells, count = integers.size();
    for (std::size_t c = 0; c < cells && count > 0; ++c) s.reference[c] = integers[c];
    s.wide.assign(count, 0);
    for (std::size_t i = 0; i < count; ++i) s.wide[i] = integers[i] - s.reference[i % cells];
    if (strategy != Strategy::Quick) return;
    std::int64_t bound = 0;
    for (const mpz_class& offset : s.wide) {
        if (!offset.fits_sint_p() || abs(offset) > kQuickOffset) return;
        bound = std::max(bound, static_cast<std::int64_t>(std::abs(offset.get_si())));
    }
    s.small.resize(count);
    for (std::size_t i = 0; i < count; ++i) s.small[i] = static_cast<std::int32_t>(s.wide[i].get_si());
    s.wide.clear();
    s.bound = bound;
}

}  // namespace
}  // namespace morvane::anova::detail
