#include "exact/ExactPartition.h"

#include "exact/ExactTotalsBuilder.h"
#include "exact/WideIntegers.h"
#include "scores/ParseScores.h"

namespace morvane {

ExactPartition ComputeExactPartition(const StudyStore& store, char separator, bool keepOffsets) {
    ExactTotalsBuilder totals(store, keepOffsets);
    ParsedBlockSink* const sinks[] = {&totals};
    ParseAllScores(store, separator, sinks);
    return totals.Finish(store, separator, keepOffsets);
}

std::vector<Extended> ExactPartition::ExtendedOffsets() const {
    if (integerOffsets.empty()) return offsets;
    std::vector<Extended> out(integerOffsets.size());
    const Extended factor = exact::ExtendedPowerOfTen(offsetScale);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto difference = static_cast<Extended>(integerOffsets[i]);
        out[i] = offsetScale < 0 ? difference / factor : difference * factor;
    }
    return out;
}

}  // namespace morvane
