#pragma once
// The interaction plot and the Q-Q plots as files: a PNG image, an SVG drawing
// or a one-page PDF.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <optional>
#include <string>

#include "plot/InteractionPlot.h"
#include "plot/QuantilePlot.h"

namespace morvane::plot {

enum class PlotFileType { Png, Svg, Pdf };

// A PNG of more pixels than this is written by QuickPng (a plot of the
// default size by Qt's writer, as before).
inline constexpr long long kPlotQuickPngPixels = 2048LL * 2048;

// The type a file name's suffix names (.png, .svg, .pdf, in any case), or nothing.
std::optional<PlotFileType> PlotFileTypeOf(const QString& path);

// The plot of `size` pixels (at 96 pixels per inch for SVG and PDF) as the bytes
// of a file of `type`; an SVG has the plot's title and its caption as its
// description, a PDF the title.
QByteArray RenderPlotFile(const InteractionPlotData& data, PlotFileType type, QSize size);
QByteArray RenderPlotFile(const QuantilePlotData& data, PlotFileType type, QSize size);

// Writes that file at `path` (file system bytes; the empty path is standard
// output); throws InOutError.
void WritePlotFile(const InteractionPlotData& data, PlotFileType type, QSize size, const std::string& path);
void WritePlotFile(const QuantilePlotData& data, PlotFileType type, QSize size, const std::string& path);

}  // namespace morvane::plot
