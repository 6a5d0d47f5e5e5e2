#pragma once
// The typed errors of the program. Every error carries the message that the
// user sees, as code page 932 (Shift-JIS) bytes; the windows and the tool decide
// how to show it.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "runtime/IoCodes.h"

namespace morvane {

class Error : public std::exception {
public:
    explicit Error(std::string messageCp932);
    const char* what() const noexcept override;
    // The message as code page 932 bytes.
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// Where a score text stands in the study: subject, level of A, level of B (from 1).
struct ScoreCell {
    std::int32_t subject = 0;
    std::int32_t levelA = 0;
    std::int32_t levelB = 0;
    friend bool operator==(const ScoreCell&, const ScoreCell&) = default;
};

// A text that does not convert to a number ("'%s' は浮動小数点数ではありません",
// "'%s' は整数ではありません"). A score text of the study also says where it
// stands, so that a window can show it; the message is the same either way.
class ConvertError : public Error {
public:
    using Error::Error;
    ConvertError(std::string messageCp932, const ScoreCell& cell);
    const std::optional<ScoreCell>& cell() const noexcept { return cell_; }

private:
    std::optional<ScoreCell> cell_;
};

// An array extent below zero ("範囲チェックエラー").
class RangeError : public Error {
public:
    RangeError();
};

// Memory exhausted ("メモリが足りません").
class OutOfMemoryError : public Error {
public:
    OutOfMemoryError();
};

// Invalid floating-point operation such as 0/0 ("不正な浮動小数点数演算命令").
class InvalidOperationError : public Error {
public:
    InvalidOperationError();
};

// Division of a non-zero value by zero ("0 による浮動小数点数除算").
class ZeroDivideError : public Error {
public:
    ZeroDivideError();
};

// A result beyond the extended range ("浮動小数点数のオーバーフロー").
class OverflowError : public Error {
public:
    OverflowError();
};

// A failed file operation, with its input/output error code: one of the
// runtime's codes (io::kDiskFull, ...), or an operating-system error number
// that io::CodeFromErrno passed on, shown as "I/O エラー (%d)" whatever it is.
class InOutError : public Error {
public:
    explicit InOutError(int code);
    explicit InOutError(io::IoCode code);
    int code() const noexcept { return code_.value; }
    bool systemNumber() const noexcept { return code_.systemNumber; }

private:
    io::IoCode code_;
};

// A failure of the printer ("デフォルト プリンタが存在しません", ...).
class PrinterError : public Error {
public:
    using Error::Error;
};

// A study the windows cannot show ("要因の水準数が 1 未満です").
class StudyError : public Error {
public:
    using Error::Error;
};

// A text that the data file cannot hold: a level name or score text with a CR
// or LF in it ("改行を含む文字列はデータファイルに書き込めません").
class LineEndInTextError : public Error {
public:
    LineEndInTextError();
};

// An output that is one of the command's inputs, refused before it is opened
// ("出力ファイルが入力ファイルと同じです").
class SameFileError : public Error {
public:
    SameFileError();
};

// A read that the user stopped (中止 while a study loads). It carries no
// message: the windows show nothing for it, and nothing was changed.
class ReadStopped : public std::exception {
public:
    const char* what() const noexcept override;
};

}  // namespace morvane
