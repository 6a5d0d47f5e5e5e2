#pragma once
// Private to the engine: SumGroups of Scores.h, a template over the values a
// step forms from each subject's row.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "anova/detail/Scores.h"

namespace morvane::anova::detail {

mpz_class BigOf(Int128 value);

// Whether values of magnitude up to growth x the largest offset, and sums of
// their products over n subjects, stay within 64 and 128 bits.
inline bool QuickFits(const Scores& scores, long double growth) {
    if (!scores.Quick()) return false;
    const long double v = growth * static_cast<long double>(std::max<std::int64_t>(scores.bound, 1));
    const auto n = static_cast<long double>(std::max<std::size_t>(scores.subjects, 1));
    return v < 0x1p62L && n * v * v < 0x1p125L;
}

template <class Fill>
std::vector<CrossMoments> SumGroups(const Scores& scores, std::size_t k, bool crossed, long double growth,
                                    Fill&& fill) {
    const std::size_t groups = scores.order.Groups(), cells = scores.cells;
    std::vector<CrossMoments> out(groups);
    const std::size_t products = crossed ? k * k : k;
    const bool quick = QuickFits(scores, growth);
    std::vector<std::int64_t> quickRow(quick ? cells : 0), quickValues(quick ? k : 0);
    std::vector<mpz_class> sureRow(quick ? 0 : cells), sureValues(quick ? 0 : k);
    for (std::size_t g = 0; g < groups; ++g) {
        CrossMoments& m = out[g];
        m.k = k, m.crossed = crossed;
        m.n = static_cast<std::int64_t>(scores.order.Size(g));
        m.sum.assign(k, 0), m.centred.assign(products, 0);
        const std::size_t first = scores.order.start[g], last = scores.order.start[g + 1];
        if (quick) {
            std::vector<Int128> sum(k, 0), cross(products, 0);
            for (std::size_t r = first; r < last; ++r) {
                const std::int32_t* row = &scores.small[r * cells];
                for (std::size_t c = 0; c < cells; ++c) quickRow[c] = row[c];
                fill(static_cast<const std::int64_t*>(quickRow.data()), quickValues.data());
                for (std::size_t i = 0; i < k; ++i) {
                    const Int128 vi = quickValues[i];
                    sum[i] += vi;
                    if (!crossed) {
                        cross[i] += vi * vi;
                        continue;
                    }
                    for (std::size_t j = i; j < k; ++j) cross[i * k + j] += vi * quickValues[j];
                }
            }
            const mpz_class n = m.n;
            for (std::size_t i = 0; i < k; ++i) m.sum[i] = BigOf(sum[i]);
            for (std::size_t i = 0; i < k; ++i)
                for (std::size_t j = crossed ? i : 0; j < (crossed ? k : 1); ++j) {
                    const std::size_t at = crossed ? i * k + j : i;
                    m.centred[at] = n * BigOf(cross[at]) - m.sum[i] * m.sum[crossed ? j : i];
                    if (crossed) m.centred[j * k + i] = m.centred[at];
                }
            continue;
        }
        std::vector<mpz_class> cross(products, 0);
        for (std::size_t r = first; r < last; ++r) {
            if (scores.Quick())
                for (std::size_t c = 0; c < cells; ++c) sureRow[c] = scores.small[r * cells + c];
            else
                std::copy_n(&scores.wide[r * cells], cells, sureRow.begin());
            fill(static_cast<const mpz_class*>(sureRow.data()), sureValues.data());
            for (std::size_t i = 0; i < k; ++i) {
                m.sum[i] += sureValues[i];
                if (!crossed) {
                    cross[i] += sureValues[i] * sureValues[i];
                    continue;
                }
                for (std::size_t j = i; j < k; ++j) cross[i * k + j] += sureValues[i] * sureValues[j];
            }
        }
        const mpz_class n = m.n;
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = crossed ? i : 0; j < (crossed ? k : 1); ++j) {
                const std::size_t at = crossed ? i * k + j : i;
                m.centred[at] = n * cross[at] - m.sum[i] * m.sum[crossed ? j : i];
                if (crossed) m.centred[j * k + i] = m.centred[at];
            }
    }
    return out;
}

}  // namespace morvane::anova::detail
