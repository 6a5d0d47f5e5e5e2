#include "scores/ScoreSyntax.h"

#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/CLocale.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "scores/QuickScore.h"

namespace morvane {
namespace {

using quick::kExponentLimit;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<ScoreParts> ScanScore(std::string_view text, char separator) {
    ScoreParts parts;
    std::size_t i = 0, n = text.size();
    while (i < n && text[i] == ' ') ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) parts.negative = text[i++] == '-';
    std::size_t start = i;
    while (i < n && IsDigit(text[i])) ++i;
    parts.integerDigits = text.substr(start, i - start);
    if (i < n && text[i] == separator) {
        start = ++i;
        while (i < n && IsDigit(text[i])) ++i;
        parts.fractionDigits = text.substr(start, i - start);
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) return std::nullopt;
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
        if (i >= n || !IsDigit(text[i])) return std::nullopt;
        int exponent = 0;
        while (i < n && IsDigit(text[i])) {
            exponent = exponent * 10 + (text[i++] - '0');
            if (exponent >= kExponentLimit) return std::nullopt;
        }
        parts.exponent = negativeExponent ? -exponent : exponent;
    }
    while (i < n && text[i] == ' ') ++i;
    if (i != n) return std::nullopt;
    return parts;
}

namespace {

// The general case through the C library's correctly rounded conversion.
std::optional<Extended> SlowValue(const ScoreParts& parts) {
    std::string normal;
    normal.reserve(parts.integerDigits.size() + parts.fractionDigits.size() + 8);
    normal.append(parts.integerDigits.empty() ? "0" : parts.integerDigits);
    normal.push_back('.');
    normal.append(parts.fractionDigits);
    normal.push_back('e');
    normal.append(std::to_string(parts.exponent));
    Extended value = strtold_l(normal.c_str(), nullptr, CLocale());
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<Extended> ParseScore(std::string_view text, char decimalSeparator) {
    // The common form in one go: at most 19 significant digits and a power of
    // ten that one exact operation applies, which rounds correctly.
    if (QuickScore quick; ReadQuickScore(text, decimalSeparator, quick)) return quick.value;
    auto parts = ScanScore(text, decimalSeparator);
    if (!parts) return std::nullopt;
    auto value = SlowValue(*parts);
    if (!value) return std::nullopt;
    return parts->negative ? -*value : *value;
}

bool IsScore(std::string_view text, char decimalSeparator) {
    auto parts = ScanScore(text, decimalSeparator);
    if (!parts) return false;
    // Below 10^4900 in magnitude the value is finite (a tiny one is a denormal or zero).
    if (static_cast<std::int64_t>(parts->integerDigits.size()) + parts->exponent < 4900) return true;
    return ParseScore(text, decimalSeparator).has_value();
}

Extended ScoreValue(std::string_view text, char decimalSeparator) {
    auto value = ParseScore(text, decimalSeparator);
    if (!value) throw ConvertError(messages::NotAFloat(text));
    return *value;
}

}  // namespace morvane
