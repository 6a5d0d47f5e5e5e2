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

// An extended number held as the sum of two doubles. The x87 unit loads a
// double several times faster than an extended number, and adds the two
// exactly: the pair is for loops that read many values more than once.
struct SplitExtended {
    double high = 0, low = 0;
};

// `value` as a pair, when two doubles hold its 64 significant bits exactly
// (every value but those beyond the doubles' range or close to it); false
// otherwise. A zero keeps its sign.
inline bool Split(Extended value, SplitExtended& out) {
    const auto high = static_cast<double>(value);
    const auto low = value == 0 ? high : static_cast<double>(value - high);
    if (!std::isfinite(high) || static_cast<Extended>(high) + static_cast<Extended>(low) != value)
        return false;
    out = {high, low};
    return true;
}

// The value of a pair that Split made: its two halves added, exactly.
inline Extended Join(const SplitExtended& pair) {
    return static_cast<Extended>(pair.high) + static_cast<Extended>(pair.low);
}

}  // namespace morvane
