#include <vector>

#include "anova/AnalysisSteps.h"

namespace morvane::anova {

void CheckTheModel(FullAnalysis& out, const Summary& summary, const Shape& shape,
                   const ExactPartition& part) {
    const std::size_t n = shape.n, na = shape.na, nb = shape.nb;
    // The contrasts' means from the means of the levels and cells (offsets:
    // a contrast's weights sum to zero), their covariances from the pass.
    std::vector<Extended> meansA, meansB, cellMeans;
    for (const Moment& m : summary.aRaw) meansA.push_back(m.mean);
    for (const Moment& m : summary.bRaw) meansB.push_back(m.mean);
    for (const Moment& m : summary.cellRaw) cellMeans.push_back(m.mean);
    out.multivariate.A = OneSampleTest(HelmertContrasts(meansA), summary.a, n);
    out.multivariate.B = OneSampleTest(HelmertContrasts(meansB), summary.b, n);
    const std::vector<Extended> interaction = InteractionContrasts(cellMeans, na, nb);
    if (shape.interactionSphericity || interaction.size() < 2 || n < 2) {
        out.multivariate.AB = OneSampleTest(interaction, summary.ab, n);
    } else {
        out.multivariate.AB.status = MultivariateStatus::Omitted;
        out.multivariate.AB.contrasts = static_cast<std::int64_t>(interaction.size());
    }

    // The scores' offsets as integers where the pass had them so, exact.
    CellScores scores;
    scores.n = n, scores.na = na, scores.nb = nb;
    if (part.integerOffsets.size() == n * shape.cells) {
        scores.integers = part.integerOffsets.data();
        scores.scale = part.offsetScale;
        scores.bound = part.offsetBound;
    }
    if (part.offsets.size() == n * shape.cells) scores.values = part.offsets.data();
    if (!scores.integers && !scores.values) return;
    out.assumptions = CheckAssumptions(scores);
    out.rankBased = RankBasedAnalysis(scores);
}

}  // namespace morvane::anova
