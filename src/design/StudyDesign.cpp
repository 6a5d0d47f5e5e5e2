#include "design/StudyDesign.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "design/DecimalMeans.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"
#include "runtime/Messages.h"
#include "runtime/PowersOfTen.h"
#include "scores/ParseScores.h"
#include "scores/QuickScore.h"
#include "scores/ScoreSyntax.h"
#include "store/LevelNames.h"

namespace morvane {
namespace {

// Whether a score text is empty: nothing, or nothing but spaces.
bool Empty(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// The scores as read in one scan, every subject's: each score's significant
// digits and power of ten where it has at most 38 digits, and which subjects
// miss a score.
struct Scan {
    std::vector<bool> missing;     // per subject, from 1
    std::vector<Int128> mantissa;  // per score, subject by subject
    std::vector<std::int32_t> exponent;
    bool decimal = true;  // every score has at most 38 significant digits
    long least = 0;       // the least power of ten of a score not zero
};

// Every score's units as the parse of the scores hands them on, a block of
// subjects at a time: the units of the least power of ten of the scores so
// far (those before moved to a smaller one as it comes), while every score
// has at most 38 significant digits and its units fit 128 bits. Otherwise it
// gives up, and the scores are scanned again.
class UnitsSink final : public ParsedBlockSink {
public:
    UnitsSink(std::size_t count, std::size_t cells) : count_(count), cells_(cells) {}

    void Take(const ParsedBlock& block) override;
    // After every block: whether every score was taken.
    bool Whole() const { return whole_; }
    // The power of ten of the units (0 where every score is zero).
    long Least() const { return any_ ? least_ : 0; }
    std::vector<Int128>&& Units() { return std::move(units_); }

private:
    void AddText(std::string_view text, char separator);
    void Add(Int128 mantissa, long exponent);
    bool Rescale(long exponent);

    std::size_t count_, cells_;
    std::vector<Int128> units_;  // room made on the first block, on the thread that takes the blocks
    bool whole_ = true, any_ = false;
    long least_ = 0;
};

std::optional<design::WideDecimal> DecimalOf(const ScoreParts& parts);
Scan ScanScores(const StudyStore& store, std::int32_t n, std::size_t cells, char decimalSeparator);
void FormScores(const StudyStore& store, const std::vector<std::int32_t>& kept, char decimalSeparator,
                Scan&& scan, DesignData& design);
bool WideScores(const StudyStore& store, const std::vector<std::int32_t>& kept, char decimalSeparator,
                DesignData& design);
bool ParsedScores(const StudyStore& store, char decimalSeparator, std::span<ParsedBlockSink* const> beside,
                  DesignData& design);

}  // namespace

DesignData DesignFromStudy(const StudyStore& store, char decimalSeparator) {
    return DesignFromStudy(store, decimalSeparator, {});
}

DesignData DesignFromStudy(const StudyStore& store, char decimalSeparator,
                           std::span<ParsedBlockSink* const> beside) {
    DesignData design;
    const std::int32_t n = std::max(store.SubjectCount, 0), na = store.LevelCountA, nb = store.LevelCountB;
    design.within = {{"A", {}}, {"B", {}}};
    for (std::int32_t a = 1; a <= na; ++a)
        design.within[0].levels.push_back(Utf8FromCp932(
            ShownLevelName(LevelLabel(store.LevelNamesA[static_cast<std::size_t>(a)], 'a', a))));
    for (std::int32_t b = 1; b <= nb; ++b)
        design.within[1].levels.push_back(Utf8FromCp932(
            ShownLevelName(LevelLabel(store.LevelNamesB[static_cast<std::size_t>(b)], 'b', b))));
    const std::size_t cells =
        static_cast<std::size_t>(std::max(na, 0)) * static_cast<std::size_t>(std::max(nb, 0));
    EnsureAffordable(static_cast<std::size_t>(n) * cells, sizeof(Int128) + sizeof(std::int32_t));
    design.subjectsRead = n;
    if (ParsedScores(store, decimalSeparator, beside, design)) return design;
    Scan scan = ScanScores(store, n, cells, decimalSeparator);
    std::vector<std::int32_t> kept;
    for (std::int32_t s = 1; s <= n; ++s) {
        if (scan.missing[static_cast<std::size_t>(s)]) {
            design.removed.push_back(std::to_string(s));
            continue;
        }
        kept.push_back(s);
        design.subjects.push_back(std::to_string(s));
    }
    design.group.assign(kept.size(), 0);
    FormScores(store, kept, decimalSeparator, std::move(scan), design);
    return design;
}

namespace {

// DesignFromStudy where every text is a score: the texts parsed once, in
// blocks that `beside` takes too, their units kept as the parse reads them.
// False where some text is not a score (a subject with an empty one is then
// removed by the scan that follows, which also finds the first bad text) or
// the units do not fit; the design's subjects and units are then left to it.
bool ParsedScores(const StudyStore& store, char decimalSeparator, std::span<ParsedBlockSink* const> beside,
                  DesignData& design) {
    const auto n = static_cast<std::size_t>(design.subjectsRead);
    const std::size_t cells = design.within[0].levels.size() * design.within[1].levels.size();
    UnitsSink units(n * cells, cells);
    std::vector<ParsedBlockSink*> sinks{&units};
    sinks.insert(sinks.end(), beside.begin(), beside.end());
    try {
        ParseAllScores(store, decimalSeparator, sinks);
    } catch (const ConvertError&) {
        return false;
    }
    if (!units.Whole()) return false;
    for (std::size_t s = 1; s <= n; ++s) design.subjects.push_back(std::to_string(s));
    design.group.assign(n, 0);
    design.scale = static_cast<int>(-units.Least());
    design.units = units.Units();
    design.units.resize(n * cells);
    AssignLarge(design.rows, n * cells, 1);
    design.exact = true;
    return true;
}

// A subject at a time, its units in their order, each after the last: a
// short score of the least place (the most) goes straight in, any other by
// Add or AddText.
void UnitsSink::Take(const ParsedBlock& block) {
    if (!whole_) return;
    if (units_.capacity() == 0) ReserveLarge(units_, count_);
    const auto count = static_cast<std::size_t>(block.count), nb = static_cast<std::size_t>(block.levelsB);
    for (std::size_t t = 0; t < count && whole_; ++t)
        for (std::size_t c = 0; c < cells_; ++c) {
            const ScoreDigits d = block.digits[c * count + t];
            if (d.present && (d.digits == 0 || (any_ && d.exponent == least_))) {
                units_.push_back(d.negative ? -Int128{d.digits} : Int128{d.digits});
                continue;
            }
            if (d.present) {
                Add(d.negative ? -Int128{d.digits} : Int128{d.digits}, d.exponent);
            } else {
                const auto a = static_cast<std::int32_t>(c / nb), b = static_cast<std::int32_t>(c % nb);
                AddText(block.Text(a, b, static_cast<std::int32_t>(t)), block.decimalSeparator);
            }
            if (!whole_) return;
        }
}

// Take, for a score whose digits the parse did not keep: from its text.
void UnitsSink::AddText(std::string_view text, char separator) {
    if (QuickScore q; ReadQuickScore(text, separator, q)) {
        const Int128 m = q.digits;
        return Add(q.negative ? -m : m, q.exponent);
    }
    const std::optional<ScoreParts> parts = ScanScore(text, separator);
    const std::optional<design::WideDecimal> wide = parts ? DecimalOf(*parts) : std::nullopt;
    if (!wide) {
        whole_ = false;
        return;
    }
    Add(wide->mantissa, wide->exponent);
}

// Take, for each score: its units, the units so far first moved to its power
// of ten where that is smaller.
void UnitsSink::Add(Int128 mantissa, long exponent) {
    if (mantissa != 0 && (!any_ || exponent < least_) && !Rescale(exponent)) return;
    const long shift = exponent - least_;
    Int128 units = 0;
    if (mantissa != 0 &&
        (shift > 38 ||
         __builtin_mul_overflow(mantissa, static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(shift)]), &units))) {
        whole_ = false;
        return;
    }
    units_.push_back(units);
}

// The units so far in units of 10^exponent; false (given up) where one does not fit.
bool UnitsSink::Rescale(long exponent) {
    if (any_) {
        const long shift = least_ - exponent;
        const auto factor = static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(std::min(shift, 38L))]);
        for (Int128& u : units_)
            if (u != 0 && (shift > 38 || __builtin_mul_overflow(u, factor, &u))) {
                whole_ = false;
                return false;
            }
    }
    any_ = true;
    least_ = exponent;
    return true;
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
            // 38 digits fit in 128 bits; the check comes before the digit is taken.
            if (digits + zeros >= 38) return false;
            for (; zeros > 0; --zeros, ++digits) out.mantissa *= 10;
            out.mantissa = out.mantissa * 10 + (c - '0');
            ++digits;
        }
        return true;
    };
    if (!take(parts.integerDigits) || !take(parts.fractionDigits)) return std::nullopt;
    if (digits == 0) return design::WideDecimal{};
    out.exponent = exponent + zeros;
    if (parts.negative) out.mantissa = -out.mantissa;
    return out;
}

// DesignFromStudy, first: every score text scanned once, in the order
// subject, level of A, level of B; the first that is neither empty nor a
// score stops it.
Scan ScanScores(const StudyStore& store, std::int32_t n, std::size_t cells, char decimalSeparator) {
    Scan scan;
    scan.missing.assign(static_cast<std::size_t>(n) + 1, false);
    const std::size_t count = static_cast<std::size_t>(n) * cells;
    scan.mantissa.assign(count, 0);
    scan.exponent.assign(count, 0);
    bool any = false;
    std::size_t at = 0;
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b, ++at) {
                const std::string_view text = store.CellText.Text(s, a, b);
                const std::optional<ScoreParts> parts = ScanScore(text, decimalSeparator);
                if (!parts) {
                    if (!Empty(text)) throw ConvertError(messages::NotAFloat(text), ScoreCell{s, a, b});
                    scan.missing[static_cast<std::size_t>(s)] = true;
                    continue;
                }
                // Beyond 10^4900 in magnitude the value may leave the extended range.
                if (static_cast<std::int64_t>(parts->integerDigits.size()) + parts->exponent >= 4900 &&
                    !IsScore(text, decimalSeparator))
                    throw ConvertError(messages::NotAFloat(text), ScoreCell{s, a, b});
                if (!scan.decimal) continue;
                const std::optional<design::WideDecimal> d = DecimalOf(*parts);
                if (!d) {
                    scan.decimal = false;
                    continue;
                }
                scan.mantissa[at] = d->mantissa;
                scan.exponent[at] = static_cast<std::int32_t>(d->exponent);
                if (d->mantissa != 0)
                    scan.least = any ? std::min(scan.least, d->exponent) : d->exponent, any = true;
            }
    return scan;
}

// DesignFromStudy, last: each kept subject's scores as the units of the least
// power of ten of them all, where every one is a decimal of at most 38
// significant digits whose units fit 128 bits; else as extended values.
void FormScores(const StudyStore& store, const std::vector<std::int32_t>& kept, char decimalSeparator,
                Scan&& scan, DesignData& design) {
    const std::int32_t na = store.LevelCountA, nb = store.LevelCountB;
    const std::size_t cells =
        static_cast<std::size_t>(std::max(na, 0)) * static_cast<std::size_t>(std::max(nb, 0));
    const std::size_t count = kept.size() * cells;
    bool exact = scan.decimal;
    if (exact) {
        // The kept subjects' units in place of the scan's mantissas, subject by subject.
        design.scale = static_cast<int>(-scan.least);
        std::vector<Int128>& units = scan.mantissa;
        for (std::size_t i = 0; i < kept.size() && exact; ++i)
            for (std::size_t c = 0; c < cells; ++c) {
                const std::size_t from = static_cast<std::size_t>(kept[i] - 1) * cells + c, to = i * cells + c;
                Int128 u = units[from];
                const long shift = scan.exponent[from] - scan.least;
                if (u != 0 &&
                    (shift > 38 || __builtin_mul_overflow(u, static_cast<Int128>(kPowersOfTen128[static_cast<std::size_t>(shift)]), &u))) {
                    exact = false;
                    break;
                }
                units[to] = u;
            }
        if (exact) {
            units.resize(count);
            units.shrink_to_fit();
            design.units = std::move(units);
            design.rows.assign(count, 1);
            design.exact = true;
            return;
        }
    }
    scan = Scan{};
    if (WideScores(store, kept, decimalSeparator, design)) return;
    design.exact = false;
    design.scale = 0;
    design.values.resize(count);
    for (std::size_t i = 0; i < kept.size(); ++i)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                design.values[i * cells + static_cast<std::size_t>((a - 1) * nb + (b - 1))] =
                    ScoreValue(store.CellText.Text(kept[i], a, b), decimalSeparator);
}

// FormScores, where 128 bits do not hold the units (a score of more than 38
// significant digits, or scores of powers of ten far apart): each kept
// subject's scores as GMP integers in units of 10^-scale, the scale the least
// power of ten of them (0 at most); false where their powers of ten lie
// further apart than kMostWideSpread.
bool WideScores(const StudyStore& store, const std::vector<std::int32_t>& kept, char decimalSeparator,
                DesignData& design) {
    const std::int32_t na = store.LevelCountA, nb = store.LevelCountB;
    const auto termOf = [&](std::int32_t s, std::int32_t a, std::int32_t b) {
        return design::DecimalTerm{0, 0, false, store.CellText.Text(s, a, b)};
    };
    // The least and the most of the scores' least powers of ten (none for zeros alone).
    long least = std::numeric_limits<long>::max(), most = std::numeric_limits<long>::min();
    for (const std::int32_t s : kept)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                if (const std::optional<long> power = design::LeastPowerOf(termOf(s, a, b), decimalSeparator))
                    least = std::min(least, *power), most = std::max(most, *power);
    if (least > most) least = most = 0;
    if (most - least > design::kMostWideSpread) return false;
    design.scale = static_cast<int>(-std::min(least, 0L));
    const std::size_t cells =
        static_cast<std::size_t>(std::max(na, 0)) * static_cast<std::size_t>(std::max(nb, 0));
    EnsureAffordable(kept.size() * cells, sizeof(mpz_class));
    design.wideUnits.assign(kept.size() * cells, 0);
    for (std::size_t i = 0; i < kept.size(); ++i)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                design.wideUnits[i * cells + static_cast<std::size_t>((a - 1) * nb + (b - 1))] =
                    design::UnitsOf(termOf(kept[i], a, b), decimalSeparator, design.scale);
    design.units.clear();
    design.rows.assign(kept.size() * cells, 1);
    design.exact = true;
    return true;
}

}  // namespace
}  // namespace morvane
