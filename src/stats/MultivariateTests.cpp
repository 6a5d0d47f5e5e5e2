#include "stats/MultivariateTests.h"

#include <cmath>
#include <limits>

#include "stats/Tails.h"

namespace morvane {
namespace {

std::optional<Extended> QuadraticForm(std::vector<Extended> s, std::vector<Extended> m, std::size_t k);

}  // namespace

MultivariateEffect OneSampleTest(const std::vector<Extended>& means, const std::vector<Extended>& covariance,
                                 std::size_t n) {
    MultivariateEffect out;
    const std::size_t k = means.size();
    out.contrasts = static_cast<std::int64_t>(k);
    if (k == 0) return out;
    if (k == 1) {
        out.status = MultivariateStatus::OneDf;
        return out;
    }
    if (n < k + 1 || covariance.size() != k * k) {
        out.status = MultivariateStatus::TooFewSubjects;
        return out;
    }
    const std::optional<Extended> form = QuadraticForm(covariance, means, k);  // m' S^-1 m
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
    out.p = tails::FUpper(*out.f, K, N - K);
    return out;
}

std::vector<Extended> HelmertContrasts(const std::vector<Extended>& means) {
    std::vector<Extended> z;
    Extended prefix = 0;
    for (std::size_t j = 0; j + 1 < means.size(); ++j) {
        prefix += means[j];
        const auto J = static_cast<Extended>(j + 1);
        z.push_back((prefix - J * means[j + 1]) / std::sqrt(J * (J + 1)));
    }
    return z;
}

std::vector<Extended> InteractionContrasts(const std::vector<Extended>& cellMeans, std::size_t na,
                                           std::size_t nb) {
    // The contrasts of A at each level of B, then those of B of each row of them.
    std::vector<std::vector<Extended>> left(na > 0 ? na - 1 : 0, std::vector<Extended>(nb));
    for (std::size_t b = 0; b < nb; ++b) {
        std::vector<Extended> column(na);
        for (std::size_t a = 0; a < na; ++a) column[a] = cellMeans[a * nb + b];
        const std::vector<Extended> z = HelmertContrasts(column);
        for (std::size_t i = 0; i < z.size(); ++i) left[i][b] = z[i];
    }
    std::vector<Extended> out;
    for (const auto& row : left)
        for (Extended v : HelmertContrasts(row)) out.push_back(v);
    return out;
}

namespace {

// m' S^-1 m by Cholesky's factorisation of S (divided by its trace first, which
// keeps the covariances of large scores finite); absent when S is singular
// (a pivot within rounding of zero) or not positive definite.
std::optional<Extended> QuadraticForm(std::vector<Extended> s, std::vector<Extended> m, std::size_t k) {
    Extended trace = 0;
    for (std::size_t j = 0; j < k; ++j) trace += s[j * k + j];
    if (!(trace > 0) || !std::isfinite(trace)) return std::nullopt;
    for (Extended& v : s) v /= trace;
    const Extended tolerance = 64 * std::numeric_limits<Extended>::epsilon() * static_cast<Extended>(k);
    for (std::size_t j = 0; j < k; ++j) {
        Extended d = s[j * k + j];
        for (std::size_t l = 0; l < j; ++l) d -= s[j * k + l] * s[j * k + l];
        if (!(d > tolerance * s[j * k + j]) || !(d > 0)) return std::nullopt;
        const Extended root = std::sqrt(d);
        s[j * k + j] = root;
        for (std::size_t i = j + 1; i < k; ++i) {
            Extended v = s[i * k + j];
            for (std::size_t l = 0; l < j; ++l) v -= s[i * k + l] * s[j * k + l];
            s[i * k + j] = v / root;
        }
    }
    // Forward substitution L y = m: m' S^-1 m = |y|^2 / trace.
    Extended form = 0;
    for (std::size_t i = 0; i < k; ++i) {
        Extended v = m[i];
        for (std::size_t l = 0; l < i; ++l) v -= s[i * k + l] * m[l];
        m[i] = v / s[i * k + i];
        form += m[i] * m[i];
    }
    return form / trace;
}

}  // namespace
}  // namespace morvane
