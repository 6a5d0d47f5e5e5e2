// The one engine's means, comparisons and simple effects against rational
// arithmetic written here straight from their definitions (each subject's
// values, their groups' means, the deviations about them), every figure the
// correctly rounded value of the exact one, in both strategies: a mixed
// design of two groups of unequal size, a design of three within factors
// whose cells average one to three rows, both near 10^9 with three decimals,
// a mixed design spread too wide for sums of a block of subjects in 64 bits;
// and data files' studies: a large common offset, cells near 10^12 beside
// cells near 0, random decimals, offsets too wide for 31 bits, two subjects.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/FollowUps.h"
#include "design/StudyDesign.h"
#include "exact/WideIntegers.h"
#include "stats/Distributions.h"
#include "support/RationalArithmetic.h"

namespace morvane::anova {
namespace {

using detail::Rounded;
using detail::RoundedRoot;
using Values = std::vector<mpq_class>;  // one per subject

// Groups of `sizes` (a between factor G unless one) x within factors of
// `levels`; scores 10^9 and up to `spread` thousandths, each cell the mean of
// 1 to `most` rows.
DesignData MakeDesign(std::mt19937& random, const std::vector<int>& sizes, const std::vector<int>& levels,
                      int most, int spread) {
    DesignData d;
    if (sizes.size() > 1) d.between = {{"G", std::vector<std::string>(sizes.size(), "g")}};
    for (std::size_t f = 0; f < levels.size(); ++f)
        d.within.push_back({std::string(1, static_cast<char>('A' + f)),
                            std::vector<std::string>(static_cast<std::size_t>(levels[f]), "l")});
    d.exact = true, d.scale = 3;
    std::uniform_int_distribution<int> noise(0, spread), rows(1, most);
    for (std::size_t g = 0; g < sizes.size(); ++g)
        for (int s = 0; s < sizes[g]; ++s) {
            d.subjects.push_back(std::to_string(d.subjects.size()));
            d.group.push_back(static_cast<std::int32_t>(g));
            for (std::size_t c = 0; c < d.Cells(); ++c) {
                const int r = rows(random);
                Int128 units = 0;
                for (int k = 0; k < r; ++k)
                    units += Int128{1000000000000} + noise(random) + 3000 * static_cast<int>(c % 3) * s;
                d.units.push_back(units), d.rows.push_back(r);
                d.values.push_back(Rounded(detail::Ratio(mpz_class(static_cast<long>(units)), 1000 * r)));
            }
        }
    return d;
}

// The design in rationals, and the definitions the figures follow.
struct Rational {
    const DesignData& d;
    const detail::FactorGrid grid;
    std::vector<Values> y;  // [cell][subject]

    explicit Rational(const DesignData& design) : d(design), grid(design), y(design.Cells()) {
        mpz_class unit;
        mpz_ui_pow_ui(unit.get_mpz_t(), 10, static_cast<unsigned long>(d.scale));
        for (std::size_t s = 0; s < d.Subjects(); ++s)
            for (std::size_t c = 0; c < d.Cells(); ++c)
                y[c].push_back(detail::Ratio(exact::ToMpz(d.units[s * d.Cells() + c]),
                                             unit * d.rows[s * d.Cells() + c]));
    }
    std::size_t B() const { return d.between.size(); }
    std::size_t Level(std::size_t c, std::size_t f) const { return grid.LevelOf(c, B() + f); }
    // Each subject's mean of the cells `in` keeps.
    Values MeanOver(const std::function<bool(std::size_t)>& in) const {
        Values v(d.Subjects(), 0);
        long count = 0;
        for (std::size_t c = 0; c < d.Cells(); ++c)
            if (in(c)) {
                ++count;
                for (std::size_t s = 0; s < v.size(); ++s) v[s] += y[c][s];
            }
        for (mpq_class& x : v) x /= count;
        return v;
    }
    Values Less(const Values& a, const Values& b) const {
        Values v;
        for (std::size_t s = 0; s < a.size(); ++s) v.push_back(a[s] - b[s]);
        return v;
    }
    long Size(std::size_t g) const {
        return static_cast<long>(std::count(d.group.begin(), d.group.end(), g));
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
        for (std::size_t g = 0; g < d.Groups(); ++g) sum += Squares(v, g);
        return sum / static_cast<long>(d.Subjects() - d.Groups());
    }
    // The equal-weighted mean over every group, and sum(1 / n_g) / G^2.
    std::pair<mpq_class, mpq_class> EqualWeighted(const Values& v) const {
        mpq_class mean = 0, factor = 0;
        for (std::size_t g = 0; g < d.Groups(); ++g) mean += GroupMean(v, g), factor += mpq_class(1, Size(g));
        const auto count = static_cast<long>(d.Groups());
        return {mean / count, factor / (count * count)};
    }
};

void ExpectInterval(const std::optional<Interval>& got, Extended centre, Extended tq, Extended se) {
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->low, centre - tq * se);
    EXPECT_EQ(got->high, centre + tq * se);
}

void CheckMeans(const Rational& r, const Analysis& a) {
    const Values all = r.MeanOver([](std::size_t) { return true; });
    const auto C = static_cast<long>(r.d.Cells());
    ASSERT_EQ(a.cellMeans.size(), r.d.Groups() * r.d.Cells());
    for (std::size_t g = 0; g < r.d.Groups(); ++g)
        for (std::size_t c = 0; c < r.d.Cells(); ++c) {
            const Mean& m = a.cellMeans[g * r.d.Cells() + c];
            const long n = r.Size(g);
            const Values& v = r.y[c];
            EXPECT_EQ(m.mean, Rounded(r.GroupMean(v, g)));
            EXPECT_EQ(m.sd, RoundedRoot(r.Squares(v, g) / (n - 1)));
            EXPECT_EQ(m.se, RoundedRoot(r.Squares(v, g) / (n * (n - 1))));
            const Extended tq = *TQuantile975(static_cast<Extended>(n - 1));
            ExpectInterval(m.ci95, m.mean, tq, *m.se);
            // Cousineau: each score less its subject's mean; Morey over every cell.
            const mpq_class normal = r.Squares(r.Less(v, all), g) / (n * (n - 1)) * mpq_class(C, C - 1);
            ExpectInterval(m.withinCi95, m.mean, tq, RoundedRoot(normal));
        }
    const Extended tq = *TQuantile975(static_cast<Extended>(r.d.Subjects() - r.d.Groups()));
    for (std::size_t f = 0; f < r.d.within.size(); ++f)
        for (std::size_t l = 0; l < r.d.within[f].levels.size(); ++l) {
            const Values v = r.MeanOver([&](std::size_t c) { return r.Level(c, f) == l; });
            const auto [mean, factor] = r.EqualWeighted(v);
            const Mean& m = a.marginalMeans[r.B() + f][l];
            EXPECT_EQ(m.mean, Rounded(mean));
            EXPECT_EQ(m.sd, RoundedRoot(r.Pooled(v)));
            EXPECT_EQ(m.se, RoundedRoot(r.Pooled(v) * factor));
            ExpectInterval(m.ci95, m.mean, tq, *m.se);
            const auto K = static_cast<long>(r.d.within[f].levels.size());
            const mpq_class normal = r.Pooled(r.Less(v, all)) * factor * mpq_class(K, K - 1);
            ExpectInterval(m.withinCi95, m.mean, tq, RoundedRoot(normal));
        }
    for (std::size_t g = 0; g < r.d.Groups() && r.B() > 0; ++g) {
        EXPECT_EQ(a.marginalMeans[0][g].mean, Rounded(r.GroupMean(all, g)));
        EXPECT_EQ(a.marginalMeans[0][g].se, RoundedRoot(r.Pooled(all) / r.Size(g)));
    }
}

// One pair from its definitions: the subjects' values of its two levels, and
// the groups whose equal-weighted mean the difference is (within), or the
// one group of each level (between: no d_av).
void CheckPair(const Rational& r, const Analysis& a, std::size_t factor, const Place& at, int i, int j,
               const Values& first, const Values& second, const std::vector<std::size_t>& groups) {
    const Comparison* c = nullptr;
    for (const Comparison& x : a.comparisons)
        if (x.factor == factor && x.at == at && x.i == i && x.j == j) c = &x;
    ASSERT_NE(c, nullptr);
    const bool within = factor >= r.B();
    const Values d = within ? r.Less(first, second) : first;
    mpq_class difference = 0, factor2 = 0;
    for (const std::size_t g : groups) difference += r.GroupMean(d, g), factor2 += mpq_class(1, r.Size(g));
    if (!within)
        difference =
            r.GroupMean(first, static_cast<std::size_t>(i)) - r.GroupMean(first, static_cast<std::size_t>(j)),
        factor2 = mpq_class(1, r.Size(static_cast<std::size_t>(i))) +
                  mpq_class(1, r.Size(static_cast<std::size_t>(j)));
    else
        difference /= static_cast<long>(groups.size()),
            factor2 /= static_cast<long>(groups.size() * groups.size());
    const mpq_class variance = r.Pooled(d);
    const auto df = static_cast<Extended>(r.d.Subjects() - r.d.Groups());
    EXPECT_EQ(c->df, df);
    EXPECT_EQ(c->difference, Rounded(difference));
    if (variance == 0) {  // the differences all equal: no t, p or d
        EXPECT_FALSE(c->t || c->p || c->d);
        return;
    }
    EXPECT_EQ(c->se, RoundedRoot(variance * factor2));
    ExpectInterval(c->ci95, c->difference, *TQuantile975(df), *c->se);
    EXPECT_EQ(c->t, RoundedRoot(difference * difference / (variance * factor2), sgn(difference)));
    EXPECT_EQ(c->p, TTwoSided(*c->t, df));
    EXPECT_EQ(c->d, RoundedRoot(difference * difference / variance, sgn(difference)));
    ASSERT_TRUE(c->dCI && c->pHolm && c->pBonferroni);
    EXPECT_TRUE(c->dCI->lower < *c->d && *c->d < c->dCI->upper);
    EXPECT_GE(*c->pHolm, *c->p);
    ASSERT_EQ(c->dAv.has_value(), within);
    if (!within) return;
    const Extended meanSd = (RoundedRoot(r.Pooled(first)) + RoundedRoot(r.Pooled(second))) / 2;
    EXPECT_EQ(c->dAv, c->difference / meanSd);
    EXPECT_EQ(c->gAv, *c->dAv * (1 - 3 / (8 * df - 1)));
}

void CheckComparisons(const Rational& r, const Analysis& a) {
    const std::size_t B = r.B(), F = B + r.d.within.size();
    std::vector<std::size_t> all(r.d.Groups());
    for (std::size_t g = 0; g < all.size(); ++g) all[g] = g;
    for (std::size_t f = 0; f < r.d.within.size(); ++f)
        for (int i = 0; i < static_cast<int>(r.d.within[f].levels.size()); ++i)
            for (int j = i + 1; j < static_cast<int>(r.d.within[f].levels.size()); ++j) {
                const auto level = [&](int l) {
                    return r.MeanOver(
                        [&](std::size_t c) { return r.Level(c, f) == static_cast<std::size_t>(l); });
                };
                CheckPair(r, a, B + f, Place(F, kOver), i, j, level(i), level(j), all);
                // At each group and each cell of the other within factors.
                for (std::size_t g = 0; g < r.d.Groups(); ++g)
                    for (std::size_t c = 0; c < r.d.Cells(); ++c) {
                        if (r.Level(c, f) != 0) continue;
                        Place at = r.grid.PlaceOf(g, c);
                        at[B + f] = kOver;
                        const std::size_t stride = r.grid.stride[B + f];
                        CheckPair(r, a, B + f, at, i, j, r.y[c + static_cast<std::size_t>(i) * stride],
                                  r.y[c + static_cast<std::size_t>(j) * stride], {g});
                    }
            }
    // G over the within cells, and at each of them.
    for (int i = 0; i < static_cast<int>(r.d.Groups()) && B > 0; ++i)
        for (int j = i + 1; j < static_cast<int>(r.d.Groups()); ++j) {
            CheckPair(r, a, 0, Place(F, kOver), i, j, r.MeanOver([](std::size_t) { return true; }), {}, {});
            for (std::size_t c = 0; c < r.d.Cells(); ++c) {
                Place at = r.grid.PlaceOf(0, c);
                at[0] = kOver;
                CheckPair(r, a, 0, at, i, j, r.y[c], {}, {});
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
    if (error == 0) {
        EXPECT_FALSE(e->f);
        return;
    }
    EXPECT_EQ(e->f, Rounded(ss * df2 / (error * df1)));
    EXPECT_EQ(e->partialEtaSquared, Rounded(ss / (ss + error)));
    EXPECT_TRUE(e->partialEtaSquaredCI.has_value());
}

void CheckSimpleEffects(const Rational& r, const Analysis& a) {
    const std::size_t B = r.B(), W = r.d.within.size();
    const auto N = static_cast<std::int64_t>(r.d.Subjects()), G = static_cast<std::int64_t>(r.d.Groups());
    mpq_class inverses = 0;
    for (std::size_t g = 0; g < r.d.Groups(); ++g) inverses += mpq_class(1, r.Size(g));
    // Within F at each level of within G, averaged over the others: type III
    // hypothesis, F's interaction with the subjects pooled within the groups.
    for (std::size_t f = 0; f < W; ++f)
        for (std::size_t h = 0; h < W; ++h)
            for (std::size_t l = 0; h != f && l < r.d.within[h].levels.size(); ++l) {
                const std::size_t k = r.d.within[f].levels.size();
                std::vector<Values> x;
                for (std::size_t i = 0; i < k; ++i)
                    x.push_back(
                        r.MeanOver([&](std::size_t c) { return r.Level(c, f) == i && r.Level(c, h) == l; }));
                Values mine(r.d.Subjects(), 0);
                for (const Values& v : x)
                    for (std::size_t s = 0; s < mine.size(); ++s) mine[s] += v[s] / static_cast<long>(k);
                std::vector<mpq_class> m(k, 0);
                mpq_class grand = 0, ss = 0, error = 0;
                for (std::size_t i = 0; i < k; ++i) {
                    for (std::size_t g = 0; g < r.d.Groups(); ++g) m[i] += r.GroupMean(x[i], g) / G;
                    grand += m[i] / static_cast<long>(k);
                    for (std::size_t s = 0; s < mine.size(); ++s) {
                        const auto g = static_cast<std::size_t>(r.d.group[s]);
                        const mpq_class e = x[i][s] - mine[s] - r.GroupMean(x[i], g) + r.GroupMean(mine, g);
                        error += e * e;
                    }
                }
                for (std::size_t i = 0; i < k; ++i) ss += (m[i] - grand) * (m[i] - grand) * G * G / inverses;
                Place at(B + W, kOver);
                at[B + h] = static_cast<std::int32_t>(l);
                const SimpleEffect* e = FindEffect(a, B + f, at);
                const auto df1 = static_cast<std::int64_t>(k) - 1;
                CheckOneWay(e, ss, error, df1, df1 * (N - G));
                ASSERT_NE(e, nullptr);
                // Its epsilon is not rounded once: the study's bits and R's figure test it.
                EXPECT_EQ(e->ggEpsilon.has_value(), k > 2);
            }
    // G at each level of each within factor: the one-way analysis of the subjects' means there.
    for (std::size_t f = 0; f < W && B > 0; ++f)
        for (std::size_t l = 0; l < r.d.within[f].levels.size(); ++l) {
            const Values v = r.MeanOver([&](std::size_t c) { return r.Level(c, f) == l; });
            mpq_class grand = 0, ss = 0, error = 0;
            for (const mpq_class& x : v) grand += x / N;
            for (std::size_t g = 0; g < r.d.Groups(); ++g)
                ss += (r.GroupMean(v, g) - grand) * (r.GroupMean(v, g) - grand) * r.Size(g),
                    error += r.Squares(v, g);
            Place at(B + W, kOver);
            at[B + f] = static_cast<std::int32_t>(l);
            CheckOneWay(FindEffect(a, 0, at), ss, error, G - 1, N - G);
        }
}

TEST(FollowUpsExactTest, EveryFigureIsTheRoundedExactOneOfItsDefinition) {
    std::mt19937 random(2024);
    const DesignData designs[] = {MakeDesign(random, {3, 5}, {3, 2}, 1, 40000),
                                  MakeDesign(random, {6}, {3, 2, 2}, 3, 40000),
                                  MakeDesign(random, {4, 3}, {3, 2}, 1, 200000000)};
    const detail::Scores wide = detail::IntegerScores(designs[2]);
    ASSERT_TRUE(wide.Quick());
    EXPECT_FALSE(detail::BlockedFits(wide, detail::RowValues(detail::FactorGrid(designs[2]), true).Growth()));
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

// Scores of `places` decimals: `units(s, a, b)` of them each.
StudyStore Decimals(int n, int na, int nb, int places, const std::function<long long(int, int, int)>& units) {
    return morvane::testing::Study(n, na, nb, [&](int s, int a, int b) {
        const long long u = units(s, a, b);
        std::string text = std::to_string(u < 0 ? -u : u);
        while (static_cast<int>(text.size()) <= places) text.insert(0, "0");
        if (places > 0) text.insert(text.size() - static_cast<std::size_t>(places), ".");
        return (u < 0 ? "-" : "") + text;
    });
}

TEST(FollowUpsExactTest, EveryFigureOfAStudyIsTheRoundedExactOneOfItsDefinition) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> noise(0, 500);
    const StudyStore studies[] = {
        // A large common offset, three decimals.
        Decimals(6, 3, 3, 3, [](int s, int a, int b) { return 1000000LL + (s * 7 + a * 3 + b) % 4 * 100 + (s + a * b) % 10; }),
        // Cells near 10^12 beside cells near 0: offsets from each cell's own reference.
        Decimals(3, 2, 2, 3,
                 [](int s, int a, int b) {
                     return (a == 1 ? 1000000000000000LL : 0) + 100 + (s * 389 + a * 97 + b * 211) % 900;
                 }),
        // Random decimals of both signs.
        Decimals(8, 3, 4, 2, [&](int, int, int) { return static_cast<long long>(noise(random)) * 41 - 10000; }),
        // Offsets too wide for 31 bits, the sure strategy's integers in either.
        Decimals(9, 3, 4, 10, [&](int s, int a, int b) {
            return (300 + 10 * (s * 7 % 11) + a * b + noise(random) % 40) * 1000000000LL + 1;
        }),
        // Two subjects, five levels of A.
        Decimals(2, 5, 3, 2, [&](int s, int a, int b) { return noise(random) + 70 * s + 3 * a * b; }),
    };
    for (const StudyStore& store : studies) {
        const DesignData design = DesignFromStudy(store, '.');
        SCOPED_TRACE(std::to_string(design.Subjects()) + " subjects, scale " + std::to_string(design.scale));
        ASSERT_TRUE(design.exact);
        const Rational r(design);
        for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
            SCOPED_TRACE(strategy == detail::Strategy::Quick ? "quick" : "sure");
            const Analysis a = detail::AnalyseWith(design, {}, strategy);
            CheckMeans(r, a);
            CheckComparisons(r, a);
            CheckSimpleEffects(r, a);
            // The study's families: A over B and at each b, B over A and at each a.
            const std::size_t na = design.within[0].levels.size(), nb = design.within[1].levels.size();
            EXPECT_EQ(a.comparisons.size(), (na * (na - 1) / 2) * (1 + nb) + (nb * (nb - 1) / 2) * (1 + na));
            EXPECT_EQ(a.simpleEffects.size(), na + nb);
        }
    }
}

}  // namespace
}  // namespace morvane::anova
