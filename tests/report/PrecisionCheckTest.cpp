// The calculation with the precision check of its results file: the same file
// as without, and the check the separate passes give.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "report/PrecisionCheck.h"
#include "report/CalculateCommand.h"
#include "report/Padding.h"
#include "support/RandomScores.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::RandomStudy;
using testing::SameBits;

TEST(PrecisionCheck, CalculationWithItsCheckWritesTheSameFile) {
    testing::TempDir dir;
    std::mt19937_64 random(12);
    for (int kind : {0, 2, 3, 4}) {
        SCOPED_TRACE(kind);
        StudyStore plain = RandomStudy(random, 130, 3, 2, kind);
        // Texts longer than a field and a subject number of three digits.
        // Texts of 2, 5, 6, 9, 10 and 13 bytes: short of their field, filling it and past it.
        for (int b = 1; b <= 2; ++b)
            for (int a = 1; a <= 3; ++a)
                plain.CellText(100, a, b) =
                    std::string(static_cast<std::size_t>(4 * a + 3 * b - 6), ' ') +
                    (kind == 0 ? std::to_string(a) : std::string(plain.CellText(100, a, b)));
        StudyStore checked = plain, unkept = plain;
        unkept.CellValue.Release();
        const std::string one = dir.File("plain.txt"), two = dir.File("checked.txt"),
                          three = dir.File("unkept.txt");
        ASSERT_EQ(RunCalculation(plain, '.', [&] { return std::optional<std::string>(one); }),
                  CalculationOutcome::Written);
        std::optional<PrecisionCheck> precision;
        ASSERT_EQ(RunCheckedCalculation(
                      checked, '.', [&] { return std::optional<std::string>(two); }, precision),
                  CalculationOutcome::Written);
        EXPECT_EQ(testing::ReadBytes(one), testing::ReadBytes(two));
        // Without the values kept: the same file and check, CellValue never sized.
        std::optional<PrecisionCheck> unkeptPrecision;
        ASSERT_EQ(RunCheckedCalculation(
                      unkept, '.', [&] { return std::optional<std::string>(three); }, unkeptPrecision,
                      KeepValues::No),
                  CalculationOutcome::Written);
        EXPECT_EQ(testing::ReadBytes(one), testing::ReadBytes(three));
        EXPECT_TRUE(unkept.CellValue.Empty());
        ASSERT_TRUE(unkeptPrecision.has_value());
        EXPECT_EQ(unkeptPrecision->summaryTableExact, precision->summaryTableExact);
        for (int a = 1; a <= 3; ++a) {
            std::string line;
            AppendPadLeft10(line, "100");
            for (int b = 1; b <= 2; ++b) AppendPadLeft10(line, plain.CellText(100, a, b));
            EXPECT_NE(testing::ReadBytes(one).find("\r\n" + line + "\r\n"), std::string::npos) << line;
        }
        ASSERT_TRUE(precision.has_value());
        const PrecisionCheck separate = CheckResultsFile(plain, '.');
        EXPECT_EQ(precision->summaryTableExact, separate.summaryTableExact);
        EXPECT_EQ(precision->summaryTableComplete, separate.summaryTableComplete);
        for (std::size_t i = 0; i < separate.sums.size(); ++i) {
            EXPECT_EQ(precision->sums[i].correctDigits, separate.sums[i].correctDigits);
            EXPECT_TRUE(SameBits(precision->sums[i].exact, separate.sums[i].exact));
        }
        if (kind == 0) {
            EXPECT_TRUE(precision->summaryTableExact);
        }
        if (kind == 2) {
            EXPECT_FALSE(precision->summaryTableExact);
        }
        std::optional<PrecisionCheck> cancelled;
        EXPECT_EQ(RunCheckedCalculation(
                      checked, '.', [] { return std::optional<std::string>(); }, cancelled),
                  CalculationOutcome::Cancelled);
        EXPECT_FALSE(cancelled.has_value());
    }
}

// The correct digits of a sum are those that agree as the check prints them
// (19 significant): 9000 and the next extended value above it are within 1e-19
// of each other but differ in the 19th digit.
TEST(PrecisionCheck, CorrectDigitsAreThoseThatAgreeAsPrinted) {
    ExactPartition exact;
    const struct {
        Extended exact, file;
        int digits;
    } cases[] = {{9000, std::nextafter(9000.0L, 10000.0L), 18},
                 {1708, 1708, 19},
                 {1, std::nextafter(1.0L, 0.0L), 0},  // 1.000... against 9.999...e-01
                 {123.456L, 123.457L, 5},
                 {-2, 2, 0}};
    for (const auto& c : cases) {
        exact.Total.ss = c.exact;
        SumsOfSquares file = ExactSums(exact);
        file.SSTotal = c.file;
        EXPECT_EQ(CheckResultsFile(file, exact, '.').sums[0].correctDigits, c.digits) << c.exact;
    }
}

}  // namespace
}  // namespace morvane
