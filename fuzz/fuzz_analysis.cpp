// Any bytes as a data file through the whole analysis and every format of
// morvane anova (properties/AnalysisProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/AnalysisProperties.h"
#include "properties/DataFileProperties.h"
#include "properties/Shapes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morvane::properties;
    CheckAnalysisBytes(ExpandShape({reinterpret_cast<const char*>(data), size}), kFuzzMemoryBudget);
    return 0;
}
