#pragma once
// The sums-of-squares partition of the two-way within-subjects design A x B x S
// by the correction-term method.

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/Extended.h"
#include "scores/ParsedBlock.h"
#include "store/StudyStore.h"

namespace morvane {

struct SumsOfSquares {
    Extended SSTotal = 0;
    Extended SSA = 0;
    Extended SSB = 0;
    Extended SSS = 0;
    Extended SSAB = 0;
    Extended SSAS = 0;
    Extended SSBS = 0;
    Extended SSABS = 0;
};

// Computes the eight sums of squares from CellValue. Throws
// InvalidOperationError with no subjects (0/0) and OverflowError when a total or
// a square leaves the extended range.
SumsOfSquares ComputeSumsOfSquares(const StudyStore& store);

// ComputeSumsOfSquares a block of subjects at a time, as the parse hands the
// blocks on: the same totals, summed in the same order, without CellValue.
class SumsOfSquaresSweep final : public ParsedBlockSink {
public:
    explicit SumsOfSquaresSweep(const StudyStore& store);
    ~SumsOfSquaresSweep() override;
    SumsOfSquaresSweep(const SumsOfSquaresSweep&) = delete;
    SumsOfSquaresSweep& operator=(const SumsOfSquaresSweep&) = delete;

    // The blocks of the store's subjects, in order.
    void Take(const ParsedBlock& block) override;
    // After every block: what ComputeSumsOfSquares gives, with its errors.
    SumsOfSquares Finish(const StudyStore& store) const;
    // The totals of every cell over the subjects, index (a - 1) * nb + (b - 1).
    const std::vector<Extended>& CellTotals() const;

private:
    struct SweepState;
    std::unique_ptr<SweepState> state_;
};

}  // namespace morvane
