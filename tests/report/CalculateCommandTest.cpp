// The calculate command's steps and what each kind of failure leaves behind.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "report/CalculateCommand.h"
#include "report/ReportTestSupport.h"
#include "report/SumsOfSquares.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "scores/ParseScores.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::MakeStudy;
using testing::ReadBytes;
using testing::SplitLines;
using testing::TempDir;
using testing::WriteBytes;

struct Outcome {
    std::string error;  // the message in UTF-8, empty when the command completed
    int chooserCalls = 0;
    bool fileExists = false;           // the results file, where none was before
    bool oldKept = false;              // a results file that was there: its bytes as they were
    bool othersLeft = false;           // any other file in the folder
    std::vector<std::string> lines;    // of the results file
    std::vector<std::string> printed;  // on the standard output, which keeps the lines before a stop
};

const std::string kOldResults = "the results of an earlier run\r\n";

// Runs the command with the standard output going to `file`.
void CalculateToStandardOutput(StudyStore& store, const std::string& file) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO), fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
    try {
        RunCalculation(store, '.', [] { return std::optional<std::string>(std::string()); });
    } catch (const Error&) {
    }
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
}

// The command into a new results file, over an old one, and to the standard output.
Outcome Calculate(StudyStore& store) {
    TempDir dir;
    const std::string path = dir.File("results.txt"), old = dir.File("old.txt");
    WriteBytes(old, kOldResults);
    Outcome run;
    for (const std::string* target : {&path, &old}) {
        run.error.clear();
        try {
            RunCalculation(store, '.', [&] {
                ++run.chooserCalls;
                return std::optional<std::string>(*target);
            });
        } catch (const Error& e) {
            run.error = Utf8FromCp932(e.message());
        }
    }
    run.fileExists = std::filesystem::exists(path);
    run.lines = SplitLines(ReadBytes(path));
    run.oldKept = ReadBytes(old) == (run.fileExists ? ReadBytes(path) : kOldResults);
    run.othersLeft = std::distance(std::filesystem::directory_iterator(dir.Path()),
                                   std::filesystem::directory_iterator()) != (run.fileExists ? 2 : 1);
    CalculateToStandardOutput(store, dir.File("printed"));
    run.printed = SplitLines(ReadBytes(dir.File("printed")));
    return run;
}

const std::vector<std::string> kScores = {"3.1", "5", "4.7", "8", "2",    "4.25", "3",
                                          "7",   "4", "6.5", "6", "9.75", "1"};

// The label of the last summary row printed, or the last line when no row is.
std::string LastLine(const Outcome& run) {
    return run.printed.empty() ? "<empty>" : run.printed.back().substr(0, 10);
}

TEST(CalculateCommand, DegenerateDesignsStopAtTheirRow) {
    struct Case {
        const char* name;
        int n, na, nb;
        std::size_t lines;  // written before the stop
        const char* last;
    };
    const Case cases[] = {
        // One subject: df(S) = 0 and SSS = 0; the summary heading is the last line.
        {"one subject", 1, 2, 3, 4 + 2 * 5 + 2 + 1, "SV        "},
        // One level of A: stops at row A, after S and SSw.s.
        {"one level of A", 4, 1, 3, 4 + 1 * 8 + 2 + 1 + 2, "SSw.s     "},
        // One level of B: stops at row B, after S to AS.
        {"one level of B", 3, 2, 1, 4 + 2 * 7 + 2 + 1 + 4, "AS        "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> namesA(static_cast<std::size_t>(c.na), "a"),
            namesB(static_cast<std::size_t>(c.nb), "b");
        StudyStore store = MakeStudy(c.n, namesA, namesB, kScores);
        const Outcome run = Calculate(store);
        EXPECT_EQ(run.error, "不正な浮動小数点数演算命令");
        // The unfinished file removed, an old one kept; the lines before the
        // stop on the standard output.
        EXPECT_FALSE(run.fileExists);
        EXPECT_TRUE(run.oldKept);
        EXPECT_FALSE(run.othersLeft);
        EXPECT_EQ(run.printed.size(), c.lines);
        EXPECT_EQ(LastLine(run), c.last);
    }
}

TEST(CalculateCommand, ExactlyZeroErrorTermStopsAtTheEffectsRow) {
    // Scores that are a subject part plus a level-of-A part: SSAS is exactly 0
    // while SSA is 4, so F(A) divides a non-zero mean square by zero.
    StudyStore additive = MakeStudy(2, {"a1", "a2"}, {"b1"}, {"1", "3", "2", "4"});
    Outcome run = Calculate(additive);
    EXPECT_EQ(run.error, "0 による浮動小数点数除算");
    EXPECT_EQ(LastLine(run), "SSw.s     ");
    EXPECT_FALSE(run.fileExists);
    EXPECT_TRUE(run.oldKept);

    // No three-way interaction: every score is f(s, a) + g(s, b) + h(a, b), all
    // in small integers and with power-of-two divisors, so SSABS is exactly 0.
    const int f[2][2] = {{0, 1}, {0, 3}}, g[2][2] = {{0, 2}, {0, 5}}, h[2][2] = {{0, 0}, {0, 4}};
    std::vector<std::string> scores;
    for (int s = 0; s < 2; ++s)
        for (int a = 0; a < 2; ++a)
            for (int b = 0; b < 2; ++b) scores.push_back(std::to_string(f[s][a] + g[s][b] + h[a][b]));
    StudyStore noThreeWay = MakeStudy(2, {"a1", "a2"}, {"b1", "b2"}, scores);
    ParseAllScores(noThreeWay, '.');
    const SumsOfSquares ss = ComputeSumsOfSquares(noThreeWay);
    ASSERT_EQ(ss.SSABS, 0.0L);
    ASSERT_NE(ss.SSAB, 0.0L);
    ASSERT_NE(ss.SSAS, 0.0L);
    ASSERT_NE(ss.SSBS, 0.0L);
    run = Calculate(noThreeWay);
    EXPECT_EQ(run.error, "0 による浮動小数点数除算");
    EXPECT_EQ(LastLine(run), "BS        ");
}

TEST(CalculateCommand, NoSubjectsLeaveNoFile) {
    StudyStore store = MakeStudy(0, {"a1", "a2"}, {"b1", "b2"}, kScores);
    const Outcome run = Calculate(store);
    EXPECT_EQ(run.error, "不正な浮動小数点数演算命令");
    EXPECT_EQ(run.chooserCalls, 2);
    EXPECT_FALSE(run.fileExists);
    EXPECT_TRUE(run.oldKept);
    EXPECT_TRUE(run.printed.empty());
    EXPECT_TRUE(store.ColumnTotals.empty());  // the computation failed before sizing
}

TEST(CalculateCommand, BadScoreStopsBeforeTheDialog) {
    StudyStore store = MakeStudy(2, {"a1", "a2"}, {"b1", "b2"}, kScores);
    store.CellText(2, 1, 2) = "1,5";
    const Outcome run = Calculate(store);
    EXPECT_EQ(run.error, "'1,5' は浮動小数点数ではありません");
    EXPECT_EQ(run.chooserCalls, 0);
    EXPECT_FALSE(run.fileExists);
    EXPECT_TRUE(run.oldKept);
    EXPECT_EQ(store.CellValue(2, 1, 1), 2.0L);  // parsed before the bad text
}

TEST(CalculateCommand, CancelEndsTheCommandAfterParsing) {
    StudyStore store = MakeStudy(2, {"a1", "a2"}, {"b1", "b2"}, kScores);
    int calls = 0;
    EXPECT_EQ(RunCalculation(store, '.',
                             [&] {
                                 ++calls;
                                 return std::optional<std::string>();
                             }),
              CalculationOutcome::Cancelled);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(store.CellValue(2, 2, 2), 7.0L);
    EXPECT_TRUE(store.ColumnTotals.empty());
}

TEST(CalculateCommand, FileThatCannotBeCreatedStopsBeforeTheComputation) {
    TempDir dir;
    StudyStore store = MakeStudy(2, {"a1", "a2"}, {"b1", "b2"}, kScores);
    const std::pair<std::string, int> cases[] = {
        {dir.File("missing/results.txt"), 3},
        {dir.Path().string(), 5},
    };
    for (const auto& [path, code] : cases) {
        try {
            // A copy: clang does not let a lambda capture a structured binding.
            RunCalculation(store, '.', [name = path] { return std::optional<std::string>(name); });
            ADD_FAILURE() << path;
        } catch (const InOutError& e) {
            EXPECT_EQ(e.code(), code) << path;
        }
        EXPECT_TRUE(store.ColumnTotals.empty());
    }
}

TEST(CalculateCommand, UnsizedValuesAreSizedBeforeParsing) {
    StudyStore store = MakeStudy(3, {"a1", "a2"}, {"b1", "b2"}, kScores);
    store.CellValue.Release();
    const Outcome run = Calculate(store);
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.lines.size(), 30u);
    EXPECT_EQ(run.printed, run.lines);
    EXPECT_TRUE(run.oldKept);  // replaced by the same bytes
    EXPECT_FALSE(run.othersLeft);
    EXPECT_EQ(store.CellValue.Extent0(), 4);
}

TEST(CalculateCommand, RepeatedRunsReplaceTheFileWithTheSameBytes) {
    TempDir dir;
    const std::string path = dir.File("results.txt");
    testing::WriteBytes(path, std::string(100000, 'x'));
    StudyStore store = MakeStudy(5, {"a1", "a2", "a3"}, {"b1", "b2", "b3"}, kScores);
    auto chooser = [&] { return std::optional<std::string>(path); };
    RunCalculation(store, '.', chooser);
    const std::string first = ReadBytes(path);
    EXPECT_EQ(SplitLines(first).size(), 3u * 9 + 16);
    RunCalculation(store, '.', chooser);
    EXPECT_EQ(ReadBytes(path), first);
}

}  // namespace
}  // namespace morvane
