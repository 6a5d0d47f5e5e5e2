#include "stats/Adjustments.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace morvane {
namespace {

// The indices of p, its smallest first (ties in their order, as R's order()).
std::vector<std::size_t> Ascending(std::span<const Extended> p) {
    std::vector<std::size_t> order(p.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return p[x] < p[y]; });
    return order;
}

// A step-down adjustment: from the smallest p, the running maximum of
// min(1, f(rank, p)), rank from 0.
template <class F>
std::vector<Extended> StepDown(std::span<const Extended> p, F f) {
    const std::vector<std::size_t> order = Ascending(p);
    std::vector<Extended> out(p.size());
    Extended running = 0;
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        running = std::max(running, std::min(Extended{1}, f(rank, p[order[rank]])));
        out[order[rank]] = running;
    }
    return out;
}

// A step-up adjustment: from the largest p, the running minimum of
// min(1, f(rank, p)), rank from 0 for the smallest.
template <class F>
std::vector<Extended> StepUp(std::span<const Extended> p, F f) {
    const std::vector<std::size_t> order = Ascending(p);
    std::vector<Extended> out(p.size());
    Extended running = 1;
    for (std::size_t rank = order.size(); rank-- > 0;) {
        running = std::min(running, f(rank, p[order[rank]]));
        out[order[rank]] = running;
    }
    return out;
}

// 1 - (1 - p)^n, without the cancellation of the difference for a small p.
Extended SidakOf(Extended p, Extended n) {
    return -std::expm1(n * std::log1p(-p));
}

// Hommel's adjustment as R's p.adjust forms it (of three or more p-values).
std::vector<Extended> Hommel(std::span<const Extended> p) {
    const std::vector<std::size_t> order = Ascending(p);
    const std::size_t n = p.size();
    std::vector<Extended> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = p[order[i]];
    Extended least = s[0] * static_cast<Extended>(n);
    for (std::size_t i = 1; i < n; ++i)
        least = std::min(least, static_cast<Extended>(n) * s[i] / static_cast<Extended>(i + 1));
    std::vector<Extended> q(n, least), pa(n, least);
    for (std::size_t j = n - 1; j >= 2; --j) {
        // The first n - j + 1 sorted p-values, then the rest, divided by 2..j.
        const auto factor = static_cast<Extended>(j);
        const std::size_t split = n - j + 1;
        Extended q1 = factor * s[split] / 2;
        for (std::size_t t = split + 1; t < n; ++t)
            q1 = std::min(q1, factor * s[t] / static_cast<Extended>(t - split + 2));
        for (std::size_t i = 0; i < split; ++i) q[i] = std::min(factor * s[i], q1);
        for (std::size_t i = split; i < n; ++i) q[i] = q[split - 1];
        for (std::size_t i = 0; i < n; ++i) pa[i] = std::max(pa[i], q[i]);
    }
    std::vector<Extended> out(n);
    for (std::size_t i = 0; i < n; ++i) out[order[i]] = std::max(pa[i], s[i]);
    return out;
}

// The sums of C(k_i, 2) over the partitions of n levels into groups, for
// n = 0..levels, as bit sets: S(0) = {0}, S(n) the union over j = 1..n of
// C(j, 2) + S(n - j). Gives S(levels).
std::vector<bool> PairCounts(std::size_t levels) {
    using Bits = std::vector<std::uint64_t>;
    const auto pairs = [](std::size_t j) { return j * (j - 1) / 2; };
    std::vector<Bits> sets(levels + 1);
    sets[0] = {1};
    for (std::size_t n = 1; n <= levels; ++n) {
        Bits& to = sets[n];
        to.assign(pairs(n) / 64 + 1, 0);
        for (std::size_t j = 1; j <= n; ++j) {
            const Bits& from = sets[n - j];
            const std::size_t words = pairs(j) / 64, bits = pairs(j) % 64;
            for (std::size_t w = 0; w < from.size(); ++w) {
                if (from[w] == 0) continue;
                to[w + words] |= from[w] << bits;
                if (bits != 0 && w + words + 1 < to.size()) to[w + words + 1] |= from[w] >> (64 - bits);
            }
        }
    }
    std::vector<bool> out(pairs(levels) + 1);
    for (std::size_t s = 0; s < out.size(); ++s) out[s] = (sets[levels][s / 64] >> (s % 64) & 1u) != 0;
    return out;
}

}  // namespace

std::vector<std::int64_t> ShafferMultipliers(std::size_t levels) {
    if (levels < 2 || levels > kShafferLevels) return {};
    const std::vector<bool> counts = PairCounts(levels);
    const std::size_t m = levels * (levels - 1) / 2;
    std::vector<std::int64_t> t(m);
    std::size_t s = m;
    for (std::size_t j = 1; j <= m; ++j) {
        while (s > m - j + 1 || !counts[s]) --s;  // counts[0] holds: the loop ends
        t[j - 1] = static_cast<std::int64_t>(s);
    }
    return t;
}

std::vector<Extended> Adjust(Adjustment a, std::span<const Extended> p, std::size_t levels) {
    if (a == Adjustment::Tukey) return std::vector<Extended>(p.size(), std::numeric_limits<Extended>::quiet_NaN());
    const auto m = static_cast<Extended>(p.size());
    if (p.size() <= 1) return {p.begin(), p.end()};
    const auto remaining = [m](std::size_t rank) { return m - static_cast<Extended>(rank); };
    switch (a) {
        case Adjustment::Holm:
            return StepDown(p, [&](std::size_t r, Extended v) { return remaining(r) * v; });
        case Adjustment::Bonferroni: {
            std::vector<Extended> out(p.size());
            for (std::size_t i = 0; i < p.size(); ++i) out[i] = std::min(Extended{1}, m * p[i]);
            return out;
        }
        case Adjustment::Sidak: {
            std::vector<Extended> out(p.size());
            for (std::size_t i = 0; i < p.size(); ++i) out[i] = SidakOf(p[i], m);
            return out;
        }
        case Adjustment::HolmSidak:
            return StepDown(p, [&](std::size_t r, Extended v) { return SidakOf(v, remaining(r)); });
        case Adjustment::Hochberg:
            return StepUp(p, [&](std::size_t r, Extended v) { return remaining(r) * v; });
        case Adjustment::Hommel:
            return p.size() == 2 ? Adjust(Adjustment::Hochberg, p) : Hommel(p);
        case Adjustment::BH:
            return StepUp(p, [&](std::size_t r, Extended v) { return m / static_cast<Extended>(r + 1) * v; });
        case Adjustment::BY: {
            Extended q = 0;
            for (std::size_t i = p.size(); i >= 1; --i) q += 1 / static_cast<Extended>(i);
            return StepUp(
                p, [&](std::size_t r, Extended v) { return q * m / static_cast<Extended>(r + 1) * v; });
        }
        case Adjustment::Tukey:
        case Adjustment::Shaffer:
            break;
    }
    const std::vector<std::int64_t> t = levels >= 2 && p.size() == levels * (levels - 1) / 2
                                            ? ShafferMultipliers(levels)
                                            : std::vector<std::int64_t>{};
    if (t.empty()) return Adjust(Adjustment::Holm, p);
    return StepDown(p, [&](std::size_t r, Extended v) { return static_cast<Extended>(t[r]) * v; });
}

std::vector<AdjustedP> AdjustFamily(const std::vector<std::optional<Extended>>& p, AdjustmentSet chosen,
                                    std::size_t levels) {
    std::vector<AdjustedP> out(p.size());
    std::vector<std::size_t> defined;
    std::vector<Extended> values;
    for (std::size_t i = 0; i < p.size(); ++i)
        if (p[i]) defined.push_back(i), values.push_back(*p[i]);
    // A pair undefined leaves the family short of every pair: Adjust gives it Holm's multipliers.
    for (const AdjustmentNames& n : kAdjustmentNames) {
        if (!chosen.Has(n.adjustment) || n.adjustment == Adjustment::Tukey) continue;
        const std::vector<Extended> adjusted = Adjust(n.adjustment, values, levels);
        for (std::size_t i = 0; i < defined.size(); ++i)
            AdjustedField(out[defined[i]], n.adjustment) = adjusted[i];
    }
    return out;
}

}  // namespace morvane
