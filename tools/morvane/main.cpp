// morvane: the study commands of PMorvane for scripts and large studies.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "AnovaCommand.h"
#include "Arguments.h"
#include "Commands.h"
#include "ErrorEdge.h"
#include "ExchangeCommands.h"
#include "MorvaneConfig.h"
#include "PlotCommand.h"
#include "PrintCommand.h"
#include "runtime/DecimalSeparator.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/StandardStreams.h"

namespace {

constexpr const char* kUsage =
    "usage: morvane copy DATAFILE NEWFILE   read a study and write it again (- for standard output)\n"
    "       morvane sums DATAFILE           print the eight sums of squares\n"
    "       morvane report DATAFILE [RESULTSFILE]\n"
    "                                       write the results file (standard output when - or absent)\n"
    "       morvane listing DATAFILE [OUT]  write the printed listing as text (- or none: standard output)\n"
    "       morvane print DATAFILE          print the listing on the default printer\n"
    "       morvane anova DATAFILE [--format text|markdown|csv|json|apa|html] [--correction none|gg|hf]\n"
    "                     [--lang en|ja] [--ci-level X] [OUTFILE|-]\n"
    "                                       the full analysis (UTF-8; standard output when - or absent;\n"
    "                                       text, Greenhouse-Geisser, English and 90 % intervals unless "
    "told)\n"
    "       morvane plot DATAFILE OUT.png|OUT.svg|OUT.pdf [--width PX] [--height PX]\n"
    "                    [--error-bars within|ci95|se | --qq]\n"
    "                                       the interaction plot of the cell means (800 x 600 unless told),\n"
    "                                       or with --qq the normal Q-Q plots of the four error strata\n";
constexpr const char* kHelpLine = "       morvane --help | --version\n";

// The whole usage, the exchange commands' lines included, on `stream`.
bool PutUsage(std::FILE* stream) {
    return std::fputs(kUsage, stream) >= 0 && std::fputs(morvane::tool::kExchangeUsage, stream) >= 0 &&
           std::fputs(kHelpLine, stream) >= 0;
}

// --help and --version: `put` writes to standard output, and a write that
// failed (a closed or full standard output) is an error like any other.
int PutOnStandardOutput(const std::function<bool()>& put) {
    if (!morvane::io::IsWritableStandardStream(STDOUT_FILENO))
        throw morvane::InOutError(morvane::io::kNoUsableHandle);
    errno = 0;
    if (!put() || std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        throw morvane::InOutError(morvane::io::CodeFromErrno(errno != 0 ? errno : EIO, ""));
    return 0;
}

int Usage() {
    PutUsage(stderr);
    return 2;
}

int Run(std::span<const std::string> words, const morvane::tool::Settings& settings) {
    using morvane::tool::Arguments;
    if (words.empty()) throw morvane::tool::UsageError("no command");
    const std::string& command = words[0];
    const std::span<const std::string> rest = words.subspan(1);
    // Asked for, the usage goes to standard output and is no error.
    if (command == "--help" && rest.empty()) return PutOnStandardOutput([] { return PutUsage(stdout); });
    if (command == "--version" && rest.empty())
        return PutOnStandardOutput(
            [] { return std::printf("morvane %s\n", morvane::config::kVersion) >= 0; });
    if (command == "export") return morvane::tool::Export(rest);
    if (command == "import") return morvane::tool::Import(rest, settings);
    if (command == "anova") {
        morvane::tool::Anova(rest, settings);
        return 0;
    }
    if (command == "plot") morvane::tool::Plot(rest);
    // The other commands take file names alone.
    const Arguments files(rest);
    const std::size_t count = files.FileCount();
    if (command == "copy" && count == 2) {
        morvane::tool::Copy(files.File(0), files.File(1));
        return 0;
    }
    if (command == "sums" && count == 1) {
        morvane::tool::Sums(files.File(0), settings);
        return 0;
    }
    if (command == "report" && (count == 1 || count == 2)) {
        if (morvane::tool::Report(files.File(0), count == 2 ? files.File(1) : "", settings))
            morvane::tool::NoticeInexactReport();
        return 0;
    }
    if (command == "listing" && (count == 1 || count == 2)) {
        morvane::tool::Listing(files.File(0), count == 2 ? files.File(1) : "");
        return 0;
    }
    // morvane-print runs in place of this process and gives its status.
    if (command == "print" && count == 1) morvane::tool::Print(files.Word(0));
    throw morvane::tool::UsageError("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
    morvane::tool::Settings settings;
    settings.decimalSeparator = morvane::DecimalSeparatorFromLocale();
    const std::vector<std::string> words(argv + 1, argv + argc);
    return morvane::tool::RunShowingErrors([&] {
        try {
            return Run(words, settings);
        } catch (const morvane::tool::UsageError& error) {
            // What is wrong, then the usage; a bare "morvane" gets the usage alone.
            if (!words.empty()) morvane::tool::ShowMessage(error.what());
            return Usage();
        }
    });
}
