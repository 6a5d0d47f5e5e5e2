#include "report/Padding.h"

namespace morvane {

std::string PadLeft10(std::string_view text) {
    std::string padded;
    AppendPadLeft10(padded, text);
    return padded;
}

std::string PadRight(std::string_view text, std::size_t width) {
    std::string padded(text);
    if (padded.size() < width) padded.append(width - padded.size(), ' ');
    return padded;
}

}  // namespace morvane
