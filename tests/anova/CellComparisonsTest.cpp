// The pairs of interactions' cells against R's emmeans on afex's
// multivariate fits (hard-coded beside their calls), in both strategies:
// a design of three within factors (cells of two of them, the third averaged
// over) and a mixed design of unequal groups (paired, between and mixed pairs).
// The data sets were drawn in R and rounded to tenths.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "support/TenthsDesign.h"

namespace morvane::anova {
namespace {

// Within factors A, B, C (2 levels each, C fastest), 8 subjects. R:
// set.seed(11); d <- expand.grid(C = c("c1","c2"), B = c("b1","b2"), A = c("a1","a2"))
// eff <- with(d, 6*(A=="a2" & B=="b2") + 3*(C=="c2") + 4*(A=="a2" & C=="c2") - 5*(B=="b2" & C=="c2"))
// y <- round(rnorm(64, 50, 5) + rep(rnorm(8, 0, 8), each = 8) + rep(eff, 8), 1)
const int kThreeTenths[] = {514, 574, 467, 455, 602, 566, 669, 654, 633, 615, 594, 598, 559, 693, 638, 716,
                            426, 511, 407, 384, 403, 506, 475, 534, 418, 444, 405, 356, 403, 435, 419, 447,
                            485, 402, 408, 456, 442, 599, 481, 514, 479, 591, 605, 497, 605, 613, 511, 684,
                            572, 577, 576, 505, 495, 631, 604, 643, 482, 542, 565, 473, 448, 677, 544, 473};
// Groups a, b, c of 4, 5 and 6 subjects x time (4 levels).
const int kMixedTenths[] = {243, 223, 262, 271, 184, 209, 221, 238, 216, 221, 244, 250, 202, 215, 217,
                            224, 194, 215, 227, 232, 188, 211, 232, 255, 279, 264, 275, 291, 222, 232,
                            255, 271, 213, 207, 259, 291, 240, 270, 275, 295, 217, 254, 225, 252, 229,
                            250, 262, 263, 221, 254, 236, 286, 280, 289, 289, 292, 252, 266, 277, 265};

// Groups a, b, c of 4, 5 and 6 subjects x A (2 levels) x B (2 levels, fastest). R: set.seed(5)
// m <- expand.grid(B = c("b1","b2"), A = c("a1","a2")); m <- m[rep(1:4, 15), ]
// meff <- with(m, 5*(A=="a2" & g=="b") + 4*(B=="b2" & A=="a2") + 3*(g=="c" & B=="b2"))
// m$y <- round(rnorm(60, 30, 4) + rep(rnorm(15, 0, 5), each = 4) + meff, 1)
const int kGroupsTwoWithinTenths[] = {
    210, 299, 193, 286, 411, 319, 324, 357, 260, 277, 320, 279, 282, 319, 282, 359, 238, 175, 322, 342,
    319, 321, 392, 401, 228, 183, 302, 345, 259, 251, 348, 419, 325, 285, 346, 364, 246, 236, 216, 350,
    352, 288, 287, 436, 270, 341, 253, 340, 288, 345, 376, 395, 342, 308, 297, 335, 351, 346, 318, 400};

constexpr auto Design = &testing::TenthsDesign;

// R's row of one pair: its cells' levels (per factor of the interaction),
// estimate, SE, t, df, p, Holm's p (and Bonferroni's where given).
struct Want {
    std::vector<std::int32_t> first, second;
    double estimate, se, t, df, p, holm, bonferroni = -1;
    bool paired = true;
};

// The row of cells first and second, either way round (R's estimate then the other sign).
void Check(const Analysis& a, const Want& w) {
    SCOPED_TRACE(::testing::Message() << "cells " << w.first[0] << w.first[1] << " " << w.second[0] << w.second[1]);
    const CellComparison* row = nullptr;
    double sign = 1;
    for (const CellComparison& c : a.cellComparisons) {
        if (c.first == w.first && c.second == w.second) row = &c;
        if (c.first == w.second && c.second == w.first) row = &c, sign = -1;
    }
    ASSERT_NE(row, nullptr);
    const Comparison& x = row->figures;
    const auto near = [](Extended got, double r) {
        EXPECT_NEAR(static_cast<double>(got), r, 1e-11 * std::max(1.0, std::fabs(r)));
    };
    near(sign * x.difference, w.estimate);
    ASSERT_TRUE(x.se && x.t && x.p && x.pHolm && x.pBonferroni && x.ci95);
    near(*x.se, w.se), near(sign * *x.t, w.t), near(*x.p, w.p), near(*x.pHolm, w.holm);
    if (w.bonferroni >= 0) near(*x.pBonferroni, w.bonferroni);
    EXPECT_EQ(x.df, w.df);
    EXPECT_EQ(row->paired, w.paired);
    // The interval is the difference -/+ the t quantile times the SE.
    EXPECT_NEAR(static_cast<double>((x.ci95->high - x.ci95->low) / 2 / *x.se),
                w.df == 7 ? 2.36462425159278 : 2.17881282966723, 1e-11);
}

// R: fit <- aov_ez("id", "y", d, within = c("A", "B", "C"), include_aov = FALSE)
//    summary(pairs(emmeans(fit, ~ A:B), adjust = "holm")), and adjust = "none" for p.
TEST(CellComparisons, ThreeWithinFactorsAgainstEmmeans) {
    const DesignData d = Design({}, {{"A", {"a1", "a2"}}, {"B", {"b1", "b2"}}, {"C", {"c1", "c2"}}}, {8},
                                kThreeTenths);
    Options o;
    o.cellInteractions = {{"B", "A"}};  // named in any order: the cells of A x B, A slowest
    const std::vector<Want> want{
        {{0, 0}, {1, 0}, -2.575, 1.38402879821401, -1.86051041952513, 7, 0.105132662513673, 0.210265325027346},
        {{0, 0}, {0, 1}, 3.2125, 1.2599160261133, 2.5497731066333, 7, 0.0381162307667401, 0.11434869230022},
        {{0, 0}, {1, 1}, -4.63125, 1.33576949131524, -3.46710269257604, 7, 0.0104467230015321, 0.0417868920061283},
        {{1, 0}, {0, 1}, 5.7875, 1.17950314902989, 4.90672704414572, 7, 0.00173973309502149, 0.0104383985701289},
        {{1, 0}, {1, 1}, -2.05625, 1.64524307528879, -1.24981531962325, 7, 0.251531420661263, 0.251531420661263},
        {{0, 1}, {1, 1}, -7.84375, 2.13937235246695, -3.66637906251112, 7, 0.00800247789445163, 0.0400123894722582},
    };
    for (const detail::Strategy s : {detail::Strategy::Quick, detail::Strategy::Sure}) {
        const Analysis a = detail::AnalyseWith(d, o, s);
        ASSERT_EQ(a.cellComparisons.size(), 6u);
        for (const CellComparison& c : a.cellComparisons) {
            EXPECT_EQ(c.factors, (std::vector<std::size_t>{0, 1}));
            EXPECT_EQ(c.error, "S (paired)");
        }
        EXPECT_EQ(a.cellComparisons[0].first, (std::vector<std::int32_t>{0, 0}));
        EXPECT_EQ(a.cellComparisons[0].second, (std::vector<std::int32_t>{0, 1}));
        for (const Want& w : want) Check(a, w);
    }

    // Every two-factor interaction, the one named again kept once; Shaffer's
    // takes Holm's multipliers in a family of cells.
    o.allCellInteractions = true;
    o.adjustments = AdjustmentSet::None();
    o.adjustments.Add(Adjustment::Shaffer), o.adjustments.Add(Adjustment::Holm);
    const Analysis all = Analyse(d, o);
    ASSERT_EQ(all.cellComparisons.size(), 18u);
    EXPECT_EQ(all.cellComparisons[6].factors, (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(all.cellComparisons[12].factors, (std::vector<std::size_t>{1, 2}));
    for (const CellComparison& c : all.cellComparisons) {
        ASSERT_TRUE(c.figures.pShaffer && c.figures.pHolm);
        EXPECT_EQ(*c.figures.pShaffer, *c.figures.pHolm);
        EXPECT_FALSE(c.figures.pBonferroni);
    }

    // What does not fit is refused, in a sentence, and left out.
    const auto refused = [&](std::vector<std::vector<std::string>> cells) {
        Options r;
        r.cellInteractions = std::move(cells);
        return CellsRefused(d, r);
    };
    EXPECT_EQ(refused({{"A", "B", "C"}}), "");
    EXPECT_EQ(refused({{"A", "D"}}), "--cells names D, which the design does not have");
    EXPECT_EQ(refused({{"A", "A"}}), "--cells names A twice in one interaction");
    EXPECT_EQ(refused({{"A"}}), "--cells A: an interaction of two or more factors");
    Options r;
    r.cellInteractions = {{"A", "D"}};
    EXPECT_TRUE(Analyse(d, r).cellComparisons.empty());
}

// R: fit <- aov_ez("id", "y", d, between = "g", within = "time", include_aov = FALSE)
//    e <- emmeans(fit, ~ g:time); summary(pairs(e, adjust = "holm")), "none", "bonferroni"
TEST(CellComparisons, MixedUnequalGroupsAgainstEmmeans) {
    const DesignData d = Design({{"g", {"a", "b", "c"}}}, {{"time", {"t1", "t2", "t3", "t4"}}}, {4, 5, 6},
                                kMixedTenths);
    Options o;
    o.cellInteractions = {{"g", "time"}};
    const double one = 1;
    const std::vector<Want> want{
        {{0, 0}, {1, 0}, -0.795, 1.92136507462793, -0.413768320502006, 12, 0.686342897980738, one, one, false},
        {{0, 0}, {2, 0}, -2.85833333333333, 1.84883440507997, -1.54601911641173, 12, 0.148054316403801, one, one,
         false},
        {{0, 0}, {0, 1}, -0.575, 0.766478690723579, -0.750183934607746, 12, 0.467598401075069, one, one, true},
        {{0, 0}, {1, 1}, -1.455, 1.61622567009272, -0.90024557023435, 12, 0.385699933328217, one, one, false},
        {{1, 0}, {2, 0}, -2.06333333333333, 1.73436040617817, -1.18967968017679, 12, 0.257178706458832, one, one,
         false},
        {{1, 0}, {0, 1}, 0.22, 1.53046425418346, 0.143747231860294, 12, 0.888085826845908, one, one, false},
        {{2, 0}, {2, 3}, -3.56666666666667, 0.877586125350331, -4.06417850469419, 12, 0.00156990079304696,
         0.0941940475828174, 0.103613452341099, true},
        {{1, 3}, {2, 3}, -0.75, 1.27284403775343, -0.589231655846659, 12, 0.566633742448971, one, one, false},
    };
    for (const detail::Strategy s : {detail::Strategy::Quick, detail::Strategy::Sure}) {
        const Analysis a = detail::AnalyseWith(d, o, s);
        ASSERT_EQ(a.cellComparisons.size(), 66u);
        for (const Want& w : want) Check(a, w);
        for (const CellComparison& c : a.cellComparisons)
            EXPECT_EQ(c.error, c.first[0] == c.second[0] ? "S/G (paired)" : "S/G");
    }
}

// Between factors A (2) x B (3) of unequal groups (3, 4, 2, 5, 3, 4; B fastest). R: set.seed(23)
// cells <- expand.grid(B = c("b1","b2","b3"), A = c("a1","a2")); d <- cells[rep(1:6, c(3,4,2,5,3,4)), ]
// eff <- with(d, 4*(A=="a2") + 3*(B=="b3") - 5*(A=="a2" & B=="b2"))
// d$y <- round(rnorm(nrow(d), 20, 3) + eff, 1)
const int kBetweenTenths[] = {206, 187, 227, 254, 230, 233, 192, 261, 231, 287, 247,
                              209, 231, 254, 154, 199, 174, 257, 252, 309, 295};

// The cells of between factors alone share the pooled error: Tukey's HSD
// (Tukey-Kramer) among the 6 cells. R: m <- lm(y ~ A*B, d)
// summary(emmeans(m, pairwise ~ A:B, adjust = "tukey")$contrasts), and adjust = "none".
// A mixed interaction's pairs each have their own error: no Tukey's there.
TEST(CellComparisons, TukeyAmongBetweenCellsAgainstEmmeans) {
    const DesignData d = Design({{"A", {"a1", "a2"}}, {"B", {"b1", "b2", "b3"}}}, {}, {3, 4, 2, 5, 3, 4},
                                kBetweenTenths);
    Options o;
    o.cellInteractions = {{"A", "B"}};
    o.adjustments.Add(Adjustment::Tukey);
    const struct {
        std::vector<std::int32_t> first, second;
        double estimate, se, t, p, tukey;
    } want[] = {
        {{0, 0}, {1, 0}, -3.89333333333334, 1.88297951445358, -2.06764508240714, 0.0563769324711562,
         0.35296958655496},
        {{0, 0}, {1, 2}, -7.15833333333334, 1.96926711315732, -3.63502405819209, 0.00244372055475601,
         0.0242311141533228},
        {{1, 0}, {1, 1}, 6.99333333333334, 1.88297951445358, 3.71397207439228, 0.00207874817425803,
         0.0208530383402463},
        {{1, 0}, {0, 2}, -0.0399999999999991, 2.15722403925868, -0.0185423485331384, 0.985450591120612,
         0.999999999613742},
        {{0, 1}, {1, 2}, -5.1, 1.82318707518211, -2.79729933884628, 0.0135332605918897, 0.112514506486989},
        {{1, 1}, {1, 2}, -10.2583333333333, 1.96926711315732, -5.20921375510414, 0.000105871601377081,
         0.0012164335766518},
        {{0, 2}, {1, 2}, -3.225, 2.23293901991673, -1.44428485114666, 0.169221935842237, 0.701604698730059},
    };
    for (const detail::Strategy s : {detail::Strategy::Quick, detail::Strategy::Sure}) {
        const Analysis a = detail::AnalyseWith(d, o, s);
        ASSERT_EQ(a.cellComparisons.size(), 15u);
        for (const CellComparison& c : a.cellComparisons) {
            EXPECT_EQ(c.error, "S/G");
            EXPECT_TRUE(c.figures.pTukey);
        }
        for (const auto& w : want) {
            SCOPED_TRACE(::testing::Message() << w.first[0] << w.first[1] << " " << w.second[0] << w.second[1]);
            double sign = 1;
            const CellComparison* row = nullptr;
            for (const CellComparison& c : a.cellComparisons) {
                if (c.first == w.first && c.second == w.second) row = &c;
                if (c.first == w.second && c.second == w.first) row = &c, sign = -1;
            }
            ASSERT_NE(row, nullptr);
            const Comparison& x = row->figures;
            ASSERT_TRUE(x.se && x.t && x.p && x.pTukey);
            EXPECT_EQ(x.df, 15);
            EXPECT_NEAR(static_cast<double>(sign * x.difference), w.estimate, 1e-12);
            EXPECT_NEAR(static_cast<double>(*x.se), w.se, 1e-12);
            EXPECT_NEAR(static_cast<double>(sign * *x.t), w.t, 1e-11);
            EXPECT_NEAR(static_cast<double>(*x.p), w.p, 1e-12);
            // R's ptukey is good to about 1e-8 here.
            EXPECT_NEAR(static_cast<double>(*x.pTukey), w.tukey, 2e-7 * std::max(w.tukey, 1e-2));
        }
    }

    // Cells of a between and a within factor: each pair its own error, no Tukey's.
    DesignData mixed = Design({{"g", {"a", "b", "c"}}}, {{"time", {"t1", "t2", "t3", "t4"}}}, {4, 5, 6},
                              kMixedTenths);
    Options m;
    m.cellInteractions = {{"g", "time"}};
    m.adjustments.Add(Adjustment::Tukey);
    const Analysis a = Analyse(mixed, m);
    ASSERT_EQ(a.cellComparisons.size(), 66u);
    for (const CellComparison& c : a.cellComparisons) {
        EXPECT_FALSE(c.figures.pTukey);
        EXPECT_TRUE(c.figures.pHolm);
    }
}

// The row of an effect at a place, or null.
const SimpleInteraction* Find(const Analysis& a, const std::string& effect, const Place& at) {
    for (const SimpleInteraction& s : a.simpleInteractions)
        if (s.effect == effect && s.at == at) return &s;
    return nullptr;
}

// An effect's F, df, p and partial eta squared beside afex's on the slice alone:
// aov_ez(..., data = subset(d, ...), anova_table = list(correction = "none", es = "pes")).
void CheckSlice(const Analysis& a, const std::string& effect, const Place& at, const std::string& error, double f,
                std::int64_t df1, std::int64_t df2, double p, double pes) {
    SCOPED_TRACE(effect);
    const SimpleInteraction* s = Find(a, effect, at);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->error, error);
    ASSERT_TRUE(s->f && s->p && s->partialEtaSquared);
    EXPECT_NEAR(static_cast<double>(*s->f), f, 1e-11 * f);
    EXPECT_NEAR(static_cast<double>(*s->p), p, 1e-12);
    EXPECT_NEAR(static_cast<double>(*s->partialEtaSquared), pes, 1e-12);
    EXPECT_EQ(s->df1, df1);
    EXPECT_EQ(s->df2, df2);
}

TEST(SimpleInteractions, OwnErrorOfEachSliceAgainstAfex) {
    const DesignData three = Design({}, {{"A", {"a1", "a2"}}, {"B", {"b1", "b2"}}, {"C", {"c1", "c2"}}}, {8},
                                    kThreeTenths);
    Options o;
    o.simpleInteractions = true;
    const Analysis a = Analyse(three, o);
    // Three pairs at two levels of the third; three factors at four level pairs of the other two.
    ASSERT_EQ(a.simpleInteractions.size(), 3u * 2 + 3u * 4);
    EXPECT_EQ(a.simpleInteractions.front().factors.size(), 2u);
    EXPECT_EQ(a.simpleInteractions.back().factors.size(), 1u);
    // subset(d, C == "c1"), within = c("A", "B"): A:B (joint_tests(fit, by = "C") gives the same F).
    CheckSlice(a, "A × B", {kOver, kOver, 0}, "A × B × S", 1.26924388857306, 1, 7, 0.297043227702631,
               0.15348971510285);
    // subset(d, A == "a2"), within = c("B", "C"): B:C.
    CheckSlice(a, "B × C", {1, kOver, kOver}, "B × C × S", 1.36599766502531, 1, 7, 0.280757636521701,
               0.163279709093868);
    // subset(d, B == "b2" & C == "c1"), within = "A": a simple-simple effect.
    CheckSlice(a, "A", {kOver, 1, 0}, "A × S", 1.70411156433023, 1, 7, 0.233017649446587, 0.195782366957903);

    // A between factor's level is its groups alone, with their own error.
    const DesignData mixed = Design({{"g", {"a", "b", "c"}}}, {{"A", {"a1", "a2"}}, {"B", {"b1", "b2"}}},
                                    {4, 5, 6}, kGroupsTwoWithinTenths);
    const Analysis m = Analyse(mixed, o);
    // subset(m, g == "a"), within = c("A", "B"): 4 subjects, df2 3.
    CheckSlice(m, "A × B", {0, kOver, kOver}, "A × B × S", 0.527297108375298, 1, 3, 0.520270989563982,
               0.149490414947828);
    // subset(m, B == "b1"), between = "g", within = "A".
    CheckSlice(m, "g × A", {kOver, kOver, 0}, "A × S", 4.83290026265152, 2, 12, 0.0288694848481981,
               0.446131704850442);
    // subset(m, A == "a2" & B == "b2"), between = "g"; subset(m, g == "c" & A == "a1"), within = "B".
    CheckSlice(m, "g", {kOver, 1, 1}, "S", 2.85267137272579, 2, 12, 0.0969307216328854, 0.322238480636996);
    CheckSlice(m, "B", {2, 0, kOver}, "B × S", 0.0137569243185733, 1, 5, 0.911196125960346, 0.00274383551620684);

    // Two factors have no third to be at: none.
    const DesignData two = Design({{"g", {"a", "b", "c"}}}, {{"time", {"t1", "t2", "t3", "t4"}}}, {4, 5, 6},
                                  kMixedTenths);
    EXPECT_TRUE(Analyse(two, o).simpleInteractions.empty());
}

}  // namespace
}  // namespace morvane::anova
