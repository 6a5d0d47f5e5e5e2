#pragma once
// The adjustments of a family of p-values for multiple testing: Holm's
// step-down (1979), Bonferroni's, Šidák's, Holm–Šidák's step-down, Hochberg's
// step-up (1988), Hommel's (1988), Benjamini and Hochberg's (1995) and
// Benjamini and Yekutieli's (2001), each as R's p.adjust forms it (Šidák's
// and Holm–Šidák's by their definitions, the latter made monotone as Holm's),
// and Shaffer's sequentially rejective Bonferroni procedure (1986) for the
// pairs of one factor's levels. Undefined p-values are not in the family.
// Tukey's honestly significant difference is named here with them but formed
// from a pair's t, not its p (stats/StudentizedRange.h), by the comparisons.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "runtime/Extended.h"

namespace morvane {

// The adjustments, in the order every output lists them.
enum class Adjustment : std::uint8_t {
    Holm,
    Bonferroni,
    Sidak,
    HolmSidak,
    Hochberg,
    Hommel,
    BH,
    BY,
    Shaffer,
    Tukey
};
inline constexpr std::size_t kAdjustments = 10;

// The names an adjustment goes by: the option's, the JSON key, the column's
// heading (the same in every language) and the name a sentence gives it.
struct AdjustmentNames {
    Adjustment adjustment;
    const char *option, *key, *heading, *name;
};
inline constexpr std::array<AdjustmentNames, kAdjustments> kAdjustmentNames{{
    {Adjustment::Holm, "holm", "pHolm", "p (Holm)", "Holm"},
    {Adjustment::Bonferroni, "bonferroni", "pBonferroni", "p (Bonferroni)", "Bonferroni"},
    {Adjustment::Sidak, "sidak", "pSidak", "p (Šidák)", "Šidák"},
    {Adjustment::HolmSidak, "holm-sidak", "pHolmSidak", "p (Holm–Šidák)", "Holm–Šidák"},
    {Adjustment::Hochberg, "hochberg", "pHochberg", "p (Hochberg)", "Hochberg"},
    {Adjustment::Hommel, "hommel", "pHommel", "p (Hommel)", "Hommel"},
    {Adjustment::BH, "bh", "pBH", "p (BH)", "Benjamini–Hochberg"},
    {Adjustment::BY, "by", "pBY", "p (BY)", "Benjamini–Yekutieli"},
    {Adjustment::Shaffer, "shaffer", "pShaffer", "p (Shaffer)", "Shaffer"},
    {Adjustment::Tukey, "tukey", "pTukey", "p (Tukey)", "Tukey"},
}};

// The adjustments a family is given and its outputs show: Holm's and
// Bonferroni's unless others are chosen.
class AdjustmentSet {
public:
    constexpr AdjustmentSet() = default;
    static constexpr AdjustmentSet None() { return AdjustmentSet(0); }
    static constexpr AdjustmentSet Every() { return AdjustmentSet((1u << kAdjustments) - 1); }
    constexpr bool Has(Adjustment a) const { return (bits_ >> static_cast<unsigned>(a) & 1u) != 0; }
    constexpr void Add(Adjustment a) { bits_ |= 1u << static_cast<unsigned>(a); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr int Count() const { return std::popcount(bits_); }
    constexpr bool operator==(const AdjustmentSet&) const = default;

private:
    constexpr explicit AdjustmentSet(unsigned bits) : bits_(bits) {}
    unsigned bits_ =
        1u << static_cast<unsigned>(Adjustment::Holm) | 1u << static_cast<unsigned>(Adjustment::Bonferroni);
};

// One p's adjustments within its family; each absent where not asked or the p is undefined.
// Its fields are named as the JSON keys, as a row's (AdjustedField below).
struct AdjustedP {
    std::optional<Extended> pHolm, pBonferroni, pSidak, pHolmSidak, pHochberg, pHommel, pBH, pBY, pShaffer, pTukey;
};

// The adjustment `a` of a family of m defined p-values, each in [0, 1], in
// their order. Shaffer's needs the family to be every pair of `levels` levels
// (m = C(levels, 2)); of any other family, or of more than kShafferLevels
// levels, it is Holm's. Tukey's is not formed from p-values: not a number each.
std::vector<Extended> Adjust(Adjustment a, std::span<const Extended> p, std::size_t levels = 0);

// Shaffer's counts are formed for up to this many levels; beyond, Holm's
// multipliers (the sets of counts grow as levels^2 bits, their forming as levels^4).
inline constexpr std::size_t kShafferLevels = 200;

// Shaffer's multipliers t_1..t_m of the m = C(levels, 2) pairs of `levels`
// levels: t_j the most of the pairs' hypotheses that can be true when j - 1
// are false, the largest sum of C(k_i, 2) over a partition of the levels
// into groups k_1 + k_2 + ... not above m - j + 1. Empty beyond kShafferLevels.
std::vector<std::int64_t> ShafferMultipliers(std::size_t levels);

// For p[i] of a family: each defined p's chosen adjustments over the m defined
// ones. `levels` non-zero: the family is the pairs of that many levels, which
// Shaffer's needs whole (every pair's p defined), else it takes Holm's multipliers.
// Tukey's is left absent (the comparisons form it from their t's).
std::vector<AdjustedP> AdjustFamily(const std::vector<std::optional<Extended>>& p, AdjustmentSet chosen = {},
                                    std::size_t levels = 0);

// The field of a row (a comparison, a contrast) that holds adjustment `a`,
// its fields named pHolm, pBonferroni, ... as the JSON keys.
template <class Row>
auto& AdjustedField(Row& row, Adjustment a) {
    switch (a) {
        case Adjustment::Holm:
            return row.pHolm;
        case Adjustment::Bonferroni:
            return row.pBonferroni;
        case Adjustment::Sidak:
            return row.pSidak;
        case Adjustment::HolmSidak:
            return row.pHolmSidak;
        case Adjustment::Hochberg:
            return row.pHochberg;
        case Adjustment::Hommel:
            return row.pHommel;
        case Adjustment::BH:
            return row.pBH;
        case Adjustment::BY:
            return row.pBY;
        case Adjustment::Shaffer:
            return row.pShaffer;
        case Adjustment::Tukey:
            break;
    }
    return row.pTukey;
}

// Sets a row's fields from its adjustments (those not formed stay absent).
template <class Row>
void SetAdjusted(Row& row, const AdjustedP& adjusted) {
    for (const AdjustmentNames& n : kAdjustmentNames)
        AdjustedField(row, n.adjustment) = AdjustedField(adjusted, n.adjustment);
}

}  // namespace morvane
