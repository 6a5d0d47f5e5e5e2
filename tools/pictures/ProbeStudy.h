#pragma once
// What the speed probes of the windows share: a large study made up in the
// store, and the median of their runs.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "store/StudyStore.h"

namespace morvane::probe {

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A new study of n subjects and levels a1.. and b1.., each score the text
// that scoreOf(s, a, b) gives.
template <typename ScoreOf>
void FillStudy(StudyStore& store, std::int32_t n, std::int32_t na, std::int32_t nb, ScoreOf scoreOf) {
    std::vector<std::string> a, b;
    for (std::int32_t i = 1; i <= na; ++i) a.push_back("a" + std::to_string(i));
    for (std::int32_t i = 1; i <= nb; ++i) b.push_back("b" + std::to_string(i));
    StartNewStudy(store, a, b, std::to_string(n));
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t x = 1; x <= na; ++x)
            for (std::int32_t y = 1; y <= nb; ++y) store.CellText(s, x, y) = scoreOf(s, x, y);
}

}  // namespace morvane::probe
