#pragma once
// Powers of ten in each of the program's number types, and a decimal integer
// in units of 10^scale as an extended number: the one home of both, for the
// parse of the scores, the exact sums and the analysis of their offsets.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "runtime/Extended.h"
#include "runtime/WideInteger.h"

namespace morvane {

// 10^k for 0 <= k <= 19, the powers a 64-bit unsigned integer holds.
inline constexpr auto kPowersOfTen64 = [] {
    std::array<std::uint64_t, 20> powers{};
    powers[0] = 1;
    for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * 10;
    return powers;
}();

// 10^k for 0 <= k <= 38, the powers an unsigned 128-bit integer holds.
inline constexpr auto kPowersOfTen128 = [] {
    std::array<UInt128, 39> powers{};
    powers[0] = 1;
    for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * 10;
    return powers;
}();

// 10^k for 0 <= k <= 27, each exact in the extended format (5^27 < 2^64).
inline constexpr auto kExactPowersOfTen = [] {
    std::array<Extended, 28> powers{};
    powers[0] = 1;
    for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * 10;
    return powers;
}();

// 10^|k| in the extended format: exact up to 10^27, beyond it as pow gives it.
inline Extended ExtendedPowerOfTen(int k) {
    const int magnitude = k < 0 ? -k : k;
    if (magnitude < static_cast<int>(kExactPowersOfTen.size()))
        return kExactPowersOfTen[static_cast<std::size_t>(magnitude)];
    return std::pow(Extended{10}, magnitude);
}

// A number in units of 10^scale as an extended value: one rounding where the
// power is exact (|scale| up to 27), a division for a negative scale.
class DecimalUnit {
public:
    explicit DecimalUnit(int scale) : scale_(scale), power_(ExtendedPowerOfTen(scale)) {}
    Extended Of(Extended units) const { return scale_ < 0 ? units / power_ : units * power_; }
    int Scale() const { return scale_; }

private:
    int scale_;
    Extended power_;
};

}  // namespace morvane
