#include "plot/DesignPlot.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <deque>
#include <limits>
#include <vector>

namespace morvane::plot {
namespace {

QString FactorTitle(const DesignFactor& factor, bool english) {
    return (english ? QStringLiteral("Factor ") : QStringLiteral(u"要因 ")) +
           QString::fromStdString(factor.name);
}

// The bar of a cell: the means table's interval, or the mean plus and less its SE.
std::optional<Interval> BarOf(const anova::Mean& m, ErrorBars bars) {
    switch (bars) {
        case ErrorBars::Ci95:
            return m.ci95;
        case ErrorBars::Se:
            if (!m.se) return std::nullopt;
            return Interval{m.mean - *m.se, m.mean + *m.se};
        case ErrorBars::WithinCi95:
            break;
    }
    return m.withinCi95;
}

// Where the factors go, by index over all factors (between first); `line`
// the number of factors where no factor gives the lines.
struct Placement {
    std::size_t axis = 0, line = 0;
    std::vector<std::size_t> panels;
};

// The last factor along the axis; the lines: the factor before it among the
// within factors, or among the between factors of a design without within
// ones, else the first between factor; no line factor: the one past the last.
// The rest make the panels, in order.
Placement DefaultPlacement(const anova::Analysis& analysis) {
    const std::size_t factors = analysis.Factors();
    Placement p;
    p.axis = factors - 1;
    const bool lineBefore = analysis.within.size() >= 2 || (analysis.within.empty() && factors >= 2);
    p.line = lineBefore ? p.axis - 1 : !analysis.within.empty() && !analysis.between.empty() ? 0 : factors;
    for (std::size_t f = 0; f < factors; ++f)
        if (f != p.axis && f != p.line) p.panels.push_back(f);
    return p;
}

std::optional<std::size_t> FactorNamed(const anova::Analysis& analysis, const std::string& name) {
    for (std::size_t f = 0; f < analysis.Factors(); ++f)
        if (analysis.FactorAt(f).name == name) return f;
    return std::nullopt;
}

// The placement an arrangement that fits gives: the factors it names where
// it names them, the others filling the axis, then the lines, in the default
// order, and the panels after those named.
Placement PlacementOf(const anova::Analysis& analysis, const PlotArrangement& arrangement) {
    const Placement usual = DefaultPlacement(analysis);
    if (arrangement.Default() || !ArrangementRefused(analysis, arrangement).empty()) return usual;
    const std::size_t factors = analysis.Factors();
    std::vector<bool> named(factors, false);
    Placement p;
    for (const std::string& name : arrangement.panels) {
        p.panels.push_back(*FactorNamed(analysis, name));
        named[p.panels.back()] = true;
    }
    const bool noLines = arrangement.lines == "none";
    const auto axis = arrangement.axis ? FactorNamed(analysis, *arrangement.axis) : std::nullopt;
    const auto line =
        arrangement.lines && !noLines ? FactorNamed(analysis, *arrangement.lines) : std::nullopt;
    for (const auto& f : {axis, line})
        if (f) named[*f] = true;
    std::deque<std::size_t> free;
    for (const std::size_t f : {usual.axis, usual.line})
        if (f < factors && !named[f]) free.push_back(f);
    for (const std::size_t f : usual.panels)
        if (!named[f]) free.push_back(f);
    const auto take = [&free, factors] {
        if (free.empty()) return factors;
        const std::size_t f = free.front();
        free.pop_front();
        return f;
    };
    p.axis = axis ? *axis : take();
    p.line = line ? *line : noLines ? factors : take();
    p.panels.insert(p.panels.end(), free.begin(), free.end());
    return p;
}

// The axis' and the lines' levels and titles, and the panels' titles, the
// last panel factor's levels changing fastest.
void Describe(const anova::Analysis& analysis, const Placement& place, InteractionPlotData& d) {
    d.axisTitle = FactorTitle(analysis.FactorAt(place.axis), d.english);
    for (const std::string& level : analysis.FactorAt(place.axis).levels)
        d.levelsB.append(QString::fromStdString(level));
    if (place.line < analysis.Factors()) {
        d.legendTitle = FactorTitle(analysis.FactorAt(place.line), d.english);
        for (const std::string& level : analysis.FactorAt(place.line).levels)
            d.levelsA.append(QString::fromStdString(level));
    } else {
        d.legendTitle.clear();
        d.levelsA.append(d.english ? QStringLiteral("Mean") : QStringLiteral(u"平均"));
    }
    std::size_t panels = 1;
    QStringList names;
    for (std::size_t f : place.panels) {
        panels *= analysis.FactorAt(f).levels.size();
        names.append(FactorTitle(analysis.FactorAt(f), d.english));
    }
    d.panelFactors = names.join(QStringLiteral(u" × "));
    for (std::size_t i = 0; i < panels && !place.panels.empty(); ++i) {
        QStringList parts;
        std::size_t rest = i;
        for (std::size_t k = place.panels.size(); k-- > 0;) {
            const DesignFactor& f = analysis.FactorAt(place.panels[k]);
            parts.prepend(QString::fromStdString(f.name) + QStringLiteral(" = ") +
                          QString::fromStdString(f.levels[rest % f.levels.size()]));
            rest /= f.levels.size();
        }
        d.panelTitles.append(parts.join(QStringLiteral(", ")));
    }
}

// The index of a place's cell in the data's arrays: its panel's, its line's
// and its level of the axis.
std::size_t CellIndex(const anova::Analysis& analysis, const Placement& place, const InteractionPlotData& d,
                      const anova::Place& at) {
    std::size_t panel = 0;
    for (std::size_t f : place.panels)
        panel = panel * analysis.FactorAt(f).levels.size() + static_cast<std::size_t>(at[f]);
    const std::size_t a = place.line < at.size() ? static_cast<std::size_t>(at[place.line]) : 0;
    return (panel * static_cast<std::size_t>(d.levelsA.size()) + a) *
               static_cast<std::size_t>(d.levelsB.size()) +
           static_cast<std::size_t>(at[place.axis]);
}

// Each subject's traces: its scores in every panel and line it has cells in.
void AddSubjects(const anova::Analysis& analysis, const Placement& place, InteractionPlotData& d) {
    const std::size_t subjects = analysis.subjectGroups.size();
    if (subjects > kMostSubjectsDrawn) {
        d.subjectsOmitted = true;
        return;
    }
    std::size_t cells = 1;
    for (const DesignFactor& f : analysis.within) cells *= f.levels.size();
    if (analysis.subjectScores.size() != subjects * cells) return;
    const auto nb = static_cast<std::size_t>(d.levelsB.size());
    const std::size_t traces = d.means.size() / std::max<std::size_t>(nb, 1);
    std::vector<std::size_t> traceOf(traces);
    anova::Place at(analysis.Factors());
    for (std::size_t s = 0; s < subjects; ++s) {
        std::fill(traceOf.begin(), traceOf.end(), std::numeric_limits<std::size_t>::max());
        auto group = static_cast<std::size_t>(analysis.subjectGroups[s]);
        for (std::size_t f = analysis.between.size(); f-- > 0; group /= analysis.between[f].levels.size())
            at[f] = static_cast<std::int32_t>(group % analysis.between[f].levels.size());
        for (std::size_t c = 0; c < cells; ++c) {
            std::size_t rest = c;
            for (std::size_t f = analysis.within.size(); f-- > 0; rest /= analysis.within[f].levels.size())
                at[analysis.between.size() + f] =
                    static_cast<std::int32_t>(rest % analysis.within[f].levels.size());
            const std::size_t i = CellIndex(analysis, place, d, at);
            if (i >= d.means.size()) continue;
            std::size_t& t = traceOf[i / nb];
            if (t == std::numeric_limits<std::size_t>::max()) {
                t = d.subjects.size();
                SubjectTrace trace;
                trace.panel = i / nb / static_cast<std::size_t>(d.levelsA.size());
                trace.line = static_cast<int>(i / nb % static_cast<std::size_t>(d.levelsA.size()));
                trace.values.assign(nb, std::numeric_limits<Extended>::quiet_NaN());
                d.subjects.push_back(std::move(trace));
            }
            d.subjects[t].values[i % nb] = analysis.subjectScores[s * cells + c];
        }
    }
}

}  // namespace

std::string ArrangementRefused(const anova::Analysis& analysis, const PlotArrangement& arrangement) {
    std::vector<std::string> named;
    if (arrangement.axis) named.push_back(*arrangement.axis);
    if (arrangement.lines && *arrangement.lines != "none") named.push_back(*arrangement.lines);
    named.insert(named.end(), arrangement.panels.begin(), arrangement.panels.end());
    for (std::size_t i = 0; i < named.size(); ++i) {
        if (!FactorNamed(analysis, named[i])) return "the design has no factor named \"" + named[i] + "\"";
        if (std::find(named.begin(), named.begin() + static_cast<std::ptrdiff_t>(i), named[i]) !=
            named.begin() + static_cast<std::ptrdiff_t>(i))
            return "the factor \"" + named[i] + "\" is placed twice";
    }
    if (!arrangement.axis && named.size() >= analysis.Factors())
        return "no factor is left for the horizontal axis";
    return {};
}

InteractionPlotData PlotDataOf(const anova::Analysis& analysis, char decimalSeparator, ErrorBars bars,
                               const PlotArrangement& arrangement, SubjectsShown subjects, bool english) {
    InteractionPlotData d;
    d.decimalSeparator = decimalSeparator;
    d.english = english;
    // Without a within factor there is no within-subject interval: the ordinary one is drawn.
    if (analysis.within.empty() && bars == ErrorBars::WithinCi95) bars = ErrorBars::Ci95;
    d.barsShown = bars;
    d.barsWithinGroups = !analysis.between.empty();
    // Every factor, between first, as the means' places index them.
    const std::size_t factors = analysis.Factors();
    if (factors == 0) return d;
    const Placement place = PlacementOf(analysis, arrangement);
    Describe(analysis, place, d);
    if (analysis.cellMeans.empty()) return d;

    const std::size_t panels = static_cast<std::size_t>(d.Panels());
    const auto na = static_cast<std::size_t>(d.levelsA.size()),
               nb = static_cast<std::size_t>(d.levelsB.size());
    d.means.assign(panels * na * nb, 0);
    d.bars.assign(panels * na * nb, std::nullopt);
    for (const anova::Mean& m : analysis.cellMeans) {
        if (m.at.size() != factors ||
            std::any_of(m.at.begin(), m.at.end(), [](std::int32_t level) { return level < 0; }))
            continue;
        const std::size_t i = CellIndex(analysis, place, d, m.at);
        if (i >= d.means.size()) continue;
        d.means[i] = m.mean;
        d.bars[i] = BarOf(m, bars);
    }
    d.subjectsShown = subjects;
    if (subjects != SubjectsShown::None) AddSubjects(analysis, place, d);
    return d;
}

}  // namespace morvane::plot
