#include "anova/detail/CheckPasses.h"

#include <bit>
#include <cmath>
#include <limits>

#include "runtime/Errors.h"

namespace morvane::anova::detail {

WithinTables::WithinTables(const std::vector<DesignFactor>& within) : factors(within.size()) {
    for (const DesignFactor& f : within) levels.push_back(f.levels.size()), cells *= f.levels.size();
    std::vector<std::size_t> stride(factors, 1);
    for (std::size_t f = factors; f-- > 1;) stride[f - 1] = stride[f] * levels[f];
    const std::size_t masks = std::size_t{1} << factors;
    place.assign(masks, std::vector<std::uint32_t>(cells, 0));
    size.assign(masks, 1);
    for (std::size_t m = 0; m < masks; ++m) {
        for (std::size_t f = 0; f < factors; ++f)
            if (m >> f & 1u) size[m] *= levels[f];
        for (std::size_t c = 0; c < cells; ++c) {
            std::size_t at = 0;
            for (std::size_t f = 0; f < factors; ++f)
                if (m >> f & 1u) at = at * levels[f] + c / stride[f] % levels[f];
            place[m][c] = static_cast<std::uint32_t>(at);
        }
    }
}

std::size_t WithinTables::Stride(std::uint32_t mask, std::size_t f) const {
    std::size_t stride = 1;
    for (std::size_t g = f + 1; g < factors; ++g)
        if (mask >> g & 1u) stride *= levels[g];
    return stride;
}

int SignOf(std::uint32_t e, std::uint32_t u) {
    return (std::popcount(e) - std::popcount(u)) % 2 == 0 ? 1 : -1;
}

std::vector<std::uint32_t> SubsetsOf(std::uint32_t e) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t u = e;; u = (u - 1) & e) {
        out.push_back(u);
        if (u == 0) break;
    }
    return out;
}

Extended ExtendedOf(const mpz_class& v) {
    if (mpz_sizeinbase(v.get_mpz_t(), 2) <= 63) return static_cast<Extended>(v.get_si());
    return ExtendedOf(mpq_class(v));
}

Extended ExtendedOf(const mpq_class& v) {
    try {
        return Rounded(v);
    } catch (const OverflowError&) {
        return sgn(v) < 0 ? -std::numeric_limits<Extended>::infinity()
                          : std::numeric_limits<Extended>::infinity();
    }
}

}  // namespace morvane::anova::detail
