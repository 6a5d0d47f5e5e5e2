#pragma once
// The sums of squares of the A x B x S partition computed exactly. Every score
// text is a decimal, so its value is an integer times a power of ten: over the
// smallest power of ten of the study the scores are integers, and the sums of
// squares, mean squares and F ratios are ratios of big integers, each rounded to
// the extended format once. Where the integers would be unreasonably long (the
// scores span thousands of decimal places) a two-pass computation from the
// grand mean in extended precision takes their place.

#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/Extended.h"
#include "runtime/WideInteger.h"
#include "store/StudyStore.h"

namespace morvane {

enum class PartitionMethod { Exact, Centred };

// One source of the partition.
struct PartitionSource {
    Extended ss = 0;
    std::int64_t df = 0;
    std::optional<Extended> ms;  // absent with no degrees of freedom
    bool zero = true;            // the sum of squares is exactly zero
    // Not zero, but nearer 0 than the extended type reaches (scores near
    // 1e-4000): no figure is shown for the sum or the mean square.
    bool belowRange = false;

    std::optional<Extended> ShownSs() const { return belowRange ? std::nullopt : std::optional<Extended>(ss); }
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
    // of their magnitudes) from `referenceUnits`, the reference in those units.
    // Where the cells lie too far apart for one reference (cells near 10^12
    // beside cells near 0), the integers are offsets from each cell's own
    // reference, `cellReferenceUnits` ([a][b]), and `offsets` holds the offsets
    // from the one reference beside them, for what compares scores of
    // different cells (ranks).
    Extended reference = 0;
    std::vector<Extended> offsets;
    std::vector<std::int32_t> integerOffsets;
    int offsetScale = 0;
    std::int64_t offsetBound = 0;
    Int128 referenceUnits = 0;
    std::vector<Int128> cellReferenceUnits;

    // The offsets in the extended format from whichever of the two is filled.
    std::vector<Extended> ExtendedOffsets() const;
};

// Whether a partition keeps the scores' offsets for the statistics beyond it.
enum class KeepOffsets { No, Yes };

// Sums of squares of more decimal digits than this (about 10 KiB per number) are
// computed by the centred method.
inline constexpr int kExactDigitLimit = 3000;

// From the score texts of the store (the first that is not a score stops it
// with its ConvertError); CellValue is not read. Throws OverflowError when a
// result leaves the extended range. The offsets are kept when asked for.
ExactPartition ComputeExactPartition(const StudyStore& store, char decimalSeparator, KeepOffsets keep);

}  // namespace morvane
