#pragma once
// The one rule for a name or id that goes out in any output or message (text,
// markdown, CSV, HTML, APA, JSON, a plot's SVG, the terminal): valid UTF-8
// whose every character a reader accepts. A control character (C0, DEL, C1:
// a NUL would cut a C string short, an ESC would move a terminal's cursor or
// change its colours, and XML 1.0 forbids most of them), a noncharacter
// U+FFFE or U+FFFF, and each byte that is not part of valid UTF-8 become
// U+FFFD, as a NUL of a data file's name does.

#include <string>
#include <string_view>

namespace morvane {

// `utf8` with every character above replaced by U+FFFD; as it is where it holds none.
std::string ShownText(std::string_view utf8);

// The same, keeping line ends ('\n'): for a message of several lines.
std::string ShownLines(std::string_view utf8);

}  // namespace morvane
