// A data file's study as a design: each score's units on the least power of
// ten of them all, whichever way its text is read (short, long, beyond 19
// digits), the power moving down as smaller places come; the extended values
// where the units do not fit; subjects with an empty score removed; and the
// parse's blocks handed to the sinks beside, which then sum as a parse of
// their own would.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "design/StudyDesign.h"
#include "report/SumsOfSquares.h"
#include "runtime/Errors.h"
#include "scores/ParseScores.h"
#include "scores/ScoreSyntax.h"
#include "store/StudyStore.h"

namespace morvane {
namespace {

// A study of n subjects, na x nb levels, its texts from text(s, a, b).
template <class Text>
StudyStore Study(int n, int na, int nb, Text&& text) {
    std::vector<std::string> namesA, namesB;
    for (int a = 1; a <= na; ++a) namesA.push_back("a" + std::to_string(a));
    for (int b = 1; b <= nb; ++b) namesB.push_back("b" + std::to_string(b));
    StudyStore store;
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) store.CellText.Set(s, a, b, text(s, a, b));
    return store;
}

// Counts the subjects of the blocks it takes.
class Counting final : public ParsedBlockSink {
public:
    std::int64_t subjects = 0;
    void Take(const ParsedBlock& block) override { subjects += block.count; }
};

std::vector<Int128> Units(std::initializer_list<long long> units) {
    return std::vector<Int128>(units.begin(), units.end());
}

TEST(StudyDesign, TakesEveryScoreOnTheLeastPlaceAndHandsTheBlocksOn) {
    // Short and long texts, a sign, an exponent, spaces, a zero, more than 19
    // digits; the hundredths come after the tenths.
    const std::vector<std::string> texts{"57.3", "12",      " -4.25 ", "1e2",    "0.50",
                                         "0",    "+1.5E-1", "123456.789", "-0.0", "1234567890123456789.25"};
    StudyStore mixed = Study(2, 1, 5, [&](int s, int, int b) { return texts[static_cast<std::size_t>((s - 1) * 5 + b - 1)]; });
    Counting counting;
    ParsedBlockSink* const beside[] = {&counting};
    DesignData d = DesignFromStudy(mixed, '.', beside);
    EXPECT_TRUE(d.exact);
    EXPECT_EQ(d.scale, 3);
    const Int128 long19 = static_cast<Int128>(1234567890123456789LL) * 1000 + 250;
    EXPECT_EQ(d.units, (std::vector<Int128>{57300, 12000, -4250, 100000, 500, 0, 150, 123456789, 0, long19}));
    EXPECT_EQ(d.rows, std::vector<std::int32_t>(10, 1));
    EXPECT_EQ(d.subjects, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(counting.subjects, 2);

    // Units beyond 128 bits, or a score of 39 digits: exact still, in GMP integers.
    for (const std::string& wide : {std::string("1e30"), std::string(39, '7')}) {
        const StudyStore study = Study(3, 2, 2, [&](int s, int a, int b) {
            return s == 2 && a == 2 && b == 1 ? wide : std::to_string(s + a) + ".0000000001";
        });
        d = DesignFromStudy(study, '.');
        EXPECT_TRUE(d.exact) << wide;
        EXPECT_TRUE(d.units.empty()) << wide;
        EXPECT_EQ(d.scale, 10);
        ASSERT_EQ(d.wideUnits.size(), 12u) << wide;
        const mpz_class whole(wide == "1e30" ? "1" + std::string(30, '0') : wide);
        EXPECT_EQ(d.wideUnits[6], whole * mpz_class("10000000000")) << wide;
        EXPECT_EQ(d.wideUnits[0], mpz_class("20000000001"));
        EXPECT_EQ(d.rows, std::vector<std::int32_t>(12, 1));
    }
    // Powers of ten further apart than the exact sums take: the extended values.
    const StudyStore apart = Study(2, 2, 2, [](int s, int a, int) {
        return s == 1 && a == 1 ? std::string("1e-3000") : std::to_string(s + a);
    });
    d = DesignFromStudy(apart, '.');
    EXPECT_FALSE(d.exact);
    EXPECT_TRUE(d.units.empty() && d.wideUnits.empty());
    ASSERT_EQ(d.values.size(), 8u);
    EXPECT_EQ(d.values[2], ScoreValue("3", '.'));

    // An empty score removes its subject; a bad text stops the design at the first in order.
    StudyStore holes = Study(4, 2, 2, [](int s, int a, int b) {
        return s == 3 && a == 1 && b == 2 ? std::string(" ") : std::to_string(s * a + b) + ".5";
    });
    d = DesignFromStudy(holes, '.', beside);
    EXPECT_EQ(d.removed, std::vector<std::string>{"3"});
    EXPECT_EQ(d.subjects, (std::vector<std::string>{"1", "2", "4"}));
    EXPECT_EQ(d.units, Units({25, 35, 35, 45, 35, 45, 55, 65, 55, 65, 95, 105}));
    holes.CellText.Set(4, 1, 1, "x");
    holes.CellText.Set(2, 2, 2, "1..2");
    try {
        DesignFromStudy(holes, '.', beside);
        ADD_FAILURE() << "no error";
    } catch (const ConvertError& e) {
        ASSERT_TRUE(e.cell().has_value());
        EXPECT_EQ(*e.cell(), (ScoreCell{2, 2, 2}));
    }
}

TEST(StudyDesign, ManyBlocksOfRandomPlacesGiveTheirUnitsAndTheResultsFileSums) {
    // 1000 subjects x 3 x 4: many blocks, taken on the parse's own thread.
    std::mt19937_64 random(11);
    std::uniform_int_distribution<long long> value(-2000000, 2000000);
    std::uniform_int_distribution<int> places(0, 3);
    std::vector<long long> units;
    std::vector<int> exponents;
    const auto text = [&](int, int, int) {
        long long u = value(random);
        int p = places(random);
        if (units.size() == 5000) u = 7, p = 4;  // a smaller place, late
        std::string digits = std::to_string(u < 0 ? -u : u);
        if (p > 0) {
            digits.insert(0, static_cast<std::size_t>(std::max(0, p + 1 - static_cast<int>(digits.size()))), '0');
            digits.insert(digits.size() - static_cast<std::size_t>(p), ".");
        }
        // The exponent of the last significant digit.
        int e = -p;
        while (u != 0 && u % 10 == 0) u /= 10, ++e;
        units.push_back(u), exponents.push_back(e);
        return (u < 0 ? "-" : "") + digits;
    };
    StudyStore store = Study(1000, 3, 4, text);
    SumsOfSquaresSweep sweep(store);
    ParsedBlockSink* const beside[] = {&sweep};
    const DesignData d = DesignFromStudy(store, '.', beside);
    int least = 0;
    for (std::size_t i = 0; i < units.size(); ++i)
        if (units[i] != 0) least = std::min(least, exponents[i]);
    ASSERT_TRUE(d.exact);
    EXPECT_EQ(d.scale, -least);
    ASSERT_EQ(d.units.size(), units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        Int128 expected = units[i];
        for (int k = least; k < exponents[i]; ++k) expected *= 10;
        ASSERT_TRUE(d.units[i] == expected) << "score " << i;
    }
    // The sums of the sweep beside are those of a parse of their own.
    const SumsOfSquares swept = sweep.Finish(store);
    SizeCellValue(store);
    ParseAllScores(store, '.');
    const SumsOfSquares own = ComputeSumsOfSquares(store);
    for (const auto member : {&SumsOfSquares::SSTotal, &SumsOfSquares::SSA, &SumsOfSquares::SSB,
                              &SumsOfSquares::SSS, &SumsOfSquares::SSAB, &SumsOfSquares::SSAS,
                              &SumsOfSquares::SSBS, &SumsOfSquares::SSABS})
        EXPECT_EQ(swept.*member, own.*member);
}

}  // namespace
}  // namespace morvane
