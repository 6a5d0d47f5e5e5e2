// The parse of every score: the quick reading and its memo against the score
// syntax, the blocks handed to sinks (here sinks of the test's own that check
// what they are given), on the parse's thread and on the pipeline's, and the
// order in which a bad text stops it.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <stdexcept>
#include <utility>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "scores/ParseScores.h"
#include "scores/QuickScore.h"
#include "scores/ScoreMemo.h"
#include "scores/ScoreSyntax.h"
#include "store/DataFile.h"
#include "support/RandomScores.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::RandomScore;
using testing::RandomStudy;
using testing::SameBits;

TEST(ParseScores, QuickScoresAndTheMemoAgreeWithTheScoreSyntax) {
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

// A sink that checks each block against the texts: the subjects follow one
// another from 1, every value is the text's, and present digits are those
// of the quick reading. One block at a time, never two at once; it fails
// with std::runtime_error at block `failAt` (from 0) when asked to.
class CheckingSink final : public ParsedBlockSink {
public:
    explicit CheckingSink(char separator, int failAt = -1) : separator_(separator), failAt_(failAt) {}

    void Take(const ParsedBlock& block) override {
        EXPECT_FALSE(inside_.exchange(true)) << "two blocks at once";
        if (blocks_ == failAt_) {
            inside_ = false;
            throw std::runtime_error("sink failed");
        }
        EXPECT_EQ(block.first, next_);
        next_ += block.count;
        ++blocks_;
        if (block.values) ++wholeBlocks_;
        for (std::int32_t a = 0; a < block.levelsA; ++a)
            for (std::int32_t b = 0; b < block.levelsB; ++b)
                for (std::int32_t t = 0; t < block.count; ++t) {
                    const std::size_t at = block.At(a, b, t);
                    const std::string_view text = block.Text(a, b, t);
                    wrongValues_ += !SameBits(block.Value(at), ScoreValue(text, separator_));
                    const ScoreDigits& d = block.digits[at];
                    if (!d.present) {
                        ++missing_;
                        continue;
                    }
                    QuickScore q;
                    wrongDigits_ += !ReadQuickScore(text, separator_, q) || q.digits != d.digits ||
                                    q.exponent != d.exponent || q.digitCount != d.digitCount ||
                                    q.negative != d.negative;
                }
        if (!block.everyDigitPresent) ++blocksMissing_;
        inside_ = false;
    }

    std::int32_t next_ = 1;
    int blocks_ = 0, wholeBlocks_ = 0, blocksMissing_ = 0, wrongValues_ = 0, wrongDigits_ = 0, missing_ = 0;

private:
    char separator_;
    int failAt_;
    std::atomic<bool> inside_ = false;
};

TEST(ParseScores, EveryBlockReachesEverySinkInOrderWithTheValuesOfItsTexts) {
    std::mt19937_64 random(8);
    const struct {
        int n, na, nb, kind;
    } cases[] = {{1, 1, 1, 0},
                 {3, 2, 3, 0},
                 {65, 3, 2, 0},
                 // More blocks than a batch: the sinks take them on the pipeline's thread.
                 {700, 2, 2, 0},
                 {600, 3, 2, 1},
                 {500, 2, 3, 2},
                 {400, 2, 2, 4},
                 {700, 2, 3, 5},
                 // Blocks of one subject, of more values than the pipeline's thread takes.
                 {5, 300, 500, 0}};
    testing::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.n << " x " << c.na << " x " << c.nb << ", kind " << c.kind);
        StudyStore store = RandomStudy(random, c.n, c.na, c.nb, c.kind);
        if (c.kind == 4) store.CellText(c.n, 1, 1) = "3e-4000";  // no pair of doubles holds it
        CheckingSink first('.'), second('.');
        ParsedBlockSink* const sinks[] = {&first, &second};
        ParseAllScores(store, '.', sinks, KeepValues::Yes);
        int wrongKept = 0;
        for (int s = 1; s <= c.n; ++s)
            for (int a = 1; a <= c.na; ++a)
                for (int b = 1; b <= c.nb; ++b)
                    wrongKept +=
                        !SameBits(store.CellValue(s, a, b), ScoreValue(store.CellText(s, a, b), '.'));
        EXPECT_EQ(wrongKept, 0);
        for (const CheckingSink* sink : {&first, &second}) {
            EXPECT_EQ(sink->next_, c.n + 1);
            EXPECT_EQ(sink->wrongValues_, 0);
            EXPECT_EQ(sink->wrongDigits_, 0);
            EXPECT_EQ(sink->blocksMissing_ > 0, sink->missing_ > 0);
        }
        EXPECT_EQ(first.wholeBlocks_ > 0, c.kind == 4);
        if (c.kind == 0) {
            EXPECT_EQ(first.missing_, 0);  // short texts: all from the memo
        }

        // For the sinks alone, CellValue untouched: the same blocks.
        StudyStore unkept = store;
        unkept.CellValue.Release();
        CheckingSink alone('.');
        ParsedBlockSink* const one[] = {&alone};
        ParseAllScores(std::as_const(unkept), '.', one);
        EXPECT_TRUE(unkept.CellValue.Empty());
        EXPECT_EQ(alone.blocks_, first.blocks_);
        EXPECT_EQ(alone.missing_, first.missing_);

        // Loaded, the texts are read straight from the file's buffer.
        if (c.kind != 5) continue;
        WriteDataFile(std::as_const(store), dir.File("study.dat"));
        StudyStore loaded;
        LoadStudyFile(loaded, dir.File("study.dat"));
        ASSERT_TRUE(loaded.CellText.Plain());
        CheckingSink fromFile('.');
        ParsedBlockSink* const read[] = {&fromFile};
        ParseAllScores(std::as_const(loaded), '.', read);
        EXPECT_EQ(fromFile.next_, c.n + 1);
        EXPECT_EQ(fromFile.wrongValues_ + fromFile.wrongDigits_, 0);
        EXPECT_EQ(fromFile.missing_, first.missing_);
    }

    // A sink's failure comes back to the parse, on either thread.
    for (const int n : {100, 3000}) {
        std::mt19937_64 again(static_cast<std::uint64_t>(n));
        const StudyStore store = RandomStudy(again, n, 2, 2, 0);
        CheckingSink failing('.', 1);
        ParsedBlockSink* const sinks[] = {&failing};
        EXPECT_THROW(ParseAllScores(store, '.', sinks), std::runtime_error) << n;
    }
}

TEST(ParseScores, ABadTextStopsItInSubjectOrderWithTheRestUntouched) {
    std::mt19937_64 random(3);
    StudyStore store = RandomStudy(random, 100, 2, 2, 0);
    // In a block's cell-by-cell order (5, 1, 2) comes first; in subject order (3, 2, 1).
    store.CellText(5, 1, 2) = "5x";
    store.CellText(3, 2, 1) = "3x";
    store.CellText(90, 1, 1) = "90x";
    for (int s = 1; s <= 100; ++s) store.CellValue(s, 1, 1) = 42;
    CheckingSink sink('.');
    ParsedBlockSink* const sinks[] = {&sink};
    try {
        ParseAllScores(store, '.', sinks, KeepValues::Yes);
        FAIL();
    } catch (const ConvertError& error) {
        EXPECT_EQ(error.message(), Cp932FromUtf8("'3x' は浮動小数点数ではありません"));
        // With its place, for a window to show it.
        EXPECT_EQ(error.cell(), (ScoreCell{3, 2, 1}));
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
        EXPECT_EQ(error.cell(), (ScoreCell{5, 1, 2}));
    }
    EXPECT_EQ(store.CellValue(70, 1, 1), 42.0L);

    // The same while the pipeline's thread is still at the blocks before,
    // whose texts the sink reads: it is done with them before they go. The
    // bad text is the first of the block after a batch was handed on (blocks
    // of 64 subjects, four to a batch).
    StudyStore big = RandomStudy(random, 6000, 2, 3, 2);
    big.CellText(4865, 1, 1) = "4865x";
    for (const KeepValues keep : {KeepValues::Yes, KeepValues::No}) {
        CheckingSink bigSink('.');
        ParsedBlockSink* const bigSinks[] = {&bigSink};
        try {
            ParseAllScores(big, '.', bigSinks, keep);
            FAIL();
        } catch (const ConvertError& error) {
            EXPECT_EQ(error.message(), Cp932FromUtf8("'4865x' は浮動小数点数ではありません"));
            EXPECT_EQ(error.cell(), (ScoreCell{4865, 1, 1}));
        }
    }
}

}  // namespace
}  // namespace morvane
