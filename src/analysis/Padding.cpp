#include "analysis/Padding.h"

namespace morvane {

std::string PadLeft10(std::string_view text) {
    constexpr std::size_t kWidth = 10;
    std::string padded;
    if (text.size() < kWidth) padded.assign(kWidth - text.size(), ' ');
    padded.append(text);
    return padded;
}

std::string PadRight(std::string_view text, std::size_t width) {
    std::string padded(text);
    if (padded.size() < width) padded.append(width - padded.size(), ' ');
    return padded;
}

}  // namespace morvane
