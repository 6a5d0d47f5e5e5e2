// The one engine's checks against rational arithmetic: of designs with groups
// and averaged cells, scores near 10^9 of one decimal, where the extended
// format alone would keep none of a residual's digits; and of data files'
// studies of every shape, from no subject to hundreds, in either strategy.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <string>

#include "anova/Analysis.h"
#include "anova/detail/Analyse.h"
#include "anova/detail/Scores.h"
#include "design/StudyDesign.h"
#include "exact/WideIntegers.h"
#include "stats/QuantilePoints.h"
#include "store/DataFile.h"
#include "support/RationalArithmetic.h"

namespace morvane::anova {
namespace {

using detail::Rounded;

constexpr long long kOffset = 10000000000LL;  // 10^9 in tenths

// A score of `rows` rows whose units (of 10^-scale, tenths unless told) sum to `units`.
mpq_class Exact(Int128 units, std::size_t rows, int scale = 1) {
    mpz_class power;
    mpz_ui_pow_ui(power.get_mpz_t(), 10, static_cast<unsigned long>(scale));
    mpq_class x(exact::ToMpz(units), exact::Big(static_cast<std::int64_t>(rows)) * power);
    x.canonicalize();
    return x;
}

// A design of the given factors whose cell (subject s, within cell c) is the
// mean of rows[s][c], each row a score in tenths.
DesignData Design(const std::vector<std::size_t>& between, const std::vector<std::size_t>& within,
                  const std::vector<std::int32_t>& group,
                  const std::vector<std::vector<std::vector<long long>>>& rows) {
    DesignData d;
    for (std::size_t f = 0; f < between.size(); ++f) {
        d.between.push_back({"G" + std::to_string(f), {}});
        for (std::size_t l = 0; l < between[f]; ++l) d.between[f].levels.push_back("g" + std::to_string(l));
    }
    for (std::size_t f = 0; f < within.size(); ++f) {
        d.within.push_back({std::string(1, static_cast<char>('A' + f)), {}});
        for (std::size_t l = 0; l < within[f]; ++l) d.within[f].levels.push_back("l" + std::to_string(l));
    }
    d.exact = true, d.scale = 1;
    for (std::size_t s = 0; s < rows.size(); ++s) {
        d.subjects.push_back("s" + std::to_string(s + 1));
        d.group.push_back(group[s]);
        for (const std::vector<long long>& cell : rows[s]) {
            Int128 units = 0;
            for (const long long r : cell) units += r;
            d.units.push_back(units);
            d.rows.push_back(static_cast<std::int32_t>(cell.size()));
            d.values.push_back(Rounded(Exact(units, cell.size())));
        }
    }
    d.subjectsRead = static_cast<std::int64_t>(rows.size());
    return d;
}

// The design's exact scores y[s][c], and what the checks are formed from.
struct Rational {
    const DesignData& d;
    std::size_t n, cells, groups;
    std::vector<std::vector<mpq_class>> y;
    std::vector<std::int64_t> size;
    std::vector<std::vector<mpq_class>> mean;  // [group][cell]

    explicit Rational(const DesignData& design)
        : d(design),
          n(design.Subjects()),
          cells(design.Cells()),
          groups(design.Groups()),
          y(n),
          size(groups, 0),
          mean(groups, std::vector<mpq_class>(cells, 0)) {
        for (std::size_t s = 0; s < n; ++s) {
            ++size[static_cast<std::size_t>(d.group[s])];
            for (std::size_t c = 0; c < cells; ++c) {
                const std::size_t i = s * cells + c;
                y[s].push_back(Exact(d.units[i], static_cast<std::size_t>(d.rows[i]), d.scale));
                mean[static_cast<std::size_t>(d.group[s])][c] += y[s][c];
            }
        }
        for (std::size_t g = 0; g < groups; ++g)
            for (mpq_class& m : mean[g]) m /= std::max<std::int64_t>(size[g], 1);
    }

    // The level of within factor f in cell c.
    std::size_t Level(std::size_t c, std::size_t f) const {
        for (std::size_t g = d.within.size(); g-- > f + 1;) c /= d.within[g].levels.size();
        return c % d.within[f].levels.size();
    }

    // The residuals of the stratum of within factors `mask`, subject by
    // subject in the order of the stratum's table: the alternating sum over
    // the subsets U of the mask of the means over the cells at U's levels of
    // each score less its group's mean.
    std::vector<std::vector<mpq_class>> Residuals(std::uint32_t mask) const {
        std::vector<std::vector<mpq_class>> out(n);
        std::size_t per = 1;
        for (std::size_t f = 0; f < d.within.size(); ++f)
            if (mask >> f & 1u) per *= d.within[f].levels.size();
        for (std::size_t s = 0; s < n; ++s) {
            const auto g = static_cast<std::size_t>(d.group[s]);
            out[s].assign(per, 0);
            for (std::size_t t = 0; t < per; ++t) {
                // A cell of the table: the levels of the mask's factors, the last fastest.
                std::vector<std::size_t> at(d.within.size(), 0);
                for (std::size_t f = d.within.size(), rest = t; f-- > 0;)
                    if (mask >> f & 1u)
                        at[f] = rest % d.within[f].levels.size(), rest /= d.within[f].levels.size();
                for (std::uint32_t u = 0; u <= mask; ++u) {
                    if ((u & mask) != u) continue;
                    mpq_class sum = 0;
                    std::int64_t count = 0;
                    for (std::size_t c = 0; c < cells; ++c) {
                        bool in = true;
                        for (std::size_t f = 0; f < d.within.size(); ++f)
                            if (u >> f & 1u) in = in && Level(c, f) == at[f];
                        if (in) sum += y[s][c] - mean[g][c], ++count;
                    }
                    const int sign = (std::popcount(mask) - std::popcount(u)) % 2 ? -1 : 1;
                    out[s][t] += sign * sum / count;
                }
            }
        }
        return out;
    }

    // Each residual's square studentized: e^2 / (SS / df (1 - 1/n_g) prod (1 - 1/l));
    // none but zeros where the stratum has no degrees of freedom or no variation.
    std::vector<std::vector<mpq_class>> Studentized(std::uint32_t mask) const {
        std::vector<std::vector<mpq_class>> e = Residuals(mask);
        mpq_class ss = 0, leverage = 1;
        std::int64_t df = static_cast<std::int64_t>(n);
        for (std::size_t g = 0; g < groups; ++g) df -= size[g] > 0;
        for (std::size_t f = 0; f < d.within.size(); ++f)
            if (mask >> f & 1u) {
                const auto l = static_cast<long>(d.within[f].levels.size());
                df *= l - 1, leverage *= mpq_class(l - 1, l);
            }
        for (const auto& row : e)
            for (const mpq_class& v : row) ss += v * v;
        if (df < 1 || ss == 0) {
            for (auto& row : e)
                for (mpq_class& v : row) v = 0;
            return e;
        }
        for (std::size_t s = 0; s < n; ++s) {
            const auto g = static_cast<std::size_t>(d.group[s]);
            const mpq_class variance = ss / df * leverage * mpq_class(size[g] - 1, size[g]);
            for (mpq_class& v : e[s]) v = size[g] < 2 ? mpq_class(0) : mpq_class(sgn(v) * v * v / variance);
        }
        return e;  // signed squares
    }
};

// sign * sqrt(|x|) of a signed square.
long double Root(const mpq_class& x) {
    return sgn(x) * std::sqrt(static_cast<long double>(Rounded(abs(x))));
}

void Close(long double got, long double want, const std::string& what) {
    EXPECT_LE(std::fabs(got - want), 1e-17L * std::max(1.0L, std::fabs(want)))
        << what << ": " << got << " " << want;
}

// Every stratum's studentized residuals, the largest, those beyond 3 (by their
// exact squares) and the Q-Q points; the outlying subjects; Levene's F to the
// bit; the cells' shapes from their exact moments.
void ExpectExact(const DesignData& design, const Analysis& a) {
    const Rational x(design);
    std::vector<std::vector<std::size_t>> outlying(x.n);
    ASSERT_EQ(a.strata.size(), std::size_t{1} << design.within.size());
    for (std::size_t k = 0; k < a.strata.size(); ++k) {
        const Stratum& s = a.strata[k];
        SCOPED_TRACE(s.name);
        std::uint32_t mask = 0;
        for (const std::size_t f : s.within) mask |= 1u << f;
        const auto t = x.Studentized(mask);
        // The residuals' sum of squares, each over the cells it stands for, is the stratum's to the bit.
        mpq_class squares = 0;
        for (const auto& row : x.Residuals(mask))
            for (const mpq_class& e : row) squares += e * e * static_cast<long>(x.cells / row.size());
        EXPECT_EQ(s.error.ss, Rounded(squares));
        std::vector<long double> plotted;
        std::int64_t beyond = 0, unplotted = 0;
        long double largest = 0;
        for (std::size_t subject = 0; subject < x.n; ++subject) {
            const bool alone = x.size[static_cast<std::size_t>(design.group[subject])] < 2;
            for (const mpq_class& v : t[subject]) {
                if (alone) {
                    ++unplotted;
                    continue;
                }
                plotted.push_back(Root(v)), largest = std::max(largest, std::fabs(plotted.back()));
                if (abs(v) > 9) ++beyond;
            }
            if (std::any_of(t[subject].begin(), t[subject].end(),
                            [](const mpq_class& v) { return abs(v) > 9; }))
                outlying[subject].push_back(k);
        }
        EXPECT_EQ(s.residuals, static_cast<std::int64_t>(x.n * t[0].size()));
        EXPECT_EQ(s.normality.inRange, s.residuals >= 3 && s.residuals <= 5000);
        EXPECT_EQ(s.beyond3, beyond);
        if (largest == 0) {  // no degrees of freedom, or residuals all zero
            EXPECT_FALSE(s.largestStudentized || s.normality.w);
            EXPECT_TRUE(s.quantiles.empty());
            continue;
        }
        EXPECT_EQ(s.unplotted, unplotted);
        ASSERT_TRUE(s.largestStudentized.has_value());
        Close(*s.largestStudentized, largest, "largest");
        std::sort(plotted.begin(), plotted.end());
        // Beyond kQuantilePoints, the tails and evenly spaced ranks between.
        const std::vector<std::size_t> ranks = QuantileRanks(plotted.size());
        ASSERT_EQ(s.quantiles.size(), ranks.size());
        for (std::size_t i = 0; i < ranks.size(); ++i) {
            EXPECT_EQ(s.quantiles[i].rank, ranks[i]);
            Close(s.quantiles[i].studentized, plotted[ranks[i]], "point");
        }
        EXPECT_EQ(s.normality.w.has_value(), s.normality.inRange);
    }
    std::size_t listed = 0;
    for (std::size_t subject = 0; subject < x.n; ++subject) {
        if (outlying[subject].empty()) continue;
        ASSERT_LT(listed, a.outlying.size());
        EXPECT_EQ(a.outlying[listed].subject, subject);
        EXPECT_EQ(a.outlying[listed].strata, outlying[subject]);
        ++listed;
    }
    EXPECT_EQ(a.outlying.size(), listed);
    EXPECT_EQ(a.outlyingSubjects, static_cast<std::int64_t>(listed));

    // Levene: the one-way analysis of |y - centre| across the groups, each within cell.
    ASSERT_EQ(a.levene.size(), design.between.empty() ? 0 : 2 * x.cells);
    for (const LeveneTest& l : a.levene) {
        std::size_t c = 0;
        for (std::size_t f = 0; f < design.within.size(); ++f)
            c = c * design.within[f].levels.size() +
                static_cast<std::size_t>(l.at[design.between.size() + f]);
        std::vector<std::vector<mpq_class>> z(x.groups);
        for (std::size_t s = 0; s < x.n; ++s)
            z[static_cast<std::size_t>(design.group[s])].push_back(x.y[s][c]);
        mpq_class between = 0, within = 0, all = 0;
        std::int64_t k = 0, total = 0;
        for (std::vector<mpq_class>& v : z) {
            if (v.empty()) continue;
            std::sort(v.begin(), v.end());
            const mpq_class centre = l.median ? mpq_class((v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2)
                                              : mpq_class(x.mean[static_cast<std::size_t>(&v - z.data())][c]);
            for (mpq_class& e : v) e = abs(e - centre);
            mpq_class m = 0;
            for (const mpq_class& e : v) m += e;
            m /= static_cast<long>(v.size());
            for (const mpq_class& e : v) within += (e - m) * (e - m);
            between += static_cast<long>(v.size()) * m * m, all += static_cast<long>(v.size()) * m;
            ++k, total += static_cast<std::int64_t>(v.size());
        }
        between -= all * all / total;
        EXPECT_EQ(l.df1, k - 1);
        EXPECT_EQ(l.df2, total - k);
        ASSERT_TRUE(l.f.has_value());
        EXPECT_EQ(*l.f, Rounded(mpq_class(between / (k - 1) / (within / (total - k)))))
            << c << " " << l.median;
        EXPECT_TRUE(l.p.has_value());
    }

    // Shapes: G1^2 and G2 from the exact central moments.
    ASSERT_EQ(a.cellShapes.size(), x.groups * x.cells);
    for (std::size_t i = 0; i < a.cellShapes.size(); ++i) {
        const std::size_t g = i / x.cells, c = i % x.cells;
        const long m = x.size[g];
        mpq_class m2 = 0, m3 = 0, m4 = 0;
        for (std::size_t s = 0; s < x.n; ++s) {
            if (static_cast<std::size_t>(design.group[s]) != g) continue;
            const mpq_class e = x.y[s][c] - x.mean[g][c];
            m2 += e * e / m, m3 += e * e * e / m, m4 += e * e * e * e / m;
        }
        const CellShape& shape = a.cellShapes[i];
        EXPECT_EQ(shape.skewness.has_value(), m >= 3 && m2 != 0);
        EXPECT_EQ(shape.excessKurtosis.has_value(), m >= 4 && m2 != 0);
        if (!shape.excessKurtosis) continue;
        const mpq_class g1 = m3 * m3 / (m2 * m2 * m2) * m * (m - 1) / ((m - 2) * (m - 2));
        Close(*shape.skewness, Root(sgn(m3) * g1), "skewness");
        const mpq_class g2 = mpq_class(m - 1) * ((m + 1) * (m4 / (m2 * m2) - 3) + 6) / ((m - 2) * (m - 3));
        EXPECT_LE(std::fabs(*shape.excessKurtosis - Rounded(g2)), 1e-16L) << "kurtosis " << i;
    }
}

// Each subject's cells in tenths near 10^9: a cell of the `averaged` ones the
// mean of two or three rows about it, not always a tenth.
std::vector<std::vector<std::vector<long long>>> Rows(std::mt19937& random, std::size_t n, std::size_t cells,
                                                      int spread, const std::vector<long long>& extra) {
    std::uniform_int_distribution<int> d(-spread, spread), rows(1, 3);
    std::vector<std::vector<std::vector<long long>>> out(n);
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) {
            const long long centre =
                kOffset + d(random) + 30 * static_cast<long long>(c) + extra[s * cells + c];
            std::vector<long long> cell = {centre};
            if (rows(random) == 3)
                cell = {centre - 7, centre + 2, centre + 6};
            else if (rows(random) == 3)
                cell = {centre, centre + 1};
            out[s].push_back(cell);
        }
    return out;
}

TEST(ExactChecksTest, AMixedDesignsChecksAreThoseOfRationalArithmetic) {
    std::mt19937 random(20261212);
    // G (3 groups of 7, 9 and 12) x H (2, one cell of one subject) x A (3) x B (2); two subjects far out.
    std::vector<std::int32_t> group;
    const int sizes[] = {7, 9, 12, 1, 4, 5};
    for (std::int32_t g = 0; g < 6; ++g)
        for (int i = 0; i < sizes[g]; ++i) group.push_back(g);
    std::shuffle(group.begin(), group.end(), random);
    const std::size_t n = group.size(), cells = 6;
    std::vector<long long> extra(n * cells, 0);
    extra[3 * cells + 2] = 900, extra[20 * cells + 5] = -1200;
    // Spreads whose cells' fourth powers a group sums in 64 bits, in 128 from 64-bit powers, and in 128.
    for (const int spread : {200, 1600, 30000}) {
        SCOPED_TRACE(spread);
        const DesignData design = Design({3, 2}, {3, 2}, group, Rows(random, n, cells, spread, extra));
        const Analysis quick = detail::AnalyseWith(design, {}, detail::Strategy::Quick);
        ExpectExact(design, quick);
        if (spread == 200) {
            EXPECT_GT(quick.strata[0].unplotted, 0);
            EXPECT_GT(quick.outlyingSubjects, 0);
            EXPECT_FALSE(quick.rankBased.omitted.empty());
            EXPECT_TRUE(quick.rankBased.friedman.empty() && quick.rankBased.alignedRanks.empty());
        }
        const Analysis sure = detail::AnalyseWith(design, {}, detail::Strategy::Sure);
        for (std::size_t k = 0; k < quick.strata.size(); ++k) {
            EXPECT_EQ(sure.strata[k].normality.w, quick.strata[k].normality.w);
            EXPECT_EQ(sure.strata[k].largestStudentized, quick.strata[k].largestStudentized);
        }
        for (std::size_t i = 0; i < quick.levene.size(); ++i) EXPECT_EQ(sure.levene[i].f, quick.levene[i].f);
        for (std::size_t i = 0; i < quick.cellShapes.size(); ++i) {
            EXPECT_EQ(sure.cellShapes[i].skewness, quick.cellShapes[i].skewness);
            EXPECT_EQ(sure.cellShapes[i].excessKurtosis, quick.cellShapes[i].excessKurtosis);
        }
    }
}

// A within design whose subject 1 lies exactly 3 studentized from the rest in
// A x S (n (d_1 - mean d)^2 = 9 sum (d - mean d)^2 over 18 subjects): on the
// line, not beyond it, however its rounded value falls.
TEST(ExactChecksTest, AResidualOfExactlyThreeIsNotBeyondThree) {
    const long long u[18] = {6, -3, -3, -3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<std::vector<std::vector<long long>>> rows;
    for (std::size_t s = 0; s < 18; ++s) {
        const long long base = kOffset + 37 * static_cast<long long>(s % 5);
        // Averaged cells: the same means from two rows.
        rows.push_back({{base + 50 + u[s] - 1, base + 50 + u[s] + 1}, {base - 4, base + 4}});
    }
    const DesignData design = Design({}, {2}, std::vector<std::int32_t>(18, 0), rows);
    for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
        const Analysis a = detail::AnalyseWith(design, {}, strategy);
        ExpectExact(design, a);
        const Stratum& as = a.strata[1];
        ASSERT_TRUE(as.largestStudentized.has_value());
        EXPECT_NEAR(static_cast<double>(*as.largestStudentized), 3.0, 1e-15);
        EXPECT_EQ(as.beyond3, 0);
        EXPECT_EQ(a.outlyingSubjects, 0);
    }
}

// The scores of a study: n subjects x na x nb cells of `places` decimals near
// `offset` (in those decimals), spread up to `spread`; `outliers` subjects
// have one score far out.
struct Shape {
    int n, na, nb, places;
    long long offset;
    int spread, outliers;
};

StudyStore RandomStudy(std::mt19937& random, const Shape& shape) {
    std::uniform_int_distribution<int> d(0, shape.spread);
    return morvane::testing::Study(shape.n, shape.na, shape.nb, [&](int s, int i, int j) {
        long long units = shape.offset + d(random) + 3 * i * j + (s % 3) * i;
        if (s <= shape.outliers && i == 1 && j == shape.nb) units += 40LL * shape.spread * (s % 2 ? 1 : -1);
        std::string text = std::to_string(units < 0 ? -units : units);
        if (shape.places > 0) {
            while (static_cast<int>(text.size()) <= shape.places) text.insert(0, "0");
            text.insert(text.size() - static_cast<std::size_t>(shape.places), ".");
        }
        return (units < 0 ? "-" : "") + text;
    });
}

TEST(ExactChecksTest, AStudysChecksAreThoseOfRationalArithmetic) {
    std::mt19937 random(20261211);
    // Ties, decimals, negative scores, an offset of 10^12 with three decimals,
    // outlying subjects, fewer subjects than contrasts, N = 1 to 3, a level of
    // one; more residuals than the plot shows and than W takes; scores of
    // 10^12 with three decimals, N times over beyond 64 bits.
    const Shape shapes[] = {
        {8, 2, 3, 0, 0, 9, 0},        {12, 3, 4, 2, 0, 500, 2},  {5, 4, 4, 1, 0, 3, 0},
        {3, 3, 3, 3, 1000000000000LL, 999, 0},                   {40, 3, 2, 1, -600, 100, 3},
        {1, 2, 3, 0, 0, 5, 0},        {2, 3, 2, 2, 5, 50, 0},    {3, 2, 2, 0, 0, 20, 0},
        {9, 1, 4, 1, 0, 30, 1},       {60, 4, 3, 0, 0, 2, 4},    {30, 2, 5, 4, 1000000000000LL, 99999, 2},
        {450, 4, 3, 1, 0, 40, 5},     {400, 3, 2, 3, 1000000000000000LL, 50, 1},
    };
    std::int64_t outlying = 0, thinned = 0;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.n) + " x " + std::to_string(shape.na) + " x " + std::to_string(shape.nb) +
                     " offset " + std::to_string(shape.offset));
        const DesignData design = DesignFromStudy(RandomStudy(random, shape), '.');
        ASSERT_TRUE(design.exact);
        for (const detail::Strategy strategy : {detail::Strategy::Quick, detail::Strategy::Sure}) {
            SCOPED_TRACE(strategy == detail::Strategy::Quick ? "quick" : "sure");
            const Analysis a = detail::AnalyseWith(design, {}, strategy);
            ExpectExact(design, a);
            EXPECT_TRUE(a.levene.empty());
            outlying += a.outlyingSubjects;
            thinned += a.strata.back().quantiles.size() == kQuantilePoints &&
                       a.strata.back().residuals > static_cast<std::int64_t>(kQuantilePoints);
        }
    }
    EXPECT_GT(outlying, 10);
    EXPECT_EQ(thinned, 4);
    // And the bundled data files; a study without subjects has nothing to check.
    for (const char* file : {"eight-subjects-2x3.dat", "pre-post.dat", "worked-example.dat"}) {
        SCOPED_TRACE(file);
        StudyStore store;
        LoadStudyFile(store, std::string(MORVANE_EXAMPLES) + "/" + file);
        const DesignData design = DesignFromStudy(store, '.');
        ExpectExact(design, Analyse(design));
    }
    const Analysis none = Analyse(DesignFromStudy(morvane::testing::Study(0, 2, 2, {}), '.'));
    for (const Stratum& s : none.strata) EXPECT_TRUE(s.residuals == 0 && !s.normality.w && s.quantiles.empty());
    EXPECT_TRUE(none.cellShapes.empty() && none.outlying.empty());
}

}  // namespace
}  // namespace morvane::anova
