// The noncentral F beyond its series (F df1 above 10^6): the limits of partial
// eta squared's interval against sums in 50 digits, no step where the series
// hands over to the integral, an F as large as the format holds, and the
// undefined cases.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "stats/Distributions.h"

namespace morvane {
namespace {

::testing::AssertionResult Near(long double value, long double expected, long double relative) {
    if (std::fabs(value - expected) <= relative * std::fabs(expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << value << " against " << expected << ", relative " << (value - expected) / expected;
}

TEST(NoncentralF, LimitsBeyondTheSeriesAgreeWithFiftyDigitSums) {
    // Printed by NoncentralFReference.cpp (the Poisson mixture of incomplete
    // beta functions in 50 digits, each limit by TOMS 748 to 100 bits):
    //   cmake --build build --target noncentral_f_reference
    //   build/tests/stats/noncentral_f_reference F DF1 DF2 LEVEL
    // Measured: lambda within 1.3e-16 of these (within 1e-18 where the integral
    // finds it for a df1 below 10^6), eta squared within 2e-17; lambda within
    // 1e-14 puts eta squared = lambda / (lambda + df2) within 2.5e-15.
    const struct {
        long double f, df1, df2, level, lower, upper;
    } cases[] = {
        // Just above F df1 = 10^6: the lower limit from the series, the upper
        // from the integral; then the lower limit either side of 10^6.
        {1.0000001e6L, 1, 14, 0.9L, 469324.4307674682684436037L, 1691781.661412104429708732L},
        {1.2e6L, 1, 14, 0.9L, 563190.5464474170240738089L, 2030135.653740228515339804L},
        {2130700, 1, 14, 0.9L, 999996.7341980996392103029L, 3604666.744286222034416387L},
        {2130800, 1, 14, 0.9L, 1000043.667279410764038021L, 3604835.921366971884535103L},
        // An effect of eta squared about .999997 to .9999992, two subjects,
        // the Greenhouse-Geisser df, a large error df (eta squared far from 1)
        // at two levels, many levels of the factor, and a df1 as large as lambda.
        {5e6L, 2, 14, 0.9L, 4693300.701917584200887927L, 16917717.75967259847274618L},
        {1e7L, 1, 1, 0.9L, 39321.40393233522733261741L, 38414592.04840008027773971L},
        {3.7e6L, 1.37L, 9.59L, 0.9L, 1948077.953469006595866867L, 9377147.085011147271097964L},
        {1e6L, 3, 2e5L, 0.9L, 2983405.072171422870904625L, 3016629.446505152475153281L},
        {2e6L, 1, 1e6L, 0.95L, 1992167.302113566335204614L, 2007847.010873329740022749L},
        {1e3L, 3000, 6000, 0.9L, 2907302.975612648178323154L, 3087840.313672200541606623L},
        {2, 2e6L, 1e6L, 0.9L, 1989097.583672312460725863L, 2010919.027011566728978353L},
        // F df1 = 10^8, 10^9 and 10^12 (the last 38 minutes of the program).
        {2.5e7L, 4, 60, 0.9L, 71979911.94461444046276939L, 131803257.8950207467571662L},
        {1e9L, 1, 14, 0.9L, 469330806.6984417190496292L, 1691770818.173404101511615L},
        {1e12L, 1, 14, 0.9L, 469330813121.380891450077L, 1691770807499.297632870294L},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "F " << c.f << " on " << c.df1 << ", " << c.df2);
        const std::optional<NoncentralityLimits> limits = NoncentralFLimits(c.f, c.df1, c.df2, c.level);
        ASSERT_TRUE(limits);
        EXPECT_TRUE(Near(limits->lower, c.lower, 1e-14L));
        EXPECT_TRUE(Near(limits->upper, c.upper, 1e-14L));
    }
}

TEST(NoncentralF, NoStepWhereTheSeriesHandsOver) {
    // F df1 = 10^6 is the series' alone, the next F above it is the integral's
    // for lambda above 10^6: the limits are the same to the search's precision
    // (a difference of 1e-10 between the two distribution functions would move
    // them by some 1e-9 of their value).
    for (const long double df1 : {1.0L, 4.0L}) {
        for (const long double df2 : {1.0L, 14.0L, 1000.0L, 1e6L}) {
            SCOPED_TRACE(::testing::Message() << df1 << ", " << df2);
            const long double f = 1e6L / df1;
            const auto series = NoncentralFLimits(f, df1, df2, 0.9L);
            const auto beyond = NoncentralFLimits(
                std::nextafter(f, std::numeric_limits<long double>::infinity()), df1, df2, 0.9L);
            ASSERT_TRUE(series && beyond);
            EXPECT_TRUE(Near(beyond->lower, series->lower, 1e-14L));
            EXPECT_TRUE(Near(beyond->upper, series->upper, 1e-14L));
        }
    }
}

TEST(NoncentralF, AnFAsLargeAsTheFormatHoldsHasAnIntervalNearOne) {
    // As F df1 grows, X / lambda tends to 1 and lambda / (F df1) to V / df2 at
    // its (1 -/+ level) / 2 quantiles, V chi-square on df2 (in 50 digits by
    // Boost's chi_squared_distribution over cpp_bin_float_50), the difference
    // falling as 1 / (F df1) (about 250 / (F df1) for df2 = 1).
    const struct {
        long double df2, lower, upper;
    } quantiles[] = {
        {1, 0.003932140000019522731309468L, 3.841458820694125958361375L},
        {14, 0.4693308131278102600662124L, 1.691770807488612841565498L},
        {1000, 0.9275943630209790496286414L, 1.074679448803440984467504L},
    };
    for (const auto& q : quantiles) {
        for (const long double fd : {1e12L, 1e15L, 1e30L, 1e300L, 1e4000L}) {
            SCOPED_TRACE(::testing::Message() << "F df1 " << fd << " on df2 " << q.df2);
            const auto limits = NoncentralFLimits(fd / 2, 2, q.df2, 0.9L);
            ASSERT_TRUE(limits);
            EXPECT_TRUE(Near(limits->lower / fd, q.lower, 300 / fd + 4e-15L));
            EXPECT_TRUE(Near(limits->upper / fd, q.upper, 300 / fd + 4e-15L));
            const long double lower = limits->lower / (limits->lower + q.df2);
            EXPECT_TRUE(lower > 0.99999L && lower <= limits->upper / (limits->upper + q.df2));
        }
    }
}

TEST(NoncentralF, UndefinedWhereTheDistributionIsAndZeroBelowEveryQuantile) {
    const long double inf = std::numeric_limits<long double>::infinity(), nan = std::nanl("");
    for (const long double f : {2.0L, 5e6L}) {
        for (const long double bad : {0.0L, -1.0L, inf, nan})
            EXPECT_FALSE(NoncentralFLimits(f, bad, 14, 0.9L) || NoncentralFLimits(f, 2, bad, 0.9L) ||
                         NoncentralFLimits(f, 2, 14, bad) || NoncentralFLimits(f, 2, 14, 1 - bad));
    }
    // No F, and an F df1 beyond the format's range: no lambda to give.
    for (const long double f : {inf, -inf, nan, std::numeric_limits<long double>::max() / 2})
        EXPECT_FALSE(NoncentralFLimits(f, 3, 14, 0.9L));
    // An F at or below 0 is below every quantile (Boost's distribution throws
    // on an F below 0).
    for (const long double f : {0.0L, -3.0L, -5e6L}) {
        const auto limits = NoncentralFLimits(f, 2, 14, 0.9L);
        EXPECT_TRUE(limits && limits->lower == 0 && limits->upper == 0);
    }
}

}  // namespace
}  // namespace morvane
