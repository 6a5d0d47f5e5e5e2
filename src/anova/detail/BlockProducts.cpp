#include "anova/detail/BlockProducts.h"

namespace morvane::anova::detail {
namespace {

// The sums, a loop the compiler vectorises for the processor it is compiled
// for: of value i with `count` values, the j-th at row(j).
template <class Row>
inline void Products(const std::uint32_t* laid, std::size_t i, std::size_t count, Row row,
                     std::uint64_t* products) {
    const std::uint32_t* u = laid + i * kSumBlock;
    for (std::size_t j = 0; j < count; ++j) {
        const std::uint32_t* v = laid + row(j) * kSumBlock;
        std::uint64_t c = 0;
        for (std::size_t t = 0; t < kSumBlock; ++t) c += std::uint64_t{u[t]} * v[t];
        products[j] = c;
    }
}

// The values following i, or those a list names.
void Following(const std::uint32_t* laid, std::size_t i, std::size_t last, std::uint64_t* products) {
    Products(laid, i, last - i, [i](std::size_t j) { return i + j; }, products);
}
void Listed(const std::uint32_t* laid, std::size_t i, const std::size_t* rows, std::size_t count,
            std::uint64_t* products) {
    Products(laid, i, count, [rows](std::size_t j) { return rows[j]; }, products);
}

#if defined(__x86_64__)
// The same on 256-bit vectors, four products a step where plain x86-64 takes two.
__attribute__((target("avx2"))) void WideFollowing(const std::uint32_t* laid, std::size_t i, std::size_t last,
                                                   std::uint64_t* products) {
    Products(laid, i, last - i, [i](std::size_t j) { return i + j; }, products);
}
__attribute__((target("avx2"))) void WideListed(const std::uint32_t* laid, std::size_t i, const std::size_t* rows,
                                                std::size_t count, std::uint64_t* products) {
    Products(laid, i, count, [rows](std::size_t j) { return rows[j]; }, products);
}
#endif

// Once, at the start: the widest kernels the processor runs.
struct Kernels {
    void (*following)(const std::uint32_t*, std::size_t, std::size_t, std::uint64_t*) = Following;
    void (*listed)(const std::uint32_t*, std::size_t, const std::size_t*, std::size_t, std::uint64_t*) = Listed;
};

Kernels Chosen() {
    Kernels k;
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) k.following = WideFollowing, k.listed = WideListed;
#endif
    return k;
}

const Kernels kChosen = Chosen();

}  // namespace

void BlockProducts(const std::uint32_t* laid, std::size_t i, std::size_t last, std::uint64_t* products) {
    kChosen.following(laid, i, last, products);
}

void BlockProducts(const std::uint32_t* laid, std::size_t i, const std::size_t* rows, std::size_t count,
                   std::uint64_t* products) {
    kChosen.listed(laid, i, rows, count, products);
}

}  // namespace morvane::anova::detail
