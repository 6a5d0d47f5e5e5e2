// The means of any design, each formed from the exact sums of the subjects'
// values group by group and rounded once:
// - a between x within cell's: of its group's subjects alone (SD and SE on
//   n - 1, Student's t on n - 1), and Cousineau and Morey's within-subject
//   interval: each score less its subject's mean, Morey's correction over all
//   the within cells;
// - a level's of one factor: the estimated marginal mean, equal weights over
//   the groups with subjects at that level (a within factor's: over every
//   group), of the groups' means of the subjects' means over the level's
//   cells; the SD of those values pooled within the groups on N - g, the SE it
//   gives that mean (the SD times the root of sum(1 / n_g) / G^2), Student's
//   t on N - g; a within factor's levels also the within-subject interval,
//   the same of each subject's level mean less its mean, Morey's correction
//   over the factor's levels.
// Without groups these are the two-factor study's figures, to the bit.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "anova/detail/FollowUps.h"
#include "anova/detail/Steps.h"
#include "stats/Distributions.h"

namespace morvane::anova::detail {
namespace {

void AddCellMeans(const Inputs& in, const FactorGrid& grid, const RowValues& values, const Summed& sums,
                  Analysis& out);
void AddMarginalMeans(const Inputs& in, const FactorGrid& grid, const RowValues& values, const Summed& sums,
                      Analysis& out);

}  // namespace

void AddMeans(const Inputs& in, Analysis& out) {
    if (in.design.Subjects() == 0 || in.design.Cells() == 0) return;
    const FactorGrid grid(in.design);
    const RowValues values(grid, true);
    const Summed sums = SumValues(in.scores, Blocks::Alone(values.Count()), values.Divisors(),
                                  values.Growth(), [&](const auto* row, auto* to) { values.Fill(row, to); });
    AddCellMeans(in, grid, values, sums, out);
    // One within factor and no groups: its levels are the cells, and each
    // level's figures those of its cell, to the bit (the same exact ratios on
    // n - 1, Morey's correction over as many levels as cells), so they are
    // taken as they are rather than formed again.
    if (grid.between == 0 && grid.Factors() == 1)
        out.marginalMeans.push_back(out.cellMeans);
    else
        AddMarginalMeans(in, grid, values, sums, out);
    AddSubjectScores(in, out);
}

// Last: each subject's score in every within cell, from its exact integer
// rounded once, the subjects in the design's order (the plot's subjects).
void AddSubjectScores(const Inputs& in, Analysis& out) {
    const Scores& s = in.scores;
    const std::size_t cells = s.cells;
    out.subjectScores.assign(s.subjects * cells, 0);
    out.subjectGroups = in.design.group;
    for (std::size_t r = 0; r < s.order.subjects.size(); ++r) {
        const std::size_t subject = s.order.subjects[r];
        for (std::size_t c = 0; c < cells; ++c) {
            const std::size_t i = r * cells + c;
            const mpz_class offset = s.Quick() ? mpz_class(static_cast<long>(s.small[i])) : s.wide[i];
            out.subjectScores[subject * cells + c] = Rounded(mpq_class(s.reference[c] + offset) * s.unit);
        }
    }
}

namespace {

// First: every group's every within cell, the last factor fastest.
void AddCellMeans(const Inputs& in, const FactorGrid& grid, const RowValues& values, const Summed& sums,
                  Analysis& out) {
    const Scores& s = in.scores;
    const auto cells = static_cast<long>(grid.cells);
    out.cellMeans.reserve(grid.groups * grid.cells);
    for (std::size_t g = 0; g < grid.groups; ++g) {
        const std::int64_t n = sums.Size(g);
        std::optional<Extended> tq;
        if (n >= 2) tq = TQuantile975(static_cast<Extended>(n - 1));
        for (std::size_t c = 0; c < grid.cells; ++c) {
            Mean m;
            m.at = grid.PlaceOf(g, c);
            m.n = n;
            if (n > 0) m.mean = InUnit(sums.Mean(g, values.Cell(c)), s);
            if (n >= 2) {
                const mpq_class deviations = sums.Deviations(g, values.Cell(c));
                m.sd = RootInUnit(deviations / (n - 1), s);
                m.se = RootInUnit(deviations / (n * (n - 1)), s);
                m.ci95 = Around(m.mean, tq, m.se);
                if (cells >= 2) {
                    const mpq_class normal = sums.Deviations(g, values.Normal(values.Cell(c)));
                    const std::optional<Extended> se =
                        RootInUnit(normal / (n * (n - 1)) * mpq_class(cells, cells - 1), s);
                    m.withinCi95 = Around(m.mean, tq, se);
                }
            }
            out.cellMeans.push_back(std::move(m));
        }
    }
}

// Second: each factor's levels, between factors first.
void AddMarginalMeans(const Inputs& in, const FactorGrid& grid, const RowValues& values, const Summed& sums,
                      Analysis& out) {
    const Scores& s = in.scores;
    const std::vector<std::size_t> filled = GroupsAt(grid, in.scores, grid.Over());
    const Pooled all = Pool(sums, values.Total(), values.Total(), filled);
    const std::int64_t df = all.Df();
    std::optional<Extended> tq;
    if (df >= 1) tq = TQuantile975(static_cast<Extended>(df));
    for (std::size_t f = 0; f < grid.Factors(); ++f) {
        std::vector<Mean> means;
        const auto k = static_cast<long>(grid.levels[f]);
        for (std::size_t l = 0; l < grid.levels[f]; ++l) {
            Mean m;
            m.at = grid.Over();
            m.at[f] = static_cast<std::int32_t>(l);
            const bool within = grid.Within(f);
            const std::vector<std::size_t> groups = within ? filled : GroupsAt(grid, in.scores, m.at);
            const std::size_t index = within ? values.Level(f, l) : values.Total();
            for (const std::size_t g : groups) m.n += sums.Size(g);
            if (groups.empty()) {
                means.push_back(std::move(m));
                continue;
            }
            const Weighted w = EqualWeighted(sums, index, groups);
            m.mean = InUnit(w.mean, s);
            if (df >= 1) {
                const mpq_class variance = Pool(sums, index, index, filled).Variance();
                m.sd = RootInUnit(variance, s);
                m.se = RootInUnit(variance * w.factor, s);
                m.ci95 = Around(m.mean, tq, m.se);
                if (within && k >= 2) {
                    const mpq_class normal =
                        Pool(sums, values.Normal(index), values.Normal(index), filled).Variance();
                    const std::optional<Extended> se = RootInUnit(normal * w.factor * mpq_class(k, k - 1), s);
                    m.withinCi95 = Around(m.mean, tq, se);
                }
            }
            means.push_back(std::move(m));
        }
        out.marginalMeans.push_back(std::move(means));
    }
}

}  // namespace
}  // namespace morvane::anova::detail
