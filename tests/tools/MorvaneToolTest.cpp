// The morvane tool end to end: arguments, standard streams, messages, exit codes.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool through the shell: `arguments` may hold redirections, which win
// over the capture of the output.
Result RunTool(const std::string& arguments) {
    TempDir dir;
    std::string command =
        std::string(MORVANE_TOOL) + " >" + dir.File("out") + " 2>" + dir.File("err") + " " + arguments;
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(dir.File("out")), ReadBytes(dir.File("err"))};
}

const std::string kExamples = MORVANE_EXAMPLES;

TEST(MorvaneTool, SumsOfTheWorkedExample) {
    Result r = RunTool("sums " + kExamples + "/worked-example.dat");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // 611/12, 61/6, 169/12, 289/12 to 18 digits and 25/12 to 16, with the error
    // terms near 1/6; every bit of the order of operations shows in the last digits.
    EXPECT_EQ(r.out,
              "SSTotal 5.09166666666666666574e+01\n"
              "SSA 1.40833333333333333148e+01\n"
              "SSB 2.40833333333333333148e+01\n"
              "SSS 1.01666666666666666574e+01\n"
              "SSAB 2.08333333333333337034e+00\n"
              "SSAS 1.66666666666666685170e-01\n"
              "SSBS 1.66666666666666685170e-01\n"
              "SSABS 1.66666666666666629659e-01\n");
    EXPECT_EQ(RunTool("sums " + kExamples + "/worked-example.dat").out, r.out);  // bit for bit again
}

TEST(MorvaneTool, CopyWritesTheSameBytesToAFileOrStandardOutput) {
    TempDir dir;
    const std::string example = kExamples + "/pre-post.dat";
    Result toFile = RunTool("copy " + example + " " + dir.File("copy.dat"));
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(ReadBytes(dir.File("copy.dat")), ReadBytes(example));
    Result toStdout = RunTool("copy " + example + " -");
    EXPECT_EQ(toStdout.out, ReadBytes(example));
    Result fromStdin = RunTool("copy - - <" + example);
    EXPECT_EQ(fromStdin.out, ReadBytes(example));
}

TEST(MorvaneTool, ErrorsGiveTheirMessageAndStatusOne) {
    TempDir dir;
    WriteBytes(dir.File("zero.dat"), "3\r\n0\r\n2\r\n");
    WriteBytes(dir.File("nosubjects.dat"), "0\r\n2\r\n2\r\na\r\nb\r\nc\r\nd\r\n");
    WriteBytes(dir.File("bad.dat"), "1\r\n1\r\n1\r\na\r\nb\r\n12 3\r\n");
    WriteBytes(dir.File("huge.dat"), "1\r\n2\r\n2\r\na\r\nb\r\nc\r\nd\r\n1e2467\r\n1\r\n1\r\n1\r\n");
    const std::pair<std::string, std::string> cases[] = {
        {"sums " + dir.File("missing.dat"), "morvane: ファイルが見つかりません\n"},
        {"sums " + dir.File("nofolder/x.dat"), "morvane: 不正なファイル名です\n"},
        {"sums " + dir.File("zero.dat"), "morvane: 要因の水準数が 1 未満です\n"},
        {"sums " + dir.File("nosubjects.dat"), "morvane: 不正な浮動小数点数演算命令\n"},
        {"sums " + dir.File("bad.dat"), "morvane: '12 3' は浮動小数点数ではありません\n"},
        {"sums " + dir.File("huge.dat"), "morvane: 浮動小数点数のオーバーフロー\n"},
        {"copy " + kExamples + "/pre-post.dat /dev/full", "morvane: ディスクがいっぱいです\n"},
        {"copy " + kExamples + "/pre-post.dat - >/dev/null", "morvane: I/O エラー (105)\n"},
        {"copy - " + dir.File("x.dat") + " </dev/null", "morvane: I/O エラー (6)\n"},
        {"copy " + kExamples + "/pre-post.dat " + dir.Path().string(), "morvane: ファイルへのアクセスが拒否されました\n"},
    };
    for (const auto& [arguments, message] : cases) {
        Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 1) << arguments;
        EXPECT_EQ(r.err, message) << arguments;
    }
}

TEST(MorvaneTool, UsageErrorsExitTwo) {
    for (const char* arguments : {"", "sums", "copy a", "frobnicate x", "sums a b"}) {
        Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_NE(r.err.find("usage: morvane"), std::string::npos) << arguments;
    }
}

}  // namespace
}  // namespace morvane
