// The figures beside the summary table formed exactly from the decimal scores
// and rounded once, checked against rational arithmetic of the test's own:
// the means, SDs and SEs of the cells and levels, the paired comparisons'
// differences, t and d_z, the simple effects' sums of squares, F and partial
// eta squared. On a study of a large common offset, on one whose cells lie
// near 10^12 and near 0 (offsets from each cell's own reference), and on
// random decimals.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "support/RationalArithmetic.h"

namespace morvane {
namespace {

using testing::CorrectlyRounded;
using testing::Exactly;
using testing::Rational;
using testing::Study;

// Whether `value` is sqrt(square) correctly rounded: the squares of the
// midpoints to its neighbours bracket `square` (positive values).
::testing::AssertionResult RootCorrectlyRounded(Extended value, const mpq_class& square) {
    if (square == 0) return value == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << value;
    const mpq_class v = Exactly(std::fabs(value));
    const mpq_class low = (v + Exactly(std::nextafter(std::fabs(value), Extended{0}))) / 2,
                    high = (v + Exactly(std::nextafter(std::fabs(value), INFINITY))) / 2;
    if (low * low <= square && square <= high * high) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << static_cast<double>(value) << " is not the root of " << square.get_d();
}

void CheckExactly(int n, int na, int nb, const std::function<std::string(int, int, int)>& score) {
    StudyStore store = Study(n, na, nb, score);
    // The scores as rationals, y(s, a, b) from 0.
    std::vector<mpq_class> scores;
    for (int s = 0; s < n; ++s)
        for (int a = 0; a < na; ++a)
            for (int b = 0; b < nb; ++b) scores.push_back(Rational(score(s + 1, a + 1, b + 1)));
    const auto y = [&](int s, int a, int b) { return scores[static_cast<std::size_t>((s * na + a) * nb + b)]; };
    const FullAnalysis r = AnalyseStudy(store, '.');
    const mpq_class N = n;
    // The mean, SD and SE of a value of each subject.
    const auto describe = [&](const std::function<mpq_class(int)>& value, const MeanResult& m) {
        mpq_class mean = 0, squares = 0;
        for (int s = 0; s < n; ++s) mean += value(s);
        mean /= N;
        for (int s = 0; s < n; ++s) squares += (value(s) - mean) * (value(s) - mean);
        EXPECT_TRUE(CorrectlyRounded(m.mean, mean));
        EXPECT_TRUE(RootCorrectlyRounded(*m.sd, squares / (N - 1)));
        EXPECT_TRUE(RootCorrectlyRounded(*m.se, squares / (N - 1) / N));
    };
    for (const MeanResult& m : r.cells)
        describe([&](int s) { return y(s, m.a - 1, m.b - 1); }, m);
    for (const MeanResult& m : r.marginalA)
        describe([&](int s) { mpq_class t = 0; for (int b = 0; b < nb; ++b) t += y(s, m.a - 1, b); return mpq_class(t / nb); }, m);
    for (const ComparisonResult& c : r.comparisons) {
        const auto level = [&](int s, int l) -> mpq_class {
            mpq_class t = 0;
            if (c.factor == Factor::A) {
                if (c.at) return y(s, l - 1, c.at - 1);
                for (int b = 0; b < nb; ++b) t += y(s, l - 1, b);
                return t / nb;
            }
            if (c.at) return y(s, c.at - 1, l - 1);
            for (int a = 0; a < na; ++a) t += y(s, a, l - 1);
            return t / na;
        };
        mpq_class mean = 0, squares = 0;
        for (int s = 0; s < n; ++s) mean += level(s, c.i) - level(s, c.j);
        mean /= N;
        for (int s = 0; s < n; ++s) {
            const mpq_class d = level(s, c.i) - level(s, c.j) - mean;
            squares += d * d;
        }
        EXPECT_TRUE(CorrectlyRounded(c.difference, mean));
        if (squares == 0) continue;
        ASSERT_TRUE(c.t && c.cohenDz);
        EXPECT_TRUE(RootCorrectlyRounded(*c.t, mean * mean * N * (N - 1) / squares));
        EXPECT_TRUE(RootCorrectlyRounded(*c.cohenDz, mean * mean * (N - 1) / squares));
        EXPECT_EQ(*c.t < 0, mean < 0);
    }
    for (const SimpleEffectResult& e : r.simpleEffects) {
        const int levels = e.effect == Factor::A ? na : nb;
        const auto cell = [&](int s, int l) { return e.effect == Factor::A ? y(s, l, e.at - 1) : y(s, e.at - 1, l); };
        mpq_class grand = 0;
        std::vector<mpq_class> levelMean(static_cast<std::size_t>(levels)), subjectMean(static_cast<std::size_t>(n));
        const auto at = [](std::vector<mpq_class>& v, int i) -> mpq_class& { return v[static_cast<std::size_t>(i)]; };
        for (int s = 0; s < n; ++s)
            for (int l = 0; l < levels; ++l)
                at(levelMean, l) += cell(s, l) / N, at(subjectMean, s) += cell(s, l) / levels,
                    grand += cell(s, l) / (N * levels);
        mpq_class ss = 0, error = 0;
        for (int l = 0; l < levels; ++l) ss += N * (at(levelMean, l) - grand) * (at(levelMean, l) - grand);
        for (int s = 0; s < n; ++s)
            for (int l = 0; l < levels; ++l) {
                const mpq_class e2 = cell(s, l) - at(levelMean, l) - at(subjectMean, s) + grand;
                error += e2 * e2;
            }
        EXPECT_TRUE(CorrectlyRounded(e.ss, ss));
        EXPECT_TRUE(CorrectlyRounded(e.errorSs, error));
        if (error > 0) {
            EXPECT_TRUE(CorrectlyRounded(*e.f, ss * e.df2 / (error * e.df1)));
        }
        EXPECT_TRUE(CorrectlyRounded(*e.partialEtaSquared, ss / (ss + error)));
    }
}

TEST(ExactFigures, MeansComparisonsAndSimpleEffectsAreRoundedOnce) {
    {
        SCOPED_TRACE("a large common offset");
        CheckExactly(6, 3, 3, [](int s, int a, int b) {
            return "1000." + std::string(1, static_cast<char>('0' + (s * 7 + a * 3 + b) % 4)) + "0" +
                   std::to_string((s + a * b) % 10);
        });
    }
    {
        SCOPED_TRACE("cells near 10^12 and near 0");
        CheckExactly(3, 2, 2, [](int s, int a, int b) {
            const std::string places = std::to_string(100 + (s * 389 + a * 97 + b * 211) % 900);
            return a == 1 ? "1000000000000." + places : "0." + places;
        });
    }
    {
        SCOPED_TRACE("random decimals");
        std::mt19937 random(3);
        std::vector<std::string> texts;
        for (int i = 0; i < 8 * 3 * 4; ++i)
            texts.push_back(std::to_string(static_cast<int>(random() % 20000) - 10000) + "." +
                            std::to_string(random() % 10) + std::to_string(random() % 10));
        CheckExactly(8, 3, 4, [&](int s, int a, int b) { return texts[static_cast<std::size_t>(((s - 1) * 3 + a - 1) * 4 + b - 1)]; });
    }
}

}  // namespace
}  // namespace morvane
