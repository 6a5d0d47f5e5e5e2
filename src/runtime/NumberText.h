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

// A p-value as a reader sees it, in every text but a program's: three decimals
// without the leading zero (".014"), "< .001" below .001 (0 too: a p below the
// number type's range) and "> .999" above .999 (1 too).
std::string PValueText(Extended p, char decimalSeparator = '.');

// Whether PValueText gives a bound ("< .001", "> .999") rather than a value,
// so that a sentence writes "p < .001" but "p = .014".
bool PValueIsBound(Extended p);

}  // namespace morvane
