#pragma once
// The print command of the morvane tool. Printing needs Qt, which takes some ten
// milliseconds to load; so that the other commands never pay for it, the
// printing itself is done by the program morvane-print beside this one.

#include <string>

namespace morvane::tool {

// Runs morvane-print, from the folder of this program, on DATAFILE in place of
// this process; returns only by throwing InOutError when it cannot be run.
[[noreturn]] void Print(const std::string& dataFileArgument);

}  // namespace morvane::tool
