// The simple interactions and simple-simple effects of a design of three or
// more factors: each two factors' interaction at each level of each third
// factor, then each factor at each level combination of each two others.
// Each is the engine's own test of that effect in the design of its slice:
// at a within factor's level the subjects' scores in the cells at it (the
// factor gone from the within factors), at a between factor's level the
// subjects of the groups at it (the factor gone from the between factors).
// So each has the slice's own error term, as the simple effects have: a
// within effect its interaction with the slice's subjects pooled within its
// groups, a between effect the slice's subjects within groups; its figures
// are those of the slice analysed alone.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "anova/detail/Analyse.h"
#include "anova/detail/Steps.h"
#include "runtime/Errors.h"
#include "runtime/Together.h"

namespace morvane::anova::detail {
namespace {

// The most slices analysed: beyond, none are (each is an analysis of its own).
constexpr std::size_t kMostSlices = 2000;

// The design of the subjects and cells at level `level` of factor `f` (over
// all factors, between first), that factor left out.
DesignData SliceOf(const DesignData& d, std::size_t f, std::size_t level) {
    DesignData out;
    const std::size_t between = d.between.size(), cells = d.Cells();
    out.between = d.between, out.within = d.within;
    out.exact = d.exact, out.scale = d.scale;
    // Which of the old cells each subject keeps, and the old groups kept with their new numbers.
    std::vector<std::size_t> kept;
    std::vector<std::int64_t> groupTo(d.Groups(), -1);
    if (f < between) {
        out.between.erase(out.between.begin() + static_cast<std::ptrdiff_t>(f));
        for (std::size_t g = 0; g < d.Groups(); ++g) {
            std::size_t rest = g, to = 0, scale = 1;
            bool in = true;
            for (std::size_t b = between; b-- > 0;) {
                const std::size_t k = d.between[b].levels.size(), l = rest % k;
                rest /= k;
                if (b == f) {
                    in = l == level;
                    continue;
                }
                to += l * scale, scale *= k;
            }
            if (in) groupTo[g] = static_cast<std::int64_t>(to);
        }
        for (std::size_t c = 0; c < cells; ++c) kept.push_back(c);
    } else {
        const std::size_t w = f - between;
        out.within.erase(out.within.begin() + static_cast<std::ptrdiff_t>(w));
        std::size_t stride = 1;
        for (std::size_t v = d.within.size(); v-- > w + 1;) stride *= d.within[v].levels.size();
        for (std::size_t c = 0; c < cells; ++c)
            if (c / stride % d.within[w].levels.size() == level) kept.push_back(c);
        for (std::size_t g = 0; g < d.Groups(); ++g) groupTo[g] = static_cast<std::int64_t>(g);
    }
    for (std::size_t s = 0; s < d.Subjects(); ++s) {
        const std::int64_t to = groupTo[static_cast<std::size_t>(d.group[s])];
        if (to < 0) continue;
        out.subjects.push_back(d.subjects[s]), out.group.push_back(static_cast<std::int32_t>(to));
        for (const std::size_t c : kept) {
            const std::size_t i = s * cells + c;
            if (!d.values.empty()) out.values.push_back(d.values[i]);
            if (!d.units.empty()) out.units.push_back(d.units[i]);
            if (!d.rows.empty()) out.rows.push_back(d.rows[i]);
            if (!d.wideUnits.empty()) out.wideUnits.push_back(d.wideUnits[i]);
        }
    }
    out.subjectsRead = static_cast<std::int64_t>(out.Subjects());
    return out;
}

// One slice to analyse: the effect's factors and the levels it is at.
struct Wanted {
    std::vector<std::size_t> factors;
    Place at;
};

// The slices, simple interactions first: factors a < b at each level of c,
// then factor a at each level pair of b < c (c's levels fastest).
std::vector<Wanted> SlicesOf(const DesignData& d) {
    std::vector<std::size_t> levels;
    for (const DesignFactor& f : d.between) levels.push_back(f.levels.size());
    for (const DesignFactor& f : d.within) levels.push_back(f.levels.size());
    const std::size_t n = levels.size();
    std::vector<Wanted> out;
    if (n < 3) return out;
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = a + 1; b < n; ++b)
            for (std::size_t c = 0; c < n; ++c) {
                if (c == a || c == b) continue;
                for (std::size_t l = 0; l < levels[c]; ++l) {
                    Wanted w{{a, b}, Place(n, kOver)};
                    w.at[c] = static_cast<std::int32_t>(l);
                    out.push_back(std::move(w));
                }
            }
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = 0; b < n; ++b)
            for (std::size_t c = b + 1; c < n; ++c) {
                if (b == a || c == a) continue;
                for (std::size_t lb = 0; lb < levels[b]; ++lb)
                    for (std::size_t lc = 0; lc < levels[c]; ++lc) {
                        Wanted w{{a}, Place(n, kOver)};
                        w.at[b] = static_cast<std::int32_t>(lb), w.at[c] = static_cast<std::int32_t>(lc);
                        out.push_back(std::move(w));
                    }
            }
    return out;
}

// The analysis of one slice, its effect's test into `row`; `row.df1` stays 0
// where the slice cannot be analysed (a group without subjects in it).
void AnalyseSlice(const DesignData& d, const Options& options, const Wanted& w, SimpleInteraction& row) {
    std::vector<std::string> names;
    for (const DesignFactor& f : d.between) names.push_back(f.name);
    for (const DesignFactor& f : d.within) names.push_back(f.name);
    row.factors = w.factors, row.at = w.at;
    for (const std::size_t f : w.factors) row.effect += (row.effect.empty() ? "" : " × ") + names[f];
    // The factors at a level left out from the last, so the others keep their numbers.
    DesignData slice = d;
    for (std::size_t f = w.at.size(); f-- > 0;)
        if (w.at[f] != kOver) slice = SliceOf(slice, f, static_cast<std::size_t>(w.at[f]));
    Analysis a;
    try {
        a = Analyse(slice, options);
    } catch (const RangeError&) {
        return;
    }
    for (const Effect& e : a.effects) {
        if (e.name != row.effect) continue;
        row.error = e.stratum < a.strata.size() ? a.strata[e.stratum].name : std::string();
        row.ss = e.effect.ss, row.errorSs = e.error.ss;
        row.df1 = e.effect.df, row.df2 = e.error.df;
        row.f = e.f, row.p = e.p, row.partialEtaSquared = e.partialEtaSquared;
        row.partialEtaSquaredCI = e.partialEtaSquaredCI;
    }
}

}  // namespace

void AddSimpleInteractions(const Inputs& in, Analysis& out) {
    const std::vector<Wanted> wanted = SlicesOf(in.design);
    if (wanted.empty() || wanted.size() > kMostSlices || in.design.Subjects() == 0) return;
    // Each slice's model alone: its means-only analysis, asked for nothing beside.
    Options options;
    options.type = in.options.type;
    options.observed = in.options.observed;
    options.effectSizeLevel = in.options.effectSizeLevel;
    options.quantilePoints = false;
    options.meansOnly = true;
    std::vector<SimpleInteraction> rows(wanted.size());
    std::vector<std::function<void()>> tasks;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        tasks.emplace_back([&, i] { AnalyseSlice(in.design, options, wanted[i], rows[i]); });
    RunTogether(tasks);
    for (SimpleInteraction& r : rows)
        if (r.df1 > 0) out.simpleInteractions.push_back(std::move(r));
}

}  // namespace morvane::anova::detail
