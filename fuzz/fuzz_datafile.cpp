// Any bytes as a data file: read, loaded, written back and read again, each
// checked against the model reading (properties/DataFileProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/DataFileProperties.h"

namespace {

// Small enough that a huge count fails with "メモリが足りません" at once instead
// of sizing arrays the size of the machine; large enough for 32768 score texts.
constexpr std::uint64_t kMemoryBudget = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    morvane::properties::CheckDataFileBytes({reinterpret_cast<const char*>(data), size}, kMemoryBudget);
    return 0;
}
