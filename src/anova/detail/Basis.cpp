#include "anova/detail/Basis.h"

#include <cmath>

namespace morvane::anova::detail {

WithinBasis::WithinBasis(const std::vector<DesignFactor>& within) {
    for (const DesignFactor& f : within) levels.push_back(f.levels.size()), cells *= f.levels.size();
    mask.resize(cells);
    squaredLength.resize(cells);
    of.resize(std::size_t{1} << levels.size());
    whole.assign(of.size(), true);
    for (std::size_t c = 0; c < cells; ++c) {
        std::size_t rest = c;
        std::uint32_t bits = 0;
        mpz_class length = 1;
        for (std::size_t f = levels.size(); f-- > 0;) {
            const std::size_t r = rest % levels[f];
            rest /= levels[f];
            if (r == 0) {
                length *= static_cast<unsigned long>(levels[f]);
            } else {
                bits |= std::uint32_t{1} << f;
                length *= static_cast<unsigned long>(r * (r + 1));
            }
        }
        mask[c] = bits;
        squaredLength[c] = length;
        of[bits].push_back(c);
    }
}

long double WithinBasis::Growth() const {
    long double growth = 1;
    for (const std::size_t l : levels) growth *= static_cast<long double>(std::max(l, 2 * (l - 1)));
    return growth;
}

mpq_class ExactValue(Extended x) {
    if (x == 0) return 0;
    int e = 0;
    const Extended m = std::frexp(std::fabs(x), &e);  // [0.5, 1)
    const auto mantissa = static_cast<unsigned long>(std::ldexp(m, 64));
    mpq_class out{mpz_class(mantissa)};
    const long shift = e - 64;
    if (shift >= 0)
        mpz_mul_2exp(out.get_num_mpz_t(), out.get_num_mpz_t(), static_cast<mp_bitcnt_t>(shift));
    else
        mpz_mul_2exp(out.get_den_mpz_t(), out.get_den_mpz_t(), static_cast<mp_bitcnt_t>(-shift));
    out.canonicalize();
    return x < 0 ? mpq_class(-out) : out;
}

}  // namespace morvane::anova::detail
