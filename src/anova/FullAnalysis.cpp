#include "anova/FullAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>

#include "anova/Distributions.h"
#include "exact/ExactTotalsBuilder.h"
#include "scores/ParseScores.h"
#include "report/SumsOfSquares.h"
#include "runtime/Errors.h"

namespace morvane {
namespace {

using Matrix = std::vector<Extended>;  // square, row-major

// The orthonormal Helmert contrasts of `levels` levels: levels - 1 rows.
Matrix Contrasts(std::size_t levels) {
    const std::size_t k = levels - 1;
    Matrix c(k * levels, 0);
    for (std::size_t j = 1; j <= k; ++j) {
        const Extended norm = std::sqrt(static_cast<Extended>(j * (j + 1)));
        for (std::size_t l = 0; l < j; ++l) c[(j - 1) * levels + l] = 1 / norm;
        c[(j - 1) * levels + j] = -static_cast<Extended>(j) / norm;
    }
    return c;
}

// How many subjects the pass over the scores takes at a time: each statistic
// is summed over a block in registers before its totals are updated.
constexpr std::size_t kBlock = 32;

// The mean and the sum of squared deviations of one value over the subjects,
// summed block by block as deviations from the first subject's value (which
// keeps the digits of values far from zero).
struct Running {
    Extended shift = 0, s1 = 0, s2 = 0;
    Extended mean = 0, m2 = 0;  // after Finish

    template <typename Value>
    void AddBlock(std::size_t first, std::size_t count, Value&& value) {
        if (first == 0) shift = value(0);
        Extended b1 = 0, b2 = 0;
        for (std::size_t t = 0; t < count; ++t) {
            const Extended d = value(t) - shift;
            b1 += d;
            b2 += d * d;
        }
        s1 += b1;
        s2 += b2;
    }
    // AddBlock of this and `other` at once: two independent pairs of sums.
    template <typename Value, typename OtherValue>
    void AddBlockWith(Running& other, std::size_t first, std::size_t count, Value&& value,
                      OtherValue&& otherValue) {
        if (first == 0) {
            shift = value(0);
            other.shift = otherValue(0);
        }
        Extended b1 = 0, b2 = 0, c1 = 0, c2 = 0;
        for (std::size_t t = 0; t < count; ++t) {
            const Extended d = value(t) - shift;
            const Extended e = otherValue(t) - other.shift;
            b1 += d;
            b2 += d * d;
            c1 += e;
            c2 += e * e;
        }
        s1 += b1;
        s2 += b2;
        other.s1 += c1;
        other.s2 += c2;
    }
    void Finish(std::size_t n) {
        const auto N = static_cast<Extended>(n);
        mean = shift + s1 / N;
        m2 = std::max(Extended{0}, s2 - s1 * s1 / N);
    }
};

// The same for k values at once, with the sums of cross products: their
// covariance matrix.
class CovarianceAccumulator {
public:
    explicit CovarianceAccumulator(std::size_t k = 0) : k_(k), shift_(k, 0), s1_(k, 0), s2_(k * k, 0) {}

    // fill(t, z) writes the k values of the block's subject t into z.
    template <typename Fill>
    void AddBlock(std::size_t first, std::size_t count, Fill&& fill) {
        if (k_ == 0) return;
        block_.resize(k_ * kBlock);
        row_.resize(k_);
        for (std::size_t t = 0; t < count; ++t) {
            fill(t, row_.data());
            if (first == 0 && t == 0) shift_ = row_;
            for (std::size_t i = 0; i < k_; ++i) block_[i * kBlock + t] = row_[i] - shift_[i];
        }
        for (std::size_t i = 0; i < k_; ++i) {
            const Extended* zi = &block_[i * kBlock];
            Extended sum = 0;
            for (std::size_t t = 0; t < count; ++t) sum += zi[t];
            s1_[i] += sum;
            // Four cross products at a time, each summed over the block in
            // subject order: four independent chains of additions.
            std::size_t j = i;
            for (; j + 4 <= k_; j += 4) {
                const Extended *z0 = &block_[j * kBlock], *z1 = z0 + kBlock, *z2 = z1 + kBlock,
                               *z3 = z2 + kBlock;
                Extended c0 = 0, c1 = 0, c2 = 0, c3 = 0;
                for (std::size_t t = 0; t < count; ++t) {
                    const Extended x = zi[t];
                    c0 += x * z0[t];
                    c1 += x * z1[t];
                    c2 += x * z2[t];
                    c3 += x * z3[t];
                }
                Extended* row = &s2_[i * k_ + j];
                row[0] += c0;
                row[1] += c1;
                row[2] += c2;
                row[3] += c3;
            }
            for (; j < k_; ++j) {
                const Extended* zj = &block_[j * kBlock];
                Extended cross = 0;
                for (std::size_t t = 0; t < count; ++t) cross += zi[t] * zj[t];
                s2_[i * k_ + j] += cross;
            }
        }
    }
    // The covariance matrix with divisor n - 1 (n > 1).
    Matrix Covariance(std::size_t n) const {
        Matrix c(k_ * k_);
        const auto N = static_cast<Extended>(n);
        for (std::size_t i = 0; i < k_; ++i)
            for (std::size_t j = i; j < k_; ++j)
                c[j * k_ + i] = c[i * k_ + j] = (s2_[i * k_ + j] - s1_[i] * s1_[j] / N) / (N - 1);
        return c;
    }

private:
    std::size_t k_;
    std::vector<Extended> shift_, s1_, s2_, block_, row_;
};

__extension__ typedef __int128 Int128;

// Values in units of 10^scale.
struct DecimalUnit {
    int scale;
    Extended power = 1;  // 10^|scale|, exact up to 10^27

    explicit DecimalUnit(int s) : scale(s) {
        const int magnitude = s < 0 ? -s : s;
        if (magnitude <= 27)
            for (int i = 0; i < magnitude; ++i) power *= 10;
        else
            power = std::pow(Extended{10}, magnitude);
    }
    Extended Of(Extended v) const { return scale < 0 ? v / power : v * power; }
};

// The mean and the sum of squared deviations of one integer value over the
// subjects, summed exactly (bounded as ExactCovariance's values).
struct ExactRunning {
    Int128 s1 = 0, s2 = 0;

    template <typename Value>
    void AddBlock(std::size_t count, Value&& value) {
        std::int64_t b1 = 0, b2 = 0;
        for (std::size_t t = 0; t < count; ++t) {
            const std::int64_t v = value(t);
            b1 += v;
            b2 += v * v;
        }
        s1 += b1;
        s2 += b2;
    }
    // As a finished Running of the values divided by `divisor`, in `unit`.
    Running Finished(std::size_t n, Extended divisor, const DecimalUnit& unit) const {
        Running r;
        const auto N = static_cast<Extended>(n);
        r.mean = unit.Of(static_cast<Extended>(s1) / (N * divisor));
        r.m2 = unit.Of(
            unit.Of(static_cast<Extended>(static_cast<Int128>(n) * s2 - s1 * s1) / (N * divisor * divisor)));
        return r;
    }
};

// The same covariance of k integer values, summed exactly: the sums of a block
// in 64 bits, the totals in 128. The caller bounds the values so that neither
// overflows (ExactCovarianceFits).
class ExactCovariance {
public:
    explicit ExactCovariance(std::size_t k = 0) : k_(k), s1_(k, 0), s2_(k * k, 0) {}

    // fill(t, z) writes the k values of the block's subject t into z.
    template <typename Fill>
    void AddBlock(std::size_t count, Fill&& fill) {
        if (k_ == 0) return;
        block_.resize(k_ * kBlock);
        row_.resize(k_);
        for (std::size_t t = 0; t < count; ++t) {
            fill(t, row_.data());
            for (std::size_t i = 0; i < k_; ++i) block_[i * kBlock + t] = row_[i];
        }
        for (std::size_t i = 0; i < k_; ++i) {
            const std::int64_t* zi = &block_[i * kBlock];
            std::int64_t sum = 0;
            for (std::size_t t = 0; t < count; ++t) sum += zi[t];
            s1_[i] += sum;
            std::size_t j = i;
            for (; j + 4 <= k_; j += 4) {
                const std::int64_t *z0 = &block_[j * kBlock], *z1 = z0 + kBlock, *z2 = z1 + kBlock,
                                   *z3 = z2 + kBlock;
                std::int64_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
                for (std::size_t t = 0; t < count; ++t) {
                    const std::int64_t x = zi[t];
                    c0 += x * z0[t];
                    c1 += x * z1[t];
                    c2 += x * z2[t];
                    c3 += x * z3[t];
                }
                Int128* row = &s2_[i * k_ + j];
                row[0] += c0;
                row[1] += c1;
                row[2] += c2;
                row[3] += c3;
            }
            for (; j < k_; ++j) {
                const std::int64_t* zj = &block_[j * kBlock];
                std::int64_t cross = 0;
                for (std::size_t t = 0; t < count; ++t) cross += zi[t] * zj[t];
                s2_[i * k_ + j] += cross;
            }
        }
    }
    // The covariance matrix with divisor n - 1 (n > 1) of the values divided
    // by norm[i], in units of 10^scale: n s2 - s1 s1 exactly, rounded once.
    Matrix Covariance(std::size_t n, const std::vector<Extended>& norm, int scale) const {
        Matrix c(k_ * k_);
        const auto N = static_cast<Extended>(n);
        const DecimalUnit unit(scale);
        const Int128 n128 = static_cast<Int128>(n);
        for (std::size_t i = 0; i < k_; ++i)
            for (std::size_t j = i; j < k_; ++j) {
                const Int128 centred = n128 * s2_[i * k_ + j] - s1_[i] * s1_[j];
                const Extended v = static_cast<Extended>(centred) / (N * (N - 1)) / (norm[i] * norm[j]);
                c[j * k_ + i] = c[i * k_ + j] = unit.Of(unit.Of(v));
            }
        return c;
    }

private:
    std::size_t k_;
    std::vector<Int128> s1_, s2_;
    std::vector<std::int64_t> block_, row_;
};

// Whether n subjects' values of magnitude at most `bound` keep the sums of
// ExactCovariance within their integers.
bool ExactCovarianceFits(std::size_t n, Extended bound) {
    const Extended b2 = bound * bound, N = static_cast<Extended>(n);
    return b2 * kBlock < 0x1p62L && N * N * b2 < 0x1p124L;
}

// z[j * zStride] := (H v)_j for the integer Helmert contrasts H: row j is one
// at the levels up to j and -(j + 1) at level j + 1 (the rows of Contrasts
// times sqrt((j + 1) (j + 2))).
template <typename In>
void IntegerContrast(std::size_t levels, const In* v, std::size_t stride, std::int64_t* z,
                     std::size_t zStride = 1) {
    std::int64_t prefix = 0;
    for (std::size_t j = 0; j + 1 < levels; ++j) {
        prefix += v[j * stride];
        z[j * zStride] = prefix - static_cast<std::int64_t>(j + 1) * v[(j + 1) * stride];
    }
}

// The lengths of the rows of IntegerContrast, times `factor`.
std::vector<Extended> HelmertNorms(std::size_t levels, Extended factor) {
    std::vector<Extended> norm;
    for (std::size_t j = 1; j < levels; ++j)
        norm.push_back(factor * std::sqrt(static_cast<Extended>(j * (j + 1))));
    return norm;
}

// z[j * zStride] := (C v)_j for the Helmert contrasts C of Contrasts (rows of
// `levels`) and values v[l * stride]. Four rows at a time, each summed in the
// order of the levels; row j is zero after level j + 1, and its sum stops
// there: adding a zero product leaves a sum as it is, since a sum that starts
// at +0 is never -0.
void Contrast(const Matrix& c, std::size_t levels, const Extended* v, std::size_t stride, Extended* z,
              std::size_t zStride = 1) {
    const std::size_t k = levels - 1;
    std::size_t j = 0;
    for (; j + 4 <= k; j += 4) {
        const Extended *r0 = &c[j * levels], *r1 = r0 + levels, *r2 = r1 + levels, *r3 = r2 + levels;
        Extended s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        const std::size_t used = std::min(levels, j + 5);
        for (std::size_t l = 0; l < used; ++l) {
            const Extended x = v[l * stride];
            s0 += r0[l] * x;
            s1 += r1[l] * x;
            s2 += r2[l] * x;
            s3 += r3[l] * x;
        }
        z[j * zStride] = s0;
        z[(j + 1) * zStride] = s1;
        z[(j + 2) * zStride] = s2;
        z[(j + 3) * zStride] = s3;
    }
    for (; j < k; ++j) {
        Extended sum = 0;
        const std::size_t used = std::min(levels, j + 2);
        for (std::size_t l = 0; l < used; ++l) sum += c[j * levels + l] * v[l * stride];
        z[j * zStride] = sum;
    }
}

// The natural logarithm of the determinant of a symmetric positive definite
// matrix by Cholesky's factorisation; absent when it is singular (a pivot within
// rounding of zero) or not positive definite.
std::optional<Extended> LogDeterminant(Matrix m, std::size_t k) {
    Extended trace = 0;
    for (std::size_t j = 0; j < k; ++j) trace += m[j * k + j];
    const Extended tolerance = 64 * std::numeric_limits<Extended>::epsilon() * trace;
    Extended logDet = 0;
    for (std::size_t j = 0; j < k; ++j) {
        Extended d = m[j * k + j];
        for (std::size_t l = 0; l < j; ++l) d -= m[j * k + l] * m[j * k + l];
        if (!(d > tolerance)) return std::nullopt;
        const Extended root = std::sqrt(d);
        m[j * k + j] = root;
        logDet += 2 * std::log(root);
        for (std::size_t i = j + 1; i < k; ++i) {
            Extended v = m[i * k + j];
            for (std::size_t l = 0; l < j; ++l) v -= m[i * k + l] * m[j * k + l];
            m[i * k + j] = v / root;
        }
    }
    return logDet;
}

Correction Corrected(std::optional<Extended> epsilon, Extended applied, std::optional<Extended> f,
                     std::int64_t df1, std::int64_t df2) {
    Correction c;
    c.epsilon = epsilon;
    if (!epsilon || !(applied > 0)) return c;
    c.df1 = static_cast<Extended>(df1) * applied;
    c.df2 = static_cast<Extended>(df2) * applied;
    if (f) c.p = FUpperTail(*f, *c.df1, *c.df2);
    return c;
}

// (trace S)^2 / (k trace S^2), with S divided by its trace first: the epsilon
// does not change, and the squares of covariances of large scores stay finite.
std::optional<Extended> GreenhouseGeisser(const Matrix& s, std::size_t k) {
    Extended trace = 0;
    for (std::size_t i = 0; i < k; ++i) trace += s[i * k + i];
    if (!(trace > 0)) return std::nullopt;
    Extended squares = 0;
    for (Extended v : s) squares += (v / trace) * (v / trace);
    if (!(squares > 0)) return std::nullopt;
    return 1 / (static_cast<Extended>(k) * squares);
}

// Mauchly's test, its chi-square approximation (with the second-order term of
// the tail) and the three epsilons, from the covariance of k orthonormal
// contrasts over n subjects; f is the effect's F on (df1, df2) degrees of freedom.
Sphericity SphericityFrom(const Matrix& s, std::size_t k, std::size_t n, std::optional<Extended> f,
                          std::int64_t df1, std::int64_t df2) {
    Sphericity out;
    out.contrasts = static_cast<std::int64_t>(k);
    const auto K = static_cast<Extended>(k), N = static_cast<Extended>(n);
    const std::optional<Extended> gg = GreenhouseGeisser(s, k);
    std::optional<Extended> hf;
    if (gg) {
        const Extended denominator = K * (N - 1 - K * *gg);
        if (denominator != 0) hf = (N * K * *gg - 2) / denominator;
    }
    out.greenhouseGeisser = Corrected(gg, gg.value_or(0), f, df1, df2);
    out.huynhFeldt = Corrected(hf, std::min(hf.value_or(0), Extended{1}), f, df1, df2);
    out.lowerBound = Corrected(1 / K, 1 / K, f, df1, df2);

    out.df = static_cast<std::int64_t>(k * (k + 1) / 2) - 1;
    Extended trace = 0;
    for (std::size_t i = 0; i < k; ++i) trace += s[i * k + i];
    if (n < k + 1 || !(trace > 0)) return out;
    // W does not change when S is divided by its trace, which keeps the
    // factorisation of the covariances of large scores finite.
    Matrix scaled = s;
    for (Extended& v : scaled) v /= trace;
    const std::optional<Extended> logDet = LogDeterminant(std::move(scaled), k);
    if (!logDet) return out;
    const Extended logW = *logDet - K * std::log(1 / K);
    out.mauchlyW = std::exp(logW);
    const Extended dfError = N - 1;
    const Extended rho = 1 - (2 * K * K + K + 2) / (6 * K * dfError);
    if (!(rho > 0)) return out;
    out.chiSquare = -dfError * rho * logW;
    const Extended w2 = (K + 2) * (K - 1) * (K - 2) * (2 * K * K * K + 6 * K * K + 3 * K + 2) /
                        (288 * (dfError * K * rho) * (dfError * K * rho));
    const auto df = static_cast<Extended>(out.df);
    const std::optional<Extended> p1 = ChiSquareUpperTail(*out.chiSquare, df);
    const std::optional<Extended> p2 = ChiSquareUpperTail(*out.chiSquare, df + 4);
    if (p1 && p2) out.p = std::clamp(*p1 + w2 * (*p2 - *p1), Extended{0}, Extended{1});
    return out;
}

std::optional<Extended> Ratio(Extended part, Extended whole) {
    if (!(whole > 0)) return std::nullopt;
    return part / whole;
}

// A one-way within-subjects analysis of a slice of `levels` cells from their
// means and the covariance of their orthonormal contrasts over n subjects: the
// error sum of squares is (n - 1) times the trace of that covariance.
SimpleEffectResult OneWay(std::size_t n, std::size_t levels, const std::vector<Extended>& means,
                          const Matrix& cov) {
    SimpleEffectResult r;
    Extended grand = 0;
    for (Extended v : means) grand += v;
    grand /= static_cast<Extended>(levels);
    for (Extended v : means) r.ss += (v - grand) * (v - grand);
    r.ss = CheckFinite(r.ss * static_cast<Extended>(n));
    r.df1 = static_cast<std::int64_t>(levels) - 1;
    r.df2 = r.df1 * (static_cast<std::int64_t>(n) - 1);
    if (n > 1 && levels > 1) {
        const std::size_t k = levels - 1;
        Extended trace = 0;
        for (std::size_t i = 0; i < k; ++i) trace += cov[i * k + i];
        r.errorSs = CheckFinite(trace * static_cast<Extended>(n - 1));
        if (levels > 2) r.ggEpsilon = GreenhouseGeisser(cov, k);
    }
    if (r.df1 > 0 && r.df2 > 0 && r.errorSs > 0) {
        r.f = (r.ss / static_cast<Extended>(r.df1)) / (r.errorSs / static_cast<Extended>(r.df2));
        r.p = FUpperTail(*r.f, static_cast<Extended>(r.df1), static_cast<Extended>(r.df2));
        if (r.ggEpsilon)
            r.ggP = FUpperTail(*r.f, static_cast<Extended>(r.df1) * *r.ggEpsilon,
                               static_cast<Extended>(r.df2) * *r.ggEpsilon);
    }
    r.partialEtaSquared = Ratio(r.ss, r.ss + r.errorSs);
    return r;
}

// Mean, SD, SE and the two intervals of one mean from the running moments of
// the subjects' values (offsets from `reference`) and of their values less the
// subject's mean (Cousineau's normalisation; Morey's correction over `conditions`).
MeanResult Describe(std::int32_t a, std::int32_t b, Extended reference, const Running& raw,
                    const Running& normalised, std::size_t n, std::size_t conditions,
                    std::optional<Extended> tq) {
    MeanResult m;
    m.a = a;
    m.b = b;
    m.mean = reference + raw.mean;
    if (n < 2) return m;
    const auto N = static_cast<Extended>(n);
    m.sd = std::sqrt(raw.m2 / (N - 1));
    m.se = *m.sd / std::sqrt(N);
    if (tq) m.ci95 = Interval{m.mean - *tq * *m.se, m.mean + *tq * *m.se};
    if (conditions < 2 || !tq) return m;
    const auto C = static_cast<Extended>(conditions);
    const Extended se = std::sqrt(normalised.m2 / (N - 1) * C / (C - 1) / N);
    m.withinCi95 = Interval{m.mean - *tq * se, m.mean + *tq * se};
    return m;
}

// The paired t test from the running moments of the subjects' differences.
ComparisonResult Paired(const Running& d, std::size_t n, std::optional<Extended> tq) {
    ComparisonResult c;
    c.difference = d.mean;
    c.df = static_cast<std::int64_t>(n) - 1;
    if (n < 2) return c;
    const auto N = static_cast<Extended>(n);
    const Extended sd = std::sqrt(d.m2 / (N - 1));
    const Extended se = sd / std::sqrt(N);
    if (tq) c.ci95 = Interval{d.mean - *tq * se, d.mean + *tq * se};
    if (!(sd > 0)) return c;
    c.t = d.mean / se;
    c.p = TTwoSided(*c.t, N - 1);
    c.cohenDz = d.mean / sd;
    return c;
}

// Holm's and Bonferroni's adjustments within one family of comparisons.
void Adjust(std::vector<ComparisonResult>& all, std::size_t first, std::size_t last) {
    std::vector<std::size_t> order;
    for (std::size_t i = first; i < last; ++i)
        if (all[i].p) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return *all[x].p < *all[y].p; });
    const auto m = static_cast<Extended>(order.size());
    Extended running = 0;
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        ComparisonResult& c = all[order[rank]];
        running = std::max(running, std::min(Extended{1}, (m - static_cast<Extended>(rank)) * *c.p));
        c.pHolm = running;
        c.pBonferroni = std::min(Extended{1}, m * *c.p);
    }
}

// How many contrasts the interaction's sphericity is computed for at most.
constexpr std::size_t kMaxContrasts = 1024;
constexpr Extended kMaxContrastWork = 4e9L;  // subjects x contrasts^2

EffectResult Effect(const PartitionSource& effect, const PartitionSource& error, std::optional<Extended> f,
                    Extended otherErrors) {
    EffectResult r;
    r.effect = effect;
    r.error = error;
    r.f = f;
    if (f) r.p = FUpperTail(*f, static_cast<Extended>(effect.df), static_cast<Extended>(error.df));
    if (effect.df < 1) return r;  // a factor of one level has no effect to measure
    r.partialEtaSquared = Ratio(effect.ss, effect.ss + error.ss);
    r.generalizedEtaSquared = Ratio(effect.ss, effect.ss + otherErrors);
    return r;
}

// Every statistic follows from sums of squares that fit the extended format,
// but a product on the way (a cross product, a square of an offset) can still
// leave it for scores near the format's limits: that is an overflow, not a
// value to show.
void CheckAllFinite(const FullAnalysis& r) {
    const auto check = [](std::optional<Extended> v) {
        if (v) CheckFinite(*v);
    };
    const auto interval = [&](const std::optional<Interval>& i) {
        if (i) check(i->low), check(i->high);
    };
    for (const EffectResult* e : {&r.A, &r.B, &r.AB}) {
        for (auto v : {e->f, e->p, e->partialEtaSquared, e->generalizedEtaSquared}) check(v);
        if (!e->sphericity) continue;
        const Sphericity& s = *e->sphericity;
        for (auto v : {s.mauchlyW, s.chiSquare, s.p}) check(v);
        for (const Correction* c : {&s.greenhouseGeisser, &s.huynhFeldt, &s.lowerBound})
            for (auto v : {c->epsilon, c->df1, c->df2, c->p}) check(v);
    }
    for (const auto* list : {&r.cells, &r.marginalA, &r.marginalB})
        for (const MeanResult& m : *list) {
            for (auto v : {std::optional<Extended>(m.mean), m.sd, m.se}) check(v);
            interval(m.ci95), interval(m.withinCi95);
        }
    for (const ComparisonResult& c : r.comparisons) {
        for (auto v : {std::optional<Extended>(c.difference), c.t, c.p, c.pHolm, c.pBonferroni, c.cohenDz})
            check(v);
        interval(c.ci95);
    }
    for (const SimpleEffectResult& s : r.simpleEffects)
        for (auto v : {std::optional<Extended>(s.ss), std::optional<Extended>(s.errorSs), s.f, s.p,
                       s.partialEtaSquared, s.ggEpsilon, s.ggP})
            check(v);
}

}  // namespace

FullAnalysis AnalyseStudy(StudyStore& store, char separator) {
    if (!HasItsExtents(store, StudyArrays::Values)) SizeStudy(store, StudyArrays::Values);
    ExactTotalsBuilder exact(store);
    SumsOfSquaresSweep sweep(store);
    ParsedBlockSink* const sinks[] = {&exact, &sweep};
    ParseAllScores(store, separator, sinks, KeepValues::Yes);

    FullAnalysis out;
    out.subjects = store.SubjectCount;
    out.levelsA = store.LevelCountA;
    out.levelsB = store.LevelCountB;
    for (std::int32_t a = 1; a <= out.levelsA; ++a)
        out.namesA.push_back(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= out.levelsB; ++b)
        out.namesB.push_back(store.LevelNamesB[static_cast<std::size_t>(b)]);

    ExactPartition part = exact.Finish(store, separator, true);
    // The results file's sums, swept while parsing; where they fail, as the
    // results file would, the check finds the same failure.
    std::optional<SumsOfSquares> fileSums;
    try {
        fileSums = sweep.Finish(store);
    } catch (const InvalidOperationError&) {
    } catch (const OverflowError&) {
    }
    out.precision = CheckResultsFile(fileSums, part, separator);
    out.S = part.S;
    out.AS = part.AS;
    out.BS = part.BS;
    out.ABS = part.ABS;
    out.Total = part.Total;
    const Extended errors = part.S.ss + part.AS.ss + part.BS.ss + part.ABS.ss;
    out.A = Effect(part.A, part.AS, part.fA, errors);
    out.B = Effect(part.B, part.BS, part.fB, errors);
    out.AB = Effect(part.AB, part.ABS, part.fAB, errors);

    if (out.subjects < 1 || out.levelsA < 1 || out.levelsB < 1) return out;
    const auto n = static_cast<std::size_t>(out.subjects), na = static_cast<std::size_t>(out.levelsA),
               nb = static_cast<std::size_t>(out.levelsB);
    const std::optional<Extended> tq = TQuantile975(static_cast<Extended>(n) - 1);

    // One pass over the subjects, each subject's scores at hand: the running
    // moments of every mean, difference and set of contrasts.
    const std::size_t cellCount = na * nb;
    std::vector<Running> cellRaw(cellCount), cellNormal(cellCount), aRaw(na), aNormal(na), bRaw(nb),
        bNormal(nb);
    // The comparisons' families: marginal A, marginal B, A at each b, B at each a.
    const std::size_t pairsA = na * (na - 1) / 2, pairsB = nb * (nb - 1) / 2;
    std::vector<Running> differences(pairsA + pairsB + nb * pairsA + na * pairsB);
    const Matrix ca = Contrasts(na), cb = Contrasts(nb);
    CovarianceAccumulator covA(na - 1), covB(nb - 1);
    std::vector<CovarianceAccumulator> covAatB(nb, CovarianceAccumulator(na - 1)),
        covBatA(na, CovarianceAccumulator(nb - 1));
    const std::size_t kab = (na - 1) * (nb - 1);
    const bool interactionContrasts =
        kab > 1 && kab <= kMaxContrasts &&
        static_cast<Extended>(n) * static_cast<Extended>(kab) * static_cast<Extended>(kab) <=
            kMaxContrastWork;
    out.AB.sphericityOmitted = n > 1 && kab > 1 && !interactionContrasts;
    CovarianceAccumulator covAB(interactionContrasts ? kab : 0);
    // The block's subjects' means over B (for each level of A), over A (for
    // each level of B) and over all.
    std::vector<Extended> meanA(kBlock * na), meanB(kBlock * nb), meanS(kBlock);
    // The contrasts of A at each level of B of the block's subjects, [t][i][b]:
    // the simple effects of A take them as they are, the interaction's contrasts
    // apply those of B to them.
    const std::size_t leftSize = (na - 1) * nb;
    std::vector<Extended> left;

    // Where the offsets are known as integers, the contrasts are too (of the
    // integer Helmert rows), and their covariances are summed exactly.
    const std::vector<std::int32_t>& x = part.integerOffsets;
    const Extended helmertA = 2 * static_cast<Extended>(na - 1), helmertB = 2 * static_cast<Extended>(nb - 1);
    const bool exactContrasts =
        x.size() == n * cellCount &&
        ExactCovarianceFits(
            n, static_cast<Extended>(part.offsetBound) *
                   std::max({helmertA * helmertB, helmertA * static_cast<Extended>(nb),
                             helmertB * static_cast<Extended>(na), 2 * static_cast<Extended>(cellCount)}));
    ExactCovariance exactA, exactB, exactAB;
    std::vector<ExactCovariance> exactAatB, exactBatA;
    std::vector<std::int64_t> exactLeft, rowSums, columnSums, subjectSums;
    std::vector<ExactRunning> exactCellRaw, exactCellNormal, exactARaw, exactANormal, exactBRaw, exactBNormal,
        exactDifferences;
    if (exactContrasts) {
        exactCellRaw.resize(cellCount);
        exactCellNormal.resize(cellCount);
        exactARaw.resize(na);
        exactANormal.resize(na);
        exactBRaw.resize(nb);
        exactBNormal.resize(nb);
        exactDifferences.resize(differences.size());
        subjectSums.resize(kBlock);
        exactA = ExactCovariance(na - 1);
        exactB = ExactCovariance(nb - 1);
        exactAB = ExactCovariance(interactionContrasts ? kab : 0);
        exactAatB.assign(nb, ExactCovariance(na - 1));
        exactBatA.assign(na, ExactCovariance(nb - 1));
        exactLeft.resize(kBlock * leftSize);
        rowSums.resize(kBlock * na);
        columnSums.resize(kBlock * nb);
        covA = covB = covAB = CovarianceAccumulator();
        covAatB.clear();
        covBatA.clear();
    } else {
        left.resize(kBlock * leftSize);
    }
    // The extended offsets, read only by the pass in the extended format.
    std::vector<Extended> converted;
    if (!exactContrasts && part.offsets.empty()) converted = part.ExtendedOffsets();
    const std::vector<Extended>& y = part.offsets.empty() ? converted : part.offsets;

    for (std::size_t first = 0; first < n; first += kBlock) {
        const std::size_t count = std::min(kBlock, n - first);
        const Extended* yb = y.empty() ? nullptr : y.data() + first * cellCount;
        const auto Y = [&](std::size_t t, std::size_t c) { return yb[t * cellCount + c]; };
        if (exactContrasts) {
            const std::int32_t* xb = &x[first * cellCount];
            for (std::size_t t = 0; t < count; ++t) {
                const std::int32_t* xs = xb + t * cellCount;
                std::int64_t* rows = &rowSums[t * na];
                std::int64_t* columns = &columnSums[t * nb];
                std::fill(columns, columns + nb, std::int64_t{0});
                std::int64_t all = 0;
                for (std::size_t a = 0; a < na; ++a) {
                    std::int64_t sum = 0;
                    for (std::size_t b = 0; b < nb; ++b) {
                        sum += xs[a * nb + b];
                        columns[b] += xs[a * nb + b];
                    }
                    rows[a] = sum;
                    all += sum;
                }
                subjectSums[t] = all;
                for (std::size_t b = 0; leftSize > 0 && b < nb; ++b)
                    IntegerContrast(na, xs + b, nb, &exactLeft[t * leftSize + b], nb);
            }
            // The moments of the cells, the marginal means and the differences,
            // as integers over the divisors they are finished with.
            const auto X = [&](std::size_t t, std::size_t c) -> std::int64_t {
                return xb[t * cellCount + c];
            };
            const auto C = static_cast<std::int64_t>(cellCount), NA = static_cast<std::int64_t>(na),
                       NB = static_cast<std::int64_t>(nb);
            for (std::size_t c = 0; c < cellCount; ++c) {
                exactCellRaw[c].AddBlock(count, [&](std::size_t t) { return X(t, c); });
                exactCellNormal[c].AddBlock(count,
                                            [&](std::size_t t) { return C * X(t, c) - subjectSums[t]; });
            }
            for (std::size_t a = 0; a < na; ++a) {
                exactARaw[a].AddBlock(count, [&](std::size_t t) { return rowSums[t * na + a]; });
                exactANormal[a].AddBlock(
                    count, [&](std::size_t t) { return NA * rowSums[t * na + a] - subjectSums[t]; });
            }
            for (std::size_t b = 0; b < nb; ++b) {
                exactBRaw[b].AddBlock(count, [&](std::size_t t) { return columnSums[t * nb + b]; });
                exactBNormal[b].AddBlock(
                    count, [&](std::size_t t) { return NB * columnSums[t * nb + b] - subjectSums[t]; });
            }
            ExactRunning* d = exactDifferences.data();
            const auto pairs = [&](std::size_t levels, auto&& value) {
                for (std::size_t i = 0; i < levels; ++i)
                    for (std::size_t j = i + 1; j < levels; ++j)
                        (d++)->AddBlock(count, [&](std::size_t t) { return value(t, i) - value(t, j); });
            };
            pairs(na, [&](std::size_t t, std::size_t a) { return rowSums[t * na + a]; });
            pairs(nb, [&](std::size_t t, std::size_t b) { return columnSums[t * nb + b]; });
            for (std::size_t b = 0; b < nb; ++b)
                pairs(na, [&](std::size_t t, std::size_t a) { return X(t, a * nb + b); });
            for (std::size_t a = 0; a < na; ++a)
                pairs(nb, [&](std::size_t t, std::size_t b) { return X(t, a * nb + b); });

            exactA.AddBlock(
                count, [&](std::size_t t, std::int64_t* z) { IntegerContrast(na, &rowSums[t * na], 1, z); });
            exactB.AddBlock(count, [&](std::size_t t, std::int64_t* z) {
                IntegerContrast(nb, &columnSums[t * nb], 1, z);
            });
            for (std::size_t b = 0; b < nb; ++b)
                exactAatB[b].AddBlock(count, [&](std::size_t t, std::int64_t* z) {
                    for (std::size_t i = 0; i + 1 < na; ++i) z[i] = exactLeft[t * leftSize + i * nb + b];
                });
            for (std::size_t a = 0; a < na; ++a)
                exactBatA[a].AddBlock(count, [&](std::size_t t, std::int64_t* z) {
                    IntegerContrast(nb, xb + t * cellCount + a * nb, 1, z);
                });
            if (interactionContrasts)
                exactAB.AddBlock(count, [&](std::size_t t, std::int64_t* z) {
                    for (std::size_t i = 0; i + 1 < na; ++i)
                        IntegerContrast(nb, &exactLeft[t * leftSize + i * nb], 1, z + i * (nb - 1));
                });
            continue;
        }
        for (std::size_t t = 0; t < count; ++t) {
            Extended* mB = &meanB[t * nb];
            std::fill(mB, mB + nb, Extended{0});
            Extended all = 0;
            for (std::size_t a = 0; a < na; ++a) {
                Extended sum = 0;
                for (std::size_t b = 0; b < nb; ++b) {
                    sum += Y(t, a * nb + b);
                    mB[b] += Y(t, a * nb + b);
                }
                all += sum;
                meanA[t * na + a] = sum / static_cast<Extended>(nb);
            }
            for (std::size_t b = 0; b < nb; ++b) mB[b] /= static_cast<Extended>(na);
            meanS[t] = all / static_cast<Extended>(cellCount);
        }

        if (!exactContrasts)
            for (std::size_t t = 0; leftSize > 0 && t < count; ++t)
                for (std::size_t b = 0; b < nb; ++b)
                    Contrast(ca, na, yb + t * cellCount + b, nb, &left[t * leftSize + b], nb);

        for (std::size_t c = 0; c < cellCount; ++c) {
            cellRaw[c].AddBlockWith(
                cellNormal[c], first, count, [&](std::size_t t) { return Y(t, c); },
                [&](std::size_t t) { return Y(t, c) - meanS[t]; });
        }
        for (std::size_t a = 0; a < na; ++a) {
            aRaw[a].AddBlock(first, count, [&](std::size_t t) { return meanA[t * na + a]; });
            aNormal[a].AddBlock(first, count, [&](std::size_t t) { return meanA[t * na + a] - meanS[t]; });
        }
        for (std::size_t b = 0; b < nb; ++b) {
            bRaw[b].AddBlock(first, count, [&](std::size_t t) { return meanB[t * nb + b]; });
            bNormal[b].AddBlock(first, count, [&](std::size_t t) { return meanB[t * nb + b] - meanS[t]; });
        }

        // value(t, l): level l of one family's factor for the block's subject t.
        Running* d = differences.data();
        const auto pairs = [&](std::size_t levels, auto&& value) {
            for (std::size_t i = 0; i < levels; ++i) {
                std::size_t j = i + 1;
                for (; j + 1 < levels; j += 2, d += 2)
                    d[0].AddBlockWith(
                        d[1], first, count, [&](std::size_t t) { return value(t, i) - value(t, j); },
                        [&](std::size_t t) { return value(t, i) - value(t, j + 1); });
                if (j < levels)
                    (d++)->AddBlock(first, count, [&](std::size_t t) { return value(t, i) - value(t, j); });
            }
        };
        pairs(na, [&](std::size_t t, std::size_t a) { return meanA[t * na + a]; });
        pairs(nb, [&](std::size_t t, std::size_t b) { return meanB[t * nb + b]; });
        for (std::size_t b = 0; b < nb; ++b)
            pairs(na, [&](std::size_t t, std::size_t a) { return Y(t, a * nb + b); });
        for (std::size_t a = 0; a < na; ++a)
            pairs(nb, [&](std::size_t t, std::size_t b) { return Y(t, a * nb + b); });

        covA.AddBlock(first, count,
                      [&](std::size_t t, Extended* z) { Contrast(ca, na, &meanA[t * na], 1, z); });
        covB.AddBlock(first, count,
                      [&](std::size_t t, Extended* z) { Contrast(cb, nb, &meanB[t * nb], 1, z); });
        for (std::size_t b = 0; b < nb; ++b)
            covAatB[b].AddBlock(first, count, [&](std::size_t t, Extended* z) {
                for (std::size_t i = 0; i + 1 < na; ++i) z[i] = left[t * leftSize + i * nb + b];
            });
        for (std::size_t a = 0; a < na; ++a)
            covBatA[a].AddBlock(first, count, [&](std::size_t t, Extended* z) {
                Contrast(cb, nb, yb + t * cellCount + a * nb, 1, z);
            });
        if (interactionContrasts) {
            // The interaction contrasts of a subject: C_A Y_s C_B^T.
            covAB.AddBlock(first, count, [&](std::size_t t, Extended* z) {
                for (std::size_t i = 0; i + 1 < na; ++i)
                    Contrast(cb, nb, &left[t * leftSize + i * nb], 1, z + i * (nb - 1));
            });
        }
    }
    for (auto* list : {&cellRaw, &cellNormal, &aRaw, &aNormal, &bRaw, &bNormal, &differences})
        for (Running& r : *list) r.Finish(n);
    if (exactContrasts) {
        const DecimalUnit unit(part.offsetScale);
        const auto C = static_cast<Extended>(cellCount), NA = static_cast<Extended>(na),
                   NB = static_cast<Extended>(nb);
        for (std::size_t c = 0; c < cellCount; ++c) {
            cellRaw[c] = exactCellRaw[c].Finished(n, 1, unit);
            cellNormal[c] = exactCellNormal[c].Finished(n, C, unit);
        }
        for (std::size_t a = 0; a < na; ++a) {
            aRaw[a] = exactARaw[a].Finished(n, NB, unit);
            aNormal[a] = exactANormal[a].Finished(n, C, unit);
        }
        for (std::size_t b = 0; b < nb; ++b) {
            bRaw[b] = exactBRaw[b].Finished(n, NA, unit);
            bNormal[b] = exactBNormal[b].Finished(n, C, unit);
        }
        for (std::size_t i = 0; i < differences.size(); ++i)
            differences[i] = exactDifferences[i].Finished(n,
                                                          i < pairsA            ? NB
                                                          : i < pairsA + pairsB ? NA
                                                                                : 1,
                                                          unit);
    }

    for (std::size_t c = 0; c < cellCount; ++c)
        out.cells.push_back(Describe(static_cast<std::int32_t>(c / nb + 1),
                                     static_cast<std::int32_t>(c % nb + 1), part.reference, cellRaw[c],
                                     cellNormal[c], n, cellCount, tq));
    for (std::size_t a = 0; a < na; ++a)
        out.marginalA.push_back(
            Describe(static_cast<std::int32_t>(a + 1), 0, part.reference, aRaw[a], aNormal[a], n, na, tq));
    for (std::size_t b = 0; b < nb; ++b)
        out.marginalB.push_back(
            Describe(0, static_cast<std::int32_t>(b + 1), part.reference, bRaw[b], bNormal[b], n, nb, tq));

    // The covariances of the orthonormal contrasts, from either pass.
    const std::vector<Extended> normA = HelmertNorms(na, 1), normB = HelmertNorms(nb, 1);
    const auto covarianceA = [&] {
        return exactContrasts
                   ? exactA.Covariance(n, HelmertNorms(na, static_cast<Extended>(nb)), part.offsetScale)
                   : covA.Covariance(n);
    };
    const auto covarianceB = [&] {
        return exactContrasts
                   ? exactB.Covariance(n, HelmertNorms(nb, static_cast<Extended>(na)), part.offsetScale)
                   : covB.Covariance(n);
    };
    const auto covarianceAB = [&] {
        if (!exactContrasts) return covAB.Covariance(n);
        std::vector<Extended> norm;
        for (Extended u : normA)
            for (Extended v : normB) norm.push_back(u * v);
        return exactAB.Covariance(n, norm, part.offsetScale);
    };
    const auto covarianceAatB = [&](std::size_t b) {
        return exactContrasts ? exactAatB[b].Covariance(n, normA, part.offsetScale)
                              : covAatB[b].Covariance(n);
    };
    const auto covarianceBatA = [&](std::size_t a) {
        return exactContrasts ? exactBatA[a].Covariance(n, normB, part.offsetScale)
                              : covBatA[a].Covariance(n);
    };

    // Sphericity of the effects of more than one degree of freedom.
    if (n > 1 && na > 2)
        out.A.sphericity = SphericityFrom(covarianceA(), na - 1, n, out.A.f, out.A.effect.df, out.A.error.df);
    if (n > 1 && nb > 2)
        out.B.sphericity = SphericityFrom(covarianceB(), nb - 1, n, out.B.f, out.B.effect.df, out.B.error.df);
    if (n > 1 && interactionContrasts)
        out.AB.sphericity =
            SphericityFrom(covarianceAB(), kab, n, out.AB.f, out.AB.effect.df, out.AB.error.df);

    // Pairwise comparisons, family by family, in the order of the pass.
    const Running* d = differences.data();
    const auto family = [&](Factor factor, std::int32_t at, std::size_t levels) {
        const std::size_t first = out.comparisons.size();
        for (std::size_t i = 0; i < levels; ++i)
            for (std::size_t j = i + 1; j < levels; ++j) {
                ComparisonResult c = Paired(*d++, n, tq);
                c.factor = factor;
                c.at = at;
                c.i = static_cast<std::int32_t>(i + 1);
                c.j = static_cast<std::int32_t>(j + 1);
                out.comparisons.push_back(c);
            }
        Adjust(out.comparisons, first, out.comparisons.size());
    };
    family(Factor::A, 0, na);
    family(Factor::B, 0, nb);
    for (std::size_t b = 0; b < nb; ++b) family(Factor::A, static_cast<std::int32_t>(b + 1), na);
    for (std::size_t a = 0; a < na; ++a) family(Factor::B, static_cast<std::int32_t>(a + 1), nb);

    // Simple main effects.
    std::vector<Extended> sliceMeans;
    for (std::size_t b = 0; b < nb; ++b) {
        sliceMeans.clear();
        for (std::size_t a = 0; a < na; ++a) sliceMeans.push_back(cellRaw[a * nb + b].mean);
        SimpleEffectResult r = OneWay(n, na, sliceMeans, n > 1 && na > 1 ? covarianceAatB(b) : Matrix());
        r.effect = Factor::A;
        r.at = static_cast<std::int32_t>(b + 1);
        out.simpleEffects.push_back(r);
    }
    for (std::size_t a = 0; a < na; ++a) {
        sliceMeans.clear();
        for (std::size_t b = 0; b < nb; ++b) sliceMeans.push_back(cellRaw[a * nb + b].mean);
        SimpleEffectResult r = OneWay(n, nb, sliceMeans, n > 1 && nb > 1 ? covarianceBatA(a) : Matrix());
        r.effect = Factor::B;
        r.at = static_cast<std::int32_t>(a + 1);
        out.simpleEffects.push_back(r);
    }
    CheckAllFinite(out);
    return out;
}

}  // namespace morvane
