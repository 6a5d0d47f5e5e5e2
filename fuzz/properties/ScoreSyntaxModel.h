#pragma once
// A second reading of the score grammar, written as a state machine from its
// definition: spaces, an optional sign, digits with an optional separator and
// fraction (one digit at least), an optional exponent, spaces, the end. The
// value comes from the C library's strtold on a normalised text, so the check
// holds the core's own conversion to the correctly rounded value.

#include <optional>
#include <string>
#include <string_view>

#include "runtime/Extended.h"

namespace morvane::properties {

// "-I.FeX" (I, F as written, X the exponent without leading zeros) when the
// grammar takes `text` and its exponent is below 5000 in magnitude.
std::optional<std::string> NormalisedScore(std::string_view text, char separator);

// The value `text` denotes, or nothing when it is not a score: ill-formed, its
// exponent 5000 or more in magnitude, or its value beyond the extended range.
std::optional<Extended> ReferenceScore(std::string_view text, char separator);

}  // namespace morvane::properties
