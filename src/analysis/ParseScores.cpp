#include "analysis/ParseScores.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "analysis/ExactSums.h"
#include "analysis/ScoreSyntax.h"
#include "analysis/SumsOfSquares.h"
#include "runtime/Errors.h"
#include "runtime/SerialWorker.h"

namespace morvane {
namespace {

// The texts of one cell lie together for consecutive subjects, and a subject's
// values lie together: a block of subjects at a time, cell by cell, reads both
// in long runs. A block holds at most 64 subjects, and about 64 Ki values
// unless one subject has more.
constexpr std::int32_t kBlockSubjects = 64;
constexpr std::int64_t kBlockValues = std::int64_t{1} << 16;
// How many blocks the totals' thread takes at a time.
constexpr std::int32_t kBatchBlocks = 4;

// From subject `first` on, in the order of the message: the first bad text for
// s, then a, then b, its values before it new and the rest as they were.
void ParseInOrder(StudyStore& store, char decimalSeparator, std::int32_t first) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const CellTextArray& texts = store.CellText;
    for (std::int32_t s = first; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                store.CellValue(s, a, b) = ScoreValue(texts(s, a, b), decimalSeparator);
}

// The error of the first bad text from subject `first` on, in the order of
// ParseInOrder, without storing any value. Called while the error of a bad
// text of the block is handled, which it throws again should the order not
// find one (it always does).
[[noreturn]] void ThrowFirstBadText(const StudyStore& store, char decimalSeparator, std::int32_t first) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    for (std::int32_t s = first; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b) ScoreValue(store.CellText(s, a, b), decimalSeparator);
    throw;
}

// Values that two doubles cannot hold, with their places in their block.
using UnsplitValues = std::vector<std::pair<std::size_t, Extended>>;

// The scores of one cell for `count` subjects of a block: text(t) for the
// block's subject t, its value stored at values[t] (as a pair of doubles; one
// that does not split goes to `unsplit` with its place, `at` + t) and, for
// the exact totals, its digits at digits[t] (not present when the memo did
// not give them: the totals then read the text again). Returns whether any
// are not present.
template <typename Text>
bool ParseCell(std::size_t count, Text&& text, SplitExtended* values, ExactTotalsBuilder::Digits* digits,
               QuickScoreMemo& memo, char separator, std::size_t at, UnsplitValues& unsplit) {
    bool missing = false;
    for (std::size_t t = 0; t < count; ++t) {
        const std::string_view score = text(t);
        if (const QuickScoreMemo::Score* q = memo.Read(score)) {
            values[t] = q->value;
            digits[t] = {q->digits, q->exponent, q->digitCount, q->negative, true};
            continue;
        }
        QuickScore quick;
        const Extended value = score.size() > 8 && ReadQuickScore(score, separator, quick)
                                   ? quick.value
                                   : ScoreValue(score, separator);
        if (!Split(value, values[t])) {
            values[t] = {};
            unsplit.emplace_back(at + t, value);
        }
        digits[t].present = false;
        missing = true;
    }
    return missing;
}

// A parsed block of subjects first .. first + count - 1, its values and its
// scores' digits laid out [a][b][t] from 0, each cell's in a row.
struct ParsedBlock {
    const SplitExtended* values;  // or, when null,
    const Extended* unsplit;      // the values of a block with some that do not split
    const ExactTotalsBuilder::Digits* digits;
    std::int32_t first, count;
    bool missing;  // some digits are not present
};

// The totals' share of a parsed block: the exact totals, from the digits and,
// where those are not present, from the texts, then the sweep.
void TotalBlock(const StudyStore& store, char separator, const ParsedBlock& block, ExactTotalsBuilder* exact,
                SumsOfSquaresSweep* sweep) {
    const std::int32_t na = store.LevelCountA, nb = store.LevelCountB;
    const auto count = static_cast<std::size_t>(block.count);
    if (exact) {
        exact->BeginBlock(block.first - 1, block.count);
        const ExactTotalsBuilder::Digits* run = block.digits;
        for (std::int32_t a = 0; a < na; ++a)
            for (std::int32_t b = 0; b < nb; ++b, run += count) {
                exact->AddCellRun(a, b, run, count);
                if (!block.missing) continue;
                for (std::size_t t = 0; t < count; ++t) {
                    if (run[t].present) continue;
                    const auto subject = static_cast<std::int32_t>(t);
                    const std::string_view text = store.CellText(block.first + subject, a + 1, b + 1);
                    QuickScore quick;
                    if (text.size() > 8 && ReadQuickScore(text, separator, quick))
                        exact->Add(subject, a, b, quick);
                    else
                        exact->AddText(subject, a, b, text, separator);
                }
            }
        exact->EndBlock();
    }
    if (!sweep) return;
    if (block.values)
        sweep->AddBlock(block.values, block.count, na, nb);
    else
        sweep->AddBlock(block.unsplit, block.count, na, nb);
}

void ParseInBlocks(StudyStore& store, char separator, ExactTotalsBuilder* exact, SumsOfSquaresSweep* sweep,
                   KeepValues keep) {
    assert(HasItsExtents(store, StudyArrays::Texts));
    assert(keep == KeepValues::No || HasItsExtents(store, StudyArrays::Values));
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    if (n < 1 || na < 1 || nb < 1) return;
    const CellTextArray& texts = store.CellText;
    const auto snb = static_cast<std::size_t>(nb);
    const auto subjects = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(kBlockValues / (std::int64_t{na} * nb), 1, kBlockSubjects));
    // A block's values (as pairs of doubles, which the sweep reads faster) and
    // digits, [a][b][t] from 0 (each cell's in a row, as they are parsed),
    // stored only once the whole block parsed. With more than a batch of
    // blocks of the usual size, a thread of its own adds each batch to the
    // totals while the next is parsed into the other half of the buffers (a
    // batch at a time, since waking a thread costs about as much as summing
    // a block).
    const std::size_t blockValues = static_cast<std::size_t>(subjects) * static_cast<std::size_t>(na) * snb;
    const std::int64_t blocks = (std::int64_t{n} + subjects - 1) / subjects;
    const bool worthAThread = (sweep || exact) && blocks > kBatchBlocks &&
                              blockValues <= static_cast<std::size_t>(2 * kBlockValues);
    std::vector<SplitExtended> values;
    std::vector<Extended> wholeValues;  // the blocks' places, for blocks with values that do not split
    std::vector<ExactTotalsBuilder::Digits> digits;
    // After the buffers its jobs read, so that on the way out of an error it
    // waits for the job at hand before they go.
    std::optional<SerialWorker> totaller;
    if (worthAThread) try {
            totaller.emplace();
        } catch (const std::system_error&) {  // no thread: the totals follow each block here
        }
    const std::size_t ring = totaller ? 2 * kBatchBlocks : 1;
    values.resize(ring * blockValues);
    digits.resize(ring * blockValues);
    std::vector<ParsedBlock> batch;
    UnsplitValues unsplit;
    QuickScoreMemo memo(separator);
    for (std::int32_t first = 1, index = 0; first <= n; first += subjects, ++index) {
        const std::int32_t last = std::min(n, first + (subjects - 1));
        const auto count = static_cast<std::size_t>(last - first + 1);
        const std::size_t slot = static_cast<std::size_t>(index) % ring * blockValues;
        SplitExtended* const blockValuesAt = &values[slot];
        ExactTotalsBuilder::Digits* const blockDigits = &digits[slot];
        bool missing = false;
        unsplit.clear();
        try {
            for (std::int32_t a = 1; a <= na; ++a)
                for (std::int32_t b = 1; b <= nb; ++b) {
                    // The cell's texts of the next block, and the offsets of
                    // the one after, are fetched while this one is read: the
                    // cells of a block lie far apart.
                    const std::int32_t next = last + 1, after = last + subjects + 1;
                    texts.Prefetch(next, std::min(n, last + subjects), a, b, false);
                    texts.Prefetch(after, std::min(n, after + subjects - 1), a, b, true);
                    const std::size_t cell =
                        (static_cast<std::size_t>(a - 1) * snb + static_cast<std::size_t>(b - 1)) * count;
                    if (texts.Plain()) {
                        const CellTextArray::PlainColumn column = texts.Column(a, b);
                        const auto from = static_cast<std::size_t>(first - 1);
                        missing |= ParseCell(
                            count, [&](std::size_t t) { return column[from + t]; }, blockValuesAt + cell,
                            blockDigits + cell, memo, separator, cell, unsplit);
                    } else {
                        missing |= ParseCell(
                            count,
                            [&](std::size_t t) { return texts(first + static_cast<std::int32_t>(t), a, b); },
                            blockValuesAt + cell, blockDigits + cell, memo, separator, cell, unsplit);
                    }
                }
        } catch (const ConvertError&) {
            if (keep == KeepValues::No) ThrowFirstBadText(store, separator, first);
            ParseInOrder(store, separator, first);  // throws the error of the first bad text
            throw;
        }
        // A block with values that two doubles cannot hold is handed on whole.
        const Extended* whole = nullptr;
        if (!unsplit.empty()) {
            if (wholeValues.empty()) wholeValues.resize(values.size());
            Extended* const to = &wholeValues[slot];
            for (std::size_t i = 0; i < count * static_cast<std::size_t>(na) * snb; ++i)
                to[i] = Join(blockValuesAt[i]);
            for (const auto& [at, value] : unsplit) to[at] = value;
            whole = to;
        }
        if (keep == KeepValues::Yes) {
            for (std::int32_t s = first; s <= last; ++s)
                for (std::int32_t a = 1; a <= na; ++a) {
                    const std::size_t from =
                        static_cast<std::size_t>(a - 1) * snb * count + static_cast<std::size_t>(s - first);
                    Extended* to = &store.CellValue(s, a, 1);
                    for (std::size_t b = 0; b < snb; ++b)
                        to[b] = whole ? whole[from + b * count] : Join(blockValuesAt[from + b * count]);
                }
        }
        const ParsedBlock parsed{
            whole ? nullptr : blockValuesAt, whole, blockDigits, first, last - first + 1, missing};
        if (!totaller) {
            TotalBlock(store, separator, parsed, exact, sweep);
            continue;
        }
        batch.push_back(parsed);
        if (batch.size() == static_cast<std::size_t>(kBatchBlocks) || last == n) {
            totaller->Hand([&store, separator, exact, sweep, blocksOfBatch = batch] {
                for (const ParsedBlock& block : blocksOfBatch)
                    TotalBlock(store, separator, block, exact, sweep);
            });
            batch.clear();
        }
    }
    if (totaller) totaller->Wait();
}

}  // namespace

void ParseAllScores(StudyStore& store, char decimalSeparator) {
    ParseInBlocks(store, decimalSeparator, nullptr, nullptr, KeepValues::Yes);
}

void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact) {
    ParseInBlocks(store, decimalSeparator, &exact, nullptr, KeepValues::Yes);
}

void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact,
                    SumsOfSquaresSweep& sweep, KeepValues keep) {
    ParseInBlocks(store, decimalSeparator, &exact, &sweep, keep);
}

}  // namespace morvane
