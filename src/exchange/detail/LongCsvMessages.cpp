#include "exchange/detail/LongCsvMessages.h"

#include "runtime/Cp932.h"
#include "runtime/Messages.h"

namespace morvane::messages {
namespace {

std::string Text(std::string_view utf8) {
    return Cp932FromUtf8(utf8);
}

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// "3 行 2 列: " and "3 行: ".
std::string At(std::int64_t line, std::int64_t column = 0) {
    std::string text = Number(line) + Text(" 行");
    if (column > 0) text += " " + Number(column) + Text(" 列");
    return text + ": ";
}

// A UTF-8 name, quoted and cut as messages quote texts.
std::string Quoted(std::string_view utf8) {
    return "'" + CutCp932(Cp932FromUtf8(utf8), kQuotedBytes) + "'";
}

}  // namespace

std::string ColumnInTwoRoles(std::string_view column) {
    return Text("列 ") + Quoted(column) + Text(" が 2 度指定されています");
}

std::string NoFactor() {
    return Text("被験者内要因の列も被験者間要因の列も指定されていません");
}

std::string TooManyWithinFactors(std::size_t most) {
    return Text("被験者内要因は ") + Number(static_cast<std::int64_t>(most)) + Text(" つまでです");
}

std::string TooManyBetweenFactors(std::size_t most) {
    return Text("被験者間要因は ") + Number(static_cast<std::int64_t>(most)) + Text(" つまでです");
}

std::string EmptyId(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("被験者の ID が空です");
}

std::string LineEndInId(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("被験者の ID に改行があります");
}

std::string EmptyLevel(std::int64_t line, std::int64_t column) {
    return At(line, column) + Text("水準名が空です");
}

std::string TooManyLevels(std::int64_t line, std::string_view factor) {
    return At(line) + Text("要因 ") + Quoted(factor) + Text(" の水準が多すぎます (2147483647 個まで)");
}

std::string TwoBetweenLevels(std::string_view subject, std::string_view factor, std::string_view first,
                             std::int64_t firstLine, std::string_view second, std::int64_t secondLine) {
    return Text("被験者 ") + Quoted(subject) + Text(" の行が被験者間要因 ") + Quoted(factor) +
           Text(" の 2 つの水準を示しています: ") + Number(firstLine) + Text(" 行は ") + Quoted(first) +
           Text("、") + Number(secondLine) + Text(" 行は ") + Quoted(second);
}

std::string OneLevel(std::string_view factor, std::string_view level) {
    return Text("要因 ") + Quoted(factor) + Text(" の水準が ") + Quoted(level) +
           Text(" の 1 つしかありません");
}

std::string EmptyBetweenCell(const std::vector<std::string>& factors, const std::vector<std::string>& levels,
                             bool allRemoved) {
    std::string text = Text("被験者間の組 ");
    for (std::size_t i = 0; i < factors.size(); ++i) {
        if (i > 0) text += Text("、");
        text += Quoted(factors[i]) + " = " + Quoted(levels[i]);
    }
    text += Text(" に被験者がいません");
    if (allRemoved) text += Text(" (どの被験者も得点が欠けているため除かれました)");
    return text;
}

std::string NoCompleteSubject(std::int64_t removed) {
    return Text("すべての被験者に得点の欠けたセルがあります (") + Number(removed) + Text(" 人)");
}

}  // namespace morvane::messages
