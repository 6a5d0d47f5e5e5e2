#pragma once
// Square matrices of extended numbers and what the tests need of them: the
// trace, Cholesky's factorisation with one rule for when a covariance matrix
// is singular, its log-determinant and the quadratic form of its inverse, and
// the roots of det(H - lambda E) = 0 for the multivariate tests.

#include <cstddef>
#include <optional>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

// An order x order matrix, row-major.
struct SquareMatrix {
    std::size_t order = 0;
    std::vector<Extended> entries;

    SquareMatrix() = default;
    explicit SquareMatrix(std::size_t k, Extended fill = 0) : order(k), entries(k * k, fill) {}
    SquareMatrix(std::size_t k, std::vector<Extended> values) : order(k), entries(std::move(values)) {}

    Extended& operator()(std::size_t i, std::size_t j) { return entries[i * order + j]; }
    Extended operator()(std::size_t i, std::size_t j) const { return entries[i * order + j]; }
    bool Empty() const { return order == 0; }
    Extended Trace() const;
};

// The lower triangle L of S / trace(S) = L L' for a symmetric positive
// semidefinite S, and trace(S). The one rule for a singular covariance: a
// pivot (the diagonal entry of S / trace less the squares before it) not above
// 64 k epsilon times that diagonal entry, or not above zero, which rounding
// leaves of an exactly singular matrix; also a trace that is zero or not finite.
struct CholeskyFactor {
    std::size_t order = 0;
    std::vector<Extended> lower;  // row-major, the upper triangle unused
    Extended trace = 0;
};
std::optional<CholeskyFactor> Cholesky(const SquareMatrix& s);

// log det(S / trace(S)); absent where Cholesky finds S singular.
std::optional<Extended> LogDeterminantOverTrace(const SquareMatrix& s);

// m' S^-1 m; absent where Cholesky finds S singular.
std::optional<Extended> InverseQuadraticForm(const SquareMatrix& s, const std::vector<Extended>& m);

// The roots lambda of det(H - lambda E) = 0 for a symmetric H and a symmetric
// positive definite E (the eigenvalues of E^-1 H), from the largest; absent
// where Cholesky finds E singular.
std::optional<std::vector<Extended>> RelativeEigenvalues(const SquareMatrix& h, const SquareMatrix& e);

}  // namespace morvane
