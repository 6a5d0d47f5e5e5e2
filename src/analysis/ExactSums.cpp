#include "analysis/ExactSums.h"

#include <gmpxx.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <string>

#include "analysis/ScoreSyntax.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {
namespace {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

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

void ReadDecimal(std::string_view text, char separator, Decimal& out) {
    const auto parts = ScanScore(text, separator);
    // The caller parsed every score before: a text that does not scan here is
    // a fault of the program, not of the data.
    if (!parts) throw ConvertError(messages::NotAFloat(text));
    out.parts = *parts;
    const std::size_t all = parts->integerDigits.size() + parts->fractionDigits.size();
    out.lead = 0;
    while (out.lead < all && out.Digit(out.lead) == '0') ++out.lead;
    out.end = all;
    while (out.end > out.lead && out.Digit(out.end - 1) == '0') --out.end;
    out.exponent =
        parts->exponent - static_cast<int>(parts->fractionDigits.size()) + static_cast<int>(all - out.end);
}

// The extent of the study's scores over the smallest power of ten.
struct ScaleSurvey {
    int minExponent = INT_MAX;  // of the non-zero scores
    int maxTop = INT_MIN;       // digits + exponent: the decade above the largest
    std::int64_t count = 0;
    int Span() const { return minExponent == INT_MAX ? 0 : maxTop - minExponent; }
    int Scale() const { return minExponent == INT_MAX ? 0 : minExponent; }
};

template <typename Visit>
void ForEachScore(const StudyStore& store, Visit&& visit) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b) visit(s - 1, a - 1, b - 1, store.CellText(s, a, b));
}

int DecimalDigits(std::int64_t value) {
    int digits = 1;
    while (value >= 10) value /= 10, ++digits;
    return digits;
}

// An unsigned 256-bit accumulator of squares, in four 64-bit limbs.
struct UInt256 {
    std::array<std::uint64_t, 4> limb{};

    void AddAt(std::size_t at, UInt128 value) {
        for (std::size_t i = at; i < limb.size() && value != 0; ++i) {
            const UInt128 sum = static_cast<UInt128>(limb[i]) + static_cast<std::uint64_t>(value);
            limb[i] = static_cast<std::uint64_t>(sum);
            value = (value >> 64) + (sum >> 64);
        }
    }
    void MultiplyBy(std::uint64_t factor) {
        std::uint64_t carry = 0;
        for (std::uint64_t& l : limb) {
            const UInt128 product = static_cast<UInt128>(l) * factor + carry;
            l = static_cast<std::uint64_t>(product);
            carry = static_cast<std::uint64_t>(product >> 64);
        }
    }
    void AddSquare(Int128 x) {
        const UInt128 m = x < 0 ? -static_cast<UInt128>(x) : static_cast<UInt128>(x);
        const auto lo = static_cast<std::uint64_t>(m), hi = static_cast<std::uint64_t>(m >> 64);
        AddAt(0, static_cast<UInt128>(lo) * lo);
        const UInt128 cross = static_cast<UInt128>(lo) * hi;
        AddAt(1, cross);
        AddAt(1, cross);
        AddAt(2, static_cast<UInt128>(hi) * hi);
    }
};

mpz_class ToMpz(const UInt256& value) {
    mpz_class out;
    mpz_import(out.get_mpz_t(), value.limb.size(), -1, sizeof(std::uint64_t), 0, 0, value.limb.data());
    return out;
}

mpz_class ToMpz(Int128 value) {
    const UInt128 m = value < 0 ? -static_cast<UInt128>(value) : static_cast<UInt128>(value);
    const std::uint64_t limbs[2] = {static_cast<std::uint64_t>(m), static_cast<std::uint64_t>(m >> 64)};
    mpz_class out;
    mpz_import(out.get_mpz_t(), 2, -1, sizeof(std::uint64_t), 0, 0, limbs);
    if (value < 0) out = -out;
    return out;
}

// A value below 2^127 in magnitude.
Int128 ToInt128(const mpz_class& value) {
    std::uint64_t limbs[2] = {0, 0};
    std::size_t count = 0;
    mpz_export(limbs, &count, -1, sizeof(std::uint64_t), 0, 0, value.get_mpz_t());
    const auto m = static_cast<Int128>((static_cast<UInt128>(limbs[1]) << 64) | limbs[0]);
    return value < 0 ? -m : m;
}

mpz_class PowerOfTen(unsigned long k) {
    mpz_class out;
    mpz_ui_pow_ui(out.get_mpz_t(), 10, k);
    return out;
}

// num / den x 10^scale10 rounded to the nearest extended value, ties to even,
// denormals included; den > 0. OverflowError beyond the extended range.
Extended RoundRational(const mpz_class& num, const mpz_class& den, long scale10) {
    if (num == 0) return 0;
    mpz_class p = abs(num), q = den;
    if (scale10 >= 0)
        p *= PowerOfTen(static_cast<unsigned long>(scale10));
    else
        q *= PowerOfTen(static_cast<unsigned long>(-scale10));
    // p / q lies in [2^(e-1), 2^(e+1)); a unit of 2^u with u = e - 64 leaves a
    // quotient of 64 or 65 bits, one more unit when 65.
    const long e = static_cast<long>(mpz_sizeinbase(p.get_mpz_t(), 2)) -
                   static_cast<long>(mpz_sizeinbase(q.get_mpz_t(), 2));
    constexpr long kMinUnit = -16445;  // the unit of the smallest denormal
    long u = std::max(e - 64, kMinUnit);
    mpz_class r, rem;
    const auto divide = [&](long unit) {
        mpz_class top = p, bottom = q;
        if (unit < 0)
            mpz_mul_2exp(top.get_mpz_t(), top.get_mpz_t(), static_cast<mp_bitcnt_t>(-unit));
        else
            mpz_mul_2exp(bottom.get_mpz_t(), bottom.get_mpz_t(), static_cast<mp_bitcnt_t>(unit));
        mpz_fdiv_qr(r.get_mpz_t(), rem.get_mpz_t(), top.get_mpz_t(), bottom.get_mpz_t());
        return bottom;
    };
    mpz_class bottom = divide(u);
    if (mpz_sizeinbase(r.get_mpz_t(), 2) > 64) bottom = divide(++u);
    const int half = cmp(2 * rem, bottom);
    if (half > 0 || (half == 0 && mpz_odd_p(r.get_mpz_t()))) ++r;
    if (u + static_cast<long>(mpz_sizeinbase(r.get_mpz_t(), 2)) > 16384) ThrowOverflow();
    Extended value;
    if (mpz_sizeinbase(r.get_mpz_t(), 2) > 64)  // rounded up to 2^64
        value = std::ldexp(Extended{1}, static_cast<int>(u + 64));
    else
        value = std::ldexp(static_cast<Extended>(mpz_get_ui(r.get_mpz_t())), static_cast<int>(u));
    return num < 0 ? -value : value;
}

struct Counts {
    std::int64_t n, na, nb;
    std::size_t Cells() const { return static_cast<std::size_t>(n * na * nb); }
};

// The exact totals: the grand total, the sum of the squared scores and, for each
// kind of group, the sum of its squared group totals.
struct ExactTotals {
    mpz_class t, qTotal, qA, qB, qS, qAB, qAS, qBS;
};

// The group totals of the integer scores, with machine integers (Int128) or big ones.
template <typename Int>
struct GroupTotals {
    std::vector<Int> a, b, s, ab, as, bs;
    Int t = 0;

    explicit GroupTotals(const Counts& c)
        : a(static_cast<std::size_t>(c.na)),
          b(static_cast<std::size_t>(c.nb)),
          s(static_cast<std::size_t>(c.n)),
          ab(static_cast<std::size_t>(c.na * c.nb)),
          as(static_cast<std::size_t>(c.n * c.na)),
          bs(static_cast<std::size_t>(c.n * c.nb)) {}

    void Add(const Counts& c, std::int32_t s0, std::int32_t a0, std::int32_t b0, const Int& x) {
        const auto si = static_cast<std::size_t>(s0), ai = static_cast<std::size_t>(a0),
                   bi = static_cast<std::size_t>(b0);
        const auto na = static_cast<std::size_t>(c.na), nb = static_cast<std::size_t>(c.nb);
        t += x;
        a[ai] += x;
        b[bi] += x;
        s[si] += x;
        ab[ai * nb + bi] += x;
        as[si * na + ai] += x;
        bs[si * nb + bi] += x;
    }
};

template <typename Int>
mpz_class SumOfSquares(const std::vector<Int>& totals) {
    if constexpr (std::is_same_v<Int, Int128>) {
        UInt256 sum;
        for (Int128 g : totals) sum.AddSquare(g);
        return ToMpz(sum);
    } else {
        mpz_class sum = 0;
        for (const mpz_class& g : totals) sum += g * g;
        return sum;
    }
}

template <typename Int>
ExactTotals Finish(const GroupTotals<Int>& g, mpz_class qTotal) {
    ExactTotals out;
    if constexpr (std::is_same_v<Int, Int128>)
        out.t = ToMpz(g.t);
    else
        out.t = g.t;
    out.qTotal = std::move(qTotal);
    out.qA = SumOfSquares(g.a);
    out.qB = SumOfSquares(g.b);
    out.qS = SumOfSquares(g.s);
    out.qAB = SumOfSquares(g.ab);
    out.qAS = SumOfSquares(g.as);
    out.qBS = SumOfSquares(g.bs);
    return out;
}

// 10^k as a 128-bit integer, 0 <= k <= 38.
UInt128 PowerOfTen128(int k) {
    UInt128 p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    return p;
}

Extended ExactPowerOfTen(int k) {
    Extended p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    return p;
}

// The scaled integer scores as 128-bit integers: every total stays below 10^37.
// The scores as the survey read them, while each has at most 18 significant
// digits (below 2^63, the sign bit free): the second pass then reads no text.
struct CompactScores {
    bool usable = true;
    std::vector<std::uint64_t> mantissa;  // signed magnitude: the top bit is the sign
    std::vector<std::int32_t> exponent;

    void Add(const Decimal& d) {
        if (!usable) return;
        if (d.Digits() > 18) {
            usable = false;
            mantissa = {};
            exponent = {};
            return;
        }
        std::uint64_t m = 0;
        d.ForEachDigit([&](char ch) { m = m * 10 + static_cast<unsigned>(ch - '0'); });
        mantissa.push_back(d.parts.negative && m != 0 ? m | kSign : m);
        exponent.push_back(d.exponent);
    }
    static constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
};

ExactTotals FastTotals(const StudyStore& store, char separator, const Counts& c, int scale, bool keepOffsets,
                       std::vector<Int128>* scaled, const CompactScores& compact) {
    std::array<UInt128, 39> powers{};
    for (int k = 0; k <= 38; ++k) powers[static_cast<std::size_t>(k)] = PowerOfTen128(k);
    GroupTotals<Int128> g(c);
    UInt256 qTotal;
    Decimal d;
    if (keepOffsets) scaled->resize(c.Cells());
    std::size_t index = 0;
    const auto add = [&](std::int32_t s, std::int32_t a, std::int32_t b, Int128 x) {
        g.Add(c, s, a, b, x);
        qTotal.AddSquare(x);
        if (keepOffsets) (*scaled)[index] = x;
        ++index;
    };
    if (compact.usable) {
        ForEachScore(store, [&](std::int32_t s, std::int32_t a, std::int32_t b, std::string_view) {
            const std::uint64_t word = compact.mantissa[index];
            const UInt128 m = static_cast<UInt128>(word & ~CompactScores::kSign) *
                              powers[static_cast<std::size_t>(compact.exponent[index] - scale)];
            add(s, a, b,
                (word & CompactScores::kSign) != 0 ? -static_cast<Int128>(m) : static_cast<Int128>(m));
        });
    } else {
        ForEachScore(store, [&](std::int32_t s, std::int32_t a, std::int32_t b, std::string_view text) {
            ReadDecimal(text, separator, d);
            Int128 x = 0;
            if (!d.Zero()) {
                UInt128 m = 0;
                d.ForEachDigit([&](char ch) { m = m * 10 + static_cast<unsigned>(ch - '0'); });
                m *= powers[static_cast<std::size_t>(d.exponent - scale)];
                x = d.parts.negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
            }
            add(s, a, b, x);
        });
    }
    return Finish(g, ToMpz(qTotal));
}

ExactTotals BigTotals(const StudyStore& store, char separator, const Counts& c, int scale, bool keepOffsets,
                      std::vector<mpz_class>* scaled) {
    GroupTotals<mpz_class> g(c);
    mpz_class qTotal = 0;
    Decimal d;
    if (keepOffsets) scaled->resize(c.Cells());
    std::size_t index = 0;
    ForEachScore(store, [&](std::int32_t s, std::int32_t a, std::int32_t b, std::string_view text) {
        ReadDecimal(text, separator, d);
        mpz_class x = 0;
        if (!d.Zero()) {
            std::string digits;
            d.ForEachDigit([&](char ch) { digits.push_back(ch); });
            x.set_str(digits, 10);
            x *= PowerOfTen(static_cast<unsigned long>(d.exponent - scale));
            if (d.parts.negative) x = -x;
        }
        g.Add(c, s, a, b, x);
        qTotal += x * x;
        if (keepOffsets) (*scaled)[index++] = std::move(x);
    });
    return Finish(g, std::move(qTotal));
}

// Degrees of freedom in 64 bits.
struct Dfs {
    std::int64_t s, a, as, b, bs, ab, abs, total, within;
    explicit Dfs(const Counts& c)
        : s(c.n - 1),
          a(c.na - 1),
          as((c.na - 1) * (c.n - 1)),
          b(c.nb - 1),
          bs((c.nb - 1) * (c.n - 1)),
          ab((c.na - 1) * (c.nb - 1)),
          abs((c.na - 1) * (c.nb - 1) * (c.n - 1)),
          total(c.na * c.nb * c.n - 1),
          within((c.na * c.nb - 1) * c.n) {}
};

mpz_class Big(std::int64_t v) {
    mpz_class out;
    mpz_set_si(out.get_mpz_t(), static_cast<long>(v));
    return out;
}

// The partition from the exact totals; every sum of squares is num / D x 10^(2 scale)
// with D = N na nb.
void ExactPartitionFrom(const ExactTotals& e, const Counts& c, int scale, ExactPartition& out) {
    const mpz_class n = Big(c.n), na = Big(c.na), nb = Big(c.nb);
    const mpz_class d = n * na * nb, t2 = e.t * e.t;
    const mpz_class total = d * e.qTotal - t2;
    const mpz_class a = na * e.qA - t2;
    const mpz_class b = nb * e.qB - t2;
    const mpz_class s = n * e.qS - t2;
    const mpz_class ab = na * nb * e.qAB - t2 - a - b;
    const mpz_class as = n * na * e.qAS - t2 - a - s;
    const mpz_class bs = n * nb * e.qBS - t2 - b - s;
    const mpz_class abs = total - a - b - s - ab - as - bs;
    const mpz_class within = total - s;
    const long scale2 = 2L * scale;
    const Dfs df(c);
    const auto source = [&](const mpz_class& num, std::int64_t dof) {
        PartitionSource src;
        src.ss = RoundRational(num, d, scale2);
        src.df = dof;
        src.zero = num == 0;
        if (dof > 0) src.ms = RoundRational(num, d * Big(dof), scale2);
        return src;
    };
    out.S = source(s, df.s);
    out.A = source(a, df.a);
    out.AS = source(as, df.as);
    out.B = source(b, df.b);
    out.BS = source(bs, df.bs);
    out.AB = source(ab, df.ab);
    out.ABS = source(abs, df.abs);
    out.Total = source(total, df.total);
    out.Total.ms.reset();
    out.Within = source(within, df.within);
    out.Within.ms.reset();
    const auto ratio = [](const mpz_class& effect, std::int64_t dfEffect, const mpz_class& error,
                          std::int64_t dfError) -> std::optional<Extended> {
        if (dfEffect <= 0 || dfError <= 0 || error == 0) return std::nullopt;
        return RoundRational(effect * Big(dfError), error * Big(dfEffect), 0);
    };
    out.fA = ratio(a, df.a, as, df.as);
    out.fB = ratio(b, df.b, bs, df.bs);
    out.fAB = ratio(ab, df.ab, abs, df.abs);
}

// Keeps the exact integer offsets of a partition while each fits in 32 bits.
struct IntegerOffsets {
    ExactPartition& out;
    bool fits = true;

    IntegerOffsets(ExactPartition& partition, std::size_t cells, int scale) : out(partition) {
        out.integerOffsets.resize(cells);
        out.offsetScale = scale;
        out.offsetBound = 0;
    }
    void Set(std::size_t i, Int128 difference) {
        if (!fits) return;
        const UInt128 m =
            difference < 0 ? -static_cast<UInt128>(difference) : static_cast<UInt128>(difference);
        if (m > static_cast<UInt128>(INT32_MAX)) {
            fits = false;
            std::vector<std::int32_t>().swap(out.integerOffsets);
            out.offsetBound = 0;
            return;
        }
        out.integerOffsets[i] = static_cast<std::int32_t>(difference);
        out.offsetBound = std::max(out.offsetBound, static_cast<std::int64_t>(m));
    }
};

// (x - reference) x 10^scale for every scaled score, each rounded about once.
// The integer offsets where they all fit, else the extended ones.
void OffsetsFromScaled(const std::vector<Int128>& scaled, Int128 reference, int scale, ExactPartition& part) {
    IntegerOffsets exact(part, scaled.size(), scale);
    for (std::size_t i = 0; i < scaled.size() && exact.fits; ++i) exact.Set(i, scaled[i] - reference);
    if (exact.fits) return;
    std::vector<Extended>& out = part.offsets;
    out.resize(scaled.size());
    const int magnitude = scale < 0 ? -scale : scale;
    const Extended factor = magnitude <= 27 ? ExactPowerOfTen(magnitude) : std::pow(Extended{10}, magnitude);
    for (std::size_t i = 0; i < scaled.size(); ++i) {
        const auto difference = static_cast<Extended>(scaled[i] - reference);
        out[i] = scale < 0 ? difference / factor : difference * factor;
    }
}

void OffsetsFromBig(const std::vector<mpz_class>& scaled, const mpz_class& reference, int scale,
                    std::vector<Extended>& out) {
    out.resize(scaled.size());
    const mpz_class one = 1;
    for (std::size_t i = 0; i < scaled.size(); ++i) out[i] = RoundRational(scaled[i] - reference, one, scale);
}

// The two-pass computation in extended precision: offsets from the mean of
// the values of the texts, then every sum of squares from the deviations of
// the means.
void CentredPartition(const StudyStore& store, char separator, const Counts& c, ExactPartition& out) {
    out.method = PartitionMethod::Centred;
    const auto n = static_cast<std::size_t>(c.n), na = static_cast<std::size_t>(c.na),
               nb = static_cast<std::size_t>(c.nb);
    const Extended cells = static_cast<Extended>(c.n * c.na * c.nb);
    // The values themselves, in the offsets' place until the mean is known.
    std::vector<Extended>& y = out.offsets;
    y.resize(c.Cells());
    std::size_t i = 0;
    for (std::int32_t s = 1; s <= c.n; ++s)
        for (std::int32_t a = 1; a <= c.na; ++a)
            for (std::int32_t b = 1; b <= c.nb; ++b) y[i++] = ScoreValue(store.CellText(s, a, b), separator);
    Extended sum = 0;
    for (const Extended value : y) sum = CheckedAdd(sum, value / cells);
    out.reference = sum;
    for (Extended& value : y) value = CheckedSub(value, out.reference);

    std::vector<Extended> mA(na), mB(nb), mS(n), mAB(na * nb), mAS(n * na), mBS(n * nb);
    Extended g = 0;
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t a = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b) {
                const Extended v = y[(s * na + a) * nb + b];
                g += v;
                mA[a] += v;
                mB[b] += v;
                mS[s] += v;
                mAB[a * nb + b] += v;
                mAS[s * na + a] += v;
                mBS[s * nb + b] += v;
            }
    const auto scaleAll = [](std::vector<Extended>& v, Extended count) {
        for (Extended& x : v) x /= count;
    };
    const auto N = static_cast<Extended>(c.n), NA = static_cast<Extended>(c.na),
               NB = static_cast<Extended>(c.nb);
    g /= cells;
    scaleAll(mA, N * NB);
    scaleAll(mB, N * NA);
    scaleAll(mS, NA * NB);
    scaleAll(mAB, N);
    scaleAll(mAS, NB);
    scaleAll(mBS, NA);
    Extended total = 0, ssA = 0, ssB = 0, ssS = 0, ssAB = 0, ssAS = 0, ssBS = 0, ssABS = 0;
    for (std::size_t a = 0; a < na; ++a) ssA += (mA[a] - g) * (mA[a] - g);
    for (std::size_t b = 0; b < nb; ++b) ssB += (mB[b] - g) * (mB[b] - g);
    for (std::size_t s = 0; s < n; ++s) ssS += (mS[s] - g) * (mS[s] - g);
    for (std::size_t a = 0; a < na; ++a)
        for (std::size_t b = 0; b < nb; ++b) {
            const Extended r = mAB[a * nb + b] - mA[a] - mB[b] + g;
            ssAB += r * r;
        }
    for (std::size_t s = 0; s < n; ++s) {
        for (std::size_t a = 0; a < na; ++a) {
            const Extended r = mAS[s * na + a] - mA[a] - mS[s] + g;
            ssAS += r * r;
        }
        for (std::size_t b = 0; b < nb; ++b) {
            const Extended r = mBS[s * nb + b] - mB[b] - mS[s] + g;
            ssBS += r * r;
        }
        for (std::size_t a = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b) {
                const Extended v = y[(s * na + a) * nb + b];
                total += (v - g) * (v - g);
                const Extended r =
                    v - mAB[a * nb + b] - mAS[s * na + a] - mBS[s * nb + b] + mA[a] + mB[b] + mS[s] - g;
                ssABS += r * r;
            }
    }
    const Dfs df(c);
    const auto source = [](Extended ss, std::int64_t dof, bool withMs) {
        PartitionSource src;
        src.ss = CheckFinite(ss);
        src.df = dof;
        src.zero = ss == 0;
        if (withMs && dof > 0) src.ms = ss / static_cast<Extended>(dof);
        return src;
    };
    out.S = source(ssS * NA * NB, df.s, true);
    out.A = source(ssA * N * NB, df.a, true);
    out.AS = source(ssAS * NB, df.as, true);
    out.B = source(ssB * N * NA, df.b, true);
    out.BS = source(ssBS * NA, df.bs, true);
    out.AB = source(ssAB * N, df.ab, true);
    out.ABS = source(ssABS, df.abs, true);
    out.Total = source(total, df.total, false);
    out.Within = source(total - out.S.ss, df.within, false);
    const auto ratio = [](const PartitionSource& effect,
                          const PartitionSource& error) -> std::optional<Extended> {
        if (!effect.ms || !error.ms || error.zero) return std::nullopt;
        return CheckFinite(*effect.ms / *error.ms);
    };
    out.fA = ratio(out.A, out.AS);
    out.fB = ratio(out.B, out.BS);
    out.fAB = ratio(out.AB, out.ABS);
}

// The scaled integer of a score text, or nothing when it needs more than the
// fast path's digits; `scale` is at most the text's exponent.
Int128 ScaledInteger(std::string_view text, char separator, int scale,
                     const std::array<UInt128, 39>& powers) {
    QuickScore q;
    if (ReadQuickScore(text, separator, q)) {
        if (q.digits == 0) return 0;
        const UInt128 m =
            static_cast<UInt128>(q.digits) * powers[static_cast<std::size_t>(q.exponent - scale)];
        return q.negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
    }
    Decimal d;
    ReadDecimal(text, separator, d);
    if (d.Zero()) return 0;
    UInt128 m = 0;
    d.ForEachDigit([&](char ch) { m = m * 10 + static_cast<unsigned>(ch - '0'); });
    m *= powers[static_cast<std::size_t>(d.exponent - scale)];
    return d.parts.negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
}

std::array<UInt128, 39> PowersOfTen128() {
    std::array<UInt128, 39> powers{};
    for (int k = 0; k <= 38; ++k) powers[static_cast<std::size_t>(k)] = PowerOfTen128(k);
    return powers;
}

}  // namespace

struct ExactTotalsBuilder::State {
    Counts c;
    bool usable = true;
    int digitLimit = 0;      // the widest span of decimal places the 128-bit totals hold
    int scale = INT_MAX;     // the smallest exponent so far, of the non-zero scores
    int maxTop = INT_MIN;    // digits + exponent
    std::int32_t block = 0;  // subjects in the current block
    std::array<UInt128, 39> powers = PowersOfTen128();
    std::vector<Int128> ab;      // [a][b]
    std::vector<Int128> as, bs;  // the block's [t][a] and [t][b]
    UInt256 qTotal, qS, qAS, qBS;
    // The builder's 64-bit sums, in the same order.
    std::vector<std::int64_t> fastAB, fastAS, fastBS;

    void GiveUp() {
        usable = false;
        std::vector<Int128>().swap(ab);
        std::vector<Int128>().swap(as);
        std::vector<Int128>().swap(bs);
        std::vector<std::int64_t>().swap(fastAB);
        std::vector<std::int64_t>().swap(fastAS);
        std::vector<std::int64_t>().swap(fastBS);
    }
    // Takes in a score of exponent e and digits + exponent top: false when the
    // totals can no longer hold the span.
    bool Widen(int e, int top) {
        const int newScale = std::min(scale, e), newTop = std::max(maxTop, top);
        if (newTop - newScale > digitLimit) {
            GiveUp();
            return false;
        }
        if (newScale < scale && scale != INT_MAX) {
            // Every total so far in units of the new, smaller power of ten.
            const int k = scale - newScale;
            const Int128 factor = static_cast<Int128>(powers[static_cast<std::size_t>(k)]);
            for (auto* totals : {&ab, &as, &bs})
                for (Int128& v : *totals) v *= factor;
            for (int left = 2 * k; left > 0; left -= 19) {
                const std::uint64_t f =
                    static_cast<std::uint64_t>(powers[static_cast<std::size_t>(std::min(left, 19))]);
                for (UInt256* q : {&qTotal, &qS, &qAS, &qBS}) q->MultiplyBy(f);
            }
        }
        scale = newScale;
        maxTop = newTop;
        return true;
    }
    void Add(std::int32_t t, std::int32_t a, std::int32_t b, UInt128 m, int exponent, bool negative) {
        m *= powers[static_cast<std::size_t>(exponent - scale)];
        const Int128 x = negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
        const auto na = static_cast<std::size_t>(c.na), nb = static_cast<std::size_t>(c.nb);
        const auto ti = static_cast<std::size_t>(t), ai = static_cast<std::size_t>(a),
                   bi = static_cast<std::size_t>(b);
        ab[ai * nb + bi] += x;
        as[ti * na + ai] += x;
        bs[ti * nb + bi] += x;
        qTotal.AddSquare(x);
    }
};

ExactTotalsBuilder::ExactTotalsBuilder(const StudyStore& store) : state_(std::make_unique<State>()) {
    State& st = *state_;
    st.c = Counts{store.SubjectCount, store.LevelCountA, store.LevelCountB};
    if (st.c.n < 1 || st.c.na < 1 || st.c.nb < 1) {
        st.GiveUp();
        return;
    }
    st.digitLimit = 37 - DecimalDigits(st.c.n * st.c.na * st.c.nb);
    st.ab.assign(static_cast<std::size_t>(st.c.na * st.c.nb), 0);
    st.fastAB.assign(st.ab.size(), 0);
    na_ = store.LevelCountA;
    nb_ = store.LevelCountB;
    fastAB_ = st.fastAB.data();
}

ExactTotalsBuilder::~ExactTotalsBuilder() = default;

void ExactTotalsBuilder::BeginBlock(std::int32_t, std::int32_t count) {
    State& st = *state_;
    st.block = count;
    if (!st.usable) return;
    st.as.assign(static_cast<std::size_t>(count * st.c.na), 0);
    st.bs.assign(static_cast<std::size_t>(count * st.c.nb), 0);
    st.fastAS.assign(st.as.size(), 0);
    st.fastBS.assign(st.bs.size(), 0);
    fastAS_ = st.fastAS.data();
    fastBS_ = st.fastBS.data();
}

void ExactTotalsBuilder::FoldFast() {
    State& st = *state_;
    for (auto [fast, totals] : {std::pair{&st.fastAB, &st.ab}, {&st.fastAS, &st.as}, {&st.fastBS, &st.bs}})
        for (std::size_t i = 0; i < fast->size(); ++i) {
            (*totals)[i] += (*fast)[i];
            (*fast)[i] = 0;
        }
    st.qTotal.AddAt(0, fastSquares_);
    fastSquares_ = 0;
}

void ExactTotalsBuilder::SetFastWindow() {
    const State& st = *state_;
    if (!st.usable || st.scale == INT_MAX) {
        fastScale_ = 1, fastTop_ = 0;  // empty
        return;
    }
    fastScale_ = st.scale;
    fastTop_ = std::min(st.maxTop, st.scale + kFastPlaces);
}

void ExactTotalsBuilder::AddCellRun(std::int32_t a, std::int32_t b, const Digits* run, std::size_t count) {
    // The window and the cell's sums in locals, so that they stay in registers.
    const auto na = static_cast<std::size_t>(na_), nb = static_cast<std::size_t>(nb_);
    int scale = fastScale_, top = fastTop_;
    std::int64_t* byA = fastAS_ + a;
    std::int64_t* byB = fastBS_ + b;
    std::int64_t sum = 0;
    Unsigned128 squares = 0;
    const auto store = [&] {
        // Nothing was summed unless a square was (and then the totals are there).
        if (squares == 0) return;
        fastAB_[static_cast<std::size_t>(a) * nb + static_cast<std::size_t>(b)] += sum;
        fastSquares_ += squares;
        sum = 0;
        squares = 0;
    };
    for (std::size_t t = 0; t < count; ++t) {
        const Digits d = run[t];
        if (!d.present) continue;
        if (d.exponent >= scale && d.exponent + d.digitCount <= top) {
            const std::int64_t m =
                std::int64_t{d.digits} * kFastPowers[static_cast<std::size_t>(d.exponent - scale)];
            const std::int64_t x = d.negative ? -m : m;
            sum += x;
            squares += static_cast<std::uint64_t>(m * m);
            byA[t * na] += x;
            byB[t * nb] += x;
            continue;
        }
        store();
        AddSlow(static_cast<std::int32_t>(t), a, b, d.digits, d.exponent, d.digitCount, d.negative);
        scale = fastScale_, top = fastTop_;
        byA = fastAS_ + a;
        byB = fastBS_ + b;
    }
    store();
}

void ExactTotalsBuilder::AddSlow(std::int32_t t, std::int32_t a, std::int32_t b, std::uint64_t digits,
                                 int exponent, int digitCount, bool negative) {
    if (exponent >= fastScale_ && exponent + digitCount <= fastTop_) {
        const std::int64_t m =
            static_cast<std::int64_t>(digits) * kFastPowers[static_cast<std::size_t>(exponent - fastScale_)];
        const std::int64_t x = negative ? -m : m;
        const auto ti = static_cast<std::size_t>(t), ai = static_cast<std::size_t>(a),
                   bi = static_cast<std::size_t>(b);
        const auto na = static_cast<std::size_t>(na_), nb = static_cast<std::size_t>(nb_);
        fastAB_[ai * nb + bi] += x;
        fastAS_[ti * na + ai] += x;
        fastBS_[ti * nb + bi] += x;
        fastSquares_ += static_cast<std::uint64_t>(m * m);
        return;
    }
    State& st = *state_;
    if (!st.usable || digits == 0) return;
    if (exponent < st.scale || exponent + digitCount > st.maxTop) {
        // The 64-bit sums are in units of the scale, which may now move down.
        if (exponent < st.scale) FoldFast();
        const bool widened = st.Widen(exponent, exponent + digitCount);
        SetFastWindow();
        if (!widened) return;
    }
    st.Add(t, a, b, digits, exponent, negative);
}

void ExactTotalsBuilder::AddText(std::int32_t t, std::int32_t a, std::int32_t b, std::string_view text,
                                 char separator) {
    State& st = *state_;
    if (!st.usable) return;
    Decimal d;
    ReadDecimal(text, separator, d);
    if (d.Zero()) return;
    if (d.exponent < st.scale) FoldFast();
    const bool widened = st.Widen(d.exponent, d.exponent + d.Digits());
    SetFastWindow();
    if (!widened) return;
    UInt128 m = 0;
    d.ForEachDigit([&](char ch) { m = m * 10 + static_cast<unsigned>(ch - '0'); });
    st.Add(t, a, b, m, d.exponent, d.parts.negative);
}

namespace {

// A sum of squares that takes those of totals below 2^64 in magnitude in 128
// bits and counts the carries out of them, the rest straight into `total`.
class SquareSum {
public:
    explicit SquareSum(UInt256& total) : total_(total) {}
    ~SquareSum() {
        total_.AddAt(0, low_);
        total_.AddAt(2, carries_);
    }
    SquareSum(const SquareSum&) = delete;
    SquareSum& operator=(const SquareSum&) = delete;

    void Add(Int128 x) {
        const UInt128 m = x < 0 ? -static_cast<UInt128>(x) : static_cast<UInt128>(x);
        if (m >> 64 != 0) return total_.AddSquare(x);
        const UInt128 square =
            static_cast<UInt128>(static_cast<std::uint64_t>(m)) * static_cast<std::uint64_t>(m);
        low_ += square;
        carries_ += low_ < square;
    }

private:
    UInt256& total_;
    UInt128 low_ = 0;
    std::uint64_t carries_ = 0;
};

}  // namespace

void ExactTotalsBuilder::EndBlock() {
    State& st = *state_;
    if (!st.usable) return;
    FoldFast();
    const auto na = static_cast<std::size_t>(st.c.na), nb = static_cast<std::size_t>(st.c.nb);
    SquareSum squaresAS(st.qAS), squaresS(st.qS), squaresBS(st.qBS);
    for (std::size_t t = 0; t < static_cast<std::size_t>(st.block); ++t) {
        Int128 subject = 0;
        for (std::size_t a = 0; a < na; ++a) {
            subject += st.as[t * na + a];
            squaresAS.Add(st.as[t * na + a]);
        }
        squaresS.Add(subject);
        for (std::size_t b = 0; b < nb; ++b) squaresBS.Add(st.bs[t * nb + b]);
    }
}

ExactPartition ExactTotalsBuilder::Finish(const StudyStore& store, char separator, bool keepOffsets) {
    State& st = *state_;
    const Counts& c = st.c;
    if (!st.usable || c.n != store.SubjectCount || c.na != store.LevelCountA || c.nb != store.LevelCountB)
        return ComputeExactPartition(store, separator, keepOffsets);
    const auto na = static_cast<std::size_t>(c.na), nb = static_cast<std::size_t>(c.nb);
    GroupTotals<Int128> g(Counts{0, c.na, c.nb});
    g.ab = st.ab;
    for (std::size_t a = 0; a < na; ++a)
        for (std::size_t b = 0; b < nb; ++b) {
            const Int128 x = st.ab[a * nb + b];
            g.a[a] += x;
            g.b[b] += x;
            g.t += x;
        }
    ExactTotals totals;
    totals.t = ToMpz(g.t);
    totals.qTotal = ToMpz(st.qTotal);
    totals.qA = SumOfSquares(g.a);
    totals.qB = SumOfSquares(g.b);
    totals.qAB = SumOfSquares(g.ab);
    totals.qS = ToMpz(st.qS);
    totals.qAS = ToMpz(st.qAS);
    totals.qBS = ToMpz(st.qBS);
    const int scale = st.scale == INT_MAX ? 0 : st.scale;
    ExactPartition out;
    ExactPartitionFrom(totals, c, scale, out);
    if (keepOffsets) {
        // The grand mean, truncated to an integer of the scale (below 10^37).
        const mpz_class reference = totals.t / Big(c.n * c.na * c.nb);
        const Int128 ref = ToInt128(reference);
        out.reference = RoundRational(reference, mpz_class(1), scale);
        const int magnitude = scale < 0 ? -scale : scale;
        const Extended factor =
            magnitude <= 27 ? ExactPowerOfTen(magnitude) : std::pow(Extended{10}, magnitude);
        // visit(i, offset) for every score; a block of subjects at a time:
        // the texts of a cell lie together.
        const auto forEachOffset = [&](auto&& visit) {
            constexpr std::int32_t kSubjects = 64;
            for (std::int32_t first = 1; first <= c.n; first += kSubjects) {
                const std::int32_t last =
                    std::min<std::int32_t>(static_cast<std::int32_t>(c.n), first + kSubjects - 1);
                for (std::int32_t a = 1; a <= c.na; ++a)
                    for (std::int32_t b = 1; b <= c.nb; ++b)
                        for (std::int32_t s = first; s <= last; ++s)
                            visit((static_cast<std::size_t>(s - 1) * na + static_cast<std::size_t>(a - 1)) *
                                          nb +
                                      static_cast<std::size_t>(b - 1),
                                  ScaledInteger(store.CellText(s, a, b), separator, scale, st.powers) - ref);
            }
        };
        // The integer offsets where they fit, else the extended ones.
        IntegerOffsets exact(out, c.Cells(), scale);
        forEachOffset([&](std::size_t i, Int128 d) { exact.Set(i, d); });
        if (!exact.fits) {
            out.offsets.resize(c.Cells());
            forEachOffset([&](std::size_t i, Int128 d) {
                const auto difference = static_cast<Extended>(d);
                out.offsets[i] = scale < 0 ? difference / factor : difference * factor;
            });
        }
    }
    return out;
}

std::vector<Extended> ExactPartition::ExtendedOffsets() const {
    if (integerOffsets.empty()) return offsets;
    std::vector<Extended> out(integerOffsets.size());
    const int magnitude = offsetScale < 0 ? -offsetScale : offsetScale;
    const Extended factor = magnitude <= 27 ? ExactPowerOfTen(magnitude) : std::pow(Extended{10}, magnitude);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto difference = static_cast<Extended>(integerOffsets[i]);
        out[i] = offsetScale < 0 ? difference / factor : difference * factor;
    }
    return out;
}

SumsOfSquares ExactPartition::Sums() const {
    SumsOfSquares sums;
    sums.SSTotal = Total.ss;
    sums.SSA = A.ss;
    sums.SSB = B.ss;
    sums.SSS = S.ss;
    sums.SSAB = AB.ss;
    sums.SSAS = AS.ss;
    sums.SSBS = BS.ss;
    sums.SSABS = ABS.ss;
    return sums;
}

ExactPartition ComputeExactPartition(const StudyStore& store, char separator, bool keepOffsets) {
    const Counts c{store.SubjectCount, store.LevelCountA, store.LevelCountB};
    ExactPartition out;
    if (c.n < 1 || c.na < 1 || c.nb < 1) {
        const Dfs df(c);
        out.S.df = df.s, out.A.df = df.a, out.AS.df = df.as, out.B.df = df.b, out.BS.df = df.bs;
        out.AB.df = df.ab, out.ABS.df = df.abs, out.Total.df = df.total, out.Within.df = df.within;
        return out;
    }

    ScaleSurvey survey;
    CompactScores compact;
    compact.mantissa.reserve(c.Cells());
    compact.exponent.reserve(c.Cells());
    Decimal d;
    ForEachScore(store, [&](std::int32_t, std::int32_t, std::int32_t, std::string_view text) {
        ReadDecimal(text, separator, d);
        ++survey.count;
        compact.Add(d);
        if (d.Zero()) return;
        survey.minExponent = std::min(survey.minExponent, d.exponent);
        survey.maxTop = std::max(survey.maxTop, d.exponent + d.Digits());
    });
    const int span = survey.Span(), scale = survey.Scale();
    const bool fast = span + DecimalDigits(survey.count) <= 37;
    if (!fast) compact = CompactScores{};

    if (fast) {
        std::vector<Int128> scaled;
        const ExactTotals totals = FastTotals(store, separator, c, scale, keepOffsets, &scaled, compact);
        ExactPartitionFrom(totals, c, scale, out);
        if (keepOffsets) {
            // The grand mean, truncated to an integer of the scale (below 10^37).
            const mpz_class reference = totals.t / Big(survey.count);
            const Int128 ref = ToInt128(reference);
            out.reference = RoundRational(reference, mpz_class(1), scale);
            OffsetsFromScaled(scaled, ref, scale, out);
        }
    } else if (span <= kExactDigitLimit) {
        std::vector<mpz_class> scaled;
        const ExactTotals totals = BigTotals(store, separator, c, scale, keepOffsets, &scaled);
        ExactPartitionFrom(totals, c, scale, out);
        if (keepOffsets) {
            const mpz_class reference = totals.t / Big(survey.count);
            out.reference = RoundRational(reference, mpz_class(1), scale);
            OffsetsFromBig(scaled, reference, scale, out.offsets);
        }
    } else {
        CentredPartition(store, separator, c, out);
        if (!keepOffsets) {
            out.offsets.clear();
            out.offsets.shrink_to_fit();
        }
    }
    return out;
}

}  // namespace morvane
