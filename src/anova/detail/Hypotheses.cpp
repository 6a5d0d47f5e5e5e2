#include "anova/detail/Hypotheses.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>

#include "anova/detail/Basis.h"
#include "exact/WideIntegers.h"
#include "runtime/Errors.h"

namespace morvane::anova::detail {
namespace {

// The hypotheses come from cross products of the cells' coded columns, on
// whichever side is smaller: a term's own contrasts, or the model of all the
// other terms (the cells' columns of every term together are orthogonal, so
// each side is the other's complement). Up to this many columns on the side
// taken the elimination is exact; beyond, in extended precision on means
// centred first; beyond the most, the term is left out: the elimination's time
// grows with the cube of its columns.
constexpr std::size_t kMostExactColumns = 48;
constexpr std::size_t kMostColumns = kMostBetweenContrasts;

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

// A cell's nonzero entries of the coded columns: (column, value).
using CodedRow = std::vector<std::pair<std::size_t, long>>;

// The columns of `terms` side by side, each term's the products of its
// factors' integer Helmert contrasts (row j: 1 at levels 0..j, -(j + 1) at
// level j + 1, 0 after), the last factor's fastest; the cells' rows.
std::vector<CodedRow> CodedRows(const BetweenCells& cells, const std::vector<std::uint32_t>& terms) {
    const std::size_t g = cells.counts.size(), k = cells.levels.size();
    std::vector<CodedRow> rows(g);
    std::vector<std::size_t> level(k);
    for (std::size_t c = 0; c < g; ++c) {
        std::size_t rest = c;
        for (std::size_t f = k; f-- > 0;) level[f] = rest % cells.levels[f], rest /= cells.levels[f];
        std::size_t first = 0;
        for (const std::uint32_t t : terms) {
            CodedRow part{{0, 1}};
            for (std::size_t f = 0; f < k; ++f) {
                if (!(t >> f & 1u)) continue;
                const std::size_t width = cells.levels[f] - 1, l = level[f];
                CodedRow next;
                for (const auto& [col, value] : part)
                    for (std::size_t j = l == 0 ? 0 : l - 1; j < width; ++j)
                        next.emplace_back(col * width + j, j + 1 == l ? -value * static_cast<long>(l) : value);
                part = std::move(next);
            }
            for (const auto& [col, value] : part) rows[c].emplace_back(first + col, value);
            first += static_cast<std::size_t>(TermDf(cells, t));
        }
    }
    return rows;
}

std::size_t Columns(const BetweenCells& cells, const std::vector<std::uint32_t>& terms) {
    std::size_t r = 0;
    for (const std::uint32_t t : terms) r += static_cast<std::size_t>(TermDf(cells, t));
    return r;
}

// The terms not among `terms`, the intercept (0) among them.
std::vector<std::uint32_t> Complement(const BetweenCells& cells, const std::vector<std::uint32_t>& terms) {
    std::vector<std::uint32_t> out;
    const std::uint32_t all = (std::uint32_t{1} << cells.levels.size()) - 1;
    for (std::uint32_t t = 0; t <= all; ++t)
        if (std::find(terms.begin(), terms.end(), t) == terms.end()) out.push_back(t);
    return out;
}

template <typename T>
T FromWide(Int128 x) {
    if constexpr (std::is_same_v<T, mpq_class>)
        return mpq_class(exact::ToMpz(x));
    else
        return static_cast<T>(x);
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

// B' A^-1 B (p x p) for a nonsingular A (r x r) and B (r x p).
template <typename T>
Matrix<T> Quadratic(const Matrix<T>& a, const Matrix<T>& b) {
    const std::size_t r = a.rows, p = b.cols;
    const Matrix<T> solved = Solve(a, b);
    Matrix<T> out(p, p);
    for (std::size_t i = 0; i < p; ++i)
        for (std::size_t j = i; j < p; ++j) {
            T s = 0;
            for (std::size_t k = 0; k < r; ++k) s += b(k, i) * solved(k, j);
            out(i, j) = s;
            out(j, i) = s;
        }
    return out;
}

// M' D M: the cells' means weighted by their counts.
template <typename T>
Matrix<T> Squares(const BetweenCells& cells, const Matrix<T>& means) {
    const std::size_t p = means.cols;
    Matrix<T> out(p, p);
    for (std::size_t c = 0; c < means.rows; ++c)
        for (std::size_t i = 0; i < p; ++i) {
            const T w = T(cells.counts[c]) * means(c, i);
            for (std::size_t j = 0; j < p; ++j) out(i, j) += w * means(c, j);
        }
    return out;
}

// M' D X (X' D X)^-1 X' D M: the means' projection on the model of `terms`,
// weighted by the cells' counts. X' D X is summed in wide integers.
template <typename T>
Matrix<T> Projection(const BetweenCells& cells, const std::vector<std::uint32_t>& terms, const Matrix<T>& means) {
    const std::size_t r = Columns(cells, terms), p = means.cols;
    std::vector<Int128> xdx(r * r, 0);
    Matrix<T> xs(r, p);
    const std::vector<CodedRow> rows = CodedRows(cells, terms);
    for (std::size_t c = 0; c < rows.size(); ++c) {
        const Int128 n = cells.counts[c];
        for (const auto& [i, vi] : rows[c]) {
            const Int128 w = n * vi;
            for (const auto& [j, vj] : rows[c]) xdx[i * r + j] += w * vj;
            const T tw = FromWide<T>(w);
            for (std::size_t j = 0; j < p; ++j) xs(i, j) += tw * means(c, j);
        }
    }
    Matrix<T> a(r, r);
    for (std::size_t k = 0; k < xdx.size(); ++k) a.at[k] = FromWide<T>(xdx[k]);
    return Quadratic(a, xs);
}

// (L M)' (L D^-1 L')^-1 (L M) for the contrasts L of `terms`: the hypothesis
// that they are all zero in the cell-means model.
template <typename T>
Matrix<T> ContrastForm(const BetweenCells& cells, const std::vector<std::uint32_t>& terms, const Matrix<T>& means) {
    const std::size_t r = Columns(cells, terms), p = means.cols;
    Matrix<T> ldl(r, r), lm(r, p);
    const std::vector<CodedRow> rows = CodedRows(cells, terms);
    for (std::size_t c = 0; c < rows.size(); ++c) {
        const T inverse = T(1) / T(cells.counts[c]);
        for (const auto& [i, vi] : rows[c]) {
            const T w = inverse * T(vi);
            for (const auto& [j, vj] : rows[c]) ldl(i, j) += w * T(vj);
            for (std::size_t j = 0; j < p; ++j) lm(i, j) += T(vi) * means(c, j);
        }
    }
    return Quadratic(ldl, lm);
}

// How a form is taken: on its own columns, on the complement's, or on
// whichever side has fewer.
enum class Side { Own, Complement, Smaller };

bool OnComplement(const BetweenCells& cells, const std::vector<std::uint32_t>& terms, Side side) {
    const std::size_t r = Columns(cells, terms);
    return side == Side::Complement || (side == Side::Smaller && r > cells.counts.size() - r);
}

template <typename T>
Matrix<T> Less(Matrix<T> a, const Matrix<T>& b) {
    for (std::size_t k = 0; k < a.at.size(); ++k) a.at[k] -= b.at[k];
    return a;
}

// The projection on the model of `terms`: M' D M less the residual, the
// complement's contrast form, when taken on the complement.
template <typename T>
Matrix<T> Fitted(const BetweenCells& cells, const std::vector<std::uint32_t>& terms, const Matrix<T>& means,
                 Side side) {
    if (!OnComplement(cells, terms, side)) return Projection(cells, terms, means);
    return Less(Squares(cells, means), ContrastForm(cells, Complement(cells, terms), means));
}

// The contrast form of `terms`: M' D M less the complement's projection when
// taken on the complement.
template <typename T>
Matrix<T> Contrasted(const BetweenCells& cells, const std::vector<std::uint32_t>& terms, const Matrix<T>& means,
                     Side side) {
    if (!OnComplement(cells, terms, side)) return ContrastForm(cells, terms, means);
    return Less(Squares(cells, means), Projection(cells, Complement(cells, terms), means));
}

// Type II's models: the terms that do not contain `term` (the intercept among
// them unless it is the term), without it and with it.
std::pair<std::vector<std::uint32_t>, std::vector<std::uint32_t>> TypeTwoModels(const BetweenCells& cells,
                                                                                std::uint32_t term) {
    std::vector<std::uint32_t> without;
    const std::uint32_t all = (std::uint32_t{1} << cells.levels.size()) - 1;
    for (std::uint32_t t = 0; t <= all; ++t)
        if (t != term && (t & term) != term) without.push_back(t);
    std::vector<std::uint32_t> with = without;
    with.push_back(term);
    return {without, with};
}

// The most columns a hypothesis solves for on the smaller sides.
std::size_t ColumnsNeeded(const BetweenCells& cells, std::uint32_t term, SsType type) {
    const std::size_t g = cells.counts.size();
    const auto smaller = [&](const std::vector<std::uint32_t>& terms) {
        const std::size_t r = Columns(cells, terms);
        return std::min(r, g - r);
    };
    if (type == SsType::TypeIII) return smaller({term});
    const auto [without, with] = TypeTwoModels(cells, term);
    return std::max(smaller(without), smaller(with));
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
Matrix<T> Hypothesis(const BetweenCells& cells, std::uint32_t term, const Matrix<T>& means, SsType type,
                     Side side) {
    if (type == SsType::TypeIII) return Contrasted(cells, {term}, means, side);
    const auto [without, with] = TypeTwoModels(cells, term);
    return Less(Fitted(cells, with, means, side), Fitted(cells, without, means, side));
}

RationalMatrix Exactly(const BetweenCells& cells, std::uint32_t term, const RationalMatrix& means, SsType type,
                       Side side) {
    Matrix<mpq_class> exactMeans(means.rows, means.cols);
    exactMeans.at = means.at;
    RationalMatrix out(means.cols, means.cols);
    out.at = Hypothesis(cells, term, exactMeans, type, side).at;
    return out;
}

// The hypothesis in extended precision, the means centred on their weighted
// mean first (a term other than the intercept does not see the shift, and the
// complement's sides lose fewer digits to it).
RationalMatrix Approximately(const BetweenCells& cells, std::uint32_t term, const RationalMatrix& means,
                             SsType type) {
    const std::size_t g = means.rows, p = means.cols;
    std::vector<mpq_class> centre(p, 0);
    if (term != 0) {
        mpz_class total = 0;
        for (std::size_t c = 0; c < g; ++c) {
            total += cells.counts[c];
            for (std::size_t j = 0; j < p; ++j) centre[j] += cells.counts[c] * means(c, j);
        }
        for (mpq_class& x : centre) x /= total;
    }
    Matrix<Extended> rounded(g, p);
    for (std::size_t c = 0; c < g; ++c)
        for (std::size_t j = 0; j < p; ++j) {
            const mpq_class x = means(c, j) - centre[j];
            rounded(c, j) = exact::RoundRational(x.get_num(), x.get_den(), 0);
        }
    const Matrix<Extended> h = Hypothesis(cells, term, rounded, type, Side::Smaller);
    RationalMatrix out(p, p);
    for (std::size_t k = 0; k < h.at.size(); ++k) out.at[k] = ExactValue(CheckFinite(h.at[k]));
    return out;
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

// Whether every cell holds the same number of subjects.
bool Balanced(const BetweenCells& cells) {
    return std::adjacent_find(cells.counts.begin(), cells.counts.end(), std::not_equal_to<>()) ==
           cells.counts.end();
}

// The hypothesis of any term, either type, of cells all of one count n: the
// terms' columns are then orthogonal under the counts' weights, and the
// hypothesis is the classic one, n times the cross products over the cells of
// the term's effects. A cell's effect is its means centred along each of the
// term's factors and averaged along each other factor, in turn; it is the same
// at every level of the other factors, so the cells at their first levels are
// summed once and weighed by how many cells each stands for.
RationalMatrix BalancedTerm(const BetweenCells& cells, std::uint32_t term, const RationalMatrix& means) {
    const std::size_t g = means.rows, p = means.cols, k = cells.levels.size();
    RationalMatrix v = means;
    mpq_class mean;
    std::int64_t stands = 1;
    for (std::size_t f = 0, block = g; f < k; block /= cells.levels[f], ++f) {
        const std::size_t levels = cells.levels[f], stride = block / levels;
        const bool own = term >> f & 1u;
        if (!own) stands *= static_cast<std::int64_t>(levels);
        for (std::size_t first = 0; first < g; first += block)
            for (std::size_t i = first; i < first + stride; ++i)
                for (std::size_t j = 0; j < p; ++j) {
                    mean = 0;
                    for (std::size_t a = 0; a < levels; ++a) mean += v(i + a * stride, j);
                    mean /= static_cast<long>(levels);
                    for (std::size_t a = 0; a < levels; ++a) {
                        mpq_class& x = v(i + a * stride, j);
                        if (own)
                            x -= mean;
                        else
                            x = mean;
                    }
                }
    }
    RationalMatrix out(p, p);
    for (std::size_t c = 0; c < g; ++c) {
        bool first = true;
        for (std::size_t f = k, rest = c; f-- > 0; rest /= cells.levels[f])
            if (!(term >> f & 1u) && rest % cells.levels[f] != 0) first = false;
        if (!first) continue;
        for (std::size_t i = 0; i < p; ++i)
            for (std::size_t j = i; j < p; ++j) out(i, j) += v(c, i) * v(c, j);
    }
    const mpq_class weight = mpq_class(cells.counts.empty() ? 0 : cells.counts.front()) * stands;
    for (std::size_t i = 0; i < p; ++i)
        for (std::size_t j = i; j < p; ++j) {
            out(i, j) *= weight;
            out(j, i) = out(i, j);
        }
    return out;
}

}  // namespace

RationalMatrix TermHypothesisByElimination(const BetweenCells& cells, std::uint32_t term,
                                          const RationalMatrix& means, SsType type) {
    return Exactly(cells, term, means, type, Side::Own);
}

RationalMatrix TermHypothesisOnComplement(const BetweenCells& cells, std::uint32_t term,
                                          const RationalMatrix& means, SsType type) {
    return Exactly(cells, term, means, type, Side::Complement);
}

std::optional<RationalMatrix> TermHypothesis(const BetweenCells& cells, std::uint32_t term,
                                             const RationalMatrix& means, SsType type) {
    const std::optional<std::size_t> only = OnlyFactor(term);
    if (only && (type == SsType::TypeIII || cells.levels.size() == 1)) return MainEffect(cells, *only, means);
    if (Balanced(cells)) return BalancedTerm(cells, term, means);
    const std::size_t needed = ColumnsNeeded(cells, term, type);
    if (needed > kMostColumns) return std::nullopt;
    if (needed <= kMostExactColumns) return Exactly(cells, term, means, type, Side::Smaller);
    return Approximately(cells, term, means, type);
}
}  // namespace morvane::anova::detail
