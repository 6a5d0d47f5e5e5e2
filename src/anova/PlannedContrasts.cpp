// The planned contrasts: each factor's polynomial trends asked for and the
// contrasts given, each figure formed from exact sums and rounded once.
// - A contrast's weights over the within cells are the products of its
//   within factors' weights, the within factors it does not name averaged
//   over (1 / k each); over the groups, the products of its between factors'
//   weights, the between factors it does not name averaged over the same way
//   (a contrast of within factors alone: every group weighted 1 / g).
// - Each subject's contrast score is its scores' weighted sum (of a contrast
//   of between factors alone, its mean over the within cells); the estimate is
//   the groups' means of it under the groups' weights; its variance is pooled
//   within the groups on N - g df, the SE's square that variance times
//   sum(b_g^2 / n_g). t on N - g, F = t^2, partial eta squared
//   t^2 / (t^2 + df) with its noncentral interval on (1, N - g).
// - A trend's row is the smallest integers of its direction where they stay
//   within kPolynomialIntegersUpTo, else the unit-length row: its estimate and
//   SE are the integer row's over the row's length, still rounded once.
// - Families: each factor's trends, and the contrasts given; the adjustments
//   chosen within each.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "anova/detail/FollowUps.h"
#include "anova/detail/Steps.h"
#include "stats/Adjustments.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/Polynomials.h"

namespace morvane::anova {
namespace {

// The index of the factor named `name` over all factors, between first.
std::optional<std::size_t> FactorNamed(const DesignData& design, const std::string& name) {
    for (std::size_t i = 0; i < design.between.size(); ++i)
        if (design.between[i].name == name) return i;
    for (std::size_t i = 0; i < design.within.size(); ++i)
        if (design.within[i].name == name) return design.between.size() + i;
    return std::nullopt;
}

const DesignFactor& FactorOf(const DesignData& design, std::size_t f) {
    return f < design.between.size() ? design.between[f] : design.within[f - design.between.size()];
}

std::string TrendRefused(const DesignData& design, const TrendRequest& t) {
    const std::optional<std::size_t> f = FactorNamed(design, t.factor);
    if (!f) return "--trend names " + t.factor + ", which is no factor of the design";
    const std::size_t k = FactorOf(design, *f).levels.size();
    if (k < 2) return "--trend names " + t.factor + ", which has fewer than two levels";
    if (!t.scores.empty() && t.scores.size() != k)
        return "--spacing gives " + std::to_string(t.scores.size()) + " values for " + t.factor +
               ", which has " + std::to_string(k) + " levels";
    for (std::size_t i = 0; i < t.scores.size(); ++i)
        for (std::size_t j = i + 1; j < t.scores.size(); ++j)
            if (t.scores[i] == t.scores[j]) return "--spacing repeats a value for " + t.factor;
    return {};
}

std::string ContrastRefused(const DesignData& design, const ContrastRequest& c) {
    std::vector<std::size_t> seen;
    for (const ContrastPart& part : c.parts) {
        const std::optional<std::size_t> f = FactorNamed(design, part.factor);
        if (!f)
            return "--contrast " + c.name + " names " + part.factor + ", which is no factor of the design";
        for (const std::size_t s : seen)
            if (s == *f) return "--contrast " + c.name + " names " + part.factor + " twice";
        seen.push_back(*f);
        const std::size_t k = FactorOf(design, *f).levels.size();
        if (part.weights.size() != k)
            return "--contrast " + c.name + " gives " + std::to_string(part.weights.size()) +
                   " weights for " + part.factor + ", which has " + std::to_string(k) + " levels";
        mpq_class sum = 0;
        bool any = false;
        for (const mpq_class& w : part.weights) sum += w, any = any || w != 0;
        if (sum != 0) return "--contrast " + c.name + ": the weights of " + part.factor + " do not sum to 0";
        if (!any) return "--contrast " + c.name + ": the weights of " + part.factor + " are all 0";
    }
    if (c.parts.empty()) return "--contrast " + c.name + " names no factor";
    return {};
}

}  // namespace

std::string ContrastsRefused(const DesignData& design, const Options& options) {
    for (std::size_t i = 0; i < options.trends.size(); ++i) {
        if (std::string why = TrendRefused(design, options.trends[i]); !why.empty()) return why;
        for (std::size_t j = 0; j < i; ++j)
            if (options.trends[j].factor == options.trends[i].factor)
                return "--trend names " + options.trends[i].factor + " twice";
    }
    for (const ContrastRequest& c : options.contrasts)
        if (std::string why = ContrastRefused(design, c); !why.empty()) return why;
    return {};
}

namespace detail {
namespace {

// A contrast to form: its factors' exact weights (ascending factors), and the
// square of the length its figures are divided by (1 but for a unit-length trend).
struct Plan {
    std::vector<std::size_t> factors;
    std::vector<std::vector<mpq_class>> weights;
    mpq_class lengthSquared = 1;
    PlannedContrast row;
};

// The plan of a contrast given: its parts in the factors' order.
Plan PlanOf(const DesignData& design, const ContrastRequest& c) {
    Plan plan;
    std::vector<std::pair<std::size_t, const ContrastPart*>> parts;
    for (const ContrastPart& part : c.parts) parts.emplace_back(*FactorNamed(design, part.factor), &part);
    std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [f, part] : parts) {
        plan.factors.push_back(f);
        plan.weights.push_back(part->weights);
        std::vector<Extended> shown;
        for (const mpq_class& w : part->weights) shown.push_back(Rounded(w));
        plan.row.weights.push_back(std::move(shown));
    }
    plan.row.factors = plan.factors;
    plan.row.name = c.name;
    plan.row.family = "custom contrasts";
    return plan;
}

// The plans of a factor's trends, degree by degree.
std::vector<Plan> TrendPlans(const DesignData& design, const TrendRequest& t) {
    const std::size_t f = *FactorNamed(design, t.factor);
    std::vector<mpq_class> scores = t.scores;
    if (scores.empty())
        for (std::size_t i = 0; i < FactorOf(design, f).levels.size(); ++i)
            scores.emplace_back(static_cast<long>(i));
    std::vector<Plan> plans;
    const std::vector<std::vector<mpz_class>> rows = OrthogonalPolynomials(scores);
    for (std::size_t d = 0; d < rows.size(); ++d) {
        Plan plan;
        plan.factors = {f};
        std::vector<mpq_class> weights;
        mpq_class length = 0;
        for (const mpz_class& w : rows[d]) weights.emplace_back(w), length += w * w;
        std::vector<Extended> shown;
        plan.row.orthonormal = !SmallIntegers(rows[d]);
        if (plan.row.orthonormal) plan.lengthSquared = length;
        for (const mpq_class& w : weights)
            shown.push_back(plan.row.orthonormal ? RoundedRoot(w * w / length, sgn(w)) : Rounded(w));
        plan.weights = {std::move(weights)};
        plan.row.factors = plan.factors;
        plan.row.weights = {std::move(shown)};
        plan.row.name = DegreeName(d + 1);
        plan.row.family = "trend of " + t.factor;
        plans.push_back(std::move(plan));
    }
    return plans;
}

// The weight of level `level` of factor f in a plan: its own, or 1 / k where it does not name f.
mpq_class WeightAt(const Plan& plan, const FactorGrid& grid, std::size_t f, std::size_t level) {
    for (std::size_t i = 0; i < plan.factors.size(); ++i)
        if (plan.factors[i] == f) return plan.weights[i][level];
    return mpq_class(1, static_cast<long>(grid.levels[f]));
}

// The product of a plan's weights at group or within cell `index` over factors [first, last).
mpq_class ProductAt(const Plan& plan, const FactorGrid& grid, std::size_t index, std::size_t first,
                    std::size_t last) {
    mpq_class w = 1;
    for (std::size_t f = first; f < last; ++f) w *= WeightAt(plan, grid, f, grid.LevelOf(index, f));
    return w;
}

// A plan's figures (see the top of the file).
PlannedContrast Formed(const Plan& plan, const FactorGrid& grid, const Inputs& in) {
    const Scores& s = in.scores;
    PlannedContrast row = plan.row;
    // The within cells' weights as integers over one denominator.
    std::vector<mpq_class> cellWeights(grid.cells);
    mpz_class denominator = 1;
    for (std::size_t c = 0; c < grid.cells; ++c) {
        cellWeights[c] = ProductAt(plan, grid, c, grid.between, grid.Factors());
        mpz_lcm(denominator.get_mpz_t(), denominator.get_mpz_t(), cellWeights[c].get_den_mpz_t());
    }
    std::vector<mpz_class> integers(grid.cells);
    mpz_class reference = 0;
    for (std::size_t c = 0; c < grid.cells; ++c) {
        integers[c] = cellWeights[c].get_num() * (denominator / cellWeights[c].get_den());
        reference += integers[c] * s.reference[c];
    }
    // Each group's mean of the scores' sums and their deviations; the groups' weights.
    mpq_class estimate = 0, factor = 0, deviations = 0;
    std::int64_t subjects = 0, groups = 0;
    mpz_class score, sum, squares;
    for (std::size_t g = 0; g < s.order.Groups(); ++g) {
        const std::size_t n = s.order.Size(g);
        if (n == 0) continue;
        sum = 0, squares = 0;
        for (std::size_t r = s.order.start[g]; r < s.order.start[g + 1]; ++r) {
            score = 0;
            for (std::size_t c = 0; c < grid.cells; ++c) {
                if (s.Quick())
                    score += integers[c] * static_cast<long>(s.small[r * grid.cells + c]);
                else
                    score += integers[c] * s.wide[r * grid.cells + c];
            }
            sum += score, squares += score * score;
        }
        const auto size = static_cast<long>(n);
        const mpq_class b = ProductAt(plan, grid, g, 0, grid.between);
        estimate += b * (Ratio(sum, size) + reference);
        factor += b * b / size;
        deviations += squares - Ratio(sum * sum, size);
        subjects += static_cast<std::int64_t>(n), ++groups;
    }
    // In the scores' unit, the weights' denominator and the row's length taken out.
    const mpq_class scale = s.unit / denominator;
    estimate *= scale;
    row.estimate = RoundedRoot(estimate * estimate / plan.lengthSquared, sgn(estimate));
    const std::int64_t df = subjects - groups;
    row.df = static_cast<Extended>(df);
    if (df < 1) return row;
    const mpq_class square = deviations / df * factor * scale * scale;
    row.se = RoundedRoot(square / plan.lengthSquared);
    if (square == 0) return row;
    const mpq_class tSquare = estimate * estimate / square;
    row.t = RoundedRoot(tSquare, sgn(estimate));
    row.f = Rounded(tSquare);
    row.p = TTwoSided(*row.t, row.df);
    row.partialEtaSquared = Rounded(tSquare / (tSquare + df));
    row.partialEtaSquaredCI = PartialEtaSquaredInterval(row.f, 1, row.df, in.options.effectSizeLevel);
    return row;
}

// The chosen adjustments within each family, the rows [first, end) of one.
void Adjusted(std::vector<PlannedContrast>& rows, std::size_t first, AdjustmentSet chosen) {
    std::vector<std::optional<Extended>> p;
    for (std::size_t i = first; i < rows.size(); ++i) p.push_back(rows[i].p);
    const std::vector<AdjustedP> adjusted = AdjustFamily(p, chosen);
    for (std::size_t i = first; i < rows.size(); ++i) SetAdjusted(rows[i], adjusted[i - first]);
}

}  // namespace

void AddPlannedContrasts(const Inputs& in, Analysis& out) {
    const Options& options = in.options;
    if ((options.trends.empty() && options.contrasts.empty()) || in.design.Subjects() == 0) return;
    if (!ContrastsRefused(in.design, options).empty()) return;
    const FactorGrid grid(in.design);
    for (const TrendRequest& t : options.trends) {
        const std::size_t first = out.contrasts.size();
        for (const Plan& plan : TrendPlans(in.design, t)) out.contrasts.push_back(Formed(plan, grid, in));
        Adjusted(out.contrasts, first, options.adjustments);
    }
    const std::size_t first = out.contrasts.size();
    for (const ContrastRequest& c : options.contrasts)
        out.contrasts.push_back(Formed(PlanOf(in.design, c), grid, in));
    if (!options.contrasts.empty()) Adjusted(out.contrasts, first, options.adjustments);
}

}  // namespace detail
}  // namespace morvane::anova
