// The statistics on plain numbers, against figures of R and formulas in
// closed form.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "stats/ShapiroWilk.h"

namespace morvane {
namespace {

::testing::AssertionResult Near(std::optional<Extended> value, long double expected,
                                long double relative = 1e-12L) {
    if (!value)
        return ::testing::AssertionFailure() << "undefined, expected " << static_cast<double>(expected);
    if (std::fabs(*value - expected) <= relative * std::max(std::fabs(expected), 1e-300L))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << static_cast<double>(*value) << " against " << static_cast<double>(expected);
}

TEST(ShapiroWilk, ShapiroWilkAgreesWithRAndKnowsItsRange) {
    // W and p of R's shapiro.test: n = 3 (exact p), 5, 8 (the small-sample
    // polynomials), 20 with ties and 300 with many (the large-sample ones).
    std::vector<Extended> x300;
    for (int i = 1; i <= 300; ++i) x300.push_back(static_cast<Extended>(i * 37 % 101) / 10 + i * i % 7);
    const std::pair<std::vector<Extended>, std::pair<long double, long double>> cases[] = {
        {{1, 2, 4}, {0.96428571428571419L, 0.6368868450289632L}},
        {{2.1L, 3.4L, 1.9L, 5.6L, 2.2L}, {0.80329700611012111L, 0.086182840497376775L}},
        {{148, 154, 158, 160, 161, 162, 166, 170}, {0.98228170344392463L, 0.97330291463833463L}},
        {{3, 5, 5, 6, 7, 7, 7, 8, 9, 10, 10, 11, 12, 13, 15, 18, 21, 25, 30, 41},
         {0.82856793741219148L, 0.0023804366944091245L}},
        {x300, {0.98398831576134405L, 0.0019859747859750651L}},
    };
    for (const auto& [values, expected] : cases) {
        SCOPED_TRACE(values.size());
        const ShapiroWilkTest t = ShapiroWilk(values);
        EXPECT_TRUE(t.inRange);
        EXPECT_TRUE(Near(t.w, expected.first, 1e-13L));
        EXPECT_TRUE(Near(t.p, expected.second, 1e-9L));
    }
    EXPECT_FALSE(ShapiroWilk({1, 2}).inRange);
    EXPECT_FALSE(ShapiroWilk(std::vector<Extended>(5001, 1)).inRange);
    const ShapiroWilkTest same = ShapiroWilk({4, 4, 4, 4});
    EXPECT_TRUE(same.inRange);
    EXPECT_FALSE(same.w);
}

}  // namespace
}  // namespace morvane
