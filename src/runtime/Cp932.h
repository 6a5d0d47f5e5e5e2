#pragma once
// Conversion between UTF-8 and code page 932 (Shift-JIS), the encoding of every
// text the program stores, writes and reads.

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// A character that code page 932 cannot hold becomes "?".
std::string Cp932FromUtf8(std::string_view utf8);
// A byte sequence that is not valid code page 932 becomes U+FFFD per bad byte,
// and so does a NUL, which would cut the text short wherever it is shown or
// written as a C string (a message, a file for other programs).
std::string Utf8FromCp932(std::string_view cp932);

// The exact conversions, for texts that must arrive unchanged: nothing when the
// input is not valid in its encoding or holds a character the other cannot.
std::optional<std::string> Cp932FromUtf8Exact(std::string_view utf8);
std::optional<std::string> Utf8FromCp932Exact(std::string_view cp932);

// A character of code page 932 that comes back from UTF-8 as other bytes: the
// vendor extensions hold some characters under two codes (Roman numeral one is
// both 87 54 and FA 4A, small Roman numeral one both EE EF and FA 40), and the
// conversion from UTF-8 gives one of them.
struct Cp932Respelling {
    std::string_view character;  // the bytes of the text
    std::string comesBackAs;     // and those UTF-8 brings back
};
// The first such character of `cp932`, or nothing when UTF-8 brings the whole
// text back byte for byte (or the text is not valid code page 932).
std::optional<Cp932Respelling> FirstRespelling(std::string_view cp932);
// Code page 932 bytes as hexadecimal pairs: "FA 4A".
std::string HexBytes(std::string_view bytes);

// `cp932` whole when it holds at most `most` bytes; otherwise its first
// characters within `most` bytes (a double-byte character is never split)
// followed by "…", so that a long text quoted or shown stays readable.
std::string CutCp932(std::string_view cp932, std::size_t most);

}  // namespace morvane
