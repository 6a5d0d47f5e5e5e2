#pragma once
// Private to the statistics and the analyses that call them: the values of
// chosen ranks among many, sorted, without sorting them all, and the normal
// Q-Q plot's points of such values. `forEach(visit)` hands every value to
// visit, the same values each time it is called: a caller whose values are
// cheaper to form again than to keep passes a forEach that forms them.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "runtime/Extended.h"
#include "runtime/Extremes.h"
#include "stats/Distributions.h"
#include "stats/QuantilePoints.h"

namespace morvane::detail {

template <typename T>
void SelectRanks(const std::vector<T>& values, const std::vector<std::size_t>& ranks, std::vector<T>& out);

// The values of `ranks` (ascending, below count) among the `count` values,
// all within [low, high], sorted into `out`: a pass counts the values in bins
// of equal width from the least to the most, which order preserves, and only
// the bins holding a rank asked for are sorted, or chosen from again where
// one holds many.
template <typename T, typename ForEach>
void SelectRanksOf(ForEach&& forEach, std::size_t count, T low, T high, const std::vector<std::size_t>& ranks,
                   std::vector<T>& out) {
    out.resize(ranks.size());
    if (ranks.empty()) return;
    if (low == high) return std::fill(out.begin(), out.end(), low);
    if (count <= 4096) {
        std::vector<T> sorted;
        sorted.reserve(count);
        forEach([&](T v) { sorted.push_back(v); });
        std::sort(sorted.begin(), sorted.end());
        for (std::size_t i = 0; i < ranks.size(); ++i) out[i] = sorted[ranks[i]];
        return;
    }
    const std::size_t bins = std::min<std::size_t>(65536, count / 4);
    // Integers by a shift of their offset from the least; extended values by a
    // product, not a quotient (the format divides and converts to integers slowly).
    const Extended scale =
        static_cast<Extended>(bins) / (static_cast<Extended>(high) - static_cast<Extended>(low));
    const Extended origin = static_cast<Extended>(low);
    int shift = 0;
    if constexpr (!std::is_same_v<T, Extended>)
        while ((static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low)) >> shift >= bins) ++shift;
    const auto bin = [&](T v) {
        if constexpr (std::is_same_v<T, Extended>)
            return std::min(static_cast<std::size_t>((v - origin) * scale), bins - 1);
        else
            return static_cast<std::size_t>(
                (static_cast<std::uint64_t>(v) - static_cast<std::uint64_t>(low)) >> shift);
    };
    std::vector<std::size_t> start(bins + 1, 0);
    forEach([&](T v) { ++start[bin(v) + 1]; });
    for (std::size_t i = 0; i < bins; ++i) start[i + 1] += start[i];
    // The bins of the ranks (marked in a bitmap the pass below reads from the
    // nearest cache), and the values of those bins.
    constexpr std::uint32_t kNone = UINT32_MAX;
    std::vector<std::uint32_t> wanted(bins, kNone);
    std::vector<std::uint64_t> marked((bins + 63) / 64, 0);
    std::vector<std::vector<T>> held;
    for (std::size_t r : ranks) {
        const std::size_t b =
            static_cast<std::size_t>(std::upper_bound(start.begin(), start.end(), r) - start.begin()) - 1;
        if (wanted[b] == kNone) {
            wanted[b] = static_cast<std::uint32_t>(held.size()),
            held.emplace_back().reserve(start[b + 1] - start[b]);
            marked[b / 64] |= std::uint64_t{1} << (b % 64);
        }
    }
    forEach([&](T v) {
        const std::size_t b = bin(v);
        if (marked[b / 64] >> (b % 64) & 1) held[wanted[b]].push_back(v);
    });
    for (std::size_t i = 0, first = 0; first < ranks.size(); first = i) {
        const std::size_t b =
            static_cast<std::size_t>(std::upper_bound(start.begin(), start.end(), ranks[first]) -
                                     start.begin()) -
            1;
        std::vector<std::size_t> within;
        for (; i < ranks.size() && ranks[i] < start[b + 1]; ++i) within.push_back(ranks[i] - start[b]);
        std::vector<T> chosen;
        // A bin of one value throughout, or a narrower range, ends the recursion.
        SelectRanks(held[wanted[b]], within, chosen);
        std::copy(chosen.begin(), chosen.end(), out.begin() + static_cast<std::ptrdiff_t>(first));
    }
}

template <typename T>
void SelectRanks(const std::vector<T>& values, const std::vector<std::size_t>& ranks, std::vector<T>& out) {
    if (ranks.empty()) return out.clear();
    const auto [low, high] = Extremes(values.data(), values.size());
    SelectRanksOf(
        [&](auto&& visit) {
            for (T v : values) visit(v);
        },
        values.size(), low, high, ranks, out);
}

// The normal Q-Q plot's points of `count` values within [low, high], each
// divided by `scale` (the values themselves studentized, or integers times
// the same scale): the ranks QuantileRanks chooses beside the normal
// quantiles of their plotting positions.
template <typename T, typename ForEach>
std::vector<QuantilePoint> QuantilePointsFrom(ForEach&& forEach, std::size_t count, T low, T high,
                                              Extended scale) {
    const std::vector<std::size_t> ranks = QuantileRanks(count);
    std::vector<T> ranked;
    SelectRanksOf(forEach, count, low, high, ranks, ranked);
    const Extended c = count <= 10 ? 0.375L : 0.5L, positions = static_cast<Extended>(count) + 1 - 2 * c;
    std::vector<QuantilePoint> points;
    points.reserve(ranks.size());
    for (std::size_t i = 0; i < ranks.size(); ++i)
        points.push_back({ranks[i],
                          NormalQuantile((static_cast<Extended>(ranks[i]) + 1 - c) / positions).value_or(0),
                          static_cast<Extended>(ranked[i]) / scale});
    return points;
}

}  // namespace morvane::detail
