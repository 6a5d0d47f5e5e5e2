#pragma once
// The interaction plot of any design: the last within factor along the
// horizontal axis, a line per level of the within factor before it (else of
// the first between factor; one line when the design has a single factor),
// and a panel per level combination of the remaining factors, between first.

#include "anova/Analysis.h"
#include "plot/InteractionPlot.h"

namespace morvane::plot {

// The plot's data from the analysis' cell means (names UTF-8); the factors
// are titled "要因 NAME", the panels "NAME = LEVEL, ...". A data file's study
// (A and B within, no groups) draws as it always has, the levels of B along
// the axis and a line per level of A.
InteractionPlotData PlotDataOf(const anova::Analysis& analysis, char decimalSeparator,
                               ErrorBars bars = ErrorBars::WithinCi95);

}  // namespace morvane::plot
