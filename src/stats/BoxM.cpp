#include "stats/BoxM.h"

#include <cmath>

#include "stats/Distributions.h"

namespace morvane {
namespace {

// ln|S| from its Cholesky factor of S / trace(S); absent where S is singular.
std::optional<Extended> LogDeterminant(const SquareMatrix& s) {
    const std::optional<Extended> overTrace = LogDeterminantOverTrace(s);
    if (!overTrace) return std::nullopt;
    return *overTrace + static_cast<Extended>(s.order) * std::log(s.Trace());
}

// The F approximation of M with df1 and Box's c1, c2 (see BoxM.h).
void Approximate(Extended m, Extended df1, Extended c1, Extended c2, BoxMTest& out) {
    const Extended gap = c2 - c1 * c1;
    if (gap == 0) return;
    const Extended df2 = (df1 + 2) / std::fabs(gap);
    if (!std::isfinite(df2)) return;
    Extended f = 0;
    if (gap > 0) {
        const Extended b = df1 / (1 - c1 - df1 / df2);
        if (!(b > 0)) return;
        f = m / b;
    } else {
        const Extended b = df2 / (1 - c1 + 2 / df2);
        if (!(b - m > 0)) return;
        f = df2 * m / (df1 * (b - m));
    }
    if (!std::isfinite(f)) return;
    out.f = f, out.df1 = df1, out.df2 = df2;
    out.pF = FUpperTail(f, df1, df2);
}

}  // namespace

BoxMTest BoxM(const std::vector<std::int64_t>& sizes, const std::vector<SquareMatrix>& covariances) {
    BoxMTest out;
    out.groups = sizes.size();
    out.variables = covariances.empty() ? 0 : covariances.front().order;
    const std::size_t p = out.variables, g = out.groups;
    if (g < 2 || covariances.size() != g) return out.undefined = BoxMUndefined::FewGroups, out;
    std::int64_t total = 0;
    for (std::int64_t n : sizes) {
        if (n < static_cast<std::int64_t>(p) + 1) return out.undefined = BoxMUndefined::SmallGroup, out;
        total += n;
    }
    const auto pooledDf = static_cast<Extended>(total - static_cast<std::int64_t>(g));
    SquareMatrix pooled(p);
    Extended sumLogs = 0, inverse = 0, inverseSquares = 0;
    for (std::size_t i = 0; i < g; ++i) {
        const auto df = static_cast<Extended>(sizes[i] - 1);
        for (std::size_t e = 0; e < p * p; ++e) pooled.entries[e] += df * covariances[i].entries[e] / pooledDf;
        const std::optional<Extended> logDet = LogDeterminant(covariances[i]);
        if (!logDet) return out.undefined = BoxMUndefined::Singular, out;
        sumLogs += df * *logDet;
        inverse += 1 / df, inverseSquares += 1 / (df * df);
    }
    const std::optional<Extended> pooledLogDet = LogDeterminant(pooled);
    if (!pooledLogDet) return out.undefined = BoxMUndefined::Singular, out;
    const auto k = static_cast<Extended>(p), groups = static_cast<Extended>(g);
    const Extended m = pooledDf * *pooledLogDet - sumLogs;
    const Extended c1 = (inverse - 1 / pooledDf) * (2 * k * k + 3 * k - 1) / (6 * (k + 1) * (groups - 1));
    const Extended c2 = (inverseSquares - 1 / (pooledDf * pooledDf)) * (k - 1) * (k + 2) / (6 * (groups - 1));
    const Extended df1 = (groups - 1) * k * (k + 1) / 2;
    out.m = m;
    out.chiSquare = m * (1 - c1);
    out.dfChiSquare = df1;
    out.pChiSquare = ChiSquareUpperTail(*out.chiSquare, df1);
    Approximate(m, df1, c1, c2, out);
    return out;
}

}  // namespace morvane
