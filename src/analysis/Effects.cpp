#include <algorithm>

#include "analysis/detail/AnalysisSteps.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/Sphericity.h"

namespace morvane::analysis {
EffectResult TestEffect(const EffectInputs& in) {
    EffectResult r;
    r.effect = in.effect;
    r.error = in.error;
    r.f = in.f;
    r.mse = in.error.ms;
    r.sphericityOmitted = in.sphericityOmitted;
    const auto df1 = static_cast<Extended>(in.effect.df), df2 = static_cast<Extended>(in.error.df);
    if (in.f) r.p = FUpperTail(*in.f, df1, df2);
    if (in.covariance && in.subjects > 1)
        r.sphericity = CorrectedSphericity(
            TestSphericity(*in.covariance, static_cast<Extended>(in.subjects) - 1, in.cells), r.effect.df,
            r.error.df, r.f);
    // With fewer than two subjects every error term is zero by construction,
    // not by the data, and the effect sizes (which would all be 1) are
    // undefined; a factor of one level has no effect to measure.
    if (in.effect.df < 1 || !in.enoughSubjects) return r;
    r.partialEtaSquared = Ratio(in.effect.ss, in.effect.ss + in.error.ss);
    r.generalizedEtaSquared = Ratio(in.effect.ss, in.effect.ss + in.errors);
    r.partialEtaSquaredCI = PartialEtaSquaredInterval(r.f, df1, df2, in.level);
    if (in.effect.df == 1) {
        r.partialEtaSquaredCIGG = r.partialEtaSquaredCI;  // epsilon is 1
    } else if (r.sphericity) {
        const Correction& gg = r.sphericity->greenhouseGeisser;
        if (gg.df1 && gg.df2)
            r.partialEtaSquaredCIGG = PartialEtaSquaredInterval(r.f, *gg.df1, *gg.df2, in.level);
    }
    return r;
}

}  // namespace morvane::analysis

