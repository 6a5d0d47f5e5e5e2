#pragma once
// What the analysis window's 書き出し writes, by the type its file name's
// suffix names: the tables as markdown (.md), CSV (.csv) or JSON (.json), as
// `morvane anova` writes them, or the interaction plot as PNG, SVG or PDF.

#include <QSize>
#include <QString>
#include <QStringList>
#include <string>

#include "anova/FullAnalysis.h"
#include "plot/InteractionPlot.h"
#include "runtime/Errors.h"

namespace morvane {

// A file name whose suffix names none of the types.
class ExportTypeError : public Error {
public:
    ExportTypeError();
};

// The size of the plot's files.
inline constexpr QSize kExportPlotSize{960, 720};

// The types as the file dialog offers them, the first the default.
QStringList ExportNameFilters();

// Writes `path` (as chosen in the dialog); throws ExportTypeError, InOutError.
void ExportAnalysis(const FullAnalysis& analysis, const plot::InteractionPlotData& plot, const QString& path);

}  // namespace morvane
