#pragma once
// A score in its common form read in one go: its value, and its decimal digits
// and the place of the last, which the exact sums of squares take. The parse
// of the scores and the exact partition read most scores this way; a text it
// does not take may still be a score, which ParseScore reads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/Extended.h"
#include "runtime/PowersOfTen.h"

namespace morvane {

// A score in its common form (at most 19 significant digits and a power of ten
// that one exact operation applies), read in one go. `digits` x 10^`exponent`
// is its exact value without trailing zeros (digits 0 for a zero score), and
// `value` is what ParseScore gives.
struct QuickScore {
    Extended value = 0;
    std::uint64_t digits = 0;
    int exponent = 0;
    int digitCount = 0;  // of `digits`
    bool negative = false;
};

// Reads `text` when it is a score of the common form; false otherwise (the text
// may still be a score, which ParseScore reads). Inline: it runs once a score.
inline bool ReadQuickScore(std::string_view text, char decimalSeparator, QuickScore& out);

namespace quick {

constexpr int kExponentLimit = 5000;  // as the score syntax allows

constexpr bool Digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace quick

// The steps of ScanScore with the value formed on the way, in registers.
[[gnu::always_inline]] inline bool ReadQuickScore(std::string_view text, char separator, QuickScore& out) {
    using namespace quick;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && *p == ' ') ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    std::uint64_t mantissa = 0;
    int significant = 0, trailingZeros = 0;
    std::size_t runs = 0;  // digits in the integer and fraction runs
    int fraction = 0;
    const auto digit = [&](char c) {
        ++runs;
        if (significant == 0 && c == '0') return true;
        if (++significant > 19) return false;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        trailingZeros = c == '0' ? trailingZeros + 1 : 0;
        return true;
    };
    while (p != end && Digit(*p))
        if (!digit(*p++)) return false;
    if (p != end && *p == separator) {
        ++p;
        const char* start = p;
        while (p != end && Digit(*p))
            if (!digit(*p++)) return false;
        fraction = static_cast<int>(p - start);
    }
    if (runs == 0) return false;
    int exponent = 0;
    if (p != end && (*p == 'E' || *p == 'e')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        if (p == end || !Digit(*p)) return false;
        while (p != end && Digit(*p)) {
            exponent = exponent * 10 + (*p++ - '0');
            if (exponent >= kExponentLimit) return false;
        }
        if (negativeExponent) exponent = -exponent;
    }
    while (p != end && *p == ' ') ++p;
    if (p != end) return false;
    out.negative = negative;
    if (mantissa == 0) {
        out.value = negative ? -Extended{0} : Extended{0};
        out.digits = 0;
        out.exponent = 0;
        out.digitCount = 0;
        return true;
    }
    const int scale = exponent - fraction;
    auto value = static_cast<Extended>(mantissa);
    if (scale >= 0 && scale <= 27)
        value *= kExactPowersOfTen[static_cast<std::size_t>(scale)];
    else if (scale < 0 && scale >= -27)
        value /= kExactPowersOfTen[static_cast<std::size_t>(-scale)];
    else
        return false;
    out.value = negative ? -value : value;
    out.digits =
        trailingZeros == 0 ? mantissa : mantissa / kPowersOfTen64[static_cast<std::size_t>(trailingZeros)];
    out.exponent = scale + trailingZeros;
    out.digitCount = significant - trailingZeros;
    return true;
}

}  // namespace morvane
