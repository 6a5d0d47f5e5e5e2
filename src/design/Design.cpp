#include "design/Design.h"

namespace morvane {
namespace {

std::size_t LevelProduct(const std::vector<DesignFactor>& factors) {
    std::size_t product = 1;
    for (const DesignFactor& f : factors) product *= f.levels.size();
    return product;
}

}  // namespace

std::size_t DesignData::Cells() const {
    return LevelProduct(within);
}

std::size_t DesignData::Groups() const {
    return LevelProduct(between);
}

}  // namespace morvane
