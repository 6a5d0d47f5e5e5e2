#include "design/Design.h"

#include <algorithm>

namespace morvane {
namespace {

std::size_t LevelProduct(const std::vector<DesignFactor>& factors) {
    std::size_t product = 1;
    for (const DesignFactor& f : factors) product *= f.levels.size();
    return product;
}

// Whether the character at `at` is a half-width katakana (U+FF61..U+FF9F),
// one column as in code page 932.
bool HalfWidthKana(const std::string& name, std::size_t at) {
    if (at + 2 >= name.size() || static_cast<unsigned char>(name[at]) != 0xEF) return false;
    const auto second = static_cast<unsigned char>(name[at + 1]), third = static_cast<unsigned char>(name[at + 2]);
    return (second == 0xBD && third >= 0xA1) || (second == 0xBE && third <= 0x9F);
}

}  // namespace

std::string ShownName(const std::string& name) {
    if (name.size() <= kShownNameColumns) return name;
    std::size_t columns = 0, end = 0;
    for (std::size_t at = 0; at < name.size();) {
        const auto lead = static_cast<unsigned char>(name[at]);
        // The character's bytes: a lead byte's count, continuation bytes alone taken one by one.
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        length = std::min(length, name.size() - at);
        columns += lead < 0x80 || HalfWidthKana(name, at) ? std::size_t{1} : std::size_t{2};
        if (columns > kShownNameColumns) break;
        at += length;
        end = at;
    }
    if (end == name.size()) return name;
    return name.substr(0, end) + "\u2026";
}

std::size_t DesignData::Cells() const {
    return LevelProduct(within);
}

std::size_t DesignData::Groups() const {
    return LevelProduct(between);
}

}  // namespace morvane
