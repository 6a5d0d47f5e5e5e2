#include "stats/Contrasts.h"

#include <cmath>

namespace morvane {

Extended HelmertRowLength(std::size_t j) {
    return std::sqrt(static_cast<Extended>((j + 1) * (j + 2)));
}

std::vector<Extended> OrthonormalHelmertRows(std::size_t levels) {
    if (levels < 2) return {};
    std::vector<Extended> rows((levels - 1) * levels, 0);
    for (std::size_t j = 0; j + 1 < levels; ++j) {
        const Extended length = HelmertRowLength(j);
        for (std::size_t i = 0; i <= j; ++i) rows[j * levels + i] = 1 / length;
        rows[j * levels + j + 1] = -static_cast<Extended>(j + 1) / length;
    }
    return rows;
}

std::vector<Extended> HelmertContrasts(const std::vector<Extended>& means) {
    if (means.size() < 2) return {};
    std::vector<Extended> z(means.size() - 1);
    ApplyIntegerHelmert(means.size(), means.data(), 1, z.data(), 1);
    for (std::size_t j = 0; j < z.size(); ++j) z[j] /= HelmertRowLength(j);
    return z;
}

std::vector<Extended> InteractionContrasts(const std::vector<Extended>& cellMeans, std::size_t na,
                                           std::size_t nb) {
    std::vector<std::vector<Extended>> left(na > 0 ? na - 1 : 0, std::vector<Extended>(nb));
    for (std::size_t b = 0; b < nb; ++b) {
        std::vector<Extended> column(na);
        for (std::size_t a = 0; a < na; ++a) column[a] = cellMeans[a * nb + b];
        const std::vector<Extended> z = HelmertContrasts(column);
        for (std::size_t i = 0; i < z.size(); ++i) left[i][b] = z[i];
    }
    std::vector<Extended> out;
    for (const auto& row : left)
        for (Extended v : HelmertContrasts(row)) out.push_back(v);
    return out;
}

}  // namespace morvane
