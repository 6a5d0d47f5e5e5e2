#pragma once
// The process's standard streams stand for a file with the empty name.

namespace morvane::io {

// A standard stream can be read as a file when it is a regular file, a pipe or
// a terminal.
bool IsUsableStandardStream(int fd);

// The standard output can be written as a file when it is open for writing on
// a regular file, a pipe, a socket or any character device (a terminal,
// /dev/null, a full disk's /dev/full: a failure of the writes themselves is
// theirs to report). Closed, or open only for reading, it cannot.
bool IsWritableStandardStream(int fd);

}  // namespace morvane::io
