#pragma once
// Private to the statistics and the analysis that calls them: Friedman's test
// of integers whose least and most the caller already knows, which spares the
// ranking a pass over the values to find them.

#include <cstddef>
#include <cstdint>

#include "stats/Friedman.h"

namespace morvane::detail {

FriedmanTest FriedmanOfIntegers(const std::int32_t* v, std::size_t n, std::size_t k, std::int64_t least,
                                std::int64_t most);

}  // namespace morvane::detail
