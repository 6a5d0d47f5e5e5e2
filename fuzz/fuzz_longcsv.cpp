// Any bytes as a long CSV to read into a design, the options and roles chosen
// by its first two bytes (properties/LongCsvProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/LongCsvProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    morvane::properties::CheckLongCsvBytes({reinterpret_cast<const char*>(data), size});
    return 0;
}
