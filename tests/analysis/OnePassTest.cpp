// The one pass of the calculate command over the scores (values, exact totals
// and the sums of squares a block of subjects at a time) against the separate
// passes it stands for, on random studies whose scores change scale, span too
// many places for machine integers, or fail to parse.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "analysis/CalculateCommand.h"
#include "analysis/ExactSums.h"
#include "analysis/FullAnalysis.h"
#include "analysis/Padding.h"
#include "analysis/ParseScores.h"
#include "analysis/ScoreSyntax.h"
#include "analysis/SumsOfSquares.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

bool SameBits(Extended x, Extended y) {
    // The 80 bits of the format; the padding after them is not part of the value.
    return std::memcmp(&x, &y, 10) == 0;
}

// A random score text of the kinds a study holds, and some it rarely does.
std::string RandomScore(std::mt19937_64& random, char separator, int kind) {
    std::uniform_int_distribution<int> pick(0, 99);
    std::string text;
    if (pick(random) < 5) text += "  ";
    if (pick(random) < 30) text += pick(random) < 80 ? "-" : "+";
    const int integer = kind == 0 ? 1 + pick(random) % 3 : pick(random) % 22;
    const int fraction = kind == 0 ? pick(random) % 3 : pick(random) % 22;
    for (int i = 0; i < integer; ++i) text += static_cast<char>('0' + pick(random) % 10);
    if (fraction > 0 || pick(random) < 10) {
        text += separator;
        for (int i = 0; i < fraction; ++i)
            text += static_cast<char>('0' + (pick(random) < 30 ? 0 : pick(random) % 10));
    }
    if (integer == 0 && fraction == 0) text += "7";
    if (kind != 0 && pick(random) < 25) {
        text += pick(random) < 50 ? "e" : "E";
        if (pick(random) < 50) text += pick(random) < 60 ? "-" : "+";
        text += std::to_string(pick(random) % (kind == 2 ? 40 : 12));
    }
    if (pick(random) < 5) text += " ";
    return text;
}

TEST(OnePass, QuickScoresAgreeWithTheScoreSyntax) {
    std::mt19937_64 random(20261208);
    int quick = 0;
    for (int i = 0; i < 200000; ++i) {
        const char separator = i % 4 == 0 ? ',' : '.';
        std::string text = RandomScore(random, separator, i % 3);
        if (i % 97 == 0) text += "x";              // not a score
        if (i % 89 == 0) text = separator + text;  // two separators, or a leading one
        if (i % 83 == 0) text = "1e5000";          // an exponent beyond the syntax
        const std::optional<Extended> value = ParseScore(text, separator);
        QuickScore q;
        if (!ReadQuickScore(text, separator, q)) continue;
        ++quick;
        ASSERT_TRUE(value.has_value()) << text;
        EXPECT_TRUE(SameBits(q.value, *value)) << text;
        // digits x 10^exponent is the text's value: its digits, without the
        // leading and trailing zeros, and the place of the last one.
        const auto parts = ScanScore(text, separator);
        ASSERT_TRUE(parts.has_value()) << text;
        std::string all = std::string(parts->integerDigits) + std::string(parts->fractionDigits);
        const std::size_t lead = all.find_first_not_of('0');
        if (lead == std::string::npos) {
            EXPECT_EQ(q.digits, 0u) << text;
            continue;
        }
        const std::size_t end = all.find_last_not_of('0') + 1;
        EXPECT_EQ(std::to_string(q.digits), all.substr(lead, end - lead)) << text;
        EXPECT_EQ(q.digitCount, static_cast<int>(end - lead)) << text;
        EXPECT_EQ(q.exponent, parts->exponent - static_cast<int>(parts->fractionDigits.size()) +
                                  static_cast<int>(all.size() - end))
            << text;
        EXPECT_EQ(q.negative, parts->negative) << text;
    }
    EXPECT_GT(quick, 100000);

    // The memo gives what a reading gives, text after text, when texts of one
    // length share their key bytes and when many texts share its places.
    for (const char separator : {'.', ','}) {
        QuickScoreMemo memo(separator);
        std::vector<std::string> texts = {"1",        "12",        "1" + std::string(1, separator) + "2",
                                          "102",      "120",       "12345678",
                                          "12344678", "123456789", "-0",
                                          "+0",       " 7",        "7 ",
                                          "x"};
        for (int i = 0; i < 20000; ++i) texts.push_back(RandomScore(random, separator, i % 2));
        for (int round = 0; round < 3; ++round)
            for (std::size_t i = 0; i < texts.size(); i += 1 + static_cast<std::size_t>(round)) {
                const std::string& text = texts[i];
                QuickScore expected;
                const bool readable = ReadQuickScore(text, separator, expected) && text.size() <= 8;
                const QuickScoreMemo::Score* got = memo.Read(text);
                ASSERT_EQ(got != nullptr, readable) << text;
                if (!got) continue;
                EXPECT_TRUE(SameBits(got->Value(), expected.value)) << text;
                EXPECT_EQ(got->digits, expected.digits) << text;
                EXPECT_EQ(got->exponent, expected.exponent) << text;
                EXPECT_EQ(got->digitCount, expected.digitCount) << text;
                EXPECT_EQ(got->negative, expected.negative) << text;
            }
    }

    QuickScore q;
    for (const char* common : {"46.5", "-0.25", " 12 ", "1e3", "0", "-0", "007.50"})
        EXPECT_TRUE(ReadQuickScore(common, '.', q)) << common;
    EXPECT_TRUE(ReadQuickScore("-0", '.', q) && std::signbit(q.value));
}

StudyStore RandomStudy(std::mt19937_64& random, int n, int na, int nb, int kind) {
    StudyStore store;
    std::vector<std::string> namesA, namesB;
    for (int a = 1; a <= na; ++a) namesA.push_back("a" + std::to_string(a));
    for (int b = 1; b <= nb; ++b) namesB.push_back("b" + std::to_string(b));
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    SizeCellValue(store);
    std::uniform_int_distribution<int> pick(0, 999);
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) {
                std::string text;
                switch (kind) {
                    case 0:  // one decimal, as measurements are typed
                        text = std::to_string(pick(random) % 100) + "." + std::to_string(pick(random) % 10);
                        break;
                    case 1:  // the smallest place moves down now and then: the totals are rescaled
                        text =
                            std::to_string(pick(random)) + "e-" + std::to_string(pick(random) % (1 + s / 16));
                        if (pick(random) < 50) text = "0.000";
                        break;
                    case 2:  // offset data of nineteen digits, some scores long past the fast form
                        text = "123456789012345" + std::to_string(1000 + pick(random) % 9000);
                        if (pick(random) < 20) text += ".5000000000000000000001";
                        break;
                    case 3:  // a span of places no 128-bit total holds
                        text = std::to_string(1 + pick(random)) + (pick(random) < 500 ? "e25" : "e-25");
                        break;
                    case 5:  // the edges of the 64-bit sums: nine places and ten, and late a
                             // smaller place, which narrows them while sums are pending
                        text = (pick(random) < 500 ? "-" : "") +
                               std::string(pick(random) < 100 ? "1999999999" : "999999999");
                        if (s > n / 2 && pick(random) < 10) text = "0.5";
                        break;
                    default:  // far beyond: the centred method
                        text = std::to_string(1 + pick(random)) + (pick(random) < 500 ? "e2000" : "e-2000");
                        break;
                }
                store.CellText(s, a, b) = text;
            }
    return store;
}

void ExpectSameSource(const PartitionSource& x, const PartitionSource& y, const char* name) {
    EXPECT_TRUE(SameBits(x.ss, y.ss)) << name;
    EXPECT_EQ(x.df, y.df) << name;
    EXPECT_EQ(x.ms.has_value(), y.ms.has_value()) << name;
    if (x.ms && y.ms) {
        EXPECT_TRUE(SameBits(*x.ms, *y.ms)) << name;
    }
    EXPECT_EQ(x.zero, y.zero) << name;
}

TEST(OnePass, GivesWhatTheSeparatePassesGive) {
    std::mt19937_64 random(8);
    const struct {
        int n, na, nb, kind;
    } cases[] = {{1, 1, 1, 0},
                 {3, 2, 3, 0},
                 {64, 2, 2, 0},
                 {65, 3, 2, 0},
                 {200, 4, 3, 0},
                 {150, 3, 3, 1},
                 {130, 2, 5, 1},
                 {70, 2, 2, 2},
                 {90, 3, 2, 3},
                 {40, 2, 3, 4},
                 // More blocks than a batch: the totals on a thread of their own.
                 {700, 2, 2, 0},
                 {600, 3, 2, 1},
                 {500, 2, 3, 3},
                 {400, 2, 2, 4},
                 {60, 3, 2, 5},
                 {700, 2, 3, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.n << " x " << c.na << " x " << c.nb << ", kind " << c.kind);
        StudyStore store = RandomStudy(random, c.n, c.na, c.nb, c.kind);
        StudyStore reference = store;
        ParseAllScores(reference, '.');
        ExactTotalsBuilder exact(store);
        SumsOfSquaresSweep sweep(store);
        ParseAllScores(store, '.', exact, sweep);
        for (int s = 1; s <= c.n; ++s)
            for (int a = 1; a <= c.na; ++a)
                for (int b = 1; b <= c.nb; ++b)
                    ASSERT_TRUE(SameBits(store.CellValue(s, a, b), ScoreValue(store.CellText(s, a, b), '.')));

        // The sums of squares of the results file, bit for bit, and the totals of its tables.
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
        if (computed) {
            for (auto field :
                 {&SumsOfSquares::SSTotal, &SumsOfSquares::SSA, &SumsOfSquares::SSB, &SumsOfSquares::SSS,
                  &SumsOfSquares::SSAB, &SumsOfSquares::SSAS, &SumsOfSquares::SSBS, &SumsOfSquares::SSABS})
                EXPECT_TRUE(SameBits((*swept).*field, (*computed).*field));
            for (int a = 1; a <= c.na; ++a)
                for (int b = 1; b <= c.nb; ++b) {
                    Extended total = 0;
                    for (int s = 1; s <= c.n; ++s) total += reference.CellValue(s, a, b);
                    EXPECT_TRUE(SameBits(sweep.CellTotals()[static_cast<std::size_t>((a - 1) * c.nb + b - 1)],
                                         total));
                }
        }

        // The exact partition, with the offsets the analysis reads.
        const ExactPartition one = exact.Finish(store, '.', true);
        const ExactPartition apart = ComputeExactPartition(reference, '.', true);
        EXPECT_EQ(one.method, apart.method);
        ExpectSameSource(one.S, apart.S, "S");
        ExpectSameSource(one.A, apart.A, "A");
        ExpectSameSource(one.AS, apart.AS, "AS");
        ExpectSameSource(one.B, apart.B, "B");
        ExpectSameSource(one.BS, apart.BS, "BS");
        ExpectSameSource(one.AB, apart.AB, "AB");
        ExpectSameSource(one.ABS, apart.ABS, "ABS");
        ExpectSameSource(one.Total, apart.Total, "Total");
        ExpectSameSource(one.Within, apart.Within, "Within");
        for (auto f : {&ExactPartition::fA, &ExactPartition::fB, &ExactPartition::fAB}) {
            ASSERT_EQ((one.*f).has_value(), (apart.*f).has_value());
            if (one.*f) {
                EXPECT_TRUE(SameBits(*(one.*f), *(apart.*f)));
            }
        }
        EXPECT_TRUE(SameBits(one.reference, apart.reference));
        ASSERT_EQ(one.offsets.size(), apart.offsets.size());
        for (std::size_t i = 0; i < one.offsets.size(); ++i)
            ASSERT_TRUE(SameBits(one.offsets[i], apart.offsets[i]));
        EXPECT_EQ(one.integerOffsets, apart.integerOffsets);
        EXPECT_EQ(one.offsetScale, apart.offsetScale);
        EXPECT_EQ(one.offsetBound, apart.offsetBound);
        EXPECT_EQ(one.ExtendedOffsets().size(), static_cast<std::size_t>(c.n * c.na * c.nb));
    }
}

TEST(OnePass, ABadTextStopsItInSubjectOrderWithTheRestUntouched) {
    std::mt19937_64 random(3);
    StudyStore store = RandomStudy(random, 100, 2, 2, 0);
    // In a block's cell-by-cell order (5, 1, 2) comes first; in subject order (3, 2, 1).
    store.CellText(5, 1, 2) = "5x";
    store.CellText(3, 2, 1) = "3x";
    store.CellText(90, 1, 1) = "90x";
    for (int s = 1; s <= 100; ++s) store.CellValue(s, 1, 1) = 42;
    ExactTotalsBuilder exact(store);
    SumsOfSquaresSweep sweep(store);
    try {
        ParseAllScores(store, '.', exact, sweep);
        FAIL();
    } catch (const ConvertError& error) {
        EXPECT_EQ(error.message(), Cp932FromUtf8("'3x' は浮動小数点数ではありません"));
    }
    EXPECT_EQ(store.CellValue(3, 1, 1), ScoreValue(store.CellText(3, 1, 1), '.'));
    EXPECT_EQ(store.CellValue(4, 1, 1), 42.0L);  // after the bad text: as it was
    EXPECT_EQ(store.CellValue(70, 1, 1), 42.0L);
    store.CellText(3, 2, 1) = "3";
    try {
        ParseAllScores(store, '.');
        FAIL();
    } catch (const ConvertError& error) {
        EXPECT_EQ(error.message(), Cp932FromUtf8("'5x' は浮動小数点数ではありません"));
    }
    EXPECT_EQ(store.CellValue(70, 1, 1), 42.0L);

    // The same while the totals' thread is still at the blocks before, whose
    // scores it reads the slow way: it is done with them before they go. The
    // bad text is the first of the block after a batch was handed on (blocks
    // of 64 subjects, four to a batch).
    StudyStore big = RandomStudy(random, 6000, 2, 3, 2);
    big.CellText(4865, 1, 1) = "4865x";
    for (const KeepValues keep : {KeepValues::Yes, KeepValues::No}) {
        ExactTotalsBuilder bigExact(big);
        SumsOfSquaresSweep bigSweep(big);
        try {
            ParseAllScores(big, '.', bigExact, bigSweep, keep);
            FAIL();
        } catch (const ConvertError& error) {
            EXPECT_EQ(error.message(), Cp932FromUtf8("'4865x' は浮動小数点数ではありません"));
        }
    }
}

TEST(OnePass, CalculationWithItsCheckWritesTheSameFile) {
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
        ASSERT_EQ(RunCalculation(
                      checked, '.', [&] { return std::optional<std::string>(two); }, precision),
                  CalculationOutcome::Written);
        EXPECT_EQ(testing::ReadBytes(one), testing::ReadBytes(two));
        // Without the values kept: the same file and check, CellValue never sized.
        std::optional<PrecisionCheck> unkeptPrecision;
        ASSERT_EQ(RunCalculation(
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
        EXPECT_EQ(RunCalculation(
                      checked, '.', [] { return std::optional<std::string>(); }, cancelled),
                  CalculationOutcome::Cancelled);
        EXPECT_FALSE(cancelled.has_value());
    }
}

}  // namespace
}  // namespace morvane
