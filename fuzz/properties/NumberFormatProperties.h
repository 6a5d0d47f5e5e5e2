#pragma once
// The properties of FormatGeneral, from its definition: "0" for a zero; else a
// sign for a negative value, at most p significant digits with no trailing zero
// among them, fixed notation when the decimal exponent E (value = 0.D x 10^E)
// lies from -3 to p and scientific otherwise, each form laid out as defined,
// and the text within the two roundings of the value (half a unit of its 18th
// digit, then half a unit of its p-th), well inside one unit of the last kept
// digit. A broken property throws Violation.

#include <string>
#include <string_view>

#include "runtime/Extended.h"

namespace morvane::properties {

void CheckFormatGeneral(Extended value, int precision, char separator);

// A fuzz input of 12 bytes: the 10 bytes of an extended value (its integer bit
// made to agree with its exponent; infinities and not-a-numbers, which never
// reach the format, give no input), a byte for the precision (1 to 18) and one
// for the separator (odd: ","). Returns false when the bytes give no input.
bool CheckFormatGeneralBytes(std::string_view bytes);

// The 12 bytes that CheckFormatGeneralBytes reads as this value, precision and separator.
std::string FormatGeneralInput(Extended value, int precision, char separator);

}  // namespace morvane::properties
