#pragma once
// The one rule for a field of comma-separated values that this program writes:
// in double quotes (a quote inside written twice) when it holds a quote, a line
// end or any of the separators a reader may take (comma, semicolon, tab), so
// that a reader that guesses the separator from a line finds the one that
// separates.

#include <string>
#include <string_view>

namespace morvane {

// Appends `field` to `out`, quoted when it must be.
void AppendCsvField(std::string& out, std::string_view field);

// The same, as a text of its own.
std::string CsvField(std::string_view field);

}  // namespace morvane
