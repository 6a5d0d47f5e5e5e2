// PMorvane: the windows of the two-way within-subjects analysis of variance.

#include <QApplication>

#include "designwindow/Program.h"
#include "runtime/DecimalSeparator.h"
#include "store/StudyStore.h"
#include "widgets/QtSeams.h"

int main(int argc, char* argv[]) {
    // The program takes no command line: what Qt does not take is ignored.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PMorvane"));
    // Read once; the core takes it as a setting and never looks at the C locale.
    const char decimalSeparator = morvane::DecimalSeparatorFromLocale();

    morvane::widgets::QtFileDialogs dialogs;
    morvane::widgets::QtMessageBoxes messages;
    morvane::widgets::Seams seams;
    seams.dialogs = &dialogs;
    seams.messages = &messages;
    // The printer of the listing: none yet, so Print reports that there is no
    // default printer. The real one is wired here.
    seams.printer = nullptr;

    return morvane::RunPMorvane(application, morvane::TheStudy(), seams, decimalSeparator);
}
