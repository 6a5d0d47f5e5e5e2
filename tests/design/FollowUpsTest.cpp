#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "design/detail/FollowUps.h"

namespace morvane {
namespace {

// A mixed design: G (3 groups of 3, 4 and 5 subjects) x A (3) x B (2), the
// scores of subject s01..s12 in cells a1b1, a1b2, a2b1, a2b2, a3b1, a3b2. The
// figures of R below take it as the long data frame d (id, A, B, G, y) with
//   library(afex); library(emmeans); library(car)
//   fit <- aov_ez("id", "y", d, between = "G", within = c("A", "B"))
const std::vector<Extended> kMixedScores = {
    9.5L,  9.5L,  13.3L, 14.7L, 11.3L, 17.9L,  //
    6.4L,  5.6L,  9.1L,  10.5L, 9.9L,  12.9L,  //
    10.2L, 9.5L,  11.4L, 9.7L,  8.3L,  11.2L,  //
    10.5L, 6.8L,  9.0L,  12.8L, 6.4L,  12.8L,  //
    10.4L, 9.7L,  9.1L,  10.7L, 11.6L, 11.8L,  //
    9.7L,  10.4L, 11.0L, 11.0L, 11.3L, 9.4L,   //
    9.7L,  7.2L,  14.4L, 7.0L,  13.5L, 14.6L,  //
    5.4L,  9.8L,  4.2L,  8.0L,  8.0L,  6.6L,   //
    8.7L,  10.2L, 7.5L,  8.5L,  12.8L, 9.8L,   //
    8.8L,  8.6L,  8.6L,  6.7L,  11.2L, 10.5L,  //
    12.1L, 14.7L, 11.9L, 13.7L, 11.3L, 16.9L,  //
    9.7L,  10.2L, 7.9L,  10.0L, 14.1L, 9.8L,
};

DesignData MixedDesign() {
    DesignData d;
    d.between = {{"G", {"g1", "g2", "g3"}}};
    d.within = {{"A", {"a1", "a2", "a3"}}, {"B", {"b1", "b2"}}};
    const int sizes[] = {3, 4, 5};
    for (int g = 0, s = 0; g < 3; ++g)
        for (int i = 0; i < sizes[g]; ++i, ++s) {
            char id[16];
            std::snprintf(id, sizeof id, "s%02d", s + 1);
            d.subjects.push_back(id);
            d.group.push_back(g);
        }
    d.values = kMixedScores;
    d.subjectsRead = 12;
    return d;
}

DesignAnalysis FollowUps(const DesignData& d, SsType type = SsType::TypeIII) {
    DesignAnalysis a;
    a.between = d.between, a.within = d.within;
    a.options.type = type;
    design::AddFollowUps(d, a);
    return a;
}

// A figure beside R's: relative agreement to `tolerance`, absent where R has none.
struct Expect {
    std::string what;
    std::optional<Extended> got;
    double want, tolerance = 1e-12;
};

void CheckAll(const std::vector<Expect>& expected) {
    for (const Expect& e : expected) {
        ASSERT_TRUE(e.got.has_value()) << e.what;
        EXPECT_NEAR(static_cast<double>(*e.got), e.want, e.tolerance * std::max(1.0, std::fabs(e.want)))
            << e.what;
    }
}

const DesignSimpleEffect* SimpleEffect(const DesignAnalysis& a, std::size_t factor, std::size_t at,
                                       std::int32_t level) {
    for (const DesignSimpleEffect& e : a.simpleEffects)
        if (e.factor == factor && e.atFactor == at && e.atLevel == level) return &e;
    return nullptr;
}

std::vector<Expect> SimpleEffectFigures(const std::string& name, const DesignSimpleEffect* e,
                                        std::vector<double> r) {
    if (!e) return {{name + " missing", std::nullopt, 0}};
    std::vector<Expect> out = {{name + " SS", e->ss, r[0]},
                               {name + " error SS", e->errorSs, r[1]},
                               {name + " F", e->f, r[2]},
                               {name + " p", e->p, r[3], 1e-10}};
    if (r.size() > 4) out.push_back({name + " pes", e->partialEtaSquared, r[4]});
    return out;
}

TEST(DesignFollowUps, MixedDesignMeansComparisonsSimpleEffectsAndChecksAgreeWithR) {
    const DesignAnalysis a = FollowUps(MixedDesign());
    ASSERT_EQ(a.cellMeans.size(), 18u);
    ASSERT_EQ(a.marginalMeans.size(), 3u);
    // aggregate(y ~ G + A + B, d, function(v) c(mean(v), sd(v), sd(v) / sqrt(length(v))))
    const DesignMean& g1a1b1 = a.cellMeans[0];
    const DesignMean& g2a3b2 = a.cellMeans[11];
    const DesignMean& g3a3b2 = a.cellMeans[17];
    EXPECT_EQ(g2a3b2.levels, (std::vector<std::int32_t>{1, 2, 1}));
    EXPECT_EQ(g2a3b2.n, 4);
    const auto& mG = a.marginalMeans[0];
    const auto& mA = a.marginalMeans[1];
    const auto& mB = a.marginalMeans[2];
    ASSERT_EQ(a.comparisons.size(), 7u);  // G: 3 pairs, A: 3, B: 1
    const auto& c = a.comparisons;
    std::vector<Expect> expected = {
        {"g1a1b1 mean", g1a1b1.mean, 8.7},
        {"g1a1b1 sd", g1a1b1.sd, 2.022374841615668},
        {"g1a1b1 se", g1a1b1.se, 1.167618659209133},
        {"g2a3b2 mean", g2a3b2.mean, 12.15},
        {"g2a3b2 sd", g2a3b2.sd, 2.168716978615083},
        {"g3a3b2 se", g3a3b2.se, 1.686831349009141},
        // summary(emmeans(fit, ~ G)), ~ A, ~ B: SE on df = N - g = 9
        {"G g1 emmean", mG[0].mean, 10.60555555555556},
        {"G g1 SE", mG[0].se, 1.051003178756293},
        {"G g1 lower.CL", mG[0].ci95 ? std::optional<Extended>(mG[0].ci95->low) : std::nullopt,
         8.22802118660833},
        {"G g3 SE", mG[2].se, 0.814103561626836},
        {"A a1 emmean", mA[0].mean, 9.19},
        {"A a1 SE", mA[0].se, 0.542994289430294},
        {"A a3 SE", mA[2].se, 0.680462326695701},
        {"A a3 upper.CL", mA[2].ci95 ? std::optional<Extended>(mA[2].ci95->high) : std::nullopt,
         13.0198682819046},
        {"B b2 emmean", mB[1].mean, 10.63148148148148},
        {"B b2 SE", mB[1].se, 0.650579976441080},
        // summary(pairs(emmeans(fit, ~ G), adjust = "none")); "holm", "bonferroni"
        {"g1 - g3 estimate", c[1].difference, 0.732222222222225},
        {"g1 - g3 SE", c[1].se, 1.32942554917879},
        {"g1 - g3 t", c[1].t, 0.550780916369880},
        {"g1 - g3 p", c[1].p, 0.59518925529857, 1e-10},
        {"g1 - g3 holm", c[1].pHolm, 1},
        // summary(pairs(emmeans(fit, ~ A), adjust = "none")); "holm", "bonferroni"
        {"a1 - a2 estimate", c[3].difference, -1.06833333333334},
        {"a1 - a2 SE", c[3].se, 0.351151398298155},
        {"a1 - a3 t", c[4].t, -3.65675559817949},
        {"a1 - a2 p", c[3].p, 0.0139641859055632, 1e-10},
        {"a1 - a2 holm", c[3].pHolm, 0.0279283718111264, 1e-10},
        {"a1 - a3 holm", c[4].pHolm, 0.0157859392281050, 1e-10},
        {"a2 - a3 holm", c[5].pHolm, 0.0279283718111264, 1e-10},
        {"a2 - a3 bonferroni", c[5].pBonferroni, 0.074656858935834, 1e-10},
        {"b1 - b2 SE", c[6].se, 0.547219294206479},
        {"b1 - b2 p", c[6].p, 0.269643366767243, 1e-10},
        // shapiro.test(m.s - m.g) of the subjects' means less their group's, and of
        // their A means less their mean, less the same of their group
        {"S W", a.normality[0].w, 0.9473784328317},
        {"S p", a.normality[0].p, 0.599030762345, 1e-9},
        {"A x S W", a.normality[1].w, 0.9736128694905},
        {"A x S p", a.normality[1].p, 0.532108391892, 1e-9},
    };
    // The slices as aov_ez fits them: aov_ez("id", "y", d[d$B == "b1", ], between = "G",
    // within = "A") (and type = 2), d[d$A == "a3", ] with within = "B", d[d$G == "g2", ]
    // with within = "A"; anova(lm(y ~ G, aggregate(y ~ id + G, d[d$A == "a1", ], mean))),
    // the same at B b2. SS, error SS, F, p, partial eta squared.
    for (const auto& more :
         {SimpleEffectFigures(
              "A at b1", SimpleEffect(a, 1, 2, 0),
              {11.8683049645391, 48.8823333333333, 2.18514005770698, 0.141387086593705, 0.195360992033473}),
          SimpleEffectFigures(
              "B at a3", SimpleEffect(a, 2, 1, 2),
              {15.0556666666665, 52.3543333333333, 2.58815252478303, 0.142126976339471, 0.223344706522275}),
          SimpleEffectFigures("A at g2", SimpleEffect(a, 1, 0, 1),
                              {9.215, 11.685, 2.36585365853658, 0.174762114951165, 0.440909090909091}),
          SimpleEffectFigures("G at a1", SimpleEffect(a, 0, 1, 0),
                              {3.51929166666664, 30.488, 0.519444125557592, 0.611654257545024}),
          SimpleEffectFigures("G at b2", SimpleEffect(a, 0, 2, 1),
                              {2.15027777777778, 43.7662962962963, 0.221089075815146, 0.805872686029286}),
          SimpleEffectFigures("A at b1, type II",
                              SimpleEffect(FollowUps(MixedDesign(), SsType::TypeII), 1, 2, 0),
                              {14.9150000000001, 48.8823333333333, 2.74608413400889, 0.0910216323428658})})
        expected.insert(expected.end(), more.begin(), more.end());
    // leveneTest(y ~ G, d[d$cell == cell, ], center = mean) and center = median: F, p
    const double levene[6][4] = {
        {1.39202156771104, 0.297349242462229, 0.848623761684806, 0.459586316514133},
        {0.0325405752852325, 0.968096520825228, 0.024292712186344, 0.976063750500085},
        {0.0577662093614215, 0.944217646562422, 0.0596485907617657, 0.942464787048471},
        {0.069347107156802, 0.933496375824174, 0.0211037076590903, 0.979165719353582},
        {0.527889673732997, 0.607044438224349, 0.210102201257862, 0.814366357095618},
        {0.328099378539637, 0.728556787461036, 0.096888963702026, 0.908590623393377}};
    ASSERT_EQ(a.levene.size(), 12u);
    for (const LeveneResult& l : a.levene) {
        const std::string what = "Levene cell " + std::to_string(l.cell) + (l.median ? " median" : " mean");
        EXPECT_EQ(l.df1, 2) << what;
        EXPECT_EQ(l.df2, 9) << what;
        expected.push_back({what + " F", l.f, levene[l.cell][l.median ? 2 : 0]});
        expected.push_back({what + " p", l.p, levene[l.cell][l.median ? 3 : 1], 1e-10});
    }
    CheckAll(expected);
    EXPECT_EQ(a.simpleEffects.size(), 3u + 2 + 3 + 2 + 3 + 3);
    EXPECT_EQ(a.comparisons[3].df, 9);
    // Every pair's adjusted p at least its own, the d of a within pair its
    // difference over the differences' pooled SD, whose interval holds it.
    for (const DesignComparison& x : a.comparisons) {
        ASSERT_TRUE(x.p && x.pHolm && x.pBonferroni && x.d && x.dCI && x.ci95);
        EXPECT_GE(*x.pHolm, *x.p);
        EXPECT_GE(*x.pBonferroni, *x.pHolm);
        EXPECT_LT(x.dCI->lower, *x.d);
        EXPECT_GT(x.dCI->upper, *x.d);
        EXPECT_NEAR(static_cast<double>(x.ci95->high - x.difference),
                    static_cast<double>(*x.se * 2.262157162798205),
                    1e-12);  // qt(0.975, 9)
    }
    ASSERT_EQ(a.normality.size(), 4u);
    EXPECT_EQ(a.normality[3].stratum, "A × B × S");
    EXPECT_EQ(a.normality[3].n, 72);
    EXPECT_FALSE(a.rankTestsOmitted.empty());
}

// Two between factors of unequal cells (g1 h1: 2 subjects, g1 h2: 3, g2 h1: 4,
// g2 h2: 3) x A (3): a between factor's marginal means and comparisons
// average over the other's levels with equal weights. R as above with
//   fit <- aov_ez("id", "y", d, between = c("G", "H"), within = "A")
TEST(DesignFollowUps, TwoBetweenFactorsAgreeWithR) {
    DesignData d;
    d.between = {{"G", {"g1", "g2"}}, {"H", {"h1", "h2"}}};
    d.within = {{"A", {"a1", "a2", "a3"}}};
    d.values = {30.9L, 21.4L, 23.9L, 16.4L, 15.8L, 16.8L, 22.8L, 21.2L, 23.0L, 28.5L, 24.0L, 32.1L,
                31.5L, 26.6L, 32.3L, 22.3L, 19.2L, 22.0L, 22.1L, 26.1L, 26.7L, 21.2L, 24.0L, 16.9L,
                25.6L, 23.4L, 26.1L, 23.6L, 19.8L, 23.0L, 24.4L, 30.2L, 29.4L, 24.5L, 24.5L, 25.1L};
    d.group = {0, 0, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3};
    for (std::size_t s = 0; s < d.group.size(); ++s) d.subjects.push_back(std::to_string(s + 1));
    const DesignAnalysis a = FollowUps(d);
    ASSERT_EQ(a.marginalMeans.size(), 3u);
    ASSERT_EQ(a.comparisons.size(), 5u);
    ASSERT_EQ(a.levene.size(), 6u);
    const auto& m = a.marginalMeans;
    const auto& c = a.comparisons;
    EXPECT_EQ(a.levene[3].df2, 8);
    std::vector<Expect> expected = {
        // summary(emmeans(fit, ~ G)), ~ H, ~ A (df 8); pairs(..., adjust = "holm")
        {"G g2 emmean", m[0][1].mean, 23.9555555555556},
        {"G g1 SE", m[0][0].se, 1.67742476970644},
        {"H h1 SE", m[1][0].se, 1.59134486275673},
        {"A a2 SE", m[2][1].se, 1.10137643720193},
        {"g1 - g2 SE", c[0].se, 2.18709431864334},
        {"h1 - h2 t", c[1].t, -1.82891060797104},
        {"h1 - h2 p", c[1].p, 0.104811899040156, 1e-10},
        {"a1 - a2 SE", c[2].se, 1.20210838181586},
        {"a1 - a2 holm", c[2].pHolm, 0.298242255669971, 1e-10},
        {"a2 - a3 holm", c[4].pHolm, 0.292956025948653, 1e-10},
        // leveneTest(y ~ G * H, d[d$A == "a2", ], center = mean), center = median
        {"Levene a2 mean F", a.levene[2].f, 0.545604232188497},
        {"Levene a2 mean p", a.levene[2].p, 0.664780842495091, 1e-10},
        {"Levene a2 median F", a.levene[3].f, 0.443892028798573},
        {"Levene a2 median p", a.levene[3].p, 0.728178159901708, 1e-10},
        // shapiro.test of the subjects' means less their between cell's
        {"S W", a.normality[0].w, 0.930156757683176},
    };
    // anova(lm(y ~ G, sm[sm$H == "h1", ])) of the subjects' means sm; aov_ez("id", "y",
    // d[d$H == "h2", ], between = "G", within = "A")
    for (const auto& more :
         {SimpleEffectFigures("G at h1", SimpleEffect(a, 0, 1, 0),
                              {5.87999999999994, 57.7511111111113, 0.407264891488374, 0.558065979876215}),
          SimpleEffectFigures(
              "A at h2", SimpleEffect(a, 2, 1, 1),
              {28.84, 35.2222222222222, 3.27520504731861, 0.0913816536175171, 0.450187317885389})})
        expected.insert(expected.end(), more.begin(), more.end());
    CheckAll(expected);
}

// Without between factors the design is the two-way within-subjects study:
// every figure both analyses give agrees.
TEST(DesignFollowUps, OneGroupAgreesWithTheTwoWayWithinAnalysis) {
    ScoreTable table;
    table.levelsA = 3, table.levelsB = 4;
    DesignData d;
    d.within = {{"A", {"1", "2", "3"}}, {"B", {"1", "2", "3", "4"}}};
    for (int s = 0; s < 9; ++s) {
        std::vector<std::string> row;
        for (int c = 0; c < 12; ++c) {
            const int units = (s * 37 + c * c * 11 + (s * c) % 7 * 13) % 97 + 10 * (c / 4);
            row.push_back(std::to_string(units / 10) + "." + std::to_string(units % 10));
            d.values.push_back(static_cast<Extended>(units) / 10);
        }
        table.scores.push_back(row);
        d.subjects.push_back(std::to_string(s + 1));
        d.group.push_back(0);
    }
    const FullAnalysis full = AnalyseScores(table);
    const DesignAnalysis a = FollowUps(d);
    EXPECT_TRUE(a.levene.empty());
    EXPECT_TRUE(a.rankTestsOmitted.empty());
    std::vector<Expect> expected;
    const auto add = [&](const std::string& what, std::optional<Extended> got, std::optional<Extended> want) {
        ASSERT_TRUE(want.has_value()) << what;
        expected.push_back({what, got, static_cast<double>(*want)});
    };
    const auto mean = [&](const std::string& what, const DesignMean& m, const MeanResult& r, bool withSd) {
        add(what + " mean", m.mean, r.mean);
        if (withSd) add(what + " sd", m.sd, r.sd);
        add(what + " se", m.se, r.se);
        add(what + " ci", m.ci95->low, r.ci95->low);
        add(what + " within ci", m.withinCi95->high, r.withinCi95->high);
    };
    ASSERT_EQ(a.cellMeans.size(), full.cells.size());
    for (std::size_t c = 0; c < full.cells.size(); ++c)
        mean("cell " + std::to_string(c), a.cellMeans[c], full.cells[c], true);
    for (std::size_t l = 0; l < 3; ++l)
        mean("A" + std::to_string(l), a.marginalMeans[0][l], full.marginalA[l], false);
    for (std::size_t l = 0; l < 4; ++l)
        mean("B" + std::to_string(l), a.marginalMeans[1][l], full.marginalB[l], false);
    std::size_t compared = 0;
    for (const ComparisonResult& r : full.comparisons) {
        if (r.at != 0) continue;
        const DesignComparison& m = a.comparisons[compared++];
        const std::string what = "pair " + std::to_string(compared);
        ASSERT_EQ(m.factor, r.factor == Factor::A ? 0u : 1u);
        ASSERT_EQ(m.i + 1, r.i);
        add(what + " difference", m.difference, r.difference);
        add(what + " t", m.t, r.t);
        add(what + " holm", m.pHolm, r.pHolm);
        add(what + " bonferroni", m.pBonferroni, r.pBonferroni);
        add(what + " dz", m.d, r.cohenDz);
        add(what + " dz lower", m.dCI->lower, r.dzCI->lower);
        add(what + " ci", m.ci95->high, r.ci95->high);
    }
    EXPECT_EQ(compared, a.comparisons.size());
    ASSERT_EQ(a.simpleEffects.size(), full.simpleEffects.size());
    for (const SimpleEffectResult& r : full.simpleEffects) {
        const DesignSimpleEffect* e =
            SimpleEffect(a, r.effect == Factor::A ? 0 : 1, r.effect == Factor::A ? 1 : 0, r.at - 1);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->df1, r.df1);
        EXPECT_EQ(e->df2, r.df2);
        const std::string what = "simple " + std::to_string(e->factor) + " at " + std::to_string(r.at);
        add(what + " SS", e->ss, r.ss);
        add(what + " error", e->errorSs, r.errorSs);
        add(what + " p", e->p, r.p);
    }
    const char* strata[] = {"S", "A × S", "B × S", "A × B × S"};
    ASSERT_EQ(a.normality.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(a.normality[k].stratum, strata[k]);
        add(std::string(strata[k]) + " W", a.normality[k].w, full.assumptions.strata[k].normality.w);
        // Without groups, each residual's own leverage is the stratum's
        // common one: the points are the study's e / sqrt(SS / count).
        const std::vector<QuantilePoint>& points = a.normality[k].quantiles;
        const std::vector<QuantilePoint>& study = full.assumptions.strata[k].quantiles;
        ASSERT_EQ(points.size(), study.size()) << strata[k];
        ASSERT_FALSE(points.empty());
        EXPECT_EQ(a.normality[k].unplotted, 0);
        for (std::size_t i = 0; i < points.size(); ++i) {
            EXPECT_EQ(points[i].rank, study[i].rank);
            EXPECT_EQ(points[i].normal, study[i].normal);
            add(std::string(strata[k]) + " point " + std::to_string(i), points[i].studentized,
                study[i].studentized);
        }
    }
    CheckAll(expected);
}

// The strata's Q-Q points of the mixed design (groups of 3, 4 and 5): each
// residual studentized with its own leverage. R: the residuals of each
// stratum from lm on the subjects' orthonormal contrast scores, C the
// stratum's contrasts (one(k) = 1/sqrt(k) each, Ca helmert normed, Cb (1, -1)/sqrt 2)
//   Y <- matrix(y, 12, byrow = TRUE); fit <- lm(Y %*% C ~ G); R <- resid(fit) %*% t(C)
//   h <- hatvalues(fit); nu <- fit$df.residual * ncol(C)
//   t <- sort(r / sqrt(sum(r^2) / nu * (1 - h) * prod(1 - 1 / l)))
// r the distinct entries of R (the subject's mean; its A levels; ...); for S
// and B x S this is rstandard(lm(Y %*% C ~ G)) itself. Normal quantiles
// qnorm(ppoints(n)).
TEST(DesignFollowUps, StrataQuantilesStudentizedByTheirLeverageAgreeWithR) {
    const DesignAnalysis a = FollowUps(MixedDesign());
    struct Stratum {
        const char* name;
        std::size_t n;
        double t[4];  // the lowest two and the highest two
        double normal;
    };
    const Stratum r[] = {
        {"S", 12, {-1.7647222471, -1.0353525002, 1.4091259660, 2.1864540138}, 1.7316643961},
        {"A × S", 36, {-2.0546636351, -1.7634794465, 2.4147644694, 2.4939365502}, 2.2004105812},
        {"B × S", 24, {-1.7015809446, -1.5350331466, 1.5350331466, 1.7015809446}, 2.0368341317},
        {"A × B × S", 72, {-2.3650635136, -2.1817929092, 2.1817929092, 2.3650635136}, 2.4601243376},
    };
    ASSERT_EQ(a.normality.size(), 4u);
    std::vector<Expect> expected;
    for (std::size_t k = 0; k < 4; ++k) {
        const StratumNormality& s = a.normality[k];
        const std::string what = r[k].name;
        EXPECT_EQ(s.stratum, what);
        ASSERT_EQ(s.quantiles.size(), r[k].n) << what;
        const std::size_t n = r[k].n;
        const QuantilePoint* ends[] = {&s.quantiles[0], &s.quantiles[1], &s.quantiles[n - 2],
                                       &s.quantiles[n - 1]};
        for (std::size_t i = 0; i < 4; ++i) {
            expected.push_back({what + " t " + std::to_string(i), ends[i]->studentized, r[k].t[i], 1e-9});
            if (i > 0) {
                EXPECT_LE(ends[i - 1]->studentized, ends[i]->studentized) << what;
            }
        }
        expected.push_back({what + " lowest normal", s.quantiles.front().normal, -r[k].normal, 1e-9});
        expected.push_back({what + " highest normal", s.quantiles.back().normal, r[k].normal, 1e-9});
        EXPECT_EQ(s.quantiles.back().rank, n - 1) << what;
    }
    CheckAll(expected);

    // Left out where asked (morvane anova writes none of them): the same W.
    DesignAnalysis plain;
    plain.options.quantilePoints = false;
    design::AddFollowUps(MixedDesign(), plain);
    ASSERT_EQ(plain.normality.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_TRUE(plain.normality[k].quantiles.empty());
        EXPECT_TRUE(plain.normality[k].w && *plain.normality[k].w == *a.normality[k].w);
    }

    // A group of one subject: its residuals are zero whatever its scores, and
    // left out of the plot; the W of all of them stands.
    DesignData alone = MixedDesign();
    alone.group = {0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2};
    const DesignAnalysis b = FollowUps(alone);
    const std::int64_t per[] = {1, 3, 2, 6};
    for (std::size_t k = 0; k < 4; ++k) {
        const StratumNormality& s = b.normality[k];
        EXPECT_EQ(s.unplotted, per[k]) << s.stratum;
        EXPECT_EQ(static_cast<std::int64_t>(s.quantiles.size()), s.n - per[k]) << s.stratum;
        EXPECT_TRUE(s.w.has_value()) << s.stratum;
        for (const QuantilePoint& p : s.quantiles) EXPECT_TRUE(std::isfinite(p.studentized)) << s.stratum;
    }
}

// What a design leaves undefined stays absent: a between cell of one subject
// each (no pooled error), a slice without variation; and a larger design
// bounds its families and its strata's tests.
TEST(DesignFollowUps, UndefinedFiguresStayAbsentAndTheWorkIsBounded) {
    DesignData one;
    one.between = {{"G", {"g1", "g2"}}};
    one.within = {{"A", {"a1", "a2"}}};
    one.subjects = {"s1", "s2"};
    one.group = {0, 1};
    one.values = {1, 2, 3, 5};
    const DesignAnalysis a = FollowUps(one);
    ASSERT_EQ(a.cellMeans.size(), 4u);
    EXPECT_FALSE(a.cellMeans[0].sd || a.cellMeans[0].ci95 || a.cellMeans[0].withinCi95);
    for (const auto& means : a.marginalMeans)
        for (const DesignMean& m : means) EXPECT_FALSE(m.se || m.ci95) << m.mean;
    EXPECT_DOUBLE_EQ(static_cast<double>(a.marginalMeans[1][1].mean), 3.5);
    for (const DesignComparison& c : a.comparisons) EXPECT_FALSE(c.se || c.t || c.p || c.d || c.pHolm);
    for (const DesignSimpleEffect& e : a.simpleEffects) EXPECT_FALSE(e.f || e.p);
    for (const LeveneResult& l : a.levene) EXPECT_FALSE(l.f || l.p);
    for (const StratumNormality& s : a.normality) EXPECT_FALSE(s.w || s.p || !s.quantiles.empty());

    // Scores whose squares leave the extended range: their spreads are
    // undefined, never infinite.
    DesignData huge = one;
    huge.subjects = {"s1", "s2", "s3", "s4"};
    huge.group = {0, 0, 1, 1};
    huge.values = {1e3000L, -1e3000L, 3, 1, -2e3000L, 5, 1e3000L, 7};
    const DesignAnalysis h = FollowUps(huge);
    const auto finite = [](const std::optional<Extended>& v) { return !v || std::isfinite(*v); };
    for (const DesignMean& m : h.cellMeans) EXPECT_TRUE(finite(m.sd) && finite(m.se)) << m.mean;
    for (const DesignComparison& c : h.comparisons) EXPECT_TRUE(finite(c.se) && finite(c.t) && finite(c.d));
    for (const DesignSimpleEffect& e : h.simpleEffects)
        EXPECT_TRUE(finite(e.f) && finite(e.partialEtaSquared));
    for (const LeveneResult& l : h.levene) EXPECT_TRUE(finite(l.f));
    for (const StratumNormality& s : h.normality)
        for (const QuantilePoint& p : s.quantiles) EXPECT_TRUE(std::isfinite(p.studentized)) << s.stratum;

    // Three within factors of 2 x 3 x 2, two groups of 20 and 21; the
    // comparisons of a factor of more levels than are compared are left out.
    DesignData big;
    big.between = {{"G", {"g1", "g2"}}};
    big.within = {{"A", {"1", "2"}}, {"B", {"1", "2", "3"}}, {"C", {}}};
    for (int l = 0; l <= kComparedLevels; ++l) big.within[2].levels.push_back(std::to_string(l));
    const std::size_t cells = big.Cells();
    for (int s = 0; s < 41; ++s) {
        big.subjects.push_back(std::to_string(s));
        big.group.push_back(s < 20 ? 0 : 1);
        for (std::size_t c = 0; c < cells; ++c)
            big.values.push_back(static_cast<Extended>((s * 7919 + static_cast<int>(c) * 104729) % 1009) / 8);
    }
    const DesignAnalysis b = FollowUps(big);
    EXPECT_EQ(b.cellMeans.size(), 2 * cells);
    for (const DesignComparison& c : b.comparisons) EXPECT_NE(c.factor, 3u);
    EXPECT_EQ(b.comparisons.size(), 1u + 1 + 3);
    ASSERT_EQ(b.normality.size(), 8u);
    EXPECT_EQ(b.normality[5].stratum, "A × C × S");
    for (const StratumNormality& s : b.normality) {
        EXPECT_EQ(s.w.has_value(), s.n <= 5000) << s.stratum;
        // Every stratum plotted, W or not; a large one thinned to its tails and ranks between.
        ASSERT_FALSE(s.quantiles.empty()) << s.stratum;
        EXPECT_EQ(s.quantiles.size(), std::min<std::size_t>(static_cast<std::size_t>(s.n), kQuantilePoints));
        EXPECT_EQ(s.quantiles.back().rank, static_cast<std::size_t>(s.n) - 1) << s.stratum;
    }
    EXPECT_EQ(b.levene.size(), 2 * cells);
    for (const LeveneResult& l : b.levene) EXPECT_TRUE(l.f && l.p);
}

}  // namespace
}  // namespace morvane
