// The follow-ups of a data file's study: the families of comparisons in their
// order with Holm's and Bonferroni's adjustments within each, and the bounds
// on the work, which follows the levels, not the bytes: a factor of more than
// kComparedLevels levels has no comparisons, the families at the levels of
// the other factor are left out beyond kMostComparisons pairs, the simple
// effects when their covariances would be too large, the sphericity of more
// contrasts than the model's whole matrices take; what remains agrees with a
// full analysis, and the means alone are those of the whole analysis.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "runtime/Cp932.h"
#include "support/RationalArithmetic.h"

namespace morvane::anova {
namespace {

using morvane::testing::Study;

Analysis AnalyseStudy(const StudyStore& store, const Options& options = {}) {
    return Analyse(DesignFromStudy(store, '.'), options);
}

TEST(FollowUpsStudyTest, ComparisonsAreAdjustedWithinTheirFamilies) {
    std::mt19937_64 random(5);
    const Analysis r = AnalyseStudy(Study(9, 4, 3, [&](int, int a, int b) {
        return std::to_string(random() % 50 + static_cast<unsigned>(a * 10 * b));
    }));
    ASSERT_EQ(r.comparisons.size(), 6u + 3u + 3u * 6u + 4u * 3u);
    // Families: marginal A (6 pairs), marginal B (3), A at each b (6 each), B at each a (3 each).
    std::size_t first = 0;
    const Place over{kOver, kOver};
    const Place places[] = {over, over, {kOver, 0}, {kOver, 1}, {kOver, 2}, {0, kOver}, {1, kOver}, {2, kOver}, {3, kOver}};
    const std::size_t sizes[] = {6, 3, 6, 6, 6, 3, 3, 3, 3};
    for (std::size_t f = 0; f < std::size(sizes); ++f) {
        const std::size_t size = sizes[f];
        std::vector<const Comparison*> family;
        for (std::size_t i = first; i < first + size; ++i) family.push_back(&r.comparisons[i]);
        first += size;
        const auto m = static_cast<Extended>(size);
        for (const Comparison* c : family) {
            ASSERT_TRUE(c->p && c->pHolm && c->pBonferroni);
            EXPECT_EQ(c->at, places[f]) << f;
            EXPECT_EQ(c->factor, size == 6 ? 0u : 1u);
            EXPECT_EQ(*c->pBonferroni, std::min(Extended{1}, m * *c->p));
            EXPECT_GE(*c->pHolm, *c->p);
            EXPECT_LE(*c->pHolm, *c->pBonferroni);
        }
        std::sort(family.begin(), family.end(), [](auto x, auto y) { return *x->p < *y->p; });
        EXPECT_EQ(*family.front()->pHolm, std::min(Extended{1}, m * *family.front()->p));
        for (std::size_t i = 1; i < family.size(); ++i) EXPECT_GE(*family[i]->pHolm, *family[i - 1]->pHolm);
    }
    // The differences are those of the means, the t and d_z follow one another.
    const Comparison& c = r.comparisons[0];
    EXPECT_NEAR(static_cast<double>(c.difference),
                static_cast<double>(r.marginalMeans[0][0].mean - r.marginalMeans[0][1].mean), 1e-12);
    EXPECT_NEAR(static_cast<double>(*c.t), static_cast<double>(*c.d * 3), 1e-12);  // sqrt(9)
    for (const Mean& m : r.cellMeans)
        EXPECT_TRUE(m.ci95 && m.withinCi95 && m.ci95->low < m.mean && m.mean < m.ci95->high);
}

TEST(FollowUpsStudyTest, TheWorkIsBoundedByTheLevels) {
    std::mt19937_64 random(3);
    const auto score = [&](int, int a, int b) { return std::to_string(random() % 40 + static_cast<unsigned>(a + b)); };
    // Which families each shape keeps: compared per factor, and at the other's levels.
    struct Bound {
        int n, na, nb;
        std::vector<bool> compared, atLevels;
    };
    const Bound bounds[] = {
        {1, 4, 3, {true, true}, {true, true}},
        {1, 2, 1000, {true, false}, {true, false}},   // B beyond 100 levels
        {1, 60, 60, {true, true}, {false, false}},    // 1770 pairs x 61, twice
        {1, 100, 12, {true, true}, {false, false}},   // 4950 x 13 + 66 x 101 pairs
    };
    for (const Bound& b : bounds) {
        const Analysis r = AnalyseStudy(Study(b.n, b.na, b.nb, score));
        EXPECT_EQ(r.shown.compared, b.compared) << b.na << " x " << b.nb;
        EXPECT_EQ(r.shown.comparedAtLevels, b.atLevels) << b.na << " x " << b.nb;
    }

    StudyStore wide = Study(3, 2, 101, score);
    wide.LevelNamesA[1] = std::string(70, 'x') + Cp932FromUtf8("名前");
    const Analysis r = AnalyseStudy(wide);
    EXPECT_EQ(r.comparisons.size(), 1u + 101u);  // marginal A, then A at each b
    EXPECT_TRUE(std::all_of(r.comparisons.begin(), r.comparisons.end(),
                            [](const Comparison& c) { return c.factor == 0; }));
    EXPECT_FALSE(r.shown.simpleEffectsOmitted);
    // Long level names are cut in the analysis; the study keeps them.
    EXPECT_EQ(r.within[0].levels[0], std::string(64, 'x') + "…");
    EXPECT_EQ(wide.LevelNamesA[1].size(), 74u);

    // The means alone (what the plot asks for) are those of the whole analysis.
    Options meansOnly;
    meansOnly.meansOnly = true;
    const Analysis means = AnalyseStudy(wide, meansOnly);
    EXPECT_TRUE(means.comparisons.empty() && means.simpleEffects.empty());
    ASSERT_EQ(means.cellMeans.size(), r.cellMeans.size());
    for (std::size_t i = 0; i < r.cellMeans.size(); ++i) {
        EXPECT_EQ(means.cellMeans[i].mean, r.cellMeans[i].mean);
        EXPECT_EQ(means.cellMeans[i].withinCi95.has_value(), r.cellMeans[i].withinCi95.has_value());
    }

    // 300 x 300 cells: no comparisons, no simple effects, no sphericity of the
    // interaction; its sums of squares and F stand.
    const Analysis big = AnalyseStudy(Study(2, 300, 300, score));
    EXPECT_TRUE(big.comparisons.empty());
    EXPECT_TRUE(big.shown.simpleEffectsOmitted && big.simpleEffects.empty());
    EXPECT_EQ(big.cellMeans.size(), 90000u);
    // 18 x 17 levels: the interaction's 272 contrasts beyond the 256 the whole matrices take.
    const Analysis many = AnalyseStudy(Study(3, 18, 17, score));
    EXPECT_FALSE(many.effects[0].sphericityOmitted || many.effects[1].sphericityOmitted);
    EXPECT_TRUE(many.effects[2].sphericityOmitted && !many.effects[2].sphericity);
    EXPECT_EQ(many.effects[2].multivariate->status, MultivariateStatus::Omitted);
    EXPECT_TRUE(many.effects[2].f && many.effects[2].p);
}

}  // namespace
}  // namespace morvane::anova
