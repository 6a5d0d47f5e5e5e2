#pragma once
// The 80-bit extended number of every score and every result, with checked
// operations: an invalid operation, a division by zero and an overflow raise
// their errors; underflow gives its default result silently.

#include <cmath>
#include <limits>

namespace morvane {

using Extended = long double;
static_assert(std::numeric_limits<Extended>::digits == 64,
              "long double must be the x87 80-bit extended format");

// Throws OverflowError.
[[noreturn]] void ThrowOverflow();

// Throws OverflowError when `value` is not finite; used after a run of
// operations on finite operands, where only an overflow can make it so.
inline Extended CheckFinite(Extended value) {
    if (!std::isfinite(value)) ThrowOverflow();
    return value;
}

inline Extended CheckedAdd(Extended a, Extended b) { return CheckFinite(a + b); }
inline Extended CheckedSub(Extended a, Extended b) { return CheckFinite(a - b); }
inline Extended CheckedMul(Extended a, Extended b) { return CheckFinite(a * b); }

// a / b: a zero divisor gives ZeroDivideError, or InvalidOperationError when a
// is zero (or not a number) too.
Extended CheckedDiv(Extended a, Extended b);

}  // namespace morvane
