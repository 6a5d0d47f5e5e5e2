#pragma once
// Private to the full analysis: the inner loop of the pass over the subjects,
// the sums over a block of subjects of each of k integer values and of every
// product of two of them.

#include <cstddef>
#include <cstdint>

namespace morvane::analysis {

// z[i * stride + t] holds value i of the block's subject t (t < count) as an
// unsigned 32-bit number: the value plus 2^31. Each product of two is then an
// exact unsigned 64-bit multiply, which the processor does several at a time.
// Writes sums[i] and cross[i * k + j] for j >= i, exact modulo 2^64.
void BlockCrossProducts(const std::uint32_t* z, std::size_t stride, std::size_t k, std::size_t count,
                        std::uint64_t* sums, std::uint64_t* cross);

// A value within 2^31 as BlockCrossProducts takes it: plus 2^31, in 32 bits.
inline std::uint32_t Biased(std::int64_t v) {
    return static_cast<std::uint32_t>(v) ^ 0x80000000u;
}

// The bias taken off again, modulo 2^64: of `count` values' sum, and of the
// sum of x_i x_j from that of u_i u_j and the sums of u_i and u_j:
// sum x_i x_j = sum u_i u_j - 2^31 (sum u_i + sum u_j) + count 2^62.
// Exact where the true sum lies within 2^63.
inline std::int64_t UnbiasedSum(std::uint64_t sum, std::uint64_t count) {
    return static_cast<std::int64_t>(sum - (count << 31));
}
inline std::int64_t UnbiasedProduct(std::uint64_t cross, std::uint64_t sumI, std::uint64_t sumJ,
                                    std::uint64_t count) {
    return static_cast<std::int64_t>(cross - ((sumI + sumJ) << 31) + (count << 62));
}

}  // namespace morvane::analysis
