// morvane-plot DATAFILE OUT WIDTH HEIGHT [BARS|qq] [CSV OPTIONS]: writes the interaction plot
// of a study as the PNG, SVG or PDF file that OUT's suffix names, WIDTH x HEIGHT
// pixels, its error bars those BARS names (within, ci95, se; within when
// absent), or with qq the normal Q-Q plots of its residuals, without any
// window. After BARS or qq, morvane plot's options of a long CSV make DATAFILE
// that CSV, and the plot the design's; its --x, --lines, --panels and
// --subjects arrange the interaction plot. `morvane plot` runs it with
// arguments it has checked; a factor the design does not have is refused
// here, with status 2.

#include <malloc.h>

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
#include "exchange/Csv.h"
#include "exchange/ExchangeFiles.h"
#include "plot/DesignPlot.h"
#include "plot/PlotFiles.h"
#include "plot/QuantilePlot.h"
#include "runtime/DecimalSeparator.h"
#include "store/DataFile.h"

namespace {

// What the interaction plot is asked to show beside its bars.
struct PlotChoices {
    morvane::plot::PlotArrangement arrangement;
    morvane::plot::SubjectsShown subjects = morvane::plot::SubjectsShown::None;
};

PlotChoices ChoicesOf(const morvane::tool::Arguments& arguments) {
    PlotChoices choices;
    for (const auto& [name, value] : arguments.Options()) {
        if (name == "--x") choices.arrangement.axis = *value;
        if (name == "--lines") choices.arrangement.lines = *value;
        if (name == "--panels") choices.arrangement.panels = morvane::csv::SplitRecord(*value);
        if (name == "--subjects")
            choices.subjects =
                morvane::plot::SubjectsShownNamed(*value).value_or(morvane::plot::SubjectsShown::None);
    }
    return choices;
}

// The interaction plot of the analysis as the file `out`; status 2, having
// said why, where the arrangement names a factor the design does not have or
// one twice.
int WriteInteractionPlot(const morvane::anova::Analysis& analysis, const PlotChoices& choices,
                         morvane::plot::ErrorBars bars, morvane::plot::PlotFileType type, QSize size,
                         char separator, const std::string& out) {
    const std::string refused = morvane::plot::ArrangementRefused(analysis, choices.arrangement);
    if (!refused.empty()) {
        morvane::tool::ShowMessage("plot: " + refused);
        return 2;
    }
    const morvane::plot::InteractionPlotData data =
        morvane::plot::PlotDataOf(analysis, separator, bars, choices.arrangement, choices.subjects);
    // The analysis's threads leave their freed memory in their own pools: given
    // back before the image (256 MiB at 8192 x 8192) is taken, so that the two
    // do not add up.
    malloc_trim(0);
    morvane::plot::WritePlotFile(data, type, size, out);
    return 0;
}

// The plot of a long CSV's design, when `request` names its roles: the
// interaction plot, or without bars the Q-Q plots of its strata.
int WriteDesignPlot(const std::string& in, const std::string& out,
                    const morvane::tool::LongCsvRequest& request, const PlotChoices& choices,
                    std::optional<morvane::plot::ErrorBars> bars, morvane::plot::PlotFileType type,
                    QSize size, char separator) {
    const morvane::FileBytes bytes = morvane::ReadWholeFile(in, {}, true);
    morvane::tool::RefuseEmptyFile(in, bytes.View());
    morvane::anova::Options options = request.analysis;
    // The interaction plot needs the means alone, the Q-Q plots their points.
    options.meansOnly = bars.has_value();
    options.modelLeftOut = bars.has_value();
    options.quantilePoints = !bars;
    const morvane::anova::Analysis analysis =
        morvane::anova::Analyse(morvane::ReadLongCsv(bytes.View(), *request.roles,
                                                      morvane::tool::ReadingOf(bytes.View(), request)), options);
    if (bars) return WriteInteractionPlot(analysis, choices, *bars, type, size, separator, out);
    morvane::plot::WritePlotFile(morvane::plot::QuantilePlotDataOf(analysis, separator, false), type, size,
                                 out);
    return 0;
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
            {"--id", "--dv", "--within", "--between", "--encoding", "--separator", "--header-line", "--x",
             "--lines", "--panels", "--subjects"});
        const PlotChoices choices = ChoicesOf(csvArguments);
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
            return WriteDesignPlot(arguments.File(0), arguments.Word(1), request, choices,
                                   quantiles ? std::nullopt : bars, *type, QSize(width, height), separator);
        }
        morvane::StudyStore& store = morvane::TheStudy();
        morvane::tool::LoadStudy(store, arguments.File(0));
        morvane::anova::Options options;
        // The interaction plot needs the cells' means and intervals alone.
        options.meansOnly = !quantiles;
        options.modelLeftOut = !quantiles;
        options.quantilePoints = quantiles;
        const morvane::anova::Analysis analysis =
            morvane::anova::Analyse(morvane::DesignFromStudy(store, separator), options);
        // The plot is drawn on no screen: Qt runs on its offscreen platform unless told otherwise.
        morvane::tool::PrepareOffscreenQt();
        QGuiApplication application(argc, argv);
        const QSize size(width, height);
        if (!quantiles)
            return WriteInteractionPlot(analysis, choices, *bars, *type, size, separator, arguments.Word(1));
        morvane::plot::WritePlotFile(morvane::plot::QuantilePlotDataOf(analysis, separator, true), *type,
                                     size, arguments.Word(1));
        return 0;
    });
}
