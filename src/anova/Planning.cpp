// The planning of each effect: the total N a study like the analysed one
// would need for power .80 and .90 at the analysis' alpha, in the power
// programs' convention, from the effect's partial eta squared (and its
// interval's lower limit), the mean correlation among its stratum's measures
// and Greenhouse and Geisser's epsilon. The mapping of an effect to the power
// calculation's kinds is Analysis.h's (PlanningRow).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Steps.h"
#include "stats/Power.h"

namespace morvane::anova::detail {
namespace {

// The most cells whose correlations are formed: beyond them rho is absent.
constexpr std::size_t kMostCorrelatedCells = 200;

struct Reason {
    std::string english, japanese;
};

std::optional<Extended> MeanCorrelation(const Inputs& in, const std::vector<std::size_t>& within);
PlanningRow RowOf(const Inputs& in, const Analysis& r, std::size_t index);
void PlanNs(const PowerDesign& design, std::optional<Extended> eta2p, Extended subjects, bool lower,
            PlanningRow& row);

}  // namespace

std::vector<PlanningRow> PlanningOf(const Inputs& in, const Analysis& analysis) {
    std::vector<PlanningRow> rows;
    if (analysis.subjects < 1) return rows;
    for (std::size_t e = 0; e < analysis.effects.size(); ++e) rows.push_back(RowOf(in, analysis, e));
    return rows;
}

namespace {

// A subject's (by rank) offset in within cell c: the scores less each cell's
// reference in units of the scores' unit, which a correlation does not see.
Extended OffsetAt(const Scores& s, std::size_t rank, std::size_t cell) {
    const std::size_t at = rank * s.cells + cell;
    return s.Quick() ? static_cast<Extended>(s.small[at]) : Rounded(mpq_class(s.wide[at]));
}

// The within cell c's index over the factors `within` (ascending), the last fastest.
std::size_t CellOver(const DesignData& d, std::size_t cell, const std::vector<std::size_t>& within) {
    std::vector<std::size_t> level(d.within.size());
    for (std::size_t f = d.within.size(); f-- > 0;) {
        const std::size_t n = d.within[f].levels.size();
        level[f] = cell % n, cell /= n;
    }
    std::size_t index = 0;
    for (const std::size_t f : within) index = index * d.within[f].levels.size() + level[f];
    return index;
}

// Runs for each effect: the mean of the pairwise correlations among the
// subjects' scores in the cells of `within` (each summed over the other
// within factors), their cross products pooled within the groups.
std::optional<Extended> MeanCorrelation(const Inputs& in, const std::vector<std::size_t>& within) {
    const DesignData& d = in.design;
    std::size_t m = 1;
    for (const std::size_t f : within) m *= d.within[f].levels.size();
    if (m < 2 || m > kMostCorrelatedCells) return std::nullopt;
    std::vector<std::size_t> to(in.scores.cells);
    for (std::size_t c = 0; c < to.size(); ++c) to[c] = CellOver(d, c, within);
    const GroupOrder& order = in.scores.order;
    std::vector<Extended> products(m * m, 0), x(m), mean(m);
    for (std::size_t g = 0; g < order.Groups(); ++g) {
        const std::size_t n = order.Size(g);
        std::vector<Extended> values(n * m, 0);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t c = 0; c < to.size(); ++c)
                values[i * m + to[c]] += OffsetAt(in.scores, order.start[g] + i, c);
        std::fill(mean.begin(), mean.end(), Extended(0));
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t a = 0; a < m; ++a) mean[a] += values[i * m + a] / static_cast<Extended>(n);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t a = 0; a < m; ++a) x[a] = values[i * m + a] - mean[a];
            for (std::size_t a = 0; a < m; ++a)
                for (std::size_t b = a; b < m; ++b) products[a * m + b] += x[a] * x[b];
        }
    }
    Extended sum = 0;
    for (std::size_t a = 0; a < m; ++a) {
        if (!(products[a * m + a] > 0)) return std::nullopt;
        for (std::size_t b = a + 1; b < m; ++b)
            sum += products[a * m + b] / std::sqrt(products[a * m + a] * products[b * m + b]);
    }
    // Products beyond the type's range (scores of very different scales) give no correlation.
    const Extended average = sum / static_cast<Extended>(m * (m - 1) / 2);
    if (!std::isfinite(average)) return std::nullopt;
    return average;
}

// The effect as the power calculation's design: its kind, M, K, rho (0 where
// it does not enter), epsilon and alpha.
PowerDesign DesignOf(const Analysis& r, const PlanningRow& row) {
    PowerDesign design;
    design.effect = row.kind, design.convention = PowerConvention::PowerPrograms;
    design.measures = row.measures, design.groups = row.groups;
    design.rho = row.rho.value_or(0);
    design.epsilon = row.epsilon.value_or(1);
    design.alpha = r.options.alpha;
    return design;
}

// Runs for each effect: its mapping, its stratum's figures and its N.
PlanningRow RowOf(const Inputs& in, const Analysis& r, std::size_t index) {
    const Effect& e = r.effects[index];
    PlanningRow row;
    row.effect = index;
    row.groups = static_cast<int>(r.groupSizes.size());
    if (e.within.empty()) {
        row.kind = PowerEffect::Between;
        row.measures = static_cast<int>(in.scores.cells);
        std::vector<std::size_t> all(r.within.size());
        for (std::size_t f = 0; f < all.size(); ++f) all[f] = f;
        row.rho = MeanCorrelation(in, all);
    } else {
        row.kind = e.between.empty() ? PowerEffect::Within : PowerEffect::Interaction;
        std::int64_t df = 1;
        for (const std::size_t f : e.within) df *= static_cast<std::int64_t>(r.within[f].levels.size()) - 1;
        row.measures = static_cast<int>(std::min<std::int64_t>(df + 1, 1000000));
        row.rho = MeanCorrelation(in, e.within);
        if (df == 1)
            row.epsilon = 1;
        else if (e.sphericity)
            row.epsilon = e.sphericity->greenhouseGeisser.epsilon;
    }
    const bool needsRho = row.kind != PowerEffect::Between || row.measures > 1;
    const bool needsEpsilon = row.kind != PowerEffect::Between;
    Reason missing;
    if (!e.partialEtaSquared)
        missing = {"no partial eta squared (the error has no df)", "偏 η² がありません (誤差の自由度が 0)"};
    else if (needsRho && !row.rho)
        missing = {"no correlation among the measures (a measure without variance, or too many)",
                   "測定間の相関がありません (分散 0 の測定があるか、測定が多すぎます)"};
    else if (needsEpsilon && !row.epsilon)
        missing = {"no Greenhouse–Geisser epsilon", "Greenhouse–Geisser の ε がありません"};
    else if (const std::string_view problem = PowerDesignProblem(DesignOf(r, row)); !problem.empty())
        missing = {std::string(problem), "この効果は計画できません: " + std::string(problem)};
    if (!missing.english.empty()) {
        row.reason = row.lowerReason = missing.english;
        row.reasonJapanese = row.lowerReasonJapanese = missing.japanese;
        return row;
    }
    const PowerDesign design = DesignOf(r, row);
    const auto subjects = static_cast<Extended>(r.subjects);
    PlanNs(design, e.partialEtaSquared, subjects, false, row);
    std::optional<Extended> lower;
    if (e.partialEtaSquaredCI) lower = e.partialEtaSquaredCI->lower;
    if (!lower) {
        row.lowerReason = "no interval of partial eta squared";
        row.lowerReasonJapanese = "偏 η² の区間がありません";
    } else {
        PlanNs(design, lower, subjects, true, row);
    }
    return row;
}

// Runs for the point estimate and for the lower limit: f in both conventions
// from partial eta squared, and the smallest N for .80 and .90 (absent, with
// the reason, for an effect of 0 or an N beyond the search).
void PlanNs(const PowerDesign& design, std::optional<Extended> eta2p, Extended subjects, bool lower,
            PlanningRow& row) {
    const Extended packages = FFromPartialEtaSquared(*eta2p);
    const Extended programs =
        FInOtherConvention(design, packages, PowerConvention::StatisticsPackages, subjects);
    (lower ? row.fOtherLower : row.fOther) = packages;
    (lower ? row.fLower : row.f) = programs;
    std::string& reason = lower ? row.lowerReason : row.reason;
    std::string& japanese = lower ? row.lowerReasonJapanese : row.reasonJapanese;
    if (!(programs > 0) || !std::isfinite(programs)) {
        reason = lower ? "the interval's lower limit is 0: no N detects an effect of 0"
                       : "partial eta squared is 0: no N detects an effect of 0";
        japanese = lower ? "区間の下限が 0 です: 効果 0 を検出する N はありません"
                         : "偏 η² が 0 です: 効果 0 を検出する N はありません";
        return;
    }
    const auto n = [&](Extended power) -> std::optional<std::int64_t> {
        const std::optional<PowerAtN> test = SmallestNForPower(design, programs, power, kLargestPlannedN);
        if (!test) return std::nullopt;
        return static_cast<std::int64_t>(test->n);
    };
    (lower ? row.n80Lower : row.n80) = n(0.8L);
    (lower ? row.n90Lower : row.n90) = n(0.9L);
    if (design.alpha >= 0.8L) {
        reason = "a power at or below alpha needs no N";
        japanese = "α 以下の検出力に N は要りません";
    } else if (!(lower ? row.n90Lower : row.n90)) {
        reason = "no total N up to 1000000000 reaches the power";
        japanese = "1000000000 までの総 N では検出力に届きません";
    }
}

}  // namespace
}  // namespace morvane::anova::detail
