#pragma once
// Study shapes that a few bytes cannot spell out: many levels with few
// scores, long level names, long score fields. An input that starts with
// kShapeMark describes one, and ExpandShape writes out the data file it
// stands for, so that the fuzz targets reach what a small input never would.

#include <string>
#include <string_view>

namespace morvane::properties {

inline constexpr std::string_view kShapeMark = "#shape\n";

// `bytes` as they are, unless they start with kShapeMark: then the data file
// that the six bytes after it describe (the levels of A and of B, N, the
// length of the first level name of A, the length of one score field, and
// which score it is), its texts cycled from the bytes after those.
std::string ExpandShape(std::string_view bytes);

}  // namespace morvane::properties
