#pragma once
// The conventions the figures of the analysis follow, named once for every
// output: a note of lines in text, markdown and the APA outputs, keys in JSON.
// Each is where programs differ, and so where a figure is checked first.

#include <optional>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "output/OutputOptions.h"

namespace morvane {

struct Convention {
    std::string key;   // JSON's
    std::string text;  // in the language asked for
};

// Every convention of the analysis in the options' layout. A design's, in
// order: sums of squares, error terms, missing scores, averaged rows,
// Mauchly's test, Huynh-Feldt, epsilons and multivariate tests with few
// subjects, the multivariate statistics, marginal means, comparisons, simple
// effects, the within-subject interval, generalized eta squared, Levene's
// test (with between factors), the effect sizes' intervals, and the correction
// applied. The study's: sums of squares, comparisons, simple effects,
// Mauchly's test, Huynh-Feldt, epsilons with fewer subjects than contrasts,
// the within-subject interval, the effect sizes' intervals, and the correction.
std::vector<Convention> Conventions(const anova::Analysis& analysis, const OutputOptions& options);

// The conventions both layouts share.
Convention MauchlyConvention(OutputLanguage language);
Convention EffectSizeIntervalConvention(Extended effectSizeLevel, OutputLanguage language);
Convention CorrectionConvention(const OutputOptions& options);
// One sentence of each effect size chosen beside eta squared (none by default).
std::vector<Convention> MoreEffectSizeConventions(const anova::Analysis& analysis, OutputLanguage language);

// How the planned contrasts are formed, where the analysis was asked for them (ContrastTables.cpp).
std::optional<Convention> ContrastConvention(const anova::Analysis& analysis, OutputLanguage language);
// The sentence of the pairs of interactions' cells, where asked for (CellTables.cpp).
std::optional<Convention> CellConvention(const anova::Analysis& analysis, OutputLanguage language);
// The sentence of the simple interactions, where asked for (CellTables.cpp).
std::optional<Convention> SimpleInteractionConvention(const anova::Analysis& analysis, OutputLanguage language);

// The adjustments' names as a sentence lists them: "Holm and Bonferroni",
// "Holm, Šidák and Shaffer"; in Japanese "Holm と Bonferroni", "Holm、Šidák と Shaffer".
std::string AdjustmentList(AdjustmentSet adjustments, bool japanese);

// How Shaffer's adjustment counts, as a sentence after the comparisons'
// convention: empty where it is not chosen.
std::string ShafferSentence(AdjustmentSet adjustments, bool japanese);

// Where Tukey's HSD is given and why not elsewhere, as a sentence after the
// comparisons' convention: empty where it is not chosen.
std::string TukeySentence(AdjustmentSet adjustments, bool japanese);

// The provenance as lines of a note: the program's version, the data file's
// SHA-256 and the command that repeats a window's analysis.
std::vector<std::string> ProvenanceLines(const Provenance& provenance, OutputLanguage language);

// The name of a correction, as a note gives it ("Greenhouse–Geisser").
std::string CorrectionName(DfCorrection correction, OutputLanguage language);

// A confidence level as a percentage's text: 0.9 is "90", 0.995 "99.5".
std::string LevelPercent(Extended level);

}  // namespace morvane
