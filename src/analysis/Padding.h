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

// PadLeft10(text) appended to `line`, for lines built field by field.
inline void AppendPadLeft10(std::string& line, std::string_view text) {
    constexpr std::size_t kWidth = 10;
    if (text.size() < kWidth) line.append(kWidth - text.size(), ' ');
    line.append(text);
}

}  // namespace morvane
