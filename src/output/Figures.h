#pragma once
// One rule for each kind of figure, whatever the format shows it: what an
// undefined statistic shows, how many digits a program gets, and the forms of
// a paper (APA): groups of three digits, p, corrected degrees of freedom. The
// p of every reader but a program is runtime's PValueText.

#include <string>

#include "runtime/Extended.h"

namespace morvane {

// What an undefined statistic shows where it is not left empty (CSV) or null (JSON).
inline const char* const kUndefinedText = "—";

// A program's figures (CSV, JSON): enough significant digits to read back the
// same double.
inline constexpr int kProgramDigits = 17;

// The most significant digits a figure shows anywhere: an extended value holds
// no more, and those after them are noise.
inline constexpr int kExtendedDigits = 19;

// A program's figure: kProgramDigits significant digits.
std::string ProgramNumber(Extended value, char decimalSeparator = '.');

// Figures as APA writes them: `decimals` decimals, groups of three digits
// parted by commas, and no zero before the point when `leadingZero` is false
// (a value that cannot exceed 1); never more than kExtendedDigits significant
// digits: beyond them the whole part shows zeros and the decimals are left
// out (an F of 6.2e25 has no 26 true digits, and no true hundredths).
std::string ApaNumber(Extended value, int decimals, bool leadingZero = true);

// p with three decimals as PValueText gives it, "< .001" below and "> .999" above.
std::string ApaP(Extended p);

// A corrected degree of freedom: two decimals, the whole number where epsilon
// leaves it whole, also when the extended epsilon is a hair off (an epsilon of
// .5 computed as .49999999999999999997 still gives "1" and "7").
std::string ApaDf(Extended df);

}  // namespace morvane
