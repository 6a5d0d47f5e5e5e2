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
#include <optional>
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

// The entries of every slice's contrast covariances together, and the
// subjects times them, beyond which the simple effects are left out.
constexpr Extended kMostSliceEntries = Extended{1 << 22};
constexpr Extended kMostSliceWork = 4e9L;

// What every slice is read from.
struct Context {
    const Inputs& in;
    const FactorGrid& grid;
    const RowValues& values;
    Summed raw;                             // the subjects' raw values
    std::vector<std::size_t> filled;        // the groups with subjects
    std::optional<DecimalUnit> decimal;     // the scores' unit, a power of ten
};

// One slice of a within factor: the groups in it, each group's means of the
// factor's levels in the integers' unit, and the sums of the integer
// Helmert contrasts of each subject's sums over the m cells of each level.
struct WithinSlice {
    std::vector<std::size_t> groups;
    std::vector<std::vector<mpq_class>> means;  // per group in `groups`, per level
    const Summed* contrasts = nullptr;
    std::int64_t m = 1;
};

bool TooLarge(const FactorGrid& grid, std::size_t subjects);
Summed SumContrasts(const Context& x, const std::vector<std::vector<std::size_t>>& cells, std::int64_t m);
std::vector<std::vector<std::size_t>> SliceCells(const FactorGrid& grid, std::size_t f, std::size_t g,
                                                 std::size_t l);
SimpleEffect WithinEffect(const Context& x, const WithinSlice& slice, std::size_t k);
SimpleEffect BetweenEffect(const Context& x, std::size_t f, const std::vector<std::size_t>& groups,
                           std::size_t value);
std::optional<DecimalUnit> DecimalUnitOf(const DesignData& design, const Scores& scores);

}  // namespace

void AddSimpleEffects(const Inputs& in, Analysis& out) {
    const FactorGrid grid(in.design);
    if (in.design.Subjects() == 0 || grid.cells == 0) return;
    if (TooLarge(grid, in.design.Subjects())) {
        out.shown.simpleEffectsOmitted = true;
        return;
    }
    const RowValues values(grid, false);
    Context x{in, grid, values,
              SumValues(in.scores, values.Divisors(), false, values.Growth(),
                        [&](const auto* row, auto* to) { values.Fill(row, to); }),
              {}, DecimalUnitOf(in.design, in.scores)};
    x.filled = GroupsAt(grid, x.raw, grid.Over());
    for (std::size_t f = 0; f < grid.Factors(); ++f) {
        const std::size_t k = grid.levels[f];
        // A within factor's contrasts of its level sums, for the slices at the between levels.
        std::optional<Summed> levels;
        if (grid.Within(f) && grid.between > 0 && k > 1)
            levels = SumContrasts(x, SliceCells(grid, f, f, 0), static_cast<std::int64_t>(grid.cells / k));
        for (std::size_t g = 0; g < grid.Factors(); ++g) {
            if (g == f) continue;
            for (std::size_t l = 0; l < grid.levels[g]; ++l) {
                Place at = grid.Over();
                at[g] = static_cast<std::int32_t>(l);
                const std::vector<std::size_t> groups = grid.Within(g) ? x.filled : GroupsAt(grid, x.raw, at);
                SimpleEffect e;
                if (!grid.Within(f)) {
                    e = BetweenEffect(x, f, groups, grid.Within(g) ? values.Level(g, l) : values.Total());
                } else {
                    const std::vector<std::vector<std::size_t>> cells = SliceCells(grid, f, grid.Within(g) ? g : f, l);
                    const auto m = static_cast<std::int64_t>(cells.empty() ? 1 : cells[0].size());
                    WithinSlice slice{groups, {}, nullptr, m};
                    for (const std::size_t group : groups) {
                        std::vector<mpq_class> means;
                        for (const std::vector<std::size_t>& level : cells) {
                            mpq_class sum = 0;
                            for (const std::size_t c : level) sum += x.raw.Mean(group, values.Cell(c));
                            means.push_back(sum / m);
                        }
                        slice.means.push_back(std::move(means));
                    }
                    std::optional<Summed> own;
                    if (k > 1 && grid.Within(g)) own = SumContrasts(x, cells, m);
                    slice.contrasts = own ? &*own : levels ? &*levels : nullptr;
                    e = WithinEffect(x, slice, k);
                }
                e.factor = f, e.at = at;
                out.simpleEffects.push_back(std::move(e));
            }
        }
    }
}

namespace {

// First: the two-factor study's bound on its slices' covariances, over
// every slice of every within factor, and each slice's matrices over the groups.
bool TooLarge(const FactorGrid& grid, std::size_t subjects) {
    Extended entries = 0, widest = 0;
    for (std::size_t f = grid.between; f < grid.Factors(); ++f) {
        const Extended contrasts = static_cast<Extended>(grid.levels[f]) - 1;
        Extended slices = 0;
        for (std::size_t g = 0; g < grid.Factors(); ++g)
            if (g != f) slices += static_cast<Extended>(grid.levels[g]);
        entries += slices * contrasts * contrasts;
        widest = std::max(widest, static_cast<Extended>(grid.groups) * contrasts * contrasts);
    }
    return entries > kMostSliceEntries || static_cast<Extended>(subjects) * entries > kMostSliceWork ||
           widest > kMostSliceEntries;
}

// The cells of each level of within factor f at level l of within factor g
// (g == f: every cell of the level), each level's in the cells' order.
std::vector<std::vector<std::size_t>> SliceCells(const FactorGrid& grid, std::size_t f, std::size_t g,
                                                 std::size_t l) {
    std::vector<std::vector<std::size_t>> cells(grid.levels[f]);
    for (std::size_t c = 0; c < grid.cells; ++c)
        if (g == f || grid.LevelOf(c, g) == l) cells[grid.LevelOf(c, f)].push_back(c);
    return cells;
}

// The sums, group by group, of the integer Helmert contrasts of each
// subject's sums over the cells of each level (m of them): their cross
// products whole where the epsilon needs them (more than one contrast).
Summed SumContrasts(const Context& x, const std::vector<std::vector<std::size_t>>& cells, std::int64_t m) {
    const std::size_t k = cells.size();
    Scratch scratch;
    const long double growth = 2.0L * static_cast<long double>(k) * static_cast<long double>(m);
    return SumValues(x.in.scores, std::vector<std::int64_t>(k - 1, m), k > 2, growth,
                     [&](const auto* row, auto* to) {
                         using T = ValueOf<decltype(to)>;
                         std::vector<T>& sums = scratch.Of<T>(k);
                         for (std::size_t i = 0; i < k; ++i) {
                             sums[i] = 0;
                             for (const std::size_t c : cells[i]) sums[i] += row[c];
                         }
                         ApplyIntegerHelmert(k, sums.data(), 1, to, 1);
                     });
}

// The epsilon of a slice's orthonormal contrasts' covariance pooled within
// its groups. Each entry is formed as the two-factor study formed its own:
// the exact pooled cross products times the subjects rounded, then divided by
// N (N - g), by the contrasts' lengths and by the scores' decimal unit, so
// that a study keeps its bits (the epsilon does not depend on the unit).
std::optional<Extended> SliceEpsilon(const Context& x, const WithinSlice& slice, std::int64_t n,
                                     std::int64_t df) {
    const Summed& z = *slice.contrasts;
    const std::size_t k = z.divisor.size();
    SquareMatrix covariance(k);
    const auto m = static_cast<Extended>(slice.m);
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = i; j < k; ++j) {
            mpq_class pooled = 0;
            for (const std::size_t g : slice.groups) {
                mpq_class part(z.groups[g].Centred(i, j), mpz_class(z.groups[g].n));
                part.canonicalize();
                pooled += part;
            }
            Extended entry = Rounded(pooled * n);
            entry = entry / (static_cast<Extended>(n) * static_cast<Extended>(df));
            entry = entry / ((m * HelmertRowLength(i)) * (m * HelmertRowLength(j)));
            if (x.decimal) entry = x.decimal->Of(x.decimal->Of(entry));
            covariance(i, j) = covariance(j, i) = entry;
        }
    return GreenhouseGeisserEpsilon(covariance);
}

// F, p, partial eta squared and its interval of a one-way analysis from its
// exact sums (in the integers' unit squared).
void Finish(const Context& x, const mpq_class& ss, const mpq_class& error, SimpleEffect& e) {
    const mpq_class unit2 = x.in.scores.unit * x.in.scores.unit;
    e.ss = Rounded(ss * unit2), e.errorSs = Rounded(error * unit2);
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
    std::int64_t n = 0;
    mpq_class inverses = 0;
    for (const std::size_t g : slice.groups) n += x.raw.Size(g), inverses += mpq_class(1, x.raw.Size(g));
    const auto groups = static_cast<std::int64_t>(slice.groups.size());
    e.df1 = static_cast<std::int64_t>(k) - 1;
    e.df2 = e.df1 * std::max<std::int64_t>(n - groups, 0);
    if (groups == 0 || k < 2) return e;
    // The hypothesis' means of the levels, and the count their spread is weighed by.
    const bool typeIII = x.in.options.type == SsType::TypeIII;
    std::vector<mpq_class> means(k, 0);
    for (std::size_t r = 0; r < slice.groups.size(); ++r)
        for (std::size_t i = 0; i < k; ++i) {
            if (typeIII)
                means[i] += slice.means[r][i];
            else
                means[i] += slice.means[r][i] * x.raw.Size(slice.groups[r]);
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
    const Summed& z = *slice.contrasts;
    for (std::size_t j = 0; j + 1 < k; ++j) {
        mpq_class deviations = 0;
        for (const std::size_t g : slice.groups) deviations += z.Deviations(g, j);
        error += deviations / static_cast<long>((j + 1) * (j + 2));
    }
    Finish(x, ss, error, e);
    if (k > 2 && n - groups >= 1) {
        e.ggEpsilon = SliceEpsilon(x, slice, n, n - groups);
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
