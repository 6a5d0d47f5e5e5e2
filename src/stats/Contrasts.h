#pragma once
// The Helmert contrasts, the one basis of every within-subject effect: over l
// levels, contrast j (from 0) compares the mean of levels 0..j with level
// j + 1. As integers, row j is 1 at levels 0..j, -(j + 1) at level j + 1 and 0
// after; divided by its length sqrt((j + 1) (j + 2)) it is orthonormal. An
// interaction's contrasts are the products of its factors' contrasts, the
// last factor's fastest.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

// The length of integer Helmert row j: sqrt((j + 1) (j + 2)).
Extended HelmertRowLength(std::size_t j);

// The orthonormal rows of `levels` levels: levels - 1 rows of `levels`
// entries, row-major.
std::vector<Extended> OrthonormalHelmertRows(std::size_t levels);

// The integer rows applied to values v[l * stride] of `levels` levels:
// z[j * zStride] := sum of v over levels 0..j less (j + 1) v at level j + 1,
// by one running sum. Exact where In and Out are integers wide enough.
template <typename In, typename Out>
void ApplyIntegerHelmert(std::size_t levels, const In* v, std::size_t stride, Out* z, std::size_t zStride) {
    Out prefix = 0;
    for (std::size_t j = 0; j + 1 < levels; ++j) {
        prefix += v[j * stride];
        z[j * zStride] = prefix - static_cast<Out>(j + 1) * v[(j + 1) * stride];
    }
}

// The orthonormal contrasts of levels' means.
std::vector<Extended> HelmertContrasts(const std::vector<Extended>& means);

// The interaction contrasts of na x nb cells' means (a * nb + b): the
// contrasts of B of the contrasts of A at each level of B, contrast
// i * (nb - 1) + j.
std::vector<Extended> InteractionContrasts(const std::vector<Extended>& cellMeans, std::size_t na,
                                           std::size_t nb);

}  // namespace morvane
