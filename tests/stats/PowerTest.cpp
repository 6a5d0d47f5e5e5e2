// The power of a repeated-measures F test against R's noncentral F, the
// published sample sizes of a within factor in both conventions, the search
// for the smallest N and the smallest f, and the conversions between f,
// partial eta squared and the two conventions.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "stats/Power.h"

namespace morvane {
namespace {

constexpr auto W = PowerEffect::Within, B = PowerEffect::Between, I = PowerEffect::Interaction;
constexpr auto G = PowerConvention::PowerPrograms, S = PowerConvention::StatisticsPackages;

// Whether `value` is within `tolerance` of `expected`, in extended precision.
::testing::AssertionResult Close(const char* valueText, const char*, const char*, long double value,
                                 long double expected, long double tolerance) {
    if (std::fabs(value - expected) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << valueText << " = " << value << " against " << expected << ", off by "
                                         << value - expected << " beyond " << tolerance;
}

PowerDesign Design(PowerEffect effect, PowerConvention convention, int m, int k, long double rho = 0.5L,
                   long double epsilon = 1, long double alpha = 0.05L) {
    return PowerDesign{effect, convention, m, k, rho, epsilon, alpha};
}

TEST(Power, EveryEffectAndConventionAgainstRsNoncentralF) {
    // lambda and the df by the formulas in R; `power` is the Poisson mixture of
    // incomplete beta tails summed in R to 20000 terms:
    //   q <- qf(1 - a, df1, df2); x <- df1 * q / (df1 * q + df2)
    //   sum(dpois(0:20000, lambda / 2) * pbeta(x, df1 / 2 + 0:20000, df2 / 2, lower.tail = FALSE))
    // and `pf` R's own 1 - pf(qf(1 - a, df1, df2), df1, df2, ncp = lambda), whose
    // noncentral beta stops at an error of 1e-9 (it is 7e-10 from the sum).
    const struct {
        PowerDesign design;
        long double f, n, lambda, df1, df2, critical, power, pf;
    } cases[] = {
        {Design(W, G, 3, 1), 0.25L, 20, 7.5L, 2, 38, 3.2448183607328054L, 0.65051431330880016L,
         0.65051431399205262L},
        {Design(W, G, 4, 1, 0.3L, 0.6L), 0.2L, 30, 4.1142857142857148L, 1.8L, 52.2L, 3.2893822420657077L,
         0.42108105419078906L, 0.4210810543005179L},
        {Design(W, S, 3, 1), 0.25L, 20, 2.375L, 2, 38, 3.2448183607328054L, 0.24424980021369824L,
         0.24424980104672533L},
        {Design(W, S, 5, 2, 0.5L, 0.75L, 0.01L), 0.3L, 24, 5.94L, 3, 66, 4.0930298485562897L,
         0.25100524277544345L, 0.25100524345673902L},
        {Design(B, G, 3, 2), 0.25L, 40, 3.75L, 1, 38, 4.0981717308808445L, 0.47116693216781208L,
         0.47116693226356055L},
        {Design(B, G, 4, 3, 0.2L, 1, 0.1L), 0.4L, 27, 10.8L, 2, 24, 2.5383319035430629L, 0.88111601886583035L,
         0.88111601936857764L},
        {Design(B, S, 3, 3), 0.25L, 60, 3.5625L, 2, 57, 3.1588427192606447L, 0.3576835405727456L,
         0.35768354140207359L},
        {Design(I, G, 3, 2), 0.25L, 30, 11.25L, 2, 56, 3.161861164913021L, 0.840683035624331L,
         0.84068303573507885L},
        {Design(I, G, 4, 3, 0.7L, 0.8L), 0.15L, 45, 10.8L, 4.8L, 100.8L, 2.3319217585869527L,
         0.69688047147167209L, 0.69688047221039628L},
        {Design(I, S, 4, 3, 0.5L, 0.8L), 0.3L, 45, 9.072L, 4.8L, 100.8L, 2.3319217585869527L,
         0.60829526237469467L, 0.60829526246358601L},
        // Two subjects, a large effect: the power near 1.
        {Design(W, G, 2, 1, 0.9L), 1.5L, 3, 135, 1, 2, 18.512820512820493L, 0.99868319021132812L,
         0.99868319095540781L},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "effect " << static_cast<int>(c.design.effect) << " convention "
                                          << static_cast<int>(c.design.convention) << " N " << c.n);
        ASSERT_EQ(PowerDesignProblem(c.design), "");
        const std::optional<PowerAtN> test = PowerOfTest(c.design, c.f, c.n);
        ASSERT_TRUE(test);
        EXPECT_PRED_FORMAT3(Close, test->lambda, c.lambda, 1e-14L * c.lambda);
        EXPECT_PRED_FORMAT3(Close, test->df1, c.df1, 1e-15L * c.df1);
        EXPECT_PRED_FORMAT3(Close, test->df2, c.df2, 1e-15L * c.df2);
        EXPECT_PRED_FORMAT3(Close, test->criticalF, c.critical, 1e-13L * c.critical);
        EXPECT_PRED_FORMAT3(Close, test->power, c.power, 1e-13L);
        EXPECT_PRED_FORMAT3(Close, test->power, c.pf, 2e-9L);
    }
    // No effect: the power is alpha; an N without an error df, or a negative f, has no test.
    EXPECT_EQ(PowerOfTest(Design(W, G, 3, 1), 0, 10)->power, 0.05L);
    EXPECT_FALSE(PowerOfTest(Design(B, G, 3, 4), 0.3L, 4));
    EXPECT_TRUE(PowerOfTest(Design(B, G, 3, 4), 0.3L, 5));
    EXPECT_FALSE(PowerOfTest(Design(W, G, 3, 1), -0.1L, 10));
}

TEST(Power, PublishedSampleSizesOfAWithinFactorInBothConventions) {
    // A within factor of three measures, partial eta squared .05, alpha .05,
    // power .80: N = 33 in the power programs' convention (rho .5, epsilon 1)
    // and N = 95 in the statistics packages'. R's figures at N and N - 1:
    //   f2 <- .05 / .95; pw(f2 * N * 3 / (1 - .5), 2, 2 * (N - 1)): N 32 .7995619, N 33 .8129807
    //   pw(f2 * 2 * (N - 1), 2, 2 * (N - 1)): N 94 .79991, N 95 .8044607
    const Extended f = FFromPartialEtaSquared(0.05L);
    const std::optional<PowerAtN> programs = SmallestNForPower(Design(W, G, 3, 1), f, 0.8L);
    ASSERT_TRUE(programs);
    EXPECT_EQ(programs->n, 33);
    EXPECT_PRED_FORMAT3(Close, programs->power, 0.8129807L, 1e-7L);
    EXPECT_PRED_FORMAT3(Close, PowerOfTest(Design(W, G, 3, 1), f, 32)->power, 0.7995619L, 1e-7L);
    const std::optional<PowerAtN> packages = SmallestNForPower(Design(W, S, 3, 1), f, 0.8L);
    ASSERT_TRUE(packages);
    EXPECT_EQ(packages->n, 95);
    EXPECT_PRED_FORMAT3(Close, packages->power, 0.8044607L, 1e-7L);
    EXPECT_PRED_FORMAT3(Close, PowerOfTest(Design(W, S, 3, 1), f, 94)->power, 0.79991L, 1e-6L);
}

TEST(Power, TheSmallestNReachesThePowerAndOneFewerDoesNot) {
    const struct {
        PowerDesign design;
        long double f, power;
    } cases[] = {
        {Design(W, G, 4, 1), 0.25L, 0.8L},   {Design(W, S, 4, 1, 0.5L, 0.7L), 0.1L, 0.95L},
        {Design(B, G, 3, 2), 0.25L, 0.8L},   {Design(B, S, 2, 5), 0.05L, 0.9L},
        {Design(I, G, 3, 3, 0.2L), 0.1L, 0.8L}, {Design(I, S, 6, 2, 0.5L, 0.5L), 0.02L, 0.99L},
        {Design(W, G, 2, 1, 0.9L), 3, 0.8L},  // reached at the smallest N
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "effect " << static_cast<int>(c.design.effect) << " f " << c.f);
        const std::optional<PowerAtN> found = SmallestNForPower(c.design, c.f, c.power);
        ASSERT_TRUE(found);
        EXPECT_GE(found->power, c.power);
        EXPECT_EQ(found->power, PowerOfTest(c.design, c.f, found->n)->power);
        if (found->n > SmallestPlannableN(c.design))
            EXPECT_LT(PowerOfTest(c.design, c.f, found->n - 1)->power, c.power);
        else
            EXPECT_EQ(found->n, c.design.groups + 1);
    }
    EXPECT_EQ(SmallestNForPower(Design(W, G, 2, 1, 0.9L), 3, 0.8L)->n, 2);
    // No effect, a power at alpha or 1, and an N beyond the largest allowed: none.
    EXPECT_FALSE(SmallestNForPower(Design(W, G, 3, 1), 0, 0.8L));
    EXPECT_FALSE(SmallestNForPower(Design(W, G, 3, 1), 0.2L, 0.05L));
    EXPECT_FALSE(SmallestNForPower(Design(W, G, 3, 1), 0.2L, 1));
    EXPECT_FALSE(SmallestNForPower(Design(B, G, 3, 2), 0.001L, 0.99L, 1000));
    const std::optional<PowerAtN> large = SmallestNForPower(Design(B, G, 3, 2), 0.001L, 0.99L);
    ASSERT_TRUE(large);
    EXPECT_GT(large->n, 1000000);
    EXPECT_LT(PowerOfTest(Design(B, G, 3, 2), 0.001L, large->n - 1)->power, 0.99L);
}

TEST(Power, TheSmallestDetectableFAndTheConversions) {
    for (const PowerDesign& d : {Design(W, G, 3, 1), Design(W, S, 4, 2, 0.5L, 0.8L), Design(B, G, 3, 3, 0.3L),
                                 Design(B, S, 2, 2), Design(I, G, 5, 2, 0.6L, 0.5L), Design(I, S, 3, 4)}) {
        SCOPED_TRACE(::testing::Message() << "effect " << static_cast<int>(d.effect));
        const std::optional<DetectableEffect> found = SmallestDetectableF(d, 40, 0.9L);
        ASSERT_TRUE(found);
        EXPECT_GE(found->test.power, 0.9L);
        EXPECT_PRED_FORMAT3(Close, found->test.power, 0.9L, 1e-13L);
        EXPECT_LT(PowerOfTest(d, found->f * (1 - 1e-12L), 40)->power, 0.9L);
        // That f at N needs N (at most) in the search for N.
        EXPECT_EQ(SmallestNForPower(d, found->f, 0.9L)->n, 40);
        // The same lambda in the other convention's f, and back.
        const PowerConvention other = d.convention == G ? S : G;
        const Extended g = FInOtherConvention(d, found->f, d.convention, 40);
        PowerDesign flipped = d;
        flipped.convention = other;
        EXPECT_PRED_FORMAT3(Close, PowerLambda(flipped, g, 40), found->test.lambda, 1e-15L * found->test.lambda);
        EXPECT_PRED_FORMAT3(Close, FInOtherConvention(d, g, other, 40), found->f, 1e-17L);
    }
    // The within factor of three at N = 33: the packages' f^2 times 32 * 2 * .5 / 99.
    EXPECT_PRED_FORMAT3(Close, FInOtherConvention(Design(W, G, 3, 1), 1, S, 33), std::sqrt(32.0L / 99), 1e-18L);
    EXPECT_FALSE(SmallestDetectableF(Design(W, G, 3, 2), 2, 0.8L));
    EXPECT_FALSE(SmallestDetectableF(Design(W, G, 3, 1), 20, 0.04L));
    for (long double eta2p : {0.0L, 1e-6L, 0.01L, 0.0588L, 0.5L, 0.99L}) {
        const Extended f = FFromPartialEtaSquared(eta2p);
        EXPECT_PRED_FORMAT3(Close, PartialEtaSquaredFromF(f), eta2p, 1e-18L) << eta2p;
    }
    EXPECT_PRED_FORMAT3(Close, FFromPartialEtaSquared(0.2L), 0.5L, 1e-18L);  // .2 / .8 = .25
}

TEST(Power, DesignsThatCannotBePlanned) {
    EXPECT_EQ(PowerDesignProblem(Design(W, G, 1, 1)), "a within or interaction effect needs at least 2 measures");
    EXPECT_EQ(PowerDesignProblem(Design(B, G, 1, 2)), "");
    EXPECT_EQ(PowerDesignProblem(Design(B, G, 3, 1)), "a between or interaction effect needs at least 2 groups");
    EXPECT_EQ(PowerDesignProblem(Design(I, G, 3, 1)), "a between or interaction effect needs at least 2 groups");
    EXPECT_EQ(PowerDesignProblem(Design(W, G, 3, 0)), "the number of groups is at least 1");
    EXPECT_EQ(PowerDesignProblem(Design(W, G, 3, 1, 1)), "rho is a correlation above -1 and below 1");
    EXPECT_EQ(PowerDesignProblem(Design(W, G, 3, 1, 0.5L, 1, 1)), "alpha is a number between 0 and 1");
    EXPECT_EQ(PowerDesignProblem(Design(W, G, 3, 1, 0.5L, 0.49L)), "epsilon is between 1/(M - 1) and 1");
    EXPECT_EQ(PowerDesignProblem(Design(W, G, 3, 1, 0.5L, 0.5L)), "");
    EXPECT_EQ(PowerDesignProblem(Design(B, G, 3, 2, -0.5L)),
              "rho is above -1/(M - 1): the measures' mean has no variance below it");
    EXPECT_EQ(PowerDesignProblem(Design(B, G, 3, 2, -0.49L)), "");
}

}  // namespace
}  // namespace morvane
