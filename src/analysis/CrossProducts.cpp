#include "analysis/detail/CrossProducts.h"

namespace morvane::analysis {

// Compiled for processors with AVX2 beside the baseline, the one chosen when
// the program starts (four products at a time where two).
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void BlockCrossProducts(const std::uint32_t* z, std::size_t stride, std::size_t k, std::size_t count,
                        std::uint64_t* sums, std::uint64_t* cross) {
    for (std::size_t i = 0; i < k; ++i) {
        const std::uint32_t* zi = z + i * stride;
        std::uint64_t sum = 0;
        for (std::size_t t = 0; t < count; ++t) sum += zi[t];
        sums[i] = sum;
        for (std::size_t j = i; j < k; ++j) {
            const std::uint32_t* zj = z + j * stride;
            std::uint64_t c = 0;
            for (std::size_t t = 0; t < count; ++t) c += std::uint64_t{zi[t]} * zj[t];
            cross[i * k + j] = c;
        }
    }
}

}  // namespace morvane::analysis
