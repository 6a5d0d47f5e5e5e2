#include "design/Design.h"

#include <algorithm>

namespace morvane {
namespace {

std::size_t LevelProduct(const std::vector<DesignFactor>& factors) {
    std::size_t product = 1;
    for (const DesignFactor& f : factors) product *= f.levels.size();
    return product;
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
        columns += lead < 0x80 ? 1 : 2;
        if (columns > kShownNameColumns) break;
        at += length;
        end = at;
    }
    if (end == name.size()) return name;
    return name.substr(0, end) + "\u2026";
}

void CutLongNames(DesignData& design) {
    for (std::vector<DesignFactor>* factors : {&design.between, &design.within})
        for (DesignFactor& factor : *factors)
            for (std::string& level : factor.levels) level = ShownName(level);
    for (std::string& id : design.subjects) id = ShownName(id);
    for (std::string& id : design.removed) id = ShownName(id);
}

std::size_t DesignData::Cells() const {
    return LevelProduct(within);
}

std::size_t DesignData::Groups() const {
    return LevelProduct(between);
}

}  // namespace morvane
