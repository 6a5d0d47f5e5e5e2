// The between terms' hypotheses: the main effects' closed form and the
// complement's side against exact elimination on the contrasts, on random
// unbalanced designs of one to three between factors and one to three
// coordinates; extended precision on large designs, and the limit.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "runtime/Errors.h"

#include "anova/detail/Hypotheses.h"

namespace morvane::anova::detail {
namespace {

// Cells of the given levels holding 1 to `most` subjects each, and their means
// of p coordinates: rationals of small denominators.
std::pair<BetweenCells, RationalMatrix> RandomCells(std::mt19937& random, std::vector<std::size_t> levels,
                                                    std::size_t p, unsigned most) {
    BetweenCells cells{std::move(levels), {}};
    std::size_t g = 1;
    for (const std::size_t l : cells.levels) g *= l;
    for (std::size_t c = 0; c < g; ++c) cells.counts.push_back(static_cast<std::int64_t>(1 + random() % most));
    RationalMatrix means(g, p);
    for (mpq_class& m : means.at) {
        m = mpq_class(static_cast<long>(random() % 20001) - 10000, 1 + random() % 7);
        m.canonicalize();
    }
    return {cells, means};
}

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

// Every term, both types: the hypothesis taken on the complement's side (all
// the other terms' model) equals the one on the term's own contrasts exactly.
TEST(HypothesesTest, EveryTermOnTheComplementEqualsItsOwnContrastsExactly) {
    std::mt19937 random(20261211);
    for (std::size_t trial = 0; trial < 24; ++trial) {
        const std::size_t factors = 1 + trial % 3;
        std::vector<std::size_t> levels;
        for (std::size_t f = 0; f < factors; ++f) levels.push_back(2 + random() % (factors == 1 ? 5 : 3));
        const auto [cells, means] = RandomCells(random, levels, 1 + trial % 2, 4);
        for (std::uint32_t term = 1; term < (std::uint32_t{1} << factors); ++term)
            for (const SsType type : {SsType::TypeIII, SsType::TypeII}) {
                const RationalMatrix own = TermHypothesisByElimination(cells, term, means, type);
                const RationalMatrix other = TermHypothesisOnComplement(cells, term, means, type);
                const RationalMatrix chosen = TermHypothesis(cells, term, means, type);
                for (std::size_t k = 0; k < own.at.size(); ++k) {
                    ASSERT_EQ(other.at[k], own.at[k]) << "trial " << trial << " term " << term;
                    ASSERT_EQ(chosen.at[k], own.at[k]) << "trial " << trial << " term " << term;
                }
            }
    }
}

// Beyond 48 columns on both sides the hypothesis is taken in extended
// precision, close to the exact one; beyond 512 it is refused at once, the
// message naming the limit. Two between factors of many levels stay exact: the
// other terms' model is small.
TEST(HypothesesTest, LargeDesignsAreTakenOnTheSmallerSideOrRefused) {
    std::mt19937 random(7);
    {
        const auto [cells, means] = RandomCells(random, {6, 6, 4}, 2, 3);  // A x B x C: 75 and 69 columns
        const RationalMatrix sure = TermHypothesisOnComplement(cells, 7, means, SsType::TypeIII);
        const RationalMatrix quick = TermHypothesis(cells, 7, means, SsType::TypeIII);
        for (std::size_t k = 0; k < sure.at.size(); ++k) {
            const double s = sure.at[k].get_d(), q = quick.at[k].get_d();
            EXPECT_NEAR(q, s, 1e-11 * std::fabs(s) + 1e-9) << k;
            EXPECT_NE(quick.at[k], sure.at[k]) << "taken exactly";
        }
    }
    {
        const auto [cells, means] = RandomCells(random, {12, 9}, 1, 3);  // A x B: 88 columns and 20
        const RationalMatrix own = TermHypothesisByElimination(cells, 3, means, SsType::TypeIII);
        EXPECT_EQ(TermHypothesis(cells, 3, means, SsType::TypeIII).at, own.at);
        EXPECT_EQ(TermHypothesis(cells, 3, means, SsType::TypeII).at, own.at);
    }
    const auto [cells, means] = RandomCells(random, {40, 50, 2}, 1, 2);  // 1,911 columns and 2,089
    try {
        TermHypothesis(cells, 3, means, SsType::TypeIII);
        FAIL() << "not refused";
    } catch (const Error& e) {
        EXPECT_NE(e.message().find(" 512)"), std::string::npos);
    }
}

}  // namespace
}  // namespace morvane::anova::detail
