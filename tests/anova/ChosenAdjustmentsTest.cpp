// The adjustments chosen in the options reach every family of the
// comparisons and of the aligned rank contrasts, Shaffer's with the family's
// count of levels, and no others are formed; Tukey's HSD of a between
// factor's pairs against R's.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "stats/Adjustments.h"

namespace morvane::anova {
namespace {

// One within factor of four levels, eight subjects, scores in tenths.
DesignData FourLevels() {
    const int tenths[8][4] = {{9, 25, 23, 34},  {9, 24, 24, 34}, {-5, 8, 25, 13},  {14, 26, 28, 26},
                              {40, 62, 60, 59}, {2, 18, 15, 25}, {29, 39, 38, 40}, {14, 15, 22, 29}};
    DesignData d;
    d.within = {{"A", {"a", "b", "c", "d"}}};
    d.exact = true, d.scale = 1;
    for (int s = 0; s < 8; ++s) {
        d.subjects.push_back(std::to_string(s + 1));
        d.group.push_back(0);
        for (int l = 0; l < 4; ++l) {
            d.units.push_back(tenths[s][l]), d.rows.push_back(1);
            d.values.push_back(static_cast<Extended>(tenths[s][l]) / 10);
        }
    }
    return d;
}

// Each chosen adjustment of a family's rows is the family's adjustment of its p-values.
template <class Row>
void ExpectFamily(const std::vector<const Row*>& rows, AdjustmentSet chosen, const char* what) {
    std::vector<Extended> p;
    for (const Row* r : rows) {
        ASSERT_TRUE(r->p) << what;
        p.push_back(*r->p);
    }
    for (const AdjustmentNames& n : kAdjustmentNames) {
        // Tukey's is of a between factor's pairs alone (below): none of a within factor's.
        if (n.adjustment == Adjustment::Tukey) {
            for (const Row* r : rows) EXPECT_FALSE(r->pTukey) << what;
            continue;
        }
        const std::vector<Extended> expected = Adjust(n.adjustment, p, 4);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::optional<Extended>& got = AdjustedField(*rows[i], n.adjustment);
            EXPECT_EQ(got.has_value(), chosen.Has(n.adjustment)) << what << " " << n.key;
            if (got) {
                EXPECT_EQ(*got, expected[i]) << what << " " << n.key << " " << i;
            }
        }
    }
    // Shaffer's counts of four levels (6, 3, 3, ...) are not Holm's (6, 5, 4, ...) here.
    if (chosen.Has(Adjustment::Shaffer)) {
        EXPECT_NE(Adjust(Adjustment::Shaffer, p, 4), Adjust(Adjustment::Holm, p));
    }
}

TEST(ChosenAdjustments, EveryFamilyHasTheChosenOnesAndEachPairOnce) {
    const DesignData design = FourLevels();
    AdjustmentSet some = AdjustmentSet::None();
    some.Add(Adjustment::Shaffer), some.Add(Adjustment::BY);
    for (const AdjustmentSet chosen : {AdjustmentSet{}, AdjustmentSet::Every(), some}) {
        Options options;
        options.adjustments = chosen;
        const Analysis a = Analyse(design, options);
        // One factor: its one family over the levels, each pair once (none at the levels of no other factor).
        ASSERT_EQ(a.comparisons.size(), 6u);
        EXPECT_EQ(a.shown.comparedAtLevels, std::vector<bool>{false});
        std::vector<const Comparison*> pairs;
        for (const Comparison& c : a.comparisons) pairs.push_back(&c);
        ExpectFamily(pairs, chosen, "comparisons");
        ASSERT_EQ(a.rankBased.contrasts.size(), 6u);
        std::vector<const AlignedRankContrast*> contrasts;
        for (const AlignedContrastRow& c : a.rankBased.contrasts) contrasts.push_back(&c.contrast);
        ExpectFamily(contrasts, chosen, "contrasts");
    }
}

// G (the first `groups` of 3 groups of 3, 4 and 5 subjects) x A (3), scores
// in tenths, each row a subject's a1, a2, a3.
DesignData Mixed(int groups) {
    const int tenths[12][3] = {{95, 95, 133},   {64, 56, 91},    {102, 95, 114},  {115, 78, 100},
                               {114, 107, 101}, {107, 114, 120}, {107, 82, 154},  {114, 158, 102},
                               {147, 162, 135}, {148, 146, 146}, {181, 207, 179}, {157, 162, 139}};
    const int sizes[3] = {3, 4, 5};
    DesignData d;
    d.between = {{"G", {"g1", "g2", "g3"}}};
    d.between[0].levels.resize(static_cast<std::size_t>(groups));
    d.within = {{"A", {"a1", "a2", "a3"}}};
    d.exact = true, d.scale = 1;
    for (int g = 0, s = 0; g < groups; ++g)
        for (int n = 0; n < sizes[g]; ++n, ++s) {
            d.subjects.push_back(std::to_string(s + 1));
            d.group.push_back(g);
            for (int l = 0; l < 3; ++l) {
                d.units.push_back(tenths[s][l]), d.rows.push_back(1);
                d.values.push_back(static_cast<Extended>(tenths[s][l]) / 10);
            }
        }
    d.subjectsRead = static_cast<std::int64_t>(d.Subjects());
    return d;
}

// Tukey's HSD of the between factor's pairs over A, as R's on the subjects'
// means over A, whose t's and df are the comparisons' (groups of unequal
// sizes: the Tukey-Kramer form):
//   m <- matrix(c(95, 95, 133, 64, ...) / 10, ncol = 3, byrow = TRUE)
//   means <- data.frame(score = rowMeans(m), group = factor(rep(c("g1", "g2", "g3"), c(3, 4, 5))))
//   sprintf("%.17g", TukeyHSD(aov(score ~ group, data = means))$group[, "p adj"])
//   fit <- lm(score ~ group, means); library(emmeans)
//   sprintf("%.17g", summary(pairs(emmeans(fit, ~ group), adjust = "none"))$t.ratio)
// R's ptukey holds about 8 digits; the tails to 15 are the double integral
// P(Q > q) = int f_s(s) k int phi(z) (Phi(z)^(k-1) - (Phi(z) - Phi(z - q s))^(k-1)) dz ds
// by R's integrate (rel.tol 1e-12 inner, 1e-11 outer). None of A's pairs nor
// of G's at A's levels; none unless chosen; of two levels, the t test's p.
TEST(ChosenAdjustments, TukeysOfABetweenFactorsPairsAreRs) {
    const double hsd[] = {0.59497552159495903, 0.0054734236994499197, 0.017062877162298595};
    const double integral[] = {0.59497552160174827, 0.0054734238466198062, 0.017062877255248632};
    const double t[] = {-1.0002705619316319, -4.2475626696004216, -3.4853023959230773};
    AdjustmentSet tukey = AdjustmentSet::None();
    tukey.Add(Adjustment::Tukey);
    Options options;
    options.adjustments = tukey;
    for (const int groups : {3, 2}) {
        const Analysis a = Analyse(Mixed(groups), options);
        std::size_t over = 0, elsewhere = 0;
        for (const Comparison& x : a.comparisons) {
            if (x.factor != 0 || x.at[1] != kOver) {
                EXPECT_FALSE(x.pTukey) << x.factor << " " << x.i << " " << x.j;
                ++elsewhere;
                continue;
            }
            ASSERT_TRUE(x.t && x.p && x.pTukey);
            EXPECT_FALSE(x.pHolm || x.pBonferroni);
            ++over;
            if (groups == 2) {
                EXPECT_NEAR(static_cast<double>(*x.pTukey), static_cast<double>(*x.p), 1e-12 * static_cast<double>(*x.p));
                continue;
            }
            const std::size_t pair = static_cast<std::size_t>(x.i + x.j - 1);  // (0,1), (0,2), (1,2)
            EXPECT_EQ(x.df, 9);
            EXPECT_NEAR(static_cast<double>(*x.t), t[pair], 1e-14 * std::fabs(t[pair])) << pair;
            EXPECT_NEAR(static_cast<double>(*x.pTukey), integral[pair], 1e-12 * integral[pair]) << pair;
            EXPECT_NEAR(static_cast<double>(*x.pTukey), hsd[pair], 1e-7 * hsd[pair]) << pair;
        }
        EXPECT_EQ(over, groups == 3 ? 3u : 1u);
        EXPECT_GT(elsewhere, 3u);
    }
    for (const Comparison& x : Analyse(Mixed(3)).comparisons) EXPECT_FALSE(x.pTukey);
}

}  // namespace
}  // namespace morvane::anova
