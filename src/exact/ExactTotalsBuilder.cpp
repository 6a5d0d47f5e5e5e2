#include "exact/ExactTotalsBuilder.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "exact/PartitionFromTotals.h"
#include "exact/WideIntegers.h"
#include "runtime/Extremes.h"
#include "runtime/PowersOfTen.h"
#include "scores/QuickScore.h"

namespace morvane {

using namespace exact;

// The totals in units of 10^scale, the smallest place of the scores so far:
// the sums of every cell, and the sums of squares of the subject totals (of
// the block's subjects, summed at the block's end). Most scores are small
// multiples of the scale: those are summed in 64 bits first, and the 128-bit
// totals take those sums at the end of a block or when the scale moves.
class ExactTotalsBuilder::Accumulator {
public:
    Accumulator(const StudyStore& store, bool keepDigits);

    // The runs of one block, in the parse's order.
    void BeginBlock(std::int32_t count);
    void AddCellRun(std::int32_t a, std::int32_t b, const ScoreDigits* run, std::size_t count);
    void Add(std::int32_t t, std::int32_t a, std::int32_t b, const QuickScore& score) {
        AddSlow(t, a, b, score.digits, score.exponent, score.digitCount, score.negative);
    }
    void AddText(std::int32_t t, std::int32_t a, std::int32_t b, std::string_view text, char separator);
    void EndBlock();
    // Each score as an integer at [s][a][b], while every score of every
    // block came with its digits and fits.
    void KeepScores(const ParsedBlock& block);

    // After the last block: the partition, or nothing when the totals gave up.
    std::optional<ExactPartition> Partition(const StudyStore& store, char separator, bool keepOffsets);

private:
    // Scores of at most this many places above the scale go the 64-bit way:
    // below 10^9, their squares below 2^60, and the 64-bit sums of 2^31
    // subjects' scores below 2^61.
    static constexpr int kFastPlaces = 9;

    void AddSlow(std::int32_t t, std::int32_t a, std::int32_t b, std::uint64_t digits, int exponent,
                 int digitCount, bool negative);
    void Add128(std::int32_t t, std::int32_t a, std::int32_t b, UInt128 m, int exponent, bool negative);
    bool Widen(int e, int top);
    void FoldFast();
    void SetFastWindow();
    void GiveUp();
    void OffsetsOfScores(const StudyStore& store, char separator, const mpz_class& reference,
                         ExactPartition& out);
    template <typename ForEachOffset>
    void OffsetsOfCells(ExactPartition& out, ForEachOffset&& forEachOffset);
    bool RescaleKept(int exponent);
    void DropKept();

    Counts c_;
    bool usable_ = true;
    int digitLimit_ = 0;      // the widest span of decimal places the 128-bit totals hold
    int scale_ = INT_MAX;     // the smallest exponent so far, of the non-zero scores
    int maxTop_ = INT_MIN;    // digits + exponent
    std::int32_t block_ = 0;  // subjects in the current block
    const std::array<UInt128, 39>& powers_ = kPowersOfTen128;
    std::vector<Int128> ab_;       // [a][b]
    std::vector<Int128> as_, bs_;  // the block's [t][a] and [t][b]
    UInt256 qTotal_, qS_, qAS_, qBS_;
    // The 64-bit way: scores with exponent and exponent + digitCount within
    // [fastScale_, fastTop_] (an empty window while no total is kept), summed
    // in the same order as the 128-bit totals.
    int fastScale_ = 1, fastTop_ = 0;
    std::vector<std::int64_t> fastAB_, fastAS_, fastBS_;
    UInt128 fastSquares_ = 0;
    // The scores for the offsets, [s][a][b], in units of 10^keptScale_ (the
    // smallest exponent of the non-zero scores so far): given up, and
    // emptied, at the first score without its digits or beyond 32 bits.
    bool keeping_ = false;
    int keptScale_ = INT_MAX;
    std::vector<std::int32_t> kept_;
};

ExactTotalsBuilder::ExactTotalsBuilder(const StudyStore& store, KeepOffsets forOffsets)
    : accumulator_(std::make_unique<Accumulator>(store, forOffsets == KeepOffsets::Yes)) {}

ExactTotalsBuilder::~ExactTotalsBuilder() = default;

void ExactTotalsBuilder::Take(const ParsedBlock& block) {
    Accumulator& totals = *accumulator_;
    const auto count = static_cast<std::size_t>(block.count);
    totals.BeginBlock(block.count);
    for (std::int32_t a = 0; a < block.levelsA; ++a)
        for (std::int32_t b = 0; b < block.levelsB; ++b) {
            const ScoreDigits* const run = block.digits + block.At(a, b, 0);
            totals.AddCellRun(a, b, run, count);
            if (block.everyDigitPresent) continue;
            // The scores whose digits the parse did not keep, from their texts.
            for (std::int32_t t = 0; t < block.count; ++t) {
                if (run[t].present) continue;
                const std::string_view text = block.Text(a, b, t);
                QuickScore quick;
                if (ReadQuickScore(text, block.decimalSeparator, quick))
                    totals.Add(t, a, b, quick);
                else
                    totals.AddText(t, a, b, text, block.decimalSeparator);
            }
        }
    totals.EndBlock();
    totals.KeepScores(block);
}

ExactPartition ExactTotalsBuilder::Finish(const StudyStore& store, char separator, KeepOffsets keep) {
    const bool keepOffsets = keep == KeepOffsets::Yes;
    if (std::optional<ExactPartition> partition = accumulator_->Partition(store, separator, keepOffsets))
        return std::move(*partition);
    return PartitionFromTexts(store, separator, keepOffsets);
}

namespace {

int DecimalDigits(std::int64_t value) {
    int digits = 1;
    while (value >= 10) value /= 10, ++digits;
    return digits;
}

// Runs at the end of each block: a sum of squares that takes those of totals
// below 2^64 in magnitude in 128 bits and counts the carries out of them, the
// rest straight into `total`.
class SquareSum {
public:
    explicit SquareSum(UInt256& total) : total_(total) {}
    ~SquareSum() {
        total_.AddAt(0, low_);
        total_.AddAt(2, carries_);
    }
    SquareSum(const SquareSum&) = delete;
    SquareSum& operator=(const SquareSum&) = delete;

    void Add(Int128 x) {
        const UInt128 m = x < 0 ? -static_cast<UInt128>(x) : static_cast<UInt128>(x);
        if (m >> 64 != 0) return total_.AddSquare(x);
        const UInt128 square =
            static_cast<UInt128>(static_cast<std::uint64_t>(m)) * static_cast<std::uint64_t>(m);
        low_ += square;
        carries_ += low_ < square;
    }

private:
    UInt256& total_;
    UInt128 low_ = 0;
    std::uint64_t carries_ = 0;
};

mpz_class SumOfSquares(const std::vector<Int128>& totals) {
    UInt256 sum;
    for (const Int128 g : totals) sum.AddSquare(g);
    return ToMpz(sum);
}

}  // namespace

ExactTotalsBuilder::Accumulator::Accumulator(const StudyStore& store, bool keepDigits)
    : c_{store.SubjectCount, store.LevelCountA, store.LevelCountB} {
    if (c_.n < 1 || c_.na < 1 || c_.nb < 1) {
        GiveUp();
        return;
    }
    digitLimit_ = 37 - DecimalDigits(c_.n * c_.na * c_.nb);
    ab_.assign(static_cast<std::size_t>(c_.na * c_.nb), 0);
    fastAB_.assign(ab_.size(), 0);
    keeping_ = keepDigits;
    if (keeping_) kept_.resize(c_.Cells());
}

void ExactTotalsBuilder::Accumulator::KeepScores(const ParsedBlock& block) {
    if (!keeping_) return;
    const auto na = static_cast<std::size_t>(c_.na), nb = static_cast<std::size_t>(c_.nb), cells = na * nb;
    if (!usable_ || !block.everyDigitPresent || block.levelsA != c_.na || block.levelsB != c_.nb ||
        static_cast<std::size_t>(block.first - 1 + block.count) * cells > kept_.size())
        return DropKept();
    const auto count = static_cast<std::size_t>(block.count);
    std::int32_t* const first = kept_.data() + static_cast<std::size_t>(block.first - 1) * cells;
    for (std::size_t c = 0; c < cells; ++c) {
        const ScoreDigits* run = block.digits + c * count;
        for (std::size_t t = 0; t < count; ++t) {
            const ScoreDigits d = run[t];
            std::int64_t v = 0;
            if (d.digits != 0) {
                if (d.exponent < keptScale_ && !RescaleKept(d.exponent)) return DropKept();
                const int places = d.exponent - keptScale_;
                if (places > kFastPlaces) return DropKept();
                v = std::int64_t{d.digits} *
                    static_cast<std::int64_t>(kPowersOfTen64[static_cast<std::size_t>(places)]);
                if (v > INT32_MAX) return DropKept();
            }
            first[t * cells + c] = static_cast<std::int32_t>(d.negative ? -v : v);
        }
    }
}

// The scores kept so far in units of 10^exponent, a smaller power than
// theirs: false when one no longer fits.
bool ExactTotalsBuilder::Accumulator::RescaleKept(int exponent) {
    if (keptScale_ != INT_MAX) {
        const int places = keptScale_ - exponent;
        if (places > kFastPlaces) return false;
        const std::int64_t factor =
            static_cast<std::int64_t>(kPowersOfTen64[static_cast<std::size_t>(places)]);
        for (std::int32_t& v : kept_) {
            const std::int64_t w = v * factor;
            if (w > INT32_MAX || w < -INT32_MAX) return false;
            v = static_cast<std::int32_t>(w);
        }
    }
    keptScale_ = exponent;
    return true;
}

void ExactTotalsBuilder::Accumulator::DropKept() {
    keeping_ = false;
    std::vector<std::int32_t>().swap(kept_);
}

void ExactTotalsBuilder::Accumulator::BeginBlock(std::int32_t count) {
    block_ = count;
    if (!usable_) return;
    as_.assign(static_cast<std::size_t>(count * c_.na), 0);
    bs_.assign(static_cast<std::size_t>(count * c_.nb), 0);
    fastAS_.assign(as_.size(), 0);
    fastBS_.assign(bs_.size(), 0);
}

void ExactTotalsBuilder::Accumulator::AddCellRun(std::int32_t a, std::int32_t b, const ScoreDigits* run,
                                                 std::size_t count) {
    if (!usable_) return;
    // The window and the cell's sums in locals, so that they stay in registers.
    const auto na = static_cast<std::size_t>(c_.na), nb = static_cast<std::size_t>(c_.nb);
    int scale = fastScale_, top = fastTop_;
    std::int64_t* byA = fastAS_.data() + a;
    std::int64_t* byB = fastBS_.data() + b;
    std::int64_t sum = 0;
    UInt128 squares = 0;
    const auto store = [&] {
        // Nothing was summed unless a square was (and then the totals are there).
        if (squares == 0) return;
        fastAB_[static_cast<std::size_t>(a) * nb + static_cast<std::size_t>(b)] += sum;
        fastSquares_ += squares;
        sum = 0;
        squares = 0;
    };
    for (std::size_t t = 0; t < count; ++t) {
        const ScoreDigits d = run[t];
        if (!d.present) continue;
        if (d.exponent >= scale && d.exponent + d.digitCount <= top) {
            const std::int64_t m =
                std::int64_t{d.digits} *
                static_cast<std::int64_t>(kPowersOfTen64[static_cast<std::size_t>(d.exponent - scale)]);
            const std::int64_t x = d.negative ? -m : m;
            sum += x;
            squares += static_cast<std::uint64_t>(m * m);
            byA[t * na] += x;
            byB[t * nb] += x;
            continue;
        }
        store();
        AddSlow(static_cast<std::int32_t>(t), a, b, d.digits, d.exponent, d.digitCount, d.negative);
        if (!usable_) return;  // given up: the rest go nowhere
        scale = fastScale_, top = fastTop_;
        byA = fastAS_.data() + a;
        byB = fastBS_.data() + b;
    }
    store();
}

// Runs for a score outside the 64-bit way's window: it widens the totals'
// span first when it needs that, or gives them up.
void ExactTotalsBuilder::Accumulator::AddSlow(std::int32_t t, std::int32_t a, std::int32_t b,
                                              std::uint64_t digits, int exponent, int digitCount,
                                              bool negative) {
    if (exponent >= fastScale_ && exponent + digitCount <= fastTop_) {
        const std::int64_t m =
            static_cast<std::int64_t>(digits) *
            static_cast<std::int64_t>(kPowersOfTen64[static_cast<std::size_t>(exponent - fastScale_)]);
        const std::int64_t x = negative ? -m : m;
        const auto ti = static_cast<std::size_t>(t), ai = static_cast<std::size_t>(a),
                   bi = static_cast<std::size_t>(b);
        const auto na = static_cast<std::size_t>(c_.na), nb = static_cast<std::size_t>(c_.nb);
        fastAB_[ai * nb + bi] += x;
        fastAS_[ti * na + ai] += x;
        fastBS_[ti * nb + bi] += x;
        fastSquares_ += static_cast<std::uint64_t>(m * m);
        return;
    }
    if (!usable_ || digits == 0) return;
    if (exponent < scale_ || exponent + digitCount > maxTop_) {
        // The 64-bit sums are in units of the scale, which may now move down.
        if (exponent < scale_) FoldFast();
        const bool widened = Widen(exponent, exponent + digitCount);
        SetFastWindow();
        if (!widened) return;
    }
    Add128(t, a, b, digits, exponent, negative);
}

// Runs for a score of more digits than ReadQuickScore takes.
void ExactTotalsBuilder::Accumulator::AddText(std::int32_t t, std::int32_t a, std::int32_t b,
                                              std::string_view text, char separator) {
    if (!usable_) return;
    Decimal d;
    ReadDecimal(text, separator, d);
    if (d.Zero()) return;
    if (d.exponent < scale_) FoldFast();
    const bool widened = Widen(d.exponent, d.exponent + d.Digits());
    SetFastWindow();
    if (!widened) return;
    UInt128 m = 0;
    d.ForEachDigit([&](char ch) { m = m * 10 + static_cast<unsigned>(ch - '0'); });
    Add128(t, a, b, m, d.exponent, d.parts.negative);
}

void ExactTotalsBuilder::Accumulator::EndBlock() {
    if (!usable_) return;
    FoldFast();
    const auto na = static_cast<std::size_t>(c_.na), nb = static_cast<std::size_t>(c_.nb);
    SquareSum squaresAS(qAS_), squaresS(qS_), squaresBS(qBS_);
    for (std::size_t t = 0; t < static_cast<std::size_t>(block_); ++t) {
        Int128 subject = 0;
        for (std::size_t a = 0; a < na; ++a) {
            subject += as_[t * na + a];
            squaresAS.Add(as_[t * na + a]);
        }
        squaresS.Add(subject);
        for (std::size_t b = 0; b < nb; ++b) squaresBS.Add(bs_[t * nb + b]);
    }
}

std::optional<ExactPartition> ExactTotalsBuilder::Accumulator::Partition(const StudyStore& store,
                                                                         char separator, bool keepOffsets) {
    if (!usable_ || c_.n != store.SubjectCount || c_.na != store.LevelCountA || c_.nb != store.LevelCountB)
        return std::nullopt;
    const auto na = static_cast<std::size_t>(c_.na), nb = static_cast<std::size_t>(c_.nb);
    std::vector<Int128> byA(na), byB(nb);
    Int128 all = 0;
    for (std::size_t a = 0; a < na; ++a)
        for (std::size_t b = 0; b < nb; ++b) {
            const Int128 x = ab_[a * nb + b];
            byA[a] += x;
            byB[b] += x;
            all += x;
        }
    ExactTotals totals;
    totals.t = ToMpz(all);
    totals.qTotal = ToMpz(qTotal_);
    totals.qA = SumOfSquares(byA);
    totals.qB = SumOfSquares(byB);
    totals.qAB = SumOfSquares(ab_);
    totals.qS = ToMpz(qS_);
    totals.qAS = ToMpz(qAS_);
    totals.qBS = ToMpz(qBS_);
    const int scale = scale_ == INT_MAX ? 0 : scale_;
    ExactPartition out;
    ExactPartitionFrom(totals, c_, scale, out);
    if (keepOffsets) {
        // The grand mean, truncated to an integer of the scale (below 10^37).
        const mpz_class reference = totals.t / Big(c_.n * c_.na * c_.nb);
        out.reference = RoundRational(reference, mpz_class(1), scale);
        OffsetsOfScores(store, separator, reference, out);
    }
    return out;
}

// Runs for the analysis, which reads the scores less the reference: their
// exact integers where each fits 32 bits, else each rounded once. From the
// scores kept while parsing where every one was, else from the texts.
void ExactTotalsBuilder::Accumulator::OffsetsOfScores(const StudyStore& store, char separator,
                                                      const mpz_class& reference, ExactPartition& out) {
    const int scale = scale_ == INT_MAX ? 0 : scale_;
    const Int128 ref = ToInt128(reference);
    const DecimalUnit unit(scale);
    const auto extended = [&](Int128 d) { return unit.Of(static_cast<Extended>(d)); };
    out.referenceUnits = ref;
    if (keeping_ && kept_.size() == c_.Cells() && (keptScale_ == scale || keptScale_ == INT_MAX)) {
        // Within 32 bits of the reference, the offsets take the scores' place.
        const auto [least, most] = Extremes(kept_.data(), kept_.size());
        const Int128 low = least - ref, high = most - ref;
        out.offsetScale = scale;
        if (low >= -INT32_MAX && high <= INT32_MAX) {
            const auto r = static_cast<std::int64_t>(ref);
            for (std::int32_t& v : kept_) v = static_cast<std::int32_t>(v - r);
            out.integerOffsets = std::move(kept_);
            out.offsetBound = static_cast<std::int64_t>(std::max(-low, high));
        } else {
            out.offsets.resize(kept_.size());
            for (std::size_t i = 0; i < kept_.size(); ++i) out.offsets[i] = extended(kept_[i] - ref);
            OffsetsOfCells(out, [&](auto&& visit) {
                for (std::size_t i = 0; i < kept_.size(); ++i) visit(i, Int128{kept_[i]} - ref);
            });
        }
        DropKept();
        return;
    }
    const auto na = static_cast<std::size_t>(c_.na), nb = static_cast<std::size_t>(c_.nb);
    // visit(i, offset) for every score in [s][a][b] order, a block of
    // subjects at a time: the texts of a cell lie together.
    const auto forEachOffset = [&](auto&& visit) {
        constexpr std::int32_t kSubjects = 64;
        const auto n = static_cast<std::int32_t>(c_.n);
        for (std::int32_t first = 1; first <= n; first += kSubjects) {
            const std::int32_t last = std::min(n, first + kSubjects - 1);
            for (std::int32_t a = 1; a <= c_.na; ++a)
                for (std::int32_t b = 1; b <= c_.nb; ++b)
                    store.CellText.ForEachInColumn(
                        a, b, first, last, [&](std::size_t t, std::string_view text) {
                            const std::size_t s = static_cast<std::size_t>(first - 1) + t;
                            visit((s * na + static_cast<std::size_t>(a - 1)) * nb +
                                      static_cast<std::size_t>(b - 1),
                                  ScaledInteger(text, separator, scale, powers_) - ref);
                        });
        }
    };
    IntegerOffsets exact(out, c_.Cells(), scale);
    forEachOffset([&](std::size_t i, Int128 d) { exact.Set(i, d); });
    if (exact.Fit()) return;
    out.offsets.resize(c_.Cells());
    forEachOffset([&](std::size_t i, Int128 d) { out.offsets[i] = extended(d); });
    OffsetsOfCells(out, forEachOffset);
}

// After OffsetsOfScores found the offsets from the one reference too wide for
// 32 bits: the offsets from each cell's own reference (its total over the
// subjects, truncated to an integer of the scale) where those fit, exactly;
// forEachOffset(visit) visits each score's offset from the one reference.
template <typename ForEachOffset>
void ExactTotalsBuilder::Accumulator::OffsetsOfCells(ExactPartition& out, ForEachOffset&& forEachOffset) {
    const std::size_t cells = ab_.size();
    if (cells == 0 || c_.n < 1) return;
    std::vector<Int128> shift(cells);
    out.cellReferenceUnits.resize(cells);
    for (std::size_t c = 0; c < cells; ++c) {
        out.cellReferenceUnits[c] = ab_[c] / static_cast<Int128>(c_.n);
        shift[c] = out.cellReferenceUnits[c] - out.referenceUnits;
    }
    IntegerOffsets exact(out, c_.Cells(), out.offsetScale);
    forEachOffset([&](std::size_t i, Int128 d) { exact.Set(i, d - shift[i % cells]); });
    if (!exact.Fit()) out.cellReferenceUnits.clear();
}

// Takes in a score of exponent e and digits + exponent top: false when the
// totals can no longer hold the span.
bool ExactTotalsBuilder::Accumulator::Widen(int e, int top) {
    const int newScale = std::min(scale_, e), newTop = std::max(maxTop_, top);
    if (newTop - newScale > digitLimit_) {
        GiveUp();
        return false;
    }
    if (newScale < scale_ && scale_ != INT_MAX) {
        // Every total so far in units of the new, smaller power of ten.
        const int k = scale_ - newScale;
        const Int128 factor = static_cast<Int128>(powers_[static_cast<std::size_t>(k)]);
        for (auto* totals : {&ab_, &as_, &bs_})
            for (Int128& v : *totals) v *= factor;
        for (int left = 2 * k; left > 0; left -= 19) {
            const std::uint64_t f =
                static_cast<std::uint64_t>(powers_[static_cast<std::size_t>(std::min(left, 19))]);
            for (UInt256* q : {&qTotal_, &qS_, &qAS_, &qBS_}) q->MultiplyBy(f);
        }
    }
    scale_ = newScale;
    maxTop_ = newTop;
    return true;
}

void ExactTotalsBuilder::Accumulator::Add128(std::int32_t t, std::int32_t a, std::int32_t b, UInt128 m,
                                             int exponent, bool negative) {
    m *= powers_[static_cast<std::size_t>(exponent - scale_)];
    const Int128 x = negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
    const auto na = static_cast<std::size_t>(c_.na), nb = static_cast<std::size_t>(c_.nb);
    const auto ti = static_cast<std::size_t>(t), ai = static_cast<std::size_t>(a),
               bi = static_cast<std::size_t>(b);
    ab_[ai * nb + bi] += x;
    as_[ti * na + ai] += x;
    bs_[ti * nb + bi] += x;
    qTotal_.AddSquare(x);
}

// Moves the 64-bit sums into the 128-bit totals.
void ExactTotalsBuilder::Accumulator::FoldFast() {
    for (auto [fast, totals] : {std::pair{&fastAB_, &ab_}, {&fastAS_, &as_}, {&fastBS_, &bs_}})
        for (std::size_t i = 0; i < fast->size(); ++i) {
            (*totals)[i] += (*fast)[i];
            (*fast)[i] = 0;
        }
    qTotal_.AddAt(0, fastSquares_);
    fastSquares_ = 0;
}

// The 64-bit way's window after the scale or the largest place moved.
void ExactTotalsBuilder::Accumulator::SetFastWindow() {
    if (!usable_ || scale_ == INT_MAX) {
        fastScale_ = 1, fastTop_ = 0;  // empty
        return;
    }
    fastScale_ = scale_;
    fastTop_ = std::min(maxTop_, scale_ + kFastPlaces);
}

void ExactTotalsBuilder::Accumulator::GiveUp() {
    usable_ = false;
    for (auto* totals : {&ab_, &as_, &bs_}) std::vector<Int128>().swap(*totals);
    for (auto* sums : {&fastAB_, &fastAS_, &fastBS_}) std::vector<std::int64_t>().swap(*sums);
    SetFastWindow();
}

}  // namespace morvane
