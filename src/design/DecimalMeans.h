#pragma once
// A design's cell score as the mean of the decimal scores it averages, exact
// and rounded once to the extended format, as DesignData holds it; for the
// readers that build a design (the long CSV's, in exchange/). A score is
// digits x 10^exponent, negated when negative; one of more than 19
// significant digits, or a power of ten beyond what the quick parse takes, is
// kept as its text.

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "runtime/Extended.h"
#include "runtime/WideInteger.h"

namespace morvane::design {

struct DecimalTerm {
    std::uint64_t digits = 0;
    long exponent = 0;
    bool negative = false;
    std::string_view text;  // when not empty, the score is this text instead
};

// A score text's significant digits as an integer and the power of ten that
// scales them (trailing zeros taken into the power), when they fit 38 digits.
struct WideDecimal {
    Int128 mantissa = 0;  // signed
    long exponent = 0;
};
std::optional<WideDecimal> WideDecimalOf(std::string_view text, char decimalSeparator);

// digits x 10^exponent rounded to the nearest extended value: the value
// ParseScore gives for the text it came from.
Extended DecimalValue(std::uint64_t digits, long exponent, bool negative);

// units / (rows x 10^scale) rounded to the nearest extended value.
Extended MeanOfUnits(Int128 units, std::int64_t rows, int scale);

// The mean of the terms (at least one), exactly, rounded to the nearest
// extended value. Texts must be scores in `decimalSeparator`'s syntax.
Extended MeanOfTerms(std::span<const DecimalTerm> terms, char decimalSeparator);

// The power of ten of a term's last significant digit; nothing for a zero.
std::optional<long> LeastPowerOf(const DecimalTerm& term, char decimalSeparator);

// The most digits a score's exact units may take beyond its own (the scale
// less its least power of ten): scores further apart are left to the
// extended values.
inline constexpr long kMostWideSpread = 1000;

// A term in units of 10^-scale, exactly, as a GMP integer: `scale` is at
// least the negated least power of ten of the term.
mpz_class UnitsOf(const DecimalTerm& term, char decimalSeparator, long scale);

}  // namespace morvane::design
