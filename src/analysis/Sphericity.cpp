#include <algorithm>

#include "analysis/detail/AnalysisSteps.h"
#include "stats/Distributions.h"
#include "stats/Sphericity.h"

namespace morvane::anova {
namespace {

Sphericity SphericityOf(const SquareMatrix& s, std::size_t n, std::size_t cells, const EffectResult& effect);
Correction Corrected(std::optional<Extended> epsilon, Extended applied, const EffectResult& effect);

}  // namespace

void TestSphericity(FullAnalysis& out, const Summary& summary, const Shape& shape) {
    if (shape.n < 2) return;
    const std::size_t n = shape.n, cells = shape.cells;
    if (shape.na > 2) out.A.sphericity = SphericityOf(summary.a, n, cells, out.A);
    if (shape.nb > 2) out.B.sphericity = SphericityOf(summary.b, n, cells, out.B);
    if (shape.interactionSphericity) out.AB.sphericity = SphericityOf(summary.ab, n, cells, out.AB);
}

namespace {

// For each effect tested: the test of the covariance of its contrasts over n
// subjects (n - 1 degrees of freedom of error), and each epsilon applied to
// the effect's F.
Sphericity SphericityOf(const SquareMatrix& s, std::size_t n, std::size_t cells, const EffectResult& effect) {
    const SphericityTest test = TestSphericity(s, static_cast<Extended>(n) - 1, cells);
    Sphericity out;
    out.contrasts = test.contrasts;
    out.df = test.df;
    out.mauchlyW = test.mauchlyW, out.chiSquare = test.chiSquare, out.p = test.p, out.pAsR = test.pAsR;
    out.chiSquareInfinite = test.chiSquareInfinite;
    out.greenhouseGeisser = Corrected(test.greenhouseGeisser, test.greenhouseGeisser.value_or(0), effect);
    out.huynhFeldt = Corrected(test.huynhFeldt, std::min(test.huynhFeldt.value_or(0), Extended{1}), effect);
    out.lowerBound = Corrected(test.lowerBound, test.lowerBound.value_or(0), effect);
    return out;
}

// For each epsilon: the effect's degrees of freedom times `applied`, and the
// F's p on them.
Correction Corrected(std::optional<Extended> epsilon, Extended applied, const EffectResult& effect) {
    Correction c;
    c.epsilon = epsilon;
    if (!epsilon || !(applied > 0)) return c;
    c.df1 = static_cast<Extended>(effect.effect.df) * applied;
    c.df2 = static_cast<Extended>(effect.error.df) * applied;
    if (effect.f) c.p = FUpperTail(*effect.f, *c.df1, *c.df2);
    return c;
}

}  // namespace
}  // namespace morvane::anova
