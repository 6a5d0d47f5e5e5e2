#include "stats/Tails.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>

namespace morvane::tails {
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

std::optional<Extended> FUpper(Extended f, Extended df1, Extended df2) {
    if (!Positive(df1) || !Positive(df2) || !std::isfinite(f)) return std::nullopt;
    if (f <= 0) return Extended{1};
    const boost::math::fisher_f_distribution<Extended, Policy> distribution(df1, df2);
    return boost::math::cdf(boost::math::complement(distribution, f));
}

std::optional<Extended> ChiSquareUpper(Extended x, Extended df) {
    if (!Positive(df) || !std::isfinite(x)) return std::nullopt;
    if (x <= 0) return Extended{1};
    const boost::math::chi_squared_distribution<Extended, Policy> distribution(df);
    return boost::math::cdf(boost::math::complement(distribution, x));
}

std::optional<Extended> NormalUpper(Extended z) {
    if (!std::isfinite(z)) return std::nullopt;
    const boost::math::normal_distribution<Extended, Policy> distribution;
    return boost::math::cdf(boost::math::complement(distribution, z));
}

std::optional<Extended> NormalQuantile(Extended q) {
    if (!(q > 0 && q < 1)) return std::nullopt;
    const boost::math::normal_distribution<Extended, Policy> distribution;
    return boost::math::quantile(distribution, q);
}

}  // namespace morvane::tails
