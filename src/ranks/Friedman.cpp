#include <algorithm>
#include <numeric>
#include <vector>

#include "ranks/RankTests.h"
#include "tails/Tails.h"

namespace morvane {

__extension__ typedef __int128 Int128;

// In integers: with doubled ranks r' (midranks stay integers) and
// D_j = R'_j - n (k + 1), Q = 3 (k - 1) sum D_j^2 / (n k (k^2 - 1) - sum (t^3 - t)),
// each part exact and rounded once.
template <typename T>
FriedmanTest Friedman(const T* v, std::size_t n, std::size_t k) {
    FriedmanTest out;
    out.levels = static_cast<std::int64_t>(k);
    if (k < 2 || n < 1) return out;
    out.df = out.df1 = static_cast<std::int64_t>(k - 1);
    out.df2 = static_cast<std::int64_t>((k - 1) * (n - 1));
    std::vector<Int128> sums(k, 0);  // of the doubled ranks
    std::vector<std::size_t> order(k);
    Int128 ties = 0;
    for (std::size_t s = 0; s < n; ++s) {
        const T* row = v + s * k;
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) { return row[i] < row[j]; });
        for (std::size_t i = 0; i < k;) {
            std::size_t j = i + 1;
            while (j < k && !(row[order[i]] < row[order[j]])) ++j;
            for (std::size_t l = i; l < j; ++l) sums[order[l]] += static_cast<Int128>(i + 1 + j);
            const auto t = static_cast<Int128>(j - i);
            ties += t * t * t - t;
            i = j;
        }
    }
    const auto N = static_cast<Int128>(n), K = static_cast<Int128>(k);
    Int128 squares = 0;
    for (Int128 r : sums) squares += (r - N * (K + 1)) * (r - N * (K + 1));
    const Int128 whole = N * K * (K * K - 1);
    const Int128 numerator = 3 * (K - 1) * squares, divisor = whole - ties;
    out.tieCorrection = static_cast<Extended>(divisor) / static_cast<Extended>(whole);
    if (divisor <= 0) return out;  // every subject's values all equal
    out.chiSquare = static_cast<Extended>(numerator) / static_cast<Extended>(divisor);
    out.p = tails::ChiSquareUpper(*out.chiSquare, static_cast<Extended>(out.df));
    out.kendallW = static_cast<Extended>(numerator) / static_cast<Extended>(N * (K - 1) * divisor);
    // F = (n - 1) W / (1 - W): undefined for W = 1 (every subject ranks alike, no ties).
    const Int128 rest = N * (K - 1) * divisor - numerator;
    if (n < 2 || rest <= 0) return out;
    out.imanDavenportF = static_cast<Extended>((N - 1) * numerator) / static_cast<Extended>(rest);
    out.imanDavenportP =
        tails::FUpper(*out.imanDavenportF, static_cast<Extended>(out.df1), static_cast<Extended>(out.df2));
    return out;
}

template FriedmanTest Friedman(const std::int64_t*, std::size_t, std::size_t);
template FriedmanTest Friedman(const Extended*, std::size_t, std::size_t);

}  // namespace morvane
