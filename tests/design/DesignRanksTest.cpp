#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "design/DesignAnalysis.h"
#include "design/detail/FollowUps.h"

namespace morvane {
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
        for (std::string w; in >> w;) {
            const std::size_t point = w.find('.');
            if (point != std::string::npos)
                d.scale = std::max(d.scale, static_cast<int>(w.size() - point - 1));
        }
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
            if (w[0] == '-') units = -units;
            d.units.push_back(units);
            d.rows.push_back(1);
            d.values.push_back(std::stold(w));
        }
    }
    d.subjectsRead = static_cast<std::int64_t>(rows.size());
    return d;
}

void Near(std::optional<Extended> got, long double want, const std::string& what,
          long double tolerance = 1e-12L) {
    ASSERT_TRUE(got.has_value()) << what;
    EXPECT_LE(std::fabs(*got - want), tolerance * std::max(1.0L, std::fabs(want))) << what << ": " << *got;
}

struct ArtFigures {
    const char* key;
    long double ss, errorSs, f, p;
};

void CheckArt(const DesignRankTests& r, const std::vector<ArtFigures>& expected) {
    ASSERT_EQ(r.alignedRanks.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const DesignAlignedRank& a = r.alignedRanks[k];
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
TEST(DesignRankTests, OneWithinFactorAgreesWithR) {
    const DesignData d = WithinDesign(
        {{"A", 4}}, {"3.1 4.0 4.0 5.2", "2.5 2.9 3.8 3.8", "4.4 4.1 5.0 6.1", "3.0 3.0 3.0 4.2",
                     "5.1 4.8 6.3 5.9", "2.2 3.4 3.1 4.4", "3.9 4.6 4.6 4.0", "4.0 3.7 5.5 6.0"});
    const DesignAnalysis a = AnalyseDesign(d);
    EXPECT_TRUE(a.rankTestsOmitted.empty());
    const DesignRankTests& r = a.rankBased;
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
TEST(DesignRankTests, ThreeWithinFactorsAgreeWithR) {
    const DesignData d = WithinDesign({{"A", 2}, {"B", 3}, {"C", 2}}, kThreeWithin);
    const DesignRankTests r = AnalyseDesign(d).rankBased;
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
    // The same scores without their exact decimals: aligned and ranked in
    // extended precision, the same figures but for rounding.
    DesignData inexact = d;
    inexact.exact = false, inexact.units.clear(), inexact.rows.clear();
    const DesignRankTests x = design::RankTests(inexact);
    EXPECT_FALSE(x.exactAlignment);
    ASSERT_EQ(x.alignedRanks.size(), r.alignedRanks.size());
    for (std::size_t k = 0; k < x.alignedRanks.size(); ++k) {
        Near(x.alignedRanks[k].test.f, *r.alignedRanks[k].test.f, "extended F " + x.alignedRanks[k].key);
        Near(x.alignedRanks[k].test.otherEffects, 0, "extended check", 1e-15L);
    }
    // Cells averaged from 3 and 2 rows: still exact (the scores 6 times over), the same figures.
    DesignData averaged = d;
    const auto average = [&](std::size_t i, std::int32_t rows, Int128 more) {
        averaged.units[i] = averaged.units[i] * rows + more, averaged.rows[i] = rows;
        averaged.values[i] = static_cast<Extended>(averaged.units[i]) / (10 * rows);
    };
    average(0, 3, 1), average(12 * 2 + 5, 2, -1);
    DesignData averagedInexact = averaged;
    averagedInexact.exact = false, averagedInexact.units.clear(), averagedInexact.rows.clear();
    const DesignRankTests ax = design::RankTests(averaged), ay = design::RankTests(averagedInexact);
    EXPECT_TRUE(ax.exactAlignment);
    ASSERT_EQ(ax.alignedRanks.size(), ay.alignedRanks.size());
    for (std::size_t k = 0; k < ax.alignedRanks.size(); ++k)
        Near(ax.alignedRanks[k].test.f, *ay.alignedRanks[k].test.f, "averaged F " + ax.alignedRanks[k].key);
    Near(ax.friedman[3].test.chiSquare, *ay.friedman[3].test.chiSquare, "averaged cells' chi-square");
    // With a between factor there are none, and the analysis says why.
    DesignData mixed = d;
    mixed.between = {{"G", {"g1", "g2"}}};
    mixed.group = {0, 1, 0, 1, 0, 1, 1};
    const DesignAnalysis m = AnalyseDesign(mixed);
    EXPECT_FALSE(m.rankTestsOmitted.empty());
    EXPECT_TRUE(m.rankBased.friedman.empty() && m.rankBased.alignedRanks.empty());
}

void SameFriedman(const FriedmanTest& a, const FriedmanTest& b, const std::string& what,
                  long double tolerance) {
    EXPECT_EQ(a.levels, b.levels) << what;
    EXPECT_EQ(a.df, b.df) << what;
    for (const auto& [x, y, name] :
         {std::tuple{a.chiSquare, b.chiSquare, "chi-square"}, std::tuple{a.p, b.p, "p"},
          std::tuple{a.kendallW, b.kendallW, "W"}, std::tuple{a.imanDavenportF, b.imanDavenportF, "F"}}) {
        ASSERT_EQ(x.has_value(), y.has_value()) << what << " " << name;
        if (x) {
            EXPECT_LE(std::fabs(*x - *y), tolerance * std::max(1.0L, std::fabs(*y))) << what << " " << name;
        }
    }
}

void SameAligned(const AlignedRankEffect& a, const AlignedRankEffect& b, const std::string& what,
                 long double tolerance) {
    EXPECT_EQ(a.df, b.df) << what;
    EXPECT_EQ(a.errorDf, b.errorDf) << what;
    for (const auto& [x, y, name] :
         {std::tuple{std::optional<Extended>(a.ss), std::optional<Extended>(b.ss), "SS"},
          std::tuple{std::optional<Extended>(a.errorSs), std::optional<Extended>(b.errorSs), "error SS"},
          std::tuple{a.f, b.f, "F"}, std::tuple{a.p, b.p, "p"},
          std::tuple{a.otherEffects, b.otherEffects, "check"}}) {
        ASSERT_EQ(x.has_value(), y.has_value()) << what << " " << name;
        if (x) {
            EXPECT_LE(std::fabs(*x - *y), tolerance * std::max(1.0L, std::fabs(*y))) << what << " " << name;
        }
    }
}

// The study of two within factors: the design's analysis gives the rank-based
// tests of the A x B x S analysis to the bit, and the general path agrees
// within rounding, on random studies of few distinct values (many ties).
TEST(DesignRankTests, TwoWithinStudyAgreesWithTheAxBxSAnalysis) {
    std::mt19937_64 random(20261210);
    const int sizes[][4] = {{6, 2, 3, 5}, {9, 3, 4, 40}, {12, 4, 2, 1000}, {5, 2, 2, 3}};
    for (const auto& size : sizes) {
        const int n = size[0], na = size[1], nb = size[2];
        std::uniform_int_distribution<int> value(0, size[3]);
        ScoreTable table;
        table.levelsA = na, table.levelsB = nb;
        std::vector<std::string> rows;
        for (int s = 0; s < n; ++s) {
            std::vector<std::string> row;
            std::string joined;
            for (int c = 0; c < na * nb; ++c) {
                const int v = value(random) + 3 * (c / nb);
                row.push_back(std::to_string(v / 10) + "." + std::to_string(v % 10));
                joined += row.back() + " ";
            }
            table.scores.push_back(row);
            rows.push_back(joined);
        }
        const DesignData d =
            WithinDesign({{"A", static_cast<std::size_t>(na)}, {"B", static_cast<std::size_t>(nb)}}, rows);
        const RankBasedResults study = AnalyseScores(table).rankBased;
        const DesignRankTests same = AnalyseDesign(d).rankBased;
        const DesignRankTests general = design::RankTests(d);
        const std::string what = std::to_string(n) + " x " + std::to_string(na) + " x " + std::to_string(nb);
        for (const auto& [r, tolerance] : {std::pair{&same, 0.0L}, std::pair{&general, 1e-12L}}) {
            const std::string which = what + (tolerance == 0 ? " study" : " general");
            ASSERT_EQ(r->friedman.size(), 3u) << which;
            SameFriedman(r->friedman[0].test, study.A, which + " Friedman A", tolerance);
            SameFriedman(r->friedman[1].test, study.B, which + " Friedman B", tolerance);
            SameFriedman(r->friedman[2].test, study.cells, which + " Friedman cells", tolerance);
            ASSERT_EQ(r->alignedRanks.size(), 3u) << which;
            SameAligned(r->alignedRanks[0].test, study.alignedA, which + " ART A", tolerance);
            SameAligned(r->alignedRanks[1].test, study.alignedB, which + " ART B", tolerance);
            SameAligned(r->alignedRanks[2].test, study.alignedAB, which + " ART AB", tolerance);
            EXPECT_EQ(r->exactAlignment, study.exactAlignment) << which;
            ASSERT_EQ(r->contrasts.size(), study.contrastsA.size() + study.contrastsB.size()) << which;
            for (std::size_t i = 0; i < r->contrasts.size(); ++i) {
                const bool ofA = i < study.contrastsA.size();
                const AlignedRankContrast& want =
                    ofA ? study.contrastsA[i] : study.contrastsB[i - study.contrastsA.size()];
                const AlignedRankContrast& got = r->contrasts[i].contrast;
                EXPECT_EQ(r->contrasts[i].factor, ofA ? 0u : 1u) << which;
                EXPECT_EQ(got.first, want.first) << which;
                EXPECT_LE(std::fabs(got.difference - want.difference), tolerance * 100) << which;
                ASSERT_EQ(got.t.has_value(), want.t.has_value()) << which;
                if (got.t) {
                    EXPECT_LE(std::fabs(*got.t - *want.t), tolerance * std::max(1.0L, std::fabs(*want.t)))
                        << which;
                }
                ASSERT_EQ(got.pHolm.has_value(), want.pHolm.has_value()) << which;
                if (got.pHolm) {
                    EXPECT_LE(std::fabs(*got.pHolm - *want.pHolm), tolerance) << which;
                }
            }
        }
    }
}

}  // namespace
}  // namespace morvane
