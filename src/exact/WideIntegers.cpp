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

namespace {

// The integers of a rounding, one set for each thread, kept from one rounding
// to the next so that their memory is not asked for again: the rounding of
// figures runs many thousands of times an analysis.
struct RoundingScratch {
    mpz_t p, q, top, bottom, r, rem;
    RoundingScratch() { mpz_inits(p, q, top, bottom, r, rem, nullptr); }
    ~RoundingScratch() { mpz_clears(p, q, top, bottom, r, rem, nullptr); }
    RoundingScratch(const RoundingScratch&) = delete;
    RoundingScratch& operator=(const RoundingScratch&) = delete;
};

RoundingScratch& Scratch() {
    thread_local RoundingScratch scratch;
    return scratch;
}

}  // namespace

Extended RoundRational(const mpz_class& num, const mpz_class& den, long scale10) {
    if (num == 0) return 0;
    RoundingScratch& s = Scratch();
    mpz_abs(s.p, num.get_mpz_t());
    mpz_set(s.q, den.get_mpz_t());
    if (scale10 > 0)
        mpz_mul(s.p, s.p, PowerOfTen(static_cast<unsigned long>(scale10)).get_mpz_t());
    else if (scale10 < 0)
        mpz_mul(s.q, s.q, PowerOfTen(static_cast<unsigned long>(-scale10)).get_mpz_t());
    // p / q lies in [2^(e-1), 2^(e+1)); a unit of 2^u with u = e - 64 leaves a
    // quotient of 64 or 65 bits, one more unit when 65.
    const long e = static_cast<long>(mpz_sizeinbase(s.p, 2)) - static_cast<long>(mpz_sizeinbase(s.q, 2));
    constexpr long kMinUnit = -16445;  // the unit of the smallest denormal
    long u = std::max(e - 64, kMinUnit);
    // r = p / (q 2^unit) rounded down, rem what is left over `bottom`.
    const auto divide = [&](long unit) {
        if (unit < 0) {
            mpz_mul_2exp(s.top, s.p, static_cast<mp_bitcnt_t>(-unit));
            mpz_set(s.bottom, s.q);
        } else {
            mpz_set(s.top, s.p);
            mpz_mul_2exp(s.bottom, s.q, static_cast<mp_bitcnt_t>(unit));
        }
        mpz_fdiv_qr(s.r, s.rem, s.top, s.bottom);
    };
    divide(u);
    if (mpz_sizeinbase(s.r, 2) > 64) divide(++u);
    mpz_mul_2exp(s.rem, s.rem, 1);
    const int half = mpz_cmp(s.rem, s.bottom);
    if (half > 0 || (half == 0 && mpz_odd_p(s.r))) mpz_add_ui(s.r, s.r, 1);
    if (u + static_cast<long>(mpz_sizeinbase(s.r, 2)) > 16384) ThrowOverflow();
    Extended value;
    if (mpz_sizeinbase(s.r, 2) > 64)  // rounded up to 2^64
        value = std::ldexp(Extended{1}, static_cast<int>(u + 64));
    else
        value = std::ldexp(static_cast<Extended>(mpz_get_ui(s.r)), static_cast<int>(u));
    return num < 0 ? -value : value;
}

}  // namespace morvane::exact
