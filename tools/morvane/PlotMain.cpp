// morvane-plot DATAFILE OUT WIDTH HEIGHT: writes the interaction plot of a study
// as the PNG, SVG or PDF file that OUT's suffix names, WIDTH x HEIGHT pixels,
// without any window. `morvane plot` runs it with arguments it has checked.

#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "anova/FullAnalysis.h"
#include "plot/PlotFiles.h"
#include "runtime/Cp932.h"
#include "runtime/DecimalSeparator.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "store/DataFile.h"

int main(int argc, char** argv) {
    const auto type =
        argc == 5 ? morvane::plot::PlotFileTypeOf(QString::fromLocal8Bit(argv[2])) : std::nullopt;
    const int width = argc == 5 ? std::atoi(argv[3]) : 0, height = argc == 5 ? std::atoi(argv[4]) : 0;
    if (!type || width <= 0 || height <= 0) {
        std::fputs("usage: morvane plot DATAFILE OUT.png|OUT.svg|OUT.pdf [--width PX] [--height PX]\n",
                   stderr);
        return 2;
    }
    try {
        const char separator = morvane::DecimalSeparatorFromLocale();
        morvane::StudyStore& store = morvane::TheStudy();
        // "-" is standard input, which the core calls the empty name.
        morvane::LoadStudyFile(store, std::strcmp(argv[1], "-") == 0 ? "" : argv[1]);
        const morvane::FullAnalysis analysis = morvane::AnalyseStudy(store, separator);
        // The plot is drawn on no screen: Qt runs on its offscreen platform unless told otherwise.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        morvane::plot::WritePlotFile(morvane::plot::PlotDataOf(analysis, separator), *type,
                                     QSize(width, height), argv[2]);
        return 0;
    } catch (const morvane::Error& error) {
        std::fprintf(stderr, "morvane: %s\n", morvane::Utf8FromCp932(error.message()).c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "morvane: %s\n",
                     morvane::Utf8FromCp932(morvane::messages::OutOfMemory()).c_str());
        return 1;
    }
}
