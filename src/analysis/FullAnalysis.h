#pragma once
// The full analysis of a study of the two-way within-subjects design: the
// exact partition with p-values, the sphericity test and its corrections,
// effect sizes, means with their intervals, pairwise comparisons, simple main
// effects, and the precision check of the results file. Every statistic that is
// undefined for the study (no degrees of freedom, an error term of zero, fewer
// subjects than an effect needs) is absent, never NaN or infinite.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AssumptionChecks.h"
#include "analysis/RankTests.h"
#include "store/LevelNames.h"
#include "exact/ExactPartition.h"
#include "report/PrecisionCheck.h"
#include "runtime/Extended.h"
#include "scores/ParseScores.h"
#include "stats/EffectSizes.h"
#include "stats/Intervals.h"
#include "stats/MultivariateTests.h"
#include "stats/Sphericity.h"
#include "store/StudyStore.h"

namespace morvane {

// What the analysis is asked beyond its defaults.
struct AnalysisOptions {
    // The confidence level of the effect sizes' intervals (partial eta squared, d_z).
    Extended effectSizeLevel = 0.9L;
    // Whether the parsed scores stay in the store's CellValue: a window shows
    // them afterwards; a command that ends with its output need not keep them.
    KeepValues keepValues = KeepValues::Yes;
    // The means of the cells and levels alone, with their intervals (the
    // interaction plot): no effect tests beyond the summary, no comparisons,
    // simple effects or checks of the model.
    bool meansOnly = false;
};

struct EffectResult {
    PartitionSource effect, error;
    std::optional<Extended> f, p, partialEtaSquared, generalizedEtaSquared;
    std::optional<Extended> mse;  // the error term's mean square
    // Partial eta squared's interval by the noncentral F on the uncorrected
    // degrees of freedom, and on those corrected by Greenhouse-Geisser (the
    // same for an effect of one degree of freedom, whose epsilon is 1); each
    // limit lambda of the noncentrality is lambda / (lambda + df2), as the
    // estimate is F df1 / (F df1 + df2).
    std::optional<LevelInterval> partialEtaSquaredCI, partialEtaSquaredCIGG;
    // Absent for an effect of one degree of freedom, and when the contrasts are
    // too many to compute (sphericityOmitted).
    std::optional<Sphericity> sphericity;
    bool sphericityOmitted = false;
};

// The mean of a cell (a, b) or of a level of one factor (the other index 0).
struct MeanResult {
    std::int32_t a = 0, b = 0;
    Extended mean = 0;
    std::optional<Extended> sd, se;
    std::optional<Interval> ci95;        // Student's t with N - 1 degrees of freedom
    std::optional<Interval> withinCi95;  // Cousineau's normalisation with Morey's correction
};

enum class Factor { A, B };

// A paired comparison of levels i < j of `factor`, over the other factor's levels
// or at its level `at` (0: marginal).
struct ComparisonResult {
    Factor factor = Factor::A;
    std::int32_t at = 0;
    std::int32_t i = 0, j = 0;
    Extended difference = 0;  // level i less level j
    std::int64_t df = 0;
    std::optional<Extended> t, p, pHolm, pBonferroni, cohenDz;
    std::optional<Interval> ci95;
    std::optional<LevelInterval> dzCI;  // by the noncentral t on df: delta / sqrt(N)
    // The mean difference over the mean of the two levels' SDs, and Hedges'
    // correction of it (Lakens 2013): g_av = d_av (1 - 3 / (8 N - 9)), the
    // correction of two samples of N each, 1 - 3 / (4 df - 1) on df = 2 (N - 1).
    std::optional<Extended> dAv, gAv;
};

// `effect` at level `at` of the other factor, as a one-way within-subjects analysis of its slice.
struct SimpleEffectResult {
    Factor effect = Factor::A;
    std::int32_t at = 0;
    Extended ss = 0, errorSs = 0;
    std::int64_t df1 = 0, df2 = 0;
    std::optional<Extended> f, p, partialEtaSquared, ggEpsilon, ggP;
    std::optional<LevelInterval> partialEtaSquaredCI;
};

// Which families of paired comparisons an analysis holds. A factor of more
// than kComparedLevels levels has none (its pairs would be too many to read,
// and each takes the time of its intervals); the families at each level of the
// other factor are left out when they would bring the comparisons beyond
// kMostComparisons.
struct ComparedFamilies {
    bool marginalA = true, marginalB = true, aAtB = true, bAtA = true;
};
inline constexpr std::int64_t kComparedLevels = 100;
inline constexpr std::int64_t kMostComparisons = 50000;
ComparedFamilies FamiliesCompared(std::int64_t levelsA, std::int64_t levelsB);

struct FullAnalysis {
    std::int32_t subjects = 0, levelsA = 0, levelsB = 0;
    // Code page 932, from level 1; a blank name as LevelLabel gives it.
    std::vector<std::string> namesA, namesB;
    EffectResult A, B, AB;
    PartitionSource S, AS, BS, ABS, Total;
    std::vector<MeanResult> cells, marginalA, marginalB;
    std::vector<ComparisonResult> comparisons;
    ComparedFamilies compared;  // the families `comparisons` holds
    std::vector<SimpleEffectResult> simpleEffects;
    // The simple effects are left out when their contrasts' covariances
    // would take more memory than a study of this size should.
    bool simpleEffectsOmitted = false;
    PrecisionCheck precision;
    AnalysisOptions options;
    // The subjects removed for a missing score (AnalyseCompleteSubjects): their
    // numbers in the study, in order, and how many subjects the study has;
    // `subjects` counts those analysed. Empty and 0 when none was removed.
    std::vector<std::string> removed;
    std::int32_t subjectsRead = 0;

    // Fewer than two subjects (the count as the store has it, below zero
    // too): no error term has degrees of freedom, and every statistic that
    // needs them is absent.
    bool FewerThanTwoSubjects() const { return subjects < 2; }
    // Beside the univariate analysis: the multivariate tests of A, B and AB,
    // the checks of the assumptions on the residuals, the rank-based analysis.
    MultivariateResults multivariate;
    AssumptionChecks assumptions;
    RankBasedResults rankBased;
};

// Parses every score of the store, into CellValue unless the options say
// otherwise (the first text that is not a score stops it with its
// ConvertError, as the calculate command does), then
// analyses the study. OverflowError when a result leaves the extended range.
// No degrees of freedom or sum of squares is negative, whatever the count of
// subjects the store holds.
FullAnalysis AnalyseStudy(StudyStore& store, char decimalSeparator, const AnalysisOptions& options = {});

// AnalyseStudy of the subjects with a score in every cell. A subject with an
// empty score text (nothing but spaces) in some cell is removed from the whole
// analysis, listwise, and named in `removed`; a study without one is analysed
// as AnalyseStudy analyses it. A text that is neither empty nor a score still
// stops it with its ConvertError, whoever's it is. The store's texts are left
// as they were.
FullAnalysis AnalyseCompleteSubjects(StudyStore& store, char decimalSeparator,
                                     const AnalysisOptions& options = {});

// Whether a score text is empty: nothing, or nothing but spaces.
bool IsEmptyScore(std::string_view text);

// The scores of a study as plain decimals: scores[s][a * levelsB + b] is
// subject s's score in cell (a, b), a decimal text as a data file holds it, so
// that every figure is formed from the exact decimal.
struct ScoreTable {
    std::int32_t levelsA = 0, levelsB = 0;
    std::vector<std::vector<std::string>> scores;  // a row per subject
};

// The analysis of a table of scores, as AnalyseStudy of a study holding them
// (levels named by their numbers). A row of the wrong length raises RangeError.
FullAnalysis AnalyseScores(const ScoreTable& table, const AnalysisOptions& options = {});

}  // namespace morvane
