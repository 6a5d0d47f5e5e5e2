#pragma once
// Private to the exact partition: integers wider than the machine's, and the
// rounding of a ratio of big integers to the extended format.

#include <gmpxx.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "runtime/Extended.h"
#include "runtime/WideInteger.h"

namespace morvane::exact {

using morvane::Int128;
using morvane::UInt128;

// An unsigned 256-bit accumulator of squares, in four 64-bit limbs.
struct UInt256 {
    std::array<std::uint64_t, 4> limb{};

    void AddAt(std::size_t at, UInt128 value) {
        for (std::size_t i = at; i < limb.size() && value != 0; ++i) {
            const UInt128 sum = static_cast<UInt128>(limb[i]) + static_cast<std::uint64_t>(value);
            limb[i] = static_cast<std::uint64_t>(sum);
            value = (value >> 64) + (sum >> 64);
        }
    }
    void MultiplyBy(std::uint64_t factor) {
        std::uint64_t carry = 0;
        for (std::uint64_t& l : limb) {
            const UInt128 product = static_cast<UInt128>(l) * factor + carry;
            l = static_cast<std::uint64_t>(product);
            carry = static_cast<std::uint64_t>(product >> 64);
        }
    }
    void AddSquare(Int128 x) {
        const UInt128 m = x < 0 ? -static_cast<UInt128>(x) : static_cast<UInt128>(x);
        const auto lo = static_cast<std::uint64_t>(m), hi = static_cast<std::uint64_t>(m >> 64);
        AddAt(0, static_cast<UInt128>(lo) * lo);
        const UInt128 cross = static_cast<UInt128>(lo) * hi;
        AddAt(1, cross);
        AddAt(1, cross);
        AddAt(2, static_cast<UInt128>(hi) * hi);
    }
};

mpz_class ToMpz(const UInt256& value);
mpz_class ToMpz(Int128 value);
// A value below 2^127 in magnitude.
Int128 ToInt128(const mpz_class& value);
mpz_class Big(std::int64_t value);
mpz_class PowerOfTen(unsigned long k);

// num / den x 10^scale10 rounded to the nearest extended value, ties to even,
// denormals included; den > 0. OverflowError beyond the extended range.
Extended RoundRational(const mpz_class& num, const mpz_class& den, long scale10);

}  // namespace morvane::exact
