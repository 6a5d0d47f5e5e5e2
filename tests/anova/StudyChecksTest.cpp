// The checks and the rank-based tests of a data file's study: two studies
// against R (shapiro.test, friedman.test, aov(rank(aligned) ~ A * B +
// Error(S / (A * B))) and its ART-C contrasts, Hotelling's T^2 by solve()),
// what a study leaves undefined, the ranks alike whichever way the scores are
// ranked and whether they are exact, the cells' shapes by their formulas and
// the outlying subjects, and the Q-Q points as the sorted studentized residuals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "runtime/Errors.h"
#include "stats/QuantilePoints.h"
#include "store/DataFile.h"
#include "support/RationalArithmetic.h"

namespace morvane::anova {
namespace {

using morvane::testing::Study;

::testing::AssertionResult Near(std::optional<Extended> value, long double expected, long double relative = 1e-12L) {
    if (!value) return ::testing::AssertionFailure() << "undefined, expected " << static_cast<double>(expected);
    if (std::fabs(*value - expected) <= relative * std::max(std::fabs(expected), 1e-300L))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << static_cast<double>(*value) << " against " << static_cast<double>(expected);
}

Analysis AnalyseStudy(const StudyStore& store) {
    return Analyse(DesignFromStudy(store, '.'));
}

// The same study without its exact decimals: each score its extended value.
Analysis AnalyseInexactly(const StudyStore& store) {
    DesignData d = DesignFromStudy(store, '.');
    d.exact = false, d.scale = 0, d.units.clear(), d.rows.clear(), d.values.clear();
    for (std::int32_t s = 1; s <= store.SubjectCount; ++s)
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
                d.values.push_back(std::stold(std::string(store.CellText(s, a, b))));
    return Analyse(d);
}

StudyStore EightSubjects() {
    StudyStore store;
    LoadStudyFile(store, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    return store;
}

// The second study against R: 6 subjects, 3 x 2 levels, halves with many ties.
StudyStore TiedStudy() {
    return Study(6, 3, 2, [](int s, int a, int b) {
        const int v = (s * 7 + a * 3 + b * 5 + s * a * b) % 9;
        return std::to_string(v / 2) + (v % 2 ? ".5" : "");
    });
}

TEST(StudyChecksTest, TwoStudiesAgreeWithR) {
    struct Expected {
        StudyStore store;
        long double friedman[3][2];      // A, B, cells: chi-square, p
        long double art[3][4];           // A, B, AB: F, p, SS, error SS
        long double shapiro[4][2];       // S, A x S, B x S, A x B x S: W, p
        long double multivariate[2][2];  // the effects of more than one df: F, p
    };
    const Expected studies[] = {
        {EightSubjects(),
         {{8, 0.004677734981047268L},
          {13.612903225806452L, 0.0011066126314651745L},
          {28.270676691729324L, 3.2221725539268295e-05L}},
         {{77.979342986643005L, 4.8260897804570416e-05L, 5786.0208333333339L, 519.39583333333417L},
          {30.312570490732096L, 8.1789979155774191e-06L, 5799.2187499999982L, 1339.1979166666695L},
          {32.880460471144254L, 5.1329275105377453e-06L, 4492.6354166666661L, 956.44791666666833L}},
         {{0.94232453720422726L, 0.63408722532776185L},
          {0.98378085564944318L, 0.9864575461266043L},
          {0.93640532122628262L, 0.1355928684365251L},
          {0.94622598710043349L, 0.028347631928784284L}},
         {{15.07707222491517L, 0.004570665979391258L}, {9.1044054252970259L, 0.015224161402155623L}}},
        {TiedStudy(),
         {{2.8421052631578947L, 0.24145971495638432L}, {0, 1}, {5.8793969849246226L, 0.31813159531133312L}},
         {{2.3553129873022902L, 0.14515908858362858L, 440.54166666666595L, 935.2083333333336L},
          {0.41690416089894899L, 0.54694449915767618L, 113.77777777777769L, 1364.5555555555563L},
          {0.30305166425284807L, 0.74511058106669226L, 65.680555555555529L, 1083.652777777779L}},
         {{0.96004477313937731L, 0.82008561310824579L},
          {0.86254522353599283L, 0.013440451817195102L},
          {0.86954362346986613L, 0.064484683371726137L},
          {0.95235727933799252L, 0.1240609060386369L}},
         {{1.2307692307692311L, 0.38321995464852598L}, {1.3248407643312106L, 0.36184142922153217L}}},
    };
    for (const Expected& e : studies) {
        const Analysis r = AnalyseStudy(e.store);
        SCOPED_TRACE(r.within[0].levels.size());
        const RankTests& k = r.rankBased;
        ASSERT_EQ(k.friedman.size(), 3u);
        EXPECT_TRUE(k.friedman[2].cells);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(Near(k.friedman[static_cast<std::size_t>(i)].test.chiSquare, e.friedman[i][0]));
            EXPECT_TRUE(Near(k.friedman[static_cast<std::size_t>(i)].test.p, e.friedman[i][1]));
        }
        ASSERT_EQ(k.alignedRanks.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const AlignedRankEffect& art = k.alignedRanks[static_cast<std::size_t>(i)].test;
            EXPECT_TRUE(Near(art.f, e.art[i][0]));
            EXPECT_TRUE(Near(art.p, e.art[i][1], 1e-10L));
            EXPECT_TRUE(Near(art.ss, e.art[i][2]));
            EXPECT_TRUE(Near(art.errorSs, e.art[i][3]));
            // The effects not aligned for are gone from the aligned responses.
            ASSERT_TRUE(art.otherEffects);
            EXPECT_LT(*art.otherEffects, 1e-15L);
        }
        EXPECT_TRUE(k.exactAlignment);
        ASSERT_EQ(r.strata.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(Near(r.strata[i].normality.w, e.shapiro[i][0]));
            EXPECT_TRUE(Near(r.strata[i].normality.p, e.shapiro[i][1], 1e-9L));
        }
        // A has two levels in the first study, B in the second: one df.
        const bool twoLevelsA = r.within[0].levels.size() == 2;
        EXPECT_EQ(r.effects[twoLevelsA ? 0 : 1].multivariate->status, MultivariateStatus::OneDf);
        const MultivariateTest* both[] = {&*r.effects[twoLevelsA ? 1 : 0].multivariate, &*r.effects[2].multivariate};
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(both[i]->status, MultivariateStatus::Tested);
            EXPECT_TRUE(Near(both[i]->pillai.f, e.multivariate[i][0]));
            EXPECT_TRUE(Near(both[i]->pillai.p, e.multivariate[i][1], 1e-10L));
        }
    }
}

TEST(StudyChecksTest, AlignedRankContrastsAgreeWithR) {
    // R: the responses aligned for A (for B), rank(), aov(r ~ A * B + Error(S / (A * B))), and each
    // pair's difference of mean ranks over sqrt(2 MSE / (n b)) of the S:A (S:B) stratum, 2 pt().
    struct Expected {
        std::size_t factor;
        int first, second;
        long double difference, se, t, p;
    };
    const std::vector<Expected> ofEight = {
        {0, 1, 2, -21.958333333333329L, 2.4866209462157158L, -8.8305913157977685L, 4.8260897804570585e-05L},
        {1, 1, 2, -12.03125L, 3.4579074967315719L, -3.479344086379403L, 0.0036833666293934523L},
        {1, 1, 3, -26.875L, 3.4579074967315719L, -7.7720413358085372L, 1.9141899405344763e-06L},
        {1, 2, 3, -14.84375L, 3.4579074967315719L, -4.2926972494291338L, 0.00074398294268556917L}};
    const std::vector<Expected> ofTied = {
        {0, 1, 2, 8.0416666666666679L, 3.9480128616248908L, 2.0368896831194578L, 0.069005333339105135L},
        {0, 1, 3, 1.4583333333333357L, 3.9480128616248908L, 0.36938413942580894L, 0.71954309666486016L},
        {0, 2, 3, -6.5833333333333321L, 3.9480128616248908L, -1.6675055436936488L, 0.12637788218243248L},
        {1, 1, 2, -3.5555555555555571L, 5.5066738409064575L, -0.64568116040267864L, 0.54694449915767585L}};
    const StudyStore eight = EightSubjects(), tied = TiedStudy();
    for (const auto& [store, expected] : {std::pair{&eight, &ofEight}, std::pair{&tied, &ofTied}}) {
        const RankTests r = AnalyseStudy(*store).rankBased;
        ASSERT_EQ(r.contrasts.size(), expected->size());
        for (std::size_t i = 0; i < r.contrasts.size(); ++i) {
            const Expected& e = (*expected)[i];
            const AlignedRankContrast& c = r.contrasts[i].contrast;
            EXPECT_EQ(r.contrasts[i].factor, e.factor);
            EXPECT_EQ(c.first, e.first);
            EXPECT_EQ(c.second, e.second);
            EXPECT_TRUE(Near(c.difference, e.difference)) << i;
            EXPECT_TRUE(Near(c.se, e.se)) << i;
            EXPECT_TRUE(Near(c.t, e.t)) << i;
            EXPECT_TRUE(Near(c.p, e.p, 1e-10L)) << i;
        }
        // Holm within each factor: the least p of B's three times the family's size.
        if (expected == &ofEight) {
            EXPECT_TRUE(Near(r.contrasts[2].contrast.pHolm, 3 * *r.contrasts[2].contrast.p));
        }
        // A two-level factor's one contrast is its F test: t^2 = F.
        const AlignedRankContrast& only = r.contrasts[expected == &ofEight ? 0 : 3].contrast;
        EXPECT_TRUE(Near(*only.t * *only.t, *r.alignedRanks[expected == &ofEight ? 0 : 1].test.f, 1e-15L));
    }
    // Without exact decimals (sorted, in extended precision) the same contrasts.
    const RankTests inexact = AnalyseInexactly(tied).rankBased;
    EXPECT_FALSE(inexact.exactAlignment);
    ASSERT_EQ(inexact.contrasts.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(Near(inexact.contrasts[i].contrast.t, ofTied[i].t));
}

TEST(StudyChecksTest, UndefinedWhereTheStudyCannotTellAndNeverNaN) {
    // 3 subjects for the 3 contrasts of A (4 levels): N - 1 is below them; B's
    // 2 contrasts are tested on one degree of freedom of error.
    Analysis r = AnalyseStudy(Study(3, 4, 3, [](int s, int a, int b) {
        return std::to_string((s * s * 7 + a * b * b * 3 + s * b * 5 + a) % 13);
    }));
    EXPECT_EQ(r.effects[0].multivariate->status, MultivariateStatus::TooFewSubjects);
    EXPECT_EQ(r.effects[2].multivariate->status, MultivariateStatus::TooFewSubjects);
    ASSERT_EQ(r.effects[1].multivariate->status, MultivariateStatus::Tested);
    EXPECT_EQ(r.effects[1].multivariate->roy.df2, 1);

    // B's first two levels always equal: a contrast of zero, no inverse.
    r = AnalyseStudy(Study(5, 2, 3, [](int s, int a, int b) { return std::to_string(b == 3 ? s * a % 4 : s + a); }));
    EXPECT_EQ(r.effects[1].multivariate->status, MultivariateStatus::Singular);

    // Every score the same: nothing to test, rank or studentize.
    r = AnalyseStudy(Study(6, 3, 3, [](int, int, int) { return "7.25"; }));
    EXPECT_EQ(r.effects[0].multivariate->status, MultivariateStatus::Singular);
    for (const FriedmanRow& f : r.rankBased.friedman) {
        EXPECT_FALSE(f.test.chiSquare);
        EXPECT_TRUE(Near(f.test.tieCorrection, 0));
    }
    EXPECT_FALSE(r.rankBased.alignedRanks.at(0).test.f);
    for (const Stratum& s : r.strata) EXPECT_FALSE(s.normality.w || s.largestStudentized);
    for (const CellShape& c : r.cellShapes) EXPECT_FALSE(c.skewness || c.excessKurtosis);

    // Scores near the format's limits: whatever leaves it is undefined, never infinite.
    try {
        r = AnalyseStudy(Study(5, 3, 3, [](int s, int a, int b) {
            return s == 1 && a == 1 && b == 1 ? std::string("1") : std::to_string(s * a + b * b % 7) + "e1300";
        }));
        for (const Stratum& s : r.strata)
            for (const auto& v : {s.normality.w, s.normality.p, s.largestStudentized})
                EXPECT_TRUE(!v || std::isfinite(*v)) << s.name;
        for (const CellShape& c : r.cellShapes)
            EXPECT_TRUE((!c.skewness || std::isfinite(*c.skewness)) &&
                        (!c.excessKurtosis || std::isfinite(*c.excessKurtosis)));
    } catch (const OverflowError&) {
    }
}

// The ranks of the aligned rank transform and of Friedman's test of the cells
// come out alike whichever way the scores are ranked.
TEST(StudyChecksTest, RankedAlikeWhicheverWay) {
    // Scores too spread for counting by value are sorted, to the same ranks.
    const StudyStore tied = TiedStudy();
    const Analysis narrow = AnalyseStudy(tied);
    const Analysis wide = AnalyseStudy(Study(6, 3, 2, [&](int s, int a, int b) {
        return std::to_string(static_cast<long>(std::stold(std::string(tied.CellText(s, a, b))) * 2) * 100003);
    }));
    EXPECT_TRUE(wide.rankBased.exactAlignment);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(wide.rankBased.alignedRanks[i].test.f, narrow.rankBased.alignedRanks[i].test.f);
    EXPECT_EQ(wide.rankBased.friedman[2].test.chiSquare, narrow.rankBased.friedman[2].test.chiSquare);
    // And on a larger study of many ties and cells whose shifts differ in sign.
    std::mt19937 random(7);
    std::vector<int> drawn(40 * 3 * 4);
    for (int& v : drawn) v = static_cast<int>(random() % 41) - 20;
    const auto drawnScore = [&](int s, int a, int b, long times) {
        return std::to_string((drawn[static_cast<std::size_t>(((s - 1) * 3 + a - 1) * 4 + b - 1)] + a * b) * times);
    };
    const Analysis binned = AnalyseStudy(Study(40, 3, 4, [&](int s, int a, int b) { return drawnScore(s, a, b, 1); }));
    const Analysis sorted =
        AnalyseStudy(Study(40, 3, 4, [&](int s, int a, int b) { return drawnScore(s, a, b, 100003); }));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(binned.rankBased.alignedRanks[i].test.f, sorted.rankBased.alignedRanks[i].test.f);
        EXPECT_LT(*binned.rankBased.alignedRanks[i].test.otherEffects, 1e-15L);
    }

    // Without exact decimals the scores are ranked as their exact values are.
    const Analysis extended = AnalyseInexactly(tied);
    EXPECT_FALSE(extended.rankBased.exactAlignment);
    EXPECT_EQ(extended.rankBased.friedman[2].test.chiSquare, narrow.rankBased.friedman[2].test.chiSquare);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(Near(extended.rankBased.alignedRanks[i].test.f, *narrow.rankBased.alignedRanks[i].test.f, 1e-15L));
}

TEST(StudyChecksTest, CellShapesAndOutlyingSubjects) {
    // 12 subjects near a pattern, subject 5 far off in one cell.
    const StudyStore store = Study(12, 2, 2, [](int s, int a, int b) {
        const int v = 10 * a + 3 * b + (s * 7 + a * 5 + b * 3) % 5;
        return std::to_string(s == 5 && a == 2 && b == 1 ? v + 40 : v);
    });
    const Analysis r = AnalyseStudy(store);
    ASSERT_EQ(r.outlying.size(), 1u);
    EXPECT_EQ(r.subjectIds.at(r.outlying[0].subject), "5");
    EXPECT_EQ(r.outlyingSubjects, 1);
    // G1 and G2 of each cell by their formulas in the test's own doubles.
    ASSERT_EQ(r.cellShapes.size(), 4u);
    for (const CellShape& c : r.cellShapes) {
        std::vector<double> x;
        for (int s = 1; s <= 12; ++s) x.push_back(std::stod(std::string(store.CellText(s, c.at[0] + 1, c.at[1] + 1))));
        double mean = 0, m2 = 0, m3 = 0, m4 = 0;
        for (double v : x) mean += v / 12;
        for (double v : x)
            m2 += std::pow(v - mean, 2) / 12, m3 += std::pow(v - mean, 3) / 12, m4 += std::pow(v - mean, 4) / 12;
        const double g1 = m3 / std::pow(m2, 1.5), g2 = m4 / (m2 * m2) - 3;
        EXPECT_TRUE(Near(c.skewness, g1 * std::sqrt(12.0 * 11) / 10, 1e-12L));
        EXPECT_TRUE(Near(c.excessKurtosis, 11 * (13 * g2 + 6) / (10.0 * 9), 1e-12L));
    }
    // Without exact decimals the same checks, to rounding.
    const Analysis extended = AnalyseInexactly(store);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_TRUE(Near(extended.strata[k].normality.w, *r.strata[k].normality.w, 1e-15L));
        EXPECT_TRUE(Near(extended.strata[k].largestStudentized, *r.strata[k].largestStudentized, 1e-15L));
        EXPECT_EQ(extended.strata[k].beyond3, r.strata[k].beyond3);
    }
    for (std::size_t c = 0; c < 4; ++c) EXPECT_TRUE(Near(extended.cellShapes[c].skewness, *r.cellShapes[c].skewness, 1e-14L));
    EXPECT_EQ(extended.outlyingSubjects, 1);
}

TEST(StudyChecksTest, QuantilePlotPointsAreTheSortedStudentizedResiduals) {
    // Subjects' residuals m(s) - m of a 12 x 2 x 2 study, and the A x B x S
    // residuals of studies of 3,000 and 20,000 subjects, whose plot is thinned
    // to the tails and evenly spaced ranks; all against a sort in the test's own doubles.
    const auto value = [](int s, int a, int b) { return (s * 37 + a * 11 + b * 5 + s * a * b * 3) % 23; };
    for (int subjects : {12, 3000, 20000}) {
        const Analysis r =
            AnalyseStudy(Study(subjects, 2, 2, [&](int s, int a, int b) { return std::to_string(value(s, a, b)); }));
        const std::size_t k = subjects == 12 ? 0 : 3;  // S, or A x B x S
        const auto n = static_cast<std::size_t>(subjects);
        const auto y = [&](std::size_t s, std::size_t a, std::size_t b) {
            return static_cast<double>(value(static_cast<int>(s + 1), static_cast<int>(a + 1), static_cast<int>(b + 1)));
        };
        // Means of each subject (sm), subject and level (sa, sb), cell (ab) and
        // all, summed as whole numbers (exact in doubles), each divided once.
        std::vector<double> e, sm(n, 0), sa(2 * n, 0), sb(2 * n, 0), ab(4, 0);
        double all = 0;
        for (std::size_t s = 0; s < n; ++s)
            for (std::size_t a = 0; a < 2; ++a)
                for (std::size_t b = 0; b < 2; ++b) {
                    sm[s] += y(s, a, b), sa[2 * s + a] += y(s, a, b), sb[2 * s + b] += y(s, a, b);
                    ab[2 * a + b] += y(s, a, b), all += y(s, a, b);
                }
        for (double& v : sm) v /= 4;
        for (double& v : sa) v /= 2;
        for (double& v : sb) v /= 2;
        for (double& v : ab) v /= static_cast<double>(n);
        all /= 4.0 * static_cast<double>(n);
        for (std::size_t s = 0; s < n; ++s) {
            if (k == 0) e.push_back(sm[s] - all);
            for (std::size_t a = 0; k == 3 && a < 2; ++a)
                for (std::size_t b = 0; b < 2; ++b) {
                    const double ma = (ab[2 * a] + ab[2 * a + 1]) / 2, mb = (ab[b] + ab[2 + b]) / 2;
                    e.push_back(y(s, a, b) - sa[2 * s + a] - sb[2 * s + b] - ab[2 * a + b] + sm[s] + ma + mb - all);
                }
        }
        std::sort(e.begin(), e.end());
        double squares = 0;
        for (double v : e) squares += v * v;
        const double scale = std::sqrt(squares / static_cast<double>(e.size()));
        const std::vector<QuantilePoint>& q = r.strata[k].quantiles;
        const std::vector<std::size_t> ranks = QuantileRanks(e.size());
        ASSERT_EQ(q.size(), ranks.size());
        ASSERT_EQ(q.size(), subjects == 12 ? 12u : kQuantilePoints);
        for (std::size_t i = 0; i < q.size(); ++i) {
            EXPECT_EQ(q[i].rank, ranks[i]);
            EXPECT_NEAR(static_cast<double>(q[i].studentized), e[ranks[i]] / scale, 1e-12) << i;
            if (i > 0) {
                EXPECT_LT(q[i - 1].normal, q[i].normal);
            }
        }
        if (subjects == 12) {
            // R's qnorm(ppoints(12)).
            const double normal[] = {-1.7316643961222451, -1.1503493803760079,  -0.81221780149991285,
                                     -0.548522282698098,  -0.31863936396437514, -0.10463345561407539};
            for (std::size_t i = 0; i < 6; ++i) {
                EXPECT_NEAR(static_cast<double>(q[i].normal), normal[i], 1e-14);
                EXPECT_NEAR(static_cast<double>(q[11 - i].normal), -normal[i], 1e-14);
            }
        } else {
            EXPECT_EQ(ranks.front(), 0u);
            EXPECT_EQ(ranks[kQuantileTail - 1], kQuantileTail - 1);
            EXPECT_EQ(ranks[kQuantilePoints - kQuantileTail], e.size() - kQuantileTail);
            EXPECT_EQ(ranks.back(), e.size() - 1);
        }
    }
    // A stratum with no residuals has no plot.
    for (const Stratum& s : AnalyseStudy(Study(5, 2, 2, [](int, int, int) { return std::string("4"); })).strata)
        EXPECT_TRUE(s.quantiles.empty());
}

}  // namespace
}  // namespace morvane::anova
