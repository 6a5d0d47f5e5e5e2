#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "runtime/Errors.h"
#include "runtime/Extended.h"

namespace morvane {
namespace {

TEST(Extended, DivisionByZeroAndOverflowRaiseTheirErrors) {
    EXPECT_THROW(CheckedDiv(1, 0), ZeroDivideError);
    EXPECT_THROW(CheckedDiv(-1, 0), ZeroDivideError);
    EXPECT_THROW(CheckedDiv(0, 0), InvalidOperationError);
    EXPECT_THROW(CheckedDiv(-0.0L, 0), InvalidOperationError);
    EXPECT_THROW(CheckedDiv(std::numeric_limits<Extended>::quiet_NaN(), 0), InvalidOperationError);
    const Extended big = std::numeric_limits<Extended>::max();
    EXPECT_THROW(CheckedMul(big, 2), OverflowError);
    EXPECT_THROW(CheckedAdd(big, big), OverflowError);
    EXPECT_THROW(CheckedDiv(big, 0.5L), OverflowError);
    EXPECT_EQ(CheckedDiv(1, 3), 1.0L / 3.0L);
    // Underflow is silent.
    EXPECT_EQ(CheckedMul(std::numeric_limits<Extended>::denorm_min(), 0.25L), 0.0L);
}

// A pair is taken only when it gives its value back bit for bit; every value
// a score text can have short of the doubles' limits is taken.
TEST(Extended, SplitPairsJoinToTheirValueBitForBit) {
    const auto sameBits = [](Extended x, Extended y) { return std::memcmp(&x, &y, 10) == 0; };
    std::mt19937_64 random(14);
    int taken = 0;
    for (int i = 0; i < 200000; ++i) {
        // Random significands over the whole exponent range, signs and denormals too.
        std::uint64_t significand = random() | (i % 7 == 0 ? 0 : std::uint64_t{1} << 63);
        const auto exponent = static_cast<std::uint16_t>(random() % 0x7fff | (random() & 0x8000));
        Extended value = 0;
        std::memcpy(&value, &significand, 8);
        std::memcpy(reinterpret_cast<char*>(&value) + 8, &exponent, 2);
        if (!std::isfinite(value)) continue;
        SplitExtended pair;
        if (!Split(value, pair)) {
            // Refused only beyond the doubles' range or down where their low half underflows.
            EXPECT_TRUE(std::fabs(value) > 1e300L || std::fabs(value) < 1e-290L) << value;
            continue;
        }
        ++taken;
        EXPECT_TRUE(sameBits(Join(pair), value)) << value;
    }
    EXPECT_GT(taken, 2000);
    for (const Extended score : {0.0L, -0.0L, 1.0L, 0.1L, -46.5L, 123456789.123456789L, 1e-20L,
                                 18446744073709551615.0L, -9.99999999999999999e299L}) {
        SplitExtended pair;
        ASSERT_TRUE(Split(score, pair)) << score;
        EXPECT_TRUE(sameBits(Join(pair), score)) << score;
    }
    SplitExtended pair;
    EXPECT_FALSE(Split(std::numeric_limits<Extended>::max(), pair));
    EXPECT_FALSE(Split(std::numeric_limits<Extended>::denorm_min(), pair));
}

}  // namespace
}  // namespace morvane
