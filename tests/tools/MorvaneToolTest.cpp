// The morvane tool end to end: arguments, standard streams, messages, exit codes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "support/TempDir.h"
#include "tools/RunTool.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::RunTool;
using Result = testing::ToolResult;
using testing::TempDir;
using testing::WriteBytes;

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

// A character device that takes writes (/dev/null, /dev/zero) is a standard
// output like any other: every command writing there succeeds, with or without
// "-", and /dev/full reports the full disk.
TEST(MorvaneTool, CharacterDevicesAreUsableStandardOutputs) {
    TempDir dir;
    const std::string example = kExamples + "/worked-example.dat";
    const std::string commands[] = {
        "report " + example,
        "report " + example + " -",
        "copy " + example + " -",
        "listing " + example,
        "sums " + example,
        "anova " + example,
        "anova " + example + " --format json -",
        "export " + example + " -",
        "--help",
    };
    for (const std::string& command : commands) {
        for (const char* device : {"/dev/null", "/dev/zero"}) {
            const Result r = RunTool(command + " >" + device);
            EXPECT_EQ(r.status, 0) << command << " > " << device << ": " << r.err;
            EXPECT_EQ(r.err, "") << command << " > " << device;
        }
        if (command == "--help") continue;
        const Result full = RunTool(command + " >/dev/full");
        EXPECT_EQ(full.status, 1) << command;
        EXPECT_EQ(full.err, "morvane: ディスクがいっぱいです\n") << command;
    }
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
        {"copy " + kExamples + "/pre-post.dat - >/dev/full", "morvane: ディスクがいっぱいです\n"},
        {"copy " + kExamples + "/pre-post.dat - >&-", "morvane: I/O エラー (105)\n"},
        {"copy " + kExamples + "/pre-post.dat - 1</dev/null", "morvane: I/O エラー (105)\n"},
        {"sums " + kExamples + "/pre-post.dat >&-", "morvane: I/O エラー (105)\n"},
        {"copy - " + dir.File("x.dat") + " </dev/null", "morvane: I/O エラー (6)\n"},
        {"copy " + kExamples + "/pre-post.dat " + dir.Path().string(),
         "morvane: ファイルへのアクセスが拒否されました\n"},
    };
    for (const auto& [arguments, message] : cases) {
        Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 1) << arguments;
        EXPECT_EQ(r.err, message) << arguments;
    }
}

TEST(MorvaneTool, ReportOfTheWorkedExample) {
    TempDir dir;
    const std::string example = kExamples + "/worked-example.dat";
    const std::string expected = ReadBytes(MORVANE_TEST_DATA "/worked-example-results.txt");
    ASSERT_EQ(expected.size(), 935u);  // the 30 lines as Shift-JIS with CR LF

    Result toFile = RunTool("report " + example + " " + dir.File("results.txt"));
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(toFile.err, "");
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(ReadBytes(dir.File("results.txt")), expected);
    // A second run over the existing file leaves the same bytes.
    ASSERT_EQ(RunTool("report " + example + " " + dir.File("results.txt")).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("results.txt")), expected);

    EXPECT_EQ(RunTool("report " + example).out, expected);
    EXPECT_EQ(RunTool("report " + example + " -").out, expected);
    EXPECT_EQ(RunTool("report - - <" + example).out, expected);
}

// A report that stops leaves the results file that was there, and no other;
// on the standard output the lines written before the stop stay.
TEST(MorvaneTool, ReportFailuresLeaveTheOldFileAndPrintWhatCameBeforeThem) {
    TempDir dir;
    const std::string example = kExamples + "/worked-example.dat";
    WriteBytes(dir.File("nosubjects.dat"), "0\r\n2\r\n2\r\na\r\nb\r\nc\r\nd\r\n");
    WriteBytes(dir.File("onesubject.dat"), "1\r\n2\r\n2\r\na\r\nb\r\nc\r\nd\r\n1\r\n2\r\n3\r\n5\r\n");
    WriteBytes(dir.File("bad.dat"), "1\r\n1\r\n1\r\na\r\nb\r\n1 2\r\n");
    WriteBytes(dir.File("negative.dat"), "-1\r\n2\r\n2\r\na\r\nb\r\nc\r\nd\r\n");
    struct Case {
        std::string arguments;
        std::string message;
        std::string results;  // the file named in the arguments, when the report stops after lines
        std::size_t lines;    // printed before the stop
    };
    const std::string results = dir.File("results.txt");
    const Case cases[] = {
        {"report " + dir.File("nosubjects.dat") + " " + results, "不正な浮動小数点数演算命令", results, 0},
        {"report " + dir.File("onesubject.dat") + " " + results, "不正な浮動小数点数演算命令", results,
         4 + 2 * 5 + 3},
        // N = -1: tables without subject rows, all zeros, then 0/0 in F(A).
        {"report " + dir.File("negative.dat") + " " + results, "不正な浮動小数点数演算命令", results,
         4 + 2 * 4 + 3 + 2},
        {"report " + dir.File("bad.dat") + " " + dir.File("never.txt"), "'1 2' は浮動小数点数ではありません",
         "", 0},
        {"report " + example + " " + dir.File("nofolder/results.txt"), "不正なファイル名です", "", 0},
        {"report " + example + " " + dir.Path().string(), "ファイルへのアクセスが拒否されました", "", 0},
        {"report " + example + " /dev/full", "ディスクがいっぱいです", "", 0},
        {"report " + example + " - >/dev/full", "ディスクがいっぱいです", "", 0},
        {"report " + example + " >/dev/full", "ディスクがいっぱいです", "", 0},
        {"report " + example + " - 1</dev/null", "I/O エラー (105)", "", 0},
        {"report " + dir.File("missing.dat"), "ファイルが見つかりません", "", 0},
    };
    const std::string oldResults = "old results\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        WriteBytes(results, oldResults);
        Result r = RunTool(c.arguments);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "morvane: " + c.message + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ReadBytes(results), oldResults);
        if (c.results.empty()) continue;
        const std::string printing = c.arguments.substr(0, c.arguments.size() - c.results.size() - 1);
        r = RunTool(printing);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "morvane: " + c.message + "\n");
        EXPECT_EQ(static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')), c.lines);
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad.dat", "negative.dat", "nosubjects.dat", "onesubject.dat",
                                               "results.txt"}));
}

TEST(MorvaneTool, UsageErrorsExitTwo) {
    for (const char* arguments :
         {"", "sums", "copy a", "frobnicate x", "sums a b", "report", "report a b c"}) {
        Result r = RunTool(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_NE(r.err.find("usage: morvane"), std::string::npos) << arguments;
    }
}

// Every command refuses an option it does not take, in either form, before
// it reads or writes anything; "--" ends the options, so a file may start with "-".
TEST(MorvaneTool, UnknownOptionsAreRefusedByEveryCommand) {
    TempDir dir;
    const std::string study = dir.File("s.dat");
    WriteBytes(study, ReadBytes(kExamples + "/worked-example.dat"));
    const std::string out = dir.File("o.txt");
    const std::pair<std::string, std::string> refused[] = {
        {"anova " + study + " --format=yaml", "unknown format yaml"},
        {"anova " + study + " -x", "unknown option -x"},
        {"anova " + study + " --unknown " + out, "unknown option --unknown"},
        {"anova " + study + " --lang=fr " + out, "unknown language fr"},
        {"report " + study + " --x " + out, "unknown option --x"},
        {"copy " + study + " " + out + " --force", "unknown option --force"},
        {"sums " + study + " -v", "unknown option -v"},
        {"listing " + study + " --width=3", "unknown option --width"},
        {"plot " + study + " " + dir.File("p.png") + " --qq=1", "--qq takes no value"},
        {"export " + study + " " + out + " --tall", "unknown option --tall"},
    };
    for (const auto& [arguments, reason] : refused) {
        const Result r = RunTool(arguments, "-C " + dir.Path().string());
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_TRUE(r.err.starts_with("morvane: ")) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << arguments << "\n" << r.err;
        EXPECT_NE(r.err.find("usage: morvane"), std::string::npos) << arguments;
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"s.dat"});  // nothing written, no file named after an option

    // The accepted forms: "--format=json" is the format, and after "--" a word is a file.
    const Result json =
        RunTool("anova " + study + " --format=json --ci-level=0.8 -- -r.json", "-C " + dir.Path().string());
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_TRUE(ReadBytes(dir.File("-r.json")).starts_with("{"));
}

// Content after the study is read as the counts say and noted on standard
// error; the copy is the study without it.
TEST(MorvaneTool, ContentAfterTheStudyIsNoted) {
    TempDir dir;
    const std::string study = "1\r\n1\r\n2\r\na\r\nb1\r\nb2\r\n5\r\n6\r\n";
    WriteBytes(dir.File("long.dat"), study + "7\r\ntext\r\n");
    const Result copy = RunTool("copy " + dir.File("long.dat") + " -");
    EXPECT_EQ(copy.status, 0);
    EXPECT_EQ(copy.out, study);
    EXPECT_EQ(
        copy.err,
        "morvane: "
        "データファイルの最後の得点の後に余分な内容があります。読み込みでは無視し、保存すると失われます\n");
    EXPECT_EQ(RunTool("sums " + dir.File("long.dat")).err, copy.err);
    WriteBytes(dir.File("whole.dat"), study);
    EXPECT_EQ(RunTool("copy " + dir.File("whole.dat") + " -").err, "");
}

// The usage and the version, asked for, still fail when their write fails.
TEST(MorvaneTool, VersionAndHelpReportAFailedWrite) {
    for (const char* asked : {"--version", "--help"}) {
        const Result shown = RunTool(asked);
        EXPECT_EQ(shown.status, 0);
        EXPECT_EQ(shown.err, "");
        EXPECT_FALSE(shown.out.empty());
        const Result full = RunTool(std::string(asked) + " >/dev/full");
        EXPECT_EQ(std::make_pair(full.status, full.err),
                  std::make_pair(1, std::string("morvane: ディスクがいっぱいです\n")))
            << asked;
        const Result closed = RunTool(std::string(asked) + " >&-");
        EXPECT_EQ(closed.status, 1) << asked;
        EXPECT_TRUE(closed.err.starts_with("morvane: I/O エラー")) << closed.err;
    }
}

// "morvane COMMAND --help" answers with that command's usage alone, on the
// standard output and status 0, wherever --help stands before "--"; after
// "--" it is a file's name. An option's value given twice is refused, not
// silently replaced (--id subject --id group analysed the groups as subjects).
TEST(MorvaneTool, EachCommandAnswersHelpAndRefusesAValueGivenTwice) {
    const char* commands[] = {"copy", "sums", "report", "listing", "print", "anova", "plot", "export", "import"};
    for (const std::string command : commands) {
        const Result help = RunTool(command + " x.dat --help");
        EXPECT_EQ(help.status, 0) << command << ": " << help.err;
        EXPECT_EQ(help.err, "") << command;
        EXPECT_TRUE(help.out.starts_with("usage: morvane " + command + " ")) << help.out;
        for (const std::string other : commands) {
            if (other == command) continue;
            EXPECT_EQ(help.out.find("morvane " + other + " "), std::string::npos) << command << " shows " << other;
        }
    }
    EXPECT_NE(RunTool("anova --help").out.find("FILE.csv --id COL"), std::string::npos);
    EXPECT_EQ(RunTool("sums -- --help").err, "morvane: ファイルが見つかりません\n");

    const std::string csv = kExamples + "/mixed-design.csv";
    const std::pair<std::string, std::string> twice[] = {
        {"anova " + csv + " --id subject --id group --dv score --within time", "--id"},
        {"anova " + csv + " --id subject --dv score --within time --format json --format=text", "--format"},
        {"anova " + kExamples + "/worked-example.dat --lang en --lang ja", "--lang"},
        {"plot " + csv + " --id subject --dv score --dv group --within time x.png", "--dv"},
    };
    for (const auto& [command, option] : twice) {
        const Result r = RunTool(command);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_TRUE(r.err.starts_with("morvane: " + option + " is given twice\n")) << r.err;
    }
    // A flag given twice says nothing new and is taken.
    EXPECT_NE(RunTool("anova " + csv + " --id subject --dv score --within time --decimal-comma --decimal-comma").status,
              2);
}

}  // namespace
}  // namespace morvane
