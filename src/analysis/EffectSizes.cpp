#include <cmath>

#include "analysis/AnalysisSteps.h"
#include "stats/Distributions.h"

namespace morvane::anova {
namespace {

// Partial eta squared's interval from an F on (df1, df2): each limit lambda of
// the noncentrality is lambda / (lambda + df2), the map that takes F df1 to
// the estimate F df1 / (F df1 + df2).
std::optional<LevelInterval> EtaSquaredInterval(std::optional<Extended> f, Extended df1, Extended df2,
                                                Extended level) {
    if (!f) return std::nullopt;
    const std::optional<NoncentralityLimits> limits = NoncentralFLimits(*f, df1, df2, level);
    if (!limits) return std::nullopt;
    const auto eta = [&](Extended lambda) { return lambda / (lambda + df2); };
    return LevelInterval{level, eta(limits->lower), eta(limits->upper)};
}

}  // namespace

void EffectSizeIntervals(FullAnalysis& out) {
    const Extended level = out.options.effectSizeLevel;
    for (EffectResult* e : {&out.A, &out.B, &out.AB}) {
        const auto df1 = static_cast<Extended>(e->effect.df), df2 = static_cast<Extended>(e->error.df);
        e->partialEtaSquaredCI = EtaSquaredInterval(e->f, df1, df2, level);
        if (e->effect.df == 1) {
            e->partialEtaSquaredCIGG = e->partialEtaSquaredCI;  // epsilon is 1
        } else if (e->sphericity) {
            const Correction& gg = e->sphericity->greenhouseGeisser;
            if (gg.df1 && gg.df2)
                e->partialEtaSquaredCIGG = EtaSquaredInterval(e->f, *gg.df1, *gg.df2, level);
        }
    }
    for (SimpleEffectResult& s : out.simpleEffects)
        s.partialEtaSquaredCI =
            EtaSquaredInterval(s.f, static_cast<Extended>(s.df1), static_cast<Extended>(s.df2), level);
    // d_z = t / sqrt(N): the limits of the noncentrality over sqrt(N).
    for (ComparisonResult& c : out.comparisons) {
        if (!c.t) continue;
        const std::optional<NoncentralityLimits> limits =
            NoncentralTLimits(*c.t, static_cast<Extended>(c.df), level);
        if (!limits) continue;
        const Extended root = std::sqrt(static_cast<Extended>(c.df + 1));
        c.dzCI = LevelInterval{level, limits->lower / root, limits->upper / root};
    }
}

}  // namespace morvane::anova
