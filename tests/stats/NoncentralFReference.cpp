// The noncentrality limits of partial eta squared's interval in 50 digits, for
// the figures that tests/stats/NoncentralFTest.cpp holds: an independent and
// slow computation, run by hand, never by the tests.
//
//   cmake --build build --target noncentral_f_reference
//   build/tests/stats/noncentral_f_reference F DF1 DF2 LEVEL
//       the limits lambda of the (1 + LEVEL) / 2 and (1 - LEVEL) / 2 quantiles
//   build/tests/stats/noncentral_f_reference cdf F DF1 DF2 LAMBDA
//       P(F' <= F) for F' noncentral F on (DF1, DF2) with noncentrality LAMBDA
//
// The distribution function is the Poisson (lambda / 2) mixture of the
// incomplete beta functions I_y(df1 / 2 + j, df2 / 2), y = df1 f / (df1 f +
// df2) (Johnson, Kotz and Balakrishnan 1995, ch. 30), in binary floating point
// of 50 decimal digits: the term at the Poisson mode from Boost's ibeta, the
// others by I_y(a + 1, b) = I_y(a, b) - y^a (1 - y)^b / (a B(a, b)) outwards
// in both directions until the Poisson weight falls below 1e-48 of the mode's.
// Each limit is then found by TOMS 748 to 100 bits from a bracket of doublings.

#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/tools/toms748_solve.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cstdint>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <string>

namespace {

using Real = boost::multiprecision::cpp_bin_float_50;

Real NoncentralFCdf(const Real& f, const Real& df1, const Real& df2, const Real& lambda) {
    const Real y = df1 * f / (df1 * f + df2), a = df1 / 2, b = df2 / 2, half = lambda / 2;
    if (lambda == 0) return boost::math::ibeta(a, b, y);
    const Real mode = floor(half);
    const Real weight0 = exp(-half + mode * log(half) - boost::math::lgamma(mode + 1));
    const Real beta0 = boost::math::ibeta(a + mode, b, y);
    // y^a (1 - y)^b / (a B(a, b)) at a + mode.
    const Real step0 = boost::math::ibeta_derivative(a + mode, b, y) * y * (1 - y) / (a + mode);
    const Real tiny = weight0 * Real("1e-48");
    Real sum = weight0 * beta0;
    Real weight = weight0, beta = beta0, step = step0;
    for (Real j = mode + 1; weight > tiny; j += 1) {
        beta -= step;
        step *= y * (a + j - 1 + b) / (a + j);
        weight *= half / j;
        sum += weight * beta;
    }
    weight = weight0, beta = beta0, step = step0;
    for (Real j = mode - 1; j >= 0 && weight > tiny; j -= 1) {
        step *= (a + j + 1) / (y * (a + j + b));
        beta += step;
        weight *= (j + 1) / half;
        sum += weight * beta;
    }
    return sum;
}

Real Limit(const Real& f, const Real& df1, const Real& df2, const Real& target) {
    const auto h = [&](const Real& lambda) { return NoncentralFCdf(f, df1, df2, lambda) - target; };
    Real low = 0, high = f * df1 > 1 ? Real(f * df1) : Real(1);
    while (h(high) > 0) low = high, high *= 2;
    std::uintmax_t iterations = 200;
    const auto [a, b] = boost::math::tools::toms748_solve(
        h, low, high, boost::math::tools::eps_tolerance<Real>(100), iterations);
    return (a + b) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::setprecision(25);
    if (argc == 6 && std::string(argv[1]) == "cdf") {
        std::cout << NoncentralFCdf(Real(argv[2]), Real(argv[3]), Real(argv[4]), Real(argv[5])) << "\n";
        return 0;
    }
    if (argc != 5) {
        std::fprintf(stderr, "usage: noncentral_f_reference F DF1 DF2 LEVEL | cdf F DF1 DF2 LAMBDA\n");
        return 2;
    }
    const Real f(argv[1]), df1(argv[2]), df2(argv[3]), level(argv[4]);
    const Real atZero = NoncentralFCdf(f, df1, df2, 0);
    for (const Real& target : {Real((1 + level) / 2), Real((1 - level) / 2)}) {
        const Real lambda = atZero > target ? Limit(f, df1, df2, target) : Real(0);
        std::cout << lambda << "  eta squared " << lambda / (lambda + df2) << "\n";
    }
    return 0;
}
