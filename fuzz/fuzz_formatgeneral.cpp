// Any extended value, precision from 1 to 18 and either separator through
// FormatGeneral, checked against its definition (properties/NumberFormatProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/NumberFormatProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    morvane::properties::CheckFormatGeneralBytes({reinterpret_cast<const char*>(data), size});
    return 0;
}
