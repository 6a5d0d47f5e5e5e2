#pragma once
// Private to the full analysis: the figures of a moment that the pass summed
// in integers, each formed exactly from its sums and rounded once. With the
// values v_s (each `divisor` times the statistic's, offsets in units of
// 10^scale from references totalling R) over n subjects, S = sum v_s and
// C = n sum v_s^2 - S^2:
//   mean      (n R + S) / (n divisor)                    x 10^scale
//   SD        sqrt(C / (n (n - 1) divisor^2))             x 10^scale
//   SE        sqrt(C / (n^2 (n - 1) divisor^2))           x 10^scale
//   t         (n R + S) sqrt((n - 1) / C), the mean over its SE
//   d_z       t / sqrt(n)

#include <cstddef>
#include <cstdint>

#include "analysis/detail/Moments.h"
#include "exact/ExactFraction.h"

namespace morvane::analysis {

// The mean times n divisor, the statistic's sum over the subjects in units.
inline ExactFraction ExactTotal(const Moment::Exact& m, std::size_t n) {
    return ExactFraction(static_cast<Int128>(n)) * ExactFraction(m.referenceTotal) + ExactFraction(m.sum);
}

inline Extended ExactMean(const Moment::Exact& m, std::size_t n, int scale) {
    return (ExactTotal(m, n) / ExactFraction(static_cast<Int128>(n) * m.divisor)).Rounded(scale);
}

// The variance's divisor n (n - 1) divisor^2 times `more`.
inline ExactFraction ExactSpread(const Moment::Exact& m, std::size_t n, Int128 more = 1) {
    const auto N = static_cast<Int128>(n), d = static_cast<Int128>(m.divisor);
    return ExactFraction(m.centred) / (ExactFraction(N * (N - 1) * d * d) * ExactFraction(more));
}

inline Extended ExactSd(const Moment::Exact& m, std::size_t n, int scale) {
    return ExactSpread(m, n).RoundedRoot(2L * scale);
}

inline Extended ExactSe(const Moment::Exact& m, std::size_t n, int scale) {
    return ExactSpread(m, n, static_cast<Int128>(n)).RoundedRoot(2L * scale);
}

// Cousineau (2005) and Morey (2008): of a normalised moment (values less the subject's
// mean), its SE times sqrt(M / (M - 1)) for M conditions.
inline Extended ExactWithinSe(const Moment::Exact& normalised, std::size_t n, std::size_t conditions,
                              int scale) {
    const auto M = static_cast<Int128>(conditions);
    return (ExactSpread(normalised, n, static_cast<Int128>(n)) * ExactFraction(M, M - 1)).RoundedRoot(2L * scale);
}

// Absent (the caller's) where C = 0; `over` = n for d_z, 1 for t.
inline Extended ExactStandardised(const Moment::Exact& m, std::size_t n, Int128 over) {
    const ExactFraction total = ExactTotal(m, n);
    const auto N = static_cast<Int128>(n);
    const Extended magnitude =
        (total * total * ExactFraction(N - 1) / (ExactFraction(m.centred) * ExactFraction(over))).RoundedRoot();
    return total.Sign() < 0 ? -magnitude : magnitude;
}

}  // namespace morvane::analysis
