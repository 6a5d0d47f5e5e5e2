#include "runtime/NumberText.h"

#include <locale.h>

#include <cstdio>

#include "runtime/CLocale.h"

namespace morvane {
namespace {

std::string Printed(const char* format, int precision, Extended value, char decimalSeparator);

}  // namespace

std::string GeneralText(Extended value, int digits, char decimalSeparator) {
    return Printed("%.*Lg", digits, value, decimalSeparator);
}

std::string FixedText(Extended value, int decimals, char decimalSeparator) {
    return Printed("%.*Lf", decimals, value, decimalSeparator);
}

std::string PValueText(Extended p, char decimalSeparator) {
    const std::string point(1, decimalSeparator);
    if (p < 0.001L) return "< " + point + "001";
    if (p > 0.999L) return "> " + point + "999";
    const std::string text = FixedText(p, 3, decimalSeparator);  // "0.014"
    return text.substr(1);
}

bool PValueIsBound(Extended p) {
    return p < 0.001L || p > 0.999L;
}

namespace {

// Both conversions: `format` of one precision and one long double, in the C locale.
std::string Printed(const char* format, int precision, Extended value, char decimalSeparator) {
    const locale_t previous = uselocale(CLocale());
    char text[80];
    const int length = std::snprintf(text, sizeof text, format, precision, value);
    std::string out;
    if (length >= static_cast<int>(sizeof text)) {
        // Fixed digits of a value far from 1 (10^600 has 600 of them).
        out.resize(static_cast<std::size_t>(length) + 1);
        std::snprintf(out.data(), out.size(), format, precision, value);
        out.pop_back();
    } else if (length > 0) {
        out.assign(text, static_cast<std::size_t>(length));
    }
    uselocale(previous);
    if (decimalSeparator != '.')
        for (char& c : out)
            if (c == '.') c = decimalSeparator;
    return out;
}

}  // namespace
}  // namespace morvane
