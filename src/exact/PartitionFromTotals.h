#pragma once
// Private to the exact partition: what the totals builder and the passes over
// the texts share.

#include <gmpxx.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "exact/ExactPartition.h"
#include "exact/WideIntegers.h"
#include "scores/ScoreSyntax.h"
#include "store/StudyStore.h"

namespace morvane::exact {

// A score as its significant digits x 10^exponent: the digits are those of the
// integer and fraction runs from `lead` up to `end` (no leading or trailing zero).
struct Decimal {
    ScoreParts parts;
    std::size_t lead = 0, end = 0;  // into the integer digits followed by the fraction digits
    int exponent = 0;

    bool Zero() const { return lead == end; }
    int Digits() const { return static_cast<int>(end - lead); }
    char Digit(std::size_t i) const {
        const std::size_t integer = parts.integerDigits.size();
        return i < integer ? parts.integerDigits[i] : parts.fractionDigits[i - integer];
    }
    template <typename Visit>
    void ForEachDigit(Visit&& visit) const {
        for (std::size_t i = lead; i < end; ++i) visit(Digit(i));
    }
};

// Reads a text that parsed before (ConvertError otherwise: a fault of the
// program, not of the data).
void ReadDecimal(std::string_view text, char separator, Decimal& out);

// The scaled integer of a score text whose digits fit 128 bits; `scale` is at
// most the text's exponent.
Int128 ScaledInteger(std::string_view text, char separator, int scale, const std::array<UInt128, 39>& powers);

struct Counts {
    std::int64_t n, na, nb;
    std::size_t Cells() const { return static_cast<std::size_t>(n * na * nb); }
};

// The exact totals: the grand total, the sum of the squared scores and, for each
// kind of group, the sum of its squared group totals.
struct ExactTotals {
    mpz_class t, qTotal, qA, qB, qS, qAB, qAS, qBS;
};

// The partition from the exact totals of the scores in units of 10^scale.
void ExactPartitionFrom(const ExactTotals& totals, const Counts& c, int scale, ExactPartition& out);

// Keeps the exact integer offsets of a partition while each fits in 32 bits.
class IntegerOffsets {
public:
    IntegerOffsets(ExactPartition& partition, std::size_t cells, int scale);
    // The offset of score i, in units of 10^scale.
    void Set(std::size_t i, Int128 difference) {
        if (!fits_) return;
        const UInt128 m =
            difference < 0 ? -static_cast<UInt128>(difference) : static_cast<UInt128>(difference);
        if (m > static_cast<UInt128>(INT32_MAX)) return DoesNotFit();
        out_.integerOffsets[i] = static_cast<std::int32_t>(difference);
        out_.offsetBound = std::max(out_.offsetBound, static_cast<std::int64_t>(m));
    }
    bool Fit() const { return fits_; }

private:
    void DoesNotFit();

    ExactPartition& out_;
    bool fits_ = true;
};

// The partition from the texts where the 128-bit totals cannot hold the
// scores: with big integers while the span of decimal places is within
// kExactDigitLimit, centred in extended precision beyond; only the degrees of
// freedom without scores.
ExactPartition PartitionFromTexts(const StudyStore& store, char separator, bool keepOffsets);

}  // namespace morvane::exact
