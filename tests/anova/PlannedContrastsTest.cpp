// The planned contrasts against R's emmeans on afex's multivariate fits
// (hard-coded beside their calls), and against rational arithmetic written
// here from the definitions, in both strategies, on scores near 10^9 with
// three decimals. The data sets were drawn in R (set.seed(7)) and rounded to
// tenths; each is written as CSV with the columns the calls name.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/FollowUps.h"
#include "exact/WideIntegers.h"
#include "stats/Polynomials.h"
#include "support/TenthsDesign.h"

namespace morvane::anova {
namespace {

// One within factor `time` of 4 levels, 8 subjects.
const int kOneTenths[] = {155, 184, 173, 205, 107, 95, 119, 113, 85,  99,  110, 128, 108, 115, 129, 110,
                          101, 98,  112, 119, 79,  94, 96,  120, 124, 130, 135, 141, 116, 103, 120, 133};
// Groups a, b, c of 4, 5 and 6 subjects x time (4 levels).
const int kMixedTenths[] = {243, 223, 262, 271, 184, 209, 221, 238, 216, 221, 244, 250, 202, 215, 217,
                            224, 194, 215, 227, 232, 188, 211, 232, 255, 279, 264, 275, 291, 222, 232,
                            255, 271, 213, 207, 259, 291, 240, 270, 275, 295, 217, 254, 225, 252, 229,
                            250, 262, 263, 221, 254, 236, 286, 280, 289, 289, 292, 252, 266, 277, 265};
// Within factors A (2 levels) x B (3 levels, fastest), 10 subjects.
const int kTwoTenths[] = {88, 78, 73, 65, 97, 88, 39, 40, 35, 50, 38, 57, 76, 69, 77, 59, 72, 89, 67, 70,
                          64, 63, 84, 89, 44, 51, 66, 52, 66, 82, 19, 11, 38, 46, 41, 51, 74, 74, 81, 91,
                          84, 98, 67, 64, 41, 44, 79, 93, 34, 53, 50, 62, 75, 70, 55, 83, 84, 79, 73, 87};

constexpr auto Design = &testing::TenthsDesign;

const DesignFactor kTime{"time", {"t1", "t2", "t3", "t4"}};

std::vector<mpq_class> Q(std::initializer_list<long> values, long denominator = 1) {
    std::vector<mpq_class> out;
    for (const long v : values) out.push_back(detail::Ratio(v, denominator));
    return out;
}

// A contrast's figures beside R's estimate, SE, t and p.
struct Want {
    const char* name;
    double estimate, se, t, p, df;
};

void Check(const Analysis& a, const std::vector<Want>& want) {
    ASSERT_EQ(a.contrasts.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const PlannedContrast& c = a.contrasts[i];
        const Want& w = want[i];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(c.name, w.name);
        const auto near = [](Extended got, double r) {
            EXPECT_NEAR(static_cast<double>(got), r, 1e-11 * std::max(1.0, std::fabs(r)));
        };
        near(c.estimate, w.estimate);
        ASSERT_TRUE(c.se && c.t && c.p && c.f && c.partialEtaSquared);
        near(*c.se, w.se), near(*c.t, w.t), near(*c.p, w.p);
        EXPECT_EQ(c.df, w.df);
        near(*c.f, w.t * w.t);
        near(*c.partialEtaSquared, w.t * w.t / (w.t * w.t + w.df));
        ASSERT_TRUE(c.partialEtaSquaredCI);
        // The interval of an F below its lower quantile is [0, 0], not about the estimate.
        EXPECT_LE(c.partialEtaSquaredCI->lower, *c.partialEtaSquared);
        EXPECT_LE(c.partialEtaSquaredCI->lower, c.partialEtaSquaredCI->upper);
        EXPECT_EQ(c.partialEtaSquaredCI->lower > 0, w.p < 0.05);
    }
}

// R: f1 <- aov_car(score ~ Error(subject/time), one); e1 <- emmeans(f1, ~ time, model = "multivariate")
TEST(PlannedContrasts, OneWithinFactorAgainstEmmeans) {
    const DesignData d = Design({}, {kTime}, {8}, kOneTenths);
    Options o;
    o.trends = {{"time", {}}};
    o.contrasts = {{"c1", {{"time", Q({1, -1, 0, 0})}}}, {"c2", {{"time", Q({1, 1, -1, -1}, 2)}}}};
    const Analysis a = Analyse(d, o);
    // contrast(e1, "poly"); contrast(e1, list(c1 = c(1, -1, 0, 0), c2 = c(1, 1, -1, -1) / 2))
    Check(a, {{"linear", 8.224999999999984, 1.63518784416784, 5.030003145715487, 0.00151335842127983, 7},
              {"quadratic", 0.4, 0.51164999197275, 0.781784435210755, 0.45996223435313011, 7},
              {"cubic", -0.425, 1.67766312811260, -0.253328569292770, 0.80729334122653107, 7},
              {"c1", -0.5375, 0.506718257868357, -1.06074725284447, 0.324026509179223710, 7},
              {"c2", -1.6875, 0.210600756341065, -8.01279173597608, 0.000090223940659932, 7}});
    EXPECT_EQ(a.contrasts[0].weights, (std::vector<std::vector<Extended>>{{-3, -1, 1, 3}}));
    EXPECT_EQ(a.contrasts[0].family, "trend of time");
    EXPECT_EQ(a.contrasts[3].family, "custom contrasts");
    // Holm within each family: the trends' smallest p times 3, the custom ones' larger p alone.
    EXPECT_NEAR(static_cast<double>(*a.contrasts[0].pHolm), 3 * 0.00151335842127983, 1e-12);
    EXPECT_NEAR(static_cast<double>(*a.contrasts[3].pHolm), 0.324026509179223710, 1e-12);
    EXPECT_NEAR(static_cast<double>(*a.contrasts[3].pBonferroni), 2 * 0.324026509179223710, 1e-12);

    // Unequal spacing: w <- contr.poly(4, scores = c(0, 1, 2, 4));
    // contrast(e1, list(lin = w[, 1], quad = w[, 2], cub = w[, 3])), estimates on the unit-length rows.
    o.contrasts.clear();
    o.trends = {{"time", Q({0, 1, 2, 4})}};
    const Analysis u = Analyse(d, o);
    ASSERT_EQ(u.contrasts.size(), 3u);
    EXPECT_EQ(u.contrasts[0].weights[0], (std::vector<Extended>{-7, -3, 1, 9}));
    EXPECT_FALSE(u.contrasts[0].orthonormal);
    const double lengths[] = {std::sqrt(140.0), std::sqrt(154.0), std::sqrt(110.0)};
    const Want r[] = {
        {"linear", 1.833984732760877, 0.399639505922372, 4.589097688247871, 0.00251646308079538, 7},
        {"quadratic", -0.155120920574885, 0.230369097646100, -0.673358198473244, 0.52232253399538175, 7},
        {"cubic", -0.209761769634031, 0.356489011870514, -0.588410196806352, 0.57474293752842387, 7}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(r[i].name);
        EXPECT_NEAR(static_cast<double>(u.contrasts[i].estimate) / lengths[i], r[i].estimate, 1e-12);
        EXPECT_NEAR(static_cast<double>(*u.contrasts[i].se) / lengths[i], r[i].se, 1e-12);
        EXPECT_NEAR(static_cast<double>(*u.contrasts[i].t), r[i].t, 1e-11);
        EXPECT_NEAR(static_cast<double>(*u.contrasts[i].p), r[i].p, 1e-12);
    }

    // Spacing whose integers are too large: the unit-length rows, as R's
    // contr.poly(4, scores = c(0, 0.1, 2.5, 1000)); estimates as contrast(e1, list(...)).
    o.trends = {{"time", Q({0, 1, 25, 10000}, 10)}};
    const Analysis n = Analyse(d, o);
    ASSERT_EQ(n.contrasts.size(), 3u);
    EXPECT_TRUE(n.contrasts[0].orthonormal);
    const double linear[] = {-0.289675968023548, -0.289560398118093, -0.286786720387167, 0.866023086528809};
    for (std::size_t l = 0; l < 4; ++l)
        EXPECT_NEAR(static_cast<double>(n.contrasts[0].weights[0][l]), linear[l], 1e-14);
    EXPECT_NEAR(static_cast<double>(n.contrasts[0].estimate), 1.5178720, 1e-7);
    EXPECT_NEAR(static_cast<double>(*n.contrasts[1].se), 0.1488817, 1e-7);
    EXPECT_NEAR(static_cast<double>(*n.contrasts[2].t), 0.956, 1e-3);
}

// R: f2 <- aov_car(score ~ group + Error(subject/time), mixed), groups of 4, 5 and 6.
TEST(PlannedContrasts, MixedDesignAgainstEmmeans) {
    const DesignData d = Design({{"group", {"a", "b", "c"}}}, {kTime}, {4, 5, 6}, kMixedTenths);
    Options o;
    o.trends = {{"time", {}}};
    o.contrasts = {{"g1", {{"group", Q({2, -1, -1})}}},
                   {"g2", {{"group", Q({0, 1, -1})}}},
                   {"gx", {{"time", Q({-3, -1, 1, 3})}, {"group", Q({1, -1, 0})}}}};
    const Analysis a = Analyse(d, o);
    // contrast(emmeans(f2, ~ time, model = "multivariate"), "poly");
    // contrast(emmeans(f2, ~ group), list(g1 = c(2, -1, -1), g2 = c(0, 1, -1)));
    // contrast(emmeans(f2, ~ group * time, model = "multivariate"),
    //          list(gx = as.vector(outer(c(1, -1, 0), c(-3, -1, 1, 3)))))
    Check(
        a,
        {{"linear", 13.21777777777782958, 1.803467781551600, 7.32909005250208079, 9.10890528984040e-06, 12},
         {"quadratic", 0.22111111111111370, 0.476449110760041, 0.46408127566529167, 6.50895491978516e-01, 12},
         {"cubic", 0.00222222222223323, 1.331402672421714, 0.00166908349236763, 9.98695691003903e-01, 12},
         {"g1", -4.56083333333334, 2.33726876703383, -1.95135167921718, 0.0747514527471229, 12},
         {"g2", -1.93083333333333, 1.21063456634971, -1.59489360951849, 0.1367200483127602, 12},
         {"gx", -4.76999999999996, 4.62179483534265, -1.03206658234243, 0.322393753551292, 12}});
    // The interaction contrast's factors between first, whatever order they were given in.
    EXPECT_EQ(a.contrasts[5].factors, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(a.contrasts[5].weights[0], (std::vector<Extended>{1, -1, 0}));
}

// R: f3 <- aov_car(score ~ Error(subject/(A * B)), two); e3 <- emmeans(f3, ~ A * B, model = "multivariate");
// contrast(e3, list(ab = as.vector(outer(c(1, -1), c(-1, 0, 1)))))
TEST(PlannedContrasts, TwoWithinInteractionAgainstEmmeans) {
    const DesignData d = Design({}, {{"A", {"a1", "a2"}}, {"B", {"b1", "b2", "b3"}}}, {10}, kTwoTenths);
    Options o;
    o.contrasts = {{"ab", {{"A", Q({1, -1})}, {"B", Q({-1, 0, 1})}}}};
    Check(Analyse(d, o), {{"ab", -1.47, 0.911415260887033, -1.61287621908956, 0.141229824820564, 9}});
}

// What does not fit the design is refused in a sentence, and left out of the analysis.
TEST(PlannedContrasts, RefusedWhereTheyDoNotFit) {
    const DesignData d = Design({{"group", {"a", "b", "c"}}}, {kTime}, {4, 5, 6}, kMixedTenths);
    const auto refused = [&](std::vector<TrendRequest> trends, std::vector<ContrastRequest> contrasts) {
        Options o;
        o.trends = std::move(trends), o.contrasts = std::move(contrasts);
        const std::string why = ContrastsRefused(d, o);
        if (!why.empty()) {
            EXPECT_TRUE(Analyse(d, o).contrasts.empty()) << why;
        }
        return why;
    };
    EXPECT_EQ(refused({{"time", {}}}, {{"g", {{"group", Q({1, -1, 0})}}}}), "");
    EXPECT_NE(refused({{"dose", {}}}, {}).find("no factor"), std::string::npos);
    EXPECT_NE(refused({{"time", Q({0, 1, 2})}}, {}).find("3 values"), std::string::npos);
    EXPECT_NE(refused({{"time", Q({0, 1, 1, 2})}}, {}).find("repeats"), std::string::npos);
    EXPECT_NE(refused({{"time", {}}, {"time", {}}}, {}).find("twice"), std::string::npos);
    EXPECT_NE(refused({}, {{"g", {{"group", Q({1, -1, 1})}}}}).find("sum to 0"), std::string::npos);
    EXPECT_NE(refused({}, {{"g", {{"group", Q({1, -1})}}}}).find("2 weights"), std::string::npos);
    EXPECT_NE(refused({}, {{"g", {{"group", Q({0, 0, 0})}}}}).find("all 0"), std::string::npos);
    EXPECT_NE(refused({}, {{"g", {{"group", Q({1, -1, 0})}, {"group", Q({1, -1, 0})}}}}).find("twice"),
              std::string::npos);
}

// Scores 10^9 and some thousandths, two groups of unequal size x A (3) x B (2):
// each figure the correctly rounded value of the exact one, in both strategies.
TEST(PlannedContrasts, ExactNearLargeScores) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> noise(0, 99999);
    DesignData d;
    d.between = {{"G", {"g1", "g2"}}};
    d.within = {{"A", {"a1", "a2", "a3"}}, {"B", {"b1", "b2"}}};
    d.exact = true, d.scale = 3;
    const int sizes[] = {5, 8};
    for (std::int32_t g = 0; g < 2; ++g)
        for (int s = 0; s < sizes[g]; ++s) {
            d.subjects.push_back(std::to_string(d.subjects.size()));
            d.group.push_back(g);
            for (std::size_t c = 0; c < d.Cells(); ++c) {
                const Int128 units = Int128{1000000000000} + noise(random) + 7 * static_cast<int>(c) * s;
                d.units.push_back(units), d.rows.push_back(1);
                d.values.push_back(detail::Rounded(detail::Ratio(mpz_class(static_cast<long>(units)), 1000)));
            }
        }
    d.subjectsRead = static_cast<std::int64_t>(d.Subjects());
    // Per factor's weights over its levels (empty: averaged over), as the engine is asked them.
    const std::vector<std::vector<mpq_class>> asked[] = {
        {Q({1, -1}), Q({1, 0, -1}), {}},  // G x A, B averaged over
        {{}, Q({1, -2, 1}), Q({1, -1})},  // A x B
        {Q({3, -3}, 4), {}, {}},          // G alone: the subjects' means
    };
    Options o;
    const char* const names[] = {"G", "A", "B"};
    for (const auto& weights : asked) {
        ContrastRequest c{"c" + std::to_string(o.contrasts.size()), {}};
        for (std::size_t f = 0; f < 3; ++f)
            if (!weights[f].empty()) c.parts.push_back({names[f], weights[f]});
        o.contrasts.push_back(c);
    }
    const detail::FactorGrid grid(d);
    for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
        const Analysis a = detail::AnalyseWith(d, o, strategy);
        ASSERT_EQ(a.contrasts.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            const auto weight = [&](std::size_t f, std::size_t level) {
                const auto& w = asked[k][f];
                return w.empty() ? mpq_class(1, static_cast<long>(grid.levels[f])) : w[level];
            };
            // Each subject's contrast score, the groups' means and pooled deviations.
            mpq_class estimate = 0, factor = 0, deviations = 0;
            std::size_t first = 0;
            for (std::size_t g = 0; g < 2; ++g) {
                std::vector<mpq_class> scores;
                for (std::size_t s = first; s < first + static_cast<std::size_t>(sizes[g]); ++s) {
                    mpq_class score = 0;
                    for (std::size_t c = 0; c < d.Cells(); ++c)
                        score += weight(1, grid.LevelOf(c, 1)) * weight(2, grid.LevelOf(c, 2)) *
                                 detail::Ratio(exact::ToMpz(d.units[s * d.Cells() + c]), 1000);
                    scores.push_back(score);
                }
                first += scores.size();
                mpq_class mean = 0;
                for (const mpq_class& x : scores) mean += x;
                mean /= static_cast<long>(scores.size());
                for (const mpq_class& x : scores) deviations += (x - mean) * (x - mean);
                estimate += weight(0, g) * mean;
                factor += weight(0, g) * weight(0, g) / static_cast<long>(scores.size());
            }
            const mpq_class square = deviations / 11 * factor;
            const PlannedContrast& c = a.contrasts[k];
            SCOPED_TRACE(c.name);
            EXPECT_EQ(c.estimate, detail::Rounded(estimate));
            ASSERT_TRUE(c.se && c.t && c.f);
            EXPECT_EQ(*c.se, detail::RoundedRoot(square));
            EXPECT_EQ(*c.f, detail::Rounded(estimate * estimate / square));
            EXPECT_EQ(c.df, 11);
        }
    }
}

}  // namespace
}  // namespace morvane::anova
