#include "plot/InteractionPlot.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>

#include "qttext/Fonts.h"
#include "runtime/NumberText.h"

namespace morvane::plot {
namespace {

// Colours told apart by most readers, the colour-blind among them.
const QRgb kColours[] = {0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7, 0xE69F00, 0x56B4E9, 0x000000, 0x8C7A1F};
constexpr unsigned kColourCount = sizeof kColours / sizeof kColours[0];
constexpr int kShapeCount = 7;

QColor ColourOf(int level) {
    return PlotColour(level);
}

// Marker `level`: circle, square, triangle, diamond, inverted triangle, cross,
// plus; filled, then hollow for the next seven levels.
void DrawMarker(QPainter& p, QPointF c, qreal r, int level) {
    const QColor colour = ColourOf(level);
    const bool hollow = (level / kShapeCount) % 2 == 1;
    p.setBrush(hollow ? QBrush(Qt::white) : QBrush(colour));
    const qreal x = c.x(), y = c.y();
    switch (level % kShapeCount) {
        case 0:
            p.drawEllipse(c, r, r);
            break;
        case 1:
            p.drawRect(QRectF(x - 0.85 * r, y - 0.85 * r, 1.7 * r, 1.7 * r));
            break;
        case 2:
            p.drawPolygon(QPolygonF({{x, y - 1.15 * r}, {x + r, y + 0.75 * r}, {x - r, y + 0.75 * r}}));
            break;
        case 3:
            p.drawPolygon(
                QPolygonF({{x, y - 1.2 * r}, {x + 1.2 * r, y}, {x, y + 1.2 * r}, {x - 1.2 * r, y}}));
            break;
        case 4:
            p.drawPolygon(QPolygonF({{x, y + 1.15 * r}, {x + r, y - 0.75 * r}, {x - r, y - 0.75 * r}}));
            break;
        case 5:
            p.drawLine(QPointF(x - r, y - r), QPointF(x + r, y + r));
            p.drawLine(QPointF(x - r, y + r), QPointF(x + r, y - r));
            break;
        default:
            p.drawLine(QPointF(x - 1.2 * r, y), QPointF(x + 1.2 * r, y));
            p.drawLine(QPointF(x, y - 1.2 * r), QPointF(x, y + 1.2 * r));
            break;
    }
}

// The vertical range the plot shows: every mean, and where they are drawn
// every interval and subject's score, with a margin.
void Range(const InteractionPlotData& d, Extended& low, Extended& high, bool beyondMeans = true) {
    low = std::numeric_limits<Extended>::infinity();
    high = -low;
    for (std::size_t i = 0; i < d.means.size(); ++i) {
        low = std::min(low, d.means[i]);
        high = std::max(high, d.means[i]);
        if (const auto& ci = d.bars[i]; ci && beyondMeans) {
            low = std::min(low, ci->low);
            high = std::max(high, ci->high);
        }
    }
    for (const SubjectTrace& trace : d.subjects)
        for (const Extended v : beyondMeans ? trace.values : std::vector<Extended>{})
            if (std::isfinite(v)) low = std::min(low, v), high = std::max(high, v);
    if (high == low) {
        const Extended pad = low == 0 ? 1 : std::fabs(low) / 20;
        low -= pad, high += pad;
    }
    // Halves, so that the span of values near the ends of the range stays finite.
    const Extended margin = (high / 2 - low / 2) / 10;
    if (std::isfinite(low - margin)) low -= margin;
    if (std::isfinite(high + margin)) high += margin;
}

}  // namespace

QColor PlotColour(int index) {
    return QColor::fromRgb(kColours[static_cast<unsigned>(index) % kColourCount]);
}

std::optional<ErrorBars> ErrorBarsNamed(std::string_view name) {
    for (ErrorBars bars : {ErrorBars::WithinCi95, ErrorBars::Ci95, ErrorBars::Se})
        if (name == ErrorBarsName(bars)) return bars;
    return std::nullopt;
}

const char* ErrorBarsName(ErrorBars bars) {
    switch (bars) {
        case ErrorBars::Ci95:
            return "ci95";
        case ErrorBars::Se:
            return "se";
        case ErrorBars::WithinCi95:
            break;
    }
    return "within";
}

std::optional<SubjectsShown> SubjectsShownNamed(std::string_view name) {
    if (name == "none") return SubjectsShown::None;
    if (name == "lines") return SubjectsShown::Lines;
    if (name == "points") return SubjectsShown::Points;
    return std::nullopt;
}

QString ErrorBarsCaption(ErrorBars bars, bool english) {
    switch (bars) {
        case ErrorBars::Ci95:
            return english ? QStringLiteral("95% confidence interval") : QStringLiteral(u"95% 信頼区間");
        case ErrorBars::Se:
            return english ? QStringLiteral(u"Mean ± standard error") : QStringLiteral(u"平均 ± 標準誤差");
        case ErrorBars::WithinCi95:
            break;
    }
    return english ? QStringLiteral("Within-subject 95% confidence interval")
                   : QStringLiteral(u"被験者内 95% 信頼区間");
}

namespace {

// PlotCaption in English.
QString EnglishCaption(const InteractionPlotData& data, bool summed) {
    QString caption = data.legendTitle.isEmpty()
                          ? QStringLiteral("Cell means")
                          : QStringLiteral("Cell means by level of ") + data.legendTitle;
    if (!data.panelTitles.isEmpty()) caption += QStringLiteral(", a panel per level of ") + data.panelFactors;
    if (!data.subjects.empty())
        caption += data.subjectsShown == SubjectsShown::Points
                       ? QStringLiteral(", each subject's scores as points")
                       : QStringLiteral(", each subject's scores as thin lines");
    if (data.levelsA.size() > kMostLinesTold)
        caption += QStringLiteral(", over %1 lines, each in one shared thin style without markers")
                       .arg(kMostLinesTold);
    if (summed)
        return caption + QStringLiteral(". More levels than pixel columns: each column shows the range of "
                                        "its levels' means as a light bar and their mean on the line; "
                                        "no error bars.");
    if (data.levelsA.size() > kMostLinesTold) return caption + QStringLiteral("; no error bars.");
    QString bars = ErrorBarsCaption(data.barsShown, true);
    bars[0] = bars[0].toLower();
    caption += QStringLiteral(". Error bars: ") + bars;
    if (data.barsShown == ErrorBars::WithinCi95)
        caption += data.barsWithinGroups
                       ? QStringLiteral(" (Cousineau-Morey, Morey's correction, within groups)")
                       : QStringLiteral(" (Cousineau-Morey, Morey's correction)");
    return caption + QLatin1Char('.');
}

}  // namespace

QString PlotCaption(const InteractionPlotData& data, bool summed) {
    if (data.english) return EnglishCaption(data, summed);
    QString caption = data.legendTitle.isEmpty()
                          ? QStringLiteral(u"セル平均")
                          : data.legendTitle + QStringLiteral(u" の水準ごとのセル平均");
    if (!data.panelTitles.isEmpty())
        caption += QStringLiteral(u"、パネルは ") + data.panelFactors + QStringLiteral(u" の水準ごと");
    if (!data.subjects.empty())
        caption += data.subjectsShown == SubjectsShown::Points ? QStringLiteral(u"、点は各被験者の得点")
                                                               : QStringLiteral(u"、細線は各被験者の得点");
    if (data.levelsA.size() > kMostLinesTold)
        caption += QStringLiteral(u"、線が %1 本を超え、どの線も同じ細線で印なし").arg(kMostLinesTold);
    if (summed)
        return caption + QStringLiteral(u"。水準が画素の列より多く、列ごとにその水準の平均の範囲を淡い縦棒、"
                                        u"それらの平均を線で描きました。誤差線はありません。");
    if (data.levelsA.size() > kMostLinesTold) return caption + QStringLiteral(u"。誤差線はありません。");
    caption += QStringLiteral(u"。誤差線は") + ErrorBarsCaption(data.barsShown);
    if (data.barsShown == ErrorBars::WithinCi95)
        caption += data.barsWithinGroups ? QStringLiteral(u" (Cousineau-Morey 法、Morey の補正、群ごと)")
                                         : QStringLiteral(u" (Cousineau-Morey 法、Morey の補正)");
    return caption + QStringLiteral(u"。");
}

int PlotFontPixels(const QSizeF& size) {
    const double side = std::sqrt(std::max(0.0, size.width()) * std::max(0.0, size.height()));
    return std::clamp(static_cast<int>(std::lround(side / 40)), 9, 400);
}

std::vector<Extended> AxisTicks(Extended low, Extended high, int wanted, Extended& step) {
    wanted = std::max(wanted, 2);
    Extended raw = (high / 2 - low / 2) / (wanted - 1) * 2;
    // A step below the spacing of the values would give the same tick again.
    raw = std::max(raw, std::max(std::fabs(low), std::fabs(high)) * 1e-17L);
    if (!(raw > 0) || !std::isfinite(raw)) {
        step = 1;
        return {low};
    }
    const Extended power = std::pow(10.0L, std::floor(std::log10(raw)));
    const Extended m = raw / power;
    step = (m <= 1 ? 1 : m <= 2 ? 2 : m <= 5 ? 5 : 10) * power;
    std::vector<Extended> ticks;
    for (Extended k = std::ceil(low / step); k * step <= high && ticks.size() < 200; k += 1)
        ticks.push_back(k * step);
    return ticks;
}

QString TickText(Extended value, Extended step, char decimalSeparator) {
    if (value == 0) return QStringLiteral("0");
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    // At least the whole number's digits, so that 10 on a step of 10 is not "1e+01".
    const int digits =
        std::max(magnitude - static_cast<int>(std::floor(std::log10(step))) + 1, magnitude + 1);
    return QString::fromLatin1(GeneralText(value, std::clamp(digits, 1, 19), decimalSeparator));
}

namespace {

// Where everything goes, worked out before anything is drawn.
struct PlotLayout {
    int px = 0;  // the font's pixels, the unit of every length
    QFont font, small;
    qreal line = 0, pad = 0;
    QColor ink{0x20, 0x20, 0x20};
    QString barsNote;  // "誤差線:" and the lines that name them
    qreal sample = 0, gap = 0, legendWidth = 0, legendLeft = 0;
    qreal tickLength = 0, top = 0, bottom = 0, left = 0, right = 0, width = 0, height = 0, slot = 0;
    std::vector<Extended> ticks;
    QStringList tickTexts;
    qreal tickWidth = 0;
    Extended low = 0, high = 0, step = 1;
    std::size_t first = 0;  // the panel's first cell in the data's arrays
    int fewestTicks = 2;    // a small panel still shows a few
    bool summed = false;    // the lines summed up per pixel column (more levels than columns)
    bool shared = false;    // more lines than kMostLinesTold: one shared thin style

    qreal Y(Extended v) const {
        const Extended half = high / 2 - low / 2;
        return bottom - static_cast<qreal>((v / 2 - low / 2) / half) * height;
    }
    qreal X(int b) const { return left + slot * (b + 0.5); }
};

PlotLayout LayOut(QPainter& p, const QRectF& area, const InteractionPlotData& d, const QFontMetricsF& fm);
void SizeLegend(PlotLayout& l, QPainter& p, const QRectF& area, const InteractionPlotData& d,
                const QFontMetricsF& fm);
std::size_t PanelColumnsOf(const PlotLayout& l, const QRectF& area, const InteractionPlotData& d);
void PlaceFrame(PlotLayout& l, const QRectF& box, qreal rightEdge, const InteractionPlotData& d,
                const QFontMetricsF& fm);
void DrawPanels(QPainter& p, const QRectF& area, const PlotLayout& l, const InteractionPlotData& d,
                const QFontMetricsF& fm);
void DrawAxes(QPainter& p, const QRectF& area, const PlotLayout& l, const InteractionPlotData& d,
              const QFontMetricsF& fm);
void DrawMeans(QPainter& p, const PlotLayout& l, const InteractionPlotData& d);
void DrawLegend(QPainter& p, const QRectF& area, const PlotLayout& l, const InteractionPlotData& d,
                const QFontMetricsF& fm);

}  // namespace

void PaintInteractionPlot(QPainter& p, const QRectF& area, const InteractionPlotData& d) {
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(area, Qt::white);
    const int px = PlotFontPixels(area.size());
    const QFont font = qttext::CharacterFont(Face::PGothic, px);
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    p.setPen(QColor(0x20, 0x20, 0x20));
    if (d.Empty()) {
        p.drawText(area, Qt::AlignCenter,
                   d.english ? QStringLiteral("No scores: no means to draw")
                             : QStringLiteral(u"得点がないので平均を描けません"));
        p.restore();
        return;
    }
    const PlotLayout layout = LayOut(p, area, d, fm);
    if (d.panelTitles.isEmpty()) {
        DrawAxes(p, area, layout, d, fm);
        DrawMeans(p, layout, d);
    } else {
        DrawPanels(p, area, layout, d, fm);
    }
    DrawLegend(p, area, layout, d, fm);
    p.restore();
}

bool InteractionPlotSummed(const InteractionPlotData& data, const QSizeF& size) {
    if (data.Empty()) return false;
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter p(&scratch);
    const int px = PlotFontPixels(size);
    const QFont font = qttext::CharacterFont(Face::PGothic, px);
    p.setFont(font);
    return LayOut(p, QRectF(QPointF(0, 0), size), data, QFontMetricsF(font, p.device())).summed;
}

namespace {

// Runs first: the legend on the right (its title, a line with its marker per
// level of A, and what the error bars are), and the plot area with room for
// the vertical axis's title and tick texts on the left, the names of B and
// the axis title below.
PlotLayout LayOut(QPainter& p, const QRectF& area, const InteractionPlotData& d, const QFontMetricsF& fm) {
    PlotLayout l;
    l.px = PlotFontPixels(area.size());
    const int px = l.px;
    l.line = fm.height();
    l.pad = px;
    l.small = qttext::CharacterFont(Face::PGothic, std::max(10, px * 17 / 20));
    l.shared = d.levelsA.size() > kMostLinesTold;
    l.sample = 2.6 * px;
    l.gap = 0.5 * px;
    l.tickLength = 0.4 * px;
    Range(d, l.low, l.high, !l.shared);
    SizeLegend(l, p, area, d, fm);
    PlaceFrame(l, area, l.legendLeft - 1.5 * l.pad, d, fm);
    // Summed up, the legend says so in place of the error bars.
    if (static_cast<std::size_t>(d.levelsB.size()) > PanelColumnsOf(l, area, d)) {
        l.summed = true;
        Range(d, l.low, l.high, false);
        SizeLegend(l, p, area, d, fm);
        PlaceFrame(l, area, l.legendLeft - 1.5 * l.pad, d, fm);
    }
    return l;
}

// The legend's last line where the lines share one style: how many levels
// it does not name.
QString MoreText(const InteractionPlotData& d, qsizetype more) {
    return d.english ? QStringLiteral(u"… and %1 more").arg(more) : QStringLiteral(u"… ほか %1 水準").arg(more);
}

// LayOut's: the note under the legend's lines (what the bars are, the
// subjects, what was left out).
QString LegendNote(const PlotLayout& l, const InteractionPlotData& d) {
    if (l.summed)
        return d.english ? QStringLiteral("Per pixel column:\nbar: range of\nthe means;\nline: their mean")
                         : QStringLiteral(u"画素の列ごと:\n縦棒: 平均の範囲\n線: それらの平均");
    if (l.shared)
        return d.english ? QStringLiteral("Over %1 lines:\none shared style,\nno markers or\nerror bars")
                               .arg(kMostLinesTold)
                         : QStringLiteral(u"線が %1 本を超え、\n同じ細線で描き、\n印と誤差線なし")
                               .arg(kMostLinesTold);
    QString note;
    // The within-subject interval's name on two lines, so that a narrow legend
    // breaks it between its words.
    QString bars = ErrorBarsCaption(d.barsShown);
    if (d.barsShown == ErrorBars::WithinCi95)
        bars.replace(QStringLiteral(u"被験者内 "), QStringLiteral(u"被験者内\n"));
    // The legend's English is short: "Within-subject\n95% CI".
    if (d.english)
        bars = d.barsShown == ErrorBars::Se     ? QStringLiteral(u"Mean ± SE")
               : d.barsShown == ErrorBars::Ci95 ? QStringLiteral("95% CI")
                                                : QStringLiteral("Within-subject\n95% CI");
    note = (d.english ? QStringLiteral("Error bars:\n") : QStringLiteral(u"誤差線:\n")) + bars;
    if (!d.subjects.empty())
        note += d.english                                  ? (d.subjectsShown == SubjectsShown::Points
                                                                        ? QStringLiteral("\n\nPoints: subjects")
                                                                        : QStringLiteral("\n\nThin lines: subjects"))
                      : d.subjectsShown == SubjectsShown::Points ? QStringLiteral(u"\n\n点: 各被験者")
                                                                 : QStringLiteral(u"\n\n細線: 各被験者");
    if (d.subjectsOmitted)
        note +=
            d.english
                ? QStringLiteral("\n\nOver %1 subjects:\nthe means alone").arg(kMostSubjectsDrawn)
                : QStringLiteral(u"\n\n被験者が %1 人を超え、\n平均だけを描きました").arg(kMostSubjectsDrawn);
    return note;
}

// LayOut's: the note and the legend's width (its title, its levels' names up
// to kMostLinesTold, the note), at most 30 % of the area.
void SizeLegend(PlotLayout& l, QPainter& p, const QRectF& area, const InteractionPlotData& d,
                const QFontMetricsF& fm) {
    l.barsNote = LegendNote(l, d);
    qreal names = fm.horizontalAdvance(d.legendTitle) - l.sample - l.gap;
    for (qsizetype a = 0; a < std::min<qsizetype>(d.levelsA.size(), kMostLinesTold); ++a)
        names = std::max(names, fm.horizontalAdvance(d.levelsA[a]));
    if (l.shared) names = std::max(names, fm.horizontalAdvance(MoreText(d, d.levelsA.size())));
    qreal noteWidth = 0;
    for (const QString& line : l.barsNote.split(QLatin1Char('\n')))
        noteWidth = std::max(noteWidth, QFontMetricsF(l.small, p.device()).horizontalAdvance(line));
    l.legendWidth = std::min(std::max(l.sample + l.gap + names, noteWidth) + 1, area.width() * 0.3);
    l.legendLeft = area.right() - l.pad - l.legendWidth;
}

// LayOut's and each panel's: the axes' frame in `box` up to `rightEdge`, with
// the ticks of the vertical scale that its height has room for.
void PlaceFrame(PlotLayout& l, const QRectF& box, qreal rightEdge, const InteractionPlotData& d,
                const QFontMetricsF& fm) {
    l.top = box.top() + l.pad + 0.5 * l.line;
    l.bottom = std::max(l.top + 1, box.bottom() - l.pad - 2.4 * l.line - l.tickLength);
    l.ticks = AxisTicks(l.low, l.high,
                        std::max(l.fewestTicks, static_cast<int>((l.bottom - l.top) / (3 * l.line))), l.step);
    l.tickTexts.clear();
    l.tickWidth = 0;
    for (Extended t : l.ticks) {
        l.tickTexts.append(TickText(t, l.step, d.decimalSeparator));
        l.tickWidth = std::max(l.tickWidth, fm.horizontalAdvance(l.tickTexts.back()));
    }
    l.left = box.left() + l.pad + 1.5 * l.line + l.tickWidth + l.tickLength;
    l.right = std::max(l.left + 1, rightEdge);
    l.width = l.right - l.left;
    l.height = l.bottom - l.top;
    l.slot = l.width / static_cast<qreal>(d.levelsB.size());
}

// The grid of the panels left of the legend: about as many columns as rows.
struct PanelGrid {
    int columns = 1, rows = 1;
    QRectF region;
    qreal w = 0, h = 0;

    PanelGrid(const QRectF& area, const PlotLayout& l, int panels)
        : region(area.left(), area.top(), std::max(1.0, l.legendLeft - 0.5 * l.pad - area.left()),
                 area.height()) {
        const double aspect = region.width() / std::max(1.0, region.height());
        columns = std::clamp(static_cast<int>(std::lround(std::sqrt(panels * aspect))), 1, panels);
        rows = (panels + columns - 1) / columns;
        w = region.width() / columns, h = region.height() / rows;
    }
};

// The plot area's pixel columns: a line of means is drawn with no more points.
std::size_t ColumnsOf(const PlotLayout& l) {
    return static_cast<std::size_t>(std::max(1.0, std::floor(l.width)));
}

// LayOut's: the pixel columns of the whole plot's frame, or with panels about
// those of one panel's (its width less the room left of its axis).
std::size_t PanelColumnsOf(const PlotLayout& l, const QRectF& area, const InteractionPlotData& d) {
    if (d.panelTitles.isEmpty()) return ColumnsOf(l);
    const PanelGrid grid(area, l, d.Panels());
    return static_cast<std::size_t>(std::max(1.0, std::floor(grid.w - 0.5 * l.pad - (l.left - area.left()))));
}

// Runs second when there are panels: a grid of them left of the legend, about
// as many columns as rows, each with its title above its own axes; every
// panel has the same size and so the same ticks on the one shared range.
void DrawPanels(QPainter& p, const QRectF& area, const PlotLayout& l, const InteractionPlotData& d,
                const QFontMetricsF& fm) {
    const int panels = d.Panels();
    const PanelGrid grid(area, l, panels);
    const int columns = grid.columns;
    const QRectF& region = grid.region;
    const qreal w = grid.w, h = grid.h;
    const std::size_t cells =
        static_cast<std::size_t>(d.levelsA.size()) * static_cast<std::size_t>(d.levelsB.size());
    for (int i = 0; i < panels; ++i) {
        const QRectF cell(region.left() + w * (i % columns), region.top() + h * (i / columns), w, h);
        p.setPen(l.ink);
        p.drawText(QRectF(cell.left() + l.pad, cell.top() + 0.3 * l.pad, cell.width() - 2 * l.pad, l.line),
                   Qt::AlignHCenter | Qt::AlignVCenter,
                   fm.elidedText(d.panelTitles[i], Qt::ElideRight, cell.width() - 2 * l.pad));
        PlotLayout panel = l;
        panel.first = static_cast<std::size_t>(i) * cells;
        panel.fewestTicks = 5;
        const QRectF box = cell.adjusted(0, 1.1 * l.line, 0, 0);
        PlaceFrame(panel, box, cell.right() - 0.5 * l.pad, d, fm);
        DrawAxes(p, box, panel, d, fm);
        DrawMeans(p, panel, d);
    }
}

// Runs second: the grid, the axes with their ticks, the levels of B along
// the horizontal axis (with too little room for each name, every k-th) and
// the axis titles.
void DrawAxes(QPainter& p, const QRectF& area, const PlotLayout& l, const InteractionPlotData& d,
              const QFontMetricsF& fm) {
    const int px = l.px, nb = static_cast<int>(d.levelsB.size());
    for (std::size_t i = 0; i < l.ticks.size(); ++i) {
        const qreal y = l.Y(l.ticks[i]);
        p.setPen(QPen(QColor(0xE2, 0xE2, 0xE2), std::max(1.0, px / 14.0)));
        p.drawLine(QPointF(l.left, y), QPointF(l.right, y));
        p.setPen(l.ink);
        p.drawLine(QPointF(l.left - l.tickLength, y), QPointF(l.left, y));
        p.drawText(
            QRectF(l.left - l.tickLength - 0.3 * px - l.tickWidth, y - l.line / 2, l.tickWidth, l.line),
            Qt::AlignRight | Qt::AlignVCenter, l.tickTexts[static_cast<int>(i)]);
    }
    p.setPen(QPen(l.ink, std::max(1.0, px / 12.0)));
    p.drawLine(QPointF(l.left, l.top), QPointF(l.left, l.bottom));
    p.drawLine(QPointF(l.left, l.bottom), QPointF(l.right, l.bottom));

    // Summed up, every name cannot be measured quickly: some 2,000 spread over
    // the axis stand for them.
    qreal room = 0;
    const int every = l.summed ? std::max(1, nb / 2000) : 1;
    for (int b = 0; b < nb; b += every) room = std::max(room, fm.horizontalAdvance(d.levelsB[b]));
    room = std::min(room + 0.6 * px, fm.averageCharWidth() * 10);
    const int stride = l.slot >= room ? 1 : static_cast<int>(std::ceil(room / l.slot));
    for (int b = 0; b < nb; b += stride) {
        const qreal x = l.X(b), w = l.slot * stride;
        p.drawLine(QPointF(x, l.bottom), QPointF(x, l.bottom + l.tickLength));
        const QString name = fm.elidedText(d.levelsB[b], Qt::ElideRight, w - 0.2 * px);
        p.drawText(QRectF(x - w / 2, l.bottom + l.tickLength, w, l.line), Qt::AlignHCenter | Qt::AlignTop,
                   name);
    }
    p.drawText(QRectF(l.left, l.bottom + l.tickLength + 1.2 * l.line, l.width, l.line),
               Qt::AlignHCenter | Qt::AlignTop, d.axisTitle);
    p.save();
    p.translate(area.left() + l.pad + l.line / 2, l.top + l.height / 2);
    p.rotate(-90);
    p.drawText(QRectF(-l.height / 2, -l.line / 2, l.height, l.line), Qt::AlignCenter,
               d.english ? QStringLiteral("Mean") : QStringLiteral(u"平均"));
    p.restore();
}

// The one thin style of every line where there are more than kMostLinesTold.
QPen SharedPen() {
    QPen pen(QColor(0x33, 0x55, 0x77), 1.0);
    pen.setCosmetic(true);
    return pen;
}

qreal LineWidth(const PlotLayout& l) {
    return std::max(1.0, l.px / 7.0);
}
qreal MarkerRadius(const PlotLayout& l) {
    return std::max(2.5, 0.33 * l.px);
}

// A spread in [-0.5, 0.5) for the k-th point, the same on every run: the
// fractional parts of multiples of the golden ratio, evenly spread.
qreal Jitter(std::size_t k) {
    const double x = static_cast<double>(k % 100000) * 0.6180339887498949;
    return x - std::floor(x) - 0.5;
}

// Runs in DrawMeans, first: the panel's subjects behind the means, thin
// light lines over the levels they have scores at, or small light points a
// little apart sideways.
void DrawSubjects(QPainter& p, const PlotLayout& l, const InteractionPlotData& d, qreal dodge) {
    const int na = static_cast<int>(d.levelsA.size());
    const std::size_t panel =
        l.first / std::max<std::size_t>(1, static_cast<std::size_t>(na * d.levelsB.size()));
    const qreal spread = std::min(l.slot * 0.25, 2.0 * l.px);
    p.save();
    p.setBrush(Qt::NoBrush);
    std::size_t k = 0;
    for (const SubjectTrace& trace : d.subjects) {
        if (trace.panel != panel) continue;
        QColor colour = ColourOf(trace.line);
        colour.setAlpha(d.subjectsShown == SubjectsShown::Points ? 140 : 70);
        const qreal shift = (trace.line - (na - 1) / 2.0) * dodge;
        if (d.subjectsShown == SubjectsShown::Points) {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            const qreal r = std::max(1.5, 0.2 * l.px);
            for (std::size_t b = 0; b < trace.values.size(); ++b, ++k)
                if (std::isfinite(trace.values[b]))
                    p.drawEllipse(
                        QPointF(l.X(static_cast<int>(b)) + shift + Jitter(k) * spread, l.Y(trace.values[b])),
                        r, r);
            continue;
        }
        p.setPen(QPen(colour, std::max(1.0, l.px / 16.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF path;
        for (std::size_t b = 0; b <= trace.values.size(); ++b) {
            if (b < trace.values.size() && std::isfinite(trace.values[b])) {
                path.append(QPointF(l.X(static_cast<int>(b)) + shift, l.Y(trace.values[b])));
                continue;
            }
            if (path.size() >= 2) p.drawPolyline(path);
            // A lone score (a between factor on the axis) as a dot of the line's width.
            if (path.size() == 1) p.drawPoint(path.front());
            path.clear();
        }
    }
    p.restore();
}

// Runs in DrawMeans when the axis has more levels than the area has pixel
// columns: level a's means summed up per column, their range as a light bar
// (the envelope) and their mean on one line through the columns. Markers,
// error bars and subjects could not be told apart there and are left out.
// With more lines than kMostLinesTold, only the line of column means, in
// the shared style.
void DrawSummary(QPainter& p, const PlotLayout& l, const InteractionPlotData& d, int a) {
    const std::size_t nb = static_cast<std::size_t>(d.levelsB.size()), columns = ColumnsOf(l);
    const std::size_t first = l.first + static_cast<std::size_t>(a) * nb;
    QColor light = ColourOf(a);
    light.setAlpha(90);
    p.setPen(QPen(light, 1.0));
    if (l.shared) p.setPen(Qt::NoPen);
    QPolygonF path;
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t from = c * nb / columns, to = (c + 1) * nb / columns;
        if (from == to) continue;
        Extended low = d.means[first + from], high = low, sum = 0;
        for (std::size_t b = from; b < to; ++b) {
            low = std::min(low, d.means[first + b]);
            high = std::max(high, d.means[first + b]);
            sum += d.means[first + b];
        }
        const qreal x = l.left + (static_cast<qreal>(c) + 0.5) * l.width / static_cast<qreal>(columns);
        if (high > low && !l.shared) p.drawLine(QPointF(x, l.Y(low)), QPointF(x, l.Y(high)));
        path.append(QPointF(x, l.Y(sum / static_cast<Extended>(to - from))));
    }
    // Segment by segment: one path of thousands of crossing strokes takes the
    // rasterizer far longer than the same strokes one at a time.
    p.setPen(l.shared ? SharedPen() : QPen(ColourOf(a), LineWidth(l), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (qsizetype k = 1; k < path.size(); ++k) p.drawLine(path[k - 1], path[k]);
}

// Runs in DrawMeans when there are more lines than kMostLinesTold: each
// line in the shared style, without markers, error bars or subjects, drawn
// without antialiasing so that tens of thousands of lines stay quick.
void DrawShared(QPainter& p, const PlotLayout& l, const InteractionPlotData& d) {
    const qsizetype na = d.levelsA.size(), nb = d.levelsB.size();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(SharedPen());
    for (qsizetype a = 0; a < na; ++a) {
        const std::size_t first = l.first + static_cast<std::size_t>(a * nb);
        for (qsizetype b = 1; b < nb; ++b)
            p.drawLine(QPointF(l.X(static_cast<int>(b - 1)), l.Y(d.means[first + static_cast<std::size_t>(b - 1)])),
                       QPointF(l.X(static_cast<int>(b)), l.Y(d.means[first + static_cast<std::size_t>(b)])));
        if (nb == 1) p.drawPoint(QPointF(l.X(0), l.Y(d.means[first])));
    }
    p.restore();
}

// Runs third: the lines, the error bars and the markers, each level of A a
// little apart; a summary of each line where the levels outnumber the pixels.
void DrawMeans(QPainter& p, const PlotLayout& l, const InteractionPlotData& d) {
    const int na = static_cast<int>(d.levelsA.size()), nb = static_cast<int>(d.levelsB.size());
    if (l.summed) {
        p.save();
        if (l.shared) p.setRenderHint(QPainter::Antialiasing, false);
        for (int a = 0; a < na; ++a) DrawSummary(p, l, d, a);
        p.restore();
        return;
    }
    if (l.shared) return DrawShared(p, l, d);
    const qreal dodge = na > 1 ? std::min(l.slot * 0.3 / (na - 1), 0.5 * l.px) : 0;
    if (!d.subjects.empty()) DrawSubjects(p, l, d, dodge);
    const qreal lineWidth = LineWidth(l), radius = MarkerRadius(l);
    const qreal cap = std::min(0.4 * l.px, l.slot * 0.15);
    for (int a = 0; a < na; ++a) {
        const QColor colour = ColourOf(a);
        const qreal shift = (a - (na - 1) / 2.0) * dodge;
        QPolygonF path;
        for (int b = 0; b < nb; ++b)
            path.append(
                QPointF(l.X(b) + shift, l.Y(d.means[l.first + static_cast<std::size_t>(a * nb + b)])));
        p.setPen(QPen(colour, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(path);
        p.setPen(QPen(colour, std::max(1.0, lineWidth * 0.8)));
        for (int b = 0; b < nb; ++b) {
            const auto& ci = d.bars[l.first + static_cast<std::size_t>(a * nb + b)];
            if (!ci) continue;
            const qreal x = path[b].x(), y0 = l.Y(ci->low), y1 = l.Y(ci->high);
            p.drawLine(QPointF(x, y0), QPointF(x, y1));
            p.drawLine(QPointF(x - cap, y0), QPointF(x + cap, y0));
            p.drawLine(QPointF(x - cap, y1), QPointF(x + cap, y1));
        }
        p.setPen(QPen(colour, lineWidth));
        for (const QPointF& point : path) DrawMarker(p, point, radius, a);
    }
}

// DrawLegend's where the lines share one style: a sample of it, the first
// levels' names as far as kMostLinesTold and the room allow, and how many
// more there are; gives where the note goes.
qreal SharedLegend(QPainter& p, const QRectF& area, const PlotLayout& l, const InteractionPlotData& d,
                   const QFontMetricsF& fm, qreal y) {
    const qreal mid = y + l.line / 2;
    p.setPen(SharedPen());
    p.drawLine(QPointF(l.legendLeft, mid), QPointF(l.legendLeft + l.sample, mid));
    p.setPen(l.ink);
    const qreal textLeft = l.legendLeft + l.sample + l.gap, textWidth = l.legendLeft + l.legendWidth - textLeft;
    const qsizetype na = d.levelsA.size();
    qsizetype shown = 0;
    // Room for the names, the line saying how many more and the note below.
    const qreal below = (3.2 + static_cast<qreal>(l.barsNote.count(QLatin1Char('\n')) + 1)) * l.line;
    for (; shown < std::min<qsizetype>(na, kMostLinesTold) && y + below <= area.bottom(); ++shown) {
        p.drawText(QRectF(textLeft, y, textWidth, l.line), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(d.levelsA[shown], Qt::ElideRight, textWidth));
        y += 1.3 * l.line;
    }
    const QString more = MoreText(d, na - shown);
    p.drawText(QRectF(textLeft, y, textWidth, l.line), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(more, Qt::ElideRight, textWidth));
    return y + 1.3 * l.line;
}

// Runs last: the legend.
void DrawLegend(QPainter& p, const QRectF& area, const PlotLayout& l, const InteractionPlotData& d,
                const QFontMetricsF& fm) {
    const int na = static_cast<int>(d.levelsA.size());
    const qreal lineWidth = LineWidth(l), radius = MarkerRadius(l);
    const qreal legendLeft = l.legendLeft, legendWidth = l.legendWidth, line = l.line;
    p.setPen(l.ink);
    p.setBrush(Qt::NoBrush);
    qreal y = l.top;
    p.drawText(QRectF(legendLeft, y, legendWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(d.legendTitle, Qt::ElideRight, legendWidth));
    y += 1.3 * line;
    if (l.shared) y = SharedLegend(p, area, l, d, fm, y);
    for (int a = 0; a < na && !l.shared && y + line <= area.bottom(); ++a, y += 1.3 * line) {
        const QColor colour = ColourOf(a);
        const qreal mid = y + line / 2;
        p.setPen(QPen(colour, lineWidth, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(legendLeft, mid), QPointF(legendLeft + l.sample, mid));
        if (!l.summed) DrawMarker(p, QPointF(legendLeft + l.sample / 2, mid), radius, a);
        p.setPen(l.ink);
        const qreal textLeft = legendLeft + l.sample + l.gap;
        p.drawText(QRectF(textLeft, y, legendLeft + legendWidth - textLeft, line),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(d.levelsA[a], Qt::ElideRight, legendLeft + legendWidth - textLeft));
    }
    p.setFont(l.small);
    p.setPen(QColor(0x50, 0x50, 0x50));
    p.drawText(QRectF(legendLeft, y + 0.4 * line, legendWidth, area.bottom() - y),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, l.barsNote);
}

}  // namespace

}  // namespace morvane::plot
