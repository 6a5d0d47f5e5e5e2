#pragma once
// The edge of each of the tool's programs, where the core's errors become a
// message and an exit status.

#include <functional>
#include <string>

namespace morvane::tool {

// Writes "morvane: TEXT" and a new line on standard error; TEXT is UTF-8.
void ShowMessage(const std::string& utf8);

// Runs a program's `body` and returns its status. A morvane::Error that it throws
// is shown with ShowMessage, its message in UTF-8, and gives status 1; so does an
// allocation that fails outside the core's own checks, with the core's message for it.
int RunShowingErrors(const std::function<int()>& body);

}  // namespace morvane::tool
