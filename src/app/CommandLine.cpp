#include "app/CommandLine.h"

namespace morvane {

const char* const kPMorvaneUsage =
    "usage: PMorvane [--lang en|ja|auto] [DATAFILE]   the windows; with DATAFILE, that study opened at once\n"
    "       PMorvane --help | --version\n"
    "  --lang en|ja   the windows in English or in Japanese, from now on (the choice is remembered);\n"
    "                 without a choice, Japanese under a Japanese or the C locale, English under any other\n"
    "  --lang auto    the remembered choice forgotten: the locale decides again\n";

CommandLine ParseCommandLine(const std::vector<std::string>& given) {
    using Action = CommandLine::Action;
    if (given.size() == 1 && given[0] == "--help") return {Action::Help, {}, {}};
    if (given.size() == 1 && given[0] == "--version") return {Action::Version, {}, {}};
    // --lang comes first, once, and only before a study or nothing.
    std::optional<std::string> language;
    std::vector<std::string> args = given;
    if (!args.empty() && args[0] == "--lang") {
        if (args.size() < 2 || (args[1] != "en" && args[1] != "ja" && args[1] != "auto"))
            return {Action::Usage, {}, {}};
        language = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return {Action::Run, {}, language};
    // The empty name would be standard input, which the windows never read.
    if (args.size() == 1 && !args[0].empty() && args[0][0] != '-') return {Action::Run, args[0], language};
    if (args.size() == 2 && args[0] == "--" && !args[1].empty()) return {Action::Run, args[1], language};
    return {Action::Usage, {}, {}};
}

}  // namespace morvane
