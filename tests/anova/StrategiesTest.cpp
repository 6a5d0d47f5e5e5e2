// The two strategies that hold a design's scores (31-bit offsets, GMP
// integers) give the same analysis to the last bit of every figure, walked
// field by field through the one description: choosing the quick one never
// changes a figure, a convention or an undefined.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/AnalysisWalk.h"
#include "anova/detail/Analyse.h"
#include "design/StudyDesign.h"
#include "store/StudyStore.h"

namespace morvane::anova {
namespace {

// A design of between groups (none, or two of unequal size) and the within
// factors' levels; scores of two decimals near `offset`, ties with `spread`
// small, some cells averaged from up to three rows.
DesignData RandomDesign(std::mt19937& random, bool groups, const std::vector<std::size_t>& within,
                        int subjects, long long offset, int spread, bool averaged) {
    DesignData d;
    if (groups) d.between.push_back({"g", {"one", "two"}});
    for (std::size_t f = 0; f < within.size(); ++f) {
        d.within.push_back({std::string(1, static_cast<char>('A' + f)), {}});
        for (std::size_t l = 0; l < within[f]; ++l) d.within[f].levels.push_back("l" + std::to_string(l));
    }
    d.exact = true;
    d.scale = 2;
    std::uniform_int_distribution<int> noise(0, spread), rows(1, 3);
    for (int s = 0; s < subjects; ++s) {
        d.subjects.push_back("s" + std::to_string(s));
        d.group.push_back(groups ? (s % 3 == 0 ? 1 : 0) : 0);
        for (std::size_t c = 0; c < d.Cells(); ++c) {
            const int r = averaged ? rows(random) : 1;
            Int128 units = 0;
            for (int k = 0; k < r; ++k) units += offset + noise(random) + static_cast<int>(c % 3) * (s % 2);
            d.units.push_back(units);
            d.rows.push_back(r);
            d.values.push_back(static_cast<Extended>(units) / r / 100);
        }
    }
    d.subjectsRead = subjects;
    return d;
}

TEST(StrategiesTest, TheQuickAndTheSureStrategyGiveTheSameAnalysis) {
    std::mt19937 random(5);
    struct Case {
        bool groups;
        std::vector<std::size_t> within;
        int subjects;
        long long offset;
        int spread;
        bool averaged;
    };
    // Ties, a large common offset, fewer subjects than the interaction's
    // contrasts, averaged cells, groups, three within factors.
    const Case cases[] = {{false, {3, 4}, 12, 0, 4, false},
                          {false, {4, 4}, 5, 100000000000000LL, 999, false},
                          {true, {3, 3}, 11, -5000, 20, true},
                          {true, {2, 3, 2}, 9, 1000000000000LL, 300, true},
                          {false, {5}, 7, 7, 2, false}};
    for (const Case& c : cases) {
        const DesignData d =
            RandomDesign(random, c.groups, c.within, c.subjects, c.offset, c.spread, c.averaged);
        const std::vector<std::string> quick = Walked(detail::AnalyseWith(d, {}, detail::Strategy::Quick));
        const std::vector<std::string> sure = Walked(detail::AnalyseWith(d, {}, detail::Strategy::Sure));
        ASSERT_EQ(quick.size(), sure.size());
        for (std::size_t i = 0; i < quick.size(); ++i) ASSERT_EQ(quick[i], sure[i]);
        EXPECT_GT(quick.size(), 200u);
    }
    // A data file's study with an empty score: its removed subject named either way.
    StudyStore store;
    StartNewStudy(store, {"a1", "a2", "a3"}, {"b1", "b2"}, "6");
    for (int s = 1; s <= 6; ++s)
        for (int a = 1; a <= 3; ++a)
            for (int b = 1; b <= 2; ++b)
                store.CellText.Set(s, a, b,
                                   s == 4 && a == 2 ? " " : std::to_string(s * 7 % 5 + a * b) + ".5");
    const DesignData study = DesignFromStudy(store, '.');
    EXPECT_EQ(study.removed, std::vector<std::string>{"4"});
    EXPECT_EQ(Walked(detail::AnalyseWith(study, {}, detail::Strategy::Quick)),
              Walked(detail::AnalyseWith(study, {}, detail::Strategy::Sure)));
}

}  // namespace
}  // namespace morvane::anova
