#pragma once
// The sphericity of a within-subject effect from the covariance matrix S of
// its k orthonormal contrasts on nu degrees of freedom of error (n - 1 for n
// subjects of one group, N - g pooled within g groups):
//   Mauchly's W = det S / (trace S / k)^k (Mauchly 1940), with Anderson's
//     chi-square approximation of -nu rho log W on k (k + 1) / 2 - 1 df and its
//     second-order term, rho = 1 - (2 k^2 + k + 2) / (6 k nu) and
//     omega2 = (k + 2)(k - 1)(k - 2)(2 k^3 + 6 k^2 + 3 k + 2) / (288 (nu k rho)^2);
//   Greenhouse and Geisser's epsilon (trace S)^2 / (k trace S^2) (1959);
//   Huynh and Feldt's epsilon in Lecoutre's form
//     ((nu + 1) k eps_GG - 2) / (k (nu - k eps_GG)) (Huynh and Feldt 1976,
//     Lecoutre 1991), which for one group is ((n k eps_GG - 2) / (k (n - 1 - k eps_GG)));
//   the lower bound 1 / k.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/Extended.h"
#include "stats/Matrices.h"

namespace morvane {

struct SphericityTest {
    std::int64_t contrasts = 0;  // k
    std::int64_t df = 0;         // of the chi-square
    // W = 0 (S singular: some contrast constant over the subjects, or a
    // combination of the others) is a decisive violation: the chi-square is
    // then infinite (chiSquareInfinite) and p = 0.
    std::optional<Extended> mauchlyW, chiSquare, p;
    bool chiSquareInfinite = false;
    // p with the second-order term as R's mauchly.test has it: the number of
    // within cells of the design where the published formula has k, in the
    // term's 3 k + 2; the same as p for fewer than three contrasts.
    std::optional<Extended> pAsR;
    // Huynh and Feldt's as the formula gives it, above 1 too; a correction
    // applies it capped at 1.
    std::optional<Extended> greenhouseGeisser, huynhFeldt, lowerBound;
};

// A correction of the degrees of freedom by a factor epsilon.
struct Correction {
    std::optional<Extended> epsilon;      // Huynh-Feldt: as the formula gives it, above 1 too
    std::optional<Extended> df1, df2, p;  // with epsilon applied (capped at 1)
};

// The sphericity test of an effect with each correction applied to its F.
struct Sphericity {
    std::int64_t contrasts = 0;  // the effect's degrees of freedom
    // W = 0 (a covariance of the contrasts that is singular: some contrast is
    // constant across subjects or a combination of the others) is a decisive
    // violation: chiSquare is then absent with chiSquareInfinite set, and p = 0.
    std::optional<Extended> mauchlyW, chiSquare, p;
    bool chiSquareInfinite = false;
    std::int64_t df = 0;  // of the chi-square
    // p with the second-order term as R's mauchly.test has it (the number of
    // cells of the design where the published formula has the number of
    // contrasts, in its 3 k + 2); the same as p for fewer than three contrasts.
    std::optional<Extended> pAsR;
    Correction greenhouseGeisser, huynhFeldt, lowerBound;
};

// Of k = covariance.order contrasts on `errorDf` degrees of freedom; `cells`
// the within cells of the design (R's variant of the second-order term). W and
// its test need errorDf >= k; Huynh and Feldt's epsilon needs errorDf > 1 (with
// one degree of freedom it is 0 / 0).
SphericityTest TestSphericity(const SquareMatrix& covariance, Extended errorDf, std::size_t cells);

// The test with each epsilon applied to the effect's F on (effectDf,
// errorDf): Greenhouse and Geisser's and the lower bound as they are, Huynh
// and Feldt's capped at 1 (and reported as the test gives it).
Sphericity CorrectedSphericity(const SphericityTest& test, std::int64_t effectDf, std::int64_t errorDf,
                               std::optional<Extended> f);

// (trace S)^2 / (k trace S^2); absent for a trace or a sum of squares not above zero.
std::optional<Extended> GreenhouseGeisserEpsilon(const SquareMatrix& covariance);

}  // namespace morvane
