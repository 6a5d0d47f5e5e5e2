// The one engine's analysis of designs without a within factor against R:
// car::Anova of lm() with sum-to-zero contrasts (types III and II), afex's
// generalized eta squared, emmeans' pairs (Holm, Tukey) and car's leveneTest
// centred on the mean, on a 2 x 2 design of unequal groups and a one-factor one.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "runtime/Errors.h"

namespace morvane::anova {
namespace {

// A between-only design: `levels` of each factor, each subject's group and
// its one integer score.
DesignData BetweenDesign(const std::vector<std::size_t>& levels, const std::vector<std::int32_t>& groups,
                         const std::vector<int>& scores) {
    DesignData d;
    for (std::size_t f = 0; f < levels.size(); ++f) {
        const std::string name(1, static_cast<char>('A' + f));
        DesignFactor factor{name, {}};
        for (std::size_t i = 0; i < levels[f]; ++i) factor.levels.push_back(name + std::to_string(i + 1));
        d.between.push_back(factor);
    }
    d.exact = true;
    d.scale = 0;
    for (std::size_t s = 0; s < scores.size(); ++s) {
        d.subjects.push_back("s" + std::to_string(s + 1));
        d.group.push_back(groups[s]);
        d.units.push_back(scores[s]);
        d.rows.push_back(1);
        d.values.push_back(scores[s]);
    }
    d.subjectsRead = static_cast<std::int64_t>(scores.size());
    return d;
}

void Near(long double expected, std::optional<Extended> actual, const std::string& what,
          long double tolerance = 1e-10L) {
    ASSERT_TRUE(actual) << what;
    EXPECT_LE(std::fabs(*actual - expected), tolerance * std::fabs(expected)) << what << ": " << *actual;
}

// Groups of 3, 4, 5 and 4 subjects in A1B1, A1B2, A2B1, A2B2.
DesignData Unequal2x2() {
    return BetweenDesign({2, 2}, {0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3},
                         {12, 15, 11, 14, 18, 16, 13, 17, 20, 15, 19, 22, 25, 21, 24, 27});
}

// The model of both types, the comparisons at each level of the other factor,
// Levene's test and the one stratum's residuals; nothing within-only is formed.
TEST(BetweenDesigns, TwoFactorsOfUnequalGroupsAsR) {
    // car::Anova(lm(score ~ A*B, contrasts sum), type = 3) and type = 2; the error 71.3666667 on 12 df.
    const struct {
        SsType type;
        long double ss[3], f[3], p[3], ges[3];
    } expected[] = {
        {SsType::TypeIII,
         {215.81075268817190L, 65.60107526881720L, 9.10107526881723L},
         {36.28765575326569L, 11.03054044688191L, 1.53030691115096L},
         {5.99290248551333e-05L, 6.09633080587797e-03L, 2.39728460887084e-01L},
         {0.7514892820L, 0.4789527398L, 0.1131021581L}},
        // afex::aov_ez(id = "id", dv = "score", between = c("A", "B"), type = 2)$anova_table$ges
        {SsType::TypeII,
         {218.90725806451596L, 73.27828981054785L, 9.10107526881723L},
         {36.80831989875091L, 12.32143126193237L, 1.53030691115096L},
         {0.000056112343940233L, 0.004300404994857471L, 0.239728460887083578L},
         {0.754140277213125L, 0.506607984095810L, 0.113102158081112L}},
    };
    for (const auto& e : expected) {
        Options options;
        options.type = e.type;
        const Analysis a = Analyse(Unequal2x2(), options);
        ASSERT_EQ(a.effects.size(), 3u);
        ASSERT_EQ(a.strata.size(), 1u);
        EXPECT_EQ(a.strata[0].error.df, 12);
        Near(71.3666666666667L, a.strata[0].error.ss, "error SS");
        for (std::size_t i = 0; i < 3; ++i) {
            const Effect& x = a.effects[i];
            const std::string what = x.name + (e.type == SsType::TypeII ? " (II)" : " (III)");
            EXPECT_TRUE(x.within.empty()) << what;
            EXPECT_EQ(x.effect.df, 1) << what;
            EXPECT_EQ(x.error.df, 12) << what;
            Near(e.ss[i], x.effect.ss, what + " SS");
            Near(e.f[i], x.f, what + " F");
            Near(e.p[i], x.p, what + " p", 1e-8L);
            Near(e.ges[i], x.generalizedEtaSquared, what + " ges", 1e-9L);
            Near(e.ges[i], x.partialEtaSquared, what + " pes", 1e-9L);  // one error term: ges = pes
            EXPECT_FALSE(x.sphericity || x.multivariate) << what;
        }
        EXPECT_TRUE(a.rankBased.friedman.empty() && a.rankBased.alignedRanks.empty());
        EXPECT_TRUE(a.rankBased.omitted.empty());
    }
    const Analysis a = Analyse(Unequal2x2(), Options{});
    // emmeans: pairs(emmeans(m, ~A), adjust = "holm"), pairs(emmeans(m, ~B | A), adjust = "holm")
    const struct {
        std::size_t factor;
        bool over;
        long double difference, se, t, p;
    } comparisons[] = {
        {0, true, -7.46666666666666L, 1.23950221489949L, -6.0239236178147L, 5.99290248551332e-05L},
        {1, false, -2.58333333333333L, 1.86258233723048L, -1.38696329375406L, 0.19067610078746250L},
        {1, false, -5.65L, 1.63592481489829L, -3.45370395298471L, 0.00477225872052217L},
    };
    std::size_t found = 0;
    for (const auto& e : comparisons)
        for (const Comparison& c : a.comparisons)
            if (c.factor == e.factor && (c.at[1 - e.factor] == kOver) == e.over &&
                std::fabs(c.difference - e.difference) < 1e-9L) {
                ++found;
                EXPECT_EQ(c.df, 12);
                Near(e.se, c.se, "SE");
                Near(e.t, c.t, "t");
                Near(e.p, c.p, "p", 1e-8L);
            }
    EXPECT_EQ(found, 3u);
    // car::leveneTest(score ~ A*B, center = mean): F = 0.130581700100549 on 3 and 12, p = 0.940041901221794
    ASSERT_EQ(a.levene.size(), 2u);
    EXPECT_FALSE(a.levene[0].median);
    EXPECT_EQ(a.levene[0].df1, 3);
    EXPECT_EQ(a.levene[0].df2, 12);
    Near(0.130581700100549L, a.levene[0].f, "Levene F");
    Near(0.940041901221794L, a.levene[0].p, "Levene p", 1e-9L);
    // shapiro.test(residuals(m)): W = 0.9609681399, p = 0.679400359
    EXPECT_EQ(a.strata[0].residuals, 16);
    Near(0.9609681399L, a.strata[0].normality.w, "W", 1e-9L);
    Near(0.679400359L, a.strata[0].normality.p, "W's p", 1e-7L);
}

// One factor of three unequal groups: the model, Tukey's and Holm's p, and the
// refusal of a design with no factor at all.
TEST(BetweenDesigns, OneFactorAsRAndNoFactorRefused) {
    const DesignData d =
        BetweenDesign({3}, {0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2}, {4, 6, 5, 7, 8, 9, 7, 10, 11, 6, 5, 8});
    Options options;
    options.adjustments = AdjustmentSet::None();
    options.adjustments.Add(Adjustment::Holm);
    options.adjustments.Add(Adjustment::Tukey);
    const Analysis a = Analyse(d, options);
    // car::Anova(lm(score ~ G), type = 3): SS 30 on 2, error 19.6666667 on 9
    ASSERT_EQ(a.effects.size(), 1u);
    EXPECT_EQ(a.effects[0].effect.df, 2);
    EXPECT_EQ(a.effects[0].error.df, 9);
    Near(30, a.effects[0].effect.ss, "SS");
    Near(19.6666666666667L, a.effects[0].error.ss, "error SS");
    Near(6.86440677966102L, a.effects[0].f, "F");
    Near(1.54701970150821e-02L, a.effects[0].p, "p", 1e-8L);
    // pairs(emmeans(m1, ~G), adjust = "tukey") and adjust = "holm"
    const long double tukey[] = {0.0159472077081999L, 0.7479691942159932L, 0.0824431494248767L};
    const long double holm[] = {0.0192558426849747L, 0.4792555028460277L, 0.0711217638838391L};
    const long double se[] = {0.991631652042901L, 1.129022301827865L, 1.079551804576988L};
    ASSERT_EQ(a.comparisons.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const Comparison& c = a.comparisons[i];
        const std::string what = std::to_string(c.i) + "-" + std::to_string(c.j);
        Near(se[i], c.se, what + " SE");
        Near(tukey[i], c.pTukey, what + " Tukey", 1e-6L);
        Near(holm[i], c.pHolm, what + " Holm", 1e-8L);
    }
    EXPECT_TRUE(a.simpleEffects.empty());
    // leveneTest(score ~ G, center = mean): F = 0.0839813374805595, p = 0.9201603770147928
    Near(0.0839813374805595L, a.levene.at(0).f, "Levene F");
    Near(0.9201603770147928L, a.levene.at(0).p, "Levene p", 1e-9L);

    DesignData none = d;
    none.between.clear();
    none.group.assign(none.group.size(), 0);
    EXPECT_THROW(Analyse(none, Options{}), RangeError);
}

}  // namespace
}  // namespace morvane::anova
