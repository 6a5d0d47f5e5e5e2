#pragma once
// The print command of the morvane tool, apart from the others: it alone starts
// Qt, and only when it runs.

#include <string>

namespace morvane::tool {

// Reads DATAFILE and prints its listing on the default printer, without any
// window: Qt runs on the offscreen platform unless QT_QPA_PLATFORM names another.
void Print(const std::string& dataFile);

}  // namespace morvane::tool
