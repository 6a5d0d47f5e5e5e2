#include "report/NumberFormat.h"

#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "runtime/CLocale.h"
#include "runtime/Errors.h"

namespace morvane {
namespace {

constexpr int kFirstRounding = 18;  // significant digits of the first, exact rounding step

// The significant digits and decimal exponent of a magnitude: magnitude = 0.D x 10^E.
struct Digits {
    std::string digits;
    int exponent = 0;
};

// The exact decimal expansion of `magnitude` rounded to 18 significant digits,
// ties to even. The C library's conversion is exact and rounds to nearest even;
// it runs in the C locale so that its decimal point is always ".".
Digits EighteenDigits(Extended magnitude) {
    const std::string text = ScientificText(magnitude, kFirstRounding - 1);

    // text is "d.ddddddddddddddddde[+-]x..."
    const std::string_view view(text);
    const std::size_t e = view.find('e');
    Digits d;
    d.digits.reserve(kFirstRounding);
    d.digits.push_back(view[0]);
    d.digits.append(view.substr(2, e - 2));
    d.exponent = std::atoi(text.c_str() + e + 1) + 1;
    return d;
}

// Cuts the digits to `precision` (at least 1), rounding half up with the carry, and drops
// trailing zeros. A carry out of the first digit leaves "1" one decade higher.
void Cut(Digits& d, std::size_t precision) {
    if (d.digits.size() > precision) {
        const bool up = d.digits[precision] >= '5';
        d.digits.resize(precision);
        if (up) {
            std::size_t i = precision;
            while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
            if (i == 0) {
                d.digits.resize(1);
                d.digits[0] = '1';
                ++d.exponent;
            } else {
                ++d.digits[i - 1];
            }
        }
    }
    const std::size_t last = d.digits.find_last_not_of('0');
    d.digits.resize(last + 1);  // the first digit is never 0
}

}  // namespace

std::string FormatGeneral(Extended value, int precision, char decimalSeparator) {
    if (value == 0) return "0";
    // The checked arithmetic stops every infinity and not-a-number before it is printed.
    if (std::isnan(value)) throw InvalidOperationError();
    if (std::isinf(value)) throw OverflowError();
    Digits d = EighteenDigits(value < 0 ? -value : value);
    Cut(d, static_cast<std::size_t>(precision < 1 ? 1 : precision));

    const int e = d.exponent;
    const std::string& digits = d.digits;
    const auto count = static_cast<int>(digits.size());
    std::string text;
    if (value < 0) text.push_back('-');
    if (e >= -3 && e <= precision) {
        if (e >= 1) {
            text.append(digits, 0, static_cast<std::size_t>(std::min(e, count)));
            if (count < e) text.append(static_cast<std::size_t>(e - count), '0');
            if (count > e) {
                text.push_back(decimalSeparator);
                text.append(digits, static_cast<std::size_t>(e));
            }
        } else {
            text.push_back('0');
            text.push_back(decimalSeparator);
            text.append(static_cast<std::size_t>(-e), '0');
            text.append(digits);
        }
    } else {
        text.push_back(digits[0]);
        if (count > 1) {
            text.push_back(decimalSeparator);
            text.append(digits, 1);
        }
        text.push_back('E');
        text.append(std::to_string(e - 1));  // "-" only when negative, no leading zeros
    }
    return text;
}

}  // namespace morvane
