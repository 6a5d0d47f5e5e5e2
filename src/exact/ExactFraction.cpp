#include "exact/ExactFraction.h"

#include <gmpxx.h>

#include <algorithm>
#include <cmath>

#include "exact/WideIntegers.h"
#include "runtime/Errors.h"

namespace morvane {

// Numerator and denominator kept apart, without reducing: the figures take a
// few operations each, and a common factor costs less than the gcd.
struct ExactFraction::Value {
    mpz_class p, q;  // q > 0
};

ExactFraction::ExactFraction(Int128 numerator, Int128 denominator)
    : value_(std::make_unique<Value>(Value{exact::ToMpz(numerator), exact::ToMpz(denominator)})) {
    if (value_->q < 0) value_->p = -value_->p, value_->q = -value_->q;
}
ExactFraction::~ExactFraction() = default;
ExactFraction::ExactFraction(const ExactFraction& other) : value_(std::make_unique<Value>(*other.value_)) {}
ExactFraction& ExactFraction::operator=(const ExactFraction& other) {
    *value_ = *other.value_;
    return *this;
}
ExactFraction::ExactFraction(ExactFraction&&) noexcept = default;
ExactFraction& ExactFraction::operator=(ExactFraction&&) noexcept = default;

ExactFraction& ExactFraction::operator+=(const ExactFraction& x) {
    if (value_->q == x.value_->q) {
        value_->p += x.value_->p;
    } else {
        value_->p = value_->p * x.value_->q + x.value_->p * value_->q;
        value_->q *= x.value_->q;
    }
    return *this;
}

ExactFraction& ExactFraction::operator-=(const ExactFraction& x) {
    if (value_->q == x.value_->q) {
        value_->p -= x.value_->p;
    } else {
        value_->p = value_->p * x.value_->q - x.value_->p * value_->q;
        value_->q *= x.value_->q;
    }
    return *this;
}

ExactFraction& ExactFraction::operator*=(const ExactFraction& x) {
    value_->p *= x.value_->p;
    value_->q *= x.value_->q;
    return *this;
}

ExactFraction& ExactFraction::operator/=(const ExactFraction& x) {
    value_->p *= x.value_->q;
    value_->q *= x.value_->p;
    if (value_->q < 0) value_->p = -value_->p, value_->q = -value_->q;
    return *this;
}

int ExactFraction::Sign() const {
    return sgn(value_->p);
}

Extended ExactFraction::Rounded(long scale10) const {
    return exact::RoundRational(value_->p, value_->q, scale10);
}

// With P / Q the value times 10^scale10: the integer square root of
// P 4^k / Q for a k that leaves it 66 bits or more, the bits below and the
// remainders telling which way to round.
Extended ExactFraction::RoundedRoot(long scale10) const {
    mpz_class p = value_->p, q = value_->q;
    if (p <= 0) return 0;
    if (scale10 >= 0)
        p *= exact::PowerOfTen(static_cast<unsigned long>(scale10));
    else
        q *= exact::PowerOfTen(static_cast<unsigned long>(-scale10));
    const long bits = static_cast<long>(mpz_sizeinbase(p.get_mpz_t(), 2)) -
                      static_cast<long>(mpz_sizeinbase(q.get_mpz_t(), 2));
    // The root of P 4^k / Q has about bits / 2 + k bits: 66 at least, so that
    // two lie below the 64 kept.
    long k = std::max(0L, 72 - bits / 2);
    mpz_class quotient, rest, root, remainder;
    for (;; k += 8) {
        mpz_class scaled = p;
        mpz_mul_2exp(scaled.get_mpz_t(), scaled.get_mpz_t(), static_cast<mp_bitcnt_t>(2 * k));
        mpz_fdiv_qr(quotient.get_mpz_t(), rest.get_mpz_t(), scaled.get_mpz_t(), q.get_mpz_t());
        mpz_sqrtrem(root.get_mpz_t(), remainder.get_mpz_t(), quotient.get_mpz_t());
        if (mpz_sizeinbase(root.get_mpz_t(), 2) >= 66) break;
    }
    const bool inexact = rest != 0 || remainder != 0;
    // root holds 66 bits or more of the root times 2^k: keep 64, round by the rest.
    const long extra = static_cast<long>(mpz_sizeinbase(root.get_mpz_t(), 2)) - 64;
    mpz_class kept, below;
    mpz_fdiv_r_2exp(below.get_mpz_t(), root.get_mpz_t(), static_cast<mp_bitcnt_t>(extra));
    mpz_fdiv_q_2exp(kept.get_mpz_t(), root.get_mpz_t(), static_cast<mp_bitcnt_t>(extra));
    const bool half = mpz_tstbit(below.get_mpz_t(), static_cast<mp_bitcnt_t>(extra - 1)) != 0;
    mpz_clrbit(below.get_mpz_t(), static_cast<mp_bitcnt_t>(extra - 1));
    const bool sticky = inexact || below != 0;
    if (half && (sticky || mpz_odd_p(kept.get_mpz_t()))) ++kept;
    long exponent = extra - k;
    if (mpz_sizeinbase(kept.get_mpz_t(), 2) > 64) {  // rounded up to 2^64
        kept >>= 1;
        ++exponent;
    }
    const Extended value = std::ldexp(static_cast<Extended>(mpz_get_ui(kept.get_mpz_t())), static_cast<int>(exponent));
    return CheckFinite(value);
}

}  // namespace morvane
