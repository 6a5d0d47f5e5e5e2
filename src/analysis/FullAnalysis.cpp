#include "analysis/FullAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

#include "analysis/Distributions.h"
#include "analysis/ParseScores.h"

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

// The covariance matrix (divisor n - 1) of k contrast scores that fill(s, z)
// writes for each subject s, updated subject by subject from the running mean.
template <typename Fill>
Matrix ContrastCovariance(std::size_t n, std::size_t k, Fill&& fill) {
    Matrix m2(k * k, 0);
    std::vector<Extended> mean(k, 0), z(k), delta(k);
    for (std::size_t s = 0; s < n; ++s) {
        fill(s, z.data());
        const Extended weight = 1 / static_cast<Extended>(s + 1);
        for (std::size_t i = 0; i < k; ++i) {
            delta[i] = z[i] - mean[i];
            mean[i] += delta[i] * weight;
        }
        for (std::size_t i = 0; i < k; ++i) {
            Extended* row = &m2[i * k];
            const Extended di = delta[i];
            for (std::size_t j = i; j < k; ++j) row[j] += di * (z[j] - mean[j]);
        }
    }
    const Extended divisor = static_cast<Extended>(n - 1);
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = i; j < k; ++j) m2[j * k + i] = m2[i * k + j] = m2[i * k + j] / divisor;
    return m2;
}

// The natural logarithm of the determinant of a symmetric positive definite
// matrix by Cholesky's factorisation; absent when it is not positive definite.
std::optional<Extended> LogDeterminant(Matrix m, std::size_t k) {
    Extended logDet = 0;
    for (std::size_t j = 0; j < k; ++j) {
        Extended d = m[j * k + j];
        for (std::size_t l = 0; l < j; ++l) d -= m[j * k + l] * m[j * k + l];
        if (!(d > 0)) return std::nullopt;
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

std::optional<Extended> GreenhouseGeisser(const Matrix& s, std::size_t k) {
    Extended trace = 0, squares = 0;
    for (std::size_t i = 0; i < k; ++i) trace += s[i * k + i];
    for (Extended v : s) squares += v * v;
    if (!(squares > 0)) return std::nullopt;
    return trace * trace / (static_cast<Extended>(k) * squares);
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
    const std::optional<Extended> logDet = LogDeterminant(s, k);
    if (!logDet) return out;
    const Extended logW = *logDet - K * std::log(trace / K);
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

// A one-way within-subjects analysis of an n x levels slice get(s, l).
template <typename Get>
SimpleEffectResult OneWay(std::size_t n, std::size_t levels, Get&& get) {
    SimpleEffectResult r;
    std::vector<Extended> column(levels, 0), row(n, 0);
    Extended grand = 0;
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t l = 0; l < levels; ++l) {
            const Extended v = get(s, l);
            column[l] += v;
            row[s] += v;
        }
    for (Extended& v : column) v /= static_cast<Extended>(n);
    for (Extended& v : row) v /= static_cast<Extended>(levels);
    for (Extended v : column) grand += v;
    grand /= static_cast<Extended>(levels);
    for (Extended v : column) r.ss += (v - grand) * (v - grand);
    r.ss *= static_cast<Extended>(n);
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t l = 0; l < levels; ++l) {
            const Extended residual = get(s, l) - row[s] - column[l] + grand;
            r.errorSs += residual * residual;
        }
    r.ss = CheckFinite(r.ss);
    r.errorSs = CheckFinite(r.errorSs);
    r.df1 = static_cast<std::int64_t>(levels) - 1;
    r.df2 = r.df1 * (static_cast<std::int64_t>(n) - 1);
    if (r.df1 > 0 && r.df2 > 0 && r.errorSs > 0) {
        r.f = (r.ss / static_cast<Extended>(r.df1)) / (r.errorSs / static_cast<Extended>(r.df2));
        r.p = FUpperTail(*r.f, static_cast<Extended>(r.df1), static_cast<Extended>(r.df2));
    }
    r.partialEtaSquared = Ratio(r.ss, r.ss + r.errorSs);
    if (levels > 2 && n > 1) {
        const Matrix c = Contrasts(levels);
        const std::size_t k = levels - 1;
        const Matrix cov = ContrastCovariance(n, k, [&](std::size_t s, Extended* z) {
            for (std::size_t j = 0; j < k; ++j) {
                Extended v = 0;
                for (std::size_t l = 0; l < levels; ++l) v += c[j * levels + l] * get(s, l);
                z[j] = v;
            }
        });
        r.ggEpsilon = GreenhouseGeisser(cov, k);
        if (r.ggEpsilon && r.f)
            r.ggP = FUpperTail(*r.f, static_cast<Extended>(r.df1) * *r.ggEpsilon,
                               static_cast<Extended>(r.df2) * *r.ggEpsilon);
    }
    return r;
}

// Mean, SD, SE and the two intervals of one mean from the subjects' values
// (offsets from `reference`) and their normalised values over `conditions`.
MeanResult Describe(std::int32_t a, std::int32_t b, Extended reference, const std::vector<Extended>& raw,
                    const std::vector<Extended>& normalised, std::size_t conditions,
                    std::optional<Extended> tq) {
    MeanResult m;
    m.a = a;
    m.b = b;
    const std::size_t n = raw.size();
    const auto N = static_cast<Extended>(n);
    Extended mean = 0;
    for (Extended v : raw) mean += v;
    mean /= N;
    m.mean = reference + mean;
    if (n < 2) return m;
    Extended squares = 0;
    for (Extended v : raw) squares += (v - mean) * (v - mean);
    m.sd = std::sqrt(squares / (N - 1));
    m.se = *m.sd / std::sqrt(N);
    if (tq) m.ci95 = Interval{m.mean - *tq * *m.se, m.mean + *tq * *m.se};
    if (conditions < 2 || !tq) return m;
    Extended normalMean = 0, normalSquares = 0;
    for (Extended v : normalised) normalMean += v;
    normalMean /= N;
    for (Extended v : normalised) normalSquares += (v - normalMean) * (v - normalMean);
    const auto C = static_cast<Extended>(conditions);
    const Extended se = std::sqrt(normalSquares / (N - 1) * C / (C - 1) / N);
    m.withinCi95 = Interval{m.mean - *tq * se, m.mean + *tq * se};
    return m;
}

// The paired t test of the subjects' differences d.
ComparisonResult Paired(const std::vector<Extended>& d, std::optional<Extended> tq) {
    ComparisonResult c;
    const std::size_t n = d.size();
    const auto N = static_cast<Extended>(n);
    Extended mean = 0;
    for (Extended v : d) mean += v;
    mean /= N;
    c.difference = mean;
    c.df = static_cast<std::int64_t>(n) - 1;
    if (n < 2) return c;
    Extended squares = 0;
    for (Extended v : d) squares += (v - mean) * (v - mean);
    const Extended sd = std::sqrt(squares / (N - 1));
    const Extended se = sd / std::sqrt(N);
    if (tq) c.ci95 = Interval{mean - *tq * se, mean + *tq * se};
    if (!(sd > 0)) return c;
    c.t = mean / se;
    c.p = TTwoSided(*c.t, N - 1);
    c.cohenDz = mean / sd;
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
    r.partialEtaSquared = Ratio(effect.ss, effect.ss + error.ss);
    r.generalizedEtaSquared = Ratio(effect.ss, effect.ss + otherErrors);
    return r;
}

}  // namespace

FullAnalysis AnalyseStudy(StudyStore& store, char separator) {
    const ScoreArray<Extended>& values = store.CellValue;
    if (values.Extent0() != std::int64_t{store.SubjectCount} + 1 ||
        values.Extent1() != std::int64_t{store.LevelCountA} + 1 ||
        values.Extent2() != std::int64_t{store.LevelCountB} + 1)
        SizeCellValue(store);
    ParseAllScores(store, separator);

    FullAnalysis out;
    out.subjects = store.SubjectCount;
    out.levelsA = store.LevelCountA;
    out.levelsB = store.LevelCountB;
    for (std::int32_t a = 1; a <= out.levelsA; ++a)
        out.namesA.push_back(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= out.levelsB; ++b)
        out.namesB.push_back(store.LevelNamesB[static_cast<std::size_t>(b)]);

    ExactPartition part = ComputeExactPartition(store, separator, true);
    out.precision = CheckResultsFile(store, part, separator);
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
    const std::vector<Extended>& y = part.offsets;
    const auto Y = [&](std::size_t s, std::size_t a, std::size_t b) { return y[(s * na + a) * nb + b]; };
    const std::optional<Extended> tq = TQuantile975(static_cast<Extended>(n) - 1);

    // Each subject's means over B (for each level of A), over A, and over all.
    std::vector<Extended> meanA(n * na, 0), meanB(n * nb, 0), meanS(n, 0);
    for (std::size_t s = 0; s < n; ++s) {
        for (std::size_t a = 0; a < na; ++a)
            for (std::size_t b = 0; b < nb; ++b) {
                const Extended v = Y(s, a, b);
                meanA[s * na + a] += v;
                meanB[s * nb + b] += v;
                meanS[s] += v;
            }
        for (std::size_t a = 0; a < na; ++a) meanA[s * na + a] /= static_cast<Extended>(nb);
        for (std::size_t b = 0; b < nb; ++b) meanB[s * nb + b] /= static_cast<Extended>(na);
        meanS[s] /= static_cast<Extended>(na * nb);
    }
    Extended grand = 0;
    for (Extended v : meanS) grand += v;
    grand /= static_cast<Extended>(n);

    // Means: the normalised value of a subject is its own less its mean plus the grand mean.
    std::vector<Extended> raw(n), normal(n);
    for (std::size_t a = 0; a < na; ++a)
        for (std::size_t b = 0; b < nb; ++b) {
            for (std::size_t s = 0; s < n; ++s) {
                raw[s] = Y(s, a, b);
                normal[s] = raw[s] - meanS[s] + grand;
            }
            out.cells.push_back(Describe(static_cast<std::int32_t>(a + 1), static_cast<std::int32_t>(b + 1),
                                         part.reference, raw, normal, na * nb, tq));
        }
    for (std::size_t a = 0; a < na; ++a) {
        for (std::size_t s = 0; s < n; ++s) {
            raw[s] = meanA[s * na + a];
            normal[s] = raw[s] - meanS[s] + grand;
        }
        out.marginalA.push_back(
            Describe(static_cast<std::int32_t>(a + 1), 0, part.reference, raw, normal, na, tq));
    }
    for (std::size_t b = 0; b < nb; ++b) {
        for (std::size_t s = 0; s < n; ++s) {
            raw[s] = meanB[s * nb + b];
            normal[s] = raw[s] - meanS[s] + grand;
        }
        out.marginalB.push_back(
            Describe(0, static_cast<std::int32_t>(b + 1), part.reference, raw, normal, nb, tq));
    }

    // Sphericity of the effects of more than one degree of freedom.
    if (n > 1 && na > 2) {
        const Matrix c = Contrasts(na);
        const Matrix cov = ContrastCovariance(n, na - 1, [&](std::size_t s, Extended* z) {
            for (std::size_t j = 0; j + 1 < na; ++j) {
                Extended v = 0;
                for (std::size_t a = 0; a < na; ++a) v += c[j * na + a] * meanA[s * na + a];
                z[j] = v;
            }
        });
        out.A.sphericity = SphericityFrom(cov, na - 1, n, out.A.f, out.A.effect.df, out.A.error.df);
    }
    if (n > 1 && nb > 2) {
        const Matrix c = Contrasts(nb);
        const Matrix cov = ContrastCovariance(n, nb - 1, [&](std::size_t s, Extended* z) {
            for (std::size_t j = 0; j + 1 < nb; ++j) {
                Extended v = 0;
                for (std::size_t b = 0; b < nb; ++b) v += c[j * nb + b] * meanB[s * nb + b];
                z[j] = v;
            }
        });
        out.B.sphericity = SphericityFrom(cov, nb - 1, n, out.B.f, out.B.effect.df, out.B.error.df);
    }
    const std::size_t kab = (na - 1) * (nb - 1);
    if (n > 1 && kab > 1) {
        if (kab > kMaxContrasts ||
            static_cast<Extended>(n) * static_cast<Extended>(kab) * static_cast<Extended>(kab) >
                kMaxContrastWork) {
            out.AB.sphericityOmitted = true;
        } else {
            // The interaction contrasts of a subject: C_A Y_s C_B^T.
            const Matrix ca = Contrasts(na), cb = Contrasts(nb);
            std::vector<Extended> left((na - 1) * nb);
            const Matrix cov = ContrastCovariance(n, kab, [&](std::size_t s, Extended* z) {
                for (std::size_t i = 0; i + 1 < na; ++i)
                    for (std::size_t b = 0; b < nb; ++b) {
                        Extended v = 0;
                        for (std::size_t a = 0; a < na; ++a) v += ca[i * na + a] * Y(s, a, b);
                        left[i * nb + b] = v;
                    }
                for (std::size_t i = 0; i + 1 < na; ++i)
                    for (std::size_t j = 0; j + 1 < nb; ++j) {
                        Extended v = 0;
                        for (std::size_t b = 0; b < nb; ++b) v += left[i * nb + b] * cb[j * nb + b];
                        z[i * (nb - 1) + j] = v;
                    }
            });
            out.AB.sphericity = SphericityFrom(cov, kab, n, out.AB.f, out.AB.effect.df, out.AB.error.df);
        }
    }

    // Pairwise comparisons, family by family.
    std::vector<Extended> d(n);
    const auto family = [&](Factor factor, std::int32_t at, std::size_t levels, auto&& value) {
        const std::size_t first = out.comparisons.size();
        for (std::size_t i = 0; i < levels; ++i)
            for (std::size_t j = i + 1; j < levels; ++j) {
                for (std::size_t s = 0; s < n; ++s) d[s] = value(s, i) - value(s, j);
                ComparisonResult c = Paired(d, tq);
                c.factor = factor;
                c.at = at;
                c.i = static_cast<std::int32_t>(i + 1);
                c.j = static_cast<std::int32_t>(j + 1);
                out.comparisons.push_back(c);
            }
        Adjust(out.comparisons, first, out.comparisons.size());
    };
    family(Factor::A, 0, na, [&](std::size_t s, std::size_t a) { return meanA[s * na + a]; });
    family(Factor::B, 0, nb, [&](std::size_t s, std::size_t b) { return meanB[s * nb + b]; });
    for (std::size_t b = 0; b < nb; ++b)
        family(Factor::A, static_cast<std::int32_t>(b + 1), na,
               [&](std::size_t s, std::size_t a) { return Y(s, a, b); });
    for (std::size_t a = 0; a < na; ++a)
        family(Factor::B, static_cast<std::int32_t>(a + 1), nb,
               [&](std::size_t s, std::size_t b) { return Y(s, a, b); });

    // Simple main effects.
    for (std::size_t b = 0; b < nb; ++b) {
        SimpleEffectResult r = OneWay(n, na, [&](std::size_t s, std::size_t a) { return Y(s, a, b); });
        r.effect = Factor::A;
        r.at = static_cast<std::int32_t>(b + 1);
        out.simpleEffects.push_back(r);
    }
    for (std::size_t a = 0; a < na; ++a) {
        SimpleEffectResult r = OneWay(n, nb, [&](std::size_t s, std::size_t b) { return Y(s, a, b); });
        r.effect = Factor::B;
        r.at = static_cast<std::int32_t>(a + 1);
        out.simpleEffects.push_back(r);
    }
    return out;
}

}  // namespace morvane
