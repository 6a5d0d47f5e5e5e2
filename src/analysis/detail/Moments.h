#pragma once
// Private to the full analysis: the first and second moments of the subjects'
// values, summed a block of subjects at a time, in either of two arithmetics
// (the traits below): extended numbers, or integers summed exactly.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

#include "analysis/detail/CrossProducts.h"
#include "runtime/Extended.h"
#include "runtime/PowersOfTen.h"
#include "runtime/WideInteger.h"
#include "stats/Matrices.h"

namespace morvane::analysis {

// How many subjects the pass over the scores takes at a time: each statistic
// is summed over a block in registers before its totals are updated.
constexpr std::size_t kBlock = 32;

// The mean of one value over the subjects and the sum of its squared deviations.
struct Moment {
    Extended mean = 0, m2 = 0;
    // Where the pass summed integers: the exact sums behind the two, from which
    // the figures are formed exactly (ExactMoments.h).
    struct Exact {
        Int128 sum = 0;      // of the values, each `divisor` times the statistic's, in units of 10^scale
        Int128 centred = 0;  // n times the sum of the values' squares less sum^2
        std::int64_t divisor = 1;
        // The reference the values are offsets from, times the divisor (the
        // sum of the references of the cells a value sums), in units.
        Int128 referenceTotal = 0;
    };
    std::optional<Exact> exact;
};

// A subject's values as extended numbers: the statistics themselves, summed as
// deviations from the first subject's value (which keeps the digits of values
// far from zero). The divisors and the unit of the integer values do not apply.
struct ExtendedArithmetic {
    using Value = Extended;  // a subject's value and its sums over a block
    using Total = Extended;  // a sum over all the subjects
    static constexpr bool kShifted = true;

    static Moment Finish(Value shift, Total s1, Total s2, std::size_t n, Extended /*divisor*/,
                         const DecimalUnit& /*unit*/) {
        const auto N = static_cast<Extended>(n);
        return {shift + s1 / N, std::max(Extended{0}, s2 - s1 * s1 / N), std::nullopt};
    }
    // An entry of the covariance matrix with divisor n - 1 (n > 1).
    static Extended Covariance(Total s1i, Total s1j, Total s2, std::size_t n, Extended /*divisors*/,
                               const DecimalUnit& /*unit*/) {
        const auto N = static_cast<Extended>(n);
        return (s2 - s1i * s1j / N) / (N - 1);
    }
};

// A subject's values as integers: the statistics times a divisor of their own
// (a sum over levels for a mean, the length of an integer contrast), in units
// of 10^scale. A block's sums are taken in 64 bits and the totals in 128, which
// the caller's bound on the values keeps from overflowing; each statistic is
// centred exactly (n s2 - s1 s1) and rounded once as it is divided back.
struct IntegerArithmetic {
    using Value = std::int64_t;
    using Total = Int128;
    static constexpr bool kShifted = false;

    static Moment Finish(Value /*shift*/, Total s1, Total s2, std::size_t n, Extended divisor,
                         const DecimalUnit& unit) {
        const auto N = static_cast<Extended>(n);
        const Int128 exactCentred = static_cast<Int128>(n) * s2 - s1 * s1;
        const auto centred = static_cast<Extended>(exactCentred);
        return {unit.Of(static_cast<Extended>(s1) / (N * divisor)),
                unit.Of(unit.Of(centred / (N * divisor * divisor))),
                Moment::Exact{s1, exactCentred, static_cast<std::int64_t>(divisor), 0}};
    }
    // `divisors`: the product of the two values' divisors.
    static Extended Covariance(Total s1i, Total s1j, Total s2, std::size_t n, Extended divisors,
                               const DecimalUnit& unit) {
        const auto N = static_cast<Extended>(n);
        const Int128 centred = static_cast<Int128>(n) * s2 - s1i * s1j;
        return unit.Of(unit.Of(static_cast<Extended>(centred) / (N * (N - 1)) / divisors));
    }
};

// The moments of one value over the subjects.
template <typename Arithmetic>
class Moments {
public:
    using Value = typename Arithmetic::Value;

    // value(t): the value of the block's subject t; `first` is the block's first subject.
    template <typename Of>
    void AddBlock(std::size_t first, std::size_t count, Of&& value) {
        if (Arithmetic::kShifted && first == 0) shift_ = value(0);
        Value b1 = 0, b2 = 0;
        for (std::size_t t = 0; t < count; ++t) {
            const Value d = Deviation(value(t));
            b1 += d;
            b2 += d * d;
        }
        s1_ += b1;
        s2_ += b2;
    }
    // AddBlock of this and `other` at once: two independent pairs of sums.
    template <typename Of, typename OtherOf>
    void AddBlockWith(Moments& other, std::size_t first, std::size_t count, Of&& value,
                      OtherOf&& otherValue) {
        if (Arithmetic::kShifted && first == 0) {
            shift_ = value(0);
            other.shift_ = otherValue(0);
        }
        Value b1 = 0, b2 = 0, c1 = 0, c2 = 0;
        for (std::size_t t = 0; t < count; ++t) {
            const Value d = Deviation(value(t));
            const Value e = other.Deviation(otherValue(t));
            b1 += d;
            b2 += d * d;
            c1 += e;
            c2 += e * e;
        }
        s1_ += b1;
        s2_ += b2;
        other.s1_ += c1;
        other.s2_ += c2;
    }
    // A block's sums of the values and of their squares, summed elsewhere.
    void AddSums(Value b1, Value b2) {
        s1_ += b1;
        s2_ += b2;
    }
    // Over n subjects (n > 0), the values being `divisor` times the statistic's, in `unit`.
    Moment Finished(std::size_t n, Extended divisor, const DecimalUnit& unit) const {
        return Arithmetic::Finish(shift_, s1_, s2_, n, divisor, unit);
    }

private:
    Value Deviation(Value v) const {
        if constexpr (Arithmetic::kShifted)
            return v - shift_;
        else
            return v;
    }

    Value shift_ = 0;
    typename Arithmetic::Total s1_ = 0, s2_ = 0;
};

// The same for k values at once, with the sums of their cross products: their
// covariance matrix.
template <typename Arithmetic>
class Covariance {
public:
    using Value = typename Arithmetic::Value;

    explicit Covariance(std::size_t k = 0) : k_(k), shift_(k, 0), s1_(k, 0), s2_(k * k, 0) {}

    // fill(t, z) writes the k values of the block's subject t into z.
    template <typename Fill>
    void AddBlock(std::size_t first, std::size_t count, Fill&& fill) {
        if (k_ == 0) return;
        if constexpr (std::is_same_v<Value, std::int64_t>) return AddIntegerBlock(count, fill);
        block_.resize(k_ * kBlock);
        row_.resize(k_);
        for (std::size_t t = 0; t < count; ++t) {
            fill(t, row_.data());
            if (Arithmetic::kShifted && first == 0 && t == 0) shift_ = row_;
            for (std::size_t i = 0; i < k_; ++i) block_[i * kBlock + t] = Deviation(i);
        }
        for (std::size_t i = 0; i < k_; ++i) {
            const Value* zi = &block_[i * kBlock];
            Value sum = 0;
            for (std::size_t t = 0; t < count; ++t) sum += zi[t];
            s1_[i] += sum;
            // Four cross products at a time, each summed over the block in
            // subject order: four independent chains of additions.
            std::size_t j = i;
            for (; j + 4 <= k_; j += 4) {
                const Value *z0 = &block_[j * kBlock], *z1 = z0 + kBlock, *z2 = z1 + kBlock,
                            *z3 = z2 + kBlock;
                Value c0 = 0, c1 = 0, c2 = 0, c3 = 0;
                for (std::size_t t = 0; t < count; ++t) {
                    const Value x = zi[t];
                    c0 += x * z0[t];
                    c1 += x * z1[t];
                    c2 += x * z2[t];
                    c3 += x * z3[t];
                }
                typename Arithmetic::Total* row = &s2_[i * k_ + j];
                row[0] += c0;
                row[1] += c1;
                row[2] += c2;
                row[3] += c3;
            }
            for (; j < k_; ++j) {
                const Value* zj = &block_[j * kBlock];
                Value cross = 0;
                for (std::size_t t = 0; t < count; ++t) cross += zi[t] * zj[t];
                s2_[i * k_ + j] += cross;
            }
        }
    }
    // The covariance matrix with divisor n - 1 (n > 1), value i being
    // divisors[i] times the statistic's, in `unit`.
    SquareMatrix Finished(std::size_t n, const std::vector<Extended>& divisors, const DecimalUnit& unit) const {
        SquareMatrix c(k_);
        for (std::size_t i = 0; i < k_; ++i)
            for (std::size_t j = i; j < k_; ++j)
                c(j, i) = c(i, j) = Arithmetic::Covariance(s1_[i], s1_[j], s2_[i * k_ + j], n,
                                                           divisors[i] * divisors[j], unit);
        return c;
    }

    // Of the integer pass: n times each value's sum of squares less its sum
    // squared, exactly (the diagonal of the covariance times n (n - 1)).
    std::vector<Int128> CentredDiagonal(std::size_t n) const {
        std::vector<Int128> out(k_);
        for (std::size_t i = 0; i < k_; ++i)
            out[i] = static_cast<Int128>(n) * static_cast<Int128>(s2_[i * k_ + i]) -
                     static_cast<Int128>(s1_[i]) * static_cast<Int128>(s1_[i]);
        return out;
    }

private:
    // The integer pass's values lie within 2^31 (its bound keeps a block's
    // sums of squares within 2^62): biased by 2^31 into unsigned 32 bits, the
    // block's sums come exact modulo 2^64, and so, as the bound keeps them
    // within 2^63, the signed sums do after the bias is taken off.
    template <typename Fill>
    void AddIntegerBlock(std::size_t count, Fill&& fill) {
        biased_.resize(k_ * kBlock);
        row_.resize(k_);
        sums_.resize(k_);
        cross_.resize(k_ * k_);
        for (std::size_t t = 0; t < count; ++t) {
            fill(t, row_.data());
            for (std::size_t i = 0; i < k_; ++i) biased_[i * kBlock + t] = Biased(row_[i]);
        }
        BlockCrossProducts(biased_.data(), kBlock, k_, count, sums_.data(), cross_.data());
        for (std::size_t i = 0; i < k_; ++i) {
            s1_[i] += UnbiasedSum(sums_[i], count);
            for (std::size_t j = i; j < k_; ++j)
                s2_[i * k_ + j] += UnbiasedProduct(cross_[i * k_ + j], sums_[i], sums_[j], count);
        }
    }

    Value Deviation(std::size_t i) const {
        if constexpr (Arithmetic::kShifted)
            return row_[i] - shift_[i];
        else
            return row_[i];
    }

    std::size_t k_;
    std::vector<Value> shift_;
    std::vector<typename Arithmetic::Total> s1_, s2_;
    std::vector<Value> block_, row_;
    std::vector<std::uint32_t> biased_;
    std::vector<std::uint64_t> sums_, cross_;
};

}  // namespace morvane::analysis
