#pragma once
// The decimal separator of the user's regional settings, with which scores are
// read and numbers written.

namespace morvane {

// Sets the C library's locale from the environment and returns its decimal
// separator; a separator longer than one byte counts as ".". Read once at start.
char DecimalSeparatorFromLocale();

}  // namespace morvane
