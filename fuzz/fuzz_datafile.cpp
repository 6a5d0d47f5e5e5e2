// Any bytes as a data file: read, loaded, written back and read again, each
// checked against the model reading (properties/DataFileProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/DataFileProperties.h"
#include "properties/Shapes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morvane::properties;
    CheckDataFileBytes(ExpandShape({reinterpret_cast<const char*>(data), size}), kFuzzMemoryBudget);
    return 0;
}
