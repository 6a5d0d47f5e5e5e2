#include "exchange/ExchangeMessages.h"

#include "runtime/Cp932.h"
#include "runtime/Messages.h"

namespace morvane::messages {
namespace {

// A literal of the messages below, converted once.
#define MORVANE_TEXT(name, utf8)                             \
    const std::string& name() {                              \
        static const std::string text = Cp932FromUtf8(utf8); \
        return text;                                         \
    }

MORVANE_TEXT(Line, " 行")
MORVANE_TEXT(Column, " 列")
MORVANE_TEXT(Subject, "被験者 '")
MORVANE_TEXT(Separator, "'、")
MORVANE_TEXT(Level, " の水準 ")

#undef MORVANE_TEXT

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// "3 行 2 列: " and "3 行: ".
std::string At(std::int64_t line, std::int64_t column = 0) {
    std::string text = Number(line) + Line();
    if (column > 0) text += " " + Number(column) + Column();
    return text + ": ";
}

std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    quoted.append(CutCp932(text, kQuotedBytes));
    quoted.push_back('\'');
    return quoted;
}

std::string Cell(std::string_view subject, std::string_view a, std::string_view b) {
    std::string text = Subject();
    text.append(CutCp932(subject, kQuotedBytes));
    text += Separator() + "A " + Quoted(a);
    text += Cp932FromUtf8("、B ") + Quoted(b);
    return text;
}

std::string Text(std::string_view utf8) {
    return Cp932FromUtf8(utf8);
}

}  // namespace

std::string UnclosedQuote(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("引用符が閉じていません");
}

std::string TextAfterQuote(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("閉じた引用符の後に区切り文字でない文字があります");
}

std::string LineEndInList() {
    return Text("名前の並びに改行があります");
}

std::string EmptyCsv() {
    return Text("CSV が空です");
}

std::string NoHeaderOnLine(std::int64_t line) {
    return At(line) + Text("見出しの行がありません (空の行か、ファイルの終わりの後か、前の行からの続きです)");
}

std::string NulInCsv(std::int64_t line) {
    return At(line) + Text("NUL バイトが続いています (テキストの CSV ではありません)");
}

std::string CsvBeyondMemory(std::uint64_t bytes, std::uint64_t lines) {
    return Text("メモリが足りません (") + std::to_string(bytes) + Text(" バイト、") + std::to_string(lines) +
           Text(" 行を読んだところで、CSV がメモリの上限を超えました)");
}

std::string NoScoreRows() {
    return Text("CSV に得点の行がありません");
}

std::string FieldCount(std::int64_t line, std::size_t have, std::size_t want) {
    return At(line) + Text("値が ") + std::to_string(have) + Text(" 個あります (") + std::to_string(want) +
           Text(" 個のはずです)");
}

std::string MissingColumn(std::int64_t line, std::string_view name) {
    return At(line) + Text("列 ") + Quoted(name) + Text(" がありません");
}

std::string DuplicateColumn(std::int64_t line, std::string_view name) {
    return At(line) + Text("列 ") + Quoted(name) + Text(" が 2 つ以上あります");
}

std::string NotAScore(std::int64_t line, std::int64_t column, std::string_view text) {
    return At(line, column) + NotAFloat(text);
}

std::string NotCp932(std::int64_t line, std::int64_t column, std::string_view text) {
    return At(line, column) + Quoted(text) + Text(" にはシフト JIS で表せない文字があります");
}

std::string BadUtf8(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("UTF-8 として正しくないバイトがあります");
}

std::string BadCp932(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("シフト JIS として正しくないバイトがあります");
}

std::string LineEndInName(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("水準名に改行があります");
}

std::string DuplicateScore(std::int64_t line, std::string_view subject, std::string_view a,
                           std::string_view b, std::int64_t firstLine) {
    return At(line) + Cell(subject, a, b) + Text(" の得点は ") + Number(firstLine) + Line() +
           Text("にもあります");
}

std::string MissingScore(std::string_view subject, std::string_view a, std::string_view b) {
    return Cell(subject, a, b) + Text(" の得点がありません");
}

std::string DuplicateSubject(std::int64_t line, std::string_view subject, std::int64_t firstLine) {
    return At(line, 1) + Subject() + std::string(subject) + Text("' は ") + Number(firstLine) + Line() +
           Text("にもあります");
}

std::string TooManySubjects(std::int64_t line) {
    return At(line) + Text("被験者が多すぎます (2147483647 人まで)");
}

std::string LevelNameNotCp932(char factor, std::int64_t level, std::string_view text) {
    return std::string(1, factor) + Level() + Number(level) + Text(" の名前 ") + Quoted(text) +
           Text(" にはシフト JIS で表せない文字があります");
}

std::string LevelNameLineEnd(char factor, std::int64_t level) {
    return std::string(1, factor) + Level() + Number(level) + Text(" の名前に改行があります");
}

std::string StoredNameInvalid(char factor, std::int64_t level) {
    return std::string(1, factor) + Level() + Number(level) +
           Text(" の名前がシフト JIS として正しくありません");
}

std::string StoredScoreInvalid(std::int64_t subject, std::int64_t a, std::int64_t b) {
    return Text("被験者 ") + Number(subject) + Text("、A") + Level() + Number(a) + Text("、B") + Level() +
           Number(b) + Text(" の得点がシフト JIS として正しくありません");
}

namespace {

// "の 'Ⅰ' (FA 4A) は CSV から読み込むと 87 54 になります".
std::string Respelling(std::string_view character, std::string_view comesBackAs) {
    return Text("の ") + Quoted(character) + " (" + HexBytes(character) + Text(") は CSV から読み込むと ") +
           HexBytes(comesBackAs) + Text(" になります");
}

}  // namespace

std::string RespelledName(char factor, std::int64_t level, std::string_view character,
                          std::string_view comesBackAs) {
    return std::string(1, factor) + Level() + Number(level) + Text(" の名前") +
           Respelling(character, comesBackAs);
}

std::string NulInName(char factor, std::int64_t level) {
    return std::string(1, factor) + Level() + Number(level) +
           Text(" の名前の NUL は CSV では U+FFFD になり、読み込めません");
}

std::string RespelledScore(std::int64_t subject, std::int64_t a, std::int64_t b, std::string_view character,
                           std::string_view comesBackAs, std::int64_t others) {
    std::string text = Text("被験者 ") + Number(subject) + Text("、A") + Level() + Number(a) + Text("、B") +
                       Level() + Number(b) + Text(" の得点") + Respelling(character, comesBackAs);
    if (others > 0)
        text += Text(" (ほかに ") + Number(others) + Text(" 個の得点にもこのような文字があります)");
    return text;
}

}  // namespace morvane::messages
