// morvane-plot DATAFILE OUT WIDTH HEIGHT [BARS|qq] [CSV OPTIONS]: writes the interaction plot
// of a study as the PNG, SVG or PDF file that OUT's suffix names, WIDTH x HEIGHT
// pixels, its error bars those BARS names (within, ci95, se; within when
// absent), or with qq the normal Q-Q plots of its residuals, without any
// window. After BARS or qq, morvane plot's options of a long CSV make DATAFILE
// that CSV, and the plot the design's. `morvane plot` runs it with arguments it has checked.

#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "LongCsvRequest.h"
#include "OffscreenQt.h"
#include "StudyLoad.h"
#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "exchange/ExchangeFiles.h"
#include "plot/DesignPlot.h"
#include "plot/PlotFiles.h"
#include "plot/QuantilePlot.h"
#include "runtime/DecimalSeparator.h"
#include "store/DataFile.h"

namespace {

// The plot of a long CSV's design, when `request` names its roles: the
// interaction plot, or without bars the Q-Q plots of its strata.
void WriteDesignPlot(const std::string& in, const std::string& out,
                     const morvane::tool::LongCsvRequest& request,
                     std::optional<morvane::plot::ErrorBars> bars, morvane::plot::PlotFileType type,
                     QSize size, char separator) {
    const morvane::FileBytes bytes = morvane::ReadWholeFile(in, {}, true);
    morvane::tool::RefuseEmptyFile(in, bytes.View());
    morvane::anova::Options options = request.analysis;
    // The interaction plot needs the means alone, the Q-Q plots their points.
    options.meansOnly = bars.has_value();
    options.quantilePoints = !bars;
    const morvane::anova::Analysis analysis =
        morvane::anova::Analyse(morvane::ReadLongCsv(bytes.View(), *request.roles,
                                                      morvane::tool::ReadingOf(bytes.View(), request)), options);
    if (bars)
        morvane::plot::WritePlotFile(morvane::plot::PlotDataOf(analysis, separator, *bars), type, size, out);
    else
        morvane::plot::WritePlotFile(morvane::plot::QuantilePlotDataOf(analysis, separator, false), type, size,
                                     out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    // The first five words are the files, the size and the bars; any after them the long CSV's options.
    const std::size_t head = std::min<std::size_t>(all.size(), 5);
    const std::vector<std::string> words(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(head)),
        csvWords(all.begin() + static_cast<std::ptrdiff_t>(head), all.end());
    return morvane::tool::RunShowingErrors([&] {
        const morvane::tool::Arguments arguments(words, {}, {}, morvane::tool::OtherOptions::AreFiles);
        const morvane::tool::Arguments csvArguments(
            csvWords, {"--decimal-comma"},
            {"--id", "--dv", "--within", "--between", "--encoding", "--separator", "--header-line"});
        const std::size_t count = arguments.FileCount();
        const auto type =
            count == 4 || count == 5
                ? morvane::plot::PlotFileTypeOf(QString::fromLocal8Bit(arguments.Word(1).c_str()))
                : std::nullopt;
        const int width = type ? std::atoi(arguments.Word(2).c_str()) : 0,
                  height = type ? std::atoi(arguments.Word(3).c_str()) : 0;
        const bool quantiles = count == 5 && arguments.Word(4) == "qq";
        const auto bars = count == 5 && !quantiles ? morvane::plot::ErrorBarsNamed(arguments.Word(4))
                                                   : std::optional(morvane::plot::ErrorBars::WithinCi95);
        if (!type || width <= 0 || height <= 0 || !bars) {
            std::fputs(
                "usage: morvane plot DATAFILE OUT.png|OUT.svg|OUT.pdf [--width PX] [--height PX] "
                "[--error-bars within|ci95|se | --qq]\n",
                stderr);
            return 2;
        }
        const char separator = morvane::DecimalSeparatorFromLocale();
        morvane::tool::LongCsvRequest request;
        morvane::tool::ReadLongCsvRequest(csvArguments, morvane::tool::Settings{separator}, request);
        if (request.roles) {
            morvane::tool::PrepareOffscreenQt();
            QGuiApplication application(argc, argv);
            WriteDesignPlot(arguments.File(0), arguments.Word(1), request, quantiles ? std::nullopt : bars,
                            *type, QSize(width, height), separator);
            return 0;
        }
        morvane::StudyStore& store = morvane::TheStudy();
        morvane::tool::LoadStudy(store, arguments.File(0));
        morvane::anova::Options options;
        // The interaction plot needs the cells' means and intervals alone.
        options.meansOnly = !quantiles;
        options.quantilePoints = quantiles;
        const morvane::anova::Analysis analysis =
            morvane::anova::Analyse(morvane::DesignFromStudy(store, separator), options);
        // The plot is drawn on no screen: Qt runs on its offscreen platform unless told otherwise.
        morvane::tool::PrepareOffscreenQt();
        QGuiApplication application(argc, argv);
        const QSize size(width, height);
        if (quantiles)
            morvane::plot::WritePlotFile(morvane::plot::QuantilePlotDataOf(analysis, separator, true), *type,
                                         size, arguments.Word(1));
        else
            morvane::plot::WritePlotFile(morvane::plot::PlotDataOf(analysis, separator, *bars), *type, size,
                                         arguments.Word(1));
        return 0;
    });
}
