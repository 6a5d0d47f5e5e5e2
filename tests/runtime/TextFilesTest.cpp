#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <span>
#include <string_view>

#include "runtime/Errors.h"
#include "runtime/TextReader.h"
#include "runtime/TextWriter.h"
#include "support/ChildProcess.h"
#include "support/EndlessPipe.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::ChildResult;
using testing::EndlessPipe;
using testing::ReadBytes;
using testing::RunInChild;
using testing::SetSoftLimit;
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

// The lines as AppendLineRuns gives them, each cut out of the bytes it built.
std::vector<std::string> LinesInRuns(const std::string& path, int count, std::size_t& runs) {
    TextReader reader(path);
    std::string bytes;
    std::vector<std::size_t> ends;
    runs = 0;
    reader.AppendLineRuns(
        count,
        [&](std::string_view texts, std::span<const std::uint32_t> lengths) {
            ++runs;
            std::size_t end = bytes.size();
            bytes.append(texts);
            for (const std::uint32_t length : lengths) ends.push_back(end += length);
            EXPECT_EQ(end, bytes.size());
        },
        [&](std::string_view part) { bytes.append(part); }, [&] { ends.push_back(bytes.size()); });
    reader.Close();
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (const std::size_t end : ends) {
        lines.push_back(bytes.substr(begin, end - begin));
        begin = end;
    }
    return lines;
}

TEST(TextReader, LinesInRunsAreTheLinesReadOneByOne) {
    TempDir dir;
    // Short lines with CRs in and before their LFs, so that every kind of line,
    // and a CR LF split by the end of a buffer, meets the 64 KiB buffer ends;
    // a long line across several buffers; the end of the file without an LF.
    std::string content;
    for (int i = 0; content.size() < 300000; ++i) {
        content += std::to_string(i % 1000);
        if (i % 7 == 0) content += "\r";
        if (i % 11 == 0) content += "x\ry";
        content += i % 3 == 0 ? "\r\n" : "\n";
        if (i % 5000 == 0) content += "\n";
        if (i == 20000) content += std::string(150000, 'L') + "\r\n";
    }
    content += "last\r";
    // Plain lines, as the program writes them, of every length up to three
    // words' worth, ending in CR LF or LF, and then a stray CR.
    std::string plain;
    for (int i = 0; plain.size() < 200000; ++i)
        plain += std::string(static_cast<std::size_t>(i * 7 % 41), static_cast<char>('a' + i % 26)) +
                 (i % 13 == 0 ? "\n" : "\r\n");
    content = plain + "stray\rcr\r\n" + content;
    for (std::size_t cut : {std::size_t{65535}, std::size_t{65536}, std::size_t{65537}}) {
        std::string shifted = content;
        shifted.insert(cut - 1, "\r\n");
        WriteBytes(dir.File("f"), shifted);
        int lines = 0;
        for (char c : shifted) lines += c == '\n';
        for (int count : {1, 2, lines - 1, lines, lines + 1, lines + 3}) {
            std::size_t runs = 0;
            const auto inRuns = LinesInRuns(dir.File("f"), count, runs);
            EXPECT_EQ(inRuns, Lines(dir.File("f"), count)) << cut << " " << count;
            if (count > 1000) {
                EXPECT_LT(runs, 20u);
            }
        }
    }
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

// No item of an input without end is read without end: a line, the blanks
// before a count or the rest of a count's line longer than any that a pipe or
// a device could hold in reason (kLongestStreamLine) is refused with 106 once
// it is that long, and a regular file's lines are bounded by its size alone.
TEST(TextReader, AnInputWithoutEndIsRefusedOnceAnItemOutgrowsAnyItCouldHold) {
    constexpr std::uint64_t kLongest = kLongestStreamLine;
    const auto code = [](const std::function<void(TextReader&)>& read, const std::string& path) {
        return OpenErrorCode([&] {
            TextReader reader(path);
            read(reader);
        });
    };
    std::string line;
    const auto readLine = [&](TextReader& reader) { reader.ReadLine(line); };
    const auto readCount = [](TextReader& reader) { reader.ReadCount(); };
    // NUL bytes are blanks before a count, and a line's bytes.
    EXPECT_EQ(code(readCount, "/dev/zero"), 106);
    EXPECT_EQ(code(readLine, "/dev/zero"), 106);
    {
        EndlessPipe blankLines("", '\n');
        EXPECT_EQ(code(readCount, blankLines.Path()), 106);
    }
    {
        EndlessPipe restOfLine("7 and then", 'x');
        EXPECT_EQ(code(readCount, restOfLine.Path()), 106);
        EXPECT_LT(restOfLine.Written(), 2 * kLongest);  // refused at the limit, not at the end
    }
    {
        // A line of exactly the limit is read, and one byte more is refused;
        // the CRs are counted, or a line of CRs would be read for ever.
        EndlessPipe atTheLimit(std::string(kLongest, 'y') + "\n" + std::string(kLongest, '\r') + "\r\n",
                               'z');
        TextReader reader(atTheLimit.Path());
        reader.ReadLine(line);
        EXPECT_EQ(line.size(), kLongest);
        EXPECT_EQ(OpenErrorCode([&] { reader.ReadLine(line); }), 106);
    }
    {
        // The same for lines read in runs, whose rest goes on past a buffer.
        EndlessPipe runs("1\n22\n", '3');
        TextReader reader(runs.Path());
        std::size_t texts = 0;
        EXPECT_EQ(OpenErrorCode([&] {
                      reader.AppendLineRuns(
                          3, [&](std::string_view, std::span<const std::uint32_t> lengths) { texts += lengths.size(); },
                          [](std::string_view) {}, [&] { ++texts; });
                  }),
                  106);
        EXPECT_EQ(texts, 2u);
    }
    // A regular file is read whole however long its line: its size bounds it.
    TempDir dir;
    WriteBytes(dir.File("long"), "");
    std::filesystem::resize_file(dir.File("long"), kLongest + 5);
    {
        TextReader reader(dir.File("long"));
        reader.ReadLine(line);
        EXPECT_EQ(line.size(), kLongest + 5);
    }
    {
        TextReader reader(dir.File("long"));
        EXPECT_EQ(reader.ReadCount(), 0);  // blanks up to the end of the file
    }
}

// A watched read hears of every block with the bytes so far and the file's
// size, and ends with ReadStopped, its file closed, once told to stop.
TEST(TextReader, AWatchedReadTellsItsProgressAndStopsWhenTold) {
    struct Watch : ReadProgress {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
        std::size_t stopAt = SIZE_MAX;
        bool Continue(std::uint64_t done, std::uint64_t total) override {
            calls.emplace_back(done, total);
            return calls.size() < stopAt;
        }
    };
    TempDir dir;
    const std::string bytes = std::string(200000, 'a') + "\n" + std::string(100, 'b');
    WriteBytes(dir.File("f"), bytes);
    Watch all;
    {
        TextReader reader(dir.File("f"), &all);
        std::string line;
        reader.ReadLine(line);
        reader.ReadLine(line);
        EXPECT_EQ(line, std::string(100, 'b'));
    }
    ASSERT_EQ(all.calls.size(), 4u);  // blocks of 64 KiB
    for (std::size_t i = 0; i < all.calls.size(); ++i) {
        EXPECT_EQ(all.calls[i].first, std::min<std::uint64_t>((i + 1) << 16, bytes.size()));
        EXPECT_EQ(all.calls[i].second, bytes.size());
    }
    Watch stopping;
    stopping.stopAt = 2;
    TextReader reader(dir.File("f"), &stopping);
    std::string line;
    EXPECT_THROW(reader.ReadLine(line), ReadStopped);
    EXPECT_EQ(stopping.calls.size(), 2u);
    // A pipe's size cannot be told.
    EndlessPipe pipe("", 'p');
    Watch streamed;
    streamed.stopAt = 1;
    TextReader fromPipe(pipe.Path(), &streamed);
    EXPECT_THROW(fromPipe.ReadCount(), ReadStopped);
    EXPECT_EQ(streamed.calls.at(0).second, 0u);
}

TEST(TextWriter, WritesCrLfAndReplacesTheWholeFile) {
    TempDir dir;
    WriteBytes(dir.File("f"), std::string(1000, 'z'));
    TextWriter writer(dir.File("f"));
    EXPECT_EQ(ReadBytes(dir.File("f")), std::string(1000, 'z'));  // the old bytes until the close
    writer.WriteLine("ab");
    writer.Write("c");
    writer.EndLine();
    writer.WriteLine("");
    writer.Close();
    EXPECT_EQ(ReadBytes(dir.File("f")), "ab\r\nc\r\n\r\n");
}

// Lines laid out in the buffer give the bytes of WriteLine, across buffer
// ends and for lines longer than the buffer, and fail as it does.
TEST(TextWriter, LinesLaidOutInTheBufferAreTheLinesWritten) {
    TempDir dir;
    std::string expected;
    {
        TextWriter writer(dir.File("f"));
        writer.Write("x");
        expected += "x";
        for (std::size_t i = 0; i < 30000; ++i) {
            const std::size_t size = i % 7 == 0 ? 0 : i % 1000 == 999 ? 65534 + i % 5 : 1 + i % 23;
            const std::string line(size, static_cast<char>('a' + i % 26));
            writer.WriteLineWith(size, [&](char* out) { line.copy(out, size); });
            expected += line + "\r\n";
        }
        writer.Close();
    }
    EXPECT_EQ(ReadBytes(dir.File("f")), expected);
    // A failure shows once the buffers handed on run out, at the latest: 440 kB
    // is more than they hold.
    TextWriter full("/dev/full");
    EXPECT_EQ(OpenErrorCode([&] {
                  for (int i = 0; i < 20000; ++i)
                      full.WriteLineWith(20, [](char* out) { std::memset(out, 'y', 20); });
              }),
              101);
    EXPECT_EQ(OpenErrorCode([&] { full.WriteLineWith(1, [](char* out) { *out = 'z'; }); }), 101);
    EXPECT_EQ(OpenErrorCode([&] { full.Close(); }), 101);
}

TEST(TextWriter, DestroyedUnclosedLeavesTheOldFile) {
    TempDir dir;
    {
        TextWriter writer(dir.File("f"));
        writer.WriteLine("first");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("f")));
    WriteBytes(dir.File("f"), "old");
    {
        TextWriter writer(dir.File("f"));
        writer.WriteLine("second");
    }
    EXPECT_EQ(ReadBytes(dir.File("f")), "old");
}

// The first failure is the one reported. Text still in the buffer was written
// before any later error, so failing to write it out takes that error's place;
// a writer that failed stays failed, and nothing written after the failure
// reaches the file.
TEST(TextWriter, TheFirstFailureIsReportedAndNeverPassedOffAsASuccess) {
    auto stopAfterOneLine = [](TextWriter& file) {
        file.WriteLine("kept");
        throw InvalidOperationError();
    };
    EXPECT_EQ(OpenErrorCode([&] { WriteTextFile("/dev/full", stopAfterOneLine); }), 101);
    TempDir dir;
    EXPECT_THROW(WriteTextFile(dir.File("room"), stopAfterOneLine), InvalidOperationError);
    EXPECT_FALSE(std::filesystem::exists(dir.File("room")));  // the unfinished file removed
    WriteTextFile(dir.File("whole"), [](TextWriter& file) { file.WriteLine("all"); });
    EXPECT_EQ(ReadBytes(dir.File("whole")), "all\r\n");

    // A buffer's worth fails at once; every later call repeats that failure.
    TextWriter full("/dev/full");
    EXPECT_EQ(OpenErrorCode([&] { full.Write(std::string(1 << 16, 'x')); }), 101);
    EXPECT_EQ(OpenErrorCode([&] { full.WriteLine("more"); }), 101);
    EXPECT_EQ(OpenErrorCode([&] { full.Close(); }), 101);
    EXPECT_EQ(OpenErrorCode([&] { full.Close(); }), 101);
    // Closing on the path of the writer's own failure adds no second error.
    TextWriter again("/dev/full");
    EXPECT_EQ(OpenErrorCode([&] { again.Write(std::string(1 << 17, 'x')); }), 101);
    EXPECT_NO_THROW(again.CloseAfterError());

    // A limit on the file size fails in the middle of the buffer; the
    // unfinished file is removed.
    ChildResult child = RunInChild([&]() -> std::string {
        std::signal(SIGXFSZ, SIG_IGN);
        SetSoftLimit(RLIMIT_FSIZE, 100000);
        const std::string path = dir.File("limited");
        std::string report = std::to_string(OpenErrorCode([&] {
            WriteTextFile(path, [](TextWriter& file) {
                for (int i = 0; i < 20000; ++i) file.WriteLine("line");
            });
        }));
        return report + (std::filesystem::exists(path) ? " left" : " removed");
    });
    EXPECT_EQ(child.out, "27 removed");

    // The same past the first buffer, where the writer's own thread writes:
    // the failure comes back to the command, which stops; on the standard
    // output, which keeps what was written, nothing follows the gap.
    ChildResult later = RunInChild([&]() -> std::string {
        std::signal(SIGXFSZ, SIG_IGN);
        SetSoftLimit(RLIMIT_FSIZE, 1000000);
        std::string report;
        for (const std::string& path : {dir.File("limited later"), std::string()}) {
            const std::string output = dir.File("standard output");
            if (path.empty()) {
                const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) return "no standard output";
                ::close(fd);
            }
            int lines = 0;
            report += std::to_string(OpenErrorCode([&] {
                WriteTextFile(path, [&](TextWriter& file) {
                    for (; lines < 1000000; ++lines) file.WriteLine("line");
                });
            }));
            if (path.empty())
                report += " " + std::to_string(ReadBytes(output).size());
            else
                report += std::filesystem::exists(path) ? " left" : " removed";
            report += lines < 1000000 ? " stopped\n" : "\n";
        }
        return report;
    });
    EXPECT_EQ(later.out, "27 removed stopped\n27 1000000 stopped\n");
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
