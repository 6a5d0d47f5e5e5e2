// The data file's reader against inputs that never end, and a load watched
// as it goes.

#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/TextReader.h"
#include "store/DataFile.h"
#include "support/EndlessPipe.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::EndlessPipe;
using testing::TempDir;
using testing::WriteBytes;

// The code and message of the InOutError that reading `path` gives (0 and
// nothing when it loads).
std::pair<int, std::string> Refusal(const std::string& path, bool load) {
    StudyStore store;
    try {
        load ? LoadStudyFile(store, path) : ReadDataFile(store, path);
    } catch (const InOutError& error) {
        return {error.code(), Utf8FromCp932(error.message())};
    } catch (const StudyError& error) {
        return {-1, Utf8FromCp932(error.message())};
    }
    return {0, ""};
}

// Whatever item of the file never ends, the counts, the blanks before one,
// the rest of a count's line, a level name or a score, the file is refused as
// a file that is not a data file, as soon as the item is longer than any a
// pipe or a device would bring.
TEST(DataFileReading, AnInputWithoutEndIsRefusedAsAFileThatIsNotOne) {
    const std::pair<int, std::string> notAFile{106, "入力値が数値ではありません"};
    for (const bool load : {false, true}) {
        // Load names an input of NUL bytes from its first block.
        EXPECT_EQ(
            Refusal("/dev/zero", load),
            load ? std::make_pair(-1, std::string("データファイルではありません (NUL バイトしかありません)"))
                 : notAFile);
        const std::pair<std::string, char> endless[] = {
            {"", '\n'},                                // blank lines before the first count
            {"2\r\n3\r\n", ' '},                       // blanks before the third
            {"2 subjects", '.'},                       // the rest of a count's line
            {"1\r\n1\r\n1\r\n", 'a'},                  // a level name of A
            {"1\r\n1\r\n2\r\nA\r\nB1\r\n", 'b'},       // one of B
            {"1\r\n1\r\n1\r\nA\r\nB\r\n", '5'},        // a score
            {"3\r\n1\r\n1\r\nA\r\nB\r\n1\r\n", '\r'},  // a later score, of CRs
        };
        for (const auto& [head, fill] : endless) {
            EndlessPipe pipe(head, fill);
            EXPECT_EQ(Refusal(pipe.Path(), load), notAFile) << head << " then " << int{fill};
            EXPECT_LT(pipe.Written(), 2 * kLongestStreamLine) << head;
        }
    }
    // A regular file's size is its bound: a score longer than a pipe's loads.
    TempDir dir;
    const std::string head = "1\r\n1\r\n1\r\nA\r\nB\r\n";
    WriteBytes(dir.File("long score"), head);
    std::filesystem::resize_file(dir.File("long score"), head.size() + kLongestStreamLine + 1);
    StudyStore store;
    LoadStudyFile(store, dir.File("long score"));
    EXPECT_EQ(store.CellText(1, 1, 1).size(), kLongestStreamLine + 1);
}

TEST(DataFileReading, AWatchedLoadTellsItsProgressAndStopsWhenTold) {
    struct Watch : ReadProgress {
        std::uint64_t done = 0, total = 0;
        int calls = 0, stopAt = -1;
        bool Continue(std::uint64_t bytes, std::uint64_t size) override {
            EXPECT_GT(bytes, done);
            done = bytes;
            total = size;
            return ++calls != stopAt;
        }
    };
    TempDir dir;
    std::string file = "3000\r\n2\r\n2\r\npre\r\npost\r\neasy\r\nhard\r\n";
    for (int i = 0; i < 12000; ++i) file += std::to_string(i * 37 % 1000) + ".25\r\n";
    WriteBytes(dir.File("f"), file);

    Watch watch;
    StudyStore store;
    LoadStudyFile(store, dir.File("f"), watch);
    EXPECT_EQ(watch.done, file.size());
    EXPECT_EQ(watch.total, file.size());
    EXPECT_EQ(watch.calls, static_cast<int>((file.size() + 65535) / 65536));
    EXPECT_EQ(store.CellText(3000, 2, 2), std::to_string(11999 * 37 % 1000) + ".25");

    Watch stopping;
    stopping.stopAt = 2;
    StudyStore stopped;
    EXPECT_THROW(LoadStudyFile(stopped, dir.File("f"), stopping), ReadStopped);
    EXPECT_EQ(stopping.calls, 2);
    // What is refused before any block ends is refused as without a watch.
    WriteBytes(dir.File("no levels"), "1\r\n0\r\n1\r\n");
    Watch fresh;
    EXPECT_THROW(LoadStudyFile(stopped, dir.File("no levels"), fresh), StudyError);
    EXPECT_EQ(fresh.calls, 1);
}

}  // namespace
}  // namespace morvane
