// The means, comparisons, simple effects and checks of any factorial design,
// beside its effects' tests. Their conventions:
// - Cell means: each between x within cell's subjects alone (SD and SE on
//   n - 1, Student's t on n - 1); the within-subject interval by Cousineau's
//   normalisation (each score less its subject's mean, plus the group's) with
//   Morey's correction over all the within cells, within each between cell.
// - Marginal means: estimated marginal means, equal weights over the other
//   factors' cells, each between cell's mean estimated from its own subjects;
//   the SE from the covariance of the scores pooled within the between cells
//   on N - g degrees of freedom, as a multivariate linear model gives it (the
//   model-based SE of estimated marginal means of a multivariate fit), with
//   Student's t on N - g. A within factor's levels have a within-subject
//   interval too: the same with each subject's level means less its mean over
//   the levels, Morey's correction over the factor's levels.
// - Comparisons: every pair of each factor's levels, Holm's and Bonferroni's
//   adjustment within each factor's family. A within factor's on the
//   subjects' differences of their level means, equal-weighted over the
//   between cells, SE from the differences' variance pooled within the
//   between cells on N - g; d_z is the difference over that pooled SD, its
//   interval the noncentral t's limits over the root of the effective count
//   g^2 / sum(1 / n_j) (N without between factors). A between factor's on the
//   subjects' means over the within cells, SE from their variance pooled
//   within the between cells on N - g; d is the difference over that pooled
//   SD, its interval the noncentral t's limits times the root of the
//   contrast's sum of w^2 / n_j.
// - Simple effects: factor F at level l of factor G, each a one-way analysis
//   of its own slice. A within F: the subjects' means of F's levels (at l of a
//   within G; the subjects at l of a between G), against F x S pooled within
//   the between cells; its hypothesis the equal-weighted mean of the between
//   cells' means with type III sums of squares (effective count
//   g^2 / sum(1 / n_j)), their weighted mean with type II (count N). A
//   between F: the one-way between-subjects analysis of the subjects' means
//   (at l of a within G; the subjects at l of a between G) across F's levels,
//   the other between factors pooled into it.
// - Checks: Shapiro and Wilk's W of each error stratum's residuals: the
//   subjects' means less their between cell's ("S"), and for each within
//   effect the subjects' scores less their between cell's means, averaged
//   over the other within factors and centred along each of the effect's
//   factors. Levene's test of each within cell across the between cells,
//   centred on each cell's mean and, as Brown and Forsythe's, on its median.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <future>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "design/detail/FollowUps.h"
#include "stats/Adjustments.h"
#include "stats/Distributions.h"
#include "stats/EffectSizes.h"
#include "stats/ShapiroWilk.h"

namespace morvane::design {
namespace {

// The cells of factors crossed, the last factor fastest.
struct Shape {
    std::vector<std::size_t> levels, stride;
    std::size_t size = 1;

    explicit Shape(const std::vector<DesignFactor>& factors)
        : levels(factors.size()), stride(factors.size()) {
        for (std::size_t f = factors.size(); f-- > 0;) {
            levels[f] = factors[f].levels.size();
            stride[f] = size;
            size *= levels[f];
        }
    }
    std::size_t LevelOf(std::size_t index, std::size_t f) const { return index / stride[f] % levels[f]; }
};

// Rows of k values, one per subject, pooled within the subjects' groups: the
// groups' sizes and means, and the cross products of the deviations from the
// group's means summed over the groups (k x k with `full`, else the
// diagonal), on N less the groups with subjects degrees of freedom.
struct Pooled {
    std::size_t k = 0, groups = 0, filled = 0;
    std::vector<std::int64_t> n;
    std::vector<Extended> means, sscp;
    bool full = false;
    std::int64_t subjects = 0, df = 0;

    Extended Cross(std::size_t i, std::size_t j) const { return full ? sscp[i * k + j] : sscp[i]; }
    Extended EqualWeighted(std::size_t i) const {
        Extended sum = 0;
        for (std::size_t g = 0; g < groups; ++g)
            if (n[g] > 0) sum += means[g * k + i];
        return sum / static_cast<Extended>(filled);
    }
    Extended Weighted(std::size_t i) const {
        Extended sum = 0;
        for (std::size_t g = 0; g < groups; ++g) sum += static_cast<Extended>(n[g]) * means[g * k + i];
        return sum / static_cast<Extended>(subjects);
    }
    // The equal-weighted mean's variance over the pooled variance: sum(1 / n_j) / g^2.
    Extended EqualWeightedFactor() const {
        Extended sum = 0;
        for (std::int64_t size : n)
            if (size > 0) sum += 1 / static_cast<Extended>(size);
        const auto g = static_cast<Extended>(filled);
        return sum / (g * g);
    }
};

// `rows` of the subjects `group` names (-1: not in the slice).
Pooled Pool(const std::vector<Extended>& rows, std::size_t k, const std::vector<std::int32_t>& group,
            std::size_t groups, bool full) {
    Pooled p;
    p.k = k, p.groups = groups, p.full = full;
    p.n.assign(groups, 0);
    p.means.assign(groups * k, 0);
    p.sscp.assign(full ? k * k : k, 0);
    const std::size_t n = group.size();
    for (std::size_t s = 0; s < n; ++s) {
        if (group[s] < 0) continue;
        const auto g = static_cast<std::size_t>(group[s]);
        ++p.n[g];
        for (std::size_t i = 0; i < k; ++i) p.means[g * k + i] += rows[s * k + i];
    }
    for (std::size_t g = 0; g < groups; ++g) {
        if (p.n[g] == 0) continue;
        ++p.filled;
        p.subjects += p.n[g];
        for (std::size_t i = 0; i < k; ++i) p.means[g * k + i] /= static_cast<Extended>(p.n[g]);
    }
    std::vector<Extended> d(k);
    for (std::size_t s = 0; s < n; ++s) {
        if (group[s] < 0) continue;
        const auto g = static_cast<std::size_t>(group[s]);
        for (std::size_t i = 0; i < k; ++i) d[i] = rows[s * k + i] - p.means[g * k + i];
        if (!full) {
            for (std::size_t i = 0; i < k; ++i) p.sscp[i] += d[i] * d[i];
            continue;
        }
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = i; j < k; ++j) p.sscp[i * k + j] += d[i] * d[j];
    }
    if (full)
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = 0; j < i; ++j) p.sscp[i * k + j] = p.sscp[j * k + i];
    p.df = p.subjects - static_cast<std::int64_t>(p.filled);
    return p;
}

// Each row less its own mean.
std::vector<Extended> CentreRows(std::vector<Extended> rows, std::size_t k) {
    for (std::size_t r = 0; r + k <= rows.size(); r += k) {
        Extended mean = 0;
        for (std::size_t i = 0; i < k; ++i) mean += rows[r + i];
        mean /= static_cast<Extended>(k);
        for (std::size_t i = 0; i < k; ++i) rows[r + i] -= mean;
    }
    return rows;
}

std::optional<Interval> Around(Extended centre, std::optional<Extended> halfWidthFactor,
                               std::optional<Extended> se) {
    if (!halfWidthFactor || !se) return std::nullopt;
    return Interval{centre - *halfWidthFactor * *se, centre + *halfWidthFactor * *se};
}

struct Context {
    const DesignData& design;
    DesignAnalysis& out;
    Shape within, between;
    std::size_t n = 0, cells = 0, groups = 0;
    std::vector<std::int32_t> group;
    std::vector<Extended> subjectMeans;
    // Per within factor: each subject's means of the factor's levels (N x k).
    std::vector<std::vector<Extended>> levelMeans;
    // Per group: the mean of each within cell (groups x cells), and of all.
    std::vector<Extended> groupCellMeans, groupMeans;
    // Per within factor: the level of each within cell.
    std::vector<std::vector<std::uint32_t>> cellLevel;

    Context(const DesignData& d, DesignAnalysis& a)
        : design(d),
          out(a),
          within(d.within),
          between(d.between),
          n(d.Subjects()),
          cells(d.Cells()),
          groups(d.Groups()),
          group(d.group) {
        if (group.size() != n) group.assign(n, 0);
    }

    std::size_t Factors() const { return between.levels.size() + within.levels.size(); }
    std::vector<std::int32_t> AllAveraged() const { return std::vector<std::int32_t>(Factors(), -1); }
};

void SubjectSummaries(Context& x) {
    const std::vector<Extended>& y = x.design.values;
    const std::size_t W = x.within.levels.size();
    x.subjectMeans.assign(x.n, 0);
    x.levelMeans.assign(W, {});
    x.cellLevel.assign(W, std::vector<std::uint32_t>(x.cells));
    for (std::size_t f = 0; f < W; ++f) {
        x.levelMeans[f].assign(x.n * x.within.levels[f], 0);
        for (std::size_t c = 0; c < x.cells; ++c)
            x.cellLevel[f][c] = static_cast<std::uint32_t>(x.within.LevelOf(c, f));
    }
    for (std::size_t s = 0; s < x.n; ++s) {
        const Extended* row = y.data() + s * x.cells;
        Extended sum = 0;
        for (std::size_t c = 0; c < x.cells; ++c) sum += row[c];
        x.subjectMeans[s] = sum / static_cast<Extended>(x.cells);
        // Level i of factor f: the runs of `stride` cells from o + i stride,
        // o stepping by k stride.
        for (std::size_t f = 0; f < W; ++f) {
            const std::size_t k = x.within.levels[f], stride = x.within.stride[f];
            Extended* means = x.levelMeans[f].data() + s * k;
            for (std::size_t i = 0; i < k; ++i) {
                Extended level = 0;
                for (std::size_t o = i * stride; o < x.cells; o += k * stride)
                    for (std::size_t j = 0; j < stride; ++j) level += row[o + j];
                means[i] = level / static_cast<Extended>(x.cells / k);
            }
        }
    }
}

// F, p and partial eta squared of a one-way analysis, where defined.
void Finish(DesignSimpleEffect& e) {
    if (e.ss + e.errorSs > 0) e.partialEtaSquared = e.ss / (e.ss + e.errorSs);
    if (e.df1 <= 0 || e.df2 <= 0 || !(e.errorSs > 0)) return;
    e.f = (e.ss / static_cast<Extended>(e.df1)) / (e.errorSs / static_cast<Extended>(e.df2));
    e.p = FUpperTail(*e.f, static_cast<Extended>(e.df1), static_cast<Extended>(e.df2));
}

// The sums of squares a between x within cell's figures take from its scores.
struct CellSums {
    std::vector<std::int64_t> size;      // per group
    std::vector<Extended> ss, normalSs;  // groups x cells: about the cell's mean, and normalised
};

// The subjects group by group: `order` the subjects, run k (a group with
// subjects) from starts[k] to starts[k + 1].
struct GroupRuns {
    std::vector<std::size_t> order, starts;
};

GroupRuns RunsOf(const Context& x) {
    GroupRuns r;
    r.order.resize(x.n);
    for (std::size_t s = 0; s < x.n; ++s) r.order[s] = s;
    std::stable_sort(r.order.begin(), r.order.end(),
                     [&](std::size_t a, std::size_t b) { return x.group[a] < x.group[b]; });
    for (std::size_t i = 0; i < x.n; ++i)
        if (i == 0 || x.group[r.order[i]] != x.group[r.order[i - 1]]) r.starts.push_back(i);
    r.starts.push_back(x.n);
    return r;
}

// Levene's test of a within cell from each run's mean absolute deviation
// (`spread`, every other entry from `centre`) and their error sum of squares.
LeveneResult Levene(std::size_t cell, bool median, const GroupRuns& r, const std::vector<Extended>& spread,
                    Extended error) {
    const std::size_t runs = r.starts.size() - 1;
    Extended grand = 0;
    for (std::size_t k = 0; k < runs; ++k)
        grand += spread[2 * k + median] * static_cast<Extended>(r.starts[k + 1] - r.starts[k]);
    grand /= static_cast<Extended>(r.starts.back());
    DesignSimpleEffect e;
    for (std::size_t k = 0; k < runs; ++k) {
        const Extended d = spread[2 * k + median] - grand;
        e.ss += static_cast<Extended>(r.starts[k + 1] - r.starts[k]) * d * d;
    }
    e.errorSs = error;
    e.df1 = static_cast<std::int64_t>(runs) - 1, e.df2 = static_cast<std::int64_t>(r.starts.back() - runs);
    Finish(e);
    LeveneResult l;
    l.cell = cell, l.median = median, l.df1 = e.df1, l.df2 = e.df2, l.f = e.f, l.p = e.p;
    return l;
}

// The scores a cell at a time, group by group (a block of cells gathered at
// a time): each group's mean of each cell and its sums of squares, about the
// mean and after Cousineau's normalisation; with between factors, Levene's
// test of the cell on the absolute deviations from each group's mean, then
// from its median.
// Scores from which the cell pass takes two threads.
constexpr std::size_t kCellsOnTwoThreads = 100000;

CellSums CellPass(Context& x) {
    const std::size_t C = x.cells, G = x.groups, n = x.n;
    const GroupRuns r = RunsOf(x);
    const std::size_t runs = r.starts.size() - 1;
    CellSums sums;
    sums.size.assign(G, 0);
    sums.ss.assign(G * C, 0), sums.normalSs.assign(G * C, 0);
    x.groupCellMeans.assign(G * C, 0), x.groupMeans.assign(G, 0);
    std::vector<std::size_t> runGroup(runs);
    // Each subject's mean less its group's mean of them, in the runs' order.
    std::vector<Extended> shift(n);
    for (std::size_t k = 0; k < runs; ++k) {
        const std::size_t g = runGroup[k] = static_cast<std::size_t>(x.group[r.order[r.starts[k]]]);
        sums.size[g] = static_cast<std::int64_t>(r.starts[k + 1] - r.starts[k]);
        for (std::size_t i = r.starts[k]; i < r.starts[k + 1]; ++i)
            x.groupMeans[g] += x.subjectMeans[r.order[i]];
        x.groupMeans[g] /= static_cast<Extended>(sums.size[g]);
        for (std::size_t i = r.starts[k]; i < r.starts[k + 1]; ++i)
            shift[i] = x.subjectMeans[r.order[i]] - x.groupMeans[g];
    }
    const bool levene = !x.between.levels.empty();
    if (levene) x.out.levene.resize(2 * C);
    constexpr std::size_t kBlock = 16;
    // The cells' blocks from `begin` to `end`, each pass with its own buffers:
    // the cells' results are written to their own places.
    const auto cellsFrom = [&](std::size_t begin, std::size_t end) {
        std::vector<Extended> block(kBlock * n), scratch, spread(2 * runs);
        for (std::size_t first = begin; first < end; first += kBlock) {
            const std::size_t width = std::min(kBlock, C - first);
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t c = 0; c < width; ++c)
                    block[c * n + i] = x.design.values[r.order[i] * C + first + c];
            for (std::size_t c = 0; c < width; ++c) {
                const Extended* y = block.data() + c * n;
                const std::size_t cell = first + c;
                Extended error[2] = {0, 0};
                for (std::size_t k = 0; k < runs; ++k) {
                    const std::size_t a = r.starts[k], b = r.starts[k + 1], g = runGroup[k];
                    const auto count = static_cast<Extended>(b - a);
                    Extended sum = 0, ss = 0, normalSs = 0, absolute = 0;
                    for (std::size_t i = a; i < b; ++i) sum += y[i];
                    const Extended mean = sum / count;
                    for (std::size_t i = a; i < b; ++i) {
                        const Extended d = y[i] - mean, e = d - shift[i];
                        ss += d * d, normalSs += e * e, absolute += std::fabs(d);
                    }
                    x.groupCellMeans[g * C + cell] = mean;
                    sums.ss[g * C + cell] = ss, sums.normalSs[g * C + cell] = normalSs;
                    if (!levene) continue;
                    scratch.assign(y + a, y + b);
                    const auto middle = scratch.begin() + static_cast<std::ptrdiff_t>(scratch.size() / 2);
                    std::nth_element(scratch.begin(), middle, scratch.end());
                    Extended median = *middle;
                    if (scratch.size() % 2 == 0)
                        median = (median + *std::max_element(scratch.begin(), middle)) / 2;
                    Extended fromMedian = 0;
                    for (std::size_t i = a; i < b; ++i) fromMedian += std::fabs(y[i] - median);
                    spread[2 * k] = absolute / count, spread[2 * k + 1] = fromMedian / count;
                    for (std::size_t i = a; i < b; ++i) {
                        const Extended d = std::fabs(y[i] - mean) - spread[2 * k];
                        const Extended e = std::fabs(y[i] - median) - spread[2 * k + 1];
                        error[0] += d * d, error[1] += e * e;
                    }
                }
                if (!levene) continue;
                x.out.levene[2 * cell] = Levene(cell, false, r, spread, error[0]);
                x.out.levene[2 * cell + 1] = Levene(cell, true, r, spread, error[1]);
            }
        }
    };
    // A large design's second half of cells on a thread of its own.
    const std::size_t half = (C / kBlock / 2) * kBlock;
    if (half == 0 || n * C < kCellsOnTwoThreads) {
        cellsFrom(0, C);
        return sums;
    }
    std::future<void> second = std::async(std::launch::async, cellsFrom, half, C);
    try {
        cellsFrom(0, half);
    } catch (...) {
        second.wait();
        throw;
    }
    second.get();
    return sums;
}

// Every between x within cell, group by group: mean, SD, SE, the t interval
// and Cousineau and Morey's within-subject interval.
void AddCellMeans(Context& x, const CellSums& sums) {
    const std::size_t G = x.groups, C = x.cells, B = x.between.levels.size();
    for (std::size_t g = 0; g < G; ++g) {
        const auto n = static_cast<Extended>(sums.size[g]);
        const std::optional<Extended> tq = n >= 2 ? TQuantile975(n - 1) : std::nullopt;
        for (std::size_t c = 0; c < C; ++c) {
            DesignMean m;
            m.levels = x.AllAveraged();
            for (std::size_t f = 0; f < B; ++f)
                m.levels[f] = static_cast<std::int32_t>(x.between.LevelOf(g, f));
            for (std::size_t f = 0; f < x.within.levels.size(); ++f)
                m.levels[B + f] = static_cast<std::int32_t>(x.cellLevel[f][c]);
            m.n = sums.size[g];
            m.mean = x.groupCellMeans[g * C + c];
            if (m.n >= 2) {
                m.sd = std::sqrt(sums.ss[g * C + c] / (n - 1));
                m.se = *m.sd / std::sqrt(n);
                m.ci95 = Around(m.mean, tq, m.se);
                const auto conditions = static_cast<Extended>(C);
                if (C >= 2)
                    m.withinCi95 = Around(
                        m.mean, tq,
                        std::sqrt(sums.normalSs[g * C + c] / (n - 1) * conditions / (conditions - 1) / n));
            }
            x.out.cellMeans.push_back(std::move(m));
        }
    }
}

// The between cells at level `level` of between factor f.
std::vector<std::size_t> GroupsAt(const Context& x, std::size_t f, std::size_t level) {
    std::vector<std::size_t> at;
    for (std::size_t g = 0; g < x.groups; ++g)
        if (x.between.LevelOf(g, f) == level) at.push_back(g);
    return at;
}

// A between level's estimated marginal mean and its variance over the pooled
// variance: the equal-weighted mean of its groups' means, sum(1 / n_j) / g^2.
struct BetweenLevel {
    Extended mean = 0, factor = 0;
    std::int64_t n = 0;
};

BetweenLevel LevelOfBetween(const Context& x, const Pooled& p, std::size_t f, std::size_t level) {
    BetweenLevel b;
    Extended count = 0;
    for (std::size_t g : GroupsAt(x, f, level)) {
        if (p.n[g] == 0) continue;
        b.mean += p.means[g];
        b.factor += 1 / static_cast<Extended>(p.n[g]);
        b.n += p.n[g];
        ++count;
    }
    if (count > 0) b.mean /= count, b.factor /= count * count;
    return b;
}

std::optional<Extended> PooledSe(const Pooled& p, Extended cross, Extended factor) {
    if (p.df <= 0 || !(cross >= 0)) return std::nullopt;
    return std::sqrt(cross / static_cast<Extended>(p.df) * factor);
}

void AddMarginalMeans(Context& x, const Pooled& subjectPool, const std::vector<Pooled>& levelPools) {
    const std::size_t B = x.between.levels.size();
    std::optional<Extended> tq;
    if (subjectPool.df > 0) tq = TQuantile975(static_cast<Extended>(subjectPool.df));
    for (std::size_t f = 0; f < B; ++f) {
        std::vector<DesignMean> means;
        for (std::size_t l = 0; l < x.between.levels[f]; ++l) {
            const BetweenLevel b = LevelOfBetween(x, subjectPool, f, l);
            DesignMean m;
            m.levels = x.AllAveraged();
            m.levels[f] = static_cast<std::int32_t>(l);
            m.n = b.n, m.mean = b.mean;
            m.se = PooledSe(subjectPool, subjectPool.Cross(0, 0), b.factor);
            m.ci95 = Around(m.mean, tq, m.se);
            means.push_back(std::move(m));
        }
        x.out.marginalMeans.push_back(std::move(means));
    }
    for (std::size_t f = 0; f < x.within.levels.size(); ++f) {
        const Pooled& p = levelPools[f];
        const std::size_t k = x.within.levels[f];
        const Pooled normal = Pool(CentreRows(x.levelMeans[f], k), k, x.group, x.groups, false);
        const auto K = static_cast<Extended>(k);
        std::vector<DesignMean> means;
        for (std::size_t l = 0; l < k; ++l) {
            DesignMean m;
            m.levels = x.AllAveraged();
            m.levels[B + f] = static_cast<std::int32_t>(l);
            m.n = p.subjects, m.mean = p.EqualWeighted(l);
            m.se = PooledSe(p, p.Cross(l, l), p.EqualWeightedFactor());
            m.ci95 = Around(m.mean, tq, m.se);
            if (k >= 2)
                m.withinCi95 = Around(
                    m.mean, tq, PooledSe(normal, normal.Cross(l, l) * K / (K - 1), p.EqualWeightedFactor()));
            means.push_back(std::move(m));
        }
        x.out.marginalMeans.push_back(std::move(means));
    }
}

// A comparison's t, p and intervals from its difference, its SD and the
// factor that takes the SD to the SE; d is the difference over the SD.
DesignComparison Compare(Extended difference, const std::optional<Extended>& sd, Extended seFactor,
                         std::int64_t df, Extended level) {
    DesignComparison c;
    c.difference = difference;
    c.df = static_cast<Extended>(df);
    if (!sd || df <= 0) return c;
    c.se = *sd * std::sqrt(seFactor);
    c.ci95 = Around(difference, TQuantile975(c.df), c.se);
    if (!(*sd > 0)) return c;
    c.t = difference / *c.se;
    c.p = TTwoSided(*c.t, c.df);
    c.d = difference / *sd;
    if (const std::optional<NoncentralityLimits> limits = NoncentralTLimits(*c.t, c.df, level)) {
        const Extended scale = std::sqrt(seFactor);
        c.dCI = LevelInterval{level, limits->lower * scale, limits->upper * scale};
    }
    return c;
}

void AdjustWithinFamily(std::vector<DesignComparison>& out, std::size_t first) {
    std::vector<std::optional<Extended>> p;
    for (std::size_t i = first; i < out.size(); ++i) p.push_back(out[i].p);
    const std::vector<AdjustedP> adjusted = morvane::AdjustFamily(p);
    for (std::size_t i = first; i < out.size(); ++i)
        out[i].pHolm = adjusted[i - first].holm, out[i].pBonferroni = adjusted[i - first].bonferroni;
}

void AddComparisons(Context& x, const Pooled& subjectPool, const std::vector<Pooled>& levelPools) {
    const std::size_t B = x.between.levels.size();
    const Extended level = x.out.options.effectSizeLevel;
    std::int64_t budget = kMostComparisons;
    const auto family = [&](std::size_t factor, std::size_t k, const auto& compare) {
        const auto pairs = static_cast<std::int64_t>(k * (k - 1) / 2);
        if (static_cast<std::int64_t>(k) > kComparedLevels || pairs > budget) return;
        budget -= pairs;
        const std::size_t first = x.out.comparisons.size();
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = i + 1; j < k; ++j) {
                DesignComparison c = compare(i, j);
                c.factor = factor, c.i = static_cast<std::int32_t>(i), c.j = static_cast<std::int32_t>(j);
                x.out.comparisons.push_back(c);
            }
        AdjustWithinFamily(x.out.comparisons, first);
    };
    const Pooled& s = subjectPool;
    std::optional<Extended> sd;
    if (s.df > 0) sd = std::sqrt(s.Cross(0, 0) / static_cast<Extended>(s.df));
    for (std::size_t f = 0; f < B; ++f)
        family(f, x.between.levels[f], [&](std::size_t i, std::size_t j) {
            const BetweenLevel a = LevelOfBetween(x, s, f, i), b = LevelOfBetween(x, s, f, j);
            return Compare(a.mean - b.mean, sd, a.factor + b.factor, s.df, level);
        });
    for (std::size_t f = 0; f < x.within.levels.size(); ++f) {
        const Pooled& p = levelPools[f];
        if (!p.full) continue;
        family(B + f, x.within.levels[f], [&](std::size_t i, std::size_t j) {
            const Extended cross = p.Cross(i, i) + p.Cross(j, j) - 2 * p.Cross(i, j);
            std::optional<Extended> dsd;
            if (p.df > 0) dsd = std::sqrt(std::max<Extended>(cross, 0) / static_cast<Extended>(p.df));
            return Compare(p.EqualWeighted(i) - p.EqualWeighted(j), dsd, p.EqualWeightedFactor(), p.df,
                           level);
        });
    }
}

// Where a within factor's scores are: subject s's score at level i of the
// factor in slice l is at s * row + i * level + l * slice.
struct WithinSlices {
    const std::vector<Extended>& values;
    std::size_t row = 0, k = 0, level = 1, slices = 1, slice = 0;
    Extended At(std::size_t s, std::size_t i, std::size_t l) const {
        return values[s * row + i * level + l * slice];
    }
    // Subject s's mean of the factor's levels in slice l.
    Extended Mean(std::size_t s, std::size_t l) const {
        Extended sum = 0;
        for (std::size_t i = 0; i < k; ++i) sum += At(s, i, l);
        return sum / static_cast<Extended>(k);
    }
};

// A within factor's one-way analysis in each slice, of the subjects in
// `group`, against its interaction with the subjects pooled within the
// groups: the groups' means in a first pass, each subject's scores less
// their mean and less their group's the same in a second.
std::vector<DesignSimpleEffect> WithinOneWays(const WithinSlices& w, const std::vector<std::int32_t>& group,
                                              std::size_t groups, SsType type) {
    const std::size_t k = w.k, L = w.slices;
    std::vector<std::int64_t> n(groups, 0);
    std::vector<Extended> means(groups * L * k, 0), error(L, 0);
    for (std::size_t s = 0; s < group.size(); ++s) {
        if (group[s] < 0) continue;
        const auto g = static_cast<std::size_t>(group[s]);
        ++n[g];
        for (std::size_t l = 0; l < L; ++l)
            for (std::size_t i = 0; i < k; ++i) means[(g * L + l) * k + i] += w.At(s, i, l);
    }
    std::size_t filled = 0;
    std::int64_t subjects = 0;
    Extended inverseSizes = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        if (n[g] == 0) continue;
        ++filled, subjects += n[g], inverseSizes += 1 / static_cast<Extended>(n[g]);
        // The group's means of the scores less each subject's mean: its
        // means of the scores less their mean over the factor's levels.
        for (std::size_t l = 0; l < L; ++l) {
            Extended* m = means.data() + (g * L + l) * k;
            Extended mean = 0;
            for (std::size_t i = 0; i < k; ++i) {
                m[i] /= static_cast<Extended>(n[g]);
                mean += m[i];
            }
            mean /= static_cast<Extended>(k);
            for (std::size_t i = 0; i < k; ++i) m[i] -= mean;
        }
    }
    for (std::size_t s = 0; s < group.size(); ++s) {
        if (group[s] < 0) continue;
        const auto g = static_cast<std::size_t>(group[s]);
        for (std::size_t l = 0; l < L; ++l) {
            const Extended mean = w.Mean(s, l);
            const Extended* m = means.data() + (g * L + l) * k;
            Extended sum = 0;
            for (std::size_t i = 0; i < k; ++i) {
                const Extended d = w.At(s, i, l) - mean - m[i];
                sum += d * d;
            }
            error[l] += sum;
        }
    }
    std::vector<DesignSimpleEffect> out(L);
    if (filled == 0) return out;
    const auto G = static_cast<Extended>(filled);
    // Type III: the equal-weighted mean of the groups' means, whose variance is
    // sum(1 / n_j) / g^2 of the pooled; type II: their weighted mean.
    const Extended count = type == SsType::TypeIII ? G * G / inverseSizes : static_cast<Extended>(subjects);
    for (std::size_t l = 0; l < L; ++l) {
        DesignSimpleEffect& e = out[l];
        for (std::size_t i = 0; i < k; ++i) {
            Extended m = 0;
            for (std::size_t g = 0; g < groups; ++g)
                if (n[g] > 0)
                    m += means[(g * L + l) * k + i] *
                         (type == SsType::TypeIII ? 1 / G : static_cast<Extended>(n[g]) / count);
            e.ss += count * m * m;
        }
        e.errorSs = error[l];
        e.df1 = static_cast<std::int64_t>(k) - 1;
        e.df2 = e.df1 * (subjects - static_cast<std::int64_t>(filled));
        Finish(e);
    }
    return out;
}

// The one-way between-subjects analysis of `score` across the k levels
// `level` gives each subject (-1: not in the slice).
DesignSimpleEffect BetweenOneWay(const std::vector<Extended>& score, const std::vector<std::int32_t>& level,
                                 std::size_t k) {
    DesignSimpleEffect e;
    const Pooled p = Pool(score, 1, level, k, false);
    if (p.filled == 0) return e;
    const Extended grand = p.Weighted(0);
    for (std::size_t l = 0; l < k; ++l) {
        const Extended d = p.means[l] - grand;
        if (p.n[l] > 0) e.ss += static_cast<Extended>(p.n[l]) * d * d;
    }
    e.errorSs = p.Cross(0, 0);
    e.df1 = static_cast<std::int64_t>(p.filled) - 1;
    e.df2 = p.df;
    Finish(e);
    return e;
}

// Each subject's means of the cells of within factors f < g (k_f x k_g per subject).
std::vector<Extended> TwoWayMeans(const Context& x, std::size_t f, std::size_t g) {
    const std::size_t kg = x.within.levels[g], t = x.within.levels[f] * kg;
    std::vector<std::size_t> index(x.cells);
    for (std::size_t c = 0; c < x.cells; ++c) index[c] = x.cellLevel[f][c] * kg + x.cellLevel[g][c];
    std::vector<Extended> table(x.n * t, 0);
    const auto count = static_cast<Extended>(x.cells / t);
    for (std::size_t s = 0; s < x.n; ++s) {
        const Extended* row = x.design.values.data() + s * x.cells;
        Extended* out = table.data() + s * t;
        for (std::size_t c = 0; c < x.cells; ++c) out[index[c]] += row[c];
        for (std::size_t i = 0; i < t; ++i) out[i] /= count;
    }
    return table;
}

// The subjects' groups where between factor f is at `level`, -1 elsewhere.
std::vector<std::int32_t> GroupsWhere(const Context& x, std::size_t f, std::size_t level) {
    std::vector<std::int32_t> g = x.group;
    for (std::int32_t& v : g)
        if (x.between.LevelOf(static_cast<std::size_t>(v), f) != level) v = -1;
    return g;
}

// Each subject's level of between factor f, where `slice` keeps the subject.
std::vector<std::int32_t> BetweenLevels(const Context& x, std::size_t f,
                                        const std::vector<std::int32_t>& slice) {
    std::vector<std::int32_t> level(x.n, -1);
    for (std::size_t s = 0; s < x.n; ++s)
        if (slice[s] >= 0)
            level[s] = static_cast<std::int32_t>(x.between.LevelOf(static_cast<std::size_t>(x.group[s]), f));
    return level;
}

// Column `level` of each subject's k values.
std::vector<Extended> Column(const std::vector<Extended>& rows, std::size_t k, std::size_t level) {
    std::vector<Extended> column(rows.size() / k);
    for (std::size_t s = 0; s < column.size(); ++s) column[s] = rows[s * k + level];
    return column;
}

void Push(Context& x, DesignSimpleEffect e, std::size_t factor, std::size_t atFactor, std::size_t atLevel) {
    e.factor = factor, e.atFactor = atFactor, e.atLevel = static_cast<std::int32_t>(atLevel);
    x.out.simpleEffects.push_back(e);
}

// The simple effects of every within factor at each level of every other
// factor: of each pair of within factors from one table of the subjects'
// means, kept until each factor's turn.
void WithinSimpleEffects(Context& x) {
    const std::size_t B = x.between.levels.size(), W = x.within.levels.size();
    const SsType type = x.out.options.type;
    std::vector<std::vector<DesignSimpleEffect>> atWithin(W * W);
    for (std::size_t f = 0; f < W; ++f)
        for (std::size_t g = f + 1; g < W; ++g) {
            const std::size_t kf = x.within.levels[f], kg = x.within.levels[g];
            // Of a design of these two factors alone the table is the scores.
            const bool whole = kf * kg == x.cells;
            const std::vector<Extended> means = whole ? std::vector<Extended>() : TwoWayMeans(x, f, g);
            const std::vector<Extended>& table = whole ? x.design.values : means;
            atWithin[f * W + g] =
                WithinOneWays(WithinSlices{table, kf * kg, kf, kg, kg, 1}, x.group, x.groups, type);
            atWithin[g * W + f] =
                WithinOneWays(WithinSlices{table, kf * kg, kg, 1, kf, kg}, x.group, x.groups, type);
        }
    for (std::size_t f = 0; f < W; ++f) {
        const WithinSlices levels{x.levelMeans[f], x.within.levels[f], x.within.levels[f]};
        for (std::size_t b = 0; b < B; ++b)
            for (std::size_t l = 0; l < x.between.levels[b]; ++l)
                Push(x, WithinOneWays(levels, GroupsWhere(x, b, l), x.groups, type)[0], B + f, b, l);
        for (std::size_t g = 0; g < W; ++g)
            for (std::size_t l = 0; g != f && l < x.within.levels[g]; ++l)
                Push(x, atWithin[f * W + g][l], B + f, B + g, l);
    }
}

// The simple effects of between factor f at each level of every other factor.
void BetweenSimpleEffects(Context& x, std::size_t f) {
    const std::size_t B = x.between.levels.size(), kf = x.between.levels[f];
    for (std::size_t b = 0; b < B; ++b) {
        if (b == f) continue;
        for (std::size_t l = 0; l < x.between.levels[b]; ++l)
            Push(x, BetweenOneWay(x.subjectMeans, BetweenLevels(x, f, GroupsWhere(x, b, l)), kf), f, b, l);
    }
    const std::vector<std::int32_t> levels = BetweenLevels(x, f, x.group);
    for (std::size_t w = 0; w < x.within.levels.size(); ++w)
        for (std::size_t l = 0; l < x.within.levels[w]; ++l)
            Push(x, BetweenOneWay(Column(x.levelMeans[w], x.within.levels[w], l), levels, kf), f, B + w, l);
}

// The within effects as subsets of the within factors: by their count of
// factors, then in the factors' order.
std::vector<std::vector<std::size_t>> WithinEffects(std::size_t factors) {
    std::vector<std::vector<std::size_t>> effects;
    for (std::size_t mask = 1; mask < (std::size_t{1} << factors); ++mask) {
        std::vector<std::size_t> e;
        for (std::size_t f = 0; f < factors; ++f)
            if (mask & (std::size_t{1} << f)) e.push_back(f);
        effects.push_back(e);
    }
    std::stable_sort(effects.begin(), effects.end(), [](const auto& a, const auto& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return effects;
}

// The residuals of within effect `effect`'s stratum, subject by subject.
std::vector<Extended> StratumResiduals(const Context& x, const std::vector<std::size_t>& effect) {
    std::vector<std::size_t> levels, stride(effect.size());
    std::size_t t = 1;
    for (std::size_t f : effect) levels.push_back(x.within.levels[f]);
    for (std::size_t i = effect.size(); i-- > 0;) stride[i] = t, t *= levels[i];
    std::vector<std::size_t> index(x.cells, 0);
    for (std::size_t c = 0; c < x.cells; ++c)
        for (std::size_t i = 0; i < effect.size(); ++i)
            index[c] += x.within.LevelOf(c, effect[i]) * stride[i];
    std::vector<Extended> out(x.n * t, 0);
    const std::size_t averaged = x.cells / t;
    const auto count = static_cast<Extended>(averaged);
    for (std::size_t s = 0; s < x.n; ++s) {
        const auto g = static_cast<std::size_t>(x.group[s]);
        Extended* r = out.data() + s * t;
        const Extended *y = x.design.values.data() + s * x.cells, *m = x.groupCellMeans.data() + g * x.cells;
        // The effect of every within factor averages no cells: r is y less its group's mean.
        if (averaged == 1)
            for (std::size_t c = 0; c < x.cells; ++c) r[index[c]] = y[c] - m[c];
        else
            for (std::size_t c = 0; c < x.cells; ++c) r[index[c]] += (y[c] - m[c]) / count;
        // Centred along each of the effect's factors in turn: the runs of
        // each of its levels' cells start at every block of stride x levels.
        for (std::size_t i = 0; i < effect.size(); ++i) {
            const std::size_t step = stride[i], k = levels[i];
            for (std::size_t block = 0; block < t; block += step * k)
                for (std::size_t start = block; start < block + step; ++start) {
                    Extended mean = 0;
                    for (std::size_t l = 0; l < k; ++l) mean += r[start + l * step];
                    mean /= static_cast<Extended>(k);
                    for (std::size_t l = 0; l < k; ++l) r[start + l * step] -= mean;
                }
        }
    }
    return out;
}

constexpr std::size_t kMostNormalityValues = 5000;

// The Q-Q plot's points of a stratum's residuals `r` (each subject's `per` in
// turn) of `df` degrees of freedom, `leverage` the part of each residual's
// variance its stratum leaves it before its group's (1 - 1/n_g). `largest`:
// the scores' largest magnitude, below which a sum of squares is rounding.
void AddQuantiles(const Context& x, const std::vector<std::size_t>& groupSize, std::vector<Extended> r,
                  std::size_t per, Extended df, Extended leverage, Extended largest, StratumNormality& s) {
    Extended squares = 0;
    for (Extended v : r) squares += v * v;
    const Extended rounding = 4096 * std::numeric_limits<Extended>::epsilon() * largest;
    // Squares beyond the extended range studentize nothing.
    if (!(df >= 1) || !std::isfinite(squares) ||
        !(squares > rounding * rounding * static_cast<Extended>(r.size())))
        return;
    const Extended variance = squares / df * leverage;
    // Each group's residuals times the reciprocal of their standard error; none of a group of one.
    std::vector<Extended> inverse(groupSize.size(), 0);
    for (std::size_t g = 0; g < groupSize.size(); ++g)
        if (groupSize[g] >= 2)
            inverse[g] = 1 / std::sqrt(variance * (1 - 1 / static_cast<Extended>(groupSize[g])));
    std::size_t kept = 0;
    Extended low = std::numeric_limits<Extended>::infinity(), high = -low;
    for (std::size_t i = 0; i < x.n; ++i) {
        const auto g = static_cast<std::size_t>(x.group[i]);
        if (groupSize[g] < 2) continue;
        for (std::size_t j = 0; j < per; ++j) {
            const Extended t = r[i * per + j] * inverse[g];
            r[kept++] = t, low = std::min(low, t), high = std::max(high, t);
        }
    }
    s.unplotted = static_cast<std::int64_t>(r.size() - kept);
    r.resize(kept);
    s.quantiles = QuantilePointsOf(std::move(r), low, high);
}

void AddNormality(Context& x) {
    std::vector<std::size_t> groupSize(x.groups, 0);
    for (std::size_t i = 0; i < x.n; ++i) ++groupSize[static_cast<std::size_t>(x.group[i])];
    const auto filled = static_cast<Extended>(
        std::count_if(groupSize.begin(), groupSize.end(), [](std::size_t size) { return size > 0; }));
    Extended largest = 0;
    if (x.out.options.quantilePoints)
        for (Extended v : x.design.values) largest = std::max(largest, std::fabs(v));
    const Extended subjectDf = static_cast<Extended>(x.n) - filled;
    // The stratum's `count` residuals, formed where W or the plot needs them.
    const auto test = [&](std::string stratum, std::size_t count, std::size_t per, Extended df,
                          Extended leverage, const auto& residuals) {
        StratumNormality s;
        s.stratum = std::move(stratum);
        s.n = static_cast<std::int64_t>(count);
        s.df = static_cast<std::int64_t>(df);
        const bool tested = count >= 3 && count <= kMostNormalityValues;
        if (tested || x.out.options.quantilePoints) {
            std::vector<Extended> r = residuals();
            if (tested) {
                const ShapiroWilkTest t = ShapiroWilk(r);
                s.w = t.w, s.p = t.p;
            }
            if (x.out.options.quantilePoints)
                AddQuantiles(x, groupSize, std::move(r), per, df, leverage, largest, s);
        }
        x.out.normality.push_back(std::move(s));
    };
    test("S", x.n, 1, subjectDf, 1, [&] {
        std::vector<Extended> r(x.n);
        for (std::size_t s = 0; s < x.n; ++s)
            r[s] = x.subjectMeans[s] - x.groupMeans[static_cast<std::size_t>(x.group[s])];
        return r;
    });
    for (const std::vector<std::size_t>& effect : WithinEffects(x.within.levels.size())) {
        std::string name;
        std::size_t per = 1;
        Extended df = subjectDf, leverage = 1;
        for (std::size_t f : effect) {
            name += x.design.within[f].name + " × ";
            const auto levels = static_cast<Extended>(x.within.levels[f]);
            per *= x.within.levels[f], df *= levels - 1, leverage *= 1 - 1 / levels;
        }
        test(name + "S", x.n * per, per, df, leverage, [&] { return StratumResiduals(x, effect); });
    }
}

// Figures beyond the extended range: a mean is an overflow, any other
// figure is left undefined.
void KeepFinite(DesignAnalysis& a) {
    const auto defined = [](auto& v) {
        if (v && !std::isfinite(*v)) v.reset();
    };
    const auto interval = [](std::optional<Interval>& i) {
        if (i && !(std::isfinite(i->low) && std::isfinite(i->high))) i.reset();
    };
    const auto mean = [&](DesignMean& m) {
        CheckFinite(m.mean);
        defined(m.sd), defined(m.se), interval(m.ci95), interval(m.withinCi95);
    };
    for (DesignMean& m : a.cellMeans) mean(m);
    for (std::vector<DesignMean>& means : a.marginalMeans)
        for (DesignMean& m : means) mean(m);
    for (DesignComparison& c : a.comparisons) {
        CheckFinite(c.difference);
        defined(c.se), defined(c.t), defined(c.p), defined(c.d), interval(c.ci95);
        if (c.dCI && !(std::isfinite(c.dCI->lower) && std::isfinite(c.dCI->upper))) c.dCI.reset();
    }
    for (DesignSimpleEffect& e : a.simpleEffects)
        if (!std::isfinite(e.ss) || !std::isfinite(e.errorSs))
            e.ss = e.errorSs = 0, e.f.reset(), e.p.reset(), e.partialEtaSquared.reset();
    for (LeveneResult& l : a.levene) defined(l.f), defined(l.p);
}

}  // namespace

void AddFollowUps(const DesignData& design, DesignAnalysis& analysis) {
    Context x(design, analysis);
    if (!design.between.empty())
        analysis.rankTestsOmitted =
            "Not computed: the rank-based tests are defined for designs without between-subject factors.";
    if (x.n == 0 || x.cells == 0 || design.values.size() != x.n * x.cells) return;
    SubjectSummaries(x);
    AddCellMeans(x, CellPass(x));
    const Pooled subjectPool = Pool(x.subjectMeans, 1, x.group, x.groups, false);
    std::vector<Pooled> levelPools;
    for (std::size_t f = 0; f < x.within.levels.size(); ++f) {
        const std::size_t k = x.within.levels[f];
        levelPools.push_back(
            Pool(x.levelMeans[f], k, x.group, x.groups, static_cast<std::int64_t>(k) <= kComparedLevels));
    }
    AddMarginalMeans(x, subjectPool, levelPools);
    AddComparisons(x, subjectPool, levelPools);
    for (std::size_t f = 0; f < x.between.levels.size(); ++f) BetweenSimpleEffects(x, f);
    WithinSimpleEffects(x);
    AddNormality(x);
    KeepFinite(analysis);
}

}  // namespace morvane::design
