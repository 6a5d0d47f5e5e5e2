#include "stats/MultivariateTests.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "stats/Distributions.h"
#include "stats/Matrices.h"

namespace morvane {

MultivariateEffect OneSampleTest(const std::vector<Extended>& means, const SquareMatrix& covariance,
                                 std::size_t n) {
    MultivariateEffect out;
    const std::size_t k = means.size();
    out.contrasts = static_cast<std::int64_t>(k);
    if (k == 0) return out;
    if (k == 1) {
        out.status = MultivariateStatus::OneDf;
        return out;
    }
    if (n < k + 1 || covariance.order != k) {
        out.status = MultivariateStatus::TooFewSubjects;
        return out;
    }
    const std::optional<Extended> form = InverseQuadraticForm(covariance, means);
    if (!form) {
        out.status = MultivariateStatus::Singular;
        return out;
    }
    out.status = MultivariateStatus::Tested;
    const auto N = static_cast<Extended>(n), K = static_cast<Extended>(k);
    const Extended t2 = N * *form, lambda = t2 / (N - 1);
    out.hotellingT2 = t2;
    out.pillai = lambda / (1 + lambda);
    out.wilks = 1 / (1 + lambda);
    out.hotellingLawley = lambda;
    out.roy = lambda;
    out.df1 = static_cast<std::int64_t>(k);
    out.df2 = static_cast<std::int64_t>(n - k);
    // n = k + 1 leaves the F one degree of freedom of error.
    out.f = lambda * (N - K) / K;
    out.p = FUpperTail(*out.f, K, N - K);
    return out;
}

namespace {

MultivariateStatistic WithF(Extended value, Extended f, Extended df1, Extended df2);

}  // namespace

MultivariateTest TestMultivariate(const SquareMatrix& h, const SquareMatrix& e, Extended hypothesisDf,
                                  Extended errorDf) {
    MultivariateTest out;
    const std::size_t p = h.order;
    out.variables = p, out.hypothesisDf = hypothesisDf, out.errorDf = errorDf;
    if (p == 0 || !(hypothesisDf > 0)) return out;
    if (errorDf < static_cast<Extended>(p) || e.order != p) {
        out.status = MultivariateStatus::TooFewSubjects;
        return out;
    }
    const std::optional<std::vector<Extended>> roots = RelativeEigenvalues(h, e);
    if (!roots) {
        out.status = MultivariateStatus::Singular;
        return out;
    }
    out.status = MultivariateStatus::Tested;
    const auto P = static_cast<Extended>(p), q = hypothesisDf, nu = errorDf;
    const Extended s = std::min(P, q);
    for (std::size_t i = 0; i < p; ++i) out.roots.push_back(i < s ? std::max(Extended{0}, (*roots)[i]) : 0);
    Extended pillai = 0, wilks = 1, trace = 0;
    for (Extended l : out.roots) pillai += l / (1 + l), wilks /= 1 + l, trace += l;
    const Extended roy = out.roots.front();
    const Extended m = (std::fabs(P - q) - 1) / 2, n = (nu - P - 1) / 2;
    // Pillai: F = (2 n + s + 1) V / ((2 m + s + 1)(s - V)) on s (2 m + s + 1), s (2 n + s + 1).
    out.pillai = WithF(pillai, (2 * n + s + 1) / (2 * m + s + 1) * pillai / (s - pillai), s * (2 * m + s + 1),
                       s * (2 * n + s + 1));
    // Wilks: Rao's F with t = sqrt((p^2 q^2 - 4) / (p^2 + q^2 - 5)), 1 where that divisor is not positive.
    const Extended r = nu - (P - q + 1) / 2, u = (P * q - 2) / 4, d = P * P + q * q - 5;
    const Extended t = d > 0 ? std::sqrt((P * P * q * q - 4) / d) : 1;
    const Extended wilksDf2 = r * t - 2 * u;
    out.wilks = WithF(wilks, (std::pow(wilks, -1 / t) - 1) * wilksDf2 / (P * q), P * q, wilksDf2);
    // Hotelling-Lawley: F = 2 (s n + 1) T / (s^2 (2 m + s + 1)) on s (2 m + s + 1), 2 (s n + 1).
    out.hotellingLawley = WithF(trace, 2 * (s * n + 1) * trace / (s * s * (2 * m + s + 1)), s * (2 * m + s + 1),
                                2 * (s * n + 1));
    // Roy: F = (nu - max(p, q) + q) theta / max(p, q) on max(p, q), nu - max(p, q) + q.
    const Extended larger = std::max(P, q);
    out.roy = WithF(roy, (nu - larger + q) * roy / larger, larger, nu - larger + q);
    return out;
}

namespace {

// Each statistic's F and p, undefined where the approximation leaves no
// degrees of freedom or no finite F.
MultivariateStatistic WithF(Extended value, Extended f, Extended df1, Extended df2) {
    MultivariateStatistic out;
    out.value = value, out.df1 = df1, out.df2 = df2;
    if (!(df1 > 0) || !(df2 > 0) || !std::isfinite(f)) return out;
    out.f = f;
    out.p = FUpperTail(f, df1, df2);
    return out;
}

}  // namespace
}  // namespace morvane
