#pragma once
// Random studies for the benchmarks: data files of any size with scores such as
// "57.3", reproducible from a seed.

#include <cstdint>
#include <string>

#include "design/Design.h"

namespace morvane::bench {

// Writes a data file of n subjects, na levels of A ("a1", ...) and nb levels of
// B ("b1", ...); every score is a random number from 0.0 to 99.9 with one
// decimal (the full stop as separator).
void WriteRandomStudy(const std::string& path, std::int32_t n, std::int32_t na, std::int32_t nb,
                      std::uint64_t seed = 1);

// A design of 10^6 exact scores with two decimals: 10^4 subjects x 10 x 10
// within cells, in three groups of 2,900, 3,300 and 3,800 subjects, or with
// `groups` false the same subjects in one (a study of A x B x S).
DesignData LargeDesign(bool groups);

}  // namespace morvane::bench
