#pragma once
// Private to the engine's checks and rank-based tests: the within cells'
// marginal tables, and the integers their passes over the subjects take. A
// pass is written once over its value type: 64-bit integers (sums in 128
// bits) where the quick strategy's offsets and what is formed from them fit,
// GMP integers otherwise; either gives the same exact integers, and every
// figure is formed from those alone.

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "anova/detail/Scores.h"
#include "design/Design.h"
#include "runtime/Extended.h"
#include "runtime/WideInteger.h"

namespace morvane::anova::detail {

// For every set of within factors (a mask, bit f for factor f), each within
// cell's place in that set's marginal table (its factors' levels, the last
// fastest), and the table's size.
struct WithinTables {
    std::size_t cells = 1, factors = 0;
    std::vector<std::size_t> levels;
    std::vector<std::vector<std::uint32_t>> place;  // [mask][cell]
    std::vector<std::size_t> size;                  // [mask]

    explicit WithinTables(const std::vector<DesignFactor>& within);

    // The step between the levels of factor f in the table of `mask` (which holds f).
    std::size_t Stride(std::uint32_t mask, std::size_t f) const;
};

// The sign of subset u's term in the alternating sum of effect e (a subset of it).
int SignOf(std::uint32_t e, std::uint32_t u);
// The subsets of mask e, e itself first and the empty set last.
std::vector<std::uint32_t> SubsetsOf(std::uint32_t e);

// The marginal table of `to` (a subset of `from`) into `out` from a table of
// `from`: the factors of `from` outside `to` summed out one at a time, each
// a pass that adds whole runs of the table (no sum waits on the one before).
// `scratch` is scratch.
template <class Value>
void Marginal(const WithinTables& t, std::uint32_t from, std::uint32_t to, const Value* in,
              std::vector<Value>& out, std::vector<Value>& scratch) {
    const Value* source = in;
    std::size_t size = t.size[from];
    std::uint32_t mask = from;
    for (std::size_t f = t.factors; f-- > 0;) {
        if (!(mask >> f & 1u) || (to >> f & 1u)) continue;
        const std::size_t stride = t.Stride(mask, f), levels = t.levels[f];
        std::vector<Value>& into = source == out.data() ? scratch : out;
        into.resize(size / levels);
        if (stride == 1) {
            for (std::size_t outer = 0, o = 0; outer < size; outer += levels, ++o) {
                Value sum = source[outer];
                for (std::size_t j = 1; j < levels; ++j) sum += source[outer + j];
                into[o] = sum;
            }
        } else {
            for (std::size_t outer = 0, o = 0; outer < size; outer += stride * levels, o += stride) {
                for (std::size_t inner = 0; inner < stride; ++inner) into[o + inner] = source[outer + inner];
                for (std::size_t j = 1; j < levels; ++j)
                    for (std::size_t inner = 0; inner < stride; ++inner)
                        into[o + inner] += source[outer + j * stride + inner];
            }
        }
        if (&into == &scratch) std::swap(out, scratch);
        source = out.data(), size = out.size();
        mask &= ~(std::uint32_t{1} << f);
    }
    if (source == in) out.assign(in, in + size);
}

// Each line of a factor's levels in a marginal table (`levels` entries
// `stride` apart) l times over less its sum: the line centred, l times over.
// `sum` is scratch (a GMP integer's room kept; a 64-bit sum stays in a register).
template <class Value>
void Centre(std::vector<Value>& a, std::size_t stride, std::size_t levels, Value& sum) {
    const Value l = static_cast<long>(levels);
    for (std::size_t block = 0; block < a.size(); block += stride * levels)
        for (std::size_t start = block; start < block + stride; ++start) {
            Value* line = &a[start];
            if constexpr (std::is_same_v<Value, std::int64_t>) {
                std::int64_t total = 0;
                for (std::size_t j = 0; j < levels; ++j) total += line[j * stride];
                for (std::size_t j = 0; j < levels; ++j) line[j * stride] = l * line[j * stride] - total;
            } else {
                sum = 0;
                for (std::size_t j = 0; j < levels; ++j) sum += line[j * stride];
                for (std::size_t j = 0; j < levels; ++j) {
                    Value& v = line[j * stride];
                    v = l * v - sum;
                }
            }
        }
}

// The types of a pass: its values, and the sums of their products.
template <class Value>
using SumOf = std::conditional_t<std::is_same_v<Value, std::int64_t>, Int128, mpz_class>;

// The offset of score i (rank r, cell c at r * cells + c) as a pass's value.
template <class Value>
Value OffsetAt(const Scores& s, std::size_t i) {
    if constexpr (std::is_same_v<Value, std::int64_t>)
        return s.small[i];
    else
        return s.Quick() ? mpz_class(static_cast<long>(s.small[i])) : s.wide[i];
}

inline mpz_class Big(std::int64_t v) {
    return mpz_class(static_cast<long>(v));
}
inline mpz_class Big(Int128 v) {
    return BigOf(v);
}
inline const mpz_class& Big(const mpz_class& v) {
    return v;
}

// An integer or rational rounded to the nearest extended value (ties to
// even, as the conversion of a 128-bit integer rounds); infinite beyond the
// extended range.
inline Extended ExtendedOf(std::int64_t v) {
    return static_cast<Extended>(v);
}
inline Extended ExtendedOf(Int128 v) {
    return static_cast<Extended>(v);
}
Extended ExtendedOf(const mpz_class& v);
Extended ExtendedOf(const mpq_class& v);

inline std::int64_t Magnitude(std::int64_t v) {
    return v < 0 ? -v : v;
}
inline mpz_class Magnitude(const mpz_class& v) {
    return abs(v);
}

}  // namespace morvane::anova::detail
