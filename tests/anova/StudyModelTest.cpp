// The one engine's model of a data file's study: every sum of squares, mean
// square and F the exact partition's (the results file's check computes it on
// its own), every sum of squares and effect size the exact ratio of the sums
// by their definition rounded once, in either strategy, and the precision
// check of the results file the report's own; the published figures of the
// eight-subject example; the corrections' bounds; scores of thousands of
// decimal places; what a study leaves undefined; subjects with an empty score
// removed listwise.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "anova/Analysis.h"
#include "anova/StudyPrecision.h"
#include "anova/detail/Analyse.h"
#include "design/StudyDesign.h"
#include "exact/ExactPartition.h"
#include "report/PrecisionCheck.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "stats/Distributions.h"
#include "store/DataFile.h"
#include "support/AnalysisWalk.h"
#include "support/RationalArithmetic.h"

namespace morvane::anova {
namespace {

using morvane::testing::CorrectlyRounded;
using morvane::testing::Definition;
using morvane::testing::Exactly;
using morvane::testing::ExactSums;
using morvane::testing::Study;

Analysis AnalyseStudy(const StudyStore& store) {
    return Analyse(DesignFromStudy(store, '.'));
}

void ExpectSame(const PartitionSource& a, const PartitionSource& b, const char* what) {
    EXPECT_EQ(a.ss, b.ss) << what;
    EXPECT_EQ(a.df, b.df) << what;
    EXPECT_EQ(a.ms, b.ms) << what;
    EXPECT_EQ(a.zero, b.zero) << what;
}

// `value` within `relative` of the exact one.
::testing::AssertionResult Near(Extended value, const mpq_class& exact, const char* relative) {
    if (abs(Exactly(value) - exact) <= abs(exact) / mpq_class(mpz_class(relative)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << static_cast<double>(value) << " against " << exact.get_d();
}

// The study's model against its exact partition (to the bit), against the
// sums by their definition (each correctly rounded, or where the scores are
// too wide for exact integers within 10^-15 of it), and its precision check
// against the report's.
void ExpectTheExactModel(const StudyStore& store, bool exact) {
    const ExactPartition part = ComputeExactPartition(store, '.', KeepOffsets::No);
    const ExactSums e = Definition(store);
    const DesignData design = DesignFromStudy(store, '.');
    ASSERT_EQ(design.exact, exact);
    for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
        SCOPED_TRACE(strategy == detail::Strategy::Quick ? "quick" : "sure");
        const Analysis now = detail::AnalyseWith(design, {}, strategy);
        ASSERT_EQ(now.effects.size(), 3u);
        ASSERT_EQ(now.strata.size(), 4u);
        EXPECT_EQ(now.exact, exact);
        const std::pair<const PartitionSource*, const mpq_class*> strata[] = {
            {&part.S, &e.s}, {&part.AS, &e.as}, {&part.BS, &e.bs}, {&part.ABS, &e.abs}};
        const std::tuple<const PartitionSource*, const mpq_class*, std::optional<Extended>> effects[] = {
            {&part.A, &e.a, part.fA}, {&part.B, &e.b, part.fB}, {&part.AB, &e.ab, part.fAB}};
        for (std::size_t k = 0; k < 4; ++k) {
            if (exact) ExpectSame(now.strata[k].error, *strata[k].first, now.strata[k].name.c_str());
            EXPECT_TRUE(exact ? CorrectlyRounded(now.strata[k].error.ss, *strata[k].second)
                              : Near(now.strata[k].error.ss, *strata[k].second, "1000000000000000"))
                << now.strata[k].name;
        }
        if (exact) {
            ExpectSame(now.total, part.Total, "total");
            ExpectSame(now.withinSubjects, part.Within, "within subjects");
        }
        const mpq_class errors = e.s + e.as + e.bs + e.abs;
        for (std::size_t k = 0; k < 3; ++k) {
            const Effect& x = now.effects[k];
            SCOPED_TRACE(x.name);
            const auto& [source, ss, f] = effects[k];
            const mpq_class& error = *strata[k + 1].second;
            EXPECT_EQ(x.stratum, k + 1);
            if (exact) {
                ExpectSame(x.effect, *source, "effect");
                ExpectSame(x.error, *strata[k + 1].first, "error");
                EXPECT_EQ(x.f, f);
                ASSERT_TRUE(x.f.has_value());
                EXPECT_TRUE(CorrectlyRounded(*x.f, (*ss / x.effect.df) / (error / x.error.df)));
                EXPECT_TRUE(CorrectlyRounded(*x.partialEtaSquared, *ss / (*ss + error)));
                EXPECT_TRUE(CorrectlyRounded(*x.generalizedEtaSquared, *ss / (*ss + errors)));
            } else {
                EXPECT_TRUE(Near(x.effect.ss, *ss, "1000000000000000"));
            }
            ASSERT_TRUE(x.f && x.p);
            EXPECT_EQ(x.p, FUpperTail(*x.f, static_cast<Extended>(x.effect.df), static_cast<Extended>(x.error.df)));
        }
        // The results file's check beside it, the same as the report's on its
        // own; from the grand mean where the engine's figures are not exact.
        const PrecisionCheck precision = CheckStudyResultsFile(store, '.', now);
        if (!exact) {
            EXPECT_EQ(precision.method, PartitionMethod::Centred);
            continue;
        }
        StudyStore parsed = store;
        const PrecisionCheck report = CheckResultsFile(parsed, '.');
        EXPECT_EQ(precision.summaryTableExact, report.summaryTableExact);
        EXPECT_EQ(precision.summaryTableComplete, report.summaryTableComplete);
        EXPECT_EQ(precision.method, report.method);
        for (std::size_t i = 0; i < precision.sums.size(); ++i) {
            EXPECT_STREQ(precision.sums[i].name, report.sums[i].name);
            EXPECT_EQ(precision.sums[i].resultsFile, report.sums[i].resultsFile);
            EXPECT_EQ(precision.sums[i].exact, report.sums[i].exact);
            EXPECT_EQ(precision.sums[i].correctDigits, report.sums[i].correctDigits);
        }
        const mpq_class* sums[] = {&e.total, &e.a, &e.b, &e.s, &e.ab, &e.as, &e.bs, &e.abs};
        for (std::size_t i = 0; i < 8; ++i) EXPECT_TRUE(CorrectlyRounded(precision.sums[i].exact, *sums[i]));
    }
}

// A study of n subjects x na x nb cells with scores of `places` decimals near `offset`.
std::function<std::string(int, int, int)> Scores(std::mt19937& random, int places, long long offset, int spread) {
    return [&random, places, offset, spread](int s, int a, int b) {
        std::uniform_int_distribution<int> d(0, spread);
        const long long units = offset + d(random) + 3 * a * b + (s % 3) * a;
        std::string text = std::to_string(units < 0 ? -units : units);
        if (places > 0) {
            while (static_cast<int>(text.size()) <= places) text.insert(0, "0");
            text.insert(text.size() - static_cast<std::size_t>(places), ".");
        }
        return (units < 0 ? "-" : "") + text;
    };
}

TEST(StudyModelTest, EverySumAndRatioIsTheExactOneRoundedOnce) {
    std::mt19937 random(7);
    // Ties, decimals, a common offset of 10^12 units, fewer subjects than contrasts, one subject.
    ExpectTheExactModel(Study(8, 2, 3, Scores(random, 0, 0, 9)), true);
    ExpectTheExactModel(Study(12, 3, 4, Scores(random, 2, 0, 500)), true);
    ExpectTheExactModel(Study(5, 4, 4, Scores(random, 1, 0, 3)), true);
    ExpectTheExactModel(Study(3, 3, 3, Scores(random, 3, 1000000000000LL, 999)), true);
    ExpectTheExactModel(Study(6, 2, 2, Scores(random, 0, -50, 100)), true);
    std::mt19937_64 wide(12);
    // Scores near 10^12 with one decimal.
    ExpectTheExactModel(Study(7, 3, 4,
                              [&](int s, int a, int b) {
                                  const auto tenths = static_cast<long long>(wide() % 2000) + 37 * s + 11 * a * b;
                                  return std::to_string(1000000000000LL + tenths / 10) + "." +
                                         std::to_string(tenths % 10);
                              }),
                        true);
    // Negative scores of mixed scales.
    ExpectTheExactModel(Study(4, 3, 3,
                              [&](int s, int a, int b) {
                                  return (s % 2 ? "-" : "") + std::to_string(wide() % 5000) + "." +
                                         std::to_string(a * b) + "e-" + std::to_string(s + a);
                              }),
                        true);
    // Sums of squares below the smallest normal extended value: rounded as denormals.
    const StudyStore tiny = Study(3, 2, 2, [&](int s, int a, int b) {
        return std::to_string(wide() % 90 + 10 + static_cast<unsigned>(s * a * b)) + "e-2472";
    });
    ExpectTheExactModel(tiny, true);
    EXPECT_LT(AnalyseStudy(tiny).total.ss, std::numeric_limits<Extended>::min());
    // Scores of 40 and more significant digits: exact in GMP integers, every
    // sum of squares and F its definition's, correctly rounded.
    const StudyStore digits = Study(5, 2, 3, [&](int s, int a, int b) {
        return std::to_string(wide() % 1000000 + 1) + "123456789012345678901234567890." + std::to_string(s * a) +
               "e" + std::to_string(b - 2) + (s == 1 && a == 1 && b == 1 ? "0" : "");
    });
    const DesignData design = DesignFromStudy(digits, '.');
    ASSERT_TRUE(design.exact && design.units.empty() && !design.wideUnits.empty());
    const ExactSums e = Definition(digits);
    for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
        const Analysis r = detail::AnalyseWith(design, {}, strategy);
        EXPECT_TRUE(r.exact);
        const mpq_class* strata[] = {&e.s, &e.as, &e.bs, &e.abs};
        const mpq_class* effects[] = {&e.a, &e.b, &e.ab};
        for (std::size_t k = 0; k < 4; ++k) EXPECT_TRUE(CorrectlyRounded(r.strata[k].error.ss, *strata[k])) << k;
        for (std::size_t k = 0; k < 3; ++k) {
            const Effect& x = r.effects[k];
            EXPECT_TRUE(CorrectlyRounded(x.effect.ss, *effects[k])) << k;
            ASSERT_TRUE(x.f.has_value());
            EXPECT_TRUE(CorrectlyRounded(*x.f, (*effects[k] / x.effect.df) / (*strata[k + 1] / x.error.df))) << k;
        }
    }
}

TEST(StudyModelTest, TheEightSubjectExampleHasItsPublishedFigures) {
    StudyStore store;
    LoadStudyFile(store, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    const Analysis r = AnalyseStudy(store);
    const Effect &a = r.effects[0], &b = r.effects[1], &ab = r.effects[2];
    ASSERT_TRUE(b.sphericity && ab.sphericity);
    EXPECT_FALSE(a.sphericity);
    const std::pair<std::optional<Extended>, long double> figures[] = {
        {a.f, 40.141592920354L},
        {a.p, 0.000390526338119925L},
        {b.f, 29.2173913043478L},
        {b.p, 1.00754887486423e-05L},
        {b.sphericity->mauchlyW, 0.23876393657652L},
        {b.sphericity->p, 0.0136115064059063L},
        {b.sphericity->greenhouseGeisser.epsilon, 0.567783059163691L},
        {b.sphericity->greenhouseGeisser.p, 0.000533260776130144L},
        {b.sphericity->huynhFeldt.epsilon, 0.604024965543516L},
        {b.sphericity->huynhFeldt.p, 0.000380944153179853L},
        {ab.f, 17.1054545454546L},
        {ab.p, 0.00017413216664976L},
        {ab.sphericity->mauchlyW, 0.377295867768595L},
        {ab.sphericity->p, 0.0537088862013275L},
        {ab.sphericity->greenhouseGeisser.epsilon, 0.616255286553615L},
        {ab.sphericity->greenhouseGeisser.p, 0.00204614204429811L},
        {ab.sphericity->huynhFeldt.epsilon, 0.681413003395175L},
        {ab.sphericity->huynhFeldt.p, 0.00134114071845174L},
        {a.generalizedEtaSquared, 0.532019704433497L},
        {b.generalizedEtaSquared, 0.638783269961977L},
        {ab.generalizedEtaSquared, 0.370860927152318L},
        {a.partialEtaSquared, 0.851511169513798L},
        {b.partialEtaSquared, 0.80672268907563L},
        {ab.partialEtaSquared, 0.70960929250264L},
        {r.comparisons.at(0).t, -6.33573933494379L},
    };
    for (std::size_t i = 0; i < std::size(figures); ++i) {
        ASSERT_TRUE(figures[i].first.has_value()) << "figure " << i;
        EXPECT_NEAR(static_cast<double>(*figures[i].first), static_cast<double>(figures[i].second),
                    1e-10 * std::fabs(static_cast<double>(figures[i].second)))
            << "figure " << i;
    }
    // The paired t of a factor of two levels is the square root of its F, and
    // the simple effects of A add up to A and AB.
    EXPECT_NEAR(static_cast<double>(*r.comparisons[0].t * *r.comparisons[0].t), static_cast<double>(*a.f), 1e-12);
    Extended simpleA = 0;
    for (const SimpleEffect& s : r.simpleEffects)
        if (s.factor == 0) simpleA += s.ss;
    EXPECT_NEAR(static_cast<double>(simpleA), static_cast<double>(a.effect.ss + ab.effect.ss), 1e-12);
    const PrecisionCheck precision = CheckStudyResultsFile(store, '.', r);
    EXPECT_TRUE(precision.summaryTableExact && precision.summaryTableComplete);
    // Cell a2 b3: mean 23 of 24 29 10 22 25 28 22 24.
    EXPECT_EQ(r.cellMeans.at(5).mean, 23);
    EXPECT_EQ(r.cellMeans[5].at, (Place{1, 2}));
    EXPECT_NEAR(static_cast<double>(*r.cellMeans[5].sd), 5.8309518948453, 1e-12);
}

TEST(StudyModelTest, CorrectionsKeepTheirBoundsAndHuynhFeldtIsAppliedCappedAtOne) {
    int capped = 0, uncapped = 0;
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        std::mt19937_64 random(seed);
        const Analysis r = AnalyseStudy(Study(6 + static_cast<int>(seed % 5), 3, 4, [&](int s, int a, int b) {
            return std::to_string(random() % 40 + static_cast<unsigned>(s * 3 + a * b));
        }));
        for (const Effect& e : r.effects) {
            ASSERT_TRUE(e.sphericity && e.f && e.p);
            const Sphericity& s = *e.sphericity;
            const auto k = static_cast<Extended>(s.contrasts);
            EXPECT_EQ(s.contrasts, e.effect.df);
            ASSERT_TRUE(s.greenhouseGeisser.epsilon && s.huynhFeldt.epsilon && s.lowerBound.epsilon);
            EXPECT_EQ(*s.lowerBound.epsilon, 1 / k);
            EXPECT_GE(*s.greenhouseGeisser.epsilon, 1 / k - 1e-15L);
            EXPECT_LE(*s.greenhouseGeisser.epsilon, 1 + 1e-15L);
            for (const Correction* c : {&s.greenhouseGeisser, &s.lowerBound})
                EXPECT_EQ(*c->p, *FUpperTail(*e.f, static_cast<Extended>(e.effect.df) * *c->epsilon,
                                             static_cast<Extended>(e.error.df) * *c->epsilon));
            const Correction& hf = s.huynhFeldt;
            if (*hf.epsilon >= 1) {
                ++capped;
                EXPECT_EQ(*hf.df1, static_cast<Extended>(e.effect.df));
                EXPECT_EQ(*hf.p,
                          *FUpperTail(*e.f, static_cast<Extended>(e.effect.df), static_cast<Extended>(e.error.df)));
            } else {
                ++uncapped;
                EXPECT_EQ(*hf.df2, static_cast<Extended>(e.error.df) * *hf.epsilon);
                EXPECT_GE(*hf.epsilon, *s.greenhouseGeisser.epsilon);
            }
        }
    }
    EXPECT_GT(capped, 0);
    EXPECT_GT(uncapped, 0);
}

// Scores two thousand decimal places apart: the figures of their extended
// values, the results file's check from the grand mean.
TEST(StudyModelTest, ScoresOfThousandsOfDecimalPlacesAreCentredInTheResultsFilesCheck) {
    StudyStore store = Study(4, 2, 3, [](int s, int a, int b) {
        return std::to_string(s * 3 + a * b * b + (a == 2 && b == 3 ? s * s : 0)) + "e1600";
    });
    store.CellText(1, 1, 1) = "1e-400";
    const Analysis r = AnalyseStudy(store);
    EXPECT_FALSE(r.exact);
    EXPECT_EQ(CheckStudyResultsFile(store, '.', r).method, PartitionMethod::Centred);
    const ExactSums e = Definition(store);
    EXPECT_TRUE(Near(r.total.ss, e.total, "1000000000000000"));
    EXPECT_TRUE(Near(r.effects[0].effect.ss, e.a, "1000000000000000"));
    EXPECT_TRUE(Near(r.effects[2].effect.ss, e.ab, "1000000000000000"));
    EXPECT_TRUE(Near(r.strata[3].error.ss, e.abs, "1000000000000000"));
}

// Every figure present in the analysis, walked by its one description: finite.
struct Finite : FigureVisitorBase {
    std::size_t seen = 0;
    void Number(const char* key, const std::optional<Extended>& v, Range) {
        if (v) Number(key, *v, Range::Any);
    }
    void Number(const char* key, Extended v, Range) {
        ++seen;
        EXPECT_TRUE(std::isfinite(v)) << key << " " << v;
    }
    void P(const char* key, const std::optional<Extended>& p, bool) { Number(key, p, Range::Any); }
    void NumberPair(const char* key, const std::optional<Extended>& a, const std::optional<Extended>& b) {
        Number(key, a, Range::Any), Number(key, b, Range::Any);
    }
    void Interval(const char* key, const std::optional<morvane::Interval>& i) {
        if (i) Number(key, i->low, Range::Any), Number(key, i->high, Range::Any);
    }
    void Limits(const char* key, const std::optional<LevelInterval>& i, Range) {
        if (i) Number(key, i->lower, Range::Any), Number(key, i->upper, Range::Any);
    }
};

TEST(StudyModelTest, UndefinedStatisticsAreAbsentNeverNaN) {
    const auto constant = [](int, int, int) { return std::string("4.5"); };
    const auto additive = [](int s, int a, int b) { return std::to_string(3 * s + 5 * a + 7 * b); };
    const auto varied = [](int s, int a, int b) { return std::to_string((s * 7 + a * 3 + b * b * s) % 11) + ".5"; };
    struct Case {
        const char* name;
        int n, na, nb;
        std::function<std::string(int, int, int)> score;
    };
    const Case cases[] = {
        {"one subject", 1, 2, 3, varied}, {"one cell", 4, 1, 1, varied},     {"constant", 5, 3, 3, constant},
        {"additive", 5, 3, 3, additive},  {"few subjects", 3, 3, 3, varied}, {"no subjects", 0, 2, 2, varied},
        {"two by two", 2, 2, 2, varied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StudyStore store = Study(c.n, c.na, c.nb, c.score);
        const Analysis r = AnalyseStudy(store);
        Finite finite;
        const Keys keys{r, Keying::Design, true};
        ForEachModelField(r, finite, keys);
        ForEachFollowUpField(r, finite, keys);
        ForEachCheckField(r, finite, keys);
        ForEachRankField(r, finite, keys);
        EXPECT_GT(finite.seen, 0u);
        const Effect &a = r.effects.at(0), &ab = r.effects.at(2);
        const std::string name = c.name;
        if (name == "one subject") {
            EXPECT_FALSE(a.f || r.effects[1].f || ab.f || a.sphericity);
            EXPECT_FALSE(r.cellMeans.at(0).sd || r.comparisons.at(0).t);
            EXPECT_EQ(r.cellMeans[0].mean, Extended{0.5L});  // (7 + 3 + 1) % 11 + 0.5
        }
        if (name == "one cell") {
            EXPECT_TRUE(r.comparisons.empty() && !a.f && !ab.p);
            EXPECT_FALSE(a.partialEtaSquared || a.generalizedEtaSquared || ab.generalizedEtaSquared);
        }
        if (name == "constant") {
            EXPECT_TRUE(r.total.zero);
            EXPECT_FALSE(a.f || r.comparisons.at(0).t || r.simpleEffects.at(0).f);
            EXPECT_EQ(r.cellMeans.at(3).mean, Extended{4.5L});
            // The results file stops at F = 0/0; what it printed before is exact.
            const PrecisionCheck precision = CheckStudyResultsFile(store, '.', r);
            EXPECT_TRUE(precision.summaryTableExact);
            EXPECT_FALSE(precision.summaryTableComplete);
        }
        if (name == "additive") {
            EXPECT_TRUE(r.strata[1].error.zero && r.strata[2].error.zero && r.strata[3].error.zero);
            EXPECT_TRUE(ab.effect.zero);
            EXPECT_FALSE(a.f || a.p || ab.f);
            ASSERT_TRUE(a.partialEtaSquared);
            EXPECT_EQ(*a.partialEtaSquared, 1);
        }
        if (name == "few subjects") {  // N - 1 = 2 below the interaction's 4 contrasts
            ASSERT_TRUE(ab.sphericity && a.sphericity);
            EXPECT_FALSE(ab.sphericity->mauchlyW || ab.sphericity->p);
            EXPECT_TRUE(ab.sphericity->greenhouseGeisser.epsilon);
            // These three subjects' means of A are collinear: a singular
            // matrix, W = 0, a decisive violation.
            const Sphericity& s = *a.sphericity;
            EXPECT_TRUE(s.mauchlyW == Extended{0} && s.p == Extended{0} && s.pAsR == Extended{0});
            EXPECT_TRUE(!s.chiSquare && s.chiSquareInfinite);
            EXPECT_TRUE(s.greenhouseGeisser.epsilon);
        }
        if (name == "no subjects") {
            EXPECT_TRUE(r.cellMeans.empty() && !a.f);
            EXPECT_FALSE(CheckStudyResultsFile(store, '.', r).sums[0].resultsFile);
        }
        if (name == "two by two") {
            for (const Effect& e : r.effects) EXPECT_FALSE(e.sphericity);
        }
    }
}

// Subjects with an empty score removed listwise: the analysis of the others
// bit for bit, their numbers named; a text that is no score stops it wherever
// it stands, with its own cell.
TEST(StudyModelTest, SubjectsMissingAScoreAreRemovedAndTheRestAnalysedAsAStudyOfTheirOwn) {
    const auto score = [](int s, int a, int b) { return std::to_string((s * 7 + a * 3 + b * b) % 11) + ".5"; };
    const auto gap = [&](int s, int a, int b) -> std::string {
        if ((s == 2 && a == 1 && b == 3) || (s == 5 && a == 2 && b == 1)) return s == 2 ? "" : "   ";
        return score(s, a, b);
    };
    const StudyStore withGaps = Study(7, 2, 3, gap);
    const Analysis r = AnalyseStudy(withGaps);
    EXPECT_EQ(r.subjects, 5);
    EXPECT_EQ(r.subjectsRead, 7);
    EXPECT_EQ(r.removed, (std::vector<std::string>{"2", "5"}));
    EXPECT_EQ(r.subjectIds, (std::vector<std::string>{"1", "3", "4", "6", "7"}));
    EXPECT_EQ(r.within[0].levels, (std::vector<std::string>{"a1", "a2"}));
    EXPECT_TRUE(withGaps.CellText(2, 1, 3).empty());  // the study keeps its texts
    const int kept[] = {1, 3, 4, 6, 7};
    const Analysis alone = AnalyseStudy(Study(5, 2, 3, [&](int s, int a, int b) { return score(kept[s - 1], a, b); }));
    EXPECT_EQ(Walked(r, false), Walked(alone, false));

    // A text that is not a score stops it, in a removed subject too, naming its own cell.
    for (const ScoreCell bad : {ScoreCell{5, 1, 1}, ScoreCell{6, 2, 2}}) {
        const StudyStore store = Study(7, 2, 3, [&](int s, int a, int b) {
            return ScoreCell{s, a, b} == bad ? std::string("x1") : gap(s, a, b);
        });
        try {
            DesignFromStudy(store, '.');
            ADD_FAILURE() << "no error for subject " << bad.subject;
        } catch (const ConvertError& error) {
            EXPECT_EQ(error.cell(), std::optional<ScoreCell>(bad));
            EXPECT_EQ(Utf8FromCp932(error.message()), "'x1' は浮動小数点数ではありません");
        }
    }

    // Every subject removed: an analysis of none. A complete study: none removed.
    const Analysis none = AnalyseStudy(Study(2, 2, 2, [](int s, int a, int b) { return a == s && b == 1 ? "" : "1"; }));
    EXPECT_EQ(none.subjects, 0);
    EXPECT_EQ(none.removed, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(AnalyseStudy(Study(7, 2, 3, score)).removed.empty());
}

}  // namespace
}  // namespace morvane::anova
