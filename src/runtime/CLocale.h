#pragma once
// Number conversions of the C library in the C locale, whatever the user's
// LC_NUMERIC is (the windows' toolkit sets it from the environment): the
// program's own decimal separator is applied by its own code.

#include <locale.h>

#include <string>

#include "runtime/Extended.h"

namespace morvane {

// The C locale, created once.
locale_t CLocale();

// `value` in the C library's "%.*Le" form with `fractionDigits` digits after
// the point: the exact decimal expansion rounded to nearest, ties to even.
std::string ScientificText(Extended value, int fractionDigits);

}  // namespace morvane
