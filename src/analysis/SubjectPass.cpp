#include "analysis/detail/SubjectPass.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "exact/ExactFraction.h"
#include "stats/Contrasts.h"

namespace morvane::analysis {
namespace {

struct ExtendedPass;
struct IntegerPass;
bool IntegerPassFits(const ExactPartition& part, const Layout& layout);
template <typename Pass, typename Cell>
PassMoments Summarise(const Layout& layout, const Cell* offsets, int scale);
std::vector<Int128> CellReferences(const ExactPartition& part, std::size_t cells);
void SetReferences(PassMoments& s, const Layout& layout, const std::vector<Int128>& references,
                   Int128 common);

// How many contrasts the interaction's sphericity is computed for at most.
constexpr std::size_t kMaxContrasts = 1024;
constexpr Extended kMaxContrastWork = 4e9L;  // subjects x contrasts^2
// The most elements the simple effects' covariances hold together.
constexpr Extended kMaxSimpleCovariance = Extended{1 << 22};

}  // namespace

Layout::Layout(std::size_t subjects, std::size_t levelsA, std::size_t levelsB, bool meansOnly)
    : n(subjects),
      na(levelsA),
      nb(levelsB),
      compared(meansOnly ? ComparedFamilies{false, false, false, false}
                         : FamiliesCompared(static_cast<std::int64_t>(levelsA),
                                            static_cast<std::int64_t>(levelsB))),
      differences((compared.marginalA ? pairsA : 0) + (compared.marginalB ? pairsB : 0) +
                  (compared.aAtB ? nb * pairsA : 0) + (compared.bAtA ? na * pairsB : 0)),
      interactionSphericity(!meansOnly && interactionContrasts > 1 && interactionContrasts <= kMaxContrasts &&
                            static_cast<Extended>(n) * static_cast<Extended>(interactionContrasts) *
                                    static_cast<Extended>(interactionContrasts) <=
                                kMaxContrastWork) {
    const auto NA = static_cast<Extended>(na), NB = static_cast<Extended>(nb);
    const Extended elements = NB * (NA - 1) * (NA - 1) + NA * (NB - 1) * (NB - 1);
    simpleCovariances = !meansOnly && elements <= kMaxSimpleCovariance &&
                        static_cast<Extended>(n) * elements <= kMaxContrastWork;
}

PassMoments SummariseSubjects(const ExactPartition& part, const Layout& layout) {
    // Where the offsets are known as integers, so are the means' sums and the
    // contrasts (of the integer Helmert rows), and every sum is exact.
    if (IntegerPassFits(part, layout)) {
        PassMoments s = Summarise<IntegerPass>(layout, part.integerOffsets.data(), part.offsetScale);
        SetReferences(s, layout, CellReferences(part, layout.cells), part.referenceUnits);
        return s;
    }
    if (!part.offsets.empty()) return Summarise<ExtendedPass>(layout, part.offsets.data(), 0);
    const std::vector<Extended> converted = part.ExtendedOffsets();
    return Summarise<ExtendedPass>(layout, converted.data(), 0);
}

namespace {

// The Helmert contrasts of `levels` levels: `rows` the orthonormal ones, of
// the extended pass; the integer pass applies the integer rows.
struct Helmert {
    std::size_t levels;
    std::vector<Extended> rows;  // levels - 1 rows of `levels`, row-major

    explicit Helmert(std::size_t l) : levels(l), rows(OrthonormalHelmertRows(l)) {}
};

// Applied by the extended pass to a subject's means: z[j * zStride] := (C v)_j
// for the orthonormal rows C and values v[l * stride]. Four rows at a time,
// each summed in the order of the levels; row j is zero after level j + 1, and
// its sum stops there: adding a zero product leaves a sum as it is, since a sum
// that starts at +0 is never -0.
void OrthonormalContrast(const Helmert& h, const Extended* v, std::size_t stride, Extended* z,
                         std::size_t zStride) {
    const std::size_t levels = h.levels, k = levels - 1;
    const std::vector<Extended>& c = h.rows;
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

// The ways of each pass to form a subject's values from its cells: a mean
// from a sum, a value less the subject's mean, the contrasts of a row.
struct ExtendedPass : ExtendedArithmetic {
    using Cell = Extended;  // a score's offset

    static Value MeanOf(Value sum, std::size_t count) { return sum / static_cast<Extended>(count); }
    // `weight` is the integer pass's.
    static Value LessSubjectMean(Value v, std::int64_t /*weight*/, Value subjectMean) {
        return v - subjectMean;
    }
    static void Contrast(const Helmert& h, const Extended* v, std::size_t stride, Value* z,
                         std::size_t zStride) {
        OrthonormalContrast(h, v, stride, z, zStride);
    }
};

// A mean stays a sum over its cells; a value less the subject's mean is taken
// times the number of cells the subject's sum is over, `weight` times the
// value's own.
struct IntegerPass : IntegerArithmetic {
    using Cell = std::int32_t;  // a score's offset in units of 10^offsetScale

    static Value MeanOf(Value sum, std::size_t /*count*/) { return sum; }
    static Value LessSubjectMean(Value v, std::int64_t weight, Value subjectSum) {
        return weight * v - subjectSum;
    }
    template <typename In>
    static void Contrast(const Helmert& h, const In* v, std::size_t stride, Value* z, std::size_t zStride) {
        ApplyIntegerHelmert(h.levels, v, stride, z, zStride);
    }
};

// After the pass, for the integer covariances: the lengths of the integer
// Helmert rows of `levels` levels, times `factor`.
std::vector<Extended> HelmertNorms(std::size_t levels, Extended factor) {
    std::vector<Extended> norm;
    for (std::size_t j = 0; j + 1 < levels; ++j) norm.push_back(factor * HelmertRowLength(j));
    return norm;
}

// Decides the pass: whether the offsets are integers and their largest
// values (a contrast of sums: the largest integer Helmert row times the other
// factor's levels; an interaction contrast; a cell less the subject's mean)
// keep every sum of the integer pass within its integers.
bool IntegerPassFits(const ExactPartition& part, const Layout& layout) {
    if (part.integerOffsets.size() != layout.n * layout.cells) return false;
    const auto na = static_cast<Extended>(layout.na), nb = static_cast<Extended>(layout.nb);
    const Extended helmertA = 2 * (na - 1), helmertB = 2 * (nb - 1);
    const Extended bound = static_cast<Extended>(part.offsetBound) *
                           std::max({helmertA * helmertB, helmertA * nb, helmertB * na, 2 * na * nb});
    const Extended b2 = bound * bound, N = static_cast<Extended>(layout.n);
    return b2 * kBlock < 0x1p62L && N * N * b2 < 0x1p124L;
}

// The moments of every mean, difference and set of contrasts in the
// arithmetic of Pass, summed a block of subjects at a time: the block's values
// laid out once, then added to each.
template <typename Pass>
class SubjectMoments {
public:
    using Value = typename Pass::Value;
    using Cell = typename Pass::Cell;

    explicit SubjectMoments(const Layout& layout);
    void AddBlock(const Cell* cells, std::size_t first, std::size_t count);
    PassMoments Finished(int scale) const;

private:
    void LayOut(const Cell* cells, std::size_t count);
    void AddMeans(const Cell* cells, std::size_t first, std::size_t count);
    void AddDifferences(const Cell* cells, std::size_t first, std::size_t count);
    void AddContrasts(const Cell* cells, std::size_t first, std::size_t count);

    const Layout& shape_;
    const std::size_t leftSize_;  // of each subject's contrasts of A at each level of B
    const Helmert helmertA_, helmertB_;
    // The block's subjects' means (or sums) over B for each level of A [t][a],
    // over A for each level of B [t][b] and over all [t]; and their contrasts
    // of A at each level of B [t][i][b]: the simple effects of A take them as
    // they are, the interaction's contrasts apply those of B to them.
    std::vector<Value> overB_, overA_, overAll_, left_;
    std::vector<Moments<Pass>> cellRaw_, cellNormal_, aRaw_, aNormal_, bRaw_, bNormal_, differences_;
    Covariance<Pass> a_, b_, ab_;
    std::vector<Covariance<Pass>> aAtB_, bAtA_;
    // The integer pass's differences: a family's values biased, and their sums.
    std::vector<std::uint32_t> biased_;
    std::vector<std::uint64_t> sums_, cross_;
};

// Runs the pass: the scores' offsets [s][a][b] from 0, b fastest, in units of
// 10^scale (integer offsets).
template <typename Pass, typename Cell>
PassMoments Summarise(const Layout& layout, const Cell* offsets, int scale) {
    static_assert(std::is_same_v<Cell, typename Pass::Cell>);
    SubjectMoments<Pass> moments(layout);
    for (std::size_t first = 0; first < layout.n; first += kBlock)
        moments.AddBlock(offsets + first * layout.cells, first, std::min(kBlock, layout.n - first));
    return moments.Finished(scale);
}

// Once, before the first block: every moment and covariance at zero.
template <typename Pass>
SubjectMoments<Pass>::SubjectMoments(const Layout& layout)
    : shape_(layout),
      leftSize_((layout.na - 1) * layout.nb),
      helmertA_(layout.na),
      helmertB_(layout.nb),
      overB_(kBlock * layout.na),
      overA_(kBlock * layout.nb),
      overAll_(kBlock),
      left_(kBlock * leftSize_),
      cellRaw_(layout.cells),
      cellNormal_(layout.cells),
      aRaw_(layout.na),
      aNormal_(layout.na),
      bRaw_(layout.nb),
      bNormal_(layout.nb),
      differences_(layout.differences),
      a_(layout.na - 1),
      b_(layout.nb - 1),
      ab_(layout.interactionSphericity ? layout.interactionContrasts : 0),
      aAtB_(layout.simpleCovariances ? layout.nb : 0, Covariance<Pass>(layout.na - 1)),
      bAtA_(layout.simpleCovariances ? layout.na : 0, Covariance<Pass>(layout.nb - 1)) {}

// Once per block of subjects, `cells` the block's first subject's.
template <typename Pass>
void SubjectMoments<Pass>::AddBlock(const Cell* cells, std::size_t first, std::size_t count) {
    LayOut(cells, count);
    AddMeans(cells, first, count);
    AddDifferences(cells, first, count);
    AddContrasts(cells, first, count);
}

// First for each block: its subjects' means over each factor and over all,
// and the contrasts of A at each level of B.
template <typename Pass>
void SubjectMoments<Pass>::LayOut(const Cell* cells, std::size_t count) {
    const std::size_t na = shape_.na, nb = shape_.nb, cellCount = shape_.cells, leftSize = leftSize_;
    for (std::size_t t = 0; t < count; ++t) {
        const Cell* xs = cells + t * cellCount;
        Value* columns = &overA_[t * nb];
        std::fill(columns, columns + nb, Value{0});
        Value all = 0;
        for (std::size_t a = 0; a < na; ++a) {
            Value sum = 0;
            for (std::size_t b = 0; b < nb; ++b) {
                sum += xs[a * nb + b];
                columns[b] += xs[a * nb + b];
            }
            all += sum;
            overB_[t * na + a] = Pass::MeanOf(sum, nb);
        }
        for (std::size_t b = 0; b < nb; ++b) columns[b] = Pass::MeanOf(columns[b], na);
        overAll_[t] = Pass::MeanOf(all, cellCount);
        for (std::size_t b = 0; leftSize > 0 && b < nb; ++b)
            Pass::Contrast(helmertA_, xs + b, nb, &left_[t * leftSize + b], nb);
    }
}

// For each block after LayOut: the moments of the cells' and the marginal
// means, raw and less the subject's mean.
template <typename Pass>
void SubjectMoments<Pass>::AddMeans(const Cell* cells, std::size_t first, std::size_t count) {
    const std::size_t na = shape_.na, nb = shape_.nb, cellCount = shape_.cells;
    const auto C = static_cast<std::int64_t>(cellCount), NA = static_cast<std::int64_t>(na),
               NB = static_cast<std::int64_t>(nb);
    for (std::size_t c = 0; c < cellCount; ++c) {
        const auto cell = [&](std::size_t t) -> Value { return cells[t * cellCount + c]; };
        cellRaw_[c].AddBlockWith(cellNormal_[c], first, count, cell, [&](std::size_t t) {
            return Pass::LessSubjectMean(cell(t), C, overAll_[t]);
        });
    }
    for (std::size_t a = 0; a < na; ++a) {
        aRaw_[a].AddBlock(first, count, [&](std::size_t t) { return overB_[t * na + a]; });
        aNormal_[a].AddBlock(first, count, [&](std::size_t t) {
            return Pass::LessSubjectMean(overB_[t * na + a], NA, overAll_[t]);
        });
    }
    for (std::size_t b = 0; b < nb; ++b) {
        bRaw_[b].AddBlock(first, count, [&](std::size_t t) { return overA_[t * nb + b]; });
        bNormal_[b].AddBlock(first, count, [&](std::size_t t) {
            return Pass::LessSubjectMean(overA_[t * nb + b], NB, overAll_[t]);
        });
    }
}

// For each block after LayOut: the moments of the paired differences, family
// by family, two pairs at a time.
template <typename Pass>
void SubjectMoments<Pass>::AddDifferences(const Cell* cells, std::size_t first, std::size_t count) {
    const std::size_t na = shape_.na, nb = shape_.nb, cellCount = shape_.cells;
    Moments<Pass>* d = differences_.data();
    // value(t, l): level l of one family's factor for the block's subject t.
    // In integers, from the family's cross products (which the processor
    // takes several at a time): the sum of (x - y)^2 is that of x^2 + y^2 - 2 x y.
    // The values lie within 2^31 and those sums within 2^63 (IntegerPassFits),
    // exact from the biased sums modulo 2^64, as in Covariance.
    const auto integerPairs = [&](std::size_t levels, auto&& value) {
        biased_.resize(levels * kBlock);
        sums_.resize(levels);
        cross_.resize(levels * levels);
        for (std::size_t t = 0; t < count; ++t)
            for (std::size_t l = 0; l < levels; ++l) biased_[l * kBlock + t] = Biased(value(t, l));
        BlockCrossProducts(biased_.data(), kBlock, levels, count, sums_.data(), cross_.data());
        const auto product = [&](std::size_t i, std::size_t j) {  // i <= j; modulo 2^64
            return static_cast<std::uint64_t>(
                UnbiasedProduct(cross_[i * levels + j], sums_[i], sums_[j], count));
        };
        for (std::size_t i = 0; i < levels; ++i)
            for (std::size_t j = i + 1; j < levels; ++j, ++d)
                d->AddSums(static_cast<std::int64_t>(sums_[i] - sums_[j]),
                           static_cast<std::int64_t>(product(i, i) + product(j, j) - 2 * product(i, j)));
    };
    const auto pairs = [&](std::size_t levels, auto&& value) {
        if constexpr (std::is_same_v<Pass, IntegerPass>) {
            integerPairs(levels, value);
        } else {
            for (std::size_t i = 0; i < levels; ++i) {
                std::size_t j = i + 1;
                for (; j + 1 < levels; j += 2, d += 2)
                    d[0].AddBlockWith(
                        d[1], first, count, [&](std::size_t t) -> Value { return value(t, i) - value(t, j); },
                        [&](std::size_t t) -> Value { return value(t, i) - value(t, j + 1); });
                if (j < levels)
                    (d++)->AddBlock(first, count,
                                    [&](std::size_t t) -> Value { return value(t, i) - value(t, j); });
            }
        }
    };
    const auto cell = [&](std::size_t t, std::size_t c) -> Value { return cells[t * cellCount + c]; };
    const ComparedFamilies& families = shape_.compared;
    if (families.marginalA) pairs(na, [&](std::size_t t, std::size_t a) { return overB_[t * na + a]; });
    if (families.marginalB) pairs(nb, [&](std::size_t t, std::size_t b) { return overA_[t * nb + b]; });
    for (std::size_t b = 0; families.aAtB && b < nb; ++b)
        pairs(na, [&](std::size_t t, std::size_t a) { return cell(t, a * nb + b); });
    for (std::size_t a = 0; families.bAtA && a < na; ++a)
        pairs(nb, [&](std::size_t t, std::size_t b) { return cell(t, a * nb + b); });
}

// For each block after LayOut: the covariances of the contrasts of the
// marginal means, of A at each level of B, of B at each level of A and of the
// interaction (C_A Y_s C_B^T for the subject's cells Y_s).
template <typename Pass>
void SubjectMoments<Pass>::AddContrasts(const Cell* cells, std::size_t first, std::size_t count) {
    const std::size_t na = shape_.na, nb = shape_.nb, cellCount = shape_.cells, leftSize = leftSize_;
    a_.AddBlock(first, count,
                [&](std::size_t t, Value* z) { Pass::Contrast(helmertA_, &overB_[t * na], 1, z, 1); });
    b_.AddBlock(first, count,
                [&](std::size_t t, Value* z) { Pass::Contrast(helmertB_, &overA_[t * nb], 1, z, 1); });
    // The simple effects' covariances, where the layout has them.
    for (std::size_t b = 0; b < aAtB_.size(); ++b)
        aAtB_[b].AddBlock(first, count, [&](std::size_t t, Value* z) {
            for (std::size_t i = 0; i + 1 < na; ++i) z[i] = left_[t * leftSize + i * nb + b];
        });
    for (std::size_t a = 0; a < bAtA_.size(); ++a)
        bAtA_[a].AddBlock(first, count, [&](std::size_t t, Value* z) {
            Pass::Contrast(helmertB_, cells + t * cellCount + a * nb, 1, z, 1);
        });
    if (shape_.interactionSphericity)
        ab_.AddBlock(first, count, [&](std::size_t t, Value* z) {
            for (std::size_t i = 0; i + 1 < na; ++i)
                Pass::Contrast(helmertB_, &left_[t * leftSize + i * nb], 1, z + i * (nb - 1), 1);
        });
}

// After the last block: each moment divided back by what the pass's values
// are multiples of (the integer pass's sums over levels and contrasts' lengths).
template <typename Pass>
PassMoments SubjectMoments<Pass>::Finished(int scale) const {
    const std::size_t n = shape_.n, na = shape_.na, nb = shape_.nb;
    const DecimalUnit unit(scale);
    const auto C = static_cast<Extended>(shape_.cells), NA = static_cast<Extended>(na),
               NB = static_cast<Extended>(nb);
    PassMoments s;
    const auto finish = [&](const std::vector<Moments<Pass>>& from, std::vector<Moment>& to, auto&& divisor) {
        for (std::size_t i = 0; i < from.size(); ++i) to.push_back(from[i].Finished(n, divisor(i), unit));
    };
    finish(cellRaw_, s.cellRaw, [](std::size_t) { return Extended{1}; });
    finish(cellNormal_, s.cellNormal, [&](std::size_t) { return C; });
    finish(aRaw_, s.aRaw, [&](std::size_t) { return NB; });
    finish(aNormal_, s.aNormal, [&](std::size_t) { return C; });
    finish(bRaw_, s.bRaw, [&](std::size_t) { return NA; });
    finish(bNormal_, s.bNormal, [&](std::size_t) { return C; });
    // The marginal families' differences are of means over the other factor's levels.
    const std::size_t overB = shape_.compared.marginalA ? shape_.pairsA : 0,
                      overA = overB + (shape_.compared.marginalB ? shape_.pairsB : 0);
    finish(differences_, s.differences, [&](std::size_t i) {
        return i < overB ? NB : i < overA ? NA : Extended{1};
    });
    if (n < 2) return s;
    const std::vector<Extended> normA = HelmertNorms(na, 1), normB = HelmertNorms(nb, 1);
    std::vector<Extended> normAB;
    for (Extended u : normA)
        for (Extended v : normB) normAB.push_back(u * v);
    s.a = a_.Finished(n, HelmertNorms(na, NB), unit);
    s.b = b_.Finished(n, HelmertNorms(nb, NA), unit);
    s.ab = ab_.Finished(n, normAB, unit);
    for (const Covariance<Pass>& c : aAtB_) s.aAtB.push_back(c.Finished(n, normA, unit));
    for (const Covariance<Pass>& c : bAtA_) s.bAtA.push_back(c.Finished(n, normB, unit));
    if constexpr (std::is_same_v<Pass, IntegerPass>) {
        s.exact = true;
        s.scale = scale;
        for (const Covariance<Pass>& c : aAtB_) s.aAtBCentred.push_back(c.CentredDiagonal(n));
        for (const Covariance<Pass>& c : bAtA_) s.bAtACentred.push_back(c.CentredDiagonal(n));
    }
    return s;
}

// The reference of each cell's integer offsets, in their units: the cells'
// own, or the one reference of all.
std::vector<Int128> CellReferences(const ExactPartition& part, std::size_t cells) {
    if (part.cellReferenceUnits.size() == cells) return part.cellReferenceUnits;
    return std::vector<Int128>(cells, part.referenceUnits);
}

// After the integer pass: each raw moment's and difference's reference total,
// the sum of the references of the cells its values sum (a difference's: the
// first level's less the second's). Where the cells have references of their
// own, each mean is then made an offset from the `common` one again, exactly,
// as every reader of the moments' means takes them.
void SetReferences(PassMoments& s, const Layout& layout, const std::vector<Int128>& references,
                   Int128 common) {
    const std::size_t na = layout.na, nb = layout.nb;
    s.exact = s.exact && s.cellRaw.size() == layout.cells;
    if (!s.exact) return;
    std::vector<Int128> overB(na, 0), overA(nb, 0);
    for (std::size_t a = 0; a < na; ++a)
        for (std::size_t b = 0; b < nb; ++b)
            overB[a] += references[a * nb + b], overA[b] += references[a * nb + b];
    const bool own = std::any_of(references.begin(), references.end(), [&](Int128 r) { return r != common; });
    const std::size_t n = layout.n;
    const auto set = [&](Moment& m, Int128 total, bool difference = false) {
        if (!m.exact) return;
        m.exact->referenceTotal = total;
        if (!own) return;
        // (n (R - divisor common) + S) / (n divisor): a difference's divisor is
        // its levels', and its common references cancel (R holds none of them).
        const Int128 shift = total - (difference ? 0 : m.exact->divisor * common);
        m.mean =
            ((ExactFraction(static_cast<Int128>(n)) * ExactFraction(shift) + ExactFraction(m.exact->sum)) /
             ExactFraction(static_cast<Int128>(n) * m.exact->divisor))
                .Rounded(s.scale);
    };
    for (std::size_t c = 0; c < layout.cells; ++c) set(s.cellRaw[c], references[c]);
    for (std::size_t a = 0; a < na; ++a) set(s.aRaw[a], overB[a]);
    for (std::size_t b = 0; b < nb; ++b) set(s.bRaw[b], overA[b]);
    // The families in the pass's order: marginal A, marginal B, A at each b, B at each a.
    Moment* d = s.differences.data();
    const auto pairs = [&](std::size_t levels, auto&& reference) {
        for (std::size_t i = 0; i < levels; ++i)
            for (std::size_t j = i + 1; j < levels; ++j) set(*d++, reference(i) - reference(j), true);
    };
    const ComparedFamilies& families = layout.compared;
    if (families.marginalA) pairs(na, [&](std::size_t a) { return overB[a]; });
    if (families.marginalB) pairs(nb, [&](std::size_t b) { return overA[b]; });
    for (std::size_t b = 0; families.aAtB && b < nb; ++b)
        pairs(na, [&](std::size_t a) { return references[a * nb + b]; });
    for (std::size_t a = 0; families.bAtA && a < na; ++a)
        pairs(nb, [&](std::size_t b) { return references[a * nb + b]; });
}

}  // namespace
}  // namespace morvane::analysis
