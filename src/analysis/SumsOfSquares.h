#pragma once
// The sums-of-squares partition of the two-way within-subjects design A x B x S
// by the correction-term method.

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/Extended.h"
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

// ComputeSumsOfSquares a subject at a time, so that it can follow the parsing
// while a subject's values are at hand: the same totals, summed in the same order.
class SumsOfSquaresSweep {
public:
    explicit SumsOfSquaresSweep(const StudyStore& store);
    ~SumsOfSquaresSweep();
    SumsOfSquaresSweep(const SumsOfSquaresSweep&) = delete;
    SumsOfSquaresSweep& operator=(const SumsOfSquaresSweep&) = delete;

    // Subjects first .. last (from 1) of CellValue; the subjects come in order.
    void AddSubjects(const StudyStore& store, std::int32_t first, std::int32_t last);
    // The next `count` subjects from values laid out [a][b][t] from 0, the
    // subject t fastest, for the store's na levels of A and nb of B.
    void AddBlock(const Extended* values, std::int32_t count, std::int32_t na, std::int32_t nb);
    // The same from values held as pairs of doubles (which it reads faster).
    void AddBlock(const SplitExtended* values, std::int32_t count, std::int32_t na, std::int32_t nb);
    // After every subject: what ComputeSumsOfSquares gives, with its errors.
    SumsOfSquares Finish(const StudyStore& store) const;
    // The totals of every cell over the subjects, index (a - 1) * nb + (b - 1).
    const std::vector<Extended>& CellTotals() const;

private:
    struct Totals;
    std::unique_ptr<Totals> totals_;
};

}  // namespace morvane
