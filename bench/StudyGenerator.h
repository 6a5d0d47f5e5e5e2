#pragma once
// Random studies for the benchmarks: data files of any size with scores such as
// "57.3", reproducible from a seed.

#include <cstdint>
#include <string>

namespace morvane::bench {

// Writes a data file of n subjects, na levels of A ("a1", ...) and nb levels of
// B ("b1", ...); every score is a random number from 0.0 to 99.9 with one
// decimal (the full stop as separator).
void WriteRandomStudy(const std::string& path, std::int32_t n, std::int32_t na, std::int32_t nb,
                      std::uint64_t seed = 1);

}  // namespace morvane::bench
