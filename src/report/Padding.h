#pragma once
// Padding of a text to a byte width; a double-byte character counts 2. A text
// as long as the width or longer is returned unchanged, never truncated.

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Copies `n` bytes, at most 16, in a few word moves that may overlap.
inline void CopyShort(char* to, const char* from, std::size_t n) {
    if (n >= 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + n - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + n - 4, &tail, 4);
    } else if (n > 0) {
        const char first = from[0], middle = from[n / 2], last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}

// PadLeft10(text) laid out at `out`; returns the end of what it wrote.
inline char* PutPadLeft10(char* out, std::string_view text) {
    constexpr std::size_t kWidth = 10;
    const std::size_t n = text.size();
    if (n > 16) {
        std::memcpy(out, text.data(), n);
        return out + n;
    }
    if (n < kWidth) {
        std::memset(out, ' ', kWidth);
        out += kWidth - n;
    }
    CopyShort(out, text.data(), n);
    return out + n;
}

}  // namespace morvane
