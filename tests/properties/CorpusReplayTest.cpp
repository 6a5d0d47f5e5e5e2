// Every seed of the fuzz targets, every input that once broke a property
// (fuzz/regressions/<target>/) and the bundled examples, through the same
// property checks that the fuzz targets run.

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "properties/DataFileProperties.h"
#include "properties/NumberFormatProperties.h"
#include "properties/ScoreSyntaxModel.h"
#include "properties/ScoreSyntaxProperties.h"
#include "properties/Violation.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using properties::ReadOutcome;

// The fuzz target's budget, so that an input replays as it ran there.
constexpr std::uint64_t kMemoryBudget = properties::kFuzzMemoryBudget;

std::vector<fs::path> Inputs(const std::vector<fs::path>& folders) {
    std::vector<fs::path> files;
    for (const auto& folder : folders) {
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

const fs::path kFuzz = MORVANE_FUZZ_DIR;

TEST(CorpusReplay, DataFileSeedsRegressionsAndExamples) {
    auto files = Inputs({kFuzz / "corpus/datafile", kFuzz / "regressions/datafile", MORVANE_EXAMPLES});
    ASSERT_GE(files.size(), 10u);
    int read = 0;
    for (const auto& file : files) {
        try {
            if (properties::CheckDataFileBytes(testing::ReadBytes(file), kMemoryBudget) == ReadOutcome::Read)
                ++read;
        } catch (const properties::Violation& violation) {
            ADD_FAILURE() << file << ": " << violation.what();
        }
    }
    EXPECT_GE(read, 5);  // the seeds reach the write-back, not only the failures
}

TEST(CorpusReplay, ScoreSyntaxSeedsAndRegressions) {
    auto files = Inputs({kFuzz / "corpus/scoresyntax", kFuzz / "regressions/scoresyntax"});
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) {
        const std::string text = testing::ReadBytes(file);
        for (char separator : {'.', ','}) {
            try {
                properties::CheckScoreText(text, separator);
            } catch (const properties::Violation& violation) {
                ADD_FAILURE() << file << ": " << violation.what();
            }
        }
    }
}

TEST(CorpusReplay, FormatGeneralSeedsAndRegressions) {
    auto files = Inputs({kFuzz / "corpus/formatgeneral", kFuzz / "regressions/formatgeneral"});
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) {
        try {
            EXPECT_TRUE(properties::CheckFormatGeneralBytes(testing::ReadBytes(file))) << file;
        } catch (const properties::Violation& violation) {
            ADD_FAILURE() << file << ": " << violation.what();
        }
    }
}

// The checks themselves must be able to fail: a model that disagrees with the
// core is reported, not passed over.
TEST(CorpusReplay, TheModelReadingsAgreeWithKnownFiles) {
    auto model = properties::ReadModel("2 3\r\n$10\r\n-1\r\n", kMemoryBudget);
    EXPECT_EQ(model.outcome, ReadOutcome::Read);
    EXPECT_EQ(model.n, 2);
    EXPECT_EQ(model.na, 16);
    EXPECT_EQ(model.nb, -1);
    EXPECT_EQ(model.namesA.size(), 16u);
    EXPECT_EQ(properties::WriteModel(model).substr(0, 13), "2\r\n16\r\n-1\r\n\r\n");
    EXPECT_EQ(properties::ReadModel("1\r\n0x\r\n", kMemoryBudget).outcome, ReadOutcome::NotANumber);
    EXPECT_EQ(properties::ReadModel("1\r\n0x\r\n", kMemoryBudget).countsRead, 1);
    EXPECT_EQ(properties::ReadModel("-2\r\n1\r\n1\r\n", kMemoryBudget).outcome, ReadOutcome::RangeCheck);
    EXPECT_EQ(properties::ReadModel("512\r\n1\r\n1\r\n", kMemoryBudget).outcome, ReadOutcome::OutOfMemory);
    EXPECT_EQ(properties::ReadModel("511\r\n1\r\n1\r\n", kMemoryBudget).outcome, ReadOutcome::Read);

    EXPECT_EQ(properties::NormalisedScore("  -0012,50E-007 ", ','), "-0012.50e-7");
    EXPECT_EQ(properties::NormalisedScore(".5e0004999", '.'), "0.5e4999");
    for (const char* text :
         {"", " ", ".", "-.", "1e", "1e+", ".e1", "1 .5", "1e5000", "1.5,", "+-1", "1e1.5"})
        EXPECT_EQ(properties::NormalisedScore(text, '.'), std::nullopt) << text;
    EXPECT_EQ(properties::ReferenceScore("1e4933", '.'), std::nullopt);
}

}  // namespace
}  // namespace morvane
