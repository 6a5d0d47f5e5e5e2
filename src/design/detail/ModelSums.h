#pragma once
// Private to the design room: the one pass over the subjects' scores that the
// model needs, and the exact figures it leaves per between cell.
//
// Every within cell vector y of a subject is taken to the full integer basis
// of the within cells: over each within factor of l levels the sum row (all
// ones) and the l - 1 integer Helmert rows, the basis of the design the
// Kronecker product of the factors' (the last factor fastest). A coordinate of
// it belongs to the within effect of the factors whose row there is a Helmert
// row (none: the subject's sum over the cells, on which the between effects
// are tested); the coordinates of one effect are its contrasts in the order of
// their products, the last factor fastest. The rows are orthogonal, so that
// the normalising (P P')^-1 of an effect's contrasts is the diagonal of the
// reciprocals of their squared lengths.

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "design/Design.h"

namespace morvane::design {

struct WithinBasis {
    std::vector<std::size_t> levels;  // of each within factor
    std::size_t cells = 1;
    std::vector<std::uint32_t> mask;           // per coordinate: the factors (bit f) of its effect
    std::vector<mpz_class> squaredLength;      // per coordinate: its row's length squared
    std::vector<std::vector<std::size_t>> of;  // per effect mask: its coordinates, in order
    // Per effect mask: whether its cross products are summed whole (else the
    // squares alone, for its sums of squares: contrasts too many for the time
    // and memory their matrices take).
    std::vector<bool> whole;

    explicit WithinBasis(const std::vector<DesignFactor>& within);
};

// The within effects' figures of one between cell, exact: its subjects'
// means of every coordinate and, per effect mask, the sums of squares and
// cross products of that effect's coordinates about their means (k x k,
// row-major; of an effect not summed whole, the k squares alone).
struct GroupSums {
    std::int64_t n = 0;
    std::vector<mpq_class> mean;
    std::vector<std::vector<mpq_class>> within;
};

struct ModelSums {
    // The figures are in units of 10^-scale of the scores: a sum of squares is
    // its rational times 10^(-2 scale).
    int scale = 0;
    // Whether the sums are those of the exact decimals (else of the extended
    // scores, each held exactly as the binary rational it is).
    bool exact = false;
    std::vector<GroupSums> groups;  // per between cell
};

// The pass over the design's subjects: in integers where the scores are exact
// and their transforms fit, in extended precision about each group's means
// otherwise. RangeError for a between cell without subjects.
ModelSums SumSubjects(const DesignData& design, const WithinBasis& basis);

// An extended number as the binary rational it is.
mpq_class ExactValue(Extended x);

}  // namespace morvane::design
