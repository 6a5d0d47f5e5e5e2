#pragma once
// The interaction plot of any design: by default the last within factor along
// the horizontal axis, a line per level of the within factor before it (else
// of the first between factor; one line when the design has a single factor),
// and a panel per level combination of the remaining factors, between first.
// Any factor may be placed on the axis, the lines or the panels instead.

#include <optional>
#include <string>
#include <vector>

#include "anova/Analysis.h"
#include "plot/InteractionPlot.h"

namespace morvane::plot {

// Where the factors go, by name (UTF-8, as the analysis names them). A factor
// named nowhere fills the first free place of the axis and the lines, in the
// order the default arrangement gives them, else joins the panels after those
// named; nothing named gives the default arrangement.
struct PlotArrangement {
    std::optional<std::string> axis;
    std::optional<std::string> lines;  // "none": a single line, the factor not drawn as lines
    std::vector<std::string> panels;   // the first outermost, its levels changing slowest

    bool Default() const { return !axis && !lines && panels.empty(); }
};

// Why `arrangement` does not fit the analysis' factors, in a sentence naming
// the factor (one it does not have, or a factor named twice); empty where it fits.
std::string ArrangementRefused(const anova::Analysis& analysis, const PlotArrangement& arrangement);

// The plot's data from the analysis' cell means (names UTF-8); the factors
// are titled "要因 NAME", the panels "NAME = LEVEL, ...". A data file's study
// (A and B within, no groups) draws as it always has, the levels of B along
// the axis and a line per level of A. An arrangement that does not fit is
// taken as the default. The subjects, when shown, are the analysis' subject
// scores. `english`: the titles "Factor NAME" and the plot's words in English.
InteractionPlotData PlotDataOf(const anova::Analysis& analysis, char decimalSeparator,
                               ErrorBars bars = ErrorBars::WithinCi95,
                               const PlotArrangement& arrangement = {},
                               SubjectsShown subjects = SubjectsShown::None, bool english = false);

}  // namespace morvane::plot
