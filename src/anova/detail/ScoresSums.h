#pragma once
// Private to the engine: the exact sums of values formed from the subjects'
// rows, a group at a time (SumGroups of Scores.h, a template over the values a
// step forms), and the accumulator behind it that other passes feed directly.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "anova/detail/Scores.h"

namespace morvane::anova::detail {

mpz_class BigOf(Int128 value);

// Whether values of magnitude up to growth x the largest offset, and sums of
// their products over n subjects, stay within 64 and 128 bits.
inline bool QuickFits(const Scores& scores, long double growth) {
    if (!scores.Quick()) return false;
    const long double v = growth * static_cast<long double>(std::max<std::int64_t>(scores.bound, 1));
    const auto n = static_cast<long double>(std::max<std::size_t>(scores.subjects, 1));
    return v < 0x1p62L && n * v * v < 0x1p125L;
}

// The sums of k 64-bit values over a group's subjects and of their products
// (every pair, or each value's square alone), exact. The values of a block of
// subjects are gathered value by value; where their products are small
// enough, each pair's products over the block are summed in 64 bits (a loop
// the compiler vectorises) before the 128-bit totals take them.
class QuickSums {
public:
    static constexpr std::size_t kBlock = 32;

    // `bound`: the largest magnitude a value takes.
    QuickSums(std::size_t k, bool crossed, long double bound)
        : k_(k),
          crossed_(crossed),
          narrow_(bound * bound * kBlock < 0x1p62L),
          block_(k * kBlock),
          sum_(k, 0),
          cross_(crossed ? k * k : k, 0) {}

    // The slots of the next subject's values: value i at [i * kBlock].
    std::int64_t* Next() {
        if (count_ == kBlock) Flush();
        return &block_[count_++];
    }

    // The moments of the values summed, over `n` subjects.
    CrossMoments Finish(std::int64_t n) {
        Flush();
        CrossMoments m;
        m.n = n, m.k = k_, m.crossed = crossed_;
        m.sum.resize(k_);
        m.centred.resize(cross_.size());
        for (std::size_t i = 0; i < k_; ++i) m.sum[i] = BigOf(sum_[i]);
        const mpz_class count = n;
        for (std::size_t i = 0; i < k_; ++i)
            for (std::size_t j = crossed_ ? i : 0; j < (crossed_ ? k_ : 1); ++j) {
                const std::size_t at = crossed_ ? i * k_ + j : i;
                m.centred[at] = count * BigOf(cross_[at]) - m.sum[i] * m.sum[crossed_ ? j : i];
                if (crossed_) m.centred[j * k_ + i] = m.centred[at];
            }
        return m;
    }

private:
    void Flush() {
        const std::size_t t = count_;
        for (std::size_t i = 0; i < k_; ++i) {
            const std::int64_t* vi = &block_[i * kBlock];
            std::int64_t s = 0;
            for (std::size_t r = 0; r < t; ++r) s += vi[r];
            sum_[i] += s;
            const std::size_t first = crossed_ ? i : 0, last = crossed_ ? k_ : 1;
            for (std::size_t jj = first; jj < last; ++jj) {
                const std::int64_t* vj = crossed_ ? &block_[jj * kBlock] : vi;
                Int128& to = cross_[crossed_ ? i * k_ + jj : i];
                if (narrow_) {
                    std::int64_t c = 0;
                    for (std::size_t r = 0; r < t; ++r) c += vi[r] * vj[r];
                    to += c;
                } else {
                    for (std::size_t r = 0; r < t; ++r) to += static_cast<Int128>(vi[r]) * vj[r];
                }
            }
        }
        count_ = 0;
    }

    std::size_t k_;
    bool crossed_, narrow_;
    std::vector<std::int64_t> block_;
    std::vector<Int128> sum_, cross_;
    std::size_t count_ = 0;
};

// The same in GMP integers, a subject at a time.
class SureSums {
public:
    SureSums(std::size_t k, bool crossed) : k_(k), crossed_(crossed), values_(k), sum_(k, 0), cross_(crossed ? k * k : k, 0) {}

    mpz_class* Next() {
        if (pending_) Add();
        pending_ = true;
        return values_.data();
    }

    CrossMoments Finish(std::int64_t n) {
        if (pending_) Add();
        CrossMoments m;
        m.n = n, m.k = k_, m.crossed = crossed_;
        m.sum = sum_;
        m.centred.resize(cross_.size());
        const mpz_class count = n;
        for (std::size_t i = 0; i < k_; ++i)
            for (std::size_t j = crossed_ ? i : 0; j < (crossed_ ? k_ : 1); ++j) {
                const std::size_t at = crossed_ ? i * k_ + j : i;
                m.centred[at] = count * cross_[at] - sum_[i] * sum_[crossed_ ? j : i];
                if (crossed_) m.centred[j * k_ + i] = m.centred[at];
            }
        return m;
    }

private:
    void Add() {
        for (std::size_t i = 0; i < k_; ++i) {
            sum_[i] += values_[i];
            if (!crossed_) {
                cross_[i] += values_[i] * values_[i];
                continue;
            }
            for (std::size_t j = i; j < k_; ++j) cross_[i * k_ + j] += values_[i] * values_[j];
        }
        pending_ = false;
    }

    std::size_t k_;
    bool crossed_;
    std::vector<mpz_class> values_, sum_, cross_;
    bool pending_ = false;
};

template <class Fill>
std::vector<CrossMoments> SumGroups(const Scores& scores, std::size_t k, bool crossed, long double growth,
                                    Fill&& fill) {
    const std::size_t groups = scores.order.Groups(), cells = scores.cells;
    std::vector<CrossMoments> out(groups);
    const bool quick = QuickFits(scores, growth);
    const long double bound = growth * static_cast<long double>(std::max<std::int64_t>(scores.bound, 1));
    std::vector<std::int64_t> quickRow(quick ? cells : 0), quickValues(quick ? k : 0);
    std::vector<mpz_class> sureRow(quick ? 0 : cells);
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t first = scores.order.start[g], last = scores.order.start[g + 1];
        const auto n = static_cast<std::int64_t>(last - first);
        if (quick) {
            QuickSums sums(k, crossed, bound);
            for (std::size_t r = first; r < last; ++r) {
                const std::int32_t* row = &scores.small[r * cells];
                std::copy_n(row, cells, quickRow.begin());
                fill(static_cast<const std::int64_t*>(quickRow.data()), quickValues.data());
                std::int64_t* slot = sums.Next();
                for (std::size_t i = 0; i < k; ++i) slot[i * QuickSums::kBlock] = quickValues[i];
            }
            out[g] = sums.Finish(n);
            continue;
        }
        SureSums sums(k, crossed);
        for (std::size_t r = first; r < last; ++r) {
            if (scores.Quick())
                for (std::size_t c = 0; c < cells; ++c) sureRow[c] = scores.small[r * cells + c];
            else
                std::copy_n(&scores.wide[r * cells], cells, sureRow.begin());
            fill(static_cast<const mpz_class*>(sureRow.data()), sums.Next());
        }
        out[g] = sums.Finish(n);
    }
    return out;
}

}  // namespace morvane::anova::detail
