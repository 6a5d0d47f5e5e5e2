// Large arrays on huge pages: a vector of one owner's own lies on huge-page
// boundaries from 2 MiB on, and keeps its items as it grows past that size
// and shrinks below it, values given kept; AssignLarge fills an ordinary vector.

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "runtime/MemoryBudget.h"

namespace morvane {
namespace {

TEST(LargeArrays, LieOnHugePagesAndKeepTheirItems) {
    constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
    LargeVector<std::int32_t> items(1000);
    std::iota(items.begin(), items.end(), 0);
    items.resize(3 << 20);  // 12 MiB: moved onto huge pages
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(items.data()) % kHuge, 0u);
    for (std::int32_t i = 0; i < 1000; ++i) ASSERT_EQ(items[static_cast<std::size_t>(i)], i);
    items.back() = 7;
    LargeVector<std::int32_t> copy = items;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(copy.data()) % kHuge, 0u);
    EXPECT_EQ(copy.back(), 7);
    items.resize(10);
    items.shrink_to_fit();  // back to an ordinary allocation
    EXPECT_EQ(items[9], 9);
    items.resize(20, -3);
    EXPECT_EQ(items[19], -3);

    std::vector<std::int64_t> plain{1, 2, 3};
    AssignLarge(plain, 1 << 19, std::int64_t{-5});
    ASSERT_EQ(plain.size(), std::size_t{1} << 19);
    EXPECT_EQ(plain.front(), -5);
    EXPECT_EQ(plain.back(), -5);
}

}  // namespace
}  // namespace morvane
