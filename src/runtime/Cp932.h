#pragma once
// Conversion between UTF-8 and code page 932 (Shift-JIS), the encoding of every
// text the program stores, writes and reads.

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// A character that code page 932 cannot hold becomes "?".
std::string Cp932FromUtf8(std::string_view utf8);
// A byte sequence that is not valid code page 932 becomes U+FFFD per bad byte.
std::string Utf8FromCp932(std::string_view cp932);

// The exact conversions, for texts that must arrive unchanged: nothing when the
// input is not valid in its encoding or holds a character the other cannot.
std::optional<std::string> Cp932FromUtf8Exact(std::string_view utf8);
std::optional<std::string> Utf8FromCp932Exact(std::string_view cp932);

}  // namespace morvane
