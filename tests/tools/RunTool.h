#pragma once
// The morvane tool run through the shell, as a script would run it.

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/TempDir.h"

namespace morvane::testing {

struct ToolResult {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool with `arguments`, which may hold redirections (they win over the
// capture of the output), under the variables of `environment` ("-u A B=2").
inline ToolResult RunTool(const std::string& arguments, const std::string& environment = "") {
    TempDir dir;
    const std::string command = "env " + environment + " " + std::string(MORVANE_TOOL) + " >" +
                                dir.File("out") + " 2>" + dir.File("err") + " " + arguments;
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(dir.File("out")), ReadBytes(dir.File("err"))};
}

}  // namespace morvane::testing
