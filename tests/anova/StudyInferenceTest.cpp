// The one engine's inference on a data file's study against rational
// arithmetic of the test's own and tails in closed form: Mauchly's test with
// its second-order term, the within-subject intervals, the paired comparisons
// and the simple effects, from offsets of 31 bits and from integers too wide
// for them; Hotelling's T^2 of the multivariate tests on contrasts of another
// basis; the effect sizes' intervals against the noncentral distributions
// computed another way.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "design/StudyDesign.h"
#include "stats/Distributions.h"
#include "store/DataFile.h"
#include "support/RationalArithmetic.h"

namespace morvane::anova {
namespace {

using morvane::testing::Rational;
using morvane::testing::Study;
using Rationals = std::vector<mpq_class>;

// P(X > x) for the chi-square distribution on df degrees of freedom:
// Q(x, 1) = erfc(sqrt(x / 2)), Q(x, 2) = exp(-x / 2) and
// Q(x, v + 2) = Q(x, v) + (x / 2)^(v / 2) exp(-x / 2) / Gamma(v / 2 + 1).
long double ChiSquareTail(long double x, int df) {
    long double q = df % 2 ? std::erfc(std::sqrt(x / 2)) : std::exp(-x / 2);
    for (int v = 2 - df % 2; v < df; v += 2)
        q += std::pow(x / 2, v / 2.0L) * std::exp(-x / 2) / std::tgamma(v / 2.0L + 1);
    return q;
}

// P(F > f) on (d1, d2) degrees of freedom for an even d2: with x = d2 / (d2 + d1 f),
// 1 - (1 - x)^(d1 / 2) sum over j < d2 / 2 of x^j Gamma(d1 / 2 + j) / (Gamma(d1 / 2) j!).
long double FTail(long double f, int d1, int d2) {
    const long double x = d2 / (d2 + d1 * f), y = d1 * f / (d2 + d1 * f), b = d1 / 2.0L;
    long double term = 1, sum = 0;
    for (int j = 0; j < d2 / 2; ++j) {
        sum += term;
        term *= (b + j) / (j + 1) * x;
    }
    return 1 - std::pow(y, b) * sum;
}

long double Ld(const mpq_class& q) {
    return static_cast<long double>(q.get_d());
}

::testing::AssertionResult Near(std::optional<Extended> value, long double expected,
                                long double tolerance = 1e-10L) {
    if (!value) return ::testing::AssertionFailure() << "absent, expected " << expected;
    if (std::fabs(*value - expected) <= tolerance * std::fabs(expected) + 1e-300L)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << *value << " against " << expected;
}

mpq_class MeanOf(const Rationals& v) {
    mpq_class sum;
    for (const mpq_class& x : v) sum += x;
    return sum / static_cast<long>(v.size());
}

// The sum of squared deviations from the mean over the divisor n - 1.
mpq_class Variance(const Rationals& v) {
    const mpq_class m = MeanOf(v);
    mpq_class sum;
    for (const mpq_class& x : v) sum += (x - m) * (x - m);
    return sum / static_cast<long>(v.size() - 1);
}

// The contrasts of v by rows orthogonal but not normalised, of another family
// than the analysis' own: row j weighs level j against each level after it,
// L - 1 - j against -1. Their squared lengths in `lengths`.
Rationals Contrasts(const Rationals& v, Rationals* lengths = nullptr) {
    const long L = static_cast<long>(v.size());
    Rationals z;
    for (long j = 0; j + 1 < L; ++j) {
        mpq_class c = (L - 1 - j) * v[static_cast<std::size_t>(j)];
        for (long l = j + 1; l < L; ++l) c -= v[static_cast<std::size_t>(l)];
        z.push_back(c);
        if (lengths) lengths->push_back((L - 1 - j) * (L - j));
    }
    return z;
}

mpq_class Determinant(Rationals m, std::size_t k) {
    mpq_class det = 1;
    for (std::size_t c = 0; c < k; ++c) {
        std::size_t p = c;
        while (p < k && m[p * k + c] == 0) ++p;
        if (p == k) return 0;
        if (p != c) {
            for (std::size_t j = 0; j < k; ++j) std::swap(m[p * k + j], m[c * k + j]);
            det = -det;
        }
        det *= m[c * k + c];
        for (std::size_t r = c + 1; r < k; ++r) {
            const mpq_class f = m[r * k + c] / m[c * k + c];
            for (std::size_t j = c; j < k; ++j) m[r * k + j] -= f * m[c * k + j];
        }
    }
    return det;
}

// Mauchly's W and Greenhouse and Geisser's epsilon of the subjects' contrasts
// z[s] (rows of squared lengths `lengths`): the covariance S of the normalised
// contrasts has det S = det M / prod lengths and tr S^2 = sum M_ij^2 / (l_i l_j),
// M the covariance of z.
std::pair<mpq_class, mpq_class> RationalSphericity(const std::vector<Rationals>& z,
                                                   const Rationals& lengths) {
    const std::size_t n = z.size(), k = lengths.size();
    Rationals m(k * k), mean(k);
    for (const Rationals& s : z)
        for (std::size_t i = 0; i < k; ++i) mean[i] += s[i] / static_cast<long>(n);
    for (const Rationals& s : z)
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = 0; j < k; ++j)
                m[i * k + j] += (s[i] - mean[i]) * (s[j] - mean[j]) / static_cast<long>(n - 1);
    mpq_class det = Determinant(m, k), trace, squares, power = 1;
    for (std::size_t i = 0; i < k; ++i) {
        det /= lengths[i];
        trace += m[i * k + i] / lengths[i];
        for (std::size_t j = 0; j < k; ++j)
            squares += m[i * k + j] * m[i * k + j] / (lengths[i] * lengths[j]);
    }
    for (std::size_t i = 0; i < k; ++i) power *= trace / static_cast<long>(k);
    return {det / power, trace * trace / (static_cast<long>(k) * squares)};
}

// Mauchly's test of the contrasts z[s]: the chi-square of Anderson's
// approximation with its second-order term w2, and p with w2 as R forms it
// for a design of `cells` cells.
void ExpectMauchly(const Sphericity& s, const std::vector<Rationals>& z, const Rationals& lengths,
                   long double cells) {
    const auto [w, gg] = RationalSphericity(z, lengths);
    const auto k = static_cast<long double>(lengths.size()), n = static_cast<long double>(z.size());
    const int df = static_cast<int>(k * (k + 1) / 2 - 1);
    EXPECT_EQ(s.df, df);
    EXPECT_TRUE(Near(s.mauchlyW, Ld(w)));
    EXPECT_TRUE(Near(s.greenhouseGeisser.epsilon, Ld(gg)));
    const long double rho = 1 - (2 * k * k + k + 2) / (6 * k * (n - 1));
    const long double chi = -(n - 1) * rho * std::log(Ld(w));
    const long double w2 = (k + 2) * (k - 1) * (k - 2) * (2 * k * k * k + 6 * k * k + 3 * k + 2) /
                           (288 * k * k * (n - 1) * (n - 1) * rho * rho);
    const long double p1 = ChiSquareTail(chi, df), p2 = ChiSquareTail(chi, df + 4);
    EXPECT_TRUE(Near(s.chiSquare, chi));
    EXPECT_TRUE(Near(s.p, p1 + w2 * (p2 - p1)));
    const long double w2R = (k + 2) * (k - 1) * (k - 2) * (2 * k * k * k + 6 * k * k + 3 * cells + 2) /
                            (288 * k * k * (n - 1) * (n - 1) * rho * rho);
    EXPECT_TRUE(Near(s.pAsR, p1 + w2R * (p2 - p1)));
    if (k == 2) {
        EXPECT_EQ(s.pAsR, s.p);
    }
    // The second-order term moves p here (it vanishes for two contrasts).
    if (k > 2) {
        EXPECT_GT(std::fabs(w2 * (p2 - p1)), 1e-4L * p1);
    }
}

// A study's scores as rationals y[s][a * nb + b], with each subject's means
// over B (for each level of A), over A (for each level of B) and over all.
struct RationalStudy {
    std::size_t n, na, nb;
    std::vector<Rationals> y, overB, overA;
    Rationals subject;

    RationalStudy(std::size_t subjects, std::size_t levelsA, std::size_t levelsB,
                  const std::function<std::string(std::size_t, std::size_t, std::size_t)>& text)
        : n(subjects),
          na(levelsA),
          nb(levelsB),
          y(n),
          overB(n, Rationals(na)),
          overA(n, Rationals(nb)),
          subject(n) {
        for (std::size_t s = 0; s < n; ++s)
            for (std::size_t a = 0; a < na; ++a)
                for (std::size_t b = 0; b < nb; ++b) {
                    const mpq_class v = Rational(text(s, a, b));
                    y[s].push_back(v);
                    overB[s][a] += v / static_cast<long>(nb), overA[s][b] += v / static_cast<long>(na);
                    subject[s] += v / static_cast<long>(na * nb);
                }
    }
    // The interaction's contrasts of subject s: the rows of A times those of B.
    Rationals Interaction(std::size_t s) const {
        std::vector<Rationals> ofA(nb);
        for (std::size_t b = 0; b < nb; ++b) {
            Rationals column;
            for (std::size_t a = 0; a < na; ++a) column.push_back(y[s][a * nb + b]);
            ofA[b] = Contrasts(column);
        }
        Rationals z;
        for (std::size_t i = 0; i + 1 < na; ++i) {
            Rationals row;
            for (std::size_t b = 0; b < nb; ++b) row.push_back(ofA[b][i]);
            for (const mpq_class& c : Contrasts(row)) z.push_back(c);
        }
        return z;
    }
};

void ExpectSphericity(const Analysis& r, const RationalStudy& q) {
    std::vector<Rationals> a, b, ab;
    Rationals lengthsA, lengthsB, lengthsAB;
    for (std::size_t s = 0; s < q.n; ++s) {
        a.push_back(Contrasts(q.overB[s], s ? nullptr : &lengthsA));
        b.push_back(Contrasts(q.overA[s], s ? nullptr : &lengthsB));
        ab.push_back(q.Interaction(s));
    }
    for (const mpq_class& u : lengthsA)
        for (const mpq_class& v : lengthsB) lengthsAB.push_back(u * v);
    ASSERT_EQ(r.effects.size(), 3u);
    for (const Effect& e : r.effects) ASSERT_TRUE(e.sphericity) << e.name;
    for (const auto& [name, s, z, lengths] : {std::tuple{"A", &*r.effects[0].sphericity, &a, &lengthsA},
                                              std::tuple{"B", &*r.effects[1].sphericity, &b, &lengthsB},
                                              std::tuple{"AB", &*r.effects[2].sphericity, &ab, &lengthsAB}}) {
        SCOPED_TRACE(name);
        ExpectMauchly(*s, *z, *lengths, static_cast<long double>(q.na * q.nb));
    }
}

// The means: the variance of the subjects' values, and the within-subject
// interval against the ordinary one: the subject's mean taken off each value,
// the variance times C / (C - 1) for C conditions.
void ExpectMeans(const Analysis& r, const RationalStudy& q) {
    ASSERT_EQ(r.marginalMeans.size(), 2u);
    const auto expect = [&](const char* name, const std::vector<Mean>& means, std::size_t conditions,
                            auto&& value) {
        ASSERT_EQ(means.size(), conditions);
        for (std::size_t c = 0; c < conditions; ++c) {
            SCOPED_TRACE(name + std::to_string(c));
            Rationals raw, normalised;
            for (std::size_t s = 0; s < q.n; ++s) {
                raw.push_back(value(s, c));
                normalised.push_back(value(s, c) - q.subject[s]);
            }
            const Mean& m = means[c];
            ASSERT_TRUE(m.sd && m.ci95 && m.withinCi95);
            EXPECT_TRUE(Near(m.mean, Ld(MeanOf(raw)), 1e-15L));
            EXPECT_TRUE(Near(*m.sd * *m.sd, Ld(Variance(raw))));
            const auto C = static_cast<long>(conditions);
            const Extended ratio = (m.withinCi95->high - m.withinCi95->low) / (m.ci95->high - m.ci95->low);
            EXPECT_TRUE(Near(ratio * ratio, Ld(Variance(normalised) * C / (C - 1) / Variance(raw))));
        }
    };
    expect("cell ", r.cellMeans, q.na * q.nb, [&](std::size_t s, std::size_t c) { return q.y[s][c]; });
    expect("A ", r.marginalMeans[0], q.na, [&](std::size_t s, std::size_t a) { return q.overB[s][a]; });
    expect("B ", r.marginalMeans[1], q.nb, [&](std::size_t s, std::size_t b) { return q.overA[s][b]; });
}

// Each paired comparison, in its family's order: t on n - 1 degrees of
// freedom, two-sided (t^2 is F on 1 and n - 1).
void ExpectComparisons(const Analysis& r, const RationalStudy& q) {
    using Level = std::function<mpq_class(std::size_t, std::size_t)>;  // (subject, level)
    std::vector<std::pair<std::size_t, Level>> families = {
        {q.na, [&](std::size_t s, std::size_t a) { return q.overB[s][a]; }},
        {q.nb, [&](std::size_t s, std::size_t b) { return q.overA[s][b]; }}};
    for (std::size_t b = 0; b < q.nb; ++b)
        families.emplace_back(q.na, [&, b](std::size_t s, std::size_t a) { return q.y[s][a * q.nb + b]; });
    for (std::size_t a = 0; a < q.na; ++a)
        families.emplace_back(q.nb, [&, a](std::size_t s, std::size_t b) { return q.y[s][a * q.nb + b]; });
    std::size_t next = 0;
    const int df = static_cast<int>(q.n) - 1;
    for (const auto& [levels, level] : families)
        for (std::size_t i = 0; i < levels; ++i)
            for (std::size_t j = i + 1; j < levels; ++j) {
                SCOPED_TRACE("comparison " + std::to_string(next));
                ASSERT_LT(next, r.comparisons.size());
                const Comparison& c = r.comparisons[next++];
                ASSERT_TRUE(c.i == static_cast<int>(i) && c.j == static_cast<int>(j));
                Rationals d;
                for (std::size_t s = 0; s < q.n; ++s) d.push_back(level(s, i) - level(s, j));
                const mpq_class t2 = MeanOf(d) * MeanOf(d) * static_cast<long>(q.n) / Variance(d);
                EXPECT_EQ(c.df, df);
                ASSERT_TRUE(c.t && c.p);
                EXPECT_TRUE(Near(*c.t * *c.t, Ld(t2)));
                EXPECT_TRUE(Near(c.p, FTail(Ld(t2), 1, df)));
            }
    EXPECT_EQ(next, r.comparisons.size());
}

// Each simple effect: a one-way within-subjects analysis of its slice.
void ExpectSimpleEffects(const Analysis& r, const RationalStudy& q) {
    ASSERT_EQ(r.simpleEffects.size(), q.na + q.nb);
    for (const SimpleEffect& e : r.simpleEffects) {
        const bool ofA = e.factor == 0;
        const auto at = static_cast<std::size_t>(e.at.at(ofA ? 1 : 0));
        SCOPED_TRACE(std::string(ofA ? "A at b" : "B at a") + std::to_string(at + 1));
        const std::size_t levels = ofA ? q.na : q.nb;
        const auto score = [&](std::size_t s, std::size_t l) {
            return ofA ? q.y[s][l * q.nb + at] : q.y[s][at * q.nb + l];
        };
        const auto L = static_cast<long>(levels), N = static_cast<long>(q.n);
        Rationals level(levels), slice(q.n), lengths;
        std::vector<Rationals> z;
        mpq_class all, ss, error;
        for (std::size_t s = 0; s < q.n; ++s) {
            Rationals row;
            for (std::size_t l = 0; l < levels; ++l) {
                row.push_back(score(s, l));
                level[l] += score(s, l) / N, slice[s] += score(s, l) / L, all += score(s, l) / (N * L);
            }
            z.push_back(Contrasts(row, s ? nullptr : &lengths));
        }
        for (std::size_t l = 0; l < levels; ++l) ss += N * (level[l] - all) * (level[l] - all);
        for (std::size_t s = 0; s < q.n; ++s)
            for (std::size_t l = 0; l < levels; ++l) {
                const mpq_class d = score(s, l) - slice[s] - level[l] + all;
                error += d * d;
            }
        const int df1 = static_cast<int>(L - 1), df2 = static_cast<int>((L - 1) * (N - 1));
        const mpq_class f = (ss / df1) / (error / df2);
        EXPECT_EQ(e.df1, df1);
        EXPECT_EQ(e.df2, df2);
        EXPECT_TRUE(Near(e.ss, Ld(ss)));
        EXPECT_TRUE(Near(e.errorSs, Ld(error)));
        EXPECT_TRUE(Near(e.f, Ld(f)));
        EXPECT_TRUE(Near(e.p, FTail(Ld(f), df1, df2)));
        EXPECT_TRUE(Near(e.partialEtaSquared, Ld(ss / (ss + error))));
        EXPECT_TRUE(Near(e.ggEpsilon, Ld(RationalSphericity(z, lengths).second)));
    }
}

TEST(StudyInferenceTest, AgreesWithRationalArithmeticAndTailsInClosedForm) {
    // 13 subjects (even degrees of freedom for every F and t) of a 3 x 4
    // design: A of 2 contrasts, B of 3, the interaction of 6; small effects
    // (no p so small that the closed forms lose its digits), variances growing with b.
    const std::size_t n = 13, na = 3, nb = 4;
    std::mt19937_64 random(47);
    std::vector<std::string> texts;
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t a = 1; a <= na; ++a)
            for (std::size_t b = 1; b <= nb; ++b) {
                const std::size_t tenths = 300 + 10 * (s * 7 % 11) + a * b + random() % (40 * b) - 20 * b;
                texts.push_back(std::to_string(tenths / 10) + "." + std::to_string(tenths % 10));
            }
    // As they are and with 10^-6 more (offsets of 31 bits), and with 10^-10
    // more (offsets too wide for 31 bits: integers of any width).
    for (const std::string tail : {"", "000000001", "00001"}) {
        SCOPED_TRACE("tail " + tail);
        const auto text = [&](std::size_t s, std::size_t a, std::size_t b) {
            return texts[(s * na + a) * nb + b] + tail;
        };
        const StudyStore store =
            Study(static_cast<int>(n), static_cast<int>(na), static_cast<int>(nb), [&](int s, int a, int b) {
                return text(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(a - 1),
                            static_cast<std::size_t>(b - 1));
            });
        const DesignData design = DesignFromStudy(store, '.');
        EXPECT_EQ(detail::IntegerScores(design).Quick(), tail != "000000001");
        const Analysis r = Analyse(design);
        const RationalStudy q(n, na, nb, text);
        ExpectSphericity(r, q);
        ExpectMeans(r, q);
        ExpectComparisons(r, q);
        ExpectSimpleEffects(r, q);
    }
}

// The closed forms themselves, at points whose tails are known.
TEST(StudyInferenceTest, ClosedFormTailsAgreeWithKnownValues) {
    EXPECT_NEAR(static_cast<double>(ChiSquareTail(3.841458820694126L, 1)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(ChiSquareTail(11.07049769351635L, 5)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(ChiSquareTail(31.41043284423093L, 20)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(FTail(4.747225346722517L, 1, 12)), 0.05, 1e-14);  // t_.975(12)^2
    EXPECT_NEAR(static_cast<double>(FTail(3.402826105350195L, 2, 24)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(FTail(2.86626555094018L, 3, 36)), 0.05, 1e-14);
}


// Hotelling's T^2 of the contrasts d by its definition n m' S^-1 m in rationals.
mpq_class HotellingT2(const std::vector<Rationals>& d) {
    const std::size_t n = d.size(), k = d[0].size();
    Rationals m(k, 0);
    for (const auto& row : d)
        for (std::size_t i = 0; i < k; ++i) m[i] += row[i] / static_cast<long>(n);
    std::vector<Rationals> s(k, Rationals(k + 1, 0));
    for (const auto& row : d)
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = 0; j < k; ++j) s[i][j] += (row[i] - m[i]) * (row[j] - m[j]) / static_cast<long>(n - 1);
    for (std::size_t i = 0; i < k; ++i) s[i][k] = m[i];
    for (std::size_t c = 0; c < k; ++c) {  // Gauss-Jordan on [S | m]
        std::size_t pivot = c;
        while (s[pivot][c] == 0) ++pivot;
        std::swap(s[c], s[pivot]);
        for (std::size_t r = 0; r < k; ++r) {
            if (r == c || s[r][c] == 0) continue;
            const mpq_class factor = s[r][c] / s[c][c];
            for (std::size_t j = c; j <= k; ++j) s[r][j] -= factor * s[c][j];
        }
    }
    mpq_class t2 = 0;
    for (std::size_t i = 0; i < k; ++i) t2 += m[i] * s[i][k] / s[i][i];
    return t2 * static_cast<long>(n);
}

// The multivariate test of a within effect of a study: the one root T^2 / (N
// - 1) of its contrasts of another basis (successive differences), and the
// four statistics from it, each with the one exact F.
TEST(StudyInferenceTest, MultivariateTestsAreHotellingsT2OfContrastsOfAnotherBasis) {
    std::mt19937 random(20261209);
    for (const auto& size : {std::tuple{9, 3, 4}, std::tuple{12, 4, 3}, std::tuple{30, 5, 2}}) {
        const int n = std::get<0>(size), na = std::get<1>(size), nb = std::get<2>(size);
        SCOPED_TRACE(n * 100 + na * 10 + nb);
        std::vector<int> y(static_cast<std::size_t>(n * na * nb));
        for (int& v : y) v = static_cast<int>(random() % 41) - 20;
        const auto at = [&](int s, int a, int b) { return y[static_cast<std::size_t>((s * na + a) * nb + b)]; };
        const Analysis r = Analyse(DesignFromStudy(
            Study(n, na, nb, [&](int s, int a, int b) { return std::to_string(at(s - 1, a - 1, b - 1)); }), '.'));
        // Successive differences of the levels' sums, and differences of differences of the cells.
        const auto rows = static_cast<std::size_t>(n);
        std::vector<Rationals> dA(rows), dB(rows), dAB(rows);
        for (int s = 0; s < n; ++s) {
            const auto i = static_cast<std::size_t>(s);
            for (int a = 0; a + 1 < na; ++a) {
                mpq_class sum = 0;
                for (int b = 0; b < nb; ++b) sum += at(s, a, b) - at(s, a + 1, b);
                dA[i].push_back(sum);
            }
            for (int b = 0; b + 1 < nb; ++b) {
                mpq_class sum = 0;
                for (int a = 0; a < na; ++a) sum += at(s, a, b) - at(s, a, b + 1);
                dB[i].push_back(sum);
            }
            for (int a = 0; a + 1 < na; ++a)
                for (int b = 0; b + 1 < nb; ++b)
                    dAB[i].push_back(at(s, a, b) - at(s, a + 1, b) - at(s, a, b + 1) + at(s, a + 1, b + 1));
        }
        const std::vector<Rationals>* contrasts[] = {&dA, &dB, &dAB};
        for (std::size_t e = 0; e < 3; ++e) {
            const MultivariateTest& m = *r.effects[e].multivariate;
            const std::vector<Rationals>& d = *contrasts[e];
            const auto k = static_cast<long>(d[0].size());
            if (k < 2) {
                EXPECT_EQ(m.status, MultivariateStatus::OneDf);
                continue;
            }
            ASSERT_EQ(m.status, MultivariateStatus::Tested);
            const mpq_class lambda = HotellingT2(d) / (n - 1), f = lambda * (n - k) / k;
            ASSERT_FALSE(m.roots.empty());
            EXPECT_TRUE(Near(m.roots[0], Ld(lambda), 1e-13L));
            EXPECT_TRUE(Near(m.pillai.value, Ld(lambda / (1 + lambda)), 1e-13L));
            EXPECT_TRUE(Near(m.wilks.value, Ld(1 / (1 + lambda)), 1e-13L));
            EXPECT_TRUE(Near(m.hotellingLawley.value, Ld(lambda), 1e-13L));
            EXPECT_EQ(m.roy.value, m.hotellingLawley.value);
            for (const MultivariateStatistic* statistic : {&m.pillai, &m.wilks, &m.hotellingLawley, &m.roy}) {
                EXPECT_TRUE(Near(statistic->f, Ld(f), 1e-13L));
                EXPECT_EQ(statistic->df1, k);
                EXPECT_EQ(statistic->df2, n - k);
            }
        }
    }
}

// P(F <= f | lambda) on (d1, d2) for an even d2: the Poisson (lambda / 2)
// mixture over j of I_y(d1 / 2 + j, d2 / 2), y = d1 f / (d2 + d1 f), each
// y^a sum over i < d2 / 2 of Gamma(a + i) / (Gamma(a) i!) (1 - y)^i.
long double NoncentralFCdf(long double f, int d1, int d2, long double lambda) {
    const long double y = d1 * f / (d2 + d1 * f);
    long double total = 0;
    for (int j = 0; j < 100000; ++j) {
        const long double a = d1 / 2.0L + j;
        long double term = 1, sum = 0;
        for (int i = 0; i < d2 / 2; ++i) {
            sum += term;
            term *= (a + i) / (i + 1) * (1 - y);
        }
        const long double weight =
            lambda == 0 ? (j == 0) : std::exp(-lambda / 2 + j * std::log(lambda / 2) - std::lgamma(j + 1.0L));
        total += weight * std::pow(y, a) * sum;
        if (j > lambda && weight < 1e-30L) break;
    }
    return total;
}

// P(T <= t | delta) on nu degrees of freedom: the integral over s = sqrt(V / nu),
// V chi-square on nu, of Phi(t s - delta) times the density of s (Simpson's rule).
long double NoncentralTCdf(long double t, int nu, long double delta, int steps = 4000) {
    const long double top = 1 + 12 / std::sqrt(static_cast<long double>(nu)), h = top / steps;
    const long double logC = std::log(2.0L) + (nu / 2.0L) * std::log(nu / 2.0L) - std::lgamma(nu / 2.0L);
    long double sum = 0;
    for (int i = 1; i < steps; ++i) {
        const long double s = i * h;
        const long double density = std::exp(logC + (nu - 1) * std::log(s) - nu * s * s / 2);
        sum += (i % 2 ? 4 : 2) * density * 0.5L * std::erfc(-(t * s - delta) / std::sqrt(2.0L));
    }
    return sum * h / 3;
}

// The x in [low, high] at which a decreasing `cdf` is `target`, by bisection.
long double Bisect(const std::function<long double(long double)>& cdf, long double target, long double low,
                   long double high) {
    for (int i = 0; i < 200 && high - low > 1e-13L * (1 + std::fabs(low)); ++i) {
        const long double mid = (low + high) / 2;
        (cdf(mid) > target ? low : high) = mid;
    }
    return (low + high) / 2;
}

bool Within(long double value, long double expected, long double tolerance) {
    return std::fabs(value - expected) <= tolerance * (1 + std::fabs(expected));
}

std::string TwoPlaces(Extended v) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2Lf", v);
    return text;
}

Analysis EightSubjects(const Options& options = {}) {
    StudyStore store;
    LoadStudyFile(store, std::string(MORVANE_EXAMPLES) + "/eight-subjects-2x3.dat");
    return Analyse(DesignFromStudy(store, '.'), options);
}

TEST(StudyInferenceTest, IntervalsInvertTheNoncentralDistributionsComputedAnotherWay) {
    // The noncentral F: the floor at lambda = 0 for an F too small, both limits
    // inside otherwise, every limit where the distribution reaches the level's tails.
    const struct {
        long double f;
        int d1, d2;
        bool lowerAtZero, upperAtZero;
    } fs[] = {{29.2173913043478L, 2, 14, false, false},
              {3.1L, 3, 20, false, false},
              {1.2L, 4, 30, true, false},
              {0.05L, 2, 10, true, true},
              {55.0L, 1, 8, false, false}};
    for (const auto& c : fs) {
        SCOPED_TRACE(static_cast<double>(c.f));
        const auto limits = NoncentralFLimits(c.f, c.d1, c.d2, 0.9L);
        ASSERT_TRUE(limits);
        const auto cdf = [&](long double lambda) { return NoncentralFCdf(c.f, c.d1, c.d2, lambda); };
        EXPECT_EQ(limits->lower == 0, c.lowerAtZero);
        EXPECT_EQ(limits->upper == 0, c.upperAtZero);
        if (!c.lowerAtZero) {
            EXPECT_TRUE(Within(limits->lower, Bisect(cdf, 0.95L, 0, 2000), 1e-9L));
        }
        if (!c.upperAtZero) {
            EXPECT_TRUE(Within(limits->upper, Bisect(cdf, 0.05L, 0, 2000), 1e-9L));
        }
    }
    EXPECT_FALSE(NoncentralFLimits(2, 0, 14, 0.9L) || NoncentralFLimits(2, 2, 14, 1) ||
                 NoncentralTLimits(INFINITY, 7, 0.9L));

    // The example's effect B, and on the Greenhouse-Geisser df F(1.14, 7.95).
    const Analysis r = EightSubjects();
    const Effect &a = r.effects[0], &b = r.effects[1];
    ASSERT_TRUE(b.partialEtaSquaredCI && b.partialEtaSquaredCIGG);
    const LevelInterval& ci = *b.partialEtaSquaredCI;
    EXPECT_EQ(ci.level, Extended{0.9L});
    EXPECT_EQ(TwoPlaces(ci.lower) + " " + TwoPlaces(ci.upper), "0.60 0.89");
    EXPECT_EQ(TwoPlaces(b.partialEtaSquaredCIGG->lower) + " " + TwoPlaces(b.partialEtaSquaredCIGG->upper),
              "0.49 0.90");
    EXPECT_EQ(b.error.ms, Extended{11.5L});
    const auto cdfB = [](long double lambda) { return NoncentralFCdf(29.2173913043478L, 2, 14, lambda); };
    const long double lambdaLow = Bisect(cdfB, 0.95L, 0, 2000);
    EXPECT_TRUE(Within(ci.lower, lambdaLow / (lambdaLow + 14), 1e-9L));
    // A single df: the GG interval is the uncorrected one.
    ASSERT_TRUE(a.partialEtaSquaredCI && a.partialEtaSquaredCIGG);
    EXPECT_EQ(a.partialEtaSquaredCIGG->lower, a.partialEtaSquaredCI->lower);
    // Simple effects of B at each level of A, on (2, 14).
    for (const SimpleEffect& s : r.simpleEffects) {
        if (s.factor != 1) continue;
        ASSERT_TRUE(s.partialEtaSquaredCI && s.f);
        const auto cdf = [&](long double lambda) { return NoncentralFCdf(*s.f, 2, 14, lambda); };
        const long double upper = Bisect(cdf, 0.05L, 0, 2000);
        EXPECT_TRUE(Within(s.partialEtaSquaredCI->upper, upper / (upper + 14), 1e-9L));
        EXPECT_LT(s.partialEtaSquaredCI->lower, *s.partialEtaSquared);
    }

    // d_z of each paired comparison: the noncentral t on N - 1 = 7, over sqrt(8).
    for (std::size_t i : {0u, 1u, 5u}) {
        const Comparison& c = r.comparisons.at(i);
        ASSERT_TRUE(c.t && c.dCI);
        const auto cdf = [&](long double delta) { return NoncentralTCdf(*c.t, 7, delta); };
        EXPECT_TRUE(Within(c.dCI->lower * std::sqrt(8.0L), Bisect(cdf, 0.95L, *c.t - 10, *c.t + 10), 1e-8L));
        EXPECT_TRUE(Within(c.dCI->upper * std::sqrt(8.0L), Bisect(cdf, 0.05L, *c.t - 10, *c.t + 10), 1e-8L));
    }
    // A t large enough for the integral instead of the series.
    const auto large = NoncentralTLimits(250, 7, 0.9L);
    ASSERT_TRUE(large);
    const auto cdf = [](long double delta) { return NoncentralTCdf(250, 7, delta, 100000); };
    EXPECT_TRUE(Within(large->lower, Bisect(cdf, 0.95L, 50, 250), 1e-8L));
    EXPECT_TRUE(Within(large->upper, Bisect(cdf, 0.05L, 250, 800), 1e-8L));
    // d_av over the mean of the two levels' SDs, g_av with J = 1 - 3 / (8 N - 9).
    const Comparison& first = r.comparisons[0];  // a1 against a2
    const Extended meanSd = (*r.marginalMeans[0][0].sd + *r.marginalMeans[0][1].sd) / 2;
    EXPECT_TRUE(Within(*first.dAv, first.difference / meanSd, 1e-15L));
    EXPECT_TRUE(Within(*first.gAv, *first.dAv * 52 / 55, 1e-15L));

    // Another level widens every interval.
    Options wider;
    wider.effectSizeLevel = 0.95L;
    const Analysis wide = EightSubjects(wider);
    EXPECT_EQ(wide.effects[1].partialEtaSquaredCI->level, Extended{0.95L});
    EXPECT_LT(wide.effects[1].partialEtaSquaredCI->lower, ci.lower);
    EXPECT_GT(wide.comparisons[0].dCI->upper, r.comparisons[0].dCI->upper);
}

// Mauchly's W of a singular covariance, and the Huynh-Feldt epsilon of two subjects.
TEST(StudyInferenceTest, SphericityAtItsEdges) {
    // Two subjects of a 4 x 3 study: HF is 0 / 0 for every effect, as its df and p.
    const Analysis two = Analyse(DesignFromStudy(
        Study(2, 4, 3, [](int s, int a, int b) { return std::to_string(s * a * a + b * (s + 2) + s * a * b * b); }),
        '.'));
    for (const Effect& e : two.effects) {
        ASSERT_TRUE(e.sphericity);
        EXPECT_TRUE(e.sphericity->greenhouseGeisser.epsilon);
        EXPECT_FALSE(e.sphericity->huynhFeldt.epsilon || e.sphericity->huynhFeldt.p);
    }
    // Three levels of B whose differences are collinear across the subjects:
    // W = 0, p = 0, chi-square infinite.
    const Analysis singular = Analyse(DesignFromStudy(
        Study(6, 2, 3, [](int s, int a, int b) { return std::to_string(b == 3 ? 2 * s + a : b * s + a * s); }),
        '.'));
    ASSERT_TRUE(singular.effects[1].sphericity);
    const Sphericity& w = *singular.effects[1].sphericity;
    EXPECT_TRUE(w.mauchlyW == Extended{0} && w.p == Extended{0} && w.chiSquareInfinite && !w.chiSquare);
}

}  // namespace
}  // namespace morvane::anova
