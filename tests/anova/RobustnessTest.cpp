// Each effect's decisions at alpha by its tests: a three-level factor whose
// sphericity is strongly violated (significant uncorrected, not corrected), a
// mixed design's between row, one-degree-of-freedom effects and the
// aligned rank test of a two-factor design, at alphas other than .05.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "anova/Analysis.h"

namespace morvane::anova {
namespace {

constexpr Decision S = Decision::Significant, N = Decision::NotSignificant, X = Decision::None;
using Decisions = std::array<Decision, kRobustTests>;

// Integer scores, a row a subject (the within cells, the last factor
// fastest); `groups` the between factor's level of each subject (none: no
// between factor).
DesignData Scores(const std::vector<std::pair<std::string, std::size_t>>& within,
                  const std::vector<std::vector<int>>& rows, const std::vector<std::int32_t>& groups = {}) {
    DesignData d;
    if (!groups.empty()) d.between.push_back({"g", {"g1", "g2"}});
    for (const auto& [name, levels] : within) {
        DesignFactor f{name, {}};
        for (std::size_t i = 0; i < levels; ++i) f.levels.push_back(name + std::to_string(i + 1));
        d.within.push_back(f);
    }
    d.exact = true;
    for (std::size_t s = 0; s < rows.size(); ++s) {
        d.subjects.push_back("s" + std::to_string(s + 1));
        d.group.push_back(groups.empty() ? 0 : groups[s]);
        for (const int v : rows[s]) {
            d.units.push_back(v);
            d.rows.push_back(1);
            d.values.push_back(v);
        }
    }
    d.subjectsRead = static_cast<std::int64_t>(rows.size());
    return d;
}

// Three levels, six subjects; the third level's differences far wider than
// the second's. R: afex::aov_ez("id", "y", d, within = "t") gives F(2, 10) =
// 5.43317, p = .02527953; GG epsilon .5147601, p = .06518399; HF epsilon
// .5260221, p = .06373536; car's Pillai p = .029806; friedman.test p =
// .03019738; the lower bound's p = pf(5.43317, 1, 5, lower.tail = FALSE).
const std::vector<std::vector<int>> kViolated{{20, 23, 26}, {29, 30, 42}, {11, 12, 19},
                                              {24, 25, 40}, {23, 24, 18}, {28, 31, 36}};

void Near(const std::optional<Extended>& actual, Extended expected, Extended tolerance) {
    ASSERT_TRUE(actual);
    EXPECT_LE(std::fabs(*actual - expected), tolerance) << static_cast<double>(*actual);
}

Options At(Extended alpha) {
    Options o;
    o.alpha = alpha;
    return o;
}

TEST(Robustness, CorrectionsDisagreeWithTheUncorrectedTestWhereSphericityFailsAtEachAlpha) {
    const DesignData d = Scores({{"t", 3}}, kViolated);
    const Analysis r = Analyse(d);
    ASSERT_EQ(r.effects.size(), 1u);
    const Effect& e = r.effects[0];
    ASSERT_TRUE(e.p && e.sphericity && e.multivariate);
    Near(e.p, 0.02527953L, 1e-8L);
    Near(e.sphericity->greenhouseGeisser.p, 0.06518399L, 1e-8L);
    Near(e.sphericity->huynhFeldt.p, 0.06373536L, 1e-8L);
    Near(e.multivariate->pillai.p, 0.029806L, 1e-6L);
    ASSERT_EQ(r.robustness.size(), 1u);
    const RobustnessRow& row = r.robustness[0];
    EXPECT_EQ(row.effect, 0u);
    EXPECT_EQ(row.rank, RankTest::Friedman);  // one within factor without groups
    EXPECT_EQ(row.decisions, (Decisions{S, N, N, N, S, S}));
    EXPECT_FALSE(row.agree);
    EXPECT_EQ(row.sentence,
              "t: significant uncorrected, by the multivariate test and Friedman's test, not with "
              "Greenhouse–Geisser, Huynh–Feldt or the lower bound.");
    EXPECT_EQ(row.japanese,
              "t: 補正なし、多変量検定と Friedman 検定では有意、Greenhouse–Geisser、Huynh–Feldt と下限では有意でない。");

    // The same p values at other alphas: .03 parts the multivariate test (.0298) from Friedman's (.0302).
    const struct {
        Extended alpha;
        Decisions decisions;
    } alphas[] = {{0.10L, {S, S, S, S, S, S}}, {0.03L, {S, N, N, N, S, N}}, {0.01L, {N, N, N, N, N, N}}};
    for (const auto& a : alphas) {
        SCOPED_TRACE(static_cast<double>(a.alpha));
        const Analysis at = Analyse(d, At(a.alpha));
        ASSERT_EQ(at.robustness.size(), 1u);
        EXPECT_EQ(at.robustness[0].decisions, a.decisions);
        const bool agree = a.alpha != 0.03L;
        EXPECT_EQ(at.robustness[0].agree, agree);
        EXPECT_EQ(at.robustness[0].sentence.empty(), agree);
        // The plain function gives what Analyse filled in.
        EXPECT_EQ(Robustness(r, a.alpha)[0].decisions, a.decisions);
    }
    EXPECT_EQ(Analyse(d, At(0.03L)).robustness[0].sentence,
              "t: significant uncorrected and by the multivariate test, not with Greenhouse–Geisser, "
              "Huynh–Feldt, the lower bound or by Friedman's test.");
    Options means;
    means.meansOnly = true;
    EXPECT_TRUE(Analyse(d, means).robustness.empty());
}

TEST(Robustness, ABetweenEffectHasOneTestAndAMixedDesignNoRankTest) {
    // The same scores, the first three subjects in g1. R: afex::aov_ez("id", "y", d, within = "t",
    // between = "g") gives g p = .5587099; t p = .0484512, GG .0982170, HF .0959407; g:t p = .8507490.
    const Analysis r = Analyse(Scores({{"t", 3}}, kViolated, {0, 0, 0, 1, 1, 1}));
    ASSERT_EQ(r.robustness.size(), 3u);
    const auto decisions = [&](const char* key) {
        for (const RobustnessRow& row : r.robustness)
            if (r.effects.at(row.effect).key == key) return row;
        ADD_FAILURE() << key;
        return RobustnessRow{};
    };
    Near(r.effects[0].p, 0.5587099L, 1e-7L);
    EXPECT_EQ(decisions("g").decisions, (Decisions{N, X, X, X, X, X}));
    EXPECT_TRUE(decisions("g").agree);
    EXPECT_EQ(decisions("g").rank, RankTest::None);
    const RobustnessRow t = decisions("t");
    EXPECT_EQ(t.decisions[0], S);
    EXPECT_EQ(t.decisions[1], N);
    EXPECT_EQ(t.decisions[2], N);
    EXPECT_EQ(t.decisions[3], N);
    EXPECT_EQ(t.decisions[5], X);  // no rank-based tests with groups
    EXPECT_FALSE(t.agree);
    EXPECT_EQ(t.sentence.rfind("t: significant uncorrected", 0), 0u) << t.sentence;
    EXPECT_EQ(decisions("g:t").decisions, (Decisions{N, N, N, N, N, X}));
    EXPECT_TRUE(decisions("g:t").agree);
}

TEST(Robustness, OneDegreeOfFreedomRepeatsTheUncorrectedDecisionAndTwoFactorsTakeTheAlignedRankTest) {
    // A strong effect of A (2 levels) and of B (3 levels), no interaction.
    const std::vector<std::vector<int>> rows{{10, 14, 19, 20, 25, 29}, {12, 15, 21, 23, 26, 30},
                                             {9, 13, 18, 19, 23, 28},  {11, 16, 20, 22, 27, 31},
                                             {13, 16, 22, 24, 26, 33}, {10, 15, 19, 21, 24, 30}};
    const Analysis r = Analyse(Scores({{"A", 2}, {"B", 3}}, rows));
    ASSERT_EQ(r.robustness.size(), 3u);
    for (const RobustnessRow& row : r.robustness) {
        const Effect& e = r.effects.at(row.effect);
        SCOPED_TRACE(e.key);
        EXPECT_EQ(row.rank, RankTest::AlignedRanks);
        if (e.effect.df == 1) {
            // Epsilon is 1 and the multivariate test is the F test: every correction repeats it.
            for (std::size_t t = 1; t < 5; ++t) EXPECT_EQ(row.decisions[t], row.decisions[0]);
        }
    }
    EXPECT_EQ(r.robustness[0].decisions, (Decisions{S, S, S, S, S, S}));
    EXPECT_TRUE(r.robustness[0].agree);
    EXPECT_TRUE(r.robustness[0].sentence.empty());
}

}  // namespace
}  // namespace morvane::anova
