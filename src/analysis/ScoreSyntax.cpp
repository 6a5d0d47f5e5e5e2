#include "analysis/ScoreSyntax.h"

#include <locale.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/CLocale.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {
namespace {

constexpr int kExponentLimit = 5000;

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

// 10^k for 0 <= k <= 27, each exact in the extended format.
constexpr auto kExactPowers = [] {
    std::array<Extended, 28> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
    return powers;
}();

Extended ExactPowerOfTen(int k) {
    return kExactPowers[static_cast<std::size_t>(k)];
}

// The correctly rounded value of digits x 10^exponent when a single exact
// operation gives it: at most 19 significant digits and a small power of ten.
std::optional<Extended> FastValue(const ScoreParts& parts) {
    std::uint64_t mantissa = 0;
    int digits = 0;
    for (std::string_view run : {parts.integerDigits, parts.fractionDigits}) {
        for (char c : run) {
            if (digits == 0 && c == '0') continue;
            if (++digits > 19) return std::nullopt;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        }
    }
    if (mantissa == 0) return Extended{0};
    int scale = parts.exponent - static_cast<int>(parts.fractionDigits.size());
    auto value = static_cast<Extended>(mantissa);  // exact: below 2^64
    if (scale >= 0 && scale <= 27) return value * ExactPowerOfTen(scale);
    if (scale < 0 && scale >= -27) return value / ExactPowerOfTen(-scale);
    return std::nullopt;
}

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
    auto parts = ScanScore(text, decimalSeparator);
    if (!parts) return std::nullopt;
    auto value = FastValue(*parts);
    if (!value) value = SlowValue(*parts);
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

QuickScoreMemo::QuickScoreMemo(char decimalSeparator)
    : places_(std::make_unique<Place[]>(std::size_t{1} << kPlaceBits)), separator_(decimalSeparator) {}

const QuickScoreMemo::Score* QuickScoreMemo::ReadNew(std::string_view text, Score* place, std::uint64_t key) {
    QuickScore q;
    SplitExtended value;
    if (!ReadQuickScore(text, separator_, q) || !Split(q.value, value)) return nullptr;
    // At most eight bytes: fewer than nine digits, and an exponent of the
    // fast form (within 27 of the places of the digits).
    place[1] = place[0];
    Score& score = place[0];
    score.value = value;
    score.key = key;
    score.digits = static_cast<std::uint32_t>(q.digits);
    score.exponent = static_cast<std::int8_t>(q.exponent);
    score.digitCount = static_cast<std::uint8_t>(q.digitCount);
    score.length = static_cast<std::uint8_t>(text.size());
    score.negative = q.negative;
    return &score;
}

Extended ScoreValue(std::string_view text, char decimalSeparator) {
    auto value = ParseScore(text, decimalSeparator);
    if (!value) throw ConvertError(messages::NotAFloat(text));
    return *value;
}

}  // namespace morvane
