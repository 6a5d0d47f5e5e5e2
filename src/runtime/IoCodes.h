#pragma once
// Input/output error codes: the operating system's error numbers mapped to the
// codes whose messages the user knows, plus the runtime's own.

#include <string>

namespace morvane::io {

inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kInvalidHandle = 6;
inline constexpr int kDiskFull = 101;
inline constexpr int kNoUsableHandle = 105;
inline constexpr int kInvalidNumber = 106;

// The code for `err` after an operation on `path` failed. A missing file gives
// 2, or 3 when a folder of the path is missing.
int CodeFromErrno(int err, const std::string& path);

}  // namespace morvane::io
