#pragma once
// PMorvane's command line: nothing, a study to open at once, or a question
// answered without any window.

#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct CommandLine {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    // The data file to open, as the file system's bytes; only with Run.
    std::optional<std::string> study;
    // "en" or "ja" when --lang named the windows' language, "auto" when it
    // asked for the locale's again; only with Run.
    std::optional<std::string> language;
};

// Reads the arguments after the program's name: none, DATAFILE, -- DATAFILE,
// each of these after --lang en|ja|auto, --help or --version; anything else asks
// for the usage.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage, one line per form, ending with a line end.
extern const char* const kPMorvaneUsage;

}  // namespace morvane
