// Any bytes as a data file: read, loaded, written back and read again, each
// checked against the model reading (properties/DataFileProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/DataFileProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morvane::properties;
    CheckDataFileBytes({reinterpret_cast<const char*>(data), size}, kFuzzMemoryBudget);
    return 0;
}
