#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/AnalysisSteps.h"
#include "stats/Distributions.h"

namespace morvane::anova {
namespace {

Sphericity SphericityFrom(const Matrix& s, std::size_t k, std::size_t n, std::size_t cells,
                          const EffectResult& effect);
void MauchlyTail(Sphericity& out, Extended logW, std::size_t k, std::size_t n, std::size_t cells);
Correction Corrected(std::optional<Extended> epsilon, Extended applied, const EffectResult& effect);
std::optional<Extended> LogDeterminant(Matrix m, std::size_t k);

}  // namespace

void TestSphericity(FullAnalysis& out, const Summary& summary, const Shape& shape) {
    if (shape.n < 2) return;
    const std::size_t n = shape.n, cells = shape.cells;
    if (shape.na > 2) out.A.sphericity = SphericityFrom(summary.a, shape.na - 1, n, cells, out.A);
    if (shape.nb > 2) out.B.sphericity = SphericityFrom(summary.b, shape.nb - 1, n, cells, out.B);
    if (shape.interactionSphericity)
        out.AB.sphericity = SphericityFrom(summary.ab, shape.interactionContrasts, n, cells, out.AB);
}

// S divided by its trace first: the epsilon does not change, and the squares
// of covariances of large scores stay finite.
std::optional<Extended> GreenhouseGeisser(const Matrix& s, std::size_t k) {
    Extended trace = 0;
    for (std::size_t i = 0; i < k; ++i) trace += s[i * k + i];
    if (!(trace > 0)) return std::nullopt;
    Extended squares = 0;
    for (Extended v : s) squares += (v / trace) * (v / trace);
    if (!(squares > 0)) return std::nullopt;
    return 1 / (static_cast<Extended>(k) * squares);
}

namespace {

// For each effect tested: Mauchly's test, its chi-square approximation (with
// the second-order term of the tail) and the three epsilons, from the
// covariance of k orthonormal contrasts over n subjects of a design of `cells` cells.
Sphericity SphericityFrom(const Matrix& s, std::size_t k, std::size_t n, std::size_t cells,
                          const EffectResult& effect) {
    Sphericity out;
    out.contrasts = static_cast<std::int64_t>(k);
    const auto K = static_cast<Extended>(k), N = static_cast<Extended>(n);
    const std::optional<Extended> gg = GreenhouseGeisser(s, k);
    std::optional<Extended> hf;
    // Huynh and Feldt's epsilon is 0 / 0 with two subjects, whose covariance
    // has rank one (GG epsilon 1 / k): undefined, not the rounding of it.
    if (gg && n > 2) {
        const Extended denominator = K * (N - 1 - K * *gg);
        if (denominator != 0) hf = (N * K * *gg - 2) / denominator;
    }
    out.greenhouseGeisser = Corrected(gg, gg.value_or(0), effect);
    out.huynhFeldt = Corrected(hf, std::min(hf.value_or(0), Extended{1}), effect);
    out.lowerBound = Corrected(1 / K, 1 / K, effect);

    out.df = static_cast<std::int64_t>(k * (k + 1) / 2) - 1;
    Extended trace = 0;
    for (std::size_t i = 0; i < k; ++i) trace += s[i * k + i];
    if (n < k + 1 || !(trace > 0)) return out;
    // W does not change when S is divided by its trace, which keeps the
    // factorisation of the covariances of large scores finite.
    Matrix scaled = s;
    for (Extended& v : scaled) v /= trace;
    // A singular covariance (a pivot within rounding of zero) has W = 0.
    const std::optional<Extended> logDet = LogDeterminant(std::move(scaled), k);
    const Extended logW = logDet ? *logDet - K * std::log(1 / K) : -std::numeric_limits<Extended>::infinity();
    out.mauchlyW = logDet ? std::exp(logW) : Extended{0};
    MauchlyTail(out, logW, k, n, cells);
    return out;
}

// SphericityFrom, for W = exp(logW): Anderson's chi-square approximation of
// -log W with its second-order term, rho and omega2 of k contrasts and n - 1
// degrees of freedom as published, and p with omega2 as R's mauchly.test forms
// it, whose 3 k + 2 in the last factor has the cells of the design for k. W = 0
// has an infinite chi-square and p = 0 by either.
void MauchlyTail(Sphericity& out, Extended logW, std::size_t k, std::size_t n, std::size_t cells) {
    const auto K = static_cast<Extended>(k), dfError = static_cast<Extended>(n) - 1;
    const Extended rho = 1 - (2 * K * K + K + 2) / (6 * K * dfError);
    if (!(rho > 0)) return;
    if (std::isinf(logW)) {
        out.chiSquareInfinite = true;
        out.p = out.pAsR = Extended{0};
        return;
    }
    out.chiSquare = -dfError * rho * logW;
    const auto df = static_cast<Extended>(out.df);
    const std::optional<Extended> p1 = ChiSquareUpperTail(*out.chiSquare, df);
    const std::optional<Extended> p2 = ChiSquareUpperTail(*out.chiSquare, df + 4);
    if (!p1 || !p2) return;
    const auto tail = [&](Extended last) {
        const Extended w2 = (K + 2) * (K - 1) * (K - 2) * (2 * K * K * K + 6 * K * K + last + 2) /
                            (288 * (dfError * K * rho) * (dfError * K * rho));
        return std::clamp(*p1 + w2 * (*p2 - *p1), Extended{0}, Extended{1});
    };
    out.p = tail(3 * K);
    out.pAsR = tail(3 * static_cast<Extended>(cells));
}

// For each epsilon: the effect's degrees of freedom times `applied`, and the
// F's p on them.
Correction Corrected(std::optional<Extended> epsilon, Extended applied, const EffectResult& effect) {
    Correction c;
    c.epsilon = epsilon;
    if (!epsilon || !(applied > 0)) return c;
    c.df1 = static_cast<Extended>(effect.effect.df) * applied;
    c.df2 = static_cast<Extended>(effect.error.df) * applied;
    if (effect.f) c.p = FUpperTail(*effect.f, *c.df1, *c.df2);
    return c;
}

// For Mauchly's W: the natural logarithm of the determinant of a symmetric
// positive semidefinite matrix by Cholesky's factorisation; absent when it is
// singular (a pivot within rounding of zero, or below it by rounding).
std::optional<Extended> LogDeterminant(Matrix m, std::size_t k) {
    Extended trace = 0;
    for (std::size_t j = 0; j < k; ++j) trace += m[j * k + j];
    const Extended tolerance = 64 * std::numeric_limits<Extended>::epsilon() * trace;
    Extended logDet = 0;
    for (std::size_t j = 0; j < k; ++j) {
        Extended d = m[j * k + j];
        for (std::size_t l = 0; l < j; ++l) d -= m[j * k + l] * m[j * k + l];
        if (!(d > tolerance)) return std::nullopt;
        const Extended root = std::sqrt(d);
        m[j * k + j] = root;
        logDet += 2 * std::log(root);
        for (std::size_t i = j + 1; i < k; ++i) {
            Extended v = m[i * k + j];
            for (std::size_t l = 0; l < j; ++l) v -= m[i * k + l] * m[j * k + l];
            m[i * k + j] = v / root;
        }
    }
    return logDet;
}

}  // namespace
}  // namespace morvane::anova
