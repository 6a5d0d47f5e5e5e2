#include "anova/Distributions.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>

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

}  // namespace morvane
