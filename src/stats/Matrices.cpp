#include "stats/Matrices.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace morvane {

Extended SquareMatrix::Trace() const {
    Extended trace = 0;
    for (std::size_t i = 0; i < order; ++i) trace += (*this)(i, i);
    return trace;
}

// Divided by the trace first, which keeps the products of the covariances of
// large scores finite and changes neither a determinant's ratio to the
// trace's power nor which matrices are singular.
std::optional<CholeskyFactor> Cholesky(const SquareMatrix& s) {
    const std::size_t k = s.order;
    CholeskyFactor f{k, s.entries, s.Trace()};
    if (!(f.trace > 0) || !std::isfinite(f.trace)) return std::nullopt;
    std::vector<Extended>& m = f.lower;
    for (Extended& v : m) v /= f.trace;
    const Extended tolerance = 64 * std::numeric_limits<Extended>::epsilon() * static_cast<Extended>(k);
    for (std::size_t j = 0; j < k; ++j) {
        Extended d = m[j * k + j];
        for (std::size_t l = 0; l < j; ++l) d -= m[j * k + l] * m[j * k + l];
        if (!(d > tolerance * m[j * k + j]) || !(d > 0)) return std::nullopt;
        const Extended root = std::sqrt(d);
        m[j * k + j] = root;
        for (std::size_t i = j + 1; i < k; ++i) {
            Extended v = m[i * k + j];
            for (std::size_t l = 0; l < j; ++l) v -= m[i * k + l] * m[j * k + l];
            m[i * k + j] = v / root;
        }
    }
    return f;
}

std::optional<Extended> LogDeterminantOverTrace(const SquareMatrix& s) {
    const std::optional<CholeskyFactor> f = Cholesky(s);
    if (!f) return std::nullopt;
    Extended logDet = 0;
    for (std::size_t j = 0; j < f->order; ++j) logDet += 2 * std::log(f->lower[j * f->order + j]);
    return logDet;
}

// Forward substitution L y = m: m' S^-1 m = |y|^2 / trace.
std::optional<Extended> InverseQuadraticForm(const SquareMatrix& s, const std::vector<Extended>& m) {
    const std::optional<CholeskyFactor> f = Cholesky(s);
    if (!f || m.size() != f->order) return std::nullopt;
    const std::size_t k = f->order;
    const std::vector<Extended>& l = f->lower;
    std::vector<Extended> y = m;
    Extended form = 0;
    for (std::size_t i = 0; i < k; ++i) {
        Extended v = y[i];
        for (std::size_t j = 0; j < i; ++j) v -= l[i * k + j] * y[j];
        y[i] = v / l[i * k + i];
        form += y[i] * y[i];
    }
    return form / f->trace;
}

// With E / trace(E) = L L', the roots are the eigenvalues of the symmetric
// L^-1 H L^-T, divided by trace(E).
std::optional<std::vector<Extended>> RelativeEigenvalues(const SquareMatrix& h, const SquareMatrix& e) {
    const std::optional<CholeskyFactor> f = Cholesky(e);
    if (!f || h.order != e.order) return std::nullopt;
    using Dense = Eigen::Matrix<Extended, Eigen::Dynamic, Eigen::Dynamic>;
    const auto k = static_cast<Eigen::Index>(f->order);
    Dense l = Dense::Zero(k, k), hm(k, k);
    for (Eigen::Index i = 0; i < k; ++i)
        for (Eigen::Index j = 0; j < k; ++j) {
            hm(i, j) = h(static_cast<std::size_t>(i), static_cast<std::size_t>(j));
            if (j <= i) l(i, j) = f->lower[static_cast<std::size_t>(i * k + j)];
        }
    const auto lower = l.triangularView<Eigen::Lower>();
    const Dense left = lower.solve(hm);                                   // L^-1 H
    const Dense both = lower.solve(left.transpose()).transpose();        // L^-1 H L^-T
    const Dense symmetric = (both + both.transpose()) / 2;
    const Eigen::SelfAdjointEigenSolver<Dense> solver(symmetric, Eigen::EigenvaluesOnly);
    if (solver.info() != Eigen::Success) return std::nullopt;
    std::vector<Extended> roots;
    for (Eigen::Index i = 0; i < k; ++i) roots.push_back(solver.eigenvalues()(i) / f->trace);
    std::sort(roots.begin(), roots.end(), std::greater<>());
    return roots;
}

}  // namespace morvane
