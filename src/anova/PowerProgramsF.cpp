// The Cohen's f of an effect of one within factor as the power programs take
// it (Power.h's first convention): f over the within-cell SD, where the
// analysis' f (from partial eta squared) is over the SD its error term leaves,
// which the measures' correlation shrinks. FInOtherConvention maps one to the
// other at the design's N, K groups and M levels, with rho the mean
// correlation of the factor's levels: each subject's score at a level (its
// mean over the other within factors), their covariances pooled within the
// groups from the exact cross products, each correlation rounded once.

#include <cmath>

#include "anova/detail/CellChecks.h"
#include "anova/detail/Steps.h"
#include "stats/Power.h"

namespace morvane::anova::detail {
namespace {

// The mean correlation of the levels of within factor `w`, from the pooled
// cross products of every within cell; absent where a level has no variance.
std::optional<Extended> MeanCorrelation(const DesignData& design, const std::vector<mpq_class>& pooled,
                                        std::size_t w) {
    const std::size_t cells = design.Cells(), levels = design.within[w].levels.size();
    std::size_t stride = 1;
    for (std::size_t f = w + 1; f < design.within.size(); ++f) stride *= design.within[f].levels.size();
    std::vector<mpq_class> c(levels * levels);
    for (std::size_t i = 0; i < cells; ++i)
        for (std::size_t j = 0; j < cells; ++j)
            c[(i / stride % levels) * levels + j / stride % levels] += pooled[i * cells + j];
    for (std::size_t i = 0; i < levels; ++i)
        if (c[i * levels + i] <= 0) return std::nullopt;
    Extended sum = 0;
    for (std::size_t i = 0; i < levels; ++i) {
        for (std::size_t j = i + 1; j < levels; ++j) {
            const mpq_class& cij = c[i * levels + j];
            sum += RoundedRoot(cij * cij / (c[i * levels + i] * c[j * levels + j]), sgn(cij));
        }
    }
    return sum / static_cast<Extended>(levels * (levels - 1) / 2);
}

}  // namespace

void AddPowerProgramsF(const Inputs& in, Analysis& out) {
    const DesignData& design = in.design;
    bool any = false;
    for (const Effect& e : out.effects) any = any || (e.within.size() == 1 && e.cohensF);
    if (!any) return;
    const std::vector<std::vector<mpq_class>> products = GroupCrossProducts(in);
    if (products.empty()) return;
    std::vector<mpq_class> pooled(products.front().size());
    for (const std::vector<mpq_class>& g : products)
        for (std::size_t e = 0; e < pooled.size(); ++e) pooled[e] += g[e];
    const auto n = static_cast<Extended>(design.Subjects());
    for (Effect& e : out.effects) {
        if (e.within.size() != 1 || !e.cohensF) continue;
        const std::size_t w = e.within.front();
        e.measuresCorrelation = MeanCorrelation(design, pooled, w);
        if (!e.measuresCorrelation) continue;
        PowerDesign plan;
        plan.effect = e.between.empty() ? PowerEffect::Within : PowerEffect::Interaction;
        plan.measures = static_cast<int>(design.within[w].levels.size());
        plan.groups = static_cast<int>(products.size());
        plan.rho = *e.measuresCorrelation;
        if (!PowerDesignProblem(plan).empty() || n <= plan.groups) continue;
        const Extended f = FInOtherConvention(plan, *e.cohensF, PowerConvention::StatisticsPackages, n);
        if (std::isfinite(f)) e.cohensFPowerPrograms = f;
    }
}

}  // namespace morvane::anova::detail
