#pragma once
// The tool's helper programs (morvane-print, morvane-plot), which load Qt so
// that the tool itself never does: beside this program in the build tree, in
// libexec/pmorvane when installed.

#include <string>
#include <vector>

namespace morvane::tool {

// Runs the helper `program` with `args` in place of this process; returns only
// by throwing InOutError when it cannot be run.
[[noreturn]] void RunHelper(const std::string& program, std::vector<std::string> args);

}  // namespace morvane::tool
