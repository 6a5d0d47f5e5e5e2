#include <algorithm>
#include <cmath>
#include <numbers>

#include "stats/ShapiroWilk.h"
#include "stats/Distributions.h"

namespace morvane {
namespace {

// c[0] + c[1] x + ... + c[size - 1] x^(size - 1).
template <std::size_t size>
Extended Polynomial(const Extended (&c)[size], Extended x) {
    Extended v = 0;
    for (std::size_t i = size; i-- > 0;) v = v * x + c[i];
    return v;
}

// Royston's approximations (Applied Statistics 44, 1995, algorithm AS R94).
constexpr Extended kLargest[] = {0, 0.221157L, -0.147981L, -2.07119L, 4.434685L, -2.706056L};
constexpr Extended kSecond[] = {0, 0.042981L, -0.293762L, -1.752461L, 5.682633L, -3.582633L};
constexpr Extended kGamma[] = {-2.273L, 0.459L};
constexpr Extended kSmallMean[] = {0.544L, -0.39978L, 0.025054L, -6.714e-4L};
constexpr Extended kSmallSd[] = {1.3822L, -0.77857L, 0.062767L, -0.0020322L};
constexpr Extended kLargeMean[] = {-1.5861L, -0.31082L, -0.083751L, 0.0038915L};
constexpr Extended kLargeSd[] = {-0.4803L, -0.082676L, 0.0030302L};

// The coefficients a_i of the i-th largest value (less the i-th smallest), i
// from 1 to n / 2: Blom's scores m_i = Phi^-1((n - i + 5/8) / (n + 1/4)),
// normalised, with the two largest replaced by Royston's polynomials in 1 / sqrt(n).
std::vector<Extended> Coefficients(std::size_t n) {
    const std::size_t half = n / 2;
    if (n == 3) return {std::sqrt(Extended{0.5})};
    const auto N = static_cast<Extended>(n);
    std::vector<Extended> m(half);
    Extended squares = 0;
    for (std::size_t i = 0; i < half; ++i) {
        m[i] = NormalQuantile((N - static_cast<Extended>(i) - 0.375L) / (N + 0.25L)).value_or(0);
        squares += 2 * m[i] * m[i];
    }
    const Extended root = std::sqrt(squares), u = 1 / std::sqrt(N);
    std::vector<Extended> a(half);
    a[0] = m[0] / root + Polynomial(kLargest, u);
    std::size_t replaced = 1;
    Extended rest = squares - 2 * m[0] * m[0], restOfOne = 1 - 2 * a[0] * a[0];
    if (n > 5) {
        a[1] = m[1] / root + Polynomial(kSecond, u);
        rest -= 2 * m[1] * m[1];
        restOfOne -= 2 * a[1] * a[1];
        replaced = 2;
    }
    const Extended factor = std::sqrt(rest / restOfOne);
    for (std::size_t i = replaced; i < half; ++i) a[i] = m[i] / factor;
    return a;
}

}  // namespace

ShapiroWilkTest ShapiroWilk(std::vector<Extended> x) {
    ShapiroWilkTest out;
    const std::size_t n = out.count = x.size();
    out.inRange = n >= 3 && n <= 5000;
    if (!out.inRange) return out;
    std::sort(x.begin(), x.end());
    const Extended range = x[n - 1] - x[0];
    if (!(range > 0)) return out;
    Extended mean = 0;
    for (Extended& v : x) mean += (v /= range);
    mean /= static_cast<Extended>(n);
    const std::vector<Extended> a = Coefficients(n);
    Extended product = 0, squares = 0;
    for (std::size_t i = 0; i < a.size(); ++i) product += a[i] * (x[n - 1 - i] - x[i]);
    for (Extended v : x) squares += (v - mean) * (v - mean);
    // 1 - W from the squared correlation of the values with the coefficients
    // (whose squares sum to 1), which keeps its digits for W near 1.
    const Extended root = std::sqrt(squares);
    const Extended w1 = std::max(Extended{0}, (root - product) * (root + product) / squares);
    out.w = 1 - w1;
    const auto N = static_cast<Extended>(n);
    if (n == 3) {
        // Exact for three values.
        const Extended p = 6 / std::numbers::pi_v<Extended> *
                           (std::asin(std::sqrt(*out.w)) - std::numbers::pi_v<Extended> / 3);
        out.p = std::clamp(p, Extended{0}, Extended{1});  // W = 1 rounds a hair above 1
        return out;
    }
    if (!(w1 > 0)) {
        out.p = 1;
        return out;
    }
    Extended y = std::log(w1), mu, sigma;
    if (n <= 11) {
        const Extended gamma = Polynomial(kGamma, N);
        if (y >= gamma) {
            out.p = 0;  // beyond the approximation's reach: far below any level
            return out;
        }
        y = -std::log(gamma - y);
        mu = Polynomial(kSmallMean, N);
        sigma = std::exp(Polynomial(kSmallSd, N));
    } else {
        const Extended logN = std::log(N);
        mu = Polynomial(kLargeMean, logN);
        sigma = std::exp(Polynomial(kLargeSd, logN));
    }
    out.p = NormalUpperTail((y - mu) / sigma);
    return out;
}

}  // namespace morvane
