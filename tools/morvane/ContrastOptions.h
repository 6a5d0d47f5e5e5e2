#pragma once
// The options of morvane anova that ask for planned contrasts: --trend
// FACTOR[,FACTOR...], --spacing "FACTOR=v1,v2,...[;FACTOR=...]" and
// --contrast "[NAME:]FACTOR=w1,w2,...[*FACTOR=...]" (given as often as
// wanted). Weights and spacing values are decimals or fractions ("1/3"),
// read exactly.

#include <gmpxx.h>

#include <optional>
#include <string>
#include <string_view>

#include "Arguments.h"
#include "anova/Analysis.h"
#include "design/Design.h"

namespace morvane::tool {

// A decimal ("-0.25", "3") or a fraction of integers ("-1/3") exactly; none for any other text.
std::optional<mpq_class> ExactNumber(std::string_view text);

// Reads the options into the analysis' trends, contrasts and cell
// interactions (--cells); UsageError for
// one that does not parse, a spacing of a factor --trend does not name, or a
// factor's spacing given twice.
void ReadContrastOptions(const Arguments& arguments, anova::Options& options);

// UsageError where the contrasts or the cell interactions asked for do not fit the design read.
void CheckContrastsFit(const DesignData& design, const anova::Options& options);

}  // namespace morvane::tool
