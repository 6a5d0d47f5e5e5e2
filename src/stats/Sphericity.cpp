#include "stats/Sphericity.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "stats/Distributions.h"

namespace morvane {
namespace {

void MauchlyTail(SphericityTest& out, Extended logW, std::size_t k, Extended errorDf, std::size_t cells);

// For each epsilon: the effect's degrees of freedom times `applied`, and the
// F's p on them.
Correction Corrected(std::optional<Extended> epsilon, Extended applied, Extended df1, Extended df2,
                     std::optional<Extended> f) {
    Correction c;
    c.epsilon = epsilon;
    if (!epsilon || !(applied > 0)) return c;
    c.df1 = df1 * applied;
    c.df2 = df2 * applied;
    if (f) c.p = FUpperTail(*f, *c.df1, *c.df2);
    return c;
}

}  // namespace

Sphericity CorrectedSphericity(const SphericityTest& test, std::int64_t effectDf, std::int64_t errorDf,
                               std::optional<Extended> f) {
    Sphericity out;
    out.contrasts = test.contrasts;
    out.df = test.df;
    out.mauchlyW = test.mauchlyW, out.chiSquare = test.chiSquare, out.p = test.p, out.pAsR = test.pAsR;
    out.chiSquareInfinite = test.chiSquareInfinite;
    const auto df1 = static_cast<Extended>(effectDf), df2 = static_cast<Extended>(errorDf);
    out.greenhouseGeisser =
        Corrected(test.greenhouseGeisser, test.greenhouseGeisser.value_or(0), df1, df2, f);
    out.huynhFeldt =
        Corrected(test.huynhFeldt, std::min(test.huynhFeldt.value_or(0), Extended{1}), df1, df2, f);
    out.lowerBound = Corrected(test.lowerBound, test.lowerBound.value_or(0), df1, df2, f);
    return out;
}

// S divided by its trace first: the epsilon does not change, and the squares
// of covariances of large scores stay finite.
std::optional<Extended> GreenhouseGeisserEpsilon(const SquareMatrix& s) {
    const Extended trace = s.Trace();
    if (!(trace > 0)) return std::nullopt;
    Extended squares = 0;
    for (Extended v : s.entries) squares += (v / trace) * (v / trace);
    if (!(squares > 0)) return std::nullopt;
    return 1 / (static_cast<Extended>(s.order) * squares);
}

SphericityTest TestSphericity(const SquareMatrix& s, Extended errorDf, std::size_t cells) {
    SphericityTest out;
    const std::size_t k = s.order;
    out.contrasts = static_cast<std::int64_t>(k);
    if (k == 0) return out;
    const auto K = static_cast<Extended>(k);
    out.greenhouseGeisser = GreenhouseGeisserEpsilon(s);
    if (out.greenhouseGeisser && errorDf > 1) {
        const Extended gg = *out.greenhouseGeisser;
        const Extended denominator = K * (errorDf - K * gg);
        if (denominator != 0) out.huynhFeldt = ((errorDf + 1) * K * gg - 2) / denominator;
    }
    out.lowerBound = 1 / K;
    out.df = static_cast<std::int64_t>(k * (k + 1) / 2) - 1;
    if (errorDf < K || !(s.Trace() > 0)) return out;
    // W = det(S / trace) / (1 / k)^k; a singular S has W = 0.
    const std::optional<Extended> logDet = LogDeterminantOverTrace(s);
    const Extended logW = logDet ? *logDet - K * std::log(1 / K) : -std::numeric_limits<Extended>::infinity();
    out.mauchlyW = logDet ? std::exp(logW) : Extended{0};
    MauchlyTail(out, logW, k, errorDf, cells);
    return out;
}

namespace {

// TestSphericity, for W = exp(logW): the chi-square and p by the published
// omega2 and by R's. W = 0 has an infinite chi-square and p = 0 by either.
void MauchlyTail(SphericityTest& out, Extended logW, std::size_t k, Extended errorDf, std::size_t cells) {
    const auto K = static_cast<Extended>(k);
    const Extended rho = 1 - (2 * K * K + K + 2) / (6 * K * errorDf);
    if (!(rho > 0)) return;
    if (std::isinf(logW)) {
        out.chiSquareInfinite = true;
        out.p = out.pAsR = Extended{0};
        return;
    }
    out.chiSquare = -errorDf * rho * logW;
    const auto df = static_cast<Extended>(out.df);
    const std::optional<Extended> p1 = ChiSquareUpperTail(*out.chiSquare, df);
    const std::optional<Extended> p2 = ChiSquareUpperTail(*out.chiSquare, df + 4);
    if (!p1 || !p2) return;
    const auto tail = [&](Extended last) {
        const Extended w2 = (K + 2) * (K - 1) * (K - 2) * (2 * K * K * K + 6 * K * K + last + 2) /
                            (288 * (errorDf * K * rho) * (errorDf * K * rho));
        return std::clamp(*p1 + w2 * (*p2 - *p1), Extended{0}, Extended{1});
    };
    out.p = tail(3 * K);
    out.pAsR = tail(3 * static_cast<Extended>(cells));
}

}  // namespace
}  // namespace morvane
