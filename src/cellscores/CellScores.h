#pragma once
// The scores of n subjects in na x nb cells, [s][a][b] from 0 with b fastest,
// as offsets from a reference near their mean: integers in units of
// 10^scale (each at most `bound` in magnitude) where the scores allow, and
// extended values where they do not (or both).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

struct CellScores {
    std::size_t n = 0, na = 0, nb = 0;
    const std::int32_t* integers = nullptr;
    int scale = 0;
    std::int64_t bound = 0;
    const Extended* values = nullptr;

    std::size_t Count() const { return n * na * nb; }
};

// The scores as extended values: `values`, or the integers converted into `room`.
inline const Extended* ExtendedScores(const CellScores& scores, std::vector<Extended>& room) {
    if (scores.values || !scores.integers) return scores.values;
    // 10^|scale|: exact by multiplication up to 10^27.
    const int magnitude = scores.scale < 0 ? -scores.scale : scores.scale;
    Extended power = 1;
    if (magnitude <= 27)
        for (int i = 0; i < magnitude; ++i) power *= 10;
    else
        power = std::pow(Extended{10}, static_cast<Extended>(magnitude));
    room.resize(scores.Count());
    for (std::size_t i = 0; i < room.size(); ++i) {
        const auto v = static_cast<Extended>(scores.integers[i]);
        room[i] = scores.scale < 0 ? v / power : v * power;
    }
    return room.data();
}

}  // namespace morvane
