#include <algorithm>

#include "analysis/detail/AnalysisSteps.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/Sphericity.h"

namespace morvane::analysis {
namespace {

Correction Corrected(std::optional<Extended> epsilon, Extended applied, Extended df1, Extended df2,
                     std::optional<Extended> f);

}  // namespace

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
            TestSphericity(*in.covariance, static_cast<Extended>(in.subjects) - 1, in.cells), r.effect,
            r.error, r.f);
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

namespace {

// For each epsilon: the effect's degrees of freedom times `applied`, and the
// F's p on them.
Correction Corrected(std::optional<Extended> epsilon, Extended applied, Extended df1, Extended df2,
                     std::optional<Extended> f) {
    Correction c;
    c.epsilon = epsilon;
    if (!epsilon || !(applied > 0)) return c;
    c.df1 = df1 * applied;
    c.df2 = df2 * applied;
    if (f) c.p = FUpperTail(*f, *c.df1, *c.df2);
    return c;
}

}  // namespace
}  // namespace morvane::analysis

namespace morvane {

using analysis::Corrected;

Sphericity CorrectedSphericity(const SphericityTest& test, const PartitionSource& effect,
                               const PartitionSource& error, std::optional<Extended> f) {
    Sphericity out;
    out.contrasts = test.contrasts;
    out.df = test.df;
    out.mauchlyW = test.mauchlyW, out.chiSquare = test.chiSquare, out.p = test.p, out.pAsR = test.pAsR;
    out.chiSquareInfinite = test.chiSquareInfinite;
    const auto df1 = static_cast<Extended>(effect.df), df2 = static_cast<Extended>(error.df);
    out.greenhouseGeisser =
        Corrected(test.greenhouseGeisser, test.greenhouseGeisser.value_or(0), df1, df2, f);
    out.huynhFeldt =
        Corrected(test.huynhFeldt, std::min(test.huynhFeldt.value_or(0), Extended{1}), df1, df2, f);
    out.lowerBound = Corrected(test.lowerBound, test.lowerBound.value_or(0), df1, df2, f);
    return out;
}

}  // namespace morvane
