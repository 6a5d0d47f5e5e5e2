#include "analysis/ParseScores.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <optional>
#include <system_error>
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
// How many blocks the sweep's thread takes at a time.
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
// ParseInOrder, without storing any value.
[[noreturn]] void ThrowFirstBadText(const StudyStore& store, char decimalSeparator, std::int32_t first) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    for (std::int32_t s = first; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b) ScoreValue(store.CellText(s, a, b), decimalSeparator);
    throw;  // not reached: the block that called held a bad text
}

// The scores of one cell for `count` subjects of a block: text(t) for the
// block's subject t, its value stored at values[t * stride], and added to
// `exact` unless that is null.
// The scores of one cell for `count` subjects of a block (levels a, b from
// 1): text(t) for the block's subject t, its value stored at values[t], and
// added to `exact` unless that is null. The digits of the short texts are
// gathered in a run for the exact totals to take at once.
template <typename Text>
void ParseCell(std::size_t count, Text&& text, Extended* values, QuickScoreMemo& memo, char separator,
               ExactTotalsBuilder* exact, std::int32_t a, std::int32_t b) {
    assert(count <= static_cast<std::size_t>(kBlockSubjects));
    ExactTotalsBuilder::Digits run[kBlockSubjects];
    QuickScore quick;
    for (std::size_t t = 0; t < count; ++t) {
        const std::string_view score = text(t);
        const auto subject = static_cast<std::int32_t>(t);
        if (const QuickScoreMemo::Score* q = memo.Read(score)) {
            // Its bytes, not through the x87 unit.
            std::memcpy(static_cast<void*>(values + t), q->value, sizeof(Extended));
            run[t] = {q->digits, q->exponent, q->digitCount, q->negative, true};
            continue;
        }
        run[t].present = false;
        if (score.size() > 8 && ReadQuickScore(score, separator, quick)) {
            values[t] = quick.value;
            if (exact) exact->Add(subject, a - 1, b - 1, quick);
        } else {
            values[t] = ScoreValue(score, separator);
            if (exact) exact->AddText(subject, a - 1, b - 1, score, separator);
        }
    }
    if (exact) exact->AddCellRun(a - 1, b - 1, run, count);
}

void ParseInBlocks(StudyStore& store, char separator, ExactTotalsBuilder* exact, SumsOfSquaresSweep* sweep,
                   KeepValues keep) {
    assert(HasItsExtents(store, StudyArrays::Texts));
    assert(keep == KeepValues::No || HasItsExtents(store, StudyArrays::Values));
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    if (n < 1 || na < 1 || nb < 1) return;
    const CellTextArray& texts = store.CellText;
    const auto sna = static_cast<std::size_t>(na), snb = static_cast<std::size_t>(nb);
    const auto subjects = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(kBlockValues / (std::int64_t{na} * nb), 1, kBlockSubjects));
    // A block's values, [a][b][t] from 0 (each cell's in a row, as they are
    // parsed), stored only once the whole block
    // parsed. With more than a batch of blocks, a thread of its own sweeps
    // each batch while the next is parsed into the other half of the buffers
    // (a batch at a time, since waking a thread costs about as much as
    // sweeping a block).
    const std::size_t blockValues = static_cast<std::size_t>(subjects) * sna * snb;
    const std::int64_t blocks = (std::int64_t{n} + subjects - 1) / subjects;
    std::optional<SerialWorker> sweeper;
    if (sweep && blocks > kBatchBlocks) try {
            sweeper.emplace();
        } catch (const std::system_error&) {  // no thread: the sweep follows each block here
        }
    std::vector<Extended> buffers(sweeper ? 2 * kBatchBlocks * blockValues : blockValues);
    QuickScoreMemo memo(separator);
    // The blocks parsed but not yet handed to the sweep: subjects batchFirst .. first - 1.
    std::int32_t batchFirst = 1;
    for (std::int32_t first = 1, index = 0; first <= n; first += subjects, ++index) {
        const std::int32_t last = std::min(n, first + (subjects - 1));
        Extended* const block =
            &buffers[sweeper ? static_cast<std::size_t>(index % (2 * kBatchBlocks)) * blockValues : 0];
        if (exact) exact->BeginBlock(first - 1, last - first + 1);
        try {
            for (std::int32_t a = 1; a <= na; ++a)
                for (std::int32_t b = 1; b <= nb; ++b) {
                    // The cell's texts of the next block, and the offsets of
                    // the one after, are fetched while this one is read: the
                    // cells of a block lie far apart.
                    const std::int32_t next = last + 1, after = last + subjects + 1;
                    texts.Prefetch(next, std::min(n, last + subjects), a, b, false);
                    texts.Prefetch(after, std::min(n, after + subjects - 1), a, b, true);
                    const auto count = static_cast<std::size_t>(last - first + 1);
                    Extended* value =
                        block + (static_cast<std::size_t>(a - 1) * snb + static_cast<std::size_t>(b - 1)) * count;
                    if (texts.Plain()) {
                        const CellTextArray::PlainColumn column = texts.Column(a, b);
                        const auto from = static_cast<std::size_t>(first - 1);
                        ParseCell(
                            count, [&](std::size_t t) { return column[from + t]; }, value, memo, separator, exact,
                            a, b);
                    } else {
                        ParseCell(
                            count,
                            [&](std::size_t t) { return texts(first + static_cast<std::int32_t>(t), a, b); },
                            value, memo, separator, exact, a, b);
                    }
                }
        } catch (const ConvertError&) {
            if (keep == KeepValues::No) ThrowFirstBadText(store, separator, first);
            ParseInOrder(store, separator, first);  // throws the error of the first bad text
            throw;
        }
        if (keep == KeepValues::Yes) {
            const auto count = static_cast<std::size_t>(last - first + 1);
            for (std::int32_t s = first; s <= last; ++s)
                for (std::int32_t a = 1; a <= na; ++a) {
                    const Extended* from = block + static_cast<std::size_t>(a - 1) * snb * count +
                                           static_cast<std::size_t>(s - first);
                    Extended* to = &store.CellValue(s, a, 1);
                    for (std::size_t b = 0; b < snb; ++b) std::memcpy(to + b, from + b * count, sizeof(Extended));
                }
        }
        if (exact) exact->EndBlock();
        if (!sweeper) {
            if (sweep) sweep->AddBlock(block, last - first + 1, na, nb);
        } else if ((index + 1) % kBatchBlocks == 0 || last == n) {
            // The batch's blocks lie in a row in the buffers, each full but the last.
            Extended* const start = block - static_cast<std::size_t>(index % kBatchBlocks) * blockValues;
            sweeper->Hand([=] {
                for (std::int32_t from = batchFirst, at = 0; from <= last; from += subjects, ++at)
                    sweep->AddBlock(start + static_cast<std::size_t>(at) * blockValues,
                                    std::min(last, from + subjects - 1) - from + 1, na, nb);
            });
            batchFirst = last + 1;
        }
    }
    if (sweeper) sweeper->Wait();
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
