#include "stats/Power.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_f.hpp>
#include <cmath>
#include <exception>

namespace morvane {
namespace {

// Extended arithmetic throughout, as the other distributions: no promotion,
// and a tail too small for the format is zero rather than an error.
using Policy = boost::math::policies::policy<
    boost::math::policies::promote_float<false>, boost::math::policies::promote_double<false>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>>;

constexpr int kMostLevels = 1000000;

bool HasWithin(PowerEffect effect) {
    return effect != PowerEffect::Between;
}

// The numerator and error df of the effect's test at total N.
void DegreesOfFreedom(const PowerDesign& d, Extended n, Extended& df1, Extended& df2) {
    const Extended m = d.measures, k = d.groups;
    if (d.effect == PowerEffect::Between) {
        df1 = k - 1;
        df2 = n - k;
        return;
    }
    df1 = (d.effect == PowerEffect::Within ? 1 : k - 1) * (m - 1) * d.epsilon;
    df2 = (n - k) * (m - 1) * d.epsilon;
}

// The power of the test with these df and lambda at the design's alpha: the
// upper tail of the noncentral F beyond the central F's 1 - alpha quantile.
std::optional<PowerAtN> Test(const PowerDesign& d, Extended f, Extended n) {
    PowerAtN test;
    test.n = n;
    DegreesOfFreedom(d, n, test.df1, test.df2);
    test.lambda = PowerLambda(d, f, n);
    if (!std::isfinite(test.lambda)) return std::nullopt;
    try {
        const boost::math::fisher_f_distribution<Extended, Policy> central(test.df1, test.df2);
        test.criticalF = boost::math::quantile(boost::math::complement(central, d.alpha));
        if (test.lambda == 0) {
            test.power = d.alpha;
        } else {
            const boost::math::non_central_f_distribution<Extended, Policy> shifted(test.df1, test.df2,
                                                                                     test.lambda);
            test.power = boost::math::cdf(boost::math::complement(shifted, test.criticalF));
        }
    } catch (const std::exception&) {
        return std::nullopt;  // Boost's evaluation error: no figure rather than a wrong one
    }
    return test;
}

}  // namespace

std::string_view PowerDesignProblem(const PowerDesign& d) {
    const bool within = HasWithin(d.effect);
    if (d.measures < (within ? 2 : 1) || d.measures > kMostLevels)
        return within ? "a within or interaction effect needs at least 2 measures"
                      : "the number of measures is at least 1";
    if (d.groups < (d.effect == PowerEffect::Within ? 1 : 2) || d.groups > kMostLevels)
        return d.effect == PowerEffect::Within ? "the number of groups is at least 1"
                                               : "a between or interaction effect needs at least 2 groups";
    if (!(d.alpha > 0 && d.alpha < 1)) return "alpha is a number between 0 and 1";
    if (!(d.rho > -1 && d.rho < 1)) return "rho is a correlation above -1 and below 1";
    if (d.effect == PowerEffect::Between && !(1 + (d.measures - 1) * d.rho > 0))
        return "rho is above -1/(M - 1): the measures' mean has no variance below it";
    if (within && !(d.epsilon >= 1 / Extended(d.measures - 1) && d.epsilon <= 1))
        return "epsilon is between 1/(M - 1) and 1";
    return "";
}

long long SmallestPlannableN(const PowerDesign& design) {
    return static_cast<long long>(design.groups) + 1;
}

Extended PowerLambda(const PowerDesign& d, Extended f, Extended n) {
    const Extended f2 = f * f, m = d.measures;
    if (d.convention == PowerConvention::StatisticsPackages) {
        Extended df1 = 0, df2 = 0;
        DegreesOfFreedom(d, n, df1, df2);
        return f2 * df2;
    }
    if (d.effect == PowerEffect::Between) return f2 * n * m / (1 + (m - 1) * d.rho);
    return f2 * n * m * d.epsilon / (1 - d.rho);
}

std::optional<PowerAtN> PowerOfTest(const PowerDesign& design, Extended f, Extended n) {
    if (!(n >= static_cast<Extended>(SmallestPlannableN(design))) || !(f >= 0) || !std::isfinite(f))
        return std::nullopt;
    return Test(design, f, n);
}

std::optional<PowerAtN> SmallestNForPower(const PowerDesign& design, Extended f, Extended power,
                                          long long largest) {
    if (!(f > 0) || !std::isfinite(f) || !(power > design.alpha && power < 1)) return std::nullopt;
    const auto at = [&](long long n) { return Test(design, f, static_cast<Extended>(n)); };
    long long low = SmallestPlannableN(design);
    std::optional<PowerAtN> high = at(low);
    if (!high) return std::nullopt;
    if (high->power >= power) return high;
    // Doubling from the smallest N until the power is reached, then halving
    // the bracket (low short of the power, high reaching it): the power grows with N.
    long long step = 1;
    for (;;) {
        const long long next = low + step;
        if (next > largest) {
            if (low == largest) return std::nullopt;
            step = largest - low;
            continue;
        }
        high = at(next);
        if (!high) return std::nullopt;
        if (high->power >= power) break;
        low = next;
        step *= 2;
    }
    long long top = static_cast<long long>(high->n);
    while (top - low > 1) {
        const long long middle = low + (top - low) / 2;
        std::optional<PowerAtN> test = at(middle);
        if (!test) return std::nullopt;
        if (test->power >= power)
            top = middle, high = test;
        else
            low = middle;
    }
    return high;
}

std::optional<DetectableEffect> SmallestDetectableF(const PowerDesign& design, Extended n, Extended power) {
    if (!(n >= static_cast<Extended>(SmallestPlannableN(design))) || !std::isfinite(n) ||
        !(power > design.alpha && power < 1))
        return std::nullopt;
    // A bracket of f, doubled from 1/8 until the power is reached, then halved.
    Extended low = 0, high = 0.125L;
    std::optional<PowerAtN> reached = Test(design, high, n);
    for (int doublings = 0; reached && reached->power < power; ++doublings) {
        if (doublings > 80) return std::nullopt;
        low = high;
        high *= 2;
        reached = Test(design, high, n);
    }
    if (!reached) return std::nullopt;
    for (int halvings = 0; halvings < 200 && high - low > 1e-15L * high; ++halvings) {
        const Extended middle = low + (high - low) / 2;
        std::optional<PowerAtN> test = Test(design, middle, n);
        if (!test) return std::nullopt;
        if (test->power >= power)
            high = middle, reached = test;
        else
            low = middle;
    }
    return DetectableEffect{high, *reached};
}

Extended FFromPartialEtaSquared(Extended eta2p) {
    return std::sqrt(eta2p / (1 - eta2p));
}

Extended PartialEtaSquaredFromF(Extended f) {
    return f * f / (1 + f * f);
}

Extended FInOtherConvention(const PowerDesign& design, Extended f, PowerConvention from, Extended n) {
    // The power programs' lambda over f^2, and the packages', at N: their ratio maps one f^2 to the other.
    PowerDesign each = design;
    each.convention = PowerConvention::PowerPrograms;
    const Extended programs = PowerLambda(each, 1, n);
    each.convention = PowerConvention::StatisticsPackages;
    const Extended packages = PowerLambda(each, 1, n);
    const Extended ratio = from == PowerConvention::PowerPrograms ? programs / packages : packages / programs;
    return f * std::sqrt(ratio);
}

}  // namespace morvane
