// Any bytes as a score text, with either decimal separator, checked against the
// second reading of the grammar (properties/ScoreSyntaxProperties.h).

#include <cstddef>
#include <cstdint>

#include "properties/ScoreSyntaxProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    morvane::properties::CheckScoreText(text, '.');
    morvane::properties::CheckScoreText(text, ',');
    return 0;
}
