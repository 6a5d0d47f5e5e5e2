#include <gtest/gtest.h>

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

}  // namespace
}  // namespace morvane
