#pragma once
// What the results window's 書き出し writes, by the type its file name's
// suffix names: the tables as markdown (.md), CSV (.csv) or JSON (.json), as
// `morvane anova` writes them, or the interaction plot as PNG, SVG or PDF; and
// what its copy actions put on the clipboard. Every export of the results
// window runs its file dialog and writes through ExportToChosenFile.

#include <QMimeData>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "anova/Analysis.h"
#include "output/ApaOutput.h"
#include "output/OutputOptions.h"
#include "plot/InteractionPlot.h"
#include "plot/QuantilePlot.h"
#include "report/PrecisionCheck.h"
#include "runtime/Errors.h"
#include "widgets/FileChoice.h"
#include "widgets/Seams.h"

namespace morvane {

// A file name whose suffix names none of the types.
class ExportTypeError : public Error {
public:
    ExportTypeError();
    // For a plot, whose files are images only.
    struct ForPlot {};
    explicit ExportTypeError(ForPlot);
};

// The size of the plot's files.
inline constexpr QSize kExportPlotSize{960, 720};

// The types as the file dialog offers them, the first the default.
QStringList ExportNameFilters();

// Writes `path` (as chosen in the dialog): the plot, or the tables as
// FormatAnalysis writes them with `options` (the language, correction, layout
// and provenance) and, for a data file's study, the precision check of its
// results file; throws ExportTypeError, InOutError.
void ExportAnalysis(const anova::Analysis& analysis, const PrecisionCheck* precision,
                    const plot::InteractionPlotData& plot, const QString& path, const OutputOptions& options);

// A plot's file types for the file dialog, PNG the default.
QStringList PlotNameFilters();

// Writes the Q-Q plots, or the interaction plot, as the PNG, SVG or PDF file
// `path` names, kExportPlotSize; throws ExportTypeError (named by its plot
// types), InOutError.
void ExportQuantilePlotFile(const plot::QuantilePlotData& plot, const QString& path);
void ExportInteractionPlotFile(const plot::InteractionPlotData& plot, const QString& path);

// An export of the results window: the save dialog titled `title` through
// `seams`, offering `filters` and starting at `name`, until a name that may be
// written (ChooseFileToWrite: a file that exists and is not one of `own` is
// replaced only when the user says so). The name chosen is kept in `name` for
// the next time; `input`, the file the figures were read from, is refused
// as soon as it is chosen (before the replace question); `write` writes the file, which is one of `own` from
// then on. False when the dialog was cancelled and nothing was written; throws what `write` throws and
// SameFileError.
bool ExportToChosenFile(const widgets::Seams& seams, QWidget* parent, widgets::OwnFiles& own, QString& name,
                        const QString& title, const QStringList& filters, const std::string& input,
                        const std::function<void(const QString& path)>& write);

// 表をコピー: the summary table as a word processor pastes it, a real table:
// HTML (text/html), RTF (text/rtf and application/rtf, the names programs
// look for), and tab-separated text for everything else.
std::unique_ptr<QMimeData> SummaryTableMime(const anova::Analysis& analysis, const ApaOptions& options);

// 報告文をコピー: the ready sentences, one a line, each after its effect's name.
QString SentencesText(const anova::Analysis& analysis, const ApaOptions& options);

}  // namespace morvane
