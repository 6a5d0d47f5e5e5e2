// The pass over the subjects' inner loop: its sums of biased values, with the
// bias taken off, against sums of the signed values in 128 bits, for every
// width of a block (the vectorised loop's tails) and values at both ends of
// 32 bits.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "analysis/detail/CrossProducts.h"
#include "analysis/detail/Moments.h"

namespace morvane::analysis {
namespace {

TEST(CrossProducts, UnbiasedSumsAreTheSignedSumsModulo2To64) {
    std::mt19937_64 random(3);
    for (const std::int64_t reach : {std::int64_t{1} << 28, std::int64_t{1} << 31}) {
        for (std::size_t k = 1; k <= 11; ++k)
            for (std::size_t count = 1; count <= kBlock; ++count) {
                std::vector<std::int64_t> x(k * kBlock);
                std::vector<std::uint32_t> z(k * kBlock, 0);
                for (std::size_t i = 0; i < k; ++i)
                    for (std::size_t t = 0; t < count; ++t) {
                        // Now and then the very ends, -2^31 and 2^31 - 1 at the wide reach.
                        const std::uint64_t pick = random() % 16;
                        std::int64_t v =
                            static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(2 * reach)) -
                            reach;
                        if (pick == 0) v = -reach;
                        if (pick == 1) v = reach - 1;
                        x[i * kBlock + t] = v;
                        z[i * kBlock + t] = Biased(v);
                    }
                std::vector<std::uint64_t> sums(k), cross(k * k);
                BlockCrossProducts(z.data(), kBlock, k, count, sums.data(), cross.data());
                for (std::size_t i = 0; i < k; ++i) {
                    Int128 sum = 0;
                    for (std::size_t t = 0; t < count; ++t) sum += x[i * kBlock + t];
                    ASSERT_EQ(UnbiasedSum(sums[i], count), static_cast<std::int64_t>(sum));
                    for (std::size_t j = i; j < k; ++j) {
                        Int128 product = 0;
                        for (std::size_t t = 0; t < count; ++t)
                            product += static_cast<Int128>(x[i * kBlock + t]) * x[j * kBlock + t];
                        const std::int64_t got = UnbiasedProduct(cross[i * k + j], sums[i], sums[j], count);
                        // Modulo 2^64 always; exactly where the sum lies within 2^63, as the pass's bound
                        // keeps it.
                        ASSERT_EQ(static_cast<std::uint64_t>(got), static_cast<std::uint64_t>(product))
                            << k << " " << count << " " << i << " " << j;
                        if (reach == (std::int64_t{1} << 28)) {
                            ASSERT_EQ(got, product);
                        }
                    }
                }
            }
    }
}

}  // namespace
}  // namespace morvane::analysis
