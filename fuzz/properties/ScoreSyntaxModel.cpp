#include "properties/ScoreSyntaxModel.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>

#include "runtime/CLocale.h"

namespace morvane::properties {
namespace {

enum class State {
    Lead,
    Sign,
    Integer,
    Point,
    Fraction,
    ExponentMark,
    ExponentSign,
    Exponent,
    Trail,
    Reject
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One step of the machine; `mantissaDigits` counts the digits of the mantissa.
State Next(State state, char c, char separator, int mantissaDigits) {
    const bool digit = IsDigit(c), sign = c == '+' || c == '-', mark = c == 'e' || c == 'E', space = c == ' ';
    const bool point = c == separator;
    switch (state) {
        case State::Lead:
            if (space) return State::Lead;
            if (sign) return State::Sign;
            [[fallthrough]];
        case State::Sign:
            if (digit) return State::Integer;
            if (point) return State::Point;
            return State::Reject;
        case State::Integer:
            if (digit) return State::Integer;
            if (point) return State::Point;
            break;
        case State::Point:
        case State::Fraction:
            if (digit) return State::Fraction;
            if (mantissaDigits == 0) return State::Reject;
            break;
        case State::ExponentMark:
            if (sign) return State::ExponentSign;
            [[fallthrough]];
        case State::ExponentSign:
            return digit ? State::Exponent : State::Reject;
        case State::Exponent:
            if (digit) return State::Exponent;
            return space ? State::Trail : State::Reject;
        case State::Trail:
            return space ? State::Trail : State::Reject;
        case State::Reject:
            return State::Reject;
    }
    // After a complete mantissa: an exponent, trailing spaces, or nothing else.
    if (mark) return State::ExponentMark;
    if (space) return State::Trail;
    return State::Reject;
}

bool Accepting(State state, int mantissaDigits) {
    switch (state) {
        case State::Integer:
        case State::Exponent:
        case State::Trail:
            return true;
        case State::Point:
        case State::Fraction:
            return mantissaDigits > 0;
        default:
            return false;
    }
}

}  // namespace

std::optional<std::string> NormalisedScore(std::string_view text, char separator) {
    State state = State::Lead;
    int mantissaDigits = 0;
    std::string sign, integer, fraction, exponentSign, exponent;
    for (char c : text) {
        State next = Next(state, c, separator, mantissaDigits);
        if (next == State::Reject) return std::nullopt;
        if (next == State::Sign && c == '-') sign = "-";
        if (next == State::Integer) integer.push_back(c);
        if (next == State::Fraction) fraction.push_back(c);
        if (next == State::Integer || next == State::Fraction) ++mantissaDigits;
        if (next == State::ExponentSign && c == '-') exponentSign = "-";
        if (next == State::Exponent && !(exponent.empty() && c == '0')) exponent.push_back(c);
        state = next;
    }
    if (!Accepting(state, mantissaDigits)) return std::nullopt;
    if (exponent.size() > 4 || (exponent.size() == 4 && exponent >= "5000")) return std::nullopt;
    if (exponent.empty()) exponent = "0";
    return sign + (integer.empty() ? "0" : integer) + "." + fraction + "e" + exponentSign + exponent;
}

std::optional<Extended> ReferenceScore(std::string_view text, char separator) {
    auto normal = NormalisedScore(text, separator);
    if (!normal) return std::nullopt;
    Extended value = strtold_l(normal->c_str(), nullptr, CLocale());
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace morvane::properties
