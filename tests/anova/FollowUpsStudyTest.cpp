// The one engine's means, comparisons and simple effects of a data file's
// A x B x S study against the study's own analysis: every figure the same to
// the bit, in the same order, whichever strategy holds the scores.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>

#include "analysis/FullAnalysis.h"
#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "design/StudyDesign.h"
#include "store/StudyStore.h"

namespace morvane::anova {
namespace {

// A study of n subjects x na x nb cells with scores of `places` decimals near
// `offset` units, `spread` units apart at most.
StudyStore RandomStudy(std::mt19937& random, int n, int na, int nb, int places, long long offset,
                       int spread) {
    StudyStore store;
    std::vector<std::string> a, b;
    for (int i = 1; i <= na; ++i) a.push_back("a" + std::to_string(i));
    for (int i = 1; i <= nb; ++i) b.push_back("b" + std::to_string(i));
    StartNewStudy(store, a, b, std::to_string(n));
    std::uniform_int_distribution<int> d(0, spread);
    for (int s = 1; s <= n; ++s)
        for (int i = 1; i <= na; ++i)
            for (int j = 1; j <= nb; ++j) {
                const long long units = offset + d(random) + (s % 4) * i * j - 2 * i + (s % 3) * j;
                std::string text = std::to_string(units < 0 ? -units : units);
                if (places > 0) {
                    while (static_cast<int>(text.size()) <= places) text.insert(0, "0");
                    text.insert(text.size() - static_cast<std::size_t>(places), ".");
                }
                store.CellText.Set(s, i, j, (units < 0 ? "-" : "") + text);
            }
    return store;
}

// An interval's ends (and level), to compare to the bit.
std::optional<std::array<Extended, 3>> Ends(const std::optional<Interval>& i) {
    return i ? std::optional<std::array<Extended, 3>>({i->low, i->high, 0}) : std::nullopt;
}
std::optional<std::array<Extended, 3>> Ends(const std::optional<LevelInterval>& i) {
    return i ? std::optional<std::array<Extended, 3>>({i->lower, i->upper, i->level}) : std::nullopt;
}

// With one subject the study forms a mean as its reference plus its offset
// and a simple effect's sum of squares from the offsets' means, in extended
// arithmetic: a few units in the last place from the exact figure, which the
// engine rounds once.
void ExpectSameOrNear(Extended now, Extended old, bool oneSubject, const char* what) {
    if (oneSubject)
        EXPECT_LE(std::fabs(now - old), 1e-18L * std::fabs(old)) << what;
    else
        EXPECT_EQ(now, old) << what;
}

void ExpectSameMean(const Mean& now, const MeanResult& old, const Place& at, bool oneSubject) {
    EXPECT_EQ(now.at, at);
    ExpectSameOrNear(now.mean, old.mean, oneSubject, "mean");
    EXPECT_EQ(now.sd, old.sd);
    EXPECT_EQ(now.se, old.se);
    EXPECT_EQ(Ends(now.ci95), Ends(old.ci95));
    EXPECT_EQ(Ends(now.withinCi95), Ends(old.withinCi95));
}

// The study's families: marginal A, marginal B, A at each level of B, B at each level of A.
Place PlaceOf(const ComparisonResult& old) {
    if (old.at == 0) return {kOver, kOver};
    return old.factor == Factor::A ? Place{kOver, old.at - 1} : Place{old.at - 1, kOver};
}

void ExpectSameComparisons(const Analysis& now, const FullAnalysis& old) {
    ASSERT_EQ(now.comparisons.size(), old.comparisons.size());
    for (std::size_t r = 0; r < old.comparisons.size(); ++r) {
        SCOPED_TRACE("comparison " + std::to_string(r));
        const Comparison& c = now.comparisons[r];
        const ComparisonResult& o = old.comparisons[r];
        EXPECT_EQ(c.factor, o.factor == Factor::A ? 0u : 1u);
        EXPECT_EQ(c.at, PlaceOf(o));
        EXPECT_EQ(c.i + 1, o.i);
        EXPECT_EQ(c.j + 1, o.j);
        EXPECT_EQ(c.df, static_cast<Extended>(o.df));
        ExpectSameOrNear(c.difference, o.difference, o.df < 1, "difference");
        EXPECT_EQ(c.t, o.t);
        EXPECT_EQ(c.p, o.p);
        EXPECT_EQ(c.pHolm, o.pHolm);
        EXPECT_EQ(c.pBonferroni, o.pBonferroni);
        EXPECT_EQ(c.d, o.cohenDz);
        EXPECT_EQ(c.dAv, o.dAv);
        EXPECT_EQ(c.gAv, o.gAv);
        EXPECT_EQ(Ends(c.ci95), Ends(o.ci95));
        EXPECT_EQ(Ends(c.dCI), Ends(o.dzCI));
    }
}

void ExpectSameSimpleEffects(const Analysis& now, const FullAnalysis& old) {
    ASSERT_EQ(now.simpleEffects.size(), old.simpleEffects.size());
    for (std::size_t r = 0; r < old.simpleEffects.size(); ++r) {
        SCOPED_TRACE("simple effect " + std::to_string(r));
        const SimpleEffect& e = now.simpleEffects[r];
        const SimpleEffectResult& o = old.simpleEffects[r];
        EXPECT_EQ(e.factor, o.effect == Factor::A ? 0u : 1u);
        const Place at = o.effect == Factor::A ? Place{kOver, o.at - 1} : Place{o.at - 1, kOver};
        EXPECT_EQ(e.at, at);
        EXPECT_EQ(e.df1, o.df1);
        EXPECT_EQ(e.df2, o.df2);
        ExpectSameOrNear(e.ss, o.ss, old.subjects == 1, "SS");
        EXPECT_EQ(e.errorSs, o.errorSs);
        EXPECT_EQ(e.f, o.f);
        EXPECT_EQ(e.p, o.p);
        EXPECT_EQ(e.partialEtaSquared, o.partialEtaSquared);
        EXPECT_EQ(Ends(e.partialEtaSquaredCI), Ends(o.partialEtaSquaredCI));
        EXPECT_EQ(e.ggEpsilon, o.ggEpsilon);
        EXPECT_EQ(e.ggP, o.ggP);
    }
}

TEST(FollowUpsStudyTest, EveryFigureOfAStudyIsItsOwnAnalysisToTheBit) {
    std::mt19937 random(11);
    struct Shape {
        int n, na, nb, places;
        long long offset;
        int spread;
    };
    // Ties, decimals, negative scores, an offset of 10^12 units, fewer
    // subjects than contrasts, two subjects, one; and the bounds (one subject
    // keeps them quick): a factor of more levels than are compared, families
    // at levels too many, simple effects whose covariances would be too large.
    const Shape shapes[] = {{8, 2, 3, 0, 0, 9},
                            {12, 3, 4, 2, 0, 500},
                            {5, 4, 4, 1, -300, 3},
                            {3, 3, 5, 3, 1000000000000LL, 999},
                            {6, 2, 2, 0, -50, 100},
                            {2, 3, 3, 2, 70, 40},
                            {4, 5, 3, 2, 1000000000000LL, 2},
                            {1, 2, 3, 0, 0, 5},
                            {1, 3, 2, 2, 1000000000000LL, 90},
                            {1, 2, 101, 0, 0, 20},
                            {1, 100, 12, 0, 0, 20},
                            {1, 2, 1500, 0, 0, 20}};
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.n) + " x " + std::to_string(shape.na) + " x " +
                     std::to_string(shape.nb));
        StudyStore store =
            RandomStudy(random, shape.n, shape.na, shape.nb, shape.places, shape.offset, shape.spread);
        const FullAnalysis old = AnalyseStudy(store, '.');
        const DesignData design = DesignFromStudy(store, '.');
        for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
            SCOPED_TRACE(strategy == detail::Strategy::Quick ? "quick" : "sure");
            const Analysis now = detail::AnalyseWith(design, {}, strategy);
            ASSERT_EQ(now.cellMeans.size(), old.cells.size());
            for (std::size_t c = 0; c < old.cells.size(); ++c)
                ExpectSameMean(now.cellMeans[c], old.cells[c], {old.cells[c].a - 1, old.cells[c].b - 1},
                               shape.n == 1);
            ASSERT_EQ(now.marginalMeans.size(), 2u);
            ASSERT_EQ(now.marginalMeans[0].size(), old.marginalA.size());
            ASSERT_EQ(now.marginalMeans[1].size(), old.marginalB.size());
            for (std::size_t l = 0; l < old.marginalA.size(); ++l)
                ExpectSameMean(now.marginalMeans[0][l], old.marginalA[l],
                               {static_cast<std::int32_t>(l), kOver}, shape.n == 1);
            for (std::size_t l = 0; l < old.marginalB.size(); ++l)
                ExpectSameMean(now.marginalMeans[1][l], old.marginalB[l],
                               {kOver, static_cast<std::int32_t>(l)}, shape.n == 1);
            ExpectSameComparisons(now, old);
            ExpectSameSimpleEffects(now, old);
            EXPECT_EQ(now.shown.compared,
                      (std::vector<bool>{old.compared.marginalA, old.compared.marginalB}));
            EXPECT_EQ(now.shown.comparedAtLevels, (std::vector<bool>{old.compared.aAtB, old.compared.bAtA}));
            EXPECT_EQ(now.shown.simpleEffectsOmitted, old.simpleEffectsOmitted);
        }
    }
}

}  // namespace
}  // namespace morvane::anova
