#include "exact/WideIntegers.h"

#include <algorithm>
#include <cmath>

#include "runtime/Errors.h"

namespace morvane::exact {

mpz_class ToMpz(const UInt256& value) {
    mpz_class out;
    mpz_import(out.get_mpz_t(), value.limb.size(), -1, sizeof(std::uint64_t), 0, 0, value.limb.data());
    return out;
}

mpz_class ToMpz(Int128 value) {
    const UInt128 m = value < 0 ? -static_cast<UInt128>(value) : static_cast<UInt128>(value);
    const std::uint64_t limbs[2] = {static_cast<std::uint64_t>(m), static_cast<std::uint64_t>(m >> 64)};
    mpz_class out;
    mpz_import(out.get_mpz_t(), 2, -1, sizeof(std::uint64_t), 0, 0, limbs);
    if (value < 0) out = -out;
    return out;
}

Int128 ToInt128(const mpz_class& value) {
    std::uint64_t limbs[2] = {0, 0};
    std::size_t count = 0;
    mpz_export(limbs, &count, -1, sizeof(std::uint64_t), 0, 0, value.get_mpz_t());
    const auto m = static_cast<Int128>((static_cast<UInt128>(limbs[1]) << 64) | limbs[0]);
    return value < 0 ? -m : m;
}

mpz_class PowerOfTen(unsigned long k) {
    mpz_class out;
    mpz_ui_pow_ui(out.get_mpz_t(), 10, k);
    return out;
}

mpz_class Big(std::int64_t v) {
    mpz_class out;
    mpz_set_si(out.get_mpz_t(), static_cast<long>(v));
    return out;
}

Extended RoundRational(const mpz_class& num, const mpz_class& den, long scale10) {
    if (num == 0) return 0;
    mpz_class p = abs(num), q = den;
    if (scale10 >= 0)
        p *= PowerOfTen(static_cast<unsigned long>(scale10));
    else
        q *= PowerOfTen(static_cast<unsigned long>(-scale10));
    // p / q lies in [2^(e-1), 2^(e+1)); a unit of 2^u with u = e - 64 leaves a
    // quotient of 64 or 65 bits, one more unit when 65.
    const long e = static_cast<long>(mpz_sizeinbase(p.get_mpz_t(), 2)) -
                   static_cast<long>(mpz_sizeinbase(q.get_mpz_t(), 2));
    constexpr long kMinUnit = -16445;  // the unit of the smallest denormal
    long u = std::max(e - 64, kMinUnit);
    mpz_class r, rem;
    const auto divide = [&](long unit) {
        mpz_class top = p, bottom = q;
        if (unit < 0)
            mpz_mul_2exp(top.get_mpz_t(), top.get_mpz_t(), static_cast<mp_bitcnt_t>(-unit));
        else
            mpz_mul_2exp(bottom.get_mpz_t(), bottom.get_mpz_t(), static_cast<mp_bitcnt_t>(unit));
        mpz_fdiv_qr(r.get_mpz_t(), rem.get_mpz_t(), top.get_mpz_t(), bottom.get_mpz_t());
        return bottom;
    };
    mpz_class bottom = divide(u);
    if (mpz_sizeinbase(r.get_mpz_t(), 2) > 64) bottom = divide(++u);
    const int half = cmp(2 * rem, bottom);
    if (half > 0 || (half == 0 && mpz_odd_p(r.get_mpz_t()))) ++r;
    if (u + static_cast<long>(mpz_sizeinbase(r.get_mpz_t(), 2)) > 16384) ThrowOverflow();
    Extended value;
    if (mpz_sizeinbase(r.get_mpz_t(), 2) > 64)  // rounded up to 2^64
        value = std::ldexp(Extended{1}, static_cast<int>(u + 64));
    else
        value = std::ldexp(static_cast<Extended>(mpz_get_ui(r.get_mpz_t())), static_cast<int>(u));
    return num < 0 ? -value : value;
}

}  // namespace morvane::exact
