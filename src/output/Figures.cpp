#include "output/Figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runtime/NumberText.h"

namespace morvane {
namespace {

// ApaNumber, for a figure of more than kExtendedDigits significant digits at
// `decimals`: its fixed text with the digits after the kExtendedDigits-th
// rounded away: the whole part's shown as zeros, the decimals left out.
std::string BoundedFixedText(Extended value, int decimals) {
    const std::string text = FixedText(value, decimals);
    std::size_t significant = 0, first = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') continue;
        if (first == std::string::npos && text[i] == '0') continue;
        if (first == std::string::npos) first = i;
        ++significant;
    }
    if (significant <= static_cast<std::size_t>(kExtendedDigits)) return text;
    // Rounded to kExtendedDigits digits by printf, then laid out again in fixed form.
    // "6.200000000000000000e+25"; only the digits and the exponent are read,
    // whatever the locale's decimal point.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", kExtendedDigits - 1, value);
    const std::string rounded = buffer;
    const std::size_t e = rounded.find('e');
    const long exponent = std::stol(rounded.substr(e + 1));
    const bool negative = rounded.starts_with("-");
    std::string digits;
    for (char c : rounded.substr(0, e))
        if (c >= '0' && c <= '9') digits += c;
    // The digits stand for d.ddd x 10^exponent: the whole part has exponent + 1 of them.
    const long whole = exponent + 1;
    std::string out = negative ? "-" : "";
    std::string fraction;
    if (whole > 0) {
        digits.resize(std::max<std::size_t>(digits.size(), static_cast<std::size_t>(whole)), '0');
        out.append(digits, 0, static_cast<std::size_t>(whole));
        fraction = digits.substr(static_cast<std::size_t>(whole));
    } else {
        out.push_back('0');
        fraction.assign(static_cast<std::size_t>(-whole), '0');
        fraction.append(digits);
    }
    // Decimals only as far as the significant digits reach.
    const long shown =
        std::min<long>(decimals, std::max<long>(0, kExtendedDigits - std::max<long>(whole, 0)));
    fraction.resize(static_cast<std::size_t>(shown), '0');
    if (shown > 0) out.append(1, '.').append(fraction);
    return out;
}

}  // namespace

std::string ProgramNumber(Extended value, char decimalSeparator) {
    return GeneralText(value, kProgramDigits, decimalSeparator);
}

std::string ApaNumber(Extended value, int decimals, bool leadingZero) {
    std::string text = BoundedFixedText(value, decimals);
    if (text.starts_with("-") && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    const bool negative = text.starts_with("-");
    std::string digits = text.substr(negative ? 1 : 0);
    const std::size_t point = std::min(digits.find('.'), digits.size());
    std::string whole;
    for (std::size_t i = 0; i < point; ++i) {
        if (i > 0 && (point - i) % 3 == 0) whole.push_back(',');
        whole.push_back(digits[i]);
    }
    const std::string fraction = digits.substr(point);
    if (!leadingZero && whole == "0" && !fraction.empty()) whole.clear();
    return (negative ? "-" : "") + whole + fraction;
}

std::string ApaP(Extended p) {
    return PValueText(p);
}

std::string ApaDf(Extended df) {
    const Extended whole = std::round(df);
    // Far above an extended epsilon's rounding, far below what two decimals show.
    constexpr Extended kHair = 1e-12L;
    if (std::fabs(df - whole) <= kHair * std::max<Extended>(1, std::fabs(whole)))
        return GeneralText(whole, kExtendedDigits + 1);
    return FixedText(df, 2);  // no commas in df
}

}  // namespace morvane
