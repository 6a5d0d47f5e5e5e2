#pragma once
// The score syntax: spaces, an optional sign, digits with an optional decimal
// separator and fraction, an optional exponent, spaces, and nothing else. The
// value is the decimal number rounded to the extended format.

#include <optional>
#include <string_view>

#include "runtime/Extended.h"

namespace morvane {

// The parts of a well-formed score text: its value is
// (integerDigits.fractionDigits) x 10^exponent, negated when `negative`.
struct ScoreParts {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    int exponent = 0;  // below 5000 in magnitude
};

// The parts of `text`, or nothing when it is malformed or its exponent is 5000
// or more in magnitude (its value may still lie beyond the extended range).
std::optional<ScoreParts> ScanScore(std::string_view text, char decimalSeparator);

// The value of `text`, or nothing when it is not a score: malformed, an
// exponent of 5000 or more in magnitude, or a value beyond the extended range.
// A value too small for the format becomes a denormal or zero.
std::optional<Extended> ParseScore(std::string_view text, char decimalSeparator);

// Whether `text` is a score: ParseScore(...).has_value(), without working out
// the value of a number that is surely within range.
bool IsScore(std::string_view text, char decimalSeparator);

// ParseScore, with "'%s' は浮動小数点数ではありません" for a text that is not a score.
Extended ScoreValue(std::string_view text, char decimalSeparator);

}  // namespace morvane
