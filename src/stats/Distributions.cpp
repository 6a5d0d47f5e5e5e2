#include "stats/Distributions.h"

#include <algorithm>
#include <boost/math/constants/constants.hpp>
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
// taken by the integral below. Limits found on an integral (of t or of F) are
// sought to 48 bits (15 digits).
constexpr Extended kSeriesT = 200;
constexpr int kIntegralBits = 48;

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

// The noncentral F's series (Boost's Poisson mixture of incomplete beta
// functions, summed outwards from the Poisson mode) needs about sqrt(lambda)
// terms and loses digits as it goes: 0.07 ms and 5e-15 an evaluation at
// lambda = 10^6, 0.7 ms and 5e-13 at 10^8, 2 ms at 10^9, and it fails past
// lambda = 2^32 (it counts its terms in an int). An F whose F df1 is at most
// this is inverted by the series alone; above it, the series serves a
// noncentrality up to this and the integral below one beyond, within 1e-18 of
// 50-digit sums at 0.1 ms an evaluation (2 ms for df2 = 10^6).
constexpr Extended kSeriesFLambda = 1e6L;

// ln of the density of R = sqrt(X) at r = s + u, X noncentral chi-square on k
// degrees of freedom with noncentrality s^2 (Johnson, Kotz and Balakrishnan
// 1995, ch. 29: X has the density exp(-(x + s^2) / 2) (x / s^2)^(nu / 2)
// I_nu(s sqrt x) / 2, nu = k / 2 - 1), so R has r (r / s)^nu exp(-(r - s)^2 / 2)
// e^-z I_nu(z), z = r s. For z this large (about 10^6 and above) I_(-nu) is I_nu to
// a relative e^-2z, and e^-z I_nu(z) is Debye's uniform expansion (DLMF 10.41.3,
// its U_k of 10.41.10 to k = 3): exp(nu^2 / (z + R) - nu asinh(nu / z)) /
// sqrt(2 pi R) times 1 + sum U_k(p) / nu^k, R = sqrt(nu^2 + z^2), p = nu / R,
// each U_k(p) / nu^k being V_k(p^2) / R^k, so that nu may be 0 and the first
// term left out is of the order of R^-4 (below 1e-23 here) whatever nu.
// The exponent is kept in terms that do not cancel: u and log1p(u / s).
Extended LogRootNoncentralChiSquareDensity(Extended u, Extended s, Extended k) {
    const Extended r = s + u, power = k / 2 - 1, nu = std::fabs(power), z = r * s;
    const Extended big = std::hypot(nu, z), p2 = (nu / big) * (nu / big), q = 1 / big;
    const Extended v1 = (3 - 5 * p2) / 24;
    const Extended v2 = (81 + p2 * (-462 + p2 * 385)) / 1152;
    const Extended v3 = (30375 + p2 * (-369603 + p2 * (765765 + p2 * -425425))) / 414720;
    const Extended series = 1 + q * (v1 + q * (v2 + q * v3));
    return std::log(r / std::sqrt(2 * big * boost::math::constants::pi<Extended>())) +
           power * std::log1p(u / s) - u * u / 2 + nu * nu / (z + big) - nu * std::asinh(nu / z) +
           std::log(series);
}

// P(F <= f | lambda) on (df1, df2) degrees of freedom for a lambda beyond
// kSeriesFLambda, F being (X / df1) / (V / df2) with X noncentral chi-square and
// V chi-square on df2: P(X <= c V), c = f df1 / df2, taken as the expectation
// over R = sqrt(X) of P(V >= R^2 / c), the regularised upper incomplete gamma
// function (the mirror of conditioning on V: a single integral, exact but for
// the expansion of the density). R's standard deviation is below 1 and its
// density nearly normal, so the integral runs over 14 of them either side of
// sqrt(df1 + lambda) (the mass outside is below 1e-40), by adaptive
// Gauss-Kronrod, split where P(V >= R^2 / c) is near 1/2 (V's median by Wilson
// and Hilferty), the steep part when df2 is large.
Extended NoncentralFByIntegral(Extended f, Extended df1, Extended df2, Extended lambda) {
    const Extended s = std::sqrt(lambda), c = f * df1 / df2;
    const Extended centre = df1 / (std::sqrt(df1 + lambda) + s);  // sqrt(df1 + lambda) - s
    const auto integrand = [&](Extended u) {
        const Extended r = s + u;
        return std::exp(LogRootNoncentralChiSquareDensity(u, s, df1)) *
               boost::math::gamma_q(df2 / 2, r * r / (2 * c), Policy());
    };
    using Rule = boost::math::quadrature::gauss_kronrod<Extended, 61>;
    // The tolerance bounds the rule's estimate of its error, which is far above
    // the error itself (about 1e-19 against the 50-digit sums); the exponent's
    // terms grow as nu = |df1 / 2 - 1|, and with them the rounding of each value
    // of the integrand, which no subdivision removes.
    constexpr unsigned kDepth = 8;
    const Extended tolerance =
        std::max(Extended{1e-14L}, 100 * std::fabs(df1 / 2 - 1) * std::numeric_limits<Extended>::epsilon());
    const Extended low = centre - 14, high = centre + 14;
    const Extended cube = 1 - 2 / (9 * df2);
    const Extended split = cube > 0 ? std::sqrt(c * df2 * cube * cube * cube) - s : low;
    if (!(split > low && split < high)) return Rule::integrate(integrand, low, high, kDepth, tolerance);
    return Rule::integrate(integrand, low, split, kDepth, tolerance) +
           Rule::integrate(integrand, split, high, kDepth, tolerance);
}

// Patnaik's (1949) approximation of the noncentral F: X as rho times a
// chi-square on nu, rho and nu matching X's mean and variance, so that F is
// (df1 + lambda) / df1 times a central F on (nu, df2). At these noncentralities
// within 3e-5 of the distribution for df2 = 10^6 and 1e-11 for df2 = 14, at the
// cost of an incomplete beta.
Extended PatnaikFCdf(Extended f, Extended df1, Extended df2, Extended lambda) {
    const Extended nu = (df1 + lambda) * (df1 + lambda) / (df1 + 2 * lambda);
    const boost::math::fisher_f_distribution<Extended, Policy> distribution(nu, df2);
    return boost::math::cdf(distribution, f * df1 / (df1 + lambda));
}

// Invert the noncentral F's `cdf` beyond the series from the root of Patnaik's
// approximation, where both fall by about the approximation's slope: X - c V,
// c = f df1 / df2, has the standard deviation sqrt(2 (df1 + 2 lambda) + 2 c^2
// df2), the width in lambda over which the distribution function falls.
template <class Cdf>
std::optional<Extended> InvertBeyondSeries(const Cdf& cdf, Extended f, Extended df1, Extended df2,
                                           Extended target, Extended step) {
    const auto approximation = [&](Extended lambda) { return PatnaikFCdf(f, df1, df2, lambda); };
    const std::optional<Extended> start = Invert(approximation, target, 0, step, 32);
    if (!start) return Invert(cdf, target, 0, step, kIntegralBits);
    const Extended c = f * df1 / df2;
    const Extended width = std::sqrt(2 * (df1 + 2 * *start) + 2 * c * c * df2), h = width / 64;
    const Extended slope = (approximation(*start + h) - approximation(*start)) / h;
    return InvertFromNear(cdf, target, *start, slope, width / 8, kIntegralBits);
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
    if (f <= 0) return NoncentralityLimits{};          // below every quantile (Boost refuses an F below 0)
    if (!std::isfinite(f * df1)) return std::nullopt;  // no lambda in range
    const bool seriesOnly = f * df1 <= kSeriesFLambda;
    const auto cdf = [&](Extended lambda) {
        if (!seriesOnly && lambda > kSeriesFLambda) return NoncentralFByIntegral(f, df1, df2, lambda);
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
        const std::optional<Extended> root =
            seriesOnly ? Invert(cdf, target, 0, step) : InvertBeyondSeries(cdf, f, df1, df2, target, step);
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
