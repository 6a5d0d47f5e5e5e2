#pragma once
// The number-to-text rule of the results file: at most `precision` significant
// digits, fixed notation for magnitudes from 0.0001 to just below 10^precision
// and scientific notation ("1.5E12", "9E-5") for all others.

#include <string>

#include "runtime/Extended.h"

namespace morvane {

// The digits are the value's exact decimal expansion rounded first to 18
// significant digits (ties to even), then cut to `precision` digits with a first
// dropped digit of 5 or more rounding away from zero; trailing zeros are dropped.
// Zero of either sign gives "0"; an infinity raises OverflowError and a
// not-a-number InvalidOperationError.
std::string FormatGeneral(Extended value, int precision, char decimalSeparator);

}  // namespace morvane
