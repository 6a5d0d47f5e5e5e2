#include "stats/StudentizedRange.h"

#include <algorithm>
#include <array>
#include <boost/math/constants/constants.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/tools/toms748_solve.hpp>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <vector>

#include "stats/Distributions.h"

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

// The integral over s stops at 1e-11 of its value by its own error estimate
// (Gauss's rule against Kronrod's, which overstates the error by far).
constexpr Extended kOuterTolerance = 1e-11L;
constexpr std::size_t kMaxPanels = 64;

// The range of k standard normals at any width w, for one call: the integrals
// over z of the largest normal by the trapezoidal rule on the grid z = j h,
// which for these integrands (smooth, with tails like a normal density's)
// converges faster than any power of h. The grid is the same for every w, so
// phi(z), Phi(z), 1 - Phi(z), erf(z / sqrt 2) and Phi(z)^(k-1) are worked out
// once a node, when first needed; each w then costs one error function, a
// logarithm and an exponential a node, from the node nearest the integrand's
// peak outwards until its terms fall below 1e-24 of the largest.
class Range {
public:
    explicit Range(int k)
        : k_(k), n_(k - 1), h_(Extended{0.7L} / std::sqrt(Extended(k))),
          first_(static_cast<long>(std::floor(kLeft / h_))) {
        const Extended l = std::log(static_cast<Extended>(k)), root = std::sqrt(2 * l);
        mode_ = root - (std::log(l) + std::log(4 * boost::math::constants::pi<Extended>())) / (2 * root);
    }

    // P(range > w) = k int phi(z) (Phi(z)^(k-1) - (Phi(z) - Phi(z - w))^(k-1)) dz,
    // each term as -Phi(z)^(k-1) expm1((k - 1) ln(1 - r)), r = Phi(z - w) /
    // Phi(z): no difference of nearly equal numbers, however small the tail.
    Extended Upper(Extended w) {
        if (!(w > 0)) return 1;
        return Sum(std::max(mode_, w / 2), w, [&](const Node& node, Extended z) {
            if (!(node.cdf > 0)) return Extended{0};
            const Extended r = Phi(z - w) / node.cdf;
            const Extended log1mr = r < 0.5L ? std::log1p(-r) : std::log(Between(node, z, w) / node.cdf);
            return -node.density * node.power * std::expm1(n_ * log1mr);
        });
    }

    // P(range <= w) = k int phi(z) (Phi(z) - Phi(z - w))^(k-1) dz.
    Extended Cdf(Extended w) {
        if (!(w > 0)) return 0;
        return Sum(mode_ + w / 2, w, [&](const Node& node, Extended z) {
            const Extended between = Between(node, z, w);
            return between > 0 ? node.density * std::exp(n_ * std::log(between)) : Extended{0};
        });
    }

private:
    struct Node {
        Extended density, cdf, upper, erf, power;
    };
    static constexpr Extended kLeft = -40;

    // The node z = j h, worked out when first asked for.
    const Node& At(long j) {
        const std::size_t i = static_cast<std::size_t>(j - first_);
        if (i >= nodes_.size()) nodes_.resize(i + 1, Node{-1, 0, 0, 0, 0});
        Node& node = nodes_[i];
        if (node.density < 0) {
            const Extended z = static_cast<Extended>(j) * h_;
            node.density = k_ * Density(z);
            node.cdf = std::erfc(-z / kRoot2) / 2;
            node.upper = std::erfc(z / kRoot2) / 2;
            node.erf = std::erf(z / kRoot2);
            node.power = node.cdf > 0 ? std::exp(n_ * std::log(node.cdf)) : 0;
        }
        return node;
    }

    // Phi(z) - Phi(z - w), w > 0, to a few units of the format whatever its
    // size: from the pair of upper tails when the interval lies above 1, of
    // lower tails below -1, from erf about 0 when it straddles it; and for an
    // interval so short that even these would cancel, as phi(c) times the
    // integral of exp(-c u - u^2 / 2) over [-w/2, w/2] about its centre c by
    // four-point Gauss-Legendre.
    static Extended Between(const Node& node, Extended z, Extended w) {
        const Extended c = z - w / 2;
        if (w * std::max(Extended{1}, std::fabs(c)) < 1e-3L) {
            static const Extended nodes[] = {0.3399810435848562648026658L, 0.8611363115940525752239465L};
            static const Extended weights[] = {0.6521451548625461426269361L, 0.3478548451374538573730639L};
            const Extended half = w / 2;
            Extended sum = 0;
            for (int i = 0; i < 2; ++i) {
                const Extended u = half * nodes[i];
                sum += weights[i] * std::exp(-u * u / 2) * 2 * std::cosh(c * u);
            }
            return Density(c) * half * sum;
        }
        if (c > 1) return std::erfc((z - w) / kRoot2) / 2 - node.upper;
        if (c < -1) return node.cdf - std::erfc((w - z) / kRoot2) / 2;
        return (node.erf - std::erf((z - w) / kRoot2)) / 2;
    }

    // h times the sum of f over the nodes, walking right and then left from
    // the node nearest `start` until a term falls below 1e-24 of the largest
    // while falling, or the grid ends (40 below 0, 40 beyond w).
    template <class F>
    Extended Sum(Extended start, Extended w, const F& f) {
        const long centre = std::lround(start / h_), last = std::lround((w + 40) / h_);
        Extended sum = 0, largest = 0;
        for (const long step : {1L, -1L}) {
            Extended previous = std::numeric_limits<Extended>::infinity();
            for (long j = step > 0 ? centre : centre - 1; j >= first_ && j <= last; j += step) {
                const Extended z = static_cast<Extended>(j) * h_, term = f(At(j), z);
                sum += term;
                largest = std::max(largest, term);
                if (term < previous && term <= 1e-24L * largest) break;
                previous = term;
            }
        }
        return sum * h_;
    }

    int k_;
    Extended n_, h_, mode_ = 0;
    long first_;
    std::vector<Node> nodes_;
};

// The density of s = sqrt(V / df), V chi-square on df degrees of freedom, as
// exp(c + (df / 2) (1 - s^2 + 2 ln s) - ln s): the constant c = ln 2 + (df / 2)
// (ln(df / 2) - 1) - lgamma(df / 2) is worked out once, from Stirling's series
// where df is large so that it keeps its digits (it is near ln sqrt(df / pi)).
class ScaleDensity {
public:
    explicit ScaleDensity(Extended df) : df_(df) {
        const Extended x = df / 2;
        if (x < 16) {
            c_ = std::log(Extended{2}) + x * (std::log(x) - 1) - boost::math::lgamma(x, Policy());
            return;
        }
        // lgamma(x) = (x - 1/2) ln x - x + ln(2 pi) / 2 + sum B_2j / (2j (2j - 1) x^(2j - 1)).
        static const Extended terms[] = {1.0L / 12, -1.0L / 360, 1.0L / 1260, -1.0L / 1680, 1.0L / 1188,
                                         -691.0L / 360360, 1.0L / 156, -3617.0L / 122400};
        const Extended x2 = x * x;
        Extended series = 0, power = 1 / x;
        for (const Extended t : terms) series += t * power, power /= x2;
        c_ = std::log(Extended{2}) + std::log(x) / 2 - std::log(2 * boost::math::constants::pi<Extended>()) / 2 -
             series;
    }

    Extended operator()(Extended s) const {
        if (!(s > 0)) return 0;
        const Extended l = std::log(s);
        return std::exp(c_ + df_ / 2 * (2 * l - (s - 1) * (s + 1)) - l);
    }

private:
    Extended df_, c_ = 0;
};

// The points in s where the integrand of the mixture over s peaks or turns:
// the mode of s's density, sqrt((df - 1) / df); the peak of the upper tail's
// integrand when the range's tail is near exp(-w^2 / 4), sqrt((df - 1) / (df +
// q^2 / 2)); that of the distribution function's when the range's is near w^(k
// - 1), sqrt((df + k - 2) / df); each with 2, 6 and (below) 12 of its widths
// either side, so that with df large no panel's points step over the narrow
// peak; the turns of the range's distribution at w = 1, 3 and 6; and an end 12
// widths beyond the last peak (the integrands are log-concave in s).
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
        for (const Extended step : {-12, -6, -2, 0, 2, 6}) points.push_back(p.at + step * p.width);
    for (const Extended w : {1, 3, 6}) points.push_back(w / q);
    std::vector<Extended> inside;
    for (const Extended s : points)
        if (s >= 0 && s <= end) inside.push_back(s);
    return inside;
}

// A smooth function of w on [a, b] in pieces, each a Chebyshev series of
// degree kDegree - 1 through its values at the Chebyshev points; a piece whose
// last two coefficients are not below 1e-15 (or 1e-18 of its largest value) is
// halved, down to 1/256 of [a, b]. The range's log tail is near a quadratic in
// w, so a few pieces carry it to the format's precision from a few dozen
// integrals over z, however many points the integral over s then asks for.
class Interpolant {
public:
    // Over [0, b], first in the pieces [0, 1], [1, 2], [2, 4], ..., widening
    // as the function flattens into its quadratic.
    template <class F>
    Interpolant(const F& f, Extended b) {
        Extended a = 0;
        for (Extended next = 1; a < b; next *= 2) {
            const Extended end = next * 1.25L >= b ? b : next;
            Build(f, a, end, 0);
            a = end;
        }
    }

    Extended operator()(Extended w) const {
        const auto piece = std::lower_bound(pieces_.begin(), pieces_.end() - 1, w,
                                            [](const Piece& p, Extended x) { return p.b < x; });
        const Extended x = (2 * w - piece->a - piece->b) / (piece->b - piece->a);
        Extended next = 0, current = 0;
        for (std::size_t j = kDegree - 1; j > 0; --j) {
            const Extended previous = current;
            current = 2 * x * current - next + piece->c[j];
            next = previous;
        }
        return x * current - next + piece->c[0] / 2;
    }

private:
    static constexpr std::size_t kDegree = 24;
    struct Piece {
        Extended a, b;
        std::array<Extended, kDegree> c;
    };

    // cos(pi j (i + 1/2) / kDegree), the Chebyshev polynomials at the points.
    static const std::array<Extended, kDegree * kDegree>& Cosines() {
        static const auto table = [] {
            std::array<Extended, kDegree * kDegree> t{};
            for (std::size_t j = 0; j < kDegree; ++j)
                for (std::size_t i = 0; i < kDegree; ++i)
                    t[j * kDegree + i] = std::cos(boost::math::constants::pi<Extended>() * static_cast<Extended>(j) *
                                                  (static_cast<Extended>(i) + 0.5L) / kDegree);
            return t;
        }();
        return table;
    }

    template <class F>
    void Build(const F& f, Extended a, Extended b, int depth) {
        const auto& cosines = Cosines();
        std::array<Extended, kDegree> values{};
        Extended largest = 0;
        for (std::size_t i = 0; i < kDegree; ++i) {
            values[i] = f(a + (b - a) * (1 + cosines[kDegree + i]) / 2);
            largest = std::max(largest, std::fabs(values[i]));
        }
        Piece piece{a, b, {}};
        for (std::size_t j = 0; j < kDegree; ++j) {
            Extended sum = 0;
            for (std::size_t i = 0; i < kDegree; ++i) sum += values[i] * cosines[j * kDegree + i];
            piece.c[j] = 2 * sum / kDegree;
        }
        const Extended tail = std::fabs(piece.c[kDegree - 1]) + std::fabs(piece.c[kDegree - 2]);
        if (depth >= 8 || tail <= std::max(Extended{1e-15L}, 1e-18L * largest)) {
            pieces_.push_back(piece);
            return;
        }
        const Extended middle = a + (b - a) / 2;
        Build(f, a, middle, depth + 1);
        Build(f, middle, b, depth + 1);
    }

    std::vector<Piece> pieces_;
};

// The widest range whose tail is worth working out: beyond 190 it is below
// 1e-3900.
constexpr Extended kWidest = 190;

// An s beyond which the upper tail's integrand adds less than 1e-30 of the
// whole: the range's tail is below that of the k (k - 1) / 2 pairs'
// differences, k (k - 1) / 2 erfc(w / 2), so the part beyond s is below that at
// q s times P(scale > s); and the whole is above one pair's, P(|T| > q / sqrt 2)
// on df. The s where the first falls to 1e-30 of the second, by bisection in s
// below where the pairs' bound alone would put it.
Extended UpperEnd(Extended q, int k, Extended df) {
    const std::optional<Extended> pair = TTwoSided(q / kRoot2, df);
    const Extended pairs = static_cast<Extended>(k) * (k - 1) / 2;
    if (!pair || !(*pair > 0)) return kWidest / q;
    const Extended bound = 1e-30L * *pair / pairs;
    if (!(bound > std::numeric_limits<Extended>::min())) return kWidest / q;
    Extended high = std::min(kWidest, 2 * boost::math::erfc_inv(bound, Policy())) / q, low = 0;
    for (int i = 0; i < 30; ++i) {
        const Extended s = (low + high) / 2;
        const Extended beyond = std::erfc(q * s / 2) * boost::math::gamma_q(df / 2, df * s * s / 2, Policy());
        (beyond <= bound ? high : low) = s;
    }
    return high;
}

// A width beyond which the range's distribution function is 1 to the format's
// precision, its tail below 1e-22 by the pairs' bound above.
Extended CdfWidest(int k) {
    const Extended pairs = static_cast<Extended>(k) * (k - 1) / 2;
    return 2 * boost::math::erfc_inv(1e-22L / pairs, Policy());
}

// P(Q > q) or P(Q <= q) for q > 0 finite: the range's tail or distribution
// function at q s, over the density of s (the range's own for df infinite).
// The range's log tail, or log distribution function less (k - 1) ln w (which
// is smooth down to w = 0), is interpolated over the widths the integral over
// s reaches where it is worth working out.
Extended Mixture(Extended q, int k, Extended df, bool upper) {
    Range range(k);
    if (std::isinf(df)) return upper ? range.Upper(q) : range.Cdf(q);
    std::vector<Extended> points = ScalePoints(q, k, df, upper);
    Extended end = *std::max_element(points.begin(), points.end());
    if (upper) {
        end = std::min(end, UpperEnd(q, k, df));
        std::erase_if(points, [&](Extended s) { return s > end; });
        points.push_back(end);
    }
    const Extended n = k - 1, least = std::numeric_limits<Extended>::denorm_min();
    const auto logRange = [&](Extended w) {
        if (upper) return std::log(std::max(least, range.Upper(w)));
        return std::log(std::max(least, range.Cdf(w))) - n * std::log(w);
    };
    const Extended widest = upper ? q * end : std::min(q * end, CdfWidest(k));
    const Interpolant interpolant(logRange, widest);
    const ScaleDensity scale(df);
    const auto integrand = [&](Extended s) {
        const Extended density = scale(s);
        if (!(density > 0)) return Extended{0};
        const Extended w = q * s;
        if (w > widest) return upper ? Extended{0} : density;
        return density * std::exp(interpolant(w) + (upper ? 0 : n * std::log(w)));
    };
    return Integrate(integrand, points, kOuterTolerance, kMaxPanels);
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
