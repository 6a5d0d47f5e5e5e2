// The design's scores as exact integers: each integer times the unit is the
// exact score, whichever strategy holds them, and the moments the two
// strategies sum are the same integers; figures and roots rounded once,
// correctly, from rationals in any terms.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "anova/detail/BlockProducts.h"
#include "anova/detail/FollowUps.h"
#include "anova/detail/Scores.h"
#include "exact/WideIntegers.h"
#include "support/RationalArithmetic.h"

namespace morvane::anova::detail {
namespace {

// A design of `groups` between cells of sizes 2, 3, ... and `cells` within
// cells whose scores are decimals of `places` places near `offset`, some
// averaged from up to three rows.
DesignData RandomDesign(std::mt19937& random, std::size_t groups, std::size_t cells, int places,
                        Int128 offset, bool averaged) {
    DesignData d;
    if (groups > 1) {
        d.between.push_back({"g", {}});
        for (std::size_t g = 0; g < groups; ++g) d.between[0].levels.push_back("g" + std::to_string(g));
    }
    d.within.push_back({"w", {}});
    for (std::size_t c = 0; c < cells; ++c) d.within[0].levels.push_back("w" + std::to_string(c));
    d.exact = true;
    d.scale = places;
    std::uniform_int_distribution<int> spread(-5000, 5000), rows(1, 3);
    for (std::size_t g = 0; g < groups; ++g)
        for (std::size_t s = 0; s < g + 2; ++s) {
            // Subjects of the groups interleaved, as a CSV may give them.
            d.subjects.push_back("s" + std::to_string(d.subjects.size()));
            d.group.push_back(static_cast<std::int32_t>(g));
            for (std::size_t c = 0; c < cells; ++c) {
                const std::int32_t r = averaged ? rows(random) : 1;
                Int128 units = 0;
                for (std::int32_t k = 0; k < r; ++k) units += offset + spread(random);
                d.units.push_back(units);
                d.rows.push_back(r);
                d.values.push_back(static_cast<Extended>(units) / r / std::pow(10.0L, places));
            }
        }
    return d;
}

mpq_class ExactScore(const DesignData& d, std::size_t at) {
    mpq_class x(exact::ToMpz(d.units[at]), exact::Big(d.rows[at]) * exact::PowerOfTen(static_cast<unsigned long>(d.scale)));
    x.canonicalize();
    return x;
}

mpq_class IntegerOf(const Scores& s, std::size_t rank, std::size_t cell) {
    const mpz_class offset = s.Quick() ? mpz_class(s.small[rank * s.cells + cell]) : s.wide[rank * s.cells + cell];
    return mpq_class(s.reference[cell] + offset);
}

// Each subject's cells, a difference of two of them and their sum, as a step
// forms values, with every product of the three.
Summed SomeMoments(const Scores& s) {
    return SumValues(s, Blocks({3}), {1, 1, 1}, static_cast<long double>(s.cells), [&](const auto* row, auto* out) {
        out[0] = row[0];
        out[1] = row[0] - row[s.cells - 1];
        out[2] = 0;
        for (std::size_t c = 0; c < s.cells; ++c) out[2] += row[c];
    });
}

TEST(ScoresTest, EitherStrategyHoldsTheExactScoresAndSumsTheSameMoments) {
    std::mt19937 random(20261210);
    const Int128 kOffsets[] = {0, -3, Int128{1000000000} * 1000, Int128{1} << 125};
    for (const Int128 offset : kOffsets)
        for (const bool averaged : {false, true})
            for (const std::size_t groups : {std::size_t{1}, std::size_t{3}}) {
                SCOPED_TRACE(static_cast<long double>(offset));
                const DesignData d = RandomDesign(random, groups, 4, 3, offset, averaged);
                const Scores quick = IntegerScores(d, Strategy::Quick), sure = IntegerScores(d, Strategy::Sure);
                // Small offsets whatever the digits the scores share, beyond 128 bits too.
                EXPECT_TRUE(quick.Quick());
                EXPECT_FALSE(sure.Quick());
                EXPECT_EQ(quick.unit, sure.unit);
                for (std::size_t r = 0; r < d.Subjects(); ++r)
                    for (std::size_t c = 0; c < d.Cells(); ++c) {
                        const std::size_t at = quick.order.subjects[r] * d.Cells() + c;
                        EXPECT_EQ(IntegerOf(quick, r, c) * quick.unit, ExactScore(d, at));
                        EXPECT_EQ(IntegerOf(sure, r, c) * sure.unit, ExactScore(d, at));
                    }
                const Summed a = SomeMoments(quick), b = SomeMoments(sure);
                ASSERT_EQ(a.groups.size(), groups);
                for (std::size_t g = 0; g < groups; ++g) {
                    EXPECT_EQ(a.Size(g), static_cast<std::int64_t>(g + 2));
                    EXPECT_EQ(a.groups[g].sum, b.groups[g].sum);
                    EXPECT_EQ(a.groups[g].centred, b.groups[g].centred);
                    // The centred products are symmetric and the diagonal's are n^2 times a variance.
                    EXPECT_EQ(a.Centred(g, 0, 2), a.Centred(g, 2, 0));
                    EXPECT_GE(a.Centred(g, 1, 1), 0);
                    // The means of the values, the references' values added back.
                    EXPECT_EQ(a.Mean(g, 2), b.Mean(g, 2));
                }
            }
}

TEST(ScoresTest, ALargeDesignsOffsetsAreTakenInTwoHalves) {
    // 800 subjects x 100 cells: the second half's last score decides whether 31 bits hold them.
    DesignData d;
    d.within.push_back({"w", {}});
    for (int c = 0; c < 100; ++c) d.within[0].levels.push_back("w" + std::to_string(c));
    d.exact = true;
    d.scale = 1;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> spread(-100000, 100000);
    for (int s = 0; s < 800; ++s) {
        d.subjects.push_back("s" + std::to_string(s));
        d.group.push_back(0);
        for (int c = 0; c < 100; ++c) d.units.push_back((Int128{1} << 40) + spread(random)), d.rows.push_back(1);
    }
    for (const Int128 last : {(Int128{1} << 40) + 5, Int128{1} << 45}) {
        d.units.back() = last;
        const Scores quick = IntegerScores(d, Strategy::Quick), sure = IntegerScores(d, Strategy::Sure);
        EXPECT_EQ(quick.Quick(), last < (Int128{1} << 41));
        for (std::size_t r = 0; r < d.Subjects(); ++r)
            for (std::size_t c = 0; c < d.Cells(); ++c)
                ASSERT_EQ(IntegerOf(quick, r, c), IntegerOf(sure, r, c)) << r << " " << c;
        if (quick.Quick()) {
            std::int64_t bound = 0;
            for (const std::int32_t o : quick.small) bound = std::max<std::int64_t>(bound, std::abs(o));
            EXPECT_EQ(quick.bound, bound);
        }
    }
}

TEST(ScoresTest, BlockProductsAreTheSumsOfTheProductsModulo2To64) {
    std::mt19937_64 random(5);
    const std::size_t k = 37;
    std::vector<std::uint32_t> laid(k * kSumBlock);
    for (int round = 0; round < 3; ++round) {
        for (std::uint32_t& v : laid)
            v = round == 0 ? static_cast<std::uint32_t>(random()) : round == 1 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(random() % 7);
        const auto expected = [&](std::size_t i, std::size_t j) {
            std::uint64_t sum = 0;
            for (std::size_t t = 0; t < kSumBlock; ++t) sum += std::uint64_t{laid[i * kSumBlock + t]} * laid[j * kSumBlock + t];
            return sum;
        };
        std::vector<std::uint64_t> products(k);
        for (std::size_t i = 0; i < k; i += 5) {
            BlockProducts(laid.data(), i, k, products.data());
            for (std::size_t j = i; j < k; ++j) ASSERT_EQ(products[j - i], expected(i, j)) << round << " " << i << " " << j;
        }
        // Values named by a list, in any order, one of them twice.
        const std::vector<std::size_t> rows{36, 2, 17, 2, 0, 9};
        BlockProducts(laid.data(), 11, rows.data(), rows.size(), products.data());
        for (std::size_t j = 0; j < rows.size(); ++j) ASSERT_EQ(products[j], expected(11, rows[j])) << round << " " << j;
    }
}

TEST(ScoresTest, ExtendedValuesAreTheBinaryRationalsTheyAre) {
    DesignData d;
    d.within.push_back({"w", {"1", "2"}});
    d.subjects = {"a", "b", "c"};
    d.group = {0, 0, 0};
    d.values = {1e300L, -2.5L, 0.1L, 3e-300L, 0, 7};
    for (const Strategy strategy : {Strategy::Quick, Strategy::Sure}) {
        const Scores s = IntegerScores(d, strategy);
        EXPECT_FALSE(s.decimal);
        EXPECT_FALSE(s.Quick());  // a span of 600 decimal places fits no 31 bits
        for (std::size_t r = 0; r < 3; ++r)
            for (std::size_t c = 0; c < 2; ++c)
                EXPECT_EQ(Rounded(IntegerOf(s, r, c) * s.unit), d.values[r * 2 + c]);
    }
    // Offsets beyond 31 bits are held in GMP by either strategy.
    d.values = {1, 2, 3e12L, 4, 5, 6};
    EXPECT_FALSE(IntegerScores(d).Quick());
    // Rounded once, and roots correctly rounded.
    EXPECT_EQ(Rounded(mpq_class(1, 3)), 1.0L / 3);
    EXPECT_EQ(RoundedRoot(mpq_class(2)), std::sqrt(2.0L));
    EXPECT_EQ(RoundedRoot(mpq_class(9, 4), -1), -1.5L);
}

// Whether `root` is the square root of `square` correctly rounded: the square
// lies between those of the midpoints to its neighbours, and on one of them
// only where its last bit is even.
::testing::AssertionResult CorrectRoot(Extended root, const mpq_class& square) {
    const Extended magnitude = std::fabs(root);
    const mpq_class low = (testing::Exactly(std::nextafter(magnitude, 0.0L)) + testing::Exactly(magnitude)) / 2,
                    high = (testing::Exactly(magnitude) + testing::Exactly(std::nextafter(magnitude, INFINITY))) / 2;
    int exponent = 0;
    const bool even = (static_cast<unsigned long long>(std::ldexp(std::frexp(magnitude, &exponent), 64)) & 1) == 0;
    if (low * low < square && square < high * high) return ::testing::AssertionSuccess();
    if ((low * low == square || square == high * high) && even) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << static_cast<double>(root) << " is not the root of " << square.get_d();
}

TEST(ScoresTest, FiguresAndRootsAreCorrectlyRoundedInAnyTerms) {
    std::mt19937_64 random(20261211);
    gmp_randclass bits(gmp_randinit_default);
    bits.seed(7);
    for (int i = 0; i < 3000; ++i) {
        // Numerators and denominators of up to 300 bits, a common factor left in.
        const mpz_class num = bits.get_z_bits(1 + random() % 300), den = bits.get_z_bits(1 + random() % 200) + 1,
                        common = bits.get_z_bits(1 + random() % 90) + 1;
        mpq_class square(num, den);
        square.canonicalize();
        const int sign = random() % 2 == 0 ? 1 : -1;
        const Extended root = RoundedRoot(square, sign);
        ASSERT_EQ(root, RoundedRoot(num * common, den * common, sign)) << i;
        ASSERT_TRUE(CorrectRoot(root, square)) << i;
        ASSERT_EQ(root == 0 ? 0 : root < 0 ? -1 : 1, num == 0 ? 0 : sign) << i;
        ASSERT_TRUE(testing::CorrectlyRounded(Rounded(sign * square), sign * square)) << i;
    }
    // Ties to even: 1 + 2^-64 lies halfway between 1 and the next value, 1 + 3 2^-64 between that and the one after.
    const mpq_class one(1), ulp(1, mpz_class(1) << 63);
    EXPECT_EQ(Rounded(one + ulp / 2), 1.0L);
    EXPECT_EQ(Rounded(one + 3 * ulp / 2), 1.0L + 2 * static_cast<Extended>(ulp.get_d()));
    EXPECT_EQ(Rounded(-(one + ulp / 2)), -1.0L);
    // A root just above a midpoint rounds up, just below it down, exactly on it to even.
    const mpq_class middle = one + ulp / 2, tiny(1, mpz_class(1) << 200);
    EXPECT_EQ(RoundedRoot(middle * middle + tiny), 1.0L + static_cast<Extended>(ulp.get_d()));
    EXPECT_EQ(RoundedRoot(middle * middle - tiny), 1.0L);
    EXPECT_EQ(RoundedRoot(middle * middle), 1.0L);
    // Perfect squares in any terms.
    EXPECT_EQ(RoundedRoot(mpz_class(36 * 7), mpz_class(49 * 7), -1), -6.0L / 7);
    EXPECT_EQ(RoundedRoot(mpz_class(0), mpz_class(5), 1), 0.0L);
}

}  // namespace
}  // namespace morvane::anova::detail
