#pragma once
// The properties of the full analysis from any data file: the file loaded as
// the tool loads it, AnalyseStudy with the full stop as decimal separator (and
// the comma too when the file holds one), then every format of morvane anova.
// An analysis fails only with the errors of its scores or its range
// (ConvertError, OverflowError); else every statistic is finite or absent,
// probabilities and proportions of variance lie in [0, 1], sums of squares,
// deviations and interval widths are not negative (degrees of freedom too, once
// there is a subject), there is a mean for every
// cell and level; the text, markdown and CSV outputs are UTF-8, the CSV splits
// into records, and the JSON is one valid JSON value (no NaN, no Infinity). A
// broken property throws Violation.

#include <cstdint>
#include <string_view>

namespace morvane {
struct FullAnalysis;
namespace anova {
struct Analysis;
}
}  // namespace morvane

namespace morvane::properties {

// Throws Violation unless every figure of `analysis` is as the properties say.
void RequireSoundFigures(const FullAnalysis& analysis);
// The same of the one result any design is analysed into: every figure in its
// range, walked by its one description (anova/AnalysisFields.h).
void RequireSoundFigures(const anova::Analysis& analysis);

// Runs the checks on `bytes` as a data file with the store's memory budget set
// to `memoryBudget`. Returns how many analyses were made (0 when the file was
// refused or no score text converted).
int CheckAnalysisBytes(std::string_view bytes, std::uint64_t memoryBudget);

}  // namespace morvane::properties
