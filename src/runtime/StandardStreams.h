#pragma once
// The process's standard streams stand for a file with the empty name.

namespace morvane::io {

// A standard stream can be used as a file when it is a regular file, a pipe or
// a terminal.
bool IsUsableStandardStream(int fd);

}  // namespace morvane::io
