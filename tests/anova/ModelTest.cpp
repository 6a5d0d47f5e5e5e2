// The one engine's model against the two engines it replaces: the figures
// formed exactly are the same to the bit; those formed from rounded matrices
// (sphericity, the multivariate tests) agree to the last digits.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "analysis/FullAnalysis.h"
#include "anova/Analysis.h"
#include "anova/StudyPrecision.h"
#include "anova/detail/Analyse.h"
#include "design/DesignAnalysis.h"
#include "design/StudyDesign.h"
#include "exact/ExactPartition.h"
#include "store/StudyStore.h"

namespace morvane::anova {
namespace {

// A study of n subjects x na x nb cells with scores of `places` decimals near `offset`.
StudyStore RandomStudy(std::mt19937& random, int n, int na, int nb, int places, long long offset, int spread) {
    StudyStore store;
    std::vector<std::string> a, b;
    for (int i = 1; i <= na; ++i) a.push_back("a" + std::to_string(i));
    for (int i = 1; i <= nb; ++i) b.push_back("b" + std::to_string(i));
    StartNewStudy(store, a, b, std::to_string(n));
    std::uniform_int_distribution<int> d(0, spread);
    for (int s = 1; s <= n; ++s)
        for (int i = 1; i <= na; ++i)
            for (int j = 1; j <= nb; ++j) {
                long long units = offset + d(random) + 3 * i * j + (s % 3) * i;
                std::string text = std::to_string(units);
                if (places > 0) {
                    while (static_cast<int>(text.size()) <= places) text.insert(0, "0");
                    text.insert(text.size() - static_cast<std::size_t>(places), ".");
                }
                store.CellText.Set(s, i, j, text);
            }
    return store;
}

void ExpectSame(const PartitionSource& a, const PartitionSource& b) {
    EXPECT_EQ(a.ss, b.ss);
    EXPECT_EQ(a.df, b.df);
    EXPECT_EQ(a.ms, b.ms);
}

void ExpectClose(const std::optional<Extended>& a, const std::optional<Extended>& b, Extended tolerance) {
    ASSERT_EQ(a.has_value(), b.has_value());
    if (a) {
        EXPECT_LE(std::fabs(*a - *b), tolerance * std::max<Extended>(1, std::fabs(*b))) << *a << " " << *b;
    }
}

TEST(ModelTest, AStudyOfTwoWithinFactorsHasTheFiguresOfItsOwnAnalysis) {
    std::mt19937 random(7);
    struct Shape {
        int n, na, nb, places;
        long long offset;
        int spread;
    };
    // Ties, decimals, a common offset of 10^9, fewer subjects than contrasts, one subject.
    const Shape shapes[] = {{8, 2, 3, 0, 0, 9},    {12, 3, 4, 2, 0, 500},        {5, 4, 4, 1, 0, 3},
                            {3, 3, 3, 3, 1000000000000LL, 999}, {6, 2, 2, 0, -50, 100}, {1, 2, 3, 0, 0, 5}};
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.n * 1000 + shape.na * 10 + shape.nb);
        StudyStore store = RandomStudy(random, shape.n, shape.na, shape.nb, shape.places, shape.offset, shape.spread);
        const FullAnalysis old = AnalyseStudy(store, '.');
        const DesignData design = DesignFromStudy(store, '.');
        for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
            const Analysis now = detail::AnalyseWith(design, {}, strategy);
            ASSERT_EQ(now.effects.size(), 3u);
            ASSERT_EQ(now.strata.size(), 4u);
            EXPECT_EQ(now.effects[2].key, "A:B");
            EXPECT_EQ(now.strata[3].name, "A × B × S");
            const PartitionSource* strata[] = {&old.S, &old.AS, &old.BS, &old.ABS};
            for (std::size_t i = 0; i < 4; ++i) ExpectSame(now.strata[i].error, *strata[i]);
            ExpectSame(now.total, old.Total);
            ExpectSame(now.withinSubjects, ComputeExactPartition(store, '.', KeepOffsets::No).Within);
            // The results file's precision check beside it, as the study's own analysis made it.
            const PrecisionCheck precision = CheckStudyResultsFile(store, '.', now);
            EXPECT_EQ(precision.summaryTableExact, old.precision.summaryTableExact);
            EXPECT_EQ(precision.summaryTableComplete, old.precision.summaryTableComplete);
            for (std::size_t i = 0; i < precision.sums.size(); ++i) {
                EXPECT_STREQ(precision.sums[i].name, old.precision.sums[i].name);
                EXPECT_EQ(precision.sums[i].resultsFile, old.precision.sums[i].resultsFile);
                EXPECT_EQ(precision.sums[i].exact, old.precision.sums[i].exact);
                EXPECT_EQ(precision.sums[i].correctDigits, old.precision.sums[i].correctDigits);
            }
            const EffectResult* effects[] = {&old.A, &old.B, &old.AB};
            for (std::size_t i = 0; i < 3; ++i) {
                const Effect& e = now.effects[i];
                const EffectResult& o = *effects[i];
                ExpectSame(e.effect, o.effect);
                ExpectSame(e.error, o.error);
                EXPECT_EQ(e.f, o.f);
                EXPECT_EQ(e.p, o.p);
                // Exact here, a ratio of the rounded sums there.
                ExpectClose(e.partialEtaSquared, o.partialEtaSquared, 1e-18L);
                ExpectClose(e.generalizedEtaSquared, o.generalizedEtaSquared, 1e-18L);
                ASSERT_EQ(e.partialEtaSquaredCI.has_value(), o.partialEtaSquaredCI.has_value());
                if (e.partialEtaSquaredCI) {
                    EXPECT_EQ(e.partialEtaSquaredCI->lower, o.partialEtaSquaredCI->lower);
                }
                ASSERT_EQ(e.sphericity.has_value(), o.sphericity.has_value());
                if (!e.sphericity) continue;
                const Sphericity &a = *e.sphericity, &b = *o.sphericity;
                ExpectClose(a.mauchlyW, b.mauchlyW, 1e-15L);
                ExpectClose(a.p, b.p, 1e-14L);
                ExpectClose(a.greenhouseGeisser.epsilon, b.greenhouseGeisser.epsilon, 1e-16L);
                ExpectClose(a.huynhFeldt.epsilon, b.huynhFeldt.epsilon, 1e-15L);
                ExpectClose(a.greenhouseGeisser.p, b.greenhouseGeisser.p, 1e-14L);
                ASSERT_EQ(e.partialEtaSquaredCIGG.has_value(), o.partialEtaSquaredCIGG.has_value());
            }
            // The multivariate tests: one root, every statistic from it.
            const MultivariateEffect* tests[] = {&old.multivariate.A, &old.multivariate.B, &old.multivariate.AB};
            for (std::size_t i = 0; i < 3; ++i) {
                const MultivariateTest& m = *now.effects[i].multivariate;
                if (tests[i]->status == MultivariateStatus::OneDf) {
                    EXPECT_EQ(m.variables, 1u);
                    continue;
                }
                ASSERT_EQ(m.status, tests[i]->status);
                if (m.status != MultivariateStatus::Tested) continue;
                ExpectClose(m.pillai.value, tests[i]->pillai, 1e-16L);
                ExpectClose(m.wilks.f, tests[i]->f, 1e-15L);
                ExpectClose(m.roy.p, tests[i]->p, 1e-14L);
            }
        }
    }
}

// A design of `between` between factors (2 and 3 levels) and within factors
// of the given levels, groups of unequal size, some cells averaged.
DesignData RandomDesign(std::mt19937& random, std::size_t between, const std::vector<std::size_t>& within,
                        bool averaged) {
    DesignData d;
    const std::size_t betweenLevels[] = {2, 3};
    for (std::size_t f = 0; f < between; ++f) {
        d.between.push_back({"b" + std::to_string(f), {}});
        for (std::size_t l = 0; l < betweenLevels[f]; ++l) d.between[f].levels.push_back("l" + std::to_string(l));
    }
    for (std::size_t f = 0; f < within.size(); ++f) {
        d.within.push_back({"w" + std::to_string(f), {}});
        for (std::size_t l = 0; l < within[f]; ++l) d.within[f].levels.push_back("v" + std::to_string(l));
    }
    d.exact = true;
    d.scale = 2;
    std::uniform_int_distribution<int> noise(0, 900), rows(1, 3);
    for (std::size_t g = 0; g < d.Groups(); ++g)
        for (std::size_t s = 0; s < 3 + 2 * g; ++s) {
            d.subjects.push_back("s" + std::to_string(d.subjects.size()));
            d.group.push_back(static_cast<std::int32_t>(g));
            for (std::size_t c = 0; c < d.Cells(); ++c) {
                const int r = averaged ? rows(random) : 1;
                Int128 units = 0;
                for (int k = 0; k < r; ++k) units += 100000 + noise(random) + static_cast<int>(30 * g * c);
                d.units.push_back(units);
                d.rows.push_back(r);
                d.values.push_back(static_cast<Extended>(units) / r / 100);
            }
        }
    d.subjectsRead = static_cast<std::int64_t>(d.subjects.size());
    return d;
}

TEST(ModelTest, AnyDesignHasTheFiguresOfTheGeneralAnalysis) {
    std::mt19937 random(11);
    struct Case {
        std::size_t between;
        std::vector<std::size_t> within;
        bool averaged;
    };
    const Case cases[] = {{1, {3}, false}, {1, {2, 3}, true}, {2, {3, 2}, false}, {0, {3, 2, 2}, true}, {1, {4, 3}, false}};
    for (const Case& c : cases)
        for (const SsType type : {SsType::TypeIII, SsType::TypeII}) {
            const DesignData d = RandomDesign(random, c.between, c.within, c.averaged);
            DesignOptions oldOptions;
            oldOptions.type = type == SsType::TypeII ? morvane::SsType::TypeII : morvane::SsType::TypeIII;
            oldOptions.observed = {"b0"};
            const DesignAnalysis old = AnalyseDesign(d, oldOptions);
            Options options;
            options.type = type;
            options.observed = {"b0"};
            const Analysis now = Analyse(d, options);
            ASSERT_EQ(now.effects.size(), old.effects.size());
            for (std::size_t i = 0; i < now.effects.size(); ++i) {
                const Effect& e = now.effects[i];
                const DesignEffect& o = old.effects[i];
                SCOPED_TRACE(e.name);
                EXPECT_EQ(e.key, o.key);
                ExpectSame(e.effect, o.effect);
                ExpectSame(e.error, o.error);
                ExpectSame(now.strata[e.stratum].error, o.error);
                EXPECT_EQ(e.f, o.f);
                EXPECT_EQ(e.p, o.p);
                EXPECT_EQ(e.partialEtaSquared, o.partialEtaSquared);
                EXPECT_EQ(e.generalizedEtaSquared, o.generalizedEtaSquared);
                if (o.sphericity) {
                    ASSERT_TRUE(e.sphericity);
                    EXPECT_EQ(e.sphericity->mauchlyW, o.sphericity->mauchlyW);
                    EXPECT_EQ(e.sphericity->huynhFeldt.p, o.sphericity->huynhFeldt.p);
                }
                // One contrast: the univariate test, here as there but in name.
                if (o.multivariate && o.multivariate->variables == 1) {
                    EXPECT_EQ(e.multivariate->status, MultivariateStatus::OneDf);
                } else if (o.multivariate && o.multivariate->status == MultivariateStatus::Tested) {
                    ASSERT_EQ(e.multivariate->status, MultivariateStatus::Tested);
                    EXPECT_EQ(e.multivariate->pillai.value, o.multivariate->pillai.value);
                    EXPECT_EQ(e.multivariate->wilks.p, o.multivariate->wilks.p);
                }
            }
        }
}

}  // namespace
}  // namespace morvane::anova
