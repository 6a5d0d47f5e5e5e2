#pragma once
// The properties of the analysis of any data file: the file loaded as the
// tool loads it, taken to a design (DesignFromStudy) with the full stop as
// decimal separator (and the comma too when the file holds one), analysed by
// the one engine beside the precision check of its results file, then every
// format of morvane anova in the study's layout. An analysis fails only with
// the errors of its scores or its range (ConvertError, OverflowError); else
// every statistic is finite or absent, probabilities and proportions of
// variance lie in [0, 1], sums of squares, deviations and interval widths are
// not negative (degrees of freedom too), there is a mean for every cell and
// level; the text, markdown and CSV outputs are UTF-8, the CSV splits into
// records, and the JSON is one valid JSON value (no NaN, no Infinity). A
// broken property throws Violation.

#include <cstdint>
#include <string_view>

namespace morvane::anova {
struct Analysis;
}  // namespace morvane::anova

namespace morvane::properties {

// Throws Violation unless every figure of `analysis` is as the properties
// say: each in its range, walked by its one description
// (anova/AnalysisFields.h), and a mean for every cell and level.
void RequireSoundFigures(const anova::Analysis& analysis);

// Runs the checks on `bytes` as a data file with the store's memory budget set
// to `memoryBudget`. Returns how many analyses were made (0 when the file was
// refused or no score text converted).
int CheckAnalysisBytes(std::string_view bytes, std::uint64_t memoryBudget);

}  // namespace morvane::properties
