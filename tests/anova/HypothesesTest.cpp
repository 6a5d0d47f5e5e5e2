// The between terms' hypotheses: the main effects' closed form and the
// complement's side against exact elimination on the contrasts, on random
// unbalanced designs of one to three between factors and one to three
// coordinates; cells of one count in closed form against the same; extended
// precision on large designs, and the limit; and the engine's analysis of a
// design whose large interactions are left out.

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>

#include "runtime/Errors.h"

#include "anova/Analysis.h"
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
                const RationalMatrix quick = *TermHypothesis(cells, term, means, type);
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
                const RationalMatrix chosen = *TermHypothesis(cells, term, means, type);
                for (std::size_t k = 0; k < own.at.size(); ++k) {
                    ASSERT_EQ(other.at[k], own.at[k]) << "trial " << trial << " term " << term;
                    ASSERT_EQ(chosen.at[k], own.at[k]) << "trial " << trial << " term " << term;
                }
            }
    }
}

// Beyond 48 columns on both sides the hypothesis is taken in extended
// precision, close to the exact one; beyond 512 it is none at once, unless
// every cell holds as many subjects. Two between factors of many levels stay exact: the
// other terms' model is small.
TEST(HypothesesTest, LargeDesignsAreTakenOnTheSmallerSideOrLeftOut) {
    std::mt19937 random(7);
    {
        const auto [cells, means] = RandomCells(random, {6, 6, 4}, 2, 3);  // A x B x C: 75 and 69 columns
        const RationalMatrix sure = TermHypothesisOnComplement(cells, 7, means, SsType::TypeIII);
        const RationalMatrix quick = *TermHypothesis(cells, 7, means, SsType::TypeIII);
        for (std::size_t k = 0; k < sure.at.size(); ++k) {
            const double s = sure.at[k].get_d(), q = quick.at[k].get_d();
            EXPECT_NEAR(q, s, 1e-11 * std::fabs(s) + 1e-9) << k;
            EXPECT_NE(quick.at[k], sure.at[k]) << "taken exactly";
        }
    }
    {
        const auto [cells, means] = RandomCells(random, {12, 9}, 1, 3);  // A x B: 88 columns and 20
        const RationalMatrix own = TermHypothesisByElimination(cells, 3, means, SsType::TypeIII);
        EXPECT_EQ(TermHypothesis(cells, 3, means, SsType::TypeIII)->at, own.at);
        EXPECT_EQ(TermHypothesis(cells, 3, means, SsType::TypeII)->at, own.at);
    }
    auto [cells, means] = RandomCells(random, {40, 50, 2}, 1, 2);  // 1,911 columns and 2,089
    EXPECT_FALSE(TermHypothesis(cells, 3, means, SsType::TypeIII));
    EXPECT_FALSE(TermHypothesis(cells, 7, means, SsType::TypeII));
    EXPECT_TRUE(TermHypothesis(cells, 5, means, SsType::TypeIII));  // A x C: 39 columns
    std::fill(cells.counts.begin(), cells.counts.end(), 2);
    // Of equal cells the terms are orthogonal: their hypotheses (the
    // intercept's among them) sum to the cells' weighted squares.
    mpq_class sum = 0, squares = 0;
    for (std::uint32_t term = 0; term < 8; ++term) {
        const std::optional<RationalMatrix> h = TermHypothesis(cells, term, means, SsType::TypeIII);
        ASSERT_TRUE(h) << term;
        sum += h->at.front();
    }
    for (const mpq_class& m : means.at) squares += 2 * m * m;
    EXPECT_EQ(sum, squares);
}

// Cells all of one count: every term's hypothesis in closed form, both types
// and the intercept, equals the elimination on its own contrasts exactly.
TEST(HypothesesTest, EqualCellsInClosedFormEqualTheEliminationExactly) {
    std::mt19937 random(20261212);
    for (std::size_t trial = 0; trial < 18; ++trial) {
        const std::size_t factors = 1 + trial % 3;
        std::vector<std::size_t> levels;
        for (std::size_t f = 0; f < factors; ++f) levels.push_back(2 + random() % (factors == 3 ? 2 : 4));
        auto [cells, means] = RandomCells(random, levels, 1 + trial % 3, 4);
        std::fill(cells.counts.begin(), cells.counts.end(), 1 + static_cast<std::int64_t>(trial % 4));
        for (std::uint32_t term = 0; term < (std::uint32_t{1} << factors); ++term)
            for (const SsType type : {SsType::TypeIII, SsType::TypeII}) {
                const RationalMatrix own = TermHypothesisByElimination(cells, term, means, type);
                const std::optional<RationalMatrix> closed = TermHypothesis(cells, term, means, type);
                ASSERT_TRUE(closed);
                ASSERT_EQ(closed->at, own.at) << "trial " << trial << " term " << term;
            }
    }
}

// A design of between factors A (24) x B (24) x C (2), one or two subjects
// per cell (`equal`: two in every cell), and a within factor W of two levels;
// or the same subjects in one between factor G of the 1,152 cells.
DesignData LargeBetweenDesign(bool equal, bool oneFactor) {
    const std::vector<std::size_t> levels{24, 24, 2};
    DesignData d;
    const auto factor = [](const std::string& name, std::size_t count) {
        DesignFactor f{name, {}};
        for (std::size_t i = 0; i < count; ++i) f.levels.push_back(name + std::to_string(i + 1));
        return f;
    };
    if (oneFactor)
        d.between = {factor("G", 24 * 24 * 2)};
    else
        d.between = {factor("A", 24), factor("B", 24), factor("C", 2)};
    d.within = {factor("W", 2)};
    std::mt19937 random(512);
    for (std::int32_t cell = 0; cell < 24 * 24 * 2; ++cell) {
        const int count = equal ? 2 : 1 + static_cast<int>(random() % 2);
        for (int k = 0; k < count; ++k) {
            d.subjects.push_back(std::to_string(d.subjects.size() + 1));
            d.group.push_back(cell);
            for (int w = 0; w < 2; ++w)
                d.values.push_back(static_cast<Extended>(random() % 1000) / 10 + w * (cell % 7));
        }
    }
    return d;
}

const Effect& EffectOf(const Analysis& r, const std::string& key) {
    for (const Effect& e : r.effects)
        if (e.key == key) return e;
    throw std::runtime_error("no effect " + key);
}

// The engine: of unequal cells the terms A x B and A x B x C (529 columns on
// either side) and their interactions with W are left out, df and error kept,
// every figure formed from their sums of squares absent; the others are
// tested, and W, the strata and the cell means are those of the same subjects
// in one between factor. Of equal cells nothing is left out, and the between
// terms' sums of squares (and their interactions' with W) add up to G's.
TEST(HypothesesTest, AnalysisLeavesOutOnlyTheTermsBeyondTheLimit) {
    Options options;
    options.meansOnly = true;
    const Analysis unequal = Analyse(LargeBetweenDesign(false, false), options);
    const Analysis grouped = Analyse(LargeBetweenDesign(false, true), options);
    for (const Effect& e : unequal.effects) {
        const bool out = e.key.rfind("A:B", 0) == 0;
        EXPECT_EQ(e.hypothesisOmitted, out) << e.key;
        EXPECT_EQ(e.f.has_value(), !out) << e.key;
        EXPECT_EQ(e.p.has_value(), !out) << e.key;
        EXPECT_EQ(e.partialEtaSquared.has_value(), !out) << e.key;
        EXPECT_EQ(e.effect.ms.has_value(), !out) << e.key;
        EXPECT_TRUE(e.error.ms) << e.key;
        if (out) {
            EXPECT_EQ(e.effect.df, 23 * 23) << e.key;
        }
    }
    EXPECT_EQ(EffectOf(unequal, "W").f, EffectOf(grouped, "W").f);
    EXPECT_EQ(EffectOf(unequal, "W").effect.ss, EffectOf(grouped, "W").effect.ss);
    ASSERT_EQ(unequal.strata.size(), grouped.strata.size());
    for (std::size_t s = 0; s < unequal.strata.size(); ++s)
        EXPECT_EQ(unequal.strata[s].error.ss, grouped.strata[s].error.ss) << s;
    ASSERT_EQ(unequal.cellMeans.size(), grouped.cellMeans.size());
    for (std::size_t c = 0; c < unequal.cellMeans.size(); ++c)
        ASSERT_EQ(unequal.cellMeans[c].mean, grouped.cellMeans[c].mean) << c;

    const Analysis equal = Analyse(LargeBetweenDesign(true, false), options);
    const Analysis equalGrouped = Analyse(LargeBetweenDesign(true, true), options);
    for (const std::string within : {"", ":W"}) {
        Extended sum = 0;
        for (const Effect& e : equal.effects) {
            EXPECT_FALSE(e.hypothesisOmitted) << e.key;
            EXPECT_TRUE(e.f) << e.key;
            if (!e.between.empty() && e.within.empty() == within.empty()) sum += e.effect.ss;
        }
        const Extended g = EffectOf(equalGrouped, "G" + within).effect.ss;
        EXPECT_LE(std::fabs(sum - g), 1e-15L * g) << within;
    }
}

}  // namespace
}  // namespace morvane::anova::detail
