#include "scores/ParseScores.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "scores/BlockPipeline.h"
#include "scores/ScoreMemo.h"
#include "scores/ScoreSyntax.h"

namespace morvane {
namespace {

// `values` is CellValue when the values are kept, else null.
void ParseInBlocks(const StudyStore& store, char separator, std::span<ParsedBlockSink* const> sinks,
                   ScoreArray<Extended>* values);

}  // namespace

void ParseAllScores(StudyStore& store, char decimalSeparator) {
    ParseInBlocks(store, decimalSeparator, {}, &store.CellValue);
}

void ParseAllScores(StudyStore& store, char decimalSeparator, std::span<ParsedBlockSink* const> sinks,
                    KeepValues keep) {
    ParseInBlocks(store, decimalSeparator, sinks, keep == KeepValues::Yes ? &store.CellValue : nullptr);
}

void ParseAllScores(const StudyStore& store, char decimalSeparator, std::span<ParsedBlockSink* const> sinks) {
    ParseInBlocks(store, decimalSeparator, sinks, nullptr);
}

namespace {

// The texts of one cell lie together for consecutive subjects, and a subject's
// values lie together: a block of subjects at a time, cell by cell, reads both
// in long runs. A block holds at most 64 subjects, and about 64 Ki values
// unless one subject has more.
constexpr std::int32_t kBlockSubjects = 64;
constexpr std::int64_t kBlockValues = std::int64_t{1} << 16;

// Values that two doubles cannot hold, with their places in their block.
using UnsplitValues = std::vector<std::pair<std::size_t, Extended>>;

// The block's buffers being filled, and what is learned on the way.
struct BlockInParse {
    BlockPipeline::Buffers to;
    UnsplitValues unsplit;
    bool everyDigitPresent = true;
};

// Runs for every block: the scores of the cell (a, b) of the block's subjects
// first .. last, from the memo where it has them. A value that does not split
// goes to `unsplit`, and a score whose digits the memo did not give is marked
// not present, for the exact totals to read its text again.
void ParseCell(const CellTextArray& texts, std::int32_t a, std::int32_t b, std::int32_t first,
               std::int32_t last, std::size_t at, QuickScoreMemo& memo, char separator, BlockInParse& block) {
    SplitExtended* const values = block.to.pairs + at;
    ScoreDigits* const digits = block.to.digits + at;
    // Inlined at both of the column's ways of reading: it runs once a score.
    texts.ForEachInColumn(
        a, b, first, last, [&](std::size_t t, std::string_view score) __attribute__((always_inline)) {
            if (const QuickScoreMemo::Score* q = memo.Read(score)) {
                values[t] = q->value;
                digits[t] = {q->digits, q->exponent, q->digitCount, q->negative, true};
                return;
            }
            const Extended value = ScoreValue(score, separator);
            if (!Split(value, values[t])) {
                values[t] = {};
                block.unsplit.emplace_back(at + t, value);
            }
            digits[t].present = false;
            block.everyDigitPresent = false;
        });
}

// Runs when a text of the block is not a score: from subject `first` on, in
// the order of the message (s, then a, then b), the error of the first bad
// text with its place, with the values before it stored when they are kept.
[[noreturn]] void ThrowFirstBadText(const StudyStore& store, char separator, std::int32_t first,
                                    ScoreArray<Extended>* values) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    for (std::int32_t s = first; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b) {
                const std::string_view text = store.CellText(s, a, b);
                const std::optional<Extended> value = ParseScore(text, separator);
                if (!value) throw ConvertError(messages::NotAFloat(text), ScoreCell{s, a, b});
                if (values) (*values)(s, a, b) = *value;
            }
    throw;  // the block's own error, should the order not find one (it always does)
}

// Runs for a block parsed whole, when the values are kept: from the block's
// layout [a][b][t] into CellValue's [s][a][b].
void StoreValues(ScoreArray<Extended>& values, const ParsedBlock& block) {
    const auto count = static_cast<std::size_t>(block.count), nb = static_cast<std::size_t>(block.levelsB);
    for (std::int32_t t = 0; t < block.count; ++t)
        for (std::int32_t a = 0; a < block.levelsA; ++a) {
            Extended* to = &values(block.first + t, a + 1, 1);
            const std::size_t from = block.At(a, 0, t);
            for (std::size_t b = 0; b < nb; ++b) to[b] = block.Value(from + b * count);
        }
}

void ParseInBlocks(const StudyStore& store, char separator, std::span<ParsedBlockSink* const> sinks,
                   ScoreArray<Extended>* values) {
    assert(HasItsExtents(store, StudyArrays::Texts));
    assert(!values || HasItsExtents(store, StudyArrays::Values));
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    if (n < 1 || na < 1 || nb < 1) return;
    const std::int64_t cells = std::int64_t{na} * nb;
    const auto subjects =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(kBlockValues / cells, 1, kBlockSubjects));
    const auto blockValues = static_cast<std::size_t>(subjects * cells);
    BlockPipeline pipeline(sinks, blockValues, (std::int64_t{n} + subjects - 1) / subjects);
    QuickScoreMemo memo(separator);
    BlockInParse parse;
    for (std::int32_t first = 1; first <= n; first += subjects) {
        const std::int32_t last = std::min(n, first + (subjects - 1));
        ParsedBlock block{first, last - first + 1, na, nb};
        parse.to = pipeline.Next();
        parse.unsplit.clear();
        parse.everyDigitPresent = true;
        try {
            for (std::int32_t a = 0; a < na; ++a)
                for (std::int32_t b = 0; b < nb; ++b)
                    ParseCell(store.CellText, a + 1, b + 1, first, last, block.At(a, b, 0), memo, separator,
                              parse);
        } catch (const ConvertError&) {
            ThrowFirstBadText(store, separator, first, values);
        }
        block.pairs = parse.to.pairs;
        block.digits = parse.to.digits;
        block.everyDigitPresent = parse.everyDigitPresent;
        block.texts = &store.CellText;
        block.decimalSeparator = separator;
        if (!parse.unsplit.empty()) {
            // A block with values that two doubles cannot hold goes on whole.
            Extended* const whole = pipeline.ExtendedValues();
            for (std::size_t i = 0; i < static_cast<std::size_t>(block.count * cells); ++i)
                whole[i] = Join(block.pairs[i]);
            for (const auto& [at, value] : parse.unsplit) whole[at] = value;
            block.values = whole;
            block.pairs = nullptr;
        }
        if (values) StoreValues(*values, block);
        pipeline.Deliver(block);
    }
    pipeline.Finish();
}

}  // namespace
}  // namespace morvane
