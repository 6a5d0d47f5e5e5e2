#pragma once
// Private to the full analysis and its checks: the scores of n subjects in na x nb cells, [s][a][b] from 0 with b fastest,
// as offsets from a reference near their mean: integers in units of
// 10^scale (each at most `bound` in magnitude) where the scores allow, and
// extended values where they do not (or both).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/Extended.h"
#include "runtime/Extremes.h"
#include "runtime/PowersOfTen.h"

namespace morvane {

// How many scores of each cell take each value, for integers of a narrow
// range: counts[c * range + (y - least)] for cell c.
struct ValueCounts {
    std::vector<std::uint32_t> counts;
    std::int64_t least = 0;
    std::size_t range = 0;
    std::vector<std::int64_t> cellTotals;  // each cell's sum of its scores, exact
};

struct CellScores {
    std::size_t n = 0, na = 0, nb = 0;
    const std::int32_t* integers = nullptr;
    int scale = 0;
    std::int64_t bound = 0;
    const Extended* values = nullptr;
    const ValueCounts* counts = nullptr;  // of the integers, where CountValues gave them

    std::size_t Count() const { return n * na * nb; }
};

// The scores as extended values: `values`, or the integers converted into `room`.
inline const Extended* ExtendedScores(const CellScores& scores, std::vector<Extended>& room) {
    if (scores.values || !scores.integers) return scores.values;
    const DecimalUnit unit(scores.scale);
    room.resize(scores.Count());
    for (std::size_t i = 0; i < room.size(); ++i) room[i] = unit.Of(static_cast<Extended>(scores.integers[i]));
    return room.data();
}

// The integers counted by value where their range times the cells is
// within 4 N + 65536 (N, the number of scores, below 2^31): the checks and
// the ranks then read the counts instead of the scores.
inline std::optional<ValueCounts> CountValues(const CellScores& scores) {
    const std::size_t count = scores.Count(), cells = scores.na * scores.nb;
    if (!scores.integers || count == 0 || count >= (std::size_t{1} << 31)) return std::nullopt;
    const auto [low, high] = Extremes(scores.integers, count);
    const auto range = static_cast<std::size_t>(static_cast<std::int64_t>(high) - low + 1);
    if (static_cast<Extended>(range) * static_cast<Extended>(cells) >
        4 * static_cast<Extended>(count) + 65536)
        return std::nullopt;
    ValueCounts out;
    out.least = low, out.range = range;
    out.counts.assign(cells * range, 0);
    for (std::size_t i = 0; i < count; i += cells)
        for (std::size_t c = 0; c < cells; ++c)
            ++out.counts[c * range + static_cast<std::size_t>(scores.integers[i + c] - low)];
    out.cellTotals.assign(cells, 0);
    for (std::size_t c = 0; c < cells; ++c)
        for (std::size_t v = 0; v < range; ++v)
            out.cellTotals[c] += out.counts[c * range + v] * (low + static_cast<std::int64_t>(v));
    return out;
}

}  // namespace morvane
