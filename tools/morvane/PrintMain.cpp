// morvane-print: prints the listing of a study on the default printer, without
// any window. `morvane print DATAFILE` runs it.

#include <QByteArray>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "print/DefaultPrinterListing.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: morvane print DATAFILE          print the listing on the default printer\n",
                   stderr);
        return 2;
    }
    try {
        morvane::StudyStore& store = morvane::TheStudy();
        // "-" is standard input, which the core calls the empty name.
        morvane::LoadStudyFile(store, std::strcmp(argv[1], "-") == 0 ? "" : argv[1]);
        // Printing draws on no screen: Qt runs on its offscreen platform unless told otherwise.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        morvane::DefaultPrinterListing printer;
        morvane::NoPrintProgress unwatched;
        printer.Print(store, unwatched);
        return 0;
    } catch (const morvane::Error& error) {
        std::fprintf(stderr, "morvane: %s\n", morvane::Utf8FromCp932(error.message()).c_str());
        return 1;
    }
}
