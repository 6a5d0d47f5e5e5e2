#include "anova/NumberText.h"

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

namespace {

// Both conversions: `format` of one precision and one long double, in the C locale.
std::string Printed(const char* format, int precision, Extended value, char decimalSeparator) {
    const locale_t previous = uselocale(CLocale());
    char text[80];
    const int length = std::snprintf(text, sizeof text, format, precision, value);
    uselocale(previous);
    std::string out(text, length > 0 ? static_cast<std::size_t>(length) : 0);
    if (decimalSeparator != '.')
        for (char& c : out)
            if (c == '.') c = decimalSeparator;
    return out;
}

}  // namespace
}  // namespace morvane
