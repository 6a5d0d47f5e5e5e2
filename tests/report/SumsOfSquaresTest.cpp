#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <utility>

#include "report/SumsOfSquares.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "scores/ParseScores.h"
#include "support/RandomScores.h"

namespace morvane {
namespace {

// A study of n subjects with scores given by subject, then A level, then B level.
StudyStore Study(int n, int na, int nb, const std::vector<std::string>& scores) {
    StudyStore store;
    StartNewStudy(store, std::vector<std::string>(static_cast<size_t>(na)),
                  std::vector<std::string>(static_cast<size_t>(nb)), std::to_string(n));
    SizeCellValue(store);
    size_t k = 0;
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) store.CellText(s, a, b) = scores[k++ % scores.size()];
    ParseAllScores(store, '.');
    return store;
}

const std::vector<std::string> kWorkedScores = {"3", "5", "4", "8", "2", "4", "3", "7", "4", "6", "6", "9"};

TEST(SumsOfSquares, WorkedExample) {
    const SumsOfSquares ss = ComputeSumsOfSquares(Study(3, 2, 2, kWorkedScores));
    // The large sums keep 18 significant digits; the smaller ones lose some to
    // cancellation in their subtractions.
    auto relative = [](Extended value, Extended exact) { return fabsl(value - exact) / exact; };
    EXPECT_LT(relative(ss.SSTotal, 611.0L / 12), 5e-18L);
    EXPECT_LT(relative(ss.SSS, 61.0L / 6), 5e-18L);
    EXPECT_LT(relative(ss.SSA, 169.0L / 12), 5e-18L);
    EXPECT_LT(relative(ss.SSB, 289.0L / 12), 5e-18L);
    EXPECT_LT(relative(ss.SSAB, 25.0L / 12), 5e-17L);
    for (Extended error : {ss.SSAS, ss.SSBS, ss.SSABS}) EXPECT_LT(relative(error, 1.0L / 6), 5e-16L);
}

TEST(SumsOfSquares, OneLevelOrOneSubjectGiveExactZeros) {
    const std::vector<std::string> scores = {"3.1", "5", "4.7", "8", "2",    "4.25", "3",
                                             "7",   "4", "6.5", "6", "9.75", "1"};
    const SumsOfSquares oneA = ComputeSumsOfSquares(Study(4, 1, 3, scores));
    for (Extended v : {oneA.SSA, oneA.SSAB, oneA.SSAS, oneA.SSABS}) EXPECT_EQ(v, 0.0L);
    EXPECT_NE(oneA.SSB, 0.0L);
    const SumsOfSquares oneB = ComputeSumsOfSquares(Study(4, 3, 1, scores));
    for (Extended v : {oneB.SSB, oneB.SSAB, oneB.SSBS, oneB.SSABS}) EXPECT_EQ(v, 0.0L);
    const SumsOfSquares oneS = ComputeSumsOfSquares(Study(1, 3, 4, scores));
    for (Extended v : {oneS.SSS, oneS.SSAS, oneS.SSBS, oneS.SSABS}) EXPECT_EQ(v, 0.0L);
    EXPECT_NE(oneS.SSAB, 0.0L);
}

TEST(SumsOfSquares, PartsAddUpToTheTotal) {
    std::vector<std::string> scores;
    for (int i = 0; i < 97; ++i)
        scores.push_back(std::to_string((i * 37) % 23) + "." + std::to_string(i % 10));
    const SumsOfSquares ss = ComputeSumsOfSquares(Study(7, 3, 5, scores));
    const Extended parts = ss.SSS + ss.SSA + ss.SSAS + ss.SSB + ss.SSBS + ss.SSAB + ss.SSABS;
    EXPECT_NEAR(static_cast<double>(parts), static_cast<double>(ss.SSTotal), 1e-12);
    EXPECT_GT(ss.SSABS, 0.0L);
}

TEST(SumsOfSquares, ArithmeticErrors) {
    EXPECT_THROW(ComputeSumsOfSquares(Study(0, 2, 2, {"1"})), InvalidOperationError);
    EXPECT_THROW(ComputeSumsOfSquares(Study(2, 2, 2, {"1e2467", "1"})), OverflowError);
    EXPECT_THROW(ComputeSumsOfSquares(Study(2, 2, 2, {"1e4932", "1e4932"})), OverflowError);
    EXPECT_NO_THROW(ComputeSumsOfSquares(Study(-1, 2, 2, {"1"})));
}

TEST(SumsOfSquares, ParsingStopsAtTheFirstBadTextInSubjectOrder) {
    StudyStore store;
    StartNewStudy(store, {"a1", "a2"}, {"b1", "b2"}, "2");
    SizeCellValue(store);
    for (int s = 1; s <= 2; ++s)
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 2; ++b) store.CellText(s, a, b) = "1";
    store.CellValue(2, 1, 1) = 42;
    store.CellText(2, 2, 1) = "x";  // after (2,1,1) in the order subject, A, B
    store.CellText(1, 2, 2) = "";
    try {
        ParseAllScores(store, '.');
        FAIL();
    } catch (const ConvertError& error) {
        EXPECT_EQ(error.message(), Cp932FromUtf8("'' は浮動小数点数ではありません"));
    }
    EXPECT_EQ(store.CellValue(1, 2, 1), 1.0L);
    EXPECT_EQ(store.CellValue(2, 1, 1), 42.0L);  // after the failing cell: untouched
}

// The sweep of the parsed blocks, as the calculate command sums them: the
// sums of squares of CellValue bit for bit, and the totals of its tables.
TEST(SumsOfSquares, TheSweepOfTheParsedBlocksGivesWhatCellValueGives) {
    std::mt19937_64 random(8);
    for (const auto& c : testing::kRandomStudies) {
        SCOPED_TRACE(::testing::Message() << c.n << " x " << c.na << " x " << c.nb << ", kind " << c.kind);
        StudyStore reference = testing::RandomStudy(random, c.n, c.na, c.nb, c.kind);
        StudyStore store = reference;
        ParseAllScores(reference, '.');
        SumsOfSquaresSweep sweep(store);
        ParsedBlockSink* const sinks[] = {&sweep};
        ParseAllScores(std::as_const(store), '.', sinks);
        std::optional<SumsOfSquares> swept, computed;
        try {
            computed = ComputeSumsOfSquares(reference);
        } catch (const OverflowError&) {
        }
        try {
            swept = sweep.Finish(store);
        } catch (const OverflowError&) {
        }
        ASSERT_EQ(swept.has_value(), computed.has_value());
        if (!computed) continue;
        for (auto field :
             {&SumsOfSquares::SSTotal, &SumsOfSquares::SSA, &SumsOfSquares::SSB, &SumsOfSquares::SSS,
              &SumsOfSquares::SSAB, &SumsOfSquares::SSAS, &SumsOfSquares::SSBS, &SumsOfSquares::SSABS})
            EXPECT_TRUE(testing::SameBits((*swept).*field, (*computed).*field));
        for (int a = 1; a <= c.na; ++a)
            for (int b = 1; b <= c.nb; ++b) {
                Extended total = 0;
                for (int s = 1; s <= c.n; ++s) total += reference.CellValue(s, a, b);
                EXPECT_TRUE(testing::SameBits(
                    sweep.CellTotals()[static_cast<std::size_t>((a - 1) * c.nb + b - 1)], total));
            }
    }
}

}  // namespace
}  // namespace morvane
