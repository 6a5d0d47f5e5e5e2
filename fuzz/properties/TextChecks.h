#pragma once
// Checks of the texts the program writes for other programs, written from the
// formats' definitions and sharing no code with the writers: UTF-8 (RFC 3629)
// and JSON (RFC 8259, whose grammar has no NaN or Infinity).

#include <optional>
#include <string>
#include <string_view>

namespace morvane::properties {

// Whether `text` is well-formed UTF-8: every sequence of the shortest form, no
// surrogate, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view text);

// What makes `text` not one JSON value with nothing but white space around it
// ("at byte 12: ..."), or nothing when it is one. Strings must be UTF-8 and hold
// no control character unescaped.
std::optional<std::string> JsonFault(std::string_view text);

}  // namespace morvane::properties
