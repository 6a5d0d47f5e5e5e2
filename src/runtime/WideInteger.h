#pragma once
// The 128-bit integers of exact sums: GCC's own type, named once.

namespace morvane {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

}  // namespace morvane
