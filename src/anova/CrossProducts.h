#pragma once
// Private to the full analysis: the inner loop of the pass over the subjects,
// the sums over a block of subjects of each of k integer values and of every
// product of two of them.

#include <cstddef>
#include <cstdint>

namespace morvane::anova {

// z[i * stride + t] holds value i of the block's subject t (t < count) as an
// unsigned 32-bit number: the value plus 2^31. Each product of two is then an
// exact unsigned 64-bit multiply, which the processor does several at a time.
// Writes sums[i] and cross[i * k + j] for j >= i, exact modulo 2^64.
void BlockCrossProducts(const std::uint32_t* z, std::size_t stride, std::size_t k, std::size_t count,
                        std::uint64_t* sums, std::uint64_t* cross);

}  // namespace morvane::anova
