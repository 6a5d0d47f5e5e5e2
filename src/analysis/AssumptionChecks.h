#pragma once
// The checks of the analysis' assumptions on the residuals of its error
// strata. With m the means of the subjects (s), levels (a, b), cells and all:
//   subjects   m(s) - m
//   A x S      m(s, a) - m(s) - m(a) + m
//   B x S      m(s, b) - m(s) - m(b) + m
//   A x B x S  y - m(s, a) - m(s, b) - m(a, b) + m(s) + m(a) + m(b) - m
// Each stratum's residuals are tested for normality by Shapiro and Wilk's W
// (Royston's 1995 algorithm, for 3 to 5000 values), and studentized: in a
// balanced design every residual of a stratum has the same leverage, and the
// studentized residual is e / sqrt(SS / count) for the stratum's sum of
// squares SS over its count of residuals, and a normal Q-Q plot's points
// pair them, from low to high, with the standard normal quantiles of their
// plotting positions. The cells' scores have their
// skewness and excess kurtosis as G1 and G2, the adjusted sample statistics.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/Extended.h"
#include "stats/QuantilePoints.h"
#include "stats/ShapiroWilk.h"

namespace morvane {

enum class Stratum { Subjects, AS, BS, ABS };

struct StratumCheck {
    Stratum stratum = Stratum::Subjects;
    std::int64_t df = 0;
    ShapiroWilkTest normality;
    std::optional<Extended> largestStudentized;  // in magnitude; absent for residuals all zero
    std::size_t outlying = 0;                    // residuals whose studentized value exceeds 3
    std::vector<QuantilePoint> quantiles;        // the Q-Q plot; empty where not studentized
};

struct CellShape {
    std::int32_t a = 0, b = 0;  // from 1
    std::optional<Extended> skewness, excessKurtosis;
};

// A subject (its row, from 1) with a studentized residual beyond 3 in a stratum.
struct OutlyingSubject {
    std::int32_t subject = 0;
    std::vector<Stratum> strata;
    Extended largest = 0;  // its largest studentized residual in magnitude, with its sign
};

struct AssumptionChecks {
    std::vector<StratumCheck> strata;  // subjects, A x S, B x S, A x B x S
    std::vector<CellShape> cells;
    std::vector<OutlyingSubject> outlying;  // by row, at most kOutlyingListed
    std::size_t outlyingSubjects = 0;       // all of them
};

inline constexpr std::size_t kOutlyingListed = 100;
inline constexpr Extended kOutlyingStudentized = 3;

}  // namespace morvane
