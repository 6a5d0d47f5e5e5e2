#pragma once
// A design whose scores are decimals of one place, as a long CSV gives them:
// exact, each cell one row, in the order of the subjects and then the cells.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "design/Design.h"

namespace morvane::testing {

// `d` with its scores from `tenths` (tenths of the scores, subject by subject).
inline DesignData WithTenths(DesignData d, const int* tenths) {
    d.exact = true, d.scale = 1;
    for (std::size_t i = 0; i < d.Subjects() * d.Cells(); ++i) {
        d.units.push_back(tenths[i]);
        d.rows.push_back(1);
        d.values.push_back(static_cast<Extended>(tenths[i]) / 10);
    }
    d.subjectsRead = static_cast<std::int64_t>(d.Subjects());
    return d;
}

// The design of those factors with groups of `sizes` subjects (s1, s2, ...) and scores from `tenths`.
inline DesignData TenthsDesign(std::vector<DesignFactor> between, std::vector<DesignFactor> within,
                               const std::vector<int>& sizes, const int* tenths) {
    DesignData d;
    d.between = std::move(between), d.within = std::move(within);
    for (std::size_t g = 0; g < sizes.size(); ++g)
        for (int i = 0; i < sizes[g]; ++i) {
            d.subjects.push_back("s" + std::to_string(d.subjects.size() + 1));
            d.group.push_back(static_cast<std::int32_t>(g));
        }
    return WithTenths(std::move(d), tenths);
}

}  // namespace morvane::testing
