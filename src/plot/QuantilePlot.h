#pragma once
// The normal Q-Q plots of the residuals of an analysis' error strata, a panel
// each in a grid of about square shape (the A x B x S study's four in 2 x 2):
// the studentized residuals against the standard normal quantiles of their
// plotting positions, with the line y = x that normal residuals would follow.
// Laid out from the size of the area it is painted in, like the interaction
// plot, on any device.

#include <QRectF>
#include <QString>
#include <vector>

#include "anova/Analysis.h"

class QPainter;

namespace morvane::plot {

struct QuantilePanel {
    QString title;                      // "A x S", ...
    QString detail;                     // the count of residuals and Shapiro-Wilk's W and p
    std::vector<QuantilePoint> points;  // empty: the stratum has no residuals to plot
    std::size_t residuals = 0;          // all of them, more than the points where thinned
    std::size_t unplotted = 0;          // left out: those of groups of one subject
};

struct QuantilePlotData {
    std::vector<QuantilePanel> panels;  // the strata in order; none before an analysis
    char decimalSeparator = '.';
    bool english = false;  // the panels' words, the axes' titles and the caption in English

    bool Empty() const { return panels.empty(); }
};

// The plots' data from the analysis: a panel per stratum, titled by its
// name ("S", "A × S", ...), or with `studyTitles` as a data file's study
// titles its four ("被験者 (S)", "A x S", "B x S", "A x B x S"); `english`:
// their words in English ("Subjects (S)", "48 residuals", ...).
QuantilePlotData QuantilePlotDataOf(const anova::Analysis& analysis, char decimalSeparator, bool studyTitles,
                                    bool english = false);

// What the plots show, for a caption: the axes, the line, the thinning of large strata.
QString QuantilePlotCaption(const QuantilePlotData& data);

// Paints the panels into `area` of `painter`'s device, on a white ground.
void PaintQuantilePlot(QPainter& painter, const QRectF& area, const QuantilePlotData& data);

}  // namespace morvane::plot
