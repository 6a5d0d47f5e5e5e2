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

// What a failed operation reports: one of the codes above, whose message the
// table of messages gives, or an error number of the operating system that has
// no code of its own. Such a number is shown as itself ("I/O エラー (%d)") even
// when it equals one of our codes: EIO is 5, but it is not a refused access.
struct IoCode {
    int value = 0;              // 0: no failure
    bool systemNumber = false;  // value is an errno shown as a number

    static constexpr IoCode Ours(int code) { return {code, false}; }
    static constexpr IoCode System(int err) { return {err, true}; }
    constexpr bool failed() const { return value != 0; }
};

// The code for `err` after an operation on `path` failed. A missing file gives
// 2, or 3 when a folder of the path is missing; an errno without a code of its
// own is passed on as a system number.
IoCode CodeFromErrno(int err, const std::string& path);

}  // namespace morvane::io
