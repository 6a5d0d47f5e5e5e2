// morvane-print: prints the listing of a study on the default printer, without
// any window. `morvane print DATAFILE` runs it.

#include <QByteArray>
#include <QGuiApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "Arguments.h"
#include "ErrorEdge.h"
#include "OffscreenQt.h"
#include "StudyLoad.h"
#include "print/DefaultPrinterListing.h"
#include "store/DataFile.h"

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    return morvane::tool::RunShowingErrors([&] {
        const morvane::tool::Arguments arguments(words, {}, {}, morvane::tool::OtherOptions::AreFiles);
        if (arguments.FileCount() != 1) {
            std::fputs("usage: morvane print DATAFILE          print the listing on the default printer\n",
                       stderr);
            return 2;
        }
        morvane::StudyStore& store = morvane::TheStudy();
        morvane::tool::LoadStudy(store, arguments.File(0));
        // Printing draws on no screen: Qt runs on its offscreen platform unless told otherwise.
        morvane::tool::PrepareOffscreenQt();
        QGuiApplication application(argc, argv);
        morvane::DefaultPrinterListing printer;
        morvane::NoPrintProgress unwatched;
        printer.Print(store, unwatched);
        return 0;
    });
}
