// The one engine's means, comparisons and simple effects against rational
// arithmetic written here straight from their definitions (each subject's
// values, their groups' means, the deviations about them), every figure the
// correctly rounded value of the exact one: a mixed design of two groups of
// unequal size and a within design whose cells average one to three rows,
// both near 10^9 with three decimals, and a mixed design of scores spread
// too wide for the sums of a block of subjects in 64 bits; in both strategies.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/FollowUps.h"
#include "anova/detail/Scores.h"
#include "stats/Distributions.h"

namespace morvane::anova {
namespace {

using detail::Rounded;
using detail::RoundedRoot;
using Values = std::vector<mpq_class>;  // one per subject

// Between factor G (groups of `sizes`) x within A (na) x B (nb), the scores
// 10^9 and up to `spread` thousandths, each cell averaged from 1 to `most` rows.
DesignData MakeDesign(std::mt19937& random, const std::vector<int>& sizes, std::size_t na, std::size_t nb,
                      int most, int spread = 40000) {
    DesignData d;
    if (sizes.size() > 1) {
        d.between = {{"G", {}}};
        for (std::size_t g = 0; g < sizes.size(); ++g)
            d.between[0].levels.push_back("g" + std::to_string(g + 1));
    }
    d.within = {{"A", {}}, {"B", {}}};
    for (std::size_t a = 0; a < na; ++a) d.within[0].levels.push_back("a" + std::to_string(a + 1));
    for (std::size_t b = 0; b < nb; ++b) d.within[1].levels.push_back("b" + std::to_string(b + 1));
    d.exact = true;
    d.scale = 3;
    std::uniform_int_distribution<int> noise(0, spread), rows(1, most);
    for (std::size_t g = 0; g < sizes.size(); ++g)
        for (int s = 0; s < sizes[g]; ++s) {
            d.subjects.push_back("s" + std::to_string(d.subjects.size() + 1));
            d.group.push_back(static_cast<std::int32_t>(g));
            for (std::size_t c = 0; c < na * nb; ++c) {
                const int r = rows(random);
                Int128 units = 0;
                for (int k = 0; k < r; ++k)
                    units += Int128{1000000000000} + noise(random) + 3000 * static_cast<int>(c % nb) * s;
                d.units.push_back(units);
                d.rows.push_back(r);
                mpq_class exact(mpz_class(static_cast<long>(units)), mpz_class(1000 * r));
                exact.canonicalize();
                d.values.push_back(Rounded(exact));
            }
        }
    d.subjectsRead = static_cast<std::int64_t>(d.subjects.size());
    return d;
}

// The design in rationals, and the definitions of the figures.
struct Rational {
    const DesignData& d;
    std::size_t na, nb, groups;
    std::vector<std::vector<mpq_class>> y;  // [subject][a * nb + b]

    explicit Rational(const DesignData& design)
        : d(design),
          na(design.within[0].levels.size()),
          nb(design.within[1].levels.size()),
          groups(design.Groups()) {
        for (std::size_t s = 0; s < d.Subjects(); ++s) {
            y.emplace_back();
            for (std::size_t c = 0; c < na * nb; ++c) {
                mpq_class v(mpz_class(static_cast<long>(d.units[s * na * nb + c])),
                            mpz_class(1000 * d.rows[s * na * nb + c]));
                v.canonicalize();
                y.back().push_back(v);
            }
        }
    }
    Values Of(const std::function<mpq_class(std::size_t)>& value) const {
        Values v;
        for (std::size_t s = 0; s < d.Subjects(); ++s) v.push_back(value(s));
        return v;
    }
    // The subject's mean of the cells `in` keeps.
    Values MeanOver(const std::function<bool(std::size_t, std::size_t)>& in) const {
        return Of([&](std::size_t s) {
            mpq_class sum = 0;
            long count = 0;
            for (std::size_t a = 0; a < na; ++a)
                for (std::size_t b = 0; b < nb; ++b)
                    if (in(a, b)) sum += y[s][a * nb + b], ++count;
            return mpq_class(sum / count);
        });
    }
    long Size(std::size_t g) const {
        long n = 0;
        for (const std::int32_t h : d.group) n += static_cast<std::size_t>(h) == g;
        return n;
    }
    mpq_class GroupMean(const Values& v, std::size_t g) const {
        mpq_class sum = 0;
        for (std::size_t s = 0; s < v.size(); ++s)
            if (static_cast<std::size_t>(d.group[s]) == g) sum += v[s];
        return sum / Size(g);
    }
    mpq_class Squares(const Values& v, std::size_t g) const {
        const mpq_class m = GroupMean(v, g);
        mpq_class sum = 0;
        for (std::size_t s = 0; s < v.size(); ++s)
            if (static_cast<std::size_t>(d.group[s]) == g) sum += (v[s] - m) * (v[s] - m);
        return sum;
    }
    // The variance pooled within every group, on N - g.
    mpq_class Pooled(const Values& v) const {
        mpq_class sum = 0;
        for (std::size_t g = 0; g < groups; ++g) sum += Squares(v, g);
        return sum / static_cast<long>(d.Subjects() - groups);
    }
    // The equal-weighted mean over every group, and sum(1 / n_g) / G^2.
    std::pair<mpq_class, mpq_class> EqualWeighted(const Values& v) const {
        mpq_class mean = 0, factor = 0;
        for (std::size_t g = 0; g < groups; ++g) mean += GroupMean(v, g), factor += mpq_class(1, Size(g));
        const auto count = static_cast<long>(groups);
        return {mean / count, factor / (count * count)};
    }
};

void ExpectInterval(const std::optional<Interval>& got, Extended centre, Extended tq, Extended se) {
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->low, centre - tq * se);
    EXPECT_EQ(got->high, centre + tq * se);
}

void CheckMeans(const Rational& r, const Analysis& a) {
    const std::size_t cells = r.na * r.nb;
    const auto C = static_cast<long>(cells);
    ASSERT_EQ(a.cellMeans.size(), r.groups * cells);
    for (std::size_t g = 0; g < r.groups; ++g)
        for (std::size_t c = 0; c < cells; ++c) {
            SCOPED_TRACE("cell " + std::to_string(g) + " " + std::to_string(c));
            const Mean& m = a.cellMeans[g * cells + c];
            const long n = r.Size(g);
            const Values v = r.Of([&](std::size_t s) { return r.y[s][c]; });
            // Cousineau: each score less its subject's mean.
            const Values all = r.MeanOver([](std::size_t, std::size_t) { return true; });
            const Values z = r.Of([&](std::size_t s) { return mpq_class(v[s] - all[s]); });
            EXPECT_EQ(m.n, n);
            EXPECT_EQ(m.mean, Rounded(r.GroupMean(v, g)));
            EXPECT_EQ(m.sd, RoundedRoot(r.Squares(v, g) / (n - 1)));
            EXPECT_EQ(m.se, RoundedRoot(r.Squares(v, g) / (n * (n - 1))));
            const Extended tq = *TQuantile975(static_cast<Extended>(n - 1));
            ExpectInterval(m.ci95, m.mean, tq, *m.se);
            ExpectInterval(m.withinCi95, m.mean, tq,
                           RoundedRoot(r.Squares(z, g) / (n * (n - 1)) * mpq_class(C, C - 1)));
        }
    const long df = static_cast<long>(r.d.Subjects() - r.groups);
    const Extended tq = *TQuantile975(static_cast<Extended>(df));
    ASSERT_EQ(a.marginalMeans.size(), r.d.between.size() + 2);
    for (std::size_t f = 0; f < 2; ++f) {
        const std::size_t k = f == 0 ? r.na : r.nb;
        for (std::size_t l = 0; l < k; ++l) {
            SCOPED_TRACE("factor " + std::to_string(f) + " level " + std::to_string(l));
            const Values v = r.MeanOver([&](std::size_t x, std::size_t y) { return (f == 0 ? x : y) == l; });
            const Values all = r.MeanOver([](std::size_t, std::size_t) { return true; });
            const Values z = r.Of([&](std::size_t s) { return mpq_class(v[s] - all[s]); });
            const auto [mean, factor] = r.EqualWeighted(v);
            const Mean& m = a.marginalMeans[r.d.between.size() + f][l];
            EXPECT_EQ(m.mean, Rounded(mean));
            EXPECT_EQ(m.sd, RoundedRoot(r.Pooled(v)));
            EXPECT_EQ(m.se, RoundedRoot(r.Pooled(v) * factor));
            ExpectInterval(m.ci95, m.mean, tq, *m.se);
            const auto K = static_cast<long>(k);
            ExpectInterval(m.withinCi95, m.mean, tq, RoundedRoot(r.Pooled(z) * factor * mpq_class(K, K - 1)));
        }
    }
    if (r.d.between.empty()) return;
    const Values all = r.MeanOver([](std::size_t, std::size_t) { return true; });
    for (std::size_t g = 0; g < r.groups; ++g) {
        const Mean& m = a.marginalMeans[0][g];
        EXPECT_EQ(m.mean, Rounded(r.GroupMean(all, g)));
        EXPECT_EQ(m.se, RoundedRoot(r.Pooled(all) / r.Size(g)));
        EXPECT_FALSE(m.withinCi95.has_value());
    }
}

const Comparison* Find(const Analysis& a, std::size_t factor, const Place& at, std::int32_t i,
                       std::int32_t j) {
    for (const Comparison& c : a.comparisons)
        if (c.factor == factor && c.at == at && c.i == i && c.j == j) return &c;
    return nullptr;
}

// One pair from its definitions: the difference, the values' pooled
// variance, the SE factor, and (a within pair) the two levels' values.
void CheckPair(const Rational& r, const Comparison* c, const mpq_class& difference, const mpq_class& variance,
               const mpq_class& factor, const Values* first, const Values* second) {
    ASSERT_NE(c, nullptr);
    const auto df = static_cast<Extended>(r.d.Subjects() - r.groups);
    EXPECT_EQ(c->df, df);
    EXPECT_EQ(c->difference, Rounded(difference));
    EXPECT_EQ(c->se, RoundedRoot(variance * factor));
    ExpectInterval(c->ci95, c->difference, *TQuantile975(df), *c->se);
    const int sign = sgn(difference);
    EXPECT_EQ(c->t, RoundedRoot(difference * difference / (variance * factor), sign));
    EXPECT_EQ(c->p, TTwoSided(*c->t, df));
    EXPECT_EQ(c->d, RoundedRoot(difference * difference / variance, sign));
    ASSERT_TRUE(c->dCI.has_value());
    EXPECT_LT(c->dCI->lower, *c->d);
    EXPECT_GT(c->dCI->upper, *c->d);
    ASSERT_TRUE(c->pHolm && c->pBonferroni);
    EXPECT_GE(*c->pHolm, *c->p);
    if (!first) {
        EXPECT_FALSE(c->dAv || c->gAv);
        return;
    }
    const Extended meanSd = (RoundedRoot(r.Pooled(*first)) + RoundedRoot(r.Pooled(*second))) / 2;
    EXPECT_EQ(c->dAv, c->difference / meanSd);
    EXPECT_EQ(c->gAv, *c->dAv * (1 - 3 / (8 * df - 1)));
}

void CheckComparisons(const Rational& r, const Analysis& a) {
    const std::size_t B = r.d.between.size(), cells = r.na * r.nb;
    // A over B, and A at each group and level of B.
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(r.na); ++i)
        for (std::int32_t j = i + 1; j < static_cast<std::int32_t>(r.na); ++j) {
            const Values vi =
                r.MeanOver([&](std::size_t x, std::size_t) { return x == static_cast<std::size_t>(i); });
            const Values vj =
                r.MeanOver([&](std::size_t x, std::size_t) { return x == static_cast<std::size_t>(j); });
            const Values d = r.Of([&](std::size_t s) { return mpq_class(vi[s] - vj[s]); });
            const auto [mean, factor] = r.EqualWeighted(d);
            CheckPair(r, Find(a, B, Place(B + 2, kOver), i, j), mean, r.Pooled(d), factor, &vi, &vj);
            for (std::size_t g = 0; g < r.groups; ++g)
                for (std::size_t b = 0; b < r.nb; ++b) {
                    const Values ci =
                        r.Of([&](std::size_t s) { return r.y[s][static_cast<std::size_t>(i) * r.nb + b]; });
                    const Values cj =
                        r.Of([&](std::size_t s) { return r.y[s][static_cast<std::size_t>(j) * r.nb + b]; });
                    const Values e = r.Of([&](std::size_t s) { return mpq_class(ci[s] - cj[s]); });
                    Place at = {kOver, static_cast<std::int32_t>(b)};
                    if (B > 0) at.insert(at.begin(), static_cast<std::int32_t>(g));
                    CheckPair(r, Find(a, B, at, i, j), r.GroupMean(e, g), r.Pooled(e),
                              mpq_class(1, r.Size(g)), &ci, &cj);
                }
        }
    if (B == 0) return;
    // G over the within cells, and at each of them.
    const Values all = r.MeanOver([](std::size_t, std::size_t) { return true; });
    for (std::size_t i = 0; i < r.groups; ++i)
        for (std::size_t j = i + 1; j < r.groups; ++j) {
            const auto gi = static_cast<std::int32_t>(i), gj = static_cast<std::int32_t>(j);
            const mpq_class factor = mpq_class(1, r.Size(i)) + mpq_class(1, r.Size(j));
            CheckPair(r, Find(a, 0, {kOver, kOver, kOver}, gi, gj), r.GroupMean(all, i) - r.GroupMean(all, j),
                      r.Pooled(all), factor, nullptr, nullptr);
            for (std::size_t c = 0; c < cells; ++c) {
                const Values v = r.Of([&](std::size_t s) { return r.y[s][c]; });
                const Place at = {kOver, static_cast<std::int32_t>(c / r.nb),
                                  static_cast<std::int32_t>(c % r.nb)};
                CheckPair(r, Find(a, 0, at, gi, gj), r.GroupMean(v, i) - r.GroupMean(v, j), r.Pooled(v),
                          factor, nullptr, nullptr);
            }
        }
}

const SimpleEffect* FindEffect(const Analysis& a, std::size_t factor, const Place& at) {
    for (const SimpleEffect& e : a.simpleEffects)
        if (e.factor == factor && e.at == at) return &e;
    return nullptr;
}

void CheckOneWay(const SimpleEffect* e, const mpq_class& ss, const mpq_class& error, std::int64_t df1,
                 std::int64_t df2) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->df1, df1);
    EXPECT_EQ(e->df2, df2);
    EXPECT_EQ(e->ss, Rounded(ss));
    EXPECT_EQ(e->errorSs, Rounded(error));
    EXPECT_EQ(e->f, Rounded(ss * df2 / (error * df1)));
    EXPECT_EQ(e->partialEtaSquared, Rounded(ss / (ss + error)));
    EXPECT_TRUE(e->partialEtaSquaredCI.has_value());
}

// The Greenhouse-Geisser epsilon of the slice's scores x[s][level], their
// orthonormal Helmert contrasts' covariance pooled within the groups.
Extended Epsilon(const Rational& r, const std::vector<Values>& x) {
    const std::size_t k = x[0].size() - 1;
    std::vector<std::vector<long double>> z(x.size(), std::vector<long double>(k));
    for (std::size_t s = 0; s < x.size(); ++s)
        for (std::size_t j = 0; j < k; ++j) {
            mpq_class sum = 0;
            for (std::size_t i = 0; i <= j; ++i) sum += x[s][i];
            sum -= x[s][j + 1] * static_cast<long>(j + 1);
            z[s][j] = static_cast<long double>(Rounded(sum)) /
                      std::sqrt(static_cast<long double>((j + 1) * (j + 2)));
        }
    std::vector<long double> cov(k * k, 0);
    for (std::size_t g = 0; g < r.groups; ++g) {
        std::vector<long double> mean(k, 0);
        for (std::size_t s = 0; s < x.size(); ++s)
            if (static_cast<std::size_t>(r.d.group[s]) == g)
                for (std::size_t j = 0; j < k; ++j) mean[j] += z[s][j] / static_cast<long double>(r.Size(g));
        for (std::size_t s = 0; s < x.size(); ++s)
            if (static_cast<std::size_t>(r.d.group[s]) == g)
                for (std::size_t i = 0; i < k; ++i)
                    for (std::size_t j = 0; j < k; ++j)
                        cov[i * k + j] += (z[s][i] - mean[i]) * (z[s][j] - mean[j]);
    }
    long double trace = 0, squares = 0;
    for (std::size_t i = 0; i < k; ++i) trace += cov[i * k + i];
    for (const long double v : cov) squares += v * v;
    return trace * trace / (static_cast<long double>(k) * squares);
}

void CheckSimpleEffects(const Rational& r, const Analysis& a) {
    const std::size_t B = r.d.between.size();
    const auto N = static_cast<std::int64_t>(r.d.Subjects()), G = static_cast<std::int64_t>(r.groups);
    // A at each level of B: type III hypothesis, interaction with the subjects pooled within the groups.
    for (std::size_t b = 0; b < r.nb; ++b) {
        std::vector<Values> x(r.d.Subjects());
        for (std::size_t s = 0; s < x.size(); ++s)
            for (std::size_t i = 0; i < r.na; ++i) x[s].push_back(r.y[s][i * r.nb + b]);
        std::vector<mpq_class> m(r.na, 0);
        mpq_class inverses = 0, grand = 0, ss = 0, error = 0;
        for (std::size_t g = 0; g < r.groups; ++g) inverses += mpq_class(1, r.Size(g));
        for (std::size_t i = 0; i < r.na; ++i) {
            const Values v = r.Of([&](std::size_t s) { return x[s][i]; });
            for (std::size_t g = 0; g < r.groups; ++g) m[i] += r.GroupMean(v, g) / G;
            grand += m[i] / static_cast<long>(r.na);
        }
        for (std::size_t i = 0; i < r.na; ++i) ss += (m[i] - grand) * (m[i] - grand) * G * G / inverses;
        const Values mine = r.Of([&](std::size_t s) {
            mpq_class sum = 0;
            for (const mpq_class& v : x[s]) sum += v;
            return mpq_class(sum / static_cast<long>(r.na));
        });
        for (std::size_t i = 0; i < r.na; ++i) {
            const Values v = r.Of([&](std::size_t s) { return x[s][i]; });
            for (std::size_t s = 0; s < x.size(); ++s) {
                const std::size_t g = static_cast<std::size_t>(r.d.group[s]);
                const mpq_class e = v[s] - mine[s] - r.GroupMean(v, g) + r.GroupMean(mine, g);
                error += e * e;
            }
        }
        Place at(B + 2, kOver);
        at[B + 1] = static_cast<std::int32_t>(b);
        const SimpleEffect* e = FindEffect(a, B, at);
        const std::int64_t df1 = static_cast<std::int64_t>(r.na) - 1;
        CheckOneWay(e, ss, error, df1, df1 * (N - G));
        if (r.na > 2) {
            ASSERT_TRUE(e->ggEpsilon.has_value());
            EXPECT_NEAR(static_cast<double>(*e->ggEpsilon), static_cast<double>(Epsilon(r, x)), 1e-15);
            EXPECT_EQ(e->ggP, FUpperTail(*e->f, df1 * *e->ggEpsilon, df1 * (N - G) * *e->ggEpsilon));
        }
    }
    if (B == 0) return;
    // G at each level of A: the one-way analysis of the subjects' means over B.
    for (std::size_t l = 0; l < r.na; ++l) {
        const Values v = r.MeanOver([&](std::size_t x, std::size_t) { return x == l; });
        mpq_class grand = 0, ss = 0, error = 0;
        for (const mpq_class& x : v) grand += x / N;
        for (std::size_t g = 0; g < r.groups; ++g) {
            const mpq_class d = r.GroupMean(v, g) - grand;
            ss += d * d * r.Size(g);
            error += r.Squares(v, g);
        }
        CheckOneWay(FindEffect(a, 0, {kOver, static_cast<std::int32_t>(l), kOver}), ss, error, G - 1, N - G);
    }
}

TEST(FollowUpsExactTest, EveryFigureIsTheRoundedExactOneOfItsDefinition) {
    std::mt19937 random(2024);
    // The third's offsets too wide for sums of a block of subjects in 64 bits:
    // the quick strategy sums them subject by subject in 128.
    const DesignData designs[] = {MakeDesign(random, {3, 5}, 3, 2, 1), MakeDesign(random, {6}, 3, 4, 3),
                                  MakeDesign(random, {4, 3}, 3, 2, 1, 200000000)};
    const detail::Scores wide = detail::IntegerScores(designs[2]);
    const detail::FactorGrid grid(designs[2]);
    ASSERT_TRUE(wide.Quick());
    EXPECT_FALSE(detail::BlockedFits(wide, detail::RowValues(grid, true).Growth()));
    for (const DesignData& design : designs) {
        SCOPED_TRACE(design.subjects.size());
        const Rational r(design);
        for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
            SCOPED_TRACE(strategy == detail::Strategy::Quick ? "quick" : "sure");
            const Analysis a = detail::AnalyseWith(design, {}, strategy);
            CheckMeans(r, a);
            CheckComparisons(r, a);
            CheckSimpleEffects(r, a);
        }
    }
}

}  // namespace
}  // namespace morvane::anova
