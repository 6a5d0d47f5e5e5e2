#include "stats/StudentizedRange.h"

#include <algorithm>
#include <boost/math/constants/constants.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/tools/toms748_solve.hpp>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <vector>

namespace morvane {
namespace {

using Policy = boost::math::policies::policy<
    boost::math::policies::promote_float<false>, boost::math::policies::promote_double<false>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>>;
using Kronrod = boost::math::quadrature::gauss_kronrod<Extended, 21>;

const Extended kRoot2 = std::sqrt(Extended{2});
const Extended kRoot2Pi = std::sqrt(2 * boost::math::constants::pi<Extended>());

// The integral of f over [points.front(), points.back()], globally adaptive:
// a Gauss-Kronrod panel between each two successive points, then the panel of
// the largest error (Kronrod's value against Gauss's) halved until the errors
// sum to below `relative` of the value, or `maxPanels` are used. The points
// are where the integrand peaks or turns, so that no panel misses its mass.
template <class F>
Extended Integrate(const F& f, std::vector<Extended> points, Extended relative, std::size_t maxPanels) {
    struct Panel {
        Extended a, b, value, error;
    };
    // Kronrod's 21 points and the 10 of Gauss's rule among them (every other
    // one from the first beside the centre).
    const auto& x = Kronrod::abscissa();
    const auto& kronrod = Kronrod::weights();
    const auto& gauss = boost::math::quadrature::gauss<Extended, 10>::weights();
    const auto panel = [&](Extended a, Extended b) {
        const Extended centre = a + (b - a) / 2, half = (b - a) / 2;
        Extended k = f(centre) * kronrod[0], g = 0;
        for (std::size_t i = 1; i < x.size(); ++i) {
            const Extended pair = f(centre - half * x[i]) + f(centre + half * x[i]);
            k += pair * kronrod[i];
            if (i % 2 == 1) g += pair * gauss[i / 2];
        }
        return Panel{a, b, k * half, std::fabs(k - g) * half};
    };
    std::sort(points.begin(), points.end());
    std::vector<Panel> panels;
    for (std::size_t i = 1; i < points.size(); ++i)
        if (points[i] > points[i - 1]) panels.push_back(panel(points[i - 1], points[i]));
    while (true) {
        Extended value = 0, error = 0;
        std::size_t worst = 0;
        for (std::size_t i = 0; i < panels.size(); ++i) {
            value += panels[i].value;
            error += panels[i].error;
            if (panels[i].error > panels[worst].error) worst = i;
        }
        if (panels.empty() || error <= relative * std::fabs(value) || panels.size() >= maxPanels) return value;
        const Panel split = panels[worst];
        const Extended middle = split.a + (split.b - split.a) / 2;
        if (!(middle > split.a && middle < split.b)) return value;
        panels[worst] = panel(split.a, middle);
        panels.push_back(panel(middle, split.b));
    }
}

// The standard normal distribution function and density.
Extended Phi(Extended x) {
    return std::erfc(-x / kRoot2) / 2;
}
Extended Density(Extended x) {
    return std::exp(-x * x / 2) / kRoot2Pi;
}

// Phi(z) - Phi(z - w), w > 0, to a few units of the format whatever its size:
// from the pair of tails on the far side of 0 when the interval lies beyond
// +-1, from erf about 0 when it straddles it, and for an interval so short that
// even these would cancel, as phi(c) times the integral of exp(-c u - u^2 / 2)
// over [-w/2, w/2] about its centre c by four-point Gauss-Legendre.
Extended Between(Extended z, Extended w) {
    const Extended c = z - w / 2;
    if (w * std::max(Extended{1}, std::fabs(c)) < 1e-3L) {
        static const Extended nodes[] = {0.3399810435848562648026658L, 0.8611363115940525752239465L};
        static const Extended weights[] = {0.6521451548625461426269361L, 0.3478548451374538573730639L};
        const Extended h = w / 2;
        Extended sum = 0;
        for (int i = 0; i < 2; ++i) {
            const Extended u = h * nodes[i];
            sum += weights[i] * std::exp(-u * u / 2) * 2 * std::cosh(c * u);
        }
        return Density(c) * h * sum;
    }
    if (c > 1) return (std::erfc((z - w) / kRoot2) - std::erfc(z / kRoot2)) / 2;
    if (c < -1) return (std::erfc(-z / kRoot2) - std::erfc((w - z) / kRoot2)) / 2;
    return (std::erf(z / kRoot2) - std::erf((z - w) / kRoot2)) / 2;
}

// The points in z where the range's integrands over the largest of the k
// normals peak or turn: its mode (about sqrt(2 ln k) less a correction), the
// interval's centre w / 2, and ends beyond which the integrand is below 1e-33
// of its peak.
std::vector<Extended> RangePoints(Extended w, int k) {
    const Extended l = std::log(static_cast<Extended>(k)), root = std::sqrt(2 * l);
    const Extended mode = root - (std::log(l) + std::log(4 * boost::math::constants::pi<Extended>())) / (2 * root);
    const Extended top = std::max(mode, w / 2) + 9;
    return {-8.5L, 0, mode, w / 2, (k - 1) * w / (2 * k), top};
}

constexpr Extended kInnerTolerance = 1e-12L, kOuterTolerance = 1e-11L;
constexpr std::size_t kMaxPanels = 64;

// P(range of k standard normals > w) = k int phi(z) (Phi(z)^(k-1) - (Phi(z) -
// Phi(z - w))^(k-1)) dz, each term taken as -Phi(z)^(k-1) expm1((k - 1) ln(1 -
// r)), r = Phi(z - w) / Phi(z): no difference of nearly equal numbers, however
// small the tail.
Extended RangeUpper(Extended w, int k) {
    if (!(w > 0)) return 1;
    const Extended n = k - 1;
    const auto integrand = [&](Extended z) {
        const Extended a = Phi(z);
        if (!(a > 0)) return Extended{0};
        const Extended r = Phi(z - w) / a;
        const Extended log1mr = r < 0.5L ? std::log1p(-r) : std::log(Between(z, w) / a);
        return -k * Density(z) * std::pow(a, n) * std::expm1(n * log1mr);
    };
    return Integrate(integrand, RangePoints(w, k), kInnerTolerance, kMaxPanels);
}

// P(range of k standard normals <= w) = k int phi(z) (Phi(z) - Phi(z - w))^(k-1) dz.
Extended RangeCdf(Extended w, int k) {
    if (!(w > 0)) return 0;
    const auto integrand = [&](Extended z) { return k * Density(z) * std::pow(Between(z, w), k - 1); };
    return Integrate(integrand, RangePoints(w, k), kInnerTolerance, kMaxPanels);
}

// The density of s = sqrt(V / df), V chi-square on df degrees of freedom.
Extended ScaleDensity(Extended s, Extended df) {
    if (!(s > 0)) return 0;
    return boost::math::gamma_p_derivative(df / 2, df * s * s / 2, Policy()) * df * s;
}

// The points in s where the integrand of the mixture over s peaks or turns:
// the mode of s's density, sqrt((df - 1) / df); the peak of the upper tail's
// integrand when the range's tail is near exp(-w^2 / 4), sqrt((df - 1) / (df +
// q^2 / 2)); that of the distribution function's when the range's is near w^(k
// - 1), sqrt((df + k - 2) / df); each with two of its widths either side; the
// turns of the range's distribution at w = 1, 3 and 6; and an end 12 widths
// beyond the last peak (the integrands are log-concave in s).
std::vector<Extended> ScalePoints(Extended q, int k, Extended df, bool upper) {
    const Extended below = std::max(df - 1, Extended{0});
    struct Peak {
        Extended at, width;
    };
    std::vector<Peak> peaks = {{std::sqrt(below / df), 1 / std::sqrt(df)}};
    if (upper)
        peaks.push_back({std::sqrt(below / (df + q * q / 2)), 1 / std::sqrt(df + q * q / 2)});
    else
        peaks.push_back({std::sqrt((df + k - 2) / df), 1 / std::sqrt(df)});
    Extended end = 0;
    for (const Peak& p : peaks) end = std::max(end, p.at + 12 * p.width);
    std::vector<Extended> points = {0, end};
    for (const Peak& p : peaks)
        for (const Extended step : {-2, 0, 2}) points.push_back(p.at + step * p.width);
    for (const Extended w : {1, 3, 6}) points.push_back(w / q);
    std::vector<Extended> inside;
    for (const Extended s : points)
        if (s >= 0 && s <= end) inside.push_back(s);
    return inside;
}

// P(Q > q) or P(Q <= q) for q > 0 finite: the range's tail or distribution
// function at q s, over the density of s (the range's own for df infinite).
Extended Mixture(Extended q, int k, Extended df, bool upper) {
    const auto range = [&](Extended w) { return upper ? RangeUpper(w, k) : RangeCdf(w, k); };
    if (std::isinf(df)) return range(q);
    const auto integrand = [&](Extended s) {
        const Extended density = ScaleDensity(s, df);
        return density > 0 ? density * range(q * s) : Extended{0};
    };
    return Integrate(integrand, ScalePoints(q, k, df, upper), kOuterTolerance, kMaxPanels);
}

bool Defined(int k, Extended df) {
    return k >= 2 && df > 0;
}

}  // namespace

std::optional<Extended> StudentizedRangeUpper(Extended q, int k, Extended df) {
    if (!Defined(k, df) || std::isnan(q)) return std::nullopt;
    if (q <= 0) return Extended{1};
    if (std::isinf(q)) return Extended{0};
    const Extended upper = Mixture(q, k, df, true);
    return std::clamp(upper, Extended{0}, Extended{1});
}

std::optional<Extended> StudentizedRangeCdf(Extended q, int k, Extended df) {
    if (!Defined(k, df) || std::isnan(q)) return std::nullopt;
    if (q <= 0) return Extended{0};
    if (std::isinf(q)) return Extended{1};
    const Extended upper = Mixture(q, k, df, true);
    if (upper <= 0.5L) return 1 - upper;
    return std::clamp(Mixture(q, k, df, false), Extended{0}, Extended{1});
}

std::optional<Extended> StudentizedRangeQuantile(Extended p, int k, Extended df) {
    if (!Defined(k, df) || !(p > 0 && p < 1)) return std::nullopt;
    // In x = ln q, the log of the smaller tail against its target: increasing
    // in x, and as steep in the far tails as near the middle.
    const bool low = p <= 0.5L;
    const Extended target = low ? std::log(p) : std::log1p(-p);
    const auto h = [&](Extended x) {
        const Extended q = std::exp(x), least = std::numeric_limits<Extended>::denorm_min();
        if (low) return std::log(std::max(least, Mixture(q, k, df, false))) - target;
        return target - std::log(std::max(least, Mixture(q, k, df, true)));
    };
    try {
        Extended a = std::log(Extended{3}), ha = h(a), step = ha < 0 ? 1 : -1;
        Extended b = a + step, hb = h(b);
        for (int doublings = 0; (ha > 0) == (hb > 0); ++doublings) {
            if (doublings > 12) return std::nullopt;
            a = b, ha = hb, step *= 2;
            b = a + step, hb = h(b);
        }
        if (a > b) std::swap(a, b), std::swap(ha, hb);
        std::uintmax_t iterations = 60;
        const auto [x0, x1] =
            boost::math::tools::toms748_solve(h, a, b, ha, hb, boost::math::tools::eps_tolerance<Extended>(52),
                                              iterations);
        return std::exp(x0 + (x1 - x0) / 2);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<Extended> TukeyAdjustedP(Extended t, int k, Extended df) {
    if (std::isnan(t)) return std::nullopt;
    return StudentizedRangeUpper(std::fabs(t) * kRoot2, k, df);
}

}  // namespace morvane
