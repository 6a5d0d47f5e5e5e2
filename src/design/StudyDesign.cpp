#include "design/StudyDesign.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "design/DecimalMeans.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"
#include "runtime/PowersOfTen.h"
#include "scores/ScoreSyntax.h"
#include "store/LevelNames.h"

namespace morvane {
namespace {

// Whether a score text is empty: nothing, or nothing but spaces.
bool Empty(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

std::vector<bool> Incomplete(const StudyStore& store, std::int32_t n, char decimalSeparator);
void FormScores(const StudyStore& store, const std::vector<std::int32_t>& kept, char decimalSeparator,
                DesignData& design);

}  // namespace

DesignData DesignFromStudy(const StudyStore& store, char decimalSeparator) {
    DesignData design;
    const std::int32_t n = std::max(store.SubjectCount, 0), na = store.LevelCountA, nb = store.LevelCountB;
    design.within = {{"A", {}}, {"B", {}}};
    for (std::int32_t a = 1; a <= na; ++a)
        design.within[0].levels.push_back(Utf8FromCp932(
            ShownLevelName(LevelLabel(store.LevelNamesA[static_cast<std::size_t>(a)], 'a', a))));
    for (std::int32_t b = 1; b <= nb; ++b)
        design.within[1].levels.push_back(Utf8FromCp932(
            ShownLevelName(LevelLabel(store.LevelNamesB[static_cast<std::size_t>(b)], 'b', b))));
    const std::vector<bool> incomplete = Incomplete(store, n, decimalSeparator);
    std::vector<std::int32_t> kept;
    for (std::int32_t s = 1; s <= n; ++s) {
        if (incomplete[static_cast<std::size_t>(s)]) {
            design.removed.push_back(std::to_string(s));
            continue;
        }
        kept.push_back(s);
        design.subjects.push_back(std::to_string(s));
    }
    design.subjectsRead = n;
    design.group.assign(kept.size(), 0);
    FormScores(store, kept, decimalSeparator, design);
    return design;
}

namespace {

// DesignFromStudy, first: the subjects (from 1) with an empty score text;
// the first text that is neither empty nor a score stops it.
std::vector<bool> Incomplete(const StudyStore& store, std::int32_t n, char decimalSeparator) {
    std::vector<bool> missing(static_cast<std::size_t>(n) + 1, false);
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b) {
                const std::string_view text = store.CellText.Text(s, a, b);
                if (Empty(text))
                    missing[static_cast<std::size_t>(s)] = true;
                else if (!IsScore(text, decimalSeparator))
                    throw ConvertError(messages::NotAFloat(text), ScoreCell{s, a, b});
            }
    return missing;
}

// A score's significant digits as a signed integer and the power of ten of
// the last (its trailing zeros taken into the power); nothing beyond 38 digits.
std::optional<design::WideDecimal> DecimalOf(const ScoreParts& parts) {
    design::WideDecimal out;
    long exponent = static_cast<long>(parts.exponent) - static_cast<long>(parts.fractionDigits.size());
    int digits = 0;
    long zeros = 0;  // trailing zeros not yet taken into the mantissa
    const auto take = [&](std::string_view run) {
        for (const char c : run) {
            if (c == '0') {
                if (digits > 0) ++zeros;
                continue;
            }
            for (; zeros > 0; --zeros, ++digits) out.mantissa *= 10;
            out.mantissa = out.mantissa * 10 + (c - '0');
            if (++digits > 38) return false;
        }
        return true;
    };
    if (!take(parts.integerDigits) || !take(parts.fractionDigits)) return std::nullopt;
    if (digits == 0) return design::WideDecimal{};
    out.exponent = exponent + zeros;
    if (parts.negative) out.mantissa = -out.mantissa;
    return out;
}

// DesignFromStudy, last: each kept subject's scores as the units of the
// least power of ten of them all, where every one is a decimal of at most 38
// significant digits whose units fit 128 bits; else as extended values.
void FormScores(const StudyStore& store, const std::vector<std::int32_t>& kept, char decimalSeparator,
                DesignData& design) {
    const std::int32_t na = store.LevelCountA, nb = store.LevelCountB;
    const std::size_t cells =
        static_cast<std::size_t>(std::max(na, 0)) * static_cast<std::size_t>(std::max(nb, 0));
    const std::size_t count = kept.size() * cells;
    EnsureAffordable(count, sizeof(design::WideDecimal) + sizeof(Int128) + sizeof(std::int32_t));
    std::vector<design::WideDecimal> decimals(count);
    bool exact = true;
    long least = 0;
    bool any = false;
    for (std::size_t i = 0; i < kept.size() && exact; ++i)
        for (std::int32_t a = 1; a <= na && exact; ++a)
            for (std::int32_t b = 1; b <= nb; ++b) {
                const std::size_t at = i * cells + static_cast<std::size_t>((a - 1) * nb + (b - 1));
                const std::optional<ScoreParts> parts =
                    ScanScore(store.CellText.Text(kept[i], a, b), decimalSeparator);
                const std::optional<design::WideDecimal> d = parts ? DecimalOf(*parts) : std::nullopt;
                if (!d) {
                    exact = false;
                    break;
                }
                decimals[at] = *d;
                if (d->mantissa != 0) least = any ? std::min(least, d->exponent) : d->exponent, any = true;
            }
    if (exact) {
        design.scale = static_cast<int>(-least);
        design.units.resize(count);
        for (std::size_t i = 0; i < count && exact; ++i) {
            const long shift = decimals[i].exponent - least;
            if (decimals[i].mantissa == 0) continue;
            if (shift > 38 ||
                __builtin_mul_overflow(decimals[i].mantissa,
                                       static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(shift)]),
                                       &design.units[i]))
                exact = false;
        }
    }
    design.exact = exact;
    if (exact) {
        design.rows.assign(count, 1);
        return;
    }
    design.scale = 0;
    design.units = {};
    design.values.resize(count);
    for (std::size_t i = 0; i < kept.size(); ++i)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                design.values[i * cells + static_cast<std::size_t>((a - 1) * nb + (b - 1))] =
                    ScoreValue(store.CellText.Text(kept[i], a, b), decimalSeparator);
}

}  // namespace
}  // namespace morvane
