#pragma once
// Exact rational arithmetic of the tests' own (GMP), for checking the
// analysis to the last bit: decimal texts as rationals, extended values as
// rationals, correct rounding, and the partition by its definition from the
// means.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "runtime/Extended.h"
#include "store/StudyStore.h"

namespace morvane::testing {

// A study of n subjects and na x nb cells, each score text score(s, a, b).
inline StudyStore Study(int n, int na, int nb, const std::function<std::string(int, int, int)>& score) {
    StudyStore store;
    std::vector<std::string> namesA, namesB;
    for (int a = 1; a <= na; ++a) namesA.push_back("a" + std::to_string(a));
    for (int b = 1; b <= nb; ++b) namesB.push_back("b" + std::to_string(b));
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) store.CellText(s, a, b) = score(s, a, b);
    return store;
}

// A decimal text as a rational number (the score syntax of these tests: digits,
// an optional fraction and an optional exponent).
inline mpq_class Rational(const std::string& text) {
    const bool negative = text[0] == '-';
    const std::size_t e = text.find('e'), end = e == std::string::npos ? text.size() : e;
    const std::string mantissa = text.substr(negative ? 1 : 0, end - (negative ? 1 : 0));
    const std::size_t point = mantissa.find('.');
    std::string digits = mantissa;
    int exponent = e == std::string::npos ? 0 : std::stoi(text.substr(e + 1));
    if (point != std::string::npos) {
        digits.erase(point, 1);
        exponent -= static_cast<int>(mantissa.size() - point - 1);
    }
    mpz_class m(digits, 10), p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, static_cast<unsigned long>(std::abs(exponent)));
    mpq_class q = exponent >= 0 ? mpq_class(m * p) : mpq_class(m, p);
    q.canonicalize();
    return negative ? mpq_class(-q) : q;
}

inline mpq_class Exactly(Extended v) {
    int e = 0;
    const Extended m = std::frexp(v, &e);  // v = m 2^e, 0.5 <= |m| < 1
    const auto bits = static_cast<unsigned long long>(std::ldexp(std::fabs(m), 64));
    mpz_class z;
    mpz_import(z.get_mpz_t(), 1, -1, sizeof bits, 0, 0, &bits);
    mpq_class q(z);
    if (e - 64 >= 0)
        mpq_mul_2exp(q.get_mpq_t(), q.get_mpq_t(), static_cast<mp_bitcnt_t>(e - 64));
    else
        mpq_div_2exp(q.get_mpq_t(), q.get_mpq_t(), static_cast<mp_bitcnt_t>(64 - e));
    return v < 0 ? mpq_class(-q) : q;
}

// Whether `value` is `exact` correctly rounded to the extended format: no
// other extended value is nearer (normal values).
inline ::testing::AssertionResult CorrectlyRounded(Extended value, const mpq_class& exact) {
    if (exact == 0)
        return value == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << value;
    const Extended below = std::nextafter(value, -INFINITY), above = std::nextafter(value, INFINITY);
    const mpq_class error = abs(Exactly(value) - exact);
    if (error <= abs(Exactly(below) - exact) && error <= abs(Exactly(above) - exact))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "value " << static_cast<double>(value) << " is not the nearest to " << exact.get_d();
}

// The partition by its definition, from the means.
struct ExactSums {
    mpq_class total, a, b, s, ab, as, bs, abs;
};

inline ExactSums Definition(const StudyStore& store) {
    const int n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    std::vector<mpq_class> x(static_cast<std::size_t>(n * na * nb));
    const auto at = [&](int s, int a, int b) -> mpq_class& {
        return x[static_cast<std::size_t>((s * na + a) * nb + b)];
    };
    for (int s = 0; s < n; ++s)
        for (int a = 0; a < na; ++a)
            for (int b = 0; b < nb; ++b)
                at(s, a, b) = Rational(std::string(store.CellText(s + 1, a + 1, b + 1)));
    std::vector<mpq_class> mA(static_cast<std::size_t>(na)), mB(static_cast<std::size_t>(nb)),
        mS(static_cast<std::size_t>(n)), mAB(static_cast<std::size_t>(na * nb)),
        mAS(static_cast<std::size_t>(n * na)), mBS(static_cast<std::size_t>(n * nb));
    mpq_class g = 0;
    const auto u = [](int i) { return static_cast<std::size_t>(i); };
    for (int s = 0; s < n; ++s)
        for (int a = 0; a < na; ++a)
            for (int b = 0; b < nb; ++b) {
                const mpq_class& v = at(s, a, b);
                g += v, mA[u(a)] += v, mB[u(b)] += v, mS[u(s)] += v;
                mAB[u(a * nb + b)] += v, mAS[u(s * na + a)] += v, mBS[u(s * nb + b)] += v;
            }
    g /= n * na * nb;
    for (auto& v : mA) v /= n * nb;
    for (auto& v : mB) v /= n * na;
    for (auto& v : mS) v /= na * nb;
    for (auto& v : mAB) v /= n;
    for (auto& v : mAS) v /= nb;
    for (auto& v : mBS) v /= na;
    ExactSums e;
    for (int s = 0; s < n; ++s)
        for (int a = 0; a < na; ++a)
            for (int b = 0; b < nb; ++b) {
                const mpq_class& v = at(s, a, b);
                const mpq_class dA = mA[u(a)] - g, dB = mB[u(b)] - g, dS = mS[u(s)] - g;
                const mpq_class dAB = mAB[u(a * nb + b)] - g - dA - dB;
                const mpq_class dAS = mAS[u(s * na + a)] - g - dA - dS;
                const mpq_class dBS = mBS[u(s * nb + b)] - g - dB - dS;
                const mpq_class r = v - g - dA - dB - dS - dAB - dAS - dBS;
                e.total += (v - g) * (v - g);
                e.a += dA * dA, e.b += dB * dB, e.s += dS * dS;
                e.ab += dAB * dAB, e.as += dAS * dAS, e.bs += dBS * dBS, e.abs += r * r;
            }
    return e;
}

}  // namespace morvane::testing
