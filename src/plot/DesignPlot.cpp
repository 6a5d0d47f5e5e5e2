#include "plot/DesignPlot.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace morvane::plot {
namespace {

QString FactorTitle(const DesignFactor& factor) {
    return QStringLiteral(u"要因 ") + QString::fromStdString(factor.name);
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

}  // namespace

InteractionPlotData PlotDataOf(const anova::Analysis& analysis, char decimalSeparator, ErrorBars bars) {
    InteractionPlotData d;
    d.decimalSeparator = decimalSeparator;
    // Without a within factor there is no within-subject interval: the ordinary one is drawn.
    if (analysis.within.empty() && bars == ErrorBars::WithinCi95) bars = ErrorBars::Ci95;
    d.barsShown = bars;
    d.barsWithinGroups = !analysis.between.empty();
    // Every factor, between first, as the means' places index them.
    const std::size_t factors = analysis.Factors();
    if (factors == 0) return d;
    // The last factor along the axis; the lines: the factor before it among the
    // within factors, or among the between factors of a design without within
    // ones, else the first between factor; no line factor: the one past the last.
    const std::size_t axis = factors - 1;
    const std::size_t none = factors;
    const bool lineBefore = analysis.within.size() >= 2 || (analysis.within.empty() && factors >= 2);
    const std::size_t line = lineBefore                  ? axis - 1
                             : !analysis.within.empty() && !analysis.between.empty() ? 0
                                                                                     : none;
    std::vector<std::size_t> panelFactors;
    for (std::size_t f = 0; f < factors; ++f)
        if (f != axis && f != line) panelFactors.push_back(f);

    d.axisTitle = FactorTitle(analysis.FactorAt(axis));
    for (const std::string& level : analysis.FactorAt(axis).levels) d.levelsB.append(QString::fromStdString(level));
    if (line != none) {
        d.legendTitle = FactorTitle(analysis.FactorAt(line));
        for (const std::string& level : analysis.FactorAt(line).levels)
            d.levelsA.append(QString::fromStdString(level));
    } else {
        d.legendTitle.clear();
        d.levelsA.append(QStringLiteral(u"平均"));
    }
    // The panels' titles, the last factor's levels changing fastest.
    std::size_t panels = 1;
    for (std::size_t f : panelFactors) panels *= analysis.FactorAt(f).levels.size();
    QStringList names;
    for (std::size_t f : panelFactors) names.append(FactorTitle(analysis.FactorAt(f)));
    d.panelFactors = names.join(QStringLiteral(u" × "));
    for (std::size_t i = 0; i < panels && !panelFactors.empty(); ++i) {
        QStringList parts;
        std::size_t rest = i;
        for (std::size_t k = panelFactors.size(); k-- > 0;) {
            const DesignFactor& f = analysis.FactorAt(panelFactors[k]);
            parts.prepend(QString::fromStdString(f.name) + QStringLiteral(" = ") +
                          QString::fromStdString(f.levels[rest % f.levels.size()]));
            rest /= f.levels.size();
        }
        d.panelTitles.append(parts.join(QStringLiteral(", ")));
    }
    if (analysis.cellMeans.empty()) return d;

    const auto na = static_cast<std::size_t>(d.levelsA.size()),
               nb = static_cast<std::size_t>(d.levelsB.size());
    d.means.assign(panels * na * nb, 0);
    d.bars.assign(panels * na * nb, std::nullopt);
    for (const anova::Mean& m : analysis.cellMeans) {
        if (m.at.size() != factors ||
            std::any_of(m.at.begin(), m.at.end(), [](std::int32_t level) { return level < 0; }))
            continue;
        std::size_t panel = 0;
        for (std::size_t f : panelFactors)
            panel = panel * analysis.FactorAt(f).levels.size() + static_cast<std::size_t>(m.at[f]);
        const std::size_t a = line != none ? static_cast<std::size_t>(m.at[line]) : 0;
        const std::size_t i = (panel * na + a) * nb + static_cast<std::size_t>(m.at[axis]);
        if (i >= d.means.size()) continue;
        d.means[i] = m.mean;
        d.bars[i] = BarOf(m, bars);
    }
    return d;
}

}  // namespace morvane::plot
