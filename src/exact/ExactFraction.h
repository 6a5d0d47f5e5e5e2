#pragma once
// A rational number formed exactly from the analysis' integer sums and
// rounded to the extended format once, itself or its square root: how a mean,
// an SD, a t or a simple effect's sum of squares of decimal scores comes out
// correctly rounded. GMP stays private to the exact room.

#include <memory>

#include "runtime/Extended.h"
#include "runtime/WideInteger.h"

namespace morvane {

class ExactFraction {
public:
    ExactFraction(Int128 numerator = 0, Int128 denominator = 1);  // denominator not zero
    ~ExactFraction();
    ExactFraction(const ExactFraction& other);
    ExactFraction& operator=(const ExactFraction& other);
    ExactFraction(ExactFraction&&) noexcept;
    ExactFraction& operator=(ExactFraction&&) noexcept;

    ExactFraction& operator+=(const ExactFraction& x);
    ExactFraction& operator-=(const ExactFraction& x);
    ExactFraction& operator*=(const ExactFraction& x);
    ExactFraction& operator/=(const ExactFraction& x);  // x not zero
    friend ExactFraction operator+(ExactFraction a, const ExactFraction& b) { return a += b; }
    friend ExactFraction operator-(ExactFraction a, const ExactFraction& b) { return a -= b; }
    friend ExactFraction operator*(ExactFraction a, const ExactFraction& b) { return a *= b; }
    friend ExactFraction operator/(ExactFraction a, const ExactFraction& b) { return a /= b; }

    int Sign() const;
    // The value times 10^scale10, rounded to the nearest extended value (ties
    // to even). OverflowError beyond the extended range.
    Extended Rounded(long scale10 = 0) const;
    // The square root of the value times 10^scale10 (not below zero), rounded
    // to the nearest extended value.
    Extended RoundedRoot(long scale10 = 0) const;

private:
    struct Value;
    std::unique_ptr<Value> value_;
};

}  // namespace morvane
