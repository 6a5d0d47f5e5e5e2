// The orthogonal polynomial rows: the familiar integers of equal spacing, the
// directions of R's contr.poly(scores =) at unequal spacing, orthogonality to
// each other and to the constant, and no rows for scores that cannot carry them.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "stats/Polynomials.h"

namespace morvane {
namespace {

std::vector<mpq_class> Scores(std::initializer_list<long> values, long denominator = 1) {
    std::vector<mpq_class> out;
    for (const long v : values) {
        out.emplace_back(v, denominator);
        out.back().canonicalize();
    }
    return out;
}

std::vector<long> Longs(const std::vector<mpz_class>& row) {
    std::vector<long> out;
    for (const mpz_class& x : row) out.push_back(x.get_si());
    return out;
}

TEST(Polynomials, RowsOfEqualAndUnequalSpacing) {
    // Equal spacing: the tables' integers, sign fixed by a positive leading coefficient.
    const auto four = OrthogonalPolynomials(Scores({1, 2, 3, 4}));
    ASSERT_EQ(four.size(), 3u);
    EXPECT_EQ(Longs(four[0]), (std::vector<long>{-3, -1, 1, 3}));
    EXPECT_EQ(Longs(four[1]), (std::vector<long>{1, -1, -1, 1}));
    EXPECT_EQ(Longs(four[2]), (std::vector<long>{-1, 3, -3, 1}));
    const auto six = OrthogonalPolynomials(Scores({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Longs(six[0]), (std::vector<long>{-5, -3, -1, 1, 3, 5}));
    EXPECT_EQ(Longs(six[1]), (std::vector<long>{5, -1, -4, -4, -1, 5}));
    EXPECT_EQ(Longs(six[4]), (std::vector<long>{-1, 5, -10, 10, -5, 1}));
    // Shifted and scaled scores give the same rows.
    EXPECT_EQ(OrthogonalPolynomials(Scores({10, 12, 14, 16})), four);
    EXPECT_EQ(OrthogonalPolynomials(Scores({1, 2, 3, 4}, 10)), four);

    // R: contr.poly(4, scores = c(0, 1, 2, 4)): the same directions.
    const double r[3][4] = {
        {-0.5916079783099616, -0.2535462764185551, 0.0845154254728516, 0.7606388292556649},
        {0.564076074817766, -0.322329185610152, -0.644658371220304, 0.402911482012690},
        {-0.2860387767736777, 0.7627700713964740, -0.5720775535473553, 0.0953462589245592}};
    const auto unequal = OrthogonalPolynomials(Scores({0, 1, 2, 4}));
    ASSERT_EQ(unequal.size(), 3u);
    for (std::size_t d = 0; d < 3; ++d) {
        double length = 0;
        for (const mpz_class& x : unequal[d]) length += x.get_d() * x.get_d();
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(unequal[d][i].get_d() / std::sqrt(length), r[d][i], 1e-14) << d << " " << i;
    }

    // Any spacing: orthogonal to each other and to the constant, no common factor.
    const auto odd = OrthogonalPolynomials(Scores({-7, 1, 3, 25, 26, 40, 41}, 3));
    ASSERT_EQ(odd.size(), 6u);
    for (std::size_t a = 0; a < odd.size(); ++a) {
        mpz_class sum = 0, common = 0;
        for (const mpz_class& x : odd[a]) sum += x, common = gcd(common, x);
        EXPECT_EQ(sum, 0) << a;
        EXPECT_EQ(common, 1) << a;
        for (std::size_t b = a + 1; b < odd.size(); ++b) {
            mpz_class dot = 0;
            for (std::size_t i = 0; i < 7; ++i) dot += odd[a][i] * odd[b][i];
            EXPECT_EQ(dot, 0) << a << " " << b;
        }
    }

    EXPECT_TRUE(OrthogonalPolynomials(Scores({1})).empty());
    EXPECT_TRUE(OrthogonalPolynomials(Scores({1, 2, 1})).empty());
    EXPECT_TRUE(SmallIntegers(four[2]));
    EXPECT_FALSE(SmallIntegers({mpz_class(1), mpz_class(-kPolynomialIntegersUpTo - 1)}));
    EXPECT_EQ(DegreeName(1), "linear");
    EXPECT_EQ(DegreeName(4), "quartic");
    EXPECT_EQ(DegreeName(5), "degree 5");
}

}  // namespace
}  // namespace morvane
