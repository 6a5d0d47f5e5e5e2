#include "store/LevelNames.h"

#include "runtime/Cp932.h"

namespace morvane {

std::string LevelLabel(const std::string& name, char factor, std::int32_t level) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c <= 0x20 || c == 0x7F) continue;
        // The full-width space, 81 40, is a character of two bytes.
        if (c == 0x81 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) == 0x40) {
            ++i;
            continue;
        }
        return name;
    }
    return factor + std::to_string(level);
}

std::string ShownLevelName(const std::string& name) {
    return CutCp932(name, kShownNameBytes);
}

}  // namespace morvane
