// The one engine on a mixed design of unequal groups (G: 5, 6 and 8
// subjects) x A (2) x B (2) against R: Box's M test of the groups' covariance
// matrices, and the effect sizes beside the summary's that are formed from
// more than one effect's sums (generalized omega squared) or from the
// measures' correlation (the power programs' f), each written out in R from
// afex's table, hard-coded beside its code.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "stats/Power.h"

namespace morvane::anova {
namespace {

// A figure beside R's: relative agreement to `tolerance`, present where R has one.
void Near(std::optional<Extended> got, long double want, const std::string& what,
          long double tolerance = 1e-12L) {
    ASSERT_TRUE(got.has_value()) << what;
    EXPECT_LE(std::fabs(*got - want), tolerance * std::max(1.0L, std::fabs(want))) << what << ": " << *got;
}

// The scores, by subject, the within cells a1b1 a1b2 a2b1 a2b2; R drew them:
//   set.seed(7); n <- c(5, 6, 8); g <- 3; p <- 4; Y <- NULL; G <- NULL
//   for (i in 1:g) { m <- matrix(round(rnorm(n[i]*p, 20, 3 + i) + rep(rnorm(n[i], 0, 2+i), p), 1), n[i], p)
//                    Y <- rbind(Y, m); G <- c(G, rep(i, n[i])) }
DesignData Unequal() {
    DesignData d;
    d.between = {{"G", {"g1", "g2", "g3"}}};
    d.within = {{"A", {"a1", "a2"}}, {"B", {"b1", "b2"}}};
    d.values = {31.7L, 18.7L, 23.9L, 24.4L, 17.3L, 25.1L, 33.0L, 18.5L, 21.1L, 23.5L, 33.0L, 22.7L,
                14.2L, 16.4L, 17.1L, 15.8L, 19.9L, 32.6L, 31.4L, 27.8L, 24.6L, 27.3L, 18.2L, 17.2L,
                22.7L, 19.5L, 18.2L, 17.0L, 22.9L, 19.6L, 21.5L, 18.0L, 16.6L, 19.4L, 27.6L, 28.2L,
                25.4L, 24.0L, 23.3L, 29.8L, 18.5L, 27.9L, 21.5L, 23.4L, 21.4L, 22.7L, 12.9L, 33.0L,
                1.7L,  13.0L, 7.4L,  13.1L, 24.8L, 29.6L, 17.7L, 23.0L, 29.2L, 32.8L, 18.3L, 28.4L,
                11.4L, 23.7L, 8.8L,  14.4L, 23.6L, 30.7L, 17.8L, 18.3L, 22.1L, 25.4L, 17.8L, 19.3L,
                27.5L, 26.8L, 23.9L, 22.2L};
    d.group = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2};
    for (std::size_t s = 0; s < d.group.size(); ++s) d.subjects.push_back(std::to_string(s + 1));
    return d;
}

// Box's M of groups of 5, 6 and 8 subjects over A (2) x B (2): the four
// within cells are the variables. R (the scores as printed, by row; G the groups):
//   set.seed(7); n <- c(5, 6, 8); p <- 4  (scores drawn, rounded to 0.1)
//   S <- lapply(1:3, function(i) cov(Y[G == i, ])); N <- sum(n); g <- 3
//   Sp <- Reduce(`+`, lapply(1:g, function(i) (n[i]-1) * S[[i]])) / (N - g)
//   M <- (N - g) * log(det(Sp)) - sum((n - 1) * sapply(S, function(s) log(det(s))))
//   c1 <- (sum(1/(n-1)) - 1/(N-g)) * (2*p^2 + 3*p - 1) / (6*(p+1)*(g-1))
//   c2 <- (sum(1/(n-1)^2) - 1/(N-g)^2) * (p-1)*(p+2) / (6*(g-1))
//   df1 <- (g-1)*p*(p+1)/2; chi <- M*(1-c1); df2 <- (df1+2)/abs(c2-c1^2)
//   b <- df1/(1-c1-df1/df2); F <- M/b   (c2 > c1^2 here)
//   pchisq(chi, df1, lower.tail = FALSE); pf(F, df1, df2, lower.tail = FALSE)
// A group cut to 4 subjects (fewer than p + 1) leaves it undefined, and a
// design without between factors has none.
TEST(MixedRTest, BoxsMOfAnUnequalGroupsMixedDesignAgreesWithR) {
    const DesignData d = Unequal();
    const Analysis a = Analyse(d);
    ASSERT_TRUE(a.boxM.has_value());
    EXPECT_EQ(a.boxM->variables, 4u);
    EXPECT_EQ(a.boxM->groups, 3u);
    EXPECT_EQ(a.boxM->undefined, BoxMUndefined::None);
    Near(a.boxM->m, 60.4479547110765L, "M", 1e-11L);
    Near(a.boxM->chiSquare, 37.4723347820539L, "chi-square", 1e-11L);
    Near(a.boxM->dfChiSquare, 20, "df");
    Near(a.boxM->pChiSquare, 0.0102652736941358L, "p chi-square", 1e-9L);
    Near(a.boxM->f, 1.78010099238797L, "F", 1e-11L);
    Near(a.boxM->df1, 20, "df1");
    Near(a.boxM->df2, 646.393327697817L, "df2", 1e-10L);
    Near(a.boxM->pF, 0.019396026389626L, "p F", 1e-9L);

    DesignData small = d;
    small.values.erase(small.values.begin(), small.values.begin() + 4);
    small.group.erase(small.group.begin());
    small.subjects.pop_back();
    const Analysis u = Analyse(small);
    ASSERT_TRUE(u.boxM.has_value());
    EXPECT_EQ(u.boxM->undefined, BoxMUndefined::SmallGroup);
    EXPECT_FALSE(u.boxM->m || u.boxM->chiSquare || u.boxM->f || u.boxM->pChiSquare || u.boxM->pF);

    DesignData within = d;
    within.between.clear();
    within.group.assign(within.group.size(), 0);
    EXPECT_FALSE(Analyse(within).boxM.has_value());
}


// Generalized omega squared of every effect, without measured factors and
// with G measured, and the power programs' f of A and G x A. R, on d (long,
// the factors as above) and Y, G:
//   a <- aov_ez("id", "y", d, between = "G", within = c("A", "B"), type = 3)
//   tab <- as.data.frame(unclass(summary(a$Anova, multivariate = FALSE)$univariate.tests))
//   eff <- rownames(tab)[-1]; SS <- tab[eff, "Sum Sq"]; df <- tab[eff, "num Df"]
//   ESS <- tab[eff, "Error SS"]; mse <- ESS / tab[eff, "den Df"]; strata <- unique(ESS)
//   MSS <- tab["G", "Error SS"] / tab["G", "den Df"]
//   gomega <- function(obs) { est <- SS - df*mse; base <- sum(strata) + sum(df*mse) + MSS
//     sapply(seq_along(eff), function(i) est[i] / (base + sum(est[obs]) + ifelse(obs[i], 0, est[i]))) }
//   gomega(rep(FALSE, 7)); gomega(grepl("G", eff))
//   YA <- cbind((Y[,1]+Y[,2])/2, (Y[,3]+Y[,4])/2)
//   W <- Reduce(`+`, lapply(1:3, function(i) { X <- YA[G == i, ]; crossprod(scale(X, scale = FALSE)) }))
//   rho <- W[1,2] / sqrt(W[1,1]*W[2,2]); N <- 19; K <- 3; M <- 2
//   sqrt(SS/ESS) * sqrt((N-K)*(M-1)*(1-rho)/(N*M))
TEST(MixedRTest, GeneralizedOmegaSquaredAndThePowerProgramsFAgreeWithR) {
    const std::vector<std::string> keys{"G", "A", "G:A", "B", "G:B", "A:B", "G:A:B"};
    const long double none[] = {-0.0324255620457883L, -0.00442783707071431L, 0.0406326329534614L,
                                0.0111687162911378L,  0.0511882189992721L,   0.00464118649938966L,
                                0.00687716838438479L};
    const long double measured[] = {-0.0293026230703631L, -0.00412990945041481L, 0.039515525160044L,
                                    0.0104281228936087L,  0.050334723309784L,    0.00433153513004687L,
                                    0.00646077216923802L};
    Options options;
    options.effectSizes = Options::EffectSizes::Every();
    const Analysis a = Analyse(Unequal(), options);
    options.observed = {"G"};
    const Analysis g = Analyse(Unequal(), options);
    ASSERT_EQ(a.effects.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(a.effects[i].key, keys[i]);
        Near(a.effects[i].generalizedOmegaSquared, none[i], keys[i] + " generalized omega squared", 1e-11L);
        Near(g.effects[i].generalizedOmegaSquared, measured[i], keys[i] + " with G measured", 1e-11L);
        // Below generalized eta squared, as an estimate less the error's share is.
        EXPECT_LT(*a.effects[i].generalizedOmegaSquared, *a.effects[i].generalizedEtaSquared) << keys[i];
    }
    Near(a.effects[1].measuresCorrelation, 0.630067252275509L, "rho of A's levels", 1e-12L);
    Near(a.effects[1].cohensFPowerPrograms, 0.0628969166153192L, "A: power programs' f", 1e-12L);
    Near(a.effects[2].cohensFPowerPrograms, 0.273848919668761L, "G:A: power programs' f", 1e-12L);
    // Mapped back, the power programs' f gives the analysis' f again.
    PowerDesign plan;
    plan.measures = 2, plan.groups = 3, plan.rho = *a.effects[1].measuresCorrelation;
    Near(FInOtherConvention(plan, *a.effects[1].cohensFPowerPrograms, PowerConvention::PowerPrograms, 19),
         *a.effects[1].cohensF, "A: f back", 1e-15L);
    // Between effects and those of two within factors have none.
    for (std::size_t i : {0u, 5u, 6u}) EXPECT_FALSE(a.effects[i].cohensFPowerPrograms) << keys[i];
    EXPECT_TRUE(a.effects[3].cohensFPowerPrograms && a.effects[4].cohensFPowerPrograms);

    // One subject in a group of one and no error df elsewhere: no estimate.
    DesignData one;
    one.between = {{"G", {"g1", "g2"}}};
    one.within = {{"A", {"a1", "a2"}}};
    one.values = {1, 2, 3, 5};
    one.group = {0, 1};
    one.subjects = {"1", "2"};
    for (const Effect& e : Analyse(one, options).effects)
        EXPECT_FALSE(e.generalizedOmegaSquared || e.cohensFPowerPrograms) << e.key;
}

}  // namespace
}  // namespace morvane::anova
