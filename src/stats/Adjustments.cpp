#include "stats/Adjustments.h"

#include <algorithm>
#include <cstddef>

namespace morvane {

std::vector<AdjustedP> AdjustFamily(const std::vector<std::optional<Extended>>& p) {
    std::vector<AdjustedP> out(p.size());
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < p.size(); ++i)
        if (p[i]) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return *p[x] < *p[y]; });
    const auto m = static_cast<Extended>(order.size());
    Extended running = 0;
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const Extended v = *p[order[rank]];
        running = std::max(running, std::min(Extended{1}, (m - static_cast<Extended>(rank)) * v));
        out[order[rank]] = {running, std::min(Extended{1}, m * v)};
    }
    return out;
}

}  // namespace morvane
