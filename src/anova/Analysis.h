#pragma once
// The analysis of any factorial repeated-measures design, a data file's
// A x B x S study among them: one result, whatever the design and whatever
// arithmetic formed it.
//
// The model: the between effects tested against the subjects within groups,
// each within effect and its interactions with the between factors against
// the pooled within-group cross products of its contrasts on N - g degrees of
// freedom, type III (sum-to-zero coding of the between factors) or type II
// sums of squares; sphericity and its corrections and the multivariate tests
// of every within effect; effect sizes. Beside it: means, comparisons, simple
// effects, the checks of the error strata's residuals and the rank-based
// tests. Every figure that can be formed exactly from the decimal scores is,
// and is rounded once; every statistic the design leaves undefined is absent,
// never NaN or infinite.
//
// Places in the design: a row that is of some levels (a mean, a comparison
// at the levels of other factors, a simple effect) names a level, from 0, of
// each factor, the between factors first then the within factors, and kOver
// for a factor it averages over (with equal weights over that factor's
// levels) or leaves free.

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmpxx.h>

#include "design/Design.h"
#include "exact/ExactPartition.h"
#include "runtime/Extended.h"
#include "stats/Adjustments.h"
#include "stats/AlignedRanks.h"
#include "stats/BoxM.h"
#include "stats/EffectSizes.h"
#include "stats/Friedman.h"
#include "stats/Intervals.h"
#include "stats/MultivariateTests.h"
#include "stats/Power.h"
#include "stats/QuantilePoints.h"
#include "stats/ShapiroWilk.h"
#include "stats/Sphericity.h"

namespace morvane::anova {

enum class SsType { TypeII = 2, TypeIII = 3 };

// A contrast asked for beside the analysis: per factor it crosses (by name,
// UTF-8), its weights over that factor's levels, each factor's summing to 0;
// of two or more factors, the interaction contrast of their products.
struct ContrastPart {
    std::string factor;
    std::vector<mpq_class> weights;
};
struct ContrastRequest {
    std::string name;  // as the outputs show it
    std::vector<ContrastPart> parts;
};
// A factor's polynomial trends over its levels at the spacing of `scores`
// (none: equally spaced).
struct TrendRequest {
    std::string factor;
    std::vector<mpq_class> scores;
};

struct Options {
    SsType type = SsType::TypeIII;
    // The factors (by name, UTF-8) that are measured rather than manipulated:
    // generalized eta squared (Olejnik and Algina 2003) counts their variance
    // in every effect's denominator.
    std::vector<std::string> observed;
    // The confidence level of the effect sizes' intervals.
    Extended effectSizeLevel = 0.9L;
    // Whether the strata's Q-Q points are formed: a caller that only writes
    // tables may leave them out.
    bool quantilePoints = true;
    // The means alone (the interaction plot): the effects' sums of squares and
    // tests, the cell and marginal means, nothing else.
    bool meansOnly = false;
    // With meansOnly, the model left out too: the cell and marginal means
    // alone, which is all the interaction plot draws.
    bool modelLeftOut = false;
    // The adjustments the comparisons and the aligned rank contrasts are
    // given within each family, and the outputs show: Holm's and Bonferroni's
    // unless others are chosen.
    AdjustmentSet adjustments;
    // The effect sizes beside partial and generalized eta squared that the
    // outputs show for every effect: none unless chosen (each effect has them
    // all formed whatever is chosen).
    struct EffectSizes {
        bool etaSquared = false, partialOmegaSquared = false, cohensF = false;
        bool generalizedOmegaSquared = false, cohensFPowerPrograms = false;
        static EffectSizes Every() { return {true, true, true, true, true}; }
        bool operator==(const EffectSizes&) const = default;
    } effectSizes;
    // The planned contrasts: every factor's trends asked for, then the
    // contrasts given, in their order. None unless asked.
    std::vector<TrendRequest> trends;
    std::vector<ContrastRequest> contrasts;
    // The interactions whose cells are compared pair by pair: each the names
    // of two or more factors (UTF-8), or with `allCellInteractions` every
    // interaction of two factors. None unless asked.
    std::vector<std::vector<std::string>> cellInteractions;
    bool allCellInteractions = false;
    // The simple interactions (each two factors' at each level of a third)
    // and the simple-simple effects (each factor at each level combination of
    // two others) of a design of three or more factors. None unless asked.
    bool simpleInteractions = false;

    // The level the robustness table decides each effect's tests at: a test
    // is significant where its p is below it.
    Extended alpha = 0.05L;
};

// A level of every factor, between factors first (see above): a few numbers
// held in place, since an analysis of many cells has a place for each of its
// means and checks.
class Place {
public:
    using value_type = std::int32_t;
    using size_type = std::size_t;
    using iterator = std::int32_t*;
    using const_iterator = const std::int32_t*;
    static constexpr std::size_t kMost = kMostWithinFactors + kMostBetweenFactors;

    Place() = default;
    explicit Place(std::size_t count, std::int32_t level = 0) { assign(count, level); }
    Place(std::initializer_list<std::int32_t> levels) {
        for (const std::int32_t level : levels) push_back(level);
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::int32_t& operator[](std::size_t i) { return levels_[i]; }
    const std::int32_t& operator[](std::size_t i) const { return levels_[i]; }
    const std::int32_t& at(std::size_t i) const {
        if (i >= size_) throw std::out_of_range("Place");
        return levels_[i];
    }
    std::int32_t* data() { return levels_.data(); }
    const std::int32_t* data() const { return levels_.data(); }
    iterator begin() { return levels_.data(); }
    iterator end() { return levels_.data() + size_; }
    const_iterator begin() const { return levels_.data(); }
    const_iterator end() const { return levels_.data() + size_; }
    std::int32_t& back() { return levels_[size_ - 1]; }
    const std::int32_t& back() const { return levels_[size_ - 1]; }

    // More factors than a design may have is a fault of the caller: refused, never written past.
    void push_back(std::int32_t level) {
        if (size_ == kMost) throw std::length_error("Place");
        levels_[size_++] = level;
    }
    void pop_back() { --size_; }
    void clear() { size_ = 0; }
    void resize(std::size_t count, std::int32_t level = 0) {
        if (count > kMost) throw std::length_error("Place");
        for (std::size_t i = size_; i < count; ++i) levels_[i] = level;
        size_ = static_cast<std::uint8_t>(count);
    }
    void assign(std::size_t count, std::int32_t level) {
        clear();
        resize(count, level);
    }

    friend bool operator==(const Place& a, const Place& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend auto operator<=>(const Place& a, const Place& b) {
        return std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    std::array<std::int32_t, kMost> levels_{};
    std::uint8_t size_ = 0;
};
inline constexpr std::int32_t kOver = -1;

// An error stratum: the subjects within their groups ("S"), or a within
// effect's interaction with them ("A × S"), with its sum of squares and the
// checks of its residuals.
struct Stratum {
    std::vector<std::size_t> within;  // the within effect's factors, ascending; none for S
    std::string name;                 // UTF-8: "S", "A × B × S"
    std::string key;                  // "S", "A:B:S"
    PartitionSource error;
    // Its residuals (see Checks), as many as the stratum has cells per subject
    // times the subjects: Shapiro and Wilk's test (3 to 5000 of them), their
    // largest studentized value in magnitude (absent for residuals all zero),
    // how many exceed 3, and the normal Q-Q plot's points of those of groups
    // of more than one subject (`unplotted` the others, always zero).
    std::int64_t residuals = 0;
    ShapiroWilkTest normality;
    std::optional<Extended> largestStudentized;
    std::int64_t beyond3 = 0;
    std::vector<QuantilePoint> quantiles;
    std::int64_t unplotted = 0;
};

// An effect of the summary: the factors it crosses, by index into the
// design's between and within factors (each ascending). The between effects
// have no within factors; a within effect has one or more and may cross
// between factors too.
struct Effect {
    std::vector<std::size_t> between, within;
    std::string name;  // UTF-8: the factors' names, between first, joined by " × "
    std::string key;   // the same joined by ":", as JSON keys it
    std::size_t stratum = 0;  // its error's, in Analysis::strata
    PartitionSource effect, error;
    std::optional<Extended> f, p, partialEtaSquared, generalizedEtaSquared;
    // The effect sizes the outputs show when chosen (Options::effectSizes):
    // eta squared (of the total), partial omega squared, Cohen's f from
    // partial eta squared; each absent where its divisor is not positive or
    // the error has no df.
    std::optional<Extended> etaSquared, partialOmegaSquared, cohensF;
    // Generalized omega squared (Olejnik and Algina 2003), its measured
    // factors those of Options::observed; and the Cohen's f a power program
    // takes for an effect of one within factor (with or without between
    // factors), f over the within-cell SD: cohensF with the measures'
    // correlation taken out (FInOtherConvention), rho the mean correlation of
    // the factor's levels pooled within the groups.
    std::optional<Extended> generalizedOmegaSquared, cohensFPowerPrograms;
    std::optional<Extended> measuresCorrelation;
    // Partial eta squared's interval by the noncentral F on the uncorrected
    // degrees of freedom, and on those Greenhouse and Geisser's epsilon
    // corrects (the same for an effect of one degree of freedom).
    std::optional<LevelInterval> partialEtaSquaredCI, partialEtaSquaredCIGG;
    // Within effects of more than one degree of freedom.
    std::optional<Sphericity> sphericity;
    // Its contrasts too many for the time and memory their matrices take: no
    // sphericity, and the multivariate test's status Omitted.
    bool sphericityOmitted = false;
    // Its between part's hypothesis, in a design of unequal between cells,
    // would take a solve of more than kMostBetweenContrasts columns: its sum
    // of squares and every figure formed from it are absent (df and the
    // error stay), and a within effect's multivariate status is Omitted.
    bool hypothesisOmitted = false;
    // Within effects: the multivariate tests of H against the pooled error E.
    std::optional<MultivariateTest> multivariate;
};

// The most columns the solve of a between term's hypothesis takes, on the
// smaller of its two sides; beyond, the term's figures are left out.
inline constexpr std::size_t kMostBetweenContrasts = 512;

// A mean of the design: of a between x within cell (every factor at a level),
// or a marginal mean (the factors averaged over at kOver, with equal weights
// over their levels: an estimated marginal mean).
struct Mean {
    Place at;
    std::int64_t n = 0;  // the subjects it is of
    Extended mean = 0;
    // The SD its SE is formed from: of the cell's scores, or of the subjects'
    // values of a marginal mean pooled within the groups.
    std::optional<Extended> sd, se;
    std::optional<Interval> ci95;        // Student's t on the SD's degrees of freedom
    std::optional<Interval> withinCi95;  // Cousineau-Morey, within each between cell
};

// A comparison of levels i < j of one factor (`factor` over all factors,
// between first), at the levels of the other factors `at` names (kOver: over
// that factor's levels with equal weights; `at[factor]` is kOver). A family
// is the comparisons of one factor at one place: the adjustments chosen
// (Options::adjustments) are within it.
struct Comparison {
    std::size_t factor = 0;
    Place at;
    std::int32_t i = 0, j = 0;
    Extended difference = 0;  // level i less level j
    Extended df = 0;
    std::optional<Extended> se, t, p;
    // p's adjustments, those not chosen absent; Tukey's of a between factor's pairs over the others alone.
    std::optional<Extended> pHolm, pBonferroni, pSidak, pHolmSidak, pHochberg, pHommel, pBH, pBY, pShaffer,
        pTukey;
    std::optional<Interval> ci95;
    // The difference over the SD of the differences (d_z, a within factor's)
    // or the pooled SD (a between factor's), with its noncentral-t interval.
    std::optional<Extended> d;
    std::optional<LevelInterval> dCI;
    // A within factor's: the difference over the mean of the two levels' SDs,
    // and Hedges' correction of it (Lakens 2013).
    std::optional<Extended> dAv, gAv;
};

// The effect of one factor at a level of others (`at`: the factor itself at
// kOver), as the analysis of that slice with its own error term.
struct SimpleEffect {
    std::size_t factor = 0;
    Place at;
    Extended ss = 0, errorSs = 0;
    // Not zero, but nearer 0 than the extended type reaches: not shown.
    bool ssBelowRange = false, errorSsBelowRange = false;
    std::int64_t df1 = 0, df2 = 0;
    std::optional<Extended> f, p, partialEtaSquared;
    std::optional<LevelInterval> partialEtaSquaredCI;
    // A within factor of more than two levels: its contrasts' epsilon and the
    // p it corrects.
    std::optional<Extended> ggEpsilon, ggP;
};

// A planned contrast (Options::trends and contrasts): of one factor's levels
// or, crossing several factors, of the products of their weights, the factors
// it does not name averaged over with equal weights. A contrast of within
// factors is tested on each subject's contrast score with its variance
// pooled within the groups on N - g df; one of between factors alone on the
// subjects' means over the within cells, the same way.
struct PlannedContrast {
    std::vector<std::size_t> factors;            // over all factors, between first, ascending
    std::vector<std::vector<Extended>> weights;  // per factor of `factors`, as shown
    std::string name, family;                    // UTF-8: "linear", "trend of time"
    // A trend's weights of unit length, its integers being too large to show
    // (else the smallest integers, or the weights as given).
    bool orthonormal = false;
    Extended estimate = 0, df = 0;
    std::optional<Extended> se, t, f, p, partialEtaSquared;
    std::optional<LevelInterval> partialEtaSquaredCI;
    // p's adjustments within the family, those not chosen absent (never Tukey's).
    std::optional<Extended> pHolm, pBonferroni, pSidak, pHolmSidak, pHochberg, pHommel, pBH, pBY, pShaffer,
        pTukey;
};

// A pair of the cells of an interaction (Options::cellInteractions), the
// factors it does not name averaged over with equal weights. Cells of the
// same between levels are compared on the subjects' paired differences,
// their variance pooled within the groups on N - g df; cells of different
// between levels on the two cells' values, each one's variance pooled within
// the groups (N - g df). The family is the interaction's cells; Shaffer's
// adjustment, where chosen, takes Holm's multipliers there; Tukey's is
// formed for an interaction of between factors alone (one shared error).
struct CellComparison {
    std::vector<std::size_t> factors;         // over all factors, between first, ascending
    std::vector<std::int32_t> first, second;  // per factor of `factors`: the two cells' levels
    bool paired = false;                      // the two cells have the same between levels
    // The error the difference is tested on: "S (paired)" or "S/G (paired)"
    // for a paired one, else "S/G" (UTF-8).
    std::string error;
    // The figures (factor, at, i and j unused): first less second.
    Comparison figures;
};

// An effect of one or two factors in the slice of the design at levels of
// others (Options::simpleInteractions): a simple interaction (two factors at
// a level of a third) or a simple-simple effect (one factor at levels of two
// others), tested as the engine tests that effect in the design of the
// slice's subjects and cells alone, with the slice's own error term.
struct SimpleInteraction {
    std::vector<std::size_t> factors;  // the effect's, over all factors, ascending
    Place at;                          // the levels it is at (the effect's factors and others at kOver)
    std::string effect;                // UTF-8: "A × B"
    std::string error;                 // UTF-8: its error stratum in the slice, "A × B × S"
    Extended ss = 0, errorSs = 0;
    std::int64_t df1 = 0, df2 = 0;
    std::optional<Extended> f, p, partialEtaSquared;
    std::optional<LevelInterval> partialEtaSquaredCI;
};

// Which comparisons and simple effects an analysis holds, and what it left
// out for their number.
struct FollowUpsShown {
    // Per factor, between first: whether its levels are compared at all (not
    // beyond kComparedLevels levels), and at the levels of the other factors
    // (none without other factors; not when those families would bring the
    // comparisons beyond kMostComparisons).
    std::vector<bool> compared, comparedAtLevels;
    // The simple effects left out: their contrasts' covariances would take
    // more memory than a design of this size should.
    bool simpleEffectsOmitted = false;
};
inline constexpr std::int64_t kComparedLevels = 100;
inline constexpr std::int64_t kMostComparisons = 50000;

// The skewness and excess kurtosis of the scores of a between x within cell
// (G1 and G2, the adjusted sample statistics).
struct CellShape {
    Place at;
    std::optional<Extended> skewness, excessKurtosis;
};

// A subject with a studentized residual beyond 3 in some stratum.
struct OutlyingSubject {
    std::size_t subject = 0;           // index into Analysis::subjectIds
    std::vector<std::size_t> strata;   // indices into Analysis::strata
    Extended largest = 0;              // its largest studentized residual in magnitude, with its sign
};
inline constexpr std::size_t kOutlyingListed = 100;
// The magnitude beyond which a studentized residual marks its subject.
inline constexpr Extended kOutlyingStudentized = 3;

// Levene's test of the scores of one within cell across the between cells.
struct LeveneTest {
    Place at;             // the within cell: the between factors at kOver
    bool median = false;  // centred on the median (Brown-Forsythe), else on the mean
    std::int64_t df1 = 0, df2 = 0;
    std::optional<Extended> f, p;
};

// The rank-based tests, of designs without between factors.
struct FriedmanRow {
    std::size_t factor = 0;  // the within factor, unless `cells`
    bool cells = false;      // of all the within cells as one factor
    FriedmanTest test;
};
struct AlignedRankRow {
    std::vector<std::size_t> within;  // the effect's within factors, ascending
    std::string name, key;            // as the effect's
    AlignedRankEffect test;
};
struct AlignedContrastRow {
    std::size_t factor = 0;        // the within factor
    AlignedRankContrast contrast;  // its levels from 1
};
struct RankTests {
    std::vector<FriedmanRow> friedman;           // each within factor, then (two or more) the cells
    std::vector<AlignedRankRow> alignedRanks;    // every within effect, in the summary's order
    std::vector<AlignedContrastRow> contrasts;   // every pair of each factor's levels, adjusted within each
    bool exactAlignment = false;                 // aligned and ranked in integers
    // The aligned rank transform left out: 2^24 scores or more, whose ranks'
    // sums of squares would leave the exact integers (Friedman's tests stay).
    bool alignedOmitted = false;
    // Why there are none (UTF-8, empty where they are computed).
    std::string omitted;
};

// The decisions of an effect's tests at the analysis' alpha: uncorrected,
// with each correction of its degrees of freedom, by the multivariate test
// (Pillai's trace) and by a rank-based test. None where the test is not
// computed, is undefined, or does not apply (a between effect has its one
// test). A within effect of one degree of freedom has epsilon 1 and its
// multivariate test is its F test: those repeat its uncorrected decision.
enum class Decision { None, Significant, NotSignificant };
enum class RobustTest { Uncorrected, GreenhouseGeisser, HuynhFeldt, LowerBound, Multivariate, RankBased };
inline constexpr std::size_t kRobustTests = 6;
// The rank-based test an effect's decision is of: Friedman's for the one
// within factor of a design without groups, else the aligned rank transform's
// test of the effect; None where neither is computed.
enum class RankTest { None, Friedman, AlignedRanks };
struct RobustnessRow {
    std::size_t effect = 0;  // index into Analysis::effects
    std::array<Decision, kRobustTests> decisions{};
    RankTest rank = RankTest::None;
    // Every test with a decision reaches the same one.
    bool agree = true;
    // Where they disagree, which say what (UTF-8, English and Japanese): "A ×
    // B: significant uncorrected and with Huynh–Feldt, not with
    // Greenhouse–Geisser or the lower bound."; empty where they agree.
    std::string sentence, japanese;
};

// The sample a study like this one would need for each effect, planned in
// the power programs' convention (stats/Power.h) from the analysis' own
// figures: the effect's partial eta squared (and the lower limit of its
// interval) as f, the mean correlation among the measures of its stratum as
// rho, Greenhouse and Geisser's epsilon. An effect maps to the power
// calculation's kinds this way: a between effect is a between effect of the
// design's K between cells over M = all the within cells; a within effect
// without between factors a within effect of M = its df + 1 measures (its
// levels for one factor; for an interaction of within factors the measures
// whose df are the effect's) in K groups; a within effect crossing between
// factors an interaction of those, K again the between cells. The test's df
// then are the analysis' own wherever the effect's between part is all the
// design's between cells.
struct PlanningRow {
    std::size_t effect = 0;  // index into Analysis::effects
    PowerEffect kind = PowerEffect::Within;
    int measures = 1, groups = 1;  // M and K as planned
    // The mean of the pairwise correlations among the subjects' scores of the
    // stratum's cells (the effect's within cells, each averaged over the other
    // within factors; all the within cells for a between effect), pooled
    // within the groups; absent with one cell or a cell without variance.
    std::optional<Extended> rho;
    std::optional<Extended> epsilon;  // Greenhouse and Geisser's; 1 for an effect of one df
    // f in the power programs' convention (the one the N are planned in) and
    // in the statistics packages' (sqrt(eta2p / (1 - eta2p)), the analysis'
    // Cohen's f), at the point estimate and at the interval's lower limit.
    std::optional<Extended> f, fOther, fLower, fOtherLower;
    // The smallest total N for power .80 and .90 at the analysis' alpha.
    std::optional<std::int64_t> n80, n90, n80Lower, n90Lower;
    // Why the N at the point estimate, or at the lower limit, are absent
    // (UTF-8, English and Japanese; empty where they are given).
    std::string reason, reasonJapanese, lowerReason, lowerReasonJapanese;
};
// The largest total N the planning searches to.
inline constexpr std::int64_t kLargestPlannedN = 1000000000;

struct Analysis {
    // The design as analysed.
    std::vector<DesignFactor> between, within;
    std::vector<std::string> subjectIds;  // the analysed subjects, UTF-8
    std::int64_t subjects = 0, subjectsRead = 0;
    std::vector<std::string> removed;  // ids removed for a missing score
    std::int64_t averagedCells = 0, averagedRows = 0;
    // Rows without a score that were ignored; where there were some, the most common count of a cell's
    // rows and the cells left with fewer (all 0 where every row had a score).
    std::int64_t rowsWithoutScore = 0, commonRowsPerCell = 0, cellsWithFewerRows = 0;
    std::vector<std::int64_t> groupSizes;  // per between cell, the last factor fastest
    Options options;
    // Whether type II and type III agree for this design: no between factor,
    // one between factor, or equal group sizes.
    bool typesAgree = true;
    // Whether every figure was formed from the exact scores (else from the
    // extended values, the decimals being too wide for exact sums).
    bool exact = true;

    // The model: every error stratum (S, then each within effect's, in the
    // summary's order), the effects (the between effects, then each within
    // effect followed by its interactions with the between effects), the
    // total about the grand mean (no mean square), and the part of it within
    // the subjects (each score less its subject's mean, on N (c - 1) degrees
    // of freedom), which the within effects and their strata share.
    std::vector<Stratum> strata;
    std::vector<Effect> effects;
    PartitionSource total, withinSubjects;

    // The means: every between x within cell (the last factor fastest), and
    // per factor (between first) its levels' marginal means.
    std::vector<Mean> cellMeans;
    std::vector<std::vector<Mean>> marginalMeans;
    // Each analysed subject's score in every within cell (subject s, in
    // subjectIds' order, in cell c at s * cells + c, the last within factor
    // fastest), each rounded once, and the subject's between cell (the last
    // between factor fastest): the plot draws the subjects behind the means.
    std::vector<Extended> subjectScores;
    std::vector<std::int32_t> subjectGroups;
    // The follow-ups, family by family: each factor's comparisons over the
    // others, then at each place of the others; the simple effects of each
    // factor at each level of each other factor.
    std::vector<Comparison> comparisons;
    std::vector<SimpleEffect> simpleEffects;
    FollowUpsShown shown;
    // The planned contrasts asked for, family by family (none unless asked).
    std::vector<PlannedContrast> contrasts;
    // The pairs of the cells of the interactions asked for, interaction by
    // interaction (none unless asked).
    std::vector<CellComparison> cellComparisons;
    // The simple interactions, then the simple-simple effects, where asked.
    std::vector<SimpleInteraction> simpleInteractions;

    // The checks beside the model.
    std::vector<CellShape> cellShapes;
    std::vector<OutlyingSubject> outlying;  // by subject, at most kOutlyingListed
    std::int64_t outlyingSubjects = 0;      // all of them
    std::vector<LeveneTest> levene;         // designs with between factors
    // Box's M test of the groups' covariance matrices over every within cell:
    // designs with between and within factors.
    std::optional<BoxMTest> boxM;
    RankTests rankBased;
    // Every effect's decisions at options.alpha, in the summary's order (none
    // for the means alone).
    std::vector<RobustnessRow> robustness;
    // Every effect's planning (none for the means alone).
    std::vector<PlanningRow> planning;

    std::size_t Factors() const { return between.size() + within.size(); }
    // The factor of index `i` over all factors, between first.
    const DesignFactor& FactorAt(std::size_t i) const {
        return i < between.size() ? between[i] : within[i - between.size()];
    }
    // No error term has degrees of freedom: every group of one subject (fewer
    // than two subjects without groups).
    bool NoErrorDf() const { return subjects - static_cast<std::int64_t>(groupSizes.size()) < 1; }
};

// The analysis of the design's subjects. OverflowError when a result leaves
// the extended range; RangeError for a design beyond the factors' bounds or
// with a between cell without subjects.
Analysis Analyse(const DesignData& design, const Options& options = {});

// Why the planned contrasts of `options` do not fit the design (a factor it
// does not have, weights or scores not one per level, weights not summing to
// 0, scores repeated, a factor twice), in a sentence; empty where they fit.
// Analyse leaves out any that do not fit.
std::string ContrastsRefused(const DesignData& design, const Options& options);

// Why the cell interactions of `options` do not fit the design (a factor it
// does not have or named twice, fewer than two factors, more cells than
// kComparedLevels), in a sentence; empty where they fit. Analyse leaves out
// any that do not fit.
std::string CellsRefused(const DesignData& design, const Options& options);

// The robustness rows of an analysis at `alpha` (0 < alpha < 1), from the p
// values it holds; Analyse fills Analysis::robustness with them.
std::vector<RobustnessRow> Robustness(const Analysis& analysis, Extended alpha);

}  // namespace morvane::anova
