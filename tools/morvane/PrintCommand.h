#pragma once
// The print command of the morvane tool. Printing needs Qt, which takes some ten
// milliseconds to load; so that the other commands never pay for it, the
// printing itself is done by the program morvane-print: beside this one in the
// build tree, in libexec/pmorvane when installed.

#include <string>

namespace morvane::tool {

// Runs morvane-print, found from the folder of this program, on DATAFILE in place of
// this process; returns only by throwing InOutError when it cannot be run.
[[noreturn]] void Print(const std::string& dataFileArgument);

}  // namespace morvane::tool
