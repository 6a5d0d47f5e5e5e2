#pragma once
// The interaction plot: the cell means with the levels of one factor along
// the horizontal axis, one line and marker shape per level of another, error
// bars (the within-subject 95 % intervals unless asked otherwise), and a
// legend that names them; plot/DesignPlot.h takes an analysis to its data.
// Everything is laid out from
// the size of the area it is painted in, so that it is sharp at any size and on
// any device (a widget, an image, an SVG or PDF file).

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "runtime/Extended.h"
#include "stats/Intervals.h"

class QPainter;

namespace morvane::plot {

// What the error bars show: the within-subject 95 % interval (Cousineau-Morey),
// the ordinary 95 % interval (Student's t) or the mean plus and less its
// standard error; always the figures of the means table.
enum class ErrorBars { WithinCi95, Ci95, Se };

// "within", "ci95" or "se", as morvane plot's --error-bars names them; nothing
// for any other name.
std::optional<ErrorBars> ErrorBarsNamed(std::string_view name);
const char* ErrorBarsName(ErrorBars bars);

// How the legend and the window's caption name the bars, in Japanese (or English).
QString ErrorBarsCaption(ErrorBars bars, bool english = false);

// Whether the subjects are drawn behind the means: not at all, each
// subject's line (thin and light), or each subject's points, spread a little
// sideways.
enum class SubjectsShown { None, Lines, Points };

// "none", "lines" or "points"; nothing for any other name.
std::optional<SubjectsShown> SubjectsShownNamed(std::string_view name);

// The most subjects drawn behind the means: with more the plot shows the
// means alone and says so.
inline constexpr std::size_t kMostSubjectsDrawn = 500;

// The most lines told apart by colour, marker and legend: with more, every
// line is drawn in one shared thin style without markers or error bars, and
// the legend names the first levels and how many more there are.
inline constexpr int kMostLinesTold = 40;

// One subject's scores in one panel at one level of the lines: a value per
// level of the horizontal axis, NaN where the subject has none there (a
// between factor on the axis).
struct SubjectTrace {
    std::size_t panel = 0;
    int line = 0;
    std::vector<Extended> values;
};

struct InteractionPlotData;

// The plot's caption: what it shows and what its error bars are; `summed`
// when it is drawn summed up per pixel column (InteractionPlotSummed), which
// has no error bars.
QString PlotCaption(const InteractionPlotData& data, bool summed = false);

// Whether the plot drawn in an area of this size sums its lines up per pixel
// column: more levels along the axis than a panel has pixel columns.
bool InteractionPlotSummed(const InteractionPlotData& data, const QSizeF& size);

struct InteractionPlotData {
    // The levels of the lines (A) and of the horizontal axis (B).
    QStringList levelsA, levelsB;
    // How the legend and the horizontal axis title the two factors; an empty
    // legend title for a plot of one line.
    QString legendTitle = QStringLiteral(u"要因 A"), axisTitle = QStringLiteral(u"要因 B");
    // Small multiples: a panel per title, in a grid with one vertical scale.
    // No titles: one panel, the whole plot. `panelFactors` names what parts
    // the panels, for the caption.
    QStringList panelTitles;
    QString panelFactors;
    // Whether the within-subject intervals were taken within each group.
    bool barsWithinGroups = false;
    // Cell (a, b) of panel p, all from 0, at (p * levelsA.size() + a) * levelsB.size() + b.
    std::vector<Extended> means;
    ErrorBars barsShown = ErrorBars::WithinCi95;
    std::vector<std::optional<Interval>> bars;  // from low to high, of barsShown
    char decimalSeparator = '.';
    // The subjects behind the means, when asked for and no more than
    // kMostSubjectsDrawn; `subjectsOmitted` when there were more.
    SubjectsShown subjectsShown = SubjectsShown::None;
    std::vector<SubjectTrace> subjects;
    bool subjectsOmitted = false;
    // The plot's own words (its titles, caption, legend and axis) in English
    // rather than Japanese, for the windows in English.
    bool english = false;

    bool Empty() const { return means.empty(); }
    int Panels() const { return panelTitles.isEmpty() ? 1 : static_cast<int>(panelTitles.size()); }
};

// Paints the plot into `area` of `painter`'s device, on a white ground.
void PaintInteractionPlot(QPainter& painter, const QRectF& area, const InteractionPlotData& data);

// Colour `index` of the plots' palette, told apart by most readers, the
// colour-blind among them: blue, vermilion, bluish green, ...
QColor PlotColour(int index);

// The pixel height of the plot's text in an area of this size.
int PlotFontPixels(const QSizeF& size);

// The values of the vertical axis's ticks: a step of 1, 2 or 5 times a power of
// ten, with about `wanted` ticks from low to high; `step` receives the step.
std::vector<Extended> AxisTicks(Extended low, Extended high, int wanted, Extended& step);

// The text of a tick: as many significant digits as tell the ticks of `step`
// apart, with the decimal separator.
QString TickText(Extended value, Extended step, char decimalSeparator);

}  // namespace morvane::plot
