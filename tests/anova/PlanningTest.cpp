// Each effect's planning: the total N for power .80 and .90 at the point
// estimate of partial eta squared and at its interval's lower limit, with the
// measured correlation and epsilon, checked by hand in R for a one-factor and
// a mixed design, and against the power calculation the power command runs.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "stats/Power.h"

namespace morvane::anova {
namespace {

// Integer scores, a row a subject over one within factor "t"; `groups` the
// between factor's level of each subject (none: no between factor).
DesignData Scores(std::size_t levels, const std::vector<std::vector<int>>& rows,
                  const std::vector<std::int32_t>& groups = {}) {
    DesignData d;
    if (!groups.empty()) d.between.push_back({"g", {"g1", "g2"}});
    DesignFactor t{"t", {}};
    for (std::size_t i = 0; i < levels; ++i) t.levels.push_back("t" + std::to_string(i + 1));
    d.within.push_back(t);
    d.exact = true;
    for (std::size_t s = 0; s < rows.size(); ++s) {
        d.subjects.push_back("s" + std::to_string(s + 1));
        d.group.push_back(groups.empty() ? 0 : groups[s]);
        for (const int v : rows[s]) d.units.push_back(v), d.rows.push_back(1), d.values.push_back(v);
    }
    d.subjectsRead = static_cast<std::int64_t>(rows.size());
    return d;
}

void Near(const std::optional<Extended>& actual, Extended expected, Extended tolerance = 1e-8L) {
    ASSERT_TRUE(actual);
    EXPECT_LE(std::fabs(*actual - expected), tolerance) << static_cast<double>(*actual);
}

// The figures R gives for one effect (see the R calls below).
struct Expected {
    PowerEffect kind;
    int measures, groups;
    Extended rho, epsilon, fOther, f;
    std::int64_t n80, n90;
    std::optional<Extended> fLower;
    std::optional<std::int64_t> n80Lower, n90Lower;
};

// The row against R's figures, and its N against the power calculation run
// with the row's own inputs, as `morvane power --effect K --levels M --groups K
// --f f --rho rho --epsilon e --power .8` runs it.
void Check(const Analysis& r, const PlanningRow& row, const Expected& x) {
    SCOPED_TRACE(r.effects.at(row.effect).name);
    EXPECT_EQ(row.kind, x.kind);
    EXPECT_EQ(row.measures, x.measures);
    EXPECT_EQ(row.groups, x.groups);
    Near(row.rho, x.rho);
    if (x.kind == PowerEffect::Between)
        EXPECT_FALSE(row.epsilon);
    else
        Near(row.epsilon, x.epsilon, 1e-7L);
    Near(row.fOther, x.fOther);
    Near(row.f, x.f, 1e-7L);
    EXPECT_EQ(row.n80, x.n80);
    EXPECT_EQ(row.n90, x.n90);
    EXPECT_TRUE(row.reason.empty()) << row.reason;
    if (x.fLower) {
        Near(row.fLower, *x.fLower, 1e-6L);
        EXPECT_EQ(row.n80Lower, x.n80Lower);
        EXPECT_EQ(row.n90Lower, x.n90Lower);
    } else {
        EXPECT_FALSE(row.n80Lower);
        EXPECT_FALSE(row.n90Lower);
        EXPECT_NE(row.lowerReason.find("lower limit is 0"), std::string::npos) << row.lowerReason;
        EXPECT_FALSE(row.lowerReasonJapanese.empty());
    }
    PowerDesign design{row.kind, PowerConvention::PowerPrograms, row.measures,   row.groups,
                       *row.rho, row.epsilon.value_or(1),        r.options.alpha};
    for (const auto& [power, n] : {std::pair{0.8L, row.n80}, std::pair{0.9L, row.n90}}) {
        const std::optional<PowerAtN> test = SmallestNForPower(design, *row.f, power);
        ASSERT_TRUE(test && n);
        EXPECT_EQ(static_cast<std::int64_t>(test->n), *n);
        EXPECT_GE(test->power, power);
        EXPECT_LT(PowerOfTest(design, *row.f, test->n - 1)->power, power);
    }
}

// Three levels, six subjects (RobustnessTest's). R, with afex:
//   a <- aov_ez("id", "y", d, within = "t"); eta = F 2 / (F 2 + 10); rho = mean of cor(X)'s upper triangle;
//   eps = summary(a)$pval.adjustments[1, "GG eps"]; fsp = sqrt(eta / (1 - eta));
//   f = fsp sqrt((N - K)(M - 1)(1 - rho) / (N M)); the smallest n with
//   pf(qf(.95, 2 eps, (n - 1) 2 eps), 2 eps, (n - 1) 2 eps, ncp = f^2 n M eps / (1 - rho),
//      lower.tail = FALSE) >= .8 (.9); the lower limit: the lambda with
//   pf(F, 2, 10, ncp = lambda) = .95 by uniroot, eta = lambda / (lambda + 10) (the error df, as
//   the analysis' interval maps its limits).
TEST(Planning, EachEffectsNAgreesWithRAndWithThePowerCalculation) {
    const Analysis one = Analyse(
        Scores(3, {{20, 23, 26}, {29, 30, 42}, {11, 12, 19}, {24, 25, 40}, {23, 24, 18}, {28, 31, 36}}));
    ASSERT_EQ(one.planning.size(), 1u);
    Check(one, one.planning[0],
          {PowerEffect::Within, 3, 1, 0.8173877876L, 0.5147600545L, 1.0424172213L, 0.3320245786L, 11, 14,
           0.0835292120L, 137, 182});

    // Two groups of five, three levels: the same by R, the groups' cross
    // products pooled for rho (cov2cor of the centred crossprod); the between
    // effect f = fsp sqrt((N - K)(1 + (M - 1) rho) / (N M)), lambda f^2 n M /
    // (1 + (M - 1) rho) on K - 1, n - K df; the interaction's df1 (K - 1)(M - 1) eps.
    const Analysis mixed = Analyse(Scores(3,
                                          {{12, 15, 19},
                                           {10, 14, 15},
                                           {14, 15, 21},
                                           {9, 13, 14},
                                           {11, 12, 18},
                                           {15, 16, 17},
                                           {17, 21, 20},
                                           {13, 15, 14},
                                           {18, 19, 22},
                                           {16, 16, 19}},
                                          {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}));
    ASSERT_EQ(mixed.planning.size(), 3u);
    const Extended rho = 0.7774386463L, eps = 0.6076589595L;
    for (const PlanningRow& row : mixed.planning) {
        const std::string& name = mixed.effects.at(row.effect).name;
        if (name == "g")
            Check(mixed, row,
                  {PowerEffect::Between,
                   3,
                   2,
                   rho,
                   1,
                   0.8051610483L,
                   0.6645874655L,
                   18,
                   23,
                   std::nullopt,
                   {},
                   {}});
        else if (name == "t")
            Check(mixed, row,
                  {PowerEffect::Within, 3, 2, rho, eps, 2.0433519903L, 0.7039915174L, 5, 6, 0.4421967811L, 8,
                   10});
        else
            Check(mixed, row,
                  {PowerEffect::Interaction, 3, 2, rho, eps, 0.8627009178L, 0.2972244288L, 14, 18,
                   0.1039153929L, 96, 127});
    }
    // A between effect has no epsilon of its own: the row says none, and the means alone plan nothing.
    EXPECT_FALSE(mixed.planning[0].epsilon);
    Options means;
    means.meansOnly = true;
    EXPECT_TRUE(Analyse(Scores(3, {{1, 2, 4}, {2, 3, 3}, {4, 4, 6}}), means).planning.empty());
}

// What cannot be planned says why: a measure without variance leaves rho
// undefined, and an effect of 0 has no N at its point estimate.
TEST(Planning, WhatCannotBePlannedIsAbsentWithItsReason) {
    const Analysis flat = Analyse(Scores(2, {{1, 5}, {2, 5}, {4, 5}, {3, 5}}));
    ASSERT_EQ(flat.planning.size(), 1u);
    EXPECT_FALSE(flat.planning[0].rho);
    EXPECT_FALSE(flat.planning[0].n80 || flat.planning[0].n90 || flat.planning[0].n80Lower);
    EXPECT_NE(flat.planning[0].reason.find("correlation"), std::string::npos);

    // Differences summing to 0: the levels' means are equal and t's sum of squares is 0.
    const Analysis none = Analyse(Scores(2, {{1, 3}, {4, 2}, {2, 3}, {5, 4}}));
    ASSERT_EQ(none.planning.size(), 1u);
    const PlanningRow& row = none.planning[0];
    ASSERT_TRUE(none.effects[0].partialEtaSquared);
    EXPECT_EQ(*none.effects[0].partialEtaSquared, 0);
    EXPECT_FALSE(row.n80 || row.n90);
    EXPECT_NE(row.reason.find("is 0"), std::string::npos) << row.reason;
}

}  // namespace
}  // namespace morvane::anova
