#pragma once
// The loading of a data file as every command of the tool does it.

#include <cstdint>
#include <string>

#include "store/StudyStore.h"

namespace morvane::tool {

// Loads the study of `dataFile` ("" for standard input) as the Load command
// does. Content after the last score its counts ask for is said on standard
// error, a notice and no error: the study is read as it would be without it.
// Returns how many scores the file ended before.
std::int64_t LoadStudy(StudyStore& store, const std::string& dataFile);

}  // namespace morvane::tool
