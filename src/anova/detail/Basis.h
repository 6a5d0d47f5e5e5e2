#pragma once
// Private to the engine: the integer basis of the within cells that the model
// is formed in.
//
// Every within cell vector y of a subject is taken to the full integer basis
// of the within cells: over each within factor of l levels the sum row (all
// ones) and the l - 1 integer Helmert rows, the basis of the design the
// Kronecker product of the factors' (the last factor fastest). A coordinate
// belongs to the within effect of the factors whose row there is a Helmert
// row (none: the subject's sum over the cells, on which the between effects
// are tested); the coordinates of one effect are its contrasts in the order
// of their products, the last factor fastest. The rows are orthogonal, so the
// normalising (P P')^-1 of an effect's contrasts is the diagonal of the
// reciprocals of their squared lengths.

#include <gmpxx.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "design/Design.h"
#include "runtime/Extended.h"

namespace morvane::anova::detail {

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

    // The largest magnitude a coordinate takes over the largest magnitude of the cells.
    long double Growth() const;
};

// Over each within factor in turn, from the first: each line of its levels
// replaced by their sum and their integer Helmert contrasts (the running sum
// of the levels before less (j + 1) times level j + 1). `line` is scratch.
template <typename T>
void ToBasis(const WithinBasis& basis, T* z, std::vector<T>& line) {
    std::size_t stride = basis.cells;
    for (const std::size_t l : basis.levels) {
        stride /= l;
        line.resize(l);
        for (std::size_t outer = 0; outer < basis.cells; outer += stride * l)
            for (std::size_t inner = 0; inner < stride; ++inner) {
                T* v = z + outer + inner;
                T prefix = v[0];
                line[0] = v[0];
                for (std::size_t j = 0; j + 1 < l; ++j) {
                    const T next = v[(j + 1) * stride];
                    line[j + 1] = prefix - static_cast<T>(static_cast<std::int64_t>(j + 1)) * next;
                    prefix += next;
                }
                line[0] = prefix;
                for (std::size_t j = 0; j < l; ++j) v[j * stride] = line[j];
            }
    }
}

// An extended number as the binary rational it is.
mpq_class ExactValue(Extended x);

}  // namespace morvane::anova::detail
