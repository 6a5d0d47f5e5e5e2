#pragma once
// Integer texts: the counts of a data file and the number of subjects typed in
// the levels window.

#include <cstdint>
#include <optional>
#include <string_view>

namespace morvane {

// An optional "+" or "-", then decimal digits within the signed 32-bit range, or
// a prefix "$", "x", "X", "0x" or "0X" and hexadecimal digits within 32 bits
// (taken as the 32-bit pattern; a sign has no effect on them). Nothing else.
std::optional<std::int32_t> ConvertCount(std::string_view text);

// Leading spaces, then the form of ConvertCount, with nothing after it.
std::optional<std::int32_t> ConvertInteger(std::string_view text);

}  // namespace morvane
