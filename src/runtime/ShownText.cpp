#include "runtime/ShownText.h"

#include <algorithm>
#include <cstdint>

namespace morvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 character at `at` (shortest form, no
// surrogate, at most U+10FFFF) and its code point; 0 where the byte starts none.
std::size_t CharacterAt(std::string_view text, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return code = lead, 1;
    std::size_t length = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, least = 0x80, code = lead & 0x1Fu;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, least = 0x800, code = lead & 0x0Fu;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, least = 0x10000, code = lead & 0x07u;
    else
        return 0;
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool Refused(char32_t code, bool keepLineEnds) {
    if (keepLineEnds && code == '\n') return false;
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0xFFFE || code == 0xFFFF;
}

std::string Shown(std::string_view text, bool keepLineEnds) {
    const bool plain = std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= 0x20 && c < 0x7F) || (keepLineEnds && c == '\n');
    });
    if (plain) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t at = 0; at < text.size();) {
        char32_t code = 0;
        const std::size_t length = CharacterAt(text, at, code);
        if (length == 0 || Refused(code, keepLineEnds)) {
            out += kReplacement;
            at += std::max<std::size_t>(length, 1);
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    return out;
}

}  // namespace

std::string ShownText(std::string_view utf8) {
    return Shown(utf8, false);
}

std::string ShownLines(std::string_view utf8) {
    return Shown(utf8, true);
}

}  // namespace morvane
