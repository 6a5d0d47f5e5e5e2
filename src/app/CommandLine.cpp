#include "app/CommandLine.h"

namespace morvane {

const char* const kPMorvaneUsage =
    "usage: PMorvane [DATAFILE]   the windows; with DATAFILE, that study opened at once\n"
    "       PMorvane --help | --version\n";

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    using Action = CommandLine::Action;
    if (args.empty()) return {};
    if (args.size() == 1 && args[0] == "--help") return {Action::Help, {}};
    if (args.size() == 1 && args[0] == "--version") return {Action::Version, {}};
    // The empty name would be standard input, which the windows never read.
    if (args.size() == 1 && !args[0].empty() && args[0][0] != '-') return {Action::Run, args[0]};
    if (args.size() == 2 && args[0] == "--" && !args[1].empty()) return {Action::Run, args[1]};
    return {Action::Usage, {}};
}

}  // namespace morvane
