// Every seed of the fuzz targets, every input that once broke a property
// (fuzz/regressions/<target>/) and the bundled examples, through the same
// property checks that the fuzz targets run.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "anova/Analysis.h"
#include "properties/AnalysisProperties.h"
#include "properties/CsvModel.h"
#include "properties/CsvProperties.h"
#include "properties/DataFileProperties.h"
#include "properties/LongCsvProperties.h"
#include "properties/NumberFormatProperties.h"
#include "properties/ScoreSyntaxModel.h"
#include "properties/ScoreSyntaxProperties.h"
#include "properties/Shapes.h"
#include "properties/TextChecks.h"
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

TEST(CorpusReplay, CsvImportSeedsAndRegressions) {
    auto files = Inputs({kFuzz / "corpus/csvimport", kFuzz / "regressions/csvimport"});
    ASSERT_GE(files.size(), 20u);
    int read = 0, refused = 0;
    for (const auto& file : files) {
        try {
            const auto outcome = properties::CheckCsvImportBytes(testing::ReadBytes(file));
            ASSERT_TRUE(outcome.has_value()) << file;
            (*outcome == properties::CsvOutcome::Read ? read : refused) += 1;
        } catch (const properties::Violation& violation) {
            ADD_FAILURE() << file << ": " << violation.what();
        }
    }
    // Both ways through the import: studies read (and written back), and refusals.
    EXPECT_GE(read, 12);
    EXPECT_GE(refused, 10);
}

TEST(CorpusReplay, CsvRoundTripSeedsRegressionsAndExamples) {
    auto files =
        Inputs({kFuzz / "corpus/csvroundtrip", kFuzz / "regressions/csvroundtrip", MORVANE_EXAMPLES});
    ASSERT_GE(files.size(), 10u);
    int read = 0;
    for (const auto& file : files) {
        try {
            read += properties::CheckCsvRoundTripBytes(testing::ReadBytes(file), kMemoryBudget) ? 1 : 0;
        } catch (const properties::Violation& violation) {
            ADD_FAILURE() << file << ": " << violation.what();
        }
    }
    EXPECT_GE(read, 10);
}

TEST(CorpusReplay, AnalysisSeedsRegressionsAndExamples) {
    auto files = Inputs({kFuzz / "corpus/analysis", kFuzz / "regressions/analysis", MORVANE_EXAMPLES});
    ASSERT_GE(files.size(), 10u);
    int analyses = 0;
    for (const auto& file : files) {
        try {
            analyses += properties::CheckAnalysisBytes(properties::ExpandShape(testing::ReadBytes(file)),
                                                       kMemoryBudget);
        } catch (const properties::Violation& violation) {
            ADD_FAILURE() << file << ": " << violation.what();
        }
    }
    EXPECT_GE(analyses, 10);  // most seeds are analysed, not refused for their scores
}

TEST(CorpusReplay, LongCsvSeedsAndRegressions) {
    auto files = Inputs({kFuzz / "corpus/longcsv", kFuzz / "regressions/longcsv"});
    ASSERT_GE(files.size(), 5u);
    int read = 0, refused = 0;
    for (const auto& file : files) {
        try {
            const auto outcome = properties::CheckLongCsvBytes(testing::ReadBytes(file));
            ASSERT_TRUE(outcome.has_value()) << file;
            (*outcome == properties::LongCsvOutcome::Read ? read : refused) += 1;
        } catch (const properties::Violation& violation) {
            ADD_FAILURE() << file << ": " << violation.what();
        }
    }
    EXPECT_GE(read, 5);
    EXPECT_GE(refused, 1);
}

// The design checks refuse a design that does not hold together.
TEST(CorpusReplay, TheDesignChecksRefuseBrokenDesigns) {
    const LongCsvRoles roles{"id", "score", {"a"}, {}};
    DesignData design = ReadLongCsv("id,a,score\ns1,x,0.1\ns1,x,0.2\ns1,y,1\ns2,x,1\ns2,y,2\n", roles);
    EXPECT_NO_THROW(properties::CheckDesign(design, roles));
    const auto broken = [&](auto&& breakIt) {
        DesignData copy = design;
        breakIt(copy);
        EXPECT_THROW(properties::CheckDesign(copy, roles), properties::Violation);
    };
    broken([](DesignData& d) { d.values[0] = std::nextafter(d.values[0], 1.0L); });
    broken([](DesignData& d) { d.group[1] = 1; });
    broken([](DesignData& d) { d.subjects[1] = "s1"; });
    broken([](DesignData& d) { d.averagedRows = 3; });
    broken([](DesignData& d) { d.within[0].levels.pop_back(); });
    broken([](DesignData& d) { d.exact = false; });
}

// The CSV model, the text checks and the figures' checks against known
// texts, each able to refuse: a check that passes everything would let every
// fault through.
TEST(CorpusReplay, TheCsvModelAndTheTextChecksAgreeWithKnownTexts) {
    using properties::CsvRecords;
    using Records = std::vector<properties::CsvRecord>;
    EXPECT_EQ(CsvRecords("a,\"b\"\"c\",\r\n\"x\r\ny;\",z\r\rlast", ','),
              (Records{{"a", "b\"c", ""}, {"x\r\ny;", "z"}, {""}, {"last"}}));
    EXPECT_EQ(CsvRecords("\"x\";z", ','), std::nullopt);
    EXPECT_EQ(CsvRecords("a;b\n", ';'), (Records{{"a", "b"}}));
    EXPECT_EQ(CsvRecords("", ','), Records{});
    EXPECT_EQ(CsvRecords("a,\"b", ','), std::nullopt);
    EXPECT_EQ(CsvRecords("\"b\"c", ','), std::nullopt);
    EXPECT_EQ(properties::FirstLineSeparator("\"a;b;c\";x\tt\ty;;\n,,,,"), ';');
    EXPECT_EQ(properties::FirstLineSeparator("a\tb;c\n"), ';');
    EXPECT_EQ(properties::FirstLineSeparator("abc"), ',');

    CsvImportOptions options;
    auto model =
        properties::ReadCsvModel("subject,A,B,score\n2,x,p, 1.5 \n1,x,p,2\n2,y,p,3\n1,y,p,4\n", options);
    ASSERT_EQ(model.outcome, properties::CsvOutcome::Read);
    EXPECT_EQ(model.study.n, 2);
    EXPECT_EQ(model.study.namesA, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(model.study.scores, (std::vector<std::string>{"1.5", "2", "3", "4"}));
    EXPECT_EQ(properties::ReadCsvModel("subject,A,B,score\n1,x,p,1\n1,x,p,2\n", options).outcome,
              properties::CsvOutcome::Refused);
    options.layout = CsvLayout::Wide;
    options.levelsA = {"a"};
    EXPECT_EQ(properties::ReadCsvModel("s,x\n", options).outcome, properties::CsvOutcome::NoLevels);
    options.levelsB = {"é"};
    EXPECT_EQ(properties::ReadCsvModel("s,x\n", options).outcome, properties::CsvOutcome::Refused);

    EXPECT_TRUE(properties::IsUtf8("a\xC3\xA9\xE2\x85\xA0\xF0\x9F\x98\x80"));
    for (const char* bad :
         {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x85"})
        EXPECT_FALSE(properties::IsUtf8(bad)) << bad;
    EXPECT_EQ(properties::JsonFault(" {\"a\":[1,-0.5e+3,null,true,\"\\u00e9\\n\"],\"b\":{}}\n"),
              std::nullopt);
    for (const char* bad : {"{\"a\":NaN}", "[Infinity]", "[-inf]", "[1,]", "{\"a\" 1}", "[01]", "[1.]",
                            "\"\t\"", "[1] [2]", "{\"a\":1", "\"\\x\"", "[.5]"})
        EXPECT_NE(properties::JsonFault(bad), std::nullopt) << bad;

    EXPECT_TRUE(properties::SameExceptTwinCodes("x\xFA\x4A\xEE\xEFy", "x\x87\x54\xFA\x40y"));
    EXPECT_FALSE(properties::SameExceptTwinCodes("\xFA\x4A", "\xFA\x4B"));
    EXPECT_FALSE(properties::SameExceptTwinCodes("\x82\xA0", "\x82\xA2"));
    EXPECT_FALSE(properties::SameExceptTwinCodes("ab", "a"));

    anova::Analysis analysis;
    analysis.within = {{"A", {"a1", "a2"}}, {"B", {"b1", "b2", "b3"}}};
    analysis.effects.resize(1);
    EXPECT_NO_THROW(properties::RequireSoundFigures(analysis));
    analysis.effects[0].p = Extended{1.5L};
    EXPECT_THROW(properties::RequireSoundFigures(analysis), properties::Violation);
    analysis.effects[0].p = std::numeric_limits<Extended>::quiet_NaN();
    EXPECT_THROW(properties::RequireSoundFigures(analysis), properties::Violation);
    analysis.effects[0].p.reset();
    analysis.comparisons.push_back({});
    analysis.comparisons.back().at = {anova::kOver, anova::kOver};
    analysis.comparisons.back().ci95 = Interval{2, 1};
    EXPECT_THROW(properties::RequireSoundFigures(analysis), properties::Violation);
    analysis.comparisons.clear();
    // A subject but no mean of its cells.
    analysis.subjects = 1;
    EXPECT_THROW(properties::RequireSoundFigures(analysis), properties::Violation);
    analysis.subjects = 0;
    // The checks' figures too, each named by its path.
    analysis.rankBased.contrasts.push_back({1, {}});
    analysis.rankBased.contrasts.back().contrast.pHolm = Extended{-0.25L};
    try {
        properties::RequireSoundFigures(analysis);
        ADD_FAILURE() << "a negative p passed";
    } catch (const properties::Violation& v) {
        EXPECT_NE(std::string(v.what()).find("rankBased.alignedRankTransform.contrasts[0].pHolm"),
                  std::string::npos)
            << v.what();
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
