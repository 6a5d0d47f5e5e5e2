// The between terms' hypotheses: the main effects' closed form against exact
// elimination on the contrasts, on random unbalanced designs of one to three
// between factors and one to three coordinates.

#include <gtest/gtest.h>

#include <random>

#include "anova/detail/Hypotheses.h"

namespace morvane::anova::detail {
namespace {

TEST(HypothesesTest, MainEffectsInClosedFormEqualTheEliminationExactly) {
    std::mt19937 random(20261210);
    for (std::size_t trial = 0; trial < 40; ++trial) {
        BetweenCells cells;
        const std::size_t factors = 1 + trial % 3;
        std::size_t g = 1;
        for (std::size_t f = 0; f < factors; ++f) {
            cells.levels.push_back(2 + random() % (factors == 1 ? 6 : 3));
            g *= cells.levels.back();
        }
        for (std::size_t c = 0; c < g; ++c) cells.counts.push_back(static_cast<std::int64_t>(1 + random() % 5));
        const std::size_t p = 1 + trial % 3;
        RationalMatrix means(g, p);
        for (mpq_class& m : means.at) {
            m = mpq_class(static_cast<long>(random() % 20001) - 10000, 1 + random() % 7);
            m.canonicalize();
        }
        for (std::size_t f = 0; f < factors; ++f) {
            const std::uint32_t term = std::uint32_t{1} << f;
            for (const SsType type : {SsType::TypeIII, SsType::TypeII}) {
                const RationalMatrix quick = TermHypothesis(cells, term, means, type);
                const RationalMatrix sure = TermHypothesisByElimination(cells, term, means, type);
                if (type == SsType::TypeII && factors > 1) continue;  // elimination either way
                ASSERT_EQ(quick.rows, p);
                for (std::size_t k = 0; k < sure.at.size(); ++k)
                    ASSERT_EQ(quick.at[k], sure.at[k]) << "trial " << trial << " factor " << f;
            }
        }
    }
}

}  // namespace
}  // namespace morvane::anova::detail
