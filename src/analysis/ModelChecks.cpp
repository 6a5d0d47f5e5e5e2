#include <cmath>
#include <optional>
#include <vector>

#include "analysis/ResultFields.h"
#include "analysis/detail/AnalysisSteps.h"
#include "analysis/detail/ModelCheckSteps.h"
#include "stats/Contrasts.h"

namespace morvane::analysis {
namespace {

// Scores near the extended format's limits can take a check's sums beyond it:
// such a figure is undefined there, not a reason to fail the whole analysis.
struct ResetUnlessFinite : FigureVisitor {
    static void Defined(std::optional<Extended>& v) {
        if (v && !std::isfinite(*v)) v.reset();
    }
    void Number(const char*, std::optional<Extended>& v, Range) { Defined(v); }
    void Number(const char*, Extended& v, Range) {
        if (!std::isfinite(v)) v = 0;
    }
    void P(const char*, std::optional<Extended>& p, bool) { Defined(p); }
};

void KeepFinite(FullAnalysis& out) {
    // What follows from a figure that is not finite goes with it.
    for (StratumCheck& s : out.assumptions.strata)
        for (const QuantilePoint& q : s.quantiles)
            if (!std::isfinite(q.studentized)) {
                s.quantiles.clear();
                break;
            }
    RankBasedResults& r = out.rankBased;
    for (std::vector<AlignedRankContrast>* family : {&r.contrastsA, &r.contrastsB})
        for (AlignedRankContrast& c : *family)
            if (!std::isfinite(c.difference)) c.difference = 0, c.se.reset(), c.t.reset(), c.p.reset();
    for (AlignedRankEffect* e : {&r.alignedA, &r.alignedB, &r.alignedAB})
        if (!std::isfinite(e->ss) || !std::isfinite(e->errorSs))
            e->ss = e->errorSs = 0, e->f.reset(), e->p.reset();
    ResetUnlessFinite reset;
    ForEachModelCheckField(out, reset);
}

}  // namespace

void CheckTheModel(FullAnalysis& out, const PassMoments& moments, const Layout& layout,
                   const ExactPartition& part) {
    const std::size_t n = layout.n, na = layout.na, nb = layout.nb;
    // The contrasts' means from the means of the levels and cells (offsets:
    // a contrast's weights sum to zero), their covariances from the pass.
    std::vector<Extended> meansA, meansB, cellMeans;
    for (const Moment& m : moments.aRaw) meansA.push_back(m.mean);
    for (const Moment& m : moments.bRaw) meansB.push_back(m.mean);
    for (const Moment& m : moments.cellRaw) cellMeans.push_back(m.mean);
    out.multivariate.A = OneSampleTest(HelmertContrasts(meansA), moments.a, n);
    out.multivariate.B = OneSampleTest(HelmertContrasts(meansB), moments.b, n);
    const std::vector<Extended> interaction = InteractionContrasts(cellMeans, na, nb);
    if (layout.interactionSphericity || interaction.size() < 2 || n < 2) {
        out.multivariate.AB = OneSampleTest(interaction, moments.ab, n);
    } else {
        out.multivariate.AB.status = MultivariateStatus::Omitted;
        out.multivariate.AB.contrasts = static_cast<std::int64_t>(interaction.size());
    }

    // The scores' offsets as integers where the pass had them so, exact.
    CellScores scores;
    scores.n = n, scores.na = na, scores.nb = nb;
    if (part.integerOffsets.size() == n * layout.cells) {
        scores.integers = part.integerOffsets.data();
        scores.scale = part.offsetScale;
        scores.bound = part.offsetBound;
    }
    if (part.offsets.size() == n * layout.cells) scores.values = part.offsets.data();
    // Integers of a narrow range counted by value once, for both the checks and the ranks.
    const std::optional<ValueCounts> counts = CountValues(scores);
    if (counts) scores.counts = &*counts;
    if (!scores.integers && !scores.values) return KeepFinite(out);
    // The residuals and the cells' shapes do not change when a cell's scores
    // are shifted alike: they take the integers from each cell's own
    // reference too. The ranks compare scores of different cells: where the
    // integers are from each cell's own reference, the ranks take the offsets
    // from the one reference beside them.
    out.assumptions = CheckAssumptions(scores);
    CellScores common = scores;
    if (!part.cellReferenceUnits.empty()) common.integers = nullptr, common.counts = nullptr;
    out.rankBased = RankBasedAnalysis(common);
    for (std::vector<AlignedRankContrast>* family : {&out.rankBased.contrastsA, &out.rankBased.contrastsB})
        AdjustWithinFamily(*family, 0, family->size());
    KeepFinite(out);
}

}  // namespace morvane::analysis
