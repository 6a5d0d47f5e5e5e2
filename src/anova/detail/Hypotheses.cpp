#include "anova/detail/Hypotheses.h"

#include <bit>
#include <cmath>
#include <optional>
#include <utility>

#include "anova/detail/Basis.h"
#include "exact/WideIntegers.h"
#include "runtime/Errors.h"

namespace morvane::anova::detail {
namespace {

// More between cells than this take the hypotheses of interactions (and type
// II's of main effects beside other factors) in extended precision: the exact
// elimination's time grows with the cube of the cells and the length of its
// rationals. Main effects have a closed form, exact at any size.
constexpr std::size_t kMostExactCells = 48;

// A dense matrix of T, row-major.
template <typename T>
struct Matrix {
    std::size_t rows = 0, cols = 0;
    std::vector<T> at;

    Matrix() = default;
    Matrix(std::size_t r, std::size_t c) : rows(r), cols(c), at(r * c, T(0)) {}
    T& operator()(std::size_t i, std::size_t j) { return at[i * cols + j]; }
    const T& operator()(std::size_t i, std::size_t j) const { return at[i * cols + j]; }
};

// The term's coded columns over the cells (cells x q): the products of its
// factors' integer Helmert contrasts, the other factors' levels taken alike.
template <typename T>
Matrix<T> TermColumns(const BetweenCells& cells, std::uint32_t term) {
    const std::size_t g = cells.counts.size();
    const auto q = static_cast<std::size_t>(TermDf(cells, term));
    Matrix<T> x(g, q);
    for (std::size_t c = 0; c < g; ++c) {
        // The cell's level of each factor, the last fastest.
        std::vector<std::size_t> level(cells.levels.size());
        std::size_t rest = c;
        for (std::size_t f = cells.levels.size(); f-- > 0;)
            level[f] = rest % cells.levels[f], rest /= cells.levels[f];
        for (std::size_t col = 0; col < q; ++col) {
            std::size_t restCol = col;
            long value = 1;
            for (std::size_t f = cells.levels.size(); f-- > 0;) {
                if (!(term >> f & 1u)) continue;
                const std::size_t rows = cells.levels[f] - 1, j = restCol % rows;
                restCol /= rows;
                // Helmert row j: 1 at levels 0..j, -(j + 1) at level j + 1, 0 after.
                if (level[f] <= j)
                    continue;
                else if (level[f] == j + 1)
                    value *= -static_cast<long>(j + 1);
                else
                    value = 0;
            }
            x(c, col) = T(value);
        }
    }
    return x;
}

// A^-1 B for a nonsingular A, by Gauss and Jordan's elimination: exact
// rationals on the first nonzero pivot, extended numbers on the largest.
template <typename T>
Matrix<T> Solve(Matrix<T> a, Matrix<T> b) {
    const std::size_t r = a.rows;
    for (std::size_t col = 0; col < r; ++col) {
        std::size_t pivot = col;
        if constexpr (std::is_same_v<T, mpq_class>) {
            while (pivot < r && a(pivot, col) == 0) ++pivot;
        } else {
            for (std::size_t i = col + 1; i < r; ++i)
                if (std::fabs(a(i, col)) > std::fabs(a(pivot, col))) pivot = i;
            if (!(a(pivot, col) != 0)) pivot = r;
        }
        if (pivot == r) throw InvalidOperationError();
        if (pivot != col) {
            for (std::size_t j = 0; j < r; ++j) std::swap(a(pivot, j), a(col, j));
            for (std::size_t j = 0; j < b.cols; ++j) std::swap(b(pivot, j), b(col, j));
        }
        const T inverse = T(1) / a(col, col);
        for (std::size_t j = 0; j < r; ++j) a(col, j) *= inverse;
        for (std::size_t j = 0; j < b.cols; ++j) b(col, j) *= inverse;
        for (std::size_t i = 0; i < r; ++i) {
            if (i == col || a(i, col) == 0) continue;
            const T factor = a(i, col);
            for (std::size_t j = 0; j < r; ++j) a(i, j) -= factor * a(col, j);
            for (std::size_t j = 0; j < b.cols; ++j) b(i, j) -= factor * b(col, j);
        }
    }
    return b;
}

// Y' X (X' D X)^-1 X' Y of the subjects' coordinates Y for the model of the
// coded columns `x`, from the cells' counts and means.
template <typename T>
Matrix<T> Projection(const BetweenCells& cells, const Matrix<T>& x, const Matrix<T>& means) {
    const std::size_t g = x.rows, r = x.cols, p = means.cols;
    Matrix<T> xdx(r, r), xs(r, p);
    for (std::size_t c = 0; c < g; ++c) {
        const T n = T(cells.counts[c]);
        for (std::size_t i = 0; i < r; ++i) {
            if (x(c, i) == 0) continue;
            const T w = n * x(c, i);
            for (std::size_t j = 0; j < r; ++j) xdx(i, j) += w * x(c, j);
            for (std::size_t j = 0; j < p; ++j) xs(i, j) += w * means(c, j);
        }
    }
    const Matrix<T> solved = Solve(xdx, xs);
    Matrix<T> out(p, p);
    for (std::size_t i = 0; i < p; ++i)
        for (std::size_t j = i; j < p; ++j) {
            T s = 0;
            for (std::size_t k = 0; k < r; ++k) s += xs(k, i) * solved(k, j);
            out(i, j) = s;
            out(j, i) = s;
        }
    return out;
}

template <typename T>
Matrix<T> ModelColumns(const BetweenCells& cells, const std::vector<std::uint32_t>& terms) {
    std::vector<Matrix<T>> parts;
    std::size_t cols = 0;
    for (const std::uint32_t t : terms) parts.push_back(TermColumns<T>(cells, t)), cols += parts.back().cols;
    Matrix<T> x(cells.counts.size(), cols);
    std::size_t at = 0;
    for (const Matrix<T>& part : parts) {
        for (std::size_t c = 0; c < part.rows; ++c)
            for (std::size_t j = 0; j < part.cols; ++j) x(c, at + j) = part(c, j);
        at += part.cols;
    }
    return x;
}

template <typename T>
Matrix<T> TypeThree(const BetweenCells& cells, std::uint32_t term, const Matrix<T>& means) {
    const Matrix<T> l = TermColumns<T>(cells, term);  // L' (cells x q)
    const std::size_t g = l.rows, q = l.cols, p = means.cols;
    Matrix<T> lm(q, p), ldl(q, q);
    for (std::size_t c = 0; c < g; ++c)
        for (std::size_t i = 0; i < q; ++i) {
            if (l(c, i) == 0) continue;
            for (std::size_t j = 0; j < p; ++j) lm(i, j) += l(c, i) * means(c, j);
            const T w = l(c, i) / T(cells.counts[c]);
            for (std::size_t j = 0; j < q; ++j) ldl(i, j) += w * l(c, j);
        }
    const Matrix<T> solved = Solve(ldl, lm);
    Matrix<T> out(p, p);
    for (std::size_t i = 0; i < p; ++i)
        for (std::size_t j = i; j < p; ++j) {
            T s = 0;
            for (std::size_t k = 0; k < q; ++k) s += lm(k, i) * solved(k, j);
            out(i, j) = s;
            out(j, i) = s;
        }
    return out;
}

}  // namespace

std::int64_t TermDf(const BetweenCells& cells, std::uint32_t term) {
    std::int64_t df = 1;
    for (std::size_t f = 0; f < cells.levels.size(); ++f)
        if (term >> f & 1u) df *= static_cast<std::int64_t>(cells.levels[f]) - 1;
    return df;
}

namespace {

template <typename T>
Matrix<T> Hypothesis(const BetweenCells& cells, std::uint32_t term, const Matrix<T>& means, SsType type) {
    if (type == SsType::TypeIII) return TypeThree(cells, term, means);
    // Type II: the terms that do not contain this one (the intercept among
    // them unless it is the term), with the term and without it.
    std::vector<std::uint32_t> without;
    const std::uint32_t all = (std::uint32_t{1} << cells.levels.size()) - 1;
    for (std::uint32_t t = 0; t <= all; ++t)
        if (t != term && (t & term) != term) without.push_back(t);
    std::vector<std::uint32_t> with = without;
    with.push_back(term);
    Matrix<T> h = Projection(cells, ModelColumns<T>(cells, with), means);
    if (!without.empty()) {
        const Matrix<T> less = Projection(cells, ModelColumns<T>(cells, without), means);
        for (std::size_t k = 0; k < h.at.size(); ++k) h.at[k] -= less.at[k];
    }
    return h;
}

// A main effect's hypothesis in closed form, exact for any number of cells.
// With the cells' means summed over the other factors' levels (s_a, a level
// of the factor) and their counts' reciprocals summed alike (v_a), the type III
// hypothesis is s' H' (H V H')^-1 H s for the factor's contrasts H, V =
// diag(v). Any full set of contrasts spans the complement of the constant, so
// H' (H V H')^-1 H = V^-1 - V^-1 1 1' V^-1 / (1' V^-1 1), and the hypothesis is
// the V^-1-weighted spread of s about its weighted mean:
// sum s_a s_a' / v_a less t t' / w, t = sum s_a / v_a, w = sum 1 / v_a.
// With one factor it is the groups' weighted spread, either type's.
RationalMatrix MainEffect(const BetweenCells& cells, std::size_t factor, const RationalMatrix& means) {
    std::size_t stride = 1;
    for (std::size_t f = factor + 1; f < cells.levels.size(); ++f) stride *= cells.levels[f];
    const std::size_t levels = cells.levels[factor], p = means.cols;
    RationalMatrix sums(levels, p);
    std::vector<mpq_class> spread(levels, 0);
    for (std::size_t c = 0; c < means.rows; ++c) {
        const std::size_t a = c / stride % levels;
        for (std::size_t j = 0; j < p; ++j) sums(a, j) += means(c, j);
        spread[a] += mpq_class(1, cells.counts[c]);
    }
    RationalMatrix out(p, p);
    std::vector<mpq_class> t(p, 0);
    mpq_class w = 0;
    for (std::size_t a = 0; a < levels; ++a) {
        const mpq_class weight = 1 / spread[a];
        w += weight;
        for (std::size_t i = 0; i < p; ++i) {
            const mpq_class weighted = weight * sums(a, i);
            t[i] += weighted;
            for (std::size_t j = i; j < p; ++j) out(i, j) += weighted * sums(a, j);
        }
    }
    for (std::size_t i = 0; i < p; ++i)
        for (std::size_t j = i; j < p; ++j) {
            out(i, j) -= t[i] * t[j] / w;
            out(j, i) = out(i, j);
        }
    return out;
}

// The factor of a term of one factor; none for others.
std::optional<std::size_t> OnlyFactor(std::uint32_t term) {
    if (term == 0 || (term & (term - 1)) != 0) return std::nullopt;
    return static_cast<std::size_t>(std::countr_zero(term));
}

}  // namespace

RationalMatrix TermHypothesisByElimination(const BetweenCells& cells, std::uint32_t term,
                                          const RationalMatrix& means, SsType type) {
    Matrix<mpq_class> exactMeans(means.rows, means.cols);
    exactMeans.at = means.at;
    RationalMatrix out(means.cols, means.cols);
    out.at = Hypothesis(cells, term, exactMeans, type).at;
    return out;
}

RationalMatrix TermHypothesis(const BetweenCells& cells, std::uint32_t term, const RationalMatrix& means,
                              SsType type) {
    const std::optional<std::size_t> only = OnlyFactor(term);
    if (only && (type == SsType::TypeIII || cells.levels.size() == 1)) return MainEffect(cells, *only, means);
    if (cells.counts.size() <= kMostExactCells) return TermHypothesisByElimination(cells, term, means, type);
    RationalMatrix out(means.cols, means.cols);
    Matrix<Extended> rounded(means.rows, means.cols);
    for (std::size_t k = 0; k < means.at.size(); ++k)
        rounded.at[k] = exact::RoundRational(means.at[k].get_num(), means.at[k].get_den(), 0);
    const Matrix<Extended> h = Hypothesis(cells, term, rounded, type);
    for (std::size_t k = 0; k < h.at.size(); ++k) out.at[k] = ExactValue(CheckFinite(h.at[k]));
    return out;
}
}  // namespace morvane::anova::detail
