#pragma once
// The Qt boundary of the program's text: the store holds code page 932 bytes,
// Qt holds QString; the windows and the printer convert here and nowhere else.

#include <QString>
#include <string>
#include <string_view>

namespace morvane::qttext {

// Code page 932 bytes as a QString (a byte that is not valid code page 932
// shows as U+FFFD).
QString FromCp932(std::string_view cp932);
// A QString as code page 932 bytes; a character code page 932 cannot hold
// becomes "?".
std::string ToCp932(const QString& text);
// A path chosen in a file dialog as the bytes the file system takes.
std::string FilePath(const QString& path);

}  // namespace morvane::qttext
