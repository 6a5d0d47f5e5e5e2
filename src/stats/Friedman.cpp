#include "stats/Friedman.h"

#include <algorithm>
#include <numeric>
#include <type_traits>
#include <vector>

#include "runtime/Extremes.h"
#include "runtime/WideInteger.h"
#include "stats/Distributions.h"
#include "stats/detail/FriedmanRanks.h"

// Every way of ranking below sums the same doubled midranks r' (integers): by
// sorting each subject's values (the kernel, any values), by sorting them as
// one word with their condition (integers within 2^32 of the row's least), or
// by counting a block of rows' values at once (integers of a narrow range and
// four conditions or more). The statistic is formed from the sums in integers.

namespace morvane {
namespace {

// The doubled rank sums and the ties' sum of t^3 - t, added a row at a time.
class RankSums {
public:
    explicit RankSums(std::size_t k) : k_(k), sums_(k, 0), pending_(k, 0) {}

    // A run of t equal values starting at place `below` of its row: each gets
    // the doubled midrank 2 below + t + 1; level(i) of the run's i-th value.
    template <typename Level>
    void AddRun(std::size_t below, std::size_t t, Level&& level) {
        const auto doubled = static_cast<std::int64_t>(2 * below + t + 1);
        for (std::size_t i = 0; i < t; ++i) pending_[level(i)] += doubled;
        if (t > 1) {
            const auto tt = static_cast<Int128>(t);
            ties_ += tt * tt * tt - tt;
        }
    }
    // After each row: the rows' doubled ranks (each below 2^33) are summed in
    // 64 bits for up to 2^20 rows, then into the 128-bit sums.
    void EndRow() {
        if (++pendingRows_ == (std::size_t{1} << 20)) Flush();
    }
    void Flush() {
        for (std::size_t l = 0; l < k_; ++l) sums_[l] += pending_[l], pending_[l] = 0;
        pendingRows_ = 0;
    }
    FriedmanTest Finish(FriedmanTest& out, std::size_t n);

private:
    std::size_t k_;
    std::vector<Int128> sums_;
    std::vector<std::int64_t> pending_;
    std::size_t pendingRows_ = 0;
    Int128 ties_ = 0;
};

FriedmanTest Start(std::size_t n, std::size_t k);
template <typename T>
void RankBySorting(const T* row, std::size_t k, std::vector<std::size_t>& order, RankSums& sums);
template <typename T>
bool RankPacked(const T* row, std::size_t k, std::vector<std::uint64_t>& packed, RankSums& sums);
bool RanksByCounting(std::size_t n, std::size_t k, std::int64_t least, std::int64_t most);
template <typename T>
void RankByCounting(const T* v, std::size_t n, std::size_t k, std::int64_t least, std::int64_t most,
                    RankSums& sums);

// The kernel, and the integers' rows where counting does not pay.
template <typename T>
FriedmanTest RankRows(const T* v, std::size_t n, std::size_t k) {
    FriedmanTest out = Start(n, k);
    if (k < 2 || n < 1) return out;
    RankSums sums(k);
    std::vector<std::size_t> order(k);
    std::vector<std::uint64_t> packed(k);
    for (std::size_t s = 0; s < n; ++s) {
        if constexpr (std::is_integral_v<T>)
            if (RankPacked(v + s * k, k, packed, sums)) continue;
        RankBySorting(v + s * k, k, order, sums);
    }
    sums.Flush();
    return sums.Finish(out, n);
}

template <typename T>
FriedmanTest OfIntegers(const T* v, std::size_t n, std::size_t k, std::int64_t least, std::int64_t most) {
    if (k < 2 || n < 1 || !RanksByCounting(n, k, least, most)) return RankRows(v, n, k);
    FriedmanTest out = Start(n, k);
    RankSums sums(k);
    RankByCounting(v, n, k, least, most, sums);
    return sums.Finish(out, n);
}

template <typename T>
FriedmanTest OfIntegers(const T* v, std::size_t n, std::size_t k) {
    if (k < 2 || n < 1) return Start(n, k);
    const auto [least, most] = Extremes(v, n * k);
    return OfIntegers(v, n, k, static_cast<std::int64_t>(least), static_cast<std::int64_t>(most));
}

}  // namespace

FriedmanTest Friedman(const Extended* v, std::size_t n, std::size_t k) {
    return RankRows(v, n, k);
}

FriedmanTest Friedman(const std::int32_t* v, std::size_t n, std::size_t k) {
    return OfIntegers(v, n, k);
}

FriedmanTest Friedman(const std::int64_t* v, std::size_t n, std::size_t k) {
    return OfIntegers(v, n, k);
}

FriedmanTest detail::FriedmanOfIntegers(const std::int32_t* v, std::size_t n, std::size_t k,
                                        std::int64_t least, std::int64_t most) {
    return OfIntegers(v, n, k, least, most);
}

namespace {

// Every way, first: the test's size and degrees of freedom.
FriedmanTest Start(std::size_t n, std::size_t k) {
    FriedmanTest out;
    out.levels = static_cast<std::int64_t>(k);
    if (k < 2 || n < 1) return out;
    out.df = out.df1 = static_cast<std::int64_t>(k - 1);
    out.df2 = static_cast<std::int64_t>((k - 1) * (n - 1));
    return out;
}

// Every way, last: with D_j = R'_j - n (k + 1),
// Q = 3 (k - 1) sum D_j^2 / (n k (k^2 - 1) - sum (t^3 - t)), W and F likewise,
// each part exact and rounded once.
FriedmanTest RankSums::Finish(FriedmanTest& out, std::size_t n) {
    const auto N = static_cast<Int128>(n), K = static_cast<Int128>(k_);
    Int128 squares = 0;
    for (Int128 r : sums_) squares += (r - N * (K + 1)) * (r - N * (K + 1));
    const Int128 whole = N * K * (K * K - 1);
    const Int128 numerator = 3 * (K - 1) * squares, divisor = whole - ties_;
    out.tieCorrection = static_cast<Extended>(divisor) / static_cast<Extended>(whole);
    if (divisor <= 0) return out;  // every subject's values all equal: no test, corrected or not
    out.chiSquareUncorrected = static_cast<Extended>(numerator) / static_cast<Extended>(whole);
    out.pUncorrected = ChiSquareUpperTail(*out.chiSquareUncorrected, static_cast<Extended>(out.df));
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

// The kernel's row: its conditions in the order of their values, a run of
// equal values sharing its midrank.
template <typename T>
void RankBySorting(const T* row, std::size_t k, std::vector<std::size_t>& order, RankSums& sums) {
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) { return row[i] < row[j]; });
    for (std::size_t i = 0; i < k;) {
        std::size_t j = i + 1;
        while (j < k && !(row[order[i]] < row[order[j]])) ++j;
        sums.AddRun(i, j - i, [&](std::size_t l) { return order[i + l]; });
        i = j;
    }
    sums.EndRow();
}

// A row of integers within 2^32 of its least: each value sorts as one word
// with its condition. False for a row too wide, which the kernel ranks.
template <typename T>
bool RankPacked(const T* row, std::size_t k, std::vector<std::uint64_t>& packed, RankSums& sums) {
    const T least = *std::min_element(row, row + k), most = *std::max_element(row, row + k);
    const auto offset = [&](T x) {
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(x) - static_cast<std::int64_t>(least));
    };
    if (offset(most) >= (std::uint64_t{1} << 32) || k >= (std::size_t{1} << 32)) return false;
    for (std::size_t j = 0; j < k; ++j) packed[j] = offset(row[j]) << 32 | static_cast<std::uint64_t>(j);
    std::sort(packed.begin(), packed.end());
    for (std::size_t i = 0; i < k;) {
        std::size_t j = i + 1;
        while (j < k && (packed[i] >> 32) == (packed[j] >> 32)) ++j;
        sums.AddRun(i, j - i, [&](std::size_t l) { return static_cast<std::size_t>(packed[i + l] & 0xFFFFFFFFu); });
        i = j;
    }
    sums.EndRow();
    return true;
}

// The blocks of rows that counting takes at once.
std::size_t CountedRows(std::size_t k) {
    return std::max<std::size_t>(1, 32768 / k);
}

// Whether counting pays: four conditions or more, and a range of values
// within four places of a block's values.
bool RanksByCounting(std::size_t /*n*/, std::size_t k, std::int64_t least, std::int64_t most) {
    const auto range = static_cast<std::size_t>(most - least) + 1;
    const std::size_t rows = CountedRows(k);
    return k >= 4 && range <= 4 * rows * k && rows * k < (std::size_t{1} << 31);
}

// The conditions of a block of rows in the order of their values at once: the
// block's values counted, then their places dealt out in that order, which is
// the order of the rows within a value: a row's run of one value is its tie,
// its values below are those it met before.
template <typename T>
void RankByCounting(const T* v, std::size_t n, std::size_t k, std::int64_t least, std::int64_t most,
                    RankSums& sums) {
    const auto range = static_cast<std::size_t>(most - least) + 1;
    const std::size_t rows = CountedRows(k);
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
        for (std::size_t i = 0; i < size; ++i) byValue[start[value(i)]++] = static_cast<std::uint32_t>(i);
        std::fill(less.begin(), less.end(), 0);
        for (std::size_t x = 0, p = 0; x < range; ++x)
            while (p < start[x]) {
                const std::uint32_t row = rowOf[byValue[p]];
                std::size_t q = p + 1;
                while (q < start[x] && rowOf[byValue[q]] == row) ++q;
                const std::size_t t = q - p;
                sums.AddRun(less[row], t, [&](std::size_t l) { return byValue[p + l] - row * k; });
                less[row] += static_cast<std::uint32_t>(t);
                p = q;
            }
        sums.Flush();
    }
    sums.Flush();
}

}  // namespace
}  // namespace morvane
