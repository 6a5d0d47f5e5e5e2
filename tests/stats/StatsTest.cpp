// The statistics on plain numbers, against figures of R and formulas in
// closed form.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "stats/Contrasts.h"
#include "stats/EffectSizes.h"
#include "stats/Friedman.h"
#include "stats/Matrices.h"
#include "stats/MultivariateTests.h"
#include "stats/ShapiroWilk.h"
#include "stats/Sphericity.h"
#include "stats/detail/FriedmanRanks.h"

namespace morvane {
namespace {

::testing::AssertionResult Near(std::optional<Extended> value, long double expected,
                                long double relative = 1e-12L) {
    if (!value)
        return ::testing::AssertionFailure() << "undefined, expected " << static_cast<double>(expected);
    if (std::fabs(*value - expected) <= relative * std::max(std::fabs(expected), 1e-300L))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << static_cast<double>(*value) << " against " << static_cast<double>(expected);
}

TEST(ShapiroWilk, ShapiroWilkAgreesWithRAndKnowsItsRange) {
    // W and p of R's shapiro.test: n = 3 (exact p), 5, 8 (the small-sample
    // polynomials), 20 with ties and 300 with many (the large-sample ones).
    std::vector<Extended> x300;
    for (int i = 1; i <= 300; ++i) x300.push_back(static_cast<Extended>(i * 37 % 101) / 10 + i * i % 7);
    const std::pair<std::vector<Extended>, std::pair<long double, long double>> cases[] = {
        {{1, 2, 4}, {0.96428571428571419L, 0.6368868450289632L}},
        {{2.1L, 3.4L, 1.9L, 5.6L, 2.2L}, {0.80329700611012111L, 0.086182840497376775L}},
        {{148, 154, 158, 160, 161, 162, 166, 170}, {0.98228170344392463L, 0.97330291463833463L}},
        {{3, 5, 5, 6, 7, 7, 7, 8, 9, 10, 10, 11, 12, 13, 15, 18, 21, 25, 30, 41},
         {0.82856793741219148L, 0.0023804366944091245L}},
        {x300, {0.98398831576134405L, 0.0019859747859750651L}},
    };
    for (const auto& [values, expected] : cases) {
        SCOPED_TRACE(values.size());
        const ShapiroWilkTest t = ShapiroWilk(values);
        EXPECT_TRUE(t.inRange);
        EXPECT_TRUE(Near(t.w, expected.first, 1e-13L));
        EXPECT_TRUE(Near(t.p, expected.second, 1e-9L));
    }
    EXPECT_FALSE(ShapiroWilk({1, 2}).inRange);
    EXPECT_FALSE(ShapiroWilk(std::vector<Extended>(5001, 1)).inRange);
    const ShapiroWilkTest same = ShapiroWilk({4, 4, 4, 4});
    EXPECT_TRUE(same.inRange);
    EXPECT_FALSE(same.w);
}

// The covariance (divisor n - 1) of the orthonormal Helmert contrasts of each
// row of the n x k values y.
SquareMatrix ContrastCovariance(const std::vector<std::vector<Extended>>& y) {
    const std::size_t n = y.size(), k = y[0].size() - 1;
    std::vector<std::vector<Extended>> z;
    for (const auto& row : y) z.push_back(HelmertContrasts(row));
    SquareMatrix s(k);
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = 0; j < k; ++j) {
            Extended mi = 0, mj = 0, c = 0;
            for (const auto& r : z) mi += r[i], mj += r[j];
            mi /= static_cast<Extended>(n), mj /= static_cast<Extended>(n);
            for (const auto& r : z) c += (r[i] - mi) * (r[j] - mj);
            s(i, j) = c / static_cast<Extended>(n - 1);
        }
    return s;
}

TEST(Contrasts, OneHelmertBasisAppliedEachWay) {
    // The rows are orthonormal and sum to zero.
    for (std::size_t levels : {2u, 3u, 7u}) {
        const std::vector<Extended> c = OrthonormalHelmertRows(levels);
        for (std::size_t i = 0; i + 1 < levels; ++i) {
            Extended sum = 0;
            for (std::size_t l = 0; l < levels; ++l) sum += c[i * levels + l];
            EXPECT_NEAR(static_cast<double>(sum), 0, 1e-18);
            for (std::size_t j = 0; j + 1 < levels; ++j) {
                Extended dot = 0;
                for (std::size_t l = 0; l < levels; ++l) dot += c[i * levels + l] * c[j * levels + l];
                EXPECT_NEAR(static_cast<double>(dot), i == j ? 1 : 0, 1e-18);
            }
        }
    }
    // The integer rows are the orthonormal ones times their lengths, and the
    // contrasts of means are the rows applied to them.
    const std::vector<std::int32_t> v = {7, -3, 12, 5};
    std::vector<std::int64_t> z(3);
    ApplyIntegerHelmert(4, v.data(), 1, z.data(), 1);
    EXPECT_EQ(z, (std::vector<std::int64_t>{10, -20, 1}));
    const std::vector<Extended> means = {7, -3, 12, 5}, contrasts = HelmertContrasts(means);
    const std::vector<Extended> rows = OrthonormalHelmertRows(4);
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_DOUBLE_EQ(static_cast<double>(contrasts[j] * HelmertRowLength(j)), static_cast<double>(z[j]));
        Extended applied = 0;
        for (std::size_t l = 0; l < 4; ++l) applied += rows[j * 4 + l] * means[l];
        EXPECT_NEAR(static_cast<double>(applied), static_cast<double>(contrasts[j]), 1e-15);
    }
    // An interaction's contrasts are the products of its factors': for a
    // product table of means u_a v_b they are the products of the contrasts.
    const std::vector<Extended> u = {1, 4, 2}, w = {3, -1};
    std::vector<Extended> table;
    for (Extended x : u)
        for (Extended y : w) table.push_back(x * y);
    const std::vector<Extended> cu = HelmertContrasts(u), cw = HelmertContrasts(w),
                                interaction = InteractionContrasts(table, 3, 2);
    ASSERT_EQ(interaction.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_NEAR(static_cast<double>(interaction[i]), static_cast<double>(cu[i] * cw[0]), 1e-15);
}

TEST(Matrices, OneRuleForASingularCovariance) {
    // A contrast that is the sum of two others: singular, whatever the scale.
    for (Extended scale : {1e-300L, 1.0L, 1e300L}) {
        SquareMatrix s(3, {2, 1, 3, 1, 2, 3, 3, 3, 6});
        for (Extended& v : s.entries) v *= scale;
        EXPECT_FALSE(Cholesky(s)) << static_cast<double>(scale);
        EXPECT_FALSE(LogDeterminantOverTrace(s));
        EXPECT_FALSE(InverseQuadraticForm(s, {1, 1, 1}));
    }
    // A variance far below the others is not singular: the pivot is judged
    // against its own diagonal entry, not against the trace.
    const SquareMatrix tiny(2, {1, 0, 0, 1e-18L});
    ASSERT_TRUE(LogDeterminantOverTrace(tiny));
    EXPECT_TRUE(Near(std::exp(*LogDeterminantOverTrace(tiny)), 1e-18L / ((1 + 1e-18L) * (1 + 1e-18L)), 1e-15L));
    // m' S^-1 m of a known inverse, and the roots of det(H - l E) of diagonal matrices.
    const SquareMatrix s(2, {4, 2, 2, 3});  // inverse (3, -2; -2, 4) / 8
    EXPECT_TRUE(Near(InverseQuadraticForm(s, {1, 2}), (3 - 8 + 16) / 8.0L, 1e-18L));
    const auto roots = RelativeEigenvalues(SquareMatrix(2, {6, 0, 0, 1}), SquareMatrix(2, {2, 0, 0, 4}));
    ASSERT_TRUE(roots);
    EXPECT_TRUE(Near((*roots)[0], 3, 1e-17L));
    EXPECT_TRUE(Near((*roots)[1], 0.25L, 1e-17L));
}

TEST(Sphericity, TwoContrastsInClosedFormAndTheUndefinedCases) {
    // k = 2: W = det S / (trace S / 2)^2, GG = trace^2 / (2 trace S^2), HF by Lecoutre's form.
    const SquareMatrix s(2, {5, 1, 1, 2});
    const SphericityTest t = TestSphericity(s, 9, 6);
    EXPECT_TRUE(Near(t.mauchlyW, 9 / 12.25L, 1e-17L));
    const Extended gg = 49.0L / (2 * 31);
    EXPECT_TRUE(Near(t.greenhouseGeisser, gg, 1e-17L));
    EXPECT_TRUE(Near(t.huynhFeldt, (10 * 2 * gg - 2) / (2 * (9 - 2 * gg)), 1e-17L));
    EXPECT_TRUE(Near(t.lowerBound, 0.5L, 1e-18L));
    EXPECT_EQ(t.df, 2);
    // With two contrasts the second-order term vanishes: p is the chi-square's, and R's is the same.
    const Extended chi = -9 * (1 - (8 + 2 + 2) / (6 * 2 * 9.0L)) * std::log(9 / 12.25L);
    EXPECT_TRUE(Near(t.chiSquare, chi, 1e-16L));
    EXPECT_TRUE(Near(t.p, std::exp(-chi / 2), 1e-15L));
    EXPECT_EQ(t.p, t.pAsR);
    // Fewer error df than contrasts: epsilons only; one error df: no HF; W = 0 of a singular S.
    EXPECT_FALSE(TestSphericity(s, 1, 6).mauchlyW);
    EXPECT_FALSE(TestSphericity(s, 1, 6).huynhFeldt);
    const SphericityTest singular = TestSphericity(SquareMatrix(2, {1, 1, 1, 1}), 9, 6);
    EXPECT_EQ(singular.mauchlyW, Extended{0});
    EXPECT_TRUE(singular.chiSquareInfinite);
    EXPECT_EQ(singular.p, Extended{0});
}

TEST(Multivariate, TheGeneralTestOfOneHypothesisDfIsTheOneSampleTest) {
    // H = N m m' and E = (N - 1) S of random contrasts: the roots' one nonzero
    // value is T^2 / (N - 1), and every F is the one exact F.
    std::mt19937 random(5);
    std::vector<std::vector<Extended>> y(9, std::vector<Extended>(4));
    for (auto& row : y)
        for (Extended& v : row) v = static_cast<Extended>(random() % 1000) / 10;
    std::vector<Extended> m(3, 0);
    for (const auto& row : y) {
        const std::vector<Extended> z = HelmertContrasts(row);
        for (std::size_t i = 0; i < 3; ++i) m[i] += z[i] / 9;
    }
    const SquareMatrix s = ContrastCovariance(y);
    const MultivariateEffect one = OneSampleTest(m, s, 9);
    ASSERT_EQ(one.status, MultivariateStatus::Tested);
    SquareMatrix h(3), e(3);
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j) h(i, j) = 9 * m[i] * m[j], e(i, j) = 8 * s(i, j);
    const MultivariateTest general = TestMultivariate(h, e, 1, 8);
    ASSERT_EQ(general.status, MultivariateStatus::Tested);
    EXPECT_TRUE(Near(general.pillai.value, *one.pillai, 1e-15L));
    EXPECT_TRUE(Near(general.wilks.value, *one.wilks, 1e-15L));
    EXPECT_TRUE(Near(general.hotellingLawley.value, *one.hotellingLawley, 1e-15L));
    for (const MultivariateStatistic* statistic : {&general.pillai, &general.wilks, &general.hotellingLawley, &general.roy}) {
        EXPECT_TRUE(Near(statistic->f, *one.f, 1e-14L));
        EXPECT_EQ(statistic->df1, 3);
        EXPECT_EQ(statistic->df2, 6);
    }
    EXPECT_EQ(TestMultivariate(h, e, 1, 2).status, MultivariateStatus::TooFewSubjects);
    EXPECT_EQ(TestMultivariate(h, SquareMatrix(3, 1), 1, 8).status, MultivariateStatus::Singular);
}

// Nine subjects in four conditions, against R:
//   Y <- matrix(c(12, 15, 11, 18, ...), ncol = 4, byrow = TRUE); m <- lm(Y ~ 1)
//   mauchly.test(m, X = ~1)                     W = 0.0907842603772638, p = 0.0070884650614248
//   summary(car::Anova(m, idata = data.frame(cond = factor(1:4)), idesign = ~cond, type = 3))
//                                               GG eps 0.475341669160602, HF eps 0.54934926888052837
TEST(Sphericity, AgreesWithRsMauchlyTestAndCar) {
    const std::vector<std::vector<Extended>> y = {{12, 15, 11, 18}, {9, 14, 10, 15},  {14, 18, 13, 22},
                                                  {10, 11, 12, 14}, {13, 17, 12, 21}, {11, 16, 14, 17},
                                                  {8, 12, 9, 13},   {15, 20, 14, 24}, {12, 13, 13, 16}};
    const SphericityTest t = TestSphericity(ContrastCovariance(y), 8, 4);
    EXPECT_TRUE(Near(t.mauchlyW, 0.0907842603772638L, 1e-13L));
    EXPECT_TRUE(Near(t.pAsR, 0.0070884650614248L, 1e-12L));  // R's term has the 4 cells for k = 3
    EXPECT_FALSE(Near(t.p, 0.0070884650614248L, 1e-6L));
    EXPECT_TRUE(Near(t.greenhouseGeisser, 0.475341669160602L, 1e-13L));
    EXPECT_TRUE(Near(t.huynhFeldt, 0.54934926888052837L, 1e-13L));
}

// Three groups of three subjects, three variables, against R's
//   summary(manova(X ~ g), test = ...)$stats and summary(manova(X ~ g))$SS:
// s = min(p, q) = 2 roots, each statistic with its own F.
TEST(Multivariate, FourStatisticsOfTwoRootsAgreeWithR) {
    const SquareMatrix h(3, {2.0L / 9, 4.0L / 9, -2.0L / 3, 4.0L / 9, 14.0L / 9, -2, -2.0L / 3, -2, 8.0L / 3});
    const SquareMatrix e(3, {42, 45, 74.0L / 3, 45, 202.0L / 3, 26, 74.0L / 3, 26, 64.0L / 3});
    const MultivariateTest t = TestMultivariate(h, e, 2, 6);
    ASSERT_EQ(t.status, MultivariateStatus::Tested);
    struct Expected {
        const MultivariateStatistic* got;
        long double value, f, df1, df2, p;
    };
    for (const Expected& x : {Expected{&t.pillai, 0.36677353742200125L, 0.37428320140721161L, 6, 10, 0.87932132170957955L},
                              Expected{&t.wilks, 0.63877684696797354L, 0.33492826702487982L, 6, 8, 0.90017792434576593L},
                              Expected{&t.hotellingLawley, 0.556802849587133L, 0.2784014247935665L, 6, 6, 0.92751916888419705L},
                              Expected{&t.roy, 0.54073379288314916L, 0.90122298813858193L, 3, 5, 0.50235489789999521L}}) {
        EXPECT_TRUE(Near(x.got->value, x.value, 1e-13L));
        EXPECT_TRUE(Near(x.got->f, x.f, 1e-12L));
        EXPECT_EQ(x.got->df1, x.df1);
        EXPECT_TRUE(Near(x.got->df2, x.df2, 1e-15L));
        EXPECT_TRUE(Near(x.got->p, x.p, 1e-12L));
    }
}

// Partial eta squared's 90 % interval of F(2, 14) = 336 / 11.5, against the
// noncentral F's distribution function as a Poisson mixture of incomplete beta
// functions in 40 digits (Python's mpmath: nsum of exp(-l/2) (l/2)^j / j!
// betainc(1 + j, 7, 0, x), findroot at .95 and .05): lambda
// 21.096673156696830112 and 107.83612608393323036. R's pf(f, 2, 14, ncp = l),
// good to about 1e-9 (its pnbeta's errmax), gives 21.096673066505947 and
// 107.83612592706476, 1.7e-9 off in eta squared.
TEST(EffectSizes, IntervalsInvertTheNoncentralDistributions) {
    const auto eta = PartialEtaSquaredInterval(336 / 11.5L, 2, 14, 0.9L);
    ASSERT_TRUE(eta);
    EXPECT_TRUE(Near(eta->lower, 0.60110179282537933443L, 1e-15L));
    EXPECT_TRUE(Near(eta->upper, 0.88509155330205293237L, 1e-15L));
    EXPECT_FALSE(PartialEtaSquaredInterval(std::nullopt, 2, 14, 0.9L));
    EXPECT_FALSE(PartialEtaSquaredInterval(3, 2, 14, 1.5L));
    // d_z's limits are delta's over sqrt(n): symmetric about 0 for t = 0.
    const auto dz = CohenDzInterval(0, 15, 0.95L);
    ASSERT_TRUE(dz);
    EXPECT_TRUE(Near(dz->upper, -dz->lower, 1e-15L));
    EXPECT_GT(dz->upper, 0);
}

TEST(Friedman, AgreesWithItsFormulaAndRWhicheverWayItRanks) {
    // Ties within rows and a row all tied; R's friedman.test gives 2.2, p .53194837121048733.
    const std::vector<std::int64_t> table = {1, 2, 3, 4, 2, 2, 3, 1, 4, 3, 3, 3,
                                             1, 3, 2, 4, 5, 5, 5, 5, 2, 1, 4, 3};
    const FriedmanTest f = Friedman(table.data(), 6, 4);
    EXPECT_TRUE(Near(f.chiSquare, 2.2L, 1e-18L));
    EXPECT_TRUE(Near(f.p, 0.53194837121048733L, 1e-12L));
    // By hand: the rows' midranks sum to R = (13, 13, 17.5, 16.5); the ties
    // (2, 3 and 4 alike) take 6 + 24 + 60 from n k (k^2 - 1) = 360.
    const long double sums[] = {13, 13, 17.5L, 16.5L};
    long double squares = 0;
    for (long double r : sums) squares += (r - 15) * (r - 15);
    const long double q = 12 * squares * 3 / (360 - 90);
    EXPECT_TRUE(Near(f.chiSquare, q, 1e-18L));
    EXPECT_TRUE(Near(f.kendallW, q / 18, 1e-18L));
    EXPECT_TRUE(Near(f.imanDavenportF, 5 * q / (18 - q), 1e-18L));
    EXPECT_EQ(f.df2, 15);
    EXPECT_TRUE(Near(f.tieCorrection, 270.0L / 360, 1e-18L));

    // Every subject ranks alike: W = 1, and F has no finite value.
    const std::vector<Extended> alike = {1, 2, 3, 10, 20, 30.5L};
    const FriedmanTest w = Friedman(alike.data(), 2, 3);
    EXPECT_TRUE(Near(w.kendallW, 1, 1e-18L));
    EXPECT_FALSE(w.imanDavenportF);

    // Integers ranked by counting (four conditions or more, a narrow range),
    // packed with their condition, or by the kernel's sort: the same test.
    std::mt19937 random(11);
    for (std::int32_t spread : {9, 1000, 2000000000}) {
        std::vector<std::int32_t> y(40 * 6);
        for (std::int32_t& v : y) v = static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(spread)) - spread / 2;
        std::vector<Extended> kernel(y.begin(), y.end());
        const FriedmanTest fast = Friedman(y.data(), 40, 6), plain = Friedman(kernel.data(), 40, 6);
        const auto [least, most] = std::minmax_element(y.begin(), y.end());
        const FriedmanTest told = detail::FriedmanOfIntegers(y.data(), 40, 6, *least, *most);
        for (const FriedmanTest* t : {&fast, &told}) {
            EXPECT_EQ(t->chiSquare, plain.chiSquare) << spread;
            EXPECT_EQ(t->tieCorrection, plain.tieCorrection) << spread;
            EXPECT_EQ(t->imanDavenportF, plain.imanDavenportF) << spread;
        }
    }
}

}  // namespace
}  // namespace morvane
