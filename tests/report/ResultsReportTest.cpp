// The results report's layout: fields, widths, means and the summary table.

#include <gtest/gtest.h>

#include "report/CalculateCommand.h"
#include "report/Padding.h"
#include "report/ReportTestSupport.h"
#include "report/ResultsReport.h"
#include "runtime/Cp932.h"
#include "store/DataFile.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::MakeStudy;
using testing::ReadBytes;
using testing::SplitLines;
using testing::TempDir;

std::vector<std::string> Report(StudyStore& store, char separator = '.') {
    TempDir dir;
    const std::string path = dir.File("results.txt");
    EXPECT_EQ(RunCalculation(store, separator, [&] { return std::optional<std::string>(path); }),
              CalculationOutcome::Written);
    return SplitLines(ReadBytes(path));
}

std::string Sjis(const char* utf8) {
    return Cp932FromUtf8(utf8);
}

TEST(ResultsReport, ScoreTablesPrintTextsAsTypedInByteWidths) {
    // Level 1 by subject: (b1, b2, b3, b4); level 2 follows each subject's level 1.
    StudyStore store =
        MakeStudy(3, {Sjis("五文字名前"), "a2"}, {"b1", "0123456789", Sjis("五文字名前"), "LongerName12"},
                  {
                      "1e2", "3.0", "12345678.0000", "8", "0.0001",  "1", "1", "1",  // subject 1
                      "2",   "4",   "12345678",      "7", "0.00005", "1", "1", "2",  // subject 2
                      "3",   "6",   "1.2345678e7",   "9", "0",       "1", "1", "3",  // subject 3
                  });
    const std::vector<std::string> lines = Report(store);
    ASSERT_EQ(lines.size(), 2u * (3 + 4) + 16);

    EXPECT_EQ(lines[2], Sjis("被験者内要因：Ａ、Ｂ "));
    EXPECT_EQ(lines[5], Sjis("要因Ａ＜五文字名前＞"));  // unpadded
    // Exactly ten bytes touch the field before; twelve push the line right.
    EXPECT_EQ(lines[6], "                  b10123456789" + Sjis("五文字名前") + "LongerName12");
    // Texts as stored: 1e2 and 3.0 are not reformatted, 13 bytes are not cut.
    EXPECT_EQ(lines[7], "         1       1e2       3.012345678.0000         8");
    EXPECT_EQ(lines[8], "         2         2         4  12345678         7");
    EXPECT_EQ(lines[9], "         3         3         61.2345678e7         9");
    // 1e2 counts as 100: (100 + 2 + 3) / 3 = 35.
    EXPECT_EQ(lines[10], Sjis("      平均") + "        35  4.3333331.234568E7         8");
    EXPECT_EQ(lines[11], "");
    EXPECT_EQ(lines[12], Sjis("要因Ａ＜a2＞"));
    // Totals start again at zero for each table.
    EXPECT_EQ(lines[17], Sjis("      平均") + "      5E-5         1         1         2");
    EXPECT_EQ(lines[18], "");
    EXPECT_EQ(lines[19], "");
    EXPECT_EQ(lines[20], "SV        SS             df        MS             F              ");

    // The column totals of the last table stay in the store.
    ASSERT_EQ(store.ColumnTotals.size(), 5u);
    EXPECT_EQ(store.ColumnTotals[4], 6.0L);
}

// The tables of a loaded study read its texts where the file put them, those
// of a typed one where each edit went: the same lines either way, for texts of
// every length from empty to past two words.
TEST(ResultsReport, LoadedAndTypedStudiesPrintAlike) {
    std::vector<std::string> scores;
    for (std::size_t length = 1; length <= 22; ++length)
        scores.push_back(std::string(length / 3, ' ') + std::string(length - length / 3 - 1, '9') +
                         std::to_string(length % 10));
    StudyStore typed = MakeStudy(70, {"a1", "a2"}, {"b1", "b2", "b3"}, scores);
    TempDir dir;
    WriteDataFile(typed, dir.File("study.dat"));
    StudyStore loaded;
    LoadStudyFile(loaded, dir.File("study.dat"));
    ASSERT_TRUE(loaded.CellText.Plain());
    ASSERT_FALSE(typed.CellText.Plain());
    const std::vector<std::string> lines = Report(loaded);
    EXPECT_EQ(lines, Report(typed));
    EXPECT_EQ(lines[7], "         1         1        92        93");
    EXPECT_EQ(lines[28], "        22     999999999997      999999999998      9999999999999");
    // Texts of 19 to 21 bytes, their leading spaces kept: past two words.
    EXPECT_EQ(lines[10], "         4      9999999999999      99999999999990       99999999999991");
}

TEST(ResultsReport, SummaryRowsHaveOnlyTheirColumns) {
    std::vector<std::string> scores;
    for (int i = 0; i < 61; ++i)
        scores.push_back(std::to_string((i * 17) % 29) + "." + std::to_string(i % 7));
    StudyStore store = MakeStudy(6, {"a1", "a2", "a3"}, {"b1", "b2"}, scores);
    const std::vector<std::string> lines = Report(store);
    ASSERT_EQ(lines.size(), 3u * (6 + 4) + 16);

    const std::vector<std::string> summary(lines.end() - 9, lines.end());
    const char* labels[] = {"S", "SSw.s", "A", "AS", "B", "BS", "AB", "ABS", "Total"};
    const char* dfs[] = {"5", "30", "2", "10", "1", "5", "2", "10", "35"};
    const std::size_t fields[] = {3, 2, 4, 3, 4, 3, 4, 3, 2};  // after the label
    for (std::size_t r = 0; r < 9; ++r) {
        SCOPED_TRACE(labels[r]);
        const std::string& row = summary[r];
        EXPECT_EQ(row.substr(0, 10), PadRight(labels[r], 10));
        EXPECT_EQ(row.substr(25, 10), PadRight(dfs[r], 10));
        // No value of this study is longer than its field, so the widths add up.
        EXPECT_EQ(row.size(), 10 + 15 + 10 + (fields[r] - 2) * 15);
    }
    // The last bytes of the file are the Total row's padded df field and CR LF.
    EXPECT_EQ(summary[8].substr(25), "35        ");
}

TEST(ResultsReport, SummaryDegreesOfFreedomAreNotWrappedAt32Bits) {
    TempDir dir;
    const std::string path = dir.File("summary.txt");
    SumsOfSquares ss;
    ss.SSTotal = 8e9L, ss.SSS = 1e9L, ss.SSA = 1e9L, ss.SSB = 1e9L, ss.SSAB = 1e9L;
    ss.SSAS = 1e9L, ss.SSBS = 1e9L, ss.SSABS = -1.23456789e-200L;
    {
        TextWriter file(path);
        WriteSummaryTable(file, 1000, 2000, 2000, ss, '.');
        file.Close();
    }
    const std::vector<std::string> lines = SplitLines(ReadBytes(path));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[2].substr(25, 10), "3999999000");  // (2000 * 2000 - 1) * 1000
    EXPECT_EQ(lines[9].substr(25), "3999999999");      // 2000 * 2000 * 1000 - 1
    // Texts as long as their field touch the next one; longer ones move it right.
    EXPECT_EQ(lines[7], "AB        1E9            3996001   250.250188     -8.09190007E211");
    // 1999 * 1999 * 999 = 3992004999 degrees of freedom for ABS.
    EXPECT_EQ(lines[8], "ABS       -1.23456789E-2003992004999-3.09260106E-210");
}

TEST(ResultsReport, CommaSeparatorReadsAndWritesNumbers) {
    StudyStore store = MakeStudy(3, {"a1", "a2"}, {"b1", "b2"},
                                 {"3", "5", "4", "8", "2", "4", "3", "7", "4", "6", "6", "9"});
    store.CellText(1, 1, 1) = "3,0";
    const std::vector<std::string> lines = Report(store, ',');
    ASSERT_EQ(lines.size(), 30u);
    EXPECT_EQ(lines[7], "         1       3,0         5");
    EXPECT_EQ(lines[17], Sjis("      平均") + "  4,333333         8");
    EXPECT_EQ(lines[21], "S         10,1666667     2         5,08333333     ");
    EXPECT_EQ(lines[24], "AS        0,166666667    2         0,0833333333   ");
}

}  // namespace
}  // namespace morvane
