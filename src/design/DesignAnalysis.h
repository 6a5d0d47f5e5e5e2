#pragma once
// The analysis of any factorial repeated-measures design (DesignData): the
// between effects tested against the subjects within groups, each within
// effect and its interactions with the between factors against the pooled
// within-group cross products of its contrasts on N - g degrees of freedom,
// type III (sum-to-zero coding of the between factors) or type II sums of
// squares; sphericity and its corrections and the multivariate tests of every
// within effect; effect sizes; means, comparisons and simple effects; the
// checks beside the model. Every statistic undefined for the design is
// absent, never NaN or infinite.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "analysis/RankTests.h"
#include "design/Design.h"
#include "stats/MultivariateTests.h"

namespace morvane {

enum class SsType { TypeII = 2, TypeIII = 3 };

struct DesignOptions {
    SsType type = SsType::TypeIII;
    // The factors (by name, UTF-8) that are measured rather than manipulated:
    // generalized eta squared (Olejnik and Algina 2003) counts their variance
    // in every effect's denominator.
    std::vector<std::string> observed;
    // The confidence level of the effect sizes' intervals.
    Extended effectSizeLevel = 0.9L;
    // Whether the strata's Q-Q points are formed: none of the formats shows
    // them, so a caller that only writes the analysis may leave them out.
    bool quantilePoints = true;
};

// An effect of the design: the factors it crosses, by index into the design's
// between and within factors (each in ascending order). The between effects
// have no within factors; the within effects have one or more, and may cross
// between factors too.
struct DesignEffect {
    std::vector<std::size_t> between, within;
    std::string name;  // UTF-8: the factors' names, between first, joined by " × "
    std::string key;   // the same joined by ":", as JSON keys it
    PartitionSource effect, error;
    std::optional<Extended> f, p, partialEtaSquared, generalizedEtaSquared;
    std::optional<LevelInterval> partialEtaSquaredCI;
    // Within effects of more than one degree of freedom.
    std::optional<Sphericity> sphericity;
    // Its contrasts too many for the time and memory their matrices take:
    // no sphericity, and the multivariate test's status Omitted.
    bool sphericityOmitted = false;
    // Within effects: the multivariate tests of H against the pooled error E.
    std::optional<MultivariateTest> multivariate;
};

// A mean of the design: `levels` holds a level (from 0) for each factor,
// between factors first then within factors, or -1 for a factor it averages
// over (with equal weights over that factor's cells: an estimated marginal mean).
struct DesignMean {
    std::vector<std::int32_t> levels;
    std::int64_t n = 0;  // the subjects it is of
    Extended mean = 0;
    std::optional<Extended> sd, se;
    std::optional<Interval> ci95;
    std::optional<Interval> withinCi95;  // Cousineau-Morey, within each between cell
};

// A comparison of levels i < j of factor `factor` (index over all factors,
// between first), over the other factors' cells with equal weights.
struct DesignComparison {
    std::size_t factor = 0;
    std::int32_t i = 0, j = 0;
    Extended difference = 0;  // level i less level j
    Extended df = 0;
    std::optional<Extended> se, t, p, pHolm, pBonferroni, d;
    std::optional<Interval> ci95;
    std::optional<LevelInterval> dCI;
};

// Factor `factor` at level `atLevel` of factor `atFactor` (indices over all
// factors, between first): the analysis of that slice with its own error term.
struct DesignSimpleEffect {
    std::size_t factor = 0, atFactor = 0;
    std::int32_t atLevel = 0;
    Extended ss = 0, errorSs = 0;
    std::int64_t df1 = 0, df2 = 0;
    std::optional<Extended> f, p, partialEtaSquared;
};

// Levene's test of the scores of one within cell across the between cells.
struct LeveneResult {
    std::size_t cell = 0;  // the within cell
    bool median = false;   // centred on the median (Brown-Forsythe), else on the mean
    std::int64_t df1 = 0, df2 = 0;
    std::optional<Extended> f, p;
};

// Shapiro and Wilk's test of one error stratum's residuals, and their
// normal Q-Q plot. A residual of a subject in group g of n_g subjects, in the
// stratum of a within effect crossing factors of l_f levels, has the
// variance s^2 (1 - 1/n_g) prod (1 - 1/l_f) (the subjects' stratum: no
// product), s^2 estimated by the stratum's sum of squares over its degrees of
// freedom (N - g) prod (l_f - 1); each is studentized by its own.
struct StratumNormality {
    std::string stratum;  // UTF-8: "S" (subjects within groups) or a within effect's name with " × S"
    std::int64_t n = 0;
    std::optional<Extended> w, p;
    std::int64_t df = 0;
    // The plot's points: empty where the stratum has no degrees of freedom or
    // its residuals are all zero.
    std::vector<QuantilePoint> quantiles;
    // The residuals of groups of one subject, always zero: not in the plot.
    std::int64_t unplotted = 0;
};

// The rank-based tests of a design without between factors.
// Friedman's test of one within factor over each subject's means of its
// levels (averaged over the other within factors), or of all the within cells.
struct DesignFriedman {
    std::size_t factor = 0;  // the within factor, unless `cells`
    bool cells = false;
    FriedmanTest test;
};

// The aligned rank transform of one within effect: each score's residual from
// its cell's mean plus the effect's estimate (the inclusion-exclusion of the
// marginal means of the effect's factors), midranked over the whole study,
// the ranks analysed as the scores are, the effect tested against its own
// stratum (the effect x S).
struct DesignAlignedRank {
    std::vector<std::size_t> within;  // the effect's within factors, ascending
    std::string name, key;            // as the effect's: joined by " × " and by ":"
    AlignedRankEffect test;
};

// An ART-C contrast of two levels of a within factor by their mean ranks of
// the responses aligned for that factor, against the error of its stratum.
struct DesignAlignedContrast {
    std::size_t factor = 0;        // the within factor
    AlignedRankContrast contrast;  // its levels from 1
};

struct DesignRankTests {
    std::vector<DesignFriedman> friedman;          // each within factor, then (2+ factors) the cells
    std::vector<DesignAlignedRank> alignedRanks;   // every within effect, in the summary's order
    std::vector<DesignAlignedContrast> contrasts;  // every pair of each factor's levels, Holm within each
    bool exactAlignment = false;                   // aligned and ranked in integers
    // The aligned rank transform left out: 2^24 scores or more, whose ranks'
    // sums of squares would leave the exact integers (Friedman's tests stay).
    bool alignedOmitted = false;
};

struct DesignAnalysis {
    std::vector<DesignFactor> between, within;
    std::int64_t subjects = 0, subjectsRead = 0;
    std::vector<std::string> removed;
    std::int64_t averagedCells = 0, averagedRows = 0;
    std::vector<std::int64_t> groupSizes;  // per between cell
    DesignOptions options;
    // Whether type II and type III agree for this design: no between factor,
    // one between factor, or equal group sizes.
    bool typesAgree = true;

    // The between effects first, then each within effect followed by its
    // interactions with the between effects; factors' order as given.
    std::vector<DesignEffect> effects;

    std::vector<DesignMean> cellMeans;                   // every between x within cell
    std::vector<std::vector<DesignMean>> marginalMeans;  // per factor, between first
    std::vector<DesignComparison> comparisons;
    std::vector<DesignSimpleEffect> simpleEffects;
    std::vector<LeveneResult> levene;  // designs with between factors
    std::vector<StratumNormality> normality;
    // Why the rank-based tests are not computed (empty where they are: no
    // between factors); UTF-8.
    std::string rankTestsOmitted;
    // The rank-based tests, where they are defined (empty otherwise).
    DesignRankTests rankBased;
};

// The analysis of the design's subjects. OverflowError when a result leaves the extended range.
DesignAnalysis AnalyseDesign(const DesignData& design, const DesignOptions& options = {});

}  // namespace morvane
