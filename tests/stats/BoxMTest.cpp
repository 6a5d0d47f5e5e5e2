// Box's M test against the formulas written out in R (log-determinants of the
// groups' and the pooled covariance matrices, Box's c1 and c2), on both
// branches of the F approximation, and the cases where it is not defined.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "stats/BoxM.h"

namespace morvane {
namespace {

void Near(std::optional<Extended> got, long double want, const std::string& what, long double tolerance = 1e-11L) {
    ASSERT_TRUE(got.has_value()) << what;
    EXPECT_LE(std::fabs(*got - want), tolerance * std::max(1.0L, std::fabs(want))) << what << ": " << *got;
}

// R, for sizes n and the list S of covariance matrices:
//   g <- length(n); p <- nrow(S[[1]]); N <- sum(n)
//   Sp <- Reduce(`+`, lapply(1:g, function(i) (n[i]-1) * S[[i]])) / (N - g)
//   M <- (N - g) * log(det(Sp)) - sum((n - 1) * sapply(S, function(s) log(det(s))))
//   c1 <- (sum(1/(n-1)) - 1/(N-g)) * (2*p^2 + 3*p - 1) / (6*(p+1)*(g-1))
//   c2 <- (sum(1/(n-1)^2) - 1/(N-g)^2) * (p-1)*(p+2) / (6*(g-1))
//   df1 <- (g-1)*p*(p+1)/2; chi <- M*(1-c1); df2 <- (df1+2)/abs(c2-c1^2)
//   if (c2 > c1^2) { b <- df1/(1-c1-df1/df2); F <- M/b }
//   else { b <- df2/(1-c1+2/df2); F <- df2*M/(df1*(b-M)) }
//   pchisq(chi, df1, lower.tail = FALSE); pf(F, df1, df2, lower.tail = FALSE)
TEST(BoxMTest, BothApproximationsAgreeWithTheFormulasAndUndefinedCasesHaveNoFigures) {
    // n = c(40, 60), S = list(matrix(c(4, 1, 1, 3), 2), matrix(c(2, -0.5, -0.5, 5), 2)): c2 > c1^2.
    const BoxMTest two = BoxM({40, 60}, {SquareMatrix(2, {4, 1, 1, 3}), SquareMatrix(2, {2, -0.5L, -0.5L, 5})});
    EXPECT_EQ(two.undefined, BoxMUndefined::None);
    EXPECT_EQ(two.variables, 2u);
    Near(two.m, 13.538152487643L, "M");
    Near(two.chiSquare, 13.221495661166L, "chi-square");
    Near(two.dfChiSquare, 3, "df");
    Near(two.pChiSquare, 0.00418128926045886L, "p chi-square", 1e-9L);
    Near(two.f, 4.40712915937238L, "F");
    Near(two.df1, 3, "df1");
    Near(two.df2, 375423.487158922L, "df2", 1e-9L);
    Near(two.pF, 0.00418192063125803L, "p F", 1e-9L);
    // n = c(6, 9), S = list(matrix(4, 1), matrix(1.5, 1)): one variable, c2 = 0 < c1^2.
    const BoxMTest one = BoxM({6, 9}, {SquareMatrix(1, 4.0L), SquareMatrix(1, 1.5L)});
    Near(one.m, 1.5350324189317L, "M, p = 1");
    Near(one.chiSquare, 1.40809704582773L, "chi-square, p = 1");
    Near(one.pChiSquare, 0.235372551465411L, "p chi-square, p = 1", 1e-9L);
    Near(one.f, 1.41967389635173L, "F, p = 1");
    Near(one.df2, 438.723634396971L, "df2, p = 1", 1e-9L);
    Near(one.pF, 0.234101248116407L, "p F, p = 1", 1e-9L);
    // Equal matrices: M is 0 (to rounding), p 1.
    const BoxMTest same = BoxM({8, 8, 8}, std::vector<SquareMatrix>(3, SquareMatrix(2, {2, 1, 1, 2})));
    ASSERT_TRUE(same.m && same.pChiSquare);
    EXPECT_LT(std::fabs(*same.m), 1e-15L);
    // Not defined: one group; a group of p members; a singular group matrix (the
    // second row twice the first); never a figure from a log of 0.
    const auto undefined = [](const BoxMTest& t, BoxMUndefined why, const char* what) {
        EXPECT_EQ(t.undefined, why) << what;
        EXPECT_FALSE(t.m || t.chiSquare || t.pChiSquare || t.f || t.df2 || t.pF) << what;
    };
    undefined(BoxM({10}, {SquareMatrix(2, {4, 1, 1, 3})}), BoxMUndefined::FewGroups, "one group");
    undefined(BoxM({10, 2}, {SquareMatrix(2, {4, 1, 1, 3}), SquareMatrix(2, {4, 1, 1, 3})}),
              BoxMUndefined::SmallGroup, "a group of p");
    undefined(BoxM({10, 12}, {SquareMatrix(2, {4, 1, 1, 3}), SquareMatrix(2, {1, 2, 2, 4})}),
              BoxMUndefined::Singular, "a singular matrix");
}

}  // namespace
}  // namespace morvane
