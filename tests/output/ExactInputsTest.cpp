// One study through the long CSV and through a data file: the same figures
// whatever the scores' digits. Scores of 39 and more significant digits, and
// scores near 1e-4000, are summed exactly on both paths (GMP integers where
// 128 bits do not hold them), so that every figure of the study shifted by a
// wide constant, or scaled by a tiny power of ten, is that of its small
// integers.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "exchange/LongCsv.h"
#include "output/AnovaFormats.h"
#include "store/StudyStore.h"

namespace morvane {
namespace {

// The small integers of six subjects in A (2) x B (3).
int Small(int s, int a, int b) {
    static const int scores[6][6] = {{12, 15, 11, 19, 14, 13}, {18, 12, 16, 21, 17, 12},
                                     {11, 14, 13, 15, 19, 10}, {16, 19, 12, 22, 15, 17},
                                     {13, 11, 15, 18, 20, 14}, {17, 16, 14, 20, 16, 19}};
    return scores[s - 1][(a - 1) * 3 + (b - 1)];
}

using ScoreText = std::string (*)(int small);

// The study of `text` of each small integer as a data file holds it, and as a long CSV.
StudyStore Study(ScoreText text) {
    StudyStore store;
    StartNewStudy(store, {"a1", "a2"}, {"b1", "b2", "b3"}, "6");
    for (int s = 1; s <= 6; ++s)
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b) store.CellText.Set(s, a, b, text(Small(s, a, b)));
    return store;
}

std::string LongCsv(ScoreText text, const DesignData& like) {
    std::string csv = "id," + like.within[0].name + "," + like.within[1].name + ",score\n";
    for (int s = 1; s <= 6; ++s)
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b)
                csv += std::to_string(s) + "," + like.within[0].levels[static_cast<std::size_t>(a - 1)] +
                       "," + like.within[1].levels[static_cast<std::size_t>(b - 1)] + "," +
                       text(Small(s, a, b)) + "\n";
    return csv;
}

// The tables of the effects as JSON gives them, the means left out (they move with a shift).
std::string Effects(const anova::Analysis& r) {
    const std::string json = FormatAnalysis(r, AnovaFormat::Json);
    const std::size_t from = json.find("\"effects\""), to = json.find("\"cellMeans\"");
    return json.substr(from, to == std::string::npos ? to : to - from);
}

std::string Plain(int small) {
    return std::to_string(small);
}
// 10^38 + small: 39 significant digits.
std::string Wide(int small) {
    std::string digits = "1" + std::string(38, '0');
    const std::string tail = std::to_string(small);
    digits.replace(digits.size() - tail.size(), tail.size(), tail);
    return digits;
}
// 10^38 + small + 0.5: 40 digits, a fraction.
std::string WideHalf(int small) {
    return Wide(small) + ".5";
}

TEST(ExactInputs, WideScoresGiveTheFiguresOfTheirSmallIntegersOnBothPaths) {
    const StudyStore plainStudy = Study(Plain);
    const DesignData plain = DesignFromStudy(plainStudy, '.');
    const std::string reference = Effects(anova::Analyse(plain));
    // R: summary(aov(y ~ A * B + Error(id / (A * B)))) of the small integers:
    // A SS 58.77777778 F 38.89706, B SS 54.88888889 F 5.47672, A:B SS 24.22222222 F 1.26892.
    const anova::Analysis small = anova::Analyse(plain);
    ASSERT_EQ(small.effects.size(), 3u);
    const double ss[] = {58.77777778, 54.88888889, 24.22222222}, f[] = {38.89706, 5.47672, 1.26892};
    for (std::size_t e = 0; e < 3; ++e) {
        EXPECT_NEAR(static_cast<double>(small.effects[e].effect.ss), ss[e], 1e-8) << e;
        ASSERT_TRUE(small.effects[e].f.has_value());
        EXPECT_NEAR(static_cast<double>(*small.effects[e].f), f[e], 1e-5) << e;
    }
    const LongCsvRoles roles{"id", "score", {plain.within[0].name, plain.within[1].name}, {}};
    for (const ScoreText text : {Wide, WideHalf}) {
        const StudyStore study = Study(text);
        const DesignData fromFile = DesignFromStudy(study, '.');
        const DesignData fromCsv = ReadLongCsv(LongCsv(text, plain), roles);
        EXPECT_TRUE(fromFile.exact && fromCsv.exact);
        EXPECT_EQ(fromFile.wideUnits, fromCsv.wideUnits);
        EXPECT_EQ(fromFile.scale, fromCsv.scale);
        const anova::Analysis file = anova::Analyse(fromFile), csv = anova::Analyse(fromCsv);
        // Every figure of the two paths alike, and those of the small integers (a shift leaves them).
        EXPECT_TRUE(FormatAnalysis(file, AnovaFormat::Json) == FormatAnalysis(csv, AnovaFormat::Json));
        EXPECT_TRUE(Effects(file) == reference);
        EXPECT_NE(reference.find("\"A:B\""), std::string::npos);
        for (std::size_t e = 0; e < 3; ++e)
            EXPECT_EQ(file.effects[e].effect.ss, small.effects[e].effect.ss) << e;
    }
}

// Scores near 1e-4000 (and far apart from 1, beyond the 128-bit units' reach)
// are exact on both paths: the ratios are those of the small integers.
TEST(ExactInputs, TinyScoresKeepTheirRatios) {
    const StudyStore plainStudy = Study(Plain);
    const DesignData plain = DesignFromStudy(plainStudy, '.');
    const anova::Analysis small = anova::Analyse(plain);
    const LongCsvRoles roles{"id", "score", {plain.within[0].name, plain.within[1].name}, {}};
    const ScoreText tiny = [](int s) { return std::to_string(s) + "e-4000"; };
    const StudyStore study = Study(tiny);
    const DesignData fromFile = DesignFromStudy(study, '.'),
                     fromCsv = ReadLongCsv(LongCsv(tiny, plain), roles);
    EXPECT_TRUE(fromFile.exact && fromCsv.exact);
    const anova::Analysis file = anova::Analyse(fromFile), csv = anova::Analyse(fromCsv);
    ASSERT_EQ(file.effects.size(), small.effects.size());
    for (const anova::Analysis* r : {&file, &csv})
        for (std::size_t e = 0; e < small.effects.size(); ++e) {
            EXPECT_EQ(r->effects[e].f, small.effects[e].f) << e;
            EXPECT_EQ(r->effects[e].p, small.effects[e].p) << e;
            EXPECT_EQ(r->effects[e].partialEtaSquared, small.effects[e].partialEtaSquared) << e;
            EXPECT_EQ(r->effects[e].generalizedEtaSquared, small.effects[e].generalizedEtaSquared) << e;
            // Their covariances (near 1e-8000) are scaled into range: the epsilons, Mauchly's W and
            // the multivariate tests, which a common factor leaves alone, are the small integers' but
            // for the last bits (10^-8000 is no power of two).
            const auto near = [](std::optional<Extended> a, std::optional<Extended> b) {
                return a && b && std::fabs(*a - *b) <= 1e-15L * std::fabs(*b);
            };
            const auto& sphericity = r->effects[e].sphericity;
            const auto& reference = small.effects[e].sphericity;
            ASSERT_EQ(sphericity.has_value(), reference.has_value()) << e;
            if (sphericity) {
                EXPECT_TRUE(near(sphericity->greenhouseGeisser.epsilon, reference->greenhouseGeisser.epsilon));
                EXPECT_TRUE(near(sphericity->huynhFeldt.p, reference->huynhFeldt.p));
                EXPECT_TRUE(near(sphericity->mauchlyW, reference->mauchlyW)) << e;
            }
            ASSERT_TRUE(r->effects[e].multivariate && small.effects[e].multivariate);
            EXPECT_EQ(r->effects[e].multivariate->status, small.effects[e].multivariate->status);
            EXPECT_TRUE(near(r->effects[e].multivariate->pillai.value, small.effects[e].multivariate->pillai.value));
            // The sums themselves (near 1e-8000) are below the type's reach: absent, never a 0.
            EXPECT_TRUE(r->effects[e].effect.belowRange && !r->effects[e].effect.ShownSs()) << e;
            EXPECT_FALSE(r->effects[e].effect.ms.has_value()) << e;
        }
    const std::string json = FormatAnalysis(csv, AnovaFormat::Json),
                      text = FormatAnalysis(csv, AnovaFormat::Text);
    EXPECT_NE(json.find("\"SS\":null"), std::string::npos);
    EXPECT_EQ(json.find("\"SS\":0,"), std::string::npos);
    EXPECT_NE(text.find("nearer 0 than the number type reaches"), std::string::npos);
    // Scores whose powers of ten lie further apart than the exact sums take are left to the extended values.
    const DesignData apart =
        ReadLongCsv("id,A,score\n1,x,1e-3000\n1,y,1\n2,x,2\n2,y,3\n", LongCsvRoles{"id", "score", {"A"}, {}});
    EXPECT_FALSE(apart.exact);
    EXPECT_TRUE(apart.wideUnits.empty());
}

}  // namespace
}  // namespace morvane
