// The full analysis: the published figures of a study, exact sums against
// rational arithmetic of the test's own, the centred fallback, undefined
// statistics, the distributions and the comparisons' adjustments.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <regex>

#include "analysis/FullAnalysis.h"
#include "output/AnovaFormats.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "stats/Distributions.h"
#include "store/DataFile.h"
#include "support/RationalArithmetic.h"

namespace morvane {
namespace {

using testing::CorrectlyRounded;
using testing::Definition;
using testing::Exactly;
using testing::ExactSums;
using testing::Rational;
using testing::Study;

void ExpectExactPartition(StudyStore& store, const char* what) {
    SCOPED_TRACE(what);
    const FullAnalysis r = AnalyseStudy(store, '.');
    ASSERT_EQ(r.precision.method, PartitionMethod::Exact);
    const ExactSums e = Definition(store);
    const std::pair<const PartitionSource*, const mpq_class*> sources[] = {
        {&r.Total, &e.total},  {&r.A.effect, &e.a}, {&r.B.effect, &e.b}, {&r.S, &e.s},
        {&r.AB.effect, &e.ab}, {&r.AS, &e.as},      {&r.BS, &e.bs},      {&r.ABS, &e.abs},
    };
    for (const auto& [source, exact] : sources) {
        EXPECT_TRUE(CorrectlyRounded(source->ss, *exact));
        if (source->ms) {
            EXPECT_TRUE(CorrectlyRounded(*source->ms, *exact / mpq_class(source->df)));
        }
    }
    const std::tuple<const EffectResult*, const mpq_class*, const mpq_class*> effects[] = {
        {&r.A, &e.a, &e.as}, {&r.B, &e.b, &e.bs}, {&r.AB, &e.ab, &e.abs}};
    for (const auto& [effect, ss, error] : effects) {
        ASSERT_TRUE(effect->f.has_value());
        const mpq_class f = (*ss / effect->effect.df) / (*error / effect->error.df);
        EXPECT_TRUE(CorrectlyRounded(*effect->f, f));
    }
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_TRUE(CorrectlyRounded(r.precision.sums[i].exact, *sources[i].second));
}

// ---- the tests ----

TEST(FullAnalysis, EightSubjectStudyAgreesWithThePublishedFigures) {
    StudyStore store;
    LoadStudyFile(store, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    const FullAnalysis r = AnalyseStudy(store, '.');
    const auto agrees = [](std::optional<Extended> value, long double expected) {
        return value && std::fabs(*value - expected) <= 1e-10L * std::fabs(expected);
    };
    ASSERT_TRUE(r.B.sphericity && r.AB.sphericity);
    EXPECT_FALSE(r.A.sphericity);
    const std::pair<std::optional<Extended>, long double> figures[] = {
        {r.A.f, 40.141592920354L},
        {r.A.p, 0.000390526338119925L},
        {r.B.f, 29.2173913043478L},
        {r.B.p, 1.00754887486423e-05L},
        {r.B.sphericity->mauchlyW, 0.23876393657652L},
        {r.B.sphericity->p, 0.0136115064059063L},
        {r.B.sphericity->greenhouseGeisser.epsilon, 0.567783059163691L},
        {r.B.sphericity->greenhouseGeisser.p, 0.000533260776130144L},
        {r.B.sphericity->huynhFeldt.epsilon, 0.604024965543516L},
        {r.B.sphericity->huynhFeldt.p, 0.000380944153179853L},
        {r.AB.f, 17.1054545454546L},
        {r.AB.p, 0.00017413216664976L},
        {r.AB.sphericity->mauchlyW, 0.377295867768595L},
        {r.AB.sphericity->p, 0.0537088862013275L},
        {r.AB.sphericity->greenhouseGeisser.epsilon, 0.616255286553615L},
        {r.AB.sphericity->greenhouseGeisser.p, 0.00204614204429811L},
        {r.AB.sphericity->huynhFeldt.epsilon, 0.681413003395175L},
        {r.AB.sphericity->huynhFeldt.p, 0.00134114071845174L},
        {r.A.generalizedEtaSquared, 0.532019704433497L},
        {r.B.generalizedEtaSquared, 0.638783269961977L},
        {r.AB.generalizedEtaSquared, 0.370860927152318L},
        {r.A.partialEtaSquared, 0.851511169513798L},
        {r.B.partialEtaSquared, 0.80672268907563L},
        {r.AB.partialEtaSquared, 0.70960929250264L},
        {r.comparisons.at(0).t, -6.33573933494379L},
    };
    for (std::size_t i = 0; i < std::size(figures); ++i)
        EXPECT_TRUE(agrees(figures[i].first, figures[i].second)) << "figure " << i;
    // The paired t of a factor of two levels is the square root of its F, and
    // the simple effects of A add up to A and AB.
    EXPECT_NEAR(static_cast<double>(*r.comparisons[0].t * *r.comparisons[0].t), static_cast<double>(*r.A.f),
                1e-12);
    Extended simpleA = 0;
    for (const SimpleEffectResult& s : r.simpleEffects)
        if (s.effect == Factor::A) simpleA += s.ss;
    EXPECT_NEAR(static_cast<double>(simpleA), static_cast<double>(r.A.effect.ss + r.AB.effect.ss), 1e-12);
    EXPECT_TRUE(r.precision.summaryTableExact && r.precision.summaryTableComplete);
    // Cell a2 b3: mean 23 of 24 29 10 22 25 28 22 24.
    EXPECT_EQ(r.cells.at(5).mean, 23);
    EXPECT_NEAR(static_cast<double>(*r.cells[5].sd), 5.8309518948453, 1e-12);

    // The same scores as a plain table give the same figures, bit for bit; a
    // short row is refused.
    ScoreTable table{.levelsA = store.LevelCountA, .levelsB = store.LevelCountB, .scores = {}};
    for (std::int32_t s = 1; s <= store.SubjectCount; ++s) {
        auto& row = table.scores.emplace_back();
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
                row.emplace_back(store.CellText.Text(s, a, b));
    }
    const FullAnalysis plain = AnalyseScores(table);
    EXPECT_EQ(plain.A.f, r.A.f);
    EXPECT_EQ(plain.AB.sphericity->huynhFeldt.p, r.AB.sphericity->huynhFeldt.p);
    EXPECT_EQ(plain.cells.at(5).sd, r.cells[5].sd);
    EXPECT_EQ(plain.comparisons.at(0).pHolm, r.comparisons[0].pHolm);
    table.scores.back().pop_back();
    EXPECT_THROW(AnalyseScores(table), RangeError);
}

TEST(ExactSums, OffsetAndWideScoresAgreeWithRationalArithmeticToTheLastDigit) {
    std::mt19937_64 random(12);
    // Scores near 10^12 with one decimal: the 128-bit path.
    StudyStore offset = Study(7, 3, 4, [&](int s, int a, int b) {
        const auto tenths = static_cast<long long>(random() % 2000) + 37 * s + 11 * a * b;
        return std::to_string(1000000000000LL + tenths / 10) + "." + std::to_string(tenths % 10);
    });
    ExpectExactPartition(offset, "offset");
    // Scores of 40 and more significant digits: the big-integer path.
    StudyStore wide = Study(5, 2, 3, [&](int s, int a, int b) {
        return std::to_string(random() % 1000000 + 1) + "123456789012345678901234567890." +
               std::to_string(s * a) + "e" + std::to_string(b - 2) + (s == 1 && a == 1 && b == 1 ? "0" : "");
    });
    ExpectExactPartition(wide, "wide");
    // Negative and mixed scales.
    StudyStore mixed = Study(4, 3, 3, [&](int s, int a, int b) {
        return (s % 2 ? "-" : "") + std::to_string(random() % 5000) + "." + std::to_string(a * b) + "e-" +
               std::to_string(s + a);
    });
    ExpectExactPartition(mixed, "mixed");
    // Sums of squares below the smallest normal extended value: rounded as denormals.
    StudyStore tiny = Study(3, 2, 2, [&](int s, int a, int b) {
        return std::to_string(random() % 90 + 10 + static_cast<unsigned>(s * a * b)) + "e-2472";
    });
    ExpectExactPartition(tiny, "tiny");
    EXPECT_LT(AnalyseStudy(tiny, '.').Total.ss, std::numeric_limits<Extended>::min());

    // The results file loses digits on the offset study and is flagged; it is
    // exact on the worked example.
    const FullAnalysis r = AnalyseStudy(offset, '.');
    EXPECT_FALSE(r.precision.summaryTableExact);
    EXPECT_LT(r.precision.sums[7].correctDigits, 10);  // SSABS
    StudyStore worked;
    LoadStudyFile(worked, std::string(MORVANE_EXAMPLES) + "/worked-example.dat");
    const PrecisionCheck check = CheckResultsFile(worked, '.');
    EXPECT_TRUE(check.summaryTableExact);
    EXPECT_GE(check.sums[0].correctDigits, 17);
    EXPECT_EQ(check.method, PartitionMethod::Exact);
}

TEST(FullAnalysis, IntegerContrastsAgreeWithRationalArithmeticAndTheExtendedPass) {
    std::mt19937_64 random(31);
    for (const auto& [n, na, nb] : {std::tuple{9, 3, 4}, std::tuple{6, 2, 5}, std::tuple{8, 4, 3}}) {
        SCOPED_TRACE(std::to_string(na) + " x " + std::to_string(nb));
        std::vector<std::string> texts;
        for (int i = 0; i < n * na * nb; ++i) {
            const auto tenths = random() % 5000;
            texts.push_back(std::to_string(tenths / 10) + "." + std::to_string(tenths % 10));
        }
        const auto text = [&texts, na = na, nb = nb](int s, int a, int b) {
            return texts[static_cast<std::size_t>(((s - 1) * na + a - 1) * nb + b - 1)];
        };
        StudyStore small = Study(n, na, nb, text);
        ASSERT_EQ(ComputeExactPartition(small, '.', KeepOffsets::Yes).integerOffsets.size(), texts.size());
        const FullAnalysis r = AnalyseStudy(small, '.');
        // The same (positive) scores and 10^-10 or 10^-6 more: the same
        // covariances, from offsets too wide for 32 bits, or too wide for the
        // integer sums.
        for (const auto& [tail, shift] : {std::pair{"000000001", 1e-10L}, std::pair{"00001", 1e-6L}}) {
            SCOPED_TRACE(tail);
            StudyStore shifted =
                Study(n, na, nb, [&text, tail = tail](int s, int a, int b) { return text(s, a, b) + tail; });
            ASSERT_EQ(ComputeExactPartition(shifted, '.', KeepOffsets::Yes).integerOffsets.empty(),
                      shift < 1e-8L);
            const FullAnalysis w = AnalyseStudy(shifted, '.');

            const auto close = [](std::optional<Extended> x, std::optional<Extended> y) {
                if (!x || !y) return ::testing::AssertionResult(!x && !y) << "only one present";
                if (std::fabs(*x - *y) <= 1e-14L * std::fabs(*y)) return ::testing::AssertionSuccess();
                return ::testing::AssertionFailure() << *x << " against " << *y;
            };
            for (const auto& [e, f] :
                 {std::pair{&r.A, &w.A}, std::pair{&r.B, &w.B}, std::pair{&r.AB, &w.AB}}) {
                ASSERT_EQ(e->sphericity.has_value(), f->sphericity.has_value());
                if (!e->sphericity) continue;
                const Sphericity &x = *e->sphericity, &y = *f->sphericity;
                EXPECT_TRUE(close(x.mauchlyW, y.mauchlyW));
                EXPECT_TRUE(close(x.chiSquare, y.chiSquare));
                EXPECT_TRUE(close(x.greenhouseGeisser.epsilon, y.greenhouseGeisser.epsilon));
                EXPECT_TRUE(close(x.huynhFeldt.epsilon, y.huynhFeldt.epsilon));
            }
            EXPECT_EQ(r.A.sphericity.has_value(), na > 2);
            // The moments of the means and of the paired differences.
            for (const auto& [x, y] : {std::pair{&r.cells, &w.cells}, std::pair{&r.marginalA, &w.marginalA},
                                       std::pair{&r.marginalB, &w.marginalB}}) {
                ASSERT_EQ(x->size(), y->size());
                for (std::size_t i = 0; i < x->size(); ++i) {
                    const MeanResult &u = (*x)[i], &v = (*y)[i];
                    EXPECT_TRUE(close(u.mean + shift, v.mean)) << "mean " << i;
                    EXPECT_TRUE(close(u.sd, v.sd)) << "mean " << i;
                    ASSERT_TRUE(u.withinCi95 && v.withinCi95);
                    EXPECT_TRUE(close(u.withinCi95->high - u.mean, v.withinCi95->high - v.mean))
                        << "mean " << i;
                }
            }
            ASSERT_EQ(r.comparisons.size(), w.comparisons.size());
            for (std::size_t i = 0; i < r.comparisons.size(); ++i) {
                const ComparisonResult &u = r.comparisons[i], &v = w.comparisons[i];
                EXPECT_TRUE(close(u.difference, v.difference)) << "comparison " << i;
                EXPECT_TRUE(close(u.t, v.t)) << "comparison " << i;
                EXPECT_TRUE(close(u.cohenDz, v.cohenDz)) << "comparison " << i;
            }
            // A difference of cell means exactly: the mean of the subjects' differences.
            const ComparisonResult& first =
                r.comparisons.at(static_cast<std::size_t>(na * (na - 1) / 2 + nb * (nb - 1) / 2));
            ASSERT_TRUE(first.factor == Factor::A && first.at == 1 && first.i == 1 && first.j == 2);
            mpq_class difference;
            for (int s = 1; s <= n; ++s)
                difference += (Rational(text(s, 1, 1)) - Rational(text(s, 2, 1))) / n;
            EXPECT_TRUE(abs(Exactly(first.difference) - difference) *
                            mpq_class(mpz_class("10000000000000000")) <=
                        abs(difference));
            ASSERT_EQ(r.simpleEffects.size(), static_cast<std::size_t>(na + nb));
            for (std::size_t i = 0; i < r.simpleEffects.size(); ++i) {
                const SimpleEffectResult &x = r.simpleEffects[i], &y = w.simpleEffects[i];
                // The error of the effect of one factor at level `at` of the other:
                // its interaction with the subjects within that slice.
                const bool ofA = x.effect == Factor::A;
                const int levels = ofA ? na : nb;
                const auto score = [&](int s, int l) {
                    return ofA ? Rational(text(s, l, x.at)) : Rational(text(s, x.at, l));
                };
                std::vector<mpq_class> subject(static_cast<std::size_t>(n + 1)),
                    level(static_cast<std::size_t>(levels + 1));
                mpq_class all;
                for (int s = 1; s <= n; ++s)
                    for (int l = 1; l <= levels; ++l) {
                        subject[static_cast<std::size_t>(s)] += score(s, l) / levels;
                        level[static_cast<std::size_t>(l)] += score(s, l) / n;
                        all += score(s, l) / (n * levels);
                    }
                mpq_class error;
                for (int s = 1; s <= n; ++s)
                    for (int l = 1; l <= levels; ++l) {
                        const mpq_class d = score(s, l) - subject[static_cast<std::size_t>(s)] -
                                            level[static_cast<std::size_t>(l)] + all;
                        error += d * d;
                    }
                // Exact integer sums: the error within a few units of the last place.
                const mpq_class deviation = Exactly(x.errorSs) - error;
                EXPECT_TRUE(abs(deviation) * mpq_class(mpz_class("10000000000000000")) <= abs(error))
                    << "simple effect " << i << ": " << x.errorSs;
                EXPECT_TRUE(close(x.errorSs, y.errorSs)) << "simple effect " << i;
                EXPECT_TRUE(close(x.ggEpsilon, y.ggEpsilon)) << "simple effect " << i;
                EXPECT_TRUE(close(x.f, y.f)) << "simple effect " << i;
            }
        }
    }
}

TEST(ExactSums, ScoresOfThousandsOfDecimalPlacesAreCentred) {
    StudyStore store = Study(4, 2, 3, [](int s, int a, int b) {
        return std::to_string(s * 3 + a * b * b + (a == 2 && b == 3 ? s * s : 0)) + "e1600";
    });
    store.CellText(1, 1, 1) = "1e-1500";
    const FullAnalysis r = AnalyseStudy(store, '.');
    EXPECT_EQ(r.precision.method, PartitionMethod::Centred);
    const ExactSums e = Definition(store);
    const auto near = [](Extended value, const mpq_class& exact) {
        const mpq_class difference = abs(Exactly(value) - exact);
        return difference <= abs(exact) / mpq_class(mpz_class("1000000000000000"));
    };
    EXPECT_TRUE(near(r.Total.ss, e.total));
    EXPECT_TRUE(near(r.A.effect.ss, e.a));
    EXPECT_TRUE(near(r.AB.effect.ss, e.ab));
    EXPECT_TRUE(near(r.ABS.ss, e.abs));
    EXPECT_NE(FormatAnalysis(r, AnovaFormat::Text).find("from the grand mean"), std::string::npos);
    EXPECT_NE(FormatAnalysis(r, AnovaFormat::Json).find("\"method\":\"centred\""), std::string::npos);
}

// Every value present in the analysis, for the check that none is NaN or infinite.
std::vector<Extended> Present(const FullAnalysis& r) {
    std::vector<Extended> v;
    const auto add = [&](std::optional<Extended> x) {
        if (x) v.push_back(*x);
    };
    const auto source = [&](const PartitionSource& s) {
        v.push_back(s.ss);
        add(s.ms);
    };
    for (const EffectResult* e : {&r.A, &r.B, &r.AB}) {
        source(e->effect), source(e->error);
        for (auto x : {e->f, e->p, e->partialEtaSquared, e->generalizedEtaSquared}) add(x);
        if (e->sphericity)
            for (const Correction* c :
                 {&e->sphericity->greenhouseGeisser, &e->sphericity->huynhFeldt, &e->sphericity->lowerBound})
                for (auto x : {c->epsilon, c->df1, c->df2, c->p, e->sphericity->mauchlyW,
                               e->sphericity->chiSquare, e->sphericity->p})
                    add(x);
    }
    for (const auto* list : {&r.cells, &r.marginalA, &r.marginalB})
        for (const MeanResult& m : *list) {
            v.push_back(m.mean), add(m.sd), add(m.se);
            for (const auto& i : {m.ci95, m.withinCi95})
                if (i) v.push_back(i->low), v.push_back(i->high);
        }
    for (const ComparisonResult& c : r.comparisons) {
        v.push_back(c.difference);
        for (auto x : {c.t, c.p, c.pHolm, c.pBonferroni, c.cohenDz}) add(x);
    }
    for (const SimpleEffectResult& s : r.simpleEffects)
        for (auto x : {std::optional<Extended>(s.ss), std::optional<Extended>(s.errorSs), s.f, s.p,
                       s.partialEtaSquared, s.ggEpsilon, s.ggP})
            add(x);
    return v;
}

TEST(FullAnalysis, UndefinedStatisticsAreAbsentNeverNaN) {
    const auto constant = [](int, int, int) { return std::string("4.5"); };
    const auto additive = [](int s, int a, int b) { return std::to_string(3 * s + 5 * a + 7 * b); };
    const auto varied = [](int s, int a, int b) {
        return std::to_string((s * 7 + a * 3 + b * b * s) % 11) + ".5";
    };
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
        StudyStore store = Study(c.n, c.na, c.nb, c.score);
        const FullAnalysis r = AnalyseStudy(store, '.');
        for (Extended v : Present(r)) ASSERT_TRUE(std::isfinite(v)) << v;
        for (AnovaFormat f :
             {AnovaFormat::Text, AnovaFormat::Markdown, AnovaFormat::Csv, AnovaFormat::Json}) {
            const std::string text = FormatAnalysis(r, f);
            // As printf writes them, whole words ("provenance" is no NaN).
            EXPECT_FALSE(std::regex_search(text, std::regex(R"(\b(nan|inf)\b)", std::regex::icase)));
        }
        const std::string name = c.name;
        if (name == "one subject") {
            EXPECT_FALSE(r.A.f || r.B.f || r.AB.f || r.A.sphericity);
            EXPECT_FALSE(r.cells.at(0).sd || r.comparisons.at(0).t);
            EXPECT_EQ(r.cells[0].mean, Extended{0.5L});  // (7 + 3 + 1) % 11 + 0.5
        }
        if (name == "one cell") {
            EXPECT_TRUE(r.comparisons.empty() && !r.A.f && !r.AB.p);
            EXPECT_FALSE(r.A.partialEtaSquared || r.A.generalizedEtaSquared || r.AB.generalizedEtaSquared);
        }
        if (name == "constant") {
            EXPECT_TRUE(r.Total.zero);
            EXPECT_FALSE(r.A.f || r.comparisons.at(0).t || r.simpleEffects.at(0).f);
            EXPECT_EQ(r.cells.at(3).mean, Extended{4.5L});
            // The results file stops at F = 0/0; what it printed before is exact.
            EXPECT_TRUE(r.precision.summaryTableExact);
            EXPECT_FALSE(r.precision.summaryTableComplete);
        }
        if (name == "additive") {
            EXPECT_TRUE(r.AS.zero && r.BS.zero && r.ABS.zero && !r.AB.effect.zero == false);
            EXPECT_FALSE(r.A.f || r.A.p || r.AB.f);
            ASSERT_TRUE(r.A.partialEtaSquared);
            EXPECT_EQ(*r.A.partialEtaSquared, 1);
        }
        if (name == "few subjects") {  // N - 1 = 2 below the interaction's 4 contrasts
            ASSERT_TRUE(r.AB.sphericity && r.A.sphericity);
            EXPECT_FALSE(r.AB.sphericity->mauchlyW || r.AB.sphericity->p);
            EXPECT_TRUE(r.AB.sphericity->greenhouseGeisser.epsilon);
            // These three subjects' means of A are collinear: a singular
            // matrix, W = 0, a decisive violation.
            const Sphericity& a = *r.A.sphericity;
            EXPECT_TRUE(a.mauchlyW == Extended{0} && a.p == Extended{0} && a.pAsR == Extended{0});
            EXPECT_TRUE(!a.chiSquare && a.chiSquareInfinite);
            EXPECT_TRUE(r.A.sphericity->greenhouseGeisser.epsilon);
        }
        if (name == "no subjects") {
            EXPECT_TRUE(r.cells.empty() && !r.A.f && !r.precision.sums[0].resultsFile);
        }
        if (name == "two by two") {
            EXPECT_FALSE(r.A.sphericity || r.B.sphericity || r.AB.sphericity);
            EXPECT_NE(FormatAnalysis(r, AnovaFormat::Json).find("\"sphericity\":null"), std::string::npos);
        }
    }
}

TEST(FullAnalysis, ComparisonsAreAdjustedWithinTheirFamilies) {
    std::mt19937_64 random(5);
    StudyStore store = Study(9, 4, 3, [&](int, int a, int b) {
        return std::to_string(random() % 50 + static_cast<unsigned>(a * 10 * b));
    });
    const FullAnalysis r = AnalyseStudy(store, '.');
    ASSERT_EQ(r.comparisons.size(), 6u + 3u + 3u * 6u + 4u * 3u);
    // Families: marginal A (6 pairs), marginal B (3), A at each b (6 each), B at each a (3 each).
    std::size_t first = 0;
    for (std::size_t size : {6u, 3u, 6u, 6u, 6u, 3u, 3u, 3u, 3u}) {
        std::vector<const ComparisonResult*> family;
        for (std::size_t i = first; i < first + size; ++i) family.push_back(&r.comparisons[i]);
        first += size;
        const auto m = static_cast<Extended>(size);
        for (const ComparisonResult* c : family) {
            ASSERT_TRUE(c->p && c->pHolm && c->pBonferroni);
            EXPECT_EQ(c->at, family.front()->at);
            EXPECT_EQ(*c->pBonferroni, std::min(Extended{1}, m * *c->p));
            EXPECT_GE(*c->pHolm, *c->p);
            EXPECT_LE(*c->pHolm, *c->pBonferroni);
        }
        std::sort(family.begin(), family.end(), [](auto x, auto y) { return *x->p < *y->p; });
        EXPECT_EQ(*family.front()->pHolm, std::min(Extended{1}, m * *family.front()->p));
        for (std::size_t i = 1; i < family.size(); ++i) EXPECT_GE(*family[i]->pHolm, *family[i - 1]->pHolm);
    }
    // The differences are those of the means, the t and d_z follow one another.
    const ComparisonResult& c = r.comparisons[0];
    EXPECT_NEAR(static_cast<double>(c.difference),
                static_cast<double>(r.marginalA[0].mean - r.marginalA[1].mean), 1e-12);
    EXPECT_NEAR(static_cast<double>(*c.t), static_cast<double>(*c.cohenDz * 3), 1e-12);  // sqrt(9)
    // The within-subject intervals are narrower than the ordinary ones when the subjects differ a lot.
    for (const MeanResult& m : r.cells)
        EXPECT_TRUE(m.ci95 && m.withinCi95 && m.ci95->low < m.mean && m.mean < m.ci95->high);
}

// The work follows the levels, not the bytes: a factor of more than 100
// levels has no comparisons, the families at each level of the other are
// left out beyond 50,000 pairs, the simple effects when their covariances
// would be too large; what remains agrees with the same families of a full
// analysis. Long level names are cut in the results, the study keeps them.
TEST(FullAnalysis, TheWorkIsBoundedByTheLevels) {
    EXPECT_EQ(FamiliesCompared(4, 3).aAtB && FamiliesCompared(4, 3).bAtA, true);
    const ComparedFamilies wideB = FamiliesCompared(2, 1000);
    EXPECT_TRUE(wideB.marginalA && wideB.aAtB && !wideB.marginalB && !wideB.bAtA);
    const ComparedFamilies many = FamiliesCompared(60, 60);  // 1770 pairs x 61, twice
    EXPECT_TRUE(many.marginalA && many.marginalB && !many.aAtB && !many.bAtA);

    std::mt19937_64 random(3);
    const auto score = [&](int, int a, int b) {
        return std::to_string(random() % 40 + static_cast<unsigned>(a + b));
    };
    StudyStore wide = Study(3, 2, 101, score);
    wide.LevelNamesA[1] = std::string(70, 'x') + Cp932FromUtf8("名前");
    const FullAnalysis r = AnalyseStudy(wide, '.');
    EXPECT_EQ(r.comparisons.size(), 1u + 101u);  // marginal A, then A at each b
    EXPECT_TRUE(std::all_of(r.comparisons.begin(), r.comparisons.end(),
                            [](const ComparisonResult& c) { return c.factor == Factor::A; }));
    EXPECT_FALSE(r.simpleEffectsOmitted);
    EXPECT_EQ(r.namesA[0], std::string(64, 'x') + "\x81\x63");
    EXPECT_EQ(wide.LevelNamesA[1].size(), 74u);
    const std::string text = FormatAnalysis(r, AnovaFormat::Text, {});
    EXPECT_NE(text.find("B: more than 100 levels; no comparisons."), std::string::npos);
    EXPECT_EQ(text.find(std::string(65, 'x')), std::string::npos);

    // The means alone (what the plot asks for) are those of the whole analysis.
    StudyStore narrow = Study(3, 2, 101, [&](int s, int a, int b) { return wide.CellText(s, a, b); });
    AnalysisOptions meansOnly;
    meansOnly.meansOnly = true;
    const FullAnalysis means = AnalyseStudy(narrow, '.', meansOnly);
    EXPECT_TRUE(means.comparisons.empty() && means.simpleEffects.empty());
    ASSERT_EQ(means.cells.size(), r.cells.size());
    for (std::size_t i = 0; i < r.cells.size(); ++i) {
        EXPECT_EQ(means.cells[i].mean, r.cells[i].mean);
        EXPECT_EQ(means.cells[i].withinCi95.has_value(), r.cells[i].withinCi95.has_value());
    }

    // 300 x 300 cells: no comparisons, no simple effects, and the tables say why.
    StudyStore grid = Study(2, 300, 300, score);
    const FullAnalysis big = AnalyseStudy(grid, '.');
    EXPECT_TRUE(big.comparisons.empty());
    EXPECT_TRUE(big.simpleEffectsOmitted && big.simpleEffects.empty());
    EXPECT_EQ(big.cells.size(), 90000u);
    EXPECT_NE(FormatAnalysis(big, AnovaFormat::Markdown, {}).find("the simple main effects are left out"),
              std::string::npos);
}

TEST(FullAnalysis, CorrectionsKeepTheirBoundsAndHuynhFeldtIsAppliedCappedAtOne) {
    int capped = 0, uncapped = 0;
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        std::mt19937_64 random(seed);
        StudyStore store = Study(6 + static_cast<int>(seed % 5), 3, 4, [&](int s, int a, int b) {
            return std::to_string(random() % 40 + static_cast<unsigned>(s * 3 + a * b));
        });
        const FullAnalysis r = AnalyseStudy(store, '.');
        for (const EffectResult* e : {&r.A, &r.B, &r.AB}) {
            ASSERT_TRUE(e->sphericity && e->f && e->p);
            const Sphericity& s = *e->sphericity;
            const auto k = static_cast<Extended>(s.contrasts);
            EXPECT_EQ(s.contrasts, e->effect.df);
            ASSERT_TRUE(s.greenhouseGeisser.epsilon && s.huynhFeldt.epsilon && s.lowerBound.epsilon);
            EXPECT_EQ(*s.lowerBound.epsilon, 1 / k);
            EXPECT_GE(*s.greenhouseGeisser.epsilon, 1 / k - 1e-15L);
            EXPECT_LE(*s.greenhouseGeisser.epsilon, 1 + 1e-15L);
            for (const Correction* c : {&s.greenhouseGeisser, &s.lowerBound})
                EXPECT_EQ(*c->p, *FUpperTail(*e->f, static_cast<Extended>(e->effect.df) * *c->epsilon,
                                             static_cast<Extended>(e->error.df) * *c->epsilon));
            const Correction& hf = s.huynhFeldt;
            if (*hf.epsilon >= 1) {
                ++capped;
                EXPECT_EQ(*hf.df1, static_cast<Extended>(e->effect.df));
                EXPECT_EQ(*hf.p, *FUpperTail(*e->f, static_cast<Extended>(e->effect.df),
                                             static_cast<Extended>(e->error.df)));
            } else {
                ++uncapped;
                EXPECT_EQ(*hf.df2, static_cast<Extended>(e->error.df) * *hf.epsilon);
                EXPECT_GE(*hf.epsilon, *s.greenhouseGeisser.epsilon);
            }
        }
    }
    EXPECT_GT(capped, 0);
    EXPECT_GT(uncapped, 0);
}

TEST(AnovaFormats, NamesAreEscapedAndColumnsAligned) {
    StudyStore store =
        Study(4, 2, 3, [](int s, int a, int b) { return std::to_string(s * 2 + a * b + (s * b) % 3); });
    store.LevelNamesA[1] = "x|y";
    store.LevelNamesA[2] = "say \"hi\", then";
    store.LevelNamesB[1] = Cp932FromUtf8("前後");
    const FullAnalysis r = AnalyseStudy(store, '.');

    const std::string markdown = FormatAnalysis(r, AnovaFormat::Markdown);
    EXPECT_NE(markdown.find("| x\\|y | 前後 |"), std::string::npos);
    const std::string csv = FormatAnalysis(r, AnovaFormat::Csv);
    EXPECT_NE(csv.find("\"say \"\"hi\"\", then\""), std::string::npos);
    EXPECT_NE(csv.find("A,,"), std::string::npos);  // the marginal comparison has no level of B
    const std::string json = FormatAnalysis(r, AnovaFormat::Json);
    EXPECT_NE(json.find("\"levelsA\":[\"x|y\",\"say \\\"hi\\\", then\"]"), std::string::npos);
    EXPECT_NE(json.find("\"levelsB\":[\"前後\",\"b2\",\"b3\"]"), std::string::npos);

    // In the text, every row of the cell means table ends at the same column (the
    // two-byte characters take two columns each).
    const std::string text = FormatAnalysis(r, AnovaFormat::Text);
    const std::size_t start = text.find("Cell means\n");
    ASSERT_NE(start, std::string::npos);
    std::vector<std::size_t> widths;
    std::size_t line = text.find('\n', start) + 1;
    for (int row = 0; row < 8; ++row) {
        const std::size_t end = text.find('\n', line);
        std::string content = text.substr(line, end - line);
        std::size_t width = 0;
        for (std::size_t i = 0; i < content.size(); ++i) {
            const auto c = static_cast<unsigned char>(content[i]);
            if (c >= 0xE3 && c <= 0xE9)
                width += 2, i += 2;
            else if ((c & 0xC0) != 0x80)
                ++width;
        }
        widths.push_back(width);
        line = end + 1;
    }
    for (std::size_t w : widths) EXPECT_EQ(w, widths.front());
    EXPECT_NE(text.find("前後"), std::string::npos);
}

TEST(Distributions, TailsAgreeWithClosedForms) {
    Extended worst = 0;
    for (Extended df2 : {1.0L, 2.5L, 7.0L, 30.0L, 1000.0L, 1e6L})
        for (Extended f : {1e-6L, 0.3L, 1.0L, 4.0L, 40.0L, 1e3L, 1e6L, 1e12L}) {
            const Extended exact = std::pow(1 + 2 * f / df2, -df2 / 2);  // F(2, df2)
            if (exact < 1e-300L) continue;
            const std::optional<Extended> p = FUpperTail(f, 2, df2);
            ASSERT_TRUE(p);
            worst = std::max(worst, std::fabs(*p - exact) / exact);
        }
    for (Extended x : {0.01L, 1.0L, 10.0L, 100.0L, 1000.0L}) {  // chi-square with 2 df
        const Extended exact = std::exp(-x / 2);
        worst = std::max(worst, std::fabs(*ChiSquareUpperTail(x, 2) - exact) / exact);
    }
    for (Extended t : {0.1L, 1.0L, 3.0L, 1e4L}) {  // Cauchy: t with 1 df, and F(1, 1) = t^2
        const Extended exact = 1 - 2 * std::atan(t) / std::numbers::pi_v<Extended>;
        worst = std::max(worst, std::fabs(*TTwoSided(-t, 1) - exact) / exact);
        worst = std::max(worst, std::fabs(*FUpperTail(t * t, 1, 1) - exact) / exact);
    }
    EXPECT_LT(worst, 1e-12L);
    for (Extended df : {1.0L, 7.0L, 99.5L})
        EXPECT_NEAR(static_cast<double>(*TTwoSided(*TQuantile975(df), df)), 0.05, 1e-15);
    EXPECT_EQ(*FUpperTail(0, 3, 4), 1);
    EXPECT_FALSE(FUpperTail(1, 0, 4) || FUpperTail(INFINITY, 1, 4) || TTwoSided(1, 0) || TQuantile975(0) ||
                 ChiSquareUpperTail(NAN, 2));
}

// Subjects with an empty score removed listwise: the analysis of the others
// bit for bit, their numbers named; a text that is no score stops it wherever
// it stands, with its own cell; a complete study as it always was.
TEST(FullAnalysis, SubjectsMissingAScoreAreRemovedAndTheRestAnalysedAsAStudyOfTheirOwn) {
    const auto score = [](int s, int a, int b) {
        return std::to_string((s * 7 + a * 3 + b * b) % 11) + ".5";
    };
    const auto gap = [&](int s, int a, int b) -> std::string {
        if ((s == 2 && a == 1 && b == 3) || (s == 5 && a == 2 && b == 1)) return s == 2 ? "" : "   ";
        return score(s, a, b);
    };
    StudyStore withGaps = Study(7, 2, 3, gap);
    const FullAnalysis r = AnalyseCompleteSubjects(withGaps, '.');
    EXPECT_EQ(r.subjects, 5);
    EXPECT_EQ(r.subjectsRead, 7);
    EXPECT_EQ(r.removed, (std::vector<std::string>{"2", "5"}));
    EXPECT_EQ(r.namesA, (std::vector<std::string>{"a1", "a2"}));
    EXPECT_TRUE(withGaps.CellText(2, 1, 3).empty());  // the study keeps its texts
    ScoreTable table{2, 3, {}};
    for (int s : {1, 3, 4, 6, 7}) {
        table.scores.emplace_back();
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b) table.scores.back().push_back(score(s, a, b));
    }
    const FullAnalysis alone = AnalyseScores(table);
    const std::pair<const PartitionSource*, const PartitionSource*> sources[] = {
        {&r.S, &alone.S}, {&r.A.effect, &alone.A.effect}, {&r.BS, &alone.BS}, {&r.ABS, &alone.ABS}};
    for (const auto& [got, expected] : sources) {
        EXPECT_EQ(got->ss, expected->ss);
        EXPECT_EQ(got->df, expected->df);
    }
    EXPECT_EQ(r.AB.p, alone.AB.p);
    EXPECT_EQ(r.B.sphericity->mauchlyW, alone.B.sphericity->mauchlyW);
    EXPECT_NE(FormatAnalysis(r, AnovaFormat::Text)
                  .find("\n\nN = 5 of 7 subjects; removed for a missing score: 2, 5\n"),
              std::string::npos);

    // A text that is not a score stops it, in a removed subject too, naming its own cell.
    for (const ScoreCell bad : {ScoreCell{5, 1, 1}, ScoreCell{6, 2, 2}}) {
        StudyStore store = Study(7, 2, 3, [&](int s, int a, int b) {
            return ScoreCell{s, a, b} == bad ? std::string("x1") : gap(s, a, b);
        });
        try {
            AnalyseCompleteSubjects(store, '.');
            ADD_FAILURE() << "no error for subject " << bad.subject;
        } catch (const ConvertError& error) {
            EXPECT_EQ(error.cell(), std::optional<ScoreCell>(bad));
            EXPECT_EQ(Utf8FromCp932(error.message()), "'x1' は浮動小数点数ではありません");
        }
    }

    // Every subject removed: an analysis of none. A complete study: nothing said.
    StudyStore none = Study(2, 2, 2, [](int s, int a, int b) { return a == s && b == 1 ? "" : "1"; });
    const FullAnalysis empty = AnalyseCompleteSubjects(none, '.');
    EXPECT_EQ(empty.subjects, 0);
    EXPECT_EQ(empty.removed, (std::vector<std::string>{"1", "2"}));
    StudyStore complete = Study(7, 2, 3, score);
    const FullAnalysis whole = AnalyseCompleteSubjects(complete, '.');
    EXPECT_TRUE(whole.removed.empty());
    EXPECT_EQ(FormatAnalysis(whole, AnovaFormat::Json),
              FormatAnalysis(AnalyseStudy(complete, '.'), AnovaFormat::Json));
    EXPECT_EQ(FormatAnalysis(whole, AnovaFormat::Json).find("subjectsRemoved"), std::string::npos);
}

}  // namespace
}  // namespace morvane
