#include "plot/QuantilePlot.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "plot/InteractionPlot.h"
#include "qttext/Fonts.h"
#include "runtime/NumberText.h"

namespace morvane::plot {
namespace {

// A figure that cannot exceed 1, without its leading zero: ".9876", "1.0000".
QString Unit(Extended value, int decimals, char separator) {
    const std::string text = FixedText(value, decimals, separator);
    return QString::fromLatin1(text[0] == '0' ? text.substr(1) : text);
}

// The stratum's residuals and Shapiro and Wilk's test, or why there is nothing to plot.
QString Detail(std::size_t count, std::int64_t df, bool plotted, bool inRange, std::optional<Extended> w,
               std::optional<Extended> p, char separator, bool english) {
    if (english) {
        if (!plotted)
            return df < 1 ? QStringLiteral("No degrees of freedom") : QStringLiteral("Every residual 0");
        if (!inRange) return QStringLiteral(u"%1 residuals · W only for 3 to 5000 residuals").arg(count);
        if (!w || !p) return QStringLiteral(u"%1 residuals · W undefined").arg(count);
    } else {
        if (!plotted) return df < 1 ? QStringLiteral(u"自由度 0") : QStringLiteral(u"残差はすべて 0");
        if (!inRange) return QStringLiteral(u"残差 %1 個 · W は 3〜5000 個の残差でのみ計算").arg(count);
        if (!w || !p) return QStringLiteral(u"残差 %1 個 · W は計算できません").arg(count);
    }
    const QString text =
        english ? QStringLiteral(u"%1 residuals · ").arg(count) : QStringLiteral(u"残差 %1 個 · ").arg(count);
    const QString pText = QString::fromStdString((PValueIsBound(*p) ? "" : "= ") + PValueText(*p, separator));
    // With a decimal comma, a semicolon keeps the two figures apart.
    const QString between = separator == ',' ? QStringLiteral("; ") : QStringLiteral(", ");
    return text + QStringLiteral("Shapiro-Wilk W = ") + Unit(*w, 4, separator) + between +
           QStringLiteral("p ") + pText;
}

}  // namespace

QuantilePlotData QuantilePlotDataOf(const anova::Analysis& analysis, char decimalSeparator, bool studyTitles,
                                    bool english) {
    QuantilePlotData d;
    d.decimalSeparator = decimalSeparator;
    d.english = english;
    for (const anova::Stratum& stratum : analysis.strata) {
        QuantilePanel panel;
        panel.title = QString::fromStdString(stratum.name);
        if (studyTitles)
            panel.title = stratum.within.empty()
                              ? (english ? QStringLiteral("Subjects (S)") : QStringLiteral(u"被験者 (S)"))
                              : panel.title.replace(QStringLiteral(u" × "), QStringLiteral(" x "));
        panel.points = stratum.quantiles;
        panel.unplotted = static_cast<std::size_t>(std::max<std::int64_t>(0, stratum.unplotted));
        const auto count = static_cast<std::size_t>(std::max<std::int64_t>(0, stratum.residuals));
        panel.residuals = count - std::min(count, panel.unplotted);
        const ShapiroWilkTest& test = stratum.normality;
        panel.detail = Detail(panel.residuals, stratum.error.df, !panel.points.empty(), test.inRange, test.w,
                              test.p, decimalSeparator, english);
        if (english && panel.unplotted > 0 && !panel.points.empty())
            panel.detail.replace(
                QStringLiteral(u" residuals · "),
                QStringLiteral(u" residuals (less %1 of groups of one) · ").arg(panel.unplotted));
        if (!english && panel.unplotted > 0 && !panel.points.empty())
            panel.detail.replace(QStringLiteral(u" 個 · "),
                                 QStringLiteral(u" 個 (1 人の群の %1 個を除く) · ").arg(panel.unplotted));
        d.panels.push_back(std::move(panel));
    }
    return d;
}

namespace {

// QuantilePlotCaption in English.
QString EnglishCaption(bool thinned, bool unplotted) {
    QString caption = QStringLiteral(
        u"Each error stratum's studentized residuals against the standard normal quantiles (plotting "
        u"positions (i − 3/8)/(n + 1/4) up to 10 residuals, (i − 1/2)/n beyond), with the line y = x; points "
        u"beyond 3 in absolute value in vermilion.");
    if (thinned)
        caption += QStringLiteral(
                       " A stratum of more than %1 residuals shows its %2 smallest and largest and "
                       "residuals of evenly spaced ranks between them.")
                       .arg(kQuantilePoints)
                       .arg(kQuantileTail);
    if (unplotted)
        caption += QStringLiteral(" The residuals of a group of one subject, always 0, are not drawn.");
    return caption;
}

}  // namespace

QString QuantilePlotCaption(const QuantilePlotData& data) {
    const QString caption = QStringLiteral(
        u"各誤差層のスチューデント化残差を標準正規分位点 (プロット位置は残差 10 個まで (i − 3/8)/(n + 1/4)、"
        u"それを超えると (i − 1/2)/n) に対して描き、直線は y = x、絶対値が 3 を超える点は朱色で");
    const bool thinned = std::any_of(data.panels.begin(), data.panels.end(), [](const QuantilePanel& p) {
        return p.residuals > p.points.size() && !p.points.empty();
    });
    const bool unplotted = std::any_of(data.panels.begin(), data.panels.end(),
                                       [](const QuantilePanel& p) { return p.unplotted > 0; });
    // The residuals of a group of one subject are zero whatever its scores: not drawn.
    if (data.english) return EnglishCaption(thinned, unplotted);
    const QString alone =
        unplotted ? QStringLiteral(u"被験者が 1 人だけの群の残差は常に 0 なので描かない。") : QString();
    if (!thinned) return caption + QStringLiteral(u"示す。") + alone;
    return caption +
           QStringLiteral(
               u"示し、残差が %1 個を超える層は小さいほうと大きいほうの %2 個ずつと"
               u"その間の等間隔の順位の残差のみを描く。")
               .arg(kQuantilePoints)
               .arg(kQuantileTail) +
           alone;
}

namespace {

const QColor kInk(0x20, 0x20, 0x20);

// One axis of a panel: its range and ticks.
struct Axis {
    Extended low = 0, high = 1, step = 1;
    std::vector<Extended> ticks;
    QStringList texts;
    qreal widest = 0;

    void Cover(Extended v) { low = std::min(low, v), high = std::max(high, v); }
    // The most ticks of the axis's `length` in pixels that stand at least `spacing` apart.
    void Space(qreal length, qreal spacing) {
        ticks.clear();
        for (int wanted = 2; wanted <= 12; ++wanted) {
            Extended next = 1;
            std::vector<Extended> more = AxisTicks(low, high, wanted, next);
            if (!ticks.empty() && static_cast<qreal>(next / (high - low)) * length < spacing) break;
            ticks = std::move(more), step = next;
        }
    }
    // A twentieth of the span more at each end, and ticks `spacing` apart, or
    // closer where that would leave fewer than three.
    void Finish(qreal length, qreal spacing, char separator, const QFontMetricsF& fm) {
        if (!(high > low)) low -= 1, high += 1;
        const Extended margin = (high - low) / 20;
        low -= margin, high += margin;
        Space(length, spacing);
        if (ticks.size() < 3) Space(length, spacing * 0.6);
        for (Extended t : ticks) {
            texts.append(TickText(t, step, separator));
            widest = std::max(widest, fm.horizontalAdvance(texts.back()));
        }
    }
    qreal Fraction(Extended v) const { return static_cast<qreal>((v - low) / (high - low)); }
};

// The fonts and lengths of the whole figure, from the size of its area.
struct Style {
    int px = 0;
    QFont font, small;
    qreal line = 0, smallLine = 0, tick = 0, radius = 0;
};

// The points' axis ranges: the normal quantiles along, the studentized
// residuals and the line's span up, so that the line crosses the panel.
void Ranges(const QuantilePanel& panel, Axis& x, Axis& y) {
    if (panel.points.empty()) {
        x.low = y.low = -2, x.high = y.high = 2;
        return;
    }
    x.low = y.low = std::numeric_limits<Extended>::infinity();
    x.high = y.high = -x.low;
    for (const QuantilePoint& point : panel.points) {
        x.Cover(point.normal);
        y.Cover(point.studentized);
        y.Cover(point.normal);
    }
}

void DrawPoints(QPainter& p, const QRectF& plot, const Axis& x, const Axis& y, const QuantilePanel& panel,
                const Style& s) {
    p.save();
    p.setClipRect(plot);
    // The line y = x, from one side of the panel to the other.
    const auto at = [&](Extended u, Extended v) {
        return QPointF(plot.left() + x.Fraction(u) * plot.width(),
                       plot.bottom() - y.Fraction(v) * plot.height());
    };
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), std::max(1.0, s.px / 10.0)));
    p.drawLine(at(x.low, x.low), at(x.high, x.high));
    p.setBrush(Qt::NoBrush);
    const QPen usual(PlotColour(0), std::max(1.0, s.px / 12.0)),
        outlying(PlotColour(1), std::max(1.2, s.px / 8.0));
    // The outlying last, over the others.
    for (const bool beyond : {false, true}) {
        p.setPen(beyond ? outlying : usual);
        for (const QuantilePoint& point : panel.points)
            if ((std::fabs(point.studentized) > anova::kOutlyingStudentized) == beyond)
                p.drawEllipse(at(point.normal, point.studentized), s.radius, s.radius);
    }
    p.restore();
}

void DrawTicks(QPainter& p, const QRectF& plot, const Axis& x, const Axis& y, const Style& s) {
    const qreal thin = std::max(1.0, s.px / 14.0);
    for (std::size_t i = 0; i < y.ticks.size(); ++i) {
        const qreal at = plot.bottom() - y.Fraction(y.ticks[i]) * plot.height();
        p.setPen(QPen(QColor(0xE2, 0xE2, 0xE2), thin));
        p.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
        p.setPen(kInk);
        p.drawLine(QPointF(plot.left() - s.tick, at), QPointF(plot.left(), at));
        p.drawText(QRectF(plot.left() - s.tick - 0.25 * s.px - y.widest, at - s.smallLine / 2, y.widest,
                          s.smallLine),
                   Qt::AlignRight | Qt::AlignVCenter, y.texts[static_cast<int>(i)]);
    }
    for (std::size_t i = 0; i < x.ticks.size(); ++i) {
        const qreal at = plot.left() + x.Fraction(x.ticks[i]) * plot.width();
        p.setPen(QPen(QColor(0xE2, 0xE2, 0xE2), thin));
        p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
        p.setPen(kInk);
        p.drawLine(QPointF(at, plot.bottom()), QPointF(at, plot.bottom() + s.tick));
        p.drawText(QRectF(at - x.widest, plot.bottom() + s.tick, 2 * x.widest, s.smallLine),
                   Qt::AlignHCenter | Qt::AlignTop, x.texts[static_cast<int>(i)]);
    }
}

// A panel in `cell`: its title and detail above, the points in a frame with
// their ticks on the left and below.
void DrawPanel(QPainter& p, const QRectF& cell, const QuantilePanel& panel, char separator, const Style& s,
               bool english) {
    const QFontMetricsF fm(s.font, p.device()), small(s.small, p.device());
    p.setFont(s.font);
    p.setPen(kInk);
    p.drawText(QRectF(cell.left(), cell.top(), cell.width(), s.line), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(panel.title, Qt::ElideRight, cell.width()));
    p.setFont(s.small);
    p.setPen(QColor(0x50, 0x50, 0x50));
    p.drawText(QRectF(cell.left(), cell.top() + s.line, cell.width(), s.smallLine),
               Qt::AlignLeft | Qt::AlignVCenter,
               small.elidedText(panel.detail, Qt::ElideRight, cell.width()));
    const qreal top = cell.top() + s.line + 1.6 * s.smallLine;
    const qreal bottom = std::max(top + 1, cell.bottom() - s.tick - s.smallLine);
    Axis x, y;
    Ranges(panel, x, y);
    y.Finish(bottom - top, 2.2 * s.smallLine, separator, small);
    const qreal left = std::min(cell.left() + y.widest + s.tick + 0.25 * s.px, cell.right() - 1);
    const QRectF plot(QPointF(left, top), QPointF(std::max(left + 1, cell.right() - 0.5 * s.px), bottom));
    x.Finish(plot.width(), 4 * s.px, separator, small);
    p.setPen(QPen(kInk, std::max(1.0, s.px / 12.0)));
    p.setBrush(Qt::NoBrush);
    if (panel.points.empty()) {
        p.drawRect(plot);
        p.setFont(s.font);
        p.drawText(plot, Qt::AlignCenter,
                   english ? QStringLiteral("No residuals") : QStringLiteral(u"残差なし"));
        return;
    }
    DrawTicks(p, plot, x, y, s);
    DrawPoints(p, plot, x, y, panel, s);
    p.setPen(QPen(kInk, std::max(1.0, s.px / 12.0)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

}  // namespace

void PaintQuantilePlot(QPainter& p, const QRectF& area, const QuantilePlotData& d) {
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(area, Qt::white);
    Style s;
    // The panels share the area: their text a little smaller than a whole
    // plot's with two columns, and smaller again with more.
    const std::size_t count = d.panels.size();
    std::size_t columns = 1;
    while (columns * columns < count) ++columns;
    const std::size_t rows = (count + columns - 1) / std::max<std::size_t>(columns, 1);
    s.px = std::max(
        9, PlotFontPixels(area.size()) * 8 / (5 * static_cast<int>(std::max<std::size_t>(2, columns))));
    s.font = qttext::CharacterFont(Face::PGothic, s.px);
    s.small = qttext::CharacterFont(Face::PGothic, std::max(9, s.px * 17 / 20));
    s.line = QFontMetricsF(s.font, p.device()).height();
    s.smallLine = QFontMetricsF(s.small, p.device()).height();
    s.tick = 0.35 * s.px;
    s.radius = std::max(1.8, 0.24 * s.px);
    p.setFont(s.font);
    p.setPen(kInk);
    if (d.Empty()) {
        p.drawText(area, Qt::AlignCenter,
                   d.english ? QStringLiteral("No scores: no Q-Q plot to draw")
                             : QStringLiteral(u"得点がないので Q-Q プロットを描けません"));
        p.restore();
        return;
    }
    // The axis titles the panels share: below them and, turned, on their left.
    const qreal pad = s.px, gap = 1.5 * s.px;
    const QRectF grid(QPointF(area.left() + pad + 1.3 * s.line, area.top() + 0.6 * pad),
                      QPointF(area.right() - 0.6 * pad, area.bottom() - pad - 1.1 * s.line));
    p.drawText(QRectF(grid.left(), grid.bottom() + 0.3 * s.line, grid.width(), s.line), Qt::AlignCenter,
               d.english ? QStringLiteral("Standard normal quantile") : QStringLiteral(u"標準正規分位点"));
    p.save();
    p.translate(area.left() + pad + s.line / 2, grid.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-grid.height() / 2, -s.line / 2, grid.height(), s.line), Qt::AlignCenter,
               d.english ? QStringLiteral("Studentized residual") : QStringLiteral(u"スチューデント化残差"));
    p.restore();
    const std::size_t across = columns, down = std::max<std::size_t>(1, rows);
    const qreal w = std::max(
                    1.0, (grid.width() - static_cast<qreal>(across - 1) * gap) / static_cast<qreal>(across)),
                h = std::max(1.0,
                             (grid.height() - static_cast<qreal>(down - 1) * gap) / static_cast<qreal>(down));
    for (std::size_t k = 0; k < count; ++k) {
        const qreal left = grid.left() + static_cast<qreal>(k % across) * (w + gap),
                    top = grid.top() + static_cast<qreal>(k / across) * (h + gap);
        DrawPanel(p, QRectF(left, top, w, h), d.panels[k], d.decimalSeparator, s, d.english);
    }
    p.restore();
}

}  // namespace morvane::plot
