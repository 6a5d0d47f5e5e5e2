// The simple effects of any design: each factor at each level of each other
// factor (the factors in order, between first; at each other factor in
// order; at each of its levels), each the one-way analysis of its slice with
// its own error term, every sum formed exactly and rounded once:
// - A within factor F at level l of G: the subjects' means of F's levels in
//   the slice (over the cells at l of a within G and over the other within
//   factors; the subjects of the groups at l of a between G), against F's
//   interaction with the subjects pooled within the slice's groups, on
//   (k - 1)(N_s - g_s) degrees of freedom. Its hypothesis: with type III sums
//   of squares the equal-weighted mean of the groups' means, the effective
//   count G^2 / sum(1 / n_g); with type II their weighted mean, the count N_s.
//   Of more than two levels, the Greenhouse-Geisser epsilon of the slice's
//   contrast covariance pooled within its groups, and the p it corrects.
// - A between factor F at level l of G: the one-way between-subjects analysis
//   of the subjects' means (over the cells at l of a within G and the other
//   within factors; the subjects of the groups at l of a between G) across
//   F's levels, the other between factors pooled into it.
// - Partial eta squared with its interval by the noncentral F on the slice's
//   degrees of freedom.
// - All left out (shown.simpleEffectsOmitted) where the slices' contrast
//   covariances would take more memory or time than a design of this size
//   should: the two-factor study's bound on their entries, over every slice.
// Without groups these are the two-factor study's figures, to the bit.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <type_traits>
#include <vector>

#include "anova/detail/FollowUps.h"
#include "anova/detail/Steps.h"
#include "exact/WideIntegers.h"
#include "runtime/PowersOfTen.h"
#include "stats/Contrasts.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/Sphericity.h"

namespace morvane::anova::detail {
namespace {

// The entries of the slices' contrast covariances together (and times the
// groups), and the subjects times them, beyond which the simple effects are
// left out.
constexpr Extended kMostSliceEntries = Extended{1 << 22};
constexpr Extended kMostSliceWork = 4e9L;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// A slice of a within factor that the pass sums: the cells of each of the
// factor's levels (m each), each subject's sums over them its values from
// `first`, their cross products summed too.
struct Slice {
    std::vector<std::vector<std::size_t>> cells;
    std::int64_t m = 1;
    std::size_t first = 0;
};

// Every slice of every within factor of more than one level: at each level of
// each other within factor, and (with between factors) its levels over all
// the within cells, for the slices at the between levels.
struct SlicePlan {
    std::vector<Slice> slices;
    std::vector<std::vector<std::vector<std::size_t>>> at;  // [factor][other within factor][level]
    std::vector<std::size_t> levels;                        // [factor]
    std::vector<std::size_t> sizes;                         // each slice's levels
    std::vector<std::int64_t> divisor;                      // each value's m
    long double growth = 1;
};

// What every slice is read from.
struct Context {
    const Inputs& in;
    const FactorGrid& grid;
    const RowValues& values;
    Summed raw;                          // the subjects' raw values (with between factors)
    Summed slices;                       // every slice's level sums
    std::vector<std::size_t> filled;     // the groups with subjects
    std::optional<DecimalUnit> decimal;  // the scores' unit, a power of ten
};

// One slice of a within factor: the groups in it, and where its sums are.
struct WithinSlice {
    std::vector<std::size_t> groups;
    const Slice* slice = nullptr;
};

SlicePlan PlanSlices(const FactorGrid& grid);
bool TooLarge(const SlicePlan& plan, const FactorGrid& grid, std::size_t subjects);
Summed SumSlices(const Inputs& in, const SlicePlan& plan);
SimpleEffect WithinEffect(const Context& x, const WithinSlice& slice, std::size_t k);
SimpleEffect BetweenEffect(const Context& x, std::size_t f, const std::vector<std::size_t>& groups,
                           std::size_t value);
std::optional<DecimalUnit> DecimalUnitOf(const DesignData& design, const Scores& scores);

}  // namespace

void AddSimpleEffects(const Inputs& in, Analysis& out) {
    const FactorGrid grid(in.design);
    if (in.design.Subjects() == 0 || grid.cells == 0) return;
    const SlicePlan plan = PlanSlices(grid);
    if (TooLarge(plan, grid, in.design.Subjects())) {
        out.shown.simpleEffectsOmitted = true;
        return;
    }
    const RowValues values(grid, false);
    Context x{in,
              grid,
              values,
              {},
              SumSlices(in, plan),
              GroupsAt(grid, in.scores, grid.Over()),
              DecimalUnitOf(in.design, in.scores)};
    if (grid.between > 0)
        x.raw = SumValues(in.scores, Blocks::Alone(values.Count()), values.Divisors(), values.Growth(),
                          [&](const auto* row, auto* to) { values.Fill(row, to); });
    for (std::size_t f = 0; f < grid.Factors(); ++f)
        for (std::size_t g = 0; g < grid.Factors(); ++g) {
            if (g == f) continue;
            for (std::size_t l = 0; l < grid.levels[g]; ++l) {
                Place at = grid.Over();
                at[g] = static_cast<std::int32_t>(l);
                std::vector<std::size_t> groups = grid.Within(g) ? x.filled : GroupsAt(grid, in.scores, at);
                SimpleEffect e;
                if (!grid.Within(f)) {
                    e = BetweenEffect(x, f, groups, grid.Within(g) ? values.Level(g, l) : values.Total());
                } else if (grid.levels[f] > 1) {  // else no effect: df1 = 0
                    const std::size_t s = grid.Within(g) ? plan.at[f][g][l] : plan.levels[f];
                    e = WithinEffect(x, WithinSlice{std::move(groups), &plan.slices[s]}, grid.levels[f]);
                }
                e.factor = f, e.at = at;
                out.simpleEffects.push_back(std::move(e));
            }
        }
}

namespace {

// The cells of each level of within factor f at level l of within factor g
// (g == f: every cell of the level), each level's in the cells' order.
Slice SliceCells(const FactorGrid& grid, std::size_t f, std::size_t g, std::size_t l) {
    Slice slice;
    slice.cells.resize(grid.levels[f]);
    // The cells at level l of g (every cell where g is f) in order, as runs of
    // stride[g] cells one in every levels[g] runs: a slice takes its own cells
    // alone, not a pass over all of them (50,000 levels would take 50,000
    // passes of 100,000 cells).
    const bool all = g == f;
    const std::size_t run = all ? grid.cells : grid.stride[g], period = all ? grid.cells : run * grid.levels[g],
                      start = all ? 0 : l * run;
    for (std::size_t block = 0; block < grid.cells; block += period)
        for (std::size_t c = block + start; c < block + start + run; ++c)
            slice.cells[grid.LevelOf(c, f)].push_back(c);
    slice.m = static_cast<std::int64_t>(slice.cells[0].size());
    return slice;
}

// First: the slices, and where each one's level sums are among the pass's values.
SlicePlan PlanSlices(const FactorGrid& grid) {
    SlicePlan plan;
    const std::size_t factors = grid.Factors();
    plan.at.resize(factors), plan.levels.assign(factors, kNone);
    std::size_t next = 0;
    const auto add = [&](Slice slice) {
        const std::size_t k = slice.cells.size();
        slice.first = next, next += k;
        plan.sizes.push_back(k);
        plan.divisor.insert(plan.divisor.end(), k, slice.m);
        plan.growth = std::max(plan.growth, static_cast<long double>(slice.m));
        plan.slices.push_back(std::move(slice));
        return plan.slices.size() - 1;
    };
    for (std::size_t f = grid.between; f < factors; ++f) {
        if (grid.levels[f] < 2) continue;
        plan.at[f].resize(factors);
        for (std::size_t g = grid.between; g < factors; ++g)
            for (std::size_t l = 0; g != f && l < grid.levels[g]; ++l)
                plan.at[f][g].push_back(add(SliceCells(grid, f, g, l)));
        if (grid.between > 0) plan.levels[f] = add(SliceCells(grid, f, f, 0));
    }
    return plan;
}

// The two-factor study's bound on its slices' contrast covariances, over
// every slice, and their entries over the groups.
bool TooLarge(const SlicePlan& plan, const FactorGrid& grid, std::size_t subjects) {
    Extended entries = 0;
    for (const std::size_t k : plan.sizes)
        entries += static_cast<Extended>(k - 1) * static_cast<Extended>(k - 1);
    return entries > kMostSliceEntries || static_cast<Extended>(subjects) * entries > kMostSliceWork ||
           static_cast<Extended>(grid.groups) * entries > kMostSliceEntries;
}

// Second: one pass over the subjects, each subject's sums over the cells of
// each level of every slice, with their cross products within each slice.
// A sum over the same cells (the slices of two factors share their cells) is
// formed once and drawn on by every slice it is of; the cells of the sums
// lie in one list, each sum's m of them in a row.
Summed SumSlices(const Inputs& in, const SlicePlan& plan) {
    std::map<std::vector<std::size_t>, std::size_t> formed;
    std::vector<std::uint32_t> cells;
    std::vector<std::size_t> m;
    Blocks blocks(plan.sizes);
    for (const Slice& slice : plan.slices)
        for (const std::vector<std::size_t>& level : slice.cells) {
            const auto [at, added] = formed.emplace(level, m.size());
            if (added) {
                for (const std::size_t c : level) cells.push_back(static_cast<std::uint32_t>(c));
                m.push_back(level.size());
            }
            blocks.source.push_back(at->second);
        }
    blocks.filled = m.size();
    return SumValues(in.scores, std::move(blocks), plan.divisor, plan.growth, [&](const auto* row, auto* to) {
        using Value = std::remove_reference_t<decltype(*to)>;
        const std::uint32_t* cell = cells.data();
        for (std::size_t v = 0; v < m.size(); ++v) {
            Value sum = row[cell[0]];
            for (std::size_t i = 1; i < m[v]; ++i) sum += row[cell[i]];
            to[v] = sum;
            cell += m[v];
        }
    });
}

// The cross products H C H' in group g of the slice's integer Helmert
// contrasts (row j: the levels to j, less j + 1 times level j + 1) of its
// level sums, from theirs C: exact, as a pass over the contrasts would sum them.
std::vector<mpz_class> ContrastProducts(const Summed& sums, std::size_t g, const Slice& slice) {
    const std::size_t k = slice.cells.size(), first = slice.first;
    // T = C H', then H T, each by running sums over the levels.
    std::vector<mpz_class> t(k * (k - 1)), z((k - 1) * (k - 1));
    for (std::size_t a = 0; a < k; ++a) {
        mpz_class prefix = 0;
        for (std::size_t j = 0; j + 1 < k; ++j) {
            prefix += sums.Centred(g, first + a, first + j);
            t[a * (k - 1) + j] =
                prefix - static_cast<long>(j + 1) * sums.Centred(g, first + a, first + j + 1);
        }
    }
    for (std::size_t j = 0; j + 1 < k; ++j) {
        mpz_class prefix = 0;
        for (std::size_t i = 0; i + 1 < k; ++i) {
            prefix += t[i * (k - 1) + j];
            z[i * (k - 1) + j] = prefix - static_cast<long>(i + 1) * t[(i + 1) * (k - 1) + j];
        }
    }
    return z;
}

// The epsilon of a slice's orthonormal contrasts' covariance pooled within
// its groups, from each group's H C H'. Each entry is formed as the
// two-factor study formed its own: the exact pooled cross products times the
// subjects rounded, then divided by N (N - g), by the contrasts' lengths and
// by the scores' decimal unit, so that a study keeps its bits (the epsilon
// does not depend on the unit).
std::optional<Extended> SliceEpsilon(const Context& x, const WithinSlice& slice,
                                     const std::vector<std::vector<mpz_class>>& products, std::int64_t n,
                                     std::int64_t df) {
    const std::size_t k = slice.slice->cells.size() - 1;
    SquareMatrix covariance(k), inUnits(k);
    bool outOfRange = false;
    const auto m = static_cast<Extended>(slice.slice->m);
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = i; j < k; ++j) {
            mpq_class pooled = 0;
            for (std::size_t r = 0; r < slice.groups.size(); ++r) {
                pooled += Ratio(products[r][i * k + j], x.slices.Size(slice.groups[r]));
            }
            Extended entry = Rounded(pooled * n);
            entry = entry / (static_cast<Extended>(n) * static_cast<Extended>(df));
            entry = entry / ((m * HelmertRowLength(i)) * (m * HelmertRowLength(j)));
            inUnits(i, j) = inUnits(j, i) = entry;
            if (x.decimal) entry = x.decimal->Of(x.decimal->Of(entry));
            // Scores near 1e-4000 have covariances beyond the type's reach: the
            // epsilon, which the unit leaves alone, is then that of the integers.
            outOfRange = outOfRange || (inUnits(i, j) != 0 && (entry == 0 || !std::isfinite(entry)));
            covariance(i, j) = covariance(j, i) = entry;
        }
    return GreenhouseGeisserEpsilon(outOfRange ? inUnits : covariance);
}

// F, p, partial eta squared and its interval of a one-way analysis from its
// exact sums (in the integers' unit squared).
void Finish(const Context& x, const mpq_class& ss, const mpq_class& error, SimpleEffect& e) {
    const mpq_class unit2 = x.in.scores.unit * x.in.scores.unit;
    e.ss = Rounded(ss * unit2), e.errorSs = Rounded(error * unit2);
    e.ssBelowRange = ss != 0 && e.ss == 0, e.errorSsBelowRange = error != 0 && e.errorSs == 0;
    const auto df1 = static_cast<Extended>(e.df1), df2 = static_cast<Extended>(e.df2);
    if (e.df1 > 0 && e.df2 > 0 && error != 0) {
        e.f = Rounded(ss * e.df2 / (error * e.df1));
        e.p = FUpperTail(*e.f, df1, df2);
    }
    const mpq_class whole = ss + error;
    if (e.df1 > 0 && e.df2 > 0 && whole > 0) e.partialEtaSquared = Rounded(ss / whole);
    e.partialEtaSquaredCI = PartialEtaSquaredInterval(e.f, df1, df2, x.in.options.effectSizeLevel);
}

// A within factor's slice of k levels.
SimpleEffect WithinEffect(const Context& x, const WithinSlice& slice, std::size_t k) {
    SimpleEffect e;
    const Summed& sums = x.slices;
    const std::size_t first = slice.slice->first;
    std::int64_t n = 0;
    mpq_class inverses = 0;
    for (const std::size_t g : slice.groups) n += sums.Size(g), inverses += mpq_class(1, sums.Size(g));
    const auto groups = static_cast<std::int64_t>(slice.groups.size());
    e.df1 = static_cast<std::int64_t>(k) - 1;
    e.df2 = e.df1 * std::max<std::int64_t>(n - groups, 0);
    if (groups == 0 || k < 2) return e;
    // The hypothesis' means of the levels (type III: equal weights over the
    // groups; type II: their sizes), and the count their spread is weighed by.
    const bool typeIII = x.in.options.type == SsType::TypeIII;
    std::vector<mpq_class> means(k, 0);
    for (const std::size_t g : slice.groups)
        for (std::size_t i = 0; i < k; ++i) {
            if (typeIII)
                means[i] += sums.Mean(g, first + i);
            else
                means[i] += sums.Mean(g, first + i) * sums.Size(g);
        }
    mpq_class grand = 0;
    for (mpq_class& v : means) v /= typeIII ? groups : n, grand += v;
    grand /= static_cast<long>(k);
    mpq_class ss = 0, error = 0;
    for (const mpq_class& v : means) ss += (v - grand) * (v - grand);
    if (typeIII)
        ss *= mpq_class(groups * groups) / inverses;
    else
        ss *= n;
    // The error: the contrasts' pooled deviations over their squared lengths.
    std::vector<std::vector<mpz_class>> products;
    for (const std::size_t g : slice.groups) products.push_back(ContrastProducts(sums, g, *slice.slice));
    const long m = slice.slice->m;
    for (std::size_t j = 0; j + 1 < k; ++j) {
        mpq_class deviations = 0;
        for (std::size_t r = 0; r < slice.groups.size(); ++r)
            deviations += Ratio(products[r][j * (k - 1) + j], sums.Size(slice.groups[r]));
        error += deviations / (m * m * static_cast<long>((j + 1) * (j + 2)));
    }
    Finish(x, ss, error, e);
    if (k > 2 && n - groups >= 1) {
        e.ggEpsilon = SliceEpsilon(x, slice, products, n, n - groups);
        if (e.ggEpsilon && e.f)
            e.ggP = FUpperTail(*e.f, static_cast<Extended>(e.df1) * *e.ggEpsilon,
                               static_cast<Extended>(e.df2) * *e.ggEpsilon);
    }
    return e;
}

// A between factor's slice: the subjects of `groups`, their statistic
// `value`, one group per level of factor f (the groups of a level pooled).
SimpleEffect BetweenEffect(const Context& x, std::size_t f, const std::vector<std::size_t>& groups,
                           std::size_t value) {
    const Summed& s = x.raw;
    const std::size_t k = x.grid.levels[f];
    std::vector<std::int64_t> n(k, 0);
    std::vector<mpq_class> sums(k, 0);
    for (const std::size_t g : groups) {
        const std::size_t level = x.grid.LevelOf(g, f);
        n[level] += s.Size(g);
        sums[level] += s.Mean(g, value) * s.Size(g);
    }
    std::int64_t all = 0, levels = 0;
    mpq_class grand = 0;
    for (std::size_t l = 0; l < k; ++l)
        if (n[l] > 0) all += n[l], ++levels, grand += sums[l];
    SimpleEffect e;
    e.df1 = std::max<std::int64_t>(levels - 1, 0);
    e.df2 = std::max<std::int64_t>(all - levels, 0);
    if (levels == 0) return e;
    grand /= all;
    mpq_class ss = 0, error = 0;
    for (std::size_t l = 0; l < k; ++l)
        if (n[l] > 0) {
            sums[l] /= n[l];
            ss += (sums[l] - grand) * (sums[l] - grand) * n[l];
        }
    for (const std::size_t g : groups) {
        const mpq_class d = s.Mean(g, value) - sums[x.grid.LevelOf(g, f)];
        error += s.Deviations(g, value) + d * d * s.Size(g);
    }
    Finish(x, ss, error, e);
    return e;
}

// The scores' unit where it is a power of ten (decimals averaged from one
// row each), in which the two-factor study formed its covariances.
std::optional<DecimalUnit> DecimalUnitOf(const DesignData& design, const Scores& scores) {
    if (!scores.decimal || design.scale < -27 || design.scale > 27) return std::nullopt;
    const mpz_class power = exact::PowerOfTen(static_cast<unsigned long>(std::abs(design.scale)));
    mpq_class unit = design.scale >= 0 ? mpq_class(mpz_class(1), power) : mpq_class(power);
    unit.canonicalize();
    if (unit != scores.unit) return std::nullopt;
    return DecimalUnit(-design.scale);
}

}  // namespace
}  // namespace morvane::anova::detail
