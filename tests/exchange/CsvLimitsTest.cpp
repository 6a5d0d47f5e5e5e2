// What a CSV may cost: an input without end is refused at once, the whole
// text grows within the memory budget, and a wide study's memory follows its
// scores, not its lines.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "exchange/ExchangeFiles.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/StudyCsv.h"
#include "properties/MemoryFile.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "runtime/TextReader.h"
#include "store/DataFile.h"
#include "support/ChildProcess.h"
#include "support/EndlessPipe.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::EndlessPipe;
using testing::RunInChild;
using testing::TempDir;
using testing::WriteBytes;

int CodeOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const InOutError& error) {
        return error.code();
    }
    return 0;
}

std::string DataFileBytes(const StudyStore& store) {
    properties::MemoryFile file;
    WriteDataFile(store, file.Path());
    return file.Get();
}

// A line, or a run of line ends, longer than any that a pipe or a device
// would bring is refused with the code of a file that is not a data file,
// before more of it is read; short lines without end are taken while the
// memory budget allows; a regular file is read whole whatever its lines.
TEST(CsvLimits, AnInputWithoutEndIsRefusedAtOnce) {
    EXPECT_EQ(CodeOf([] { ReadWholeFile("/dev/zero"); }), 106);
    const std::pair<std::string, std::string> endless[] = {
        {"subject,A,B,score\r\n", "\r\n"},     // empty records
        {"subject,A,B,score\n", "\r"},         // lines ended by CR alone
        {"subject,A,B,score\r\n1,a,b,", "7"},  // a field
        {"\"", "quoted, "},                    // a quoted field
    };
    for (const auto& [head, fill] : endless) {
        EndlessPipe pipe(head, fill);
        EXPECT_EQ(CodeOf([&] { ReadWholeFile(pipe.Path()); }), 106) << head << fill;
        EXPECT_LT(pipe.Written(), 3 * kLongestStreamLine);
    }
    {
        EndlessPipe rows("subject,A,B,score\r\n", "1,a,b,2\r\n");
        const std::uint64_t budget = MemoryBudget();
        SetMemoryBudget(std::uint64_t{16} << 20);
        EXPECT_THROW(ReadWholeFile(rows.Path()), OutOfMemoryError);
        SetMemoryBudget(budget);
        EXPECT_LT(rows.Written(), std::uint64_t{64} << 20);
    }
    TempDir dir;
    WriteBytes(dir.File("long.csv"), "subject,A,B,score\r\n");
    std::filesystem::resize_file(dir.File("long.csv"), kLongestStreamLine + 100);
    EXPECT_EQ(ReadWholeFile(dir.File("long.csv")).View().size(), kLongestStreamLine + 100);
}

// Read as a CSV, bytes that no text CSV holds are refused as their block comes
// in: a run of NULs (a sparse file, a CSV padded with NULs) with its line, an endless
// pipe of good rows at the memory budget with how much of it was read.
TEST(CsvLimits, ACsvIsRefusedAtItsFirstNulAndAtTheBudget) {
    const auto message = [](const std::function<void()>& run) {
        try {
            run();
        } catch (const CsvError& error) {
            return Utf8FromCp932(error.message());
        }
        return std::string("read");
    };
    TempDir dir;
    WriteBytes(dir.File("padded.csv"), "subject,A,score\n1,a,2\n1,b,3\n");
    std::filesystem::resize_file(dir.File("padded.csv"), std::uint64_t{200} << 20);
    EXPECT_EQ(message([&] { ReadWholeFile(dir.File("padded.csv"), {}, true); }),
              "4 行: NUL バイトが続いています (テキストの CSV ではありません)");
    EndlessPipe zeros("subject,A,score\n", std::string(1, '\0'));
    EXPECT_EQ(message([&] { ReadWholeFile(zeros.Path(), {}, true); }),
              "2 行: NUL バイトが続いています (テキストの CSV ではありません)");
    EXPECT_LT(zeros.Written(), std::uint64_t{4} << 20);
    EndlessPipe rows("subject,A,score\n", "1,a,2\n");
    const std::uint64_t budget = MemoryBudget();
    SetMemoryBudget(std::uint64_t{16} << 20);
    const std::string said = message([&] { ReadWholeFile(rows.Path(), {}, true); });
    SetMemoryBudget(budget);
    EXPECT_EQ(said.rfind("メモリが足りません (", 0), 0u) << said;
    EXPECT_NE(said.find(" 行を読んだところで、CSV がメモリの上限を超えました)"), std::string::npos) << said;
    EXPECT_LT(rows.Written(), std::uint64_t{64} << 20);
    // A NUL alone, in a name, is read (and shown as U+FFFD), and so is a run shorter than a block of them.
    WriteBytes(dir.File("good.csv"), "subject,A,score\n1,a" + std::string(1000, '\0') + "b,2\n");
    EXPECT_EQ(message([&] { ReadWholeFile(dir.File("good.csv"), {}, true); }), "read");
}

// The import judges the header from the first line, before it reads on: an
// endless input whose header it would refuse is refused after a block or
// two, with the header's message, and nothing is written.
TEST(CsvLimits, TheImportJudgesTheHeaderBeforeItReadsOn) {
    TempDir dir;
    const auto refusal = [&](const std::string& path, const CsvImportOptions& options) {
        try {
            ImportCsv(path, dir.File("o.dat"), options);
        } catch (const Error& error) {
            return Utf8FromCp932(error.message());
        }
        return std::string("imported");
    };
    CsvImportOptions wide;
    wide.layout = CsvLayout::Wide;
    wide.levelsA = {"a1", "a2"};
    wide.levelsB = {"b1"};
    const struct {
        std::string head, fill;
        CsvImportOptions options;
        std::string message;
    } rows[] = {
        {"", "a,\n", {}, "1 行: 列 'subject' がありません"},
        {"\r\n\r\n", std::string(1, '\0'), {}, "3 行: NUL バイトが続いています (テキストの CSV ではありません)"},
        {"subject,A,A,score\n", "1,a,b,2\n", {}, "1 行: 列 'A' が 2 つ以上あります"},
        {"s,x\n", "1,2\n", wide, "1 行: 値が 2 個あります (3 個のはずです)"},
    };
    for (const auto& row : rows) {
        EndlessPipe pipe(row.head, row.fill);
        EXPECT_EQ(refusal(pipe.Path(), row.options), row.message) << row.fill;
        EXPECT_LT(pipe.Written(), std::uint64_t{4} << 20) << row.fill;
    }
    // Random bytes: refused from their first line, whichever encoding the rest would have chosen.
    std::mt19937 random(7);
    std::string noise(1 << 16, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    WriteBytes(dir.File("noise.csv"), noise);
    EXPECT_NE(refusal(dir.File("noise.csv"), {}), "imported");
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.dat")));
    // A good header goes on to the whole file, as ever.
    WriteBytes(dir.File("good.csv"), "subject,A,B,score\n1,a,b,2\n");
    EXPECT_EQ(refusal(dir.File("good.csv"), {}), "imported");
}

// One subject of a million cells, then two thousand empty lines: the import
// asks the memory budget for what the scores it holds take, a few tens of
// megabytes, where room for a million cells per line would be gigabytes, and
// a container per cell a hundred megabytes.
TEST(CsvLimits, AWideStudysMemoryFollowsItsScoresNotItsLines) {
    const testing::ChildResult child = RunInChild([]() -> std::string {
        SetMemoryBudget(std::uint64_t{256} << 20);
        std::string csv = "1";
        for (int i = 0; i < 1000000; ++i) csv += ',' + std::to_string(i % 10);
        csv += "\r\n";
        for (int i = 0; i < 2000; ++i) csv += "\r\n";
        CsvImportOptions options;
        options.layout = CsvLayout::Wide;
        options.header = false;
        for (int i = 0; i < 1000; ++i) {
            options.levelsA.push_back("a" + std::to_string(i));
            options.levelsB.push_back("b" + std::to_string(i));
        }
        // The peak from here on (writing 5 to clear_refs resets it).
        std::ofstream("/proc/self/clear_refs") << "5";
        StudyStore store;
        ReadStudyCsv(csv, options, store);
        if (store.CellText(1, 1000, 999) != "8")
            return "wrong score " + std::string(store.CellText(1, 1000, 999));
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("VmHWM:")) return line.substr(6);
        return "no peak";
    });
    ASSERT_EQ(child.exitCode, 0);
    ASSERT_TRUE(child.out.find_first_not_of(" \t") != std::string::npos &&
                std::isdigit(static_cast<unsigned char>(child.out[child.out.find_first_not_of(" \t")])))
        << child.out;
    // The address sanitizer keeps freed memory a while, and its own beside it.
    const std::uint64_t mostMib = testing::kAddressSanitizer ? 512 : 64;
    EXPECT_LT(std::stoull(child.out), mostMib << 10) << child.out;
}

// Wide CSVs of few cells and of many, on either side of where the import
// stops keeping a run per cell, with empty lines between the rows and after
// them, come back as the study they were written from.
TEST(CsvLimits, WideRowsOfEveryShapeComeBackAsTheirStudy) {
    std::mt19937_64 engine(41);
    const std::pair<int, int> designs[] = {{1, 1}, {7, 1}, {64, 64}, {17, 241}, {100, 100}};
    for (const auto& [na, nb] : designs)
        for (const int n : {1, 3, 40}) {
            std::vector<std::string> namesA, namesB;
            for (int a = 1; a <= na; ++a) namesA.push_back("a" + std::to_string(a));
            for (int b = 1; b <= nb; ++b) namesB.push_back("b" + std::to_string(b));
            StudyStore store;
            StartNewStudy(store, namesA, namesB, std::to_string(n));
            std::string csv = "subject";
            for (int a = 1; a <= na; ++a)
                for (int b = 1; b <= nb; ++b) csv += ",a" + std::to_string(a) + "_b" + std::to_string(b);
            csv += "\r\n";
            for (int s = 1; s <= n; ++s) {
                csv += std::to_string(s);
                for (int a = 1; a <= na; ++a)
                    for (int b = 1; b <= nb; ++b) {
                        // Texts of one to twenty-odd bytes, so that no two cells line up.
                        std::string score = std::to_string(engine() % 1000);
                        if (engine() % 3 == 0) score += "." + std::string(engine() % 20, '5');
                        store.CellText(s, a, b) = score;
                        csv += "," + score;
                    }
                csv += s % 2 == 0 ? "\r\n\r\n" : "\n";
            }
            csv += std::string(500, '\n');
            CsvImportOptions options;
            options.layout = CsvLayout::Wide;
            options.levelsA = namesA;
            options.levelsB = namesB;
            StudyStore back;
            ReadStudyCsv(csv, options, back);
            ASSERT_TRUE(DataFileBytes(back) == DataFileBytes(store))
                << na << " x " << nb << ", " << n << " subjects";
        }
}

}  // namespace
}  // namespace morvane
