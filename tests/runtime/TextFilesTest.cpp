#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "runtime/Errors.h"
#include "runtime/TextReader.h"
#include "runtime/TextWriter.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::vector<std::string> Lines(const std::string& path, int count) {
    TextReader reader(path);
    std::vector<std::string> lines;
    std::string line;
    for (int i = 0; i < count; ++i) {
        reader.ReadLine(line);
        lines.push_back(line);
    }
    reader.Close();
    return lines;
}

int OpenErrorCode(const std::function<void()>& open) {
    try {
        open();
    } catch (const InOutError& error) {
        return error.code();
    }
    return 0;
}

TEST(TextReader, LineEndsAreLfOrCrLfAndEveryOtherCrIsDropped) {
    TempDir dir;
    WriteBytes(dir.File("f"), "a\r\nb\nc\rd\r\r\ne");
    EXPECT_EQ(Lines(dir.File("f"), 6), (std::vector<std::string>{"a", "b", "cd", "e", "", ""}));
    WriteBytes(dir.File("g"), std::string(200000, 'x') + "\r\ny\r");
    auto lines = Lines(dir.File("g"), 2);
    EXPECT_EQ(lines[0].size(), 200000u);
    EXPECT_EQ(lines[1], "y");
    WriteBytes(dir.File("z"), "a\x1a" "b\n");
    EXPECT_EQ(Lines(dir.File("z"), 1)[0], "a\x1a" "b");
}

TEST(TextReader, CountsSkipBlanksAndTheRestOfTheirLine) {
    TempDir dir;
    WriteBytes(dir.File("f"), "\r\n\n  \t2 3\r\n$10 comment\n\n0x10\rz\nname\n-3");
    TextReader reader(dir.File("f"));
    EXPECT_EQ(reader.ReadCount(), 2);
    EXPECT_EQ(reader.ReadCount(), 16);
    EXPECT_EQ(reader.ReadCount(), 16);  // the CR before z does not end the line
    std::string line;
    reader.ReadLine(line);
    EXPECT_EQ(line, "name");
    EXPECT_EQ(reader.ReadCount(), -3);
    EXPECT_EQ(reader.ReadCount(), 0);  // the end of the file reads as 0
    reader.ReadLine(line);
    EXPECT_EQ(line, "");
}

TEST(TextReader, ACountThatDoesNotConvertFailsAfterItsLine) {
    TempDir dir;
    WriteBytes(dir.File("f"), "2x\nnext\n");
    TextReader reader(dir.File("f"));
    try {
        reader.ReadCount();
        FAIL() << "2x converted";
    } catch (const InOutError& error) {
        EXPECT_EQ(error.code(), 106);
    }
    std::string line;
    reader.ReadLine(line);
    EXPECT_EQ(line, "next");
    // A run longer than 32 bytes is cut at 32 and the rest of the line skipped.
    WriteBytes(dir.File("g"), std::string(31, '0') + "12345\n7\n");
    TextReader longRun(dir.File("g"));
    EXPECT_EQ(longRun.ReadCount(), 1);
    EXPECT_EQ(longRun.ReadCount(), 7);
}

TEST(TextWriter, WritesCrLfAndReplacesTheWholeFile) {
    TempDir dir;
    WriteBytes(dir.File("f"), std::string(1000, 'z'));
    TextWriter writer(dir.File("f"));
    EXPECT_EQ(ReadBytes(dir.File("f")), "");  // emptied at once
    writer.WriteLine("ab");
    writer.Write("c");
    writer.EndLine();
    writer.WriteLine("");
    writer.Close();
    EXPECT_EQ(ReadBytes(dir.File("f")), "ab\r\nc\r\n\r\n");
}

TEST(TextWriter, DestroyedAfterAnErrorStillKeepsWhatWasWritten) {
    TempDir dir;
    {
        TextWriter writer(dir.File("f"));
        writer.WriteLine("first");
    }
    EXPECT_EQ(ReadBytes(dir.File("f")), "first\r\n");
}

TEST(TextFiles, FailuresGiveTheirCodes) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_EQ(OpenErrorCode([&] { TextReader r(dir.File("missing")); }), 2);
    EXPECT_EQ(OpenErrorCode([&] { TextReader r(dir.File("nofolder/f")); }), 3);
    EXPECT_EQ(OpenErrorCode([&] { TextWriter w(dir.File("nofolder/f")); }), 3);
    EXPECT_EQ(OpenErrorCode([&] { TextWriter w(dir.File("folder")); }), 5);
    WriteBytes(dir.File("plain"), "x");
    EXPECT_EQ(OpenErrorCode([&] { TextWriter w(dir.File("plain/f")); }), 3);
    EXPECT_EQ(OpenErrorCode([&] {
                  TextWriter w("/dev/full");
                  w.WriteLine("x");
                  w.Close();
              }),
              101);
}

}  // namespace
}  // namespace morvane
