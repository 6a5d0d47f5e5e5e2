#pragma once
// The multivariate test of a within-subject effect: its k contrasts of each
// subject's means are taken as one vector, and the test asks whether their
// mean vector is zero, free of any assumption about their covariance
// (sphericity). The hypothesis has one degree of freedom (the mean vector
// against zero), so the four statistics of the multivariate analysis of
// variance (Pillai's trace, Wilks' lambda, the Hotelling-Lawley trace, Roy's
// largest root) all follow from the one eigenvalue lambda = T^2 / (N - 1) of
// E^-1 H, H = N m m' and E = (N - 1) S for the contrasts' mean m and
// covariance S; and every one of their F approximations, Rao's for Wilks' and
// the upper bound for Roy's included, is then the same exact F of Hotelling's
// T^2 on (k, N - k) degrees of freedom.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

enum class MultivariateStatus {
    Tested,
    OneDf,           // one contrast: the test is the univariate one
    TooFewSubjects,  // N - 1 below the number of contrasts
    Singular,        // the contrasts' covariance has no inverse (a contrast constant, or one of others)
    Omitted,         // too many contrasts for the time their covariances take
    NoEffect,        // the factor has one level
};

struct MultivariateEffect {
    MultivariateStatus status = MultivariateStatus::NoEffect;
    std::int64_t contrasts = 0;
    std::optional<Extended> pillai, wilks, hotellingLawley, roy;
    std::optional<Extended> hotellingT2, f, p;  // the one F of all four, on (df1, df2)
    std::int64_t df1 = 0, df2 = 0;
};

struct MultivariateResults {
    MultivariateEffect A, B, AB;
};

// The test of k = means.size() contrasts over n subjects from their means and
// their covariance (k x k, row-major, divisor n - 1).
MultivariateEffect OneSampleTest(const std::vector<Extended>& means, const std::vector<Extended>& covariance,
                                 std::size_t n);

// The orthonormal Helmert contrasts of levels' means: contrast j (from 0) is
// the mean of levels 0..j less level j + 1, scaled to unit length.
std::vector<Extended> HelmertContrasts(const std::vector<Extended>& means);

// The interaction contrasts of na x nb cells' means (a * nb + b): the
// Helmert contrasts of A times those of B, contrast i * (nb - 1) + j.
std::vector<Extended> InteractionContrasts(const std::vector<Extended>& cellMeans, std::size_t na,
                                           std::size_t nb);

}  // namespace morvane
