#include "design/DecimalMeans.h"

#include <gmpxx.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "exact/WideIntegers.h"
#include "runtime/PowersOfTen.h"
#include "scores/ScoreSyntax.h"

namespace morvane::design {
namespace {

constexpr UInt128 kTwoTo64 = static_cast<UInt128>(1) << 64;

UInt128 Magnitude(Int128 x) {
    return x < 0 ? -static_cast<UInt128>(x) : static_cast<UInt128>(x);
}

// A score text's digits without leading and trailing zeros, and the power of
// ten of the last one kept (0 for a zero score, whose digits are then empty).
struct Digits {
    std::string digits;
    long exponent = 0;
    bool negative = false;
};

Digits DigitsOf(std::string_view text, char separator) {
    const auto parts = ScanScore(text, separator);
    Digits out;
    if (!parts) return out;
    out.negative = parts->negative;
    out.digits.reserve(parts->integerDigits.size() + parts->fractionDigits.size());
    out.digits.append(parts->integerDigits);
    out.digits.append(parts->fractionDigits);
    out.exponent = static_cast<long>(parts->exponent) - static_cast<long>(parts->fractionDigits.size());
    const auto last = out.digits.find_last_not_of('0');
    if (last == std::string::npos) return Digits{};
    out.exponent += static_cast<long>(out.digits.size() - 1 - last);
    out.digits.resize(last + 1);
    out.digits.erase(0, out.digits.find_first_not_of('0'));
    return out;
}

mpz_class MantissaOf(const DecimalTerm& term, char separator, long& exponent) {
    mpz_class mantissa;
    if (term.text.empty()) {
        mpz_set_ui(mantissa.get_mpz_t(), static_cast<unsigned long>(term.digits));
        exponent = term.exponent;
        if (term.negative) mantissa = -mantissa;
        return mantissa;
    }
    const Digits digits = DigitsOf(term.text, separator);
    exponent = digits.exponent;
    if (digits.digits.empty()) return mantissa;
    mpz_set_str(mantissa.get_mpz_t(), digits.digits.c_str(), 10);
    if (digits.negative) mantissa = -mantissa;
    return mantissa;
}

}  // namespace

std::optional<long> LeastPowerOf(const DecimalTerm& term, char separator) {
    if (term.text.empty()) return term.digits == 0 ? std::nullopt : std::optional<long>(term.exponent);
    const Digits digits = DigitsOf(term.text, separator);
    if (digits.digits.empty()) return std::nullopt;
    return digits.exponent;
}

mpz_class UnitsOf(const DecimalTerm& term, char separator, long scale) {
    long exponent = 0;
    mpz_class units = MantissaOf(term, separator, exponent);
    if (units != 0) units *= exact::PowerOfTen(static_cast<unsigned long>(exponent + scale));
    return units;
}

std::optional<WideDecimal> WideDecimalOf(std::string_view text, char separator) {
    const Digits digits = DigitsOf(text, separator);
    if (digits.digits.size() > 38) return std::nullopt;
    WideDecimal out;
    for (char c : digits.digits) out.mantissa = out.mantissa * 10 + (c - '0');
    if (digits.negative) out.mantissa = -out.mantissa;
    out.exponent = digits.digits.empty() ? 0 : digits.exponent;
    return out;
}

Extended DecimalValue(std::uint64_t digits, long exponent, bool negative) {
    Extended value = 0;
    if (digits == 0) return value;
    // One operation on two exact numbers rounds once.
    if (exponent >= 0 && exponent <= 27)
        value = static_cast<Extended>(digits) * kExactPowersOfTen[static_cast<std::size_t>(exponent)];
    else if (exponent < 0 && exponent >= -27)
        value = static_cast<Extended>(digits) / kExactPowersOfTen[static_cast<std::size_t>(-exponent)];
    else
        value = exact::RoundRational(exact::ToMpz(static_cast<Int128>(digits)), 1, exponent);
    return negative ? -value : value;
}

Extended MeanOfUnits(Int128 units, std::int64_t rows, int scale) {
    if (units == 0) return 0;
    // Both integers exact in the extended format: one division rounds once.
    if (scale >= 0 && scale <= 19 && Magnitude(units) < kTwoTo64) {
        UInt128 denominator = static_cast<UInt128>(rows) * kPowersOfTen64[static_cast<std::size_t>(scale)];
        if (denominator < kTwoTo64)
            return static_cast<Extended>(units) /
                   static_cast<Extended>(static_cast<std::uint64_t>(denominator));
    }
    return exact::RoundRational(exact::ToMpz(units), exact::Big(rows), -static_cast<long>(scale));
}

Extended MeanOfTerms(std::span<const DecimalTerm> terms, char separator) {
    if (terms.size() == 1 && terms[0].text.empty())
        return DecimalValue(terms[0].digits, terms[0].exponent, terms[0].negative);
    std::vector<mpz_class> mantissas(terms.size());
    std::vector<long> exponents(terms.size());
    long least = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < terms.size(); ++i) {
        mantissas[i] = MantissaOf(terms[i], separator, exponents[i]);
        if (mantissas[i] != 0) least = std::min(least, exponents[i]);
    }
    mpz_class sum;
    for (std::size_t i = 0; i < terms.size(); ++i)
        if (mantissas[i] != 0)
            sum += mantissas[i] * exact::PowerOfTen(static_cast<unsigned long>(exponents[i] - least));
    if (sum == 0) return 0;
    return exact::RoundRational(sum, exact::Big(static_cast<std::int64_t>(terms.size())), least);
}

}  // namespace morvane::design
