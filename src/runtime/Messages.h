#pragma once
// The messages of the program, as code page 932 bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane::messages {

// The most bytes of a text that a message quotes: a longer one is cut, with
// "…" after it (CutCp932), so that a huge field makes no huge message.
inline constexpr std::size_t kQuotedBytes = 100;
// "'%s' は浮動小数点数ではありません" with the score text (code page 932 bytes).
std::string NotAFloat(std::string_view textCp932);
// "'%s' は整数ではありません" with the text.
std::string NotAnInteger(std::string_view textCp932);
const std::string& RangeCheck();
const std::string& OutOfMemory();
const std::string& InvalidOperation();
const std::string& ZeroDivide();
const std::string& Overflow();
// The message of an input/output error code.
std::string InOut(int code);
// "I/O エラー (%d)" with `number`, whatever it is: an operating-system error
// number that has no code of its own.
std::string InOutNumber(int number);
const std::string& NoDefaultPrinter();
const std::string& PrinterNotValid();
const std::string& PrintingInProgress();
const std::string& TooFewLevels();
// A level name or score text holding a CR or LF, which the data file cannot hold:
// "改行を含む文字列はデータファイルに書き込めません".
const std::string& LineEndInText();
// An output that would replace one of the command's inputs.
const std::string& SameFileAsInput();
// Loading a data file: content after the last score the counts ask for,
// which a save does not keep (a notice, not an error).
const std::string& TrailingContent();
// Loading a data file whose counts ask for more scores than the file has
// bytes, and more memory than there is: the file ends early.
const std::string& FileEndsEarly();
// Loading a data file whose first line ends in CR alone, and one that holds
// nothing but NUL and blank bytes where its counts should be.
const std::string& LineEndsNotRecognised();
const std::string& NotADataFile();

// The text a message box shows: the message with a full stop appended when its
// last byte sorts after the full stop's, so "…ません" gains one and "… (105)" none.
std::string WithFullStop(std::string_view messageCp932);

}  // namespace morvane::messages
