// The checks of each between x within cell's scores, exact: their shape from
// the power sums of the cell's integers, Levene's tests of each within
// cell from the integers' absolute deviations, and Box's M test from each
// group's exact cross products. A cell's integers are taken
// less its first subject's (the shape and the deviations do not change), in
// 64 bits with 128-bit sums where they fit, else in GMP.

#include "anova/detail/CellChecks.h"

#include <algorithm>
#include <cmath>

#include "anova/detail/CheckPasses.h"
#include "stats/Distributions.h"
#include "stats/SampleShape.h"

namespace morvane::anova::detail {
namespace {

// The power sums S1 .. S4 of a cell's integers in a group.
struct PowerSums {
    std::int64_t n = 0;
    mpz_class s[4];
};

// Every cell's power sums in group g, of the offsets less its first
// subject's: the powers in Power (64 bits where the fourth fits), summed in
// Sum (64 bits where the group's sum of fourth powers fits, else 128), or all
// in GMP.
template <class Value, class Power = SumOf<Value>, class Sum = SumOf<Value>>
std::vector<PowerSums> PowerSumsOf(const Scores& s, std::size_t g) {
    const std::size_t cells = s.cells, first = s.order.start[g], last = s.order.start[g + 1];
    std::vector<PowerSums> out(cells);
    if (first == last) return out;
    std::vector<Sum> sums(4 * cells, Sum(0));
    std::vector<Value> origin(cells);
    for (std::size_t c = 0; c < cells; ++c) origin[c] = OffsetAt<Value>(s, first * cells + c);
    for (std::size_t r = first; r < last; ++r)
        for (std::size_t c = 0; c < cells; ++c) {
            const Power d = OffsetAt<Value>(s, r * cells + c) - origin[c];
            const Power d2 = d * d;
            Sum* p = &sums[4 * c];
            p[0] += d, p[1] += d2, p[2] += d2 * d, p[3] += d2 * d2;
        }
    for (std::size_t c = 0; c < cells; ++c) {
        out[c].n = static_cast<std::int64_t>(last - first);
        for (std::size_t i = 0; i < 4; ++i) out[c].s[i] = Big(sums[4 * c + i]);
    }
    return out;
}

// n^2 m2 = n S2 - S1^2, n^3 m3 = n^2 S3 - 3 n S1 S2 + 2 S1^3 and
// n^4 m4 = n^3 S4 - 4 n^2 S1 S3 + 6 n S1^2 S2 - 3 S1^4, each exact and rounded
// once, over n^2, n^3 and n^4 as the two-way study divides them.
SampleShape ShapeOf(const PowerSums& p) {
    if (p.n < 1) return {};
    const mpz_class n = Big(p.n);
    const mpz_class &s1 = p.s[0], &s2 = p.s[1], &s3 = p.s[2], &s4 = p.s[3];
    const mpz_class c2 = n * s2 - s1 * s1;
    const mpz_class c3 = n * n * s3 - 3 * n * s1 * s2 + 2 * s1 * s1 * s1;
    const mpz_class c4 = n * n * n * s4 - 4 * n * n * s1 * s3 + 6 * n * s1 * s1 * s2 - 3 * s1 * s1 * s1 * s1;
    const auto n2 = static_cast<Extended>(static_cast<Int128>(p.n) * p.n),
               n3 = n2 * static_cast<Extended>(p.n), n4 = n2 * n2;
    SampleShape shape = ShapeOfMoments(static_cast<std::size_t>(p.n), ExtendedOf(c2) / n2,
                                       ExtendedOf(c3) / n3, ExtendedOf(c4) / n4);
    for (std::optional<Extended>* v : {&shape.skewness, &shape.excessKurtosis})
        if (*v && !std::isfinite(**v)) v->reset();
    return shape;
}

std::size_t LargestGroup(const Scores& s) {
    std::size_t most = 0;
    for (std::size_t g = 0; g < s.order.Groups(); ++g) most = std::max(most, s.order.Size(g));
    return most;
}

// The place of between cell g and within cell c: each factor's level.
Place PlaceOf(const DesignData& design, std::size_t g, std::size_t c, bool withBetween) {
    Place at(design.between.size() + design.within.size(), kOver);
    for (std::size_t f = design.between.size(); f-- > 0;) {
        const std::size_t l = design.between[f].levels.size();
        if (withBetween) at[f] = static_cast<std::int32_t>(g % l);
        g /= l;
    }
    for (std::size_t f = design.within.size(); f-- > 0;) {
        const std::size_t l = design.within[f].levels.size();
        at[design.between.size() + f] = static_cast<std::int32_t>(c % l);
        c /= l;
    }
    return at;
}

// One centring's sums of a group's absolute deviations Z (each `weight` times
// the deviation): their count, sum and sum of squares.
struct Deviations {
    std::int64_t n = 0, weight = 1;
    mpz_class sum, squares;
};

// The group's deviations from its mean (n times over) and from its median
// (twice over) of the cell's integers `v`, which it reorders.
template <class Value>
void DeviationsOf(std::vector<Value>& v, Deviations& mean, Deviations& median) {
    const auto n = static_cast<std::int64_t>(v.size());
    Value total = 0;
    for (const Value& x : v) total += x;
    SumOf<Value> sum = 0, squares = 0;
    const Value weight = static_cast<long>(n);
    for (const Value& x : v) {
        const SumOf<Value> z = Magnitude(Value(weight * x - total));
        sum += z, squares += z * z;
    }
    mean = {n, n, Big(sum), Big(squares)};
    const auto middle = v.begin() + static_cast<std::ptrdiff_t>((v.size() - 1) / 2);
    std::nth_element(v.begin(), middle, v.end());
    Value twice = *middle + *middle;
    if (v.size() % 2 == 0) twice = *middle + *std::min_element(middle + 1, v.end());
    sum = 0, squares = 0;
    for (const Value& x : v) {
        const SumOf<Value> z = Magnitude(Value(2 * x - twice));
        sum += z, squares += z * z;
    }
    median = {n, 2, Big(sum), Big(squares)};
}

// The one-way analysis of the groups' deviations: F and its p, exact F rounded once.
LeveneTest TestOf(const std::vector<Deviations>& groups, Place at, bool median) {
    LeveneTest out;
    out.at = std::move(at), out.median = median;
    std::int64_t k = 0, total = 0;
    mpq_class between = 0, within = 0, weighted = 0;
    for (const Deviations& d : groups) {
        if (d.n < 1) continue;
        ++k, total += d.n;
        const mpz_class n = Big(d.n), nw = n * Big(d.weight), top = n * d.squares - d.sum * d.sum;
        mpq_class mean(d.sum, nw), spread(top, nw * Big(d.weight));
        mean.canonicalize(), spread.canonicalize();
        between += n * mean * mean, weighted += n * mean;
        within += spread;
    }
    out.df1 = k - 1, out.df2 = total - k;
    if (out.df1 < 1 || out.df2 < 1) return out;
    between -= weighted * weighted / Big(total);
    within.canonicalize(), between.canonicalize();
    if (sgn(within) <= 0) return out;
    const mpq_class f = (between / Big(out.df1)) / (within / Big(out.df2));
    const Extended rounded = ExtendedOf(f);
    if (!std::isfinite(rounded)) return out;
    out.f = rounded;
    out.p = FUpperTail(rounded, static_cast<Extended>(out.df1), static_cast<Extended>(out.df2));
    return out;
}

template <class Value>
std::vector<LeveneTest> Levene(const Inputs& in) {
    const Scores& s = in.scores;
    const std::size_t cells = s.cells, groups = s.order.Groups();
    std::vector<LeveneTest> out;
    std::vector<Deviations> mean(groups), median(groups);
    std::vector<Value> v;
    for (std::size_t c = 0; c < cells; ++c) {
        for (std::size_t g = 0; g < groups; ++g) {
            mean[g] = median[g] = {};
            v.clear();
            for (std::size_t r = s.order.start[g]; r < s.order.start[g + 1]; ++r)
                v.push_back(OffsetAt<Value>(s, r * cells + c));
            if (!v.empty()) DeviationsOf(v, mean[g], median[g]);
        }
        out.push_back(TestOf(mean, PlaceOf(in.design, 0, c, false), false));
        out.push_back(TestOf(median, PlaceOf(in.design, 0, c, false), true));
    }
    return out;
}

// Group g's sums of cross products about its means, n S_xy - S_x S_y over n.
template <class Value>
std::vector<mpq_class> CrossProductsOf(const Scores& s, std::size_t g) {
    const std::size_t p = s.cells, first = s.order.start[g], last = s.order.start[g + 1];
    std::vector<SumOf<Value>> sums(p, SumOf<Value>(0)), products(p * p, SumOf<Value>(0));
    std::vector<Value> row(p);
    for (std::size_t r = first; r < last; ++r) {
        for (std::size_t c = 0; c < p; ++c) row[c] = OffsetAt<Value>(s, r * p + c), sums[c] += row[c];
        for (std::size_t c = 0; c < p; ++c)
            for (std::size_t d = c; d < p; ++d) products[c * p + d] += SumOf<Value>(row[c]) * row[d];
    }
    const mpz_class n = Big(static_cast<std::int64_t>(last - first));
    std::vector<mpq_class> out(p * p);
    if (last == first) return out;
    for (std::size_t c = 0; c < p; ++c)
        for (std::size_t d = c; d < p; ++d) {
            mpq_class x(n * Big(products[c * p + d]) - Big(sums[c]) * Big(sums[d]), n);
            x.canonicalize();
            out[c * p + d] = out[d * p + c] = x;
        }
    return out;
}

}  // namespace

std::vector<std::vector<mpq_class>> GroupCrossProducts(const Inputs& in) {
    const Scores& s = in.scores;
    std::vector<std::vector<mpq_class>> out;
    if (s.cells > kBoxMMostVariables) return out;
    for (std::size_t g = 0; g < s.order.Groups(); ++g)
        out.push_back(s.Quick() ? CrossProductsOf<std::int64_t>(s, g) : CrossProductsOf<mpz_class>(s, g));
    return out;
}

BoxMTest BoxMOf(const Inputs& in) {
    const Scores& s = in.scores;
    if (s.cells > kBoxMMostVariables) {
        BoxMTest out;
        out.variables = s.cells, out.groups = s.order.Groups(), out.undefined = BoxMUndefined::TooManyCells;
        return out;
    }
    const std::vector<std::vector<mpq_class>> products = GroupCrossProducts(in);
    // M is the same for every matrix scaled alike: each over the largest
    // variance's cross products, within the extended range whatever the scores.
    mpq_class scale = 0;
    for (const std::vector<mpq_class>& g : products)
        for (std::size_t c = 0; c < s.cells; ++c) scale = std::max(scale, g[c * s.cells + c]);
    std::vector<std::int64_t> sizes;
    std::vector<SquareMatrix> covariances;
    for (std::size_t g = 0; g < products.size(); ++g) {
        const auto n = static_cast<std::int64_t>(s.order.Size(g));
        sizes.push_back(n);
        SquareMatrix m(s.cells);
        if (n > 1 && scale > 0)
            for (std::size_t e = 0; e < m.entries.size(); ++e)
                m.entries[e] = Rounded(products[g][e] / (scale * Big(n - 1)));
        covariances.push_back(std::move(m));
    }
    return BoxM(sizes, covariances);
}

std::vector<CellShape> CellShapesOf(const Inputs& in) {
    const Scores& s = in.scores;
    std::vector<CellShape> out;
    if (s.subjects == 0) return out;
    // Quick where a cell's differences (at most twice the bound) to the
    // fourth power, summed over a group, stay within 125 bits (62 bits: in
    // 64-bit sums).
    const long double d = 2 * static_cast<long double>(std::max<std::int64_t>(s.bound, 1));
    const bool quick = s.Quick() && static_cast<long double>(LargestGroup(s)) * d * d * d * d < 0x1p125L;
    const bool narrow = quick && d * d * d * d < 0x1p62L;
    const bool narrowest = narrow && static_cast<long double>(LargestGroup(s)) * d * d * d * d < 0x1p62L;
    out.reserve(s.order.Groups() * s.cells);
    for (std::size_t g = 0; g < s.order.Groups(); ++g) {
        const std::vector<PowerSums> sums = narrowest ? PowerSumsOf<std::int64_t, std::int64_t, std::int64_t>(s, g)
                                            : narrow  ? PowerSumsOf<std::int64_t, std::int64_t>(s, g)
                                            : quick   ? PowerSumsOf<std::int64_t>(s, g)
                                                      : PowerSumsOf<mpz_class>(s, g);
        for (std::size_t c = 0; c < s.cells; ++c) {
            const SampleShape shape = ShapeOf(sums[c]);
            out.push_back({PlaceOf(in.design, g, c, true), shape.skewness, shape.excessKurtosis});
        }
    }
    return out;
}

std::vector<LeveneTest> LeveneTestsOf(const Inputs& in) {
    const Scores& s = in.scores;
    // Quick where n_g times an offset, and the squares of the deviations
    // summed over a group, fit 62 and 125 bits.
    const auto n = static_cast<long double>(LargestGroup(s));
    const long double z = 2 * n * static_cast<long double>(std::max<std::int64_t>(s.bound, 1));
    if (s.Quick() && z < 0x1p62L && n * z * z < 0x1p125L) return Levene<std::int64_t>(in);
    return Levene<mpz_class>(in);
}

}  // namespace morvane::anova::detail
