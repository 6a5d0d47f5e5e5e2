#include "PrintCommand.h"

#include <QByteArray>
#include <QGuiApplication>

#include "datawindow/print/DefaultPrinterListing.h"
#include "store/DataFile.h"

namespace morvane::tool {

void Print(const std::string& dataFile) {
    StudyStore& store = TheStudy();
    LoadStudyFile(store, dataFile);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "morvane";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    DefaultPrinterListing printer;
    printer.Print(store);
}

}  // namespace morvane::tool
