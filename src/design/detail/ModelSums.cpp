#include "design/detail/ModelSums.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "exact/WideIntegers.h"
#include "runtime/Errors.h"

namespace morvane::design {
namespace {

using exact::ToMpz;

constexpr Int128 kInt128Max = static_cast<Int128>(~UInt128{0} >> 1);
// The least common multiple of the cells' row counts beyond which the scores
// are summed in extended precision (their common denominator would be long).
constexpr std::int64_t kMostCommonRows = std::int64_t{1} << 20;

// Over each within factor in turn, from the first: each line of its levels
// replaced by their sum and their integer Helmert contrasts (the running sum
// of the levels before less (j + 1) times level j + 1). `line` is scratch.
template <typename T>
void ToBasis(const WithinBasis& basis, T* z, std::vector<T>& line) {
    std::size_t stride = basis.cells;
    for (const std::size_t l : basis.levels) {
        stride /= l;
        line.resize(l);
        for (std::size_t outer = 0; outer < basis.cells; outer += stride * l)
            for (std::size_t inner = 0; inner < stride; ++inner) {
                T* v = z + outer + inner;
                T prefix = v[0];
                line[0] = v[0];
                for (std::size_t j = 0; j + 1 < l; ++j) {
                    const T next = v[(j + 1) * stride];
                    line[j + 1] = prefix - static_cast<T>(j + 1) * next;
                    prefix += next;
                }
                line[0] = prefix;
                for (std::size_t j = 0; j < l; ++j) v[j * stride] = line[j];
            }
    }
}

// The subjects in the order of their between cells, and where each cell starts.
struct GroupOrder {
    std::vector<std::size_t> subjects;
    std::vector<std::size_t> start;  // groups + 1 entries
};

GroupOrder OrderByGroup(const DesignData& design) {
    const std::size_t groups = design.Groups();
    GroupOrder order;
    order.start.assign(groups + 1, 0);
    for (const std::int32_t g : design.group) {
        if (g < 0 || static_cast<std::size_t>(g) >= groups) throw RangeError();
        ++order.start[static_cast<std::size_t>(g) + 1];
    }
    for (std::size_t g = 0; g < groups; ++g) {
        if (order.start[g + 1] == 0) throw RangeError();  // a between cell without subjects
        order.start[g + 1] += order.start[g];
    }
    order.subjects.resize(design.Subjects());
    std::vector<std::size_t> next(order.start.begin(), order.start.end() - 1);
    for (std::size_t s = 0; s < design.Subjects(); ++s)
        order.subjects[next[static_cast<std::size_t>(design.group[s])]++] = s;
    return order;
}

// The largest magnitude a coordinate of the basis takes for scores within `bound`.
long double BasisGrowth(const WithinBasis& basis) {
    long double growth = 1;
    for (const std::size_t l : basis.levels) growth *= static_cast<long double>(std::max(l, 2 * (l - 1)));
    return growth;
}

// Each subject's scores in the basis, coordinate-major ([coordinate][rank in
// the group order]), as integers of type T from the scaled units.
template <typename T>
std::vector<T> IntegerCoordinates(const DesignData& design, const WithinBasis& basis, const GroupOrder& order,
                                  const std::vector<std::int64_t>& multiplier) {
    const std::size_t n = design.Subjects(), cells = basis.cells;
    std::vector<T> out(n * cells);
    std::vector<std::int64_t> z(cells), line;
    for (std::size_t rank = 0; rank < n; ++rank) {
        const std::size_t s = order.subjects[rank];
        for (std::size_t c = 0; c < cells; ++c)
            z[c] = static_cast<std::int64_t>(design.units[s * cells + c]) *
                   multiplier[static_cast<std::size_t>(design.rows[s * cells + c])];
        ToBasis(basis, z.data(), line);
        for (std::size_t c = 0; c < cells; ++c) out[c * n + rank] = static_cast<T>(z[c]);
    }
    return out;
}

// The sums of one group's coordinates and the cross products within each
// effect's block, exact. Narrow values sum their products in 64 bits over runs
// short enough not to overflow, wide ones in 128 bits.
template <typename T>
void SumGroup(const WithinBasis& basis, const std::vector<T>& z, std::size_t n, std::size_t first,
              std::size_t count, long double bound, std::int64_t commonRows, GroupSums& out) {
    const mpz_class rows = exact::Big(commonRows);
    std::vector<Int128> sum(basis.cells, 0);
    for (std::size_t c = 0; c < basis.cells; ++c)
        for (std::size_t t = 0; t < count; ++t) sum[c] += z[c * n + first + t];
    const auto run = static_cast<std::size_t>(
        std::max(1.0L, std::min(static_cast<long double>(count), 9.2e18L / std::max(1.0L, bound * bound))));
    const mpz_class N = exact::Big(static_cast<std::int64_t>(count));
    out.n = static_cast<std::int64_t>(count);
    out.mean.resize(basis.cells);
    for (std::size_t c = 0; c < basis.cells; ++c) out.mean[c] = mpq_class(ToMpz(sum[c]), N * rows);
    out.within.resize(basis.of.size());
    for (std::size_t m = 0; m < basis.of.size(); ++m) {
        const std::vector<std::size_t>& idx = basis.of[m];
        const std::size_t k = idx.size();
        std::vector<mpq_class>& w = out.within[m];
        const bool whole = basis.whole[m];
        w.assign(whole ? k * k : k, 0);
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = i; j < (whole ? k : i + 1); ++j) {
                const T* zi = &z[idx[i] * n + first];
                const T* zj = &z[idx[j] * n + first];
                Int128 cross = 0;
                if constexpr (sizeof(T) == 4) {
                    for (std::size_t from = 0; from < count; from += run) {
                        std::int64_t part = 0;
                        const std::size_t to = std::min(count, from + run);
                        for (std::size_t t = from; t < to; ++t)
                            part += static_cast<std::int64_t>(zi[t]) * zj[t];
                        cross += part;
                    }
                } else {
                    for (std::size_t t = 0; t < count; ++t) cross += static_cast<Int128>(zi[t]) * zj[t];
                }
                // n times the centred sum, exact in GMP: n sum z_i z_j - sum z_i sum z_j.
                const mpz_class centred = N * ToMpz(cross) - ToMpz(sum[idx[i]]) * ToMpz(sum[idx[j]]);
                const mpq_class value(centred, N * rows * rows);
                if (whole)
                    w[i * k + j] = w[j * k + i] = value;
                else
                    w[i] = value;
            }
    }
}

// The multiplier of each row count to the common denominator of the cells'
// means, and the scores' largest magnitude in its units; false where these
// would not fit.
bool CommonUnits(const DesignData& design, std::int64_t& common, std::vector<std::int64_t>& multiplier,
                 long double& largest) {
    if (!design.exact || design.units.size() != design.values.size() ||
        design.rows.size() != design.units.size())
        return false;
    common = 1;
    std::int32_t most = 1;
    for (const std::int32_t r : design.rows) {
        if (r < 1) return false;
        most = std::max(most, r);
        if (common % r != 0) common = std::lcm(common, static_cast<std::int64_t>(r));
        if (common > kMostCommonRows) return false;
    }
    multiplier.assign(static_cast<std::size_t>(most) + 1, 0);
    for (std::int32_t r = 1; r <= most; ++r)
        if (common % r == 0) multiplier[static_cast<std::size_t>(r)] = common / r;
    Int128 top = 0;
    for (std::size_t k = 0; k < design.units.size(); ++k) {
        const Int128 u = design.units[k] < 0 ? -design.units[k] : design.units[k];
        const std::int64_t m = multiplier[static_cast<std::size_t>(design.rows[k])];
        if (u > kInt128Max / m) return false;
        top = std::max(top, u * m);
    }
    largest = static_cast<long double>(top);
    return true;
}

// Extended precision: each group's means, then its products about them.
void SumGroupsExtended(const DesignData& design, const WithinBasis& basis, const GroupOrder& order,
                       ModelSums& out) {
    const std::size_t n = design.Subjects(), cells = basis.cells;
    std::vector<Extended> z(n * cells), line;
    for (std::size_t rank = 0; rank < n; ++rank) {
        const std::size_t s = order.subjects[rank];
        Extended* row = &z[rank * cells];
        std::copy_n(&design.values[s * cells], cells, row);
        ToBasis(basis, row, line);
    }
    for (std::size_t g = 0; g + 1 < order.start.size(); ++g) {
        const std::size_t first = order.start[g], count = order.start[g + 1] - first;
        GroupSums& group = out.groups[g];
        group.n = static_cast<std::int64_t>(count);
        std::vector<Extended> mean(cells, 0);
        for (std::size_t t = first; t < first + count; ++t)
            for (std::size_t c = 0; c < cells; ++c) mean[c] += z[t * cells + c];
        for (Extended& m : mean) m /= static_cast<Extended>(count);
        group.mean.resize(cells);
        for (std::size_t c = 0; c < cells; ++c) group.mean[c] = ExactValue(CheckFinite(mean[c]));
        group.within.resize(basis.of.size());
        for (std::size_t m = 0; m < basis.of.size(); ++m) {
            const std::vector<std::size_t>& idx = basis.of[m];
            const std::size_t k = idx.size();
            const bool whole = basis.whole[m];
            group.within[m].assign(whole ? k * k : k, 0);
            for (std::size_t i = 0; i < k; ++i)
                for (std::size_t j = i; j < (whole ? k : i + 1); ++j) {
                    Extended cross = 0;
                    for (std::size_t t = first; t < first + count; ++t)
                        cross +=
                            (z[t * cells + idx[i]] - mean[idx[i]]) * (z[t * cells + idx[j]] - mean[idx[j]]);
                    const mpq_class value = ExactValue(CheckFinite(cross));
                    if (whole)
                        group.within[m][i * k + j] = group.within[m][j * k + i] = value;
                    else
                        group.within[m][i] = value;
                }
        }
    }
}

}  // namespace

WithinBasis::WithinBasis(const std::vector<DesignFactor>& within) {
    for (const DesignFactor& f : within) levels.push_back(f.levels.size()), cells *= f.levels.size();
    mask.resize(cells);
    squaredLength.resize(cells);
    of.resize(std::size_t{1} << levels.size());
    whole.assign(of.size(), true);
    for (std::size_t c = 0; c < cells; ++c) {
        std::size_t rest = c;
        std::uint32_t bits = 0;
        mpz_class length = 1;
        for (std::size_t f = levels.size(); f-- > 0;) {
            const std::size_t r = rest % levels[f];
            rest /= levels[f];
            if (r == 0) {
                length *= static_cast<unsigned long>(levels[f]);
            } else {
                bits |= std::uint32_t{1} << f;
                length *= static_cast<unsigned long>(r * (r + 1));
            }
        }
        mask[c] = bits;
        squaredLength[c] = length;
        of[bits].push_back(c);
    }
}

mpq_class ExactValue(Extended x) {
    if (x == 0) return 0;
    int e = 0;
    const Extended m = std::frexp(std::fabs(x), &e);  // [0.5, 1)
    const auto mantissa = static_cast<unsigned long>(std::ldexp(m, 64));
    mpq_class out{mpz_class(mantissa)};
    const long shift = e - 64;
    if (shift >= 0)
        mpz_mul_2exp(out.get_num_mpz_t(), out.get_num_mpz_t(), static_cast<mp_bitcnt_t>(shift));
    else
        mpz_mul_2exp(out.get_den_mpz_t(), out.get_den_mpz_t(), static_cast<mp_bitcnt_t>(-shift));
    out.canonicalize();
    return x < 0 ? mpq_class(-out) : out;
}

ModelSums SumSubjects(const DesignData& design, const WithinBasis& basis) {
    if (design.values.size() != design.Subjects() * basis.cells || design.group.size() != design.Subjects())
        throw RangeError();
    const GroupOrder order = OrderByGroup(design);
    ModelSums out;
    out.groups.resize(order.start.size() - 1);
    std::int64_t common = 1;
    std::vector<std::int64_t> multiplier;
    long double largest = 0;
    if (CommonUnits(design, common, multiplier, largest)) {
        const long double bound = largest * BasisGrowth(basis);
        const auto n = design.Subjects();
        const auto sumAll = [&](const auto& z) {
            for (std::size_t g = 0; g < out.groups.size(); ++g)
                SumGroup(basis, z, n, order.start[g], order.start[g + 1] - order.start[g], bound, common,
                         out.groups[g]);
        };
        if (bound < 2147483647.0L) {
            sumAll(IntegerCoordinates<std::int32_t>(design, basis, order, multiplier));
            out.scale = design.scale, out.exact = true;
            return out;
        }
        if (bound < 4.6e18L && bound * bound * static_cast<long double>(n) < 8.5e37L) {
            sumAll(IntegerCoordinates<std::int64_t>(design, basis, order, multiplier));
            out.scale = design.scale, out.exact = true;
            return out;
        }
    }
    SumGroupsExtended(design, basis, order, out);
    return out;
}

}  // namespace morvane::design
