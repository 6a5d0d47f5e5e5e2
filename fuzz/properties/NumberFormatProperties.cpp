#include "properties/NumberFormatProperties.h"

#include <locale.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "report/NumberFormat.h"
#include "runtime/CLocale.h"
#include "properties/Violation.h"

namespace morvane::properties {
namespace {

__extension__ typedef __int128 Wide;  // 25-digit decimals and their differences

Wide PowerOfTen(int k) {
    Wide power = 1;
    for (int i = 0; i < k; ++i) power *= 10;
    return power;
}

std::string Hex(Extended value) {
    char text[64];
    std::snprintf(text, sizeof text, "%La", value);
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string TakeDigits(std::string_view text, std::size_t& i) {
    std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return std::string(text.substr(start, i - start));
}

// The magnitude to 25 significant digits: magnitude ~ digits x 10^(exponent - 24).
struct Decimal {
    Wide digits = 0;
    int exponent = 0;
};

Decimal TwentyFiveDigits(Extended magnitude) {
    const std::string text = ScientificText(magnitude, 24);
    Decimal d;
    for (const char* p = text.c_str(); *p != 'e'; ++p)
        if (IsDigit(*p)) d.digits = d.digits * 10 + (*p - '0');
    d.exponent = std::atoi(std::strchr(text.c_str(), 'e') + 1);
    return d;
}

}  // namespace

void CheckFormatGeneral(Extended value, int precision, char separator) {
    const std::string text = FormatGeneral(value, precision, separator);
    const std::string context = "FormatGeneral(" + Hex(value) + ", " + std::to_string(precision) + ", '" +
                                std::string(1, separator) + "') = " + Quote(text) + ": ";
    auto require = [&](bool holds, const char* what) {
        if (!holds) throw Violation(context + what);
    };
    if (value == 0) {
        require(text == "0", "a zero is not \"0\"");
        return;
    }

    // The form: [-] digits [separator digits] [E [-] digits].
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    require(negative == (value < 0), "the sign is wrong");
    const std::string integer = TakeDigits(text, i);
    std::string fraction;
    const bool point = i < text.size() && text[i] == separator;
    if (point) fraction = TakeDigits(text, ++i);
    const bool scientific = i < text.size() && text[i] == 'E';
    std::string exponentText;
    bool exponentNegative = false;
    if (scientific) {
        ++i;
        if (i < text.size() && text[i] == '-') {
            exponentNegative = true;
            ++i;
        }
        exponentText = TakeDigits(text, i);
        require(!exponentText.empty() && (exponentText == "0" || exponentText[0] != '0'),
                "the exponent has no digits or a leading zero");
        require(!(exponentNegative && exponentText == "0"), "the exponent is -0");
    }
    require(i == text.size(), "bytes outside the form");
    require(!integer.empty(), "no digit before the separator");
    require(!point || !fraction.empty(), "no digit after the separator");
    require(!point || fraction.back() != '0', "a trailing zero after the separator");

    // D, the kept digits, and E, with value = 0.D x 10^E.
    std::string digits;
    int exponent = 0;
    if (scientific) {
        require(integer.size() == 1 && integer[0] != '0',
                "the scientific form does not start with one digit 1-9");
        digits = integer + fraction;
        exponent = (exponentNegative ? -1 : 1) * std::atoi(exponentText.c_str()) + 1;
    } else if (integer == "0") {
        require(point, "a non-zero value written as 0");
        std::size_t zeros = fraction.find_first_not_of('0');
        digits = fraction.substr(zeros);
        exponent = -static_cast<int>(zeros);
    } else {
        require(integer[0] != '0', "a leading zero");
        digits = integer + fraction;
        if (!point) digits.erase(digits.find_last_not_of('0') + 1);  // zeros that fill the integer part
        exponent = static_cast<int>(integer.size());
    }
    require(digits.size() <= static_cast<std::size_t>(precision),
            "more significant digits than the precision");
    require(digits.back() != '0', "a trailing zero among the kept digits");
    require(scientific == !(exponent >= -3 && exponent <= precision), "the wrong notation for the exponent");

    // The value: within half a unit of the 18th digit plus half a unit of the
    // p-th, at the value's own exponent, and the 25-digit reading's own half unit.
    const Decimal exact = TwentyFiveDigits(value < 0 ? -value : value);
    const int shift = exponent - static_cast<int>(digits.size()) - (exact.exponent - 24);
    require(exponent == exact.exponent + 1 || exponent == exact.exponent + 2, "the decade is wrong");
    Wide kept = 0;
    for (char c : digits) kept = kept * 10 + (c - '0');
    kept *= PowerOfTen(shift);
    const Wide difference = kept > exact.digits ? kept - exact.digits : exact.digits - kept;
    const Wide bound = 5 * PowerOfTen(24 - precision) + 5 * PowerOfTen(24 - 18) + 1;
    require(difference <= bound, "the text is further from the value than its two roundings allow");
}

bool CheckFormatGeneralBytes(std::string_view bytes) {
    if (bytes.size() < 12) return false;
    std::uint64_t significand = 0;
    for (int i = 7; i >= 0; --i)
        significand = significand << 8 | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    const auto signAndExponent = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[8]) |
                                                            static_cast<unsigned char>(bytes[9]) << 8);
    if ((signAndExponent & 0x7FFF) == 0x7FFF) return false;
    const std::uint64_t integerBit = std::uint64_t{1} << 63;
    significand = (signAndExponent & 0x7FFF) != 0 ? significand | integerBit : significand & ~integerBit;

    unsigned char layout[sizeof(Extended)] = {};
    std::memcpy(layout, &significand, 8);
    std::memcpy(layout + 8, &signAndExponent, 2);
    Extended value;
    std::memcpy(&value, layout, sizeof value);
    const int precision = static_cast<unsigned char>(bytes[10]) % 18 + 1;
    const char separator = (static_cast<unsigned char>(bytes[11]) & 1) != 0 ? ',' : '.';
    CheckFormatGeneral(value, precision, separator);
    return true;
}

std::string FormatGeneralInput(Extended value, int precision, char separator) {
    unsigned char layout[sizeof(Extended)] = {};
    std::memcpy(layout, &value, sizeof value);
    std::string bytes(reinterpret_cast<const char*>(layout), 10);
    bytes.push_back(static_cast<char>((precision - 1) % 18));
    bytes.push_back(separator == ',' ? '\x01' : '\x00');
    return bytes;
}

}  // namespace morvane::properties
