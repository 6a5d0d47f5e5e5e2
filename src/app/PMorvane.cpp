// PMorvane: the windows of the two-way within-subjects analysis of variance.

#include <QApplication>

#include "app/Program.h"
#include "print/DefaultPrinterListing.h"
#include "runtime/DecimalSeparator.h"
#include "store/StudyStore.h"
#include "widgets/QtSeams.h"
#include "widgets/QtTranslation.h"

int main(int argc, char* argv[]) {
    // The program takes no command line: what Qt does not take is ignored.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PMorvane"));
    morvane::widgets::InstallJapaneseQtTranslation(application);
    // Read once; the core takes it as a setting and never looks at the C locale.
    const char decimalSeparator = morvane::DecimalSeparatorFromLocale();

    morvane::widgets::QtFileDialogs dialogs;
    morvane::widgets::QtMessageBoxes messages;
    morvane::widgets::Seams seams;
    seams.dialogs = &dialogs;
    seams.messages = &messages;
    // The listing goes to the system's default printer.
    morvane::DefaultPrinterListing printer;
    seams.printer = &printer;

    return morvane::RunPMorvane(application, morvane::TheStudy(), seams, decimalSeparator);
}
