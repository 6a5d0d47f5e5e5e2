#include "stats/Distributions.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_f.hpp>
#include <boost/math/distributions/non_central_t.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/tools/toms748_solve.hpp>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <utility>


namespace morvane {
namespace {

// Extended arithmetic throughout: no promotion, and a tail too small for the
// format is zero rather than an error.
using Policy = boost::math::policies::policy<
    boost::math::policies::promote_float<false>, boost::math::policies::promote_double<false>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>>;

bool Positive(Extended df) {
    return std::isfinite(df) && df > 0;
}

// The x at which a distribution function decreasing in x, `cdf`, is `target`:
// from `start` by steps that double until the target is passed, then by TOMS
// 748 within the bracket. Absent when no finite x passes it, or when `cdf`
// cannot be evaluated on the way (Boost's evaluation error).
template <class Cdf>
std::optional<Extended> Invert(const Cdf& cdf, Extended target, Extended start, Extended step,
                               int bits = std::numeric_limits<Extended>::digits - 8) {
    const auto h = [&](Extended x) { return cdf(x) - target; };
    try {
        Extended a = start, ha = h(a);
        if (ha == 0) return a;
        if (ha < 0) step = -step;  // the root is below the start
        Extended b = a + step, hb = h(b);
        for (int doublings = 0; (ha > 0) == (hb > 0); ++doublings) {
            if (hb == 0) return b;
            if (doublings > 64 || !std::isfinite(b)) return std::nullopt;
            a = b, ha = hb;
            step *= 2;
            b = a + step, hb = h(b);
        }
        if (hb == 0) return b;
        if (a > b) std::swap(a, b), std::swap(ha, hb);
        std::uintmax_t iterations = 100;
        const auto [low, high] = boost::math::tools::toms748_solve(
            h, a, b, ha, hb, boost::math::tools::eps_tolerance<Extended>(static_cast<unsigned>(bits)),
            iterations);
        return low + (high - low) / 2;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Invert from a start known to be close, where the distribution function's
// slope is about `slope`: a Newton step by that slope, then secant steps while
// they converge; else Invert. A secant step below 2^-bits of the value ends
// it, and so does one that the function no longer tells apart from the last.
template <class Cdf>
std::optional<Extended> InvertFromNear(const Cdf& cdf, Extended target, Extended start, Extended slope,
                                       Extended step, int bits) {
    const Extended tolerance = std::ldexp(Extended{1}, -bits);
    const auto small = [&](Extended dx, Extended x, Extended times) {
        return std::fabs(dx) <= times * tolerance * std::max(Extended{1}, std::fabs(x));
    };
    try {
        Extended x0 = start, h0 = cdf(x0) - target;
        if (h0 == 0) return x0;
        Extended x1 = x0 - h0 / slope;
        if (!std::isfinite(x1) || std::fabs(x1 - x0) > step) x1 = x0 + (h0 > 0 ? step : -step);
        Extended h1 = cdf(x1) - target;
        for (int i = 0; i < 8 && h1 != 0; ++i) {
            if (h1 == h0) {
                if (small(x1 - x0, x1, 1024)) return x1;
                break;
            }
            const Extended x2 = x1 - h1 * (x1 - x0) / (h1 - h0);
            if (!std::isfinite(x2) || std::fabs(x2 - start) > 64 * step) break;
            if (small(x2 - x1, x2, 1)) return x2;
            x0 = x1, h0 = h1, x1 = x2, h1 = cdf(x1) - target;
        }
        if (h1 == 0) return x1;
    } catch (const std::exception&) {
        // the bracketing search tells
    }
    return Invert(cdf, target, start, step, bits);
}

bool Level(Extended level) {
    return level > 0 && level < 1;
}

// Beyond this |t| the noncentral t's series needs more terms than is worth
// (thousands of milliseconds near 10^5), and its distribution function is
// taken by the integral below, whose limits are good to 48 bits (15 digits).
constexpr Extended kSeriesT = 200;
constexpr int kIntegralBits = 48;

// Past a noncentrality of about F df1 = 10^6 the noncentral F's series takes
// tens of milliseconds an evaluation and more, and fails further on: no interval.
constexpr Extended kLargestFLambda = 1e6L;

// P(T <= t | delta) on df degrees of freedom as E Phi(t S - delta), S =
// sqrt(V / df) with V chi-square on df. For t > 0 the normal factor is within
// 1e-23 of 0 below s = (delta - 10) / t and of 1 above (delta + 10) / t: the
// integral over that window, in u = t s - delta (so that Phi's argument is
// exact), by adaptive Gauss-Kronrod, and the chance of S above it in closed form.
Extended NoncentralTByIntegral(Extended t, Extended df, Extended delta) {
    if (t < 0) return 1 - NoncentralTByIntegral(-t, df, -delta);
    const Extended root2 = std::sqrt(Extended{2});
    if (t == 0) return std::erfc(delta / root2) / 2;
    const Extended low = std::max(Extended{-10}, -delta), high = std::max(low, Extended{10});
    // The density of S at s, d/ds P(V < df s^2), over t for du = t ds.
    const auto integrand = [&](Extended u) {
        const Extended s = (u + delta) / t;
        if (!(s > 0)) return Extended{0};
        const Extended density = boost::math::gamma_p_derivative(df / 2, df * s * s / 2, Policy()) * df * s;
        return std::erfc(-u / root2) / 2 * density / t;
    };
    Extended window = 0;
    if (high > low)
        window = boost::math::quadrature::gauss_kronrod<Extended, 61>::integrate(integrand, low, high, 10,
                                                                                 Extended{1e-17L});
    const Extended top = (delta + high) / t;
    return window + boost::math::gamma_q(df / 2, df * top * top / 2, Policy());
}

}  // namespace

std::optional<Extended> FUpperTail(Extended f, Extended df1, Extended df2) {
    if (!Positive(df1) || !Positive(df2) || !std::isfinite(f)) return std::nullopt;
    if (f <= 0) return Extended{1};
    const boost::math::fisher_f_distribution<Extended, Policy> distribution(df1, df2);
    return boost::math::cdf(boost::math::complement(distribution, f));
}

std::optional<Extended> TTwoSided(Extended t, Extended df) {
    if (!Positive(df) || !std::isfinite(t)) return std::nullopt;
    const boost::math::students_t_distribution<Extended, Policy> distribution(df);
    const Extended p = 2 * boost::math::cdf(boost::math::complement(distribution, std::fabs(t)));
    return p > 1 ? Extended{1} : p;
}

std::optional<Extended> TQuantile975(Extended df) {
    if (!Positive(df)) return std::nullopt;
    const boost::math::students_t_distribution<Extended, Policy> distribution(df);
    return boost::math::quantile(boost::math::complement(distribution, Extended{0.025L}));
}

std::optional<Extended> ChiSquareUpperTail(Extended x, Extended df) {
    if (!Positive(df) || !std::isfinite(x)) return std::nullopt;
    if (x <= 0) return Extended{1};
    const boost::math::chi_squared_distribution<Extended, Policy> distribution(df);
    return boost::math::cdf(boost::math::complement(distribution, x));
}

std::optional<Extended> NormalUpperTail(Extended z) {
    if (!std::isfinite(z)) return std::nullopt;
    const boost::math::normal_distribution<Extended, Policy> distribution;
    return boost::math::cdf(boost::math::complement(distribution, z));
}

std::optional<Extended> NormalQuantile(Extended q) {
    if (!(q > 0 && q < 1)) return std::nullopt;
    const boost::math::normal_distribution<Extended, Policy> distribution;
    return boost::math::quantile(distribution, q);
}

std::optional<NoncentralityLimits> NoncentralFLimits(Extended f, Extended df1, Extended df2, Extended level) {
    if (!Positive(df1) || !Positive(df2) || !std::isfinite(f) || !Level(level)) return std::nullopt;
    if (f * df1 > kLargestFLambda) return std::nullopt;
    const auto cdf = [&](Extended lambda) {
        const boost::math::non_central_f_distribution<Extended, Policy> distribution(df1, df2, lambda);
        return boost::math::cdf(distribution, f);
    };
    // The distribution function falls as lambda grows: below its value at
    // lambda = 0, a limit is 0. F df1 is about df1 + lambda, which sets the first step.
    const Extended atZero = cdf(0);
    const Extended step = std::max(Extended{1}, f * df1);
    NoncentralityLimits limits;
    for (auto [limit, target] :
         {std::pair{&limits.lower, (1 + level) / 2}, std::pair{&limits.upper, (1 - level) / 2}}) {
        if (!(atZero > target)) continue;
        const std::optional<Extended> root = Invert(cdf, target, 0, step);
        if (!root) return std::nullopt;
        *limit = std::max(Extended{0}, *root);
    }
    return limits;
}

std::optional<NoncentralityLimits> NoncentralTLimits(Extended t, Extended df, Extended level) {
    if (!Positive(df) || !std::isfinite(t) || !Level(level)) return std::nullopt;
    const auto cdf = [&](Extended delta) {
        if (std::fabs(t) > kSeriesT) return NoncentralTByIntegral(t, df, delta);
        const boost::math::non_central_t_distribution<Extended, Policy> distribution(df, delta);
        return boost::math::cdf(distribution, t);
    };
    // Each search starts from the normal approximation
    // P(T <= t) = Phi((t (1 - 1 / (4 df)) - delta) / sqrt(1 + t^2 / (2 df))),
    // good to about 1 / df^2, where the distribution function falls by about
    // the normal density at z over that deviation.
    const Extended z =
        boost::math::quantile(boost::math::normal_distribution<Extended, Policy>(), (1 + level) / 2);
    const Extended spread = std::sqrt(1 + t * t / (2 * df)), centre = t * (1 - 1 / (4 * df));
    const Extended below = centre - z * spread, above = centre + z * spread;
    const Extended slope =
        -boost::math::pdf(boost::math::normal_distribution<Extended, Policy>(), z) / spread;
    const int bits = std::fabs(t) > kSeriesT ? kIntegralBits : std::numeric_limits<Extended>::digits - 8;
    const std::optional<Extended> lower =
        InvertFromNear(cdf, (1 + level) / 2, below, slope, spread / 10, bits);
    const std::optional<Extended> upper =
        InvertFromNear(cdf, (1 - level) / 2, above, slope, spread / 10, bits);
    if (!lower || !upper) return std::nullopt;
    return NoncentralityLimits{*lower, *upper};
}

}  // namespace morvane
