#pragma once
// The power of the F test of a repeated-measures effect, from the noncentral F:
// the power at a total N, the smallest N for a power, and the smallest effect
// f detectable at N with a power; in two conventions for the noncentrality.
//
// The power programs' convention (the default): f is the effect's standard
// deviation over the within-cell standard deviation, rho the correlation among
// the M measures, N the total over K groups, epsilon the sphericity correction:
//   within:       lambda = f^2 N M epsilon / (1 - rho),  df (M - 1) epsilon, (N - K)(M - 1) epsilon
//   between:      lambda = f^2 N M / (1 + (M - 1) rho),  df K - 1, N - K
//   interaction:  as within with df1 = (K - 1)(M - 1) epsilon.
// The statistics packages' convention: f^2 = partial eta squared / (1 - partial
// eta squared) as an analysis reports it, lambda = f^2 times the effect's error
// df (N - K for a between effect, (N - K)(M - 1) epsilon for within and
// interaction effects), no rho.
//
// Both were checked against the one published comparison found (a page that
// sets the power programs side by side, searched for their "as in" option and
// the repeated-measures noncentrality): a within factor of three measures,
// partial eta squared .05, alpha .05, power .80 needs N = 33 in the first
// convention (rho .5, epsilon 1) and N = 95 in the second; these formulas give
// exactly those N (PowerTest). The page also names lambda = M N f^2 / (1 - rho)
// as the power programs' within noncentrality.
//
// Nothing here depends on how N is split among the K groups: N is a total, and
// the groups need not be equal (the smallest N whose groups are equal is the
// smallest multiple of K at or above it, since the power grows with N).

#include <optional>
#include <string_view>

#include "runtime/Extended.h"

namespace morvane {

enum class PowerEffect { Within, Between, Interaction };
enum class PowerConvention { PowerPrograms, StatisticsPackages };

// The design an effect's test is planned for. `rho` is used by the power
// programs' convention alone; `epsilon` by within and interaction effects.
struct PowerDesign {
    PowerEffect effect = PowerEffect::Within;
    PowerConvention convention = PowerConvention::PowerPrograms;
    int measures = 2;  // M, the levels of the within factor
    int groups = 1;    // K, the levels of the between factor
    Extended rho = 0.5L;
    Extended epsilon = 1;
    Extended alpha = 0.05L;
};

// The figures of one test at a total N.
struct PowerAtN {
    Extended n = 0, lambda = 0, df1 = 0, df2 = 0, criticalF = 0, power = 0;
};

// Why a design cannot be planned, in words for a user ("" when it can): M, K,
// rho, epsilon and alpha each in its range for the effect.
std::string_view PowerDesignProblem(const PowerDesign& design);

// The smallest total N the test has at least one error df for: K + 1.
long long SmallestPlannableN(const PowerDesign& design);

// The noncentrality of an effect f at total N (N above K, f >= 0).
Extended PowerLambda(const PowerDesign& design, Extended f, Extended n);

// The test at total N: its df, lambda, the critical F at alpha and
// 1 - P(F' <= critical F) for the noncentral F'. Absent for an N below
// SmallestPlannableN or an f below 0; the design must have no problem.
std::optional<PowerAtN> PowerOfTest(const PowerDesign& design, Extended f, Extended n);

// The smallest total N (from SmallestPlannableN) whose power reaches `power`
// (alpha < power < 1), N - 1 not reaching it; absent when f is 0 or no N up
// to `largest` reaches it.
std::optional<PowerAtN> SmallestNForPower(const PowerDesign& design, Extended f, Extended power,
                                          long long largest = 1000000000LL);

// The smallest f whose power at total N reaches `power` (alpha < power < 1),
// by bisection to 1e-15 of f; with its test. Absent for an N below
// SmallestPlannableN.
struct DetectableEffect {
    Extended f = 0;
    PowerAtN test;
};
std::optional<DetectableEffect> SmallestDetectableF(const PowerDesign& design, Extended n, Extended power);

// f from partial eta squared (0 <= eta2p < 1) and back: f^2 = eta2p / (1 -
// eta2p). Each convention reads its own partial eta squared this way: the
// statistics packages' is the one an analysis reports, the power programs'
// the share of the effect in the effect and the within-cell variance.
Extended FFromPartialEtaSquared(Extended eta2p);
Extended PartialEtaSquaredFromF(Extended f);

// The f of one convention that gives the same lambda at total N as `f` of the
// other (`from`), for the design's effect, M, K, rho and epsilon: the power
// programs' f^2 is the packages' times (N - K)(M - 1)(1 - rho) / (N M) for a
// within or interaction effect and (N - K)(1 + (M - 1) rho) / (N M) for a
// between effect.
Extended FInOtherConvention(const PowerDesign& design, Extended f, PowerConvention from, Extended n);

}  // namespace morvane
