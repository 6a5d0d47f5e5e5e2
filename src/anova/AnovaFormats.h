#pragma once
// The full analysis as UTF-8 text: aligned tables for a terminal, markdown
// tables, CSV tables and JSON for programs. Undefined statistics show as "—"
// in text and markdown, an empty field in CSV and null in JSON; CSV and JSON
// numbers carry 17 significant digits.

#include <optional>
#include <string>
#include <string_view>

#include "anova/FullAnalysis.h"

namespace morvane {

enum class AnovaFormat { Text, Markdown, Csv, Json };

// "text", "markdown", "csv" or "json"; nothing for any other name.
std::optional<AnovaFormat> AnovaFormatNamed(std::string_view name);

std::string FormatAnalysis(const FullAnalysis& analysis, AnovaFormat format);

// The note at the top of each format of an analysis of fewer than two subjects (UTF-8).
std::string FewerSubjectsNote();

// What to tell the user after writing a results file whose summary table is
// not exact (UTF-8).
std::string InexactResultsNotice();

}  // namespace morvane
