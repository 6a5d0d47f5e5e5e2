#include "anova/detail/BlockProducts.h"

namespace morvane::anova::detail {
namespace {

// The sums, a loop the compiler vectorises for the processor it is compiled for.
inline void Products(const std::uint32_t* laid, std::size_t i, std::size_t last, std::uint64_t* products) {
    const std::uint32_t* u = laid + i * kSumBlock;
    for (std::size_t j = i; j < last; ++j) {
        const std::uint32_t* v = laid + j * kSumBlock;
        std::uint64_t c = 0;
        for (std::size_t t = 0; t < kSumBlock; ++t) c += std::uint64_t{u[t]} * v[t];
        products[j - i] = c;
    }
}

void Plain(const std::uint32_t* laid, std::size_t i, std::size_t last, std::uint64_t* products) {
    Products(laid, i, last, products);
}

#if defined(__x86_64__)
// The same on 256-bit vectors, four products a step where plain x86-64 takes two.
__attribute__((target("avx2"))) void Wide(const std::uint32_t* laid, std::size_t i, std::size_t last,
                                          std::uint64_t* products) {
    Products(laid, i, last, products);
}
#endif

using Kernel = void (*)(const std::uint32_t*, std::size_t, std::size_t, std::uint64_t*);

// Once, at the start: the widest kernel the processor runs.
Kernel Chosen() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return Wide;
#endif
    return Plain;
}

const Kernel kChosen = Chosen();

}  // namespace

void BlockProducts(const std::uint32_t* laid, std::size_t i, std::size_t last, std::uint64_t* products) {
    kChosen(laid, i, last, products);
}

}  // namespace morvane::anova::detail
