#pragma once
// Private to the engine: the sums of products over a block of subjects that
// the passes over the subjects spend their time in, on the processor's
// widest integer vectors.

#include <cstddef>
#include <cstdint>

namespace morvane::anova::detail {

// How many subjects the blocked sums take at a time (64-bit sums of their
// products before the 128-bit totals take them).
inline constexpr std::size_t kSumBlock = 32;

// For values laid out kSumBlock apart in 32 bits (value v's at laid[v kSumBlock]):
// products[j - i] = the sum over the block of value i times value j, for j
// from i to last - 1, exact modulo 2^64.
void BlockProducts(const std::uint32_t* laid, std::size_t i, std::size_t last, std::uint64_t* products);
// The same for value i with values rows[0 .. count): products[j].
void BlockProducts(const std::uint32_t* laid, std::size_t i, const std::size_t* rows, std::size_t count,
                   std::uint64_t* products);

}  // namespace morvane::anova::detail
