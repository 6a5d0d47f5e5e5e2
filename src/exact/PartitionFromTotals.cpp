#include "exact/PartitionFromTotals.h"
#include "exact/PartitionAlgebra.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "exact/DegreesOfFreedom.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "scores/QuickScore.h"

namespace morvane::exact {
namespace {

// The extent of the study's scores over the smallest power of ten.
struct ScaleSurvey {
    int minExponent = INT_MAX;  // of the non-zero scores
    int maxTop = INT_MIN;       // digits + exponent: the decade above the largest
    std::int64_t count = 0;
    int Span() const { return minExponent == INT_MAX ? 0 : maxTop - minExponent; }
    int Scale() const { return minExponent == INT_MAX ? 0 : minExponent; }
};

ScaleSurvey Survey(const StudyStore& store, char separator);
ExactPartition BigPartition(const StudyStore& store, char separator, const Counts& c, int scale,
                            bool keepOffsets);
void CentredPartition(const StudyStore& store, char separator, const Counts& c, ExactPartition& out);

}  // namespace

ExactPartition PartitionFromTexts(const StudyStore& store, char separator, bool keepOffsets) {
    const Counts c{store.SubjectCount, store.LevelCountA, store.LevelCountB};
    ExactPartition out;
    if (c.n < 1 || c.na < 1 || c.nb < 1) {
        const DegreesOfFreedom df(c.n, c.na, c.nb);
        out.S.df = df.s, out.A.df = df.a, out.AS.df = df.as, out.B.df = df.b, out.BS.df = df.bs;
        out.AB.df = df.ab, out.ABS.df = df.abs, out.Total.df = df.total, out.Within.df = df.within;
        return out;
    }
    const ScaleSurvey survey = Survey(store, separator);
    if (survey.Span() <= kExactDigitLimit)
        return BigPartition(store, separator, c, survey.Scale(), keepOffsets);
    CentredPartition(store, separator, c, out);
    if (!keepOffsets) {
        out.offsets.clear();
        out.offsets.shrink_to_fit();
    }
    return out;
}

void ReadDecimal(std::string_view text, char separator, Decimal& out) {
    const auto parts = ScanScore(text, separator);
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

void ExactPartitionFrom(const ExactTotals& e, const Counts& c, int scale, ExactPartition& out) {
    const mpz_class n = Big(c.n), na = Big(c.na), nb = Big(c.nb);
    const mpz_class d = n * na * nb;
    const ScaledPartition<mpz_class> p =
        PartitionFromTotals(PartitionTotals<mpz_class>{e.t, e.qTotal, e.qA, e.qB, e.qS, e.qAB, e.qAS, e.qBS}, n, na, nb);
    const mpz_class &total = p.total, &a = p.a, &b = p.b, &s = p.s, &ab = p.ab, &as = p.as, &bs = p.bs, &abs = p.abs;
    const mpz_class within = total - s;
    const long scale2 = 2L * scale;
    const DegreesOfFreedom df(c.n, c.na, c.nb);
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

IntegerOffsets::IntegerOffsets(ExactPartition& partition, std::size_t cells, int scale) : out_(partition) {
    out_.integerOffsets.resize(cells);
    out_.offsetScale = scale;
    out_.offsetBound = 0;
}

void IntegerOffsets::DoesNotFit() {
    fits_ = false;
    std::vector<std::int32_t>().swap(out_.integerOffsets);
    out_.offsetBound = 0;
}

namespace {

template <typename Visit>
void ForEachScore(const StudyStore& store, Visit&& visit) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b) visit(s - 1, a - 1, b - 1, store.CellText(s, a, b));
}

// Runs first on the texts that the 128-bit totals could not hold: the extent
// of the scores' decimal places.
ScaleSurvey Survey(const StudyStore& store, char separator) {
    ScaleSurvey survey;
    Decimal d;
    ForEachScore(store, [&](std::int32_t, std::int32_t, std::int32_t, std::string_view text) {
        ReadDecimal(text, separator, d);
        ++survey.count;
        if (d.Zero()) return;
        survey.minExponent = std::min(survey.minExponent, d.exponent);
        survey.maxTop = std::max(survey.maxTop, d.exponent + d.Digits());
    });
    return survey;
}

// The group totals of the integer scores, as big integers.
struct BigTotals {
    std::vector<mpz_class> a, b, s, ab, as, bs;
    mpz_class t = 0, qTotal = 0;

    explicit BigTotals(const Counts& c)
        : a(static_cast<std::size_t>(c.na)),
          b(static_cast<std::size_t>(c.nb)),
          s(static_cast<std::size_t>(c.n)),
          ab(static_cast<std::size_t>(c.na * c.nb)),
          as(static_cast<std::size_t>(c.n * c.na)),
          bs(static_cast<std::size_t>(c.n * c.nb)) {}

    void Add(const Counts& c, std::int32_t s0, std::int32_t a0, std::int32_t b0, const mpz_class& x) {
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
        qTotal += x * x;
    }
    static mpz_class SumOfSquares(const std::vector<mpz_class>& totals) {
        mpz_class sum = 0;
        for (const mpz_class& g : totals) sum += g * g;
        return sum;
    }
    ExactTotals Totals() const {
        return {t,
                qTotal,
                SumOfSquares(a),
                SumOfSquares(b),
                SumOfSquares(s),
                SumOfSquares(ab),
                SumOfSquares(as),
                SumOfSquares(bs)};
    }
};

// Runs where the span of decimal places is too wide for 128 bits but within
// kExactDigitLimit: the partition with big integers, and the offsets from the
// grand mean truncated to an integer of the scale.
ExactPartition BigPartition(const StudyStore& store, char separator, const Counts& c, int scale,
                            bool keepOffsets) {
    BigTotals g(c);
    std::vector<mpz_class> scaled;
    if (keepOffsets) scaled.resize(c.Cells());
    Decimal d;
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
        if (keepOffsets) scaled[index++] = std::move(x);
    });
    ExactPartition out;
    ExactPartitionFrom(g.Totals(), c, scale, out);
    if (keepOffsets) {
        const mpz_class reference = g.t / Big(static_cast<std::int64_t>(c.Cells()));
        out.reference = RoundRational(reference, mpz_class(1), scale);
        out.offsets.resize(scaled.size());
        const mpz_class one = 1;
        for (std::size_t i = 0; i < scaled.size(); ++i)
            out.offsets[i] = RoundRational(scaled[i] - reference, one, scale);
    }
    return out;
}

// Runs where the span of decimal places is beyond kExactDigitLimit: the
// two-pass computation in extended precision: offsets from the mean of
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
    const DegreesOfFreedom df(c.n, c.na, c.nb);
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

}  // namespace
}  // namespace morvane::exact
