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
#include "stats/Matrices.h"

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
// their covariance (divisor n - 1): the one eigenvalue in closed form,
// lambda = N m' S^-1 m / (N - 1).
MultivariateEffect OneSampleTest(const std::vector<Extended>& means, const SquareMatrix& covariance,
                                 std::size_t n);

// One statistic of the multivariate analysis of variance with its F
// approximation (R's summary.manova): Pillai's V = sum lambda / (1 + lambda),
// Wilks' Lambda = prod 1 / (1 + lambda) with Rao's F, the Hotelling-Lawley
// trace sum lambda, Roy's largest root max lambda with its F an upper bound.
struct MultivariateStatistic {
    Extended value = 0;
    std::optional<Extended> f, p;
    Extended df1 = 0, df2 = 0;
};

struct MultivariateTest {
    MultivariateStatus status = MultivariateStatus::NoEffect;
    std::size_t variables = 0;  // p: the effect's contrasts
    Extended hypothesisDf = 0, errorDf = 0;
    std::vector<Extended> roots;  // of det(H - lambda E) = 0, from the largest
    MultivariateStatistic pillai, wilks, hotellingLawley, roy;
};

// The test of the hypothesis SSCP matrix H (hypothesisDf = q) against the
// error SSCP matrix E (errorDf = nu) of p = H.order variables: the roots of
// det(H - lambda E) = 0 and the four statistics, s = min(p, q) of the roots
// nonzero. TooFewSubjects where nu < p, Singular where E has no inverse.
MultivariateTest TestMultivariate(const SquareMatrix& h, const SquareMatrix& e, Extended hypothesisDf,
                                  Extended errorDf);

}  // namespace morvane
