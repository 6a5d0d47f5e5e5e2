#include "stats/EffectSizes.h"

#include <cmath>

#include "stats/Distributions.h"

namespace morvane {

std::optional<LevelInterval> PartialEtaSquaredInterval(std::optional<Extended> f, Extended df1, Extended df2,
                                                       Extended level) {
    if (!f) return std::nullopt;
    const std::optional<NoncentralityLimits> limits = NoncentralFLimits(*f, df1, df2, level);
    if (!limits) return std::nullopt;
    const auto eta = [&](Extended lambda) { return lambda / (lambda + df2); };
    return LevelInterval{level, eta(limits->lower), eta(limits->upper)};
}

std::optional<LevelInterval> CohenDzInterval(std::optional<Extended> t, Extended df, Extended level) {
    if (!t) return std::nullopt;
    const std::optional<NoncentralityLimits> limits = NoncentralTLimits(*t, df, level);
    if (!limits) return std::nullopt;
    const Extended root = std::sqrt(df + 1);
    return LevelInterval{level, limits->lower / root, limits->upper / root};
}

}  // namespace morvane
