#include "exact/ExactPartition.h"

#include "exact/ExactTotalsBuilder.h"
#include "runtime/PowersOfTen.h"
#include "scores/ParseScores.h"

namespace morvane {

ExactPartition ComputeExactPartition(const StudyStore& store, char separator, KeepOffsets keep) {
    ExactTotalsBuilder totals(store, keep);
    ParsedBlockSink* const sinks[] = {&totals};
    ParseAllScores(store, separator, sinks);
    return totals.Finish(store, separator, keep);
}

std::vector<Extended> ExactPartition::ExtendedOffsets() const {
    if (integerOffsets.empty() || !offsets.empty()) return offsets;
    std::vector<Extended> out(integerOffsets.size());
    const DecimalUnit unit(offsetScale);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = unit.Of(static_cast<Extended>(integerOffsets[i]));
    return out;
}

}  // namespace morvane
