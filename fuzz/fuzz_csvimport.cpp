// Any bytes as a CSV to import, the options chosen by its first two bytes:
// read, checked against the model reading, written out and read back
// (properties/CsvProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/CsvProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    morvane::properties::CheckCsvImportBytes({reinterpret_cast<const char*>(data), size});
    return 0;
}
