// morvane listing and morvane print end to end (the printing itself on a real
// print system is in tests/print).

#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/Cp932.h"
#include "support/TempDir.h"
#include "tools/RunTool.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::RunTool;
using Result = testing::ToolResult;
using testing::TempDir;
using testing::WriteBytes;

const std::string kExample = std::string(MORVANE_EXAMPLES) + "/worked-example.dat";

TEST(MorvaneListing, WritesTheListingInCodePage932WithCrLf) {
    const std::string expected = "\r\n\r\n" + Cp932FromUtf8("被験者内要因：Ａ、Ｂ") + "\r\n\r\n" + "\r\n" +
                                 Cp932FromUtf8("要因Ａ＜a1＞") + "\r\n" +
                                 "                  b1        b2\r\n"
                                 "         1         3         5\r\n"
                                 "         2         2         4\r\n"
                                 "         3         4         6\r\n"
                                 "\r\n" +
                                 Cp932FromUtf8("要因Ａ＜a2＞") + "\r\n" +
                                 "                  b1        b2\r\n"
                                 "         1         4         8\r\n"
                                 "         2         3         7\r\n"
                                 "         3         6         9\r\n";
    TempDir dir;
    const Result toFile = RunTool("listing " + kExample + " " + dir.File("listing.txt"));
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(ReadBytes(dir.File("listing.txt")), expected);
    EXPECT_EQ(RunTool("listing " + kExample).out, expected);
    EXPECT_EQ(RunTool("listing " + kExample + " -").out, expected);
    EXPECT_EQ(RunTool("listing - - <" + kExample).out, expected);
}

TEST(MorvaneListing, FailuresGiveTheirMessage) {
    TempDir dir;
    WriteBytes(dir.File("zero.dat"), "3\r\n1\r\n0\r\n");
    const std::pair<std::string, std::string> cases[] = {
        {"listing " + dir.File("missing.dat"), "morvane: ファイルが見つかりません\n"},
        {"listing " + dir.File("zero.dat"), "morvane: 要因の水準数が 1 未満です\n"},
        {"listing " + kExample + " " + dir.File("no/folder.txt"), "morvane: 不正なファイル名です\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 1) << arguments;
        EXPECT_EQ(r.err, message) << arguments;
    }
    for (const char* arguments : {"listing", "listing a b c"}) {
        const Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_NE(r.err.find("usage: morvane"), std::string::npos) << arguments;
    }
}

// Printing needs the Qt print program beside the tool, which a build without
// the windows does not have.
#ifdef MORVANE_PRINTING
// The last line of what went to standard error (Qt may say something before it).
std::string LastLine(const std::string& text) {
    const std::size_t end = text.size() && text.back() == '\n' ? text.size() - 1 : text.size();
    const std::size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos || start >= end ? 0 : start + 1);
}

TEST(MorvanePrint, FailuresGiveTheirMessage) {
    TempDir dir;
    WriteBytes(dir.File("zero.dat"), "3\r\n1\r\n0\r\n");
    const std::pair<std::string, std::string> cases[] = {
        {"print " + dir.File("zero.dat"), "morvane: 要因の水準数が 1 未満です\n"},
        {"print " + dir.File("missing.dat"), "morvane: ファイルが見つかりません\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 1) << arguments;
        EXPECT_EQ(r.err, message) << arguments;
    }
    for (const char* arguments : {"print", "print a b"}) {
        const Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_NE(r.err.find("usage: morvane"), std::string::npos) << arguments;
    }
}

TEST(MorvanePrint, WithoutADefaultPrinterNothingIsPrinted) {
    // A print server that is not there has no printers, so no default one.
    TempDir dir;
    const Result r =
        RunTool("print " + kExample, "-u PRINTER -u LPDEST CUPS_SERVER=" + dir.File("no-server.sock") +
                                         " CUPS_SERVERROOT=" + dir.Path().string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(LastLine(r.err), "morvane: デフォルト プリンタが存在しません\n");
    EXPECT_EQ(r.out, "");
}
#endif

}  // namespace
}  // namespace morvane
