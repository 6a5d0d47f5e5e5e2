// The one engine's means, comparisons and simple effects of mixed designs
// against R's (afex, emmeans with its multivariate model, lm), hard-coded
// beside the calls that give them; what a design leaves undefined, and the
// bounds on a large design's work.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Steps.h"
#include "runtime/Errors.h"
#include "stats/QuantilePoints.h"
#include "support/TenthsDesign.h"

namespace morvane::anova {
namespace {

// A mixed design: G (3 groups of 3, 4 and 5 subjects) x A (3) x B (2), the
// scores (tenths) of subject s01..s12 in cells a1b1, a1b2, a2b1, a2b2, a3b1,
// a3b2. R takes it as the long data frame d (id, A, B, G, y) with
//   library(afex); library(emmeans)
//   fit <- aov_ez("id", "y", d, between = "G", within = c("A", "B"))
const int kMixedTenths[] = {
    95,  95,  133, 147, 113, 179,  //
    64,  56,  91,  105, 99,  129,  //
    102, 95,  114, 97,  83,  112,  //
    105, 68,  90,  128, 64,  128,  //
    104, 97,  91,  107, 116, 118,  //
    97,  104, 110, 110, 113, 94,   //
    97,  72,  144, 70,  135, 146,  //
    54,  98,  42,  80,  80,  66,   //
    87,  102, 75,  85,  128, 98,   //
    88,  86,  86,  67,  112, 105,  //
    121, 147, 119, 137, 113, 169,  //
    97,  102, 79,  100, 141, 98,
};

// The scores as a long CSV gives them: decimals of one place, exact.
constexpr auto Exactly = &testing::WithTenths;

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
    return Exactly(d, kMixedTenths);
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

std::optional<Extended> Low(const std::optional<Interval>& i) {
    return i ? std::optional<Extended>(i->low) : std::nullopt;
}
std::optional<Extended> High(const std::optional<Interval>& i) {
    return i ? std::optional<Extended>(i->high) : std::nullopt;
}

const Comparison& Pair(const Analysis& a, std::size_t factor, const Place& at, std::int32_t i,
                       std::int32_t j) {
    for (const Comparison& c : a.comparisons)
        if (c.factor == factor && c.at == at && c.i == i && c.j == j) return c;
    static const Comparison none;
    ADD_FAILURE() << "no comparison of factor " << factor << " levels " << i << ", " << j;
    return none;
}

const SimpleEffect* Effect(const Analysis& a, std::size_t factor, const Place& at) {
    for (const SimpleEffect& e : a.simpleEffects)
        if (e.factor == factor && e.at == at) return &e;
    return nullptr;
}

std::vector<Expect> EffectFigures(const std::string& name, const SimpleEffect* e, std::vector<double> r) {
    if (!e) return {{name + " missing", std::nullopt, 0}};
    std::vector<Expect> out = {{name + " SS", e->ss, r[0]},
                               {name + " error SS", e->errorSs, r[1]},
                               {name + " F", e->f, r[2]},
                               {name + " p", e->p, r[3], 1e-10}};
    if (r.size() > 4) out.push_back({name + " pes", e->partialEtaSquared, r[4]});
    if (r.size() > 5) out.push_back({name + " GG eps", e->ggEpsilon, r[5]});
    if (r.size() > 6) out.push_back({name + " GG p", e->ggP, r[6], 1e-10});
    return out;
}

constexpr std::int32_t O = kOver;

TEST(FollowUpsRTest, AMixedDesignsMeansComparisonsAndSimpleEffectsAreRs) {
    const Analysis a = Analyse(MixedDesign());
    ASSERT_EQ(a.cellMeans.size(), 18u);
    ASSERT_EQ(a.marginalMeans.size(), 3u);
    const Mean& g2a3b2 = a.cellMeans[11];
    EXPECT_EQ(g2a3b2.at, (Place{1, 2, 1}));
    EXPECT_EQ(g2a3b2.n, 4);
    const auto& mG = a.marginalMeans[0];
    const auto& mA = a.marginalMeans[1];
    const auto& mB = a.marginalMeans[2];
    std::vector<Expect> expected = {
        // aggregate(y ~ G + A + B, d, function(v) c(mean(v), sd(v), sd(v) / sqrt(length(v))))
        {"g1a1b1 mean", a.cellMeans[0].mean, 8.7},
        {"g1a1b1 sd", a.cellMeans[0].sd, 2.022374841615668},
        {"g1a1b1 se", a.cellMeans[0].se, 1.167618659209133},
        {"g2a3b2 mean", g2a3b2.mean, 12.15},
        {"g2a3b2 sd", g2a3b2.sd, 2.168716978615083},
        {"g3a3b2 se", a.cellMeans[17].se, 1.686831349009141},
        // summary(emmeans(fit, ~ G)), ~ A, ~ B: SE on df = N - g = 9
        {"G g1 emmean", mG[0].mean, 10.60555555555556},
        {"G g1 SE", mG[0].se, 1.051003178756293},
        {"G g1 lower.CL", Low(mG[0].ci95), 8.22802118660833},
        {"G g3 SE", mG[2].se, 0.814103561626836},
        {"A a1 emmean", mA[0].mean, 9.19},
        {"A a1 SE", mA[0].se, 0.542994289430294},
        {"A a3 SE", mA[2].se, 0.680462326695701},
        {"A a3 upper.CL", High(mA[2].ci95), 13.0198682819046},
        {"B b2 emmean", mB[1].mean, 10.63148148148148},
        {"B b2 SE", mB[1].se, 0.650579976441080},
        // summary(pairs(emmeans(fit, ~ G), adjust = "none")); "holm"
        {"g1 - g3 estimate", Pair(a, 0, {O, O, O}, 0, 2).difference, 0.732222222222225},
        {"g1 - g3 SE", Pair(a, 0, {O, O, O}, 0, 2).se, 1.32942554917879},
        {"g1 - g3 t", Pair(a, 0, {O, O, O}, 0, 2).t, 0.550780916369880},
        {"g1 - g3 p", Pair(a, 0, {O, O, O}, 0, 2).p, 0.59518925529857, 1e-10},
        {"g1 - g3 holm", Pair(a, 0, {O, O, O}, 0, 2).pHolm, 1},
        // summary(pairs(emmeans(fit, ~ A), adjust = "none")); "holm", "bonferroni"
        {"a1 - a2 estimate", Pair(a, 1, {O, O, O}, 0, 1).difference, -1.06833333333334},
        {"a1 - a2 SE", Pair(a, 1, {O, O, O}, 0, 1).se, 0.351151398298155},
        {"a1 - a3 t", Pair(a, 1, {O, O, O}, 0, 2).t, -3.65675559817949},
        {"a1 - a2 p", Pair(a, 1, {O, O, O}, 0, 1).p, 0.0139641859055632, 1e-10},
        {"a1 - a2 holm", Pair(a, 1, {O, O, O}, 0, 1).pHolm, 0.0279283718111264, 1e-10},
        {"a1 - a3 holm", Pair(a, 1, {O, O, O}, 0, 2).pHolm, 0.0157859392281050, 1e-10},
        {"a2 - a3 holm", Pair(a, 1, {O, O, O}, 1, 2).pHolm, 0.0279283718111264, 1e-10},
        {"a2 - a3 bonferroni", Pair(a, 1, {O, O, O}, 1, 2).pBonferroni, 0.074656858935834, 1e-10},
        {"b1 - b2 SE", Pair(a, 2, {O, O, O}, 0, 1).se, 0.547219294206479},
        {"b1 - b2 p", Pair(a, 2, {O, O, O}, 0, 1).p, 0.269643366767243, 1e-10},
        // At places: summary(pairs(emmeans(fit, ~ A | B + G, model = "multivariate"),
        // adjust = "holm")) (and "bonferroni") at B = b2, G = g1
        {"a1 - a2 at g1 b2 estimate", Pair(a, 1, {0, O, 1}, 0, 1).difference, -3.43333333333334},
        {"a1 - a2 at g1 b2 SE", Pair(a, 1, {0, O, 1}, 0, 1).se, 1.23984268217513},
        {"a1 - a3 at g1 b2 t", Pair(a, 1, {0, O, 1}, 0, 2).t, -3.20476772223320},
        {"a1 - a2 at g1 b2 holm", Pair(a, 1, {0, O, 1}, 0, 1).pHolm, 0.0435662051968310, 1e-10},
        {"a2 - a3 at g1 b2 holm", Pair(a, 1, {0, O, 1}, 1, 2).pHolm, 0.1750258297696441, 1e-10},
        {"a1 - a2 at g1 b2 bonferroni", Pair(a, 1, {0, O, 1}, 0, 1).pBonferroni, 0.0653493077952465, 1e-10},
        // pairs(emmeans(fit, ~ G | A + B, ...), adjust = "holm") at A = a2, B = b1
        {"g1 - g2 at a2 b1 estimate", Pair(a, 0, {O, 1, 0}, 0, 1).difference, 0.391666666666671},
        {"g1 - g3 at a2 b1 SE", Pair(a, 0, {O, 1, 0}, 0, 2).se, 1.85747206416027},
        {"g2 - g3 at a2 b1 t", Pair(a, 0, {O, 1, 0}, 1, 2).t, 1.673312012619695},
        {"g1 - g2 at a2 b1 holm", Pair(a, 0, {O, 1, 0}, 0, 1).pHolm, 0.844696605991574, 1e-10},
        {"g2 - g3 at a2 b1 holm", Pair(a, 0, {O, 1, 0}, 1, 2).pHolm, 0.343265903629989, 1e-10},
        // pairs(emmeans(fit, ~ B | A + G, ...)) at A = a3, G = g1
        {"b1 - b2 at g1 a3 SE", Pair(a, 2, {0, 2, O}, 0, 1).se, 1.96928889841793},
        {"b1 - b2 at g1 a3 p", Pair(a, 2, {0, 2, O}, 0, 1).p, 0.0634667651887295, 1e-10},
    };
    // The slices as aov_ez fits them: aov_ez("id", "y", d[d$B == "b1", ], between = "G",
    // within = "A") (and type = 2), d[d$A == "a3", ] with within = "B", d[d$G == "g2", ]
    // with within = "A"; anova(lm(y ~ G, aggregate(y ~ id + G, d[d$A == "a1", ], mean))),
    // the same at B b2. SS, error SS, F, p, partial eta squared, and
    // summary(...)$pval.adjustments: GG eps and Pr(>F[GG]).
    for (const auto& more :
         {EffectFigures("A at b1", Effect(a, 1, {O, O, 0}),
                        {11.8683049645391, 48.8823333333333, 2.18514005770698, 0.141387086593705,
                         0.195360992033473, 0.850231831050132, 0.1510232495353841}),
          EffectFigures(
              "B at a3", Effect(a, 2, {O, 2, O}),
              {15.0556666666665, 52.3543333333333, 2.58815252478303, 0.142126976339471, 0.223344706522275}),
          EffectFigures("A at g2", Effect(a, 1, {1, O, O}),
                        {9.215, 11.685, 2.36585365853658, 0.174762114951165, 0.440909090909091,
                         0.688995148310908, 0.202613418265563}),
          EffectFigures("G at a1", Effect(a, 0, {O, 0, O}),
                        {3.51929166666664, 30.488, 0.519444125557592, 0.611654257545024}),
          EffectFigures("G at b2", Effect(a, 0, {O, O, 1}),
                        {2.15027777777778, 43.7662962962963, 0.221089075815146, 0.805872686029286})})
        expected.insert(expected.end(), more.begin(), more.end());
    Options typeII;
    typeII.type = SsType::TypeII;
    const Analysis a2 = Analyse(MixedDesign(), typeII);
    for (const Expect& e :
         EffectFigures("A at b1, type II", Effect(a2, 1, {O, O, 0}),
                       {14.9150000000001, 48.8823333333333, 2.74608413400889, 0.0910216323428658}))
        expected.push_back(e);
    CheckAll(expected);
    // G: 3 pairs over the others and at each of 6 within cells; A: 3 over
    // the others and at 3 x 2 places; B: 1 and 3 x 3.
    EXPECT_EQ(a.comparisons.size(), 3u + 3 + 1 + 3 * 6 + 3 * 6 + 9);
    EXPECT_EQ(a.simpleEffects.size(), 3u + 2 + 3 + 2 + 3 + 3);
    EXPECT_EQ(a.shown.compared, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(a.shown.comparedAtLevels, (std::vector<bool>{true, true, true}));
}

// Two between factors of unequal cells (g1 h1: 2 subjects, g1 h2: 3, g2 h1: 4,
// g2 h2: 3) x A (3): a between factor's marginal means and comparisons
// average over the other's levels with equal weights. R as above with
//   fit <- aov_ez("id", "y", d, between = c("G", "H"), within = "A")
TEST(FollowUpsRTest, TwoBetweenFactorsAreRs) {
    DesignData d;
    d.between = {{"G", {"g1", "g2"}}, {"H", {"h1", "h2"}}};
    d.within = {{"A", {"a1", "a2", "a3"}}};
    d.group = {0, 0, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3};
    for (std::size_t s = 0; s < d.group.size(); ++s) d.subjects.push_back(std::to_string(s + 1));
    const int tenths[] = {309, 214, 239, 164, 158, 168, 228, 212, 230, 285, 240, 321,
                          315, 266, 323, 223, 192, 220, 221, 261, 267, 212, 240, 169,
                          256, 234, 261, 236, 198, 230, 244, 302, 294, 245, 245, 251};
    const Analysis a = Analyse(Exactly(d, tenths));
    ASSERT_EQ(a.marginalMeans.size(), 3u);
    const auto& m = a.marginalMeans;
    std::vector<Expect> expected = {
        // summary(emmeans(fit, ~ G)), ~ H, ~ A (df 8); pairs(..., adjust = "holm")
        {"G g2 emmean", m[0][1].mean, 23.9555555555556},
        {"G g1 SE", m[0][0].se, 1.67742476970644},
        {"H h1 SE", m[1][0].se, 1.59134486275673},
        {"A a2 SE", m[2][1].se, 1.10137643720193},
        {"g1 - g2 SE", Pair(a, 0, {O, O, O}, 0, 1).se, 2.18709431864334},
        {"h1 - h2 t", Pair(a, 1, {O, O, O}, 0, 1).t, -1.82891060797104},
        {"h1 - h2 p", Pair(a, 1, {O, O, O}, 0, 1).p, 0.104811899040156, 1e-10},
        {"a1 - a2 SE", Pair(a, 2, {O, O, O}, 0, 1).se, 1.20210838181586},
        {"a1 - a2 holm", Pair(a, 2, {O, O, O}, 0, 1).pHolm, 0.298242255669971, 1e-10},
        {"a2 - a3 holm", Pair(a, 2, {O, O, O}, 1, 2).pHolm, 0.292956025948653, 1e-10},
    };
    // anova(lm(y ~ G, sm[sm$H == "h1", ])) of the subjects' means sm; aov_ez("id", "y",
    // d[d$H == "h2", ], between = "G", within = "A")
    for (const auto& more :
         {EffectFigures("G at h1", Effect(a, 0, {O, 0, O}),
                        {5.87999999999994, 57.7511111111113, 0.407264891488374, 0.558065979876215}),
          EffectFigures("A at h2", Effect(a, 2, {O, 1, O}),
                        {28.84, 35.2222222222222, 3.27520504731861, 0.0913816536175171, 0.450187317885389})})
        expected.insert(expected.end(), more.begin(), more.end());
    CheckAll(expected);
}

// The means, comparisons and simple effects alone.
Analysis FollowUpsOf(const DesignData& d) {
    const detail::Scores scores = detail::IntegerScores(d);
    const Options options;
    const detail::Inputs in{d, scores, options};
    Analysis out;
    detail::AddMeans(in, out);
    detail::AddComparisons(in, out);
    detail::AddSimpleEffects(in, out);
    return out;
}

// What a design leaves undefined stays absent: a between cell of one subject
// each (no pooled error); scores whose squares leave the extended range stop
// the analysis with an overflow; and a larger design bounds its families and
// its strata's tests.
TEST(FollowUpsRTest, UndefinedFiguresStayAbsentAndTheWorkIsBounded) {
    DesignData one;
    one.between = {{"G", {"g1", "g2"}}};
    one.within = {{"A", {"a1", "a2"}}};
    one.subjects = {"s1", "s2"};
    one.group = {0, 1};
    one.values = {1, 2, 3, 5};
    const Analysis a = FollowUpsOf(one);
    ASSERT_EQ(a.cellMeans.size(), 4u);
    EXPECT_FALSE(a.cellMeans[0].sd || a.cellMeans[0].ci95 || a.cellMeans[0].withinCi95);
    for (const auto& means : a.marginalMeans)
        for (const Mean& m : means) EXPECT_FALSE(m.se || m.ci95) << static_cast<double>(m.mean);
    EXPECT_DOUBLE_EQ(static_cast<double>(a.marginalMeans[1][1].mean), 3.5);
    ASSERT_FALSE(a.comparisons.empty());
    for (const Comparison& c : a.comparisons) EXPECT_FALSE(c.se || c.t || c.p || c.d || c.pHolm);
    for (const SimpleEffect& e : a.simpleEffects) EXPECT_FALSE(e.f || e.p);

    DesignData huge = one;
    huge.subjects = {"s1", "s2", "s3", "s4"};
    huge.group = {0, 0, 1, 1};
    huge.values = {1e3000L, -1e3000L, 3, 1, -2e3000L, 5, 1e3000L, 7};
    EXPECT_THROW(FollowUpsOf(huge), OverflowError);
    EXPECT_THROW(Analyse(huge), OverflowError);

    // Three within factors of 2 x 3 x 101, two groups of 20 and 21: C, of more
    // levels than are compared, has no comparisons.
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
    const Analysis b = Analyse(big);
    EXPECT_EQ(b.cellMeans.size(), 2 * cells);
    EXPECT_EQ(b.shown.compared, (std::vector<bool>{true, true, true, false}));
    for (const Comparison& c : b.comparisons) EXPECT_NE(c.factor, 3u);
    ASSERT_EQ(b.strata.size(), 8u);
    EXPECT_EQ(b.strata[5].name, "A × C × S");
    for (const Stratum& s : b.strata) {
        EXPECT_EQ(s.normality.w.has_value(), s.residuals <= 5000) << s.name;
        // Every stratum plotted, W or not; a large one thinned to its tails and ranks between.
        ASSERT_FALSE(s.quantiles.empty()) << s.name;
        EXPECT_EQ(s.quantiles.size(), std::min<std::size_t>(static_cast<std::size_t>(s.residuals), kQuantilePoints));
        EXPECT_EQ(s.quantiles.back().rank, static_cast<std::size_t>(s.residuals) - 1) << s.name;
    }
    EXPECT_EQ(b.levene.size(), 2 * cells);
    for (const LeveneTest& l : b.levene) EXPECT_TRUE(l.f && l.p);
}

}  // namespace
}  // namespace morvane::anova
