#pragma once
// Private to the engine: what the model, the means, the comparisons and the
// simple effects share. The design's factors in one list (between first), the
// values each of them forms from a subject's row of integer offsets, their
// exact sums group by group with the products within blocks of them (an
// effect's, a family's or a slice's products; blocks of subjects in 64 bits
// where the values allow), and the exact figures of those sums: a group's
// mean of a value, the deviations about it, their pooled variance, an
// equal-weighted mean over groups; each figure rounded once at the end.

#include <gmpxx.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/BlockProducts.h"
#include "anova/detail/Scores.h"
#include "stats/Intervals.h"

namespace morvane::anova::detail {

// The factors of a design in one list, between first, and the cells they
// make: the groups (between cells) and the within cells, each numbered with
// the last factor fastest.
struct FactorGrid {
    std::size_t between = 0;          // how many of the factors are between factors
    std::vector<std::size_t> levels;  // per factor
    std::vector<std::size_t> stride;  // per factor: in a group's number, or in a within cell's
    std::size_t groups = 1, cells = 1;

    explicit FactorGrid(const DesignData& design) {
        for (const DesignFactor& f : design.between) levels.push_back(f.levels.size());
        for (const DesignFactor& f : design.within) levels.push_back(f.levels.size());
        between = design.between.size();
        stride.assign(levels.size(), 1);
        for (std::size_t f = between; f-- > 0;) stride[f] = groups, groups *= levels[f];
        for (std::size_t f = levels.size(); f-- > between;) stride[f] = cells, cells *= levels[f];
    }
    std::size_t Factors() const { return levels.size(); }
    bool Within(std::size_t f) const { return f >= between; }
    // Factor f's level in group or within cell `index` (whichever f belongs to).
    std::size_t LevelOf(std::size_t index, std::size_t f) const { return index / stride[f] % levels[f]; }
    // The group, or the within cell, of a place's levels (kOver counting as level 0).
    std::size_t GroupOf(const Place& at) const { return IndexOf(at, 0, between); }
    std::size_t CellOf(const Place& at) const { return IndexOf(at, between, levels.size()); }
    // The place of every factor in group g and within cell c.
    Place PlaceOf(std::size_t g, std::size_t c) const {
        Place at(levels.size());
        for (std::size_t f = 0; f < levels.size(); ++f)
            at[f] = static_cast<std::int32_t>(LevelOf(Within(f) ? c : g, f));
        return at;
    }
    // Every factor at kOver.
    Place Over() const { return Place(levels.size(), kOver); }

private:
    std::size_t IndexOf(const Place& at, std::size_t first, std::size_t last) const {
        std::size_t index = 0;
        for (std::size_t f = first; f < last; ++f)
            if (at[f] != kOver) index += static_cast<std::size_t>(at[f]) * stride[f];
        return index;
    }
};

// num / den in lowest terms (den > 0), as GMP's rationals must be.
inline mpq_class Ratio(const mpz_class& num, const mpz_class& den) {
    mpq_class x(num, den);
    x.canonicalize();
    return x;
}

// The values a pass sums, in blocks of consecutive values whose products
// within the block are summed too (a value alone: its square). A pass's fill
// writes the values, or where `source` is given the values it is drawn from:
// value i is the fill's value source[i] (one written once and summed in
// several blocks).
struct Blocks {
    std::vector<std::size_t> first, size, offset;  // per block; offset: of its size^2 products
    std::vector<std::size_t> of;                   // per value: its block
    std::size_t products = 0;
    std::vector<std::size_t> source;  // per value, or none: the values themselves
    std::size_t filled = 0;           // the values the fill writes, where `source` is given

    // Blocks of the sizes given, in order.
    explicit Blocks(const std::vector<std::size_t>& sizes) {
        std::size_t value = 0;
        for (const std::size_t n : sizes) {
            first.push_back(value), size.push_back(n), offset.push_back(products);
            for (std::size_t i = 0; i < n; ++i) of.push_back(first.size() - 1);
            value += n, products += n * n;
        }
    }
    // k values each alone.
    static Blocks Alone(std::size_t k) { return Blocks(std::vector<std::size_t>(k, 1)); }
    std::size_t Values() const { return of.size(); }
    // The fill's values, and which of them value i is.
    std::size_t Filled() const { return source.empty() ? Values() : filled; }
    std::size_t Source(std::size_t i) const { return source.empty() ? i : source[i]; }
    bool AllAlone() const { return products == of.size(); }
    // Where the product of values i and j (of one block) is.
    std::size_t At(std::size_t i, std::size_t j) const {
        const std::size_t b = of[i];
        return offset[b] + (i - first[b]) * size[b] + (j - first[b]);
    }
};

// The moments, group by group, of values formed from each subject's row,
// with what takes them to the statistics they stand for: value i is
// divisor[i] times its statistic (a sum over cells for a mean over them), and
// its offsets are from reference[i] (the same value formed from the cells'
// references). Per group: the subjects, each value's sum, and n times the
// sum of each product within a block less the product of the two sums.
struct Summed {
    struct Group {
        std::int64_t n = 0;
        std::vector<mpz_class> sum, centred;
    };
    Blocks blocks = Blocks({});
    std::vector<Group> groups;
    std::vector<mpz_class> reference;
    std::vector<std::int64_t> divisor;

    std::int64_t Size(std::size_t g) const { return groups[g].n; }
    // Group g's n sum v_i v_j - sum v_i sum v_j of values i and j (of one block).
    const mpz_class& Centred(std::size_t g, std::size_t i, std::size_t j) const {
        return groups[g].centred[blocks.At(i, j)];
    }
    // Group g's mean of statistic i, in the integers' unit (a group with subjects).
    mpq_class Mean(std::size_t g, std::size_t i) const {
        const Group& m = groups[g];
        return Ratio(m.sum[i] + m.n * reference[i], mpz_class(m.n) * divisor[i]);
    }
    // Group g's sum of the products of the deviations of statistics i and j
    // (of one block) from their means, in the integers' unit squared.
    mpq_class Deviations(std::size_t g, std::size_t i, std::size_t j) const {
        const Group& m = groups[g];
        if (m.n == 0) return 0;
        return Ratio(m.centred[blocks.At(i, j)], mpz_class(m.n) * divisor[i] * divisor[j]);
    }
    mpq_class Deviations(std::size_t g, std::size_t i) const { return Deviations(g, i, i); }
};

// Whether the blocked sums hold for values of magnitude up to growth x the
// largest offset: each value within 2^31 (biased into 32 bits, whose
// products are exact 64-bit multiplies), and a block's sums of products
// within 2^63 (exact modulo 2^64 from the biased ones).
inline bool BlockedFits(const Scores& scores, long double growth) {
    if (!scores.Quick()) return false;
    const long double v = growth * static_cast<long double>(std::max<std::int64_t>(scores.bound, 1));
    return v < 0x1p31L && static_cast<long double>(kSumBlock) * v * v < 0x1p63L;
}

// The moments of one pass where BlockedFits. The values of a block of
// kSumBlock subjects are laid out value by value, each plus 2^31 in 32 bits
// (a block short of subjects padded with zeros, which add nothing), so that
// each sum over the block is a fixed run of exact 64-bit multiplies and adds
// that the processor takes several at a time; the bias comes off exactly
// modulo 2^64, and the block's sums are added to 128-bit totals. The fill
// takes the 31-bit offsets themselves (const std::int32_t*) and writes 64-bit values.
template <class Fill>
std::vector<Summed::Group> SumBlocked(const Scores& scores, const Blocks& blocks, Fill&& fill) {
    constexpr std::size_t B = kSumBlock;
    const std::size_t k = blocks.Values(), raw = blocks.Filled(), cells = scores.cells,
                      products = blocks.products;
    std::vector<Summed::Group> out(scores.order.Groups());
    std::vector<std::int64_t> values(raw);
    std::vector<std::uint32_t> laid(raw * B);
    std::vector<std::uint64_t> sums(raw), dots(k);
    for (std::size_t g = 0; g < out.size(); ++g) {
        std::vector<Int128> sum(k, 0), total(products, 0);
        const std::size_t first = scores.order.start[g], last = scores.order.start[g + 1];
        for (std::size_t block = first; block < last; block += B) {
            const std::size_t count = std::min(B, last - block);
            for (std::size_t t = 0; t < B; ++t) {
                if (t < count)
                    fill(&scores.small[(block + t) * cells], values.data());
                else
                    std::fill(values.begin(), values.end(), 0);
                for (std::size_t r = 0; r < raw; ++r)
                    laid[r * B + t] = static_cast<std::uint32_t>(values[r]) ^ 0x80000000u;
            }
            for (std::size_t r = 0; r < raw; ++r) {
                const std::uint32_t* u = &laid[r * B];
                std::uint64_t s = 0;
                for (std::size_t t = 0; t < B; ++t) s += u[t];
                sums[r] = s;
            }
            for (std::size_t i = 0; i < k; ++i)
                sum[i] += static_cast<std::int64_t>(sums[blocks.Source(i)] - (std::uint64_t{B} << 31));
            // sum x_i x_j = sum u_i u_j - 2^31 (sum u_i + sum u_j) + B 2^62, modulo 2^64.
            for (std::size_t i = 0; i < k; ++i) {
                const std::size_t b = blocks.of[i], end = blocks.first[b] + blocks.size[b], u = blocks.Source(i);
                if (blocks.source.empty())
                    BlockProducts(laid.data(), i, end, dots.data());
                else
                    BlockProducts(laid.data(), u, &blocks.source[i], end - i, dots.data());
                Int128* to = &total[blocks.At(i, i)];
                for (std::size_t j = i; j < end; ++j)
                    to[j - i] += static_cast<std::int64_t>(dots[j - i] - ((sums[u] + sums[blocks.Source(j)]) << 31) +
                                                           (std::uint64_t{B} << 62));
            }
        }
        Summed::Group& m = out[g];
        m.n = static_cast<std::int64_t>(last - first);
        m.sum.resize(k), m.centred.resize(products);
        for (std::size_t i = 0; i < k; ++i) m.sum[i] = BigOf(sum[i]);
        const mpz_class n = m.n;
        for (std::size_t i = 0; i < k; ++i) {
            const std::size_t b = blocks.of[i];
            for (std::size_t j = i; j < blocks.first[b] + blocks.size[b]; ++j) {
                const std::size_t at = blocks.At(i, j);
                m.centred[at] = n * BigOf(total[at]) - m.sum[i] * m.sum[j];
                m.centred[blocks.At(j, i)] = m.centred[at];
            }
        }
    }
    return out;
}

// The moments of one pass where the blocked sums do not hold: each value
// and each product within a block summed subject by subject, in 64 and 128
// bits where the values allow (Value std::int64_t, Total Int128), else in
// GMP integers (both mpz_class), from the sure strategy's GMP offsets as
// they are.
template <class Value, class Total, class Fill>
std::vector<Summed::Group> SumDirect(const Scores& scores, const Blocks& blocks, Fill&& fill) {
    constexpr bool wide = std::is_same_v<Value, mpz_class>;
    const std::size_t k = blocks.Values(), cells = scores.cells, products = blocks.products;
    std::vector<Summed::Group> out(scores.order.Groups());
    std::vector<Value> values(k);
    std::vector<mpz_class> row(wide && scores.Quick() ? cells : 0);
    for (std::size_t g = 0; g < out.size(); ++g) {
        std::vector<Total> sum(k, 0), total(products, 0);
        const std::size_t first = scores.order.start[g], last = scores.order.start[g + 1];
        for (std::size_t r = first; r < last; ++r) {
            if constexpr (!wide) {
                fill(&scores.small[r * cells], values.data());
            } else if (scores.Quick()) {
                for (std::size_t c = 0; c < cells; ++c) row[c] = scores.small[r * cells + c];
                fill(static_cast<const mpz_class*>(row.data()), values.data());
            } else {
                fill(&scores.wide[r * cells], values.data());
            }
            for (std::size_t i = 0; i < k; ++i) {
                sum[i] += values[i];
                const std::size_t b = blocks.of[i];
                for (std::size_t j = i; j < blocks.first[b] + blocks.size[b]; ++j) {
                    if constexpr (wide)
                        total[blocks.At(i, j)] += values[i] * values[j];
                    else
                        total[blocks.At(i, j)] += static_cast<Int128>(values[i]) * values[j];
                }
            }
        }
        Summed::Group& m = out[g];
        m.n = static_cast<std::int64_t>(last - first);
        m.sum.resize(k), m.centred.resize(products);
        const auto big = [](const Total& x) -> mpz_class {
            if constexpr (wide)
                return x;
            else
                return BigOf(x);
        };
        for (std::size_t i = 0; i < k; ++i) m.sum[i] = big(sum[i]);
        const mpz_class n = m.n;
        for (std::size_t i = 0; i < k; ++i) {
            const std::size_t b = blocks.of[i];
            for (std::size_t j = i; j < blocks.first[b] + blocks.size[b]; ++j) {
                const std::size_t at = blocks.At(i, j);
                m.centred[at] = n * big(total[at]) - m.sum[i] * m.sum[j];
                m.centred[blocks.At(j, i)] = m.centred[at];
            }
        }
    }
    return out;
}

// A pass's fill where the values are drawn from those it writes (Blocks'
// `source`): it writes them, then each value from its own, for the passes
// that take every value as it is.
template <class Fill>
class DrawnValues {
public:
    DrawnValues(const Blocks& blocks, Fill& fill) : blocks_(blocks), fill_(fill) {}

    template <class Row, class T>
    void operator()(const Row* row, T* out) {
        std::vector<T>& raw = Raw<T>();
        raw.resize(blocks_.Filled());
        fill_(row, raw.data());
        for (std::size_t i = 0; i < blocks_.Values(); ++i) out[i] = raw[blocks_.Source(i)];
    }

private:
    template <class T>
    std::vector<T>& Raw() {
        if constexpr (std::is_same_v<T, mpz_class>)
            return wide_;
        else
            return narrow_;
    }

    const Blocks& blocks_;
    Fill& fill_;
    std::vector<std::int64_t> narrow_;
    std::vector<mpz_class> wide_;
};

// The moments of the values fill(row, out) forms in one pass over the
// subjects, the divisors given, with the same values of the cells'
// references: blocked where that holds, else directly.
template <class Fill>
Summed SumValues(const Scores& scores, Blocks blocks, std::vector<std::int64_t> divisor, long double growth,
                 Fill&& fill) {
    Summed out;
    out.blocks = std::move(blocks);
    out.divisor = std::move(divisor);
    out.reference.assign(out.divisor.size(), 0);
    std::vector<mpz_class> reference = scores.reference;
    reference.resize(scores.cells, 0);
    DrawnValues<Fill> drawn(out.blocks, fill);
    drawn(static_cast<const mpz_class*>(reference.data()), out.reference.data());
    if (BlockedFits(scores, growth))
        out.groups = SumBlocked(scores, out.blocks, fill);
    else if (QuickFits(scores, growth))
        out.groups = SumDirect<std::int64_t, Int128>(scores, out.blocks, drawn);
    else
        out.groups = SumDirect<mpz_class, mpz_class>(scores, out.blocks, drawn);
    return out;
}

// The subject's values that every step reads: its cells, its sums over the
// cells of each level of each within factor, and its sum of all the cells.
// For the means also each cell and each level less the subject's mean
// (Cousineau's normalisation), times the count that keeps them integers:
// C y_c - sum for a cell, k sum_l - sum for a level of k.
class RowValues {
public:
    RowValues(const FactorGrid& grid, bool normalised) : grid_(grid), normalised_(normalised) {
        const std::size_t cells = grid.cells;
        std::size_t next = cells;
        for (std::size_t f = grid.between; f < grid.Factors(); ++f) {
            levelStart_.push_back(next);
            next += grid.levels[f];
        }
        total_ = next++;
        raw_ = next;
        if (normalised) next += raw_ - 1;
        count_ = next;
    }
    // The values: the cells, the level sums and the total (the raw values),
    // then the normalised ones.
    std::size_t Count() const { return count_; }
    std::size_t Cell(std::size_t c) const { return c; }
    // Within factor f (over all factors) at level l.
    std::size_t Level(std::size_t f, std::size_t l) const { return levelStart_[f - grid_.between] + l; }
    std::size_t Total() const { return total_; }
    // The normalised cell or level of a raw index below Total().
    std::size_t Normal(std::size_t raw) const { return raw_ + raw; }

    std::vector<std::int64_t> Divisors() const {
        const auto cells = static_cast<std::int64_t>(grid_.cells);
        std::vector<std::int64_t> d(count_, 1);
        for (std::size_t f = grid_.between; f < grid_.Factors(); ++f)
            for (std::size_t l = 0; l < grid_.levels[f]; ++l)
                d[Level(f, l)] = cells / static_cast<std::int64_t>(grid_.levels[f]);
        d[total_] = cells;
        for (std::size_t i = raw_; i < count_; ++i) d[i] = cells;
        return d;
    }
    // The magnitude of a value over the largest offset.
    long double Growth() const { return 2.0L * static_cast<long double>(grid_.cells) + 2; }

    // Writes the values of `row` into out[0, Count()). A level's sum runs
    // over its cells in their order: the runs of `stride` cells `k stride` apart.
    template <class Row, class T>
    void Fill(const Row* row, T* out) const {
        const std::size_t cells = grid_.cells;
        T total = 0;
        for (std::size_t c = 0; c < cells; ++c) out[c] = row[c], total += out[c];
        for (std::size_t f = 0; f < levelStart_.size(); ++f) {
            T* sums = out + levelStart_[f];
            const std::size_t k = grid_.levels[grid_.between + f], stride = grid_.stride[grid_.between + f];
            for (std::size_t l = 0; l < k; ++l) {
                T sum = 0;
                for (std::size_t outer = l * stride; outer < cells; outer += k * stride)
                    for (std::size_t c = outer; c < outer + stride; ++c) sum += out[c];
                sums[l] = sum;
            }
        }
        if (!normalised_) {
            out[total_] = total;
            return;
        }
        const auto times = [](const T& x, std::size_t m) -> T { return x * static_cast<long>(m); };
        for (std::size_t c = 0; c < cells; ++c) out[raw_ + c] = times(out[c], cells) - total;
        for (std::size_t f = 0; f < levelStart_.size(); ++f) {
            const std::size_t k = grid_.levels[grid_.between + f];
            for (std::size_t l = 0; l < k; ++l)
                out[raw_ + levelStart_[f] + l] = times(out[levelStart_[f] + l], k) - total;
        }
        out[total_] = total;
    }

private:
    const FactorGrid& grid_;
    bool normalised_;
    std::vector<std::size_t> levelStart_;
    std::size_t total_ = 0, raw_ = 0, count_ = 0;
};

// The groups with subjects among those whose between levels a place names
// (kOver: any level).
// The groups are counted out from the place's own, the free factors' levels
// stepped last factor fastest, so that they come in ascending order and the
// time goes with the groups found rather than with all of them.
inline std::vector<std::size_t> GroupsAt(const FactorGrid& grid, const Scores& scores, const Place& at) {
    std::vector<std::size_t> out;
    const std::size_t limit = std::min(grid.groups, scores.order.Groups());
    if (limit == 0) return out;
    std::vector<std::size_t> free;
    for (std::size_t f = 0; f < grid.between; ++f)
        if (at[f] == kOver) free.push_back(f);
    std::vector<std::size_t> level(free.size(), 0);
    const std::size_t base = grid.GroupOf(at);
    for (;;) {
        std::size_t g = base;
        for (std::size_t i = 0; i < free.size(); ++i) g += level[i] * grid.stride[free[i]];
        if (g < limit && scores.order.Size(g) != 0) out.push_back(g);
        std::size_t i = free.size();
        for (; i > 0; --i) {
            if (++level[i - 1] < grid.levels[free[i - 1]]) break;
            level[i - 1] = 0;
        }
        if (i == 0) return out;
    }
}

// Deviations pooled within groups: their sum, the subjects, and the groups
// they are of; the variance is the sum over Df() = subjects - groups.
struct Pooled {
    mpq_class deviations = 0;
    std::int64_t subjects = 0, groups = 0;

    std::int64_t Df() const { return subjects - groups; }
    // The variance, for Df() >= 1.
    mpq_class Variance() const { return deviations / Df(); }
};

inline Pooled Pool(const Summed& sums, std::size_t i, std::size_t j, const std::vector<std::size_t>& groups) {
    Pooled p;
    for (const std::size_t g : groups) {
        p.deviations += sums.Deviations(g, i, j);
        p.subjects += sums.Size(g);
        ++p.groups;
    }
    return p;
}

// An equal-weighted mean of the groups' means of a statistic, and the factor
// that takes the pooled variance to its variance: sum(1 / n_g) / G^2.
struct Weighted {
    mpq_class mean = 0, factor = 0;
};

inline Weighted EqualWeighted(const Summed& sums, std::size_t i, const std::vector<std::size_t>& groups) {
    Weighted w;
    if (groups.empty()) return w;
    for (const std::size_t g : groups) {
        w.mean += sums.Mean(g, i);
        w.factor += mpq_class(1, sums.Size(g));
    }
    const auto count = static_cast<long>(groups.size());
    w.mean /= count;
    w.factor /= count * count;
    return w;
}

// A figure in the integers' unit, rounded once; the root of one in the unit squared.
inline Extended InUnit(const mpq_class& x, const Scores& scores) {
    return Rounded(x * scores.unit);
}
inline Extended RootInUnit(const mpq_class& square, const Scores& scores) {
    return RoundedRoot(square * scores.unit * scores.unit);
}

// centre -/+ factor x se, where both are defined.
inline std::optional<Interval> Around(Extended centre, const std::optional<Extended>& factor,
                                      const std::optional<Extended>& se) {
    if (!factor || !se) return std::nullopt;
    return Interval{centre - *factor * *se, centre + *factor * *se};
}

}  // namespace morvane::anova::detail
