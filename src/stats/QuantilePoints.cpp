#include "stats/QuantilePoints.h"

#include <algorithm>

#include "stats/detail/RankSelection.h"

namespace morvane {

std::vector<std::size_t> QuantileRanks(std::size_t count) {
    std::vector<std::size_t> ranks;
    if (count <= kQuantilePoints) {
        for (std::size_t i = 0; i < count; ++i) ranks.push_back(i);
        return ranks;
    }
    for (std::size_t i = 0; i < kQuantileTail; ++i) ranks.push_back(i);
    // Between the tails, evenly spaced from the last of the lowest to the first of the highest.
    const std::size_t between = kQuantilePoints - 2 * kQuantileTail, first = kQuantileTail - 1,
                      last = count - kQuantileTail;
    for (std::size_t j = 1; j <= between; ++j)
        ranks.push_back(first + static_cast<std::size_t>(
                                    (static_cast<long double>(last - first) * j) / (between + 1) + 0.5L));
    for (std::size_t i = last; i < count; ++i) ranks.push_back(i);
    ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
    return ranks;
}

std::vector<QuantilePoint> QuantilePointsOf(std::vector<Extended> studentized, Extended low, Extended high) {
    if (studentized.empty()) return {};
    return detail::QuantilePointsFrom(
        [&](auto&& visit) {
            for (Extended v : studentized) visit(v);
        },
        studentized.size(), low, high, Extended{1});
}

}  // namespace morvane
