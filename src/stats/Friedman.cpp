#include <algorithm>
#include <numeric>
#include <type_traits>
#include <vector>

#include "stats/Friedman.h"
#include "runtime/Extremes.h"
#include "runtime/WideInteger.h"
#include "stats/Distributions.h"

namespace morvane {

namespace {

// Q, W and F from the rank sums and the ties.
FriedmanTest Finish(FriedmanTest& out, const std::vector<Int128>& sums, Int128 ties, std::size_t n,
                    std::size_t k) {
    const auto N = static_cast<Int128>(n), K = static_cast<Int128>(k);
    Int128 squares = 0;
    for (Int128 r : sums) squares += (r - N * (K + 1)) * (r - N * (K + 1));
    const Int128 whole = N * K * (K * K - 1);
    const Int128 numerator = 3 * (K - 1) * squares, divisor = whole - ties;
    out.tieCorrection = static_cast<Extended>(divisor) / static_cast<Extended>(whole);
    if (divisor <= 0) return out;  // every subject's values all equal
    out.chiSquare = static_cast<Extended>(numerator) / static_cast<Extended>(divisor);
    out.p = ChiSquareUpperTail(*out.chiSquare, static_cast<Extended>(out.df));
    out.kendallW = static_cast<Extended>(numerator) / static_cast<Extended>(N * (K - 1) * divisor);
    // F = (n - 1) W / (1 - W): undefined for W = 1 (every subject ranks alike, no ties).
    const Int128 rest = N * (K - 1) * divisor - numerator;
    if (n < 2 || rest <= 0) return out;
    out.imanDavenportF = static_cast<Extended>((N - 1) * numerator) / static_cast<Extended>(rest);
    out.imanDavenportP =
        FUpperTail(*out.imanDavenportF, static_cast<Extended>(out.df1), static_cast<Extended>(out.df2));
    return out;
}

}  // namespace

// In integers: with doubled ranks r' (midranks stay integers) and
// D_j = R'_j - n (k + 1), Q = 3 (k - 1) sum D_j^2 / (n k (k^2 - 1) - sum (t^3 - t)),
// each part exact and rounded once.
template <typename T>
FriedmanTest Friedman(const T* v, std::size_t n, std::size_t k, IntegerExtremes extremes) {
    FriedmanTest out;
    out.levels = static_cast<std::int64_t>(k);
    if (k < 2 || n < 1) return out;
    out.df = out.df1 = static_cast<std::int64_t>(k - 1);
    out.df2 = static_cast<std::int64_t>((k - 1) * (n - 1));
    std::vector<Int128> sums(k, 0);  // of the doubled ranks
    // The rows' doubled ranks (each below 2^33) in 64 bits first, for up to
    // 2^20 rows; then into the sums.
    std::vector<std::int64_t> pending(k, 0);
    std::size_t pendingRows = 0;
    const auto flush = [&] {
        for (std::size_t l = 0; l < k; ++l) sums[l] += pending[l], pending[l] = 0;
        pendingRows = 0;
    };
    std::vector<std::size_t> order(k);
    Int128 ties = 0;
    // Each row's ranks: its levels in the order of their values, a run of
    // equal values sharing its midrank.
    const auto rank = [&](auto&& level, auto&& same) {
        for (std::size_t i = 0; i < k;) {
            std::size_t j = i + 1;
            while (j < k && same(i, j)) ++j;
            const auto doubled = static_cast<std::int64_t>(i + 1 + j);
            for (std::size_t l = i; l < j; ++l) pending[level(l)] += doubled;
            if (j - i > 1) {
                const auto t = static_cast<Int128>(j - i);
                ties += t * t * t - t;
            }
            i = j;
        }
        if (++pendingRows == (std::size_t{1} << 20)) flush();
    };
    // Many levels of integers of a narrow range: the levels of a block of
    // rows in the order of their values at once, by counting the block's
    // values and then dealing their places out to the rows in that order.
    if constexpr (std::is_integral_v<T>) {
        if (!extremes) extremes = Extremes(v, n * k);
        const std::int64_t least = extremes->first, most = extremes->second;
        const auto range = static_cast<std::size_t>(most - least) + 1;
        const std::size_t rows = std::max<std::size_t>(1, 32768 / k);
        if (k >= 4 && range <= 4 * rows * k && rows * k < (std::size_t{1} << 31)) {
            std::vector<std::uint32_t> start(range + 1), byValue(rows * k), less(rows);
            std::vector<std::uint32_t> rowOf(rows * k);  // of a place in the block
            for (std::size_t i = 0; i < rows * k; ++i) rowOf[i] = static_cast<std::uint32_t>(i / k);
            for (std::size_t first = 0; first < n; first += rows) {
                const std::size_t count = std::min(rows, n - first), size = count * k;
                const T* block = v + first * k;
                const auto value = [&](std::size_t i) {
                    return static_cast<std::size_t>(static_cast<std::int64_t>(block[i]) - least);
                };
                std::fill(start.begin(), start.end(), 0);
                for (std::size_t i = 0; i < size; ++i) ++start[value(i) + 1];
                for (std::size_t x = 0; x < range; ++x) start[x + 1] += start[x];
                for (std::size_t i = 0; i < size; ++i)
                    byValue[start[value(i)]++] = static_cast<std::uint32_t>(i);
                // Now start[x] ends the places of value x, which lie in the
                // order of the rows: a row's run of one value is its tie, its
                // values below are those it met before.
                std::fill(less.begin(), less.end(), 0);
                for (std::size_t x = 0, p = 0; x < range; ++x)
                    while (p < start[x]) {
                        const std::uint32_t row = rowOf[byValue[p]];
                        std::size_t q = p + 1;
                        while (q < start[x] && rowOf[byValue[q]] == row) ++q;
                        const std::size_t t = q - p;
                        const auto doubled = static_cast<std::int64_t>(2 * less[row] + t + 1);
                        for (; p < q; ++p) pending[byValue[p] - row * k] += doubled;
                        if (t > 1) {
                            const auto tt = static_cast<Int128>(t);
                            ties += tt * tt * tt - tt;
                        }
                        less[row] += static_cast<std::uint32_t>(t);
                    }
                flush();
            }
            flush();
            return Finish(out, sums, ties, n, k);
        }
    }
    std::vector<std::uint64_t> packed(k);
    for (std::size_t s = 0; s < n; ++s) {
        const T* row = v + s * k;
        if constexpr (std::is_integral_v<T>) {
            // Integers within 2^32 of the row's least sort as one word with their level.
            const T least = *std::min_element(row, row + k), most = *std::max_element(row, row + k);
            const auto offset = [&](T x) {
                return static_cast<std::uint64_t>(static_cast<std::int64_t>(x) -
                                                  static_cast<std::int64_t>(least));
            };
            if (offset(most) < (std::uint64_t{1} << 32) && k < (std::size_t{1} << 32)) {
                for (std::size_t j = 0; j < k; ++j)
                    packed[j] = offset(row[j]) << 32 | static_cast<std::uint64_t>(j);
                std::sort(packed.begin(), packed.end());
                rank([&](std::size_t l) { return static_cast<std::size_t>(packed[l] & 0xFFFFFFFFu); },
                     [&](std::size_t i, std::size_t j) { return (packed[i] >> 32) == (packed[j] >> 32); });
                continue;
            }
        }
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) { return row[i] < row[j]; });
        rank([&](std::size_t l) { return order[l]; },
             [&](std::size_t i, std::size_t j) { return !(row[order[i]] < row[order[j]]); });
    }
    flush();
    return Finish(out, sums, ties, n, k);
}

template FriedmanTest Friedman(const std::int32_t*, std::size_t, std::size_t, IntegerExtremes);
template FriedmanTest Friedman(const std::int64_t*, std::size_t, std::size_t, IntegerExtremes);
template FriedmanTest Friedman(const Extended*, std::size_t, std::size_t, IntegerExtremes);

}  // namespace morvane
