// The effect sizes' intervals against the noncentral distributions computed
// here another way (a Poisson mixture of closed-form beta tails for F, a
// numerical integral for t), and the analysis' answers for the studies at its
// edges: two subjects, a singular covariance, fewer than two subjects, scores
// beyond a double's range.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "output/AnovaFormats.h"
#include "stats/Distributions.h"
#include "analysis/FullAnalysis.h"
#include "store/DataFile.h"
#include "support/RationalArithmetic.h"
#include "support/TempDir.h"

namespace morvane {
namespace {

using testing::Study;

// P(F <= f | lambda) on (d1, d2) for an even d2: the Poisson (lambda / 2)
// mixture over j of I_y(d1 / 2 + j, d2 / 2), y = d1 f / (d2 + d1 f), each
// y^a sum over i < d2 / 2 of Gamma(a + i) / (Gamma(a) i!) (1 - y)^i.
long double NoncentralFCdf(long double f, int d1, int d2, long double lambda) {
    const long double y = d1 * f / (d2 + d1 * f);
    long double total = 0;
    for (int j = 0; j < 100000; ++j) {
        const long double a = d1 / 2.0L + j;
        long double term = 1, sum = 0;
        for (int i = 0; i < d2 / 2; ++i) {
            sum += term;
            term *= (a + i) / (i + 1) * (1 - y);
        }
        const long double weight =
            lambda == 0 ? (j == 0) : std::exp(-lambda / 2 + j * std::log(lambda / 2) - std::lgamma(j + 1.0L));
        total += weight * std::pow(y, a) * sum;
        if (j > lambda && weight < 1e-30L) break;
    }
    return total;
}

// P(T <= t | delta) on nu degrees of freedom: the integral over s = sqrt(V / nu),
// V chi-square on nu, of Phi(t s - delta) times the density of s (Simpson's rule).
long double NoncentralTCdf(long double t, int nu, long double delta, int steps = 4000) {
    const long double top = 1 + 12 / std::sqrt(static_cast<long double>(nu)), h = top / steps;
    const long double logC = std::log(2.0L) + (nu / 2.0L) * std::log(nu / 2.0L) - std::lgamma(nu / 2.0L);
    long double sum = 0;
    for (int i = 1; i < steps; ++i) {
        const long double s = i * h;
        const long double density = std::exp(logC + (nu - 1) * std::log(s) - nu * s * s / 2);
        sum += (i % 2 ? 4 : 2) * density * 0.5L * std::erfc(-(t * s - delta) / std::sqrt(2.0L));
    }
    return sum * h / 3;
}

// The x in [low, high] at which a decreasing `cdf` is `target`, by bisection.
long double Bisect(const std::function<long double(long double)>& cdf, long double target, long double low,
                   long double high) {
    for (int i = 0; i < 200 && high - low > 1e-13L * (1 + std::fabs(low)); ++i) {
        const long double mid = (low + high) / 2;
        (cdf(mid) > target ? low : high) = mid;
    }
    return (low + high) / 2;
}

::testing::AssertionResult Near(long double value, long double expected, long double tolerance) {
    if (std::fabs(value - expected) <= tolerance * (1 + std::fabs(expected)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << value << " against " << expected;
}

FullAnalysis Analyse(StudyStore store) {
    return AnalyseStudy(store, '.');
}

FullAnalysis EightSubjects(const AnalysisOptions& options = {}) {
    StudyStore store;
    LoadStudyFile(store, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    return AnalyseStudy(store, '.', options);
}

std::string Rounded(Extended v) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2Lf", v);
    return text;
}

TEST(EffectSizes, IntervalsInvertTheNoncentralDistributionsComputedAnotherWay) {
    // The noncentral F: the floor at lambda = 0 for an F too small, both limits
    // inside otherwise, every limit where the distribution reaches the level's tails.
    const struct {
        long double f;
        int d1, d2;
        bool lowerAtZero, upperAtZero;
    } fs[] = {{29.2173913043478L, 2, 14, false, false},
              {3.1L, 3, 20, false, false},
              {1.2L, 4, 30, true, false},
              {0.05L, 2, 10, true, true},
              {55.0L, 1, 8, false, false}};
    for (const auto& c : fs) {
        SCOPED_TRACE(c.f);
        const auto limits = NoncentralFLimits(c.f, c.d1, c.d2, 0.9L);
        ASSERT_TRUE(limits);
        const auto cdf = [&](long double lambda) { return NoncentralFCdf(c.f, c.d1, c.d2, lambda); };
        EXPECT_EQ(limits->lower == 0, c.lowerAtZero);
        EXPECT_EQ(limits->upper == 0, c.upperAtZero);
        if (!c.lowerAtZero) {
            EXPECT_TRUE(Near(limits->lower, Bisect(cdf, 0.95L, 0, 2000), 1e-9L));
        }
        if (!c.upperAtZero) {
            EXPECT_TRUE(Near(limits->upper, Bisect(cdf, 0.05L, 0, 2000), 1e-9L));
        }
    }
    EXPECT_FALSE(NoncentralFLimits(2, 0, 14, 0.9L) || NoncentralFLimits(2, 2, 14, 1) ||
                 NoncentralTLimits(INFINITY, 7, 0.9L));

    // The example's effect B, and on the Greenhouse-Geisser df F(1.14, 7.95).
    const FullAnalysis r = EightSubjects();
    ASSERT_TRUE(r.B.partialEtaSquaredCI && r.B.partialEtaSquaredCIGG && r.B.mse);
    const LevelInterval& b = *r.B.partialEtaSquaredCI;
    EXPECT_EQ(b.level, Extended{0.9L});
    EXPECT_EQ(Rounded(b.lower) + " " + Rounded(b.upper), "0.60 0.89");
    EXPECT_EQ(Rounded(r.B.partialEtaSquaredCIGG->lower) + " " + Rounded(r.B.partialEtaSquaredCIGG->upper),
              "0.49 0.90");
    EXPECT_EQ(*r.B.mse, Extended{11.5L});
    const auto cdfB = [](long double lambda) { return NoncentralFCdf(29.2173913043478L, 2, 14, lambda); };
    const long double lambdaLow = Bisect(cdfB, 0.95L, 0, 2000);
    EXPECT_TRUE(Near(b.lower, lambdaLow / (lambdaLow + 14), 1e-9L));
    // A single df: the GG interval is the uncorrected one.
    ASSERT_TRUE(r.A.partialEtaSquaredCI);
    EXPECT_EQ(r.A.partialEtaSquaredCIGG->lower, r.A.partialEtaSquaredCI->lower);
    // Simple effects of B at each level of A, on (2, 14).
    for (const SimpleEffectResult& s : r.simpleEffects) {
        if (s.effect != Factor::B) continue;
        ASSERT_TRUE(s.partialEtaSquaredCI && s.f);
        const auto cdf = [&](long double lambda) { return NoncentralFCdf(*s.f, 2, 14, lambda); };
        const long double upper = Bisect(cdf, 0.05L, 0, 2000);
        EXPECT_TRUE(Near(s.partialEtaSquaredCI->upper, upper / (upper + 14), 1e-9L));
        EXPECT_LT(s.partialEtaSquaredCI->lower, *s.partialEtaSquared);
    }

    // d_z of each paired comparison: the noncentral t on N - 1 = 7, over sqrt(8).
    for (std::size_t i : {0u, 1u, 5u}) {
        const ComparisonResult& c = r.comparisons.at(i);
        ASSERT_TRUE(c.t && c.dzCI);
        const auto cdf = [&](long double delta) { return NoncentralTCdf(*c.t, 7, delta); };
        EXPECT_TRUE(Near(c.dzCI->lower * std::sqrt(8.0L), Bisect(cdf, 0.95L, *c.t - 10, *c.t + 10), 1e-8L));
        EXPECT_TRUE(Near(c.dzCI->upper * std::sqrt(8.0L), Bisect(cdf, 0.05L, *c.t - 10, *c.t + 10), 1e-8L));
    }
    // A t large enough for the integral instead of the series.
    const auto large = NoncentralTLimits(250, 7, 0.9L);
    ASSERT_TRUE(large);
    const auto cdf = [](long double delta) { return NoncentralTCdf(250, 7, delta, 100000); };
    EXPECT_TRUE(Near(large->lower, Bisect(cdf, 0.95L, 50, 250), 1e-8L));
    EXPECT_TRUE(Near(large->upper, Bisect(cdf, 0.05L, 250, 800), 1e-8L));
    // d_av over the mean of the two levels' SDs, g_av with J = 1 - 3 / (8 N - 9).
    const ComparisonResult& first = r.comparisons[0];  // a1 against a2
    const Extended meanSd = (*r.marginalA[0].sd + *r.marginalA[1].sd) / 2;
    EXPECT_TRUE(Near(*first.dAv, first.difference / meanSd, 1e-15L));
    EXPECT_TRUE(Near(*first.gAv, *first.dAv * 52 / 55, 1e-15L));

    // Another level widens every interval.
    const FullAnalysis wide = EightSubjects(AnalysisOptions{0.95L});
    EXPECT_EQ(wide.B.partialEtaSquaredCI->level, Extended{0.95L});
    EXPECT_LT(wide.B.partialEtaSquaredCI->lower, b.lower);
    EXPECT_GT(wide.comparisons[0].dzCI->upper, r.comparisons[0].dzCI->upper);
}

// Mauchly's W of a singular covariance, and the Huynh-Feldt epsilon of two subjects.
TEST(EffectSizes, SphericityAtItsEdges) {
    // Two subjects of a 4 x 3 study: HF is 0 / 0 for every effect, as its df and p.
    const FullAnalysis two = Analyse(Study(2, 4, 3, [](int s, int a, int b) {
        return std::to_string(s * a * a + b * (s + 2) + s * a * b * b);
    }));
    for (const EffectResult* e : {&two.A, &two.B, &two.AB}) {
        ASSERT_TRUE(e->sphericity);
        EXPECT_TRUE(e->sphericity->greenhouseGeisser.epsilon);
        EXPECT_FALSE(e->sphericity->huynhFeldt.epsilon || e->sphericity->huynhFeldt.p);
    }
    // Three levels of B whose differences are collinear across the subjects:
    // W = 0, p = 0, chi-square infinite, in every format.
    const FullAnalysis singular = Analyse(Study(
        6, 2, 3, [](int s, int a, int b) { return std::to_string(b == 3 ? 2 * s + a : b * s + a * s); }));
    ASSERT_TRUE(singular.B.sphericity);
    const Sphericity& w = *singular.B.sphericity;
    EXPECT_TRUE(w.mauchlyW == Extended{0} && w.p == Extended{0} && w.chiSquareInfinite && !w.chiSquare);
    const std::string json = FormatAnalysis(singular, AnovaFormat::Json);
    EXPECT_NE(json.find(R"("mauchlyW":0,"chiSquare":null,"chiSquareInfinite":true,"df":2,"p":0,"pAsR":0)"),
              std::string::npos);
    const std::string text = FormatAnalysis(singular, AnovaFormat::Text);
    const std::size_t table = text.find("Sphericity"), row = text.find("\nB ", table);
    ASSERT_NE(row, std::string::npos);
    const std::string line = text.substr(row + 1, text.find('\n', row + 1) - row - 1);
    EXPECT_TRUE(line.find(" 0 ") != std::string::npos && line.find("∞") != std::string::npos &&
                line.find("< .001") != std::string::npos)
        << line;

    // a = b = 2: sphericity holds trivially, whatever the number of subjects.
    const FullAnalysis square =
        Analyse(Study(12, 2, 2, [](int s, int a, int b) { return std::to_string(s % 5 + a * b); }));
    EXPECT_NE(FormatAnalysis(square, AnovaFormat::Text)
                  .find("Every effect has at most one degree of freedom, so sphericity holds trivially"),
              std::string::npos);
}

TEST(EffectSizes, FewerThanTwoSubjectsAndScoresBeyondADouble) {
    testing::TempDir dir;
    for (const int n : {1, 0, -1}) {
        SCOPED_TRACE(n);
        StudyStore store;
        if (n >= 0) {
            store = Study(n, 4, 3, [](int s, int a, int b) { return std::to_string(s + a * b); });
        } else {
            // As `morvane import --wide` writes a CSV of a header only.
            std::ofstream(dir.File("none.dat")) << "-1\n4\n3\na1\na2\na3\na4\nb1\nb2\nb3\n";
            LoadStudyFile(store, dir.File("none.dat"));
        }
        const FullAnalysis r = AnalyseStudy(store, '.');
        EXPECT_TRUE(r.FewerThanTwoSubjects());
        EXPECT_EQ(r.subjects, n);
        for (const PartitionSource* s :
             {&r.S, &r.A.effect, &r.AS, &r.B.effect, &r.BS, &r.AB.effect, &r.ABS, &r.Total})
            EXPECT_TRUE(s->df >= 0 && s->ss >= 0);
        for (const EffectResult* e : {&r.A, &r.B, &r.AB})
            EXPECT_FALSE(e->partialEtaSquared || e->generalizedEtaSquared || e->partialEtaSquaredCI ||
                         e->mse);
        for (const SimpleEffectResult& s : r.simpleEffects) EXPECT_FALSE(s.partialEtaSquared);
        const std::string note = FewerSubjectsNote();
        for (AnovaFormat f : {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv}) {
            const std::string text = FormatAnalysis(r, f);
            const std::size_t at = text.find(note);
            EXPECT_TRUE(at != std::string::npos && at < text.find("\n\n") + 3) << text;
            EXPECT_EQ(text.find(note, at + 1), std::string::npos);
        }
        const std::string json = FormatAnalysis(r, AnovaFormat::Json);
        EXPECT_NE(json.find(R"("fewerThanTwoSubjects":true)"), std::string::npos);
        for (const char* negative : {R"("df":-)", R"("errorDf":-)", R"("df":[-)", R"(SS":-)"})
            EXPECT_EQ(json.find(negative), std::string::npos) << negative;
    }

    // Sums of squares near 10^600: strings in JSON, flagged; nothing else changes.
    const FullAnalysis huge = Analyse(
        Study(4, 2, 2, [](int s, int a, int b) { return std::to_string(s * s + a * 3 + b) + "e300"; }));
    const std::string json = FormatAnalysis(huge, AnovaFormat::Json);
    EXPECT_NE(json.find(R"("numbersOutsideDoubleRange":true)"), std::string::npos);
    EXPECT_NE(json.find(R"("SS":"1.)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("F":)"), json.find(R"("F":")"));
    // Every bare number reads as a finite double, and as zero only when it is zero.
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] == '"') {
            i = json.find('"', i + 1);
            continue;
        }
        if (!(json[i] == '-' || std::isdigit(static_cast<unsigned char>(json[i])))) continue;
        char* end = nullptr;
        const double v = std::strtod(json.c_str() + i, &end);
        const std::string token(json.c_str() + i, static_cast<const char*>(end));
        EXPECT_TRUE(std::isfinite(v) && (v != 0 || token.find_first_of("123456789") == std::string::npos ||
                                         token.find('e') < token.find_first_of("123456789")))
            << token;
        i = static_cast<std::size_t>(end - json.c_str()) - 1;
    }
    EXPECT_NE(FormatAnalysis(EightSubjects(), AnovaFormat::Json).find(R"("numbersOutsideDoubleRange":false)"),
              std::string::npos);
}

}  // namespace
}  // namespace morvane
