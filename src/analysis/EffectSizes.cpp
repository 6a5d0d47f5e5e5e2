#include "analysis/detail/AnalysisSteps.h"
#include "stats/EffectSizes.h"

namespace morvane::anova {

void EffectSizeIntervals(FullAnalysis& out) {
    const Extended level = out.options.effectSizeLevel;
    for (EffectResult* e : {&out.A, &out.B, &out.AB}) {
        const auto df1 = static_cast<Extended>(e->effect.df), df2 = static_cast<Extended>(e->error.df);
        e->partialEtaSquaredCI = PartialEtaSquaredInterval(e->f, df1, df2, level);
        if (e->effect.df == 1) {
            e->partialEtaSquaredCIGG = e->partialEtaSquaredCI;  // epsilon is 1
        } else if (e->sphericity) {
            const Correction& gg = e->sphericity->greenhouseGeisser;
            if (gg.df1 && gg.df2) e->partialEtaSquaredCIGG = PartialEtaSquaredInterval(e->f, *gg.df1, *gg.df2, level);
        }
    }
    for (SimpleEffectResult& s : out.simpleEffects)
        s.partialEtaSquaredCI =
            PartialEtaSquaredInterval(s.f, static_cast<Extended>(s.df1), static_cast<Extended>(s.df2), level);
    for (ComparisonResult& c : out.comparisons)
        c.dzCI = CohenDzInterval(c.t, static_cast<Extended>(c.df), level);
}

}  // namespace morvane::anova
