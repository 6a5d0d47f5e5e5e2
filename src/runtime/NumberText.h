#pragma once
// Numbers as the C library prints them in the C locale, whatever the user's
// LC_NUMERIC is, with the program's own decimal separator put in afterwards.

#include <string>

#include "runtime/Extended.h"

namespace morvane {

// printf's "%.*Lg": `value` with `digits` significant digits.
std::string GeneralText(Extended value, int digits, char decimalSeparator = '.');

// printf's "%.*Lf": `value` with `decimals` digits after the separator.
std::string FixedText(Extended value, int decimals, char decimalSeparator = '.');

}  // namespace morvane
