// The analysis' inference against rational arithmetic of the test's own and
// tails in closed form: Mauchly's test with its second-order term, the
// within-subject intervals, the paired comparisons and the simple effects, by
// the integer pass and by the extended one.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "support/RationalArithmetic.h"

namespace morvane {
namespace {

using testing::Rational;
using testing::Study;
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

mpq_class Mean(const Rationals& v) {
    mpq_class sum;
    for (const mpq_class& x : v) sum += x;
    return sum / static_cast<long>(v.size());
}

// The sum of squared deviations from the mean over the divisor n - 1.
mpq_class Variance(const Rationals& v) {
    const mpq_class m = Mean(v);
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

void ExpectSphericity(const FullAnalysis& r, const RationalStudy& q) {
    std::vector<Rationals> a, b, ab;
    Rationals lengthsA, lengthsB, lengthsAB;
    for (std::size_t s = 0; s < q.n; ++s) {
        a.push_back(Contrasts(q.overB[s], s ? nullptr : &lengthsA));
        b.push_back(Contrasts(q.overA[s], s ? nullptr : &lengthsB));
        ab.push_back(q.Interaction(s));
    }
    for (const mpq_class& u : lengthsA)
        for (const mpq_class& v : lengthsB) lengthsAB.push_back(u * v);
    ASSERT_TRUE(r.A.sphericity && r.B.sphericity && r.AB.sphericity);
    for (const auto& [name, s, z, lengths] :
         {std::tuple{"A", &*r.A.sphericity, &a, &lengthsA}, std::tuple{"B", &*r.B.sphericity, &b, &lengthsB},
          std::tuple{"AB", &*r.AB.sphericity, &ab, &lengthsAB}}) {
        SCOPED_TRACE(name);
        ExpectMauchly(*s, *z, *lengths, static_cast<long double>(q.na * q.nb));
    }
}

// The means: the variance of the subjects' values, and the within-subject
// interval against the ordinary one: the subject's mean taken off each value,
// the variance times C / (C - 1) for C conditions.
void ExpectMeans(const FullAnalysis& r, const RationalStudy& q) {
    const auto expect = [&](const char* name, const std::vector<MeanResult>& means, std::size_t conditions,
                            auto&& value) {
        ASSERT_EQ(means.size(), conditions);
        for (std::size_t c = 0; c < conditions; ++c) {
            SCOPED_TRACE(name + std::to_string(c));
            Rationals raw, normalised;
            for (std::size_t s = 0; s < q.n; ++s) {
                raw.push_back(value(s, c));
                normalised.push_back(value(s, c) - q.subject[s]);
            }
            const MeanResult& m = means[c];
            ASSERT_TRUE(m.sd && m.ci95 && m.withinCi95);
            EXPECT_TRUE(Near(m.mean, Ld(Mean(raw)), 1e-15L));
            EXPECT_TRUE(Near(*m.sd * *m.sd, Ld(Variance(raw))));
            const auto C = static_cast<long>(conditions);
            const Extended ratio = (m.withinCi95->high - m.withinCi95->low) / (m.ci95->high - m.ci95->low);
            EXPECT_TRUE(Near(ratio * ratio, Ld(Variance(normalised) * C / (C - 1) / Variance(raw))));
        }
    };
    expect("cell ", r.cells, q.na * q.nb, [&](std::size_t s, std::size_t c) { return q.y[s][c]; });
    expect("A ", r.marginalA, q.na, [&](std::size_t s, std::size_t a) { return q.overB[s][a]; });
    expect("B ", r.marginalB, q.nb, [&](std::size_t s, std::size_t b) { return q.overA[s][b]; });
}

// Each paired comparison, in its family's order: t on n - 1 degrees of
// freedom, two-sided (t^2 is F on 1 and n - 1).
void ExpectComparisons(const FullAnalysis& r, const RationalStudy& q) {
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
                const ComparisonResult& c = r.comparisons[next++];
                ASSERT_TRUE(c.i == static_cast<int>(i + 1) && c.j == static_cast<int>(j + 1));
                Rationals d;
                for (std::size_t s = 0; s < q.n; ++s) d.push_back(level(s, i) - level(s, j));
                const mpq_class t2 = Mean(d) * Mean(d) * static_cast<long>(q.n) / Variance(d);
                EXPECT_EQ(c.df, df);
                ASSERT_TRUE(c.t && c.p);
                EXPECT_TRUE(Near(*c.t * *c.t, Ld(t2)));
                EXPECT_TRUE(Near(c.p, FTail(Ld(t2), 1, df)));
            }
    EXPECT_EQ(next, r.comparisons.size());
}

// Each simple effect: a one-way within-subjects analysis of its slice.
void ExpectSimpleEffects(const FullAnalysis& r, const RationalStudy& q) {
    ASSERT_EQ(r.simpleEffects.size(), q.na + q.nb);
    for (const SimpleEffectResult& e : r.simpleEffects) {
        const bool ofA = e.effect == Factor::A;
        SCOPED_TRACE(std::string(ofA ? "A at b" : "B at a") + std::to_string(e.at));
        const std::size_t levels = ofA ? q.na : q.nb, at = static_cast<std::size_t>(e.at - 1);
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

TEST(Inference, AgreesWithRationalArithmeticAndTailsInClosedForm) {
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
    // As they are (the integer pass), with 10^-10 more (offsets too wide for 32
    // bits) and 10^-6 more (too wide for the integer sums): the extended pass.
    for (const std::string tail : {"", "000000001", "00001"}) {
        SCOPED_TRACE("tail " + tail);
        const auto text = [&](std::size_t s, std::size_t a, std::size_t b) {
            return texts[(s * na + a) * nb + b] + tail;
        };
        StudyStore store =
            Study(static_cast<int>(n), static_cast<int>(na), static_cast<int>(nb), [&](int s, int a, int b) {
                return text(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(a - 1),
                            static_cast<std::size_t>(b - 1));
            });
        const FullAnalysis r = AnalyseStudy(store, '.');
        const RationalStudy q(n, na, nb, text);
        ExpectSphericity(r, q);
        ExpectMeans(r, q);
        ExpectComparisons(r, q);
        ExpectSimpleEffects(r, q);
    }
}

// The closed forms themselves, at points whose tails are known.
TEST(Inference, ClosedFormTailsAgreeWithKnownValues) {
    EXPECT_NEAR(static_cast<double>(ChiSquareTail(3.841458820694126L, 1)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(ChiSquareTail(11.07049769351635L, 5)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(ChiSquareTail(31.41043284423093L, 20)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(FTail(4.747225346722517L, 1, 12)), 0.05, 1e-14);  // t_.975(12)^2
    EXPECT_NEAR(static_cast<double>(FTail(3.402826105350195L, 2, 24)), 0.05, 1e-14);
    EXPECT_NEAR(static_cast<double>(FTail(2.86626555094018L, 3, 36)), 0.05, 1e-14);
}

}  // namespace
}  // namespace morvane
