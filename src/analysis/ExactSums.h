#pragma once
// The sums of squares of the A x B x S partition computed exactly. Every score
// text is a decimal, so its value is an integer times a power of ten: over the
// smallest power of ten of the study the scores are integers, and the sums of
// squares, mean squares and F ratios are ratios of big integers, each rounded to
// the extended format once. Where the integers would be unreasonably long (the
// scores span thousands of decimal places) a two-pass computation from the
// grand mean in extended precision takes their place.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/ScoreSyntax.h"
#include "analysis/SumsOfSquares.h"
#include "runtime/Extended.h"
#include "store/StudyStore.h"

namespace morvane {

enum class PartitionMethod { Exact, Centred };

// One source of the partition.
struct PartitionSource {
    Extended ss = 0;
    std::int64_t df = 0;
    std::optional<Extended> ms;  // absent with no degrees of freedom
    bool zero = true;            // the sum of squares is exactly zero
};

struct ExactPartition {
    PartitionMethod method = PartitionMethod::Exact;
    PartitionSource S, A, AS, B, BS, AB, ABS, Total, Within;
    // The F ratios, absent with no degrees of freedom or an error term of zero.
    std::optional<Extended> fA, fB, fAB;
    // The scores less `reference` (an extended value near the grand mean), in
    // the order [s][a][b] from 0 with b fastest; each the exact difference
    // rounded once, so that statistics of offset data keep their digits. Filled
    // only when asked for, and then either `offsets` or, when the scores are
    // read as 128-bit integers and every offset fits in 32 bits, the offsets
    // exactly as integers in units of 10^offsetScale (offsetBound the largest
    // of their magnitudes).
    Extended reference = 0;
    std::vector<Extended> offsets;
    std::vector<std::int32_t> integerOffsets;
    int offsetScale = 0;
    std::int64_t offsetBound = 0;

    SumsOfSquares Sums() const;
    // The offsets in the extended format from whichever of the two is filled.
    std::vector<Extended> ExtendedOffsets() const;
};

// Sums of squares of more decimal digits than this (about 10 KiB per number) are
// computed by the centred method.
inline constexpr int kExactDigitLimit = 3000;

// From the score texts of the store, which must all parse (ParseAllScores ran
// without error); CellValue is not read. Throws OverflowError when a result
// leaves the extended range.
ExactPartition ComputeExactPartition(const StudyStore& store, char decimalSeparator, bool keepOffsets);

__extension__ typedef unsigned __int128 Unsigned128;

// The exact totals gathered while the scores are parsed, a block of subjects
// at a time, so that the exact partition needs no pass of its own over the
// texts. Scores it cannot take in machine integers (too many digits, or a span
// of decimal places too wide) give it up, and Finish then computes the
// partition from the texts instead.
class ExactTotalsBuilder {
public:
    explicit ExactTotalsBuilder(const StudyStore& store);
    ~ExactTotalsBuilder();
    ExactTotalsBuilder(const ExactTotalsBuilder&) = delete;
    ExactTotalsBuilder& operator=(const ExactTotalsBuilder&) = delete;

    // The subjects first .. first + count - 1 (from 0) come next, each score of
    // them once, in any order.
    void BeginBlock(std::int32_t first, std::int32_t count);
    // A short text's score as a cell's run gives it: its digits x 10^exponent.
    struct Digits {
        std::uint32_t digits;
        std::int8_t exponent;
        std::uint8_t digitCount;
        bool negative;
        bool present;  // false: the subject's score came to the totals otherwise
    };
    // The scores of one cell (levels a, b from 0) for the block's subjects 0
    // .. count - 1, those of `run` that are present. Most scores are small
    // multiples of the study's smallest place: those are summed here in 64
    // bits, and the 128-bit totals take the block's sums at its end.
    void AddCellRun(std::int32_t a, std::int32_t b, const Digits* run, std::size_t count);
    // One score of the block's subject t (from 0) at levels a, b (from 0).
    void Add(std::int32_t t, std::int32_t a, std::int32_t b, const QuickScore& score) {
        AddSlow(t, a, b, score.digits, score.exponent, score.digitCount, score.negative);
    }
    // The same from a score text that ReadQuickScore did not read (it must parse).
    void AddText(std::int32_t t, std::int32_t a, std::int32_t b, std::string_view text,
                 char decimalSeparator);
    void EndBlock();

    // After every score was added: ComputeExactPartition of the same store.
    ExactPartition Finish(const StudyStore& store, char decimalSeparator, bool keepOffsets);

private:
    // Scores of at most this many places above the scale go the 64-bit way:
    // below 10^9, their squares below 2^60, and the 64-bit sums of 2^31
    // subjects' scores below 2^61.
    static constexpr int kFastPlaces = 9;
    static constexpr std::int64_t kFastPowers[kFastPlaces + 1] = {
        1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

    // Adds a score in 64 bits when it is in the window, in 128 bits otherwise,
    // widening the totals' span first when it needs that.
    void AddSlow(std::int32_t t, std::int32_t a, std::int32_t b, std::uint64_t digits, int exponent,
                 int digitCount, bool negative);
    // Moves the 64-bit sums into the 128-bit totals.
    void FoldFast();
    // The 64-bit way's window after the scale or the largest place moved.
    void SetFastWindow();

    struct State;
    std::unique_ptr<State> state_;
    // The 64-bit way: scores with exponent and exponent + digitCount within
    // [fastScale_, fastTop_] (an empty window while no total is kept).
    int fastScale_ = 1, fastTop_ = 0;
    std::int32_t na_ = 0, nb_ = 0;
    std::int64_t* fastAB_ = nullptr;  // [a][b], over the blocks until folded
    std::int64_t* fastAS_ = nullptr;  // the block's [t][a]
    std::int64_t* fastBS_ = nullptr;  // the block's [t][b]
    Unsigned128 fastSquares_ = 0;
};

}  // namespace morvane
