// The pairwise comparisons of any design, each figure formed from exact sums
// of the subjects' values and rounded once. Their conventions:
// - Families: each factor's levels over the others (a family per factor,
//   between first), then each factor's at every place of the others (every
//   combination of their levels, the last factor fastest; a family per
//   factor and place). Holm's and Bonferroni's adjustments within each family,
//   or those chosen. Tukey's HSD, when chosen, of a between factor's family
//   over the others alone: P(Q > |t| sqrt 2) of the studentized range of its
//   k levels on the pooled error's N - g df (with unequal groups
//   the Tukey-Kramer form, the SE being each pair's own). A within factor's
//   pairs each have their own error, which the range of one set of means on
//   one error does not describe: none there, nor in the families at places.
// - A within factor's pair: on each subject's difference of its means of the
//   two levels' cells (over the other within factors; at a place, of the two
//   cells). The difference is the equal-weighted mean of the groups' means of
//   it (at a place, the mean of the one group its between levels name); its
//   SD is pooled within all the groups on N - g, at a place too; the SE is
//   that SD times the root of sum(1 / n_g) / G^2 (at a place, 1 / n_g); t on
//   N - g. d_z is the difference over the SD, its interval the noncentral t's
//   limits over the root of the effective count, the reciprocal of that
//   factor (N without groups); d_av the difference over the mean of the two
//   levels' SDs pooled the same way, g_av with Hedges' correction on 2 (N - g).
// - A between factor's pair: on the subjects' means over the within cells
//   (at a place, their scores in its within cell). The difference is that of
//   the two levels' estimated marginal means, equal weights over their
//   groups (at a place, of the two groups' means); the SE is the SD of the
//   values pooled within all the groups on N - g times the root of the sum of
//   the two levels' sum(1 / n_g) / G^2; d is the difference over that SD, its
//   interval as a within factor's. No d_av.
// - Bounds: a factor of more than kComparedLevels levels has none; the
//   families at places are left out, all of them, when they would bring the
//   comparisons beyond kMostComparisons. A pair of a group without subjects
//   is left out.
// Without groups these are the two-factor study's figures, to the bit.
// Beside them, where asked, every pair of an interaction's cells (the other
// factors averaged over with equal weights): cells of the same between levels
// as a within factor's pair, of different ones as a between factor's pair
// whose two values each have their variance pooled within all the groups on
// N - g; a family per interaction, Shaffer's taking Holm's multipliers.
// Tukey's HSD of an interaction of between factors alone, whose pairs all
// share the pooled error (k the cells with subjects, Tukey-Kramer); none
// where a within factor is named, each pair there having its own error.

#include <cmath>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "anova/detail/FollowUps.h"
#include "anova/detail/Steps.h"
#include "runtime/Together.h"
#include "stats/Adjustments.h"
#include "stats/Distributions.h"
#include "stats/StudentizedRange.h"

namespace morvane::anova::detail {
namespace {

// The families of the within factors a pass sums beside the raw values: a
// block of copies of the family's k level values (their cross products
// give every pair's differences), within factor f's over the others from
// marginal[f], at its places from atPlaces[f] (the places of the other
// within factors in the order of their cells, k values each).
struct Families {
    std::vector<std::size_t> source;  // per copy: the raw value it is
    std::vector<std::size_t> sizes;   // the pass's blocks: the raw values alone, then each family
    std::vector<std::size_t> marginal, atPlaces;
};

// What the families are read from: the sums and the groups with subjects,
// and the t quantile of the degrees of freedom every comparison pools on
// (the subjects less the groups), found once for them all.
// A pair of values' deviations pooled within every group with subjects: of
// their difference, and of each alone.
struct PooledPair {
    Pooled difference, first, second;
};

struct Sums {
    const FactorGrid& grid;
    const RowValues& values;
    const Families& families;
    Summed summed;
    std::vector<std::size_t> filled;
    std::int64_t df = 0;
    std::optional<Extended> tq;
    // The pooled deviations of the pairs of values asked for so far: the
    // places that differ only in the between factors ask for the same pairs,
    // each a pass over every group.
    mutable std::map<std::pair<std::size_t, std::size_t>, PooledPair> pooled;

    const PooledPair& PoolPair(std::size_t a, std::size_t b) const;
};

// One comparison's exact inputs: the difference, the deviations of the
// values compared pooled within the groups, and the factor that takes their
// variance to the difference's.
struct Contrast {
    mpq_class difference;
    Pooled spread;
    mpq_class factor;
};

FollowUpsShown Shown(const FactorGrid& grid);
std::size_t CountOf(const FactorGrid& grid, const FollowUpsShown& shown);
Families FamiliesOf(const FactorGrid& grid, const RowValues& values, const FollowUpsShown& shown);
Sums SumAll(const Inputs& in, const FactorGrid& grid, const RowValues& values, const Families& families);
void AddFamily(const Sums& sums, const Inputs& in, std::size_t f, const Place& at,
               std::vector<Comparison>& out);
std::vector<Place> PlacesOf(const FactorGrid& grid, std::size_t f);

}  // namespace

void AddComparisons(const Inputs& in, Analysis& out) {
    const FactorGrid grid(in.design);
    const FollowUpsShown shown = Shown(grid);
    out.shown.compared = shown.compared, out.shown.comparedAtLevels = shown.comparedAtLevels;
    if (in.design.Subjects() == 0 || grid.cells == 0) return;
    const RowValues values(grid, false);
    const Families families = FamiliesOf(grid, values, shown);
    const Sums sums = SumAll(in, grid, values, families);
    out.comparisons.reserve(out.comparisons.size() + CountOf(grid, shown));
    for (std::size_t f = 0; f < grid.Factors(); ++f)
        if (out.shown.compared[f]) AddFamily(sums, in, f, grid.Over(), out.comparisons);
    for (std::size_t f = 0; f < grid.Factors(); ++f)
        if (out.shown.comparedAtLevels[f])
            for (const Place& at : PlacesOf(grid, f)) AddFamily(sums, in, f, at, out.comparisons);
}

namespace {

std::int64_t PairsOf(std::size_t levels) {
    const auto k = static_cast<std::int64_t>(levels);
    return k > 1 ? k * (k - 1) / 2 : 0;
}

// How many comparisons the families shown hold at most.
std::size_t CountOf(const FactorGrid& grid, const FollowUpsShown& shown) {
    std::size_t count = 0;
    for (std::size_t f = 0; f < grid.Factors(); ++f) {
        if (!shown.compared[f]) continue;
        std::size_t places = 1;
        for (std::size_t g = 0; g < grid.Factors() && shown.comparedAtLevels[f]; ++g)
            if (g != f) places *= grid.levels[g];
        count += static_cast<std::size_t>(PairsOf(grid.levels[f])) *
                 (1 + (shown.comparedAtLevels[f] ? places : 0));
    }
    return count;
}

// First: which factors are compared, and which at the places of the others.
FollowUpsShown Shown(const FactorGrid& grid) {
    FollowUpsShown shown;
    const std::size_t factors = grid.Factors();
    Extended all = 0;
    for (std::size_t f = 0; f < factors; ++f) {
        shown.compared.push_back(static_cast<std::int64_t>(grid.levels[f]) <= kComparedLevels);
        Extended places = 1;
        for (std::size_t g = 0; g < factors; ++g)
            if (g != f) places *= static_cast<Extended>(grid.levels[g]);
        if (shown.compared[f]) all += static_cast<Extended>(PairsOf(grid.levels[f])) * (1 + places);
    }
    // A factor alone has no other factors to be compared at the levels of:
    // its one family is the comparisons over them.
    for (std::size_t f = 0; f < factors; ++f)
        shown.comparedAtLevels.push_back(factors > 1 && shown.compared[f] &&
                                         all <= static_cast<Extended>(kMostComparisons));
    return shown;
}

// The families of every within factor compared: of its levels' sums over
// the others, and where compared at places, of its cells at each place of
// the other within factors.
Families FamiliesOf(const FactorGrid& grid, const RowValues& values, const FollowUpsShown& shown) {
    Families d;
    d.sizes.assign(values.Count(), 1);
    d.marginal.assign(grid.Factors(), 0), d.atPlaces.assign(grid.Factors(), 0);
    std::size_t next = values.Count();
    const auto add = [&](const std::vector<std::size_t>& family) {
        d.source.insert(d.source.end(), family.begin(), family.end());
        d.sizes.push_back(family.size());
        next += family.size();
    };
    for (std::size_t f = grid.between; f < grid.Factors(); ++f) {
        if (!shown.compared[f] || grid.levels[f] < 2) continue;
        const std::size_t k = grid.levels[f], stride = grid.stride[f];
        std::vector<std::size_t> family(k);
        d.marginal[f] = next;
        for (std::size_t i = 0; i < k; ++i) family[i] = values.Level(f, i);
        add(family);
        if (!shown.comparedAtLevels[f]) continue;
        d.atPlaces[f] = next;
        for (std::size_t c = 0; c < grid.cells; ++c) {
            if (grid.LevelOf(c, f) != 0) continue;
            for (std::size_t i = 0; i < k; ++i) family[i] = values.Cell(c + i * stride);
            add(family);
        }
    }
    return d;
}

// Second: one pass over the subjects, the raw values and the families'
// copies of them (drawn from the raw values as they are summed).
Sums SumAll(const Inputs& in, const FactorGrid& grid, const RowValues& values, const Families& families) {
    std::vector<std::int64_t> divisor = values.Divisors();
    const std::size_t raw = divisor.size();
    for (const std::size_t i : families.source) divisor.push_back(divisor[i]);
    Blocks blocks(families.sizes);
    blocks.source.resize(raw);
    std::iota(blocks.source.begin(), blocks.source.end(), std::size_t{0});
    blocks.source.insert(blocks.source.end(), families.source.begin(), families.source.end());
    blocks.filled = raw;
    Summed summed = SumValues(in.scores, std::move(blocks), std::move(divisor), values.Growth(),
                              [&](const auto* row, auto* to) { values.Fill(row, to); });
    Sums sums{grid, values, families, std::move(summed), {}, 0, {}, {}};
    sums.filled = GroupsAt(grid, in.scores, grid.Over());
    for (const std::size_t g : sums.filled) sums.df += sums.summed.Size(g) - 1;
    if (sums.df >= 1) sums.tq = TQuantile975(static_cast<Extended>(sums.df));
    return sums;
}

// A comparison's figures from its exact inputs (see the top of the file).
// `pooledDf` the df every comparison pools on, `tq` its t quantile.
Comparison Compared(const Contrast& x, std::int64_t pooledDf, const std::optional<Extended>& tq,
                    const Inputs& in) {
    const Scores& s = in.scores;
    const Extended level = in.options.effectSizeLevel;
    Comparison c;
    c.difference = InUnit(x.difference, s);
    const std::int64_t df = x.spread.Df();
    c.df = static_cast<Extended>(df);
    if (df < 1) return c;
    const mpq_class variance = x.spread.Variance(), square = variance * x.factor;
    c.se = RootInUnit(square, s);
    c.ci95 = Around(c.difference, df == pooledDf ? tq : TQuantile975(c.df), c.se);
    if (variance == 0) return c;
    const int sign = sgn(x.difference);
    c.t = RoundedRoot(x.difference * x.difference / square, sign);
    c.p = TTwoSided(*c.t, c.df);
    c.d = RoundedRoot(x.difference * x.difference / variance, sign);
    if (const std::optional<NoncentralityLimits> limits = NoncentralTLimits(*c.t, c.df, level)) {
        const Extended root = std::sqrt(Rounded(1 / x.factor));
        c.dCI = LevelInterval{level, limits->lower / root, limits->upper / root};
    }
    return c;
}

// d_av and g_av of a within pair, from the two levels' pooled deviations.
void AddAverageD(Comparison& c, const Pooled& first, const Pooled& second, const Scores& s) {
    const std::int64_t df = first.Df();
    if (df < 1) return;
    const Extended meanSd = (RootInUnit(first.Variance(), s) + RootInUnit(second.Variance(), s)) / 2;
    if (!(meanSd > 0)) return;
    // Hedges' correction of two samples, 1 - 3 / (4 df' - 1) on df' = 2 (N - g).
    const Extended twice = 2 * static_cast<Extended>(df);
    c.dAv = c.difference / meanSd;
    c.gAv = *c.dAv * (1 - 3 / (4 * twice - 1));
}

// A within factor's pair i < j over the others (at all kOver) or at a place:
// the difference of values a and b of a family, whose deviations in group g
// are those of a and of b less twice their cross products.
std::optional<Comparison> WithinPair(const Sums& sums, const Inputs& in, std::size_t f, const Place& at,
                                     std::size_t i, std::size_t j) {
    const FactorGrid& grid = sums.grid;
    const Summed& summed = sums.summed;
    const std::size_t k = grid.levels[f];
    const bool marginal = at == grid.Over();
    std::size_t first = sums.families.marginal[f];
    std::vector<std::size_t> groups = sums.filled;
    if (!marginal) {
        const std::size_t g = grid.GroupOf(at), c = grid.CellOf(at), s = grid.stride[f];
        if (summed.Size(g) == 0) return std::nullopt;
        first = sums.families.atPlaces[f] + (c / (k * s) * s + c % s) * k;
        groups = {g};
    }
    const std::size_t a = first + i, b = first + j;
    const PooledPair& pooled = sums.PoolPair(a, b);
    Contrast x;
    x.spread = pooled.difference;
    for (const std::size_t g : groups) {
        x.difference += summed.Mean(g, a) - summed.Mean(g, b);
        x.factor += mpq_class(1, summed.Size(g));
    }
    const auto count = static_cast<long>(groups.size());
    x.difference /= count, x.factor /= count * count;
    Comparison out = Compared(x, sums.df, sums.tq, in);
    AddAverageD(out, pooled.first, pooled.second, in.scores);
    return out;
}

const PooledPair& Sums::PoolPair(std::size_t a, std::size_t b) const {
    const auto [at, added] = pooled.try_emplace({a, b});
    PooledPair& out = at->second;
    if (!added) return out;
    for (const std::size_t g : filled) {
        const mpq_class da = summed.Deviations(g, a), db = summed.Deviations(g, b);
        out.difference.deviations += da + db - 2 * summed.Deviations(g, a, b);
        out.difference.subjects += summed.Size(g), ++out.difference.groups;
        out.first.deviations += da, out.second.deviations += db;
    }
    out.first.subjects = out.second.subjects = out.difference.subjects;
    out.first.groups = out.second.groups = out.difference.groups;
    return out;
}

// A between factor's pair i < j over the others or at a place.
std::optional<Comparison> BetweenPair(const Sums& sums, const Inputs& in, std::size_t f, const Place& at,
                                      std::size_t i, std::size_t j) {
    const FactorGrid& grid = sums.grid;
    const Summed& summed = sums.summed;
    const bool marginal = at == grid.Over();
    const std::size_t value = marginal ? sums.values.Total() : sums.values.Cell(grid.CellOf(at));
    Place atI = at, atJ = at;
    atI[f] = static_cast<std::int32_t>(i), atJ[f] = static_cast<std::int32_t>(j);
    Contrast x;
    if (marginal) {
        const std::vector<std::size_t> gi = GroupsAt(grid, in.scores, atI),
                                       gj = GroupsAt(grid, in.scores, atJ);
        if (gi.empty() || gj.empty()) return std::nullopt;
        const Weighted wi = EqualWeighted(summed, value, gi), wj = EqualWeighted(summed, value, gj);
        x.difference = wi.mean - wj.mean, x.factor = wi.factor + wj.factor;
    } else {
        const std::size_t gi = grid.GroupOf(atI), gj = grid.GroupOf(atJ);
        if (summed.Size(gi) == 0 || summed.Size(gj) == 0) return std::nullopt;
        x.difference = summed.Mean(gi, value) - summed.Mean(gj, value);
        x.factor = mpq_class(1, summed.Size(gi)) + mpq_class(1, summed.Size(gj));
    }
    x.spread = sums.PoolPair(value, value).first;
    return Compared(x, sums.df, sums.tq, in);
}

// Tukey's p of each of a family's pairs on its t among k means on the one
// error every pair shares (the Tukey-Kramer form: each pair's t on its own
// SE). A few ms a pair: the pairs are shared among the processors.
void AddTukey(const std::vector<Comparison*>& family, std::size_t k) {
    std::vector<std::function<void()>> pairs;
    for (Comparison* c : family)
        if (c->t) pairs.emplace_back([c, k] { c->pTukey = TukeyAdjustedP(*c->t, static_cast<int>(k), c->df); });
    RunTogether(pairs);
}

// Each family: its pairs in order, then the chosen adjustments within it (of
// every pair of the k levels, which Shaffer's needs, unless a pair is left out).
void AddFamily(const Sums& sums, const Inputs& in, std::size_t f, const Place& at,
               std::vector<Comparison>& out) {
    const std::size_t first = out.size(), k = sums.grid.levels[f];
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = i + 1; j < k; ++j) {
            std::optional<Comparison> c =
                sums.grid.Within(f) ? WithinPair(sums, in, f, at, i, j) : BetweenPair(sums, in, f, at, i, j);
            if (!c) continue;
            c->factor = f, c->at = at;
            c->i = static_cast<std::int32_t>(i), c->j = static_cast<std::int32_t>(j);
            out.push_back(std::move(*c));
        }
    std::vector<std::optional<Extended>> p;
    for (std::size_t r = first; r < out.size(); ++r) p.push_back(out[r].p);
    const std::vector<AdjustedP> adjusted = AdjustFamily(p, in.options.adjustments, k);
    for (std::size_t r = first; r < out.size(); ++r) SetAdjusted(out[r], adjusted[r - first]);
    if (in.options.adjustments.Has(Adjustment::Tukey) && !sums.grid.Within(f) && at == sums.grid.Over()) {
        std::vector<Comparison*> family;
        for (std::size_t r = first; r < out.size(); ++r) family.push_back(&out[r]);
        AddTukey(family, k);
    }
}

// Every place of the factors other than f, the last factor fastest; f at kOver.
std::vector<Place> PlacesOf(const FactorGrid& grid, std::size_t f) {
    std::vector<Place> places;
    Place at(grid.Factors(), 0);
    at[f] = kOver;
    for (;;) {
        places.push_back(at);
        std::size_t g = grid.Factors();
        while (g-- > 0) {
            if (g == f) continue;
            if (static_cast<std::size_t>(++at[g]) < grid.levels[g]) break;
            at[g] = 0;
        }
        if (g == static_cast<std::size_t>(-1)) return places;
    }
}

}  // namespace

// ---- the pairs of an interaction's cells ----

namespace {

// The factors' names and levels over all factors, between first.
struct FactorNames {
    std::vector<std::string> names;
    std::vector<std::size_t> levels;
    explicit FactorNames(const DesignData& design) {
        for (const DesignFactor& f : design.between) names.push_back(f.name), levels.push_back(f.levels.size());
        for (const DesignFactor& f : design.within) names.push_back(f.name), levels.push_back(f.levels.size());
    }
};

// The interactions whose cells are compared, each its factors ascending, in
// the order asked (every two-factor one first where all are), each once;
// `why` the first reason one was left out (those of all beyond the bound of
// cells are left out without one).
std::vector<std::vector<std::size_t>> CellInteractions(const DesignData& design, const Options& options,
                                                       std::string& why) {
    const FactorNames f(design);
    std::vector<std::vector<std::size_t>> out;
    const auto add = [&](std::vector<std::size_t> factors, const std::string& asked) {
        std::sort(factors.begin(), factors.end());
        Extended cells = 1;
        for (const std::size_t i : factors) cells *= static_cast<Extended>(f.levels[i]);
        if (cells > static_cast<Extended>(kComparedLevels)) {
            if (why.empty() && !asked.empty())
                why = "--cells " + asked + ": more than " + std::to_string(kComparedLevels) + " cells";
            return;
        }
        if (std::find(out.begin(), out.end(), factors) == out.end()) out.push_back(std::move(factors));
    };
    if (options.allCellInteractions)
        for (std::size_t a = 0; a < f.names.size(); ++a)
            for (std::size_t b = a + 1; b < f.names.size(); ++b) add({a, b}, {});
    for (const std::vector<std::string>& named : options.cellInteractions) {
        std::vector<std::size_t> factors;
        std::string asked;
        for (const std::string& name : named) {
            asked += (asked.empty() ? "" : ":") + name;
            const auto at = std::find(f.names.begin(), f.names.end(), name);
            if (at == f.names.end()) {
                if (why.empty()) why = "--cells names " + name + ", which the design does not have";
                factors.clear();
                break;
            }
            const auto i = static_cast<std::size_t>(at - f.names.begin());
            if (std::find(factors.begin(), factors.end(), i) != factors.end()) {
                if (why.empty()) why = "--cells names " + name + " twice in one interaction";
                factors.clear();
                break;
            }
            factors.push_back(i);
        }
        if (factors.size() == 1 && why.empty()) why = "--cells " + asked + ": an interaction of two or more factors";
        if (factors.size() >= 2) add(std::move(factors), asked);
    }
    return out;
}

// One interaction's cells: per cell its place (the others at kOver), the
// value of its within levels, and the groups with subjects of its between levels.
struct CellsOf {
    std::vector<Place> places;
    std::vector<std::size_t> value;
    std::vector<std::vector<std::size_t>> groups;
};

CellsOf CellPlaces(const FactorGrid& grid, const Scores& scores, const std::vector<std::size_t>& factors) {
    CellsOf out;
    Place at = grid.Over();
    for (const std::size_t f : factors) at[f] = 0;
    for (;;) {
        std::size_t value = 0;
        for (const std::size_t f : factors)
            if (grid.Within(f)) value = value * grid.levels[f] + static_cast<std::size_t>(at[f]);
        out.places.push_back(at), out.value.push_back(value), out.groups.push_back(GroupsAt(grid, scores, at));
        std::size_t i = factors.size();
        while (i-- > 0) {
            if (static_cast<std::size_t>(++at[factors[i]]) < grid.levels[factors[i]]) break;
            at[factors[i]] = 0;
        }
        if (i == static_cast<std::size_t>(-1)) return out;
    }
}

// The moments of one value per combination of the interaction's within
// levels (one block): each subject's sum over the within cells at it.
Summed SumWithinCells(const Inputs& in, const FactorGrid& grid, const std::vector<std::size_t>& factors) {
    std::size_t combos = 1;
    for (const std::size_t f : factors)
        if (grid.Within(f)) combos *= grid.levels[f];
    std::vector<std::size_t> valueOf(grid.cells, 0);
    for (std::size_t c = 0; c < grid.cells; ++c)
        for (const std::size_t f : factors)
            if (grid.Within(f)) valueOf[c] = valueOf[c] * grid.levels[f] + grid.LevelOf(c, f);
    std::vector<std::int64_t> divisor(combos, static_cast<std::int64_t>(grid.cells / combos));
    return SumValues(in.scores, Blocks({combos}), std::move(divisor), static_cast<long double>(grid.cells) + 1,
                     [&](const auto* row, auto* to) {
                         for (std::size_t v = 0; v < combos; ++v) to[v] = 0;
                         for (std::size_t c = 0; c < grid.cells; ++c) to[valueOf[c]] += row[c];
                     });
}

// Cells x and y's comparison: paired where their between levels agree (the
// difference of their values, its deviations pooled within every group),
// else of the two values, each's variance pooled within every group and taken
// to the difference's by its own factor (the spread their weighted variance).
// `tq` the t quantile of the df every pair pools on.
Comparison CellPair(const Inputs& in, const Summed& summed, const CellsOf& cells,
                    const std::vector<std::size_t>& filled, const std::optional<Extended>& tq, std::size_t x,
                    std::size_t y, bool paired) {
    const std::size_t a = cells.value[x], b = cells.value[y];
    const Pooled first = Pool(summed, a, a, filled), second = Pool(summed, b, b, filled);
    const std::int64_t df = first.Df();
    Contrast c;
    if (paired) {
        c.spread = first;
        c.spread.deviations += second.deviations - 2 * Pool(summed, a, b, filled).deviations;
        const std::vector<std::size_t>& groups = cells.groups[x];
        for (const std::size_t g : groups) {
            c.difference += summed.Mean(g, a) - summed.Mean(g, b);
            c.factor += mpq_class(1, summed.Size(g));
        }
        const auto count = static_cast<long>(groups.size());
        c.difference /= count, c.factor /= count * count;
        Comparison out = Compared(c, df, tq, in);
        AddAverageD(out, first, second, in.scores);
        return out;
    }
    const Weighted wx = EqualWeighted(summed, a, cells.groups[x]), wy = EqualWeighted(summed, b, cells.groups[y]);
    c.difference = wx.mean - wy.mean, c.factor = wx.factor + wy.factor;
    c.spread = first;
    c.spread.deviations = (first.deviations * wx.factor + second.deviations * wy.factor) / c.factor;
    return Compared(c, df, tq, in);
}

// Whether an interaction's cells share one error: of between factors alone,
// every pair is of two groups' values on the pooled S/G error and its df.
bool TukeyApplies(const FactorGrid& grid, const std::vector<std::size_t>& factors) {
    return std::none_of(factors.begin(), factors.end(), [&](std::size_t f) { return grid.Within(f); });
}

// Every pair of one interaction's cells, then the chosen adjustments over them.
void AddInteractionCells(const Inputs& in, const FactorGrid& grid, const std::vector<std::size_t>& factors,
                         std::vector<CellComparison>& out) {
    const Summed summed = SumWithinCells(in, grid, factors);
    const CellsOf cells = CellPlaces(grid, in.scores, factors);
    const std::vector<std::size_t> filled = GroupsAt(grid, in.scores, grid.Over());
    std::int64_t df = 0;
    for (const std::size_t g : filled) df += summed.Size(g) - 1;
    const std::optional<Extended> tq = df >= 1 ? TQuantile975(static_cast<Extended>(df)) : std::optional<Extended>{};
    const std::size_t first = out.size();
    for (std::size_t x = 0; x < cells.places.size(); ++x)
        for (std::size_t y = x + 1; y < cells.places.size(); ++y) {
            if (cells.groups[x].empty() || cells.groups[y].empty()) continue;
            CellComparison c;
            c.factors = factors;
            c.paired = true;
            for (const std::size_t f : factors) {
                c.first.push_back(cells.places[x][f]), c.second.push_back(cells.places[y][f]);
                if (!grid.Within(f) && cells.places[x][f] != cells.places[y][f]) c.paired = false;
            }
            c.error = std::string(grid.between > 0 ? "S/G" : "S") + (c.paired ? " (paired)" : "");
            c.figures = CellPair(in, summed, cells, filled, tq, x, y, c.paired);
            out.push_back(std::move(c));
        }
    std::vector<std::optional<Extended>> p;
    for (std::size_t r = first; r < out.size(); ++r) p.push_back(out[r].figures.p);
    const std::vector<AdjustedP> adjusted = AdjustFamily(p, in.options.adjustments);
    for (std::size_t r = first; r < out.size(); ++r) SetAdjusted(out[r].figures, adjusted[r - first]);
    if (!in.options.adjustments.Has(Adjustment::Tukey) || !TukeyApplies(grid, factors)) return;
    // Tukey's among the cells with subjects, every pair on the one pooled error.
    std::size_t k = 0;
    for (const std::vector<std::size_t>& g : cells.groups) k += g.empty() ? 0u : 1u;
    std::vector<Comparison*> family;
    for (std::size_t r = first; r < out.size(); ++r) family.push_back(&out[r].figures);
    AddTukey(family, k);
}

}  // namespace

void AddCellComparisons(const Inputs& in, Analysis& out) {
    std::string why;
    const std::vector<std::vector<std::size_t>> interactions = CellInteractions(in.design, in.options, why);
    if (!why.empty() || in.design.Subjects() == 0) return;
    const FactorGrid grid(in.design);
    for (const std::vector<std::size_t>& factors : interactions)
        AddInteractionCells(in, grid, factors, out.cellComparisons);
}

}  // namespace morvane::anova::detail

namespace morvane::anova {

std::string CellsRefused(const DesignData& design, const Options& options) {
    std::string why;
    detail::CellInteractions(design, options, why);
    return why;
}

}  // namespace morvane::anova
