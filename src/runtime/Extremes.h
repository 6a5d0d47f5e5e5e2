#pragma once
// The least and the most of many values in one pass without a branch on
// them: over scores in random order a comparison that jumps is mispredicted
// half the time, and the standard algorithm's jumps cost most of its time.

#include <cstddef>
#include <utility>

namespace morvane {

// Of v[0] .. v[count - 1], count > 0.
template <typename T>
std::pair<T, T> Extremes(const T* v, std::size_t count) {
    T least = v[0], most = v[0];
    for (std::size_t i = 1; i < count; ++i) {
        const T x = v[i];
        least = x < least ? x : least;
        most = most < x ? x : most;
    }
    return {least, most};
}

}  // namespace morvane
