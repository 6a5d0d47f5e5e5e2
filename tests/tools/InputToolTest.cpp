// The tool against inputs that could exhaust the machine or change bytes
// quietly: inputs without end, NUL bytes, and characters held under two codes.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/ChildProcess.h"
#include "support/EndlessPipe.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using namespace std::string_literals;
using testing::ChildResult;
using testing::EndlessPipe;
using testing::ReadBytes;
using testing::RunProgram;
using testing::TempDir;
using testing::ToolOptions;
using testing::WriteBytes;

ChildResult Morvane(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
    ToolOptions options;
    options.input = input;
    return RunProgram(MORVANE_TOOL, args, options);
}

// Every command that reads a study or a CSV refuses an input without end, a
// device by its name or a pipe as its standard input, at once and with the message of a file
// that is not a data file (a study of NUL bytes alone is named so; a CSV's header is
// found wanting), and writes nothing.
TEST(InputTool, AnInputWithoutEndIsRefusedAtOnce) {
    TempDir dir;
    // A CSV's reader refuses a run of NULs as its block comes in.
    const std::string noHeader = "morvane: 1 行: NUL バイトが続いています (テキストの CSV ではありません)\n";
    const std::string notAStudy = "morvane: データファイルではありません (NUL バイトしかありません)\n";
    const std::vector<std::vector<std::string>> commands = {
        {"anova", "IN"},
        {"report", "IN", dir.File("results.txt")},
        {"copy", "IN", "-"},
        {"sums", "IN"},
        {"listing", "IN"},
        {"export", "IN", dir.File("x.csv")},
        {"import", "IN", dir.File("x.dat")},
        {"plot", "IN", dir.File("x.svg")},
    };
    const auto started = std::chrono::steady_clock::now();
    for (const auto& command : commands)
        for (const std::string in : {"/dev/zero", "-"}) {
            std::vector<std::string> args = command;
            args[1] = in;
            EndlessPipe zeros("", '\0');  // the standard input of "-"
            const ChildResult result = Morvane(args, in == "-" ? zeros.Path() : "/dev/null");
            EXPECT_EQ(result.exitCode, 1) << args[0] << " " << in;
            EXPECT_EQ(result.err, args[0] == "import" ? noHeader : notAStudy) << args[0] << " " << in;
        }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

// A NUL in a level name stays in the data file, and every UTF-8 output shows
// it as U+FFFD; a message quoting a score with a NUL quotes all of it.
TEST(InputTool, ANulShowsAsTheReplacementCharacter) {
    TempDir dir;
    const std::string study = "2\r\n1\r\n2\r\nx\0y\r\nb1\r\nb\0\r\n1\r\n2\r\n4\r\n3\r\n"s;
    WriteBytes(dir.File("nul.dat"), study);
    for (const std::string format : {"text", "markdown", "csv", "json"}) {
        const ChildResult result = Morvane({"anova", dir.File("nul.dat"), "--format", format});
        EXPECT_EQ(result.exitCode, 0) << format << result.err;
        EXPECT_EQ(result.out.find('\0'), std::string::npos) << format;
        EXPECT_NE(result.out.find("x\uFFFDy"), std::string::npos) << format << result.out;
        EXPECT_NE(result.out.find("b\uFFFD"), std::string::npos) << format;
    }
    const ChildResult csv = Morvane({"export", dir.File("nul.dat"), "-", "--wide"});
    EXPECT_EQ(csv.out, "subject,x\uFFFDy_b1,x\uFFFDy_b\uFFFD\r\n1,1,4\r\n2,2,3\r\n");
    const ChildResult copy = Morvane({"copy", dir.File("nul.dat"), "-"});
    EXPECT_EQ(copy.out, study);

    WriteBytes(dir.File("score.dat"), "1\r\n1\r\n2\r\na\r\nb1\r\nb2\r\n1\0 2\r\n3\r\n"s);
    const ChildResult refused = Morvane({"anova", dir.File("score.dat")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "morvane: '1\uFFFD 2' は浮動小数点数ではありません\n");
}

// Export tells on standard error of each text that the CSV brings back as
// other bytes, and still writes it and succeeds; the import then gives those
// other bytes. A study without such characters is exported without a word.
TEST(InputTool, ExportTellsOfCharactersThatComeBackAsOtherBytes) {
    TempDir dir;
    WriteBytes(dir.File("two codes.dat"),
               "2\r\n2\r\n1\r\n\xFA\x4A\r\n\xEE\xEF\r\nb\r\n1\r\n2\r\n3\r\n4 \xFA\x4A\r\n");
    const ChildResult result = Morvane({"export", dir.File("two codes.dat"), dir.File("out.csv")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err,
              "morvane: A の水準 1 の名前の 'Ⅰ' (FA 4A) は CSV から読み込むと 87 54 になります\n"
              "morvane: A の水準 2 の名前の 'ⅰ' (EE EF) は CSV から読み込むと FA 40 になります\n"
              "morvane: 被験者 2、A の水準 2、B の水準 1 の得点の 'Ⅰ' (FA 4A) は CSV から読み込むと 87 54 "
              "になります\n");
    EXPECT_EQ(ReadBytes(dir.File("out.csv")),
              "subject,A,B,score\r\n1,Ⅰ,b,1\r\n1,ⅰ,b,3\r\n2,Ⅰ,b,2\r\n2,ⅰ,b,4 Ⅰ\r\n");

    WriteBytes(dir.File("plain.dat"), "1\r\n1\r\n1\r\n\x87\x54\xFA\x40\r\nb\r\n7\r\n");
    const ChildResult plain = Morvane({"export", dir.File("plain.dat"), dir.File("plain.csv")});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(Morvane({"import", dir.File("plain.csv"), dir.File("back.dat")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(dir.File("back.dat")), ReadBytes(dir.File("plain.dat")));
}

}  // namespace
}  // namespace morvane
