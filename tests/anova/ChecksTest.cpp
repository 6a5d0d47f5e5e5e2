// The one engine's checks of the strata and rank-based tests against the
// A x B x S analysis they replace, to the bit, with either strategy; and
// against rational arithmetic on designs with groups and averaged cells.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <random>
#include <string>

#include "analysis/FullAnalysis.h"
#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "design/StudyDesign.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"

namespace morvane::anova {
namespace {

// The scores of a study: n subjects x na x nb cells of `places` decimals near
// `offset` (in those decimals), spread up to `spread`; `outliers` subjects
// have one score far out. The study's analysis forms its cells' shapes
// exactly only from offsets within 32767 units; beyond, in extended
// precision: `roundedShapes` says so, and there they agree to rounding.
struct Shape {
    int n, na, nb, places;
    long long offset;
    int spread, outliers;
    bool roundedShapes = false;
};

StudyStore RandomStudy(std::mt19937& random, const Shape& shape) {
    StudyStore store;
    std::vector<std::string> a, b;
    for (int i = 1; i <= shape.na; ++i) a.push_back("a" + std::to_string(i));
    for (int i = 1; i <= shape.nb; ++i) b.push_back("b" + std::to_string(i));
    StartNewStudy(store, a, b, std::to_string(shape.n));
    std::uniform_int_distribution<int> d(0, shape.spread);
    for (int s = 1; s <= shape.n; ++s)
        for (int i = 1; i <= shape.na; ++i)
            for (int j = 1; j <= shape.nb; ++j) {
                long long units = shape.offset + d(random) + 3 * i * j + (s % 3) * i;
                if (s <= shape.outliers && i == 1 && j == shape.nb)
                    units += 40LL * shape.spread * (s % 2 ? 1 : -1);
                std::string text = std::to_string(units);
                if (shape.places > 0) {
                    const bool negative = text[0] == '-';
                    if (negative) text.erase(0, 1);
                    while (static_cast<int>(text.size()) <= shape.places) text.insert(0, "0");
                    text.insert(text.size() - static_cast<std::size_t>(shape.places), ".");
                    if (negative) text.insert(0, "-");
                }
                store.CellText.Set(s, i, j, text);
            }
    return store;
}

// Figures side by side, the same to the bit.
void Same(std::initializer_list<std::optional<Extended>> a,
          std::initializer_list<std::optional<Extended>> b) {
    ASSERT_EQ(a.size(), b.size());
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) EXPECT_EQ(*i, *j) << i - a.begin();
}

void SameFriedman(const FriedmanTest& a, const FriedmanTest& b) {
    EXPECT_EQ(a.levels, b.levels);
    EXPECT_EQ(a.df2, b.df2);
    Same({a.chiSquare, a.p, a.kendallW, a.imanDavenportF, a.imanDavenportP, a.tieCorrection},
         {b.chiSquare, b.p, b.kendallW, b.imanDavenportF, b.imanDavenportP, b.tieCorrection});
}

void SameAligned(const AlignedRankEffect& a, const AlignedRankEffect& b) {
    EXPECT_EQ(a.errorDf, b.errorDf);
    Same({a.ss, a.errorSs, a.f, a.p, a.otherEffects}, {b.ss, b.errorSs, b.f, b.p, b.otherEffects});
}

void SameContrast(const AlignedRankContrast& a, const AlignedRankContrast& b) {
    EXPECT_EQ(a.first * 1000 + a.second, b.first * 1000 + b.second);
    EXPECT_EQ(a.df, b.df);
    Same({a.difference, a.se, a.t, a.p, a.pHolm, a.pBonferroni},
         {b.difference, b.se, b.t, b.p, b.pHolm, b.pBonferroni});
}

void Near(const std::optional<Extended>& a, const std::optional<Extended>& b) {
    ASSERT_EQ(a.has_value(), b.has_value());
    if (a) {
        EXPECT_LE(std::fabs(*a - *b), 1e-15L * std::max<Extended>(1, std::fabs(*b))) << *a << " " << *b;
    }
}

// Every figure of the checks and the rank-based tests, the same to the bit.
void ExpectTheStudysChecks(const Analysis& now, const FullAnalysis& old, bool roundedShapes) {
    const AssumptionChecks& was = old.assumptions;
    ASSERT_EQ(now.strata.size(), 4u);
    ASSERT_EQ(was.strata.size(), now.subjects > 0 ? 4u : 0u);
    for (std::size_t k = 0; k < was.strata.size(); ++k) {
        SCOPED_TRACE(now.strata[k].name);
        const Stratum& s = now.strata[k];
        const StratumCheck& o = was.strata[k];
        EXPECT_EQ(static_cast<std::size_t>(s.residuals), o.normality.count);
        EXPECT_EQ(s.normality.count, o.normality.count);
        EXPECT_EQ(s.normality.inRange, o.normality.inRange);
        EXPECT_EQ(s.normality.w, o.normality.w);
        EXPECT_EQ(s.normality.p, o.normality.p);
        EXPECT_EQ(s.largestStudentized, o.largestStudentized);
        EXPECT_EQ(static_cast<std::size_t>(s.beyond3), o.outlying);
        EXPECT_EQ(s.unplotted, 0);
        ASSERT_EQ(s.quantiles.size(), o.quantiles.size());
        for (std::size_t i = 0; i < s.quantiles.size(); ++i) {
            EXPECT_EQ(s.quantiles[i].rank, o.quantiles[i].rank);
            EXPECT_EQ(s.quantiles[i].normal, o.quantiles[i].normal);
            EXPECT_EQ(s.quantiles[i].studentized, o.quantiles[i].studentized);
        }
    }
    ASSERT_EQ(now.cellShapes.size(), was.cells.size());
    for (std::size_t c = 0; c < was.cells.size(); ++c) {
        EXPECT_EQ(now.cellShapes[c].at, (Place{was.cells[c].a - 1, was.cells[c].b - 1}));
        if (roundedShapes) {
            Near(now.cellShapes[c].skewness, was.cells[c].skewness);
            Near(now.cellShapes[c].excessKurtosis, was.cells[c].excessKurtosis);
            continue;
        }
        EXPECT_EQ(now.cellShapes[c].skewness, was.cells[c].skewness);
        EXPECT_EQ(now.cellShapes[c].excessKurtosis, was.cells[c].excessKurtosis);
    }
    EXPECT_EQ(static_cast<std::size_t>(now.outlyingSubjects), was.outlyingSubjects);
    ASSERT_EQ(now.outlying.size(), was.outlying.size());
    for (std::size_t i = 0; i < was.outlying.size(); ++i) {
        const OutlyingSubject& o = now.outlying[i];
        EXPECT_EQ(static_cast<std::int32_t>(o.subject + 1), was.outlying[i].subject);
        ASSERT_EQ(o.strata.size(), was.outlying[i].strata.size());
        for (std::size_t k = 0; k < o.strata.size(); ++k)
            EXPECT_EQ(o.strata[k], static_cast<std::size_t>(was.outlying[i].strata[k]));
        EXPECT_EQ(o.largest, was.outlying[i].largest);
    }
    EXPECT_TRUE(now.levene.empty());

    const RankTests& r = now.rankBased;
    const RankBasedResults& w = old.rankBased;
    EXPECT_TRUE(r.omitted.empty());
    if (now.subjects == 0) return;
    ASSERT_EQ(r.friedman.size(), 3u);
    SameFriedman(r.friedman[0].test, w.A);
    SameFriedman(r.friedman[1].test, w.B);
    EXPECT_TRUE(r.friedman[2].cells);
    SameFriedman(r.friedman[2].test, w.cells);
    EXPECT_EQ(r.exactAlignment, w.exactAlignment);
    EXPECT_FALSE(r.alignedOmitted);
    ASSERT_EQ(r.alignedRanks.size(), 3u);
    EXPECT_EQ(r.alignedRanks[2].key, "A:B");
    SameAligned(r.alignedRanks[0].test, w.alignedA);
    SameAligned(r.alignedRanks[1].test, w.alignedB);
    SameAligned(r.alignedRanks[2].test, w.alignedAB);
    ASSERT_EQ(r.contrasts.size(), w.contrastsA.size() + w.contrastsB.size());
    for (std::size_t i = 0; i < r.contrasts.size(); ++i) {
        const bool ofA = i < w.contrastsA.size();
        EXPECT_EQ(r.contrasts[i].factor, ofA ? 0u : 1u);
        SameContrast(r.contrasts[i].contrast, ofA ? w.contrastsA[i] : w.contrastsB[i - w.contrastsA.size()]);
    }
}

TEST(ChecksTest, AStudyOfTwoWithinFactorsHasTheChecksAndRanksOfItsOwnAnalysis) {
    std::mt19937 random(20261211);
    // Ties, decimals, negative scores, an offset of 10^12 with three decimals,
    // outlying subjects, fewer subjects than contrasts, N = 0 to 3, a level of one.
    const Shape shapes[] = {
        {8, 2, 3, 0, 0, 9, 0},
        {12, 3, 4, 2, 0, 500, 2},
        {5, 4, 4, 1, 0, 3, 0},
        {3, 3, 3, 3, 1000000000000LL, 999, 0},
        {40, 3, 2, 1, -600, 100, 3},
        {1, 2, 3, 0, 0, 5, 0},
        {2, 3, 2, 2, 5, 50, 0},
        {3, 2, 2, 0, 0, 20, 0},
        {9, 1, 4, 1, 0, 30, 1},
        {0, 2, 2, 0, 0, 5, 0},
        {60, 4, 3, 0, 0, 2, 4},
        {30, 2, 5, 4, 1000000000000LL, 99999, 2, true},
        // More residuals than the plot shows, and than W takes.
        {450, 4, 3, 1, 0, 40, 5},
        // Scores of 10^12 with three decimals, N times over beyond 64 bits.
        {400, 3, 2, 3, 1000000000000000LL, 50, 1},
    };
    std::int64_t outlying = 0, thinned = 0;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.n) + " x " + std::to_string(shape.na) + " x " +
                     std::to_string(shape.nb) + " offset " + std::to_string(shape.offset));
        StudyStore store = RandomStudy(random, shape);
        const FullAnalysis old = AnalyseStudy(store, '.');
        const DesignData design = DesignFromStudy(store, '.');
        for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
            SCOPED_TRACE(strategy == detail::Strategy::Quick ? "quick" : "sure");
            const Analysis now = detail::AnalyseWith(design, {}, strategy);
            ExpectTheStudysChecks(now, old, shape.roundedShapes);
            outlying += now.outlyingSubjects;
            thinned += now.strata.back().quantiles.size() == kQuantilePoints &&
                       now.strata.back().residuals > static_cast<std::int64_t>(kQuantilePoints);
        }
    }
    // And the bundled data files.
    for (const char* file : {"eight-subjects-2x3.dat", "pre-post.dat", "worked-example.dat"}) {
        SCOPED_TRACE(file);
        StudyStore store;
        LoadStudyFile(store, std::string(MORVANE_EXAMPLES) + "/" + file);
        const FullAnalysis old = AnalyseStudy(store, '.');
        ExpectTheStudysChecks(detail::AnalyseWith(DesignFromStudy(store, '.'), {}, detail::Strategy::Quick), old,
                              false);
    }
    EXPECT_GT(outlying, 10);
    EXPECT_EQ(thinned, 4);
}

}  // namespace
}  // namespace morvane::anova
