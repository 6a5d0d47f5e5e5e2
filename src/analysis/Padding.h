#pragma once
// Padding of a text to a byte width; a double-byte character counts 2. A text
// as long as the width or longer is returned unchanged, never truncated.

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane {

// Right-justifies `text` in 10 bytes.
std::string PadLeft10(std::string_view text);

// Left-justifies `text` in `width` bytes.
std::string PadRight(std::string_view text, std::size_t width);

}  // namespace morvane
