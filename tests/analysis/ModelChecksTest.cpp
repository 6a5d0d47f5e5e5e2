// The multivariate tests, the assumption checks and the rank-based analysis:
// two studies against R (figures computed with R's shapiro.test,
// friedman.test, aov(rank(aligned) ~ A * B + Error(S / (A * B))) and
// Hotelling's T^2 by solve()), Hotelling's T^2 against rational arithmetic
// of the test's own on contrasts of another basis, Friedman's statistic by
// its formula, and the undefined cases.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "analysis/detail/ModelCheckSteps.h"
#include "exact/ExactPartition.h"
#include "output/AnalysisJson.h"
#include "output/AnovaFormats.h"
#include "output/ModelCheckTables.h"
#include "runtime/Errors.h"
#include "stats/detail/FriedmanRanks.h"
#include "store/DataFile.h"
#include "support/RationalArithmetic.h"

namespace morvane {
namespace {

// A NaN or an infinity as printf writes them, as a word of its own (a key such
// as "chiSquareInfinite" is not one).
const std::regex kNotANumber(R"((^|[^A-Za-z])(nan|inf|NaN|Inf|NAN|INF)([^A-Za-z]|$))");

using testing::Study;

::testing::AssertionResult Near(std::optional<Extended> value, long double expected,
                                long double relative = 1e-12L) {
    if (!value)
        return ::testing::AssertionFailure() << "undefined, expected " << static_cast<double>(expected);
    if (std::fabs(*value - expected) <= relative * std::max(std::fabs(expected), 1e-300L))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << static_cast<double>(*value) << " against " << static_cast<double>(expected);
}

// The study's scores as extended numbers in `values`, for the checks' extended path.
CellScores ExtendedScoresOf(StudyStore& store, int n, int na, int nb, std::vector<Extended>& values) {
    for (int s = 1; s <= n; ++s)
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b) values.push_back(std::stold(store.CellText(s, a, b)));
    CellScores scores;
    scores.n = static_cast<std::size_t>(n), scores.na = static_cast<std::size_t>(na),
    scores.nb = static_cast<std::size_t>(nb), scores.values = values.data();
    return scores;
}

// The second study against R: 6 subjects, 3 x 2 levels, halves with many ties.
StudyStore TiedStudy() {
    return Study(6, 3, 2, [](int s, int a, int b) {
        const int v = (s * 7 + a * 3 + b * 5 + s * a * b) % 9;
        return std::to_string(v / 2) + (v % 2 ? ".5" : "");
    });
}

TEST(ModelChecks, TwoStudiesAgreeWithR) {
    StudyStore eight;
    LoadStudyFile(eight, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    StudyStore tied = TiedStudy();
    struct Expected {
        StudyStore* store;
        long double friedman[3][2];      // A, B, cells: chi-square, p
        long double art[3][4];           // A, B, AB: F, p, SS, error SS
        long double shapiro[4][2];       // S, A x S, B x S, A x B x S: W, p
        long double multivariate[2][2];  // the effect of more than one df: F, p
    };
    const Expected studies[] = {
        {&eight,
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
        {&tied,
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
        const FullAnalysis r = AnalyseStudy(*e.store, '.');
        SCOPED_TRACE(r.levelsA);
        const FriedmanTest* friedman[] = {&r.rankBased.A, &r.rankBased.B, &r.rankBased.cells};
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(Near(friedman[i]->chiSquare, e.friedman[i][0]));
            EXPECT_TRUE(Near(friedman[i]->p, e.friedman[i][1]));
        }
        const AlignedRankEffect* art[] = {&r.rankBased.alignedA, &r.rankBased.alignedB,
                                          &r.rankBased.alignedAB};
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(Near(art[i]->f, e.art[i][0]));
            EXPECT_TRUE(Near(art[i]->p, e.art[i][1], 1e-10L));
            EXPECT_TRUE(Near(art[i]->ss, e.art[i][2]));
            EXPECT_TRUE(Near(art[i]->errorSs, e.art[i][3]));
            // The effects not aligned for are gone from the aligned responses.
            ASSERT_TRUE(art[i]->otherEffects);
            EXPECT_LT(*art[i]->otherEffects, 1e-15L);
        }
        EXPECT_TRUE(r.rankBased.exactAlignment);
        ASSERT_EQ(r.assumptions.strata.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(Near(r.assumptions.strata[static_cast<std::size_t>(i)].normality.w, e.shapiro[i][0]));
            EXPECT_TRUE(
                Near(r.assumptions.strata[static_cast<std::size_t>(i)].normality.p, e.shapiro[i][1], 1e-9L));
        }
        // A has two levels in the first study, B in the second: one df.
        const bool twoLevelsA = r.levelsA == 2;
        EXPECT_EQ((twoLevelsA ? r.multivariate.A : r.multivariate.B).status, MultivariateStatus::OneDf);
        const MultivariateEffect& tested = twoLevelsA ? r.multivariate.B : r.multivariate.A;
        const MultivariateEffect* both[] = {&tested, &r.multivariate.AB};
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(both[i]->status, MultivariateStatus::Tested);
            EXPECT_TRUE(Near(both[i]->f, e.multivariate[i][0]));
            EXPECT_TRUE(Near(both[i]->p, e.multivariate[i][1], 1e-10L));
        }
    }
}

// Hotelling's T^2 of the contrasts d by its definition n m' S^-1 m in rationals.
mpq_class HotellingT2(const std::vector<std::vector<mpq_class>>& d) {
    const std::size_t n = d.size(), k = d[0].size();
    std::vector<mpq_class> m(k, 0);
    for (const auto& row : d)
        for (std::size_t i = 0; i < k; ++i) m[i] += row[i] / static_cast<long>(n);
    std::vector<std::vector<mpq_class>> s(k, std::vector<mpq_class>(k + 1, 0));
    for (const auto& row : d)
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = 0; j < k; ++j)
                s[i][j] += (row[i] - m[i]) * (row[j] - m[j]) / static_cast<long>(n - 1);
    for (std::size_t i = 0; i < k; ++i) s[i][k] = m[i];
    for (std::size_t c = 0; c < k; ++c) {  // Gauss-Jordan on [S | m]
        std::size_t pivot = c;
        while (s[pivot][c] == 0) ++pivot;
        std::swap(s[c], s[pivot]);
        for (std::size_t r = 0; r < k; ++r) {
            if (r == c || s[r][c] == 0) continue;
            const mpq_class factor = s[r][c] / s[c][c];
            for (std::size_t j = c; j <= k; ++j) s[r][j] -= factor * s[c][j];
        }
    }
    mpq_class t2 = 0;
    for (std::size_t i = 0; i < k; ++i) t2 += m[i] * s[i][k] / s[i][i];
    return t2 * static_cast<long>(n);
}

TEST(ModelChecks, HotellingT2AgreesWithRationalArithmeticOnContrastsOfAnotherBasis) {
    std::mt19937 random(20261209);
    for (const auto& size : {std::tuple{9, 3, 4}, std::tuple{12, 4, 3}, std::tuple{30, 5, 2}}) {
        const int n = std::get<0>(size), na = std::get<1>(size), nb = std::get<2>(size);
        SCOPED_TRACE(n * 100 + na * 10 + nb);
        std::vector<int> y(static_cast<std::size_t>(n * na * nb));
        for (int& v : y) v = static_cast<int>(random() % 41) - 20;
        const auto at = [&](int s, int a, int b) {
            return y[static_cast<std::size_t>((s * na + a) * nb + b)];
        };
        StudyStore store =
            Study(n, na, nb, [&](int s, int a, int b) { return std::to_string(at(s - 1, a - 1, b - 1)); });
        const FullAnalysis r = AnalyseStudy(store, '.');
        // Successive differences of the levels' sums, and differences of differences of the cells.
        const auto rows = static_cast<std::size_t>(n);
        std::vector<std::vector<mpq_class>> dA(rows), dB(rows), dAB(rows);
        for (int s = 0; s < n; ++s) {
            for (int a = 0; a + 1 < na; ++a) {
                mpq_class sum = 0;
                for (int b = 0; b < nb; ++b) sum += at(s, a, b) - at(s, a + 1, b);
                dA[static_cast<std::size_t>(s)].push_back(sum);
            }
            for (int b = 0; b + 1 < nb; ++b) {
                mpq_class sum = 0;
                for (int a = 0; a < na; ++a) sum += at(s, a, b) - at(s, a, b + 1);
                dB[static_cast<std::size_t>(s)].push_back(sum);
            }
            for (int a = 0; a + 1 < na; ++a)
                for (int b = 0; b + 1 < nb; ++b)
                    dAB[static_cast<std::size_t>(s)].push_back(at(s, a, b) - at(s, a + 1, b) -
                                                               at(s, a, b + 1) + at(s, a + 1, b + 1));
        }
        const std::pair<const MultivariateEffect*, std::vector<std::vector<mpq_class>>*> effects[] = {
            {&r.multivariate.A, &dA}, {&r.multivariate.B, &dB}, {&r.multivariate.AB, &dAB}};
        for (const auto& [effect, d] : effects) {
            const auto k = static_cast<long>((*d)[0].size());
            if (k < 2) {
                EXPECT_EQ(effect->status, MultivariateStatus::OneDf);
                continue;
            }
            ASSERT_EQ(effect->status, MultivariateStatus::Tested);
            const mpq_class t2 = HotellingT2(*d);
            EXPECT_TRUE(Near(effect->hotellingT2, t2.get_d(), 1e-13L));
            const mpq_class lambda = t2 / (n - 1), f = lambda * (n - k) / k;
            EXPECT_TRUE(Near(effect->f, f.get_d(), 1e-13L));
            EXPECT_TRUE(Near(effect->pillai, mpq_class(lambda / (1 + lambda)).get_d(), 1e-13L));
            EXPECT_TRUE(Near(effect->wilks, mpq_class(1 / (1 + lambda)).get_d(), 1e-13L));
            EXPECT_TRUE(Near(effect->hotellingLawley, lambda.get_d(), 1e-13L));
            EXPECT_EQ(effect->roy, effect->hotellingLawley);
            EXPECT_EQ(effect->df1, k);
            EXPECT_EQ(effect->df2, n - k);
        }
    }
}

TEST(ModelChecks, UndefinedWhereTheStudyCannotTellAndNeverNaN) {
    // 3 subjects for the 3 contrasts of A (4 levels): N - 1 is below them; B's
    // 2 contrasts are tested on one degree of freedom of error.
    StudyStore few = Study(3, 4, 3, [](int s, int a, int b) {
        return std::to_string((s * s * 7 + a * b * b * 3 + s * b * 5 + a) % 13);
    });
    FullAnalysis r = AnalyseStudy(few, '.');
    EXPECT_EQ(r.multivariate.A.status, MultivariateStatus::TooFewSubjects);
    EXPECT_EQ(r.multivariate.AB.status, MultivariateStatus::TooFewSubjects);
    ASSERT_EQ(r.multivariate.B.status, MultivariateStatus::Tested);
    EXPECT_EQ(r.multivariate.B.df2, 1);
    std::string text = FormatAnalysis(r, AnovaFormat::Text);
    EXPECT_NE(text.find("A: undefined: N - 1 = 2 is below the 3 contrasts."), std::string::npos);

    // B's first two levels always equal: a contrast of zero, no inverse.
    StudyStore singular =
        Study(5, 2, 3, [](int s, int a, int b) { return std::to_string(b == 3 ? s * a % 4 : s + a); });
    r = AnalyseStudy(singular, '.');
    EXPECT_EQ(r.multivariate.B.status, MultivariateStatus::Singular);

    // Every score the same: nothing to test, rank or studentize, and no NaN anywhere.
    StudyStore constant = Study(6, 3, 3, [](int, int, int) { return "7.25"; });
    r = AnalyseStudy(constant, '.');
    EXPECT_EQ(r.multivariate.A.status, MultivariateStatus::Singular);
    for (const FriedmanTest* f : {&r.rankBased.A, &r.rankBased.B, &r.rankBased.cells}) {
        EXPECT_FALSE(f->chiSquare);
        EXPECT_TRUE(Near(f->tieCorrection, 0));
    }
    EXPECT_FALSE(r.rankBased.alignedA.f);
    for (const StratumCheck& s : r.assumptions.strata) {
        EXPECT_FALSE(s.normality.w);
        EXPECT_FALSE(s.largestStudentized);
    }
    for (const CellShape& c : r.assumptions.cells) EXPECT_FALSE(c.skewness || c.excessKurtosis);
    for (AnovaFormat format :
         {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv, AnovaFormat::Json}) {
        text = FormatAnalysis(r, format);
        EXPECT_FALSE(std::regex_search(text, kNotANumber)) << text;
    }
    // Scores near the format's limits: whatever leaves it is undefined, never infinite.
    StudyStore huge = Study(5, 3, 3, [](int s, int a, int b) {
        return s == 1 && a == 1 && b == 1 ? std::string("1") : std::to_string(s * a + b * b % 7) + "e1300";
    });
    try {
        r = AnalyseStudy(huge, '.');
        for (AnovaFormat format : {AnovaFormat::Text, AnovaFormat::Json}) {
            text = FormatAnalysis(r, format);
            EXPECT_FALSE(std::regex_search(text, kNotANumber)) << text;
        }
    } catch (const OverflowError&) {
    }
    r = AnalyseStudy(constant, '.');
    EXPECT_NE(FormatAnalysis(r, AnovaFormat::Json).find("\"multivariate\":{\"A\":{\"status\":\"singular\""),
              std::string::npos);
}

// The ranks of the aligned rank transform and of Friedman's test of the cells
// come out alike whichever way the scores are ranked.
TEST(ModelChecks, RankedAlikeWhicheverWay) {
    // Scores too spread for counting by value are sorted, to the same ranks.
    StudyStore spread = Study(6, 3, 2, [&](int s, int a, int b) {
        return std::to_string(static_cast<long>(std::stold(TiedStudy().CellText(s, a, b)) * 2) * 100003);
    });
    const FullAnalysis wide = AnalyseStudy(spread, '.');
    EXPECT_TRUE(wide.rankBased.exactAlignment);
    StudyStore tiedAgain = TiedStudy();
    const FullAnalysis narrow = AnalyseStudy(tiedAgain, '.');
    for (const auto& [x, y] : {std::pair{&wide.rankBased.alignedA, &narrow.rankBased.alignedA},
                               std::pair{&wide.rankBased.alignedB, &narrow.rankBased.alignedB},
                               std::pair{&wide.rankBased.alignedAB, &narrow.rankBased.alignedAB}})
        EXPECT_EQ(x->f, y->f);
    EXPECT_EQ(wide.rankBased.cells.chiSquare, narrow.rankBased.cells.chiSquare);
    // And on a larger study of many ties and cells whose shifts differ in sign.
    std::mt19937 random(7);
    std::vector<int> drawn(40 * 3 * 4);
    for (int& v : drawn) v = static_cast<int>(random() % 41) - 20;
    const auto drawnScore = [&](int s, int a, int b, long times) {
        return std::to_string((drawn[static_cast<std::size_t>(((s - 1) * 3 + a - 1) * 4 + b - 1)] + a * b) *
                              times);
    };
    StudyStore fewValues = Study(40, 3, 4, [&](int s, int a, int b) { return drawnScore(s, a, b, 1); });
    StudyStore manyValues = Study(40, 3, 4, [&](int s, int a, int b) { return drawnScore(s, a, b, 100003); });
    const FullAnalysis binned = AnalyseStudy(fewValues, '.'), sorted = AnalyseStudy(manyValues, '.');
    for (const auto& [x, y] : {std::pair{&binned.rankBased.alignedA, &sorted.rankBased.alignedA},
                               std::pair{&binned.rankBased.alignedB, &sorted.rankBased.alignedB},
                               std::pair{&binned.rankBased.alignedAB, &sorted.rankBased.alignedAB}}) {
        EXPECT_EQ(x->f, y->f);
        EXPECT_LT(*x->otherEffects, 1e-15L);
    }

    // The extended path ranks as the integer path does.
    StudyStore tied = TiedStudy();
    const FullAnalysis r = AnalyseStudy(tied, '.');
    std::vector<Extended> values;
    const CellScores scores = ExtendedScoresOf(tied, 6, 3, 2, values);
    const RankBasedResults extended = RankBasedAnalysis(scores);
    EXPECT_FALSE(extended.exactAlignment);
    EXPECT_EQ(extended.cells.chiSquare, r.rankBased.cells.chiSquare);
    for (const auto& [x, y] : {std::pair{&extended.alignedA, &r.rankBased.alignedA},
                               std::pair{&extended.alignedB, &r.rankBased.alignedB},
                               std::pair{&extended.alignedAB, &r.rankBased.alignedAB}})
        EXPECT_TRUE(Near(x->f, *y->f, 1e-15L));
}

TEST(ModelChecks, ScoresCountedByValueWhereTheirRangeIsNarrow) {
    // 30 subjects of 2 x 3 cells, integers from -7 to 12: each cell's counts
    // add up to the subjects and its totals to the scores', and Friedman's
    // test of the cells told the extremes is the test that finds them.
    std::mt19937 random(11);
    std::vector<std::int32_t> y(30 * 6);
    for (std::int32_t& v : y) v = static_cast<std::int32_t>(random() % 20) - 7;
    y[5] = -7, y[17] = 12;
    CellScores scores;
    scores.n = 30, scores.na = 2, scores.nb = 3, scores.integers = y.data(), scores.bound = 12;
    const std::optional<ValueCounts> counts = CountValues(scores);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->least, -7);
    EXPECT_EQ(counts->range, 20u);
    for (std::size_t c = 0; c < 6; ++c) {
        std::uint32_t subjects = 0;
        std::int64_t total = 0;
        for (std::size_t v = 0; v < counts->range; ++v) subjects += counts->counts[c * counts->range + v];
        for (std::size_t s = 0; s < 30; ++s) total += y[s * 6 + c];
        EXPECT_EQ(subjects, 30u);
        EXPECT_EQ(counts->cellTotals[c], total);
    }
    const FriedmanTest found = Friedman(y.data(), 30, 6),
                       told = detail::FriedmanOfIntegers(y.data(), 30, 6, -7, 12);
    EXPECT_EQ(found.chiSquare, told.chiSquare);
    EXPECT_EQ(found.tieCorrection, told.tieCorrection);
    // A range too wide for the cells, or no integers: no counts.
    y[0] = 1000000;
    EXPECT_FALSE(CountValues(scores));
    scores.integers = nullptr;
    EXPECT_FALSE(CountValues(scores));
}

TEST(ModelChecks, CellShapesAndOutlyingSubjects) {
    // 12 subjects near a pattern, subject 5 far off in one cell.
    StudyStore store = Study(12, 2, 2, [](int s, int a, int b) {
        const int v = 10 * a + 3 * b + (s * 7 + a * 5 + b * 3) % 5;
        return std::to_string(s == 5 && a == 2 && b == 1 ? v + 40 : v);
    });
    const FullAnalysis r = AnalyseStudy(store, '.');
    ASSERT_EQ(r.assumptions.outlying.size(), 1u);
    EXPECT_EQ(r.assumptions.outlying[0].subject, 5);
    EXPECT_EQ(r.assumptions.outlyingSubjects, 1u);
    // G1 and G2 of each cell by their formulas in the test's own doubles.
    ASSERT_EQ(r.assumptions.cells.size(), 4u);
    for (const CellShape& c : r.assumptions.cells) {
        std::vector<double> x;
        for (int s = 1; s <= 12; ++s) x.push_back(std::stod(store.CellText(s, c.a, c.b)));
        double mean = 0, m2 = 0, m3 = 0, m4 = 0;
        for (double v : x) mean += v / 12;
        for (double v : x)
            m2 += std::pow(v - mean, 2) / 12, m3 += std::pow(v - mean, 3) / 12,
                m4 += std::pow(v - mean, 4) / 12;
        const double g1 = m3 / std::pow(m2, 1.5), g2 = m4 / (m2 * m2) - 3;
        EXPECT_TRUE(Near(c.skewness, g1 * std::sqrt(12.0 * 11) / 10, 1e-12L));
        EXPECT_TRUE(Near(c.excessKurtosis, 11 * (13 * g2 + 6) / (10.0 * 9), 1e-12L));
    }
    // The extended path agrees with the integer one.
    std::vector<Extended> values;
    const CellScores scores = ExtendedScoresOf(store, 12, 2, 2, values);
    const AssumptionChecks extended = CheckAssumptions(scores);
    ASSERT_EQ(extended.strata.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_TRUE(Near(extended.strata[k].normality.w, *r.assumptions.strata[k].normality.w, 1e-15L));
        EXPECT_TRUE(
            Near(extended.strata[k].largestStudentized, *r.assumptions.strata[k].largestStudentized, 1e-15L));
        EXPECT_EQ(extended.strata[k].outlying, r.assumptions.strata[k].outlying);
    }
    for (std::size_t c = 0; c < 4; ++c)
        EXPECT_TRUE(Near(extended.cells[c].skewness, *r.assumptions.cells[c].skewness, 1e-14L));
    EXPECT_EQ(extended.outlyingSubjects, 1u);
    // The shapes from the counts by value (as the analysis passes them) are
    // those from the scores, to the last bit.
    const ExactPartition part = ComputeExactPartition(store, '.', KeepOffsets::Yes);
    CellScores integers;
    integers.n = 12, integers.na = 2, integers.nb = 2, integers.integers = part.integerOffsets.data();
    integers.scale = part.offsetScale, integers.bound = part.offsetBound;
    const AssumptionChecks fromScores = CheckAssumptions(integers);
    const std::optional<ValueCounts> counts = CountValues(integers);
    ASSERT_TRUE(counts);
    integers.counts = &*counts;
    const AssumptionChecks fromCounts = CheckAssumptions(integers);
    for (std::size_t c = 0; c < 4; ++c) {
        EXPECT_EQ(fromCounts.cells[c].skewness, fromScores.cells[c].skewness);
        EXPECT_EQ(fromCounts.cells[c].excessKurtosis, fromScores.cells[c].excessKurtosis);
    }
    const std::string json = FormatAnalysis(r, AnovaFormat::Json);
    EXPECT_NE(json.find("\"outlyingSubjects\":1,\"outlying\":[{\"subject\":5,\"strata\":["),
              std::string::npos);
}

TEST(ModelChecks, QuantilePlotPointsAreTheSortedStudentizedResiduals) {
    // Subjects' residuals m(s) - m of a 12 x 2 x 2 study, and the A x B x S
    // residuals of studies of 3,000 and 20,000 subjects (the second's too
    // many to keep: they are computed again), whose plot is thinned to the
    // tails and evenly spaced ranks; all against a sort in the test's own doubles.
    const auto value = [](int s, int a, int b) { return (s * 37 + a * 11 + b * 5 + s * a * b * 3) % 23; };
    for (int subjects : {12, 3000, 20000}) {
        StudyStore store =
            Study(subjects, 2, 2, [&](int s, int a, int b) { return std::to_string(value(s, a, b)); });
        const FullAnalysis r = AnalyseStudy(store, '.');
        const std::size_t k = subjects == 12 ? 0 : 3;  // S, or A x B x S
        // Means of each subject (sm), subject and level (sa, sb), cell (ab) and all.
        const auto n = static_cast<std::size_t>(subjects);
        const auto y = [&](std::size_t s, std::size_t a, std::size_t b) {
            return static_cast<double>(
                value(static_cast<int>(s + 1), static_cast<int>(a + 1), static_cast<int>(b + 1)));
        };
        // Summed as whole numbers (exact in doubles), each divided once.
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
                    e.push_back(y(s, a, b) - sa[2 * s + a] - sb[2 * s + b] - ab[2 * a + b] + sm[s] + ma + mb -
                                all);
                }
        }
        std::sort(e.begin(), e.end());
        double squares = 0;
        for (double v : e) squares += v * v;
        const double scale = std::sqrt(squares / static_cast<double>(e.size()));
        const std::vector<QuantilePoint>& q = r.assumptions.strata[k].quantiles;
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
    StudyStore constant = Study(5, 2, 2, [](int, int, int) { return std::string("4"); });
    for (const StratumCheck& s : AnalyseStudy(constant, '.').assumptions.strata)
        EXPECT_TRUE(s.quantiles.empty());
}

TEST(ModelChecks, TablesInTheReadersLanguageAndSeparator) {
    StudyStore eight;
    LoadStudyFile(eight, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    const FullAnalysis r = AnalyseStudy(eight, '.');
    const std::vector<TableText> window = ModelCheckTables(r, TableReader::Window, {}, ',');
    const std::vector<TableText> terminal = ModelCheckTables(r, TableReader::Terminal);
    ASSERT_EQ(window.size(), 7u);
    ASSERT_EQ(terminal.size(), 7u);
    const char* titles[] = {"多変量検定",
                            "誤差層ごとの残差",
                            "セルの歪度と尖度",
                            "スチューデント化残差が 3 を超える被験者",
                            "Friedman 検定",
                            "整列順位変換 (ART)",
                            "整列順位変換の対比 (ART-C)"};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(window[i].title, titles[i]);
        EXPECT_EQ(window[i].id, terminal[i].id);
        EXPECT_EQ(window[i].columnIds, terminal[i].columnIds);
        EXPECT_EQ(window[i].rows.size(), terminal[i].rows.size());
        EXPECT_EQ(window[i].notes.size(), terminal[i].notes.size());
        for (const auto& row : window[i].rows)
            for (const std::string& cell : row) EXPECT_EQ(cell.find('.'), std::string::npos) << cell;
    }
    // The window's 10 digits with its separator: W of the A x B x S stratum.
    EXPECT_EQ(window[1].rows[3][3].substr(0, 7), "0,94622");
    EXPECT_EQ(terminal[1].rows[3][3], "0.9462");
    OutputOptions japanese;
    japanese.language = OutputLanguage::Japanese;
    EXPECT_NE(FormatAnalysis(r, AnovaFormat::Text, japanese).find("Friedman 検定"), std::string::npos);
    // A p too small for the number type is 0 in JSON, said so beside it, as the analysis' own.
    FullAnalysis underflowed = r;
    underflowed.rankBased.B.p = 0;
    underflowed.rankBased.contrastsB[1].pHolm = 0;
    const std::string json = AnalysisJson(underflowed, {});
    const std::size_t checks = json.find("\"multivariate\":");
    EXPECT_NE(json.find("\"df\":2,\"p\":0,\"pUnderflow\":true,\"kendallW\"", checks), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"pHolm\":0,\"pHolmUnderflow\":true", checks), std::string::npos);
    const std::string plain = AnalysisJson(r, {});
    EXPECT_EQ(plain.find("Underflow", plain.find("\"multivariate\":")), std::string::npos);
}

TEST(ModelChecks, AlignedRankContrastsAgreeWithR) {
    // R: the responses aligned for A (for B), rank(), aov(r ~ A * B + Error(S / (A * B))), and each
    // pair's difference of mean ranks over sqrt(2 MSE / (n b)) of the S:A (S:B) stratum, 2 pt().
    StudyStore eight;
    LoadStudyFile(eight, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    StudyStore tied = TiedStudy();
    struct Expected {
        char factor;
        int first, second;
        long double difference, se, t, p;
    };
    const std::vector<Expected> ofEight = {
        {'A', 1, 2, -21.958333333333329L, 2.4866209462157158L, -8.8305913157977685L, 4.8260897804570585e-05L},
        {'B', 1, 2, -12.03125L, 3.4579074967315719L, -3.479344086379403L, 0.0036833666293934523L},
        {'B', 1, 3, -26.875L, 3.4579074967315719L, -7.7720413358085372L, 1.9141899405344763e-06L},
        {'B', 2, 3, -14.84375L, 3.4579074967315719L, -4.2926972494291338L, 0.00074398294268556917L}};
    const std::vector<Expected> ofTied = {
        {'A', 1, 2, 8.0416666666666679L, 3.9480128616248908L, 2.0368896831194578L, 0.069005333339105135L},
        {'A', 1, 3, 1.4583333333333357L, 3.9480128616248908L, 0.36938413942580894L, 0.71954309666486016L},
        {'A', 2, 3, -6.5833333333333321L, 3.9480128616248908L, -1.6675055436936488L, 0.12637788218243248L},
        {'B', 1, 2, -3.5555555555555571L, 5.5066738409064575L, -0.64568116040267864L, 0.54694449915767585L}};
    for (const auto& [store, expected] : {std::pair{&eight, &ofEight}, std::pair{&tied, &ofTied}}) {
        const RankBasedResults r = AnalyseStudy(*store, '.').rankBased;
        std::vector<AlignedRankContrast> all = r.contrastsA;
        all.insert(all.end(), r.contrastsB.begin(), r.contrastsB.end());
        ASSERT_EQ(all.size(), expected->size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Expected& e = (*expected)[i];
            EXPECT_EQ(all[i].first, e.first);
            EXPECT_EQ(all[i].second, e.second);
            EXPECT_TRUE(Near(all[i].difference, e.difference)) << i;
            EXPECT_TRUE(Near(all[i].se, e.se)) << i;
            EXPECT_TRUE(Near(all[i].t, e.t)) << i;
            EXPECT_TRUE(Near(all[i].p, e.p, 1e-10L)) << i;
        }
        // Holm within each factor: the least p times the family's size.
        if (r.contrastsB.size() == 3) {
            EXPECT_TRUE(Near(r.contrastsB[1].pHolm, 3 * *r.contrastsB[1].p));
        }
        // A two-level factor's one contrast is its F test: t^2 = F.
        if (r.contrastsA.size() == 1) {
            EXPECT_TRUE(Near(*r.contrastsA[0].t * *r.contrastsA[0].t, *r.alignedA.f, 1e-15L));
        }
    }
    // The extended path (sorting) agrees with the integer one (bins).
    std::vector<Extended> values;
    const CellScores scores = ExtendedScoresOf(tied, 6, 3, 2, values);
    const RankBasedResults extended = RankBasedAnalysis(scores);
    ASSERT_EQ(extended.contrastsA.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(Near(extended.contrastsA[i].t, ofTied[i].t));
}

}  // namespace
}  // namespace morvane
