// The adjustments chosen in the options reach every family of the
// comparisons and of the aligned rank contrasts, Shaffer's with the family's
// count of levels, and no others are formed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "stats/Adjustments.h"

namespace morvane::anova {
namespace {

// One within factor of four levels, eight subjects, scores in tenths.
DesignData FourLevels() {
    const int tenths[8][4] = {{9, 25, 23, 34},  {9, 24, 24, 34}, {-5, 8, 25, 13},  {14, 26, 28, 26},
                              {40, 62, 60, 59}, {2, 18, 15, 25}, {29, 39, 38, 40}, {14, 15, 22, 29}};
    DesignData d;
    d.within = {{"A", {"a", "b", "c", "d"}}};
    d.exact = true, d.scale = 1;
    for (int s = 0; s < 8; ++s) {
        d.subjects.push_back(std::to_string(s + 1));
        d.group.push_back(0);
        for (int l = 0; l < 4; ++l) {
            d.units.push_back(tenths[s][l]), d.rows.push_back(1);
            d.values.push_back(static_cast<Extended>(tenths[s][l]) / 10);
        }
    }
    return d;
}

// Each chosen adjustment of a family's rows is the family's adjustment of its p-values.
template <class Row>
void ExpectFamily(const std::vector<const Row*>& rows, AdjustmentSet chosen, const char* what) {
    std::vector<Extended> p;
    for (const Row* r : rows) {
        ASSERT_TRUE(r->p) << what;
        p.push_back(*r->p);
    }
    for (const AdjustmentNames& n : kAdjustmentNames) {
        const std::vector<Extended> expected = Adjust(n.adjustment, p, 4);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::optional<Extended>& got = AdjustedField(*rows[i], n.adjustment);
            EXPECT_EQ(got.has_value(), chosen.Has(n.adjustment)) << what << " " << n.key;
            if (got) {
                EXPECT_EQ(*got, expected[i]) << what << " " << n.key << " " << i;
            }
        }
    }
    // Shaffer's counts of four levels (6, 3, 3, ...) are not Holm's (6, 5, 4, ...) here.
    if (chosen.Has(Adjustment::Shaffer)) {
        EXPECT_NE(Adjust(Adjustment::Shaffer, p, 4), Adjust(Adjustment::Holm, p));
    }
}

TEST(ChosenAdjustments, EveryFamilyHasTheChosenOnesAndEachPairOnce) {
    const DesignData design = FourLevels();
    AdjustmentSet some = AdjustmentSet::None();
    some.Add(Adjustment::Shaffer), some.Add(Adjustment::BY);
    for (const AdjustmentSet chosen : {AdjustmentSet{}, AdjustmentSet::Every(), some}) {
        Options options;
        options.adjustments = chosen;
        const Analysis a = Analyse(design, options);
        // One factor: its one family over the levels, each pair once (none at the levels of no other factor).
        ASSERT_EQ(a.comparisons.size(), 6u);
        EXPECT_EQ(a.shown.comparedAtLevels, std::vector<bool>{false});
        std::vector<const Comparison*> pairs;
        for (const Comparison& c : a.comparisons) pairs.push_back(&c);
        ExpectFamily(pairs, chosen, "comparisons");
        ASSERT_EQ(a.rankBased.contrasts.size(), 6u);
        std::vector<const AlignedRankContrast*> contrasts;
        for (const AlignedContrastRow& c : a.rankBased.contrasts) contrasts.push_back(&c.contrast);
        ExpectFamily(contrasts, chosen, "contrasts");
    }
}

}  // namespace
}  // namespace morvane::anova
