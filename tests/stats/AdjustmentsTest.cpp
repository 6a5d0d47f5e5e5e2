// The adjustments of a family of p-values against R's p.adjust, and Shaffer's
// multipliers against the partitions of the levels worked out by hand and by
// listing them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <vector>

#include "stats/Adjustments.h"

namespace morvane {
namespace {

constexpr long double kU = -1;  // an undefined p (not in the family)

std::vector<std::optional<Extended>> Family(const std::vector<long double>& p) {
    std::vector<std::optional<Extended>> out;
    for (long double v : p) out.push_back(v == kU ? std::nullopt : std::optional<Extended>(v));
    return out;
}

// Each chosen adjustment of `p` against R's figures (kU where the p is undefined).
void ExpectAdjusted(const std::vector<long double>& p, Adjustment a, const std::vector<long double>& expected,
                    std::size_t levels = 0) {
    AdjustmentSet chosen = AdjustmentSet::None();
    chosen.Add(a);
    std::vector<AdjustedP> got = AdjustFamily(Family(p), chosen, levels);
    ASSERT_EQ(got.size(), expected.size());
    const std::string name(kAdjustmentNames[static_cast<std::size_t>(a)].option);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const std::optional<Extended> v = AdjustedField(got[i], a);
        if (expected[i] == kU) {
            EXPECT_FALSE(v) << name << " " << i;
            continue;
        }
        ASSERT_TRUE(v) << name << " " << i;
        EXPECT_LE(std::fabs(*v - expected[i]), 1e-14L * expected[i])
            << name << " " << i << ": " << static_cast<double>(*v);
        // Only the chosen adjustment is formed.
        for (const AdjustmentNames& n : kAdjustmentNames)
            if (n.adjustment != a) {
                EXPECT_FALSE(AdjustedField(got[i], n.adjustment)) << name;
            }
    }
}

TEST(Adjustments, EveryMethodAgreesWithRsPAdjust) {
    // Ties (0.04 twice), an undefined p, p near 1 and a tiny one. R:
    //   p <- c(0.01, 0.04, NA, 0.03, 0.005, 0.04, 0.999, 1e-12, 0.5, 0.98)
    //   sprintf("%.17g", p.adjust(p, m)) for m in holm, bonferroni, hochberg, hommel, BH, BY;
    //   Šidák: q <- p[!is.na(p)]; n <- length(q); -expm1(n * log1p(-q));
    //   Holm–Šidák: o <- order(q); cummax(-expm1((n:1) * log1p(-q[o])))[order(o)]
    const std::vector<long double> p{0.01L, 0.04L, kU, 0.03L, 0.005L, 0.04L, 0.999L, 1e-12L, 0.5L, 0.98L};
    ExpectAdjusted(p, Adjustment::Holm, {0.07L, 0.2L, kU, 0.18L, 0.04L, 0.2L, 1, 9e-12L, 1, 1});
    ExpectAdjusted(p, Adjustment::Bonferroni, {0.09L, 0.36L, kU, 0.27L, 0.045L, 0.36L, 1, 9e-12L, 1, 1});
    ExpectAdjusted(p, Adjustment::Hochberg,
                   {0.07L, 0.16L, kU, 0.16L, 0.04L, 0.16L, 0.999L, 9e-12L, 0.999L, 0.999L});
    ExpectAdjusted(p, Adjustment::Hommel,
                   {0.07L, 0.16L, kU, 0.12L, 0.04L, 0.16L, 0.999L, 9e-12L, 0.999L, 0.999L});
    ExpectAdjusted(p, Adjustment::BH,
                   {0.03L, 0.06L, kU, 0.06L, 0.0225L, 0.06L, 0.999L, 9e-12L, 0.6428571428571429L, 0.999L});
    ExpectAdjusted(p, Adjustment::BY,
                   {0.084869047619047622L, 0.16973809523809524L, kU, 0.16973809523809524L,
                    0.06365178571428573L, 0.16973809523809524L, 1, 2.5460714285714288e-11L, 1, 1});
    ExpectAdjusted(
        p, Adjustment::Sidak,
        {0.086482752516359104L, 0.30746600417551972L, kU, 0.23976894134543478L, 0.044110421642440313L,
         0.30746600417551972L, 1, 8.9999999999640011e-12L, 0.998046875L, 0.99999999999999944L});
    ExpectAdjusted(
        p, Adjustment::HolmSidak,
        {0.067934652093010001L, 0.18462730240000003L, kU, 0.16702799507100002L, 0.039306956424563125L,
         0.18462730240000003L, 0.9996L, 8.9999999999640011e-12L, 0.875L, 0.9996L});

    // A family where Hommel's differs from Hochberg's, with a tie. R as above on
    //   p <- c(0.011, 0.02, 0.025, 0.04, 0.3, 0.02)
    const std::vector<long double> q{0.011L, 0.02L, 0.025L, 0.04L, 0.3L, 0.02L};
    ExpectAdjusted(q, Adjustment::Holm, {0.066L, 0.1L, 0.1L, 0.1L, 0.3L, 0.1L});
    ExpectAdjusted(q, Adjustment::Hochberg, {0.066L, 0.075L, 0.075L, 0.08L, 0.3L, 0.075L});
    ExpectAdjusted(q, Adjustment::Hommel, {0.044L, 0.06L, 0.06L, 0.08L, 0.3L, 0.06L});
    ExpectAdjusted(q, Adjustment::BH, {0.0375L, 0.0375L, 0.0375L, 0.048L, 0.3L, 0.0375L});
    ExpectAdjusted(q, Adjustment::BY, {0.091875L, 0.091875L, 0.091875L, 0.1176L, 0.735L, 0.091875L});
    ExpectAdjusted(q, Adjustment::HolmSidak,
                   {0.064211401349534444L, 0.0960792032L, 0.0960792032L, 0.0960792032L, 0.3L, 0.0960792032L});

    // Two p-values (R's Hommel is Hochberg's there) and one (every adjustment leaves it as it is):
    //   p.adjust(c(0.03, 0.04), m); p.adjust(0.03, m)
    ExpectAdjusted({0.03L, 0.04L}, Adjustment::Hommel, {0.04L, 0.04L});
    ExpectAdjusted({0.03L, 0.04L}, Adjustment::BY, {0.06L, 0.06L});
    ExpectAdjusted({0.03L, 0.04L}, Adjustment::Sidak, {0.0591L, 0.0784L});
    for (const AdjustmentNames& n : kAdjustmentNames)
        if (n.adjustment != Adjustment::Tukey) ExpectAdjusted({kU, 0.03L, kU}, n.adjustment, {kU, 0.03L, kU}, 3);
    // Tukey's needs the pairs' t's, which a family of p-values does not hold: never formed here.
    ExpectAdjusted({kU, 0.03L, 0.2L}, Adjustment::Tukey, {kU, kU, kU}, 3);
}

TEST(Adjustments, ShafferCountsThePairsThatCanStillBeTrue) {
    // Four levels, m = 6. The partitions of 4 and their sums of C(k_i, 2):
    // 4 -> 6, 3+1 -> 3, 2+2 -> 2, 2+1+1 -> 1, 1+1+1+1 -> 0; S(4) = {0, 1, 2, 3, 6}.
    // t_j is the largest of S(4) not above m - j + 1 = 6, 5, 4, 3, 2, 1: 6, 3, 3, 3, 2, 1
    // (once one pair differs, at most the three pairs within a group of three can be equal).
    EXPECT_EQ(ShafferMultipliers(4), (std::vector<std::int64_t>{6, 3, 3, 3, 2, 1}));
    // Five levels, m = 10: 5 -> 10, 4+1 -> 6, 3+2 -> 4, 3+1+1 -> 3, 2+2+1 -> 2, 2+1+1+1 -> 1, 1*5 -> 0;
    // S(5) = {0, 1, 2, 3, 4, 6, 10}, against 10, 9, ..., 1: 10, 6, 6, 6, 6, 4, 4, 3, 2, 1.
    EXPECT_EQ(ShafferMultipliers(5), (std::vector<std::int64_t>{10, 6, 6, 6, 6, 4, 4, 3, 2, 1}));
    // Three levels: 3 -> 3, 2+1 -> 1: after the first, each at the level itself.
    EXPECT_EQ(ShafferMultipliers(3), (std::vector<std::int64_t>{3, 1, 1}));

    // The p-values of k = 4's pairs, in the pairs' order: sorted 0.001, 0.01, 0.02, 0.03, 0.04, 0.5
    // times 6, 3, 3, 3, 2, 1 = 0.006, 0.03, 0.06, 0.09, 0.08, 0.5, the running maximum making the
    // fifth 0.09. Holm's (6, 5, 4, 3, 2, 1) would give 0.006, 0.05, 0.08, 0.09, 0.09, 0.5.
    const std::vector<long double> four{0.03L, 0.5L, 0.001L, 0.04L, 0.02L, 0.01L};
    ExpectAdjusted(four, Adjustment::Shaffer, {0.09L, 0.5L, 0.006L, 0.09L, 0.06L, 0.03L}, 4);
    // k = 5: sorted 0.001, 0.002, ..., 0.009, 0.2 times 10, 6, 6, 6, 6, 4, 4, 3, 2, 1 = 0.01, 0.012,
    // 0.018, 0.024, 0.03, 0.024, 0.028, 0.024, 0.018, 0.2; running maximum: 0.01, 0.012, 0.018, 0.024,
    // 0.03, 0.03, 0.03, 0.03, 0.03, 0.2. A p of 0.4 would be capped at 1 by t_1 = 10.
    const std::vector<long double> five{0.2L,   0.009L, 0.001L, 0.008L, 0.002L,
                                        0.007L, 0.003L, 0.006L, 0.004L, 0.005L};
    ExpectAdjusted(five, Adjustment::Shaffer,
                   {0.2L, 0.03L, 0.01L, 0.03L, 0.012L, 0.03L, 0.018L, 0.03L, 0.024L, 0.03L}, 5);
    ExpectAdjusted({0.4L, 0.5L, 0.6L}, Adjustment::Shaffer, {1, 1, 1}, 3);
    // A pair undefined: the family is not every pair, and takes Holm's multipliers (5, 4, 3, 2, 1).
    ExpectAdjusted({0.03L, 0.5L, 0.001L, kU, 0.02L, 0.01L}, Adjustment::Shaffer,
                   {0.06L, 0.5L, 0.005L, kU, 0.06L, 0.04L}, 4);
    // Not a family of pairs, or too many levels: Holm's.
    ExpectAdjusted({0.01L, 0.02L}, Adjustment::Shaffer, {0.02L, 0.02L});
    EXPECT_TRUE(ShafferMultipliers(kShafferLevels + 1).empty());
}

// The sums of C(k_i, 2) over the partitions of n into parts no larger than `largest`.
void PartitionSums(std::size_t n, std::size_t largest, std::int64_t sum, std::set<std::int64_t>& out) {
    if (n == 0) {
        out.insert(sum);
        return;
    }
    for (std::size_t k = std::min(n, largest); k >= 1; --k)
        PartitionSums(n - k, k, sum + static_cast<std::int64_t>(k * (k - 1) / 2), out);
}

TEST(Adjustments, ShafferMultipliersAgreeWithTheListedPartitions) {
    // Up to 30 levels (435 pairs, the sets over several 64-bit words), the
    // multipliers from the partitions listed one by one.
    for (std::size_t k = 2; k <= 30; ++k) {
        std::set<std::int64_t> sums;
        PartitionSums(k, k, 0, sums);
        const auto m = static_cast<std::int64_t>(k * (k - 1) / 2);
        std::vector<std::int64_t> expected;
        for (std::int64_t j = 1; j <= m; ++j) expected.push_back(*std::prev(sums.upper_bound(m - j + 1)));
        EXPECT_EQ(ShafferMultipliers(k), expected) << k;
    }
    // The largest: the first is m, the next C(k - 1, 2), the last 1, never rising.
    const std::vector<std::int64_t> t = ShafferMultipliers(kShafferLevels);
    const auto k = static_cast<std::int64_t>(kShafferLevels);
    ASSERT_EQ(t.size(), static_cast<std::size_t>(k * (k - 1) / 2));
    EXPECT_EQ(t.front(), k * (k - 1) / 2);
    EXPECT_EQ(t[1], (k - 1) * (k - 2) / 2);
    EXPECT_EQ(t.back(), 1);
    EXPECT_TRUE(std::is_sorted(t.rbegin(), t.rend()));
}

TEST(Adjustments, AFamilyHasTheChosenAdjustmentsOfItsDefinedValues) {
    const std::vector<AdjustedP> a = AdjustFamily(Family({0.01L, 0.04L, kU, 0.03L, 0.005L}));
    const long double holm[] = {0.03L, 0.06L, 0, 0.06L, 0.02L},
                      bonferroni[] = {0.04L, 0.16L, 0, 0.12L, 0.02L};
    for (std::size_t i : {0u, 1u, 3u, 4u}) {
        EXPECT_LE(std::fabs(*a[i].pHolm - holm[i]), 1e-17L) << i;
        EXPECT_LE(std::fabs(*a[i].pBonferroni - bonferroni[i]), 1e-17L) << i;
        EXPECT_FALSE(a[i].pSidak || a[i].pHommel || a[i].pShaffer) << i;  // not chosen
    }
    EXPECT_FALSE(a[2].pHolm);
    EXPECT_EQ(*AdjustFamily(Family({0.6L, 0.7L}))[0].pBonferroni, 1);
    const std::vector<AdjustedP> every =
        AdjustFamily(Family({0.01L, 0.02L, 0.03L}), AdjustmentSet::Every(), 3);
    for (const AdjustmentNames& n : kAdjustmentNames)
        EXPECT_EQ(AdjustedField(every[0], n.adjustment).has_value(), n.adjustment != Adjustment::Tukey) << n.key;
}

}  // namespace
}  // namespace morvane
