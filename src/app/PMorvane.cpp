// PMorvane: the windows of the two-way within-subjects analysis of variance.

#include <unistd.h>

#include <QApplication>
#include <QLocale>
#include <QSettings>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MorvaneConfig.h"
#include "app/CommandLine.h"
#include "app/Program.h"
#include "print/DefaultPrinterListing.h"
#include "runtime/DecimalSeparator.h"
#include "runtime/MemoryBudget.h"
#include "session/Recovery.h"
#include "store/StudyStore.h"
#include "widgets/QtSeams.h"
#include "widgets/QtTranslation.h"

namespace {

// Answers --help and --version; returns the exit status, or -1 to run.
int Answer(const morvane::CommandLine& line) {
    using Action = morvane::CommandLine::Action;
    switch (line.action) {
        case Action::Help:
            return std::fputs(morvane::kPMorvaneUsage, stdout) < 0 ? 1 : 0;
        case Action::Version:
            return std::printf("PMorvane %s\n", morvane::config::kVersion) < 0 ? 1 : 0;
        case Action::Usage:
            std::fputs(morvane::kPMorvaneUsage, stderr);
            return 2;
        case Action::Run:
            break;
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    morvane::ReturnLargeBlocksWhenFreed();
    // Asked alone, --help and --version need no display: answered before Qt starts.
    if (const morvane::CommandLine asked = morvane::ParseCommandLine({argv + 1, argv + argc});
        asked.action == morvane::CommandLine::Action::Help ||
        asked.action == morvane::CommandLine::Action::Version)
        return Answer(asked);

    // Qt takes its own options (-platform and the like) out of argv.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PMorvane"));
    const morvane::CommandLine line = morvane::ParseCommandLine({argv + 1, argv + argc});
    if (const int status = Answer(line); status >= 0) return status;

    // The windows speak Japanese, and so do Qt's own dialogs and buttons,
    // unless --lang en, the choice remembered from an earlier --lang, or a
    // locale of another language asks for English.
    // The levels window's 言語… changes the same setting.
    const std::unique_ptr<QSettings> settings = morvane::widgets::ProgramSettings();
    const std::optional<std::string> language = morvane::widgets::RememberedLanguage(*settings, line.language);
    settings->sync();
    if (line.language && settings->status() != QSettings::NoError)
        std::fprintf(stderr, "PMorvane: the language chosen could not be remembered in %s\n",
                     qUtf8Printable(settings->fileName()));
    morvane::widgets::InstallWindowsLanguage(application,
                                             morvane::widgets::WindowsLanguage(QLocale::system(), language));

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
    // A study with unsaved changes is kept against a crash; the files go when
    // the program ends normally.
    morvane::RecoveryFile recovery(morvane::RecoveryFolder(), static_cast<long>(::getpid()));
    seams.recovery = &recovery;

    morvane::Program program(application, morvane::TheStudy(), seams, decimalSeparator);
    return program.Run(line.study);
}
