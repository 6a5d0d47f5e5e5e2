#pragma once
// The properties of the score syntax, checked on any text: ParseScore accepts
// exactly what the second reading accepts, with the same value bit for bit (the
// sign of a zero included), and ScoreValue refuses the rest with the message
// that names the text. A broken property throws Violation.

#include <string_view>

namespace morvane::properties {

// Returns whether `text` is a score with this separator.
bool CheckScoreText(std::string_view text, char separator);

}  // namespace morvane::properties
