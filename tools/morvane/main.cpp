// morvane: the study commands of PMorvane for scripts and large studies.

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "AnovaCommand.h"
#include "Commands.h"
#include "ExchangeCommands.h"
#include "MorvaneConfig.h"
#include "PlotCommand.h"
#include "PrintCommand.h"
#include "runtime/Cp932.h"
#include "runtime/DecimalSeparator.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace {

constexpr const char* kUsage =
    "usage: morvane copy DATAFILE NEWFILE   read a study and write it again (- for standard output)\n"
    "       morvane sums DATAFILE           print the eight sums of squares\n"
    "       morvane report DATAFILE [RESULTSFILE]\n"
    "                                       write the results file (standard output when - or absent)\n"
    "       morvane listing DATAFILE [OUT]  write the printed listing as text (- or none: standard output)\n"
    "       morvane print DATAFILE          print the listing on the default printer\n"
    "       morvane anova DATAFILE [--format text|markdown|csv|json] [OUTFILE|-]\n"
    "                                       the full analysis (UTF-8; standard output when - or absent)\n"
    "       morvane plot DATAFILE OUT.png|OUT.svg|OUT.pdf [--width PX] [--height PX]\n"
    "                                       the interaction plot of the cell means (800 x 600 unless told)\n";
constexpr const char* kHelpLine = "       morvane --help | --version\n";

// The whole usage, the exchange commands' lines included, on `stream`.
bool PutUsage(std::FILE* stream) {
    return std::fputs(kUsage, stream) >= 0 && std::fputs(morvane::tool::kExchangeUsage, stream) >= 0 &&
           std::fputs(kHelpLine, stream) >= 0;
}

int Usage() {
    PutUsage(stderr);
    return 2;
}

// "-" names the standard stream, which the core calls the empty name.
std::string FileArgument(const char* arg) {
    return std::strcmp(arg, "-") == 0 ? "" : arg;
}

int Run(const std::vector<std::string>& args, const morvane::tool::Settings& settings) {
    // Asked for, the usage goes to standard output and is no error.
    if (args.size() == 1 && args[0] == "--help")
        return PutUsage(stdout) && std::fflush(stdout) == 0 ? 0 : 1;
    if (args.size() == 1 && args[0] == "--version")
        return std::printf("morvane %s\n", morvane::config::kVersion) < 0 ? 1 : 0;
    if (args.size() == 3 && args[0] == "copy") {
        morvane::tool::Copy(FileArgument(args[1].c_str()), FileArgument(args[2].c_str()));
        return 0;
    }
    if (args.size() == 2 && args[0] == "sums") {
        morvane::tool::Sums(FileArgument(args[1].c_str()), settings);
        return 0;
    }
    if ((args.size() == 2 || args.size() == 3) && args[0] == "report") {
        const std::string results = args.size() == 3 ? FileArgument(args[2].c_str()) : "";
        if (morvane::tool::Report(FileArgument(args[1].c_str()), results, settings))
            morvane::tool::NoticeInexactReport();
        return 0;
    }
    if ((args.size() == 2 || args.size() == 3) && args[0] == "listing") {
        morvane::tool::Listing(FileArgument(args[1].c_str()),
                               args.size() == 3 ? FileArgument(args[2].c_str()) : "");
        return 0;
    }
    if (!args.empty() && args[0] == "export") return morvane::tool::Export(args);
    if (!args.empty() && args[0] == "import") return morvane::tool::Import(args, settings);
    if (!args.empty() && args[0] == "anova" &&
        morvane::tool::Anova(std::vector<std::string>(args.begin() + 1, args.end()), settings))
        return 0;
    if (!args.empty() && args[0] == "plot" &&
        morvane::tool::Plot(std::vector<std::string>(args.begin() + 1, args.end())))
        return 0;
    if (args.size() == 2 && args[0] == "print") {
        morvane::tool::Print(args[1]);
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    morvane::tool::Settings settings;
    settings.decimalSeparator = morvane::DecimalSeparatorFromLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return Run(args, settings);
    } catch (const morvane::Error& error) {
        std::fprintf(stderr, "morvane: %s\n", morvane::Utf8FromCp932(error.message()).c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        // An allocation outside the core's own checks: the same message, no abort.
        std::fprintf(stderr, "morvane: %s\n",
                     morvane::Utf8FromCp932(morvane::messages::OutOfMemory()).c_str());
        return 1;
    }
}
