// Any bytes as a data file whose study goes out as CSV, long and wide, and
// comes back in as the same study (properties/CsvProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/CsvProperties.h"
#include "properties/DataFileProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morvane::properties;
    CheckCsvRoundTripBytes({reinterpret_cast<const char*>(data), size}, kFuzzMemoryBudget);
    return 0;
}
