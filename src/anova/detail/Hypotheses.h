#pragma once
// Private to the engine: the hypothesis matrices of the between terms,
// exact, from the between cells' counts and means of some p coordinates.
// Terms are masks over the between factors (bit f for factor f), 0 the
// intercept; the between cells are indexed over the factors' levels, the last
// factor fastest, and every cell holds subjects.

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "anova/Analysis.h"

namespace morvane::anova::detail {

// A dense matrix of rationals, row-major.
struct RationalMatrix {
    std::size_t rows = 0, cols = 0;
    std::vector<mpq_class> at;

    RationalMatrix() = default;
    RationalMatrix(std::size_t r, std::size_t c) : rows(r), cols(c), at(r * c, 0) {}
    mpq_class& operator()(std::size_t i, std::size_t j) { return at[i * cols + j]; }
    const mpq_class& operator()(std::size_t i, std::size_t j) const { return at[i * cols + j]; }
};

struct BetweenCells {
    std::vector<std::size_t> levels;   // of each between factor
    std::vector<std::int64_t> counts;  // per cell
};

// The hypothesis SSCP matrix (p x p) of `term` for the cells' means (cells x p):
// type III the hypothesis of the term's contrasts in the cell-means model with
// equal weights over the other factors' levels, (L M)' (L D^-1 L')^-1 (L M);
// type II the model of every term not containing it with the term less the
// model without it. A main effect's type III (and, with one factor, type II)
// comes in closed form, exact and linear in the cells, and so does any term
// of cells all of one count; other terms by elimination on the smaller of two
// sides, the term's own contrasts or the model of every other term: exact up
// to 48 columns, in extended precision up to kMostBetweenContrasts, and
// beyond that none (the caller leaves the term's figures out).
std::optional<RationalMatrix> TermHypothesis(const BetweenCells& cells, std::uint32_t term,
                                             const RationalMatrix& means, SsType type);

// The same by exact elimination on the term's contrasts, whatever the term and
// the cells: what the closed form is checked against.
RationalMatrix TermHypothesisByElimination(const BetweenCells& cells, std::uint32_t term,
                                          const RationalMatrix& means, SsType type);

// The same on the complement's side, exactly, whatever its size: the other
// half of what the choice of side is checked against.
RationalMatrix TermHypothesisOnComplement(const BetweenCells& cells, std::uint32_t term,
                                          const RationalMatrix& means, SsType type);

// The term's degrees of freedom: the product of its factors' levels less one.
std::int64_t TermDf(const BetweenCells& cells, std::uint32_t term);

}  // namespace morvane::anova::detail
