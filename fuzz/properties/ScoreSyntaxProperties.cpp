#include "properties/ScoreSyntaxProperties.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "scores/ScoreSyntax.h"
#include "properties/ScoreSyntaxModel.h"
#include "properties/Violation.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane::properties {
namespace {

std::string Hex(Extended value) {
    char text[64];
    std::snprintf(text, sizeof text, "%La", value);
    return text;
}

bool SameValue(Extended x, Extended y) {
    return x == y && std::signbit(x) == std::signbit(y);
}

}  // namespace

bool CheckScoreText(std::string_view text, char separator) {
    const std::string context = Quote(text) + " with separator '" + std::string(1, separator) + "'";
    const auto expected = ReferenceScore(text, separator);
    const auto got = ParseScore(text, separator);
    if (got.has_value() != expected.has_value())
        throw Violation("ParseScore " + std::string(got ? "accepts " : "refuses ") + context);
    if (got && !SameValue(*got, *expected))
        throw Violation("ParseScore gives " + Hex(*got) + " for " + context + ", expected " + Hex(*expected));

    try {
        Extended value = ScoreValue(text, separator);
        Require(got && SameValue(value, *got), "ScoreValue differs from ParseScore");
    } catch (const ConvertError& error) {
        Require(!got, "ScoreValue refuses a score");
        Require(error.message() == messages::NotAFloat(text), "ScoreValue's message does not name the text");
    }
    return got.has_value();
}

}  // namespace morvane::properties
