#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "analysis/detail/ModelCheckSteps.h"
#include "runtime/WideInteger.h"
#include "stats/Distributions.h"
#include "stats/SampleShape.h"
#include "stats/detail/RankSelection.h"

namespace morvane {
namespace {

constexpr Stratum kStrata[] = {Stratum::Subjects, Stratum::AS, Stratum::BS, Stratum::ABS};
constexpr std::size_t kKeptResiduals = 65536;

// The residuals of each stratum, a subject at a time. In integers they are
// taken N times over (N = n na nb), which leaves each a whole number; with
// the totals T of the subject's levels (sa, sb), the subject (s), the cells
// (ab), the levels (a, b) and G of all, the A x B x S residual is
//   N y - n na T(sa) - n nb T(sb) - na nb T(ab) + n T(s) + na T(a) + nb T(b) - G,
// and the others likewise. In the extended format the weights are those of
// the means themselves.
template <typename T>
class StrataResiduals {
public:
    using Wide = std::conditional_t<std::is_same_v<T, Extended>, Extended, Int128>;

    // `cellTotals`, where given, the cells' totals of y (which the counts by value give).
    template <typename Cell>
    StrataResiduals(const Cell* y, std::size_t n, std::size_t na, std::size_t nb,
                    const std::vector<std::int64_t>* cellTotals)
        : na_(na), nb_(nb), cells_(na * nb), ab_(cells_, T{0}), a_(na, T{0}), b_(nb, T{0}), sa_(na), sb_(nb) {
        if (cellTotals)
            for (std::size_t c = 0; c < cells_; ++c) ab_[c] = static_cast<T>((*cellTotals)[c]);
        else
            for (std::size_t s = 0; s < n; ++s)
                for (std::size_t c = 0; c < cells_; ++c) ab_[c] += static_cast<T>(y[s * cells_ + c]);
        for (std::size_t c = 0; c < cells_; ++c) a_[c / nb] += ab_[c], b_[c % nb] += ab_[c], all_ += ab_[c];
        const auto w = [](std::size_t v) { return static_cast<T>(v); };
        if constexpr (std::is_same_v<T, Extended>) {
            const Extended N = w(n), NA = w(na), NB = w(nb);
            for (T& v : ab_) v /= N;
            for (T& v : a_) v /= N * NB;
            for (T& v : b_) v /= N * NA;
            all_ /= N * NA * NB;
            wy_ = 1, wsa_ = 1 / NB, wsb_ = 1 / NA, ws_ = 1 / (NA * NB);
        } else {
            for (T& v : ab_) v *= w(cells_);
            for (T& v : a_) v *= w(na);
            for (T& v : b_) v *= w(nb);
            wy_ = w(n * cells_), wsa_ = w(n * na), wsb_ = w(n * nb), ws_ = w(n);
        }
    }

    // Subject s's residuals of each stratum into e[stratum] (1, na, nb and na nb of them).
    template <typename Cell>
    void OfSubject(const Cell* row, std::array<std::vector<T>, 4>& e) {
        const T subject = ws_ * SumLevels(row);
        e[0][0] = subject - all_;
        for (std::size_t a = 0; a < na_; ++a) e[1][a] = wsa_ * sa_[a] - subject - a_[a] + all_;
        for (std::size_t b = 0; b < nb_; ++b) e[2][b] = wsb_ * sb_[b] - subject - b_[b] + all_;
        T* out = e[3].data();
        Interaction(row, subject, [&](T v) { *out++ = v; });
    }

    // Subject s's A x B x S residuals alone, visit(e) for each cell in order:
    // what the Q-Q plot's selection reads again rather than keeping.
    template <typename Cell, typename Visit>
    void InteractionOfSubject(const Cell* row, Visit&& visit) {
        Interaction(row, ws_ * SumLevels(row), visit);
    }

private:
    // The subject's totals of each level into sa_ and sb_; its total.
    template <typename Cell>
    T SumLevels(const Cell* row) {
        std::fill(sa_.begin(), sa_.end(), T{0});
        std::fill(sb_.begin(), sb_.end(), T{0});
        T total = 0;
        for (std::size_t a = 0, c = 0; a < na_; ++a)
            for (std::size_t b = 0; b < nb_; ++b, ++c) {
                const auto v = static_cast<T>(row[c]);
                sa_[a] += v, sb_[b] += v, total += v;
            }
        return total;
    }

    // After SumLevels (whose sa_ and sb_ it uses up): visit(e) for each cell.
    template <typename Cell, typename Visit>
    void Interaction(const Cell* row, T subject, Visit&& visit) {
        if constexpr (std::is_same_v<T, Extended>) {
            for (std::size_t a = 0, c = 0; a < na_; ++a)
                for (std::size_t b = 0; b < nb_; ++b, ++c)
                    visit(wy_ * static_cast<T>(row[c]) - wsa_ * sa_[a] - wsb_ * sb_[b] - ab_[c] + subject +
                          a_[a] + b_[b] - all_);
        } else {
            // The same integers from the terms of each level, taken once.
            for (std::size_t a = 0; a < na_; ++a) sa_[a] = a_[a] - wsa_ * sa_[a];
            for (std::size_t b = 0; b < nb_; ++b) sb_[b] = b_[b] - wsb_ * sb_[b];
            const T rest = subject - all_;
            for (std::size_t a = 0, c = 0; a < na_; ++a)
                for (std::size_t b = 0; b < nb_; ++b, ++c)
                    visit(wy_ * static_cast<T>(row[c]) + sa_[a] + sb_[b] + (rest - ab_[c]));
        }
    }

    std::size_t na_, nb_, cells_;
    std::vector<T> ab_, a_, b_, sa_, sb_;  // the totals, weighted; the subject's
    T all_ = 0, wy_ = 1, wsa_ = 1, wsb_ = 1, ws_ = 1;
};

template <typename T, typename Cell>
void CheckStrata(const Cell* y, std::size_t n, std::size_t na, std::size_t nb, Extended spread,
                 const std::vector<std::int64_t>* cellTotals, AssumptionChecks& out);
template <typename Cell>
std::vector<CellShape> IntegerCellShapes(const Cell* y, std::size_t n, std::size_t na, std::size_t nb);
std::vector<CellShape> ShapesFromCounts(const ValueCounts& counts, std::size_t n, std::size_t na,
                                        std::size_t nb);
std::vector<CellShape> ShapesFromSums(const std::vector<std::array<Int128, 4>>& sums, std::size_t n,
                                      std::size_t nb);
std::vector<CellShape> CellShapes(const Extended* y, std::size_t n, std::size_t na, std::size_t nb);

}  // namespace

AssumptionChecks CheckAssumptions(const CellScores& scores) {
    AssumptionChecks out;
    const std::size_t n = scores.n, na = scores.na, nb = scores.nb, count = scores.Count();
    if (count == 0) return out;
    // In integers a residual is at most 8 N bound in magnitude; its square
    // times the count, and its stratum's sum of squares, stay within 2^124.
    const auto N = static_cast<Extended>(count), bound = static_cast<Extended>(scores.bound);
    const bool integerStrata =
        scores.integers && 8 * N * bound < 0x1p62L && 64 * N * N * N * bound * bound < 0x1p124L;
    const bool integerShapes =
        scores.integers && scores.bound <= 32767 && static_cast<Extended>(n) * bound <= 0x1p30L;
    std::vector<Extended> room;
    const Extended* values = integerStrata && integerShapes ? nullptr : ExtendedScores(scores, room);
    if (integerStrata) {
        CheckStrata<std::int64_t>(scores.integers, n, na, nb, 0,
                                  scores.counts ? &scores.counts->cellTotals : nullptr, out);
    } else {
        // Residuals within rounding of zero beside the scores' spread are no
        // residuals to test or studentize.
        Extended mean = 0, spread = 0;
        for (std::size_t i = 0; i < count; ++i) mean += values[i];
        mean /= N;
        for (std::size_t i = 0; i < count; ++i) spread += (values[i] - mean) * (values[i] - mean);
        CheckStrata<Extended>(values, n, na, nb, spread, nullptr, out);
    }
    out.cells = !integerShapes  ? CellShapes(values, n, na, nb)
                : scores.counts ? ShapesFromCounts(*scores.counts, n, na, nb)
                                : IntegerCellShapes(scores.integers, n, na, nb);
    return out;
}

namespace {

// Each stratum's sum of squares, normality test and studentized residuals:
// a first pass sums the squares and keeps each subject's largest residual, a
// second looks again at the subjects whose largest exceeds 3 studentized.
template <typename T, typename Cell>
void CheckStrata(const Cell* y, std::size_t n, std::size_t na, std::size_t nb, Extended spread,
                 const std::vector<std::int64_t>* cellTotals, AssumptionChecks& out) {
    using Wide = typename StrataResiduals<T>::Wide;
    const std::size_t cells = na * nb;
    const std::size_t per[4] = {1, na, nb, cells};
    const auto df = [](std::size_t levels) { return static_cast<std::int64_t>(levels) - 1; };
    const std::int64_t dfs[4] = {df(n), df(n) * df(na), df(n) * df(nb), df(n) * df(na) * df(nb)};
    // The residuals of the extended format are the statistics', those of integers N times theirs.
    const Extended unit = std::is_same_v<T, Extended> ? 1 : 1 / static_cast<Extended>(n * cells);
    StrataResiduals<T> residuals(y, n, na, nb, cellTotals);
    std::array<std::vector<T>, 4> e;
    for (std::size_t k = 0; k < 4; ++k) e[k].resize(per[k]);
    std::array<Wide, 4> squares{};
    // The residuals kept for Shapiro and Wilk's test and the Q-Q plot; those
    // of A x B x S beyond kKeptResiduals are computed again for the plot
    // rather than kept (eight bytes each, their pages' faults cost more).
    std::array<std::vector<T>, 4> kept;
    std::array<bool, 4> keeps{};
    for (std::size_t k = 0; k < 4; ++k) {
        keeps[k] = k != 3 || n * per[k] <= kKeptResiduals;
        if (keeps[k]) kept[k].resize(n * per[k]);
    }
    std::array<T, 4> low{}, high{};
    std::vector<std::array<T, 4>> largest(n);
    for (std::size_t s = 0; s < n; ++s) {
        residuals.OfSubject(y + s * cells, e);
        for (std::size_t k = 0; k < 4; ++k) {
            T most = 0, least = e[k][0], top = e[k][0];
            for (T v : e[k]) {
                squares[k] += static_cast<Wide>(v) * static_cast<Wide>(v);
                most = std::max(most, v < 0 ? -v : v);
                least = v < least ? v : least;
                top = top < v ? v : top;
            }
            largest[s][k] = most;
            low[k] = s == 0 || least < low[k] ? least : low[k];
            high[k] = s == 0 || high[k] < top ? top : high[k];
            if (keeps[k])
                std::copy(e[k].begin(), e[k].end(),
                          kept[k].begin() + static_cast<std::ptrdiff_t>(s * per[k]));
        }
    }
    const Extended rounding = 4096 * std::numeric_limits<Extended>::epsilon();
    std::array<bool, 4> studentized{};
    std::array<Extended, 4> scale{};
    for (std::size_t k = 0; k < 4; ++k) {
        StratumCheck check;
        check.stratum = kStrata[k];
        check.df = dfs[k];
        const bool zero = std::is_same_v<T, Extended>
                              ? !(static_cast<Extended>(squares[k]) > rounding * rounding * spread)
                              : squares[k] == 0;
        const std::size_t count = n * per[k];
        std::vector<Extended> tested;
        if (!zero && dfs[k] >= 1 && count <= 5000)
            for (T v : kept[k]) tested.push_back(static_cast<Extended>(v) * unit);
        check.normality = ShapiroWilk(std::move(tested));
        check.normality.count = count;
        check.normality.inRange = count >= 3 && count <= 5000;
        studentized[k] = !zero && dfs[k] >= 1;
        if (studentized[k]) {
            scale[k] = std::sqrt(static_cast<Extended>(squares[k]) / static_cast<Extended>(count));
            check.largestStudentized = 0;
            if (keeps[k])
                check.quantiles = detail::QuantilePointsFrom(
                    [&](auto&& visit) {
                        for (T v : kept[k]) visit(v);
                    },
                    count, low[k], high[k], scale[k]);
            else
                check.quantiles = detail::QuantilePointsFrom(
                    [&](auto&& visit) {
                        for (std::size_t s = 0; s < n; ++s)
                            residuals.InteractionOfSubject(y + s * cells, visit);
                    },
                    count, low[k], high[k], scale[k]);
        }
        std::vector<T>().swap(kept[k]);
        out.strata.push_back(check);
    }
    // |e| / scale > 3, exactly in integers: count e^2 > 9 squares.
    const auto beyond = [&](std::size_t k, T v) {
        if constexpr (std::is_same_v<T, Extended>)
            return std::fabs(v) / scale[k] > kOutlyingStudentized;
        else
            return static_cast<Wide>(n * per[k]) * v * v > 9 * squares[k];
    };
    for (std::size_t s = 0; s < n; ++s) {
        bool outlying = false;
        for (std::size_t k = 0; k < 4; ++k) {
            if (!studentized[k]) continue;
            const Extended t = static_cast<Extended>(largest[s][k]) / scale[k];
            StratumCheck& c = out.strata[k];
            c.largestStudentized = std::max(*c.largestStudentized, t);
            outlying = outlying || beyond(k, largest[s][k]);
        }
        if (!outlying) continue;
        ++out.outlyingSubjects;
        OutlyingSubject subject;
        subject.subject = static_cast<std::int32_t>(s + 1);
        residuals.OfSubject(y + s * cells, e);
        for (std::size_t k = 0; k < 4; ++k) {
            if (!studentized[k] || !beyond(k, largest[s][k])) continue;
            subject.strata.push_back(kStrata[k]);
            for (T v : e[k]) {
                if (!beyond(k, v)) continue;
                ++out.strata[k].outlying;
                const Extended t = static_cast<Extended>(v) / scale[k];
                if (std::fabs(t) > std::fabs(subject.largest)) subject.largest = t;
            }
        }
        if (out.outlying.size() < kOutlyingListed) out.outlying.push_back(std::move(subject));
    }
}

// A cell's shape (stats/SampleShape.h) from its central moments.
CellShape ShapeOfCell(std::size_t c, std::size_t nb, std::size_t n, Extended m2, Extended m3, Extended m4) {
    CellShape shape;
    shape.a = static_cast<std::int32_t>(c / nb + 1);
    shape.b = static_cast<std::int32_t>(c % nb + 1);
    const SampleShape sample = ShapeOfMoments(n, m2, m3, m4);
    shape.skewness = sample.skewness, shape.excessKurtosis = sample.excessKurtosis;
    return shape;
}

// In integers, from each cell's exact power sums S_k = sum y^k:
// n^2 m2 = n S2 - S1^2, n^3 m3 = n^2 S3 - 3 n S1 S2 + 2 S1^3 and
// n^4 m4 = n^3 S4 - 4 n^2 S1 S3 + 6 n S1^2 S2 - 3 S1^4, each rounded once.
template <typename Cell>
std::vector<CellShape> IntegerCellShapes(const Cell* y, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    std::vector<std::array<Int128, 4>> sums(cells, std::array<Int128, 4>{});
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) {
            const std::int64_t v = y[s * cells + c], v2 = v * v;
            std::array<Int128, 4>& p = sums[c];
            p[0] += v, p[1] += v2, p[2] += v2 * v, p[3] += v2 * v2;
        }
    return ShapesFromSums(sums, n, nb);
}

// The same from the counts of each cell's values: sum y^k as the sum over its
// values of count times value^k.
std::vector<CellShape> ShapesFromCounts(const ValueCounts& counts, std::size_t n, std::size_t na,
                                        std::size_t nb) {
    const std::size_t cells = na * nb;
    std::vector<std::array<Int128, 4>> sums(cells, std::array<Int128, 4>{});
    for (std::size_t c = 0; c < cells; ++c)
        for (std::size_t v = 0; v < counts.range; ++v) {
            const std::uint32_t k = counts.counts[c * counts.range + v];
            if (k == 0) continue;
            const Int128 x = counts.least + static_cast<std::int64_t>(v), kx = k * x, kx2 = kx * x;
            std::array<Int128, 4>& p = sums[c];
            p[0] += kx, p[1] += kx2, p[2] += kx2 * x, p[3] += kx2 * x * x;
        }
    return ShapesFromSums(sums, n, nb);
}

std::vector<CellShape> ShapesFromSums(const std::vector<std::array<Int128, 4>>& sums, std::size_t n,
                                      std::size_t nb) {
    const std::size_t cells = sums.size();
    std::vector<CellShape> out;
    const auto N = static_cast<Int128>(n);
    const auto n2 = static_cast<Extended>(N * N), n3 = n2 * static_cast<Extended>(N), n4 = n2 * n2;
    for (std::size_t c = 0; c < cells; ++c) {
        const auto [s1, s2, s3, s4] = sums[c];
        const Int128 c2 = N * s2 - s1 * s1, c3 = N * N * s3 - 3 * N * s1 * s2 + 2 * s1 * s1 * s1,
                     c4 = N * N * N * s4 - 4 * N * N * s1 * s3 + 6 * N * s1 * s1 * s2 - 3 * s1 * s1 * s1 * s1;
        out.push_back(ShapeOfCell(c, nb, n, static_cast<Extended>(c2) / n2, static_cast<Extended>(c3) / n3,
                                  static_cast<Extended>(c4) / n4));
    }
    return out;
}

std::vector<CellShape> CellShapes(const Extended* y, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    const auto N = static_cast<Extended>(n);
    std::vector<Extended> mean(cells, 0), m2(cells, 0), m3(cells, 0), m4(cells, 0);
    std::vector<bool> varies(cells, false);
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) {
            mean[c] += y[s * cells + c];
            if (y[s * cells + c] != y[c]) varies[c] = true;
        }
    for (Extended& v : mean) v /= N;
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) {
            const Extended d = y[s * cells + c] - mean[c], d2 = d * d;
            m2[c] += d2, m3[c] += d2 * d, m4[c] += d2 * d2;
        }
    std::vector<CellShape> out;
    for (std::size_t c = 0; c < cells; ++c)
        out.push_back(ShapeOfCell(c, nb, n, varies[c] ? m2[c] / N : 0, m3[c] / N, m4[c] / N));
    return out;
}

}  // namespace
}  // namespace morvane
