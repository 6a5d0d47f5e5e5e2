// The one engine's checks and rank-based tests against R's figures,
// hard-coded beside their calls (the design room's tests had them first).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/Steps.h"

namespace morvane::anova {
namespace {

// A design without between factors of the subjects' rows of decimals (the
// within cells in order, the last factor fastest), exact, one row per cell.
DesignData WithinDesign(const std::vector<std::pair<std::string, std::size_t>>& factors,
                        const std::vector<std::string>& rows) {
    DesignData d;
    for (const auto& [name, levels] : factors) {
        DesignFactor f{name, {}};
        for (std::size_t l = 0; l < levels; ++l) f.levels.push_back(name + std::to_string(l + 1));
        d.within.push_back(f);
    }
    d.exact = true;
    for (const std::string& row : rows) {
        std::istringstream in(row);
        for (std::string w; in >> w;)
            if (const std::size_t point = w.find('.'); point != std::string::npos)
                d.scale = std::max(d.scale, static_cast<int>(w.size() - point - 1));
    }
    for (std::size_t s = 0; s < rows.size(); ++s) {
        d.subjects.push_back("s" + std::to_string(s + 1));
        d.group.push_back(0);
        std::istringstream in(rows[s]);
        for (std::string w; in >> w;) {
            const std::size_t point = w.find('.');
            const int places = point == std::string::npos ? 0 : static_cast<int>(w.size() - point - 1);
            Int128 units = 0;
            for (const char c : w)
                if (c >= '0' && c <= '9') units = units * 10 + (c - '0');
            for (int k = places; k < d.scale; ++k) units *= 10;
            d.units.push_back(units);
            d.rows.push_back(1);
            d.values.push_back(std::stold(w));
        }
    }
    d.subjectsRead = static_cast<std::int64_t>(rows.size());
    return d;
}

// A figure beside R's: relative agreement to `tolerance`, present where R has one.
void Near(std::optional<Extended> got, long double want, const std::string& what,
          long double tolerance = 1e-12L) {
    ASSERT_TRUE(got.has_value()) << what;
    EXPECT_LE(std::fabs(*got - want), tolerance * std::max(1.0L, std::fabs(want))) << what << ": " << *got;
}

struct ArtFigures {
    const char* key;
    long double ss, errorSs, f, p;
};

void CheckArt(const RankTests& r, const std::vector<ArtFigures>& expected) {
    ASSERT_EQ(r.alignedRanks.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const AlignedRankRow& a = r.alignedRanks[k];
        const ArtFigures& e = expected[k];
        EXPECT_EQ(a.key, e.key);
        Near(a.test.ss, e.ss, a.key + " SS");
        Near(a.test.errorSs, e.errorSs, a.key + " error SS");
        Near(a.test.f, e.f, a.key + " F");
        Near(a.test.p, e.p, a.key + " p", 1e-10L);
        // Aligned exactly: no other effect is left in the responses.
        ASSERT_TRUE(a.test.otherEffects.has_value()) << a.key;
        EXPECT_EQ(*a.test.otherEffects, 0) << a.key;
    }
}

// One within factor of 4 levels, 8 subjects with ties. R (ranks by hand, ARTool
// not installed): d has id, A, y;
//   friedman.test(m$x, m$f, m$id) on aggregate(y, list(id, A), mean)
//   d$r <- rank(y - ave(y, A) + ave(y, A) - mean(y)); summary(aov(r ~ A + Error(id/A), d))
//   ART-C: mean ranks by A, t = diff / sqrt(2 MSE / 8) on 21 df, p.adjust(p, "holm")
TEST(ChecksRTest, OneWithinFactorsRankTestsAgreeWithR) {
    const DesignData d = WithinDesign(
        {{"A", 4}}, {"3.1 4.0 4.0 5.2", "2.5 2.9 3.8 3.8", "4.4 4.1 5.0 6.1", "3.0 3.0 3.0 4.2",
                     "5.1 4.8 6.3 5.9", "2.2 3.4 3.1 4.4", "3.9 4.6 4.6 4.0", "4.0 3.7 5.5 6.0"});
    const RankTests r = Analyse(d).rankBased;
    EXPECT_TRUE(r.omitted.empty());
    EXPECT_TRUE(r.exactAlignment);
    ASSERT_EQ(r.friedman.size(), 1u);  // no test of the cells beside the factor's
    EXPECT_FALSE(r.friedman[0].cells);
    Near(r.friedman[0].test.chiSquare, 13.520547945205479L, "chi-square");
    EXPECT_EQ(r.friedman[0].test.df, 3);
    Near(r.friedman[0].test.p, 0.003636032902318623L, "Friedman p", 1e-10L);
    CheckArt(r,
             {{"A", 653.06249999999989L, 452.93750000000028L, 10.09286601352283L, 0.00025423292592715988L}});
    ASSERT_EQ(r.contrasts.size(), 6u);
    const AlignedRankContrast& c14 = r.contrasts[2].contrast;
    EXPECT_EQ(c14.first, 1);
    EXPECT_EQ(c14.second, 4);
    EXPECT_NEAR(static_cast<double>(c14.difference), 11.3125 - 22.9375, 1e-12);
    EXPECT_EQ(c14.df, 21);
    Near(c14.t, -5.0062607415506548L, "t 1-4");
    Near(c14.p, 5.9058150574435783e-05L, "p 1-4", 1e-10L);
    const long double holm[] = {0.38448993401079034626L, 0.02481769547628517175L, 0.00035434890344661471L,
                                0.12922687611943978192L, 0.00244984978156877762L, 0.12922687611943978192L};
    for (std::size_t i = 0; i < 6; ++i) Near(r.contrasts[i].contrast.pHolm, holm[i], "Holm", 1e-10L);
}

const std::vector<std::string> kThreeWithin = {"18 20 23.5 15.5 20.5 18 19.5 21.5 25 17.5 27 18.5",
                                               "8.5 11 12.5 7 12.5 5.5 14 13 11.5 13 14.5 9.5",
                                               "32 31.5 28.5 30 34.5 27 29 30.5 30.5 31.5 34 29",
                                               "21 24 22 23 25 21 27 23 24 25 30.5 25",
                                               "15.5 13.5 18.5 17 16.5 14.5 15 19.5 18 17 24 17",
                                               "26.5 23 25.5 23.5 27 20 24.5 24 30 22 32 26.5",
                                               "15 19 18 17 21 14 22 20 20 19.5 21 15"};

// A (2) x B (3) x C (2), 7 subjects, the scores halves with ties. R as above:
// friedman.test of each factor's subject means and of the 12 cells; each
// effect's aligned responses (inclusion-exclusion of ave() over its factors'
// subsets), rank(), summary(aov(r ~ A*B*C + Error(id/(A*B*C)), d)).
TEST(ChecksRTest, ThreeWithinFactorsRankTestsAgreeWithR) {
    const DesignData d = WithinDesign({{"A", 2}, {"B", 3}, {"C", 2}}, kThreeWithin);
    const RankTests r = Analyse(d).rankBased;
    ASSERT_EQ(r.friedman.size(), 4u);
    const long double friedman[][3] = {{7, 1, 0.0081509715935027018L},
                                       {2, 2, 0.36787944117144233L},
                                       {7, 1, 0.0081509715935027018L},
                                       {40.407370015143869L, 11, 3.0466424352472604e-05L}};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(r.friedman[k].cells, k == 3);
        Near(r.friedman[k].test.chiSquare, friedman[k][0], "chi-square " + std::to_string(k));
        EXPECT_EQ(r.friedman[k].test.df, static_cast<std::int64_t>(friedman[k][1]));
        Near(r.friedman[k].test.p, friedman[k][2], "Friedman p " + std::to_string(k), 1e-10L);
    }
    CheckArt(
        r, {{"A", 1542.8571428571429L, 332.18452380952402L, 27.867471822531204L, 0.0018670760682773886L},
            {"B", 199.78571428571465L, 522.29761904761983L, 2.2950789779591099L, 0.14321362918257913L},
            {"C", 1773.7619047619103L, 777.77976190476795L, 13.683271216144792L, 0.010099258535318933L},
            {"A:B", 231.73809523809655L, 816.76190476190391L, 1.7023670708955339L, 0.22344067304161744L},
            {"A:C", 37.333333333332568L, 150.87499999999858L, 1.4846727423363546L, 0.26877668971830843L},
            {"B:C", 1706.0238095238058L, 1031.0595238095248L, 9.9277904143910831L, 0.0028574214983795396L},
            {"A:B:C", 22.357142857142929L, 931.05952380952544L, 0.14407549003311659L, 0.86729779819284436L}});
    EXPECT_EQ(r.alignedRanks[6].name, "A × B × C");
    // B's mean ranks 41.32, 41.5, 44.68: its first and third level.
    ASSERT_EQ(r.contrasts.size(), 1u + 3u + 1u);
    EXPECT_EQ(r.contrasts[2].factor, 1u);
    EXPECT_NEAR(static_cast<double>(r.contrasts[2].contrast.difference),
                41.321428571428569 - 44.678571428571431, 1e-12);

    // Cells averaged from 3 and 2 rows, exact decimals or their extended
    // values alone: the values rank alike, and every figure is the same.
    DesignData averaged = d;
    const auto average = [&](std::size_t i, std::int32_t rows, Int128 more) {
        averaged.units[i] = averaged.units[i] * rows + more, averaged.rows[i] = rows;
        averaged.values[i] = static_cast<Extended>(averaged.units[i]) / (10 * rows);
    };
    average(0, 3, 1), average(12 * 2 + 5, 2, -1);
    DesignData inexact = averaged;
    inexact.exact = false, inexact.units.clear(), inexact.rows.clear();
    const RankTests ax = Analyse(averaged).rankBased, ay = Analyse(inexact).rankBased;
    EXPECT_TRUE(ax.exactAlignment);
    EXPECT_FALSE(ay.exactAlignment);
    ASSERT_EQ(ax.alignedRanks.size(), ay.alignedRanks.size());
    for (std::size_t k = 0; k < ax.alignedRanks.size(); ++k) {
        EXPECT_EQ(ax.alignedRanks[k].test.f, ay.alignedRanks[k].test.f) << ax.alignedRanks[k].key;
        EXPECT_EQ(ax.alignedRanks[k].test.otherEffects, 0) << ax.alignedRanks[k].key;
        EXPECT_EQ(ay.alignedRanks[k].test.otherEffects, 0) << ay.alignedRanks[k].key;
    }
    EXPECT_EQ(ax.friedman[3].test.chiSquare, ay.friedman[3].test.chiSquare);
}

// A mixed design: G (3 groups of 3, 4 and 5 subjects) x A (3) x B (2), the
// scores of subject s01..s12 in cells a1b1, a1b2, a2b1, a2b2, a3b1, a3b2. The
// figures of R below take it as the long data frame d (id, A, B, G, y).
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

// The checks alone (the model's sums are not needed, and scores beyond the
// extended range leave it nothing to test).
Analysis ChecksOf(const DesignData& d, const Options& options = {}) {
    const detail::Scores scores = detail::IntegerScores(d);
    Analysis out;
    std::vector<Stratum> strata = detail::StrataOf(d);
    detail::AddChecks({d, scores, options}, strata, out);
    out.strata = std::move(strata);
    out.rankBased = detail::RankTestsOf({d, scores, options});
    return out;
}

TEST(ChecksRTest, AMixedDesignsNormalityAndLeveneTestsAgreeWithR) {
    const Analysis a = Analyse(MixedDesign());
    ASSERT_EQ(a.strata.size(), 4u);
    EXPECT_EQ(a.strata[3].name, "A × B × S");
    EXPECT_EQ(a.strata[3].residuals, 72);
    // shapiro.test(m.s - m.g) of the subjects' means less their group's, and of
    // their A means less their mean, less the same of their group
    Near(a.strata[0].normality.w, 0.9473784328317L, "S W");
    Near(a.strata[0].normality.p, 0.599030762345L, "S p", 1e-9L);
    Near(a.strata[1].normality.w, 0.9736128694905L, "A x S W");
    Near(a.strata[1].normality.p, 0.532108391892L, "A x S p", 1e-9L);
    // leveneTest(y ~ G, d[d$cell == cell, ], center = mean) and center = median: F, p
    const long double levene[6][4] = {
        {1.39202156771104L, 0.297349242462229L, 0.848623761684806L, 0.459586316514133L},
        {0.0325405752852325L, 0.968096520825228L, 0.024292712186344L, 0.976063750500085L},
        {0.0577662093614215L, 0.944217646562422L, 0.0596485907617657L, 0.942464787048471L},
        {0.069347107156802L, 0.933496375824174L, 0.0211037076590903L, 0.979165719353582L},
        {0.527889673732997L, 0.607044438224349L, 0.210102201257862L, 0.814366357095618L},
        {0.328099378539637L, 0.728556787461036L, 0.096888963702026L, 0.908590623393377L}};
    ASSERT_EQ(a.levene.size(), 12u);
    for (std::size_t i = 0; i < a.levene.size(); ++i) {
        const LeveneTest& l = a.levene[i];
        const std::size_t cell = i / 2;
        const std::string what = "Levene cell " + std::to_string(cell) + (l.median ? " median" : " mean");
        EXPECT_EQ(l.median, i % 2 == 1) << what;
        EXPECT_EQ(l.at,
                  (Place{kOver, static_cast<std::int32_t>(cell / 2), static_cast<std::int32_t>(cell % 2)}));
        EXPECT_EQ(l.df1, 2) << what;
        EXPECT_EQ(l.df2, 9) << what;
        Near(l.f, levene[cell][l.median ? 2 : 0], what + " F");
        Near(l.p, levene[cell][l.median ? 3 : 1], what + " p", 1e-10L);
    }
    EXPECT_EQ(a.rankBased.omitted,
              "Not computed: the rank-based tests are defined for designs without between-subject factors.");
    EXPECT_TRUE(a.rankBased.friedman.empty() && a.rankBased.alignedRanks.empty());
    // Every group and cell's shape: 3 x 6 cells, none from the 3 scores of g1 for the kurtosis.
    ASSERT_EQ(a.cellShapes.size(), 18u);
    EXPECT_EQ(a.cellShapes[7].at, (Place{1, 0, 1}));
    EXPECT_TRUE(a.cellShapes[0].skewness && !a.cellShapes[0].excessKurtosis);
    EXPECT_TRUE(a.cellShapes[17].skewness && a.cellShapes[17].excessKurtosis);
}

// Two between factors of unequal cells (g1 h1: 2 subjects, g1 h2: 3, g2 h1: 4,
// g2 h2: 3) x A (3): leveneTest(y ~ G * H, d[d$A == "a2", ], center = mean),
// center = median; shapiro.test of the subjects' means less their between cell's.
TEST(ChecksRTest, TwoBetweenFactorsLeveneTestsAgreeWithR) {
    DesignData d;
    d.between = {{"G", {"g1", "g2"}}, {"H", {"h1", "h2"}}};
    d.within = {{"A", {"a1", "a2", "a3"}}};
    d.values = {30.9L, 21.4L, 23.9L, 16.4L, 15.8L, 16.8L, 22.8L, 21.2L, 23.0L, 28.5L, 24.0L, 32.1L,
                31.5L, 26.6L, 32.3L, 22.3L, 19.2L, 22.0L, 22.1L, 26.1L, 26.7L, 21.2L, 24.0L, 16.9L,
                25.6L, 23.4L, 26.1L, 23.6L, 19.8L, 23.0L, 24.4L, 30.2L, 29.4L, 24.5L, 24.5L, 25.1L};
    d.group = {0, 0, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3};
    for (std::size_t s = 0; s < d.group.size(); ++s) d.subjects.push_back(std::to_string(s + 1));
    const Analysis a = Analyse(d);
    ASSERT_EQ(a.levene.size(), 6u);
    EXPECT_EQ(a.levene[3].df1, 3);
    EXPECT_EQ(a.levene[3].df2, 8);
    Near(a.levene[2].f, 0.545604232188497L, "Levene a2 mean F");
    Near(a.levene[2].p, 0.664780842495091L, "Levene a2 mean p", 1e-10L);
    Near(a.levene[3].f, 0.443892028798573L, "Levene a2 median F");
    Near(a.levene[3].p, 0.728178159901708L, "Levene a2 median p", 1e-10L);
    Near(a.strata[0].normality.w, 0.930156757683176L, "S W");
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
TEST(ChecksRTest, StrataStudentizedByTheirLeverageAgreeWithR) {
    const Analysis a = Analyse(MixedDesign());
    struct Expected {
        const char* name;
        std::size_t n;
        long double t[4];  // the lowest two and the highest two
        long double normal;
    };
    const Expected r[] = {
        {"S", 12, {-1.7647222471L, -1.0353525002L, 1.4091259660L, 2.1864540138L}, 1.7316643961L},
        {"A × S", 36, {-2.0546636351L, -1.7634794465L, 2.4147644694L, 2.4939365502L}, 2.2004105812L},
        {"B × S", 24, {-1.7015809446L, -1.5350331466L, 1.5350331466L, 1.7015809446L}, 2.0368341317L},
        {"A × B × S", 72, {-2.3650635136L, -2.1817929092L, 2.1817929092L, 2.3650635136L}, 2.4601243376L},
    };
    ASSERT_EQ(a.strata.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        const Stratum& s = a.strata[k];
        const std::string what = r[k].name;
        EXPECT_EQ(s.name, what);
        ASSERT_EQ(s.quantiles.size(), r[k].n) << what;
        const std::size_t n = r[k].n;
        const QuantilePoint* ends[] = {&s.quantiles[0], &s.quantiles[1], &s.quantiles[n - 2],
                                       &s.quantiles[n - 1]};
        for (std::size_t i = 0; i < 4; ++i) Near(ends[i]->studentized, r[k].t[i], what + " t", 1e-9L);
        Near(s.quantiles.front().normal, -r[k].normal, what + " lowest normal", 1e-9L);
        Near(s.quantiles.back().normal, r[k].normal, what + " highest normal", 1e-9L);
        Near(s.largestStudentized, std::max(-r[k].t[0], r[k].t[3]), what + " largest", 1e-9L);
        EXPECT_EQ(s.beyond3, 0) << what;
        EXPECT_EQ(s.unplotted, 0) << what;
    }
    EXPECT_EQ(a.outlyingSubjects, 0);

    // Left out where asked (morvane anova writes none of them): the same W.
    Options plain;
    plain.quantilePoints = false;
    const Analysis p = Analyse(MixedDesign(), plain);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_TRUE(p.strata[k].quantiles.empty());
        EXPECT_EQ(p.strata[k].normality.w, a.strata[k].normality.w);
        EXPECT_EQ(p.strata[k].largestStudentized, a.strata[k].largestStudentized);
    }

    // A group of one subject: its residuals are zero whatever its scores, and
    // left out of the plot; the W of all of them stands.
    DesignData alone = MixedDesign();
    alone.group = {0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2};
    const Analysis b = Analyse(alone);
    const std::int64_t per[] = {1, 3, 2, 6};
    for (std::size_t k = 0; k < 4; ++k) {
        const Stratum& s = b.strata[k];
        EXPECT_EQ(s.unplotted, per[k]) << s.name;
        EXPECT_EQ(static_cast<std::int64_t>(s.quantiles.size()), s.residuals - per[k]) << s.name;
        EXPECT_TRUE(s.normality.w.has_value()) << s.name;
    }
}

// What a design leaves undefined stays absent: a between cell of one subject
// each (no pooled error); scores whose squares leave the extended range.
TEST(ChecksRTest, UndefinedChecksStayAbsent) {
    DesignData one;
    one.between = {{"G", {"g1", "g2"}}};
    one.within = {{"A", {"a1", "a2"}}};
    one.subjects = {"s1", "s2"};
    one.group = {0, 1};
    one.values = {1, 2, 3, 5};
    const Analysis a = ChecksOf(one);
    ASSERT_EQ(a.levene.size(), 4u);
    for (const LeveneTest& l : a.levene) EXPECT_FALSE(l.f || l.p);
    for (const Stratum& s : a.strata)
        EXPECT_FALSE(s.normality.w || s.largestStudentized || !s.quantiles.empty());
    for (const CellShape& c : a.cellShapes) EXPECT_FALSE(c.skewness || c.excessKurtosis);

    DesignData huge = one;
    huge.subjects = {"s1", "s2", "s3", "s4"};
    huge.group = {0, 0, 1, 1};
    huge.values = {1e3000L, -1e3000L, 3, 1, -2e3000L, 5, 1e3000L, 7};
    const Analysis h = ChecksOf(huge);
    const auto finite = [](const std::optional<Extended>& v) { return !v || std::isfinite(*v); };
    for (const LeveneTest& l : h.levene) EXPECT_TRUE(finite(l.f) && finite(l.p));
    for (const CellShape& c : h.cellShapes) EXPECT_TRUE(finite(c.skewness) && finite(c.excessKurtosis));
    for (const Stratum& s : h.strata) {
        EXPECT_TRUE(finite(s.normality.w) && finite(s.largestStudentized)) << s.name;
        for (const QuantilePoint& q : s.quantiles) EXPECT_TRUE(std::isfinite(q.studentized)) << s.name;
    }
}

}  // namespace
}  // namespace morvane::anova
