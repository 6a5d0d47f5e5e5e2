#pragma once
// morvane plot: the interaction plot of a study or of a long CSV's design, or the normal Q-Q plots of its
// residuals, as a PNG, SVG or PDF file, drawn by the results window's plot
// code in the program morvane-plot, which loads Qt.

#include <span>
#include <string>

namespace morvane::tool {

inline constexpr int kPlotDefaultWidth = 800, kPlotDefaultHeight = 600;
inline constexpr int kPlotMinimumSide = 16, kPlotMaximumSide = 8192;

// The size of a plot as --width or --height give it: a whole number of pixels
// from kPlotMinimumSide to kPlotMaximumSide; 0 for any other text.
int PlotSide(const std::string& text);

// Whether `text` names the error bars a plot can show (--error-bars): the
// within-subject 95 % interval "within" (the default), the ordinary 95 %
// interval "ci95", or one standard error on each side, "se".
bool PlotErrorBars(const std::string& text);

// Runs `plot DATAFILE OUT.png|OUT.svg|OUT.pdf [--width PX] [--height PX]
// [--error-bars within|ci95|se | --qq]`, or of a long CSV with its roles and
// reading options as morvane anova takes them (--id, --dv, --within,
// --between, --encoding, --separator, --decimal-comma; no --qq), from the
// arguments after the command's name: morvane-plot in place of this process.
// Throws UsageError when the arguments are not of that form.
[[noreturn]] void Plot(std::span<const std::string> words);

}  // namespace morvane::tool
