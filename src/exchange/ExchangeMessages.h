#pragma once
// The error of a CSV that cannot become a study, or of a study that cannot
// become a CSV, and its messages (code page 932 bytes, like every message).
// A place in the CSV leads the message: "3 行 2 列: " (line, then column, both
// from 1) or "3 行: ". Texts quoted in a message are code page 932 bytes.

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/Errors.h"

namespace morvane {

class CsvError : public Error {
public:
    using Error::Error;
};

namespace messages {

std::string UnclosedQuote(std::int64_t line, std::int64_t column);
std::string TextAfterQuote(std::int64_t line, std::int64_t column);
std::string LineEndInList();
std::string EmptyCsv();
std::string NoScoreRows();
// A run of NUL bytes on `line`: not a text CSV (a binary or sparse file, or one padded with NULs).
std::string NulInCsv(std::int64_t line);
// An input that outgrew the memory budget after `bytes` bytes and `lines` line ends (an endless pipe).
std::string CsvBeyondMemory(std::uint64_t bytes, std::uint64_t lines);
// No record that is not blank starts on the line said to hold the header.
std::string NoHeaderOnLine(std::int64_t line);
std::string FieldCount(std::int64_t line, std::size_t have, std::size_t want);
std::string MissingColumn(std::int64_t line, std::string_view name);
std::string DuplicateColumn(std::int64_t line, std::string_view name);
std::string NotAScore(std::int64_t line, std::int64_t column, std::string_view text);
std::string NotCp932(std::int64_t line, std::int64_t column, std::string_view text);
std::string BadUtf8(std::int64_t line, std::int64_t column);
std::string BadCp932(std::int64_t line, std::int64_t column);
std::string LineEndInName(std::int64_t line, std::int64_t column);
std::string DuplicateScore(std::int64_t line, std::string_view subject, std::string_view a,
                           std::string_view b, std::int64_t firstLine);
std::string MissingScore(std::string_view subject, std::string_view a, std::string_view b);
std::string DuplicateSubject(std::int64_t line, std::string_view subject, std::int64_t firstLine);
std::string TooManySubjects(std::int64_t line);
// A level name given with the design ("A" or "B", the level from 1).
std::string LevelNameNotCp932(char factor, std::int64_t level, std::string_view text);
std::string LevelNameLineEnd(char factor, std::int64_t level);
// A study whose texts are not valid code page 932, on its way out.
std::string StoredNameInvalid(char factor, std::int64_t level);
std::string StoredScoreInvalid(std::int64_t subject, std::int64_t a, std::int64_t b);
// The notice of a text written whose character (code page 932 bytes) a CSV
// brings back as other bytes: a level name, or the first score in the order of
// the rows and how many others have one.
std::string RespelledName(char factor, std::int64_t level, std::string_view character,
                          std::string_view comesBackAs);
// The notice of a level name holding a NUL, which the CSV shows as U+FFFD and
// an import then refuses.
std::string NulInName(char factor, std::int64_t level);
std::string RespelledScore(std::int64_t subject, std::int64_t a, std::int64_t b, std::string_view character,
                           std::string_view comesBackAs, std::int64_t others);

}  // namespace messages
}  // namespace morvane
